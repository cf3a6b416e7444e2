#pragma once
// The memory a run may take, judged from the machine: the physical memory,
// what is still available, the process's address-space limit and the limits
// of its control group and the groups above it. Measured data of every
// measurement of every setup shares one bound; a collection claims a set's
// bytes before keeping it. Claims allocate nothing; now and then one judges
// the machine afresh, under a lock.
#include <QString>
#include <cstdint>

class MemoryBudget_ {
public:
    // Counts `bytes` as measured data; false, nothing counted, when the data
    // held would pass the bound.
    static bool claim(std::int64_t bytes);
    // Measured data freed.
    static void release(std::int64_t bytes);
    static std::int64_t held();
    // What the process can still take from the machine, less a margin for the
    // rest of the program.
    static std::int64_t spare();
    // For tests only: a fixed bound on measured data, which also serves as the
    // spare memory; 0 returns to the machine's judgement.
    static void setLimitForTesting(std::int64_t bytes);
    // For tests only: the folder that stands for "/" when the control groups
    // are read, holding proc/self/cgroup and sys/fs/cgroup; empty or null
    // returns to the machine's own.
    static void setControlGroupRootForTesting(const char* root);

    // "512 MB", "6.2 GB".
    static QString describe(std::int64_t bytes);
};
