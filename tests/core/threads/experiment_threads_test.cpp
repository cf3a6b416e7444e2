#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <setjmp.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "kernel/errorhandling.h"
#include "tests/core/logcapture.h"
#include "tests/core/setupfakes.h"
#include "tests/core/threads/runexperiment.h"

namespace {

volatile int zero = 0;
volatile int quotient = 0;

// The hardware division fault itself, not the sanitizer's report of it; both
// operands are read at run time, so the compiler cannot fold the division.
__attribute__((noinline, no_sanitize("undefined"))) void divideByZero(int a) {
    volatile int numerator = a;
    quotient = numerator / zero;
}

// Blocks the setup thread in its element until released.
struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> reached{false};
    HookElement* element() {
        return new HookElement([this](int) {
            reached = true;
            while (!open) std::this_thread::yield();
        });
    }
};

class Experiment : public ::testing::Test {
protected:
    void SetUp() override { errortesting::reset(); }
    void TearDown() override { errortesting::reset(); }

    static std::vector<QString> messages() {
        std::vector<QString> all;
        for (const ErrorRow& e : listedErrors()) all.push_back(e.message);
        return all;
    }
};

// No setup is ready, so no thread starts: the run is over at once.
TEST_F(Experiment, ConstructionForwardsKernelErrorsAndARunWithoutThreadsEnds) {
    LogCapture log;
    FakeSetupNode node(1);
    const unsigned errorsBefore = Logger_::getErrors();
    errorhandling::seterrormode(errorhandling::standard);
    Base_ base(nullptr);
    EXPECT_EQ(Logger_::getErrors(), errorsBefore) << log.take();  // the kernel's type sizes agree
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::tohost);
    FunctionBuilder builder({[&](Base_* p) { return new Setup_(0, 0, 0, p, &node); }});
    base.buildExperiment(builder);
    runToEnd(base);
    EXPECT_EQ(base.getTotalRoundtrip(), 0);
    EXPECT_EQ(messages(),
              (std::vector<QString>{"General Error: Setup has no cavity", "Note: Simulation started successfully."}));
}

TEST_F(Experiment, PublishedCountersStandOnePastEachSetupsLastRoundtrip) {
    Journal a, b;
    FakeSetupNode nodeA(1), nodeB(2);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) { return oneCavitySetup(p, &nodeA, 100, {new FakeElement(a, "a")}); },
        [&](Base_* p) { return oneCavitySetup(p, &nodeB, 50, {new FakeElement(b, "b")}); },
    });
    base.buildExperiment(builder);
    EXPECT_EQ(base.getTotalRoundtrips(), 150);
    EXPECT_EQ(base.getTotalRoundtrip(), 0);
    runToEnd(base);
    EXPECT_EQ(passes(a), 100u);
    EXPECT_EQ(passes(b), 50u);
    EXPECT_EQ(base.getTotalRoundtrip(), 152);
    EXPECT_TRUE(base.evaluateExperiment());
}

TEST_F(Experiment, ARerunEndsWithItsLastSetupAndARebuildReplacesTheSetups) {
    Journal a;
    std::atomic<bool> reached{false}, release{false};
    FakeSetupNode nodeA(1), nodeB(2);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) { return oneCavitySetup(p, &nodeA, 1, {new FakeElement(a, "a")}); },
        [&](Base_* p) {
            return oneCavitySetup(p, &nodeB, 1, {new HookElement([&](int pass) {
                                      if (pass < 2) return;
                                      reached = true;
                                      while (!release) std::this_thread::yield();
                                  })});
        },
    });
    base.buildExperiment(builder);
    runToEnd(base);

    // The second run: the first setup has nothing left to do, the second waits in its element.
    base.getSetup(1)->setRoundtrips(2);
    int ends = 0;
    QObject::connect(&base, &Base_::runFinished, [&ends] { ++ends; });
    base.runExperiment();
    ASSERT_TRUE(processUntil([&] { return reached.load(); }));
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200) QCoreApplication::processEvents();
    EXPECT_EQ(ends, 0) << "the run ended while a setup still ran";
    release = true;
    ASSERT_TRUE(processUntil([&] { return ends > 0; }));
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(base.getTotalRoundtrip(), 5);

    base.buildExperiment(builder);
    EXPECT_EQ(nodeA.disconnects, 1);
    EXPECT_EQ(nodeB.disconnects, 1);
    EXPECT_EQ(base.getSetups(), 2);
    EXPECT_EQ(base.getTotalRoundtrip(), 0);
}

