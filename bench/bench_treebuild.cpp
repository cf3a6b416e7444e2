// The standard cavity (gain, saturable absorber, Gaussian filter, 5 % loss and
// propagation, recentring its pulse) written as a setup tree with one
// measurement of the pulse energy, built from the tree and run on its thread,
// beside the same cavity assembled in code, without a measurement as
// bench_engine makes it and with the same measurement. Reports round trips
// per second of each at N = 2^12, the tree-built one's share of each
// code-assembled one's rate, and the heap allocations a round trip makes once
// the run is going.
#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

#include "core/base.h"
#include "core/cavity.h"
#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/parameterlink.h"
#include "core/setup.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "interface/treebuilder.h"
#include "interface/treehost.h"
#include "support/allocationcount.h"
#include "tests/interface/experimenttree.h"
#include "tests/interface/plainhost.h"

namespace {

using clock_ = std::chrono::steady_clock;
constexpr int samples = 1 << 12;
constexpr int roundtrips = 1024;

// The standard cavity as the window's tree would hold it.
void standardTree(QTreeWidget* tree) {
    SetupNode_* setup = experimenttree::setup(tree, "Setup1", roundtrips, samples);
    CavityNode_* cavity = experimenttree::cavity(setup, "Cavity1", samples);
    cavity->getParameter("InnitialPulseDuration")->setValue("1e-13");
    cavity->getParameter("InnitialPulseEnergy")->setValue("1e-6");
    experimenttree::element("Gain", "SaturableGain",
                            {{"w", "1e-4"}, {"R", "1e5"}, {"l", "5e-3"}, {"sigma", "3e-23"}, {"deltan0", "-1.4e26"},
                             {"sigmap", "0"}, {"lambdap", "0"}, {"T1", "2.3e-4"}, {"deltan", "1e24"},
                             {"recoverytime", "0"}},
                            {cavity});
    experimenttree::element("Absorber", "SaturableAbsorber",
                            {{"w", "1e-4"}, {"l", "1e-6"}, {"Is", "1e15"}, {"loss", "0.1"}, {"T1", "1e-12"},
                             {"deltan", "0"}, {"recoverytime", "0"}},
                            {cavity});
    experimenttree::element("Filter", "GaussianFilter", {{"fwhm", "5e13"}, {"mean", "0"}}, {cavity});
    experimenttree::element("Loss", "LinearLoss", {{"amount", "5"}}, {cavity});
    experimenttree::element("Air", "Propagation", {{"d", "1.5"}, {"n", "1"}}, {cavity});
    experimenttree::measurement(experimenttree::measurements(setup), "Energy", "Energy(Cavity1%Pulse)");
}

// The cavity's pulse as the energy measurement reads it.
class PulseLink : public ParameterLink_ {
public:
    explicit PulseLink(Pulse_* pulse) : pulse(pulse), shape(DataType_(DataType_::pulse), 1, &samples) {}
    void* getData() const override { return pulse; }
    const DataShape_* getShape() const override { return &shape; }

private:
    Pulse_* pulse;
    DataShape_ shape;
};

// The same cavity made directly, as bench_engine makes it, optionally with
// the energy measurement.
class CodeBuilder : public SetupBuilder_ {
public:
    int getSetups() override { return 1; }
    Setup_* createSetup(int, Base_* base) override {
        auto* setup = new Setup_(1, 5, measured ? 1 : 0, base, nullptr);
        setup->setSamples(samples);
        setup->setRoundtrips(length);
        auto* gain = new Gain_(setup, nullptr);
        elements::psetgain_& g = *gain->getpset();
        g.w = 1.0e-4, g.r = 1.0e5, g.l = 5.0e-3, g.sigma = 3.0e-23, g.deltan0 = -1.4e26;
        g.t1 = 2.3e-4, g.deltan = 1.0e24;
        auto* absorber = new SaturableAbsorber_(setup, nullptr);
        elements::psetabsorber_& a = *absorber->getpset();
        a.w = 1.0e-4, a.l = 1.0e-6, a.is = 1.0e15, a.loss = 0.1, a.t1 = 1.0e-12;
        auto* filter = new GaussianFilter_(setup, nullptr);
        filter->getpset()->fwhm = 5.0e13;
        auto* loss = new LinearLoss_(setup, nullptr);
        loss->setParameter(0, 5.0);
        auto* propagation = new Propagation_(setup, nullptr);
        propagation->setParameter(0, 1.5);
        propagation->setParameter(1, 1.0);
        auto* cavity = new Cavity_(5, setup, nullptr);
        cavity->setRecenter(true);
        for (CavityElement_* e : {static_cast<CavityElement_*>(gain), static_cast<CavityElement_*>(absorber),
                                  static_cast<CavityElement_*>(filter), static_cast<CavityElement_*>(loss),
                                  static_cast<CavityElement_*>(propagation)}) {
            setup->addElement(e);
            cavity->addElement(e);
        }
        cavity->initPulseGaussian(1.0e-13, 1.0e-6, 1.064e-6);
        setup->addCavity(cavity);
        if (measured) {
            auto* energy = new Operation_(Operation_::energy, DataType_(DataType_::doubleprecision), 0, nullptr);
            PulseLink pulse(cavity->getPulse());
            energy->setParameter(0, &pulse);
            auto* m = new Measurement_(setup, nullptr);
            m->setOperation(energy);
            setup->addMeasurement(m);
        }
        return setup;
    }
    void addElements(int, Setup_*) override {}
    int getChildren(int) override { return 0; }
    bool isCavity(int, int) override { return false; }
    void addCavity(int, int, Setup_*) override {}
    void link(int) override {}
    void addMeasurement(int, int, Setup_*) override {}

