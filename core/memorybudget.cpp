#include "core/memorybudget.h"

#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
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
// Guards the judgement and what it reads.
std::mutex judging;
// Stands for "/" when the control groups are read.
char controlGroupRoot[PATH_MAX] = "";

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

// The number in the file `name` of `folder`; false when it cannot be read or
// holds none ("max", a version-2 group without a limit).
bool readNumber(const char* folder, const char* name, std::int64_t& number) {
    char path[PATH_MAX];
    char text[64];
    const int n = std::snprintf(path, sizeof path, "%s/%s", folder, name);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path || !readFile(path, text, sizeof text) ||
        text[0] < '0' || text[0] > '9')
        return false;
    number = std::strtoll(text, nullptr, 10);
    return true;
}

// The least room, limit less usage, of the group in `folder` and of every
// group above it up to the hierarchy's root, the first `rootLength`
// characters. A group's limit holds for everything below it.
std::int64_t roomUpFrom(char* folder, std::size_t rootLength, const char* limitName, const char* usageName) {
    std::int64_t room = std::numeric_limits<std::int64_t>::max();
    std::size_t length = std::strlen(folder);
    while (length > rootLength && folder[length - 1] == '/') folder[--length] = '\0';
    for (;;) {
        std::int64_t limit = 0;
        std::int64_t usage = 0;
        if (readNumber(folder, limitName, limit) && readNumber(folder, usageName, usage))
            room = std::min(room, limit - usage);
        while (length > rootLength && folder[length - 1] != '/') --length;
        if (length <= rootLength) return room;
        folder[--length] = '\0';
    }
}

// Whether a version-1 hierarchy's controller list, "cpu,memory", names memory.
bool listsMemory(const char* controllers) {
    constexpr std::size_t name = sizeof "memory" - 1;
    for (const char* at = controllers; (at = std::strstr(at, "memory")); at += name)
        if ((at == controllers || at[-1] == ',') && (at[name] == '\0' || at[name] == ','))
            return true;
    return false;
}

// The room the process's control groups leave it, from the lines of
// /proc/self/cgroup: "0::/path" for version 2's single hierarchy, whose
// groups hold memory.max ("max" without a limit) and memory.current, and
// "N:memory:/path" for version 1's memory hierarchy, whose groups hold
// memory.limit_in_bytes (a huge number without a limit) and
// memory.usage_in_bytes.
std::int64_t controlGroupRoom() {
    std::int64_t room = std::numeric_limits<std::int64_t>::max();
    char text[8192];
    char folder[PATH_MAX];
    const int n = std::snprintf(folder, sizeof folder, "%s/proc/self/cgroup", controlGroupRoot);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof folder || !readFile(folder, text, sizeof text)) return room;
    for (char* line = text; *line;) {
        char* end = std::strchr(line, '\n');
        if (end) *end = '\0';
        char* controllers = std::strchr(line, ':');
        char* path = controllers ? std::strchr(controllers + 1, ':') : nullptr;
        if (path) {
            *controllers++ = '\0';
            *path++ = '\0';
            const bool unified = std::strcmp(line, "0") == 0 && !*controllers;
            if (unified || listsMemory(controllers)) {
                const int rootLength = std::snprintf(folder, sizeof folder, "%s/sys/fs/cgroup%s", controlGroupRoot,
                                                     unified ? "" : "/memory");
                if (rootLength > 0 && static_cast<std::size_t>(rootLength) + std::strlen(path) < sizeof folder) {
                    std::strcpy(folder + rootLength, path);
                    room = std::min(room, unified ? roomUpFrom(folder, rootLength, "memory.max", "memory.current")
                                                  : roomUpFrom(folder, rootLength, "memory.limit_in_bytes",
                                                               "memory.usage_in_bytes"));
                }
            }
        }
        if (!end) break;
        line = end + 1;
    }
    return room;
}

// The smallest of the memory still available, the room under the process's
// address-space limit and the room its control groups leave.
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
    spare = std::min(spare, controlGroupRoom());
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
    std::int64_t before = heldBytes.load(std::memory_order_relaxed);
    // Checked and counted in one step: a refused claim is never counted, so
    // it cannot crowd out another setup's claim meanwhile.
    for (;;) {
        const std::int64_t held = before + bytes;
        std::int64_t most = fixed;
        if (!fixed) {
            // A claim that would pass the bound judges afresh before it is refused.
            if (held >= nextJudgement.load(std::memory_order_relaxed) || held > bound.load(std::memory_order_relaxed)) {
                std::lock_guard<std::mutex> lock(judging);
                judge(before);
            }
            most = bound.load(std::memory_order_relaxed);
        }
        if (held > most) return false;
        if (heldBytes.compare_exchange_weak(before, held, std::memory_order_relaxed)) return true;
    }
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
    std::lock_guard<std::mutex> lock(judging);
    return std::max<std::int64_t>(machineSpare() - margin, 0);
}

void MemoryBudget_::setLimitForTesting(std::int64_t bytes) {
    testLimit.store(bytes, std::memory_order_relaxed);
    nextJudgement.store(0, std::memory_order_relaxed);
}

void MemoryBudget_::setControlGroupRootForTesting(const char* root) {
    std::lock_guard<std::mutex> lock(judging);
    std::snprintf(controlGroupRoot, sizeof controlGroupRoot, "%s", root ? root : "");
    nextJudgement.store(0, std::memory_order_relaxed);
}

QString MemoryBudget_::describe(std::int64_t bytes) {
    constexpr std::int64_t GB = 1 << 30;
    if (bytes >= GB) return QStringLiteral("%1 GB").arg(static_cast<double>(bytes) / GB, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg((bytes + MB - 1) / MB);
}
