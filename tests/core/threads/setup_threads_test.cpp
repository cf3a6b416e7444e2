#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/pulse.h"
#include "tests/core/setupfakes.h"

namespace {

const QString started = "Note: Simulation run of setup started.";
const QString finished = "Note: Simulation of Setup finished successfully.";

class SetupThreads : public ::testing::Test {
protected:
    void SetUp() override { errortesting::reset(); }
    void TearDown() override { errortesting::reset(); }

    // Runs the setup on its own thread to the end.
    static void runToEnd(Setup_* setup) {
        ASSERT_TRUE(setup->ready());
        setup->start();
        ASSERT_TRUE(setup->wait(60000));
    }
    std::vector<ErrorRow> notices() { return {{started, node.node(), Error_::notice}, {finished, node.node(), Error_::notice}}; }

    // Cavities A (the master) and B holding the elements named by letter in
    // ring order; an element in both rings takes both pulses.
    Setup_* twoCavitySetup(int roundtrips, const std::string& ringA, const std::string& ringB) {
        const std::string rings[] = {ringA, ringB};
        std::string names;
        for (char n : ringA + ringB)
            if (names.find(n) == std::string::npos) names += n;
        auto* setup = new Setup_(2, static_cast<int>(names.size()), 0, nullptr, &node);
        setup->setSamples(64);
        setup->setRoundtrips(roundtrips);
        for (char n : names) setup->addElement(new FakeElement(journal, std::string(1, n)));
        Cavity_* cavities[2];
        for (int c = 0; c < 2; ++c) {
            cavities[c] = new Cavity_(static_cast<int>(rings[c].size()), setup, nullptr);
            cavities[c]->initPulseGaussian(1e-12, 1e-9, 800e-9);
            pulses[c] = cavities[c]->getPulse();
            setup->addCavity(cavities[c]);
        }
        for (int c = 0; c < 2; ++c)
            for (char n : rings[c]) {
                CavityElement_* e = setup->getElement(static_cast<int>(names.find(n)));
                if (rings[1 - c].find(n) != std::string::npos) cavities[c]->addElement(e, pulses, 2);
                else cavities[c]->addElement(e);
            }
        return setup;
    }

    Journal journal;
    FakeSetupNode node{1};
    Pulse_* pulses[2] = {};
};

TEST_F(SetupThreads, ARunGivesTheLastCallNoticeBeforeTheLastRoundtrip) {
    std::unique_ptr<Setup_> setup(
        oneCavitySetup(nullptr, &node, 3, {new FakeElement(journal, "A"), new FakeElement(journal, "B")}, 1));
    Measurement_* m = journalMeasurement(journal);
    setup->addMeasurement(m);
    runToEnd(setup.get());
    EXPECT_EQ(withCollections(journal, {{m, "M"}}), (Journal{"A", "B", "M", "A", "B", "M", "A!", "B!", "A", "B", "M"}));
    EXPECT_EQ(*setup->getRoundtripAddress(), 4);  // one past the last completed round trip
    EXPECT_EQ(setup->getRoundtrip(), 4);
    EXPECT_EQ(listedErrors(), notices());
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3, 4, -1}));  // every round trip, then the end
    setup.reset();
    EXPECT_EQ(node.disconnects, 1);
}

TEST_F(SetupThreads, ZeroRoundtripsFileOnlyTheNotices) {
    std::unique_ptr<Setup_> setup(oneCavitySetup(nullptr, &node, 0, {new FakeElement(journal, "A")}));
    runToEnd(setup.get());
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(*setup->getRoundtripAddress(), 1);
    EXPECT_EQ(listedErrors(), notices());
    EXPECT_EQ(node.status(), (std::vector<int>{-1}));
}

// The only round trip is the last: every slot gets the notice first. Pass 1:
// A waits at E while B passes X and fires E with both pulses, carrying A past
// its last slot. The master has not wrapped, so pass 2: A wraps, B runs on.
TEST_F(SetupThreads, PassesRepeatUntilTheMasterCavityHasWrapped) {
    std::unique_ptr<Setup_> setup(twoCavitySetup(1, "E", "XE"));
    runToEnd(setup.get());
    EXPECT_EQ(journal, (Journal{"E!", "X!", "E!", "X", "E*2", "X", "E*2"}));
    const auto& lists = static_cast<FakeElement*>(setup->getElement(0))->lists;
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0], (std::vector<Pulse_*>{pulses, pulses + 2}));
    EXPECT_EQ(*setup->getRoundtripAddress(), 2);
}

// A meets E before F, B meets F before E: each waits for the other.
TEST_F(SetupThreads, CavitiesThatCanNeverMeetEndTheRun) {
    std::unique_ptr<Setup_> setup(twoCavitySetup(5, "EF", "FE"));
    runToEnd(setup.get());
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(*setup->getRoundtripAddress(), 1);
    const std::vector<ErrorRow> rows = listedErrors();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], notices()[0]);
    EXPECT_EQ(rows[1].code, Error_::error);
    EXPECT_EQ(rows[1].source, node.node());
}

TEST_F(SetupThreads, AStopEndsTheRunAfterTheRoundtripInProgress) {
    Setup_* setup = nullptr;
    auto* stopper = new HookElement([&setup](int pass) {
        if (pass == 3) setup->stop();
    });
    setup = oneCavitySetup(nullptr, &node, 100, {stopper, new FakeElement(journal, "after")});
    std::unique_ptr<Setup_> owner(setup);
    setup->stop();
    setup->armRun();  // a stop of an earlier run is forgotten when the next is armed
    runToEnd(setup);
    EXPECT_EQ(journal.size(), 3u) << "round trip 3 completes";
    EXPECT_EQ(*setup->getRoundtripAddress(), 4);
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3, 4, -1}));
    EXPECT_EQ(listedErrors().back(), notices()[1]);
}

TEST_F(SetupThreads, AFatalReportEndsItsOwnRunAtTheRoundtripBoundary) {
    auto* failing = new HookElement([this](int pass) {
        if (pass == 2) node.errors.report("gain diverged", Error_::fatal);
    });
    std::unique_ptr<Setup_> setup(oneCavitySetup(nullptr, &node, 10, {failing, new FakeElement(journal, "after")}));
    runToEnd(setup.get());
    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(listedErrors(), (std::vector<ErrorRow>{notices()[0], {"Fatal Error: gain diverged Simulation stopped.",
                                                                    node.node(), Error_::fatal}}));
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3}));
}

TEST_F(SetupThreads, SubnormalsAreFlushedToZeroOnTheSetupThread) {
    volatile float tiny = 1e-30f;
    float onSetupThread = -1;
    std::unique_ptr<Setup_> setup(
        oneCavitySetup(nullptr, nullptr, 1, {new HookElement([&](int) { onSetupThread = tiny * 1e-10f; })}));
    runToEnd(setup.get());
    EXPECT_EQ(onSetupThread, 0.0f);
    EXPECT_GT(tiny * 1e-10f, 0.0f);  // elsewhere the subnormal 1e-40
}

}  // namespace
