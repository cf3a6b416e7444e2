#include "kernel/measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <thread>
#include <vector>

#include "kernel/optics.h"
#include "kernel/tools.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

constexpr double kDuration = 80e-15;
const double kPi = std::acos(-1.0);

// A Gaussian of 1024 time samples on a carrier `carrier` frequency steps up:
// its spectrum is centred on carrier*domega.
pulse_ oncarrier(double carrier, int32_t n = 1024) {
    pulse_ p = zeros(n, 1e-15);
    for (int32_t i = 1; i <= n; ++i) {
        const double x = optics::getx(p, i);
        p.envelope(i) = complex_(std::polar(std::exp(-x * x / 1e-27), carrier * static_cast<double>(p.domega) * x));
    }
    return p;
}

using Transforms = kernelerrors::KernelErrors;

TEST_F(Transforms, GridStaysAndPolarisedRecordsTransformTheirComponents) {
    pulse_ p = oncarrier(5, 256);
    p.t = 1e-12L;
    p.omega0 = 2e15L;
    pulse_ polar = p;
    polar.u = polar.v = p.envelope;
    const pulse_ before = p;
    optics::tofrequency(p);
    const std::vector<complex_> spectrum = values(p.envelope);
    optics::tofrequency(p);  // already there: nothing happens
    EXPECT_EQ(values(p.envelope), spectrum);
    EXPECT_EQ(p.domain, optics::frequency);
    EXPECT_EQ(std::vector<quad_>({p.t, p.dt, p.omega0, p.domega}),
              std::vector<quad_>({before.t, before.dt, before.omega0, before.domega}));
    // u and v carry the field of a polarised record; its envelope stays.
    optics::tofrequency(polar);
    EXPECT_EQ(values(polar.envelope), values(before.envelope));
    EXPECT_EQ(values(polar.u), spectrum);
    EXPECT_NEAR(optics::energy(polar), 4 * optics::energy(p), 1e-6 * optics::energy(polar));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Transforms, GaussianKeepsSamplesAndEnergyAcrossDomains) {
    for (const int32_t n : {1024, 16384}) {
        SCOPED_TRACE(n);
        pulse_ p = gaussian(n, kDuration, 3e-9);
        const std::vector<complex_> before = values(p.envelope);
        optics::tofrequency(p);
        EXPECT_NEAR(optics::energy(p), 3e-9, 1.5e-16);
        // The spectrum has the reciprocal width; the time offset of 1.5
        // steps is a phase ramp, so |s| stays centred.
        const double domega = static_cast<double>(p.domega);
        EXPECT_NEAR(optics::msq(p), std::sqrt(2.0) / kDuration, 1e-5 / kDuration);
        EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 0.0, 1e-6 * domega);
        const double width = 2 * std::sqrt(std::log(2.0)) / kDuration;
        EXPECT_GT(optics::fwhm(p), width - 2 * domega);
        EXPECT_LE(optics::fwhm(p), width);
        optics::totime(p);
        EXPECT_LT(relativel2(values(p.envelope), before), 2e-7);
    }
}

TEST_F(Transforms, RefusedTransformIsReportedAndLeavesDomainAndSamples) {
    pulse_ p = gaussian(256, -kDuration);  // a negative time step
    const std::vector<complex_> before = values(p.envelope);
    optics::tofrequency(p);
    EXPECT_EQ(p.domain, optics::time);
    EXPECT_EQ(values(p.envelope), before);
    EXPECT_EQ(messages().back(), "ERROR: Invalid grid step in ToFrequency. Pulse left in time domain");

    pulse_ spectrum = gaussian(256, kDuration);
    optics::tofrequency(spectrum);
    const std::vector<complex_> samples = values(spectrum.envelope);
    for (const quad_ step : {quad_(0), std::numeric_limits<quad_>::quiet_NaN(), std::numeric_limits<quad_>::infinity()}) {
        spectrum.domega = step;
        optics::totime(spectrum);
        EXPECT_EQ(spectrum.domain, optics::frequency);
        EXPECT_EQ(values(spectrum.envelope), samples);
    }
    EXPECT_EQ(messages().back(), "ERROR: Invalid grid step in ToTime. Pulse left in frequency domain");

    pulse_ odd = zeros(100);
    optics::tofrequency(odd);
    EXPECT_EQ(odd.domain, optics::time);
    EXPECT_EQ(messages().back(), "ERROR: Sample count is not a power of two in ToFrequency. Pulse left in time domain");
    EXPECT_EQ(messages().size(), 6u);  // generatepulse reported the negative duration
}

TEST(Measures, WidthsCountWholeStepsBetweenTheOutermostSamplesAboveHalf) {
    const double dt = 1e-15;
    pulse_ p = zeros(1024, dt);
    EXPECT_EQ(optics::fwhm(p), 0.0);
    EXPECT_EQ(optics::fwhme(p), 0.0);
    p.envelope(700) = complex_(0.6f, 0.8f);
    EXPECT_DOUBLE_EQ(optics::fwhm(p), dt);
    EXPECT_EQ(optics::fwhme(p), 0.0);
    for (int32_t i = 500; i <= 520; ++i) p.envelope(i) = complex_(0.6f, 0.8f);
    p.envelope(700) = complex_(0.0f, 0.0f);
    EXPECT_NEAR(optics::fwhm(p), 20 * dt, 1e-9 * dt);
    EXPECT_NEAR(optics::fwhme(p), 20 * dt, 1e-9 * dt);
    // 0.6 of the peak's magnitude is above half for |s|, below it for |s|^2.
    p.envelope(480) = p.envelope(540) = complex_(0.6f, 0.0f);
    EXPECT_NEAR(optics::fwhm(p), 20 * dt, 1e-9 * dt);
    EXPECT_NEAR(optics::fwhme(p), 60 * dt, 1e-9 * dt);

    // With u, v the field is u + v; the peak is looked up in the envelope.
    pulse_ polar = zeros(64, dt);
    polar.envelope(12) = complex_(1.0f, 0.0f);
    polar.u = zeros(64).envelope;
    polar.v = polar.u;
    for (int32_t i = 10; i <= 20; ++i) polar.v(i) = complex_(1.0f, 0.0f);
    for (int32_t i = 10; i <= 14; ++i) polar.u(i) = complex_(1.0f, 0.0f);
    EXPECT_NEAR(optics::fwhm(polar), 4 * dt, 1e-9 * dt);
}

