#include "kernel/measures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <thread>
#include <vector>

#include "kernel/optics.h"
#include "kernel/tools.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

constexpr double kDuration = 80e-15;
const double kPi = std::acos(-1.0);

// The centred transform by direct summation in double:
// F(i) = step/sqrt(2pi) * sum_j f(j) exp(sign*2pi*i*(i-c)(j-c)/N), c = N/2.
std::vector<complex_> directtransform(const std::vector<complex_>& f, int sign, double step) {
    const int n = static_cast<int>(f.size());
    const int c = n / 2;
    std::vector<complex_> out(f.size());
    for (int i = 1; i <= n; ++i) {
        std::complex<double> sum = 0.0;
        for (int j = 1; j <= n; ++j) {
            const double angle = sign * 2 * kPi * static_cast<double>((i - c) * (j - c) % n) / n;
            sum += std::complex<double>(f[j - 1]) * std::polar(1.0, angle);
        }
        out[i - 1] = complex_(sum * step / std::sqrt(2 * kPi));
    }
    return out;
}

// A pulse whose |s|^2 is 1 on samples first..last and 0 elsewhere.
pulse_ block(int32_t n, int32_t first, int32_t last, double dt = 1e-15) {
    pulse_ p = zeros(n, dt);
    for (int32_t i = first; i <= last; ++i) p.envelope(i) = complex_(0.6f, 0.8f);
    return p;
}

class Transforms : public Reports {};

TEST_F(Transforms, ForwardIsTheCentredScaledTransformAndGridStays) {
    pulse_ p = zeros(256, 2e-15);
    for (int32_t i = 1; i <= 256; ++i)
        p.envelope(i) = complex_(static_cast<float>(std::sin(0.3 * i)), static_cast<float>(std::cos(0.05 * i * i)));
    p.t = 1e-12L;
    p.omega0 = 2e15L;
    const pulse_ before = p;
    optics::tofrequency(p);
    EXPECT_EQ(p.domain, optics::frequency);
    EXPECT_LT(relativel2(values(p.envelope), directtransform(values(before.envelope), -1, 2e-15)), 1e-6);
    EXPECT_EQ(p.t, before.t);
    EXPECT_EQ(p.dt, before.dt);
    EXPECT_EQ(p.omega0, before.omega0);
    EXPECT_EQ(p.domega, before.domega);

    const std::vector<complex_> spectrum = values(p.envelope);
    optics::tofrequency(p);
    EXPECT_EQ(values(p.envelope), spectrum);

    optics::totime(p);
    EXPECT_EQ(p.domain, optics::time);
    EXPECT_LT(relativel2(values(p.envelope), values(before.envelope)), 2e-7);
    optics::totime(p);
    EXPECT_LT(relativel2(values(p.envelope), values(before.envelope)), 2e-7);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Transforms, GaussianRoundTripKeepsSamplesAndEnergy) {
    for (const int32_t n : {1024, 16384}) {
        SCOPED_TRACE(n);
        pulse_ p = gaussian(n, kDuration, 3e-9);
        const std::vector<complex_> before = values(p.envelope);
        const double e = optics::energy(p);
        optics::tofrequency(p);
        EXPECT_NEAR(optics::energy(p), e, 5e-8 * e);
        optics::totime(p);
        EXPECT_LT(relativel2(values(p.envelope), before), 2e-7);
        EXPECT_NEAR(optics::energy(p), e, 5e-8 * e);
    }
}

