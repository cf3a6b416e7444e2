// One cavity round trip as a setup thread runs it: recentring, then gain,
// saturable absorber, Gaussian filter, loss and propagation. Reports ns per
// sample for each routine and for the whole pass, the pass in units of one
// single-precision FFTW transform of the same length measured in the same
// run, and the heap allocations made per pass.
//
// "Decayed" runs the same pass on the pulse scaled to 1e-40 of its energy,
// whose faint samples and products fall into the subnormal float range;
// "DecayedFTZ" repeats it with the processor flushing subnormals to zero;
// "Subnormal" scales the field by 1e-38, so that hardly any sample is normal.
#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include <array>
#include <chrono>

#include "support/allocationcount.h"
#include "support/fftwreference.h"
#include "kernel/elements.h"
#include "kernel/measures.h"
#include "kernel/pulse.h"

namespace {

using clock_ = std::chrono::steady_clock;

enum Stage { kRecenter, kGain, kAbsorber, kFilter, kLoss, kPropagation, kStages };
const std::array<const char*, kStages> kNames = {"recenter", "gain", "absorber", "filter", "loss", "propagation"};

struct Cavity {
    explicit Cavity(int32_t n) {
        pulse.envelope.allocate(n);
        optics::generatepulse(pulse, 1.0e-13, 1.0e-6, 1.064e-6);
        gain.w = 1.0e-4;
        gain.r = 1.0e5;
        gain.l = 5.0e-3;
        gain.sigma = 3.0e-23;
        gain.deltan0 = -1.4e26;
        gain.t1 = 2.3e-4;
        gain.deltan = 1.0e24;
        absorber.w = 1.0e-4;
        absorber.l = 1.0e-6;
        absorber.is = 1.0e15;  // the pulse's peak is some 100 times this
        absorber.loss = 0.1;
        absorber.t1 = 1.0e-12;
        filter.fwhm = 5.0e13;
        filter.gentlefilter = 1;
    }

    // One round trip; adds the time of each stage to `ns`.
    void pass(std::array<double, kStages>& ns) {
        auto t0 = clock_::now();
        auto stage = [&](Stage s) {
            const auto t1 = clock_::now();
            ns[s] += std::chrono::duration<double, std::nano>(t1 - t0).count();
            t0 = t1;
        };
        optics::recenter(pulse, 1, optics::time);
        stage(kRecenter);
        elements::gain(pulse, gain);
        stage(kGain);
        elements::satabsorbersplit(pulse, absorber);
        stage(kAbsorber);
        elements::filter(pulse, filter);
        stage(kFilter);
        elements::loss(pulse, 5.0);
        stage(kLoss);
        elements::propagation(pulse, 1.5, 1.0);
        stage(kPropagation);
    }

    optics::pulse_ pulse;
    elements::psetgain_ gain;
    elements::psetabsorber_ absorber;
    elements::psetfilter_ filter;
};

void scaleenergy(optics::pulse_& pulse, float fieldfactor) {
    for (optics::complex_& x : pulse.envelope) x *= fieldfactor;
}

void runpass(benchmark::State& state, float fieldfactor, bool flushsubnormals) {
    const int32_t n = static_cast<int32_t>(int64_t{1} << state.range(0));
    const unsigned csr = _mm_getcsr();
    if (flushsubnormals) _mm_setcsr(csr | 0x8040);  // flush-to-zero and denormals-are-zero

    // A cavity some round trips after start-up: the samples carry the
    // transforms' rounding floor, as they do in a running setup.
    Cavity warm(n);
    std::array<double, kStages> ignored{};
    for (int k = 0; k < 20; ++k) warm.pass(ignored);
    scaleenergy(warm.pulse, fieldfactor);
    Cavity cavity = warm;

    std::array<double, kStages> ns{};
    long allocated = 0;
    for (auto _ : state) {
        // Every pass starts from the same state, so each measures the same work.
        cavity.pulse.envelope = warm.pulse.envelope;
        cavity.pulse.t = warm.pulse.t;
        cavity.pulse.domain = warm.pulse.domain;
        cavity.gain = warm.gain;
        std::array<double, kStages> one{};
        const long before = allocationCount();
        cavity.pass(one);
        allocated += allocationCount() - before;
        double total = 0;
        for (int s = 0; s < kStages; ++s) {
            ns[s] += one[s];
            total += one[s];
        }
        state.SetIterationTime(total * 1e-9);
        benchmark::DoNotOptimize(cavity.pulse.envelope.data());
    }
    _mm_setcsr(csr);

    const double passes = static_cast<double>(state.iterations());
    double total = 0;
    for (int s = 0; s < kStages; ++s) {
        state.counters[kNames[s]] = ns[s] / passes / n;
        total += ns[s];
    }
    state.counters["pass"] = total / passes / n;
    state.counters["pass/FFTW"] = total / passes / fftwnanoseconds(n);
    state.counters["allocs/pass"] = static_cast<double>(allocated) / passes;
    state.SetLabel("ns/sample");
}

void Pass(benchmark::State& state) { runpass(state, 1.0f, false); }
void PassDecayed(benchmark::State& state) { runpass(state, 1.0e-20f, false); }
void PassSubnormal(benchmark::State& state) { runpass(state, 1.0e-38f, false); }
void PassDecayedFTZ(benchmark::State& state) { runpass(state, 1.0e-20f, true); }

BENCHMARK(Pass)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassDecayed)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassDecayedFTZ)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassSubnormal)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
