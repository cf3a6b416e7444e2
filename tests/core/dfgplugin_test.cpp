// The elements with three pulses (difference-frequency mixing) and the
// plug-in element driving a library loaded at run time.
#include <gtest/gtest.h>

#include <QLibrary>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/cavity.h"
#include "core/elements/dfgfrequency.h"
#include "core/elements/dfgtime.h"
#include "core/elements/elementplugin.h"
#include "core/pulse.h"
#include "kernel/errorhandling.h"
#include "kernel/measures.h"
#include "tests/core/elementrigs.h"
#include "tests/core/enginefakes.h"
#include "tests/core/fakes.h"
#include "tests/core/logcapture.h"

namespace {

template <typename T>
std::string text(const T& v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

struct Crystal : ::testing::Test {
    FakeSetup setup;
    std::vector<std::unique_ptr<Cavity_>> cavities;
    Pulse_* list[3];

    void SetUp() override { errorhandling::seterrormode(errorhandling::nowarn); }
    void TearDown() override { errorhandling::seterrormode(errorhandling::standard); }

    // Pump, signal and an empty idler, each in a cavity of its own holding only `e`.
    void build(CavityElement_& e, int samples = 256) {
        setup.samples = samples;
        cavities.clear();
        for (Cavity_* c : mixingCavities(&setup, e, list)) cavities.emplace_back(c);
    }
    std::vector<double> roundtrip() {
        Cavity_* ring[] = {cavities[0].get(), cavities[1].get(), cavities[2].get()};
        ::testing::internal::CaptureStdout();  // the kernel's diagnostics
        EXPECT_TRUE(Cavity_::completeRoundtrip(ring, 3, ring[0], nullptr));
        ::testing::internal::GetCapturedStdout();
        return {optics::energy(*list[0]->get()), optics::energy(*list[1]->get()), optics::energy(*list[2]->get())};
    }
};

// Wrong pulse counts are logged and mix nothing (a third pulse read from the
// two-entry list would be caught); the three cavities then exchange energy.
TEST_F(Crystal, CavitiesMeetingAtTheCrystalPassPumpPhotonsToSignalAndIdler) {
    DFGTime_ t(nullptr, nullptr);
    DFGFrequency_ f(nullptr, nullptr);
    for (auto [e, pset, name] : {std::tuple<CavityElement_*, elements::psetppln_*, std::string>{&t, t.getpset(), "DFGTime_"},
                                 {&f, f.getpset(), "DFGFrequency_"}}) {
        SCOPED_TRACE(name);
        build(*e);
        LogCapture log;
        Pulse_* two[] = {list[0], list[1]};
        e->call(two, 2);
        e->call(list[0]);
        const std::string written = log.take();
        EXPECT_EQ(written.substr(written.find("Internal")), "Internal Error in " + name + "::call(Pulse_** Pulse, int n)\n" +
                                                               "Internal Error in " + name + "::call(Pulse_* Pulse)\n");
        EXPECT_EQ(written.find(": Passing PPLNTime:\n") != std::string::npos, e == &t);
        EXPECT_EQ(pset->firsttime, 1);  // the kernel was never called

        const double before[] = {optics::energy(*list[0]->get()), optics::energy(*list[1]->get())};
        const std::vector<double> after = roundtrip();
        EXPECT_GT(after[2], 0.0);
        const double photonRatio =
            (before[0] - after[0]) * mixingWavelength[0] / ((after[1] - before[1]) * mixingWavelength[1]);
        EXPECT_NEAR(photonRatio, 1.0, 0.05);
        EXPECT_DOUBLE_EQ(pset->z, e == &f ? 1e-3 : 0.0);  // only the spectral pass counts distance
        *static_cast<double*>(e->getParameter(std::string("chi2"))) = 0.0;  // live, through the binding
        const std::vector<double> uncoupled = roundtrip();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(uncoupled[i], after[i], 1e-5 * after[0]) << i;
    }
}

// A 64-sample pulse has no position 128 and shows the bare label.
TEST_F(Crystal, TimeTraceShowsTheCrystalAndEachPulseBeforeAndAfterTheMixing) {
    for (int samples : {256, 64}) {
        DFGTime_ e(nullptr, nullptr);
        build(e, samples);
        std::string expected = "Passing PPLNTime:\nCalling PPLNTime:\n";
        auto state = [&](const char* heading) {
            expected += std::string(heading) + "\n  w: 0.0001\n  chi2: 2.5e-11\n  l: 0.001\n";
            for (int i = 0; i < 3; ++i) {
                const Pulse_& p = *list[i];
                expected += "  Pulse " + text(i) + ":\n    pupoi:" + text(list[i]) + "\n    pointer:" + text(p.get()) +
                            "\n    sample1:" + text(static_cast<double>(p.getSample(1).real())) + "\n    sample128:" +
                            (samples > 128 ? text(static_cast<double>(p.getSample(128).real())) : "") + "\n";
            }
        };
        state("  before ...");
        LogCapture log;
        e.call(list, 3);
        state("  after ...");
        std::string written = "\n" + log.take();
        const std::string number = written.substr(0, written.find(": ") + 2);  // "\n<writer>: "
        for (size_t at = 0; (at = written.find(number, at)) != std::string::npos;) written.replace(at, number.size(), "\n");
        EXPECT_EQ(written.substr(1), expected);
    }
}

struct Plugin : ::testing::Test {
    QLibrary library{QStringLiteral(PLS_TEST_PLUGIN)};
    pluginData d;
    FakeSetup setup;

    // The record the registry makes of the library.
    void SetUp() override {
        errortesting::reset();
        ASSERT_TRUE(library.load()) << library.errorString().toStdString();
        d = testPluginData(library);
    }
    void TearDown() override { errortesting::reset(); }
};

TEST_F(Plugin, CavityPassChangesSamplesAndGridAsTheLibraryDoes) {
    LogCapture log;
    ElementPlugin_ e(nullptr, nullptr, d);
    const std::string written = log.take();
    for (const char* line : {":   Setting pulses to :1\n", ":   Setting psetdParameters to :3\n", ":   Setting parameters to :3\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line;
    ASSERT_EQ(e.getParameters(), 3);
    EXPECT_EQ(*e.getParameterName(1), " delay");  // as the library spells it
    EXPECT_EQ(e.getParameter(2), 0.0);
    Cavity_ cavity(1, &setup, nullptr);
    cavity.initPulseGaussian(100e-15, 1e-9, 800e-9);
    cavity.addElement(&e);
    Pulse_& p = *cavity.getPulse();
    const Pulse_ before(p);
    Cavity_* ring[] = {&cavity};
    for (auto [i, v] : {std::pair{0, 0.5}, {1, 2e-12}, {2, 1.0}}) e.setParameter(i, v);
    ASSERT_TRUE(Cavity_::completeRoundtrip(ring, 1, &cavity, nullptr));
    for (int i = 0; i < p.getSamples(); ++i) ASSERT_EQ(p.getSample(i), before.getSample(i) * 0.5f) << i;
    EXPECT_DOUBLE_EQ(p.t0(), before.t0() + 2e-12);
    EXPECT_FALSE(p.domain());
    Pulse_* two[] = {&p, &p};
    e.call(two, 2);  // leaves the pulses alone
    EXPECT_EQ(p.getSample(p.getSamples() / 2), before.getSample(p.getSamples() / 2) * 0.5f);
    EXPECT_EQ(Error_::getErrorCode(0), -1);
}

// The pass is skipped, unnamed entries stay at zero, the user hears once.
TEST_F(Plugin, MissingFunctionsAndNamesAreReportedOnceAndNeverCalled) {
    const std::vector<std::tuple<void (*)(pluginData&), std::vector<std::string>, const char*>> cases = {
        {[](pluginData& x) { x.callSingle = nullptr; }, {"scale", " delay", "spectrum"}, "has no function callSingle"},
        {[](pluginData& x) { x.parameters = 4; }, {"scale", " delay", "spectrum", ""}, "does not name all of its 4"},
        {[](pluginData& x) { x.getParameterName = nullptr; }, {"", "", ""}, "does not name all of its 3"}};
    for (const auto& [spoil, names, message] : cases) {
        SCOPED_TRACE(message);
        errortesting::reset();
        pluginData spoilt = d;
        spoil(spoilt);
        LogCapture log;
        ElementPlugin_ e(nullptr, nullptr, spoilt);
        ASSERT_EQ(e.getParameters(), static_cast<int>(names.size()));
        for (int i = 0; i < e.getParameters(); ++i) {
            EXPECT_EQ(*e.getParameterName(i), names[i]);
            EXPECT_EQ(e.getParameter(i), 0.0);
        }
        Pulse_ p(64, nullptr);
        e.call(&p);
        e.call(&p);
        const std::vector<ErrorRow> rows = listedErrors();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(rows[0].message.startsWith(QStringLiteral("General Error: The plug-in \"TestScale\" ") + message));
        EXPECT_EQ(log.count(message), 1);
    }
}

}  // namespace
