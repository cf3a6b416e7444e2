#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/elements/linearloss.h"
#include "dialogs/setupstatuswidget.h"
#include "interface/parameter.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "tests/core/setupfakes.h"

namespace {

// A setup of one cavity with a linear loss whose amount is a hot-changeable
// parameter of the setup node, running on its own thread and watched by the
// node's status tab.
class LiveStatusTab : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetupStatusWidget_::installFactory(); }
    static void TearDownTestSuite() { SetupStatusSink_::setFactory({}); }

    void SetUp() override {
        node = std::make_unique<SetupNode_>(nullptr);
        tab = dynamic_cast<SetupStatusWidget_*>(node->getSetupStatusWidget());
        ASSERT_NE(tab, nullptr);
    }
    void TearDown() override {
        letGo();
        if (setup) {
            setup->stop();
            setup.reset();
        }
        node.reset();
        errortesting::reset();
    }

    // Each round trip takes at least 0.1 ms, so the channel's 50 ms throttle
    // lets a report through every few hundred round trips; the loss amount is
    // recorded with its round trip whenever it changes. With `holdAt` the
    // setup thread waits in that round trip until the test lets it go on.
    void start(int roundtrips, int holdAt = 0) {
        auto* loss = new LinearLoss_(nullptr, nullptr);
        amount = static_cast<double*>(loss->getParameter(std::string("amount")));
        *amount = 0.001;
        auto* watcher = new HookElement([this, holdAt](int roundtrip) {
            if (seen.empty() || seen.back().second != *amount) seen.emplace_back(roundtrip, *amount);
            if (roundtrip == holdAt) {
                std::unique_lock<std::mutex> lock(gate);
                held = true;
                turned.notify_all();
                turned.wait(lock, [this] { return released; });
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
        setup.reset(oneCavitySetup(nullptr, node.get(), roundtrips, {loss, watcher}));
        auto* P = new Parameter_(DataType_::doubleprecision, 0, nullptr);
        P->setName("amount");
        P->setHotChangeable(true);
        P->setData(amount);
        node->addParameter(P);
        ASSERT_TRUE(setup->ready());
        node->Setup = setup.get();
        tab->setSetup(setup.get());
        setup->start();
        QTreeWidgetItem* row = tab->parameterTree->topLevelItem(0);
        tab->parameterTree->setCurrentItem(row);
        emit tab->parameterTree->itemClicked(row, 0);
    }

    static bool processUntil(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 60000) QCoreApplication::processEvents();
        return done();
    }
    QString shown() const { return tab->parameterValueText->text(); }
    void waitUntilHeld() {
        std::unique_lock<std::mutex> lock(gate);
        turned.wait(lock, [this] { return held; });
    }
    void letGo() {
        std::lock_guard<std::mutex> lock(gate);
        released = true;
        turned.notify_all();
    }

    std::unique_ptr<SetupNode_> node;
    SetupStatusWidget_* tab = nullptr;
    std::unique_ptr<Setup_> setup;
    double* amount = nullptr;
    // Written on the setup's thread; read after it has ended.
    std::vector<std::pair<int, double>> seen;
    std::mutex gate;
    std::condition_variable turned;
    bool held = false;
    bool released = false;
};

TEST_F(LiveStatusTab, ARunShowsProgressTheLiveValueAndItsHistory) {
    start(3000);
    EXPECT_EQ(shown(), "updating");
    EXPECT_TRUE(tab->tuneSlider->isEnabled());
    // A report brings the value, then the history.
    ASSERT_TRUE(processUntil([this] { return tab->getPlot()->getSamples() > 0; }));
    EXPECT_EQ(shown().toDouble(), 0.001);
    EXPECT_GT(tab->setupProgress->value(), 0);
    EXPECT_EQ(tab->getPlot()->getSamples(), Accessor_::historySize);
    EXPECT_EQ(tab->getPlot()->getCurve().sample(Accessor_::historySize - 1).y(), 0.001);

    ASSERT_TRUE(processUntil([this] { return tab->setupProgress->value() == 100; }));
    EXPECT_TRUE(setup->wait(60000));
    EXPECT_EQ(shown().toDouble(), 0.001);
}

// Tuned in round trip 10, long before the first report: the setup scales the
// value it holds and runs with it from the next round trip on.
TEST_F(LiveStatusTab, AnEarlyTuneChangesTheNextRoundtripsOnce) {
    start(1000000, 10);
    waitUntilHeld();
    tab->tuneSlider->setValue(150);
    emit tab->tuneSlider->sliderReleased();
    letGo();
    const auto tunedShown = [this] { return std::abs(shown().toDouble() - 0.0015) < 1e-12; };
    ASSERT_TRUE(processUntil(tunedShown));
    // Two more reports: both show the tuned value.
    for (int report = 0; report < 2; ++report) {
        tab->parameterValueText->clear();
        ASSERT_TRUE(processUntil([this] { return !shown().isEmpty(); }));
        EXPECT_TRUE(tunedShown()) << shown().toStdString();
    }
    setup->stop();
    ASSERT_TRUE(setup->wait(60000));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(1, 0.001));
    EXPECT_EQ(seen[1].first, 11);
    EXPECT_DOUBLE_EQ(seen[1].second, 0.0015);
}

}  // namespace
