#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/pulse.h"
#include "tests/core/logcapture.h"
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
};

TEST_F(SetupThreads, ARunGivesTheLastCallNoticeBeforeTheLastRoundtrip) {
    Journal journal;
    FakeSetupNode node(1);
    std::unique_ptr<Setup_> setup(oneCavitySetup(
        nullptr, &node, 3, {new FakeElement(journal, "A"), new FakeElement(journal, "B")}, 1));
    setup->addMeasurement(new FakeMeasurement(journal, "M"));
    runToEnd(setup.get());

    EXPECT_EQ(journal, (Journal{"A", "B", "M", "A", "B", "M", "A!", "B!", "A", "B", "M"}));
    // The counter stands one past the last completed round trip.
    EXPECT_EQ(*setup->getRoundtripAddress(), 4);
    EXPECT_EQ(setup->getRoundtrip(), 4);
    EXPECT_EQ(listedErrors(), (std::vector<ErrorRow>{{started, node.node(), Error_::notice},
                                            {finished, node.node(), Error_::notice}}));
    // Each round trip reaches the channel, then the end of the run.
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3, 4, -1}));

    setup.reset();
    EXPECT_EQ(node.disconnects, 1);
}

TEST_F(SetupThreads, ZeroRoundtripsFileOnlyTheNotices) {
    Journal journal;
    FakeSetupNode node(1);
    std::unique_ptr<Setup_> setup(
        oneCavitySetup(nullptr, &node, 0, {new FakeElement(journal, "A")}));
    runToEnd(setup.get());
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(*setup->getRoundtripAddress(), 1);
    EXPECT_EQ(listedErrors(), (std::vector<ErrorRow>{{started, node.node(), Error_::notice},
                                            {finished, node.node(), Error_::notice}}));
    EXPECT_EQ(node.status(), (std::vector<int>{-1}));
}

TEST_F(SetupThreads, PassesRepeatUntilTheMasterCavityHasWrapped) {
    // The master cavity A holds only the shared element E; B holds X, then E.
    Journal journal;
    FakeSetupNode node(1);
    auto* setup = new Setup_(2, 2, 0, nullptr, &node);
    std::unique_ptr<Setup_> owner(setup);
    setup->setSamples(64);
    setup->setRoundtrips(1);
    auto* e = new FakeElement(journal, "E");
    auto* x = new FakeElement(journal, "X");
    setup->addElement(e);
    setup->addElement(x);
    auto* a = new Cavity_(1, setup, nullptr);
    auto* b = new Cavity_(2, setup, nullptr);
    a->initPulseGaussian(1e-12, 1e-9, 800e-9);
    b->initPulseGaussian(1e-12, 1e-9, 800e-9);
    Pulse_* listA[2] = {a->getPulse(), b->getPulse()};
    Pulse_* listB[2] = {a->getPulse(), b->getPulse()};
    a->addElement(e, listA, 2);
    b->addElement(x);
    b->addElement(e, listB, 2);
    setup->addCavity(a);
    setup->addCavity(b);
    runToEnd(setup);

    // The only round trip is the last: every slot gets the notice first.
    // Pass 1: A waits at E while B passes X and fires E with both pulses,
    // which carries A past its last slot. Master not wrapped yet, so pass 2:
    // A wraps, and B runs on through X and E.
    EXPECT_EQ(journal, (Journal{"E!", "X!", "E!", "X", "E*2", "X", "E*2"}));
    ASSERT_EQ(e->lists.size(), 2u);
    EXPECT_EQ(e->lists[0], (std::vector<Pulse_*>{a->getPulse(), b->getPulse()}));
    EXPECT_EQ(*setup->getRoundtripAddress(), 2);
}

TEST_F(SetupThreads, CavitiesThatCanNeverMeetEndTheRun) {
    // A meets E before F, B meets F before E: each waits for the other.
    Journal journal;
    FakeSetupNode node(1);
    std::unique_ptr<Setup_> setup(new Setup_(2, 2, 0, nullptr, &node));
    setup->setSamples(64);
    setup->setRoundtrips(5);
    auto* e = new FakeElement(journal, "E");
    auto* f = new FakeElement(journal, "F");
    setup->addElement(e);
    setup->addElement(f);
    auto* a = new Cavity_(2, setup.get(), nullptr);
    auto* b = new Cavity_(2, setup.get(), nullptr);
    a->initPulseGaussian(1e-12, 1e-9, 800e-9);
    b->initPulseGaussian(1e-12, 1e-9, 800e-9);
    Pulse_* listA[2] = {a->getPulse(), b->getPulse()};
    Pulse_* listB[2] = {a->getPulse(), b->getPulse()};
    a->addElement(e, listA, 2);
    a->addElement(f, listA, 2);
    b->addElement(f, listB, 2);
    b->addElement(e, listB, 2);
    setup->addCavity(a);
    setup->addCavity(b);
    runToEnd(setup.get());

    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(*setup->getRoundtripAddress(), 1);
    const std::vector<ErrorRow> entries = listedErrors();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (ErrorRow{started, node.node(), Error_::notice}));
    EXPECT_EQ(entries[1].code, Error_::error);
    EXPECT_EQ(entries[1].source, node.node());
}

TEST_F(SetupThreads, AStopEndsTheRunAfterTheRoundtripInProgress) {
    FakeSetupNode node(1);
    Setup_* setup = nullptr;
    auto* stopper = new HookElement([&setup](int pass) {
        if (pass == 3) setup->stop();
    });
    Journal journal;
    setup = oneCavitySetup(nullptr, &node, 100, {stopper, new FakeElement(journal, "after")});
    std::unique_ptr<Setup_> owner(setup);
    // A stop before the thread begins is forgotten.
    setup->stop();
    runToEnd(setup);

    EXPECT_EQ(journal.size(), 3u) << "round trip 3 completes";
    EXPECT_EQ(*setup->getRoundtripAddress(), 4);
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3, 4, -1}));
    EXPECT_EQ(listedErrors().back(), (ErrorRow{finished, node.node(), Error_::notice}));
}

TEST_F(SetupThreads, AFatalReportEndsItsOwnRunAtTheRoundtripBoundary) {
    FakeSetupNode node(1);
    Journal journal;
    std::unique_ptr<Setup_> setup(oneCavitySetup(
        nullptr, &node, 10,
        {new HookElement([&node](int pass) {
             if (pass == 2) node.errors.report("gain diverged", Error_::fatal);
         }),
         new FakeElement(journal, "after")}));
    runToEnd(setup.get());

    EXPECT_EQ(journal.size(), 2u);
    EXPECT_EQ(listedErrors(),
              (std::vector<ErrorRow>{{started, node.node(), Error_::notice},
                                  {"Fatal Error: gain diverged Simulation stopped.", node.node(),
                                   Error_::fatal}}));
    EXPECT_EQ(node.status(), (std::vector<int>{2, 3}));
}

TEST_F(SetupThreads, SubnormalsAreFlushedToZeroOnTheSetupThread) {
    volatile float tiny = 1e-30f;
    float onSetupThread = -1;
    std::unique_ptr<Setup_> setup(oneCavitySetup(
        nullptr, nullptr, 1,
        {new HookElement([&](int) { onSetupThread = tiny * 1e-10f; })}));
    runToEnd(setup.get());
    EXPECT_EQ(onSetupThread, 0.0f);
    // Elsewhere the product is the subnormal 1e-40.
    EXPECT_GT(tiny * 1e-10f, 0.0f);
}

}  // namespace
