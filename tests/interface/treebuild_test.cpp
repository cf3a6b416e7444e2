// The build of an experiment from a setup tree, without running it: what
// each node makes and binds, the shared slots of an element standing in two
// cavities, and the trees the build refuses (reported on the node at fault,
// the setup never started, the run over all the same).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <memory>

#include "core/base.h"
#include "core/cavity.h"
#include "core/cavityelement.h"
#include "core/measurement.h"
#include "core/memorybudget.h"
#include "core/pulse.h"
#include "core/setup.h"
#include "interface/treebuilder.h"
#include "kernel/cinterface.h"
#include "tests/interface/experimenttree.h"
#include "tests/interface/fakehost.h"

namespace {

using namespace experimenttree;

// Knows the plug-ins "Scale", with a named and an unnamed parameter, and
// "LinearLoss", named like a built-in kind; counts the records it hands out.
struct Registry : PluginRegistry_ {
    static const char* name(uint32_t i) { return i == 0 ? "factor" : ""; }
    bool isPlugin(const QString& kind) const override { return kind == "Scale" || kind == "LinearLoss"; }
    pluginData getPlugin(const QString& kind) const override {
        ++handedOut;
        pluginData d;
        d.Name = kind;
        d.getParameterName = &Registry::name;
        d.parameters = 2;
        return d;
    }
    mutable int handedOut = 0;
};

struct PluginHost : FakeHost {
    PluginRegistry_* getPluginManager() override { return &registry; }
    Registry registry;
};

class TreeBuild : public ::testing::Test {
protected:
    void SetUp() override { Node_::setMainWindow(&host); }
    void TearDown() override {
        base.reset();
        host.setupTree->clear();
        Node_::setMainWindow(nullptr);
        errortesting::reset();
    }

    void build() {
        base = std::make_unique<Base_>(nullptr);
        TreeBuilder_::build(*base, host);
    }

    // Whether an error listed against `node` contains `text`.
    static bool listed(const Node_* node, const QString& text) {
        for (int i = 0; Error_::getErrorCode(i) != -1; ++i)
            if (Error_::getErrorSource(i) == node && Error_::getErrorMessage(i).contains(text)) return true;
        return false;
    }

