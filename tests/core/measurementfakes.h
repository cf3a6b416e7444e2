#pragma once
// Stand-ins for the tree side of operations and measurements (parameters read
// in place, the measurement's node), and real conditions and measurements
// that engine tests use as probes.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/condition.h"
#include "core/datashape.h"
#include "core/measurement.h"
#include "core/measurementnodelink.h"
#include "core/operation.h"
#include "core/parameterlink.h"
#include "core/pulse.h"
#include "interface/error.h"
#include "tests/core/fakes.h"

// A value held elsewhere, as a bound tree parameter.
class FakeParameter : public ParameterLink_ {
public:
    FakeParameter(void* data, const DataShape_& shape) : data(data), shape(shape) {}
    void* getData() const override { return data; }
    const DataShape_* getShape() const override { return &shape; }

private:
    void* data;
    DataShape_ shape;
};

inline FakeParameter pulseParameter(Pulse_& pulse) {
    const int n = pulse.getSamples();
    return FakeParameter(&pulse, DataShape_(DataType_::pulse, 1, &n));
}

inline FakeParameter integerParameter(int32_t& value) {
    return FakeParameter(&value, DataShape_(DataType_::integer, 0, nullptr));
}

// The node a measurement files its evaluation errors against.
class FakeMeasurementNode : public MeasurementNodeLink_ {
public:
    explicit FakeMeasurementNode(int i) : errors(fakeNode(i)) {}
    Error_& getErrorSource() override { return errors; }
    void unlinkMeasurement() override { ++unlinked; }
    Node_* node() const { return errors.getSourceNode(); }
    int unlinked = 0;

private:
    Error_ errors;
};

// A scalar node of `kind` over its operands, which are set by the caller.
inline Operation_* scalar(Operation_::kind_ kind, DataType_::type_ type) {
    return new Operation_(kind, DataType_(type), 0, nullptr);
}

// "Energy(P)" and friends: a pulse measure over a pulse read in place.
inline Operation_* pulseMeasure(Operation_::kind_ kind, Pulse_& pulse) {
    Operation_* op = scalar(kind, kind == Operation_::maximum ? DataType_::integer : DataType_::doubleprecision);
    FakeParameter p = pulseParameter(pulse);
    op->setParameter(0, &p);
    return op;
}

// The pulse itself: each collection holds a copy of it.
inline Operation_* pulseCopy(Pulse_& pulse) {
    const int n = pulse.getSamples();
    auto* op = new Operation_(Operation_::copy, DataType_(DataType_::pulse), 1, &n);
    FakeParameter p = pulseParameter(pulse);
    op->setParameter(0, &p);
    return op;
}

// "flag != 0", reading the flag in place.
inline Condition_* whileNonZero(double& flag) {
    Operation_* x = scalar(Operation_::copy, DataType_::doubleprecision);
    x->setParameter(0, &flag);
    Operation_* zero = scalar(Operation_::copy, DataType_::doubleprecision);
    zero->setParameter(0, 0.0);
    auto* c = new Condition_;
    c->setComparison(x, zero, Condition_::NOTEQUAL, 0, nullptr);
    return c;
}

inline Measurement_* measurementOf(Operation_* op, Condition_* condition = nullptr) {
    auto* m = new Measurement_(nullptr, nullptr);
    m->setOperation(op);
    if (condition) m->setCondition(condition);
    return m;
}

// The record of what ran, in order. Its length sits at a fixed address, so a
// measurement can read it in place: the sets it collects say where in the
// journal each collection fell.
struct Journal : std::vector<std::string> {
    using std::vector<std::string>::vector;
    void push_back(std::string entry) {
        std::vector<std::string>::push_back(std::move(entry));
        length = static_cast<int32_t>(size());
    }
    int32_t length = 0;
};

// A real measurement that collects the journal's length.
inline Measurement_* journalMeasurement(Journal& journal) {
    Operation_* op = scalar(Operation_::copy, DataType_::integer);
    FakeParameter p = integerParameter(journal.length);
    op->setParameter(0, &p);
    return measurementOf(op);
}

// The journal with `name` entered at each collection of each measurement;
// collections at the same place keep the order the measurements are listed in.
inline Journal withCollections(const Journal& journal,
                               std::initializer_list<std::pair<Measurement_*, std::string>> measurements) {
    std::vector<std::tuple<int, int, std::string>> entries;
    int order = 0;
    for (const auto& [m, name] : measurements) {
        for (int set = 0; set < m->getInMemory(); ++set)
            entries.emplace_back(*static_cast<int32_t*>(m->getSample(set, nullptr)), order, name);
        ++order;
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    Journal merged;
    size_t next = 0;
    for (const auto& [at, unused, name] : entries) {
        for (; static_cast<int>(next) < at; ++next) merged.push_back(journal[next]);
        merged.push_back(name);
    }
    for (; next < journal.size(); ++next) merged.push_back(journal[next]);
    return merged;
}
