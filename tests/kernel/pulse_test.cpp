#include "kernel/pulse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/optics.h"
#include "kernel/tools.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

constexpr double kDuration = 100e-15;
const double kTwoPi = 2 * std::acos(-1.0);

class GeneratePulse : public Reports {};

TEST_F(GeneratePulse, GaussianOfRequestedWidthEnergyAndCarrier) {
    for (const int32_t n : {1024, 4096}) {
        SCOPED_TRACE(n);
        const double energy = 2.5e-9;
        const pulse_ p = gaussian(n, kDuration, energy, 800e-9);
        const double dt = static_cast<double>(p.dt);
        EXPECT_NEAR(static_cast<double>(p.dt * p.domega * n / kTwoPi), 1.0, 1e-12);
        EXPECT_NEAR(dt, kDuration / std::sqrt(n / kTwoPi), 1e-12 * dt);
        EXPECT_NEAR(optics::energy(p), energy, 1e-6 * energy);
        EXPECT_NEAR(optics::lambda0(p), 800e-9, 1e-15);
        EXPECT_EQ(p.domain, optics::time);
        EXPECT_EQ(p.t, 0.0L);

        // The peak lies midway between samples N/2+1 and N/2+2, 1.5 steps
        // past the origin, and the amplitude falls to exp(-1/2) at +-duration.
        EXPECT_EQ(p.envelope(n / 2 + 1), p.envelope(n / 2 + 2));
        EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 1.5 * dt, 1e-6 * dt);
        const double peakamp = p.envelope(n / 2 + 1).real() / std::exp(-0.125 / (n / kTwoPi));
        const double atwidth = optics::gety(p, 1.5 * dt + kDuration).real();
        EXPECT_NEAR(atwidth / peakamp, std::exp(-0.5), 1e-3);

        // |E|^2 is a Gaussian of rms width duration/sqrt(2); its half
        // maximum lies at +-sqrt(ln 2)*duration.
        EXPECT_NEAR(optics::msq(p), std::sqrt(2.0) * kDuration, 1e-5 * kDuration);
        const double width = 2 * std::sqrt(std::log(2.0)) * kDuration;
        EXPECT_GT(optics::fwhm(p), width - 2 * dt);
        EXPECT_LE(optics::fwhm(p), width);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(GeneratePulse, ReferenceGivesItsGridAndAHalfWidthGaussianOnSampleNHalf) {
    const pulse_ reference = gaussian(1024, kDuration);
    pulse_ p = zeros(1024, 1.0);
    const double dt = static_cast<double>(reference.dt);
    optics::generatepulse(p, 20 * dt, 1e-9, 1e-6, &reference);
    EXPECT_EQ(p.dt, reference.dt);
    EXPECT_EQ(p.domega, reference.domega);
    EXPECT_EQ(peak(p.envelope), 512);
    // duration 20 steps: exp(-1/2) of the peak at +-10 samples.
    EXPECT_NEAR(p.envelope(522).real() / p.envelope(512).real(), std::exp(-0.5), 1e-5);
    EXPECT_NEAR(p.envelope(502).real() / p.envelope(512).real(), std::exp(-0.5), 1e-5);
    EXPECT_NEAR(optics::energy(p), 1e-9, 1e-15);
}

TEST_F(GeneratePulse, PolarisedRecordGetsTheGaussianInUAndAZeroV) {
    pulse_ p;
    p.u.allocate(1024);
    p.v.allocate(1024);
    for (auto& z : p.v) z = complex_(3.0f, -1.0f);
    optics::generatepulse(p, kDuration, 1e-9, 1e-6);
    EXPECT_FALSE(p.envelope.allocated());
    EXPECT_EQ(peak(p.u), 512);
    for (const auto& z : p.v) ASSERT_EQ(z, complex_(0.0f, 0.0f));
    EXPECT_NEAR(optics::energy(p), 1e-9, 1e-15);
}

TEST_F(GeneratePulse, NonPositiveDurationOrEnergyIsReportedAndLeavesFiniteSamples) {
    for (const double duration : {-kDuration, 0.0}) {
        pulse_ p = zeros(256);
        optics::generatepulse(p, duration, 1e-9, 1e-6);
        for (const auto& z : p.envelope) ASSERT_TRUE(std::isfinite(z.real()) && std::isfinite(z.imag()));
    }
    pulse_ p = zeros(256);
    optics::generatepulse(p, kDuration, -1e-9, 1e-6);
    for (const auto& z : p.envelope) ASSERT_TRUE(std::isfinite(z.real()));
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[0], "ERROR: Invalid duration or energy in GeneratePulse. Pulse left unscaled");
}

