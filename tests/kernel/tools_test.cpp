#include "kernel/tools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernelerrors.h"
#include "pulsefixtures.h"
#include "scratch.h"

namespace {

using optics::complex_;
using optics::samples_;
using Tools = kernelerrors::KernelErrors;
using rows = std::vector<std::vector<double>>;

samples_ makesamples(const std::vector<complex_>& values) { return pulsefixtures::fromvalues(values).envelope; }

std::vector<float> realparts(const samples_& s) {
    std::vector<float> out;
    for (const complex_& z : s) out.push_back(z.real());
    return out;
}

TEST_F(Tools, PeakSearchMultiplyAndShift) {
    EXPECT_EQ(tools::findmax(samples_(8)), 1);
    EXPECT_EQ(tools::findmax(makesamples({1, 3, 3})), 2);
    EXPECT_EQ(tools::findmax(makesamples({{0, 0}, {3, 4}, {4.9f, 0}})), 2);  // |3+4i| = 5
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(tools::findmax(makesamples({{1, 0}, {nan, inf}, {2, 0}})), 2);  // |NaN + i inf| = inf
    EXPECT_EQ(tools::findmax(makesamples({{1, 0}, {nan, 1}, {2, 0}})), 3);    // NaN is never larger
    const samples_ a = makesamples({1, -2, 5, 3});
    EXPECT_EQ(tools::findmaxsum(a, makesamples({-1, 2, -5, -3})), 1);
    EXPECT_EQ(tools::findmaxsum(a, makesamples({0, 0, -5, 1})), 4);
    EXPECT_EQ(tools::findmaxsum(a, makesamples({0, 0})), 3);  // a short second array ends in zeros

    samples_ product;
    tools::multiply(makesamples({{1, 1}, {0, 2}}), makesamples({{1, -1}, {0, 2}}), product);
    EXPECT_EQ(realparts(product), (std::vector<float>{2, -4}));
    tools::multiply(samples_(3), samples_(2), product);  // a shorter second factor is refused
    EXPECT_EQ(product.size(), 2);
    EXPECT_EQ(messages().size(), 1u);

    samples_ even = makesamples({1, 2, 3, 4}), odd = makesamples({1, 2, 3, 4, 5});
    tools::shift(even);
    tools::shift(odd);
    EXPECT_EQ(realparts(even), (std::vector<float>{3, 4, 1, 2}));
    EXPECT_EQ(realparts(odd), (std::vector<float>{3, 4, 1, 2, 5}));
}

// The first sample of largest |z| as std::abs gives it, on arrays of every
// parity full of ties and of moduli one float apart.
TEST(ToolsPeakSearch, FindsTheFirstSampleOfLargestModulus) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> small(-3, 3);
    std::uniform_real_distribution<float> wide(-1, 1);
    for (const int32_t n : {1, 2, 3, 8, 9, 255, 4096}) {
        for (int draw = 0; draw < 50; ++draw) {
            samples_ s(n);
            for (complex_& z : s) {
                z = draw % 2 ? complex_(static_cast<float>(small(rng)), static_cast<float>(small(rng)))
                             : complex_(wide(rng), wide(rng));
                if (draw % 5 == 0) z *= 1e-30f;
            }
            if (draw % 3 == 0) s(1 + static_cast<int32_t>(rng() % n)) = {std::nextafter(5.0f, 6.0f), 0};
            if (draw % 3 == 0) s(1 + static_cast<int32_t>(rng() % n)) = {3, 4};  // |3+4i| = 5
            int32_t expected = 1;
            for (int32_t i = 1; i <= n; ++i)
                if (std::abs(s(i)) > std::abs(s(expected))) expected = i;
            ASSERT_EQ(tools::findmax(s), expected) << "N = " << n << ", draw " << draw;
        }
    }
}

