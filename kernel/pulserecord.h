#pragma once
// The sampled pulse record shared by the kernel and the engine, and the one
// allocator through which both sides create and release its sample arrays.
#include <complex>
#include <cstddef>
#include <cstdint>

namespace optics {

using complex_ = std::complex<float>;  // real part, then imaginary part
using quad_ = long double;             // 80-bit extended precision
using logical_ = int32_t;              // 1 true, 0 false

constexpr logical_ time = 1;
constexpr logical_ frequency = 0;

// Raw storage for `n` samples, zero-filled; ends the process with status 1
// when the memory cannot be had. Release with releasesamples.
complex_* allocatesamples(int32_t n);
void releasesamples(complex_* data);

// A sample array numbered 1..N, or absent (N = 0). It owns its storage and
// gets it from allocatesamples, so the engine may replace or release an array
// the kernel made and the reverse.
class samples_ {
public:
    samples_() = default;
    explicit samples_(int32_t n) { allocate(n); }
    samples_(const samples_& other);
    samples_(samples_&& other) noexcept;
    samples_& operator=(const samples_& other);
    samples_& operator=(samples_&& other) noexcept;
    ~samples_() { release(); }

    // Replaces the storage by `n` zero samples (absent for n <= 0).
    void allocate(int32_t n);
    void release();

    int32_t size() const { return n_; }
    bool allocated() const { return data_ != nullptr; }

    // Sample i, 1 <= i <= N.
    complex_& operator()(int32_t i) { return data_[i - 1]; }
    const complex_& operator()(int32_t i) const { return data_[i - 1]; }

    // Contiguous storage, 0-based.
    complex_* data() { return data_; }
    const complex_* data() const { return data_; }
    complex_* begin() { return data_; }
    complex_* end() { return data_ + n_; }
    const complex_* begin() const { return data_; }
    const complex_* end() const { return data_ + n_; }

private:
    complex_* data_ = nullptr;
    int32_t n_ = 0;
};

// The pulse: its envelope samples (time or frequency domain), optional
// polarisation components u and v, and the grid. Sample i lies at
// (i - N/2)*step from the origin t (time) or omega0 (frequency).
struct pulse_ {
    samples_ envelope;
    samples_ u;
    samples_ v;
    quad_ omega0 = 0;
    quad_ t = 0;
    quad_ dt = 0;
    quad_ domega = 0;
    logical_ domain = time;
};

}  // namespace optics
