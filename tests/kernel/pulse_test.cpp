#include "kernel/pulse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kernel/optics.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

constexpr double kDuration = 100e-15;
const double kTwoPi = 2 * std::acos(-1.0);
const complex_ o(0, 0);

using GeneratePulse = kernelerrors::KernelErrors;

TEST_F(GeneratePulse, GaussianOfRequestedWidthEnergyAndCarrier) {
    for (const int32_t n : {1024, 4096}) {
        SCOPED_TRACE(n);
        const pulse_ p = gaussian(n, kDuration, 2.5e-9, 800e-9);
        const double dt = static_cast<double>(p.dt);
        EXPECT_NEAR(static_cast<double>(p.dt * p.domega * n / kTwoPi), 1.0, 1e-12);
        EXPECT_NEAR(dt, kDuration / std::sqrt(n / kTwoPi), 1e-12 * dt);
        EXPECT_NEAR(optics::energy(p), 2.5e-9, 2.5e-15);
        EXPECT_NEAR(optics::lambda0(p), 800e-9, 1e-15);
        EXPECT_EQ(p.t, 0.0L);
        // Peak midway between samples N/2+1 and N/2+2, 1.5 steps past the
        // origin; |E|^2 has rms width duration/sqrt(2) and half maximum at
        // +-sqrt(ln 2) duration.
        EXPECT_EQ(p.envelope(n / 2 + 1), p.envelope(n / 2 + 2));
        EXPECT_NEAR(static_cast<double>(optics::centerofmass(p)), 1.5 * dt, 1e-6 * dt);
        EXPECT_NEAR(optics::msq(p), std::sqrt(2.0) * kDuration, 1e-5 * kDuration);
        const double width = 2 * std::sqrt(std::log(2.0)) * kDuration;
        EXPECT_GT(optics::fwhm(p), width - 2 * dt);
        EXPECT_LE(optics::fwhm(p), width);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(GeneratePulse, ReferenceGridAndPolarisedTarget) {
    const pulse_ reference = gaussian(1024, kDuration);
    pulse_ p = zeros(1024, 1.0);
    optics::generatepulse(p, 20 * static_cast<double>(reference.dt), 1e-9, 1e-6, &reference);
    EXPECT_EQ(p.dt, reference.dt);
    EXPECT_EQ(p.domega, reference.domega);
    // Duration 20 steps, half as wide: exp(-1/2) of the peak 10 samples off.
    EXPECT_EQ(peak(p.envelope), 512);
    EXPECT_NEAR(p.envelope(522).real() / p.envelope(512).real(), std::exp(-0.5), 1e-5);

    pulse_ polar;
    polar.u.allocate(1024);
    polar.v = polar.u;
    for (auto& z : polar.v) z = complex_(3.0f, -1.0f);
    optics::generatepulse(polar, kDuration, 1e-9, 1e-6);
    EXPECT_EQ(peak(polar.u), 512);
    EXPECT_EQ(values(polar.v), std::vector<complex_>(1024, o));
    EXPECT_NEAR(optics::energy(polar), 1e-9, 1e-15);
}

TEST_F(GeneratePulse, BadDurationOrEnergyIsReportedInsteadOfGivingNaN) {
    for (const double duration : {-kDuration, 0.0, kDuration}) {
        pulse_ p = zeros(256);
        optics::generatepulse(p, duration, duration == kDuration ? -1e-9 : 1e-9, 1e-6);
        for (const auto& z : p.envelope) ASSERT_TRUE(std::isfinite(z.real()));
    }
    EXPECT_EQ(messages(), std::vector<std::string>(3, "ERROR: Invalid duration or energy in GeneratePulse. "
                                                      "Pulse left unscaled"));
}

TEST(GeneratePulseExit, RecordWithoutSamplesEndsTheProcessWithStatusZero) {
    pulse_ p;
    p.u.allocate(8);  // u without v is no target either
    EXPECT_EXIT(optics::generatepulse(p, kDuration, 1e-9, 1e-6), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(optics::generatepulsenoise(p, kDuration, 1.0, 1e-6), ::testing::ExitedWithCode(0), "");
}

TEST(GeneratePulseNoise, SameBoundedSequenceAddedOnEveryCall) {
    pulse_ a = zeros(512), b = zeros(512);
    for (auto& z : b.envelope) z = complex_(5.0f, -5.0f);
    optics::generatepulsenoise(a, 1e-12, 2.0, 1e-6);
    optics::generatepulsenoise(b, 1e-12, 2.0, 1e-6);
    EXPECT_NEAR(static_cast<double>(a.dt * a.domega * 512 / kTwoPi), 1.0, 1e-12);
    double square = 0.0;
    for (int32_t i = 1; i <= 512; ++i) {
        const complex_ z = a.envelope(i);
        ASSERT_TRUE(std::abs(z.real()) <= 1.0f && std::abs(z.imag()) <= 1.0f);
        ASSERT_EQ(b.envelope(i), complex_(5.0f + z.real(), -5.0f + z.imag()));
        square += std::norm(z);
    }
    EXPECT_NEAR(square / 1024, 1.0 / 3, 0.05);  // uniform on [-1, 1)
}

TEST(CopyPulse, CopiesEverythingAndReusesStorageOfEqualLength) {
    pulse_ src = gaussian(256, kDuration);
    src.t = 3e-12L;
    src.omega0 = 1.5e15L;
    src.domain = optics::frequency;
    pulse_ same = zeros(256), other = zeros(64);
    const complex_* kept = same.envelope.data();
    optics::copypulse(src, same);
    optics::copypulse(src, other);
    EXPECT_EQ(same.envelope.data(), kept);
    EXPECT_EQ(values(same.envelope), values(src.envelope));
    EXPECT_EQ(values(other.envelope), values(src.envelope));
    EXPECT_EQ(std::vector<quad_>({same.t, same.dt, same.domega, same.omega0}),
              std::vector<quad_>({src.t, src.dt, src.domega, src.omega0}));
    EXPECT_EQ(same.domain, optics::frequency);

    // A polarised source: u and v copied, the target's envelope left alone.
    pulse_ polar;
    polar.u = src.envelope;
    polar.v = other.envelope;
    polar.v(1) = complex_(1.0f, 2.0f);
    optics::copypulse(polar, other);
    EXPECT_EQ(values(other.u), values(polar.u));
    EXPECT_EQ(values(other.v), values(polar.v));
    EXPECT_EQ(values(other.envelope), values(src.envelope));
    const complex_* u = other.u.data();
    optics::copypulse(polar, other);
    EXPECT_EQ(other.u.data(), u);
}

TEST(ShiftPulse, MovesContentAndKeepsItsAbsolutePosition) {
    const complex_ a{1, 1}, b{2, 0}, c{3, -1}, d{0, 4}, e{5, 5};
    pulse_ p = fromvalues({a, b, c, d, e}, 0.5, 2.0);
    p.t = 10.0L;
    optics::shiftpulse(p, 3);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{o, o, o, a, b}));
    EXPECT_EQ(optics::absolutetime(p, 4), 10.0 + (1 - 2.5) * 0.5);  // where a was

    p = fromvalues({a, b, c, d, e}, 0.5, 2.0);
    p.domain = optics::frequency;
    optics::shiftpulse(p, -2, optics::frequency);
    EXPECT_EQ(values(p.envelope), (std::vector<complex_>{c, d, e, o, o}));
    EXPECT_EQ(p.omega0, 4.0L);

    // u and v move together; the envelope stays.
    pulse_ polar = fromvalues({a, b, c, d, e});
    polar.u = polar.envelope;
    polar.v = fromvalues({e, d, c, b, a}).envelope;
    optics::shiftpulse(polar, 2);
    EXPECT_EQ(values(polar.u), (std::vector<complex_>{o, o, a, b, c}));
    EXPECT_EQ(values(polar.v), (std::vector<complex_>{o, o, e, d, c}));
    EXPECT_EQ(polar.envelope(1), a);

    for (const int32_t n : {5, -5, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        p = fromvalues({a, b, c, d, e}, 0.5);
        optics::shiftpulse(p, n);
        EXPECT_EQ(values(p.envelope), std::vector<complex_>(5, o)) << n;
        EXPECT_EQ(p.t, -(static_cast<quad_>(n) * 0.5L)) << n;
    }
}

TEST(ShiftPulse, InTheOtherDomainActsLikeTheIndexShiftThere) {
    const pulse_ original = gaussian(1024, 50e-15);
    pulse_ p = original, reference = original;
    optics::tofrequency(p);
    optics::shiftpulse(p, 37, optics::time);
    EXPECT_EQ(p.domain, optics::frequency);
    optics::totime(p);
    optics::shiftpulse(reference, 37);
    EXPECT_EQ(p.t, reference.t);
    EXPECT_LT(relativel2(values(p.envelope), values(reference.envelope)), 1e-5);

    p = reference = original;
    optics::shiftpulse(p, -25, optics::frequency);
    optics::tofrequency(p);
    optics::tofrequency(reference);
    optics::shiftpulse(reference, -25);
    EXPECT_EQ(p.omega0, reference.omega0);
    EXPECT_LT(relativel2(values(p.envelope), values(reference.envelope)), 1e-5);

    // A polarised record is not shifted through the other domain.
    pulse_ polar = zeros(64);
    polar.u = polar.v = original.envelope;
    optics::shiftpulse(polar, 5, optics::frequency);
    EXPECT_EQ(values(polar.u), values(original.envelope));
    EXPECT_EQ(polar.t, 0.0L);
}

class Recenter : public kernelerrors::KernelErrors {
protected:
    // A Gaussian of 1024 samples with its peak on sample `at`, carrier offset
    // by `carrier` frequency steps.
    static pulse_ peakedat(int32_t at, int carrier = 0) {
        pulse_ p = zeros(1024, 1e-15);
        for (int32_t i = 1; i <= 1024; ++i)
            p.envelope(i) = complex_(std::polar(std::exp(-(i - at) * (i - at) / 200.0), kTwoPi * carrier * i / 1024));
        return p;
    }
};

TEST_F(Recenter, MovesThePeakOneSamplePastTheOriginBeyondTheLimit) {
    pulse_ p = peakedat(600);
    const std::vector<complex_> before = values(p.envelope);
    optics::recenter(p, 1, optics::time);
    EXPECT_EQ(p.envelope(513), before[599]);
    EXPECT_EQ(p.envelope(1024 - 87), before[1023]);
    EXPECT_EQ(p.envelope(1024 - 86), o);
    EXPECT_EQ(p.t, 87 * p.dt);

    pulse_ near = peakedat(510);
    optics::recenter(near, 5);
    EXPECT_EQ(near.t, 0.0L);
    optics::recenter(near, 3);
    EXPECT_EQ(peak(near.envelope), 513);
    EXPECT_TRUE(messages().empty());

    pulse_ off = peakedat(514);
    optics::recenter(off, 0);
    EXPECT_EQ(peak(off.envelope), 513);
    EXPECT_EQ(messages(), std::vector<std::string>{"ERROR: Limit has to be >0 in Recenter. Setting limit to 1"});

    pulse_ polar;
    polar.u.allocate(64);
    polar.v = polar.u;
    polar.u(40) = polar.v(40) = complex_(1.0f, 0.0f);
    polar.u(10) = complex_(1.5f, 0.0f);  // larger in u alone, smaller than u + v at 40
    optics::recenter(polar, 1);
    EXPECT_EQ(polar.u(33) + polar.v(33), complex_(2.0f, 0.0f));
}

TEST_F(Recenter, WorksInTheRequestedDomainAndRestoresTheRecordsOwn) {
    pulse_ p = peakedat(700);
    optics::tofrequency(p);
    optics::recenter(p, 1, optics::time);
    EXPECT_EQ(p.domain, optics::frequency);
    EXPECT_EQ(p.t, 187 * p.dt);
    optics::totime(p);
    EXPECT_EQ(peak(p.envelope), 513);

    pulse_ q = peakedat(512, 20);  // spectrum peak on sample 532
    optics::recenter(q, 1, optics::frequency);
    EXPECT_EQ(q.domain, optics::time);
    EXPECT_EQ(q.omega0, 19 * q.domega);
    optics::tofrequency(q);
    EXPECT_EQ(peak(q.envelope), 513);
    EXPECT_TRUE(messages().empty());

    // Where the requested domain cannot be reached nothing moves.
    pulse_ stuck = peakedat(700);
    optics::tofrequency(stuck);
    stuck.domega = -stuck.domega;
    const pulse_ held = stuck;
    optics::recenter(stuck, 1, optics::time);
    EXPECT_EQ(values(stuck.envelope), values(held.envelope));
    EXPECT_EQ(stuck.omega0, held.omega0);
    EXPECT_EQ(messages().size(), 1u);
}

using ResyncTime = kernelerrors::KernelErrors;

TEST_F(ResyncTime, ShiftsTheSlaveOntoTheMastersOriginAndWarns) {
    const pulse_ master = gaussian(256, 10e-15);
    const quad_ dt = master.dt;
    pulse_ slave = master, close = master, spectrum = master;
    slave.t = -10.4L * dt;
    optics::resynctime(master, slave);
    EXPECT_NEAR(static_cast<double>(slave.t / dt), -0.4, 1e-12);
    EXPECT_EQ(slave.envelope(1), master.envelope(11));
    close.t = 0.9L * dt;
    optics::resynctime(master, close);
    EXPECT_EQ(close.t, 0.9L * dt);

    spectrum.domain = optics::frequency;
    slave.dt *= 2;
    optics::resynctime(spectrum, slave);
    const std::string untested = "Using untested Resync function!";
    EXPECT_EQ(messages(), (std::vector<std::string>{untested, untested, untested,
                                                     "ReSync in frequency domain not tested yet.",
                                                     "Resize required but not implemented yet!"}));
}

TEST_F(ResyncTime, HugeOrUndefinedOffsetsSaturateInsteadOfOverflowing) {
    pulse_ master = zeros(64, 1e-30);
    const std::vector<complex_> ones(64, complex_(1.0f, 0.0f));
    pulse_ slave = fromvalues(ones, 1e-30);
    slave.t = 1.0L;
    optics::resynctime(master, slave);
    EXPECT_EQ(values(slave.envelope), std::vector<complex_>(64, o));

    slave = fromvalues(ones);
    slave.t = std::numeric_limits<quad_>::quiet_NaN();
    optics::resynctime(master, slave);
    slave.t = 0;
    master.dt = -std::numeric_limits<quad_>::infinity();
    master.t = std::numeric_limits<quad_>::infinity();
    optics::resynctime(master, slave);
    EXPECT_EQ(values(slave.envelope), ones);
}

}  // namespace
