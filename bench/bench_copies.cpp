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
#include "tests/interface/plainhost.h"

namespace {

constexpr int samples = 1 << 12;
constexpr int roundtrips = 2000;

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

Parameter_* addParameter(Node_* node, const QString& name, DataType_::type_ type,
                         const QString& value, bool expression = false) {
    const int extent[] = {samples};
    const bool pulse = type == DataType_::pulse;
    auto* p = new Parameter_(type, pulse ? 1 : 0, pulse ? extent : nullptr);
    p->setName(name);
    p->setValue(value);
    if (expression) p->troggleExpression(true);
    node->addParameter(p);
    return p;
}

template <class N>
N* add(Node_* parent, const QString& name) {
    auto* n = new N;
    n->setText(0, name);
    parent->addChild(n);
    return n;
}

void addElement(Node_* cavity, const QString& name, const QString& kind,
                std::initializer_list<std::pair<const char*, const char*>> values) {
    auto* e = add<ElementNode_>(cavity, name);
    addParameter(e, "ElementType", DataType_::string, kind);
    addParameter(e, "Condition", DataType_::string, "always", true);
    for (const auto& v : values) addParameter(e, v.first, DataType_::doubleprecision, v.second);
    ElementBaseNode_::linkNewElement({e});
}

// A 1 ps pulse through a filter, a 5 % loss and a propagation, round after round.
SetupNode_* templateSetup(QTreeWidget* tree) {
    auto* s = new SetupNode_(tree);
    s->setText(0, "Setup1");
    addParameter(s, "Roundtrips", DataType_::integer, QString::number(roundtrips));
    addParameter(s, "Roundtrip", DataType_::integer, "");
    addParameter(s, "Samples", DataType_::integer, QString::number(samples));
    addParameter(s, "Directory", DataType_::string, "Setup1");
    auto* c = add<CavityNode_>(s, "Cavity1");
    add<MeasurementGroupNode_>(s, "Measurements");
    addParameter(c, "InnitialPulseShape", DataType_::string, "Gaussian");
    addParameter(c, "InnitialPulseDuration", DataType_::doubleprecision, "1e-12");
    addParameter(c, "InnitialPulseDomain", DataType_::string, "time");
    addParameter(c, "PulseTime", DataType_::quadprecision, "0");
    addParameter(c, "PulseWavelength", DataType_::quadprecision, "1064e-9");
    addParameter(c, "InnitialPulseEnergy", DataType_::doubleprecision, "1e-7");
    addParameter(c, "Pulse", DataType_::pulse, "");
    addParameter(c, "RecenterPulse", DataType_::logical, "true");
    addElement(c, "Filter1", "GaussianFilter", {{"fwhm", "5e13"}, {"mean", "0"}});
    addElement(c, "Loss1", "LinearLoss", {{"amount", "5"}});
    addElement(c, "Propagation1", "Propagation", {{"d", "1.5"}, {"n", "1"}});
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
