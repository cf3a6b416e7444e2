// The centred, scaled transform of a pulse's samples against single-precision
// FFTW doing the same work: the centring roll in, the transform, the roll out
// with the scaling. Ends with a table of the time ratios ours/FFTW.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kernel/fastfouriertransform.h"

namespace {

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

void ours(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    optics::samples_ s = randomsamples(n);
    const optics::quad_ dt = unitarystep(n);
    const int32_t sign = -1;
    for (auto _ : state) {
        fastfouriertransform::fft(s, sign, dt);
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
}

void fftw(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    fftwf_complex* in = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_complex* out = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_plan plan = fftwf_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
    optics::samples_ s = randomsamples(n);
    const auto nfactor = static_cast<float>(unitarystep(n) / sqrttwopi);
    const int32_t shift = n / 2 - 1;
    const int32_t wrap = n - shift;
    for (auto _ : state) {
        std::memcpy(in, s.data() + shift, sizeof(fftwf_complex) * static_cast<size_t>(wrap));
        std::memcpy(in + wrap, s.data(), sizeof(fftwf_complex) * static_cast<size_t>(shift));
        fftwf_execute(plan);
        for (int32_t k = 0; k < wrap; ++k) s(shift + k + 1) = {out[k][0] * nfactor, out[k][1] * nfactor};
        for (int32_t k = wrap; k < n; ++k) s(k - wrap + 1) = {out[k][0] * nfactor, out[k][1] * nfactor};
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}

double fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

// Prints the runs as usual and keeps the fastest repetition of each.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                times_[run.run_name.function_name][std::stol(run.run_name.args)] = run.GetAdjustedRealTime();
    }

    void printratios() const {
        const auto o = times_.find("ours");
        const auto f = times_.find("fftw");
        if (o == times_.end() || f == times_.end()) return;
        std::printf("\n%10s %14s %14s %10s\n", "N", "ours (us)", "FFTW (us)", "ours/FFTW");
        for (const auto& [n, t] : o->second) {
            const auto g = f->second.find(n);
            if (g == f->second.end()) continue;
            std::printf("%10ld %14.2f %14.2f %10.2f\n", n, t, g->second, t / g->second);
        }
    }

private:
    std::map<std::string, std::map<long, double>> times_;  // by name and N
};

void registerall() {
    for (int bits : {10, 12, 14, 16}) {
        for (auto [name, fn] : {std::pair{"ours", &ours}, std::pair{"fftw", &fftw}}) {
            benchmark::RegisterBenchmark(name, fn)
                ->Arg(1 << bits)
                ->Repetitions(5)
                ->ComputeStatistics("min", fastest)
                ->ReportAggregatesOnly(true)
                ->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerall();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printratios();
    benchmark::Shutdown();
    return 0;
}
