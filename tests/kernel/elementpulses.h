#pragma once
// Hand-made pulses and checks shared by the element tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>

#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/pulserecord.h"
#include "kernel/tools.h"

namespace elementpulses {

using optics::complex_;
using optics::pulse_;

// n zero time samples on a grid with dt*domega*n = 2 pi, carrier at lambda.
inline pulse_ blank(int32_t n, double dt, double lambda = 1.0e-6) {
    pulse_ p;
    p.envelope.allocate(n);
    p.dt = dt;
    p.domega = (optics::twopi / p.dt) / n;
    p.omega0 = optics::twopic / lambda;
    return p;
}

// Field peak*exp(-x^2/(2 duration^2)) about the grid origin.
inline pulse_ gaussian(int32_t n, double dt, double duration, double peak, double lambda = 1.0e-6) {
    pulse_ p = blank(n, dt, lambda);
    for (int32_t i = 1; i <= n; ++i) {
        const double x = optics::getx(p, i) / duration;
        p.envelope(i) = complex_(static_cast<float>(peak * std::exp(-x * x / 2)), 0.0f);
    }
    return p;
}

inline long double sumsquares(const optics::samples_& field) {
    long double sum = 0;
    for (const complex_& e : field) sum += std::norm(std::complex<double>(e));
    return sum;
}

// Fluence sum(I dt) for beam waist w.
inline double fluence(const optics::samples_& field, double dt, double w) {
    return static_cast<double>(sumsquares(field) * dt / (w * w * optics::twopi * optics::impedance));
}

// Energy of a time-domain pulse, sum(|e|^2) dt eps0 c.
inline double energy(const pulse_& p) {
    return static_cast<double>(sumsquares(p.envelope) * p.dt * tools::epsilon0 * tools::c);
}

// The number of kernel errors `body` reports; they are counted, not printed.
inline int32_t reported(const std::function<void()>& body) {
    errorhandling::seterrormode(errorhandling::nowarn);
    errorhandling::testing::reset();
    body();
    const int32_t count = errorhandling::testing::errorcount();
    errorhandling::testing::reset();
    errorhandling::seterrormode(errorhandling::standard);
    return count;
}

inline void expectsame(const optics::samples_& a, const optics::samples_& b) {
    ASSERT_EQ(a.size(), b.size());
    for (int32_t i = 1; i <= a.size(); ++i) ASSERT_EQ(a(i), b(i)) << "sample " << i;
}

}  // namespace elementpulses
