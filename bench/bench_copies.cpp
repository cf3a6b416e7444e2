// Copies of one setup run side by side, each on its own thread: round trips
// per second per copy at 4096 samples for 1, 2, 4 and 8 copies. Each copy's
// speed should hold while there are cores for all of them.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <ctime>

#include "core/base.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "interface/treebuilder.h"
#include "interface/treehost.h"
#include "tests/interface/experimenttree.h"
#include "tests/interface/plainhost.h"

namespace {

constexpr int samples = 1 << 12;
constexpr int roundtrips = 2000;

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// A 1 ps pulse through a filter, a 5 % loss and a propagation, round after round.
SetupNode_* templateSetup(QTreeWidget* tree) {
    SetupNode_* s = experimenttree::setup(tree, "Setup1", roundtrips, samples);
    CavityNode_* c = experimenttree::cavity(s, "Cavity1", samples);
    experimenttree::element("Filter1", "GaussianFilter", {{"fwhm", "5e13"}, {"mean", "0"}}, {c});
    experimenttree::element("Loss1", "LinearLoss", {{"amount", "5"}}, {c});
    experimenttree::element("Propagation1", "Propagation", {{"d", "1.5"}, {"n", "1"}}, {c});
    return s;
}

void BM_SetupCopiesSideBySide(benchmark::State& state) {
    const int copies = static_cast<int>(state.range(0));
    PlainHost host;
    Node_::setMainWindow(&host);
    SetupNode_* setup = templateSetup(host.setupTree);
    // The template runs as the first copy; the others are copied from it as
    // Copy Setup makes them.
    for (int i = 1; i < copies; ++i) {
        auto* copy = static_cast<SetupNode_*>(setup->recursiveCopy());
        copy->setText(0, "Setup" + QString::number(i + 1));
        copy->getParameter("Directory")->setValue(copy->text(0));
        host.setupTree->addTopLevelItem(copy);
    }
    double seconds = 0;
    double busy = 0;
    for (auto _ : state) {
        Base_ base(nullptr);
        TreeBuilder_::build(base, host);
        // The run's queued signals reach the window's thread as in the program.
        QEventLoop loop;
        QObject::connect(&base, &Base_::runFinished, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        const double cpu = processSeconds();
        timer.start();
        base.runExperiment();
        loop.exec();
        const double elapsed = timer.nsecsElapsed() * 1e-9;
        busy += processSeconds() - cpu;
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        if (base.getTotalRoundtrips() != copies * roundtrips) {
            state.SkipWithError("a copy did not run all its round trips");
            break;
        }
    }
    state.counters["roundtrips_per_s_per_copy"] = state.iterations() * roundtrips / seconds;
    // Cores the run kept busy on average: near the copies while none waits for another.
    state.counters["cores_busy"] = busy / seconds;
    host.setupTree->clear();
    Node_::setMainWindow(nullptr);
}
BENCHMARK(BM_SetupCopiesSideBySide)
    ->Arg(1)->Arg(2)->Arg(4)->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
