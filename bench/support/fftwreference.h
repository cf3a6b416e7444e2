#pragma once
// Single-precision FFTW as the unit in which the benchmarks state their
// costs: an in-place forward transform of n points, planned with
// FFTW_MEASURE.
#include <vector>

// Nanoseconds of one transform, measured on its own.
double fftwnanoseconds(int n);

// One transform planned once, for timing beside the kernel in the same loop.
class FftwTimer {
public:
    explicit FftwTimer(int n);
    ~FftwTimer();
    FftwTimer(const FftwTimer&) = delete;
    FftwTimer& operator=(const FftwTimer&) = delete;

    // Nanoseconds of one transform.
    double time();

private:
    struct Impl;
    Impl* impl_;
};

// The median of a set of times (taken by value: it reorders them).
double median(std::vector<double> times);
