# kx_list_exports(out file windows macho objdump nm): the names of the symbols a
# built module or shared library exports, as the linker wrote them (mangled), into
# the list out. Fails the script when they cannot be listed.
function(kx_list_exports out file windows macho objdump nm)
    set(symbols "")
    if(windows)
        execute_process(COMMAND "${objdump}" -p "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
        # Export names follow the "[Ordinal/Name Pointer] Table" header as "[   n] name",
        # up to the next blank line. Square brackets group list elements in CMake, so
        # the names are taken out with regular expressions rather than by lines.
        string(FIND "${dump}" "[Ordinal/Name Pointer] Table\n" start)
        if(start GREATER -1)
            string(SUBSTRING "${dump}" ${start} -1 table)
            string(FIND "${table}" "\n\n" end)
            string(SUBSTRING "${table}" 0 ${end} table)
            string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
            foreach(entry IN LISTS entries)
                string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" symbol "${entry}")
                list(APPEND symbols "${symbol}")
            endforeach()
        endif()
    elseif(macho)
        # External (-g), defined (-U) symbols, names only (-j). Mach-O gives every C
        # symbol a leading underscore, which the expected names do not carry. A
        # universal binary lists each architecture after a "(for architecture x):" line.
        execute_process(COMMAND "${nm}" -g -U -j "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
        string(REPLACE "\n" ";" lines "${dump}")
        foreach(line IN LISTS lines)
            if(line MATCHES " \\(for architecture [^)]+\\):$")
                continue()
            elseif(line MATCHES "^_(.+)$")
                list(APPEND symbols "${CMAKE_MATCH_1}")
            elseif(NOT line STREQUAL "")
                list(APPEND symbols "${line}")
            endif()
        endforeach()
    else()
        execute_process(COMMAND "${nm}" -D --defined-only --format=posix "${file}"
            OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
        string(REPLACE "\n" ";" lines "${dump}")
        foreach(line IN LISTS lines)
            if(line MATCHES "^([^ ]+) ")
                list(APPEND symbols "${CMAKE_MATCH_1}")
            endif()
        endforeach()
    endif()
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "cannot list the exports of ${file}")
    endif()
    set(${out} "${symbols}" PARENT_SCOPE)
endfunction()
