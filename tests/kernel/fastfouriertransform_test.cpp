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

#include "kernel/errorhandling.h"

namespace {

using optics::samples_;
using cd = std::complex<double>;
namespace fft = fastfouriertransform;

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

// The centred, scaled transform computed with FFTW in double precision from
// its definition: result(i) = step/sqrt(2 pi) sum_j data(j) exp(sign 2 pi i (i-c)(j-c)/N),
// c = N/2. Element i-1 holds sample i.
std::vector<cd> reference(const samples_& data, int sign, long double step) {
    const int32_t n = data.size(), c = n / 2;
    std::vector<cd> in(n), out(n), result(n);
    for (int32_t j = 1; j <= n; ++j) in[((j - c) % n + n) % n] = cd(data(j));
    fftw_plan plan = fftw_plan_dft_1d(n, reinterpret_cast<fftw_complex*>(in.data()),
                                      reinterpret_cast<fftw_complex*>(out.data()), sign, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    const auto factor = static_cast<double>(step / sqrttwopi);
    for (int32_t m = 0; m < n; ++m) result[(m + c - 1) % n] = out[m] * factor;
    return result;
}

double magnitude(const cd& v) { return std::sqrt(std::norm(v)); }

double maxabs(const std::vector<cd>& r) {
    double m = 0;
    for (const cd& v : r) m = std::max(m, std::norm(v));
    return std::sqrt(m);
}

// Every sample within 2.5e-7 of its reference value plus 1e-9 of the largest.
::testing::AssertionResult closeeverywhere(const samples_& y, const std::vector<cd>& r) {
    const double floor = 1e-9 * maxabs(r);
    for (int32_t i = 1; i <= y.size(); ++i) {
        const double error = magnitude(cd(y(i)) - r[i - 1]);
        if (!(error <= 2.5e-7 * magnitude(r[i - 1]) + floor))
            return ::testing::AssertionFailure()
                   << "N = " << y.size() << ", sample " << i << ": got " << y(i) << ", expected " << r[i - 1];
    }
    return ::testing::AssertionSuccess();
}

double relativel2(const samples_& y, const samples_& x) {
    double d = 0, s = 0;
    for (int32_t i = 1; i <= x.size(); ++i) {
        d += std::norm(cd(y(i)) - cd(x(i)));
        s += std::norm(cd(x(i)));
    }
    return std::sqrt(d / s);
}

double energy(const samples_& s) {
    double e = 0;
    for (const auto& v : s) e += std::norm(cd(v));
    return e;
}

bool same(const samples_& a, const samples_& b) {
    return a.size() == b.size() &&
           (a.size() == 0 || std::memcmp(a.data(), b.data(), sizeof(optics::complex_) * a.size()) == 0);
}

std::vector<std::string> reports;

void recordreport(const char* message, const int32_t&, const int32_t&, int32_t length) {
    reports.emplace_back(message, static_cast<size_t>(length));
}

// Routes kernel errors into `reports`.
class KernelErrors : public ::testing::Test {
protected:
    void SetUp() override {
        errorhandling::testing::reset();
        errorhandling::setreporthook(recordreport);
        errorhandling::seterrormode(errorhandling::tohost);
        reports.clear();
    }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setreporthook(nullptr);
        errorhandling::testing::reset();
    }
};

TEST(FourierTransform, MatchesFftwForEveryLengthAndBothSigns) {
    for (int bits = 1; bits <= 20; ++bits) {
        const int32_t n = 1 << bits;
        const long double dt = 2.5e-15L;
        for (int sign : {-1, 1}) {
            if (bits > 16 && sign > 0) continue;  // the long lengths once are enough
            for (const samples_& x : {randomsamples(n, bits), chirpedpulse(n)}) {
                samples_ y = x;
                fft::fft(y, sign, dt);
                EXPECT_TRUE(closeeverywhere(y, reference(x, sign, dt))) << "sign " << sign;
            }
        }
    }
}

TEST(FourierTransform, ForwardThenBackRestoresTheSamples) {
    for (int bits = 1; bits <= 20; bits += bits < 12 ? 1 : 4) {
        const int32_t n = 1 << bits;
        const long double dt = 1e-14L, domega = twopi / (n * dt);
        const samples_ x = randomsamples(n, 100 + bits);
        samples_ y = x;
        fft::fft(y, -1, dt);
        fft::fft(y, +1, domega);
        EXPECT_LE(relativel2(y, x), 2e-7) << "N = " << n;
    }
}

TEST(FourierTransform, ConservesEnergy) {
    for (int32_t n : {2, 16, 128, 4096, 65536}) {
        const long double dt = 3e-15L, domega = twopi / (n * dt);
        for (const samples_& x : {randomsamples(n, 7), chirpedpulse(n)}) {
            samples_ y = x;
            fft::fft(y, -1, dt);
            const double before = energy(x) * static_cast<double>(dt);
            EXPECT_NEAR(energy(y) * static_cast<double>(domega), before, 1e-6 * before) << "N = " << n;
        }
    }
}

TEST(FourierTransform, ImpulseAtTheCentreGivesAFlatSpectrum) {
    for (int32_t n : {2, 8, 64, 1024}) {
        samples_ s(n);
        s(n / 2) = 1;
        fft::fft(s, -1, 1.0L);
        for (int32_t i = 1; i <= n; ++i) {
            EXPECT_NEAR(s(i).real(), 0.3989423, 1e-7) << "N = " << n << ", sample " << i;
            EXPECT_EQ(s(i).imag(), 0.0f);
        }
    }
}

TEST(FourierTransform, ImpulseOneStepPastTheCentreGivesALinearPhase) {
    for (int32_t n : {4, 32, 512}) {
        const long double dt = 0.25L;
        samples_ s(n);
        s(n / 2 + 1) = 1;
        fft::fft(s, -1, dt);
        for (int32_t i = 1; i <= n; ++i) {
            const cd expected =
                std::polar(0.25 / 2.5066282746310002, -static_cast<double>(twopi) * (i - n / 2) / n);
            EXPECT_LE(std::abs(cd(s(i)) - expected), 1e-7) << "N = " << n << ", sample " << i;
        }
    }
}

TEST(FourierTransform, BadStepOrSignPrintsAMessageAndKeepsTheSamples) {
    const samples_ x = randomsamples(16, 3);
    const struct {
        int32_t sign;
        long double dt;
    } cases[] = {{-1, 0.0L}, {-1, -1e-15L}, {0, 1.0L}, {2, 1.0L}, {-2, 1.0L}};
    for (const auto& c : cases) {
        samples_ y = x;
        ::testing::internal::CaptureStdout();
        fft::fft(y, c.sign, c.dt);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), " Bad argument in FFT.\n")
            << "sign " << c.sign << ", dt " << static_cast<double>(c.dt);
        EXPECT_TRUE(same(y, x));
    }
}

