// The optical element kinds: their parameter tables over the kernel records
// and the physics each pass applies through them, alone and in a cavity.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/cavity.h"
#include "core/elements/elementgroup.h"
#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/mbox.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/pulse.h"
#include "kernel/errorhandling.h"
#include "kernel/measures.h"
#include "tests/core/enginefakes.h"

namespace {

constexpr double c = 2.99e8;

std::unique_ptr<Pulse_> gaussian() {
    auto p = std::make_unique<Pulse_>(512, nullptr);
    p->createGaussian(100e-15, 1e-15, 800e-9, nullptr);
    return p;
}

double energyOf(const Pulse_& p) { return optics::energy(*p.get()); }

bool same(const Pulse_& a, const Pulse_& b) {
    for (int i = 0; i < a.getSamples(); ++i)
        if (a.getSample(i) != b.getSample(i)) return false;
    return a.t0() == b.t0() && a.domain() == b.domain();
}

struct Elements : ::testing::Test {
    void SetUp() override {
        loggertesting::reset();
        errorhandling::testing::reset();
    }
    void TearDown() override { errorhandling::testing::reset(); }
};

TEST_F(Elements, TablesBindTheRecordFieldsUnderCaseSensitiveNames) {
    Gain_ g(nullptr, nullptr);
    SaturableAbsorber_ a(nullptr, nullptr);
    LinearLoss_ l(nullptr, nullptr);
    GaussianFilter_ f(nullptr, nullptr);
    Propagation_ p(nullptr, nullptr);
    auto* pg = g.getpset();
    auto* pa = a.getpset();
    const std::vector<std::pair<CavityElement_*, std::vector<std::pair<const char*, const double*>>>> tables = {
        {&g, {{"w", &pg->w}, {"R", &pg->r}, {"l", &pg->l}, {"sigma", &pg->sigma}, {"deltan0", &pg->deltan0},
              {"sigmap", &pg->sigmap}, {"lambdap", &pg->lambdap}, {"T1", &pg->t1}, {"deltan", &pg->deltan},
              {"recoverytime", &pg->recoverytime}}},
        {&a, {{"w", &pa->w}, {"l", &pa->l}, {"Is", &pa->is}, {"loss", &pa->loss}, {"T1", &pa->t1},
              {"deltan", &pa->deltan}, {"recoverytime", &pa->recoverytime}}},
        {&f, {{"fwhm", &f.getpset()->fwhm}, {"mean", &f.getpset()->mean}}},
        {&l, {{"amount", nullptr}}},
        {&p, {{"d", nullptr}, {"n", nullptr}}}};
    for (auto& [e, rows] : tables) {
        ASSERT_EQ(e->getParameters(), static_cast<int>(rows.size()));
        for (int i = 0; i < e->getParameters(); ++i) {
            EXPECT_EQ(*e->getParameterName(i), rows[i].first);
            EXPECT_FALSE(e->getParameterDescription(i)->empty());
            e->setParameter(i, 10.0 + i);
            const void* bound = e->getParameter(std::string(rows[i].first));
            EXPECT_EQ(*static_cast<const double*>(bound), 10.0 + i);
            EXPECT_TRUE(!rows[i].second || bound == rows[i].second);
        }
    }
    for (const char* field : {"r", "t1"}) EXPECT_EQ(g.getParameter(std::string(field)), nullptr);
    EXPECT_EQ(a.getParameter(std::string("is")), nullptr);
    EXPECT_EQ(p.getParameter(std::string("D")), nullptr);

    EXPECT_EQ((std::vector<int>{g.getType(), a.getType(), l.getType(), f.getType(), p.getType()}),
              (std::vector<int>{0, 1, 3, 4, 5}));
    ElementGroup_ group(nullptr, nullptr, 1);
    MBox_ box(nullptr, 0, nullptr);
    const int ids[] = {pg->id, pa->id, l.getId(), f.getpset()->id, p.getId(), group.getId(), box.getId()};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ids[i], ids[0] + i) << i;  // construction order, across kinds
    EXPECT_EQ((std::vector<int>{pg->firsttime, pg->lasttime, pa->firsttime, pa->lasttime, f.getpset()->gentlefilter,
                                f.getpset()->firsttime, f.getpset()->lasttime}),
              (std::vector<int>{1, 0, 1, 0, 0, 0, 0}));
}

TEST_F(Elements, FilterAppliesThePlainGaussianAroundItsMean) {
    auto p = gaussian();
    optics::tofrequency(*p->get());
    const Pulse_ spectrum(*p);
    const double F = optics::fwhm(*spectrum.get());
    GaussianFilter_ filter(nullptr, nullptr);
    // A quarter of the spectral width: the gentle rule would follow the pulse.
    setParameters(filter, {{"fwhm", F / 4}, {"mean", 0.3 * F}});
    optics::totime(*p->get());
    filter.call(p.get());
    EXPECT_FALSE(p->domain());
    const double sigma = (F / 4) / 2.3548200130462646;
    for (int i = 0; i < p->getSamples(); ++i) {
        const double x = p->x(i + 1) - 0.3 * F;
        const auto expected = spectrum.getSample(i) * static_cast<float>(std::exp(-x * x / (2 * sigma * sigma)));
        ASSERT_NEAR(std::abs(p->getSample(i) - expected), 0.0, 1e-5 * std::abs(spectrum.getSample(256))) << i;
    }
}

