#include "kernel/grid.h"

#include <cmath>

#include "kernel/tools.h"

namespace optics {

namespace {
int32_t samplecount(const pulse_& pulse) { return pulse.envelope.size(); }
}  // namespace

quad_ dx(const pulse_& pulse) { return pulse.domain != 0 ? pulse.dt : pulse.domega; }

double getx(const pulse_& pulse, int32_t n) {
    const double step = static_cast<double>(dx(pulse));
    return (n - samplecount(pulse) / 2.0) * step;
}

quad_ xmin(const pulse_& pulse) { return -(dx(pulse) * (samplecount(pulse) / 2 - 1)); }

quad_ xmax(const pulse_& pulse) { return dx(pulse) * (samplecount(pulse) / 2); }

int32_t getindex(const pulse_& pulse, double x) {
    const int32_t n = samplecount(pulse);
    const quad_ low = xmin(pulse);
    const double r = static_cast<double>(static_cast<double>(x - low) / (xmax(pulse) - low));
    const double k = std::trunc((n - 1) * r) + 1.0;
    // Compared as doubles, so NaN and values beyond the integer range
    // saturate instead of being converted.
    if (std::isnan(k)) return 1;
    int32_t index = k > n ? n : static_cast<int32_t>(std::fmax(k, 0.0));
    if (index <= 0) index = 1;
    return index;
}

complex_ getvalue(const pulse_& pulse, int32_t i) {
    return i >= 1 && i <= samplecount(pulse) ? pulse.envelope(i) : complex_(0.0f, 0.0f);
}

complex_ gety(const pulse_& pulse, double x) {
    const int32_t i = getindex(pulse, x);
    const double x1 = getx(pulse, i);
    const double x2 = getx(pulse, i + 1);
    const complex_ y1 = getvalue(pulse, i);
    const complex_ y2 = getvalue(pulse, i + 1);
    return complex_(static_cast<float>(tools::intrapolatey(x1, y1.real(), x2, y2.real(), x)),
                    static_cast<float>(tools::intrapolatey(x1, y1.imag(), x2, y2.imag(), x)));
}

double lambda0(const pulse_& pulse) { return static_cast<double>(static_cast<quad_>(twopic) / pulse.omega0); }

double getlambda(const pulse_& pulse, int32_t i) {
    return static_cast<double>(static_cast<quad_>(twopic) / (getx(pulse, i) + pulse.omega0));
}

double absolutetime(const pulse_& pulse, int32_t n) { return static_cast<double>(pulse.t + getx(pulse, n)); }

complex_ epotential(const complex_& e, double w) {
    return complex_(std::complex<double>(e) * (w * sqrtpi));
}

complex_ efield(const complex_& potential, double w) {
    return complex_(std::complex<double>(potential) / (w * sqrtpi));
}

// |e| is taken in single precision; its square and the products in double.
double power(const complex_& e) {
    const double modulus = std::abs(e);
    return modulus * modulus * epsilon0c;
}

double intensity(const complex_& e, double w) {
    const double w2 = w * w;
    const double factor = 1.0 / (w2 * twopi * impedance);
    const double modulus = std::abs(e);
    return modulus * modulus * factor;
}

double phase(const complex_& e) {
    const float re = e.real();
    const float im = e.imag();
    if (im == 0.0f && re == 0.0f) return 0.0;
    if (re == 0.0f) return std::signbit(im) ? -halfpisingle : halfpisingle;
    return std::atan(static_cast<double>(static_cast<quad_>(im) / re));
}

}  // namespace optics
