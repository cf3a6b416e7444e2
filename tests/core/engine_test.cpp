// Cavities, groups and boxes built in code with real elements: what the
// pulse undergoes over several round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/cavity.h"
#include "core/elements/elementgroup.h"
#include "core/elements/linearloss.h"
#include "core/elements/mbox.h"
#include "core/elements/propagation.h"
#include "core/pulse.h"
#include "kernel/measures.h"
#include "tests/core/enginefakes.h"

namespace {

constexpr double c = 2.99e8;

// Records the energy and time of a cavity's pulse each time its box is passed.
class PulseProbe : public Measurement_ {
public:
    explicit PulseProbe(Cavity_& cavity) : cavity(cavity) {}
    void collect() override {
        energy.push_back(optics::energy(*cavity.getPulse()->get()));
        time.push_back(cavity.getPulse()->t0());
    }
    void write(const int&) override {}
    Cavity_& cavity;
    std::vector<double> energy, time;
};

struct Engine : ::testing::Test {
    FakeSetup setup;
    void SetUp() override { loggertesting::reset(); }
};

TEST_F(Engine, GroupIterationsCompoundLossAndDelayEveryRoundTrip) {
    LinearLoss_ loss(nullptr, nullptr);
    Propagation_ path(nullptr, nullptr);
    loss.setParameter(0, 19.0);  // field x 0.9
    path.setParameter(0, 0.3);
    path.setParameter(1, 1.0);
    ElementGroup_ group(nullptr, nullptr, 2);
    group.setElement(0, &loss, 1);
    group.setElement(1, &path, 1);
    group.setIterations(2);
    MBox_ box(nullptr, 1, nullptr);

    Cavity_ cavity(2, &setup, nullptr);
    cavity.initPulseGaussian(100e-15, 1e-9, 800e-9);
    cavity.addElement(&group);
    cavity.addElement(&box);
    auto* probe = new PulseProbe(cavity);
    box.addMeasurement(probe);
    const double e0 = optics::energy(*cavity.getPulse()->get());
    const double t0 = cavity.getPulse()->t0();
    Cavity_* cavities[] = {&cavity};

    for (int k = 0; k < 4; ++k) ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 1, &cavity, nullptr));
    ASSERT_EQ(probe->energy.size(), 4u);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_NEAR(probe->energy[k - 1] / e0, std::pow(0.81, 2 * k), 1e-5) << k;
        EXPECT_NEAR(probe->time[k - 1] - t0, k * 2 * 0.3 / c, 1e-18) << k;
    }

    // A live edit of the bound value reaches the next pass.
    *static_cast<double*>(loss.getParameter(std::string("amount"))) = 0.0;
    ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 1, &cavity, nullptr));
    EXPECT_NEAR(probe->energy[4] / probe->energy[3], 1.0, 1e-6);
    EXPECT_EQ(cavity.getRoundtrip(), 6);
}

TEST_F(Engine, SharedRealElementActsOnTheFirstInputOnce) {
    LinearLoss_ loss(nullptr, nullptr);
    loss.setParameter(0, 19.0);
    Cavity_ A(1, &setup, nullptr), B(1, &setup, nullptr);
    A.initPulseGaussian(100e-15, 1e-9, 800e-9);
    B.initPulseGaussian(100e-15, 1e-9, 800e-9);
    Pulse_* list[] = {A.getPulse(), B.getPulse()};
    A.addElement(&loss, list, 2);
    B.addElement(&loss, list, 2);
    const double a0 = optics::energy(*A.getPulse()->get());
    const double b0 = optics::energy(*B.getPulse()->get());
    // B is the master: A fires each time, and B, carried to its end, wraps.
    Cavity_* cavities[] = {&A, &B};
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(Cavity_::completeRoundtrip(cavities, 2, &B, nullptr));
    EXPECT_NEAR(optics::energy(*A.getPulse()->get()) / a0, std::pow(0.81, 3), 1e-5);
    EXPECT_EQ(optics::energy(*B.getPulse()->get()), b0);
}

}  // namespace
