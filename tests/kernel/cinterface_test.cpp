#include "kernel/cinterface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(CInterface, SizeProbesReportTheRealWidths) {
    EXPECT_EQ(cinterface::sizeoflogical(), 4);
    EXPECT_EQ(cinterface::sizeofinteger(), 4);
    EXPECT_EQ(cinterface::sizeofdouble(), 8);
    EXPECT_EQ(cinterface::sizeofquad(), static_cast<int32_t>(sizeof(long double)));
    EXPECT_EQ(cinterface::sizeofquad(), 16);
    EXPECT_EQ(cinterface::sizeofcomplex(), 8);
}

TEST(CInterface, TruthValuesAreOneAndZero) {
    EXPECT_EQ(cinterface::ftrue(), 1);
    EXPECT_EQ(cinterface::ffalse(), 0);
    EXPECT_EQ(cinterface::tological(-1), 1);
    EXPECT_EQ(cinterface::tological(0), 0);
    optics::logical_ flag = 42;
    cinterface::maketrue(flag);
    EXPECT_EQ(flag, 1);
    cinterface::makefalse(flag);
    EXPECT_EQ(flag, 0);
}

TEST(CInterface, DoublesSurviveTheRoundTripThroughExtendedPrecision) {
    using limits = std::numeric_limits<double>;
    for (double x : {0.0, 1.0, -2.5, 0.1, 1e-300, limits::denorm_min(), limits::max(), limits::lowest(),
                     limits::infinity(), -limits::infinity()}) {
        optics::quad_ q = 0;
        cinterface::toquad(x, q);
        EXPECT_EQ(q, static_cast<long double>(x));
        EXPECT_EQ(cinterface::todouble(q), x);
    }
    optics::quad_ q = 1;
    cinterface::toquad(-0.0, q);
    EXPECT_TRUE(std::signbit(cinterface::todouble(q)));
    cinterface::toquad(std::nan(""), q);
    EXPECT_TRUE(std::isnan(cinterface::todouble(q)));
    // Narrowing rounds to nearest.
    EXPECT_EQ(cinterface::todouble(1.0L + std::numeric_limits<double>::epsilon() * 0.75L),
              1.0 + std::numeric_limits<double>::epsilon());
    EXPECT_EQ(cinterface::todouble(1.0L + std::numeric_limits<double>::epsilon() * 0.25L), 1.0);
}

}  // namespace