    PluginHost host;
    std::unique_ptr<Base_> base;
};

TEST_F(TreeBuild, ElementParametersAreBoundToTheValuesTheElementUses) {
    SetupNode_* s = setup(host.setupTree, "Setup1", 3);
    CavityNode_* c = cavity(s, "Cavity1");
    ElementNode_* loss = element("Loss", "LinearLoss", {{"amount", "10"}}, {c}).first();
    ElementNode_* scale = element("Scale", "Scale", {{"factor", "2.5"}}, {c}).first();
    build();
    // A built-in kind wins over a plug-in of its name; the registry is asked once, for "Scale".
    EXPECT_EQ(host.registry.handedOut, 1);
    ASSERT_EQ(s->Setup->getElements(), 2);
    EXPECT_EQ(loss->CavityElement->getType(), CavityElement_::linearLoss);
    EXPECT_EQ(loss->getParameter("amount")->getData(), loss->CavityElement->getParameterAddress(0));
    EXPECT_EQ(scale->CavityElement->getType(), CavityElement_::elementplugin);
    EXPECT_EQ(scale->CavityElement->getParameter(0), 2.5);
    EXPECT_EQ(scale->getParameter("factor")->getData(), scale->CavityElement->getParameterAddress(0));
    EXPECT_TRUE(loss->getParameter("amount")->setRealValue("5", nullptr));
    EXPECT_EQ(loss->CavityElement->getParameter(0), 5.0);
    EXPECT_EQ(c->getParameter("Pulse")->getData(), c->Cavity->getPulse());
    // Tuning the pulse's time moves the circulating pulse.
    EXPECT_TRUE(c->getParameter("PulseTime")->setRealValue("3e-12", nullptr));
    EXPECT_EQ(cinterface::todouble(c->Cavity->getPulse()->get()->t), 3e-12);
    EXPECT_EQ(s->getParameter("Samples")->getData(), s->Setup->getSamplesAddress());
    EXPECT_EQ(c->Cavity->getPulse()->getSamples(), samples);
    EXPECT_TRUE(c->Cavity->getRecenter());
    EXPECT_TRUE(s->Setup->ready());
}

TEST_F(TreeBuild, SharedSlotsHoldThePulsesOfTheInputCavitiesInInputOrder) {
    SetupNode_* s = setup(host.setupTree, "Setup1", 3);
    CavityNode_* a = cavity(s, "CavityA");
    CavityNode_* b = cavity(s, "CavityB");
    const QList<ElementNode_*> mixer =
        element("Mixer", "DFGTime", {{"w", "1e-4"}, {"chi2", "2.7e-11"}, {"l", "1e-3"}}, {b, a});
    build();
    ASSERT_TRUE(a->Cavity && b->Cavity);
    EXPECT_EQ(mixer[1]->CavityElement, mixer[0]->CavityElement);
    for (CavityNode_* c : {a, b}) {
        ASSERT_EQ(c->Cavity->getSlotPulseCount(0), 2);
        Pulse_** pulses = c->Cavity->getSlotPulses(0);
        EXPECT_EQ(pulses[0], b->Cavity->getPulse());
        EXPECT_EQ(pulses[1], a->Cavity->getPulse());
        EXPECT_EQ(c->Cavity->getElement(0), mixer[0]->CavityElement);
    }
    EXPECT_TRUE(s->Setup->ready());
}

struct Refusal {
    const char* kind;
    const char* shape;
    const char* measured;
    const char* message;
    enum { loss, cavity, measurement, setup } culprit;
    const char* samples = "256";
};

// The computer spares 1 GB for the test's setups.
class TreeRefusal : public TreeBuild, public ::testing::WithParamInterface<Refusal> {
protected:
    void SetUp() override {
        TreeBuild::SetUp();
        MemoryBudget_::setLimitForTesting(std::int64_t{1} << 30);
    }
    void TearDown() override {
        TreeBuild::TearDown();
        MemoryBudget_::setLimitForTesting(0);
    }
};

TEST_P(TreeRefusal, IsReportedOnTheNodeAndTheSetupNeverStartsWhileTheOthersRun) {
    const Refusal& r = GetParam();
    SetupNode_* s = setup(host.setupTree, "Setup1", 3);
    s->getParameter("Samples")->setValue(r.samples);
    CavityNode_* c = experimenttree::cavity(s, "Cavity1");
    c->getParameter("InnitialPulseShape")->setValue(r.shape);
    ElementNode_* e = element("Loss", r.kind, {{"amount", "10"}}, {c}).first();
    Node_* m = r.measured ? static_cast<Node_*>(experimenttree::measurement(measurements(s), "Energy", r.measured))
                          : add<MeasurementNode_>(measurements(s), "Energy");
    SetupNode_* sound = setup(host.setupTree, "Setup2", 3);
    element("Loss", "LinearLoss", {{"amount", "10"}}, {experimenttree::cavity(sound, "Cavity1")});
    MeasurementNode_* measured = experimenttree::measurement(measurements(sound), "Energy", "Energy(Cavity1%Pulse)");
    build();
    const Node_* culprit = r.culprit == Refusal::loss          ? e
                           : r.culprit == Refusal::cavity      ? static_cast<Node_*>(c)
                           : r.culprit == Refusal::measurement ? m
                                                               : s;
    EXPECT_TRUE(listed(culprit, r.message));
    EXPECT_TRUE(s->Setup->isRefused());
    if (r.culprit == Refusal::setup) {
        EXPECT_EQ(s->Setup->getCavity(0), nullptr) << "a pulse was allocated";
    }
    bool over = false;
    QObject::connect(base.get(), &Base_::runFinished, [&over] { over = true; });
    base->runExperiment();
    QElapsedTimer timer;
    timer.start();
    while (!over && timer.elapsed() < 10000) QCoreApplication::processEvents();
    EXPECT_TRUE(over);
    EXPECT_FALSE(s->Setup->isRunning());
    EXPECT_EQ(measured->Measurement->getCollected(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, TreeRefusal,
    ::testing::Values(
        Refusal{"Laser", "Gaussian", "Energy(Cavity1%Pulse)", "Unknown element type \"Laser\"", Refusal::loss},
        Refusal{"Propagation", "Gaussian", "Energy(Cavity1%Pulse)", "\"d\" is missing", Refusal::loss},
        Refusal{"LinearLoss", "Square", "Energy(Cavity1%Pulse)", "\"Square\" is unknown", Refusal::cavity},
        Refusal{"LinearLoss", "Gaussian", "Cavity1%InnitialPulseEnergy", "holds no live value", Refusal::measurement},
        Refusal{"LinearLoss", "Gaussian", "Energy(", "does not parse", Refusal::measurement},
        Refusal{"LinearLoss", "Gaussian", "", "The expression is empty; the measurement Setup1%Measurements%Energy "
                                              "must measure something.", Refusal::measurement},
        Refusal{"LinearLoss", "Gaussian", nullptr, "\"Parameter\" is missing", Refusal::measurement},
        // 2^28 samples: a pulse of 2 GB, its copies and the transforms' tables.
        Refusal{"LinearLoss", "Gaussian", "Energy(Cavity1%Pulse)", "GB of memory, more than this computer can spare",
                Refusal::setup, "268435456"}));

}  // namespace
