#include "kernel/mixing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "crystalpulses.h"
#include "kernel/measures.h"
#include "scratch.h"

namespace {

using namespace crystaltest;
using optics::samples_;

const double kPump = optics::twopic / 1.064e-6;
const double kSignal = optics::twopic / 1.55e-6;
const double kIdler = kPump - kSignal;
const float kPumpPhase = 0.2f;
const float kSignalPhase = 0.7f;

// Pump, signal and idler on one time grid, with phases of their own.
struct Beams {
    pulse_ pump, signal, idler;
    explicit Beams(int32_t n = 1024, double dt = 1e-14, double fwhm = 1e-12, float idlerpeak = 0, float signalpeak = 1e3f)
        : pump(gaussian(n, dt, fwhm, kPump, 1e4f, kPumpPhase)),
          signal(gaussian(n, dt, fwhm, kSignal, signalpeak, kSignalPhase)),
          idler(gaussian(n, dt, fwhm, kIdler, idlerpeak)) {}
    void each(void (*f)(pulse_&)) {
        f(pump);
        f(signal);
        f(idler);
    }
};

elements::psetppln_ crystal(double chi2, double l, bool first = false) {
    elements::psetppln_ pset;
    pset.w = 1e-4;
    pset.chi2 = chi2;
    pset.l = l;
    pset.firsttime = first;
    return pset;
}

void expectsame(const samples_& a, const samples_& b) {
    ASSERT_EQ(a.size(), b.size());
    for (int32_t j = 1; j <= a.size(); ++j) ASSERT_EQ(a(j), b(j)) << "sample " << j;
}

// Largest |a - b| relative to the largest |b|.
double mismatch(const samples_& a, const samples_& b) {
    double diff = 0, scale = 0;
    for (int32_t j = 1; j <= a.size(); ++j) {
        diff = std::max(diff, static_cast<double>(std::abs(a(j) - b(j))));
        scale = std::max(scale, static_cast<double>(std::abs(b(j))));
    }
    return diff / scale;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

using MixingTime = Reported;

TEST_F(MixingTime, NoCouplingChangesNothingButTheIdlerGrid) {
    Beams b(1024, 1e-14, 1e-12, 5.0f);
    b.idler = gaussian(1024, 3e-14, 1e-12, kIdler, 5.0f);  // on another grid
    const Beams before = b;
    elements::psetppln_ pset = crystal(0.0, 1e-3, true);
    ::testing::internal::CaptureStdout();
    elements::pplntime(b.pump, b.signal, b.idler, pset);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    expectsame(b.pump.envelope, before.pump.envelope);
    expectsame(b.signal.envelope, before.signal.envelope);
    expectsame(b.idler.envelope, before.idler.envelope);
    EXPECT_EQ(b.idler.dt, b.pump.dt);
    EXPECT_NEAR(static_cast<double>(b.idler.dt * b.idler.domega * 1024), optics::twopi, 1e-12);
    EXPECT_EQ(pset.firsttime, 0);
}

TEST_F(MixingTime, IdlerGrowsFromPumpAndSignalWhosePhotonsMove) {
    auto mix = [](double chi2, double l) {
        Beams b;
        elements::psetppln_ pset = crystal(chi2, l);
        elements::pplntime(b.pump, b.signal, b.idler, pset);
        return b;
    };
    const Beams before;
    const Beams b = mix(2.5e-11, 1e-3);
    const double idler = energyof(b.idler);
    EXPECT_NEAR(energyof(mix(2.5e-11, 2e-3).idler) / idler, 4.0, 4e-3);  // as l^2
    EXPECT_NEAR(energyof(mix(5e-11, 1e-3).idler) / idler, 4.0, 4e-3);    // as chi2^2
    // The idler's phase is the pump's minus the signal's, less pi/2.
    EXPECT_NEAR(std::arg(b.idler.envelope(512)), kPumpPhase - kSignalPhase - tools::pi / 2, 1e-5);
    // The pump gives photons (energy over omega/n) to the signal, in the same
    // call that makes the idler.
    const double pumploss = energyof(before.pump) - energyof(b.pump);
    const double signalgain = energyof(b.signal) - energyof(before.signal);
    ASSERT_GT(pumploss, 0);
    ASSERT_GT(signalgain, 0);
    const double photonratio = (signalgain * elements::ne(1.55e-6) / kSignal) / (pumploss * elements::ne(1.064e-6) / kPump);
    EXPECT_NEAR(photonratio, 1.0, 0.03);
}

TEST_F(MixingTime, LargeStepsAtThePeaksArePrintedAndStillTaken) {
    Beams b;
    elements::psetppln_ pset = crystal(1e-7, 1e-3);
    ::testing::internal::CaptureStdout();
    elements::pplntime(b.pump, b.signal, b.idler, pset);
    std::istringstream out(::testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], " Value out of bounds in PPLNTime: pump Sample         512");
    EXPECT_TRUE(contains(lines[1], "  E: (")) << lines[1];
    EXPECT_TRUE(contains(lines[2], " dE: (")) << lines[2];
    EXPECT_TRUE(contains(lines[3], "Value out of bounds in PPLNTime: Signal Sample")) << lines[3];
    EXPECT_GT(energyof(b.idler), 0);
}

using MixingFrequency = Reported;

TEST_F(MixingFrequency, NoCouplingLeavesTheSpectraWhileTheDistanceGrows) {
    Beams b(1024, 1e-14, 1e-12, 50.0f);
    b.each(optics::tofrequency);
    const Beams before = b;
    elements::psetppln_ pset = crystal(0.0, 1e-3);
    ::testing::internal::CaptureStdout();
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_DOUBLE_EQ(pset.z, 2e-3);
    expectsame(b.pump.envelope, before.pump.envelope);
    expectsame(b.signal.envelope, before.signal.envelope);
    expectsame(b.idler.envelope, before.idler.envelope);
}

TEST_F(MixingFrequency, WithoutSignalOnlyTheSignalChanges) {
    Beams b(1024, 1e-14, 1e-12, 50.0f, 0.0f);
    b.each(optics::tofrequency);
    const Beams before = b;
    elements::psetppln_ pset = crystal(2.5e-11, 1e-3);
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    expectsame(b.pump.envelope, before.pump.envelope);
    expectsame(b.idler.envelope, before.idler.envelope);
    EXPECT_GT(energyof(b.signal), 0);
}

TEST_F(MixingFrequency, ShortCrystalAgreesWithTheTimeDomainStep) {
    // Narrow-band pulses and a short crystal keep the frame phases small.
    const Beams start(1024, 2e-14, 2e-12);
    Beams t = start;
    elements::psetppln_ timecrystal = crystal(2.5e-8, 1e-6);
    elements::pplntime(t.pump, t.signal, t.idler, timecrystal);
    Beams f = start;
    elements::psetppln_ frequencycrystal = crystal(2.5e-8, 1e-6);
    elements::pplnfrequency(f.pump, f.signal, f.idler, frequencycrystal);
    f.each(optics::totime);
    auto change = [](const pulse_& after, const pulse_& before) {
        samples_ d(after.envelope.size());
        for (int32_t j = 1; j <= d.size(); ++j) d(j) = after.envelope(j) - before.envelope(j);
        return d;
    };
    EXPECT_LT(mismatch(f.idler.envelope, t.idler.envelope), 1e-2);
    EXPECT_LT(mismatch(change(f.signal, start.signal), change(t.signal, start.signal)), 2e-2);
    EXPECT_LT(mismatch(change(f.pump, start.pump), change(t.pump, start.pump)), 5e-2);
}

// Single spectral lines on a grid of 256 samples, at pump = signal + idler.
constexpr int32_t kLine[3] = {10, 20, -10};  // pump, signal, idler offsets

// The line that mixing writes into wave `target` (0 pump, 1 signal, 2 idler)
// from the other two after `passes` passes of length l.
float generatedline(int target, int passes, double l) {
    const double omega0[3] = {kPump, kSignal, kIdler};
    const float amplitude[3] = {1e-6f, 1e-7f, 1e-7f};
    Beams b;
    pulse_* waves[3] = {&b.pump, &b.signal, &b.idler};
    for (int w = 0; w < 3; ++w) {
        *waves[w] = gaussian(256, 1e-14, 1e-13, omega0[w], 0);
        waves[w]->domain = optics::frequency;
        if (w != target) waves[w]->envelope(128 + kLine[w]) = amplitude[w];
    }
    elements::psetppln_ pset = crystal(1e-14, l);  // weak: no noticeable back-action
    for (int pass = 0; pass < passes; ++pass) elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    return std::abs(waves[target]->envelope(128 + kLine[target]));
}

// Away from the carriers the waves slip out of phase: the increments of
// successive passes turn by theta = (dk_pump - dk_signal - dk_idler)*l, so
// after M passes a line holds |sin(M theta/2)/sin(theta/2)| single
// increments, and nothing after a full turn.
TEST_F(MixingFrequency, MismatchedLinesGrowOnlyOverACoherenceLength) {
    const double step = static_cast<double>(gaussian(256, 1e-14, 1e-13, 0, 0).domega);
    auto dk = [step](double omega0, int32_t offset) {
        return elements::kofomega(omega0 + offset * step) - elements::kofomega(omega0);
    };
    const double mismatch = dk(kPump, kLine[0]) - dk(kSignal, kLine[1]) - dk(kIdler, kLine[2]);
    ASSERT_GT(std::fabs(mismatch), 100.0);
    const int passes = 20;
    const double halfturn = tools::pi / (passes * std::fabs(mismatch));
    for (int target = 0; target < 3; ++target) {
        const float single = generatedline(target, 1, halfturn);
        ASSERT_GT(single, 0.0f);
        EXPECT_NEAR(generatedline(target, passes, halfturn) / (passes * single),
                    1.0 / (passes * std::sin(tools::pi / (2 * passes))), 5e-3);
        EXPECT_LT(generatedline(target, passes, 2 * halfturn) / (passes * single), 5e-3);
    }
}

// Changes into a fresh scratch directory, with or without "data", and back.
class InScratchDirectory {
public:
    explicit InScratchDirectory(bool withdata) : previous_(std::filesystem::current_path()) {
        directory_ = scratch::Path("crystal").str() + ".d";
        std::filesystem::create_directories(directory_ / (withdata ? "data" : ""));
        std::filesystem::current_path(directory_);
    }
    ~InScratchDirectory() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(directory_);
    }
    std::filesystem::path directory_;

private:
    std::filesystem::path previous_;
};

