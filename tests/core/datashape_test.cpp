#include "core/datashape.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/pulse.h"
#include "tests/core/logcapture.h"

namespace {

using T = DataType_;
using optics::complex_;

Pulse_** handles(void* block) { return static_cast<Pulse_**>(block); }

// Pulse k of a block of dimension d.
Pulse_* pulseOf(void* block, int d, int k) { return d == 1 ? static_cast<Pulse_*>(block) : handles(block)[k]; }

void fill(Pulse_& p, float tag) {
    for (int i = 0; i < p.getSamples(); ++i) *p.getSamplePointer(i) = complex_(tag, i);
}

TEST(DataShape, SizesFollowTheTypeAndTheExtents) {
    // setSizes: getSetSize(-1), (0), ..., (dimension + 1)
    const struct { T::type_ type; std::vector<int> extents; int total, base; std::vector<int> setSizes; } cases[] = {
        {T::doubleprecision, {3, 4}, 12, 8, {8, 8, 24, 96, 96}},
        {T::logical, {2, 3, 4}, 24, 1, {1, 1, 2, 6, 24, 24}},
        {T::complex, {}, 1, 8, {8, 8, 8}},
        {T::quadprecision, {3}, 3, static_cast<int>(sizeof(long double)), {}},
        {T::string, {4}, 4, -1, {-1, -1, -4, -4}},
        {T::pulse, {1024}, 1024, static_cast<int>(sizeof(Pulse_)), {}},
        {T::pulse, {1024, 3}, 3072, static_cast<int>(sizeof(void*)), {}},
    };
    for (const auto& c : cases) {
        const int d = static_cast<int>(c.extents.size());
        SCOPED_TRACE(T(c.type).getTypeString().toStdString() + " " + std::to_string(d));
        const DataShape_ s(c.type, d, c.extents.data());
        EXPECT_EQ(s.getTotalSamples(), c.total);
        EXPECT_EQ(s.getSize(), c.base);
        for (size_t n = 0; n < c.setSizes.size(); ++n) EXPECT_EQ(s.getSetSize(int(n) - 1), c.setSizes[n]) << n;
        EXPECT_EQ(s.getSubType(), c.type == T::pulse ? T::complex : c.type);
        EXPECT_EQ(d ? std::vector<int>(s.getSamples(), s.getSamples() + d) : std::vector<int>(), c.extents);
        void* block = s.allocateData();
        EXPECT_EQ(block == nullptr, c.base < 0);
        s.freeData(block);
    }
    const int e[] = {2, 2, 2};
    const DataShape_ scalar(T::integer, 0, nullptr), one(T::integer, 1, e), three(T::integer, 3, e);
    EXPECT_EQ(three.matchDimension(0, one), 2);
    EXPECT_EQ(one.matchDimension(2, three), 0);
    EXPECT_EQ(scalar.matchDimension(0, one), -1);
}

// Index (i0, i1, i2) of a 3 x 4 x 5 block is sample i0 + 3 i1 + 12 i2: the
// first index runs fastest, and the linear position reaches the same sample.
TEST(DataShape, IndexVectorsMatchTheLinearPosition) {
    const int e[] = {3, 4, 5};
    DataShape_ s(T::integer, 3, e);
    void* block = s.allocateData();
    for (int i2 = 0; i2 < 5; ++i2)
        for (int i1 = 0; i1 < 4; ++i1)
            for (int i0 = 0; i0 < 3; ++i0) {
                const int index[] = {i0, i1, i2};
                int32_t position = i0 + 3 * i1 + 12 * i2;
                ASSERT_EQ(s.getSample(index, block), static_cast<int32_t*>(block) + position);
                ASSERT_EQ(s.getSubSample(index, block), s.getSample(index, block));
                s.setSample(index, block, &position);
            }
    for (int i = 0; i < 60; ++i) ASSERT_EQ(*static_cast<int32_t*>(s.getSample(i, block)), i);
    s.freeData(block);
}

TEST(DataShape, CopiesOfBlocksAndShapesAreDeep) {
    std::vector<int> e = {4, 3};
    auto s = std::make_unique<DataShape_>(T::complex, 2, e.data());
    e[0] = 1;
    void* source = s->allocateData();
    for (int i = 0; i < 12; ++i) static_cast<complex_*>(source)[i] = complex_(i, -i);
    void* copy = s->copyData(source);
    void* target = s->allocateData();
    s->copyData(target, source);
    static_cast<complex_*>(source)[7] = complex_(99, 99);
    for (void* b : {copy, target})
        for (int i = 0; i < 12; ++i) ASSERT_EQ(static_cast<complex_*>(b)[i], complex_(i, -i));

    DataShape_ copied(*s), assigned(T::logical, 0, nullptr);
    assigned = *s;
    for (void* b : {source, copy, target}) s->freeData(b);
    s.reset();
    for (const DataShape_* c : {&copied, &assigned}) {
        EXPECT_EQ(c->getType(), T::complex);
        EXPECT_EQ(c->getSetSize(1), 32);
    }
}

// Pulse blocks: one pulse object for dimension 1, else handles of which
// i1 + s1 i2 picks one; i0 is the sample within the pulse.
TEST(DataShape, PulseIndexVectorsPickThePulseAndTheSample) {
    const int e[] = {8, 2, 3};
    DataShape_ s(T::pulse, 3, e), single(T::pulse, 1, e);
    void* block = s.allocateData();
    Pulse_** h = handles(block);
    for (int k = 0; k < 6; ++k) fill(*h[k], k);
    for (int i2 = 0; i2 < 3; ++i2)
        for (int i1 = 0; i1 < 2; ++i1)
            for (int i0 = 0; i0 < 8; ++i0) {
                const int index[] = {i0, i1, i2};
                const int k = i1 + 2 * i2;
                ASSERT_EQ(s.getSample(index, block), &h[k]);
                ASSERT_EQ(*static_cast<complex_*>(s.getSubSample(index, block)), complex_(k, i0));
            }
    for (int k : {-1, 0, 5, 6}) EXPECT_EQ(s.getSample(k, block), k >= 0 && k < 6 ? &h[k] : nullptr);
    s.freeData(block);

    block = single.allocateData();
    Pulse_* p = static_cast<Pulse_*>(block);
    EXPECT_EQ(p->getCavity(), nullptr);
    fill(*p, 3);
    complex_ z(-4, 4);
    for (int i0 : {-1, 0, 7, 8, 3}) {
        const int index[] = {i0, 1, 2};
        EXPECT_EQ(single.getSample(index, block), block);
        EXPECT_EQ(single.getSubSample(index, block), i0 >= 0 && i0 < 8 ? p->getSamplePointer(i0) : nullptr);
        if (i0 < 0 || i0 >= 8 || i0 == 3) single.setSubSample(index, block, &z);
    }
    EXPECT_EQ(single.getSample(1, block), nullptr);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p->getSample(i), i == 3 ? z : complex_(3, i));
    single.freeData(block);
}