// The user interface gives up after 10 ms; a setup drops its update.
TEST_F(Experiment, ProgressNeverWaitsLongForTheLock) {
    Journal journal;
    FakeSetupNode node(1);
    Base_ base(nullptr);
    FunctionBuilder builder({[&](Base_* p) { return oneCavitySetup(p, &node, 5, {new FakeElement(journal, "a")}); }});
    base.buildExperiment(builder);
    Setup_* setup = base.getSetup(0);
    base.lock();
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(base.getTotalRoundtrip(), -1);
    EXPECT_LT(timer.elapsed(), 1000);
    std::thread([&] { base.updateRoundtrips(7, setup); }).join();
    base.unlock();
    EXPECT_EQ(base.getTotalRoundtrip(), 0);
    std::thread([&] { base.updateRoundtrips(7, setup); }).join();
    EXPECT_EQ(base.getTotalRoundtrip(), 7);
    EXPECT_TRUE(base.isSimulationThread(setup));
    EXPECT_FALSE(base.isSimulationThread(QThread::currentThread()));
}

TEST_F(Experiment, AStopRequestEndsEverySetupAndBuildOrRunWhileRunningDoNothing) {
    constexpr int endless = 500000000;
    Gate gate;
    std::atomic<int> fastPasses{0};
    FakeSetupNode node1(1), node2(2);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) { return oneCavitySetup(p, &node1, endless, {gate.element()}); },
        [&](Base_* p) { return oneCavitySetup(p, &node2, endless, {new HookElement([&](int) { ++fastPasses; })}); },
    });
    base.buildExperiment(builder);
    bool over = false;
    QObject::connect(&base, &Base_::runFinished, [&over] { over = true; });
    base.runExperiment();
    ASSERT_TRUE(processUntil([&] { return gate.reached && fastPasses > 0; }));
    EXPECT_TRUE(base.isRunning());

    FunctionBuilder other({});
    base.buildExperiment(other);
    base.runExperiment();
    EXPECT_EQ(base.getSetups(), 2);
    const std::vector<QString> all = messages();
    EXPECT_EQ(std::count(all.begin(), all.end(), "Note: Simulation started successfully."), 1);
    EXPECT_FALSE(base.evaluateExperiment());
    EXPECT_EQ(base.getErrorMessage(), "Cannot save a running experiment.");

    base.stopExperiment();
    gate.open = true;
    ASSERT_TRUE(processUntil([&over] { return over; }));
    EXPECT_FALSE(base.isRunning());
    EXPECT_LT(fastPasses, endless);
    EXPECT_EQ(node1.status(), (std::vector<int>{2, -1}));  // the gated round trip completed
    EXPECT_EQ(node2.status().back(), -1);
}

TEST_F(Experiment, DestroyingARunningExperimentEndsItsSetupsFirst) {
    Gate gate;
    FakeSetupNode node1(1);
    FakeSetupNode node2(1);
    auto base = std::make_unique<Base_>(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) { return oneCavitySetup(p, &node1, 1000000, {gate.element()}); },
        [&](Base_* p) { return oneCavitySetup(p, &node2, 1000000, {new HookElement([](int) {})}); },
    });
    base->buildExperiment(builder);
    base->runExperiment();
    ASSERT_TRUE(processUntil([&] { return gate.reached.load(); }));
    std::thread release([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gate.open = true;
    });
    base.reset();
    release.join();
    EXPECT_EQ(node1.disconnects, 1);
    EXPECT_EQ(node2.disconnects, 1);
}