TEST(GeneratePulseExit, RecordWithoutSamplesEndsTheProcessWithStatusZero) {
    EXPECT_EXIT(
        {
            pulse_ p;
            optics::generatepulse(p, kDuration, 1e-9, 1e-6);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            pulse_ p;
            p.u.allocate(8);  // u without v is no target either
            optics::generatepulse(p, kDuration, 1e-9, 1e-6);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            pulse_ p;
            optics::generatepulsenoise(p, kDuration, 1.0, 1e-6);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(GeneratePulseNoise, SameSequenceEveryCallAddedToTheSamples) {
    pulse_ a = zeros(512);
    pulse_ b = zeros(512);
    optics::generatepulsenoise(a, 1e-12, 2.0, 1e-6);
    optics::generatepulsenoise(b, 1e-12, 2.0, 1e-6);
    EXPECT_EQ(values(a.envelope), values(b.envelope));
    EXPECT_NEAR(static_cast<double>(a.dt), 1e-12 / 512, 1e-28);
    EXPECT_NEAR(static_cast<double>(a.dt * a.domega * 512 / kTwoPi), 1.0, 1e-12);

    double mean = 0.0;
    double square = 0.0;
    for (const auto& z : a.envelope) {
        ASSERT_LE(std::abs(z.real()), 1.0f);
        ASSERT_LE(std::abs(z.imag()), 1.0f);
        mean += z.real() + z.imag();
        square += z.real() * z.real() + z.imag() * z.imag();
    }
    // Uniform on [-1, 1): mean 0, variance 1/3.
    EXPECT_NEAR(mean / 1024, 0.0, 0.1);
    EXPECT_NEAR(square / 1024, 1.0 / 3, 0.05);

    pulse_ c = zeros(512);
    for (auto& z : c.envelope) z = complex_(5.0f, -5.0f);
    optics::generatepulsenoise(c, 1e-12, 2.0, 1e-6);
    for (int32_t i = 1; i <= 512; ++i)
        ASSERT_EQ(c.envelope(i), complex_(5.0f + a.envelope(i).real(), -5.0f + a.envelope(i).imag()));
}

TEST(CopyPulse, CopiesGridAndSamplesIntoSeparateStorage) {
    pulse_ src = gaussian(256, kDuration);
    src.t = 3e-12L;
    src.omega0 = 1.5e15L;
    src.domain = optics::frequency;
    pulse_ dest;
    optics::copypulse(src, dest);
    EXPECT_EQ(dest.t, src.t);
    EXPECT_EQ(dest.dt, src.dt);
    EXPECT_EQ(dest.domega, src.domega);
    EXPECT_EQ(dest.omega0, src.omega0);
    EXPECT_EQ(dest.domain, src.domain);
    EXPECT_EQ(values(dest.envelope), values(src.envelope));
    EXPECT_NE(dest.envelope.data(), src.envelope.data());
    dest.envelope(100) = complex_(9.0f, 9.0f);
    EXPECT_NE(src.envelope(100), dest.envelope(100));
    EXPECT_FALSE(dest.u.allocated());
}

TEST(CopyPulse, ReusesStorageOfEqualLengthAndReplacesOtherLengths) {
    const pulse_ src = gaussian(256, kDuration);
    pulse_ same = zeros(256);
    const complex_* kept = same.envelope.data();
    optics::copypulse(src, same);
    EXPECT_EQ(same.envelope.data(), kept);
    EXPECT_EQ(values(same.envelope), values(src.envelope));

    pulse_ other = zeros(64);
    optics::copypulse(src, other);
    EXPECT_EQ(other.envelope.size(), 256);
    EXPECT_EQ(values(other.envelope), values(src.envelope));
}

TEST(CopyPulse, PolarisedSourceCopiesUAndVAndLeavesTheEnvelope) {
    pulse_ src;
    src.u.allocate(16);
    src.v.allocate(16);
    for (int32_t i = 1; i <= 16; ++i) {
        src.u(i) = complex_(static_cast<float>(i), 0.0f);
        src.v(i) = complex_(0.0f, static_cast<float>(-i));
    }
    pulse_ dest = zeros(8);
    dest.envelope(1) = complex_(7.0f, 7.0f);
    optics::copypulse(src, dest);
    EXPECT_EQ(values(dest.u), values(src.u));
    EXPECT_EQ(values(dest.v), values(src.v));
    EXPECT_EQ(dest.envelope.size(), 8);
    EXPECT_EQ(dest.envelope(1), complex_(7.0f, 7.0f));

    const complex_* u = dest.u.data();
    const complex_* v = dest.v.data();
    optics::copypulse(src, dest);
    EXPECT_EQ(dest.u.data(), u);
    EXPECT_EQ(dest.v.data(), v);

    pulse_ longer;
    longer.u.allocate(32);
    longer.v.allocate(32);
    optics::copypulse(src, longer);
    EXPECT_EQ(longer.u.size(), 16);
    EXPECT_EQ(longer.v.size(), 16);
    EXPECT_EQ(values(longer.v), values(src.v));
}

class ShiftPulse : public ::testing::Test {
protected:
    const complex_ a{1, 1}, b{2, 0}, c{3, -1}, d{0, 4}, e{5, 5}, o{0, 0};
    pulse_ p = fromvalues({a, b, c, d, e}, 0.5, 2.0);
};

TEST_F(ShiftPulse, ByIndexMovesContentAndKeepsItsAbsolutePosition) {
    p.t = 10.0L;
    optics::shiftpulse(p, 3);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{o, o, o, a, b}));
    EXPECT_EQ(p.t, 10.0L - 3 * 0.5L);
    // Sample a now sits at sample 4 and still at its old absolute time.
    EXPECT_EQ(optics::absolutetime(p, 4), 10.0 + optics::getx(fromvalues({a, b, c, d, e}, 0.5), 1));

    p = fromvalues({a, b, c, d, e}, 0.5, 2.0);
    optics::shiftpulse(p, -2);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{c, d, e, o, o}));
    EXPECT_EQ(p.t, 1.0L);

    p.domain = optics::frequency;
    p.omega0 = 100.0L;
    optics::shiftpulse(p, 1, optics::frequency);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{o, c, d, e, o}));
    EXPECT_EQ(p.omega0, 98.0L);
    EXPECT_EQ(p.t, 1.0L);

    optics::shiftpulse(p, 0);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{o, c, d, e, o}));
    EXPECT_EQ(p.omega0, 98.0L);
}

