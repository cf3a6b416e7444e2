// Measurements: gating, one independent set per collection, access by set
// and index, clearing, and ownership of what they are given.
#include <gtest/gtest.h>

#include "tests/core/measurementfakes.h"

namespace {

using T = DataType_;
using K = Operation_;

// Collects the value of `counter` read in place.
Measurement_* counting(int32_t& counter, FakeMeasurementNode* node = nullptr) {
    Operation_* op = scalar(K::copy, T::integer);
    FakeParameter p = integerParameter(counter);
    op->setParameter(0, &p);
    auto* m = new Measurement_(nullptr, node);
    m->setOperation(op);
    return m;
}

std::vector<int> sets(Measurement_& m) {
    std::vector<int> values;
    for (int k = 0; k < m.getInMemory(); ++k) values.push_back(*static_cast<int32_t*>(m.getSample(k, nullptr)));
    return values;
}

TEST(Measurements, WithoutAConditionEveryCallCollectsAnIndependentSet) {
    int32_t roundtrip = 0;
    std::unique_ptr<Measurement_> m(counting(roundtrip));
    for (roundtrip = 1; roundtrip <= 10; ++roundtrip) m->collect();
    EXPECT_EQ(m->getCollected(), 10);
    EXPECT_EQ(sets(*m), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(m->getSample(-1, nullptr), nullptr);
    EXPECT_EQ(m->getSample(10, nullptr), nullptr);
    EXPECT_EQ(m->getSample(10, 0), nullptr);
    EXPECT_EQ(*static_cast<int32_t*>(m->getSample(3, 0)), 4);

    m->clear(1);
    EXPECT_EQ(sets(*m), (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10}));
    m->clear(42);
    m->clear();
    EXPECT_EQ(m->getInMemory(), 0);
    EXPECT_EQ(m->getCollected(), 10);  // the count of collections stays
}

TEST(Measurements, TheConditionGatesTheCollection) {
    int32_t roundtrip = 0;
    std::unique_ptr<Measurement_> m(counting(roundtrip));
    Operation_* rt = scalar(K::copy, T::integer);
    FakeParameter p = integerParameter(roundtrip);
    rt->setParameter(0, &p);
    Operation_* one = scalar(K::copy, T::integer);
    one->setParameter(0, 1);
    auto* c = new Condition_;
    c->setComparison(rt, one, Condition_::EQUAL, 0, nullptr);
    m->setCondition(c);
    Condition_ other;
    m->setCondition(&other);  // the first condition stays
    EXPECT_EQ(m->getCondition(), c);
    for (roundtrip = 0; roundtrip < 5; ++roundtrip) m->collect();
    EXPECT_EQ(sets(*m), std::vector<int>{1});
    EXPECT_EQ(m->getCollected(), 1);

    double never = 0;
    Measurement_ empty(nullptr, nullptr);
    empty.setOperation(scalar(K::copy, T::integer));
    empty.setCondition(whileNonZero(never));
    empty.collect();
    EXPECT_EQ(empty.getSample(0, nullptr), nullptr);
}

TEST(Measurements, PulseSetsAreCopiesAndTheNodeLearnsOfTheEnd) {
    FakeMeasurementNode node(5);
    auto pulse = std::make_unique<Pulse_>(64, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    {
        Measurement_ m(nullptr, &node);
        Operation_* op = pulseCopy(*pulse);
        m.setOperation(op);
        Operation_* second = scalar(K::copy, T::integer);
        m.setOperation(second);  // not kept, but reports to this measurement
        EXPECT_EQ(m.getOperation(), op);
        EXPECT_EQ(second->getMeasurement(), &m);
        delete second;
        m.collect();
        *pulse->getSamplePointer(32) = optics::complex_(0, 0);
        m.collect();
        const auto set = [&m](int k) { return static_cast<Pulse_*>(m.getSample(k, nullptr)); };
        EXPECT_NE(set(0)->getSample(32), optics::complex_(0, 0));
        EXPECT_EQ(set(1)->getSample(32), optics::complex_(0, 0));
        EXPECT_EQ(node.unlinked, 0);
    }
    EXPECT_EQ(node.unlinked, 1);
}

}  // namespace
