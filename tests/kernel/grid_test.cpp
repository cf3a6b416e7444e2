#include "kernel/grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/tools.h"
#include "pulsefixtures.h"

namespace {

using optics::complex_;
using optics::pulse_;

pulse_ makepulse(int32_t n, double dt, double domega) {
    return pulsefixtures::fromvalues(std::vector<complex_>(static_cast<size_t>(n)), dt, domega);
}

TEST(Grid, OffsetsCountStepsFromSampleNHalfInTheCurrentDomain) {
    pulse_ p = makepulse(1024, 0.25, 4.0);
    EXPECT_EQ(optics::getx(p, 512), 0.0);
    EXPECT_EQ(optics::getx(p, 1), -511 * 0.25);
    EXPECT_EQ(optics::xmin(p), -511 * 0.25);
    EXPECT_EQ(optics::xmax(p), 512 * 0.25);
    p.domain = optics::frequency;
    EXPECT_EQ(optics::dx(p), 4.0L);
    EXPECT_EQ(optics::getx(p, 1), -511 * 4.0);
    p.domain = 7;  // any non-zero flag is the time domain
    EXPECT_EQ(optics::dx(p), 0.25L);
    // Odd N: the ends use integer halves, the offsets exact ones.
    const pulse_ odd = makepulse(5, 1.0, 1.0);
    EXPECT_EQ(optics::xmin(odd), -1.0L);
    EXPECT_EQ(optics::xmax(odd), 2.0L);
    EXPECT_EQ(optics::getx(odd, 1), -1.5);
}

TEST(Grid, GetIndexFindsTheSampleAtOrBelowAndClamps) {
    const double step = 0.1;
    const pulse_ p = makepulse(64, step, 1.0);
    for (int32_t i = 1; i < 64; ++i) {
        EXPECT_EQ(optics::getindex(p, optics::getx(p, i) + 0.25 * step), i);
        EXPECT_EQ(optics::getindex(p, optics::getx(p, i) + 0.75 * step), i);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const double lo = static_cast<double>(optics::xmin(p)), hi = static_cast<double>(optics::xmax(p));
    for (double x : {lo, lo - 5 * step, -inf, std::nan("")}) EXPECT_EQ(optics::getindex(p, x), 1) << x;
    for (double x : {hi, hi + 5 * step, inf}) EXPECT_EQ(optics::getindex(p, x), 64) << x;
    EXPECT_EQ(optics::getindex(makepulse(0, step, 1.0), 0.0), 1);
    EXPECT_EQ(optics::getindex(makepulse(1, step, 1.0), 3.0), 1);
    EXPECT_EQ(optics::getindex(makepulse(16, 0.0, 1.0), 0.0), 1);
}

TEST(Grid, ValuesOutsideTheArrayAreZeroAndInterpolationFallsToIt) {
    pulse_ p = makepulse(4, 2.0, 1.0);
    p.envelope(1) = complex_(2, -4);
    p.envelope(2) = complex_(4, 0);
    p.envelope(3) = complex_(0, 8);
    p.envelope(4) = complex_(6, 2);
    EXPECT_EQ(optics::getvalue(p, 0), complex_(0, 0));
    EXPECT_EQ(optics::getvalue(p, 5), complex_(0, 0));
    for (int32_t i = 1; i <= 4; ++i) EXPECT_EQ(optics::gety(p, optics::getx(p, i)), p.envelope(i));
    EXPECT_EQ(optics::gety(p, optics::getx(p, 2) + 1.0), complex_(2, 4));
    EXPECT_EQ(optics::gety(p, optics::getx(p, 1) + 0.5), complex_(2.5f, -3));
    // Past the last sample the line runs to zero one step further.
    EXPECT_EQ(optics::gety(p, optics::getx(p, 4) + 1.0), complex_(3, 1));
}

TEST(Grid, WavelengthsAndAbsoluteTime) {
    pulse_ p = makepulse(16, 1e-15, 1e12);
    p.omega0 = 2 * tools::pi * tools::c / 1.0e-6;
    EXPECT_DOUBLE_EQ(optics::lambda0(p), 1.0e-6);
    p.domain = optics::frequency;
    EXPECT_DOUBLE_EQ(optics::getlambda(p, 8), 1.0e-6);
    EXPECT_DOUBLE_EQ(optics::getlambda(p, 1), 2 * tools::pi * tools::c / (2 * tools::pi * tools::c / 1e-6 - 7e12));
    p.domain = optics::time;
    p.t = 2.5e-12L;
    EXPECT_DOUBLE_EQ(optics::absolutetime(p, 1), 2.5e-12 - 7e-15);
}

TEST(Grid, FieldQuantitiesOfOneSample) {
    const double w = 3e-4;
    for (const complex_ e : {complex_(1.0f, 0.0f), complex_(-3.5e6f, 2.25e5f), complex_(0.0f, -7e-3f)})
        EXPECT_LT(std::abs(optics::efield(optics::epotential(e, w), w) - e), 1e-6 * std::abs(e));
    EXPECT_NEAR(std::abs(optics::epotential(complex_(3, 4), 2.0)), 10 * std::sqrt(tools::pi), 1e-5);

    // Power goes with |e|^2; intensity spreads it over 2 pi w^2 in a medium of impedance Z.
    const complex_ e(3.0f, 4.0f);
    EXPECT_DOUBLE_EQ(optics::power(e), 25.0 * tools::epsilon0 * tools::c);
    EXPECT_DOUBLE_EQ(optics::power(2.0f * e), 4 * optics::power(e));
    EXPECT_NEAR(optics::intensity(e, w) * 2 * tools::pi * w * w * optics::impedance, 25.0, 1e-12);
    EXPECT_DOUBLE_EQ(optics::intensity(e, 2 * w), optics::intensity(e, w) / 4);
    // |e| is rounded to single precision, its square is not.
    const double root2 = static_cast<float>(std::sqrt(2.0));
    const double factor = 1.0 / (w * w * optics::twopi * optics::impedance);
    EXPECT_EQ(optics::intensity(complex_(1.0f, 1.0f), w), root2 * root2 * factor);

    // |e| = 1 + 2^-12 is a float, but |e|^2 = 1 + 2^-11 + 2^-24 is not: the
    // square is kept in double.
    const complex_ fine(1.0f + 0x1p-12f, 0.0f);
    const double square = 1.0 + 0x1p-11 + 0x1p-24;
    EXPECT_DOUBLE_EQ(optics::power(fine), square * optics::epsilon0c);
    EXPECT_DOUBLE_EQ(optics::intensity(fine, w), square / (w * w * optics::twopi * optics::impedance));
}

TEST(Grid, PhaseIsTheArctangentOfTheQuotient) {
    const double halfpi = optics::halfpisingle;
    EXPECT_EQ(optics::phase(complex_(0, 0)), 0.0);
    EXPECT_EQ(optics::phase(complex_(0, 2)), halfpi);
    EXPECT_EQ(optics::phase(complex_(-0.0f, 2)), halfpi);
    EXPECT_EQ(optics::phase(complex_(0, -2)), -halfpi);
    EXPECT_DOUBLE_EQ(optics::phase(complex_(1, 1)), tools::pi / 4);
    // Not the four-quadrant angle: -1+i has the angle of 1-i.
    EXPECT_DOUBLE_EQ(optics::phase(complex_(-1, 1)), -tools::pi / 4);
    EXPECT_LE(std::abs(optics::phase(complex_(1e-30f, 1e30f))), halfpi);
}

}  // namespace
