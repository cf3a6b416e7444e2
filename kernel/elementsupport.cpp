#include "kernel/elementsupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "kernel/errorhandling.h"

namespace elements::support {

bool componentscover(const optics::pulse_& pulse, int32_t n, std::string_view routine) {
    if (pulse.u.allocated() && pulse.v.allocated() && pulse.u.size() >= n && pulse.v.size() >= n)
        return true;
    errorhandling::error("ERROR: Polarisation components missing or shorter than the envelope in " +
                         std::string(routine));
    return false;
}

bool validwavelength(const optics::pulse_& pulse) {
    const double lambda = optics::lambda0(pulse);
    return lambda > 0 && std::isfinite(lambda);
}

namespace {

template <bool Divide>
const double* intensitiesof(const optics::samples_& e, double factor, double is) {
    using vec2_ = double __attribute__((vector_size(16)));
    using float2_ = float __attribute__((vector_size(8)));
    thread_local std::vector<double> values;
    const int32_t n = e.size();
    if (values.size() < static_cast<size_t>(n)) {
        try {
            values.resize(static_cast<size_t>(n));
        } catch (const std::bad_alloc&) {
            outofmemory();
        }
    }
    const optics::complex_* s = e.data();
    double* out = values.data();
    int32_t k = 0;
    for (; k + 1 < n; k += 2) {
        const vec2_ re = {s[k].real(), s[k + 1].real()};
        const vec2_ im = {s[k].imag(), s[k + 1].imag()};
        float2_ modulus = __builtin_convertvector(__builtin_ia32_sqrtpd(re * re + im * im), float2_);
        // Keeps the single-precision rounding under GCC's vectoriser: the two
        // floats pass through a register as the bits of one double.
        double packed;
        std::memcpy(&packed, &modulus, sizeof packed);
        asm("" : "+x"(packed));
        std::memcpy(&modulus, &packed, sizeof packed);
        const vec2_ m = __builtin_convertvector(modulus, vec2_);
        vec2_ value = m * m * factor;
        if constexpr (Divide) value = value / is;
        out[k] = value[0];
        out[k + 1] = value[1];
    }
    if (k < n) out[k] = Divide ? intensity(s[k], factor) / is : intensity(s[k], factor);
    return out;
}

}  // namespace

const double* intensityratios(const optics::samples_& e, double factor, double is) {
    return intensitiesof<true>(e, factor, is);
}
const double* intensities(const optics::samples_& e, double factor) { return intensitiesof<false>(e, factor, 1); }

void outofmemory() {
    std::fprintf(stderr, "Operating system error: %s\nOut of memory\n", std::strerror(ENOMEM));
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace elements::support
