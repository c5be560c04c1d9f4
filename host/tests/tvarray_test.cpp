#include "conduit/tvarray/tv_array.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct ArrayDeleter {
    void operator()(tvArray* array) const { tvDestroyArray(array); }
};
using Array = std::unique_ptr<tvArray, ArrayDeleter>;

std::string toText(const tvArray* array) {
    char* text = tvArrayToString(array);
    if (text == nullptr)
        return "<null>";
    std::string copy(text);
    tvFree(text);
    return copy;
}

TEST(TvArrayNumeric, MatrixIsStoredColumnByColumn) {
    Array matrix(tvCreateNumericMatrix(2, 2, tvINT16_CLASS, tvREAL));
    ASSERT_NE(nullptr, matrix);
    auto* data = static_cast<std::int16_t*>(tvGetData(matrix.get()));
    // Element (row r, column c) lies at index c * rows + r.
    data[0] = 11, data[1] = 21, data[2] = 12, data[3] = 22;
    EXPECT_EQ(tvINT16_CLASS, tvGetClassID(matrix.get()));
    EXPECT_EQ(2u, tvGetM(matrix.get()));
    EXPECT_EQ(2u, tvGetN(matrix.get()));
    EXPECT_EQ(4u, tvGetNumberOfElements(matrix.get()));
    EXPECT_EQ(2u, tvGetNumberOfDimensions(matrix.get()));
}

TEST(TvArrayNumeric, EveryClassHasItsElementWidthAndStartsAtZero) {
    const struct {
        tvClassID id;
        std::size_t width;
    } classes[] = {{tvDOUBLE_CLASS, 8}, {tvSINGLE_CLASS, 4}, {tvINT8_CLASS, 1},
                   {tvUINT8_CLASS, 1},  {tvINT16_CLASS, 2},  {tvUINT16_CLASS, 2},
                   {tvINT32_CLASS, 4},  {tvUINT32_CLASS, 4}, {tvINT64_CLASS, 8},
                   {tvUINT64_CLASS, 8}};
    for (const auto& c : classes) {
        Array row(tvCreateNumericMatrix(1, 3, c.id, tvREAL));
        ASSERT_NE(nullptr, row) << c.id;
        EXPECT_EQ(c.id, tvGetClassID(row.get()));
        const auto* bytes = static_cast<const unsigned char*>(tvGetData(row.get()));
        for (std::size_t i = 0; i < 3 * c.width; ++i)
            EXPECT_EQ(0, bytes[i]) << c.id;
    }
    // Cell, struct and char are not numeric classes.
    EXPECT_EQ(nullptr, tvCreateNumericMatrix(1, 1, tvCELL_CLASS, tvREAL));
    EXPECT_EQ(nullptr, tvCreateNumericMatrix(1, 1, tvCHAR_CLASS, tvREAL));
}

TEST(TvArrayNumeric, EmptyRowAndThreeDimensionalShapes) {
    Array empty(tvCreateNumericMatrix(1, 0, tvDOUBLE_CLASS, tvREAL));
    EXPECT_EQ(1u, tvGetM(empty.get()));
    EXPECT_EQ(0u, tvGetN(empty.get()));
    EXPECT_EQ(0u, tvGetNumberOfElements(empty.get()));
    EXPECT_EQ(nullptr, tvGetData(empty.get()));

    const std::size_t cube[] = {2, 2, 2};
    Array three(tvCreateNumericArray(3, cube, tvDOUBLE_CLASS, tvREAL));
    EXPECT_EQ(3u, tvGetNumberOfDimensions(three.get()));
    EXPECT_EQ(8u, tvGetNumberOfElements(three.get()));
    EXPECT_EQ(2u, tvGetM(three.get()));
    EXPECT_EQ(4u, tvGetN(three.get())); // columns of all pages together
    EXPECT_EQ(2u, tvGetDimensions(three.get())[2]);

    // Trailing singleton dimensions are dropped: 2x3x1 is a matrix.
    const std::size_t flat[] = {2, 3, 1};
    Array matrix(tvCreateNumericArray(3, flat, tvDOUBLE_CLASS, tvREAL));
    EXPECT_EQ(2u, tvGetNumberOfDimensions(matrix.get()));
}

