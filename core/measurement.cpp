#include "core/measurement.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/condition.h"
#include "core/datashape.h"
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
    void* result = Operation->perform();
    if (slabFree == 0 && slabSets > 0) newSlab();
    const bool pooled = slabFree > 0;
    void* copy;
    if (pooled) {
        copy = slabNext;
        std::memcpy(copy, result, static_cast<size_t>(blockBytes));
        slabNext += blockStride;
        --slabFree;
    } else {
        copy = Operation->takeResult();
    }
    if (!copy) return;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        data.push_back({false, copy, pooled});
    }
    setsCollected.fetch_add(1, std::memory_order_relaxed);
}

// Blocks are laid out at the alignment operator new gives, like the shape's
// own. Slabs and the list's reserve are bounded, so a run of very many round
// trips allocates once per slab instead of all at once.
void Measurement_::reserve(int sets) {
    constexpr int maximumSlab = 1 << 12;
    constexpr int maximumListReserve = 1 << 20;
    const DataShape_* shape = Operation ? Operation->getShape() : nullptr;
    if (sets <= 0 || !shape || shape->getType().get() == DataType_::pulse || shape->getSize() <= 0) return;
    constexpr int align = alignof(std::max_align_t);
    blockBytes = shape->getSetSize(shape->getDimension());
    blockStride = (blockBytes + align - 1) / align * align;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        data.reserve(data.size() + static_cast<size_t>(std::min(sets, maximumListReserve)));
    }
    slabSets = std::min(sets, maximumSlab);
    newSlab();
}

void Measurement_::newSlab() {
    slabs.emplace_back(new unsigned char[static_cast<size_t>(slabSets) * static_cast<size_t>(blockStride)]);
    slabNext = slabs.back().get();
    slabFree = slabSets;
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
    for (const dataDescriptor& d : sets)
        if (!d.pooled) Operation->getShape()->freeData(d.data);
}

void Measurement_::clear(const int& set) {
    if (!Operation) return;
    void* b;
    bool pooled;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        b = block(set);
        if (!b) return;
        pooled = data[static_cast<size_t>(set)].pooled;
        data.erase(data.begin() + set);
    }
    if (!pooled) Operation->getShape()->freeData(b);
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
