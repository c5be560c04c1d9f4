# Compares the dynamic exports of a built module with the expected list.
# -DFILE=module -DEXPECTED=a,b,c -DWINDOWS=ON|OFF -DMACHO=ON|OFF -DOBJDUMP=tool -DNM=tool
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/ListExports.cmake")
string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT expected)

kx_list_exports(actual "${FILE}" "${WINDOWS}" "${MACHO}" "${OBJDUMP}" "${NM}")
list(SORT actual)
list(REMOVE_DUPLICATES actual)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${FILE} exports\n  ${actual}\nbut should export exactly\n  ${expected}")
endif()
message(STATUS "${FILE} exports exactly: ${actual}")
