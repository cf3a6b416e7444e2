// The standard cavity behind a plain C interface, built into one shared
// library per kernel so that kernelcompare can load two kernels at once.
#include <cstddef>
#include <cstring>

#include "support/standardcavity.h"

namespace {

struct Kept {
    explicit Kept(int32_t n, bool strong) : now(n, strong), start(n, strong) {}
    standardcavity::Cavity now;
    standardcavity::Cavity start;
};

// Appends the first `size` bytes of x to out while they fit; returns the
// new length.
size_t append(unsigned char* out, size_t length, size_t capacity, const void* x, size_t size) {
    if (length + size <= capacity) std::memcpy(out + length, x, size);
    return length + size;
}
template <class T>
size_t append(unsigned char* out, size_t length, size_t capacity, const T& x) {
    return append(out, length, capacity, &x, sizeof x);
}

// The bytes of an extended-precision value that hold it; the rest is padding.
constexpr size_t kExtendedBytes = 10;

}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT void* cavity_make(int bits, int strong) { return new Kept(int32_t{1} << bits, strong != 0); }
EXPORT void cavity_free(void* c) { delete static_cast<Kept*>(c); }
EXPORT void cavity_pass(void* c) { static_cast<Kept*>(c)->now.pass(); }
EXPORT void cavity_keep(void* c) { static_cast<Kept*>(c)->start = static_cast<Kept*>(c)->now; }
EXPORT void cavity_restore(void* c) { static_cast<Kept*>(c)->now = static_cast<Kept*>(c)->start; }

// The samples and every state field a pass changes, as bytes; returns how
// many bytes that takes (written only when they fit in capacity).
EXPORT size_t cavity_state(void* c, unsigned char* out, size_t capacity) {
    const standardcavity::Cavity& cavity = static_cast<Kept*>(c)->now;
    const optics::pulse_& p = cavity.pulse;
    size_t length = 0;
    for (const optics::complex_& x : p.envelope) length = append(out, length, capacity, x);
    for (const optics::quad_& q : {p.omega0, p.t, p.dt, p.domega})
        length = append(out, length, capacity, &q, kExtendedBytes);
    length = append(out, length, capacity, p.domain);
    for (const double d : {cavity.gain.deltan, cavity.gain.recoverytime, cavity.absorber.deltan,
                           cavity.absorber.recoverytime})
        length = append(out, length, capacity, d);
    return length;
}
