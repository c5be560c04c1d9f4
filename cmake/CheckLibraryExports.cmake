# Compares the interface a built shared library exports with its list: the names
# (demangled, without parameters or ABI tags) in one C++ namespace, and the C
# symbols with one prefix. What else a library exports (instantiations of library
# templates, type information) is not its interface and is not listed.
# -DFILE=library -DLIST=file -DNAMESPACE=name -DPREFIX=text -DWINDOWS=ON|OFF
# -DOBJDUMP=tool -DNM=tool -DCXXFILT=tool
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/ListExports.cmake")

file(STRINGS "${LIST}" listed REGEX "^[^#]")
list(SORT listed)

kx_list_exports(mangled "${FILE}" "${WINDOWS}" OFF "${OBJDUMP}" "${NM}")
list(JOIN mangled "\n" mangled)

set(names_file "${CMAKE_CURRENT_BINARY_DIR}/exports-of-${NAMESPACE}.txt")
file(WRITE "${names_file}" "${mangled}\n")
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
