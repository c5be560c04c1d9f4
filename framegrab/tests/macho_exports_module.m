// A stand-in for framegrab's exported surface, linked for Mach-O on Linux by
// macho_exports.cmake. Not Apple's toolchain and not the plug-in: it checks the
// exported-symbols list and the export check against a real Mach-O file.

__attribute__((visibility("default"))) int createDevice(void) { return 1; }
__attribute__((visibility("default"))) const char* framegrab_version = "0";
__attribute__((visibility("default"))) const char* framegrab_build_date = "0";

// Visible to the linker, but not in the list: it must not leave the module.
__attribute__((visibility("default"))) int unlisted(void) { return 2; }

// The controller class, exported the way the plug-in's header marks it.
__attribute__((objc_root_class, visibility("default")))
@interface WebcamController {
    Class isa;
}
@end

@implementation WebcamController
@end
