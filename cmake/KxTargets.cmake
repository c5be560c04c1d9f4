# One helper call per target:
#   kx_add_library(name [STATIC|OBJECT|INTERFACE] [SOURCES ...] [HEADERS ...] [LINKS ...]
#                  [PRIVATE_LINKS ...] [EXPORT_HEADER file] [PACKAGE])
#       a library (shared unless told otherwise), linked in the tree as korvex::name.
#       HEADERS are its public headers, named from the calling folder. They, and no
#       other header, reach the library's sources and whatever links it, spelled from
#       the source root ("mobilesensor/udp_listener.h"), through a folder of the
#       library's own (<build>/include/<name>/, links to the sources). A header of the
#       folder not listed is private: only its folder includes it, by its bare name.
#       LINKS are what the public headers need (public), PRIVATE_LINKS what only the
#       sources need. A shared library has hidden visibility; what carries the
#       generated <NAME>_EXPORT macro of EXPORT_HEADER (a public header, included as
#       "name_export.h") is its interface.
#       PACKAGE: installed with its headers and exported as korvex::name by the
#       korvex_conduit package. Other shared libraries are installed for the modules
#       that load them, without headers, and are not exported.
#   kx_add_plugin(name SOURCES ... [LINKS ...] EXPORTS symbol... [NO_INSTALL])
#       a plug-in or extension module loaded by the host; exactly the named symbols
#       and <name>_version / <name>_build_date are exported, and a test checks it.
#
# korvex:: names the project's libraries, in the tree as in the installed package;
# kx:: names build settings that never leave the tree (kx::warnings, kx::boost).

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

set(KX_INCLUDE_ROOT "${CMAKE_BINARY_DIR}/include")

# Links each header into the library's own include folder under its path from the
# source root, so that its spelling stays while the folder holds nothing else. A
# header is public in one library only.
function(_kx_stage_headers name scope)
    set(stage "${KX_INCLUDE_ROOT}/${name}")
    file(MAKE_DIRECTORY "${stage}")
    get_target_property(wanted ${name} KX_GENERATED_HEADERS)
    foreach(header IN LISTS ARGN)
        cmake_path(ABSOLUTE_PATH header BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
            OUTPUT_VARIABLE source)
        if(NOT EXISTS "${source}")
            message(FATAL_ERROR "${name}: no header ${header} in ${CMAKE_CURRENT_SOURCE_DIR}")
        endif()
        get_property(owner GLOBAL PROPERTY "KX_HEADER_OWNER:${source}")
        if(owner)
            message(FATAL_ERROR "${name}: ${header} is a public header of ${owner} already")
        endif()
        set_property(GLOBAL PROPERTY "KX_HEADER_OWNER:${source}" ${name})
        cmake_path(RELATIVE_PATH source BASE_DIRECTORY "${PROJECT_SOURCE_DIR}"
            OUTPUT_VARIABLE spelling)
        cmake_path(GET spelling PARENT_PATH folder)
        file(MAKE_DIRECTORY "${stage}/${folder}")
        file(CREATE_LINK "${source}" "${stage}/${spelling}" SYMBOLIC COPY_ON_ERROR)
        list(APPEND wanted "${stage}/${spelling}")
        set_property(TARGET ${name} APPEND PROPERTY KX_PUBLIC_HEADERS "${source}|${folder}")
    endforeach()
    # A header taken off the list leaves the folder too.
    file(GLOB_RECURSE staged LIST_DIRECTORIES false "${stage}/*")
    foreach(file IN LISTS staged)
        if(NOT file IN_LIST wanted)
            file(REMOVE "${file}")
        endif()
    endforeach()
    target_include_directories(${name} ${scope} $<BUILD_INTERFACE:${stage}>)
endfunction()

# The library, its public headers and the package's export of it.
function(_kx_install_packaged name scope)
    install(TARGETS ${name} EXPORT korvex_targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    target_include_directories(${name} ${scope} $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    get_target_property(headers ${name} KX_PUBLIC_HEADERS)
    foreach(entry IN LISTS headers)
        string(REPLACE "|" ";" entry "${entry}")
        list(GET entry 0 source)
        list(GET entry 1 folder)
        install(FILES "${source}" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/${folder}")
    endforeach()
    get_target_property(generated ${name} KX_GENERATED_HEADERS)
    if(generated)
        install(FILES ${generated} DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
    endif()
endfunction()

function(kx_add_library name)
    cmake_parse_arguments(ARG "STATIC;OBJECT;INTERFACE;PACKAGE" "EXPORT_HEADER"
        "SOURCES;HEADERS;LINKS;PRIVATE_LINKS" ${ARGN})
    if(ARG_INTERFACE)
        add_library(${name} INTERFACE)
        set(scope INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    else()
        if(ARG_STATIC)
            add_library(${name} STATIC ${ARG_SOURCES})
        elseif(ARG_OBJECT)
            add_library(${name} OBJECT ${ARG_SOURCES})
        else()
            add_library(${name} SHARED ${ARG_SOURCES})
        endif()
        set(scope PUBLIC)
        _kx_common_settings(${name})
        target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
    endif()
    add_library(korvex::${name} ALIAS ${name})
    set_target_properties(${name} PROPERTIES KX_PUBLIC_HEADERS "" KX_GENERATED_HEADERS "")
    if(ARG_EXPORT_HEADER)
        set(generated "${KX_INCLUDE_ROOT}/${name}/${ARG_EXPORT_HEADER}")
        generate_export_header(${name} EXPORT_FILE_NAME "${generated}")
        set_target_properties(${name} PROPERTIES KX_GENERATED_HEADERS "${generated}")
    endif()
    _kx_stage_headers(${name} ${scope} ${ARG_HEADERS})
    if(ARG_PACKAGE)
        _kx_install_packaged(${name} ${scope})
    elseif(NOT (ARG_STATIC OR ARG_OBJECT OR ARG_INTERFACE))
        install(TARGETS ${name}
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
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} kx::warnings)
    set_property(GLOBAL APPEND PROPERTY KX_FUZZERS "${name}=${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
endfunction()

# kx_add_subfolders([COMPONENTS])
#   Adds every sub-folder of the calling folder that has a CMakeLists.txt, in name
#   order. With COMPONENTS a folder is added only when it is named after a component
#   being built (KX_COMPONENTS) or is "host": bench/ and fuzz/ hold one folder per
#   component.
function(kx_add_subfolders)
    cmake_parse_arguments(ARG "COMPONENTS" "" "" ${ARGN})
    file(GLOB folders LIST_DIRECTORIES true RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}"
        "${CMAKE_CURRENT_SOURCE_DIR}/*")
    list(SORT folders)
    foreach(folder IN LISTS folders)
        if(NOT EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt")
            continue()
        endif()
        if(ARG_COMPONENTS AND NOT (folder IN_LIST KX_COMPONENTS OR folder STREQUAL "host"))
            continue()
        endif()
        add_subdirectory(${folder})
    endforeach()
endfunction()
