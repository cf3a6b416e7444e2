// The setup tree while an experiment built from it runs on its threads: no
// edit goes through, closing the window ends the run first, and a setup node
// deleted after a run leaves its setup to the experiment.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#include "core/base.h"
#include "core/cavity.h"
#include "core/cavityelement.h"
#include "core/setup.h"
#include "file.h"
#include "guitesting.h"
#include "interface/error.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/parameter.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "mainwindow.h"
#include "tests/core/logcapture.h"
#include "tests/interface/datafakes.h"

namespace {

// Takes a millisecond per pass, so a long run stays busy.
class SlowElement : public CavityElement_ {
public:
    explicit SlowElement(Setup_* setup) : CavityElement_(setup, static_cast<ElementNodeLink_*>(nullptr)) {}
    void call(Pulse_*) override { QThread::msleep(1); }
};

// One setup of one cavity with a slow element, built for the first setup node.
class OneSetupBuilder : public SetupBuilder_ {
public:
    OneSetupBuilder(SetupNode_* node, int roundtrips) : node(node), roundtrips(roundtrips) {}
    int getSetups() override { return 1; }
    Setup_* createSetup(int, Base_* base) override {
        auto* setup = new Setup_(1, 1, 0, base, node);
        setup->setRoundtrips(roundtrips);
        setup->setSamples(64);
        auto* cavity = new Cavity_(1, setup, nullptr);
        cavity->initPulseGaussian(1e-12, 1e-9, 800e-9);
        auto* element = new SlowElement(setup);
        setup->addElement(element);
        cavity->addElement(element);
        setup->addCavity(cavity);
        node->Setup = setup;
        return setup;
    }
    void addElements(int, Setup_*) override {}
    int getChildren(int) override { return 0; }
    bool isCavity(int, int) override { return false; }
    void addCavity(int, int, Setup_*) override {}
    void link(int) override {}
    void addMeasurement(int, int, Setup_*) override {}

private:
    SetupNode_* node;
    int roundtrips;
};

// A window whose experiment the test starts, as Run does.
class RunningWindow : public MainWindow {
public:
    void startRun(int roundtrips) {
        Base = new Base_(this);
        OneSetupBuilder builder(dynamic_cast<SetupNode_*>(treeWidget->topLevelItem(0)), roundtrips);
        Base->buildExperiment(builder);
        Base->runExperiment();
    }
};

// Every node's path with its parameter values, in tree order.
QStringList dump(QTreeWidgetItem* item) {
    QStringList lines;
    if (auto* node = dynamic_cast<Node_*>(item)) {
        QString line = node->getPath();
        for (int i = 0; i < node->getParameters(); ++i) line += " " + node->getParameter(i)->getValue()->text();
        lines << line;
    }
    for (int i = 0; i < item->childCount(); ++i) lines << dump(item->child(i));
    return lines;
}

bool processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000) QCoreApplication::processEvents();
    return done();
}

class RunningTree : public ::testing::Test {
protected:
    void TearDown() override {
        loggertesting::reset();
        errortesting::reset();
    }
    void select(const QString& path) { w.treeWidget->setCurrentItem(w.findSetupTreeNode(path)); }

    guitesting::WorkingDirectory dir{true};
    RunningWindow w;
};

TEST_F(RunningTree, NoEditGoesThroughWhileARunGoesOn) {
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    const QStringList before = dump(w.treeWidget->invisibleRootItem());
    w.startRun(1000000);
    ASSERT_TRUE(w.isRunning());
    const bool changedBefore = w.getProjectChanged();

    const std::vector<std::pair<QString, QAction*>> edits = {
        {"Setup1", w.actionAdd_Setup},
        {"Setup1", w.actionAdd_Cavity},
        {"Setup1%Cavity1", w.actionAdd_Element_Group},
        {"Setup1%Cavity1", w.actionAdd_Measurement_Group},
        {"Setup1%Measurements", w.actionAdd_Measurement},
        {"Setup1%Cavity1", w.actionMove_Element_Up},
        {"Setup1%Measurements", w.actionMove_Element_Down},
        {"Setup1%Cavity1", w.actionRename_Selected},
        {"Setup1%Cavity1", w.actionDelete_Selected},
        {"Setup1", w.actionDelete_Selected},
    };
    for (const auto& [path, action] : edits) {
        select(path);
        action->setEnabled(true);
        action->trigger();
        EXPECT_EQ(dump(w.treeWidget->invisibleRootItem()), before) << action->objectName().toStdString();
    }
    EXPECT_EQ(w.treeWidget->viewport()->findChild<QLineEdit*>(), nullptr);

    // Values stay as the setup threads read them.
    select("Setup1");
    w.itemParameters->item(0, 1)->setText("5");
    select("Setup1%Measurements%Measurement1");
    emit w.itemParameters->cellClicked(0, 1);  // the expression "Parameter"
    EXPECT_EQ(dump(w.treeWidget->invisibleRootItem()), before);
    EXPECT_EQ(w.getProjectChanged(), changedBefore);
    EXPECT_TRUE(w.isRunning());
}

