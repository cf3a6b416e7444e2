#include "core/measurement.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/condition.h"
#include "core/datashape.h"
#include "core/memorybudget.h"
#include "core/measurementnodelink.h"
#include "core/operation.h"
#include "interface/error.h"
#include "stringstream.h"

namespace {
// Beside its block a set takes its descriptor (twice, while the list grows)
// and, when it is listed, a row of the data tree.
constexpr std::int64_t setOverhead = 2 * sizeof(Measurement_::dataDescriptor);
constexpr std::int64_t rowBytes = 512;
}  // namespace

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
    if (!collecting.load(std::memory_order_relaxed)) return;
    if (Condition && !Condition->isMet()) return;
    if (!Operation) return;
    void* result = Operation->perform();
    const DataShape_* shape = Operation->getShape();
    const bool listed = shape->getDimension() >= 1 || shape->getType() == DataType_::pulse;
    const std::int64_t bytes =
        static_cast<std::int64_t>(shape->heldBytes(result)) + setOverhead + (listed ? rowBytes : 0);
    if (!MemoryBudget_::claim(bytes)) {
        stopCollecting();
        return;
    }
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
    if (!copy) {
        MemoryBudget_::release(bytes);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(dataLock);
        data.push_back({false, copy, pooled, bytes});
    }
    setsCollected.fetch_add(1, std::memory_order_relaxed);
}

// Listed with the prefix of a warning but past the node's report limit: a
// node that has said much already must still say this.
void Measurement_::stopCollecting() {
    collecting.store(false, std::memory_order_relaxed);
    const QString text =
        QStringLiteral("Warning: Collection stopped with %1 sets kept: memory for measured data ran out (%2 held "
                       "by all measurements). The run goes on without collecting.")
            .arg(getInMemory())
            .arg(MemoryBudget_::describe(MemoryBudget_::held()));
    Error_::addError(text, MeasurementNode ? MeasurementNode->getErrorSource().getSourceNode() : nullptr,
                     Error_::warning);
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
    std::int64_t bytes = 0;
    for (const dataDescriptor& d : sets) {
        if (!d.pooled) Operation->getShape()->freeData(d.data);
        bytes += d.bytes;
    }
    MemoryBudget_::release(bytes);
}

void Measurement_::clear(const int& set) {
    if (!Operation) return;
    dataDescriptor d;
    {
        std::lock_guard<std::mutex> guard(dataLock);
        if (!block(set)) return;
        d = data[static_cast<size_t>(set)];
        data.erase(data.begin() + set);
    }
    if (!d.pooled) Operation->getShape()->freeData(d.data);
    MemoryBudget_::release(d.bytes);
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
