// Compares two builds of the kernel, each loaded from its own cavity library
// (cavitylib.cpp), in one process with subnormals flushed to zero as setup
// threads run:
//   kernelcompare check A B  - the samples and states of the standard cavity
//                              after 1000 round trips, normal and strong
//                              saturation, N = 2^12, must be bit-identical;
//   kernelcompare time A B   - the whole pass at N = 2^10, 2^12 and 2^14, the
//                              two kernels timed alternately pass by pass,
//                              medians printed with their ratio B/A.
#include <dlfcn.h>
#include <xmmintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Kernel {
    std::string path;
    void* (*make)(int, int);
    void (*free)(void*);
    void (*pass)(void*);
    void (*keep)(void*);
    void (*restore)(void*);
    size_t (*state)(void*, unsigned char*, size_t);
};

template <class F>
void bind(void* library, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(library, name));
    if (!f) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::exit(2);
    }
}

Kernel load(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::exit(2);
    }
    Kernel k{path, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    bind(library, "cavity_make", k.make);
    bind(library, "cavity_free", k.free);
    bind(library, "cavity_pass", k.pass);
    bind(library, "cavity_keep", k.keep);
    bind(library, "cavity_restore", k.restore);
    bind(library, "cavity_state", k.state);
    return k;
}

std::vector<unsigned char> state(const Kernel& k, void* cavity) {
    std::vector<unsigned char> bytes(k.state(cavity, nullptr, 0));
    k.state(cavity, bytes.data(), bytes.size());
    return bytes;
}

int check(const Kernel& a, const Kernel& b) {
    constexpr int kBits = 12, kRoundTrips = 1000;
    int failures = 0;
    for (const int strong : {0, 1}) {
        void* ca = a.make(kBits, strong);
        void* cb = b.make(kBits, strong);
        for (int r = 0; r < kRoundTrips; ++r) {
            a.pass(ca);
            b.pass(cb);
        }
        const std::vector<unsigned char> sa = state(a, ca), sb = state(b, cb);
        const char* name = strong ? "strong saturation" : "standard";
        if (sa == sb) {
            std::printf("%-18s N = 2^%d, %d round trips: samples and states bit-identical\n", name, kBits,
                        kRoundTrips);
        } else {
            const auto first = std::mismatch(sa.begin(), sa.end(), sb.begin(), sb.end());
            std::printf("%-18s N = 2^%d, %d round trips: DIFFERENT from byte %ld on\n", name, kBits, kRoundTrips,
                        static_cast<long>(first.first - sa.begin()));
            ++failures;
        }
        a.free(ca);
        b.free(cb);
    }
    return failures == 0 ? 0 : 1;
}

double median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// Microseconds of one pass from the kept state.
double timepass(const Kernel& k, void* cavity) {
    k.restore(cavity);
    const auto t0 = std::chrono::steady_clock::now();
    k.pass(cavity);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

void time(const Kernel& a, const Kernel& b) {
    std::printf("%-18s %8s %14s %14s %8s\n", "whole pass", "N", "A (us)", "B (us)", "B/A");
    for (const int strong : {0, 1}) {
        for (const int bits : {10, 12, 14}) {
            void* ca = a.make(bits, strong);
            void* cb = b.make(bits, strong);
            // Some round trips after start-up, as in a running setup.
            for (int r = 0; r < 20; ++r) {
                a.pass(ca);
                b.pass(cb);
            }
            a.keep(ca);
            b.keep(cb);
            const int rounds = bits >= 14 ? 151 : 401;
            std::vector<double> ta, tb;
            for (int r = 0; r < rounds; ++r) {
                if (r % 2 == 0) {
                    ta.push_back(timepass(a, ca));
                    tb.push_back(timepass(b, cb));
                } else {
                    tb.push_back(timepass(b, cb));
                    ta.push_back(timepass(a, ca));
                }
            }
            const double ma = median(ta), mb = median(tb);
            std::printf("%-18s %8d %14.1f %14.1f %8.2f\n", strong ? "strong saturation" : "standard", 1 << bits,
                        ma, mb, mb / ma);
            a.free(ca);
            b.free(cb);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "check") != 0 && std::strcmp(argv[1], "time") != 0)) {
        std::fprintf(stderr, "usage: kernelcompare check|time A.so B.so\n");
        return 2;
    }
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero
    const Kernel a = load(argv[2]);
    const Kernel b = load(argv[3]);
    if (std::strcmp(argv[1], "check") == 0) return check(a, b);
    time(a, b);
    return 0;
}
