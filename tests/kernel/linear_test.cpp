// The linear elements: loss, Gaussian filter, propagation, output coupler.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/elements.h"
#include "kernel/optics.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"
#include "scratch.h"

namespace {

using namespace pulsefixtures;
using elements::psetfilter_;
using Linear = kernelerrors::KernelErrors;
using GaussianFilter = kernelerrors::KernelErrors;

constexpr double kDuration = 2.0e-14;

pulse_ ragged(int32_t n) {
    pulse_ p = blank(n, 1.0e-15);
    for (int32_t i = 1; i <= n; ++i) p.envelope(i) = complex_(std::sin(0.37f * i) * 3.0f, std::cos(1.3f * i));
    return p;
}

psetfilter_ settings(double fwhm, double mean = 0, bool gentle = false) {
    psetfilter_ f;
    f.fwhm = fwhm;
    f.mean = mean;
    f.gentlefilter = gentle ? 1 : 0;
    return f;
}

TEST_F(Linear, LossRemovesThePercentageOfTheIntensityInEitherDomain) {
    pulse_ p = ragged(64);
    p.domain = optics::frequency;
    const pulse_ in = p;
    elements::loss(p, 0.0);
    expectsame(p.envelope, in.envelope);
    elements::loss(p, 75.0);
    for (int32_t i = 1; i <= 64; ++i) ASSERT_EQ(p.envelope(i), in.envelope(i) * 0.5f);
    EXPECT_EQ(p.domain, optics::frequency);
    p = in;
    elements::loss(p, 36.0);
    EXPECT_NEAR(optics::energy(p) / optics::energy(in), 0.64, 1e-6);
    elements::loss(p, 100.0);
    EXPECT_EQ(optics::energy(p), 0.0);
    // More than everything, or nothing defined, is refused.
    p = in;
    EXPECT_EQ(errorsof([&] { elements::loss(p, 100.5); }), 1);
    EXPECT_EQ(errorsof([&] { elements::loss(p, std::nan("")); }), 1);
    expectsame(p.envelope, in.envelope);
}

TEST_F(GaussianFilter, EnergyTransmissionAndWidthOfAFilteredGaussian) {
    // A filter of rms width sigma on a Gaussian of duration tau: the energy
    // falls by (1 + 1/(sigma tau)^2)^(-1/2), the duration grows to
    // sqrt(tau^2 + sigma^-2), and msq is sqrt(2) times that.
    for (double product : {0.5, 1.0, 3.0}) {
        const double sigma = product / kDuration;
        pulse_ p = gaussian(1024, kDuration);
        const double ein = optics::energy(p);
        elements::filter(p, settings(sigma * elements::fwhmpersigma));
        EXPECT_EQ(p.domain, optics::frequency);
        EXPECT_NEAR(optics::energy(p) / ein, 1 / std::sqrt(1 + 1 / (product * product)), 1e-5) << product;
        optics::totime(p);
        const double expected = std::sqrt(2.0) * std::sqrt(kDuration * kDuration + 1 / (sigma * sigma));
        EXPECT_NEAR(optics::msq(p) / expected, 1.0, 1e-4) << product;
    }
    // A width that is no number is refused; the pulse is only transformed.
    pulse_ p = gaussian(1024, kDuration), spectrum = p;
    optics::tofrequency(spectrum);
    EXPECT_EQ(errorsof([&] { elements::filter(p, settings(0)); }), 1);
    EXPECT_EQ(errorsof([&] { elements::filter(p, settings(std::nan(""))); }), 1);
    EXPECT_EQ(p.domain, optics::frequency);
    expectsame(p.envelope, spectrum.envelope);
}

TEST_F(GaussianFilter, FieldFactorIsOneAtTheMeanAndHalfAtHalfWidth) {
    // On a flat spectrum every output sample is the filter's field factor.
    // Each change of grid, width or centre must take effect at once.
    struct Case {
        int32_t n, halfwidth, centre;  // in samples; centre past the origin
    };
    for (const Case c : {Case{1024, 40, 7}, Case{1024, 40, 7}, Case{1024, 25, 7}, Case{1024, 25, -9},
                         Case{256, 25, -9}, Case{1024, 40, 7}}) {
        pulse_ p = blank(c.n, 1.0e-15);
        p.domain = optics::frequency;
        for (complex_& e : p.envelope) e = complex_(1, 0);
        const double dw = static_cast<double>(p.domega);
        elements::filter(p, settings(2 * c.halfwidth * dw, c.centre * dw));
        const int32_t middle = c.n / 2 + c.centre;
        EXPECT_NEAR(p.envelope(middle).real(), 1.0, 1e-7);
        for (int32_t edge : {middle - c.halfwidth, middle + c.halfwidth}) {
            EXPECT_NEAR(p.envelope(edge).real(), 0.5, 1e-6) << c.n << " " << c.halfwidth;
            EXPECT_GT(p.envelope(edge + (edge < middle ? 1 : -1)).real(), 0.5f);
        }
    }
}

TEST_F(GaussianFilter, GentleFilterNeverCutsBelowHalfThePulseSpectrum) {
    pulse_ spectrum = gaussian(1024, kDuration);
    optics::tofrequency(spectrum);
    const double width = optics::fwhm(spectrum);
    // Narrower than half the spectrum: the filter follows the pulse.
    pulse_ gentle = spectrum, plain = spectrum;
    elements::filter(gentle, settings(width / 4, 0, true));
    elements::filter(plain, settings(width / 2));
    for (int32_t i = 1; i <= 1024; ++i)
        ASSERT_NEAR(gentle.envelope(i).real(), plain.envelope(i).real(), 1e-6 * std::abs(spectrum.envelope(i)) + 1e-30);
    // Otherwise the given width holds.
    gentle = plain = spectrum;
    elements::filter(gentle, settings(width / 1.5, 0, true));
    elements::filter(plain, settings(width / 1.5));
    expectsame(gentle.envelope, plain.envelope);
}

TEST_F(GaussianFilter, WrittenCurveIsTheFilterFunction) {
    pulse_ p = gaussian(1024, kDuration), filtered = p;
    optics::tofrequency(filtered);
    const pulse_ spectrum = filtered;
    const psetfilter_ f = settings(60 * static_cast<double>(p.domega), -3 * static_cast<double>(p.domega));
    elements::filter(filtered, f);
    scratch::Path file("filtercurve");
    elements::writefilterfunction(p, tools::char2str(file.str()), f);
    expectsame(p.envelope, spectrum.envelope);
    const auto rows = scratch::readrows(file.str());
    ASSERT_EQ(rows.size(), 1024u);
    for (int32_t i = 400; i <= 600; i += 7) {
        const std::vector<double>& row = rows[static_cast<size_t>(i - 1)];
        ASSERT_EQ(row.size(), 2u);
        EXPECT_NEAR(row[0], optics::getx(p, i), 1e-9 * static_cast<double>(optics::xmax(p)));
        EXPECT_NEAR(row[1] * spectrum.envelope(i).real(), filtered.envelope(i).real(),
                    1e-6 * std::abs(spectrum.envelope(i)));
    }
}

TEST_F(Linear, PropagationDelaysByTheOpticalPathOverC) {
    pulse_ p = ragged(8);
    p.domain = optics::frequency;
    const pulse_ in = p;
    EXPECT_EQ(errorsof([&] { elements::propagation(p, 1.0, 1.0); }), 0);
    EXPECT_NEAR(static_cast<double>(p.t), 3.3444816e-9, 1e-16);
    EXPECT_EQ(p.domain, optics::frequency);
    expectsame(p.envelope, in.envelope);
    // An index below 1 is reported, and the delay is still made.
    p.t = 0;
    EXPECT_EQ(errorsof([&] { elements::propagation(p, 2.0, 0.5); }), 1);
    EXPECT_NEAR(static_cast<double>(p.t), 1.0 / 2.99e8, 1e-24);
    elements::timepropagation(p, -1.0 / 2.99e8 - 1.0e-12);
    EXPECT_NEAR(static_cast<double>(p.t), -1.0e-12, 1e-24);
}

TEST_F(Linear, OutputCouplerCouplesOutAndMeasuresTheAveragePower) {
    pulse_ p = ragged(256);
    elements::psetoutputcoupler_ oc;
    oc.tout = 20;
    oc.lastpass = 1.0e-9L;
    p.t = 11.0e-9L;
    const double e = optics::energy(p);
    elements::outputcoupler(p, oc);
    EXPECT_NEAR(oc.pout / (0.2 * e / 10.0e-9), 1.0, 1e-12);
    EXPECT_NEAR(optics::energy(p) / e, 0.8, 1e-6);
    EXPECT_EQ(oc.lastpass, 11.0e-9L);
    // No time since the last pass: no average power, but the light leaves.
    EXPECT_EQ(errorsof([&] { elements::outputcoupler(p, oc); }), 1);
    EXPECT_NEAR(oc.pout / (0.2 * e / 10.0e-9), 1.0, 1e-12);
    EXPECT_NEAR(optics::energy(p) / e, 0.64, 1e-6);
    // More than everything cannot leave.
    const pulse_ in = p;
    oc.tout = 120;
    p.t += 1e-9L;
    EXPECT_EQ(errorsof([&] { elements::outputcoupler(p, oc); }), 1);
    expectsame(p.envelope, in.envelope);
}

}  // namespace