// A weak pulse in an unpumped medium held at inversion 2e24: the field gains
// 1 + l*sigma*dn/2 = 1.1.
TEST_F(Elements, GainAmplifiesByTheSmallSignalFactorAndKeepsItsStateInTheTable) {
    Gain_ g(nullptr, nullptr);
    setParameters(g, {{"w", 1e-4}, {"l", 0.01}, {"sigma", 1e-23}, {"deltan0", 2e24}, {"T1", 1e-3}, {"deltan", 2e24}});
    auto p = gaussian();
    const Pulse_ before(*p);
    double met = 0;
    g.setCondition(whileNonZero(met));
    g.call(p.get());  // not met: pulse and record untouched
    EXPECT_TRUE(same(*p, before));
    EXPECT_EQ(g.getpset()->firsttime, 1);
    met = 1;
    g.lastCall();  // marks the record; the pass is the same
    EXPECT_EQ(g.getpset()->lasttime, 1);
    g.call(p.get());
    EXPECT_NEAR(energyOf(*p) / energyOf(before), 1.21, 1e-5);
    EXPECT_NEAR(p->t0() - before.t0(), 0.01 / c, 1e-20);
    EXPECT_EQ(g.getpset()->firsttime, 0);
    EXPECT_EQ(g.getParameter(9), before.t0());  // recoverytime
    EXPECT_LT(g.getParameter(8), 2e24);         // deltan, barely saturated
    EXPECT_GT(g.getParameter(8), 2e24 * (1 - 1e-6));

    setParameters(g, {{"deltan0", 0.0}, {"deltan", 0.0}});  // reaches the next pass
    const Pulse_ between(*p);
    g.call(p.get());
    for (int i = 0; i < p->getSamples(); ++i) ASSERT_EQ(p->getSample(i), between.getSample(i));
}

TEST_F(Elements, AbsorberTransmitsExpMinusLoss) {
    SaturableAbsorber_ a(nullptr, nullptr);
    setParameters(a, {{"w", 1e-4}, {"l", 1e-3}, {"Is", 1e12}, {"loss", 0.3}, {"T1", 1.0}});
    auto p = gaussian();
    const Pulse_ before(*p);
    a.call(p.get());
    EXPECT_NEAR(energyOf(*p) / energyOf(before), std::exp(-0.3), 1e-5);
    EXPECT_NEAR(p->t0() - before.t0(), 1e-3 / c, 1e-20);
    a.lastCall();
    EXPECT_EQ(a.getpset()->lasttime, 1);
}

// Loss scales the field by the root of the transmission, propagation delays
// by n*d/c; the group runs both twice per round trip.
TEST_F(Elements, GroupIterationsInACavityCompoundLossAndDelayEveryRoundTrip) {
    FakeSetup setup;
    LinearLoss_ loss(nullptr, nullptr);
    Propagation_ path(nullptr, nullptr);
    setParameters(loss, {{"amount", 19.0}});  // field x 0.9
    setParameters(path, {{"d", 0.2}, {"n", 1.5}});
    ElementGroup_ group(nullptr, nullptr, 2);
    group.setElement(0, &loss, 1);
    group.setElement(1, &path, 1);
    group.setIterations(2);
    MBox_ box(nullptr, 1, nullptr);
    Cavity_ cavity(2, &setup, nullptr);
    cavity.initPulseGaussian(100e-15, 1e-9, 800e-9);
    cavity.addElement(&group);
    cavity.addElement(&box);
    // Each pass of the box keeps a copy of the pulse.
    Measurement_* probe = measurementOf(pulseCopy(*cavity.getPulse()));
    box.addMeasurement(probe);
    const auto pulse = [probe](int k) { return static_cast<Pulse_*>(probe->getSample(k, nullptr)); };
    const double e0 = energyOf(*cavity.getPulse()), t0 = cavity.getPulse()->t0();
    Cavity_* cavities[] = {&cavity};
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 1, &cavity, nullptr));
        EXPECT_NEAR(energyOf(*pulse(k - 1)) / e0, std::pow(0.81, 2 * k), 1e-5) << k;
        EXPECT_NEAR(pulse(k - 1)->t0() - t0, k * 2 * 0.3 / c, 1e-18) << k;
    }
    setParameters(loss, {{"amount", 0.0}});  // a live edit reaches the next round trip
    ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 1, &cavity, nullptr));
    EXPECT_NEAR(energyOf(*pulse(4)) / energyOf(*pulse(3)), 1.0, 1e-6);
    setParameters(loss, {{"amount", 100.0}});
    ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 1, &cavity, nullptr));
    EXPECT_EQ(energyOf(*pulse(5)), 0.0);
    EXPECT_EQ(errorhandling::testing::errorcount(), 0);
}

}  // namespace