// Small values keep their elements inside them, larger ones on the heap: either way
// the elements start at zero, hold what is written, and the shape is kept.
TEST(TvArrayNumeric, ShortAndLongValuesAndShortShapes) {
    for (const std::size_t count : {1u, 6u, 7u, 1000u}) {
        Array row(tvCreateNumericMatrix(1, count, tvDOUBLE_CLASS, tvCOMPLEX));
        ASSERT_NE(nullptr, row) << count;
        auto* real = static_cast<double*>(tvGetData(row.get()));
        auto* imaginary = static_cast<double*>(tvGetImagData(row.get()));
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(0.0, real[i]);
            EXPECT_EQ(0.0, imaginary[i]);
            real[i] = static_cast<double>(i);
            imaginary[i] = -static_cast<double>(i);
        }
        EXPECT_EQ(static_cast<double>(count - 1), real[count - 1]);
        EXPECT_EQ(-static_cast<double>(count - 1), imaginary[count - 1]);
        EXPECT_EQ(count, tvGetN(row.get()));
    }
    // No dimensions: 0-by-1; one: a column.
    Array none(tvCreateNumericArray(0, nullptr, tvDOUBLE_CLASS, tvREAL));
    EXPECT_EQ(0u, tvGetM(none.get()));
    EXPECT_EQ(1u, tvGetN(none.get()));
    const std::size_t five[] = {5};
    Array column(tvCreateNumericArray(1, five, tvINT16_CLASS, tvREAL));
    EXPECT_EQ(2u, tvGetNumberOfDimensions(column.get()));
    EXPECT_EQ(5u, tvGetM(column.get()));
    EXPECT_EQ(1u, tvGetN(column.get()));
    const std::size_t many[] = {1, 2, 1, 3, 1, 1};
    Array four(tvCreateNumericArray(6, many, tvUINT8_CLASS, tvREAL));
    EXPECT_EQ(4u, tvGetNumberOfDimensions(four.get()));
    EXPECT_EQ(3u, tvGetDimensions(four.get())[3]);
}

TEST(TvArrayNumeric, OverflowingShapeGivesNull) {
    const std::size_t huge[] = {SIZE_MAX / 2, 4};
    EXPECT_EQ(nullptr, tvCreateNumericArray(2, huge, tvDOUBLE_CLASS, tvREAL));
}

TEST(TvArrayScalars, DoubleAndLogical) {
    Array number(tvCreateDoubleScalar(-2.5));
    EXPECT_EQ(tvDOUBLE_CLASS, tvGetClassID(number.get()));
    EXPECT_EQ(-2.5, *static_cast<double*>(tvGetData(number.get())));
    Array yes(tvCreateLogicalScalar(true));
    EXPECT_EQ(tvLOGICAL_CLASS, tvGetClassID(yes.get()));
    EXPECT_EQ(1, *static_cast<unsigned char*>(tvGetData(yes.get())));
    Array logicals(tvCreateLogicalMatrix(1, 4));
    EXPECT_EQ(4u, tvGetNumberOfElements(logicals.get()));
}

TEST(TvArrayChar, StringsAreUtf16InsideAndUtf8Outside) {
    Array ascii(tvCreateString("abc"));
    EXPECT_TRUE(tvIsChar(ascii.get()));
    EXPECT_EQ(1u, tvGetM(ascii.get()));
    EXPECT_EQ(3u, tvGetN(ascii.get()));
    EXPECT_EQ("abc", toText(ascii.get()));

    // e-acute (2 UTF-8 bytes), euro sign (3), and a character outside the BMP (4):
    // one, one and two UTF-16 units.
    const std::string text = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    Array unicode(tvCreateString(text.c_str()));
    EXPECT_EQ(4u, tvGetN(unicode.get()));
    const auto* units = static_cast<const tvChar*>(tvGetData(unicode.get()));
    EXPECT_EQ(0x00E9, units[0]);
    EXPECT_EQ(0x20AC, units[1]);
    EXPECT_EQ(0xD83D, units[2]);
    EXPECT_EQ(0xDE00, units[3]);
    EXPECT_EQ(text, toText(unicode.get()));

    const tvChar wide[] = {u'h', u'\u00E9'};
    Array fromWide(tvCreateStringFromWide(wide, 2));
    EXPECT_EQ("h\xC3\xA9", toText(fromWide.get()));

    Array empty(tvCreateString(""));
    EXPECT_TRUE(tvIsChar(empty.get()));
    EXPECT_EQ(0u, tvGetNumberOfElements(empty.get()));
    EXPECT_EQ("", toText(empty.get()));

    // Invalid UTF-8 never produces invalid UTF-16: the bad byte becomes U+FFFD.
    Array invalid(tvCreateString("a\xFF"));
    EXPECT_EQ("a\xEF\xBF\xBD", toText(invalid.get()));

    Array number(tvCreateDoubleScalar(1));
    EXPECT_EQ(nullptr, tvArrayToString(number.get()));
}