TEST(RunningWindow, ClosingEndsTheRunBeforeTheTreeGoes) {
    guitesting::WorkingDirectory dir(true);
    QElapsedTimer timer;
    timer.start();
    {
        RunningWindow w;
        w.startRun(1000000);
        ASSERT_TRUE(w.isRunning());
    }
    EXPECT_LT(timer.elapsed(), 10000);
    loggertesting::reset();
    errortesting::reset();
}

// The experiment owns its setups: the node only lets go of its own.
TEST_F(RunningTree, ASetupNodeDeletedAfterARunLeavesItsSetupToTheExperiment) {
    w.startRun(3);
    ASSERT_TRUE(processUntil([this] { return !w.isRunning(); }));
    Setup_* setup = w.getBase()->getSetup(0);
    ASSERT_NE(setup, nullptr);
    select("Setup1");
    w.actionDelete_Selected->trigger();
    EXPECT_EQ(w.treeWidget->topLevelItemCount(), 0);
    EXPECT_EQ(w.getBase()->getSetup(0), setup);
    EXPECT_EQ(setup->getSetupNode(), nullptr);
    EXPECT_EQ(setup->getRoundtrips(), 3);
    EXPECT_EQ(w.tabWidgetSetupStatus->count(), 0);
}

// The data sets are not read while the setup threads may add to them.
TEST_F(RunningTree, DataRowsShowNothingWhileARunGoesOn) {
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    auto* node = dynamic_cast<MeasurementNode_*>(w.findSetupTreeNode("Setup1%Measurements%Measurement1"));
    double value = 0;
    std::unique_ptr<Measurement_> series(copying(DataType_::doubleprecision, {}, &value, node));
    node->Measurement = series.get();
    collectEach(*series, value, {1.0, 2.0});
    auto* plot = w.plotBox->findChild<QwtPlot_*>();
    const auto selectRow = [this, node] {
        w.MeasurementTree->clearSelection();
        w.MeasurementTree->setCurrentItem(node->getMeasurementTreeNode());
    };
    w.setPlotProgram("/nonexistent/gnuplot");
    w.startRun(1000000);
    ASSERT_TRUE(w.isRunning());
    LogCapture log;

    selectRow();
    EXPECT_FALSE(w.radioButtonRe->isEnabled());
    EXPECT_TRUE(plot->itemList().isEmpty());
    w.actionPlot->setEnabled(true);
    w.actionPlot->trigger();
    EXPECT_EQ(log.count("Could not open pipe"), 0);

    // A stop before the thread has begun its run is forgotten: asked until it ends.
    ASSERT_TRUE(processUntil([this] {
        w.getBase()->stopExperiment();
        return !w.isRunning();
    }));
    selectRow();
    EXPECT_TRUE(w.radioButtonRe->isEnabled());
    EXPECT_EQ(plot->getCurve().dataSize(), 2u);
}

// New and Open stop the run and wait for its threads before the tree goes.
TEST_F(RunningTree, NewAndOpenEndTheRunFirst) {
    guitesting::MessageBoxes boxes(QMessageBox::Discard);
    QString next;
    File_::setNameHandler([&next](bool) { return next; });
    next = "run.experiment";
    w.actionSave_As->trigger();
    for (QAction* action : {w.actionNew, w.actionOpen}) {
        w.startRun(1000000);
        ASSERT_TRUE(w.isRunning());
        action->trigger();
        EXPECT_FALSE(w.isRunning()) << action->text().toStdString();
        EXPECT_EQ(w.getBase(), nullptr);
        EXPECT_EQ(w.treeWidget->topLevelItemCount(), 1);
    }
    EXPECT_EQ(w.getFile()->getName(), "run.experiment");
    File_::setNameHandler({});
}

}  // namespace
