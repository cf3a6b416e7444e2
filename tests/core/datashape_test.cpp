#include "core/datashape.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "core/pulse.h"
#include "tests/core/logcapture.h"

namespace {

using T = DataType_;
using optics::complex_;

const std::string mismatch = "Pulse sizes are not matching in DataShape_::copyFromData().";

std::ptrdiff_t offset(const void* address, const void* block) {
    return static_cast<const char*>(address) - static_cast<const char*>(block);
}

Pulse_** handles(void* block) { return static_cast<Pulse_**>(block); }

void fill(Pulse_& p, float tag) {
    for (int i = 0; i < p.getSamples(); ++i) *p.getSamplePointer(i) = complex_(tag, i);
}

TEST(DataShape, SizesFollowTheTypeAndTheExtents) {
    struct Case {
        T::type_ type;
        std::vector<int> extents;
        int total;
        int base;
        std::vector<int> setSizes;  // getSetSize(-1), (0), ..., (dimension + 1)
    } cases[] = {
        {T::doubleprecision, {3, 4}, 12, 8, {8, 8, 24, 96, 96}},
        {T::integer, {5, 7}, 35, 4, {4, 4, 20, 140, 140}},
        {T::logical, {2, 3, 4}, 24, 1, {1, 1, 2, 6, 24, 24}},
        {T::complex, {}, 1, 8, {8, 8, 8}},
        {T::quadprecision, {3}, 3, 16, {16, 16, 48, 48}},
        {T::string, {4}, 4, -1, {-1, -1, -4, -4}},
        {T::pulse, {1024}, 1024, static_cast<int>(sizeof(Pulse_)), {}},
        {T::pulse, {1024, 3}, 3072, static_cast<int>(sizeof(void*)), {}},
    };
    for (const auto& c : cases) {
        const int d = static_cast<int>(c.extents.size());
        SCOPED_TRACE(T(c.type).getTypeString().toStdString() + " " + std::to_string(d));
        const DataShape_ s(c.type, d, c.extents.data());
        EXPECT_EQ(s.getDimension(), d);
        EXPECT_EQ(s.getTotalSamples(), c.total);
        EXPECT_EQ(s.getSize(), c.base);
        for (std::size_t n = 0; n < c.setSizes.size(); ++n)
            EXPECT_EQ(s.getSetSize(static_cast<int>(n) - 1), c.setSizes[n]) << n - 1;
        EXPECT_EQ(s.getSubType(), c.type == T::pulse ? T::complex : c.type);
        if (d > 0) {
            ASSERT_NE(s.getSamples(), nullptr);
            EXPECT_EQ(std::vector<int>(s.getSamples(), s.getSamples() + d), c.extents);
        } else {
            EXPECT_EQ(s.getSamples(), nullptr);
        }
    }
}

TEST(DataShape, DimensionsAlignAtTheLast) {
    const int e[] = {2, 2, 2, 2};
    const DataShape_ scalar(T::integer, 0, nullptr), one(T::integer, 1, e), three(T::integer, 3, e);
    EXPECT_EQ(three.matchDimension(0, one), 2);
    EXPECT_EQ(three.matchDimension(1, three), 1);
    EXPECT_EQ(one.matchDimension(2, three), 0);
    EXPECT_EQ(scalar.matchDimension(0, one), -1);
}

// Every index vector of a 3 x 4 x 5 block lands on byte (i0 + 3 i1 + 12 i2)
// times the sample size: the first index runs fastest, and the linear
// position reaches the same sample.
TEST(DataShape, IndexVectorsMatchTheLinearPosition) {
    const int e[] = {3, 4, 5};
    DataShape_ s(T::integer, 3, e);
    void* block = s.allocateData();
    std::set<std::ptrdiff_t> seen;
    for (int i2 = 0; i2 < 5; ++i2)
        for (int i1 = 0; i1 < 4; ++i1)
            for (int i0 = 0; i0 < 3; ++i0) {
                const int index[] = {i0, i1, i2};
                const int32_t position = i0 + 3 * i1 + 12 * i2;
                ASSERT_EQ(offset(s.getSample(index, block), block), position * 4);
                ASSERT_EQ(s.getSubSample(index, block), s.getSample(index, block));
                int32_t value = 1000 + position;
                s.setSample(index, block, &value);
                seen.insert(position);
            }
    EXPECT_EQ(seen.size(), 60u);
    for (int i = 0; i < 60; ++i) {
        int32_t value;
        std::memcpy(&value, s.getSample(i, block), sizeof value);
        ASSERT_EQ(value, 1000 + i);
    }
    double twelve = 12;
    const int index[] = {2, 1};
    const int de[] = {3, 4};
    DataShape_ d(T::doubleprecision, 2, de);
    void* doubles = d.allocateData();
    EXPECT_EQ(offset(d.getSample(index, doubles), doubles), 40);
    d.setSample(5, doubles, &twelve);
    EXPECT_EQ(*static_cast<double*>(d.getSample(index, doubles)), 12);
    d.freeData(doubles);
    s.freeData(block);
}

TEST(DataShape, AScalarIsTheBlockStart) {
    const DataShape_ s(T::doubleprecision, 0, nullptr);
    EXPECT_EQ(s.getTotalSamples(), 1);
    void* block = s.allocateData();
    const int index[] = {5, 7};
    EXPECT_EQ(s.getSample(index, block), block);
    EXPECT_EQ(s.getSample(nullptr, block), block);
    EXPECT_EQ(s.getSubSample(index, block), block);
    s.freeData(block);
}

TEST(DataShape, PlainCopiesAreDeep) {
    const int e[] = {4, 3};
    DataShape_ s(T::complex, 2, e);
    void* source = s.allocateData();
    for (int i = 0; i < 12; ++i) static_cast<complex_*>(source)[i] = complex_(i, -i);
    void* copy = s.copyData(source);
    ASSERT_NE(copy, source);
    EXPECT_EQ(std::memcmp(copy, source, 12 * sizeof(complex_)), 0);
    static_cast<complex_*>(copy)[7] = complex_(99, 99);
    EXPECT_EQ(static_cast<complex_*>(source)[7], complex_(7, -7));

    void* target = s.allocateData();
    s.copyData(target, source);
    EXPECT_EQ(std::memcmp(target, source, 12 * sizeof(complex_)), 0);
    for (void* b : {source, copy, target}) s.freeData(b);
    s.freeData(nullptr);
}

TEST(DataShape, CopiedShapesKeepTheirOwnExtents) {
    std::vector<int> e = {6, 2};
    auto original = std::make_unique<DataShape_>(T::integer, 2, e.data());
    e[0] = 1;
    DataShape_ copy(*original);
    DataShape_ assigned(T::logical, 0, nullptr);
    assigned = *original;
    original.reset();
    for (const DataShape_* s : {&copy, &assigned}) {
        EXPECT_EQ(s->getType(), T::integer);
        EXPECT_EQ(s->getSamples()[0], 6);
        EXPECT_EQ(s->getTotalSamples(), 12);
        EXPECT_EQ(s->getSetSize(1), 24);
    }
}

TEST(DataShape, TypesWithoutSizeHoldNoData) {
    const int e[] = {4};
    for (T::type_ type : {T::string, T::undefined}) {
        DataShape_ s(type, 1, e);
        int32_t value = 1;
        EXPECT_EQ(s.allocateData(), nullptr);
        EXPECT_EQ(s.copyData(&value), nullptr);
        EXPECT_EQ(s.getSample(0, &value), nullptr);
        s.setSample(0, &value, &value);
        EXPECT_EQ(value, 1);
    }
}

// A one-dimensional pulse block is the pulse object itself: every index
// vector selects it, and i0 is the sample within it.
TEST(DataShape, OnePulseBlockIsThePulseItself) {
    const int e[] = {1024};
    DataShape_ s(T::pulse, 1, e);
    void* block = s.allocateData();
    Pulse_* p = static_cast<Pulse_*>(block);
    EXPECT_EQ(p->getSamples(), 1024);
    EXPECT_EQ(p->getCavity(), nullptr);
    for (int i0 : {0, 1, 511, 1023}) {
        const int index[] = {i0};
        EXPECT_EQ(s.getSample(index, block), block);
        EXPECT_EQ(s.getSubSample(index, block), p->getSamplePointer(i0));
    }
    EXPECT_EQ(s.getSample(0, block), block);
    EXPECT_EQ(s.getSample(1, block), nullptr);
    for (int outside : {-1, 1024, 5000}) {
        const int index[] = {outside};
        EXPECT_EQ(s.getSubSample(index, block), nullptr);
        complex_ z(1, 1);
        s.setSubSample(index, block, &z);
    }

    // One complex sample is written, its neighbours keep their values.
    fill(*p, 3);
    const int index[] = {100};
    complex_ z(-4, 4);
    s.setSubSample(index, block, &z);
    EXPECT_EQ(p->getSample(100), z);
    EXPECT_EQ(p->getSample(99), complex_(3, 99));
    EXPECT_EQ(p->getSample(101), complex_(3, 101));
    s.freeData(block);
}

// Higher pulse blocks hold handles: indices i1, i2, ... pick the pulse
// (i1 + s1 i2 + ...), i0 the sample within it.
TEST(DataShape, PulseHandlesAreSelectedByTheHigherIndices) {
    const int e[] = {8, 2, 3};
    DataShape_ s(T::pulse, 3, e);
    void* block = s.allocateData();
    Pulse_** h = handles(block);
    for (int k = 0; k < 6; ++k) {
        ASSERT_NE(h[k], nullptr);
        EXPECT_EQ(h[k]->getSamples(), 8);
        fill(*h[k], k);
    }
    for (int i2 = 0; i2 < 3; ++i2)
        for (int i1 = 0; i1 < 2; ++i1)
            for (int i0 = 0; i0 < 8; ++i0) {
                const int index[] = {i0, i1, i2};
                const int k = i1 + 2 * i2;
                ASSERT_EQ(s.getSample(index, block), &h[k]);
                ASSERT_EQ(s.getSubSample(index, block), h[k]->getSamplePointer(i0));
                ASSERT_EQ(*static_cast<complex_*>(s.getSubSample(index, block)), complex_(k, i0));
            }
    for (int k = 0; k < 6; ++k) EXPECT_EQ(s.getSample(k, block), &h[k]);
    EXPECT_EQ(s.getSample(6, block), nullptr);
    EXPECT_EQ(s.getSample(-1, block), nullptr);
    s.freeData(block);
}

TEST(DataShape, PulseCopiesAreDeep) {
    const int e[] = {16, 4};
    DataShape_ s(T::pulse, 2, e);
    void* source = s.allocateData();
    for (int k = 0; k < 4; ++k) fill(*handles(source)[k], k);
    void* copy = s.copyData(source);
    for (int k = 0; k < 4; ++k) {
        Pulse_* from = handles(source)[k];
        Pulse_* to = handles(copy)[k];
        ASSERT_NE(to, from);
        ASSERT_NE(to->getSamplePointer(0), from->getSamplePointer(0));
        for (int i = 0; i < 16; ++i) ASSERT_EQ(to->getSample(i), from->getSample(i));
    }
    *handles(copy)[2]->getSamplePointer(3) = complex_(-1, -1);
    EXPECT_EQ(handles(source)[2]->getSample(3), complex_(2, 3));
    s.freeData(source);
    EXPECT_EQ(handles(copy)[3]->getSample(15), complex_(3, 15));
    s.freeData(copy);

    const int one[] = {32};
    DataShape_ single(T::pulse, 1, one);
    Pulse_ p(32, nullptr);
    fill(p, 9);
    void* c = single.copyData(&p);
    EXPECT_NE(static_cast<Pulse_*>(c)->getSamplePointer(0), p.getSamplePointer(0));
    EXPECT_EQ(static_cast<Pulse_*>(c)->getSample(31), complex_(9, 31));
    single.freeData(c);
}

// Setting a pulse entry copies the pulse; sharing one would free it twice.
TEST(DataShape, SettingAPulseEntryCopiesThePulse) {
    const int e[] = {8, 2};
    DataShape_ s(T::pulse, 2, e);
    void* a = s.allocateData();
    void* b = s.allocateData();
    fill(*handles(b)[1], 5);
    Pulse_* const kept = handles(a)[0];
    const int index[] = {0, 1};
    s.setSample(0, a, s.getSample(index, b));
    EXPECT_EQ(handles(a)[0], kept);
    EXPECT_NE(handles(a)[0], handles(b)[1]);
    EXPECT_EQ(handles(a)[0]->getSample(7), complex_(5, 7));

    const int one[] = {8};
    DataShape_ single(T::pulse, 1, one);
    void* c = single.allocateData();
    Pulse_ p(8, nullptr);
    fill(p, 6);
    single.setSample(nullptr, c, &p);
    EXPECT_EQ(static_cast<Pulse_*>(c)->getSample(2), complex_(6, 2));
    EXPECT_NE(static_cast<Pulse_*>(c)->getSamplePointer(0), p.getSamplePointer(0));
    for (void* block : {a, b}) s.freeData(block);
    single.freeData(c);
}

// Blocks of unequal pulse sizes: the mismatch is reported, the target takes
// the source's samples and size, and its record stays where it is.
TEST(DataShape, MismatchedPulsesAreReportedAndCopiedWhole) {
    struct Case {
        int target;
        int source;
    } cases[] = {{512, 1024}, {1024, 512}, {256, 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.target) + " <- " + std::to_string(c.source));
        LogCapture log;
        const int te[] = {c.target, 2}, se[] = {c.source, 2};
        DataShape_ targetShape(T::pulse, 2, te), sourceShape(T::pulse, 2, se);
        void* target = targetShape.allocateData();
        void* source = sourceShape.allocateData();
        for (int k = 0; k < 2; ++k) fill(*handles(source)[k], k + 1);
        optics::pulse_* const record = handles(target)[1]->get();

        targetShape.copyData(target, source);
        EXPECT_EQ(log.count(mismatch), c.target == c.source ? 0 : 2);
        for (int k = 0; k < 2; ++k) {
            Pulse_* p = handles(target)[k];
            ASSERT_EQ(p->getSamples(), c.source);
            for (int i = 0; i < c.source; ++i) ASSERT_EQ(p->getSample(i), complex_(k + 1, i));
        }
        EXPECT_EQ(handles(target)[1]->get(), record);
        targetShape.freeData(target);
        sourceShape.freeData(source);
    }