TEST_F(Transforms, PolarisedRecordTransformsUAndVOnly) {
    pulse_ p = gaussian(512, kDuration);
    p.u = p.envelope;
    p.v = p.envelope;
    tools::rescale(p.v, 0.5);
    const std::vector<complex_> envelope = values(p.envelope);
    optics::tofrequency(p);
    EXPECT_EQ(values(p.envelope), envelope);
    const std::vector<complex_> expected = directtransform(envelope, -1, static_cast<double>(p.dt));
    EXPECT_LT(relativel2(values(p.u), expected), 1e-6);
    // The energy is that of u + v = 1.5 envelope.
    pulse_ plain = gaussian(512, kDuration);
    optics::tofrequency(plain);
    EXPECT_NEAR(optics::energy(p), 2.25 * optics::energy(plain), 1e-6 * optics::energy(p));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Transforms, BadGridIsReportedAndTheDomainStaysWithItsSamples) {
    // A negative duration gives a negative time step.
    pulse_ p = gaussian(256, -kDuration);
    ASSERT_LT(p.dt, 0);
    const std::vector<complex_> before = values(p.envelope);
    const size_t reportsbefore = messages().size();
    optics::tofrequency(p);
    EXPECT_EQ(p.domain, optics::time);
    EXPECT_EQ(values(p.envelope), before);
    ASSERT_EQ(messages().size(), reportsbefore + 1);
    EXPECT_EQ(messages().back(), "ERROR: Invalid grid step in ToFrequency. Pulse left in time domain");

    pulse_ spectrum = gaussian(256, kDuration);
    optics::tofrequency(spectrum);
    const std::vector<complex_> samples = values(spectrum.envelope);
    for (const quad_ step : {quad_(0), std::numeric_limits<quad_>::quiet_NaN(),
                             std::numeric_limits<quad_>::infinity()}) {
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
    EXPECT_EQ(messages().size(), reportsbefore + 5);
}

TEST_F(Transforms, AnyNonZeroFlagIsTheTimeDomain) {
    pulse_ p = gaussian(64, kDuration);
    p.domain = 7;
    const std::vector<complex_> before = values(p.envelope);
    optics::totime(p);
    EXPECT_EQ(values(p.envelope), before);
    EXPECT_EQ(p.domain, optics::time);
}

TEST(Measures, GaussianSpectrumHasTheReciprocalWidthAndIsCentred) {
    for (const int32_t n : {1024, 4096}) {
        SCOPED_TRACE(n);
        pulse_ p = gaussian(n, kDuration);
        optics::tofrequency(p);
        const double domega = static_cast<double>(p.domega);
        EXPECT_NEAR(optics::msq(p), std::sqrt(2.0) / kDuration, 1e-5 / kDuration);
        // The time offset of 1.5 steps is a phase ramp: |s| stays centred.
        EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 0.0, 1e-6 * domega);
        const double width = 2 * std::sqrt(std::log(2.0)) / kDuration;
        EXPECT_GT(optics::fwhm(p), width - 2 * domega);
        EXPECT_LE(optics::fwhm(p), width);
    }
}

TEST(Measures, EnergySumsPowerOverTheStepOfTheDomain) {
    pulse_ p = fromvalues(std::vector<complex_>(64, complex_(1.0f, 0.0f)), 2e-15, 5e12);
    EXPECT_NEAR(optics::energy(p), 64 * 2e-15 * tools::epsilon0 * tools::c, 1e-12 * optics::energy(p));
    p.domain = optics::frequency;
    EXPECT_NEAR(optics::energy(p), 64 * 5e12 * tools::epsilon0 * tools::c, 1e-12 * optics::energy(p));
    EXPECT_EQ(optics::energy(zeros(16)), 0.0);
}

