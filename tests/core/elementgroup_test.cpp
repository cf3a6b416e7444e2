#include "core/elements/elementgroup.h"

#include <gtest/gtest.h>

#include "tests/core/enginefakes.h"

namespace {

struct Group : ::testing::Test {
    Journal journal;
    FakeElement a{journal, "A"};
    FakeElement b{journal, "B"};
    FakeElement c{journal, "C"};
    ElementGroup_ group{nullptr, nullptr, 2};

    void SetUp() override {
        group.setElement(0, &a, 1);
        group.setElement(1, &b, 1);
    }
};

TEST_F(Group, RunsMembersInOrderForEveryIteration) {
    group.setIterations(3);
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B", "A", "B", "A", "B"}));
    for (Pulse_* p : a.pulses) EXPECT_EQ(p, fakePulse(0));
}

TEST_F(Group, ZeroIterationsDoNothing) {
    group.setIterations(0);
    group.call(fakePulse(0));
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    group.call(list, 2);
    EXPECT_TRUE(journal.empty());
}

TEST_F(Group, AfterItsLastCallOnlyTheLastMemberIsNotifiedBeforeEachCall) {
    group.setIterations(2);
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B", "A", "B"}));  // nothing before the notice
    journal.clear();
    group.lastCall();
    EXPECT_TRUE(journal.empty());  // the notice itself reaches no member
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B!", "B", "A", "B!", "B"}));
}

TEST_F(Group, MultiPulsePassMatchesMembersByPulseCount) {
    ElementGroup_ mixed(nullptr, nullptr, 3);
    FakeElement three(journal, "T");
    FakeElement two(journal, "W");
    mixed.setElement(0, &three, 3);
    mixed.setElement(1, &a, 1);
    mixed.setElement(2, &two, 2);
    Pulse_* list[] = {fakePulse(0), fakePulse(1), fakePulse(2)};
    mixed.call(list, 3);
    EXPECT_EQ(journal, (Journal{"T*3", "A", "A", "A"}));
    EXPECT_EQ(three.lists.at(0), (std::vector<Pulse_*>{fakePulse(0), fakePulse(1), fakePulse(2)}));
    EXPECT_EQ(a.pulses, (std::vector<Pulse_*>{fakePulse(0), fakePulse(1), fakePulse(2)}));
    EXPECT_TRUE(two.lists.empty());
}

TEST_F(Group, OnePulseListGivesAOnePulseMemberOneCall) {
    Pulse_* list[] = {fakePulse(3)};
    group.call(list, 1);
    EXPECT_EQ(journal, (Journal{"A*1", "B*1"}));
    EXPECT_EQ(a.lists.at(0), std::vector<Pulse_*>{fakePulse(3)});
}

TEST_F(Group, MultiPulsePassIgnoresTheLastCallNotice) {
    group.lastCall();
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    group.call(list, 2);
    EXPECT_EQ(journal, (Journal{"A", "A", "B", "B"}));
}

TEST_F(Group, SetElementOutsideTheSlotsChangesNothing) {
    group.setElement(2, &c, 1);
    group.setElement(-1, &c, 1);
    group.call(fakePulse(0));
    EXPECT_EQ(journal, (Journal{"A", "B"}));
    EXPECT_EQ(group.getElements(), 2);
}

TEST_F(Group, UnmetConditionSkipsBothForms) {
    bool met = false;
    int destroyed = 0;
    group.setCondition(new FakeCondition(met, destroyed));
    CapturedLog log(Logger_::debugD);
    group.call(fakePulse(0));
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    group.call(list, 2);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(log.text(), "");
}

TEST_F(Group, MultiPulsePassTracesAtDebugD) {
    CapturedLog log(Logger_::debugD);
    group.setIterations(0);
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    group.call(list, 2);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Passing ElementGroup:",
                                                     "Iterations:0, Elements:2",
                                                     "Leaving ElementGroup:"}));
}

TEST(GroupIterations, CompleteWhenEveryCountReachesTheTarget) {
    const int counts[] = {3, 4, 2};
    EXPECT_TRUE(ElementGroup_::iterationComplete(counts, 0, 10));
    EXPECT_TRUE(ElementGroup_::iterationComplete(counts, 2, 3));
    EXPECT_FALSE(ElementGroup_::iterationComplete(counts, 3, 3));
    EXPECT_TRUE(ElementGroup_::iterationComplete(counts, 3, 2));
}

}  // namespace
