// Cost of one pass of each difference-frequency mixing routine, per sample
// and in units of one single-precision FFTW transform (FFTW_MEASURE) of the
// same length, timed in the same run. The pulses stay in the domain each
// routine works in, as they do from one round trip to the next.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <map>

#include "support/fftwreference.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/mixing.h"

namespace {

using optics::complex_;
using optics::pulse_;

// Seconds per in-place forward fftwf transform of n samples.
double fftwseconds(int n) {
    static std::map<int, double> measured;
    if (auto found = measured.find(n); found != measured.end()) return found->second;
    return measured[n] = fftwnanoseconds(n) * 1e-9;
}

// Runs `call` for every iteration and reports, per call, ns per sample and
// the time over one FFTW transform of n samples.
template <typename Call>
void measure(benchmark::State& state, int n, int callsperiteration, Call call) {
    const double fftw = fftwseconds(n);
    using clock = std::chrono::steady_clock;
    const clock::time_point start = clock::now();
    for (auto _ : state) call();
    const double seconds = std::chrono::duration<double>(clock::now() - start).count();
    const double calls = static_cast<double>(state.iterations()) * callsperiteration;
    state.counters["ns/sample"] = seconds / calls / n * 1e9;
    state.counters["FFTW"] = seconds / calls / fftw;
}

pulse_ gaussian(int n, double omega0, float peak, float phase) {
    pulse_ p;
    p.envelope.allocate(n);
    p.dt = 1e-14;
    p.domega = optics::twopi / (n * 1e-14);
    p.omega0 = omega0;
    for (int i = 1; i <= n; ++i) {
        const double x = optics::getx(p, i) / 1e-12;
        p.envelope(i) = std::polar(static_cast<float>(peak * std::exp(-2 * std::log(2.0) * x * x)), phase);
    }
    return p;
}

struct Crystal {
    pulse_ pump, signal, idler;
    elements::psetppln_ pset;
    explicit Crystal(int n) {
        const double omegap = optics::twopic / 1.064e-6;
        const double omegas = optics::twopic / 1.55e-6;
        pump = gaussian(n, omegap, 1e4f, 0.2f);
        signal = gaussian(n, omegas, 1e3f, 0.7f);
        idler = gaussian(n, omegap - omegas, 10.0f, -2.1f);
        pset.w = 1e-4;
        pset.chi2 = 1e-14;  // weak: the pulses hardly change over many passes
        pset.l = 1e-5;
        pset.firsttime = 0;  // no debug data
    }
};

void BM_PPLNTime(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Crystal c(n);
    elements::pplntime(c.pump, c.signal, c.idler, c.pset);
    measure(state, n, 1, [&] { elements::pplntime(c.pump, c.signal, c.idler, c.pset); });
}
BENCHMARK(BM_PPLNTime)->RangeMultiplier(4)->Range(1 << 10, 1 << 14);

void BM_PPLNFrequency(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Crystal c(n);
    elements::pplnfrequency(c.pump, c.signal, c.idler, c.pset);
    measure(state, n, 1, [&] { elements::pplnfrequency(c.pump, c.signal, c.idler, c.pset); });
}
BENCHMARK(BM_PPLNFrequency)->RangeMultiplier(4)->Range(1 << 10, 1 << 14);

// The same pass when every carrier moves between passes, so the wave numbers
// of all three grids are evaluated afresh each time: the cost the cache saves.
void BM_PPLNFrequencyNewGrids(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Crystal c(n);
    elements::pplnfrequency(c.pump, c.signal, c.idler, c.pset);
    optics::quad_ shift = c.pump.domega;
    measure(state, n, 1, [&] {
        shift = -shift;
        for (pulse_* p : {&c.pump, &c.signal, &c.idler}) p->omega0 += shift;
        elements::pplnfrequency(c.pump, c.signal, c.idler, c.pset);
    });
}
BENCHMARK(BM_PPLNFrequencyNewGrids)->RangeMultiplier(4)->Range(1 << 10, 1 << 14);

// The kernel's own transform of the same length, for scale.
void BM_KernelTransform(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    pulse_ p = gaussian(n, 1e15, 1.0f, 0.0f);
    const optics::quad_ dt = p.dt;
    const optics::quad_ domega = p.domega;
    measure(state, n, 2, [&] {
        fastfouriertransform::fft(p.envelope, -1, dt);
        fastfouriertransform::fft(p.envelope, 1, domega);
    });
}
BENCHMARK(BM_KernelTransform)->RangeMultiplier(4)->Range(1 << 10, 1 << 14);

}  // namespace