TEST(Measures, FwhmCountsWholeStepsBetweenTheOutermostSamplesAboveHalf) {
    const double dt = 1e-15;
    EXPECT_DOUBLE_EQ(optics::fwhm(block(1024, 500, 520)), 20 * dt);
    EXPECT_DOUBLE_EQ(optics::fwhme(block(1024, 500, 520)), 20 * dt);
    EXPECT_DOUBLE_EQ(optics::fwhm(block(1024, 700, 700)), dt);
    EXPECT_NEAR(optics::fwhm(block(1024, 700, 701)), dt, 1e-9 * dt);
    EXPECT_DOUBLE_EQ(optics::fwhme(block(1024, 700, 700)), 0.0);
    EXPECT_EQ(optics::fwhm(zeros(64)), 0.0);
    EXPECT_EQ(optics::fwhme(zeros(64)), 0.0);

    // Half maximum of |s|^2 versus of |s|: 0.6 of the peak counts for one.
    pulse_ p = block(64, 30, 30);
    p.envelope(20) = complex_(0.6f, 0.0f);
    p.envelope(40) = complex_(0.6f, 0.0f);
    EXPECT_DOUBLE_EQ(optics::fwhm(p), dt);
    EXPECT_DOUBLE_EQ(optics::fwhme(p), 20 * dt);

    pulse_ polar = zeros(64);
    polar.envelope(12) = complex_(1.0f, 0.0f);  // the peak is looked up in the envelope
    polar.u = block(64, 10, 14).envelope;
    polar.v = block(64, 10, 20).envelope;
    EXPECT_DOUBLE_EQ(optics::fwhm(polar), 4 * dt);
}

TEST(Measures, CentreAndSecondMomentOfSimpleShapes) {
    EXPECT_EQ(optics::centerofmass(zeros(64)), 0.0L);
    EXPECT_EQ(optics::msq(zeros(64)), 0.0);

    pulse_ symmetric = zeros(64, 2.0);
    symmetric.envelope(32 - 5) = complex_(1.0f, 1.0f);
    symmetric.envelope(32 + 5) = complex_(1.0f, -1.0f);
    EXPECT_EQ(optics::centerofmass(symmetric), 0.0L);
    EXPECT_NEAR(optics::msq(symmetric), 2 * 5 * 2.0, 1e-6);

    // Two equal weights at offsets 3 and 7: centre 5, rms width 2.
    pulse_ offcentre = zeros(64, 1.0);
    offcentre.envelope(35) = complex_(2.0f, 0.0f);
    offcentre.envelope(39) = complex_(0.0f, 2.0f);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(offcentre)), 5.0, 1e-12);
    EXPECT_NEAR(optics::msq(offcentre), 4.0, 1e-6);

    offcentre.domain = optics::frequency;
    offcentre.domega = 0.5;
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(offcentre)), 2.5, 1e-12);
    EXPECT_NEAR(optics::msq(offcentre), 2.0, 1e-6);
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
    // A carrier 12 steps above omega0 puts the spectrum's centre at 12 domega.
    pulse_ p = zeros(1024, 1e-15);
    const double domega = static_cast<double>(p.domega);
    for (int32_t i = 1; i <= 1024; ++i) {
        const double x = optics::getx(p, i);
        p.envelope(i) = complex_(std::polar(std::exp(-x * x / 1e-27), 12 * domega * x));
    }
    const pulse_ before = p;
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p, optics::frequency)), 12 * domega, 1e-4 * domega);
    EXPECT_EQ(values(p.envelope), values(before.envelope));
    EXPECT_EQ(p.domain, optics::time);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p, optics::time)), 0.0, 1e-20);

    // The per-thread work record must not carry arrays from a polarised
    // pulse over to a plain one, nor the other way round.
    pulse_ polar = zeros(1024, 1e-15);
    polar.u = p.envelope;
    polar.v.allocate(1024);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(polar, optics::frequency)), 12 * domega, 1e-4 * domega);
    pulse_ shifted = gaussian(1024, kDuration);
    optics::tofrequency(shifted);
    optics::shiftpulse(shifted, 30);
    pulse_ direct = shifted;
    optics::totime(direct);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(shifted, optics::time)),
                static_cast<double>(optics::centerofmass(direct)), 1e-22);
    EXPECT_NEAR(static_cast<double>(optics::centerofmass(p, optics::frequency)), 12 * domega, 1e-4 * domega);
}

