#include "kernel/elementsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using optics::complex_;
namespace support = elements::support;

// The sweeps before the element loops give each sample's intensity (and
// its ratio to a saturation intensity) exactly as the loops computed it,
// over arrays of both parities and fields of many decades.
TEST(ElementSupport, IntensitySweepsEqualTheSampleBySampleValues) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> unit(-1, 1);
    std::uniform_int_distribution<int> decade(-30, 10);
    const double factor = support::intensityfactor(1.0e-4), is = 3.0e11;
    for (const int32_t n : {1, 2, 7, 64}) {
        optics::samples_ s(n);
        for (complex_& z : s) z = complex_(unit(rng), unit(rng)) * std::pow(10.0f, static_cast<float>(decade(rng)));
        const double* ratios = support::intensityratios(s, factor, is);
        for (int32_t k = 0; k < n; ++k)
            EXPECT_EQ(ratios[k], support::intensity(s.data()[k], factor) / is) << "N = " << n << ", k = " << k;
        const double* values = support::intensities(s, factor);
        for (int32_t k = 0; k < n; ++k)
            EXPECT_EQ(values[k], support::intensity(s.data()[k], factor)) << "N = " << n << ", k = " << k;
    }
}

}  // namespace
