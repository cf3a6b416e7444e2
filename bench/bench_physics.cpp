// One cavity round trip as a setup thread runs it (bench/support/
// standardcavity.h): recentring, then gain, saturable absorber, Gaussian
// filter, loss and propagation. Each iteration times the pass stage by stage
// and then one single-precision FFTW transform of the same length, so both
// see the same machine load; reported are the medians in ns per sample for
// each routine and for the whole pass, the median pass in units of the
// median FFTW transform, and the heap allocations made per pass.
//
// "Strong" saturates the absorber with a peak some two thousand times its
// saturation intensity (the plain pass reaches a few hundredths of it);
// "Decayed" runs the plain pass on the pulse scaled to 1e-40 of its energy,
// whose faint samples and products fall into the subnormal float range;
// "DecayedFTZ" repeats it with the processor flushing subnormals to zero;
// "Subnormal" scales the field by 1e-38, so that hardly any sample is normal.
#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include <array>
#include <chrono>
#include <vector>

#include "support/allocationcount.h"
#include "support/fftwreference.h"
#include "support/standardcavity.h"

namespace {

using clock_ = std::chrono::steady_clock;
using standardcavity::kNames;
using standardcavity::kStages;
using standardcavity::Stage;

void scaleenergy(optics::pulse_& pulse, float fieldfactor) {
    for (optics::complex_& x : pulse.envelope) x *= fieldfactor;
}

void runpass(benchmark::State& state, bool strong, float fieldfactor, bool flushsubnormals) {
    const int32_t n = static_cast<int32_t>(int64_t{1} << state.range(0));
    const unsigned csr = _mm_getcsr();
    if (flushsubnormals) _mm_setcsr(csr | 0x8040);  // flush-to-zero and denormals-are-zero

    // A cavity some round trips after start-up: the samples carry the
    // transforms' rounding floor, as they do in a running setup.
    standardcavity::Cavity warm(n, strong);
    for (int k = 0; k < 20; ++k) warm.pass();
    scaleenergy(warm.pulse, fieldfactor);
    standardcavity::Cavity cavity = warm;
    FftwTimer fftw(n);

    std::array<std::vector<double>, kStages> stages;
    std::vector<double> passes, transforms;
    long allocated = 0;
    for (auto _ : state) {
        // Every pass starts from the same state, so each measures the same work.
        cavity.pulse.envelope = warm.pulse.envelope;
        cavity.pulse.t = warm.pulse.t;
        cavity.pulse.domain = warm.pulse.domain;
        cavity.gain = warm.gain;
        std::array<double, kStages> one{};
        const long before = allocationCount();
        auto t0 = clock_::now();
        const auto start = t0;
        cavity.pass([&](Stage s) {
            const auto t1 = clock_::now();
            one[s] = std::chrono::duration<double, std::nano>(t1 - t0).count();
            t0 = t1;
        });
        const double total = std::chrono::duration<double, std::nano>(t0 - start).count();
        allocated += allocationCount() - before;
        for (int s = 0; s < kStages; ++s) stages[s].push_back(one[s]);
        passes.push_back(total);
        transforms.push_back(fftw.time());
        state.SetIterationTime(total * 1e-9);
        benchmark::DoNotOptimize(cavity.pulse.envelope.data());
    }
    _mm_setcsr(csr);

    for (int s = 0; s < kStages; ++s) state.counters[kNames[s]] = median(stages[s]) / n;
    state.counters["pass"] = median(passes) / n;
    state.counters["pass/FFTW"] = median(passes) / median(transforms);
    state.counters["allocs/pass"] = static_cast<double>(allocated) / static_cast<double>(state.iterations());
    state.SetLabel("ns/sample, medians");
}

void Pass(benchmark::State& state) { runpass(state, false, 1.0f, false); }
void PassStrong(benchmark::State& state) { runpass(state, true, 1.0f, false); }
void PassDecayed(benchmark::State& state) { runpass(state, false, 1.0e-20f, false); }
void PassSubnormal(benchmark::State& state) { runpass(state, false, 1.0e-38f, false); }
void PassDecayedFTZ(benchmark::State& state) { runpass(state, false, 1.0e-20f, true); }

BENCHMARK(Pass)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassStrong)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassDecayed)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassDecayedFTZ)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(PassSubnormal)->DenseRange(10, 16)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
