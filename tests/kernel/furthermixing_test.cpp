#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>

#include "crystalpulses.h"
#include "kernel/measures.h"
#include "kernel/mixing.h"

namespace {

using namespace crystaltest;
using elements::psetppln_;

const double kPump = optics::twopic / 1.064e-6;
const double kSignal = optics::twopic / 1.55e-6;
const double kIdler = kPump - kSignal;
// The grating wave number that phase-matches the three carriers.
const double kGrating = elements::kofomega(kPump) - elements::kofomega(kSignal) - elements::kofomega(kIdler);

struct Beams {
    pulse_ pump, signal, idler;
    explicit Beams(int32_t n = 512, double dt = 2e-14, float idlerpeak = 50.0f)
        : pump(gaussian(n, dt, 2e-12, kPump, 1e4f, 0.2f)), signal(gaussian(n, dt, 2e-12, kSignal, 1e3f, 0.7f)),
          idler(gaussian(n, dt, 2e-12, kIdler, idlerpeak)) {}
};

psetppln_ crystal(double chi2, double l, double grating = kGrating) {
    psetppln_ pset;
    pset.w = 1e-4, pset.chi2 = chi2, pset.l = l, pset.g = optics::twopi / grating, pset.firsttime = 0;
    return pset;
}

// Largest |a - b| relative to the largest |b|, for one pulse or all three.
double mismatch(const pulse_& a, const pulse_& b) {
    EXPECT_EQ(a.domain, b.domain);
    double diff = 0, scale = 0;
    for (int32_t j = 1; j <= b.envelope.size(); ++j) {
        diff = std::max(diff, static_cast<double>(std::abs(a.envelope(j) - b.envelope(j))));
        scale = std::max(scale, static_cast<double>(std::abs(b.envelope(j))));
    }
    return diff / scale;
}
double mismatch(const Beams& a, const Beams& b) {
    return std::max({mismatch(a.pump, b.pump), mismatch(a.signal, b.signal), mismatch(a.idler, b.idler)});
}

using Doubling = Reported;

// Weak conversion in a short crystal: the harmonic is the fundamental squared
// in time, turned by -pi/2, whose energy grows as chi2^2; without coupling
// there is none.
TEST_F(Doubling, HarmonicIsTheSquareOfTheFundamental) {
    const pulse_ f0 = gaussian(1024, 2e-14, 2e-12, kSignal, 1e4f, 0.3f);
    auto harmonicof = [&f0](double chi2) {
        pulse_ fundamental = f0;
        pulse_ harmonic = gaussian(1024, 2e-14, 2e-12, 2 * kSignal, 0.0f), expected = fundamental;
        optics::tofrequency(expected);
        psetppln_ pset = crystal(chi2, 1e-6);
        elements::shg(fundamental, harmonic, pset);
        EXPECT_LT(mismatch(fundamental, expected), 2e-7);  // nothing to take back from the harmonic yet
        optics::totime(harmonic);
        return harmonic;
    };
    EXPECT_EQ(energyof(harmonicof(0.0)), 0.0);
    const pulse_ h = harmonicof(1e-8);
    EXPECT_NEAR(energyof(harmonicof(2e-8)) / energyof(h), 4.0, 1e-4);
    const double ratio = std::abs(h.envelope(512)) / std::norm(f0.envelope(512));
    for (int32_t j : {448, 480, 544, 576}) {
        EXPECT_NEAR(std::abs(h.envelope(j)) / std::norm(f0.envelope(j)) / ratio, 1.0, 1e-2) << j;
        EXPECT_NEAR(std::arg(h.envelope(j)), 0.6 - tools::pi / 2, 1e-3) << j;
    }
}

using Routine = void (*)(pulse_&, pulse_&, pulse_&, psetppln_&);
using Poling = Reported;

// A matched grating acts as the exactly matched routine. Under one detuned by
// d, each pass's increment turns by d*l: over M passes the idler field sums to
// |sin(M d l/2) / sin(d l/2)| single ones.
TEST_F(Poling, GratingSetsTheCoherenceLength) {
    const double detuning = 1e4, l = tools::pi / (10 * detuning);  // rad/m; 20 passes turn once
    auto mix = [l](Routine routine, double grating, int passes, float idler = 0.0f) {
        Beams b(256, 4e-14, idler);
        psetppln_ pset = crystal(2.5e-11, l, grating);
        for (int pass = 0; pass < passes; ++pass) routine(b.pump, b.signal, b.idler, pset);
        return b;
    };
    const Routine old = elements::pplnfrequencyold;
    EXPECT_LT(mismatch(mix(old, kGrating, 3, 50.0f), mix(elements::pplnfrequency, kGrating, 3, 50.0f)), 1e-5);
    const double single = energyof(mix(old, kGrating - detuning, 1).idler);
    EXPECT_NEAR(energyof(mix(old, kGrating, 10).idler) / single, 100.0, 0.1);
    const double halfturn = std::pow(std::sin(tools::pi / 20), -2);
    EXPECT_NEAR(energyof(mix(old, kGrating - detuning, 10).idler) / single, halfturn, 0.05);
    EXPECT_LT(energyof(mix(old, kGrating - detuning, 20).idler) / single, 0.05);
}

using Walkoff = Reported;

TEST_F(Walkoff, ZeroLengthGivesBackTheInputs) {
    Beams b, expected;
    optics::tofrequency(expected.idler);
    psetppln_ pset = crystal(2.5e-11, 0.0);
    elements::pplnmix(b.pump, b.signal, b.idler, pset);
    EXPECT_LT(mismatch(b, expected), 1e-6);
}

// Below one sample of walk-off the idler grows from nothing as (chi2*l)^2.
TEST_F(Walkoff, IdlerEnergyGrowsAsTheSquareOfCouplingAndLength) {
    auto idlerenergy = [](double chi2, double l) {
        Beams b(512, 2e-14, 0.0f);
        psetppln_ pset = crystal(chi2, l);
        elements::pplnmix(b.pump, b.signal, b.idler, pset);
        return energyof(b.idler);
    };
    const double e = idlerenergy(1e-10, 5e-7);
    EXPECT_NEAR(idlerenergy(2e-10, 5e-7) / e, 4.0, 1e-4);
    EXPECT_NEAR(idlerenergy(1e-10, 1e-6) / e, 4.0, 1e-4);
}

const Routine kRoutines[] = {
    [](pulse_& pump, pulse_& signal, pulse_&, psetppln_& pset) { elements::shg(signal, pump, pset); },
    elements::pplnfrequencyold, elements::pplnmix};

// Pulses, crystals or gratings the routines cannot use are reported once and
// left as they were, and the distance does not grow.
TEST_F(Walkoff, UnusableInputIsReportedAndLeftAlone) {
    void (*const spoil[])(Beams&, psetppln_&) = {
        [](Beams& b, psetppln_&) { b.signal = gaussian(256, 2e-14, 2e-12, kSignal, 1e3f); },
        [](Beams& b, psetppln_&) { b = Beams(1000); },
        [](Beams& b, psetppln_&) { b.signal.omega0 = 0; },
        [](Beams&, psetppln_& p) { p.w = 0; },
        [](Beams&, psetppln_& p) { p.g = 0; },
    };
    for (size_t s = 0; s < std::size(spoil); ++s)
        for (size_t r = 0; r < std::size(kRoutines); ++r) {
            if (s == 4 && r != 1) continue;  // only one routine reads the grating
            Beams b;
            psetppln_ pset = crystal(2.5e-11, 1e-3);
            spoil[s](b, pset);
            const Beams before = b;
            reports().clear();
            errorhandling::testing::reset();
            kRoutines[r](b.pump, b.signal, b.idler, pset);
            EXPECT_EQ(reports().size(), 1u) << s << " " << r;
            EXPECT_EQ(pset.z, 0.0);
            EXPECT_EQ(mismatch(b, before), 0.0) << s << " " << r;
        }
}

// Setups running at once, with sample counts of their own, each get what they
// get alone, one after the other on one thread, where the work storage is
// resized for the second count with a report: no storage is shared between
// threads, and resized storage holds nothing stale.
using FurtherMixingThreads = Reported;
TEST_F(FurtherMixingThreads, SetupsRunningAtOnceKeepTheirOwnWorkStorage) {
    auto run = [](Beams& b) {
        psetppln_ pset = crystal(2.5e-11, 1e-3);
        for (Routine routine : kRoutines) routine(b.pump, b.signal, b.idler, pset);
    };
    Beams alone[2] = {Beams(256, 4e-14), Beams(512)};
    Beams together[2] = {alone[0], alone[1]};
    for (Beams& b : alone) {
        errorhandling::testing::reset();  // the resync warnings would exhaust the process's error quota
        run(b);
    }
    EXPECT_EQ(std::count_if(reports().begin(), reports().end(),
                            [](const std::string& r) { return r.find("256 to 512") != std::string::npos; }),
              2);
    errorhandling::seterrormode(errorhandling::nowarn);
    std::thread first(run, std::ref(together[0]));
    std::thread second(run, std::ref(together[1]));
    first.join();
    second.join();
    EXPECT_EQ(mismatch(together[0], alone[0]), 0.0);
    EXPECT_EQ(mismatch(together[1], alone[1]), 0.0);
}

}  // namespace
