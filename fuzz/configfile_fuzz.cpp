// libFuzzer target for the block text reader and writer: every input must
// satisfy the round-trip property of configfile_roundtrip.h.
#include "fuzz/configfile_roundtrip.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One scratch file per fuzzing process, in memory when /dev/shm exists,
// removed when the process ends.
std::string scratch;

void removeScratch() { std::remove(scratch.c_str()); }

const std::string& scratchPath() {
    if (scratch.empty()) {
        const char* tmpdir = std::getenv("TMPDIR");
        const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmpdir ? tmpdir : "/tmp";
        scratch = dir + "/configfile_fuzz." + std::to_string(getpid()) + ".config";
        std::atexit(removeScratch);
    }
    return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure =
        configfile_roundtrip::check(std::string(reinterpret_cast<const char*>(data), size), scratchPath());
    if (!failure.empty()) {
        std::fprintf(stderr, "configfile round trip broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
