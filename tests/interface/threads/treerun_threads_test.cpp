// Experiments written as setup trees, built by the real experiment object and
// run on its setup threads: what the measurements collect tells that the
// tree was built and bound as written.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "core/base.h"
#include "core/measurement.h"
#include "core/memorybudget.h"
#include "core/pulse.h"
#include "core/setup.h"
#include "interface/accessor.h"
#include "interface/treebuilder.h"
#include "kernel/measures.h"
#include "tests/interface/experimenttree.h"
#include "tests/interface/fakehost.h"

namespace {

using namespace experimenttree;

// The accessor's view of a tree parameter.
class LiveTreeParameter : public LiveParameter_ {
public:
    explicit LiveTreeParameter(Parameter_* p) : p(p) {}
    int getDimension() override { return p->getDimension(); }
    QString getRealValue(const int* index) override { return p->getRealValue(index); }
    void setRealValue(QString text, const int* index) override { p->setRealValue(text, index); }
    DataShape_& getShape() override { return *p->getShape(); }
    void* getData() override { return p->getData(); }

private:
    Parameter_* p;
};

bool processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000) QCoreApplication::processEvents();
    return done();
}

class TreeRun : public TreeFixture {
protected:
    void TearDown() override {
        base.reset();
        MemoryBudget_::setLimitForTesting(0);
        TreeFixture::TearDown();
    }

    // A fresh experiment built from the tree.
    void build() {
        base = std::make_unique<Base_>(nullptr);
        TreeBuilder_::build(*base, host);
    }

    // Builds, starts and waits for the end of the run.
    void run() {
        build();
        bool over = false;
        QObject::connect(base.get(), &Base_::runFinished, [&over] { over = true; });
        base->runExperiment();
        ASSERT_TRUE(processUntil([&over] { return over; }));
    }

    static std::vector<double> series(MeasurementNode_* node) {
        std::vector<double> values;
        Measurement_* m = node->Measurement;
        for (int s = 0; m && s < m->getCollected(); ++s)
            values.push_back(*static_cast<double*>(m->getSample(s, 0)));
        return values;
    }

    // Setup1 { Cavity1 { Loss (LinearLoss) }, Measurements { Energy } }
    void lossCavity(int roundtrips, const char* amount, const QString& when = "always") {
        setupNode = setup(host.setupTree, "Setup1", roundtrips);
        cavityNode = cavity(setupNode, "Cavity1");
        loss = element("Loss", "LinearLoss", {{"amount", amount}}, {cavityNode}).first();
        energy = measurement(measurements(setupNode), "Energy", "Energy(Cavity1%Pulse)", when);
    }

    std::unique_ptr<Base_> base;
    SetupNode_* setupNode = nullptr;
    CavityNode_* cavityNode = nullptr;
    ElementNode_* loss = nullptr;
    MeasurementNode_* energy = nullptr;
};

// The share of the energy a loss of `percent` keeps.
double lossFactor(double percent) { return 1 - percent / 100; }

// The kernel scales the field in single precision.
constexpr double ratioTolerance = 1e-6;

void expectRatios(const std::vector<double>& values, double factor) {
    for (size_t i = 1; i < values.size(); ++i)
        EXPECT_NEAR(values[i] / values[i - 1], factor, ratioTolerance) << "set " << i;
}

TEST_F(TreeRun, EveryRoundTripLosesTheElementsShareOfTheEnergy) {
    lossCavity(6, "10");
    run();
    const std::vector<double> values = series(energy);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_LT(values[0], 1e-7);
    expectRatios(values, lossFactor(10));
    EXPECT_EQ(setupNode->getParameter("Roundtrip")->getRealValue(nullptr), "7");
}

// Pulses measured every round trip outgrow the memory for measured data:
// collection stops, said once on the measurement's node with the sets kept,
// the kept pulses stay as they were and the run goes on to its end.
TEST_F(TreeRun, CollectionStopsWhenMemoryForMeasuredDataRunsOut) {
    MemoryBudget_::setLimitForTesting(64 * 1024);
    setupNode = setup(host.setupTree, "Setup1", 200);
    cavityNode = cavity(setupNode, "Cavity1");
    loss = element("Loss", "LinearLoss", {{"amount", "10"}}, {cavityNode}).first();
    MeasurementNode_* pulses = measurement(measurements(setupNode), "Pulses", "Cavity1%Pulse");
    run();
    EXPECT_EQ(setupNode->getParameter("Roundtrip")->getRealValue(nullptr), "201");
    Measurement_* m = pulses->Measurement;
    const int kept = m->getInMemory();
    EXPECT_FALSE(m->isCollecting());
    EXPECT_GT(kept, 5);
    EXPECT_LT(kept, 200);
    EXPECT_EQ(m->getCollected(), kept);
    int told = 0;
    for (int i = 0; Error_::getErrorCode(i) != -1; ++i)
        if (Error_::getErrorSource(i) == pulses &&
            Error_::getErrorMessage(i).contains("memory for measured data ran out")) {
            ++told;
            EXPECT_TRUE(Error_::getErrorMessage(i).contains("with " + QString::number(kept) + " sets kept"));
            EXPECT_EQ(Error_::getErrorCode(i), Error_::warning);
        }
    EXPECT_EQ(told, 1);
    std::vector<double> energies;
    for (int set = 0; set < kept; ++set)
        energies.push_back(optics::energy(*static_cast<Pulse_*>(m->getSample(set, nullptr))->get()));
    EXPECT_LT(energies[0], 1e-7);
    expectRatios(energies, lossFactor(10));
}