// Copying a block or setting an entry copies the pulses; sharing one would
// free it twice.
TEST(DataShape, PulseCopiesAreDeep) {
    const int e[] = {16, 4};
    DataShape_ s(T::pulse, 2, e), single(T::pulse, 1, e);
    void* source = s.allocateData();
    for (int k = 0; k < 4; ++k) fill(*handles(source)[k], k);
    void* copy = s.copyData(source);
    Pulse_* const kept = handles(copy)[0];
    const int index[] = {0, 3};
    s.setSample(0, copy, s.getSample(index, source));
    EXPECT_EQ(handles(copy)[0], kept);
    for (int k = 0; k < 4; ++k) *handles(source)[k]->getSamplePointer(1) = complex_(-1, -1);
    s.freeData(source);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 16; ++i) ASSERT_EQ(handles(copy)[k]->getSample(i), complex_(k ? k : 3, i));
    s.freeData(copy);

    Pulse_ p(16, nullptr);
    fill(p, 9);
    void* c = single.copyData(&p);
    void* d = single.allocateData();
    single.setSample(nullptr, d, &p);
    *p.getSamplePointer(15) = complex_(-1, -1);
    for (void* b : {c, d}) {
        EXPECT_EQ(static_cast<Pulse_*>(b)->getSample(15), complex_(9, 15));
        single.freeData(b);
    }
}

// Blocks of unequal pulse sizes: the mismatch is reported, the target takes
// the source's samples and size, and its record stays where it is.
TEST(DataShape, MismatchedPulsesAreReportedAndCopiedWhole) {
    for (const auto& [to, from] : {std::pair{512, 1024}, std::pair{1024, 512}, std::pair{256, 256}}) {
        for (int d : {1, 2}) {
            SCOPED_TRACE(std::to_string(to) + " <- " + std::to_string(from) + " dimension " + std::to_string(d));
            LogCapture log;
            const int te[] = {to, 2}, se[] = {from, 2};
            DataShape_ targetShape(T::pulse, d, te), sourceShape(T::pulse, d, se);
            void* target = targetShape.allocateData();
            void* source = sourceShape.allocateData();
            const int n = d == 1 ? 1 : 2;
            for (int k = 0; k < n; ++k) fill(*pulseOf(source, d, k), k + 1);
            optics::pulse_* const record = pulseOf(target, d, n - 1)->get();
            targetShape.copyData(target, source);
            EXPECT_EQ(log.count("Pulse sizes are not matching in DataShape_::copyFromData()."), to == from ? 0 : n);
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(pulseOf(target, d, k)->getSamples(), from);
                for (int i = 0; i < from; ++i) ASSERT_EQ(pulseOf(target, d, k)->getSample(i), complex_(k + 1, i));
            }
            EXPECT_EQ(pulseOf(target, d, n - 1)->get(), record);
            targetShape.freeData(target);
            sourceShape.freeData(source);
        }
    }
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
            "FATAL in DataShape_::DataShape_: Attempt to create pulse of dimension " + std::to_string(d) + "\n");
    }
    // When the message limit swallows the fatal message, the process goes
    // on with a shape that holds no data.
    LogCapture log;
    Logger_::setMax(1);
    Logger_::staticLog("first", Logger_::normal);
    Logger_::staticLog("second", Logger_::normal);
    DataShape_ s(T::pulse, 0, nullptr);
    DataShape_ copy(s);
    Pulse_ p(4, nullptr);
    for (const DataShape_* shape : {&s, &copy}) {
        EXPECT_EQ(shape->allocateData(), nullptr);
        EXPECT_EQ(shape->copyData(&p), nullptr);
        EXPECT_EQ(shape->getSample(nullptr, &p), nullptr);
        EXPECT_EQ(shape->getSubSample(nullptr, &p), nullptr);
    }
}

}  // namespace
