// The centred, scaled transform of a pulse's samples against FFTW doing the
// same work: the float samples widened to double with the centring roll, the
// transform in double precision, the scaling and the rounding back to single
// precision with the roll out. Single-precision FFTW doing the same is shown
// beside. Each iteration times the three in turn, in a rotating order, so
// all see the same machine load; the counters are medians, in microseconds,
// and the ratios of ours to each FFTW.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "kernel/fastfouriertransform.h"
#include "support/fftwreference.h"

namespace {

using clock_ = std::chrono::steady_clock;

constexpr long double sqrttwopi = 2.5066282746310002L;
constexpr long double twopi = 6.283185307179586L;

optics::samples_ randomsamples(int32_t n) {
    optics::samples_ s(n);
    std::mt19937 rng(12345);
    std::normal_distribution<float> normal;
    for (auto& v : s) v = {normal(rng), normal(rng)};
    return s;
}

// The step that makes the transform unitary, so repeated transforms keep the
// samples' size.
long double unitarystep(int32_t n) { return std::sqrt(twopi / n); }

// FFTW in double or single precision on the samples, rolled in and out and
// scaled as the kernel's transform does.
template <class Real, class Complex, class Plan>
struct Reference {
    Complex* in;
    Complex* out;
    Plan plan;
    Real nfactor;
    int32_t shift, wrap;

    void run(optics::samples_& s) const;
};

using Double = Reference<double, fftw_complex, fftw_plan>;
using Single = Reference<float, fftwf_complex, fftwf_plan>;

template <class R>
R make(int32_t n);

template <>
Double make<Double>(int32_t n) {
    Double r{fftw_alloc_complex(static_cast<size_t>(n)), fftw_alloc_complex(static_cast<size_t>(n)), nullptr,
             static_cast<double>(unitarystep(n) / sqrttwopi), n / 2 - 1, n - (n / 2 - 1)};
    r.plan = fftw_plan_dft_1d(n, r.in, r.out, FFTW_FORWARD, FFTW_MEASURE);
    return r;
}
template <>
Single make<Single>(int32_t n) {
    Single r{fftwf_alloc_complex(static_cast<size_t>(n)), fftwf_alloc_complex(static_cast<size_t>(n)), nullptr,
             static_cast<float>(unitarystep(n) / sqrttwopi), n / 2 - 1, n - (n / 2 - 1)};
    r.plan = fftwf_plan_dft_1d(n, r.in, r.out, FFTW_FORWARD, FFTW_MEASURE);
    return r;
}

void execute(fftw_plan p) { fftw_execute(p); }
void execute(fftwf_plan p) { fftwf_execute(p); }

template <class Real, class Complex, class Plan>
void Reference<Real, Complex, Plan>::run(optics::samples_& s) const {
    const int32_t n = s.size();
    for (int32_t k = 0; k < wrap; ++k) {
        in[k][0] = s(shift + k + 1).real();
        in[k][1] = s(shift + k + 1).imag();
    }
    for (int32_t k = wrap; k < n; ++k) {
        in[k][0] = s(k - wrap + 1).real();
        in[k][1] = s(k - wrap + 1).imag();
    }
    execute(plan);
    for (int32_t k = 0; k < wrap; ++k)
        s(shift + k + 1) = {static_cast<float>(out[k][0] * nfactor), static_cast<float>(out[k][1] * nfactor)};
    for (int32_t k = wrap; k < n; ++k)
        s(k - wrap + 1) = {static_cast<float>(out[k][0] * nfactor), static_cast<float>(out[k][1] * nfactor)};
}

template <class F>
double nanoseconds(F f) {
    const auto start = clock_::now();
    f();
    return std::chrono::duration<double, std::nano>(clock_::now() - start).count();
}

void Interleaved(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    const optics::quad_ dt = unitarystep(n);
    optics::samples_ a = randomsamples(n), b = a, c = a;
    const Double fftwdouble = make<Double>(n);
    const Single fftwsingle = make<Single>(n);
    std::vector<double> ours, doubles, singles;
    int round = 0;
    for (auto _ : state) {
        auto runours = [&] { ours.push_back(nanoseconds([&] { fastfouriertransform::fft(a, -1, dt); })); };
        auto rundouble = [&] { doubles.push_back(nanoseconds([&] { fftwdouble.run(b); })); };
        auto runsingle = [&] { singles.push_back(nanoseconds([&] { fftwsingle.run(c); })); };
        switch (round++ % 3) {
            case 0: runours(); rundouble(); runsingle(); break;
            case 1: rundouble(); runsingle(); runours(); break;
            default: runsingle(); runours(); rundouble(); break;
        }
        state.SetIterationTime(ours.back() * 1e-9);
        benchmark::DoNotOptimize(a.data());
        benchmark::DoNotOptimize(b.data());
        benchmark::DoNotOptimize(c.data());
        benchmark::ClobberMemory();
    }
    const double o = median(ours), d = median(doubles), s = median(singles);
    state.counters["ours_us"] = o * 1e-3;
    state.counters["fftw_double_us"] = d * 1e-3;
    state.counters["fftw_single_us"] = s * 1e-3;
    state.counters["ours/fftw_double"] = o / d;
    state.counters["ours/fftw_single"] = o / s;
    fftw_destroy_plan(fftwdouble.plan);
    fftw_free(fftwdouble.in);
    fftw_free(fftwdouble.out);
    fftwf_destroy_plan(fftwsingle.plan);
    fftwf_free(fftwsingle.in);
    fftwf_free(fftwsingle.out);
}

BENCHMARK(Interleaved)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->UseManualTime()->Unit(
    benchmark::kMicrosecond);

}  // namespace