TEST_F(ShiftPulse, ShiftsOfTheWholeLengthOrMoreClearWithoutOverflow) {
    for (const int32_t n : {5, -5, 1000, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        SCOPED_TRACE(n);
        p = fromvalues({a, b, c, d, e}, 0.5, 2.0);
        optics::shiftpulse(p, n);
        EXPECT_EQ(values(p.envelope), std::vector<complex_>(5, o));
        EXPECT_EQ(p.t, -(static_cast<quad_>(n) * 0.5L));
    }
}

TEST_F(ShiftPulse, PolarisationComponentsMoveTogetherAndTheEnvelopeStays) {
    pulse_ q;
    q.envelope = p.envelope;
    q.u = p.envelope;
    q.v = fromvalues({e, d, c, b, a}).envelope;
    q.dt = 1.0L;
    optics::shiftpulse(q, 2);
    EXPECT_EQ(values(q.u), (std::vector<complex_>{o, o, a, b, c}));
    EXPECT_EQ(values(q.v), (std::vector<complex_>{o, o, e, d, c}));
    EXPECT_EQ(values(q.envelope), values(p.envelope));
}

class Recenter : public Reports {
protected:
    // A Gaussian whose peak sits on sample `at` of 1024.
    static pulse_ peakedat(int32_t at) {
        pulse_ p = zeros(1024, 1e-15);
        for (int32_t i = 1; i <= 1024; ++i)
            p.envelope(i) = complex_(static_cast<float>(std::exp(-(i - at) * (i - at) / 200.0)), 0.0f);
        return p;
    }
};

TEST_F(Recenter, MovesThePeakOneSamplePastTheOrigin) {
    pulse_ p = peakedat(600);
    const std::vector<complex_> before = values(p.envelope);
    optics::recenter(p, 1, optics::time);
    EXPECT_EQ(peak(p.envelope), 513);
    EXPECT_EQ(p.t, 87 * p.dt);
    EXPECT_EQ(p.envelope(513), before[599]);
    EXPECT_EQ(p.envelope(1024 - 87), before[1023]);
    EXPECT_EQ(p.envelope(1024 - 86), complex_(0.0f, 0.0f));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Recenter, LeavesPeaksWithinTheLimitAlone) {
    pulse_ centred = peakedat(513);
    optics::recenter(centred, 1);
    EXPECT_EQ(centred.t, 0.0L);
    pulse_ near = peakedat(510);
    const std::vector<complex_> before = values(near.envelope);
    optics::recenter(near, 5);
    EXPECT_EQ(values(near.envelope), before);
    EXPECT_EQ(near.t, 0.0L);
    optics::recenter(near, 3);
    EXPECT_EQ(peak(near.envelope), 513);
}

TEST_F(Recenter, NonPositiveLimitIsReportedAndActsAsOne) {
    pulse_ p = peakedat(514);
    optics::recenter(p, 0);
    EXPECT_EQ(peak(p.envelope), 513);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0], "ERROR: Limit has to be >0 in Recenter. Setting limit to 1");
}

