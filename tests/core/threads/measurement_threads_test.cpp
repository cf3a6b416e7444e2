// The window reads a measurement's sets while the setup thread appends them:
// every set a reader sees is complete and stays where it was. Setups claim
// memory for their sets side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/memorybudget.h"
#include "tests/core/measurementfakes.h"

namespace {

TEST(MeasurementThreads, SetsReadWhileTheSetupThreadAppends) {
    constexpr int collections = 5000;
    int32_t roundtrip = 0;
    Operation_* op = scalar(Operation_::copy, DataType_::integer);
    FakeParameter p = integerParameter(roundtrip);
    op->setParameter(0, &p);
    Measurement_ m(nullptr, nullptr);
    m.setOperation(op);

    std::atomic<bool> done{false};
    std::thread setup([&] {
        for (roundtrip = 0; roundtrip < collections; ++roundtrip) m.collect();
        done = true;
    });
    std::vector<void*> seen;
    bool ordered = true;
    while (!done) {
        const int held = m.getInMemory();
        for (int k = static_cast<int>(seen.size()); k < held; ++k) {
            seen.push_back(m.getSample(k, nullptr));
            ordered = ordered && *static_cast<int32_t*>(seen[k]) == k;
        }
        // Earlier sets stay where they were while the list grows.
        for (int k : {0, held / 2, held - 1})
            if (k >= 0 && k < held)
                ordered = ordered && m.getSample(k, nullptr) == seen[k] && *static_cast<int32_t*>(m.getSample(k, 0)) == k;
    }
    setup.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(m.getInMemory(), collections);
    EXPECT_EQ(m.getCollected(), collections);
}

// Every setup claims its share of a bound that holds exactly all the shares,
// and between them a claim that never fits: no share is ever refused.
TEST(MeasurementThreads, ARefusedClaimNeverCrowdsOutTheClaimsOfOtherSetups) {
    constexpr int setups = 4, shares = 20000;
    constexpr std::int64_t all = setups * shares;
    MemoryBudget_::setLimitForTesting(all);
    std::atomic<int> sharesRefused{0}, oversizedKept{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < setups; ++s)
        threads.emplace_back([&] {
            for (int k = 0; k < shares; ++k) {
                if (!MemoryBudget_::claim(1)) ++sharesRefused;
                if (MemoryBudget_::claim(all + 1)) ++oversizedKept;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(sharesRefused, 0);
    EXPECT_EQ(oversizedKept, 0);
    EXPECT_EQ(MemoryBudget_::held(), all);
    MemoryBudget_::release(all);
    MemoryBudget_::setLimitForTesting(0);
}

}  // namespace
