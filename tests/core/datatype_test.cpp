#include "core/datatype.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>

namespace {

using T = DataType_;

struct TypeCase {
    int code;
    const char* word;
    int size;
};

// Every code, member of the enumeration or not: its word and value size.
const TypeCase typeCases[] = {
    {1, "Boolean", 1},
    {2, "Integer", 4},
    {3, "Double", 8},
    {4, "Complex", 8},
    {5, "Pulse", -1},
    {6, "String", -1},
    {7, "Quad", static_cast<int>(sizeof(long double))},
    {100, "Undefined", -1},
    {0, "Undefined", -1},
    {8, "Undefined", -1},
    {99, "Undefined", -1},
    {-3, "Undefined", -1},
};

TEST(DataType, EachCodeHasItsWordAndSize) {
    for (const auto& c : typeCases) {
        SCOPED_TRACE(c.code);
        const T t(c.code);
        EXPECT_EQ(t.get(), c.code);
        EXPECT_EQ(t.getTypeString(), QString(c.word));
        EXPECT_EQ(t.size(), c.size);
    }
    EXPECT_EQ(T().get(), T::undefined);
    EXPECT_EQ(T().size(), -1);
    EXPECT_EQ(T(T::quadprecision).size(), 16);
}

TEST(DataType, WordsNameTheirCodeExactly) {
    for (int code = 1; code <= 7; ++code) {
        const QString word = T(code).getTypeString();
        const T fromWord(word);
        EXPECT_EQ(fromWord.get(), code) << word.toStdString();
        EXPECT_EQ(fromWord.size(), T(code).size());
    }
    for (const char* word : {"double", "DOUBLE", " Double", "Double ", "", "Undefined", "Real"}) {
        const T t{QString(word)};
        EXPECT_EQ(t.get(), T::undefined) << '"' << word << '"';
        EXPECT_EQ(t.size(), -1);
    }
    EXPECT_EQ(T().getType("Quad"), T::quadprecision);
}

TEST(DataType, AssignmentRecomputesTheSize) {
    T t;
    EXPECT_EQ(t = QString("Integer"), T::integer);
    EXPECT_EQ(t.size(), 4);
    EXPECT_EQ(t = T::doubleprecision, T::doubleprecision);
    EXPECT_EQ(t.size(), 8);
    t = QString("integer");
    EXPECT_EQ(t.get(), T::undefined);
    EXPECT_EQ(t.size(), -1);

    t.setSize(3);
    t.computeSize();
    EXPECT_EQ(t.size(), -1);

    const T a(T::complex), b(QString("Complex")), c(T::logical);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a != c);
    EXPECT_TRUE(a == T::complex);
    EXPECT_TRUE(a != T::pulse);
    EXPECT_EQ(static_cast<T::type_>(a), T::complex);
}

TEST(DataType, NumericAndLogicalTargetsAcceptEveryCast) {
    for (int code : {1, 2, 3, 4, 5, 6, 7, 100}) {
        const T t(code);
        for (int target = 1; target <= 7; ++target)
            EXPECT_EQ(t.canCastTo(static_cast<T::type_>(target)), target <= 4) << code << target;
        EXPECT_FALSE(t.canCastTo(T::undefined));
    }
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
    const int32_t i = -17;
    EXPECT_EQ(T(T::integer).getStringValue(&i), "-17");

    // Types without a text form print their word, whatever the memory holds.
    const char junk[64] = {};
    for (int code : {5, 6, 100, 0, 42}) EXPECT_EQ(T(code).getStringValue(junk), T(code).getTypeString());
    for (const auto& c : typeCases) EXPECT_EQ(T(c.code).getStringValue(nullptr), QString()) << c.code;
}

TEST(DataType, BooleansParseOnlyTheTwoWordsInAnyCase) {
    struct Case {
        const char* text;
        int result;  // -1: target unchanged
    } cases[] = {
        {"true", 1}, {"True", 1}, {"TRUE", 1}, {"false", 0}, {"FaLsE", 0},
        {" true", -1}, {"true ", -1}, {"yes", -1}, {"1", -1}, {"", -1},
    };
    const T t(T::logical);
    for (const auto& c : cases) {
        for (unsigned char start : {0, 7}) {
            unsigned char b = start;
            t.setFromStringValue(&b, c.text);
            EXPECT_EQ(b, c.result < 0 ? start : c.result) << '"' << c.text << '"';
        }
    }
}

TEST(DataType, NumbersThatDoNotParseBecomeZero) {
    const T integer(T::integer), real(T::doubleprecision);
    for (const char* text : {"abc", "", "1.5", "3000000000", "12abc"}) {
        int32_t i = 99;
        integer.setFromStringValue(&i, text);
        EXPECT_EQ(i, 0) << text;
    }
    for (const char* text : {"abc", "", "1,5", "e5"}) {
        double d = 99;
        real.setFromStringValue(&d, text);
        EXPECT_EQ(d, 0) << text;
    }
    int32_t i = 0;
    integer.setFromStringValue(&i, "-2147483648");
    EXPECT_EQ(i, INT32_MIN);
    double d = 0;
    real.setFromStringValue(&d, "-2.5e-3");
    EXPECT_EQ(d, -2.5e-3);
}

TEST(DataType, TypesWithoutParsingAndNullTargetsAreNotWritten) {
    for (int code : {4, 5, 6, 7, 100}) {
        unsigned char memory[32];
        std::memset(memory, 0xAB, sizeof memory);
        T(code).setFromStringValue(memory, "1.0");
        for (unsigned char m : memory) ASSERT_EQ(m, 0xAB) << code;
    }
    for (int code : {1, 2, 3}) T(code).setFromStringValue(nullptr, "1");
}

// Printed text reads back to the value: exactly for integers and booleans,
// to the 11 significant digits printed for doubles; and canonical text
// survives text -> value -> text unchanged.
TEST(DataType, TextRoundTrips) {
    const T integer(T::integer), real(T::doubleprecision), logical(T::logical);
    for (int32_t v : {0, 1, -1, 42, INT32_MAX, INT32_MIN}) {
        int32_t back = ~v;
        integer.setFromStringValue(&back, integer.getStringValue(&v));
        EXPECT_EQ(back, v);
    }
    for (double v : {0.0, 1.0, -1.0, 3.141592653589793, -6.02214076e23, 1.0e-300, 2.99e8, 1e-15}) {
        double back = 0;
        real.setFromStringValue(&back, real.getStringValue(&v));
        EXPECT_NEAR(back, v, std::abs(v) * 5e-11) << v;
    }
    for (unsigned char v : {0, 1, 3}) {
        unsigned char back = 9;
        logical.setFromStringValue(&back, logical.getStringValue(&v));
        EXPECT_EQ(back, v != 0);
    }
    struct Text {
        const T& type;
        const char* text;
    } texts[] = {
        {real, "1.2345678901e-07"}, {real, "-9.9999999999e+99"}, {real, "0.0000000000e+00"},
        {integer, "-123456"}, {logical, "true"}, {logical, "false"},
    };
    for (const auto& c : texts) {
        alignas(8) unsigned char value[8] = {};
        c.type.setFromStringValue(value, c.text);
        EXPECT_EQ(c.type.getStringValue(value), QString(c.text));
    }
}

}  // namespace
