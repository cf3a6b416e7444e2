#pragma once
// Real measurements for the data view's tests: each collection copies a value
// that the test holds and changes between collections.
#include <vector>

#include "core/measurement.h"
#include "core/operation.h"
#include "tests/core/measurementfakes.h"

// A measurement of `value` read in place, with that type and extents.
inline Measurement_* copying(DataType_::type_ type, std::vector<int> extents, void* value,
                             MeasurementNodeLink_* node = nullptr) {
    const int dimension = static_cast<int>(extents.size());
    const int* samples = extents.empty() ? nullptr : extents.data();
    auto* op = new Operation_(Operation_::copy, DataType_(type), dimension, samples);
    FakeParameter source(value, DataShape_(DataType_(type), dimension, samples));
    op->setParameter(0, &source);
    auto* m = new Measurement_(nullptr, node);
    m->setOperation(op);
    return m;
}

// Collects each value in turn through `slot`, which the measurement reads.
template <class T>
void collectEach(Measurement_& m, T& slot, const std::vector<T>& values) {
    for (const T& v : values) {
        slot = v;
        m.collect();
    }
}
