// Runs started, stopped and reset through the window's actions, with the
// experiment built from the window's setup tree and run on its threads: the
// progress bar, the run controls, the error list and the status tabs follow
// them from the user-interface thread.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QSlider>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "core/base.h"
#include "core/measurement.h"
#include "core/setup.h"
#include "dialogs/setupstatuswidget.h"
#include "file.h"
#include "guitesting.h"
#include "interface/error.h"
#include "interface/measurementrow.h"
#include "interface/qwtplot.h"
#include "mainwindow.h"
#include "tests/interface/experimenttree.h"

namespace {

using namespace experimenttree;

bool processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000) QCoreApplication::processEvents();
    return done();
}

// The share of the energy a loss of `percent` keeps; the kernel scales the
// field in single precision.
double lossFactor(double percent) { return 1 - percent / 100; }
constexpr double ratioTolerance = 1e-6;

class WindowRun : public ::testing::Test {
protected:
    // The plug-ins lie in the registry's directory before the window scans it.
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath("plugins"));
        ASSERT_TRUE(QFile::copy(PLS_PLUGIN_DIVIDE, "plugins/divide.so"));
        ASSERT_TRUE(QFile::copy(PLS_PLUGIN_SCALE, "plugins/scale.so"));
        ASSERT_TRUE(QFile::copy(PLS_PLUGIN_MULTIONLY, "plugins/multionly.so"));
        w = std::make_unique<MainWindow>();
        w->treeWidget->clear();
    }
    void TearDown() override {
        w.reset();
        loggertesting::reset();
        errortesting::reset();
    }

    // SetupN { Cavity1 { Loss }, Measurements { Energy } }.
    MeasurementNode_* lossSetup(const QString& name, int roundtrips, const char* amount) {
        SetupNode_* s = setup(w->treeWidget, name, roundtrips);
        element("Loss", "LinearLoss", {{"amount", amount}}, {cavity(s, "Cavity1")});
        return measurement(measurements(s), "Energy", "Energy(Cavity1%Pulse)");
    }
    Node_* node(const QString& path) const { return dynamic_cast<Node_*>(w->findSetupTreeNode(path)); }
    SetupStatusWidget_* tab(const QString& setup) const {
        return dynamic_cast<SetupStatusWidget_*>(dynamic_cast<SetupNode_*>(node(setup))->getSetupStatusWidget());
    }
    // Run, Stop, Reset and editing as on (1) or off (0).
    QString controls() const {
        QString s;
        for (QAction* a : {w->actionRun, w->actionStop, w->actionReset}) s += a->isEnabled() ? '1' : '0';
        return s + (w->treeWidget->isEnabled() && w->itemParameters->isEnabled() ? '1' : '0');
    }
    bool finished() const { return !w->isRunning() && w->actionRun->isEnabled(); }
    // Until the run has ended and its last reports are listed.
    bool waitForTheEnd() {
        const bool ended = processUntil([this] { return finished(); });
        QCoreApplication::processEvents();
        return ended;
    }
    QStringList rowsOf(QTreeWidget* list, int column) const {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(column);
        return texts;
    }
    static std::vector<double> series(MeasurementNode_* m) {
        std::vector<double> values;
        for (int s = 0; m->Measurement && s < m->Measurement->getCollected(); ++s)
            values.push_back(*static_cast<double*>(m->Measurement->getSample(s, 0)));
        return values;
    }

    guitesting::WorkingDirectory dir{true};
    std::unique_ptr<MainWindow> w;
};

const QString complete = "Note: All setups finished. Simulation complete.";

TEST_F(WindowRun, AFullRunReachesTheProgressMaximumAndUnlocksEditing) {
    MeasurementNode_* first = lossSetup("Setup1", 10, "10");
    lossSetup("Setup2", 20, "10");
    Error_::reportStatic("before the run", Error_::warning);
    w->actionRun->trigger();
    EXPECT_EQ(controls(), "0100");
    EXPECT_EQ(w->tabWidget->currentIndex(), 1);
    EXPECT_EQ(w->progressBar->maximum(), 30);

    ASSERT_TRUE(waitForTheEnd());
    EXPECT_EQ(w->progressBar->value(), 30);
    EXPECT_EQ(controls(), "1011");
    const QStringList messages = rowsOf(w->ErrorList, 1);
    EXPECT_FALSE(messages.contains("Warning: before the run"));
    EXPECT_EQ(messages.count(complete), 1);
    EXPECT_EQ(messages.last(), complete);
    EXPECT_EQ(series(first).size(), 10u);
    // The kept experiment still holds the data; a second run replaces it.
    Base_* kept = w->getBase();
    ASSERT_NE(kept, nullptr);
    w->actionRun->trigger();
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_EQ(rowsOf(w->ErrorList, 1).count(complete), 1);
    EXPECT_EQ(series(first).size(), 10u);
}

