#pragma once
// Shared pieces of the pulse and element tests: records built from plain
// values, Gaussian pulses, sample comparisons and an Nd-like gain medium.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "kernel/elements.h"
#include "kernel/optics.h"

namespace pulsefixtures {

using optics::complex_;
using optics::pulse_;

inline pulse_ fromvalues(const std::vector<complex_>& values, double dt = 1.0, double domega = 1.0) {
    pulse_ p;
    p.envelope.allocate(static_cast<int32_t>(values.size()));
    std::copy(values.begin(), values.end(), p.envelope.begin());
    p.dt = dt;
    p.domega = domega;
    return p;
}

// N zero time samples on a grid with dt*domega*N = 2*pi.
inline pulse_ zeros(int32_t n, double dt = 1e-15) {
    pulse_ p = fromvalues(std::vector<complex_>(static_cast<size_t>(n)), dt);
    p.domega = 6.283185307179586L / p.dt / n;
    return p;
}

// The same on a carrier of wavelength lambda.
inline pulse_ blank(int32_t n, double dt, double lambda = 1.0e-6) {
    pulse_ p = zeros(n, dt);
    p.omega0 = optics::twopic / lambda;
    return p;
}

// The kernel's start pulse.
inline pulse_ gaussian(int32_t n, double duration, double energy = 1e-9, double wavelength = 1e-6) {
    pulse_ p = zeros(n);
    optics::generatepulse(p, duration, energy, wavelength);
    return p;
}

// Field peak*exp(-x^2/(2 duration^2)) about the grid origin.
inline pulse_ gaussianfield(int32_t n, double dt, double duration, double peak, double lambda = 1.0e-6) {
    pulse_ p = blank(n, dt, lambda);
    for (int32_t i = 1; i <= n; ++i) {
        const double x = optics::getx(p, i) / duration;
        p.envelope(i) = complex_(static_cast<float>(peak * std::exp(-x * x / 2)), 0.0f);
    }
    return p;
}

inline std::vector<complex_> values(const optics::samples_& s) { return {s.begin(), s.end()}; }

inline void expectsame(const optics::samples_& a, const optics::samples_& b) {
    ASSERT_EQ(a.size(), b.size());
    for (int32_t i = 1; i <= a.size(); ++i) ASSERT_EQ(a(i), b(i)) << "sample " << i;
}

// |a - b| / |b| over all samples.
inline double relativel2(const std::vector<complex_>& a, const std::vector<complex_>& b) {
    double diff = 0.0, norm = 0.0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        diff += std::norm(std::complex<double>(a[i]) - std::complex<double>(b[i]));
        norm += std::norm(std::complex<double>(b[i]));
    }
    return std::sqrt(diff / norm);
}

// Sample number of the first largest magnitude.
inline int32_t peak(const optics::samples_& s) {
    int32_t best = 1;
    for (int32_t i = 1; i <= s.size(); ++i)
        if (std::abs(s(i)) > std::abs(s(best))) best = i;
    return best;
}

// Fluence sum(I dt) for beam waist w.
inline double fluence(const optics::samples_& field, double dt, double w) {
    double sum = 0;
    for (const complex_& e : field) sum += std::norm(std::complex<double>(e));
    return sum * dt / (w * w * optics::twopi * optics::impedance);
}

// A gain record (psetgain_ or psetmodulatedgain_) of an Nd-like medium:
// 3e-23 m^2 cross section, 230 us lifetime, unpumped, inverted to 2e23.
template <class Record = elements::psetgain_>
Record ndmedium() {
    Record p;
    p.w = 1.0e-4;
    p.l = 5.0e-3;
    p.sigma = 3.0e-23;
    p.deltan0 = -1.4e26;
    p.t1 = 2.3e-4;
    p.deltan = 2.0e23;
    return p;
}

}  // namespace pulsefixtures
