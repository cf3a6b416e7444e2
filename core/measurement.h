#pragma once
// One measured quantity of a running setup: the operation tree of its
// expression, an optional gating condition and the data sets collected
// during the run, each an independent copy of the operation's result. The
// setup thread collects while the window reads: the list is guarded, and a
// set once appended is never moved or changed until it is cleared. Measured
// data of all measurements shares the memory budget: a set that would pass it
// is not kept, and the measurement stops collecting and says so on its node.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logger.h"

class Condition_;
class MeasurementNodeLink_;
class Operation_;
class Setup_;

class Measurement_ : public Logger_ {
public:
    struct dataDescriptor {
        bool saved;
        void* data;  // allocated through the operation's result shape; owned
        bool pooled = false;  // lies in a reserved slab instead: not freed alone
        std::int64_t bytes = 0;  // what the set counts against the memory budget
    };

    Measurement_(Setup_* setup, MeasurementNodeLink_* node);
    Measurement_(const Measurement_&) = delete;
    Measurement_& operator=(const Measurement_&) = delete;
    // Frees the sets, the operation and the condition, then tells the node.
    ~Measurement_();

    // The first operation is kept and owned; every call points the given
    // tree's error reports at this measurement.
    void setOperation(Operation_* op);
    // Kept and owned when no condition is set yet.
    void setCondition(Condition_* c);

    // Appends a copy of the operation's result when the condition allows and
    // the memory budget has room for it.
    void collect();
    // Setup thread, before a run: room for `sets` more results of a plain
    // (not pulse) type, so collecting them allocates nothing.
    void reserve(int sets);

    // A set's block (index null) or the element an index vector selects;
    // null for a set that does not exist.
    void* getSample(int set, int* index);
    // The element at linear position `index` of a set; null for a bad set.
    void* getSample(int set, int index);
    void clear();
    void clear(const int& set);

    Operation_* getOperation() const { return Operation.get(); }
    Condition_* getCondition() const { return Condition.get(); }
    const std::string& getErrorMessage() const { return ErrorMessage; }
    MeasurementNodeLink_* getMeasurementNode() const { return MeasurementNode; }
    // The node is going away: reports and the destruction notice no longer reach it.
    void detachNode() { MeasurementNode = nullptr; }
    Setup_* getSetup() const { return Setup; }
    int getCollected() const { return setsCollected.load(std::memory_order_relaxed); }
    int getInMemory() const;
    // False once the memory budget refused a set: nothing more is collected.
    bool isCollecting() const { return collecting.load(std::memory_order_relaxed); }

    void write(const int& indent);

private:
    void newSlab();
    // The budget refused a set: collection ends, told once on the node.
    void stopCollecting();
    // The block of a set, or null; the caller holds the lock.
    void* block(int set) const;

    Setup_* Setup;
    MeasurementNodeLink_* MeasurementNode;
    std::string ErrorMessage;
    std::unique_ptr<Operation_> Operation;
    std::unique_ptr<Condition_> Condition;
    mutable std::mutex dataLock;  // guards `data`, not the blocks it points to
    std::vector<dataDescriptor> data;
    // Reserved blocks: the slabs, kept until the measurement goes (the setup
    // thread may still fill one while sets are cleared), and the unused part
    // of the newest one; setup thread only.
    std::vector<std::unique_ptr<unsigned char[]>> slabs;
    unsigned char* slabNext = nullptr;
    int slabFree = 0;
    int blockBytes = 0;
    int blockStride = 0;
    int slabSets = 0;
    std::atomic<int> setsCollected;
    std::atomic<bool> collecting{true};
};
