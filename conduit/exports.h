#pragma once

// Export markers for the factory, entry and version symbols of every library.
// Plug-ins are built with hidden visibility, and the linker's export list keeps
// exactly the symbols named with these macros.

#if defined(_WIN32)
#define KX_EXPORT __declspec(dllexport)
#else
#define KX_EXPORT __attribute__((visibility("default")))
#endif

// KX_VERSION_STRING and KX_BUILD_DATE_STRING come from the build (kx_add_* helpers).
#ifndef KX_VERSION_STRING
#define KX_VERSION_STRING "0.0.0"
#endif
#ifndef KX_BUILD_DATE_STRING
#define KX_BUILD_DATE_STRING __DATE__
#endif

// Defines the two data exports <library>_version and <library>_build_date, each a
// const char* pointing to a constant NUL-terminated string.
#define KX_DEFINE_VERSION_EXPORTS(library)                                                         \
    extern "C" KX_EXPORT const char* library##_version;                                            \
    extern "C" KX_EXPORT const char* library##_build_date;                                         \
    const char* library##_version = KX_VERSION_STRING;                                             \
    const char* library##_build_date = KX_BUILD_DATE_STRING
