#pragma once
// Pulses for the crystal tests, built directly on their grids, plain
// reference measures, and kernel errors recorded instead of printed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/tools.h"

namespace crystaltest {

using optics::complex_;
using optics::pulse_;

// A Gaussian of intensity width fwhm (s), peak amplitude `peak` and phase,
// centred on the time origin of a grid with dt*domega*N = 2 pi.
inline pulse_ gaussian(int32_t n, double dt, double fwhm, double omega0, float peak, float phase = 0) {
    pulse_ p;
    p.envelope.allocate(n);
    p.dt = dt;
    p.domega = optics::twopi / (n * dt);
    p.omega0 = omega0;
    for (int32_t i = 1; i <= n; ++i) {
        const double x = optics::getx(p, i) / fwhm;
        p.envelope(i) = std::polar(static_cast<float>(peak * std::exp(-2 * std::log(2.0) * x * x)), phase);
    }
    return p;
}

// Sum of |e|^2 * step * epsilon0 * c.
inline double energyof(const pulse_& p) {
    double sum = 0;
    for (const complex_& e : p.envelope) sum += std::norm(std::complex<double>(e));
    return sum * static_cast<double>(optics::dx(p)) * tools::epsilon0 * tools::c;
}

// Intensity-weighted mean offset on the current grid.
inline double centreof(const pulse_& p) {
    double weight = 0;
    double moment = 0;
    for (int32_t i = 1; i <= p.envelope.size(); ++i) {
        const double w = std::norm(std::complex<double>(p.envelope(i)));
        weight += w;
        moment += w * optics::getx(p, i);
    }
    return moment / weight;
}

inline std::vector<std::string>& reports() {
    static std::vector<std::string> r;
    return r;
}

class Reported : public ::testing::Test {
protected:
    void SetUp() override {
        errorhandling::testing::reset();
        errorhandling::setreporthook([](const char* message, const int32_t&, const int32_t&, int32_t length) {
            reports().emplace_back(message, static_cast<size_t>(length));
        });
        errorhandling::seterrormode(errorhandling::tohost);
        reports().clear();
    }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setreporthook(nullptr);
        errorhandling::testing::reset();
    }
};

}  // namespace crystaltest