TEST(TvArrayStruct, FieldsStartUnsetAndTakeOwnership) {
    const char* names[] = {"Timestamp", "X"};
    Array structure(tvCreateStructMatrix(1, 1, 2, names));
    EXPECT_EQ(tvSTRUCT_CLASS, tvGetClassID(structure.get()));
    EXPECT_EQ(2, tvGetNumberOfFields(structure.get()));
    EXPECT_STREQ("X", tvGetFieldNameByNumber(structure.get(), 1));
    EXPECT_EQ(nullptr, tvGetFieldNameByNumber(structure.get(), 2));
    EXPECT_EQ(nullptr, tvGetField(structure.get(), 0, "X"));

    tvSetField(structure.get(), 0, "X", tvCreateDoubleScalar(1.0));
    // Replacing a value releases the old one (checked by the sanitizer runs).
    tvSetField(structure.get(), 0, "X", tvCreateDoubleScalar(2.0));
    EXPECT_EQ(2.0, *static_cast<double*>(tvGetData(tvGetField(structure.get(), 0, "X"))));
    // By number, the same value; nothing beyond the fields or the elements.
    EXPECT_EQ(tvGetField(structure.get(), 0, "X"), tvGetFieldByNumber(structure.get(), 0, 1));
    EXPECT_EQ(nullptr, tvGetFieldByNumber(structure.get(), 0, 0)) << "Timestamp is unset";
    EXPECT_EQ(nullptr, tvGetFieldByNumber(structure.get(), 0, 2));
    EXPECT_EQ(nullptr, tvGetFieldByNumber(structure.get(), 0, -1));
    EXPECT_EQ(nullptr, tvGetFieldByNumber(structure.get(), 1, 1));
    // A value that cannot be stored is released, not leaked.
    tvSetField(structure.get(), 0, "NoSuchField", tvCreateDoubleScalar(3.0));
    tvSetField(structure.get(), 1, "X", tvCreateDoubleScalar(3.0));
    EXPECT_EQ(nullptr, tvGetField(structure.get(), 0, "NoSuchField"));
}

// Names that share a start, a long one, an empty one: each found as itself only.
TEST(TvArrayStruct, FieldsAreFoundByTheirWholeName) {
    const char* names[] = {"X", "XY", "", "HorizontalAccuracyOfTheFix", "Y"};
    Array structure(tvCreateStructMatrix(1, 1, 5, names));
    ASSERT_EQ(5, tvGetNumberOfFields(structure.get()));
    for (int f = 0; f < 5; ++f) {
        EXPECT_STREQ(names[f], tvGetFieldNameByNumber(structure.get(), f));
        tvSetField(structure.get(), 0, names[f], tvCreateDoubleScalar(f));
    }
    for (int f = 0; f < 5; ++f) {
        const tvArray* value = tvGetField(structure.get(), 0, names[f]);
        ASSERT_NE(nullptr, value) << names[f];
        EXPECT_EQ(f, *static_cast<const double*>(tvGetData(value))) << names[f];
        EXPECT_EQ(value, tvGetFieldByNumber(structure.get(), 0, f));
    }
    EXPECT_EQ(nullptr, tvGetField(structure.get(), 0, "XYZ"));
    EXPECT_EQ(nullptr, tvGetField(structure.get(), 0, "Horizontal"));
    // A missing name makes no structure; no names make one without fields.
    const char* missing[] = {"X", nullptr};
    EXPECT_EQ(nullptr, tvCreateStructMatrix(1, 1, 2, missing));
    Array none(tvCreateStructMatrix(1, 1, 0, nullptr));
    EXPECT_EQ(0, tvGetNumberOfFields(none.get()));
    EXPECT_EQ(nullptr, tvGetFieldNameByNumber(none.get(), 0));
}