using FourierTransformErrors = KernelErrors;

TEST_F(FourierTransformErrors, RefusesLengthsThatAreNotPowersOfTwo) {
    for (int32_t n : {0, 1, 3, 6, 12, 1000}) {
        const samples_ x = randomsamples(n, 5);
        samples_ y = x;
        fft::fft(y, -1, 1.0L);
        EXPECT_TRUE(same(y, x)) << "N = " << n;
    }
    ASSERT_EQ(reports.size(), 6u);
    EXPECT_EQ(reports[3], "fft: 6 samples; need a power of two of at least 2");
}

TEST(Four1, MatchesFftwUnnormalised) {
    for (int bits = 1; bits <= 14; ++bits) {
        const int32_t nn = 1 << bits;
        for (int32_t isign : {-1, 1}) {
            const samples_ x = randomsamples(nn, 40 + bits);
            std::vector<double> data(2 * nn);
            std::vector<cd> in(nn), out(nn);
            for (int32_t k = 0; k < nn; ++k) {
                in[k] = cd(x(k + 1));
                data[2 * k] = in[k].real();
                data[2 * k + 1] = in[k].imag();
            }
            fftw_plan plan =
                fftw_plan_dft_1d(nn, reinterpret_cast<fftw_complex*>(in.data()),
                                 reinterpret_cast<fftw_complex*>(out.data()), isign, FFTW_ESTIMATE);
            fftw_execute(plan);
            fftw_destroy_plan(plan);
            fft::four1(data.data(), nn, isign);
            double worst = 0;
            for (int32_t k = 0; k < nn; ++k)
                worst = std::max(worst, std::abs(cd(data[2 * k], data[2 * k + 1]) - out[k]));
            EXPECT_LE(worst, 1e-13 * std::sqrt(nn) * maxabs(out)) << "nn = " << nn << ", isign " << isign;
        }
    }
}

