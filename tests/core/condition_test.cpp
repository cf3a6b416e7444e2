// Conditions: comparison operand order, logic short-circuit, and the
// comparison and logic texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/core/logcapture.h"
#include "tests/core/measurementfakes.h"

namespace {

using T = DataType_;
using K = Operation_;

Operation_* constantOf(double v) {
    Operation_* op = scalar(K::copy, T::doubleprecision);
    op->setParameter(0, v);
    return op;
}

Operation_* constantOf(int v) {
    Operation_* op = scalar(K::copy, T::integer);
    op->setParameter(0, v);
    return op;
}

template <typename V>
Condition_* comparison(V left, const char* text, V right) {
    auto* c = new Condition_;
    c->setComparison(constantOf(left), constantOf(right), Condition_::getComparisonType(text), 0, nullptr);
    return c;
}

// Never met, and logs the internal error at every evaluation: counts evaluations.
Condition_* counted() { return comparison(1, "=<", 1); }

constexpr const char* internal = "Internal error in Condition_::isMet()";

TEST(Conditions, TheTextsLeftOperandIsTheFirstOfTheComparison) {
    struct Row {
        double left;
        const char* op;
        double right;
        bool met;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Row rows[] = {{2, "<", 3, true},    {2, ">", 3, false},     {3, ">", 2, true},       {0.1, ">=", 0.1, true},
                        {0.1, "==", 0.1, true}, {0.1, "<=", 0.2, true}, {0.3, "<=", 0.2, false}, {1, "!=", 2, true},
                        {2, "!=", 2, false},  {nan, "==", nan, false}, {nan, "!=", 1, false}, {nan, "<", 1, false},
                        // Equal operands: met by exactly the comparisons that include equality.
                        {3, ">", 3, false},   {3, "<", 3, false},     {3, "==", 3, true},      {3, "!=", 3, false},
                        {0.2, "<=", 0.2, true}, {0.2, ">=", 0.2, true}, {0.2, "==", 0.2, true}, {0.2, "!=", 0.2, false},
                        {0.2, "<", 0.2, false}, {0.2, ">", 0.2, false}};
    for (const Row& r : rows) {
        std::unique_ptr<Condition_> c(comparison(r.left, r.op, r.right));
        EXPECT_EQ(c->isMet(), r.met) << r.left << r.op << r.right;
        // Whole numbers compare the same as integers.
        if (r.left != std::trunc(r.left) || r.right != std::trunc(r.right)) continue;
        std::unique_ptr<Condition_> integers(comparison(int(r.left), r.op, int(r.right)));
        EXPECT_EQ(integers->isMet(), r.met) << "integers " << r.left << r.op << r.right;
    }
}

TEST(Conditions, RoundtripEqualsOneMeetsOnlyThere) {
    int32_t roundtrip = 0;
    Operation_* rt = scalar(K::copy, T::integer);
    FakeParameter p = integerParameter(roundtrip);
    rt->setParameter(0, &p);
    Condition_ c;
    c.setComparison(rt, constantOf(1), Condition_::EQUAL, 0, nullptr);
    std::vector<int> met;
    for (roundtrip = 0; roundtrip < 4; ++roundtrip)
        if (c.isMet()) met.push_back(roundtrip);
    EXPECT_EQ(met, std::vector<int>{1});
}

TEST(Conditions, AndOrEvaluateTheSecondOnlyWhenNeeded) {
    LogCapture log;
    struct Row {
        Condition_::logic_ logic;
        bool firstMet;
        bool met;
        int secondEvaluations;
    };
    const Row rows[] = {{Condition_::OR, true, true, 0},
                        {Condition_::OR, false, false, 1},
                        {Condition_::AND, false, false, 0},
                        {Condition_::AND, true, false, 1}};
    for (const Row& r : rows) {
        Condition_ c;
        c.setLogic(comparison(1, r.firstMet ? "==" : "<", 1), counted(), r.logic, 0, nullptr);
        log.take();
        EXPECT_EQ(c.isMet(), r.met);
        EXPECT_EQ(log.count(internal), r.secondEvaluations) << r.logic << r.firstMet;
    }
    // A logic condition missing a child is not met and follows nothing.
    Condition_ half;
    half.setLogic(comparison(1, "==", 1), nullptr, Condition_::AND, 0, nullptr);
    EXPECT_FALSE(half.isMet());
}

TEST(Conditions, CompletedConditionKeepsItsOperandsAndCopiesDeeply) {
    Condition_ c;
    const int samples[] = {4, 2};
    c.setComparison(constantOf(1), constantOf(2), Condition_::SMALLER, 2, samples);
    Operation_ spare1(K::copy, T(T::integer), 0, nullptr), spare2(K::copy, T(T::integer), 0, nullptr);
    c.setComparison(&spare1, &spare2, Condition_::GREATER, 0, nullptr);  // only the shape changes
    EXPECT_TRUE(c.isMet());
    EXPECT_EQ(c.getDimension(), 0);
    EXPECT_EQ(c.getSamples(0), -1);
    Condition_ copy(c);
    EXPECT_NE(copy.getRHS(), c.getRHS());
    EXPECT_TRUE(copy.isMet());
}

TEST(Conditions, TextsAreExactAndCaseSensitive) {
    EXPECT_EQ(Condition_::getComparisonType("=="), Condition_::EQUAL);
    EXPECT_EQ(Condition_::getComparisonType(">="), Condition_::GREATEROREQUAL);
    EXPECT_EQ(Condition_::getComparisonType("!="), Condition_::NOTEQUAL);
    EXPECT_EQ(Condition_::getComparisonType("=<"), Condition_::undefinedComparison);
    EXPECT_EQ(Condition_::getLogicType(".OR."), Condition_::OR);
    EXPECT_EQ(Condition_::getLogicType(".and."), Condition_::undefinedLogic);
    LogCapture log;
    std::unique_ptr<Condition_> undefined(counted());
    EXPECT_FALSE(undefined->isMet());
    EXPECT_FALSE(undefined->isMet());
    EXPECT_EQ(log.count(internal), 2);
}

}  // namespace