// Structures made with the same names share them; each still has exactly the names
// it was made with, whatever was made before or after it and whatever the caller
// does to its own copy of the names.
TEST(TvArrayStruct, EveryStructureKeepsTheNamesItWasMadeWith) {
    const auto namesOf = [](const tvArray* structure) {
        std::vector<std::string> names;
        for (int f = 0; f < tvGetNumberOfFields(structure); ++f)
            names.emplace_back(tvGetFieldNameByNumber(structure, f));
        return names;
    };
    char changing[] = "Speed";
    const char* first[] = {"Timestamp", changing, "HorizontalAccuracy"};
    Array a(tvCreateStructMatrix(1, 1, 3, first));
    Array b(tvCreateStructMatrix(1, 1, 3, first));
    changing[0] = 'B'; // the caller's text changes: "Bpeed"
    Array c(tvCreateStructMatrix(1, 1, 3, first));
    const char* shorter[] = {"Timestamp", "Speed"};
    Array d(tvCreateStructMatrix(1, 1, 2, shorter));
    Array e(tvCreateStructMatrix(1, 1, 3, first));
    a.reset(); // the first structure goes; the others keep their names
    using Names = std::vector<std::string>;
    EXPECT_EQ((Names{"Timestamp", "Speed", "HorizontalAccuracy"}), namesOf(b.get()));
    EXPECT_EQ((Names{"Timestamp", "Bpeed", "HorizontalAccuracy"}), namesOf(c.get()));
    EXPECT_EQ((Names{"Timestamp", "Speed"}), namesOf(d.get()));
    EXPECT_EQ((Names{"Timestamp", "Bpeed", "HorizontalAccuracy"}), namesOf(e.get()));
    EXPECT_EQ(nullptr, tvGetField(b.get(), 0, "Bpeed"));
    tvSetField(c.get(), 0, "Bpeed", tvCreateDoubleScalar(1.0));
    EXPECT_NE(nullptr, tvGetField(c.get(), 0, "Bpeed"));
}

TEST(TvArrayStruct, ThreadsMakingStructuresOfDifferentNamesGetTheirOwn) {
    // Two threads alternate between two sets of names (run under ThreadSanitizer
    // too): every structure must carry the names it was made with.
    const char* accel[] = {"Timestamp", "X", "Y", "Z"};
    const char* fix[] = {"Timestamp", "Latitude", "Longitude"};
    std::atomic<int> wrong{0};
    const auto make = [&](int offset) {
        for (int i = 0; i < 2000; ++i) {
            const bool isFix = (i + offset) % 2 == 0;
            Array made(isFix ? tvCreateStructMatrix(1, 1, 3, fix)
                             : tvCreateStructMatrix(1, 1, 4, accel));
            const char* second = tvGetFieldNameByNumber(made.get(), 1);
            if (tvGetNumberOfFields(made.get()) != (isFix ? 3 : 4) || second == nullptr ||
                std::string(second) != (isFix ? "Latitude" : "X"))
                ++wrong;
        }
    };
    std::thread other(make, 1);
    make(0);
    other.join();
    EXPECT_EQ(0, wrong.load());
}

TEST(TvArrayCell, RowOfStringsAndEmptyCells) {
    const std::size_t row[] = {1, 2};
    Array cells(tvCreateCellArray(2, row));
    EXPECT_EQ(tvCELL_CLASS, tvGetClassID(cells.get()));
    EXPECT_EQ(nullptr, tvGetCell(cells.get(), 0));
    tvSetCell(cells.get(), 0, tvCreateString("10.0.0.5"));
    tvSetCell(cells.get(), 1, tvCreateString("192.168.1.10"));
    tvSetCell(cells.get(), 2, tvCreateString("out of range")); // released
    EXPECT_EQ("192.168.1.10", toText(tvGetCell(cells.get(), 1)));

    const std::size_t none[] = {0, 0};
    Array empty(tvCreateCellArray(2, none));
    EXPECT_EQ(0u, tvGetM(empty.get()));
    EXPECT_EQ(0u, tvGetN(empty.get()));
    const std::size_t oneByZero[] = {1, 0};
    Array row0(tvCreateCellArray(2, oneByZero));
    EXPECT_EQ(1u, tvGetM(row0.get()));
    EXPECT_EQ(0u, tvGetN(row0.get()));
}

TEST(TvArrayNull, EveryReaderAcceptsNull) {
    tvDestroyArray(nullptr);
    EXPECT_EQ(tvUNKNOWN_CLASS, tvGetClassID(nullptr));
    EXPECT_FALSE(tvIsChar(nullptr));
    EXPECT_EQ(0u, tvGetNumberOfElements(nullptr));
    EXPECT_EQ(nullptr, tvGetData(nullptr));
    EXPECT_EQ(nullptr, tvArrayToString(nullptr));
    EXPECT_EQ(nullptr, tvGetFieldByNumber(nullptr, 0, 0));
    EXPECT_EQ(nullptr, tvCreateString(nullptr));
    tvSetCell(nullptr, 0, tvCreateDoubleScalar(1)); // released, not leaked
}

} // namespace