TEST_F(MixingFrequency, DebugDataOnTheFirstAndTheLastPass) {
    InScratchDirectory here(true);
    Beams b(256, 4e-14, 1e-12);
    elements::psetppln_ pset = crystal(2.5e-11, 1e-3, true);
    ::testing::internal::CaptureStdout();
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    EXPECT_FALSE(std::filesystem::exists("data/plast.dat"));
    pset.lasttime = 1;
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " Phase missmatch for center frequencies:\n"
              "                         0 over a distance of                     0.001 m\n"
              " Writing debug data for PPLNFrequency ...\n"
              " Writing debug data for PPLNFrequency ...\n");
    for (const char* name : {"p", "s", "i", "dp", "ds", "di"})
        for (const char* pass : {"first", "last"}) {
            const auto lines = scratch::readlines(std::string("data/") + name + pass + ".dat");
            ASSERT_EQ(lines.size(), 256u) << name << pass;
            double x, modulus, re, im;
            std::istringstream(lines[255]) >> x >> modulus >> re >> im;
            EXPECT_EQ(x, 255.0);
            EXPECT_NEAR(modulus, std::hypot(re, im), 1e-3 * modulus + 1e-30);
        }
    for (const samples_* a : {&pset.i, &pset.s, &pset.p, &pset.di, &pset.ds, &pset.dp}) EXPECT_FALSE(a->allocated());
    EXPECT_EQ(pset.firsttime, 0);
    EXPECT_TRUE(reports().empty());
}

