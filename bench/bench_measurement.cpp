// What a measurement costs on the setup thread: "Energy(P)*2" evaluated as an
// operation tree, and "MSQ(P)" collected by a measurement gated by
// "Roundtrip>=0", on Gaussian pulses of N samples. Each is printed beside the
// kernel routine it wraps, timed in the same run, with the heap allocations
// one evaluation makes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "support/allocationcount.h"
#include "core/condition.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/parameterlink.h"
#include "core/pulse.h"
#include "kernel/measures.h"

namespace {

using clock_ = std::chrono::steady_clock;

// The pulse and the round-trip counter, as the tree's parameters hand them on.
class Bound : public ParameterLink_ {
public:
    Bound(void* data, const DataShape_& shape) : data(data), shape(shape) {}
    void* getData() const override { return data; }
    const DataShape_* getShape() const override { return &shape; }

private:
    void* data;
    DataShape_ shape;
};

std::unique_ptr<Pulse_> gaussian(int n) {
    auto p = std::make_unique<Pulse_>(n, nullptr);
    p->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    return p;
}

Operation_* measure(Operation_::kind_ kind, Pulse_& pulse) {
    auto* op = new Operation_(kind, DataType_(DataType_::doubleprecision), 0, nullptr);
    const int n = pulse.getSamples();
    Bound p(&pulse, DataShape_(DataType_(DataType_::pulse), 1, &n));
    op->setParameter(0, &p);
    return op;
}

// Nanoseconds per call of `f`, over some 0.2 s.
template <typename F>
double nanosecondsPerCall(F f) {
    long calls = 0;
    const auto start = clock_::now();
    std::chrono::duration<double> elapsed{};
    do {
        for (int k = 0; k < 64; ++k) benchmark::DoNotOptimize(f());
        calls += 64;
        elapsed = clock_::now() - start;
    } while (elapsed.count() < 0.2);
    return elapsed.count() * 1e9 / calls;
}

void report(benchmark::State& state, int n, double kernel, double seconds, long allocations) {
    const double perCall = seconds * 1e9 / static_cast<double>(state.iterations());
    state.counters["N"] = n;
    state.counters["ns"] = perCall;
    state.counters["kernel_ns"] = kernel;
    state.counters["x_kernel"] = perCall / kernel;
    state.counters["allocs/eval"] = double(allocations) / static_cast<double>(state.iterations());
}

void BM_EnergyTimesTwo(benchmark::State& state) {
    const int n = 1 << state.range(0);
    auto pulse = gaussian(n);
    Operation_ twice(Operation_::multiply, DataType_(DataType_::doubleprecision), 0, nullptr);
    twice.setParameter(0, measure(Operation_::energy, *pulse));
    twice.setParameter(1, 2.0);
    const double kernel = nanosecondsPerCall([&] { return optics::energy(*pulse->get()); });
    const long before = allocationCount();
    const auto start = clock_::now();
    for (auto _ : state) benchmark::DoNotOptimize(twice.perform());
    const std::chrono::duration<double> seconds = clock_::now() - start;
    report(state, n, kernel, seconds.count(), allocationCount() - before);
}

void BM_GatedMSQ(benchmark::State& state) {
    const int n = 1 << state.range(0);
    auto pulse = gaussian(n);
    int32_t roundtrip = 1;
    auto* rt = new Operation_(Operation_::copy, DataType_(DataType_::integer), 0, nullptr);
    Bound counter(&roundtrip, DataShape_(DataType_(DataType_::integer), 0, nullptr));
    rt->setParameter(0, &counter);
    auto* zero = new Operation_(Operation_::copy, DataType_(DataType_::integer), 0, nullptr);
    zero->setParameter(0, 0);
    auto* gate = new Condition_;
    gate->setComparison(rt, zero, Condition_::GREATEROREQUAL, 0, nullptr);
    Measurement_ m(nullptr, nullptr);
    m.setOperation(measure(Operation_::msq, *pulse));
    m.setCondition(gate);
    const double kernel = nanosecondsPerCall([&] { return optics::msq(*pulse->get()); });
    const long before = allocationCount();
    const auto start = clock_::now();
    for (auto _ : state) m.collect();
    const std::chrono::duration<double> seconds = clock_::now() - start;
    report(state, n, kernel, seconds.count(), allocationCount() - before);
}

BENCHMARK(BM_EnergyTimesTwo)->Arg(12)->Arg(14)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GatedMSQ)->Arg(12)->Arg(14)->Unit(benchmark::kMicrosecond);

}  // namespace