TEST_F(WindowRun, StopEndsTheRunEarlyRunAndResetWaitAndResetDiscards) {
    MeasurementNode_* energy = lossSetup("Setup1", 1000000, "0.001");
    w->actionRun->trigger();
    Base_* running = w->getBase();
    ASSERT_TRUE(processUntil([this] { return w->progressBar->value() > 0; }));

    // Neither Run nor Reset touches a running experiment.
    for (QAction* a : {w->actionRun, w->actionReset}) {
        a->setEnabled(true);
        a->trigger();
        a->setEnabled(false);
        EXPECT_EQ(w->getBase(), running);
        EXPECT_TRUE(w->isRunning());
    }
    w->actionStop->trigger();
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_LT(w->progressBar->value(), w->progressBar->maximum());
    EXPECT_EQ(controls(), "1011");
    EXPECT_EQ(rowsOf(w->ErrorList, 1).last(), complete);
    EXPECT_LT(series(energy).size(), 1000000u);

    w->actionReset->trigger();
    EXPECT_EQ(w->getBase(), nullptr);
    EXPECT_EQ(energy->Measurement, nullptr);
    EXPECT_EQ(controls(), "1001");
}

TEST_F(WindowRun, AFaultOnOneSetupThreadIsListedWhileTheOthersFinish) {
    MeasurementNode_* healthy = lossSetup("Setup1", 50, "1");
    SetupNode_* faulty = setup(w->treeWidget, "Setup2", 50);
    element("Divide", "Divide", {{"divisor", "0"}}, {cavity(faulty, "Cavity1")});
    w->actionRun->trigger();
    ASSERT_TRUE(waitForTheEnd());

    const QString fault = "Caught floating point exception. Thread terminated.";
    const int row = rowsOf(w->ErrorList, 1).indexOf(fault);
    ASSERT_GE(row, 0);
    EXPECT_EQ(w->ErrorList->topLevelItem(row)->text(0), QString::number(Error_::FPE));
    EXPECT_EQ(w->ErrorList->topLevelItem(row)->text(2), "Setup2");
    EXPECT_TRUE(rowsOf(tab("Setup2")->errorList, 1).contains(fault));
    EXPECT_FALSE(rowsOf(tab("Setup1")->errorList, 1).contains(fault));
    EXPECT_EQ(series(healthy).size(), 50u);
    EXPECT_EQ(rowsOf(w->ErrorList, 1).last(), complete);
}

// A loss small enough that the energy stays far from underflow however many
// round trips pass before the tune, which doubles it.
TEST_F(WindowRun, ATuneOnTheStatusTabChangesTheNextRoundTripsOnce) {
    const double untuned = 0.001;
    MeasurementNode_* energy = lossSetup("Setup1", 1000000, "0.001");
    Parameter_* amount = node("Setup1%Cavity1%Loss")->getParameter("amount");
    amount->setHotChangeable(true);
    w->actionRun->trigger();
    SetupStatusWidget_* status = tab("Setup1");
    const QList<QTreeWidgetItem*> rows = status->parameterTree->findItems("amount", Qt::MatchRecursive);
    ASSERT_EQ(rows.size(), 1);
    status->parameterTree->setCurrentItem(rows.first());
    emit status->parameterTree->itemClicked(rows.first(), 0);
    ASSERT_TRUE(processUntil([status] { return status->getPlot()->getSamples() > 0; }));

    status->tuneSlider->setValue(200);
    emit status->tuneSlider->sliderReleased();
    const int tuned = energy->Measurement->getCollected();
    ASSERT_TRUE(processUntil([&] { return energy->Measurement->getCollected() > tuned + 5; }));
    w->actionStop->trigger();
    ASSERT_TRUE(waitForTheEnd());

    // One step from the old loss to the new, within a few round trips of the tune.
    const std::vector<double> values = series(energy);
    size_t change = 1;
    while (change < values.size() &&
           std::abs(values[change] / values[change - 1] - lossFactor(untuned)) < ratioTolerance)
        ++change;
    EXPECT_LE(change, static_cast<size_t>(tuned) + 5);
    for (size_t i = change; i < values.size(); ++i)
        EXPECT_NEAR(values[i] / values[i - 1], lossFactor(2 * untuned), ratioTolerance) << "set " << i;
    EXPECT_DOUBLE_EQ(status->parameterValueText->text().toDouble(), 2 * untuned);
}

