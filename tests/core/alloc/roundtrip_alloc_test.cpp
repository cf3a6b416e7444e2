// Counts heap allocations while cavities run round trips: once warmed up,
// the engine's per-round-trip path allocates nothing and copies no pulse.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "core/cavity.h"
#include "core/elements/elementgroup.h"
#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/mbox.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/memorybudget.h"
#include "kernel/measures.h"
#include "tests/core/enginefakes.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

// The kernel takes sample arrays from calloc: the linker routes the calls of
// the static libraries through these wrappers (see CMakeLists.txt).
extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t n, std::size_t size);
void* __wrap_malloc(std::size_t size) {
    if (counting) ++allocations;
    return __real_malloc(size);
}
void* __wrap_calloc(std::size_t n, std::size_t size) {
    if (counting) ++allocations;
    return __real_calloc(n, size);
}
}
void* operator new(std::size_t size) {
    if (void* p = __wrap_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Two cavities meeting at a shared element, every element kind in the ring,
// recentring on; the setup's last round trip falls among the counted ones,
// so its traces must be refused by the level (normal) before composing.
TEST(RoundTripAllocations, WarmedUpCavitiesAllocateNothing) {
    loggertesting::reset();
    FakeSetup setup;
    setup.samples = 1024;
    setup.roundtrips = 50;
    Gain_ gain(nullptr, nullptr);
    setParameters(gain, {{"w", 1e-4}, {"l", 0.01}, {"sigma", 1e-23}, {"deltan0", 1e24}, {"T1", 1e-3}, {"deltan", 1e24}});
    SaturableAbsorber_ absorber(nullptr, nullptr);
    setParameters(absorber, {{"w", 1e-4}, {"l", 1e-3}, {"Is", 1e12}, {"loss", 0.1}, {"T1", 1.0}});
    GaussianFilter_ filter(nullptr, nullptr);
    setParameters(filter, {{"fwhm", 5e13}});
    LinearLoss_ loss(nullptr, nullptr);
    setParameters(loss, {{"amount", 5.0}});
    Propagation_ path(nullptr, nullptr);
    setParameters(path, {{"d", 1.0}, {"n", 1.0}});
    ElementGroup_ group(nullptr, nullptr, 2);
    group.setElement(0, &loss, 1);
    group.setElement(1, &path, 1);
    group.setIterations(3);
    MBox_ box(nullptr, 1, nullptr);
    Counter shared, other;

    Cavity_ A(6, &setup, nullptr), B(2, &setup, nullptr);
    A.setRecenter(true);
    B.setRecenter(true);
    A.initPulseGaussian(100e-15, 1e-9, 800e-9);
    B.initPulseGaussian(100e-15, 1e-9, 1000e-9);
    Pulse_* list[] = {A.getPulse(), B.getPulse()};
    // The box's measurement tests its condition on every pass; a collection
    // makes its one copy, so the condition is met only after the count.
    double met = 0;
    Measurement_* m = measurementOf(pulseMeasure(Operation_::energy, *A.getPulse()), whileNonZero(met));
    box.addMeasurement(m);
    for (CavityElement_* e : std::vector<CavityElement_*>{&gain, &absorber, &group}) A.addElement(e);
    A.addElement(&shared, list, 2);
    A.addElement(&filter);
    A.addElement(&box);
    B.addElement(&other);
    B.addElement(&shared, list, 2);
    ASSERT_TRUE(A.ready() && B.ready());
    Cavity_* cavities[] = {&A, &B};

    for (int k = 0; k < 3; ++k) ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 2, &A, nullptr));
    bool completed = true;
    allocations = 0;
    counting = true;
    for (int k = 0; k < 100; ++k) completed = Cavity_::completeRoundtrip(cavities, 2, &A, nullptr) && completed;
    counting = false;
    EXPECT_TRUE(completed);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(A.getRoundtrip(), 104);
    EXPECT_EQ(shared.calls, 103);
    met = 1;
    ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 2, &A, nullptr));
    ASSERT_EQ(m->getInMemory(), 1);
    EXPECT_NEAR(*static_cast<double*>(m->getSample(0, nullptr)) / optics::energy(*A.getPulse()->get()), 1.0, 1e-6);
}

}  // namespace

namespace {

// Evaluating "Energy(P)*2" and the gate "MSQ(P)>0" allocates nothing; only a
// collection makes its one copy.
TEST(EvaluationAllocations, OperationTreesAndConditionsAllocateNothing) {
    Pulse_ pulse(1024, nullptr);
    pulse.createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    Operation_ twice(Operation_::multiply, DataType_(DataType_::doubleprecision), 0, nullptr);
    twice.setParameter(0, pulseMeasure(Operation_::energy, pulse));
    twice.setParameter(1, 2.0);
    Operation_* zero = scalar(Operation_::copy, DataType_::doubleprecision);
    zero->setParameter(0, 0.0);
    Condition_ gate;
    gate.setComparison(pulseMeasure(Operation_::msq, pulse), zero, Condition_::GREATER, 0, nullptr);
    Measurement_ m(nullptr, nullptr);
    m.setOperation(pulseMeasure(Operation_::msq, pulse));
    m.setCondition(new Condition_(gate));
    m.collect();  // the list gets its first storage

    allocations = 0;
    counting = true;
    bool met = true;
    for (int k = 0; k < 100; ++k) {
        twice.perform();
        met = gate.isMet() && met;
    }
    counting = false;
    EXPECT_TRUE(met);
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(*static_cast<double*>(twice.perform()), 2 * optics::energy(*pulse.get()));
}

// A measurement with room reserved keeps its sets in the reserve: collecting,
// and judging the machine's memory for them afresh, allocates nothing, and the
// sets read, clear and free like any other.
TEST(MeasurementAllocations, ReservedSetsAreCollectedWithoutAllocating) {
    Pulse_ pulse(256, nullptr);
    pulse.createGaussian(1e-12, 1e-7, 1064e-9, nullptr);
    std::unique_ptr<Measurement_> m(measurementOf(pulseMeasure(Operation_::energy, pulse)));
    m->collect();
    m->reserve(100);
    MemoryBudget_::setLimitForTesting(0);
    allocations = 0;
    counting = true;
    for (int k = 0; k < 100; ++k) m->collect();
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    ASSERT_EQ(m->getInMemory(), 101);
    m->clear(50);
    for (int set = 0; set < 100; ++set)
        EXPECT_EQ(*static_cast<double*>(m->getSample(set, nullptr)), optics::energy(*pulse.get()));
    m->collect();
    EXPECT_EQ(m->getInMemory(), 101);
}

}  // namespace
