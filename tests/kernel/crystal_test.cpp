#include "kernel/crystal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "crystalpulses.h"
#include "kernel/measures.h"
#include "kernel/mixingsupport.h"

namespace {

using namespace crystaltest;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Group index n - lambda*dn/dlambda of the extraordinary index.
double groupindex(double lambda) {
    const double h = 1e-10;
    return elements::ne(lambda) - lambda * (elements::ne(lambda + h) - elements::ne(lambda - h)) / (2 * h);
}

using Sellmeier = Reported;

TEST_F(Sellmeier, IndicesAndWaveNumbers) {
    EXPECT_NEAR(elements::ne(1.064e-6), 2.22884, 1e-5);
    EXPECT_NEAR(elements::no(1.064e-6), 2.14737, 1e-5);
    // The held coefficients, summed as held: two terms, the third, then 1.
    const double e[6] = {2.4272000789642334, 0.014779999852180481, 1.4616999626159668,
                         0.056120000779628754, 9.653599739074707, 371.21600341796875};
    for (double lambda : {0.4e-6, 1.55e-6, 3.0e-6, 4.5e-6}) {
        const long double q = static_cast<long double>(lambda * 1e6) * (lambda * 1e6);
        const long double sum = e[0] * q / (q - e[1]) + e[2] * q / (q - e[3]) + e[4] * q / (q - e[5]) + 1;
        EXPECT_EQ(elements::ne(lambda), static_cast<double>(std::sqrt(sum)));
        EXPECT_GT(elements::ne(lambda), elements::ne(lambda * 1.01));  // normal dispersion
        const double omega = optics::twopic / lambda;
        EXPECT_NEAR(elements::kofomega(omega), omega * elements::ne(lambda) / 2.99e8, 1e-14 * elements::kofomega(omega));
    }
    EXPECT_EQ(elements::kofomega(0.0), 0.0);  // zero frequency: no wave, no NaN
    pulse_ p = gaussian(256, 1e-14, 1e-13, optics::twopic / 1.064e-6, 1);
    p.domain = optics::frequency;
    EXPECT_EQ(elements::deltak(p, 128), 0.0);
    const double expected = optics::getx(p, 129) * groupindex(1.064e-6) / 2.99e8;
    EXPECT_NEAR(elements::deltak(p, 129), expected, 1e-4 * expected);
    EXPECT_TRUE(reports().empty());
}

TEST_F(Sellmeier, WavelengthsWithoutARealIndexAreReportedAndGiveOne) {
    for (double lambda : {0.0, -1.064e-6, kNaN}) {
        EXPECT_EQ(elements::ne(lambda), 1.0);
        EXPECT_EQ(elements::no(lambda), 1.0);
    }
    EXPECT_EQ(elements::ne(19e-6), 1.0);  // just below the infrared pole n^2 < 0
    std::vector<std::string> expected(6, "NEGATIVE WAVELENGTH IN SELLMEIER");
    expected.push_back("NO REAL INDEX IN SELLMEIER");
    EXPECT_EQ(reports(), expected);
}

using Dispersion = Reported;

TEST_F(Dispersion, DelaysByTheGroupDelayAndThePumpFrameTakesItBack) {
    const double l = 1e-4;
    const double omegap = optics::twopic / 1.064e-6;
    const double omegas = optics::twopic / 1.55e-6;
    const pulse_ pump0 = gaussian(2048, 5e-15, 100e-15, omegap, 1);
    const pulse_ signal0 = gaussian(2048, 5e-15, 150e-15, omegas, 1);
    const pulse_ idler0 = gaussian(2048, 5e-15, 200e-15, omegap - omegas, 1);
    elements::psetppln_ pset;
    pset.l = l;
    const double delay = l * groupindex(1.064e-6) / 2.99e8;  // about 0.76 ps

    pulse_ p = pump0;
    elements::pplndispersion(p, pset);
    EXPECT_EQ(p.domain, optics::frequency);
    EXPECT_NEAR(energyof(p), [&] { pulse_ s = pump0; optics::tofrequency(s); return energyof(s); }(), 1e-5 * energyof(p));
    optics::totime(p);
    EXPECT_NEAR(centreof(p) - centreof(pump0), delay, 1e-3 * delay);

    pulse_ pump = pump0, signal = signal0, idler = idler0;
    elements::pplndelay(pump, signal, idler, pset);
    for (pulse_* q : {&pump, &signal, &idler}) {
        EXPECT_EQ(q->domain, optics::frequency);
        optics::totime(*q);
    }
    EXPECT_NEAR(centreof(pump) - centreof(pump0), -delay, 1e-3 * delay);
    EXPECT_NEAR(centreof(signal) - centreof(signal0), -delay, 1e-3 * delay);
    EXPECT_NEAR(centreof(idler) - centreof(idler0), -delay, 1e-3 * delay);

    pulse_ moving = pump0, s = signal0, i = idler0;
    elements::pplndispersion(moving, pset);
    elements::pplndelay(moving, s, i, pset);
    optics::totime(moving);
    EXPECT_NEAR(centreof(moving), centreof(pump0), 1e-3 * delay);
    EXPECT_TRUE(reports().empty());
}

// A short pulse on a fine grid reaches zero and negative frequencies: that is
// reported, the run goes on and the pulse stays finite.
TEST_F(Dispersion, GridThroughZeroFrequencyStaysFinite) {
    elements::psetppln_ pset;
    pset.l = 1e-3;
    pulse_ p = gaussian(4096, 1e-15, 100e-15, optics::twopic / 3e-6, 1);
    ASSERT_LT(p.omega0 - 2047 * p.domega, 0);
    const double energy = energyof(p);
    elements::pplndispersion(p, pset);
    optics::totime(p);
    EXPECT_NEAR(energyof(p), energy, 1e-4 * energy);
    EXPECT_EQ(reports().front(), "NEGATIVE WAVELENGTH IN SELLMEIER");

    pulse_ spectrum = gaussian(4096, optics::twopi / (4096 * 1e12), 1e-12, 6e14, 1e-3f);
    spectrum.domega = 1e12;  // sample 1448 lies exactly at zero frequency
    spectrum.domain = optics::frequency;
    ASSERT_EQ(optics::getx(spectrum, 1448) + spectrum.omega0, 0);
    elements::pplndispersion(spectrum, pset);
    for (const pulse_* q : {&p, &spectrum})
        for (const complex_& e : q->envelope) ASSERT_TRUE(std::isfinite(e.real()) && std::isfinite(e.imag()));
}

// exp(-i*phi), phi = deltak*z rounded to single precision, within a unit in
// the last place of a float, near and far, and NaN.
TEST(FrameFactors, MatchTheExponentialOfTheRoundedPhase) {
    std::vector<double> deltak;
    for (int k = -4000; k <= 4000; ++k) deltak.push_back(k * 0.7853981633974483 + 1e-3 * (k % 7));
    std::vector<complex_> out;
    for (double z : {1e-3, 3.7, 240.0}) {  // up to 7.5e5 rad
        elements::mixing::framefactors(deltak, 3142.0, z, out);
        for (size_t j = 0; j < deltak.size(); ++j) {
            const double phi = static_cast<float>(deltak[j] * z);
            ASSERT_NEAR(out[j].real(), std::cos(phi), 1.2e-7) << phi;
            ASSERT_NEAR(out[j].imag(), -std::sin(phi), 1.2e-7) << phi;
        }
    }
    elements::mixing::framefactors({1.0, 2e9, kNaN}, kNaN, 1.0, out);
    EXPECT_NEAR(out[0].real(), std::cos(1.0), 1.2e-7);
    EXPECT_NEAR(out[1].imag(), -std::sin(static_cast<double>(2e9f)), 1e-6);
    EXPECT_TRUE(std::isnan(out[2].real()));
}

}  // namespace
