// Gain medium against its rate equation: saturation by the pulse's fluence,
// recovery between passes, small-signal gain and the energy balance.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/elements.h"
#include "kernel/elementsupport.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"

namespace {

using namespace pulsefixtures;
using elements::psetgain_;
using Gain = kernelerrors::KernelErrors;

constexpr double kDt = 2.0e-14;
constexpr double kLambda = 1.064e-6;
constexpr double kInversion = 2.0e23;

double photonenergy(const pulse_& p) { return tools::h * tools::c / optics::lambda0(p); }

// A Gaussian pulse whose fluence depletes the medium by exp(-depletion).
pulse_ saturating(const psetgain_& p, double depletion, int32_t n = 1024, double duration = 3.0e-13) {
    pulse_ pulse = gaussianfield(n, kDt, duration, 1.0, kLambda);
    const double target = depletion * photonenergy(pulse) / (2 * p.sigma);
    const float f = static_cast<float>(std::sqrt(target / fluence(pulse.envelope, kDt, p.w)));
    for (complex_& e : pulse.envelope) e *= f;
    return pulse;
}

TEST_F(Gain, InversionFallsByTheFluenceOfTheIncomingPulse) {
    for (double depletion : {1e-3, 0.3, 2.0, 8.0}) {
        psetgain_ p = ndmedium();
        p.r = 50.0;  // pumping changes nothing when no time passes
        pulse_ pulse = saturating(p, depletion);
        const double f = fluence(pulse.envelope, kDt, p.w);
        elements::gain(pulse, p);
        EXPECT_NEAR(p.deltan / kInversion / std::exp(-2 * p.sigma * f / photonenergy(pulse)), 1.0, 2e-6) << depletion;
    }
}

TEST_F(Gain, WeakPulseGainsTheSmallSignalFactorAndMovesOn) {
    psetgain_ p = ndmedium();
    p.t1 = 1.0e30;
    pulse_ pulse = gaussianfield(1024, kDt, 3.0e-13, 1.0e-3, kLambda);
    pulse.t = 7.5e-9L;
    const pulse_ in = pulse;
    elements::gain(pulse, p);
    const double expected = 1 + p.l * p.sigma * kInversion / 2;
    for (int32_t i = 1; i <= 1024; ++i)
        ASSERT_NEAR(pulse.envelope(i).real(), in.envelope(i).real() * expected, 1e-6 * in.envelope(i).real() + 1e-30);
    EXPECT_EQ(p.recoverytime, 7.5e-9);
    EXPECT_NEAR(static_cast<double>(pulse.t - 7.5e-9L), p.l / 2.99e8, 1e-25);
    EXPECT_EQ(p.firsttime, 0);
}

TEST_F(Gain, ExtractedEnergyIsTheInversionRemoved) {
    // Thin medium: the pulse gains h*nu*l/2 per unit area for each unit of
    // inversion density removed. A long pulse keeps the step per sample small.
    psetgain_ p = ndmedium();
    p.l = 1.0e-4;
    pulse_ pulse = saturating(p, 1.5, 4096, 5.0e-12);
    const double fin = fluence(pulse.envelope, kDt, p.w);
    elements::gain(pulse, p);
    const double gained = fluence(pulse.envelope, kDt, p.w) - fin;
    EXPECT_NEAR(gained / (photonenergy(pulse) * p.l * (kInversion - p.deltan) / 2), 1.0, 3e-3);
}

TEST_F(Gain, WithoutLightTheInversionFollowsTheRateEquation) {
    // d(dn)/dt = (deltan0 - dn)/t1 - r (deltan0 + dn)/2: exponential approach
    // at the rate 1/t1 + r/2 to the state where the right side vanishes.
    auto recover = [](psetgain_& p, double elapsed) {
        pulse_ empty = blank(0, kDt, kLambda);
        empty.t = p.recoverytime + elapsed;
        elements::gain(empty, p);
        return p.deltan;
    };
    psetgain_ p = ndmedium();
    const double tol = 1e-9 * 1.4e26;
    EXPECT_NEAR(recover(p, 1.0e-4), p.deltan0 + (kInversion - p.deltan0) * std::exp(-1.0e-4 / p.t1), tol);
    p = ndmedium();
    p.r = 3.0e4;
    const double rate = 1 / p.t1 + p.r / 2;
    const double steady = p.deltan0 * (1 / p.t1 - p.r / 2) / rate;
    EXPECT_NEAR(recover(p, 0), kInversion, 1e-12 * kInversion);
    EXPECT_NEAR(recover(p, 2.0e-5), steady + (kInversion - steady) * std::exp(-2.0e-5 * rate), tol);
    EXPECT_NEAR(recover(p, 200 / rate), steady, tol);
}

TEST_F(Gain, ComponentsSaturateAndTheEnvelopeIsAmplified) {
    psetgain_ p = ndmedium(), q = ndmedium();
    pulse_ plain = saturating(p, 1.0);
    pulse_ split = plain;
    split.u = plain.envelope;
    for (complex_& e : split.u) e *= 0.5f;
    split.v = split.u;
    const optics::samples_ half = split.u;
    elements::gain(plain, p);
    elements::gain(split, q);
    expectsame(split.envelope, plain.envelope);
    expectsame(split.u, half);
    EXPECT_EQ(q.deltan, p.deltan);
}

TEST_F(Gain, RefusesWhatWouldOverrunOrGiveNaN) {
    const pulse_ good = gaussianfield(64, kDt, 3.0e-13, 1.0e6, kLambda);
    auto refused = [&](pulse_ pulse, psetgain_ p, const char* what) {
        EXPECT_EQ(errorsof([&] { elements::gain(pulse, p); }), 1) << what;
        expectsame(pulse.envelope, good.envelope);
        EXPECT_EQ(pulse.t, good.t) << what;
        EXPECT_EQ(p.deltan, kInversion) << what;
    };
    pulse_ pulse = good;
    pulse.u.allocate(63);
    pulse.v.allocate(63);
    refused(pulse, ndmedium(), "components shorter than the envelope");
    pulse.v.release();
    refused(pulse, ndmedium(), "u without v");
    pulse = good;
    pulse.omega0 = 0;
    refused(pulse, ndmedium(), "zero carrier frequency");
    for (double psetgain_::*field : {&psetgain_::t1, &psetgain_::w}) {
        psetgain_ p = ndmedium();
        p.*field = 0;
        refused(good, p, "zero lifetime or waist");
    }
    psetgain_ p = ndmedium();
    p.r = -2 / p.t1;  // cancels the decay: infinite effective lifetime
    refused(good, p, "no effective lifetime");
}

TEST_F(Gain, PolarisedVariantAmplifiesTheComponentsAndLeavesTheEnvelope) {
    psetgain_ p = ndmedium();
    p.t1 = 1.0e30;
    pulse_ pulse = gaussianfield(256, kDt, 3.0e-13, 1.0e-3, kLambda);
    pulse.u = pulse.v = pulse.envelope;
    const pulse_ in = pulse;
    elements::gainpol(pulse, p);
    expectsame(pulse.envelope, in.envelope);
    for (int32_t i = 100; i <= 156; ++i) {
        ASSERT_NEAR(pulse.u(i).real() / in.u(i).real(), 1 + p.l * p.sigma * kInversion / 2, 1e-6);
        ASSERT_EQ(pulse.v(i), pulse.u(i));
    }
    pulse_ bare = in;
    bare.u.release();
    bare.v.release();
    EXPECT_EQ(errorsof([&] { elements::gainpol(bare, p); }), 1);
}

TEST_F(Gain, ModulatedVariantGainsAndItsFirstTableBoundsLaterPulses) {
    auto p = ndmedium<elements::psetmodulatedgain_>();
    p.t1 = 1.0e30;
    pulse_ pulse = gaussianfield(256, kDt, 3.0e-13, 1.0e-3, kLambda);
    const pulse_ in = pulse;
    elements::modulatedgain(pulse, p);
    for (int32_t i = 100; i <= 156; ++i)
        ASSERT_NEAR(pulse.envelope(i).real() / in.envelope(i).real(), std::exp(p.l * p.sigma * kInversion / 2), 1e-6);
    EXPECT_EQ(p.firsttime, 0);

    pulse_ longer = gaussianfield(512, kDt, 3.0e-13, 1.0e-3, kLambda);
    const pulse_ longin = longer;
    EXPECT_EQ(errorsof([&] { elements::modulatedgain(longer, p); }), 1);
    expectsame(longer.envelope, longin.envelope);
}

TEST(GainSupport, BackgroundIsBoundedZeroMeanUniformNoiseAndTheRecordSizeIsChecked) {
    pulse_ pulse = blank(1 << 14, kDt);
    elements::addbackground(pulse, 0.0);
    for (const complex_& e : pulse.envelope) ASSERT_EQ(e, complex_(0, 0));
    elements::addbackground(pulse, 2.0);
    double sum = 0, square = 0;
    for (const complex_& e : pulse.envelope) {
        ASSERT_LE(std::max(std::abs(e.real()), std::abs(e.imag())), 1.0f);
        sum += e.real() + e.imag();
        square += std::norm(e);
    }
    const double m = 2.0 * pulse.envelope.size();
    EXPECT_NEAR(sum / m, 0.0, 5 / std::sqrt(3 * m));
    EXPECT_NEAR(square / m, 1.0 / 3, 0.02);  // uniform on [-1, 1)

    EXPECT_EQ(elements::checksize(sizeof(psetgain_)), 1);
    EXPECT_EQ(elements::checksize(95), 0);
}

}  // namespace

TEST(GainSupport, SampleIntensityIsTheFieldIntensity) {
    const double w = 2e-4;
    const double factor = elements::support::intensityfactor(w);
    for (const complex_ e : {complex_(1.0f, 1.0f), complex_(-3.5e6f, 2.25e5f), complex_(0.1f, -0.7f),
                             complex_(3e-20f, 1e-21f), complex_(0.0f, 0.0f)})
        EXPECT_EQ(elements::support::intensity(e, factor), optics::intensity(e, w));
}
