# One helper call per target:
#   kx_add_library(name SOURCES ... [LINKS ...] [PRIVATE_LINKS ...] [EXPORT_HEADER file] [STATIC])
#       a support library (shared unless STATIC) with hidden visibility; classes and
#       functions marked with the generated <NAME>_EXPORT macro are its interface.
#   kx_add_plugin(name SOURCES ... [LINKS ...] EXPORTS symbol... [NO_INSTALL])
#       a plug-in or extension module loaded by the host; exactly the named symbols
#       and <name>_version / <name>_build_date are exported, and a test checks it.

include(CMakeParseArguments)
include(GenerateExportHeader)
include(KxMachOExports)

set(KX_EXPORT_LISTS_DIR "${CMAKE_BINARY_DIR}/exports")

function(_kx_common_settings name)
    set_target_properties(${name} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        OBJCXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(WIN32)
        set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "")
    endif()
    target_compile_definitions(${name} PRIVATE
        KX_VERSION_STRING="${PROJECT_VERSION}"
        KX_BUILD_DATE_STRING="${KX_BUILD_DATE}")
    target_link_libraries(${name} PRIVATE kx::warnings)
    # Unresolved symbols are link errors, not load-time surprises. (Sanitizer
    # runtimes of clang live in the executable, so the check is off there.)
    if(NOT WIN32 AND NOT APPLE AND NOT KX_SANITIZE)
        target_link_options(${name} PRIVATE "LINKER:-z,defs")
    endif()
endfunction()

function(kx_add_library name)
    cmake_parse_arguments(ARG "STATIC" "EXPORT_HEADER" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
    if(ARG_STATIC)
        add_library(${name} STATIC ${ARG_SOURCES})
    else()
        add_library(${name} SHARED ${ARG_SOURCES})
    endif()
    add_library(kx::${name} ALIAS ${name})
    _kx_common_settings(${name})
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}>)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
    if(ARG_EXPORT_HEADER)
        generate_export_header(${name}
            EXPORT_FILE_NAME "${CMAKE_CURRENT_BINARY_DIR}/${ARG_EXPORT_HEADER}")
    endif()
    if(NOT ARG_STATIC)
        install(TARGETS ${name} EXPORT korvex_targets
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    endif()
endfunction()

function(kx_add_plugin name)
    cmake_parse_arguments(ARG "NO_INSTALL" "" "SOURCES;LINKS;EXPORTS" ${ARGN})
    set(exported ${ARG_EXPORTS} ${name}_version ${name}_build_date)

    # The linker's export list: a version script on ELF, a .def file on Windows, an
    # exported-symbols list on Mach-O.
    if(WIN32)
        set(def "${KX_EXPORT_LISTS_DIR}/${name}.def")
        set(lines "EXPORTS\n")
        foreach(symbol IN LISTS ARG_EXPORTS)
            string(APPEND lines "    ${symbol}\n")
        endforeach()
        string(APPEND lines "    ${name}_version DATA\n    ${name}_build_date DATA\n")
        file(WRITE "${def}" "${lines}")
        add_library(${name} MODULE ${ARG_SOURCES} "${def}")
    else()
        add_library(${name} MODULE ${ARG_SOURCES})
        if(APPLE)
            set(symbols "${KX_EXPORT_LISTS_DIR}/${name}.exports")
            kx_write_macho_export_list("${symbols}" ${exported})
            target_link_options(${name} PRIVATE "LINKER:-exported_symbols_list,${symbols}")
            set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS "${symbols}")
            # CMake names a module .so on Darwin; the host loads .dylib files.
            set_target_properties(${name} PROPERTIES SUFFIX ".dylib")
        else()
            set(map "${KX_EXPORT_LISTS_DIR}/${name}.map")
            list(JOIN exported "; " globals)
            file(WRITE "${map}" "{\n  global: ${globals};\n  local: *;\n};\n")
            target_link_options(${name} PRIVATE "LINKER:--version-script=${map}")
            set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS "${map}")
        endif()
    endif()
    _kx_common_settings(${name})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS})
    if(NOT ARG_NO_INSTALL)
        install(TARGETS ${name}
            LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()

    if(KX_BUILD_TESTS)
        list(JOIN exported "," expected)
        add_test(NAME ${name}.exports
            COMMAND ${CMAKE_COMMAND}
                "-DFILE=$<TARGET_FILE:${name}>" "-DEXPECTED=${expected}"
                "-DWINDOWS=${WIN32}" "-DMACHO=${APPLE}" "-DOBJDUMP=${CMAKE_OBJDUMP}"
                "-DNM=${CMAKE_NM}"
                -P "${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake")
    endif()
endfunction()

# kx_add_fuzzer(name SOURCES ... [LINKS ...]): a libFuzzer target (clang, fuzz preset).
# Its seed corpus lives in fuzz/<component>/corpus/<name>/.
function(kx_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} kx::warnings)
    set_property(GLOBAL APPEND PROPERTY KX_FUZZERS "${name}=${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
endfunction()
