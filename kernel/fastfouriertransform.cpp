#include "kernel/fastfouriertransform.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

#include "kernel/errorhandling.h"
#include "kernel/listoutput.h"
#include "kernel/parametercheck.h"

// How the transforms work. Every length N = 2^bits is computed in double
// precision by a Stockham radix-4 transform (a last radix-2 pass for odd bits),
// which needs no bit reversal: each pass streams from one work buffer into the
// other. The first pass reads the caller's data directly (folding in the
// centring roll, the widening to double and the choice of sign) and the last
// pass writes the caller's data directly (rounding, scaling and unrolling).
// The inverse sign reuses the forward tables: exchanging real and imaginary
// parts before and after a forward transform gives the inverse. Lengths below
// 16 are transformed directly.
//
// Work buffers hold complex values in groups of four: the real parts of values
// 4b..4b+3 at doubles 8b..8b+3, their imaginary parts at 8b+4..8b+7, so that
// one vector of four real parts and its imaginary parts share a cache line.

namespace fastfouriertransform {

namespace {

using optics::quad_;

constexpr double pi = 3.141592653589793;
constexpr double twopi = 2 * pi;  // 6.283185307179586 exactly
constexpr double sqrttwopi = 2.5066282746310002;
constexpr double halfsqrt2 = 0.70710678118654752440;

#define FFT_INLINE __attribute__((always_inline)) inline

// Aligned heap storage; a failed allocation ends the process as every kernel
// allocation does.
void* allocate(size_t bytes) {
    void* p = std::aligned_alloc(64, (bytes + 63) / 64 * 64);
    if (!p) {
        std::fprintf(stderr, "Operating system error: %s\nMemory allocation failed\n", std::strerror(errno));
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return p;
}

// log2(n) when n is a power of two of at least 2, else -1.
int32_t lengthbits(int32_t n) {
    if (n < 2 || (n & (n - 1)) != 0) return -1;
    int32_t bits = 0;
    while ((1 << bits) < n) ++bits;
    return bits;
}

// The twiddles of one length N >= 16: six arrays of N/4 doubles holding the
// real parts of w^p, their imaginary parts, then the same for w^2p and w^3p,
// with w = exp(-2 pi i/N), p = 0..N/4-1. The pass of sub-length n = N/s uses
// every s-th entry.
struct plan_ {
    int32_t n = 0;
    double* twiddles = nullptr;
};

const plan_* makeplan(int32_t bits) {
    auto* p = new plan_;
    p->n = 1 << bits;
    if (p->n < 16) return p;
    const int32_t quarter = p->n / 4;
    p->twiddles = static_cast<double*>(allocate(sizeof(double) * 6 * static_cast<size_t>(quarter)));
    for (int32_t m = 1; m <= 3; ++m) {
        double* re = p->twiddles + (2 * m - 2) * quarter;
        double* im = re + quarter;
        for (int32_t k = 0; k < quarter; ++k) {
            const double angle = -twopi * static_cast<double>(m * static_cast<int64_t>(k)) / p->n;
            re[k] = std::cos(angle);
            im[k] = std::sin(angle);
        }
    }
    return p;
}

// The tables of length 2^bits, built by the first caller that needs them and
// kept for the life of the process; lookups after that take no lock.
const plan_& planfor(int32_t bits) {
    static std::array<std::atomic<const plan_*>, 31> plans{};
    static std::mutex building;
    const plan_* p = plans[bits].load(std::memory_order_acquire);
    if (p) return *p;
    std::lock_guard<std::mutex> lock(building);
    p = plans[bits].load(std::memory_order_relaxed);
    if (!p) {
        p = makeplan(bits);
        plans[bits].store(p, std::memory_order_release);
    }
    return *p;
}

// Each thread's work storage, grown when a longer transform needs it.
class workspace_ {
public:
    workspace_() = default;
    workspace_(const workspace_&) = delete;
    workspace_& operator=(const workspace_&) = delete;
    ~workspace_() { std::free(data_); }

    double* get(size_t count) {
        if (count > size_) {
            std::free(data_);
            data_ = static_cast<double*>(allocate(sizeof(double) * count));
            size_ = count;
        }
        return data_;
    }

private:
    double* data_ = nullptr;
    size_t size_ = 0;
};

double* workspace(size_t count) {
    thread_local workspace_ work;
    return work.get(count);
}

// Four doubles as the transforms handle them: one AVX register where the
// processor has AVX2, two SSE2 registers otherwise (wider vectors without
// AVX would be kept in memory).
// The unaligned forms are typedefs: clang keeps a lowered alignment only there.
using vec4_ = double __attribute__((vector_size(32)));
typedef double vec4u_ __attribute__((vector_size(32), aligned(8), may_alias));
using vec2_ = double __attribute__((vector_size(16)));
typedef double vec2u_ __attribute__((vector_size(16), aligned(8), may_alias));
using float4_ = float __attribute__((vector_size(16)));
using float8_ = float __attribute__((vector_size(32)));
typedef float float8u_ __attribute__((vector_size(32), aligned(4), may_alias));

struct pair_ {
    vec2_ lo, hi;
};
FFT_INLINE pair_ operator+(const pair_& a, const pair_& b) { return {a.lo + b.lo, a.hi + b.hi}; }
FFT_INLINE pair_ operator-(const pair_& a, const pair_& b) { return {a.lo - b.lo, a.hi - b.hi}; }
FFT_INLINE pair_ operator*(const pair_& a, const pair_& b) { return {a.lo * b.lo, a.hi * b.hi}; }
FFT_INLINE pair_ operator*(const pair_& a, double b) { return {a.lo * b, a.hi * b}; }

// Loads and stores of four doubles, four interleaved complex floats and four
// interleaved complex doubles, and a 4x4 transpose, for both kinds of vector.
FFT_INLINE void load(const double* p, vec4_& v) { v = *reinterpret_cast<const vec4u_*>(p); }
FFT_INLINE void store(double* p, const vec4_& v) { *reinterpret_cast<vec4u_*>(p) = v; }
FFT_INLINE void load(const double* p, pair_& v) {
    v.lo = *reinterpret_cast<const vec2u_*>(p);
    v.hi = *reinterpret_cast<const vec2u_*>(p + 2);
}
FFT_INLINE void store(double* p, const pair_& v) {
    *reinterpret_cast<vec2u_*>(p) = v.lo;
    *reinterpret_cast<vec2u_*>(p + 2) = v.hi;
}

FFT_INLINE void loadfloats(const float* p, vec4_& re, vec4_& im) {
    const float8_ v = *reinterpret_cast<const float8u_*>(p);
    re = __builtin_convertvector(__builtin_shufflevector(v, v, 0, 2, 4, 6), vec4_);
    im = __builtin_convertvector(__builtin_shufflevector(v, v, 1, 3, 5, 7), vec4_);
}

// The scale of the transform's output, an extended-precision factor, and
// the nearest double to it.
struct scale_ {
    quad_ extended;
    double rounded;
};
scale_ makescale(quad_ factor) { return {factor, static_cast<double>(factor)}; }

// A product p of a float and scale_::rounded lies within 1.5 double units of
// the extended-precision product, so the two round to different floats only
// where p is within 3 units of a halfway point between two floats. p moved
// 4 units up and 4 units down (relative steps of 4 * 2^-52) then rounds to
// two different floats. Below the normal float range the double product is
// kept (it flushes to zero as the processor does).
constexpr double kNudgeUp = 1 + 0x1p-50;
constexpr double kNudgeDown = 1 - 0x1p-50;
constexpr double kSmallestNormalFloat = 0x1p-126;

// Rounds to single precision in a way the compiler keeps: GCC 12's
// vectoriser drops a float rounding between double operations. (It leaves
// the explicit vector conversions below alone.)
FFT_INLINE float keptsingle(double v) {
    float f = static_cast<float>(v);
    asm("" : "+x"(f));
    return f;
}

// Each value is rounded to single precision, multiplied by the scale in
// extended precision and rounded to single precision again. The double
// product gives that result except next to a halfway point, where the
// product is taken in extended precision.
FFT_INLINE float scaledfloat(double v, const scale_& scale) {
    const float single = keptsingle(v);
    const double product = static_cast<double>(single) * scale.rounded;
    const auto up = static_cast<float>(product * kNudgeUp);
    const auto down = static_cast<float>(product * kNudgeDown);
    if (std::memcmp(&up, &down, sizeof up) != 0 && std::fabs(product) >= kSmallestNormalFloat)
        return static_cast<float>(single * scale.extended);
    return static_cast<float>(product);
}

// Lanes of the stores of storefloats whose products may lie next to a
// halfway point; zero when none did.
using halfwaylanes_ = int32_t __attribute__((vector_size(32)));

// The fast store: the double products, rounded. Adds to `halfway` the lanes
// where a product's low 29 bits, those a float drops, lie within 3 of the
// halfway pattern 0x10000000, for the caller to store again carefully.
FFT_INLINE void storefloats(float* p, const vec4_& re, const vec4_& im, const scale_& scale,
                            halfwaylanes_& halfway) {
    const vec4_ productre = __builtin_convertvector(__builtin_convertvector(re, float4_), vec4_) * scale.rounded;
    const vec4_ productim = __builtin_convertvector(__builtin_convertvector(im, float4_), vec4_) * scale.rounded;
    const float4_ r = __builtin_convertvector(productre, float4_);
    const float4_ i = __builtin_convertvector(productim, float4_);
    *reinterpret_cast<float8u_*>(p) = __builtin_shufflevector(r, i, 0, 4, 1, 5, 2, 6, 3, 7);
    using words8_ = uint32_t __attribute__((vector_size(32)));
    const auto lowre = reinterpret_cast<words8_>(productre);
    const auto lowim = reinterpret_cast<words8_>(productim);
    const words8_ low = __builtin_shufflevector(lowre, lowim, 0, 2, 8, 10, 4, 6, 12, 14);
    // The 29 bits moved to the top, so that 0x10000000 - 3 .. 0x10000000 + 3
    // becomes the smallest signed values, INT_MIN .. INT_MIN + 48.
    const auto shifted = reinterpret_cast<halfwaylanes_>((low << 3) + 24u);
    halfway |= shifted < std::numeric_limits<int32_t>::min() + 49;
}
// The careful store: each value through scaledfloat.
FFT_INLINE void storefloats(float* p, const vec4_& re, const vec4_& im, const scale_& scale) {
    for (int32_t j = 0; j < 4; ++j) {
        p[2 * j] = scaledfloat(re[j], scale);
        p[2 * j + 1] = scaledfloat(im[j], scale);
    }
}
FFT_INLINE void loadfloats(const float* p, pair_& re, pair_& im) {
    re = {vec2_{p[0], p[2]}, vec2_{p[4], p[6]}};
    im = {vec2_{p[1], p[3]}, vec2_{p[5], p[7]}};
}
FFT_INLINE void storefloats(float* p, const pair_& re, const pair_& im, const scale_& scale) {
    for (int32_t j = 0; j < 2; ++j) {
        p[2 * j] = scaledfloat(re.lo[j], scale);
        p[2 * j + 1] = scaledfloat(im.lo[j], scale);
        p[2 * j + 4] = scaledfloat(re.hi[j], scale);
        p[2 * j + 5] = scaledfloat(im.hi[j], scale);
    }
}

FFT_INLINE void loadinterleaved(const double* p, vec4_& re, vec4_& im) {
    vec4_ a, b;
    load(p, a);
    load(p + 4, b);
    re = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    im = __builtin_shufflevector(a, b, 1, 3, 5, 7);
}
FFT_INLINE void storeinterleaved(double* p, const vec4_& re, const vec4_& im) {
    store(p, __builtin_shufflevector(re, im, 0, 4, 1, 5));
    store(p + 4, __builtin_shufflevector(re, im, 2, 6, 3, 7));
}
FFT_INLINE void loadinterleaved(const double* p, pair_& re, pair_& im) {
    pair_ a, b;
    load(p, a);
    load(p + 4, b);
    re = {__builtin_shufflevector(a.lo, a.hi, 0, 2), __builtin_shufflevector(b.lo, b.hi, 0, 2)};
    im = {__builtin_shufflevector(a.lo, a.hi, 1, 3), __builtin_shufflevector(b.lo, b.hi, 1, 3)};
}
FFT_INLINE void storeinterleaved(double* p, const pair_& re, const pair_& im) {
    store(p, pair_{__builtin_shufflevector(re.lo, im.lo, 0, 2), __builtin_shufflevector(re.lo, im.lo, 1, 3)});
    store(p + 4,
          pair_{__builtin_shufflevector(re.hi, im.hi, 0, 2), __builtin_shufflevector(re.hi, im.hi, 1, 3)});
}

FFT_INLINE void transpose(vec4_& a, vec4_& b, vec4_& c, vec4_& d) {
    const vec4_ t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const vec4_ t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const vec4_ t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const vec4_ t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
FFT_INLINE void transpose(pair_& a, pair_& b, pair_& c, pair_& d) {
    const pair_ ta = {__builtin_shufflevector(a.lo, b.lo, 0, 2), __builtin_shufflevector(c.lo, d.lo, 0, 2)};
    const pair_ tb = {__builtin_shufflevector(a.lo, b.lo, 1, 3), __builtin_shufflevector(c.lo, d.lo, 1, 3)};
    const pair_ tc = {__builtin_shufflevector(a.hi, b.hi, 0, 2), __builtin_shufflevector(c.hi, d.hi, 0, 2)};
    const pair_ td = {__builtin_shufflevector(a.hi, b.hi, 1, 3), __builtin_shufflevector(c.hi, d.hi, 1, 3)};
    a = ta;
    b = tb;
    c = tc;
    d = td;
}

// Doubles in one work buffer of n values: whole groups of four.
size_t buffersize(int32_t n) { return 2 * static_cast<size_t>(n < 4 ? 4 : n); }

// Position of the real part of value e in a work buffer; the imaginary part
// follows four doubles later.
FFT_INLINE int32_t blockindex(int32_t e) { return 2 * (e & ~3) + (e & 3); }

template <class T>
FFT_INLINE void exchangeif(bool exchange, T& re, T& im) {
    if (exchange) std::swap(re, im);
}

// Sources give the transform its input value k, singly or four at a time
// (k a multiple of 4); sinks take its output value k.

// Samples in the order of the centred transform: value k is sample
// ((k + N/2 - 1) mod N) + 1.
struct rolledsource_ {
    const float* samples;
    int32_t shift;
    int32_t mask;
    bool exchange;

    FFT_INLINE void get(int32_t k, double& re, double& im) const {
        const int32_t s = (k + shift) & mask;
        re = samples[2 * s];
        im = samples[2 * s + 1];
        exchangeif(exchange, re, im);
    }
    template <class V>
    FFT_INLINE void load(int32_t k, V& re, V& im) const {
        const int32_t s = (k + shift) & mask;
        if (s > mask - 3) {  // wraps around the end
            double r[4], i[4];
            for (int32_t j = 0; j < 4; ++j) get(k + j, r[j], i[j]);
            fastfouriertransform::load(r, re);
            fastfouriertransform::load(i, im);
            return;
        }
        loadfloats(samples + 2 * s, re, im);
        exchangeif(exchange, re, im);
    }
};

rolledsource_ rolledsource(const optics::samples_& a, bool exchange) {
    const int32_t n = a.size();
    return {reinterpret_cast<const float*>(a.data()), n / 2 - 1, n - 1, exchange};
}

// Writes value k, rounded to single precision, times the scale, rounded
// again, to sample ((k + N/2 - 1) mod N) + 1. Vectors of four values take
// the fast store unless `careful` is set; when any lay next to a halfway
// point (halfway() true), the caller stores them all again with a careful
// copy of the sink.
struct rolledsink_ {
    float* samples;
    int32_t shift;
    int32_t mask;
    scale_ scale;
    bool exchange;
    bool careful = false;
    halfwaylanes_ lanes = {};

    FFT_INLINE void put(int32_t k, double re, double im) const {
        exchangeif(exchange, re, im);
        const int32_t s = (k + shift) & mask;
        samples[2 * s] = scaledfloat(re, scale);
        samples[2 * s + 1] = scaledfloat(im, scale);
    }
    template <class V>
    FFT_INLINE void store(int32_t k, const V& re, const V& im) {
        const int32_t s = (k + shift) & mask;
        if (s > mask - 3) {  // wraps around the end
            double r[4], i[4];
            fastfouriertransform::store(r, re);
            fastfouriertransform::store(i, im);
            for (int32_t j = 0; j < 4; ++j) put(k + j, r[j], i[j]);
            return;
        }
        float* p = samples + 2 * s;
        if constexpr (std::is_same_v<V, vec4_>) {
            if (!careful) {
                if (exchange)
                    storefloats(p, im, re, scale, lanes);
                else
                    storefloats(p, re, im, scale, lanes);
                return;
            }
        }
        if (exchange)
            storefloats(p, im, re, scale);
        else
            storefloats(p, re, im, scale);
    }
    bool halfway() const {
        int32_t any = 0;
        for (int32_t j = 0; j < 8; ++j) any |= lanes[j];
        return any != 0;
    }
    rolledsink_ carefulcopy() const {
        rolledsink_ copy = *this;
        copy.careful = true;
        return copy;
    }
};

rolledsink_ rolledsink(optics::samples_& a, const scale_& scale, bool exchange) {
    const int32_t n = a.size();
    return {reinterpret_cast<float*>(a.data()), n / 2 - 1, n - 1, scale, exchange};
}

// Interleaved (real, imaginary) doubles, value k at 2k and 2k+1.
struct interleavedsource_ {
    const double* data;
    bool exchange;

    FFT_INLINE void get(int32_t k, double& re, double& im) const {
        re = data[2 * k];
        im = data[2 * k + 1];
        exchangeif(exchange, re, im);
    }
    template <class V>
    FFT_INLINE void load(int32_t k, V& re, V& im) const {
        loadinterleaved(data + 2 * k, re, im);
        exchangeif(exchange, re, im);
    }
};

struct interleavedsink_ {
    double* data;
    bool exchange;

    FFT_INLINE void put(int32_t k, double re, double im) const {
        exchangeif(exchange, re, im);
        data[2 * k] = re;
        data[2 * k + 1] = im;
    }
    template <class V>
    FFT_INLINE void store(int32_t k, const V& re, const V& im) const {
        if (exchange)
            storeinterleaved(data + 2 * k, im, re);
        else
            storeinterleaved(data + 2 * k, re, im);
    }
};

// A work buffer.
struct blocksource_ {
    const double* data;
    bool exchange;

    FFT_INLINE void get(int32_t k, double& re, double& im) const {
        re = data[blockindex(k)];
        im = data[blockindex(k) + 4];
        exchangeif(exchange, re, im);
    }
    template <class V>
    FFT_INLINE void load(int32_t k, V& re, V& im) const {
        fastfouriertransform::load(data + 2 * k, re);
        fastfouriertransform::load(data + 2 * k + 4, im);
        exchangeif(exchange, re, im);
    }
};

struct blocksink_ {
    double* data;

    FFT_INLINE void put(int32_t k, double re, double im) const {
        data[blockindex(k)] = re;
        data[blockindex(k) + 4] = im;
    }
    template <class V>
    FFT_INLINE void store(int32_t k, const V& re, const V& im) const {
        fastfouriertransform::store(data + 2 * k, re);
        fastfouriertransform::store(data + 2 * k + 4, im);
    }
};

// Marks a transform whose result stays in a work buffer.
struct intobuffer_ {};

struct cplx_ {
    double r, i;
};
FFT_INLINE cplx_ operator+(cplx_ a, cplx_ b) { return {a.r + b.r, a.i + b.i}; }
FFT_INLINE cplx_ operator-(cplx_ a, cplx_ b) { return {a.r - b.r, a.i - b.i}; }
FFT_INLINE cplx_ minusi(cplx_ a) { return {a.i, -a.r}; }  // -i*a

// Forward transform of length 4 in natural order.
FFT_INLINE void dft4(cplx_ a, cplx_ b, cplx_ c, cplx_ d, cplx_* out) {
    const cplx_ t0 = a + c, t1 = a - c, t2 = b + d, t3 = minusi(b - d);
    out[0] = t0 + t2;
    out[1] = t1 + t3;
    out[2] = t0 - t2;
    out[3] = t1 - t3;
}

// Lengths 2, 4 and 8, directly.
template <class Source, class Sink>
FFT_INLINE void smalltransform(int32_t n, const Source& src, const Sink& sink) {
    cplx_ v[8];
    cplx_ out[8];
    for (int32_t k = 0; k < n; ++k) src.get(k, v[k].r, v[k].i);
    if (n == 2) {
        out[0] = v[0] + v[1];
        out[1] = v[0] - v[1];
    } else if (n == 4) {
        dft4(v[0], v[1], v[2], v[3], out);
    } else {
        cplx_ e[4], f[4];
        dft4(v[0], v[2], v[4], v[6], e);
        dft4(v[1], v[3], v[5], v[7], f);
        const cplx_ g[4] = {f[0],
                            {halfsqrt2 * (f[1].r + f[1].i), halfsqrt2 * (f[1].i - f[1].r)},
                            minusi(f[2]),
                            {halfsqrt2 * (f[3].i - f[3].r), -halfsqrt2 * (f[3].r + f[3].i)}};
        for (int32_t q = 0; q < 4; ++q) {
            out[q] = e[q] + g[q];
            out[q + 4] = e[q] - g[q];
        }
    }
    for (int32_t k = 0; k < n; ++k) sink.put(k, out[k].r, out[k].i);
}

// One radix-4 butterfly on four vectors of values (a, b, c, d) = inputs
// p, p + n/4, p + n/2, p + 3n/4 of a sub-transform of length n; gives the
// untwiddled outputs 4p, 4p+1, 4p+2, 4p+3 in place of a, b, c, d.
template <class V>
FFT_INLINE void butterfly(V& ar, V& ai, V& br, V& bi, V& cr, V& ci, V& dr, V& di) {
    const V sr = ar + cr, si = ai + ci;  // a + c
    const V mr = ar - cr, mi = ai - ci;  // a - c
    const V tr = br + dr, ti = bi + di;  // b + d
    const V ur = br - dr, ui = bi - di;  // b - d
    ar = sr + tr;
    ai = si + ti;
    br = mr + ui;  // (a - c) - i(b - d)
    bi = mi - ur;
    cr = sr - tr;
    ci = si - ti;
    dr = mr - ui;  // (a - c) + i(b - d)
    di = mi + ur;
}

// (r, i) <- (r, i)*(wr, wi); the twiddle is a vector or one double for all.
template <class V, class W>
FFT_INLINE void twiddle(V& r, V& i, const W& wr, const W& wi) {
    const V t = r * wr - i * wi;
    i = r * wi + i * wr;
    r = t;
}

// Loads four vectors of values (a, b, c, d) in the work-buffer layout, four
// real parts then four imaginary ones, the first at p and each next stride
// doubles on.
template <class V>
FFT_INLINE void loadfour(const double* p, int32_t stride, V& ar, V& ai, V& br, V& bi, V& cr, V& ci,
                         V& dr, V& di) {
    load(p, ar);
    load(p + 4, ai);
    load(p + stride, br);
    load(p + stride + 4, bi);
    load(p + 2 * stride, cr);
    load(p + 2 * stride + 4, ci);
    load(p + 3 * stride, dr);
    load(p + 3 * stride + 4, di);
}

// The first pass (sub-length N, stride 1), from the source into y: four
// values of p at a time, transposed so that outputs 4p..4p+3 lie together.
template <class V, class Source>
FFT_INLINE void firstpass(const plan_& plan, const Source& src, double* __restrict y) {
    const int32_t quarter = plan.n / 4;
    const double* w = plan.twiddles;
    for (int32_t p = 0; p < quarter; p += 4) {
        V ar, ai, br, bi, cr, ci, dr, di;
        src.load(p, ar, ai);
        src.load(p + quarter, br, bi);
        src.load(p + 2 * quarter, cr, ci);
        src.load(p + 3 * quarter, dr, di);
        butterfly(ar, ai, br, bi, cr, ci, dr, di);
        V w1r, w1i, w2r, w2i, w3r, w3i;
        load(w + p, w1r);
        load(w + quarter + p, w1i);
        load(w + 2 * quarter + p, w2r);
        load(w + 3 * quarter + p, w2i);
        load(w + 4 * quarter + p, w3r);
        load(w + 5 * quarter + p, w3i);
        twiddle(br, bi, w1r, w1i);
        twiddle(cr, ci, w2r, w2i);
        twiddle(dr, di, w3r, w3i);
        transpose(ar, br, cr, dr);
        transpose(ai, bi, ci, di);
        double* out = y + 8 * p;
        store(out, ar);
        store(out + 4, ai);
        store(out + 8, br);
        store(out + 12, bi);
        store(out + 16, cr);
        store(out + 20, ci);
        store(out + 24, dr);
        store(out + 28, di);
    }
}

// A middle pass: sub-length n, stride s = N/n >= 4, from x into y. Inputs
// lie N/4 values apart, outputs s values apart; a value is 2 doubles.
template <class V>
FFT_INLINE void middlepass(const plan_& plan, int32_t n, int32_t s, const double* __restrict x,
                           double* __restrict y) {
    const int32_t quarter = plan.n / 4;
    const double* w = plan.twiddles;
    const int32_t in1 = 2 * quarter, out1 = 2 * s;
    for (int32_t p = 0; p < n / 4; ++p) {
        const int32_t t = p * s;
        const double w1r = w[t], w1i = w[quarter + t];
        const double w2r = w[2 * quarter + t], w2i = w[3 * quarter + t];
        const double w3r = w[4 * quarter + t], w3i = w[5 * quarter + t];
        const double* in = x + 2 * t;
        double* out = y + 8 * t;
        for (int32_t q = 0; q < 2 * s; q += 8) {
            V ar, ai, br, bi, cr, ci, dr, di;
            loadfour(in + q, in1, ar, ai, br, bi, cr, ci, dr, di);
            butterfly(ar, ai, br, bi, cr, ci, dr, di);
            twiddle(br, bi, w1r, w1i);
            twiddle(cr, ci, w2r, w2i);
            twiddle(dr, di, w3r, w3i);
            store(out + q, ar);
            store(out + q + 4, ai);
            store(out + q + out1, br);
            store(out + q + out1 + 4, bi);
            store(out + q + 2 * out1, cr);
            store(out + q + 2 * out1 + 4, ci);
            store(out + q + 3 * out1, dr);
            store(out + q + 3 * out1 + 4, di);
        }
    }
}

// The last pass, sub-length 4 (no twiddles), from x into the sink. It works
// on a local copy of the sink, so that what the sink gathers can stay in
// registers, and copies it back at the end.
template <class V, class Sink>
FFT_INLINE void lastpass4(const plan_& plan, const double* __restrict x, Sink& out) {
    Sink sink = out;
    const int32_t quarter = plan.n / 4;
    const int32_t in1 = 2 * quarter;
    for (int32_t q = 0; q < quarter; q += 4) {
        V ar, ai, br, bi, cr, ci, dr, di;
        loadfour(x + 2 * q, in1, ar, ai, br, bi, cr, ci, dr, di);
        butterfly(ar, ai, br, bi, cr, ci, dr, di);
        sink.store(q, ar, ai);
        sink.store(q + quarter, br, bi);
        sink.store(q + 2 * quarter, cr, ci);
        sink.store(q + 3 * quarter, dr, di);
    }
    out = sink;
}

// The last pass, sub-length 2, from x into the sink, as lastpass4.
template <class V, class Sink>
FFT_INLINE void lastpass2(const plan_& plan, const double* __restrict x, Sink& out) {
    Sink sink = out;
    const int32_t half = plan.n / 2;
    for (int32_t q = 0; q < half; q += 4) {
        const double* in = x + 2 * q;
        V ar, ai, br, bi;
        load(in, ar);
        load(in + 4, ai);
        load(in + 2 * half, br);
        load(in + 2 * half + 4, bi);
        sink.store(q, ar + br, ai + bi);
        sink.store(q + half, ar - br, ai - bi);
    }
    out = sink;
}

// Unnormalised forward transform from the source into the sink, through the
// work buffers a and b. With intobuffer_ the result stays
// in a or b; returns where it is.
template <class V, class Source, class Sink>
FFT_INLINE double* run(const plan_& plan, const Source& src, const Sink& sink, double* a, double* b) {
    constexpr bool keep = std::is_same_v<Sink, intobuffer_>;
    if (plan.n < 16) {
        if constexpr (keep) {
            smalltransform(plan.n, src, blocksink_{a});
            return a;
        } else {
            smalltransform(plan.n, src, sink);
            return nullptr;
        }
    }
    firstpass<V>(plan, src, a);
    double* current = a;
    double* other = b;
    int32_t n = plan.n / 4;
    int32_t s = 4;
    for (; n > 4; n /= 4, s *= 4) {
        middlepass<V>(plan, n, s, current, other);
        std::swap(current, other);
    }
    if constexpr (keep) {
        blocksink_ into{other};
        if (n == 4)
            lastpass4<V>(plan, current, into);
        else
            lastpass2<V>(plan, current, into);
        return other;
    } else {
        Sink out = sink;
        if (n == 4)
            lastpass4<V>(plan, current, out);
        else
            lastpass2<V>(plan, current, out);
        if constexpr (std::is_same_v<Sink, rolledsink_>) {
            // The last pass leaves its input as it was: store again carefully.
            if (out.halfway()) {
                rolledsink_ careful = sink.carefulcopy();
                if (n == 4)
                    lastpass4<V>(plan, current, careful);
                else
                    lastpass2<V>(plan, current, careful);
            }
        }
        return nullptr;
    }
}

// a <- conj(a)*b (correlation) or a*b (convolution), on work buffers.
template <class V>
FFT_INLINE void multiply(double* __restrict a, const double* __restrict b, int32_t n, bool conjugate) {
    const double sign = conjugate ? -1.0 : 1.0;
    if (n < 4) {
        for (int32_t k = 0; k < n; ++k) {
            double& ar = a[blockindex(k)];
            double& ai = a[blockindex(k) + 4];
            const double br = b[blockindex(k)], bi = b[blockindex(k) + 4];
            const double r = ar * br - sign * ai * bi;
            ai = ar * bi + sign * ai * br;
            ar = r;
        }
        return;
    }
    for (int32_t k = 0; k < n; k += 4) {
        double* pa = a + 2 * k;
        const double* pb = b + 2 * k;
        V ar, ai, br, bi;
        load(pa, ar);
        load(pa + 4, ai);
        load(pb, br);
        load(pb + 4, bi);
        ai = ai * sign;
        store(pa, ar * br - ai * bi);
        store(pa + 4, ar * bi + ai * br);
    }
}

// The work of each public routine, compiled for the baseline, for AVX2 and
// for AVX-512; each call takes the path in use (chosenpath below).
template <class V>
FFT_INLINE void four1work(const plan_& plan, double* data, bool inverse, double* a, double* b) {
    run<V>(plan, interleavedsource_{data, inverse}, interleavedsink_{data, inverse}, a, b);
}

template <class V>
FFT_INLINE void fftwork(const plan_& plan, optics::samples_& data, bool inverse, const scale_& scale, double* a,
                        double* b) {
    run<V>(plan, rolledsource(data, inverse), rolledsink(data, scale, inverse), a, b);
}

// Through the work buffers w0, w1 and w2.
template <class V>
FFT_INLINE void combinework(const plan_& plan, const optics::samples_& a, const optics::samples_& b,
                            optics::samples_& c, bool conjugate, const scale_& scale, double* w0, double* w1,
                            double* w2) {
    double* fa = run<V>(plan, rolledsource(a, false), intobuffer_{}, w0, w1);
    double* free1 = fa == w0 ? w1 : w0;
    double* fb = run<V>(plan, rolledsource(b, false), intobuffer_{}, free1, w2);
    multiply<V>(fa, fb, plan.n, conjugate);
    // The inverse transform of the product. The output roll of the forward
    // transforms and the input roll of the inverse cancel, so they are left out.
    double* free2 = fb == free1 ? w2 : free1;
    run<V>(plan, blocksource_{fa, true}, rolledsink(c, scale, true), fb, free2);
}

void four1generic(const plan_& plan, double* data, bool inverse, double* a, double* b) {
    four1work<pair_>(plan, data, inverse, a, b);
}
void fftgeneric(const plan_& plan, optics::samples_& data, bool inverse, const scale_& scale, double* a,
                double* b) {
    fftwork<pair_>(plan, data, inverse, scale, a, b);
}
void combinegeneric(const plan_& plan, const optics::samples_& a, const optics::samples_& b,
                    optics::samples_& c, bool conjugate, const scale_& scale, double* w0, double* w1, double* w2) {
    combinework<pair_>(plan, a, b, c, conjugate, scale, w0, w1, w2);
}

#if defined(__x86_64__) || defined(__i386__)
#define FFT_AVX2 __attribute__((target("avx2")))
FFT_AVX2 void four1avx2(const plan_& plan, double* data, bool inverse, double* a, double* b) {
    four1work<vec4_>(plan, data, inverse, a, b);
}
FFT_AVX2 void fftavx2(const plan_& plan, optics::samples_& data, bool inverse, const scale_& scale, double* a,
                      double* b) {
    fftwork<vec4_>(plan, data, inverse, scale, a, b);
}
FFT_AVX2 void combineavx2(const plan_& plan, const optics::samples_& a, const optics::samples_& b,
                          optics::samples_& c, bool conjugate, const scale_& scale, double* w0, double* w1,
                          double* w2) {
    combinework<vec4_>(plan, a, b, c, conjugate, scale, w0, w1, w2);
}

// The same with AVX-512's 32 vector registers, in which the last pass keeps
// its values and constants (AVX2's 16 make it spill).
#define FFT_AVX512 __attribute__((target("avx2,avx512f,avx512vl")))
FFT_AVX512 void four1avx512(const plan_& plan, double* data, bool inverse, double* a, double* b) {
    four1work<vec4_>(plan, data, inverse, a, b);
}
FFT_AVX512 void fftavx512(const plan_& plan, optics::samples_& data, bool inverse, const scale_& scale, double* a,
                          double* b) {
    fftwork<vec4_>(plan, data, inverse, scale, a, b);
}
FFT_AVX512 void combineavx512(const plan_& plan, const optics::samples_& a, const optics::samples_& b,
                              optics::samples_& c, bool conjugate, const scale_& scale, double* w0, double* w1,
                              double* w2) {
    combinework<vec4_>(plan, a, b, c, conjugate, scale, w0, w1, w2);
}

bool hasavx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("avx512f") != 0 &&
           __builtin_cpu_supports("avx512vl") != 0;
}

bool hasavx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
#endif

bool supported(path_ path) {
#if defined(__x86_64__) || defined(__i386__)
    if (path == path_::avx512) return hasavx512();
    if (path == path_::avx2) return hasavx2();
#endif
    return path == path_::plain;
}

// The path every call takes, read once per call: by default the widest the
// processor supports.
std::atomic<path_>& chosenpath() {
    static std::atomic<path_> chosen{supported(path_::avx512) ? path_::avx512
                                     : supported(path_::avx2) ? path_::avx2
                                                              : path_::plain};
    return chosen;
}

void badargument() { listoutput::print("Bad argument in FFT."); }

// The grid step of a correlation or convolution; a refused one is also
// reported through the kernel's error path, naming the routine.
bool validstep(const char* routine, const quad_& step) {
    if (parametercheck::valid(routine, {{"grid step", static_cast<double>(step), parametercheck::positive}}))
        return true;
    badargument();
    return false;
}

std::string lengthmessage(const char* routine, int32_t n) {
    return std::string(routine) + ": " + std::to_string(n) + " samples; need a power of two of at least 2";
}

// Correlation (conjugate = true) or convolution of a and b into c.
void combine(const optics::samples_& a, const optics::samples_& b, optics::samples_& c, const quad_& dx,
             bool conjugate, const char* routine) {
    const int32_t n = a.size();
    const int32_t bits = lengthbits(n);
    if (bits < 0) {
        errorhandling::error(lengthmessage(routine, n));
        return;
    }
    if (b.size() != n || c.size() != n) {
        errorhandling::error(std::string(routine) + ": a, b and c must have the same number of samples");
        return;
    }
    if (!validstep(routine, dx)) return;
    const plan_& plan = planfor(bits);
    const size_t size = buffersize(n);
    double* w = workspace(3 * size);
    // Both forward transforms scaled by dx/sqrt(2 pi), the inverse by
    // domega/sqrt(2 pi) with domega = 2 pi/(N dx).
    const quad_ nfactor = dx / static_cast<quad_>(sqrttwopi);
    const quad_ domega = (static_cast<quad_>(twopi) / dx) / n;
    const scale_ scale = makescale(nfactor * nfactor * (domega / static_cast<quad_>(sqrttwopi)));
#if defined(__x86_64__) || defined(__i386__)
    const path_ path = chosenpath().load(std::memory_order_relaxed);
    if (path == path_::avx512) {
        combineavx512(plan, a, b, c, conjugate, scale, w, w + size, w + 2 * size);
        return;
    }
    if (path == path_::avx2) {
        combineavx2(plan, a, b, c, conjugate, scale, w, w + size, w + 2 * size);
        return;
    }
#endif
    combinegeneric(plan, a, b, c, conjugate, scale, w, w + size, w + 2 * size);
}

}  // namespace

void four1(double* data, const int32_t& nn, const int32_t& isign) {
    const int32_t bits = lengthbits(nn);
    if (bits < 0) {
        errorhandling::error("four1: nn = " + std::to_string(nn) + "; need a power of two of at least 2");
        return;
    }
    if (isign != 1 && isign != -1) {
        errorhandling::error("four1: isign = " + std::to_string(isign) + "; need +1 or -1");
        return;
    }
    const plan_& plan = planfor(bits);
    const size_t size = buffersize(nn);
    double* w = workspace(2 * size);
#if defined(__x86_64__) || defined(__i386__)
    const path_ path = chosenpath().load(std::memory_order_relaxed);
    if (path == path_::avx512) {
        four1avx512(plan, data, isign > 0, w, w + size);
        return;
    }
    if (path == path_::avx2) {
        four1avx2(plan, data, isign > 0, w, w + size);
        return;
    }
#endif
    four1generic(plan, data, isign > 0, w, w + size);
}

void fft(optics::samples_& data, const int32_t& expsign, const quad_& dt) {
    if (!(dt > 0) || !std::isfinite(dt) || expsign == 0 || expsign > 1 || expsign < -1) {
        badargument();
        return;
    }
    const int32_t n = data.size();
    const int32_t bits = lengthbits(n);
    if (bits < 0) {
        errorhandling::error(lengthmessage("fft", n));
        return;
    }
    const plan_& plan = planfor(bits);
    const size_t size = buffersize(n);
    double* w = workspace(2 * size);
    const scale_ scale = makescale(dt / static_cast<quad_>(sqrttwopi));
#if defined(__x86_64__) || defined(__i386__)
    const path_ path = chosenpath().load(std::memory_order_relaxed);
    if (path == path_::avx512) {
        fftavx512(plan, data, expsign > 0, scale, w, w + size);
        return;
    }
    if (path == path_::avx2) {
        fftavx2(plan, data, expsign > 0, scale, w, w + size);
        return;
    }
#endif
    fftgeneric(plan, data, expsign > 0, scale, w, w + size);
}

path_ currentpath() { return chosenpath().load(std::memory_order_relaxed); }

bool usepath(path_ path) {
    if (!supported(path)) return false;
    chosenpath().store(path, std::memory_order_relaxed);
    return true;
}

void correlation(const optics::samples_& a, const optics::samples_& b, optics::samples_& c,
                 const optics::quad_& dx) {
    combine(a, b, c, dx, true, "correlation");
}

void convolution(const optics::samples_& a, const optics::samples_& b, optics::samples_& c,
                 const optics::quad_& dx) {
    combine(a, b, c, dx, false, "convolution");
}

}  // namespace fastfouriertransform
