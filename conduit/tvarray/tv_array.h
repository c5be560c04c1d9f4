#ifndef CONDUIT_TVARRAY_TV_ARRAY_H
#define CONDUIT_TVARRAY_TV_ARRAY_H

/* The host array API: every host value (tvArray) belongs to Korvex; converters and
 * extensions build values through these C functions. Arrays are stored column by
 * column; sizes, dimensions and indices are pointer-wide and unsigned. */

#include <stddef.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#if defined(TVARRAY_BUILDING)
#define TVARRAY_API __declspec(dllexport)
#else
#define TVARRAY_API __declspec(dllimport)
#endif
#else
#define TVARRAY_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tvArray_tag tvArray;

/* One UTF-16 code unit of a char array (the host's UTF-16 string element). */
#if defined(__cplusplus)
#if defined(_WIN32)
typedef wchar_t tvChar;
#else
typedef char16_t tvChar;
#endif
#else
typedef unsigned short tvChar;
#endif

typedef enum {
    tvUNKNOWN_CLASS = 0,
    tvCELL_CLASS = 1,
    tvSTRUCT_CLASS = 2,
    tvLOGICAL_CLASS = 3,
    tvCHAR_CLASS = 4,
    tvDOUBLE_CLASS = 6,
    tvSINGLE_CLASS = 7,
    tvINT8_CLASS = 8,
    tvUINT8_CLASS = 9,
    tvINT16_CLASS = 10,
    tvUINT16_CLASS = 11,
    tvINT32_CLASS = 12,
    tvUINT32_CLASS = 13,
    tvINT64_CLASS = 14,
    tvUINT64_CLASS = 15
} tvClassID;

typedef enum { tvREAL = 0, tvCOMPLEX = 1 } tvComplexity;

/* Creating. Each returns a new array that the caller owns until it stores it in a
 * structure, a cell or a result slot, or null when the shape cannot be made. */
TVARRAY_API tvArray* tvCreateStructMatrix(size_t rows, size_t columns, int fieldCount,
                                          const char** fieldNames);
TVARRAY_API tvArray* tvCreateNumericMatrix(size_t rows, size_t columns, tvClassID classID,
                                           tvComplexity complexity);
TVARRAY_API tvArray* tvCreateNumericArray(size_t dimensionCount, const size_t* dimensions,
                                          tvClassID classID, tvComplexity complexity);
TVARRAY_API tvArray* tvCreateLogicalMatrix(size_t rows, size_t columns);
TVARRAY_API tvArray* tvCreateLogicalScalar(bool value);
TVARRAY_API tvArray* tvCreateDoubleScalar(double value);
/* UTF-8 text to a 1-by-length char row of UTF-16 code units. */
TVARRAY_API tvArray* tvCreateString(const char* text);
TVARRAY_API tvArray* tvCreateStringFromWide(const tvChar* units, size_t count);
TVARRAY_API tvArray* tvCreateCellArray(size_t dimensionCount, const size_t* dimensions);

/* Filling: store value and take ownership of it (a value replaced is destroyed). */
TVARRAY_API void tvSetField(tvArray* structure, size_t index, const char* fieldName,
                            tvArray* value);
TVARRAY_API void tvSetCell(tvArray* cells, size_t index, tvArray* value);
/* First element of the real data; logical elements are one byte, char elements tvChar. */
TVARRAY_API void* tvGetData(const tvArray* array);
TVARRAY_API void* tvGetImagData(const tvArray* array);

/* Reading. */
TVARRAY_API tvClassID tvGetClassID(const tvArray* array);
TVARRAY_API bool tvIsChar(const tvArray* array);
TVARRAY_API bool tvIsComplex(const tvArray* array);
TVARRAY_API size_t tvGetNumberOfElements(const tvArray* array);
TVARRAY_API size_t tvGetNumberOfDimensions(const tvArray* array);
TVARRAY_API const size_t* tvGetDimensions(const tvArray* array);
TVARRAY_API size_t tvGetM(const tvArray* array);
TVARRAY_API size_t tvGetN(const tvArray* array);
/* Value of a field, or null when it is unset or does not exist. */
TVARRAY_API tvArray* tvGetField(const tvArray* structure, size_t index, const char* fieldName);
TVARRAY_API int tvGetNumberOfFields(const tvArray* structure);
TVARRAY_API const char* tvGetFieldNameByNumber(const tvArray* structure, int number);
/* The same by the field's number (0 to tvGetNumberOfFields - 1): a reader of many
 * structures of one layout finds the numbers once instead of every name each time. */
TVARRAY_API tvArray* tvGetFieldByNumber(const tvArray* structure, size_t index, int number);
TVARRAY_API tvArray* tvGetCell(const tvArray* cells, size_t index);
/* A new NUL-terminated UTF-8 string of a char array's elements in storage order,
 * released with tvFree; null for anything but a char array. */
TVARRAY_API char* tvArrayToString(const tvArray* array);
TVARRAY_API void tvFree(void* memory);
/* Releases an array and everything stored in it; null does nothing. */
TVARRAY_API void tvDestroyArray(tvArray* array);

/* The entry point of every extension module. The host owns every array left in a
 * result slot. */
typedef void (*tevFunctionPtr)(int resultCount, tvArray* results[], int argumentCount,
                               const tvArray* arguments[]);

#ifdef __cplusplus
}
#endif

#endif