TEST(Four1, ForwardThenBackGivesNnTimesTheInput) {
    const int32_t nn = 256;
    const samples_ x = randomsamples(nn, 9);
    std::vector<double> data(2 * nn);
    for (int32_t k = 0; k < nn; ++k) {
        data[2 * k] = x(k + 1).real();
        data[2 * k + 1] = x(k + 1).imag();
    }
    fft::four1(data.data(), nn, 1);
    fft::four1(data.data(), nn, -1);
    for (int32_t k = 0; k < nn; ++k) {
        EXPECT_NEAR(data[2 * k], nn * x(k + 1).real(), 1e-12 * nn);
        EXPECT_NEAR(data[2 * k + 1], nn * x(k + 1).imag(), 1e-12 * nn);
    }
}

using Four1Errors = KernelErrors;

TEST_F(Four1Errors, RefusesBadLengthsAndSigns) {
    std::vector<double> data(24, 1.5);
    const std::vector<double> original = data;
    for (int32_t nn : {0, 1, 3, 12, -4}) fft::four1(data.data(), nn, 1);
    for (int32_t isign : {0, 2, -2}) fft::four1(data.data(), 8, isign);
    EXPECT_EQ(data, original);
    ASSERT_EQ(reports.size(), 8u);
    EXPECT_EQ(reports[3], "four1: nn = 12; need a power of two of at least 2");
    EXPECT_EQ(reports[5], "four1: isign = 0; need +1 or -1");
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

struct Combination {
    const char* name;
    void (*routine)(const samples_&, const samples_&, samples_&, const optics::quad_&);
    bool correlate;
};
const Combination combinations[] = {{"correlation", fft::correlation, true},
                                    {"convolution", fft::convolution, false}};

TEST(CorrelationAndConvolution, MatchDirectSums) {
    const long double dx = 3.7e11L;  // a spectral step, rad/s
    for (const Combination& op : combinations) {
        for (int bits = 1; bits <= 9; ++bits) {
            const int32_t n = 1 << bits;
            const samples_ a = randomsamples(n, 200 + bits), b = chirpedpulse(n);
            samples_ c(n);
            op.routine(a, b, c, dx);
            const std::vector<cd> r = directsum(a, b, dx, op.correlate);
            const double tolerance = 5e-7 * maxabs(r);
            for (int32_t i = 1; i <= n; ++i)
                EXPECT_LE(std::abs(cd(c(i)) - r[i - 1]), tolerance)
                    << op.name << ", N = " << n << ", sample " << i;
        }
    }
}

TEST(CorrelationAndConvolution, OutputMayBeAnInput) {
    const samples_ a = randomsamples(64, 11), b = randomsamples(64, 12);
    for (const Combination& op : combinations) {
        samples_ separate(64);
        op.routine(a, b, separate, 1.0L);
        samples_ overwritten = a;
        op.routine(overwritten, b, overwritten, 1.0L);
        EXPECT_TRUE(same(overwritten, separate)) << op.name;
    }
}

TEST(Correlation, ZeroLagAtTheCentreIsTheScaledEnergy) {
    const int32_t n = 1024;
    const long double dx = 2e12L;
    const samples_ a = chirpedpulse(n);
    samples_ c(n);
    fft::correlation(a, a, c, dx);
    const double expected = static_cast<double>(dx / sqrttwopi) * energy(a);
    EXPECT_NEAR(c(n / 2).real(), expected, 1e-6 * expected);
    EXPECT_NEAR(c(n / 2).imag(), 0.0, 1e-6 * expected);
}

using CorrelationAndConvolutionErrors = KernelErrors;

TEST_F(CorrelationAndConvolutionErrors, RefuseMismatchedOrBadArraysAndLeaveTheOutput) {
    for (const Combination& op : combinations) {
        reports.clear();
        const samples_ a = randomsamples(16, 1), b = randomsamples(16, 2), shorter = randomsamples(8, 3);
        const samples_ odd = randomsamples(12, 4), original = randomsamples(16, 5);
        samples_ c = original, cshort = shorter;
        op.routine(a, shorter, c, 1.0L);
        op.routine(a, b, cshort, 1.0L);
        op.routine(odd, odd, c, 1.0L);
        EXPECT_TRUE(same(c, original)) << op.name;
        EXPECT_TRUE(same(cshort, shorter)) << op.name;
        ASSERT_EQ(reports.size(), 3u) << op.name;
        EXPECT_EQ(reports[0], std::string(op.name) + ": a, b and c must have the same number of samples");
        EXPECT_EQ(reports[2], std::string(op.name) + ": 12 samples; need a power of two of at least 2");
    }
}

TEST(CorrelationAndConvolution, RefuseAStepThatIsNotPositiveAndFinite) {
    const samples_ a = randomsamples(16, 1), b = randomsamples(16, 2), original = randomsamples(16, 3);
    for (const Combination& op : combinations) {
        for (long double dx :
             {0.0L, -1.0L, static_cast<long double>(NAN), static_cast<long double>(INFINITY)}) {
            samples_ c = original;
            ::testing::internal::CaptureStdout();
            op.routine(a, b, c, dx);
            EXPECT_EQ(::testing::internal::GetCapturedStdout(), " Bad argument in FFT.\n") << op.name;
            EXPECT_TRUE(same(c, original)) << op.name << ", dx " << static_cast<double>(dx);
        }
    }
}

// Several threads transform different lengths at once, each building the
// tables it needs while others read theirs.
TEST(FourierTransformThreads, ConcurrentTransformsOfDifferentLengths) {
    constexpr int threads = 8;
    struct Job {
        samples_ x;
        std::vector<cd> expected;
        samples_ a, b;
        std::vector<cd> correlated;
        bool ok = true;
    };
    std::vector<Job> jobs(threads);
    for (int t = 0; t < threads; ++t) {
        const int32_t n = 1 << (4 + t);
        jobs[t].x = randomsamples(n, 300 + t);
        jobs[t].expected = reference(jobs[t].x, -1, 1.0L);
        const int32_t m = 1 << (1 + t);
        jobs[t].a = randomsamples(m, 400 + t);
        jobs[t].b = randomsamples(m, 500 + t);
        jobs[t].correlated = directsum(jobs[t].a, jobs[t].b, 1.0L, true);
    }
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&job = jobs[t]] {
            for (int round = 0; round < 20; ++round) {
                samples_ y = job.x;
                fft::fft(y, -1, 1.0L);
                job.ok = job.ok && closeeverywhere(y, job.expected);
                samples_ c(job.a.size());
                fft::correlation(job.a, job.b, c, 1.0L);
                const double tolerance = 5e-7 * maxabs(job.correlated);
                for (int32_t i = 1; i <= c.size(); ++i)
                    job.ok = job.ok && std::abs(cd(c(i)) - job.correlated[i - 1]) <= tolerance;
            }
        });
    }
    for (auto& thread : pool) thread.join();
    for (int t = 0; t < threads; ++t) EXPECT_TRUE(jobs[t].ok) << "thread " << t;
}

}  // namespace