TEST_F(Experiment, ASetupThatIsNotReadyIsLeftOutAndTheOthersRun) {
    Journal journal;
    FakeSetupNode node0(1), node1(2), node2(3);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) { return oneCavitySetup(p, &node0, 3, {new FakeElement(journal, "a")}); },
        [&](Base_* p) {  // a cavity with an empty slot
            auto* setup = new Setup_(1, 0, 0, p, &node1);
            setup->addCavity(new Cavity_(1, setup, nullptr));
            return setup;
        },
        [&](Base_* p) { return new Setup_(0, 0, 0, p, &node2); },  // no cavity
    });
    base.buildExperiment(builder);
    testing::internal::CaptureStdout();
    runToEnd(base);
    const std::string lines = testing::internal::GetCapturedStdout();
    for (const char* line : {"INTERNAL ERROR: Setup 1 not ready", "INTERNAL ERROR: Setup 2 not ready"})
        EXPECT_NE(lines.find(line), std::string::npos) << line;
    EXPECT_EQ(lines.find("Setup 0 not ready"), std::string::npos);
    EXPECT_EQ(passes(journal), 3u);
    EXPECT_EQ(base.getTotalRoundtrip(), 4);
}

TEST_F(Experiment, AFloatingPointExceptionEndsOnlyItsOwnSetup) {
    LogCapture log;
    Journal journal;
    FakeSetupNode faulty(1), healthy(2);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) {
            return oneCavitySetup(p, &faulty, 10, {new HookElement([](int pass) {
                                      if (pass == 3) divideByZero(pass);
                                  })});
        },
        [&](Base_* p) { return oneCavitySetup(p, &healthy, 20, {new FakeElement(journal, "h")}); },
    });
    base.buildExperiment(builder);
    runToEnd(base);

    EXPECT_EQ(passes(journal), 20u);
    std::vector<ErrorRow> rows = listedErrors();
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const ErrorRow& r) { return r.source != faulty.node(); }),
               rows.end());
    EXPECT_EQ(rows, (std::vector<ErrorRow>{
                        {"Note: Simulation run of setup started.", faulty.node(), Error_::notice},
                        {"Caught floating point exception. Thread terminated.", faulty.node(), Error_::FPE}}));
    EXPECT_NE(log.take().find("Floating point exception caught."), std::string::npos);
    // Round trips 1 and 2 were published; the third never completed.
    EXPECT_EQ(base.getTotalRoundtrip(), 3 + 21);
    EXPECT_EQ(faulty.status(), (std::vector<int>{2, 3}));
}

// True when the fault came back to the jump point of this thread.
bool faultReturnsToTheJumpPoint() {
    sigjmp_buf point;
    if (sigsetjmp(point, 1) != 0) {
        Error_::setFPEJumpPoint(nullptr);
        return true;
    }
    Error_::setFPEJumpPoint(&point);
    divideByZero(1);
    Error_::setFPEJumpPoint(nullptr);
    return false;
}

// The signal is unblocked again after each return: every fault is caught.
TEST(FloatingPointExceptionThreads, AFaultReturnsToTheJumpPointOfItsThread) {
    Error_::enableSIGFPE();
    Error_::enableSIGFPE();
    int caught = 0;
    std::thread([&caught] {
        for (int k = 0; k < 3; ++k) caught += faultReturnsToTheJumpPoint();
    }).join();
    EXPECT_EQ(caught, 3);
}

TEST(FloatingPointExceptionThreads, AFaultElsewhereEndsTheProcessAsUsual) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Error_::enableSIGFPE();
            divideByZero(1);
        },
        testing::KilledBySignal(SIGFPE), "");
}

}  // namespace
