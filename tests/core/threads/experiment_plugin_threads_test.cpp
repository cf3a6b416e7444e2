// An experiment run end to end on the setup threads: a cavity passing its
// pulse through a plug-in library, and three cavities meeting at a crystal.
#include <gtest/gtest.h>

#include <QLibrary>
#include <array>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "core/elements/dfgtime.h"
#include "core/elements/elementplugin.h"
#include "core/pulse.h"
#include "kernel/measures.h"
#include "tests/core/elementrigs.h"
#include "tests/core/setupfakes.h"
#include "tests/core/threads/runexperiment.h"

namespace {

double sumOfSquares(const Pulse_& p) {
    double sum = 0.0;
    for (int i = 0; i < p.getSamples(); ++i) sum += std::norm(p.getSample(i));
    return sum;
}

struct State {
    double power, t0;
    bool timeDomain;
    optics::complex_ centre;
};

State stateOf(const Pulse_& p) { return {sumOfSquares(p), p.t0(), p.domain(), p.getSample(p.getSamples() / 2)}; }

struct ExperimentRun : ::testing::Test {
    void SetUp() override { errortesting::reset(); }
    void TearDown() override { errortesting::reset(); }
};

TEST_F(ExperimentRun, PluginAndCrystalSetupsRunTheirRoundtripsSideBySide) {
    QLibrary library(QStringLiteral(PLS_TEST_PLUGIN));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    constexpr int pluginRoundtrips = 6, crystalRoundtrips = 8;
    constexpr double scale = 0.5, delay = 2e-13;

    std::vector<State> plugin;
    std::vector<std::array<double, 3>> energies;
    Pulse_* list[3];
    State start{};
    Measurement_* pluginPulses = nullptr;
    Measurement_* crystalEnergies[3] = {};
    FakeSetupNode pluginNode(1), crystalNode(2);
    Base_ base(nullptr);
    FunctionBuilder builder({
        [&](Base_* p) {
            auto* e = new ElementPlugin_(nullptr, nullptr, testPluginData(library));
            for (auto [i, v] : {std::pair{0, scale}, {1, delay}, {2, 1.0}}) e->setParameter(i, v);
            Setup_* setup = oneCavitySetup(p, &pluginNode, pluginRoundtrips, {e}, 1);
            Pulse_& pulse = *setup->getCavity(0)->getPulse();
            start = stateOf(pulse);
            pluginPulses = measurementOf(pulseCopy(pulse));
            setup->addMeasurement(pluginPulses);
            return setup;
        },
        [&](Base_* p) {
            auto* setup = new Setup_(3, 1, 3, p, &crystalNode);
            setup->setRoundtrips(crystalRoundtrips);
            setup->setSamples(256);
            auto* crystal = new DFGTime_(setup, nullptr);
            setup->addElement(crystal);
            for (Cavity_* c : mixingCavities(setup, *crystal, list)) setup->addCavity(c);
            energies.push_back({optics::energy(*list[0]->get()), optics::energy(*list[1]->get()),
                                optics::energy(*list[2]->get())});
            for (int i = 0; i < 3; ++i) {
                crystalEnergies[i] = measurementOf(pulseMeasure(Operation_::energy, *list[i]));
                setup->addMeasurement(crystalEnergies[i]);
            }
            return setup;
        },
    });
    base.buildExperiment(builder);
    runToEnd(base);
    for (int k = 0; k < pluginPulses->getInMemory(); ++k)
        plugin.push_back(stateOf(*static_cast<Pulse_*>(pluginPulses->getSample(k, nullptr))));
    for (int k = 0; k < crystalEnergies[0]->getInMemory(); ++k) {
        std::array<double, 3> row{};
        for (int i = 0; i < 3; ++i) row[i] = *static_cast<double*>(crystalEnergies[i]->getSample(k, nullptr));
        energies.push_back(row);
    }

    EXPECT_EQ(base.getTotalRoundtrip(), pluginRoundtrips + 1 + crystalRoundtrips + 1);
    for (const ErrorRow& row : listedErrors()) EXPECT_EQ(row.code, Error_::notice) << row.message.toStdString();
    for (FakeSetupNode* node : {&pluginNode, &crystalNode}) {
        const std::vector<int> status = node->status();
        EXPECT_TRUE(!status.empty() && status.back() == -1);  // the run's end reached the channel
    }

    // Every pass scales the samples, moves the grid origin and marks a spectrum.
    ASSERT_EQ(plugin.size(), static_cast<size_t>(pluginRoundtrips));
    for (int k = 1; k <= pluginRoundtrips; ++k) {
        const State& s = plugin[k - 1];
        const double factor = std::pow(scale, k);
        EXPECT_EQ(s.centre, start.centre * static_cast<float>(factor)) << k;
        EXPECT_NEAR(s.power / start.power, factor * factor, 1e-6 * factor * factor) << k;
        EXPECT_NEAR(s.t0, start.t0 + k * delay, 1e-6 * delay) << k;
        EXPECT_FALSE(s.timeDomain) << k;
    }

    // From nothing, the idler field gains the same step on every pass while
    // the pump hardly depletes, so its energy grows as the square of the
    // passes; each photon the pump loses makes one signal photon.
    Setup_* crystalSetup = base.getSetup(1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(crystalSetup->getCavity(i)->getRoundtrip(), crystalRoundtrips + 1) << i;
    ASSERT_EQ(energies.size(), static_cast<size_t>(crystalRoundtrips + 1));
    EXPECT_EQ(energies[0][2], 0.0);
    ASSERT_GT(energies[1][2], 0.0);
    for (int k = 2; k <= crystalRoundtrips; ++k)
        EXPECT_NEAR(energies[k][2] / (k * k * energies[1][2]), 1.0, 0.1) << k;
    const auto photons = [&](int i) {
        return std::abs(energies.back()[i] - energies.front()[i]) * mixingWavelength[i];
    };
    EXPECT_NEAR(photons(0) / photons(1), 1.0, 0.05);
}

}  // namespace
