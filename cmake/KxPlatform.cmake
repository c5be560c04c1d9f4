# Platform facts shared by every folder: which platform file suffix applies, where
# Boost's headers come from, the thread library and the build date. (How Windows
# test programs run under Wine is in KxTesting.cmake.)

if(WIN32)
    set(KX_PLATFORM win)
elseif(APPLE)
    set(KX_PLATFORM mac)
else()
    set(KX_PLATFORM linux)
endif()

# Boost is used header-only everywhere (the Windows builds have nothing else).
# A cross build must not see the rest of /usr/include, so it gets a folder that
# holds nothing but a link to Debian's Boost headers.
add_library(kx_boost INTERFACE)
add_library(kx::boost ALIAS kx_boost)
if(CMAKE_CROSSCOMPILING)
    set(KX_BOOST_ROOT "/usr/include/boost" CACHE PATH "Boost header folder used by cross builds")
    set(_kx_boost_stage "${CMAKE_BINARY_DIR}/boost-headers")
    file(MAKE_DIRECTORY "${_kx_boost_stage}")
    file(CREATE_LINK "${KX_BOOST_ROOT}" "${_kx_boost_stage}/boost" SYMBOLIC)
    target_include_directories(kx_boost SYSTEM INTERFACE "${_kx_boost_stage}")
else()
    find_package(Boost 1.74 REQUIRED)
    target_link_libraries(kx_boost INTERFACE Boost::headers)
endif()
target_compile_definitions(kx_boost INTERFACE BOOST_ALL_NO_LIB BOOST_ASIO_NO_DEPRECATED)
if(WIN32)
    # Windows 7 is the oldest target Asio needs no shims for.
    target_compile_definitions(kx_boost INTERFACE _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

find_package(Threads REQUIRED)

# Build date shown by every library's <name>_build_date export.
string(TIMESTAMP KX_BUILD_DATE "%Y-%m-%d" UTC)