TEST_F(Tools, GaussianIsCentredByMeanAndNormalisedByTwoRootPiSigma) {
    const float sigma = 7.5f;
    samples_ odd(255), even(256);
    tools::generategaussian(odd, sigma, 0.0f);
    EXPECT_NEAR(odd(128).real(), 1.0 / (2.0 * std::sqrt(M_PI) * sigma), 1e-8);
    for (int32_t k = 1; k < 128; ++k) EXPECT_EQ(odd(128 - k), odd(128 + k));
    // The sum approximates the integral sigma*sqrt(2 pi)/(2 sqrt(pi) sigma).
    tools::generategaussian(even, sigma, 3.0f);
    EXPECT_EQ(tools::findmax(even), 131);
    EXPECT_NEAR(tools::integrate(even).real(), 1.0 / std::sqrt(2.0), 1e-5);
    const double edge = std::sqrt(200.0) * sigma;  // the exponent reaches 100
    EXPECT_EQ(tools::unnormalizedgaussian(edge * 1.0001, sigma), 0.0);
    EXPECT_GT(tools::unnormalizedgaussian(edge * 0.9999, sigma), 0.0);
    EXPECT_NEAR(tools::unnormalizedgaussian(sigma * std::sqrt(2 * std::log(2.0)), sigma), 0.5, 1e-12);
}

TEST_F(Tools, IntegralsDifferencesAndLinesRefuseBadRanges) {
    const samples_ s = makesamples({{1, 1}, {2, 0}, {3, -1}, {4, 0}});
    EXPECT_EQ(tools::integrate(s), complex_(10, 0));
    EXPECT_EQ(tools::integrate(s, 3), complex_(7, -1));
    EXPECT_EQ(tools::integrate(s, 2, 3), complex_(5, -1));
    EXPECT_TRUE(messages().empty());
    for (auto [lower, upper] : {std::pair{0, 4}, {2, 2}, {3, 2}, {1, 5}})
        EXPECT_EQ(tools::integrate(s, lower, upper), complex_(0, 0));
    EXPECT_EQ(messages(), std::vector<std::string>(4, "Invalid boundaries in Integrate()"));

    std::vector<double> df, untouched{7, 7};
    tools::derive({1, 4, 9, 16, 25, 36}, df, 0.5);
    EXPECT_EQ(df, (std::vector<double>{8, 8, 12, 16, 20, 20}));
    tools::derive({1, 2}, untouched, 1.0);
    // A line with a bump at sample 5 keeps only the bump.
    std::vector<double> f, fp;
    for (int i = 1; i <= 8; ++i) f.push_back(3.0 * i - 2.0 + (i == 5 ? 1.5 : 0.0));
    tools::substractlinear(f, fp, 8, 1);
    for (size_t i = 0; i < fp.size(); ++i) EXPECT_NEAR(fp[i], i == 4 ? 1.5 : 0.0, 1e-12);
    tools::substractlinear(f, untouched, 9);
    EXPECT_EQ(messages().size(), 6u);
    ::testing::internal::CaptureStdout();
    tools::substractlinear({1, 5, 1}, untouched);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), " x1=x2 or y1=y2 in SubstractLinear.\n");
    EXPECT_EQ(untouched, (std::vector<double>{7, 7}));
}

TEST(ToolsPowerOfTwo, AcceptsPowersOfTwoFromTwoOn) {
    for (int32_t n : {2, 4, 1024, 1 << 30}) EXPECT_EQ(tools::is2ton(n), 1) << n;
    // 2^24 + 1 rounds to a power of two in single precision.
    for (int32_t n : {1, 3, 0, -4, 1000, (1 << 24) + 1}) EXPECT_EQ(tools::is2ton(n), 0) << n;
}

TEST(ToolsFourier, TransformOfAGaussianIsAGaussian) {
    const int32_t n = 128;
    const double dt = 1e-13, domega = 2 * M_PI / (n * dt);
    const double s = std::sqrt(n / (2 * M_PI)) * dt;  // equal widths in both domains
    const double t0 = 5 * dt;
    samples_ f(n);
    for (int32_t k = 1; k <= n; ++k) {
        const double t = (k - n / 2) * dt - t0;
        f(k) = complex_(static_cast<float>(std::exp(-t * t / (2 * s * s))), 0.0f);
    }
    const samples_ original = f;
    EXPECT_EQ(tools::foutrans(f, dt, domega), 0);
    // (1/sqrt(2 pi)) * integral of exp(-(t-t0)^2/(2s^2)) exp(-i w t) dt
    for (int32_t m = 1; m <= n; ++m) {
        const double w = (m - n / 2) * domega;
        const std::complex<double> expected = s * std::exp(std::complex<double>(-w * w * s * s / 2, -w * t0));
        EXPECT_LT(std::abs(std::complex<double>(f(m)) - expected), 1e-5 * s) << m;
    }
    tools::inversefoutrans(f, dt, domega);
    for (int32_t k = 1; k <= n; ++k) EXPECT_LT(std::abs(f(k) - original(k)), 1e-5) << k;
}