TEST_F(Recenter, WorksInTheRequestedDomainAndRestoresTheRecordsDomain) {
    pulse_ p = peakedat(700);
    optics::tofrequency(p);
    const quad_ omega0 = p.omega0;
    optics::recenter(p, 1, optics::time);
    EXPECT_EQ(p.domain, optics::frequency);
    EXPECT_EQ(p.omega0, omega0);
    EXPECT_EQ(p.t, 187 * p.dt);
    optics::totime(p);
    EXPECT_EQ(peak(p.envelope), 513);

    // Recentring the spectrum of a pulse on a carrier offset by 20 steps.
    pulse_ q = zeros(1024, 1e-15);
    for (int32_t i = 1; i <= 1024; ++i) {
        const double x = optics::getx(q, i);
        q.envelope(i) = complex_(std::polar(std::exp(-x * x / 2e-27), 20 * static_cast<double>(q.domega) * x));
    }
    optics::recenter(q, 1, optics::frequency);
    EXPECT_EQ(q.domain, optics::time);
    EXPECT_EQ(q.omega0, 19 * q.domega);
    optics::tofrequency(q);
    EXPECT_EQ(peak(q.envelope), 513);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Recenter, PolarisedPulseCentresThePeakOfUPlusV) {
    pulse_ p;
    p.u.allocate(64);
    p.v.allocate(64);
    p.u(40) = complex_(1.0f, 0.0f);
    p.v(40) = complex_(1.0f, 0.0f);
    p.u(10) = complex_(1.5f, 0.0f);  // larger in u alone, smaller in u + v
    p.dt = 1.0L;
    optics::recenter(p, 1);
    EXPECT_EQ(p.u(33), complex_(1.0f, 0.0f));
    EXPECT_EQ(p.v(33), complex_(1.0f, 0.0f));
    EXPECT_EQ(p.t, 7.0L);
}

class ShiftInOtherDomain : public Reports {};

TEST_F(ShiftInOtherDomain, PhaseRampOnTheSpectrumMovesTheTimeContent) {
    const pulse_ original = gaussian(1024, 50e-15);
    pulse_ p = original;
    optics::tofrequency(p);
    optics::shiftpulse(p, 37, optics::time);
    EXPECT_EQ(p.domain, optics::frequency);
    optics::totime(p);

    pulse_ reference = original;
    optics::shiftpulse(reference, 37);
    EXPECT_EQ(p.t, reference.t);
    EXPECT_LT(relativel2(values(p.envelope), values(reference.envelope)), 1e-5);
    EXPECT_NEAR(optics::energy(p), optics::energy(original), 1e-6 * optics::energy(original));
}

