// Measurements: gating, one independent set per collection, access by set
// and index, clearing, ownership of what they are given, and the memory the
// machine leaves their data.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/memorybudget.h"
#include "tests/core/measurementfakes.h"

// The sanitizers reserve terabytes of address space, more than any
// address-space limit leaves.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RESERVES_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define RESERVES_ADDRESS_SPACE 1
#endif
#endif

namespace {

using T = DataType_;
using K = Operation_;

// Collects the value of `counter` read in place.
Measurement_* counting(int32_t& counter, FakeMeasurementNode* node = nullptr) {
    Operation_* op = scalar(K::copy, T::integer);
    FakeParameter p = integerParameter(counter);
    op->setParameter(0, &p);
    auto* m = new Measurement_(nullptr, node);
    m->setOperation(op);
    return m;
}

std::vector<int> sets(Measurement_& m) {
    std::vector<int> values;
    for (int k = 0; k < m.getInMemory(); ++k) values.push_back(*static_cast<int32_t*>(m.getSample(k, nullptr)));
    return values;
}

TEST(Measurements, WithoutAConditionEveryCallCollectsAnIndependentSet) {
    int32_t roundtrip = 0;
    std::unique_ptr<Measurement_> m(counting(roundtrip));
    for (roundtrip = 1; roundtrip <= 10; ++roundtrip) m->collect();
    EXPECT_EQ(m->getCollected(), 10);
    EXPECT_EQ(sets(*m), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(m->getSample(-1, nullptr), nullptr);
    EXPECT_EQ(m->getSample(10, nullptr), nullptr);
    EXPECT_EQ(m->getSample(10, 0), nullptr);
    EXPECT_EQ(*static_cast<int32_t*>(m->getSample(3, 0)), 4);

    m->clear(1);
    EXPECT_EQ(sets(*m), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10}));
    m->clear(42);
    m->clear();
    EXPECT_EQ(m->getInMemory(), 0);
    EXPECT_EQ(m->getCollected(), 10);  // the count of collections stays
}

TEST(Measurements, TheConditionGatesTheCollection) {
    int32_t roundtrip = 0;
    std::unique_ptr<Measurement_> m(counting(roundtrip));
    Operation_* rt = scalar(K::copy, T::integer);
    FakeParameter p = integerParameter(roundtrip);
    rt->setParameter(0, &p);
    Operation_* one = scalar(K::copy, T::integer);
    one->setParameter(0, 1);
    auto* c = new Condition_;
    c->setComparison(rt, one, Condition_::EQUAL, 0, nullptr);
    m->setCondition(c);
    Condition_ other;
    m->setCondition(&other);  // the first condition stays
    EXPECT_EQ(m->getCondition(), c);
    for (roundtrip = 0; roundtrip < 5; ++roundtrip) m->collect();
    EXPECT_EQ(sets(*m), std::vector<int>{1});
    EXPECT_EQ(m->getCollected(), 1);

    double never = 0;
    Measurement_ empty(nullptr, nullptr);
    empty.setOperation(scalar(K::copy, T::integer));
    empty.setCondition(whileNonZero(never));
    empty.collect();
    EXPECT_EQ(empty.getSample(0, nullptr), nullptr);
}

