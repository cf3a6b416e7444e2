#include "core/setup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/core/logcapture.h"
#include "tests/core/setupfakes.h"

namespace {

class SetupSlots : public ::testing::Test {
protected:
    void SetUp() override { errortesting::reset(); }
    void TearDown() override { errortesting::reset(); }
    Journal journal;
};

TEST_F(SetupSlots, AddFillsTheFirstFreeSlotAndAFullTableRefuses) {
    Setup_ setup(1, 2, 1, nullptr, nullptr);
    auto* a = new FakeElement(journal, "a");
    EXPECT_EQ(setup.addElement(a), 0);
    EXPECT_EQ(setup.addElement(new FakeElement(journal, "b")), 1);
    FakeElement extra(journal, "extra");
    EXPECT_EQ(setup.addElement(&extra), -1);
    EXPECT_EQ(setup.getElement(0), a);
    EXPECT_EQ(setup.getElement(2), nullptr);
    EXPECT_EQ(setup.getElement(-1), nullptr);
    Measurement_* m = journalMeasurement(journal);
    EXPECT_EQ(setup.addMeasurement(m), 0);
    Measurement_ spare(nullptr, nullptr);
    EXPECT_EQ(setup.addMeasurement(&spare), -1);
    Setup_ empty(0, 0, 0, nullptr, nullptr);
    EXPECT_EQ(empty.addElement(&extra), -1);
    EXPECT_EQ(empty.addMeasurement(&spare), -1);
    EXPECT_EQ(empty.getCavity(0), nullptr);

    // A cavity of the elements at listed indices.
    const int outside[] = {0, 2}, negative[] = {-1}, order[] = {1, 0, 1};
    EXPECT_EQ(setup.addCavity(order, 0), -1);
    EXPECT_EQ(setup.addCavity(outside, 2), -1);
    EXPECT_EQ(setup.addCavity(negative, 1), -1);
    EXPECT_EQ(setup.getCavity(0), nullptr);
    EXPECT_EQ(setup.addCavity(order, 3), 0);
    EXPECT_EQ(setup.addCavity(order, 1), -1) << "no free cavity slot";
    setup.setRoundtrips(1);
    setup.setSamples(64);
    setup.getCavity(0)->initPulseGaussian(1e-12, 1e-9, 800e-9);
    ASSERT_TRUE(setup.ready());
    // The one round trip is the last: the notice first, the passes in list order, the measurement.
    setup.roundtrip();
    EXPECT_EQ(withCollections(journal, {{m, "m"}}), (Journal{"b!", "a!", "b!", "b", "a", "b", "m"}));
}

TEST_F(SetupSlots, ReadyNeedsEveryCavityCompleteAndAtLeastOne) {
    FakeSetupNode node(1);
    Setup_ none(0, 0, 0, nullptr, &node);
    EXPECT_FALSE(none.ready());
    EXPECT_EQ(listedErrors(), (std::vector<ErrorRow>{{"General Error: Setup has no cavity", node.node(), Error_::error}}));

    // Two cavity slots, one filled: not ready, and no master is chosen.
    Setup_ half(2, 1, 0, nullptr, nullptr);
    half.addElement(new FakeElement(journal, "a"));
    auto* cavity = new Cavity_(1, &half, nullptr);
    cavity->addElement(half.getElement(0));
    half.addCavity(cavity);
    EXPECT_FALSE(half.ready());
    EXPECT_EQ(half.getRoundtrip(), 0);

    Setup_ gap(1, 0, 0, nullptr, nullptr);  // a cavity with an empty slot
    gap.addCavity(new Cavity_(2, &gap, nullptr));
    EXPECT_FALSE(gap.ready());
}

// A setup node whose children are the measurement group first and one cavity
// second, with one element and three measurements; every phase is journalled.
class TreeBuilder : public SetupBuilder_ {
public:
    explicit TreeBuilder(Journal& journal) : journal(journal) {}
    int getSetups() override { return 1; }
    Setup_* createSetup(int, Base_* base) override {
        journal.push_back("setup");
        auto* setup = new Setup_(1, 1, 3, base, nullptr);
        setup->setRoundtrips(7);
        return setup;
    }
    void addElements(int, Setup_* setup) override {
        journal.push_back("elements");
        setup->addElement(new FakeElement(journal, "e"));
    }
    int getChildren(int) override { return 2; }
    bool isCavity(int, int child) override { return child == 1; }
    void addCavity(int, int child, Setup_* setup) override {
        journal.push_back("cavity " + std::to_string(child));
        setup->addCavity(new Cavity_(1, setup, nullptr));
    }
    void link(int) override { journal.push_back("link"); }
    void addMeasurement(int, int j, Setup_* setup) override {
        journal.push_back("measurement " + std::to_string(j));
        setup->addMeasurement(journalMeasurement(journal));
    }

private:
    Journal& journal;
};

TEST_F(SetupSlots, TheBuildMakesElementsThenCavitiesThenLinksThenMeasurements) {
    LogCapture log;
    Base_ base(nullptr);
    log.take();
    TreeBuilder builder(journal);
    base.buildExperiment(builder);
    EXPECT_EQ(journal, (Journal{"setup", "elements", "cavity 1", "link", "measurement 0",
                                "measurement 1", "measurement 2"}));
    const std::string lines = log.take();
    const char* const expected[] = {
        "Building Experiment ...", "Allocating 1 setups.", "  Setup 0:",
        "    Cavities: 1, Elements: 1, Measurements: 3.",
        "    Setting number of roundtrips to 7.", "    Creating and adding Elements:",
        "    Creating and adding Cavities:", "      Adding Cavity 1.",
        "    Creating and adding Measurements:", "      Adding Measurement 0.",
        "      Adding Measurement 1.", "      Adding Measurement 2.",
        "Experiment build complete."};
    size_t at = 0;
    for (const char* line : expected) {
        const size_t found = lines.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in\n" << lines;
        at = found + 1;
    }
    EXPECT_EQ(lines.find("Adding Cavity 0"), std::string::npos);
    EXPECT_EQ(base.getTotalRoundtrips(), 7);
}

}  // namespace
