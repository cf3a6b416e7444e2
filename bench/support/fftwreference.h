#pragma once
// Nanoseconds of one in-place forward fftwf transform of n points, planned
// with FFTW_MEASURE: the unit in which the benchmarks state their costs.
double fftwnanoseconds(int n);
