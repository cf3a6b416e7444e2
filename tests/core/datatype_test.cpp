#include "core/datatype.h"

#include <gtest/gtest.h>

#include <climits>
#include <complex>
#include <cstdint>
#include <cstring>

namespace {

using T = DataType_;

// Every code, member of the enumeration or not: its word and value size.
const struct { int code; const char* word; int size; } typeCases[] = {
    {1, "Boolean", 1}, {2, "Integer", 4}, {3, "Double", 8}, {4, "Complex", 8}, {5, "Pulse", -1}, {6, "String", -1},
    {7, "Quad", static_cast<int>(sizeof(long double))}, {100, "Undefined", -1}, {0, "Undefined", -1},
    {8, "Undefined", -1}, {-3, "Undefined", -1},
};

TEST(DataType, EachCodeHasItsWordSizeAndCasts) {
    for (const auto& c : typeCases) {
        SCOPED_TRACE(c.code);
        const T t(c.code);
        EXPECT_EQ(t.get(), c.code);
        EXPECT_EQ(t.getTypeString(), QString(c.word));
        EXPECT_EQ(t.size(), c.size);
        // Every type converts to the four numeric and logical types only.
        for (int target : {1, 2, 3, 4, 5, 6, 7, 100})
            EXPECT_EQ(t.canCastTo(static_cast<T::type_>(target)), target <= 4) << target;
    }
    EXPECT_EQ(T().get(), T::undefined);
    EXPECT_EQ(T().size(), -1);
}

TEST(DataType, WordsNameTheirCodeExactly) {
    for (int code = 1; code <= 7; ++code) {
        const T fromWord(T(code).getTypeString());
        EXPECT_EQ(fromWord.get(), code);
        EXPECT_EQ(fromWord.size(), T(code).size());
    }
    for (const char* word : {"double", "DOUBLE", " Double", "Double ", "", "Undefined", "Real"})
        EXPECT_EQ(T(QString(word)).get(), T::undefined) << '"' << word << '"';
    // Assignment recomputes the size.
    T t;
    EXPECT_EQ(t = QString("Integer"), T::integer);
    EXPECT_EQ(t.size(), 4);
    EXPECT_EQ(t = T::doubleprecision, T::doubleprecision);
    EXPECT_EQ(t.size(), 8);
    t = QString("integer");
    EXPECT_EQ(t.size(), -1);
}

TEST(DataType, ValuesPrintInTheirTextForm) {
    const unsigned char bytes[] = {0, 1, 2, 255};
    const char* truth[] = {"false", "true", "true", "true"};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(T(T::logical).getStringValue(&bytes[k]), truth[k]);
    const double d = 1.5;
    EXPECT_EQ(T(T::doubleprecision).getStringValue(&d), "1.5000000000e+00");
    const std::complex<float> z(1, -2);
    EXPECT_EQ(T(T::complex).getStringValue(&z), "(1.0000000000e+00, -2.0000000000e+00)");
    const long double q = -0.25L;
    EXPECT_EQ(T(T::quadprecision).getStringValue(&q), "-2.5000000000e-01");
    const int32_t i = INT32_MIN;
    EXPECT_EQ(T(T::integer).getStringValue(&i), "-2147483648");
    // Types without a text form print their word, whatever the memory holds.
    const char junk[64] = {};
    for (int code : {5, 6, 100, 0, 42}) EXPECT_EQ(T(code).getStringValue(junk), T(code).getTypeString());
    for (const auto& c : typeCases) EXPECT_EQ(T(c.code).getStringValue(nullptr), QString()) << c.code;
}

TEST(DataType, BooleansParseOnlyTheTwoWordsInAnyCase) {
    const struct { const char* text; int result; } cases[] = {  // result -1: target unchanged
        {"true", 1}, {"True", 1}, {"TRUE", 1}, {"false", 0}, {"FaLsE", 0},
        {" true", -1}, {"true ", -1}, {"yes", -1}, {"1", -1}, {"", -1},
    };
    for (const auto& c : cases)
        for (unsigned char start : {0, 7}) {
            unsigned char b = start;
            T(T::logical).setFromStringValue(&b, c.text);
            EXPECT_EQ(b, c.result < 0 ? start : c.result) << '"' << c.text << '"';
        }
}

TEST(DataType, NumbersParseOrBecomeZero) {
    const struct { const char* text; int32_t integer; double real; } cases[] = {
        {"abc", 0, 0}, {"", 0, 0}, {"1.5", 0, 1.5}, {"3000000000", 0, 3e9}, {"12abc", 0, 0},
        {"1,5", 0, 0}, {"e5", 0, 0}, {"-2147483648", INT32_MIN, -2147483648.0}, {"-2.5e-3", 0, -2.5e-3},
        {"1.2345678901e-07", 0, 1.2345678901e-07},
    };
    for (const auto& c : cases) {
        int32_t i = 99;
        double d = 99;
        T(T::integer).setFromStringValue(&i, c.text);
        T(T::doubleprecision).setFromStringValue(&d, c.text);
        EXPECT_EQ(i, c.integer) << c.text;
        EXPECT_EQ(d, c.real) << c.text;
    }
    // Types without parsing, and null targets, are not written.
    for (int code : {4, 5, 6, 7, 100}) {
        unsigned char memory[32];
        std::memset(memory, 0xAB, sizeof memory);
        T(code).setFromStringValue(memory, "1.0");
        for (unsigned char m : memory) ASSERT_EQ(m, 0xAB) << code;
    }
    for (int code : {1, 2, 3}) T(code).setFromStringValue(nullptr, "1");
}

}  // namespace