    int length = roundtrips;
    bool measured = false;
};

// Seconds of the run alone; the allocations it made are added to `allocated`.
double run(Base_& base, long* allocated = nullptr) {
    const long before = allocationCount();
    const auto start = clock_::now();
    base.runExperiment();
    base.getSetup(0)->wait();
    const double seconds = std::chrono::duration<double>(clock_::now() - start).count();
    if (allocated) *allocated += allocationCount() - before;
    return seconds;
}

using Build = std::function<void(Base_&, int length)>;

// Made by main, after the application object.
PlainHost* treeHost = nullptr;

void treeBuild(Base_& base, int length) {
    auto* setup = static_cast<Node_*>(treeHost->setupTree->topLevelItem(0));
    setup->getParameter("Roundtrips")->setValue(QString::number(length));
    TreeBuilder_::build(base, *treeHost);
}

void codeBuild(Base_& base, int length, bool measured) {
    CodeBuilder builder;
    builder.length = length;
    builder.measured = measured;
    base.buildExperiment(builder);
}

// The difference of two runs of different length leaves out what starting
// and ending a run costs.
double allocationsPerRoundtrip(const Build& build) {
    long counts[2] = {0, 0};
    const int lengths[2] = {64, 576};
    for (int k = 0; k < 2; ++k) {
        Base_ base(nullptr);
        build(base, lengths[k]);
        run(base, &counts[k]);
    }
    return double(counts[1] - counts[0]) / (lengths[1] - lengths[0]);
}

double codeRate = 0;
double measuredCodeRate = 0;

void measure(benchmark::State& state, const Build& build, double& rate) {
    const double allocations = allocationsPerRoundtrip(build);
    double seconds = 0;
    for (auto _ : state) {
        Base_ base(nullptr);
        build(base, roundtrips);
        const double s = run(base);
        state.SetIterationTime(s);
        seconds += s;
    }
    rate = static_cast<double>(state.iterations()) * roundtrips / seconds;
    state.counters["N"] = samples;
    state.counters["rt/s"] = rate;
    state.counters["allocs/rt"] = allocations;
}

void BM_CodeAssembledCavity(benchmark::State& state) {
    measure(state, [](Base_& base, int length) { codeBuild(base, length, false); }, codeRate);
}

void BM_CodeAssembledMeasuredCavity(benchmark::State& state) {
    measure(state, [](Base_& base, int length) { codeBuild(base, length, true); }, measuredCodeRate);
}

// x_code: share of the rate of the cavity without a measurement;
// x_measured: of the code-assembled cavity with the same measurement.
void BM_TreeBuiltCavity(benchmark::State& state) {
    double rate = 0;
    measure(state, treeBuild, rate);
    if (codeRate > 0) state.counters["x_code"] = rate / codeRate;
    if (measuredCodeRate > 0) state.counters["x_measured"] = rate / measuredCodeRate;
}

BENCHMARK(BM_CodeAssembledCavity)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CodeAssembledMeasuredCavity)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TreeBuiltCavity)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PlainHost host;
    Node_::setMainWindow(&host);
    standardTree(host.setupTree);
    treeHost = &host;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    host.setupTree->clear();
    Node_::setMainWindow(nullptr);
    return 0;
}
