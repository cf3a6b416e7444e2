#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
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
        if (setup) {
            setup->stop();
            setup.reset();
        }
        node.reset();
        errortesting::reset();
    }

    // Each round trip takes at least 0.1 ms, so the channel's 50 ms throttle
    // lets a report through every few hundred round trips; the loss amount is
    // recorded whenever it changes.
    void start(int roundtrips) {
        auto* loss = new LinearLoss_(nullptr, nullptr);
        amount = static_cast<double*>(loss->getParameter(std::string("amount")));
        *amount = 0.001;
        auto* watcher = new HookElement([this](int) {
            if (seen.empty() || seen.back() != *amount) {
                seen.push_back(*amount);
                changes = static_cast<int>(seen.size());
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

    std::unique_ptr<SetupNode_> node;
    SetupStatusWidget_* tab = nullptr;
    std::unique_ptr<Setup_> setup;
    double* amount = nullptr;
    // Written on the setup's thread; read after it has ended.
    std::vector<double> seen;
    std::atomic<int> changes{0};
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

TEST_F(LiveStatusTab, ATuneChangesTheNextRoundtripsOnce) {
    start(1000000);
    ASSERT_TRUE(processUntil([this] { return tab->getPlot()->getSamples() > 0; }));
    tab->tuneSlider->setValue(150);
    emit tab->tuneSlider->sliderReleased();
    EXPECT_DOUBLE_EQ(shown().toDouble(), 0.0015);
    ASSERT_TRUE(processUntil([this] { return changes == 2; }));
    // Two more reports: both show the tuned value.
    for (int report = 0; report < 2; ++report) {
        tab->parameterValueText->clear();
        ASSERT_TRUE(processUntil([this] { return !shown().isEmpty(); }));
        EXPECT_DOUBLE_EQ(shown().toDouble(), 0.0015);
    }
    setup->stop();
    ASSERT_TRUE(setup->wait(60000));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], 0.001);
    EXPECT_DOUBLE_EQ(seen[1], 0.0015);
}

}  // namespace
