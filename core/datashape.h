#pragma once
// An n-dimensional array of typed samples and the raw blocks that hold such
// arrays. The shape owns no block: holders keep a shape beside each block and
// hand it in; a block is released by freeData of an equal shape.
//
// A sample's position is i0 + i1*s0 + i2*s0*s1 + ... (s the extents): the
// first index runs fastest. Pulse shapes hold pulses of s0 samples: one pulse
// object for dimension 1, an array of handles to s1*s2*... pulses above; in
// their index vectors i0 is the sample within the pulse and the remaining
// indices select the pulse.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/datatype.h"
#include "logger.h"

class Pulse_;

class DataShape_ : public Logger_ {
public:
    // A pulse shape below dimension 1 is fatal; when the message limits let
    // the process go on, the shape holds no data.
    DataShape_(DataType_ const& type, int const& dimension, int const* extents);
    DataShape_(DataShape_ const& other);
    DataShape_& operator=(DataShape_ const& other) = default;

    DataType_ getType() const { return Type; }
    int getDimension() const { return dimension; }
    // The extents, or null for a scalar.
    int const* getSamples() const { return samples.empty() ? nullptr : samples.data(); }
    int getTotalSamples() const { return totalSamples; }
    // The type of one element: complex for pulse shapes.
    DataType_ getSubType() const;
    // Bytes per entry of a block; -1 for types that hold no data.
    int getSize() const { return baseSampleSize; }
    // Bytes spanned by the first n dimensions (getSize() for n <= 0).
    int getSetSize(int n) const;
    // The number, in this shape, of dimension d of `other` when the two are
    // aligned at their last dimensions.
    int matchDimension(int const& d, DataShape_ const& other) const;

    // The entry an index vector selects (a null index is the origin): the
    // sample, or for pulse shapes the pulse object (dimension 1) or its handle.
    // Null for a null block or a shape without data.
    void* getSample(int const* index, void* block) const;
    // Entry i of the block counted linearly; for pulse shapes i counts pulses,
    // and an i outside the block gives null.
    void* getSample(int const& i, void* block) const;
    // Stores one entry from value, which points at an entry of the same
    // shape's kind; pulses are copied, never shared.
    void setSample(int const* index, void* block, void* value);
    void setSample(int const& i, void* block, void* value);
    // As getSample, but for pulse shapes the address of sample i0 of the
    // selected pulse (null when the pulse has no such sample).
    void* getSubSample(int const* index, void* block) const;
    // Copies one element (getSubType().size() bytes) to getSubSample.
    void setSubSample(int const* index, void* block, void* value);

    // A new block: pulses of s0 zero samples belonging to no cavity, or
    // uninitialised bytes. Null for shapes that hold no data.
    void* allocateData() const;
    // A new block holding a deep copy of source.
    void* copyData(void const* source) const;
    // Copies source into an existing block of this shape. Pulses of unequal
    // size are reported, and the target pulse takes the source's size.
    void copyData(void* target, void const* source);
    // Destroys and releases a block made by this shape; null is ignored.
    void freeData(void* block) const;
    // The heap bytes a copy of the block takes, pulse samples included.
    std::size_t heldBytes(void const* block) const;

private:
    enum class Layout { none, plain, onePulse, pulseHandles };

    void computeLayout();
    int pulseCount() const;
    int entryCount() const;
    int position(int const* index) const;
    Pulse_* pulseAt(void const* entry) const;
    void assignPulse(Pulse_& target, Pulse_ const& source);
    // Writes one value into an entry: bytes for plain types, a deep copy for pulses.
    void storeSample(void* entry, void* value);

    DataType_ Type;
    int32_t dimension;
    std::vector<int32_t> samples;
    int32_t totalSamples;
    int32_t baseSampleSize;
    Layout layout;
};
