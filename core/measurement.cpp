#include "core/measurement.h"

#include "core/condition.h"
#include "core/measurementnodelink.h"
#include "core/operation.h"
#include "stringstream.h"

Measurement_::Measurement_(Setup_* setup, MeasurementNodeLink_* node)
    : Setup(setup), MeasurementNode(node), setsCollected(0) {}

Measurement_::~Measurement_() {
    clear();
    Operation.reset();
    Condition.reset();
    if (MeasurementNode) MeasurementNode->unlinkMeasurement();
}

void Measurement_::setOperation(Operation_* op) {
    if (!op) return;
    if (!Operation) Operation.reset(op);
    op->setMeasurement(this);
}

void Measurement_::setCondition(Condition_* c) {
    if (!Condition) Condition.reset(c);
}

void Measurement_::collect() {
    if (Condition && !Condition->isMet()) return;
    if (!Operation) return;
    Operation->perform();
    void* copy = Operation->takeResult();
    if (!copy) return;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        data.push_back({false, copy});
    }
    setsCollected.fetch_add(1, std::memory_order_relaxed);
}

void* Measurement_::block(int set) const {
    return set >= 0 && set < static_cast<int>(data.size()) ? data[static_cast<size_t>(set)].data : nullptr;
}

void* Measurement_::getSample(int set, int* index) {
    void* b;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        b = block(set);
    }
    if (!b || !index) return b;
    return Operation->getShape()->getSample(index, b);
}

void* Measurement_::getSample(int set, int index) {
    void* b;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        b = block(set);
    }
    return b ? Operation->getShape()->getSample(index, b) : nullptr;
}

int Measurement_::getInMemory() const {
    std::lock_guard<std::mutex> guard(dataLock);
    return static_cast<int>(data.size());
}

void Measurement_::clear() {
    if (!Operation) return;
    std::vector<dataDescriptor> sets;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        sets.swap(data);
    }
    for (const dataDescriptor& d : sets) Operation->getShape()->freeData(d.data);
}

void Measurement_::clear(const int& set) {
    if (!Operation) return;
    void* b;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        b = block(set);
        if (!b) return;
        data.erase(data.begin() + set);
    }
    Operation->getShape()->freeData(b);
}

void Measurement_::write(const int& indent) {
    log(StringStream_(indent) << "Addr: " << static_cast<void*>(this), debugA);
    log(StringStream_(indent) << "Condition: " << static_cast<void*>(Condition.get()), debugA);
    log(StringStream_(indent) << (Condition ? "  not NULL" : "  NULL"), debugA);
    log(StringStream_(indent) << "Operation: " << static_cast<void*>(Operation.get()), debugA);
    if (Operation)
        Operation->write(indent);
    else
        log(StringStream_(indent) << "  NULL", debugA);
}
