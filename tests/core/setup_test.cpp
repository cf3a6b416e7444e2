#include "core/setup.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
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
    Setup_ setup(1, 3, 2, nullptr, nullptr);
    std::vector<CavityElement_*> made;
    for (int i = 0; i < 3; ++i) {
        made.push_back(new FakeElement(journal, std::to_string(i)));
        EXPECT_EQ(setup.addElement(made.back()), i);
    }
    auto extra = std::make_unique<FakeElement>(journal, "extra");
    EXPECT_EQ(setup.addElement(extra.get()), -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(setup.getElement(i), made[i]);
    EXPECT_EQ(setup.getElement(3), nullptr);
    EXPECT_EQ(setup.getElement(-1), nullptr);

    int destroyed = 0;
    EXPECT_EQ(setup.addMeasurement(new FakeMeasurement(journal, "m0", &destroyed)), 0);
    EXPECT_EQ(setup.addMeasurement(new FakeMeasurement(journal, "m1", &destroyed)), 1);
    FakeMeasurement spare(journal, "spare");
    EXPECT_EQ(setup.addMeasurement(&spare), -1);

    Setup_ empty(0, 0, 0, nullptr, nullptr);
    EXPECT_EQ(empty.addElement(extra.get()), -1);
    EXPECT_EQ(empty.addMeasurement(&spare), -1);
    EXPECT_EQ(empty.getCavity(0), nullptr);
}

TEST_F(SetupSlots, ACavityFromListedElementsNeedsValidIndicesAndAFreeSlot) {
    Setup_ setup(1, 2, 0, nullptr, nullptr);
    setup.addElement(new FakeElement(journal, "a"));
    setup.addElement(new FakeElement(journal, "b"));
    const int outside[] = {0, 2};
    const int negative[] = {-1};
    const int order[] = {1, 0, 1};
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
    // The one round trip is the last: the notice first, then the passes in list order.
    setup.roundtrip();
    EXPECT_EQ(journal, (Journal{"b!", "a!", "b!", "b", "a", "b"}));
}

TEST_F(SetupSlots, ReadyNeedsEveryCavityCompleteAndAtLeastOne) {
    FakeSetupNode node(1);
    Setup_ none(0, 0, 0, nullptr, &node);
    EXPECT_FALSE(none.ready());
    EXPECT_EQ(listedErrors(),
              (std::vector<ErrorRow>{{"General Error: Setup has no cavity", node.node(), Error_::error}}));

    // Two cavity slots, one filled: not ready, and no master is chosen.
    Setup_ half(2, 1, 0, nullptr, nullptr);
    half.addElement(new FakeElement(journal, "a"));
    auto* cavity = new Cavity_(1, &half, nullptr);
    cavity->addElement(half.getElement(0));
    half.addCavity(cavity);
    EXPECT_FALSE(half.ready());
    EXPECT_EQ(half.getRoundtrip(), 0);

    // A cavity with an empty slot.
    Setup_ gap(1, 0, 0, nullptr, nullptr);
    gap.addCavity(new Cavity_(2, &gap, nullptr));
    EXPECT_FALSE(gap.ready());
}

TEST_F(SetupSlots, DestructionFreesWhatTheSetupOwnsAndTellsItsNode) {
    FakeSetupNode node(1);
    int measurementsDestroyed = 0;
    {
        Setup_* setup =
            oneCavitySetup(nullptr, &node, 1, {new FakeElement(journal, "a")}, 1);
        setup->addMeasurement(new FakeMeasurement(journal, "m", &measurementsDestroyed));
        EXPECT_TRUE(setup->saveData());
        delete setup;
    }
    EXPECT_EQ(measurementsDestroyed, 1);
    EXPECT_EQ(node.disconnects, 1);
}

TEST_F(SetupSlots, TheDumpListsEverySlotAtTheGivenIndent) {
    LogCapture log;
    std::unique_ptr<Setup_> setup(
        oneCavitySetup(nullptr, nullptr, 1, {new FakeElement(journal, "a")}, 1));
    setup->addMeasurement(new FakeMeasurement(journal, "m"));
    log.take();
    setup->write(3);
    std::vector<std::string> lines;
    std::istringstream text(log.take());
    // Debug lines start with the writer's number and ": ".
    for (std::string line; std::getline(text, line);) lines.push_back(line.substr(line.find(": ") + 2));
    auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    for (const char* line : {"     Elements: 1", "     Cavities: 1", "     Measurements: 1",
                             "     Element 0: ", "     Cavity 0: ", "     Measurement 0: "})
        EXPECT_TRUE(has(line)) << line;
    EXPECT_EQ(lines.front().rfind("     Addr: 0x", 0), 0u) << lines.front();
}

}  // namespace
