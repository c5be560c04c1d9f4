# Warning flags for the project's own targets (third-party code is not warned about).
add_library(kx_warnings INTERFACE)
add_library(kx::warnings ALIAS kx_warnings)
target_compile_options(kx_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:CXX,C,OBJCXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion>
    $<$<COMPILE_LANGUAGE:CXX,OBJCXX>:-Woverloaded-virtual -Wnon-virtual-dtor>)
# Clang checks the thread-safety annotations (conduit/kit/thread_annotations.h).
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(kx_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wthread-safety>)
endif()
if(KX_WERROR)
    target_compile_options(kx_warnings INTERFACE -Werror)
endif()

if(KX_SANITIZE)
    string(REPLACE ";" "," _kx_sanitizers "${KX_SANITIZE}")
    add_compile_options(-fsanitize=${_kx_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_kx_sanitizers})
endif()