// Reset, New, Open and the next Run discard the run's data: the data tab
// shows none of it, also after a click on the row, and the bar is back at 0.
TEST_F(WindowRun, ADiscardedRunLeavesNoDataInTheViews) {
    guitesting::WorkingDirectory::write("other.experiment", "\"Setup\" \"Loaded\";\n\"Version\" \"0.9.1\";\n");
    File_::setNameHandler([](bool) { return QString("other.experiment"); });
    w->show();
    w->tabWidget->setCurrentIndex(3);
    auto* plot = w->plotBox->findChild<QwtPlot_*>();
    const auto click = [this](QTreeWidgetItem* row) {
        const QPoint at = w->MeasurementTree->visualItemRect(row).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w->MeasurementTree->viewport(), &event);
        }
    };
    const QString collected = "Collected Samples: ";
    // New and Open come while a second run goes on; the row is clicked again
    // where it stays and no setup thread may have collected into it yet.
    const struct {
        QAction* MainWindow::*action;
        bool during;
        bool clickAgain;
    } rows[] = {
        {&MainWindow::actionReset, false, true},
        {&MainWindow::actionRun, false, false},
        {&MainWindow::actionNew, true, false},
        {&MainWindow::actionOpen, true, false},
    };
    for (const auto& row : rows) {
        const std::string what = (w.get()->*row.action)->text().toStdString();
        w->treeWidget->clear();
        MeasurementNode_* energy = lossSetup("Setup1", 20, "10");
        w->actionRun->trigger();
        ASSERT_TRUE(waitForTheEnd()) << what;
        QTreeWidgetItem* dataRow = energy->getMeasurementTreeNode();
        click(dataRow);
        ASSERT_TRUE(w->measurementText->toPlainText().contains(collected + "20")) << what;
        ASSERT_EQ(plot->getSamples(), 20) << what;
        ASSERT_EQ(w->progressBar->value(), 20) << what;
        if (row.during) {
            dynamic_cast<Node_*>(w->findSetupTreeNode("Setup1"))->getParameter("Roundtrips")->setValue("1000000");
            w->actionRun->trigger();
            ASSERT_TRUE(processUntil([this] { return w->progressBar->value() > 0; })) << what;
        }
        guitesting::MessageBoxes boxes(QMessageBox::Discard);
        (w.get()->*row.action)->trigger();

        EXPECT_EQ(w->progressBar->value(), 0) << what;
        EXPECT_FALSE(w->measurementText->toPlainText().contains(collected + "20")) << what;
        EXPECT_EQ(plot->getSamples(), 0) << what;
        EXPECT_TRUE(plot->itemList().isEmpty()) << what;
        if (row.during) EXPECT_TRUE(w->measurementText->toPlainText().isEmpty()) << what;
        else EXPECT_TRUE(w->measurementText->toPlainText().contains(collected + "0")) << what;
        if (row.clickAgain) {
            click(dataRow);
            EXPECT_TRUE(w->measurementText->toPlainText().contains(collected + "0")) << what;
            EXPECT_TRUE(plot->itemList().isEmpty()) << what;
        }
        w->actionStop->trigger();
        ASSERT_TRUE(waitForTheEnd()) << what;
    }
    File_::setNameHandler({});
}

// Ten setups of 300,000,000 round trips pass what an int counts; the bar shows
// the share of them done all the same.
TEST_F(WindowRun, TheProgressBarShowsTheShareDoneOfTotalsBeyondAnInt) {
    for (int i = 1; i <= 10; ++i)
        element("Loss", "LinearLoss", {{"amount", "1"}},
                {cavity(setup(w->treeWidget, "Setup" + QString::number(i), 300000000), "Cavity1")});
    w->actionRun->trigger();
    ASSERT_NE(w->getBase(), nullptr);
    EXPECT_EQ(w->getBase()->getTotalRoundtrips(), 3000000000LL);
    ASSERT_GT(w->progressBar->maximum(), 0);
    ASSERT_TRUE(processUntil([this] { return w->progressBar->value() > 0; }));
    w->actionStop->trigger();
    ASSERT_TRUE(waitForTheEnd());
    const double done = static_cast<double>(w->getBase()->getTotalRoundtrip()) / 3e9;
    const double shown = static_cast<double>(w->progressBar->value()) / w->progressBar->maximum();
    EXPECT_GT(shown, 0);
    EXPECT_NEAR(shown, done, 1e-6);
}

