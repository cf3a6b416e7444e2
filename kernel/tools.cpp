#include "kernel/tools.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include "kernel/errorhandling.h"
#include "kernel/listoutput.h"

namespace tools {

namespace {

const char* const kOneBound = "ERROR: Only one of two bounds given in WriteComplexData";
const char* const kCannotWrite = "ERROR: Unable to open file for writing.";

// 2*sqrt(pi) and sqrt(2*pi) as the kernel holds them.
constexpr double kTwoSqrtPi = 3.5449077018110318;
constexpr double kSqrtTwoPi = 2.5066282746310002;

double squaredmodulus(const complex_& z) {
    const double re = z.real();
    const double im = z.imag();
    return re * re + im * im;
}

// |z| as std::abs gives it (glibc's hypotf): for finite parts that is the
// double square root of the double squares rounded to single precision, had
// here without a library call; std::abs takes the rest (hypotf(inf, NaN) is
// inf, not NaN).
float samplemodulus(const complex_& z) {
    const auto m = static_cast<float>(std::sqrt(squaredmodulus(z)));
    return m <= std::numeric_limits<float>::max() ? m : std::abs(z);
}

// Index of the first sample of largest modulus, sample by sample.
int32_t firstlargest(const samples_& data) {
    float m = 0.0f;
    int32_t index = 1;
    for (int32_t i = 1; i <= data.size(); ++i) {
        const float modulus = samplemodulus(data(i));
        if (modulus > m) {
            m = modulus;
            index = i;
        }
    }
    return index;
}

// The kernel's one file channel: a writer holds it from opening its file to
// closing it, so writers on different threads never share a file handle.
std::mutex& channel() {
    static std::mutex m;
    return m;
}

struct Axis {
    double x0 = 0.0;
    double dx = 1.0;
};

// The x axis of a writer: both bounds span the samples, no lower bound counts
// samples from 0, a lower bound alone is reported and ignored.
Axis makeaxis(int32_t n, std::optional<double> xmin, std::optional<double> xmax) {
    if (!xmin) return {};
    if (!xmax) {
        errorhandling::error(kOneBound);
        return {};
    }
    return {*xmin, n > 1 ? (*xmax - *xmin) / (n - 1) : 0.0};
}

// Writes the lines row(first)..row(last) to the named file, replacing it.
// False when the file cannot be opened or a line or the close fails; the
// caller reports that once the channel is free again.
template <typename Row>
bool writelines(const string_& filename, int32_t first, int32_t last, Row row) {
    std::lock_guard<std::mutex> lock(channel());
    std::FILE* file = std::fopen(str2char(filename).c_str(), "w");
    if (!file) return false;
    bool ok = true;
    for (int32_t i = first; ok && i <= last; ++i) {
        const std::string line = row(i);
        ok = std::fputs(line.c_str(), file) >= 0 && std::fputc('\n', file) != EOF;
    }
    return std::fclose(file) == 0 && ok;
}

std::string realrow(double x, double value) {
    listoutput::Line line;
    line << x << value;
    return line.str();
}

std::string indexrow(int32_t i, double value) {
    listoutput::Line line;
    line << i << value;
    return line.str();
}

reals_ parts(const samples_& data, float (complex_::*part)() const) {
    reals_ values(static_cast<size_t>(data.size()));
    for (int32_t i = 1; i <= data.size(); ++i) values[static_cast<size_t>(i - 1)] = (data(i).*part)();
    return values;
}

// Sum of data(lower..upper), each step rounded to single precision.
complex_ sum(const samples_& data, int32_t lower, int32_t upper) {
    complex_ total(0.0f, 0.0f);
    for (int32_t i = lower; i <= upper; ++i) total += data(i);
    return total;
}

complex_ badbounds() {
    errorhandling::error("Invalid boundaries in Integrate()");
    return complex_(0.0f, 0.0f);
}

}  // namespace

string_::string_() : length(0) { std::memset(data, ' ', sizeof data); }

int32_t generateconstant(samples_& data, const complex_& k) {
    std::fill(data.begin(), data.end(), k);
    return 0;
}

void chop(samples_& data) {
    for (complex_& z : data) z.imag(0.0f);
}

void rescale(samples_& data, double factor) {
    for (complex_& z : data)
        z = complex_(static_cast<float>(z.real() * factor), static_cast<float>(z.imag() * factor));
}

void multiply(const samples_& a, const samples_& b, samples_& c) {
    if (b.size() < a.size()) {
        errorhandling::error("ERROR: Arrays of different length in Multiply");
        return;
    }
    if (c.size() != a.size()) c.allocate(a.size());
    for (int32_t i = 1; i <= a.size(); ++i) c(i) = a(i) * b(i);
}

complex_ integrate(const samples_& data) { return sum(data, 1, data.size()); }

complex_ integrate(const samples_& data, int32_t lower) {
    return lower < 1 ? badbounds() : sum(data, lower, data.size());
}

complex_ integrate(const samples_& data, int32_t lower, int32_t upper) {
    return lower < 1 || upper <= lower || upper > data.size() ? badbounds() : sum(data, lower, upper);
}

void derive(const reals_& f, reals_& df, double dx) {
    const size_t n = f.size();
    if (n < 3) {
        errorhandling::error("ERROR: Derive needs at least three samples");
        return;
    }
    df.resize(n);
    for (size_t i = 1; i + 1 < n; ++i) df[i] = (f[i + 1] - f[i - 1]) / 2.0 / dx;
    df[0] = df[1];
    df[n - 1] = df[n - 2];
}

void substractlinear(const reals_& f, reals_& fp, std::optional<int32_t> xx1, std::optional<int32_t> xx2) {
    const int32_t n = static_cast<int32_t>(f.size());
    int32_t x1 = xx1 && *xx1 > 0 ? *xx1 : 1;
    int32_t x2 = xx2 && *xx2 <= n ? *xx2 : n;
    if (x1 > n || x2 < 1) {
        errorhandling::error("ERROR: Invalid boundaries in SubstractLinear");
        return;
    }
    const auto at = [&f](int32_t i) { return f[static_cast<size_t>(i - 1)]; };
    if (x1 == x2 || at(x1) == at(x2)) {
        listoutput::print("x1=x2 or y1=y2 in SubstractLinear.");
        return;
    }
    if (x1 > x2) std::swap(x1, x2);
    const double a = (at(x2) - at(x1)) / (x2 - x1);
    const double b = at(x1) - x1 * a;
    fp.resize(f.size());
    for (int32_t i = 1; i <= n; ++i) fp[static_cast<size_t>(i - 1)] = at(i) - i * a - b;
}

int32_t findmax(const samples_& data) {
    // The float modulus never falls as the double square grows, so the first
    // sample of largest modulus is the first whose modulus equals that of the
    // largest square. The largest square is found two samples at a time, then
    // a scan finds the first sample with that modulus, rounding only samples
    // close to it. Non-finite samples take the sample-by-sample search.
    using vec2_ = double __attribute__((vector_size(16)));
    using mask2_ = int64_t __attribute__((vector_size(16)));
    const int32_t n = data.size();
    const float* p = reinterpret_cast<const float*>(data.data());
    vec2_ top = {0, 0};
    mask2_ finite = {-1, -1};
    const vec2_ largest = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    int32_t k = 0;
    for (; k + 1 < n; k += 2) {
        const vec2_ re = {p[2 * k], p[2 * k + 2]};
        const vec2_ im = {p[2 * k + 1], p[2 * k + 3]};
        const vec2_ square = re * re + im * im;
        finite &= square <= largest;
        top = square > top ? square : top;
    }
    double maximum = std::max(top[0], top[1]);
    if (k < n) maximum = std::max(maximum, squaredmodulus(data(n)));
    if (!finite[0] || !finite[1] || !(maximum <= largest[0])) return firstlargest(data);
    if (maximum == 0) return 1;
    const auto peak = static_cast<float>(std::sqrt(maximum));
    const double near = maximum * 0.99999;  // far below the square of the float below peak
    for (int32_t i = 1; i <= n; ++i) {
        const double square = squaredmodulus(data(i));
        if (square >= near && static_cast<float>(std::sqrt(square)) == peak) return i;
    }
    return 1;
}

int32_t findmaxsum(const samples_& data1, const samples_& data2) {
    float m = 0.0f;
    int32_t index = 1;
    for (int32_t i = 1; i <= data1.size(); ++i) {
        // A shorter second array counts as zero beyond its end.
        const complex_ sum = i <= data2.size() ? data1(i) + data2(i) : data1(i);
        const float modulus = samplemodulus(sum);
        if (modulus > m) {
            m = modulus;
            index = i;
        }
    }
    return index;
}

int32_t shift(samples_& f) {
    const int32_t h = f.size() / 2;
    std::swap_ranges(f.begin(), f.begin() + h, f.begin() + h);
    return 0;
}

int32_t addsinus(samples_& data, float lambda, [[maybe_unused]] float origin) {
    const int32_t n = data.size();
    const int32_t centre = (n + 1) / 2;  // integer quotient
    const double k = 6.283185307179586 / lambda;
    for (int32_t i = 1; i <= n; ++i) {
        complex_& z = data(i);
        z.real(static_cast<float>(z.real() + std::sin(k * (i - centre))));
    }
    return 0;
}

void generategaussian(samples_& data, float sigma, float mean) {
    const int32_t n = data.size();
    for (int32_t i = 1; i <= n; ++i) {
        const double x = i - (n + 1) / 2.0 - mean;
        const double value = unnormalizedgaussian(x, sigma) / (kTwoSqrtPi * sigma);
        data(i) = complex_(static_cast<float>(value), 0.0f);
    }
}

double unnormalizedgaussian(double x, double sigma) {
    // The centre is 1 however narrow the curve, even where sigma*sigma underflows.
    if (x == 0) return 1.0;
    const double a = x * x / (sigma * sigma + sigma * sigma);
    return a > 100.0 ? 0.0 : std::exp(-a);
}

int32_t foutrans(samples_& f, double dt, double domega, float es) {
    const int32_t n = f.size();
    const int32_t h = n / 2;
    const samples_ g = f;
    const double scale = (es != 1.0f ? dt : domega) / kSqrtTwoPi;
    for (int32_t m = 1; m <= n; ++m) {
        std::complex<double> sum(0.0, 0.0);
        for (int32_t k = 1; k <= n; ++k) {
            const double angle = es * domega * (m - h) * dt * (k - h);
            sum += std::complex<double>(g(k)) * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        f(m) = complex_(sum * scale);
    }
    return 0;
}

int32_t inversefoutrans(samples_& f, double dt, double domega) { return foutrans(f, dt, domega, 1.0f); }

double intrapolatey(double x1, double y1, double x2, double y2, double xi) {
    return (y2 - y1) / (x2 - x1) * (xi - x1) + y1;
}

double intrapolatex(double x1, double y1, double x2, double y2, double yi) {
    if (x2 == x1 || y2 == y1) return x1;
    return (1.0 / ((y2 - y1) / (x2 - x1))) * (yi - y1) + x1;
}

logical_ is2ton(int32_t n) { return n >= 2 && (n & (n - 1)) == 0 ? 1 : 0; }

void writerealdata(const reals_& data, const string_& filename, std::optional<double> xmin,
                   std::optional<double> xmax, std::optional<int32_t> istart, std::optional<int32_t> istop) {
    const int32_t n = static_cast<int32_t>(data.size());
    const Axis axis = makeaxis(n, xmin, xmax);
    int32_t first = 1;
    int32_t last = n;
    if (istart && istop) {
        first = *istart;
        last = *istop;
        if (first <= last && (first < 1 || last > n)) {
            errorhandling::error("ERROR: Invalid boundaries in WriteRealData");
            first = std::max(first, 1);
            last = std::min(last, n);
        }
    }
    const bool written = writelines(filename, first, last, [&](int32_t i) {
        return realrow(axis.x0 + (i - 1) * axis.dx, data[static_cast<size_t>(i - 1)]);
    });
    if (!written) errorhandling::error(kCannotWrite);
}

void writerealpart(const samples_& data, const string_& filename, std::optional<double> xmin,
                   std::optional<double> xmax, std::optional<int32_t> istart, std::optional<int32_t> istop) {
    writerealdata(parts(data, &complex_::real), filename, xmin, xmax, istart, istop);
}

void writeimaginarypart(const samples_& data, const string_& filename, std::optional<double> xmin,
                        std::optional<double> xmax, std::optional<int32_t> istart,
                        std::optional<int32_t> istop) {
    writerealdata(parts(data, &complex_::imag), filename, xmin, xmax, istart, istop);
}

void writecomplexdata(const samples_& data, const string_& filename, std::optional<double> xmin,
                      std::optional<double> xmax) {
    const Axis axis = makeaxis(data.size(), xmin, xmax);
    const bool written = writelines(filename, 1, data.size(), [&](int32_t i) {
        const complex_ z = data(i);
        char buffer[64];
        // Each field holds a sign, 1+4 digits, an exponent of up to three
        // digits and at least one separating blank.
        std::snprintf(buffer, sizeof buffer, "%13.4E%13.4E%13.4E%13.4E", axis.x0 + (i - 1) * axis.dx,
                      static_cast<double>(std::abs(z)), static_cast<double>(z.real()),
                      static_cast<double>(z.imag()));
        return std::string(buffer);
    });
    if (!written) errorhandling::error(kCannotWrite);
}

void writetogether(const reals_& data1, const reals_& data2, const string_& filename) {
    if (data2.size() != data1.size()) {
        errorhandling::error("ERROR: Arrays of different length in WriteTogether");
        return;
    }
    const int32_t n = static_cast<int32_t>(data1.size());
    const bool written = writelines(filename, 1, n, [&](int32_t i) {
        const size_t k = static_cast<size_t>(i - 1);
        return indexrow(i, data1[k]) + '\n' + indexrow(i, data2[k]);
    });
    if (!written) errorhandling::error(kCannotWrite);
}

std::string str2char(const string_& s) {
    const int32_t n = std::clamp<int32_t>(s.length, 0, string_::capacity);
    return std::string(s.data, static_cast<size_t>(n));
}

string_ char2str(std::string_view c) {
    string_ s;
    c_to_s_assign(s, c);
    return s;
}

void c_to_s_assign(string_& s, std::string_view c) {
    const size_t n = std::min(c.size(), static_cast<size_t>(string_::capacity));
    std::memset(s.data, ' ', sizeof s.data);
    std::memcpy(s.data, c.data(), n);
    s.length = static_cast<int32_t>(n);
}

void s_to_c_assign(std::string& c, const string_& s) {
    const size_t width = c.size();
    c = str2char(s);
    c.resize(width, ' ');
}

string_ string_concat(const string_& s1, const string_& s2) {
    const std::string text = str2char(s1) + str2char(s2);
    if (text.size() > static_cast<size_t>(string_::capacity))
        errorhandling::error("ERROR: String too long in String_Concat");
    return char2str(text);
}

string_ int2str(int32_t n, int32_t ndigit) {
    if (n < 1) {
        errorhandling::error("ERROR: n<1 in Int2Str");
        return string_();
    }
    if (ndigit > string_::capacity) {
        errorhandling::error("ERROR: Invalid number of digits in Int2Str");
        ndigit = string_::capacity;
    }
    std::string digits = std::to_string(n);
    const int32_t d = static_cast<int32_t>(digits.size());
    if (d < ndigit) digits.insert(0, static_cast<size_t>(ndigit - d), '0');
    return char2str(digits);
}

}  // namespace tools
