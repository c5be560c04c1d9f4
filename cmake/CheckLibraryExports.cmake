# Compares the interface a built shared library exports with its list: the names
# (demangled, without parameters or ABI tags) in one C++ namespace, and the C
# symbols with one prefix. What else a library exports (instantiations of library
# templates, type information) is not its interface and is not listed.
# -DFILE=library -DLIST=file -DNAMESPACE=name -DPREFIX=text -DWINDOWS=ON|OFF
# -DOBJDUMP=tool -DNM=tool -DCXXFILT=tool
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${LIST}" listed REGEX "^[^#]")
list(SORT listed)

set(mangled "")
if(WINDOWS)
    # The names follow the "[Ordinal/Name Pointer] Table" header as "[   n] name".
    execute_process(COMMAND "${OBJDUMP}" -p "${FILE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    string(FIND "${dump}" "[Ordinal/Name Pointer] Table\n" start)
    if(start GREATER -1)
        string(SUBSTRING "${dump}" ${start} -1 table)
        string(FIND "${table}" "\n\n" end)
        string(SUBSTRING "${table}" 0 ${end} table)
        string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
        foreach(entry IN LISTS entries)
            string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" symbol "${entry}")
            string(APPEND mangled "${symbol}\n")
        endforeach()
    endif()
else()
    execute_process(COMMAND "${NM}" -D --defined-only --format=posix "${FILE}"
        OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    string(REGEX REPLACE "([^ \n]+) [^\n]*" "\\1" mangled "${dump}")
endif()
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot list the exports of ${FILE}")
endif()

set(names_file "${CMAKE_CURRENT_BINARY_DIR}/exports-of-${NAMESPACE}.txt")
file(WRITE "${names_file}" "${mangled}")
execute_process(COMMAND "${CXXFILT}" INPUT_FILE "${names_file}"
    OUTPUT_VARIABLE demangled RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot demangle the exports of ${FILE} with ${CXXFILT}")
endif()

set(actual "")
string(REPLACE "\n" ";" lines "${demangled}")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "\\(.*" "" name "${line}")
    string(REPLACE "[abi:cxx11]" "" name "${name}")
    # A class nested in an exported class shares its visibility on ELF, so the
    # hidden implementation of a class (its Impl) is exported there, but not on
    # Windows; no user can reach it without its definition.
    if(name MATCHES "::Impl::")
        continue()
    endif()
    if(name MATCHES "^${NAMESPACE}::" OR name MATCHES "^${PREFIX}")
        list(APPEND actual "${name}")
    endif()
endforeach()
list(SORT actual)
list(REMOVE_DUPLICATES actual)
if(NOT actual STREQUAL listed)
    set(missing ${listed})
    list(REMOVE_ITEM missing ${actual})
    set(extra ${actual})
    list(REMOVE_ITEM extra ${listed})
    message(FATAL_ERROR "${FILE} does not export what ${LIST} lists.\n"
        "Listed, not exported: ${missing}\nExported, not listed: ${extra}")
endif()
message(STATUS "${FILE} exports the ${NAMESPACE} interface of ${LIST}")
