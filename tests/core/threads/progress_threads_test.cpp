// The published progress after a run: setups of different lengths end while
// another keeps publishing and the user interface keeps asking for the total.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "tests/core/setupfakes.h"
#include "tests/core/threads/runexperiment.h"

namespace {

TEST(Progress, TheTotalAfterARunHoldsTheLastCountOfEverySetup) {
    errortesting::reset();
    const std::vector<int> lengths = {1, 2, 3, 5, 8, 13};
    for (int run = 0; run < 40; ++run) {
        std::vector<std::unique_ptr<FakeSetupNode>> nodes;
        for (size_t i = 0; i <= lengths.size(); ++i) nodes.push_back(std::make_unique<FakeSetupNode>(int(i) + 1));
        std::vector<FunctionBuilder::Maker> makers;
        for (size_t i = 0; i < lengths.size(); ++i)
            makers.push_back([&, i](Base_* p) {
                return oneCavitySetup(p, nodes[i].get(), lengths[i], {new HookElement([](int) {})});
            });
        makers.push_back([&](Base_* p) {
            return oneCavitySetup(p, nodes.back().get(), 500000000, {new HookElement([](int) {})});
        });
        FunctionBuilder builder(makers);
        Base_ base(nullptr);
        base.buildExperiment(builder);

        // The user interface asks for the total far more often than it would.
        std::atomic<bool> polling{true};
        std::thread poller([&] {
            while (polling) {
                base.getTotalRoundtrip();
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
        });
        bool over = false;
        QObject::connect(&base, &Base_::runFinished, [&over] { over = true; });
        base.runExperiment();
        // A stop asked before a setup's thread runs is not seen by it.
        const bool shortOnesEnded = processUntil([&] {
            for (size_t i = 0; i < lengths.size(); ++i)
                if (!base.getSetup(int(i))->isFinished()) return false;
            return base.getSetup(int(lengths.size()))->getRoundtrip() > 1;
        });
        base.stopExperiment();
        const bool runEnded = processUntil([&over] { return over; });
        polling = false;
        poller.join();
        ASSERT_TRUE(shortOnesEnded) << run;
        ASSERT_TRUE(runEnded) << run;
        for (const auto& node : nodes) {
            const std::vector<int> status = node->status();
            ASSERT_TRUE(!status.empty() && status.back() == -1) << "every run ended whole, run " << run;
        }

        // Each setup publishes the number of its next round trip.
        int expected = 0;
        for (size_t i = 0; i < lengths.size(); ++i) expected += lengths[i] + 1;
        expected += base.getSetup(int(lengths.size()))->getRoundtrip();
        ASSERT_EQ(base.getTotalRoundtrip(), expected) << "run " << run;
    }
    errortesting::reset();
}

}  // namespace
