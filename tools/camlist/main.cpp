// camlist: lists the cameras of this computer through the camera-listing extension
// module, called as the host calls it.

#include "host/plugin_loader.h"
#include "listing_text.h"
#include "tools/common/help_and_version.h"
#include "tools/common/option_parser.h"
#include "tools/common/program_main.h"

#include <iostream>
#include <stdexcept>

namespace {

int run(int argc, char** argv) {
    kxtools::OptionParser parser(
        "camlist", "[OPTIONS]",
        "Lists the cameras of this computer through the extension module " CAMLIST_MODULE ",\n"
        "called as the host calls it: each with its name, its device path, the stable\n"
        "links that keep naming it when it is plugged in again (give either to camgrab\n"
        "--webcam), and the modes it offers: format, size and frame rates (give them to\n"
        "camgrab --resolution and --rate). Prints \"no cameras found\" when there are none.");
    parser.epilogue("Exit status: 0 when the list was made (even an empty one), 1 when the module\n"
                    "failed, 2 for a mistake on the command line.");
    if (const auto answered = kxtools::answerHelpOrVersion(
            parser.parse(argc, argv), parser, "camlist", CAMLIST_VERSION, {CAMLIST_MODULE}))
        return *answered;

    korvex::host::PluginLibrary module(korvex::host::pluginPath(CAMLIST_MODULE));
    const kxtools::CameraListing listing = kxtools::listCameras(module.extensionEntry());
    if (!listing.succeeded)
        throw std::runtime_error(std::string(CAMLIST_MODULE) + " could not list the cameras");
    std::cout << camlist::listingText(listing, camlist::describeCameras(listing.places));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return kxtools::runProgram("camlist", [&] { return run(argc, argv); });
}
