#pragma once
// Helpers shared by the element routines.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "kernel/grid.h"
#include "kernel/pulserecord.h"

namespace elements::support {

// The intensity of a sample is |e|^2 times this factor for beam waist w,
// as in optics::intensity.
inline double intensityfactor(double w) {
    const double w2 = w * w;
    return 1.0 / (w2 * optics::twopi * optics::impedance);
}

// The intensity of a sample: |e| rounded to single precision, as in
// optics::intensity, then squared in double. The modulus comes from a double
// square root (no library call per sample), and the squares of faint samples
// never become subnormal floats, which the processor handles many times slower.
inline double intensity(const optics::complex_& e, double factor) {
    const double re = e.real();
    const double im = e.imag();
    const double modulus = static_cast<float>(std::sqrt(re * re + im * im));
    return modulus * modulus * factor;
}

// intensity(e(k), factor) / is, or with no `is` intensity(e(k), factor), for
// every sample k, bit for bit, two samples at a time: the square roots and
// divisions leave the element loops, where they stood beside the
// exponentials. The values stay in storage of the calling thread until its
// next call.
const double* intensityratios(const optics::samples_& e, double factor, double is);
const double* intensities(const optics::samples_& e, double factor);

// std::exp that keeps its last argument and value: in the tails of a pulse
// the argument often repeats from sample to sample, and the library call is
// the costliest step of the element loops.
class repeatedexp {
public:
    double operator()(double x) {
        if (x != argument_) {
            argument_ = x;
            value_ = std::exp(x);
        }
        return value_;
    }

private:
    double argument_ = std::numeric_limits<double>::quiet_NaN();  // unequal to every argument
    double value_ = 0;
};

// Multiplies a sample by the real factor f.
inline void scale(optics::complex_& x, double f) {
    x = optics::complex_(static_cast<float>(x.real() * f), static_cast<float>(x.imag() * f));
}

// True when u and v are both present with at least n samples; otherwise
// reports that `routine` cannot read them.
bool componentscover(const optics::pulse_& pulse, int32_t n, std::string_view routine);

// True when the carrier wavelength is a positive finite length.
bool validwavelength(const optics::pulse_& pulse);

// A work array could not be had: prints the system's reason and "Out of
// memory" on the error stream and ends the process with status 1.
[[noreturn]] void outofmemory();

}  // namespace elements::support
