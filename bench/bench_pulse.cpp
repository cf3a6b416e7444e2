// Cost per sample of the pulse routines that run every round trip: the
// domain transforms, recentring and the measures, at N = 2^12 and 2^14.
// FFTW's single-precision transform of the same size is there for scale.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>

#include "kernel/optics.h"

namespace {

constexpr double kDuration = 100e-15;

// Time per sample and call, printed with its unit (e.g. "3.2ns").
void persample(benchmark::State& state, int32_t n) {
    state.counters["time/sample"] =
        benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

optics::pulse_ gaussian(int32_t n) {
    optics::pulse_ p;
    p.envelope.allocate(n);
    optics::generatepulse(p, kDuration, 1e-9, 1e-6);
    return p;
}

// dt = domega = sqrt(2pi/N): the forward transform alone is unitary, so it can
// be repeated on the same samples without drifting toward 0 or infinity.
optics::pulse_ unitary(int32_t n) {
    optics::pulse_ p = gaussian(n);
    p.dt = std::sqrt(6.283185307179586L / n);
    p.domega = p.dt;
    return p;
}

void BM_ToFrequency(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    optics::pulse_ p = unitary(n);
    for (auto _ : state) {
        optics::tofrequency(p);
        p.domain = optics::time;
        benchmark::DoNotOptimize(p.envelope.data());
    }
    persample(state, n);
}
BENCHMARK(BM_ToFrequency)->Arg(1 << 12)->Arg(1 << 14);

void BM_ToTime(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    optics::pulse_ p = unitary(n);
    for (auto _ : state) {
        p.domain = optics::frequency;
        optics::totime(p);
        benchmark::DoNotOptimize(p.envelope.data());
    }
    persample(state, n);
}
BENCHMARK(BM_ToTime)->Arg(1 << 12)->Arg(1 << 14);

void BM_FftwReference(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    optics::pulse_ p = unitary(n);
    fftwf_complex* data = reinterpret_cast<fftwf_complex*>(p.envelope.data());
    const fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_ESTIMATE);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(p.envelope.data());
    }
    fftwf_destroy_plan(plan);
    persample(state, n);
}
BENCHMARK(BM_FftwReference)->Arg(1 << 12)->Arg(1 << 14);

// The engine's call on a pulse that is already centred: one peak search.
void BM_RecenterCentred(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    optics::pulse_ p = gaussian(n);
    optics::recenter(p, 1, optics::time);
    for (auto _ : state) {
        optics::recenter(p, 1, optics::time);
        benchmark::DoNotOptimize(p.envelope.data());
    }
    persample(state, n);
}
BENCHMARK(BM_RecenterCentred)->Arg(1 << 12)->Arg(1 << 14);

// A pulse that walked 5 samples in the round trip: the shift and the recentring.
void BM_ShiftAndRecenter(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    optics::pulse_ p = gaussian(n);
    for (auto _ : state) {
        optics::shiftpulse(p, 5);
        optics::recenter(p, 1, optics::time);
        benchmark::DoNotOptimize(p.envelope.data());
    }
    persample(state, n);
}
BENCHMARK(BM_ShiftAndRecenter)->Arg(1 << 12)->Arg(1 << 14);

template <typename Measure>
void measure(benchmark::State& state, Measure m) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    const optics::pulse_ p = gaussian(n);
    for (auto _ : state) benchmark::DoNotOptimize(m(p));
    persample(state, n);
}

void BM_Energy(benchmark::State& state) { measure(state, [](const optics::pulse_& p) { return optics::energy(p); }); }
BENCHMARK(BM_Energy)->Arg(1 << 12)->Arg(1 << 14);

void BM_Fwhm(benchmark::State& state) { measure(state, [](const optics::pulse_& p) { return optics::fwhm(p); }); }
BENCHMARK(BM_Fwhm)->Arg(1 << 12)->Arg(1 << 14);

void BM_Msq(benchmark::State& state) { measure(state, [](const optics::pulse_& p) { return optics::msq(p); }); }
BENCHMARK(BM_Msq)->Arg(1 << 12)->Arg(1 << 14);

void BM_CenterOfMass(benchmark::State& state) {
    measure(state, [](const optics::pulse_& p) { return optics::centerofmass(p); });
}
BENCHMARK(BM_CenterOfMass)->Arg(1 << 12)->Arg(1 << 14);

// Measured in the other domain: a copy into the per-thread work record and
// one transform.
void BM_CenterOfMassOtherDomain(benchmark::State& state) {
    measure(state, [](const optics::pulse_& p) { return optics::centerofmass(p, optics::frequency); });
}
BENCHMARK(BM_CenterOfMassOtherDomain)->Arg(1 << 12)->Arg(1 << 14);

}  // namespace
