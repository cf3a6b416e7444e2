#include "core/elements/elementgroup.h"

#include <gtest/gtest.h>

#include "core/elements/mbox.h"
#include "tests/core/enginefakes.h"

namespace {

struct Group : ::testing::Test {
    Journal journal;
    FakeElement a{journal, "A"}, b{journal, "B"};
    ElementGroup_ group{nullptr, nullptr, 2};
    Pulse_* list[3] = {fakePulse(0), fakePulse(1), fakePulse(2)};
    void SetUp() override {
        group.setElement(0, &a, 1);
        group.setElement(1, &b, 1);
        group.setElement(2, &a, 1);  // outside the slots: ignored
    }
};

TEST_F(Group, RunsMembersInOrderPerIterationAndTheLastMemberGetsTheNotice) {
    group.setIterations(3);
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B", "A", "B", "A", "B"}));
    journal.clear();
    group.setIterations(2);
    group.lastCall();
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B!", "B", "A", "B!", "B"}));
    journal.clear();
    group.call(list, 1);  // the multi-pulse form gives no notice
    EXPECT_EQ(journal, (Journal{"A*1", "B*1", "A*1", "B*1"}));
    journal.clear();
    group.setIterations(0);
    group.call(fakePulse(0));
    group.call(list, 2);
    EXPECT_TRUE(journal.empty());
}

// One-pulse members take each pulse in turn; others only their own count.
TEST_F(Group, MultiPulsePassMatchesMembersByPulseCount) {
    ElementGroup_ mixed(nullptr, nullptr, 3);
    FakeElement three(journal, "T"), two(journal, "W");
    mixed.setElement(0, &three, 3);
    mixed.setElement(1, &a, 1);
    mixed.setElement(2, &two, 2);
    mixed.call(list, 3);
    EXPECT_EQ(journal, (Journal{"T*3", "A", "A", "A"}));
    EXPECT_EQ(a.pulses, (std::vector<Pulse_*>{list, list + 3}));
}

TEST_F(Group, UnmetConditionSkipsGroupsAndBoxes) {
    double met = 0;
    MBox_ box(nullptr, 1, nullptr);
    Measurement_* m = journalMeasurement(journal);
    box.addMeasurement(m);
    group.setCondition(whileNonZero(met));
    box.setCondition(whileNonZero(met));
    group.call(fakePulse(0));
    group.call(list, 2);
    box.call(fakePulse(0));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(m->getCollected(), 0);
    met = 1;
    box.call(list, 2);
    EXPECT_EQ(m->getCollected(), 1);
    group.setCondition(nullptr);  // the replaced condition is freed (the leak checker sees it otherwise)
}

// What the box holds is freed with it (the leak checker would see it otherwise).
TEST(MeasurementBox, FillsFreeSlotsAndCollectsInSlotOrder) {
    Journal journal;
    Measurement_ refused(nullptr, nullptr);
    MBox_ box(nullptr, 3, nullptr);
    Measurement_* m0 = journalMeasurement(journal);
    Measurement_* m1 = journalMeasurement(journal);
    EXPECT_EQ(box.addMeasurement(m0), 0);
    EXPECT_EQ(box.addMeasurement(m1), 1);
    box.call(fakePulse(0));
    box.lastCall();
    EXPECT_EQ(m0->getCollected(), 1);
    EXPECT_EQ(m1->getCollected(), 1);
    EXPECT_EQ(box.addMeasurement(journalMeasurement(journal)), 2);
    EXPECT_EQ(box.addMeasurement(&refused), -1);
    EXPECT_EQ(box.getMeasurement(3), nullptr);
    EXPECT_EQ(MBox_(nullptr, 0, nullptr).addMeasurement(&refused), -1);
}

}  // namespace
