# Installation: libraries, plug-ins, programs and the contract headers, with a
# CMake package (find_package(korvex_conduit)) and a pkg-config file, so that a
# third party can build a plug-in against the contract and kit.
include(CMakePackageConfigHelpers)

set(KX_CMAKE_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/korvex_conduit")
install(EXPORT korvex_targets
    NAMESPACE korvex::
    FILE korvex_conduitTargets.cmake
    DESTINATION "${KX_CMAKE_PACKAGE_DIR}")
configure_package_config_file(
    "${CMAKE_CURRENT_LIST_DIR}/korvex_conduitConfig.cmake.in"
    "${CMAKE_BINARY_DIR}/korvex_conduitConfig.cmake"
    INSTALL_DESTINATION "${KX_CMAKE_PACKAGE_DIR}")
write_basic_package_version_file("${CMAKE_BINARY_DIR}/korvex_conduitConfigVersion.cmake"
    COMPATIBILITY SameMajorVersion)
install(FILES
    "${CMAKE_BINARY_DIR}/korvex_conduitConfig.cmake"
    "${CMAKE_BINARY_DIR}/korvex_conduitConfigVersion.cmake"
    DESTINATION "${KX_CMAKE_PACKAGE_DIR}")

# The .pc file finds its prefix relative to itself, so the tree can be moved.
file(RELATIVE_PATH KX_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file("${CMAKE_CURRENT_LIST_DIR}/korvex_conduit.pc.in"
    "${CMAKE_BINARY_DIR}/korvex_conduit.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/korvex_conduit.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
