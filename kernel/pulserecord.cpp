#include "kernel/pulserecord.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace optics {

complex_* allocatesamples(int32_t n) {
    if (n <= 0) return nullptr;
    void* p = std::calloc(static_cast<size_t>(n), sizeof(complex_));
    if (!p) {
        std::fprintf(stderr, "Operating system error: %s\nMemory allocation failed\n", std::strerror(errno));
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return static_cast<complex_*>(p);
}

void releasesamples(complex_* data) { std::free(data); }

samples_::samples_(const samples_& other) {
    allocate(other.n_);
    if (n_ > 0) std::memcpy(data_, other.data_, static_cast<size_t>(n_) * sizeof(complex_));
}

samples_::samples_(samples_&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), n_(std::exchange(other.n_, 0)) {}

samples_& samples_::operator=(const samples_& other) {
    if (this == &other) return *this;
    if (n_ != other.n_) allocate(other.n_);
    if (n_ > 0) std::memcpy(data_, other.data_, static_cast<size_t>(n_) * sizeof(complex_));
    return *this;
}

samples_& samples_::operator=(samples_&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        n_ = std::exchange(other.n_, 0);
    }
    return *this;
}

void samples_::allocate(int32_t n) {
    release();
    data_ = allocatesamples(n);
    n_ = data_ ? n : 0;
}

void samples_::release() {
    releasesamples(data_);
    data_ = nullptr;
    n_ = 0;
}

}  // namespace optics
