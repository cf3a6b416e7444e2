#include "core/elements/mbox.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/core/enginefakes.h"

namespace {

TEST(MeasurementBox, AddFillsFreeSlotsThenRefusesAndOwnsWhatItHolds) {
    Journal journal;
    int destroyed = 0;
    auto refused = std::make_unique<FakeMeasurement>(journal, "x", &destroyed);
    {
        MBox_ box(nullptr, 3, nullptr);
        auto* m1 = new FakeMeasurement(journal, "1", &destroyed);
        EXPECT_EQ(box.addMeasurement(new FakeMeasurement(journal, "0", &destroyed)), 0);
        EXPECT_EQ(box.addMeasurement(m1), 1);
        EXPECT_EQ(box.addMeasurement(new FakeMeasurement(journal, "2", &destroyed)), 2);
        EXPECT_EQ(box.addMeasurement(refused.get()), -1);
        EXPECT_EQ(box.getMeasurement(1), m1);
        EXPECT_EQ(box.getMeasurement(3), nullptr);
        EXPECT_EQ(box.getMeasurement(-1), nullptr);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 3);

    MBox_ none(nullptr, 0, nullptr);
    EXPECT_EQ(none.addMeasurement(refused.get()), -1);
    none.call(fakePulse(0));
    EXPECT_TRUE(journal.empty());
}

TEST(MeasurementBox, EveryPassCollectsEachHeldMeasurementInSlotOrder) {
    Journal journal;
    MBox_ box(nullptr, 3, nullptr);
    box.addMeasurement(new FakeMeasurement(journal, "m0"));
    box.addMeasurement(new FakeMeasurement(journal, "m1"));
    box.call(fakePulse(0));
    Pulse_* list[] = {fakePulse(0), fakePulse(1)};
    box.call(list, 2);
    box.lastCall();
    EXPECT_EQ(journal, (Journal{"m0", "m1", "m0", "m1"}));
}

TEST(MeasurementBox, ConditionGatesCollection) {
    Journal journal;
    bool met = false;
    int destroyed = 0;
    MBox_ box(nullptr, 1, nullptr);
    box.addMeasurement(new FakeMeasurement(journal, "m"));
    box.setCondition(new FakeCondition(met, destroyed));
    box.call(fakePulse(0));
    EXPECT_TRUE(journal.empty());
    met = true;
    box.call(fakePulse(0));
    EXPECT_EQ(journal, Journal{"m"});
}

}  // namespace
