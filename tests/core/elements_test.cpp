// The optical element kinds: their parameter tables over the kernel records
// and the physics each pass applies through them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/pulse.h"
#include "kernel/errorhandling.h"
#include "kernel/measures.h"
#include "tests/core/enginefakes.h"

namespace {

constexpr double c = 2.99e8;

std::unique_ptr<Pulse_> gaussian(double energy = 1e-15, int samples = 512) {
    auto p = std::make_unique<Pulse_>(samples, nullptr);
    p->createGaussian(100e-15, energy, 800e-9, nullptr);
    return p;
}

double energyOf(const Pulse_& p) { return optics::energy(*p.get()); }

bool sameSamples(const Pulse_& a, const Pulse_& b) {
    if (a.getSamples() != b.getSamples()) return false;
    for (int i = 0; i < a.getSamples(); ++i)
        if (a.getSample(i) != b.getSample(i)) return false;
    return a.t0() == b.t0() && a.domain() == b.domain();
}

struct ElementKinds : ::testing::Test {
    void SetUp() override {
        loggertesting::reset();
        errorhandling::testing::reset();
    }
    void TearDown() override { errorhandling::testing::reset(); }
};

struct Row {
    const char* name;
    const double* field;
};

void expectTable(CavityElement_& e, const std::vector<Row>& rows) {
    ASSERT_EQ(e.getParameters(), static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(*e.getParameterName(static_cast<int>(i)), rows[i].name);
        EXPECT_FALSE(e.getParameterDescription(static_cast<int>(i))->empty());
        if (rows[i].field) {
            EXPECT_EQ(e.getParameter(std::string(rows[i].name)), rows[i].field);
        }
    }
}

TEST_F(ElementKinds, TablesBindTheNamedFieldsOfTheKernelRecords) {
    Gain_ g(nullptr, nullptr);
    auto* pg = g.getpset();
    expectTable(g, {{"w", &pg->w}, {"R", &pg->r}, {"l", &pg->l}, {"sigma", &pg->sigma},
                    {"deltan0", &pg->deltan0}, {"sigmap", &pg->sigmap}, {"lambdap", &pg->lambdap},
                    {"T1", &pg->t1}, {"deltan", &pg->deltan}, {"recoverytime", &pg->recoverytime}});
    SaturableAbsorber_ a(nullptr, nullptr);
    auto* pa = a.getpset();
    expectTable(a, {{"w", &pa->w}, {"l", &pa->l}, {"Is", &pa->is}, {"loss", &pa->loss},
                    {"T1", &pa->t1}, {"deltan", &pa->deltan}, {"recoverytime", &pa->recoverytime}});
    GaussianFilter_ f(nullptr, nullptr);
    expectTable(f, {{"fwhm", &f.getpset()->fwhm}, {"mean", &f.getpset()->mean}});
    LinearLoss_ l(nullptr, nullptr);
    expectTable(l, {{"amount", nullptr}});
    Propagation_ p(nullptr, nullptr);
    expectTable(p, {{"d", nullptr}, {"n", nullptr}});

    // The record fields are lower-case; the table's names are matched exactly.
    EXPECT_EQ(g.getParameter(std::string("r")), nullptr);
    EXPECT_EQ(g.getParameter(std::string("t1")), nullptr);
    EXPECT_EQ(a.getParameter(std::string("is")), nullptr);
    EXPECT_EQ(p.getParameter(std::string("D")), nullptr);
    p.setParameter(0, 2.5);
    EXPECT_EQ(*static_cast<double*>(p.getParameter(std::string("d"))), 2.5);
}

TEST_F(ElementKinds, CodesIdsAndStartingFlags) {
    Gain_ g(nullptr, nullptr);
    SaturableAbsorber_ a(nullptr, nullptr);
    LinearLoss_ l(nullptr, nullptr);
    GaussianFilter_ f(nullptr, nullptr);
    Propagation_ p(nullptr, nullptr);
    EXPECT_EQ(g.getType(), 0);
    EXPECT_EQ(a.getType(), 1);
    EXPECT_EQ(l.getType(), 3);
    EXPECT_EQ(f.getType(), 4);
    EXPECT_EQ(p.getType(), 5);
    const int first = g.getId();
    EXPECT_EQ(g.getpset()->id, first);
    EXPECT_EQ(a.getpset()->id, first + 1);
    EXPECT_EQ(l.getId(), first + 2);
    EXPECT_EQ(f.getpset()->id, first + 3);
    EXPECT_EQ(p.getId(), first + 4);

    EXPECT_EQ(g.getpset()->firsttime, 1);
    EXPECT_EQ(g.getpset()->lasttime, 0);
    EXPECT_EQ(a.getpset()->firsttime, 1);
    EXPECT_EQ(a.getpset()->lasttime, 0);
    EXPECT_EQ(f.getpset()->gentlefilter, 0);
    EXPECT_EQ(f.getpset()->firsttime, 0);
    EXPECT_EQ(f.getpset()->lasttime, 0);
}

TEST_F(ElementKinds, LossScalesTheFieldByTheRootOfTheTransmission) {
    LinearLoss_ loss(nullptr, nullptr);
    auto p = gaussian();
    const Pulse_ before(*p);
    loss.call(p.get());  // amount 0
    EXPECT_TRUE(sameSamples(*p, before));
    loss.setParameter(0, 75.0);
    loss.call(p.get());
    for (int i = 0; i < p->getSamples(); i += 17)
        EXPECT_NEAR(std::abs(p->getSample(i)), 0.5 * std::abs(before.getSample(i)),
                    1e-6 * std::abs(before.getSample(p->getSamples() / 2)));
    loss.setParameter(0, 100.0);
    loss.call(p.get());
    EXPECT_EQ(energyOf(*p), 0.0);
}

TEST_F(ElementKinds, PropagationDelaysByTheOpticalPath) {
    Propagation_ prop(nullptr, nullptr);
    prop.setParameter(0, 0.0);
    prop.setParameter(1, 1.0);
    auto p = gaussian();
    const Pulse_ before(*p);
    prop.call(p.get());
    EXPECT_TRUE(sameSamples(*p, before));
    EXPECT_EQ(errorhandling::testing::errorcount(), 0);

    // A live edit through the bound address reaches the next pass.
    *static_cast<double*>(prop.getParameter(std::string("d"))) = 3.0;
    prop.setParameter(1, 1.5);
    prop.call(p.get());
    EXPECT_NEAR(p->t0() - before.t0(), 4.5 / c, 1e-20);
    EXPECT_EQ(errorhandling::testing::errorcount(), 0);
}

TEST_F(ElementKinds, FilterAppliesThePlainGaussianAroundItsMean) {
    auto p = gaussian();
    optics::tofrequency(*p->get());
    const Pulse_ spectrum(*p);
    const double F = optics::fwhm(*spectrum.get());
    ASSERT_GT(F, 0.0);
    GaussianFilter_ filter(nullptr, nullptr);
    // A quarter of the spectral width: the gentle rule would follow the pulse.
    filter.setParameter(0, F / 4);
    filter.setParameter(1, 0.3 * F);
    optics::totime(*p->get());
    filter.call(p.get());
    EXPECT_FALSE(p->domain());
    const double sigma = (F / 4) / 2.3548200130462646;
    const double peak = std::abs(spectrum.getSample(spectrum.getSamples() / 2));
    for (int i = 0; i < p->getSamples(); ++i) {
        const double x = p->x(i + 1) - 0.3 * F;
        const auto expected = spectrum.getSample(i) * static_cast<float>(std::exp(-x * x / (2 * sigma * sigma)));
        EXPECT_NEAR(std::abs(p->getSample(i) - expected), 0.0, 1e-5 * peak) << "sample " << i;
    }
}

// Weak pulse, no pump, a steady inversion: the field gains 1 + l*sigma*dn/2.
struct GainMedium : ElementKinds {
    Gain_ g{nullptr, nullptr};
    const double dn = 2e24;
    void SetUp() override {
        ElementKinds::SetUp();
        const std::vector<std::pair<const char*, double>> values = {
            {"w", 1e-4}, {"R", 0.0}, {"l", 0.01}, {"sigma", 1e-23}, {"deltan0", dn},
            {"sigmap", 0.0}, {"lambdap", 0.0}, {"T1", 1e-3}, {"deltan", dn}, {"recoverytime", 0.0}};
        for (auto& [name, value] : values) *static_cast<double*>(g.getParameter(std::string(name))) = value;
    }
};

TEST_F(GainMedium, WeakPulseGainsTheSmallSignalFactorAndAdvancesInTime) {
    auto p = gaussian();
    const Pulse_ before(*p);
    g.call(p.get());
    EXPECT_NEAR(energyOf(*p) / energyOf(before), 1.1 * 1.1, 1e-5);
    EXPECT_NEAR(p->t0() - before.t0(), 0.01 / c, 1e-20);
    EXPECT_EQ(g.getpset()->firsttime, 0);
    // The table shows the state the pass left.
    EXPECT_EQ(g.getParameter(9), before.t0());
    EXPECT_LT(g.getParameter(8), dn);
    EXPECT_GT(g.getParameter(8), dn * (1 - 1e-6));
}

TEST_F(GainMedium, EditedInversionTakesEffectOnTheNextPass) {
    auto p = gaussian();
    g.call(p.get());
    g.setParameter(4, 0.0);  // deltan0
    g.setParameter(8, 0.0);  // deltan
    const Pulse_ before(*p);
    g.call(p.get());
    for (int i = 0; i < p->getSamples(); ++i) ASSERT_EQ(p->getSample(i), before.getSample(i));
}

TEST_F(GainMedium, LastCallMarksTheRecordAndChangesNoPass) {
    Gain_ twin(nullptr, nullptr);
    for (int i = 0; i < g.getParameters(); ++i) twin.setParameter(i, g.getParameter(i));
    auto p = gaussian(), q = gaussian();
    g.lastCall();
    EXPECT_EQ(g.getpset()->lasttime, 1);
    g.call(p.get());
    twin.call(q.get());
    EXPECT_TRUE(sameSamples(*p, *q));
}

TEST_F(GainMedium, UnmetConditionLeavesPulseAndRecordAlone) {
    bool met = false;
    int destroyed = 0;
    g.setCondition(new FakeCondition(met, destroyed));
    auto p = gaussian();
    const Pulse_ before(*p);
    g.call(p.get());
    EXPECT_TRUE(sameSamples(*p, before));
    EXPECT_EQ(g.getpset()->firsttime, 1);
    EXPECT_EQ(g.getParameter(8), dn);
}

struct Absorber : ElementKinds {
    static void fill(SaturableAbsorber_& a) {
        const std::vector<std::pair<const char*, double>> values = {
            {"w", 1e-4}, {"l", 1e-3}, {"Is", 1e12}, {"loss", 0.3}, {"T1", 1.0}, {"deltan", 0.0},
            {"recoverytime", 0.0}};
        for (auto& [name, value] : values) *static_cast<double*>(a.getParameter(std::string(name))) = value;
    }
};

TEST_F(Absorber, UnsaturatedPassTransmitsExpMinusLoss) {
    SaturableAbsorber_ a(nullptr, nullptr);
    fill(a);
    auto p = gaussian();
    const Pulse_ before(*p);
    a.call(p.get());
    EXPECT_NEAR(energyOf(*p) / energyOf(before), std::exp(-0.3), 1e-5);
    EXPECT_NEAR(p->t0() - before.t0(), 1e-3 / c, 1e-20);
    EXPECT_EQ(a.getpset()->firsttime, 0);
    a.lastCall();
    EXPECT_EQ(a.getpset()->lasttime, 1);
}

TEST_F(Absorber, EditedInversionIsOverwrittenByEveryPass) {
    SaturableAbsorber_ edited(nullptr, nullptr), plain(nullptr, nullptr);
    fill(edited);
    fill(plain);
    auto p = gaussian(), q = gaussian();
    edited.call(p.get());
    plain.call(q.get());
    edited.setParameter(5, 1e30);
    edited.setParameter(6, -1.0);
    edited.call(p.get());
    plain.call(q.get());
    EXPECT_TRUE(sameSamples(*p, *q));
    EXPECT_EQ(edited.getParameter(5), plain.getParameter(5));
}

TEST_F(ElementKinds, MultiPulseCallActsOnTheFirstPulseOnly) {
    Gain_ g(nullptr, nullptr);
    SaturableAbsorber_ a(nullptr, nullptr);
    LinearLoss_ l(nullptr, nullptr);
    GaussianFilter_ f(nullptr, nullptr);
    Propagation_ p(nullptr, nullptr);
    for (auto [e, i, v] : std::vector<std::tuple<CavityElement_*, int, double>>{
             {&g, 2, 0.01}, {&g, 3, 1e-23}, {&g, 4, 1e24}, {&g, 7, 1e-3}, {&g, 8, 1e24}, {&g, 0, 1e-4},
             {&a, 0, 1e-4}, {&a, 1, 1e-3}, {&a, 2, 1e12}, {&a, 3, 0.3}, {&a, 4, 1.0},
             {&l, 0, 50.0}, {&f, 0, 1e13}, {&p, 0, 1.0}, {&p, 1, 1.0}})
        e->setParameter(i, v);
    for (CavityElement_* e : std::vector<CavityElement_*>{&g, &a, &l, &f, &p}) {
        SCOPED_TRACE(e->getType());
        auto p0 = gaussian(), p1 = gaussian(), p2 = gaussian();
        const Pulse_ untouched(*p1);
        Pulse_* list[] = {p0.get(), p1.get(), p2.get()};
        e->call(list, 3);
        EXPECT_FALSE(sameSamples(*p0, untouched));
        EXPECT_TRUE(sameSamples(*p1, untouched));
        EXPECT_TRUE(sameSamples(*p2, untouched));
    }
}

}  // namespace
