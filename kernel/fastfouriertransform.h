#pragma once
// The kernel's discrete Fourier transform: the raw transform of interleaved
// doubles, the centred and scaled transform of a pulse's samples, and the
// cyclic correlation and convolution of two sample arrays built on it.
//
// Every length must be a power of two of at least 2; other lengths are
// refused through errorhandling::error and leave the data as it was.
// Transform tables are built once per length and shared by all threads;
// each thread keeps its own work storage, so calls on distinct arrays may
// run at once.
#include <cstdint>

#include "kernel/pulserecord.h"

namespace fastfouriertransform {

// In place on nn complex values stored as interleaved (real, imaginary)
// doubles, data[0] being the real part of value 0:
//   data_k <- sum_j data_j exp(isign 2 pi i j k / nn), k = 0..nn-1,
// without normalisation. isign is +1 or -1.
void four1(double* data, const int32_t& nn, const int32_t& isign);

// Centred, scaled transform of samples 1..N in place, with c = N/2:
//   data'(i) = dt/sqrt(2 pi) sum_j data(j) exp(expsign 2 pi i (i-c)(j-c)/N).
// dt is the grid step of the samples' domain (dt or domega). dt not positive
// and finite, or expsign not +1 or -1, prints "Bad argument in FFT." and
// changes nothing.
void fft(optics::samples_& data, const int32_t& expsign, const optics::quad_& dt);

// c(i) <- dx/sqrt(2 pi) sum_j conj(a(j)) b(j + i - N/2), indices of b cyclic:
// the zero lag lies at sample N/2. a, b and c have N samples each; c may be
// a or b. dx is the grid step of a and b and must be positive and finite;
// another is reported and printed as for fft and changes nothing.
void correlation(const optics::samples_& a, const optics::samples_& b, optics::samples_& c,
                 const optics::quad_& dx);

// c(i) <- dx/sqrt(2 pi) sum_j a(j) b(i - j + N/2), indices of b cyclic;
// otherwise as correlation.
void convolution(const optics::samples_& a, const optics::samples_& b, optics::samples_& c,
                 const optics::quad_& dx);

// The instruction sets the transforms are compiled for. Every call takes the
// path in use, by default the widest the processor supports.
enum class path_ { plain, avx2, avx512 };
path_ currentpath();
// Makes later calls of every thread take `path`; for tests. A path the
// processor lacks is refused (false) and changes nothing.
bool usepath(path_ path);

}  // namespace fastfouriertransform
