// The window reads a measurement's sets while the setup thread appends them:
// every set a reader sees is complete and stays where it was.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

}  // namespace
