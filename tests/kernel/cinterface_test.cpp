#include "kernel/cinterface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// The engine lays out its records with these widths and truth values.
TEST(CInterface, SizesTruthValuesAndExtendedPrecision) {
    EXPECT_EQ(cinterface::sizeoflogical(), 4);
    EXPECT_EQ(cinterface::sizeofinteger(), 4);
    EXPECT_EQ(cinterface::sizeofdouble(), 8);
    EXPECT_EQ(cinterface::sizeofquad(), static_cast<int32_t>(sizeof(long double)));
    EXPECT_EQ(cinterface::sizeofcomplex(), 8);
    EXPECT_EQ(cinterface::ftrue(), 1);
    EXPECT_EQ(cinterface::ffalse(), 0);
    EXPECT_EQ(cinterface::tological(-1), 1);
    optics::logical_ flag = 42;
    cinterface::maketrue(flag);
    EXPECT_EQ(flag, 1);
    cinterface::makefalse(flag);
    EXPECT_EQ(flag, 0);

    // Doubles pass through extended precision unchanged; narrowing rounds to nearest.
    using limits = std::numeric_limits<double>;
    optics::quad_ q = 0;
    for (double x : {-0.0, 0.1, limits::denorm_min(), limits::lowest(), limits::infinity()}) {
        cinterface::toquad(x, q);
        EXPECT_EQ(cinterface::todouble(q), x);
        EXPECT_EQ(std::signbit(cinterface::todouble(q)), std::signbit(x));
    }
    EXPECT_EQ(cinterface::todouble(1.0L + limits::epsilon() * 0.75L), 1.0 + limits::epsilon());
}

}  // namespace
