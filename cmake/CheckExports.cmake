# Compares the dynamic exports of a built module with the expected list.
# -DFILE=module -DEXPECTED=a,b,c -DWINDOWS=ON|OFF -DMACHO=ON|OFF -DOBJDUMP=tool -DNM=tool
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)

set(actual "")
if(WINDOWS)
    execute_process(COMMAND "${OBJDUMP}" -p "${FILE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
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
            list(APPEND actual "${symbol}")
        endforeach()
    endif()
elseif(MACHO)
    # External (-g), defined (-U) symbols, names only (-j). Mach-O gives every C
    # symbol a leading underscore, which the expected names do not carry. A
    # universal binary lists each architecture after a "(for architecture x):" line.
    execute_process(COMMAND "${NM}" -g -U -j "${FILE}"
        OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    string(REPLACE "\n" ";" lines "${dump}")
    foreach(line IN LISTS lines)
        if(line MATCHES " \\(for architecture [^)]+\\):$")
            continue()
        elseif(line MATCHES "^_(.+)$")
            list(APPEND actual "${CMAKE_MATCH_1}")
        elseif(NOT line STREQUAL "")
            list(APPEND actual "${line}")
        endif()
    endforeach()
else()
    execute_process(COMMAND "${NM}" -D --defined-only --format=posix "${FILE}"
        OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    string(REPLACE "\n" ";" lines "${dump}")
    foreach(line IN LISTS lines)
        if(line MATCHES "^([^ ]+) ")
            list(APPEND actual "${CMAKE_MATCH_1}")
        endif()
    endforeach()
endif()
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot list the exports of ${FILE}")
endif()
list(SORT actual)
list(REMOVE_DUPLICATES actual)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${FILE} exports\n  ${actual}\nbut should export exactly\n  ${expected}")
endif()
message(STATUS "${FILE} exports exactly: ${actual}")
