#pragma once
// Shared pieces of the pulse tests: records built from plain values, the
// kernel's Gaussian start pulse, a relative L2 distance, and a fixture that
// collects the messages the kernel reports.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "kernel/errorhandling.h"
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

inline pulse_ gaussian(int32_t n, double duration, double energy = 1e-9, double wavelength = 1e-6) {
    pulse_ p = zeros(n);
    optics::generatepulse(p, duration, energy, wavelength);
    return p;
}

inline std::vector<complex_> values(const optics::samples_& s) { return {s.begin(), s.end()}; }

// |a - b| / |b| over all samples.
inline double relativel2(const std::vector<complex_>& a, const std::vector<complex_>& b) {
    double diff = 0.0;
    double norm = 0.0;
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

inline std::vector<std::string>& reported() {
    static std::vector<std::string> messages;
    return messages;
}

// Collects the kernel's reports of a test instead of printing them.
class Reports : public ::testing::Test {
protected:
    void SetUp() override {
        errorhandling::testing::reset();
        reported().clear();
        errorhandling::setreporthook([](const char* message, const int32_t&, const int32_t&, int32_t length) {
            reported().emplace_back(message, static_cast<size_t>(length));
        });
        errorhandling::seterrormode(errorhandling::tohost);
    }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setreporthook(nullptr);
        errorhandling::testing::reset();
    }
    static const std::vector<std::string>& messages() { return reported(); }
};

}  // namespace pulsefixtures
