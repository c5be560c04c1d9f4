# Test support: GoogleTest (Debian's package natively, its sources for cross builds),
# Wine as the runner of Windows test programs, and the kx_add_test helper:
#   kx_add_test(name SOURCES ... [LINKS ...] [DEPENDS target...] [LABELS ...]
#               [TIMEOUT seconds] [RESOURCE_LOCK lock...])

include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL)
    # googletest's own build defines the GTest:: aliases.
else()
    find_package(GTest REQUIRED)
endif()

if(WIN32 AND CMAKE_CROSSCOMPILING)
    # The mingw runtime DLLs go beside the programs, so the build folder runs as it is.
    foreach(_kx_dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_kx_dll}
            OUTPUT_VARIABLE _kx_found OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${_kx_found}")
            find_file(KX_FOUND_${_kx_dll} ${_kx_dll} PATHS ${CMAKE_FIND_ROOT_PATH}
                PATH_SUFFIXES lib bin NO_DEFAULT_PATH)
            set(_kx_found "${KX_FOUND_${_kx_dll}}")
        endif()
        if(EXISTS "${_kx_found}")
            file(COPY "${_kx_found}" DESTINATION "${CMAKE_BINARY_DIR}/bin")
            install(FILES "${_kx_found}" DESTINATION ${CMAKE_INSTALL_BINDIR})
        endif()
    endforeach()

    # Every test program runs under Wine in a prefix of this build folder.
    find_program(KX_WINE wine REQUIRED)
    set(KX_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run.sh"
        @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run.sh")
    add_test(NAME wine.prefix COMMAND "${CMAKE_BINARY_DIR}/wine-run.sh" wineboot --init)
    set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP WinePrefix TIMEOUT 600)
endif()

function(kx_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS;DEPENDS;LABELS;RESOURCE_LOCK" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gmock GTest::gtest_main
        kx::warnings Threads::Threads)
    if(ARG_DEPENDS)
        add_dependencies(${name} ${ARG_DEPENDS})
    endif()
    set(properties TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        list(APPEND properties LABELS "${ARG_LABELS}")
    endif()
    if(ARG_RESOURCE_LOCK)
        list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
    endif()
    if(CMAKE_CROSSCOMPILING)
        # One Wine start per program, not per test case: Wine starts are slow.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES ${properties}
            FIXTURES_REQUIRED WinePrefix)
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${name}."
            DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
    endif()
endfunction()