// What New and Open do before they clear the tree: the run ends, and the
// reports its threads queued against the nodes are shown while they exist.
TEST_F(WindowRun, StoppingAndWaitingLeavesNothingQueuedForTheNodes) {
    lossSetup("Setup1", 1000000, "0.001");
    lossSetup("Setup2", 1000000, "0.001");
    w->actionRun->trigger();
    ASSERT_TRUE(processUntil([this] { return w->progressBar->value() > 0; }));
    w->stopRunAndWait();
    EXPECT_FALSE(w->isRunning());
    EXPECT_EQ(controls(), "1011");
    EXPECT_TRUE(rowsOf(w->ErrorList, 2).contains("Setup2"));
    w->treeWidget->clear();  // the nodes go, and with them the error list
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ErrorList->topLevelItemCount(), 0);
    w->stopRunAndWait();  // nothing runs: nothing happens
    EXPECT_EQ(controls(), "1011");

    // Threads ended, their end not yet taken by the window: ended all the same.
    lossSetup("Setup1", 3, "1");
    w->actionRun->trigger();
    ASSERT_TRUE(w->getBase()->getSetup(0)->wait(60000));
    EXPECT_EQ(controls(), "0100");
    w->stopRunAndWait();
    EXPECT_EQ(controls(), "1011");
    w->treeWidget->clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(controls(), "1011");
}

}  // namespace

namespace {

// The library scales the field by "scale": the energy by its square.
TEST_F(WindowRun, APlugInElementChangesThePulseAsItsLibrarySays) {
    SetupNode_* s = setup(w->treeWidget, "Setup1", 4);
    element("Scale", "TestScale", {{"scale", "0.5"}, {" delay", "0"}, {"spectrum", "0"}}, {cavity(s, "Cavity1")});
    MeasurementNode_* energy = measurement(measurements(s), "Energy", "Energy(Cavity1%Pulse)");
    w->actionRun->trigger();
    ASSERT_TRUE(waitForTheEnd());
    const std::vector<double> e = series(energy);
    ASSERT_EQ(e.size(), 4u);
    for (size_t i = 1; i < e.size(); ++i) EXPECT_NEAR(e[i] / e[i - 1], 0.25, ratioTolerance) << i;
}

// The library is never called with the two pulses it takes: the build says
// so once, on the element, and the pulses circulate unchanged.
TEST_F(WindowRun, APlugInTakingSeveralPulsesIsReportedOnceAndLeavesThemUnchanged) {
    SetupNode_* s = setup(w->treeWidget, "Setup1", 4);
    element("Mix", "MultiOnly", {{"gain", "2"}}, {cavity(s, "Cavity1"), cavity(s, "Cavity2")});
    MeasurementNode_* energy = measurement(measurements(s), "Energy", "Energy(Cavity2%Pulse)");
    w->actionRun->trigger();
    ASSERT_TRUE(waitForTheEnd());
    const QString warning = "Warning: The plug-in \"MultiOnly\" takes 2 pulses, but its several-pulse call is "
                            "not made: the element leaves its pulses unchanged.";
    const QStringList messages = rowsOf(w->ErrorList, 1);
    ASSERT_EQ(messages.count(warning), 1);
    EXPECT_EQ(w->ErrorList->topLevelItem(messages.indexOf(warning))->text(2), "Setup1%Cavity1%Mix");
    const std::vector<double> e = series(energy);
    ASSERT_EQ(e.size(), 4u);
    for (size_t i = 1; i < e.size(); ++i) EXPECT_NEAR(e[i] / e[0], 1.0, ratioTolerance) << i;
}

// The road of a user: a run through the window, then the measured pulse in
// the window's plot and down the plotter's pipe.
TEST_F(WindowRun, AMeasuredPulseIsPlottedInTheWindowAndSentToTheExternalPlotter) {
    SetupNode_* s = setup(w->treeWidget, "Setup1", 3);
    element("Loss", "LinearLoss", {{"amount", "10"}}, {cavity(s, "Cavity1")});
    MeasurementNode_* pulse = measurement(measurements(s), "Pulse", "Cavity1%Pulse");
    w->actionRun->trigger();
    ASSERT_TRUE(waitForTheEnd());
    ASSERT_NE(pulse->Measurement, nullptr);
    EXPECT_EQ(pulse->Measurement->getCollected(), 3);

    const QString file = QDir::current().filePath("stream");
    w->setPlotProgram("/usr/bin/tee", "'" + file.toStdString() + "' >/dev/null");
    w->tabWidget->setCurrentIndex(3);
    w->MeasurementTree->setCurrentItem(pulse->getMeasurementTreeNode());
    auto* plot = w->plotBox->findChild<QwtPlot_*>();
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->getSamples(), samples);
    w->actionPlot->trigger();
    w.reset();  // the plotter closes its pipe with the window
    QFile stream(file);
    ASSERT_TRUE(stream.open(QIODevice::ReadOnly));
    // One line per sample follows the plot command.
    EXPECT_GE(stream.readAll().count('\n'), samples);
}

}  // namespace