    LogCapture log;
    const int small[] = {512}, large[] = {1024};
    DataShape_ s(T::pulse, 1, small);
    void* target = s.allocateData();
    Pulse_ source(large[0], nullptr);
    fill(source, 4);
    s.copyData(target, &source);
    EXPECT_EQ(log.count(mismatch), 1);
    EXPECT_EQ(static_cast<Pulse_*>(target)->getSample(1023), complex_(4, 1023));
    s.freeData(target);
}

// A first extent of 0 gives no division by zero: the pulses are made with
// the default size, and the handle count is s1.
TEST(DataShape, EmptyPulseExtentStillCountsPulses) {
    LogCapture log;
    const int e[] = {0, 3};
    DataShape_ s(T::pulse, 2, e);
    void* block = s.allocateData();
    EXPECT_EQ(log.count("ERROR: illegal initialization."), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(handles(block)[k]->getSamples(), 1024);
    const int index[] = {0, 2};
    EXPECT_EQ(s.getSubSample(index, block), handles(block)[2]->getSamplePointer(0));
    s.freeData(block);
}

TEST(DataShapeDeathTest, PulseShapeBelowDimensionOneIsFatal) {
    for (int d : {0, -2}) {
        EXPECT_EXIT(
            {
                Logger_::setOutStream(Logger_::lstderr);
                DataShape_ s(T::pulse, d, nullptr);
            },
            ::testing::ExitedWithCode(1),
            "FATAL in DataShape_::DataShape_: Attempt to create pulse of dimension " +
                std::to_string(d) + "\n");
    }
}

// When the message limit swallows the fatal message, the process goes on
// with a shape that holds no data.
TEST(DataShape, DroppedFatalLeavesAShapeWithoutData) {
    LogCapture log;
    Logger_::setMax(1);
    Logger_::staticLog("first", Logger_::normal);
    Logger_::staticLog("second", Logger_::normal);
    DataShape_ s(T::pulse, 0, nullptr);
    DataShape_ copy(s);
    for (const DataShape_* shape : {&s, &copy}) {
        EXPECT_EQ(shape->allocateData(), nullptr);
        Pulse_ p(4, nullptr);
        EXPECT_EQ(shape->copyData(&p), nullptr);
        EXPECT_EQ(shape->getSample(nullptr, &p), nullptr);
        EXPECT_EQ(shape->getSubSample(nullptr, &p), nullptr);
    }
}

}  // namespace