TEST_F(Tools, StringRecordHoldsAtMost256BlankPaddedCharacters) {
    const tools::string_ s = tools::char2str("data/out.dat");
    EXPECT_EQ(std::string(s.data, 16), "data/out.dat    ");
    std::string narrow(4, '?'), wide(14, '?');
    tools::s_to_c_assign(narrow, s);
    tools::s_to_c_assign(wide, s);
    EXPECT_EQ(narrow + "|" + wide, "data|data/out.dat  ");
    const std::string long300 = std::string(250, 'a') + std::string(50, 'b');
    tools::string_ cut;
    tools::c_to_s_assign(cut, long300);
    EXPECT_EQ(tools::str2char(cut), long300.substr(0, 256));
    EXPECT_EQ(tools::str2char(tools::string_concat(tools::char2str("pfirst"), s)), "pfirstdata/out.dat");
    EXPECT_EQ(tools::str2char(tools::int2str(42, 5)), "00042");
    EXPECT_EQ(tools::str2char(tools::int2str(123456, 3)), "123456");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(tools::string_concat(cut, s).length, 256);
    EXPECT_EQ(tools::int2str(0, 3).length, 0);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(Tools, WritersPlaceSamplesOnTheGivenAxis) {
    const samples_ data = makesamples({{3, 4}, {-1, 0}, {0, -2}, {0.5f, 0.5f}, {1e-30f, -2e30f}});
    scratch::Path file("complex");
    const tools::string_ name = tools::char2str(file.str());
    tools::writecomplexdata(data, name);
    rows written = scratch::readrows(file.str());
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[0], (std::vector<double>{0, 5, 3, 4}));
    EXPECT_EQ(written[2], (std::vector<double>{2, 2, 0, -2}));
    EXPECT_NEAR(written[4][3], -2e30, 1e26);
    tools::writecomplexdata(data, name, -1.0, 1.0);
    written = scratch::readrows(file.str());
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(written[i][0], -1.0 + 0.5 * static_cast<double>(i));
    EXPECT_TRUE(messages().empty());
    tools::writecomplexdata(data, name, -1.0);
    EXPECT_EQ(scratch::readrows(file.str())[4][0], 4.0);
    EXPECT_EQ(messages(), std::vector<std::string>{"ERROR: Only one of two bounds given in WriteComplexData"});

    // Real rows keep every digit; a shorter write replaces the file.
    tools::writerealdata({M_PI, -1.0 / 3.0, 1e-300}, name, 10.0, 12.0);
    EXPECT_EQ(scratch::readrows(file.str()), (rows{{10, M_PI}, {11, -1.0 / 3.0}, {12, 1e-300}}));
    tools::writeimaginarypart(data, name, std::nullopt, std::nullopt, 2, 3);
    EXPECT_EQ(scratch::readrows(file.str()), (rows{{1, 0}, {2, -2}}));
    tools::writetogether({1.25, 2.5}, {-7, 8}, name);
    EXPECT_EQ(scratch::readrows(file.str()), (rows{{1, 1.25}, {1, -7}, {2, 2.5}, {2, 8}}));
}

TEST_F(Tools, WritersReportWhatCannotBeWritten) {
    const std::string missingdir = scratch::Path("nodir").str() + "/file.dat";
    tools::writecomplexdata(samples_(3), tools::char2str(missingdir));
    // The device accepts the open but no data.
    tools::writerealdata(std::vector<double>(10, 1.0), tools::char2str("/dev/full"));
    tools::writetogether({1.0}, {2.0}, tools::char2str("/dev/full"));
    EXPECT_EQ(messages(), std::vector<std::string>(3, "ERROR: Unable to open file for writing."));

    scratch::Path file("range");
    tools::writerealdata({1, 2, 3}, tools::char2str(file.str()), std::nullopt, std::nullopt, 0, 9);
    EXPECT_EQ(scratch::readrows(file.str()).size(), 3u);
    tools::writetogether({1, 2}, {1}, tools::char2str(file.str()));
    EXPECT_EQ(scratch::readrows(file.str()).size(), 3u);
    EXPECT_EQ(messages().size(), 5u);
}

}  // namespace