TEST_F(ShiftInOtherDomain, PhaseRampInTimeMovesTheSpectrum) {
    pulse_ p = gaussian(1024, 50e-15);
    p.omega0 = 2e15L;
    pulse_ reference = p;
    optics::shiftpulse(p, -25, optics::frequency);
    EXPECT_EQ(p.domain, optics::time);
    optics::tofrequency(p);
    optics::tofrequency(reference);
    optics::shiftpulse(reference, -25);
    EXPECT_EQ(p.omega0, reference.omega0);
    EXPECT_EQ(p.t, reference.t);
    EXPECT_LT(relativel2(values(p.envelope), values(reference.envelope)), 1e-5);
}

TEST_F(ShiftInOtherDomain, PolarisedRecordIsLeftUnchanged) {
    pulse_ p;
    p.u = gaussian(64, 5e-15).envelope;
    p.v = p.u;
    p.dt = 1.0L;
    p.domega = 1.0L;
    p.domain = optics::frequency;
    const std::vector<complex_> u = values(p.u);
    optics::shiftpulse(p, 5, optics::time);
    EXPECT_EQ(values(p.u), u);
    EXPECT_EQ(values(p.v), u);
    EXPECT_EQ(p.t, 0.0L);
}

class ResyncTime : public Reports {};

TEST_F(ResyncTime, ShiftsTheSlaveOntoTheMastersOrigin) {
    pulse_ master = gaussian(256, 10e-15);
    pulse_ slave = master;
    const quad_ dt = master.dt;
    slave.t = -10.4L * dt;
    const std::vector<complex_> before = values(slave.envelope);
    optics::resynctime(master, slave);
    // The content moves 10 samples down, the origin 10 steps up.
    EXPECT_NEAR(static_cast<double>(slave.t / dt), -0.4, 1e-12);
    EXPECT_EQ(slave.envelope(1), before[10]);
    EXPECT_EQ(messages(), std::vector<std::string>{"Using untested Resync function!"});

    pulse_ close = master;
    close.t = 0.9L * dt;
    optics::resynctime(master, close);
    EXPECT_EQ(close.t, 0.9L * dt);
    EXPECT_EQ(values(close.envelope), values(master.envelope));
}

TEST_F(ResyncTime, WarnsAboutFrequencyDomainAndStepMismatchAndGoesOn) {
    pulse_ master = zeros(64, 1.0);
    master.domain = optics::frequency;
    pulse_ slave = zeros(64, 2.0);
    slave.t = -5.0L;
    optics::resynctime(master, slave);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Using untested Resync function!",
                                                     "ReSync in frequency domain not tested yet.",
                                                     "Resize required but not implemented yet!"}));
    EXPECT_EQ(slave.t, -5.0L + 5 * 2.0L);
}

TEST_F(ResyncTime, HugeOrUndefinedOffsetsSaturateInsteadOfOverflowing) {
    pulse_ master = zeros(64, 1e-30);
    pulse_ slave = fromvalues(std::vector<complex_>(64, complex_(1.0f, 0.0f)), 1e-30);
    slave.t = 1.0L;
    optics::resynctime(master, slave);
    EXPECT_EQ(values(slave.envelope), std::vector<complex_>(64, complex_(0.0f, 0.0f)));

    pulse_ undefined = fromvalues(std::vector<complex_>(64, complex_(1.0f, 0.0f)), 1.0);
    undefined.t = std::numeric_limits<quad_>::quiet_NaN();
    optics::resynctime(master, undefined);
    EXPECT_EQ(values(undefined.envelope), std::vector<complex_>(64, complex_(1.0f, 0.0f)));

    master.dt = -std::numeric_limits<quad_>::infinity();
    master.t = std::numeric_limits<quad_>::infinity();
    pulse_ far = fromvalues(std::vector<complex_>(64, complex_(1.0f, 0.0f)), 1.0);
    optics::resynctime(master, far);
    EXPECT_EQ(values(far.envelope), std::vector<complex_>(64, complex_(1.0f, 0.0f)));
}

}  // namespace
