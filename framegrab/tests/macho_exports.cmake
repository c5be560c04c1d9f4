# Links a stand-in of the plug-in for Mach-O with clang and lld (not Apple's
# toolchain), through the exported-symbols list that kx_add_plugin writes on Apple,
# and runs the export check on it the way the <name>.exports test does on Apple.
# -DCLANG=clang -DNM=llvm-nm -DSOURCE=module.m -DWORK=dir -DPLUGIN=name -DEXPORTS=a,b
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/../../cmake/KxMachOExports.cmake")

string(REPLACE "," ";" symbols "${EXPORTS}")
list(APPEND symbols ${PLUGIN}_version ${PLUGIN}_build_date)
file(MAKE_DIRECTORY "${WORK}")
set(list "${WORK}/${PLUGIN}.exports")
kx_write_macho_export_list("${list}" ${symbols})

# The module needs the Objective-C runtime, which is not here: its references stay
# for the loader (-undefined dynamic_lookup), as nothing is run.
set(module "${WORK}/lib${PLUGIN}.dylib")
execute_process(
    COMMAND "${CLANG}" -target x86_64-apple-macos10.14 -fuse-ld=lld -nostdlib
        -fobjc-runtime=macosx-10.14 -fvisibility=hidden -bundle -undefined dynamic_lookup
        "-Wl,-exported_symbols_list,${list}" -o "${module}" "${SOURCE}"
    RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot link the Mach-O stand-in:\n${errors}")
endif()

list(JOIN symbols "," expected)
execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DFILE=${module}" "-DEXPECTED=${expected}" -DWINDOWS=OFF
        -DMACHO=ON "-DNM=${NM}" -P "${CMAKE_CURRENT_LIST_DIR}/../../cmake/CheckExports.cmake"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the Mach-O export check failed")
endif()
