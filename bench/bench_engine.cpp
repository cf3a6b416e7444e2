// The whole engine at work: standard setups (gain, saturable absorber, loss,
// Gaussian filter and propagation in one cavity that recentres its pulse)
// built into an experiment and run on their threads. Reports round trips per
// second for 1, 2, 4 and 8 setups at once, the time of one round trip in units of
// one single-precision FFTW transform of the same length measured in the same
// run, and the heap allocations a round trip makes once the run is going.
#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "support/allocationcount.h"
#include "support/fftwreference.h"
#include "core/base.h"
#include "core/cavity.h"
#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/setup.h"

namespace {

using clock_ = std::chrono::steady_clock;

// A Nd-doped gain medium, an absorber the pulse saturates strongly, 5 % loss,
// a gentle filter and 1.5 m of air.
Setup_* standardSetup(Base_* base, int samples, int roundtrips) {
    auto* setup = new Setup_(1, 5, 0, base, nullptr);
    setup->setSamples(samples);
    setup->setRoundtrips(roundtrips);

    auto* gain = new Gain_(setup, nullptr);
    elements::psetgain_& g = *gain->getpset();
    g.w = 1.0e-4;
    g.r = 1.0e5;
    g.l = 5.0e-3;
    g.sigma = 3.0e-23;
    g.deltan0 = -1.4e26;
    g.t1 = 2.3e-4;
    g.deltan = 1.0e24;
    auto* absorber = new SaturableAbsorber_(setup, nullptr);
    elements::psetabsorber_& a = *absorber->getpset();
    a.w = 1.0e-4;
    a.l = 1.0e-6;
    a.is = 1.0e15;
    a.loss = 0.1;
    a.t1 = 1.0e-12;
    auto* loss = new LinearLoss_(setup, nullptr);
    loss->setParameter(0, 5.0);
    auto* filter = new GaussianFilter_(setup, nullptr);
    filter->getpset()->fwhm = 5.0e13;
    filter->getpset()->gentlefilter = 1;
    auto* propagation = new Propagation_(setup, nullptr);
    propagation->setParameter(0, 1.5);
    propagation->setParameter(1, 1.0);

    auto* cavity = new Cavity_(5, setup, nullptr);
    cavity->setRecenter(true);
    CavityElement_* const ring[] = {gain, absorber, filter, loss, propagation};
    for (CavityElement_* e : ring) {
        setup->addElement(e);
        cavity->addElement(e);
    }
    cavity->initPulseGaussian(1.0e-13, 1.0e-6, 1.064e-6);
    setup->addCavity(cavity);
    return setup;
}

class StandardBuilder : public SetupBuilder_ {
public:
    StandardBuilder(int samples, int setups, int roundtrips)
        : samples(samples), setups(setups), roundtrips(roundtrips) {}
    int getSetups() override { return setups; }
    Setup_* createSetup(int, Base_* base) override { return standardSetup(base, samples, roundtrips); }
    // The setup is made whole above.
    void addElements(int, Setup_*) override {}
    int getChildren(int) override { return 0; }
    bool isCavity(int, int) override { return false; }
    void addCavity(int, int, Setup_*) override {}
    void link(int) override {}
    void addMeasurement(int, int, Setup_*) override {}

private:
    int samples, setups, roundtrips;
};

// Seconds for the run alone (build and teardown excluded); the allocations
// made while it ran are added to `allocated`.
double run(Base_& base, long* allocated = nullptr) {
    const long before = allocationCount();
    const auto start = clock_::now();
    base.runExperiment();
    for (int i = 0; i < base.getSetups(); ++i) base.getSetup(i)->wait();
    const double seconds = std::chrono::duration<double>(clock_::now() - start).count();
    if (allocated) *allocated += allocationCount() - before;
    return seconds;
}

// Allocations per round trip once running: the difference of two runs of
// different length leaves out what starting and ending a run costs.
double allocationsPerRoundtrip(int samples) {
    long counts[2] = {0, 0};
    const int lengths[2] = {20, 120};
    for (int k = 0; k < 2; ++k) {
        Base_ base(nullptr);
        StandardBuilder builder(samples, 1, lengths[k]);
        base.buildExperiment(builder);
        run(base, &counts[k]);
    }
    return double(counts[1] - counts[0]) / (lengths[1] - lengths[0]);
}

void BM_Engine(benchmark::State& state) {
    const int n = 1 << state.range(0);
    const int setups = static_cast<int>(state.range(1));
    // Runs of some 50 ms and more.
    const int roundtrips = std::max(64, (1 << 22) / n);
    const double fft = fftwnanoseconds(n);
    const double perRoundtripAllocations = allocationsPerRoundtrip(n);

    double seconds = 0;
    for (auto _ : state) {
        Base_ base(nullptr);
        StandardBuilder builder(n, setups, roundtrips);
        base.buildExperiment(builder);
        const double s = run(base);
        state.SetIterationTime(s);
        seconds += s;
    }
    const double runs = static_cast<double>(state.iterations());
    const double roundtripSeconds = seconds / (runs * roundtrips);
    state.counters["N"] = n;
    state.counters["setups"] = setups;
    state.counters["rt/s/setup"] = 1.0 / roundtripSeconds;
    state.counters["rt/s"] = setups / roundtripSeconds;
    state.counters["rt_in_ffts"] = roundtripSeconds * 1e9 / fft;
    state.counters["fft_ns"] = fft;
    state.counters["allocs/rt"] = perRoundtripAllocations;
}

BENCHMARK(BM_Engine)
    ->ArgsProduct({{10, 12, 14}, {1, 2, 4, 8}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

// Setup threads post their ends to the experiment's thread: it needs an
// application object.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