TEST(Measurements, PulseSetsAreCopiesAndTheNodeLearnsOfTheEnd) {
    FakeMeasurementNode node(5);
    auto pulse = std::make_unique<Pulse_>(64, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    {
        Measurement_ m(nullptr, &node);
        Operation_* op = pulseCopy(*pulse);
        m.setOperation(op);
        Operation_* second = scalar(K::copy, T::integer);
        m.setOperation(second);  // not kept, but reports to this measurement
        EXPECT_EQ(m.getOperation(), op);
        EXPECT_EQ(second->getMeasurement(), &m);
        delete second;
        m.collect();
        *pulse->getSamplePointer(32) = optics::complex_(0, 0);
        m.collect();
        const auto set = [&m](int k) { return static_cast<Pulse_*>(m.getSample(k, nullptr)); };
        EXPECT_NE(set(0)->getSample(32), optics::complex_(0, 0));
        EXPECT_EQ(set(1)->getSample(32), optics::complex_(0, 0));
        EXPECT_EQ(node.unlinked, 0);
    }
    EXPECT_EQ(node.unlinked, 1);
}

constexpr std::int64_t MB = 1 << 20;

// A claim counted as measured data, given back at once.
bool kept(std::int64_t bytes) {
    const bool counted = MemoryBudget_::claim(bytes);
    if (counted) MemoryBudget_::release(bytes);
    return counted;
}

TEST(MeasuredDataMemory, NeverTakesMoreThanAQuarterOfThePhysicalMemory) {
    const std::int64_t physical = std::int64_t{::sysconf(_SC_PHYS_PAGES)} * ::sysconf(_SC_PAGESIZE);
    EXPECT_FALSE(kept(physical / 4 + 1));
    EXPECT_TRUE(kept(MB));
}

// A child process lowers its limit and tells the outcome by its exit code.
TEST(MeasuredDataMemory, StaysBelowTheRoomUnderAnAddressSpaceLimit) {
#ifdef RESERVES_ADDRESS_SPACE
    GTEST_SKIP() << "the sanitizer's reserved address space leaves no room under a limit";
#endif
    EXPECT_EXIT(
        {
            constexpr std::int64_t room = 512 * MB;
            std::ifstream statm("/proc/self/statm");
            std::int64_t pages = 0;
            statm >> pages;
            rlimit limit{};
            ::getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + room);
            ::setrlimit(RLIMIT_AS, &limit);
            std::_Exit(!kept(room) && kept(MB) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Fake machines of 512 MB room in a group of a version-2 and of a version-1
// hierarchy, with groups of looser or no limits below and above it.
TEST(MeasuredDataMemory, TheTightestControlGroupAboveTheProcessBoundsIt) {
    constexpr std::int64_t used = std::int64_t{3} << 30, room = 512 * MB;
    const std::string tight = std::to_string(used + room), loose = std::to_string(used + 64 * room);
    const std::string none = "9223372036854771712", user = "user.slice/user-1000.slice";
    struct Groups {
        const char* what;
        std::vector<std::pair<std::string, std::string>> limits;  // folder under sys/fs/cgroup, limit
        bool roomKept;
    };
    const Groups cases[] = {
        {"no limits", {{user + "/session-2.scope", "max"}, {"memory/docker/abc", none}, {"memory", none}}, true},
        {"version 2, two groups up",
         {{user + "/session-2.scope", loose}, {user, "max"}, {"user.slice", tight}, {"memory", none}},
         false},
        {"version 1, one group up", {{"memory/docker/abc", loose}, {"memory/docker", tight}, {"memory", none}}, false},
    };
    for (const Groups& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        const std::string at = root.path().toStdString();
        QDir(root.path()).mkpath("proc/self");
        std::ofstream(at + "/proc/self/cgroup") << "5:cpuset:/\n4:cpu,memory:/docker/abc\n0::/" << user
                                                 << "/session-2.scope\n";
        for (const auto& [folder, limit] : c.limits) {
            const bool v1 = folder.rfind("memory", 0) == 0;
            const std::string group = at + "/sys/fs/cgroup/" + folder;
            QDir().mkpath(QString::fromStdString(group));
            std::ofstream(group + (v1 ? "/memory.limit_in_bytes" : "/memory.max")) << limit << "\n";
            std::ofstream(group + (v1 ? "/memory.usage_in_bytes" : "/memory.current")) << used << "\n";
        }
        MemoryBudget_::setControlGroupRootForTesting(at.c_str());
        EXPECT_EQ(kept(room), c.roomKept);
        EXPECT_TRUE(kept(MB));
    }
    MemoryBudget_::setControlGroupRootForTesting(nullptr);
}

}  // namespace