TEST_F(TreeRun, ConditionsGateMeasurementsAndElements) {
    lossCavity(5, "10", "Roundtrip==1");
    MeasurementNode_* all = measurement(measurements(setupNode), "All", "Energy(Cavity1%Pulse)");
    loss->getParameter("Condition")->setValue("Roundtrip>3");
    run();
    EXPECT_EQ(series(energy).size(), 1u);
    const std::vector<double> values = series(all);
    ASSERT_EQ(values.size(), 5u);
    expectRatios({values.begin(), values.begin() + 3}, 1.0);
    expectRatios({values.begin() + 3, values.end()}, lossFactor(10));
}

TEST_F(TreeRun, BoxCollectsOncePerPassAndGroupRepeatsItsMembers) {
    setupNode = setup(host.setupTree, "Setup1", 4);
    cavityNode = cavity(setupNode, "Cavity1");
    ElementGroupNode_* stack = group(cavityNode, "Stack", 3);
    element("Loss", "LinearLoss", {{"amount", "10"}}, {stack});
    element("Free", "Propagation", {{"d", "0"}, {"n", "1"}}, {stack});
    auto* box = add<MeasurementGroupNode_>(cavityNode, "Probe");
    MeasurementNode_* probe = measurement(box, "Energy", "Energy(Cavity1%Pulse)");
    run();
    // The group, its two members and the box, each once.
    Setup_* built = setupNode->Setup;
    ASSERT_EQ(built->getElements(), 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < i; ++j) EXPECT_NE(built->getElement(i), built->getElement(j));
    const std::vector<double> values = series(probe);
    ASSERT_EQ(values.size(), 4u);
    expectRatios(values, std::pow(lossFactor(10), 3));
}

TEST_F(TreeRun, LiveValueTakesEffectFromTheNextRoundTrip) {
    lossCavity(1000000, "1");
    build();
    LiveTreeParameter amount(loss->getParameter("amount"));
    base->runExperiment();
    ASSERT_TRUE(processUntil([this] { return energy->Measurement->getCollected() >= 5; }));
    setupNode->getAccessor()->write(QStringLiteral("2"), &amount);
    const int written = energy->Measurement->getCollected();
    ASSERT_TRUE(processUntil([&] { return energy->Measurement->getCollected() > written + 5; }));
    base->stopExperiment();
    ASSERT_TRUE(processUntil([this] { return !base->isRunning(); }));
    const std::vector<double> values = series(energy);
    size_t change = 1;
    while (change < values.size() &&
           std::abs(values[change] / values[change - 1] - lossFactor(1)) < ratioTolerance)
        ++change;
    EXPECT_GE(change, 5u);
    EXPECT_LE(change, static_cast<size_t>(written) + 5);
    for (size_t i = change; i < values.size() && values[i] > 0; ++i)
        EXPECT_NEAR(values[i] / values[i - 1], lossFactor(2), ratioTolerance) << "set " << i;
}

TEST_F(TreeRun, ResetUnbindsAndDeletedNodesAreNeverCalled) {
    lossCavity(3, "10");
    run();
    Parameter_* amount = loss->getParameter("amount");
    EXPECT_EQ(amount->getRealValue(nullptr).toDouble(), 10.0);
    delete energy;
    delete loss;
    delete cavityNode;
    base.reset();
    EXPECT_EQ(setupNode->getParameter("Samples")->getRealValue(nullptr),
              "Parameter has no data in Parameter_::getRealValue()");
    delete setupNode;

    lossCavity(3, "10");
    run();
    delete setupNode;
    base.reset();
}

TEST_F(TreeRun, StopBeforeTheThreadStartsHolds) {
    lossCavity(100000, "1");
    build();
    Setup_* built = setupNode->Setup;
    ASSERT_TRUE(built->ready());
    built->armRun();
    built->stop();
    built->start();
    built->wait();
    EXPECT_EQ(energy->Measurement->getCollected(), 0);
}

}  // namespace
