// What the window costs a run: the standard experiment (four setups of one
// recentring cavity with gain, saturable absorber, Gaussian filter, 5 % loss
// and 1.5 m of air, 2^12 samples) written as a setup tree and built from it,
// run once headless (the tree in plain widgets, no event loop while it runs)
// and once through the window's Run action, with the window shown offscreen,
// its status tabs open, the progress timer ticking and the first setup's tab
// plotting the history of its gain's inversion. Reports round trips per
// second of both, their ratio, and the longest gap between two ticks of a
// 50 ms probe timer on the user-interface thread during the window's run.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <algorithm>

#include "core/base.h"
#include "core/setup.h"
#include "dialogs/setupstatuswidget.h"
#include "interface/messagebox.h"
#include "interface/qwtplot.h"
#include "interface/setupstatus.h"
#include "interface/treebuilder.h"
#include "interface/treehost.h"
#include "mainwindow.h"
#include "tests/interface/experimenttree.h"
#include "tests/interface/plainhost.h"

namespace {

using namespace experimenttree;

constexpr int setups = 4;
constexpr int samples = 1 << 12;
// Runs of a few seconds.
constexpr int roundtrips = 5000;

double headlessRoundtripsPerSecond = 0;

void standardSetup(QTreeWidget* tree, const QString& name) {
    SetupNode_* s = setup(tree, name, roundtrips);
    s->getParameter("Samples")->setValue(QString::number(samples));
    CavityNode_* c = cavity(s, "Cavity1");
    c->getParameter("InnitialPulseDuration")->setValue("1e-13");
    c->getParameter("InnitialPulseEnergy")->setValue("1e-6");
    c->getParameter("PulseWavelength")->setValue("1.064e-6");
    element("Gain", "SaturableGain",
            {{"w", "1e-4"}, {"R", "1e5"}, {"l", "5e-3"}, {"sigma", "3e-23"}, {"deltan0", "-1.4e26"},
             {"sigmap", "0"}, {"lambdap", "0"}, {"T1", "2.3e-4"}, {"deltan", "1e24"}, {"recoverytime", "0"}},
            {c});
    element("Absorber", "SaturableAbsorber",
            {{"w", "1e-4"}, {"l", "1e-6"}, {"Is", "1e15"}, {"loss", "0.1"}, {"T1", "1e-12"}, {"deltan", "0"},
             {"recoverytime", "0"}},
            {c});
    element("Filter", "GaussianFilter", {{"fwhm", "5e13"}, {"mean", "0"}}, {c});
    element("Loss", "LinearLoss", {{"amount", "5"}}, {c});
    element("Air", "Propagation", {{"d", "1.5"}, {"n", "1"}}, {c});
}

void standardExperiment(QTreeWidget* tree) {
    for (int i = 1; i <= setups; ++i) standardSetup(tree, "Setup" + QString::number(i));
}

// The tree in plain widgets that nobody shows.
void BM_StandardRunHeadless(benchmark::State& state) {
    SetupStatusSink_::setFactory({});
    PlainHost host;
    Node_::setMainWindow(&host);
    standardExperiment(host.setupTree);
    double seconds = 0;
    for (auto _ : state) {
        Base_ base(nullptr);
        TreeBuilder_::build(base, host);
        QElapsedTimer clock;
        clock.start();
        base.runExperiment();
        for (int i = 0; i < base.getSetups(); ++i) base.getSetup(i)->wait();
        const double s = clock.nsecsElapsed() * 1e-9;
        state.SetIterationTime(s);
        seconds += s;
        QCoreApplication::processEvents();
    }
    host.setupTree->clear();
    Node_::setMainWindow(nullptr);
    headlessRoundtripsPerSecond = setups * roundtrips * double(state.iterations()) / seconds;
    state.counters["N"] = samples;
    state.counters["setups"] = setups;
    state.counters["rt/s"] = headlessRoundtripsPerSecond;
}
BENCHMARK(BM_StandardRunHeadless)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// Run starts the run (build included, a few milliseconds); the run ends when
// the window has taken the end of its last setup.
void BM_StandardRunWithWindow(benchmark::State& state) {
    MainWindow window;
    window.resize(1400, 900);
    window.show();
    window.treeWidget->clear();
    standardExperiment(window.treeWidget);

    double seconds = 0;
    qint64 longestGap = 0;
    int plotted = 0;
    for (auto _ : state) {
        QElapsedTimer sinceTick;
        QElapsedTimer clock;
        QTimer probe;
        probe.setInterval(50);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceTick.restart());
        });
        clock.start();
        window.actionRun->trigger();
        sinceTick.start();
        probe.start();
        // The first setup's tab plots its gain's inversion.
        auto* tab = dynamic_cast<SetupStatusWidget_*>(window.tabWidgetSetupStatus->widget(0));
        window.tabWidgetSetupStatus->setCurrentIndex(0);
        const QList<QTreeWidgetItem*> rows = tab->parameterTree->findItems("deltan", Qt::MatchRecursive);
        tab->parameterTree->setCurrentItem(rows.first());
        emit tab->parameterTree->itemClicked(rows.first(), 0);
        QEventLoop loop;
        QObject::connect(window.getBase(), &Base_::runFinished, &loop, &QEventLoop::quit);
        loop.exec();
        const double s = clock.nsecsElapsed() * 1e-9;
        probe.stop();
        plotted = tab->getPlot()->getSamples();
        state.SetIterationTime(s);
        seconds += s;
    }
    const double rate = setups * roundtrips * double(state.iterations()) / seconds;
    state.counters["N"] = samples;
    state.counters["setups"] = setups;
    state.counters["rt/s"] = rate;
    state.counters["vs_headless"] = headlessRoundtripsPerSecond > 0 ? rate / headlessRoundtripsPerSecond : 0;
    state.counters["ui_gap_ms"] = double(longestGap);
    // Points of the history plot at the end: the tab did plot.
    state.counters["plotted"] = plotted;
}
BENCHMARK(BM_StandardRunWithWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // No box may wait for an answer.
    MessageBox_::setHandler([](const MessageBox_::Request&) { return QMessageBox::Ok; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