TEST(Measures, CentreAndSecondMomentOfTwoSamples) {
    pulse_ p = zeros(64, 1.0);
    EXPECT_EQ(optics::centerofmass(p), 0.0L);
    EXPECT_EQ(optics::msq(p), 0.0);
    // Equal weights at offsets 3 and 7 steps: centre 5, rms width 2.
    p.envelope(35) = complex_(2.0f, 0.0f);
    p.envelope(39) = complex_(0.0f, 2.0f);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 5.0, 1e-12);
    EXPECT_NEAR(optics::msq(p), 4.0, 1e-6);
    p.domain = optics::frequency;
    p.domega = 0.5;
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 2.5, 1e-12);
    EXPECT_NEAR(optics::msq(p), 2.0, 1e-6);

    // The same second moment for the field held in u, in either domain.
    pulse_ plain = gaussian(1024, kDuration), polar = plain;
    polar.u = plain.envelope;
    polar.v = zeros(1024).envelope;
    EXPECT_NEAR(optics::msq(polar), optics::msq(plain), 1e-9 * optics::msq(plain));
    optics::tofrequency(plain);
    optics::tofrequency(polar);
    EXPECT_NEAR(optics::msq(polar), optics::msq(plain), 1e-9 * optics::msq(plain));
}

TEST(Measures, PulseInOneSampleHasZeroWidthNotNaN) {
    for (const int32_t at : {1, 17, 40, 63, 64}) {
        for (const float amplitude : {1e-3f, 0.7f, 3e4f}) {
            pulse_ p = zeros(64, 1e-15);
            p.envelope(at) = complex_(amplitude, amplitude / 3);
            const double width = optics::msq(p);
            ASSERT_FALSE(std::isnan(width)) << at << " " << amplitude;
            EXPECT_LT(width, 1e-3 * std::fabs(optics::getx(p, at)) + 1e-30);
        }
    }
}

TEST(Measures, CentreInTheOtherDomainMeasuresATransformedCopy) {
    const pulse_ p = oncarrier(12);
    const double domega = static_cast<double>(p.domega);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p, optics::frequency)), 12 * domega, 1e-4 * domega);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p, optics::time)), 0.0, 1e-20);

    // The per-thread work record carries no arrays from a polarised pulse
    // over to a plain one or back; offsets stay those of the given grid.
    pulse_ polar = zeros(1024, 1e-15);
    polar.u = p.envelope;
    polar.v = zeros(1024).envelope;
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(polar, optics::frequency)), 12 * domega, 1e-4 * domega);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(oncarrier(-7), optics::frequency)), -7 * domega,
                1e-4 * domega);
}

TEST(Measures, AreaTotalWidthAndOverlap) {
    const double dt = 1e-15;
    const pulse_ flat = fromvalues(std::vector<complex_>(64, complex_(3.0f, 4.0f)), dt);
    const double field = 5.0 / (0.0010000000474974513 * std::sqrt(kPi));
    EXPECT_NEAR(optics::area(flat), 64 * field * kPi * tools::dipole / (2 * tools::h) * dt, 1e-5 * optics::area(flat));

    pulse_ p = zeros(64, 0.5);
    EXPECT_DOUBLE_EQ(optics::totalwidth(p), -2 * 0.5);
    p.envelope(10) = complex_(0.1f, 0.0f);
    p.envelope(15) = complex_(1.0f, 0.0f);
    p.envelope(20) = complex_(0.0f, -0.1f);
    EXPECT_DOUBLE_EQ(optics::totalwidth(p), 10 * 0.5);

    pulse_ a = zeros(128, 1.0), b = zeros(128, 1.0);
    const auto overlap = [&](quad_ t) {
        a.t = t;
        std::vector<int32_t> r(3);
        optics::findoverlap(a, b, r[0], r[1], r[2]);
        return r;
    };
    EXPECT_EQ(overlap(3.7L), (std::vector<int32_t>{4, 128, 3}));
    EXPECT_EQ(overlap(-3.7L), (std::vector<int32_t>{1, 125, -3}));
    EXPECT_EQ(overlap(std::numeric_limits<quad_>::quiet_NaN())[2], 0);
    // A zero step saturates the offset and leaves an empty range.
    a.dt = 0;
    const int32_t most = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(overlap(-1.0L)[2], -most);
    EXPECT_LT(overlap(-1.0L)[1], 1);
    EXPECT_EQ(overlap(1.0L), (std::vector<int32_t>{most, 128, most}));
}

// Setup threads measure their own pulses at once.
TEST(MeasuresThreads, OtherDomainCentreOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<double> found(8, 0.0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &found] {
            const pulse_ p = oncarrier(t - 4, 512);
            for (int k = 0; k < 20; ++k) found[t] = static_cast<double>(optics::centerofmass(p, optics::frequency));
        });
    for (std::thread& thread : threads) thread.join();
    const double domega = static_cast<double>(zeros(512, 1e-15).domega);
    for (int t = 0; t < 8; ++t) EXPECT_NEAR(found[t], (t - 4) * domega, 1e-3 * domega) << t;
}

}  // namespace
