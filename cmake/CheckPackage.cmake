# Installs the build into a scratch prefix and builds a third-party plug-in against
# the installed package, with find_package and with pkg-config. The package must
# export exactly the targets named (what the tree links by the same names).
# -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DEXPORTED=korvex::a,korvex::b
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix"
    RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed")
endif()
foreach(header conduit/interfaces/device.h conduit/kit/kit.h conduit/tvarray/tv_array.h
               conduit/exports.h)
    if(NOT EXISTS "${WORK_DIR}/prefix/include/${header}")
        message(FATAL_ERROR "${header} was not installed")
    endif()
endforeach()
file(GLOB targets_files "${WORK_DIR}/prefix/lib*/cmake/korvex_conduit/korvex_conduitTargets.cmake")
file(STRINGS "${targets_files}" declared REGEX "^add_library\\(korvex::")
set(exported "")
foreach(line IN LISTS declared)
    string(REGEX REPLACE "^add_library\\((korvex::[A-Za-z0-9_]+) .*" "\\1" name "${line}")
    list(APPEND exported "${name}")
endforeach()
string(REPLACE "," ";" expected "${EXPORTED}")
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "the package exports '${exported}', expected '${expected}'")
endif()
set(ENV{PKG_CONFIG_PATH} "${WORK_DIR}/prefix/lib/pkgconfig")
execute_process(
    COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/consumer" -G Ninja
        "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the third-party project does not configure against the package")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/consumer" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the third-party plug-in does not build against the package")
endif()
