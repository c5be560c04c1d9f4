# Installs the build into a scratch prefix and builds a third-party plug-in against
# the installed package, with find_package and with pkg-config.
# -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=...
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
