// Counts heap allocations, those inside shared libraries included, while
// cavities run round trips: once warmed up, the engine's per-round-trip path
// allocates nothing and copies no pulse.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cerrno>
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

// The allocation functions below run before the sanitizer's runtime is set
// up (the dynamic linker allocates too), so they are not instrumented.
#define UNINSTRUMENTED __attribute__((no_sanitize("address", "undefined")))

namespace {
bool counting = false;
long allocations = 0;

// The allocation functions that come next in the dynamic linker's order: the
// C library's, or the sanitizer's in a sanitized build.
struct Next {
    void* (*malloc)(std::size_t);
    void* (*calloc)(std::size_t, std::size_t);
    void* (*realloc)(void*, std::size_t);
    void* (*aligned_alloc)(std::size_t, std::size_t);
    int (*posix_memalign)(void**, std::size_t, std::size_t);
    void* (*memalign)(std::size_t, std::size_t);
    void (*free)(void*);
} next;

// dlsym may allocate while the functions are looked up: those blocks come
// from a zeroed static arena and are never given back.
alignas(64) char arena[16384];
std::size_t arenaUsed = 0;
UNINSTRUMENTED bool inArena(const void* p) { return p >= arena && p < arena + sizeof arena; }
UNINSTRUMENTED void* fromArena(std::size_t size) {
    const std::size_t start = (arenaUsed + 63) / 64 * 64;
    if (start + size > sizeof arena) __builtin_trap();
    arenaUsed = start + size;
    return arena + start;
}

// False while the functions are being looked up. The first allocation comes
// before main, on the only thread.
UNINSTRUMENTED bool ready() {
    static bool lookingUp = false;
    if (next.free) return true;
    if (lookingUp) return false;
    lookingUp = true;
    next.malloc = reinterpret_cast<decltype(next.malloc)>(dlsym(RTLD_NEXT, "malloc"));
    next.calloc = reinterpret_cast<decltype(next.calloc)>(dlsym(RTLD_NEXT, "calloc"));
    next.realloc = reinterpret_cast<decltype(next.realloc)>(dlsym(RTLD_NEXT, "realloc"));
    next.aligned_alloc = reinterpret_cast<decltype(next.aligned_alloc)>(dlsym(RTLD_NEXT, "aligned_alloc"));
    next.posix_memalign = reinterpret_cast<decltype(next.posix_memalign)>(dlsym(RTLD_NEXT, "posix_memalign"));
    next.memalign = reinterpret_cast<decltype(next.memalign)>(dlsym(RTLD_NEXT, "memalign"));
    next.free = reinterpret_cast<decltype(next.free)>(dlsym(RTLD_NEXT, "free"));
    lookingUp = false;
    return true;
}

UNINSTRUMENTED void count() {
    if (__atomic_load_n(&counting, __ATOMIC_RELAXED)) __atomic_fetch_add(&allocations, 1, __ATOMIC_RELAXED);
}

// The allocations of every thread while `work` runs.
template <class Work>
long allocationsDuring(Work&& work) {
    __atomic_store_n(&allocations, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&counting, true, __ATOMIC_SEQ_CST);
    work();
    __atomic_store_n(&counting, false, __ATOMIC_SEQ_CST);
    return __atomic_load_n(&allocations, __ATOMIC_SEQ_CST);
}
}  // namespace

// Defined in the executable, these come first for every library of the
// process, Qt's included: each allocation is counted, then made by the next.
extern "C" {
UNINSTRUMENTED void* malloc(std::size_t size) {
    if (!ready()) return fromArena(size);
    count();
    return next.malloc(size);
}
UNINSTRUMENTED void* calloc(std::size_t n, std::size_t size) {
    if (!ready()) return fromArena(n * size);
    count();
    return next.calloc(n, size);
}
UNINSTRUMENTED void* realloc(void* p, std::size_t size) {
    if (!ready()) return fromArena(size);
    count();
    if (!inArena(p)) return next.realloc(p, size);
    void* moved = next.malloc(size);
    const std::size_t left = static_cast<std::size_t>(arena + sizeof arena - static_cast<char*>(p));
    if (moved) __builtin_memcpy(moved, p, size < left ? size : left);
    return moved;
}
UNINSTRUMENTED void* aligned_alloc(std::size_t alignment, std::size_t size) {
    count();
    return ready() ? next.aligned_alloc(alignment, size) : nullptr;
}
UNINSTRUMENTED int posix_memalign(void** p, std::size_t alignment, std::size_t size) {
    count();
    return ready() ? next.posix_memalign(p, alignment, size) : ENOMEM;
}
UNINSTRUMENTED void* memalign(std::size_t alignment, std::size_t size) {
    count();
    return ready() ? next.memalign(alignment, size) : nullptr;
}
UNINSTRUMENTED void free(void* p) {
    if (p && !inArena(p) && ready()) next.free(p);
}
}

// The sanitizer's operator new does not call malloc: these replace it, and
// the C++ library's, for every library, and allocate through malloc.
void* operator new(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
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
    EXPECT_EQ(allocationsDuring([&] {
                  for (int k = 0; k < 100; ++k)
                      completed = Cavity_::completeRoundtrip(cavities, 2, &A, nullptr) && completed;
              }),
              0);
    EXPECT_TRUE(completed);
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

    bool met = true;
    EXPECT_EQ(allocationsDuring([&] {
                  for (int k = 0; k < 100; ++k) {
                      twice.perform();
                      met = gate.isMet() && met;
                  }
              }),
              0);
    EXPECT_TRUE(met);
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
    EXPECT_EQ(allocationsDuring([&] {
                  for (int k = 0; k < 100; ++k) m->collect();
              }),
              0);
    ASSERT_EQ(m->getInMemory(), 101);
    m->clear(50);
    for (int set = 0; set < 100; ++set)
        EXPECT_EQ(*static_cast<double*>(m->getSample(set, nullptr)), optics::energy(*pulse.get()));
    m->collect();
    EXPECT_EQ(m->getInMemory(), 101);
}

}  // namespace