TEST(Measures, PolarisedSpectrumWidthMatchesTheEnvelopesInEitherDomain) {
    pulse_ plain = gaussian(1024, kDuration);
    pulse_ polar;
    polar.u = plain.envelope;
    polar.v.allocate(1024);
    polar.dt = plain.dt;
    polar.domega = plain.domega;
    polar.envelope.allocate(1024);  // the grid of getx counts the envelope
    EXPECT_NEAR(optics::msq(polar), optics::msq(plain), 1e-9 * optics::msq(plain));
    optics::tofrequency(plain);
    optics::tofrequency(polar);
    EXPECT_NEAR(optics::msq(polar), optics::msq(plain), 1e-9 * optics::msq(plain));
}

TEST(Measures, AreaIsTheFieldIntegral) {
    const double dt = 1e-15;
    pulse_ p = fromvalues(std::vector<complex_>(64, complex_(3.0f, 4.0f)), dt);
    const double field = 5.0 / (0.0010000000474974513 * std::sqrt(kPi));
    const double pidipole = kPi * tools::dipole / (2 * tools::h);
    EXPECT_NEAR(optics::area(p), 64 * field * pidipole * dt, 1e-5 * optics::area(p));
    EXPECT_EQ(optics::area(zeros(16)), 0.0);
}

TEST(Measures, TotalWidthSpansTheNonZeroSamples) {
    pulse_ p = zeros(64, 0.5);
    p.envelope(10) = complex_(0.1f, 0.0f);
    p.envelope(15) = complex_(1.0f, 0.0f);
    p.envelope(20) = complex_(0.0f, -0.1f);
    EXPECT_DOUBLE_EQ(optics::totalwidth(p), 10 * 0.5);
    EXPECT_DOUBLE_EQ(optics::totalwidth(zeros(64, 0.5)), -2 * 0.5);
    pulse_ empty;
    empty.dt = 0.5L;
    EXPECT_DOUBLE_EQ(optics::totalwidth(empty), -2 * 0.5);
}

TEST(Measures, OverlapRangeFollowsTheOriginOffset) {
    pulse_ a = zeros(128, 1.0);
    pulse_ b = zeros(128, 1.0);
    int32_t istart = 0;
    int32_t istop = 0;
    int32_t di = 0;
    a.t = 3.7L;
    optics::findoverlap(a, b, istart, istop, di);
    EXPECT_EQ(di, 3);
    EXPECT_EQ(istart, 4);
    EXPECT_EQ(istop, 128);
    a.t = -3.7L;
    optics::findoverlap(a, b, istart, istop, di);
    EXPECT_EQ(di, -3);
    EXPECT_EQ(istart, 1);
    EXPECT_EQ(istop, 125);

    // A zero step or undefined origin saturates instead of overflowing.
    a.dt = 0;
    optics::findoverlap(a, b, istart, istop, di);
    EXPECT_EQ(di, -std::numeric_limits<int32_t>::max());
    EXPECT_LT(istop, istart);
    a.t = 1.0L;
    optics::findoverlap(a, b, istart, istop, di);
    EXPECT_EQ(di, std::numeric_limits<int32_t>::max());
    EXPECT_LT(istop, istart);
    a.t = std::numeric_limits<quad_>::quiet_NaN();
    optics::findoverlap(a, b, istart, istop, di);
    EXPECT_EQ(di, 0);
}

}  // namespace

namespace {

// Setup threads measure their own pulses at once; the work records of the
// other-domain measure are per thread.
TEST(MeasuresThreads, OtherDomainCentreOnManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<double> found(8, 0.0);
    std::vector<double> expected(8, 0.0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &found, &expected] {
            pulse_ p = pulsefixtures::zeros(512, 1e-15);
            const double domega = static_cast<double>(p.domega);
            for (int32_t i = 1; i <= 512; ++i) {
                const double x = optics::getx(p, i);
                p.envelope(i) = complex_(std::polar(std::exp(-x * x / 1e-27), (t - 4) * domega * x));
            }
            expected[t] = (t - 4) * domega;
            for (int k = 0; k < 20; ++k) found[t] = static_cast<double>(optics::centerofmass(p, optics::frequency));
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_NEAR(found[t], expected[t], 1e-3 * std::fabs(expected[1])) << t;
}

}  // namespace