TEST_F(MixingFrequency, WithoutDataDirectoryEachDumpIsReportedOnce) {
    InScratchDirectory here(false);
    Beams b(256, 4e-14, 1e-12);
    elements::psetppln_ pset = crystal(2.5e-11, 1e-3, true);
    pset.lasttime = 1;
    ::testing::internal::CaptureStdout();
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_TRUE(contains(reports()[0], "data/"));
    EXPECT_FALSE(pset.p.allocated());
    EXPECT_GT(energyof(b.idler), 0);
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

// After the carrier moves or the sample count changes, a pass gives what a
// fresh crystal at the same distance gives; the second is reported.
TEST_F(MixingFrequency, NewGridsRebuildWaveNumbersAndWorkArrays) {
    elements::psetppln_ pset = crystal(2.5e-11, 1e-3);
    auto passagainstfresh = [&pset](Beams b) {
        Beams fresh = b;
        elements::psetppln_ other = crystal(pset.chi2, pset.l);
        other.z = pset.z;
        elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
        elements::pplnfrequency(fresh.pump, fresh.signal, fresh.idler, other);
        expectsame(b.pump.envelope, fresh.pump.envelope);
        expectsame(b.signal.envelope, fresh.signal.envelope);
        expectsame(b.idler.envelope, fresh.idler.envelope);
    };
    Beams b(256, 4e-14, 1e-12, 50.0f);
    elements::pplnfrequency(b.pump, b.signal, b.idler, pset);  // missing arrays are made silently
    b.pump.omega0 += 10 * b.pump.domega;
    passagainstfresh(b);
    EXPECT_TRUE(reports().empty());
    passagainstfresh(Beams(512, 2e-14, 1e-12, 50.0f));
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_TRUE(contains(reports()[0], "256 to 512")) << reports()[0];
    EXPECT_EQ(pset.dp.size(), 512);
}

// Pulses of unequal length, or spectra of a length the transform refuses:
// reported, and the routines leave the pulses and the distance alone.
TEST_F(MixingFrequency, UnusablePulsesAreReportedAndLeftAlone) {
    for (int32_t n : {0, 1000}) {
        Beams b(1024, 1e-14, 1e-12, 5.0f);
        if (n == 0) {
            b.signal = gaussian(512, 1e-14, 1e-12, kSignal, 1e3f);
        } else {
            b = Beams(n, 1e-14, 1e-12, 5.0f);
            b.pump.domain = b.signal.domain = b.idler.domain = optics::frequency;
        }
        const Beams before = b;
        elements::psetppln_ pset = crystal(2.5e-11, 1e-3, true);
        reports().clear();
        elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
        elements::pplntime(b.pump, b.signal, b.idler, pset);
        if (n == 0) elements::pplndelay(b.pump, b.signal, b.idler, pset);
        EXPECT_FALSE(reports().empty());
        EXPECT_EQ(pset.z, 0.0);
        EXPECT_FALSE(pset.p.allocated());
        expectsame(b.signal.envelope, before.signal.envelope);
        expectsame(b.idler.envelope, before.idler.envelope);
    }
}

// Crystals of concurrent setups share nothing: each thread's passes give what
// the same passes give alone.
TEST(MixingThreads, CrystalsOfConcurrentSetupsAreIndependent) {
    auto run = [](int seed, Beams& b) {
        elements::psetppln_ pset = crystal(2.5e-11 * (1 + seed), 1e-3);
        for (int pass = 0; pass < 3; ++pass) {
            elements::pplnfrequency(b.pump, b.signal, b.idler, pset);
            elements::pplntime(b.pump, b.signal, b.idler, pset);
        }
    };
    constexpr int kThreads = 4;
    std::vector<Beams> alone(kThreads, Beams(256, 4e-14, 1e-12));
    std::vector<Beams> together = alone;
    for (int t = 0; t < kThreads; ++t) run(t, alone[t]);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(run, t, std::ref(together[t]));
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        expectsame(together[t].pump.envelope, alone[t].pump.envelope);
        expectsame(together[t].signal.envelope, alone[t].signal.envelope);
        expectsame(together[t].idler.envelope, alone[t].idler.envelope);
    }
}

}  // namespace
