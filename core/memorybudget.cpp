#include "core/memorybudget.h"

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr std::int64_t MB = 1 << 20;
// Left to the window, the plots and the kernel's work tables.
constexpr std::int64_t margin = 256 * MB;
// Growth of measured data after which the machine is judged again.
constexpr std::int64_t judgementStep = 16 * MB;

std::atomic<std::int64_t> heldBytes{0};
std::atomic<std::int64_t> bound{0};
std::atomic<std::int64_t> nextJudgement{0};
std::atomic<std::int64_t> testLimit{0};
std::mutex judging;

// A small system file, read without allocating; false when it cannot be read.
bool readFile(const char* path, char* text, std::size_t size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t used = 0;
    ssize_t n;
    while (used + 1 < size && (n = ::read(fd, text + used, size - 1 - used)) > 0) used += static_cast<std::size_t>(n);
    ::close(fd);
    text[used] = '\0';
    return used > 0;
}

std::int64_t pageSize() { return std::max<long>(::sysconf(_SC_PAGESIZE), 1); }

std::int64_t physical() { return std::max<std::int64_t>(::sysconf(_SC_PHYS_PAGES), 0) * pageSize(); }

// The smallest of the memory still available, the room under the process's
// address-space limit and the room under its control group's limit.
std::int64_t machineSpare() {
    char text[8192];
    std::int64_t spare = std::max<std::int64_t>(::sysconf(_SC_AVPHYS_PAGES), 0) * pageSize();
    if (readFile("/proc/meminfo", text, sizeof text))
        if (const char* at = std::strstr(text, "MemAvailable:"))
            spare = std::strtoll(at + std::strlen("MemAvailable:"), nullptr, 10) * 1024;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        readFile("/proc/self/statm", text, sizeof text)) {
        std::int64_t mapped = std::strtoll(text, nullptr, 10) * pageSize();
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 33)
        // Freed heap stays mapped for reuse: it is room all the same.
        mapped -= static_cast<std::int64_t>(::mallinfo2().fordblks);
#endif
        spare = std::min(spare, static_cast<std::int64_t>(limit.rlim_cur) - mapped);
    }
    if (readFile("/sys/fs/cgroup/memory.max", text, sizeof text) && text[0] >= '0' && text[0] <= '9') {
        const std::int64_t most = std::strtoll(text, nullptr, 10);
        if (readFile("/sys/fs/cgroup/memory.current", text, sizeof text))
            spare = std::min<std::int64_t>(spare, most - std::strtoll(text, nullptr, 10));
    }
    return std::max<std::int64_t>(spare, 0);
}

// Measured data may take a quarter of the physical memory and half of what
// it could have at all, and always leaves the margin.
void judge(std::int64_t held) {
    const std::int64_t whole = held + machineSpare();
    bound.store(std::max<std::int64_t>(std::min({physical() / 4, whole / 2, whole - margin}), 0),
                std::memory_order_relaxed);
    nextJudgement.store(held + judgementStep, std::memory_order_relaxed);
}

}  // namespace

bool MemoryBudget_::claim(std::int64_t bytes) {
    const std::int64_t fixed = testLimit.load(std::memory_order_relaxed);
    const std::int64_t held = heldBytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::int64_t most = fixed;
    if (!fixed) {
        // A claim that would pass the bound judges afresh before it is refused.
        if (held >= nextJudgement.load(std::memory_order_relaxed) || held > bound.load(std::memory_order_relaxed)) {
            std::lock_guard<std::mutex> lock(judging);
            judge(held - bytes);
        }
        most = bound.load(std::memory_order_relaxed);
    }
    if (held <= most) return true;
    heldBytes.fetch_sub(bytes, std::memory_order_relaxed);
    return false;
}

// Much freed data goes back to the system at once, so that the next
// judgement of the machine finds it available again.
void MemoryBudget_::release(std::int64_t bytes) {
    heldBytes.fetch_sub(bytes, std::memory_order_relaxed);
    nextJudgement.store(0, std::memory_order_relaxed);
#ifdef __GLIBC__
    if (bytes >= judgementStep) ::malloc_trim(0);
#endif
}

std::int64_t MemoryBudget_::held() { return heldBytes.load(std::memory_order_relaxed); }

std::int64_t MemoryBudget_::spare() {
    if (const std::int64_t fixed = testLimit.load(std::memory_order_relaxed)) return fixed;
    return std::max<std::int64_t>(machineSpare() - margin, 0);
}

void MemoryBudget_::setLimitForTesting(std::int64_t bytes) {
    testLimit.store(bytes, std::memory_order_relaxed);
    nextJudgement.store(0, std::memory_order_relaxed);
}

QString MemoryBudget_::describe(std::int64_t bytes) {
    constexpr std::int64_t GB = 1 << 30;
    if (bytes >= GB) return QStringLiteral("%1 GB").arg(static_cast<double>(bytes) / GB, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg((bytes + MB - 1) / MB);
}
