#include "kernel/fastfouriertransform.h"

#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kernelerrors.h"

namespace fastfouriertransform {
void PrintTo(path_ path, std::ostream* out) {
    *out << (path == path_::avx512 ? "AVX512" : path == path_::avx2 ? "AVX2" : "plain");
}
}  // namespace fastfouriertransform

namespace {

using optics::samples_;
using cd = std::complex<double>;
namespace fft = fastfouriertransform;
using FourierErrors = kernelerrors::KernelErrors;
using ::testing::PrintToString;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr long double twopi = 6.283185307179586L;
constexpr long double sqrttwopi = 2.5066282746310002L;

samples_ randomsamples(int32_t n, unsigned seed) {
    samples_ s(n);
    std::minstd_rand rng(seed);
    std::uniform_real_distribution<float> uniform(-1, 1);
    for (auto& v : s) v = {uniform(rng), uniform(rng)};
    return s;
}

// A chirped Gaussian off the grid centre: its spectrum spans many decades.
samples_ chirpedpulse(int32_t n) {
    samples_ s(n);
    const double width = std::max(1.0, n / 16.0), centre = n / 2.0 + n / 10.0;
    for (int32_t i = 1; i <= n; ++i) {
        const double x = (i - centre) / width;
        s(i) = std::complex<float>(std::polar(std::exp(-x * x / 2), 0.3 * x * x));
    }
    return s;
}

// FFTW in double precision: out(m) = sum_k in(k) exp(sign 2 pi i m k/N).
std::vector<cd> fftw(std::vector<cd> in, int sign) {
    std::vector<cd> out(in.size());
    fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(in.size()), reinterpret_cast<fftw_complex*>(in.data()),
                                      reinterpret_cast<fftw_complex*>(out.data()), sign, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

// The centred, scaled transform from its definition:
// result(i) = step/sqrt(2 pi) sum_j data(j) exp(sign 2 pi i (i-c)(j-c)/N), c = N/2.
// Element i-1 holds sample i.
std::vector<cd> reference(const samples_& data, int sign, long double step) {
    const int32_t n = data.size(), c = n / 2;
    std::vector<cd> in(n), result(n);
    for (int32_t j = 1; j <= n; ++j) in[((j - c) % n + n) % n] = cd(data(j));
    const std::vector<cd> out = fftw(in, sign);
    const auto factor = static_cast<double>(step / sqrttwopi);
    for (int32_t m = 0; m < n; ++m) result[(m + c - 1) % n] = out[m] * factor;
    return result;
}

// The definitions as direct sums in double, with indices of b cyclic in 1..N:
// correlation c(i) = dx/sqrt(2 pi) sum_j conj(a(j)) b(j + i - N/2),
// convolution c(i) = dx/sqrt(2 pi) sum_j a(j) b(i - j + N/2).
std::vector<cd> directsum(const samples_& a, const samples_& b, long double dx, bool correlate) {
    const int32_t n = a.size(), c0 = n / 2;
    const auto factor = static_cast<double>(dx / sqrttwopi);
    auto bat = [&](int32_t i) { return cd(b(((i - 1) % n + n) % n + 1)); };
    std::vector<cd> c(n);
    for (int32_t i = 1; i <= n; ++i) {
        cd sum = 0;
        for (int32_t j = 1; j <= n; ++j)
            sum += correlate ? std::conj(cd(a(j))) * bat(j + i - c0) : cd(a(j)) * bat(i - j + c0);
        c[i - 1] = sum * factor;
    }
    return c;
}

double maxabs(const std::vector<cd>& r) {
    double m = 0;
    for (const cd& v : r) m = std::max(m, std::abs(v));
    return m;
}

// Every sample within `relative` of its reference value plus `floor` times the largest.
::testing::AssertionResult close(const samples_& y, const std::vector<cd>& r, double relative, double floor) {
    const double absolute = floor * maxabs(r);
    for (int32_t i = 1; i <= y.size(); ++i)
        if (!(std::abs(cd(y(i)) - r[i - 1]) <= relative * std::abs(r[i - 1]) + absolute))
            return ::testing::AssertionFailure()
                   << "N = " << y.size() << ", sample " << i << ": got " << y(i) << ", expected " << r[i - 1];
    return ::testing::AssertionSuccess();
}
::testing::AssertionResult transformclose(const samples_& y, const std::vector<cd>& r) {
    return close(y, r, 2.5e-7, 1e-9);
}
::testing::AssertionResult sumclose(const samples_& y, const std::vector<cd>& r) { return close(y, r, 0, 5e-7); }

double energy(const samples_& s) {
    double e = 0;
    for (const auto& v : s) e += std::norm(cd(v));
    return e;
}

bool same(const samples_& a, const samples_& b) {
    return a.size() == b.size() &&
           (a.size() == 0 || std::memcmp(a.data(), b.data(), sizeof(optics::complex_) * a.size()) == 0);
}

// Runs a test on each instruction path of the transforms that the processor
// has; the others are skipped.
class FourierPaths : public ::testing::TestWithParam<fft::path_> {
protected:
    void SetUp() override {
        if (!fft::usepath(GetParam()))
            GTEST_SKIP() << "this processor has no " << PrintToString(GetParam()) << ": that path is not tested";
    }
    void TearDown() override { fft::usepath(previous); }

private:
    const fft::path_ previous = fft::currentpath();
};
using FourierTransform = FourierPaths;
using Four1 = FourierPaths;
using CorrelationAndConvolution = FourierPaths;
const auto paths = ::testing::Values(fft::path_::plain, fft::path_::avx2, fft::path_::avx512);
std::string pathname(const ::testing::TestParamInfo<fft::path_>& info) { return PrintToString(info.param); }
INSTANTIATE_TEST_SUITE_P(Paths, FourierTransform, paths, pathname);
INSTANTIATE_TEST_SUITE_P(Paths, Four1, paths, pathname);
INSTANTIATE_TEST_SUITE_P(Paths, CorrelationAndConvolution, paths, pathname);

TEST_P(FourierTransform, MatchesFftwForEveryLengthAndBothSigns) {
    for (int bits = 1; bits <= 20; ++bits) {
        const int32_t n = 1 << bits;
        const long double dt = 2.5e-15L;
        for (int sign : {-1, 1}) {
            if (bits > 16 && sign > 0) continue;  // the long lengths once are enough
            for (const samples_& x : {randomsamples(n, bits), chirpedpulse(n)}) {
                samples_ y = x;
                fft::fft(y, sign, dt);
                EXPECT_TRUE(transformclose(y, reference(x, sign, dt))) << "sign " << sign;
            }
        }
    }
}

TEST_P(FourierTransform, RoundTripRestoresTheSamplesAndEnergyIsConserved) {
    for (int bits = 1; bits <= 20; bits += bits < 12 ? 1 : 4) {
        const int32_t n = 1 << bits;
        const long double dt = 1e-14L, domega = twopi / (n * dt);
        for (const samples_& x : {randomsamples(n, 100 + bits), chirpedpulse(n)}) {
            samples_ y = x;
            fft::fft(y, -1, dt);
            // Parseval: sum |x|^2 dt = sum |y|^2 domega.
            const double before = energy(x) * static_cast<double>(dt);
            EXPECT_NEAR(energy(y) * static_cast<double>(domega), before, 1e-6 * before) << "N = " << n;
            fft::fft(y, +1, domega);
            double d = 0;
            for (int32_t i = 1; i <= n; ++i) d += std::norm(cd(y(i)) - cd(x(i)));
            EXPECT_LE(std::sqrt(d / energy(x)), 2e-7) << "N = " << n;
        }
    }
}

// Samples 1 at the centre c and 2^-30 at c + N/2 transform to
// (1 +- 2^-30)*scale. Each sum is rounded to single precision (to 1) before
// the scaling, so with a scale just below the midpoint between 1 and the next
// float every sample is exactly 1.
TEST_P(FourierTransform, SumsAreRoundedToSinglePrecisionBeforeTheScaling) {
    const long double scale = 1.0L + 0x1p-24L - 0x1p-40L;
    for (const int32_t n : {2, 16, 32, 256}) {
        samples_ s(n);
        s(n / 2) = 1.0f;
        s(n) = 0x1p-30f;
        fft::fft(s, -1, scale * sqrttwopi);
        for (int32_t i = 1; i <= n; ++i) {
            EXPECT_EQ(s(i).real(), 1.0f) << "N = " << n << ", sample " << i;
            EXPECT_NEAR(s(i).imag(), 0.0f, 1e-20f);
        }
    }
}

// A sample (1, -1) at the centre transforms to (1, -1)*scale everywhere. A
// scale a hair above the midpoint between 1 and the next float, closer than
// a double resolves, must round up: the scaling is done in extended precision.
// The step carries the transform's own sqrt(2 pi), a double.
TEST_P(FourierTransform, ScaleIsAppliedInExtendedPrecision) {
    const long double scale = 1.0L + 0x1p-24L + 0x1p-58L;
    const long double step = scale * static_cast<long double>(2.5066282746310002);
    const float above = std::nextafter(1.0f, 2.0f);
    for (const int32_t n : {2, 16, 32, 256}) {
        samples_ s(n);
        s(n / 2) = {1.0f, -1.0f};
        fft::fft(s, +1, step);
        for (int32_t i = 1; i <= n; ++i) {
            EXPECT_EQ(s(i).real(), above) << "N = " << n << ", sample " << i;
            EXPECT_EQ(s(i).imag(), -above) << "N = " << n << ", sample " << i;
        }
    }
    // Random values and steps: every sample is the extended product, rounded.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<float> value(-2, 2);
    std::uniform_real_distribution<double> exponent(-30, 30);
    for (int draw = 0; draw < 20000; ++draw) {
        samples_ s(16);
        const optics::complex_ x(value(rng), value(rng));
        s(8) = x;
        const long double dt = std::pow(10.0L, exponent(rng));
        fft::fft(s, -1, dt);
        const long double nfactor = dt / static_cast<long double>(2.5066282746310002);
        const optics::complex_ expected(static_cast<float>(x.real() * nfactor), static_cast<float>(x.imag() * nfactor));
        for (int32_t i = 1; i <= 16; ++i) ASSERT_EQ(s(i), expected) << "draw " << draw << ", sample " << i;
    }
}

TEST_F(FourierErrors, BadStepSignOrLengthLeavesTheSamples) {
    const samples_ x = randomsamples(16, 3);
    const struct {
        int32_t sign;
        long double dt;
    } cases[] = {{-1, 0.0L}, {-1, -1e-15L}, {0, 1.0L}, {2, 1.0L}, {-2, 1.0L}};
    for (const auto& c : cases) {
        samples_ y = x;
        CaptureStdout();
        fft::fft(y, c.sign, c.dt);
        EXPECT_EQ(GetCapturedStdout(), " Bad argument in FFT.\n")
            << "sign " << c.sign << ", dt " << static_cast<double>(c.dt);
        EXPECT_TRUE(same(y, x));
    }
    for (int32_t n : {0, 1, 3, 6, 12, 1000}) {
        const samples_ odd = randomsamples(n, 5);
        samples_ y = odd;
        fft::fft(y, -1, 1.0L);
        EXPECT_TRUE(same(y, odd)) << "N = " << n;
    }
    ASSERT_EQ(messages().size(), 6u);
    EXPECT_EQ(messages()[3], "fft: 6 samples; need a power of two of at least 2");
}

TEST_P(Four1, MatchesFftwUnnormalised) {
    for (int bits = 1; bits <= 14; ++bits) {
        const int32_t nn = 1 << bits;
        for (int32_t isign : {-1, 1}) {
            const samples_ x = randomsamples(nn, 40 + bits);
            std::vector<double> data(2 * nn);
            std::vector<cd> in(nn);
            for (int32_t k = 0; k < nn; ++k) {
                in[k] = cd(x(k + 1));
                data[2 * k] = in[k].real();
                data[2 * k + 1] = in[k].imag();
            }
            const std::vector<cd> out = fftw(in, isign);
            fft::four1(data.data(), nn, isign);
            double worst = 0;
            for (int32_t k = 0; k < nn; ++k)
                worst = std::max(worst, std::abs(cd(data[2 * k], data[2 * k + 1]) - out[k]));
            EXPECT_LE(worst, 1e-13 * std::sqrt(nn) * maxabs(out)) << "nn = " << nn << ", isign " << isign;
        }
    }
}

TEST_F(FourierErrors, Four1RefusesBadLengthsAndSigns) {
    std::vector<double> data(24, 1.5);
    const std::vector<double> original = data;
    for (int32_t nn : {0, 1, 3, 12, -4}) fft::four1(data.data(), nn, 1);
    for (int32_t isign : {0, 2, -2}) fft::four1(data.data(), 8, isign);
    EXPECT_EQ(data, original);
    ASSERT_EQ(messages().size(), 8u);
    EXPECT_EQ(messages()[3], "four1: nn = 12; need a power of two of at least 2");
    EXPECT_EQ(messages()[5], "four1: isign = 0; need +1 or -1");
}

struct Combination {
    const char* name;
    void (*routine)(const samples_&, const samples_&, samples_&, const optics::quad_&);
    bool correlate;
};
const Combination combinations[] = {{"correlation", fft::correlation, true},
                                    {"convolution", fft::convolution, false}};

TEST_P(CorrelationAndConvolution, MatchDirectSumsAlsoWhenTheOutputIsAnInput) {
    const long double dx = 3.7e11L;  // a spectral step, rad/s
    for (const Combination& op : combinations) {
        for (int bits = 1; bits <= 9; ++bits) {
            const int32_t n = 1 << bits;
            const samples_ a = randomsamples(n, 200 + bits), b = chirpedpulse(n);
            samples_ c(n);
            op.routine(a, b, c, dx);
            EXPECT_TRUE(sumclose(c, directsum(a, b, dx, op.correlate))) << op.name;
            samples_ overwritten = a;
            op.routine(overwritten, b, overwritten, dx);
            EXPECT_TRUE(same(overwritten, c)) << op.name;
        }
    }
}

TEST_F(FourierErrors, CorrelationAndConvolutionRefuseBadArraysOrStepsAndLeaveTheOutput) {
    const samples_ a = randomsamples(16, 1), b = randomsamples(16, 2), shorter = randomsamples(8, 3);
    const samples_ odd = randomsamples(12, 4), original = randomsamples(16, 5);
    for (const Combination& op : combinations) {
        kernelerrors::recorded().clear();
        samples_ c = original, cshort = shorter;
        op.routine(a, shorter, c, 1.0L);
        op.routine(a, b, cshort, 1.0L);
        op.routine(odd, odd, c, 1.0L);
        EXPECT_TRUE(same(cshort, shorter)) << op.name;
        ASSERT_EQ(messages().size(), 3u) << op.name;
        EXPECT_EQ(messages()[0], std::string(op.name) + ": a, b and c must have the same number of samples");
        EXPECT_EQ(messages()[2], std::string(op.name) + ": 12 samples; need a power of two of at least 2");
        for (long double dx : {0.0L, -1.0L, static_cast<long double>(NAN), static_cast<long double>(INFINITY)}) {
            CaptureStdout();
            op.routine(a, b, c, dx);
            EXPECT_EQ(GetCapturedStdout(), " Bad argument in FFT.\n") << op.name;
        }
        EXPECT_TRUE(same(c, original)) << op.name;
    }
}

// Several threads transform different lengths at once, each building the
// tables it needs while others read theirs.
TEST(FourierTransformThreads, ConcurrentTransformsOfDifferentLengths) {
    constexpr int threads = 8;
    struct Job {
        samples_ x, a, b;
        std::vector<cd> expected, correlated;
        bool ok = true;
    };
    std::vector<Job> jobs(threads);
    for (int t = 0; t < threads; ++t) {
        jobs[t].x = randomsamples(1 << (4 + t), 300 + t);
        jobs[t].expected = reference(jobs[t].x, -1, 1.0L);
        jobs[t].a = randomsamples(1 << (1 + t), 400 + t);
        jobs[t].b = randomsamples(1 << (1 + t), 500 + t);
        jobs[t].correlated = directsum(jobs[t].a, jobs[t].b, 1.0L, true);
    }
    std::vector<std::thread> pool;
    for (Job& job : jobs)
        pool.emplace_back([&job] {
            for (int round = 0; round < 20; ++round) {
                samples_ y = job.x;
                fft::fft(y, -1, 1.0L);
                samples_ c(job.a.size());
                fft::correlation(job.a, job.b, c, 1.0L);
                job.ok = job.ok && transformclose(y, job.expected) && sumclose(c, job.correlated);
            }
        });
    for (auto& thread : pool) thread.join();
    for (int t = 0; t < threads; ++t) EXPECT_TRUE(jobs[t].ok) << "thread " << t;
}

}  // namespace
