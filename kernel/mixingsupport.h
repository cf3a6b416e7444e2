#pragma once
// Pieces shared by the crystal routines: sample-wise complex arithmetic in
// single precision, the conversion between pulse amplitude and field, the
// coupling constants, the checks of the three pulses and the diagnostics.
#include <cmath>
#include <complex>
#include <cstdint>
#include <string_view>
#include <vector>

#include "kernel/grid.h"
#include "kernel/pulserecord.h"

// Loops over samples are built twice, for AVX2 and for the baseline, and the
// processor picks one when the program loads. Both give the same numbers.
// The sanitizer runtimes cannot resolve such functions while loading, so
// sanitized builds take the baseline alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && \
    !defined(__SANITIZE_ADDRESS__)
#define MIXING_VECTORISED __attribute__((target_clones("avx2", "default")))
#else
#define MIXING_VECTORISED
#endif

namespace elements::mixing {

using optics::complex_;
using optics::quad_;

// Single-precision complex product, without the library's NaN recovery.
inline complex_ mul(const complex_& a, const complex_& b) {
    return complex_(a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real());
}

// exp(i*phi) in single precision.
inline complex_ cis(float phi) {
    float s;
    float c;
    ::sincosf(phi, &s, &c);
    return complex_(c, s);
}

// Amplitude to field and back for a beam whose w*sqrt(pi) is `scale`; the
// same values as optics::efield and optics::epotential.
inline complex_ tofield(const complex_& v, double scale) { return complex_(std::complex<double>(v) / scale); }
inline complex_ topotential(const complex_& e, double scale) { return complex_(std::complex<double>(e) * scale); }

// old + increment*l, formed in extended precision and stored in single.
inline complex_ advance(const complex_& old, const complex_& increment, double l) {
    const quad_ ll = l;
    return complex_(static_cast<float>(old.real() + increment.real() * ll),
                    static_cast<float>(old.imag() + increment.imag() * ll));
}

// target(j) <- target(j) + increment[j-1]*l for every sample, each formed in
// extended precision and stored in single.
void accumulate(optics::samples_& target, const std::vector<complex_>& increment, double l);

// out[j] = exp(-i*phi_j) with phi_j = deltak[j]*z rounded to single precision,
// for every j; out is resized to deltak's length. largest is the largest
// |deltak[j]| (NaN when any is NaN).
void framefactors(const std::vector<double>& deltak, double largest, double z, std::vector<complex_>& out);

// x(j) <- E(X(j)) * frame(j): a pulse's field in the crystal frame.
void intoframe(const optics::samples_& pulse, const std::vector<complex_>& frame, double scale,
               optics::samples_& x);

// increment[j] <- A(source(j) * coupling * f(j)), the step per unit length
// that a nonlinear source gives a pulse, with f = conj(factor) when
// `conjugate` is set and f = factor otherwise.
void stepfrom(const optics::samples_& source, const complex_& coupling, const std::vector<complex_>& factor,
              bool conjugate, double scale, std::vector<complex_>& increment);

// The frame factors of one pulse: `into` takes its field into the crystal
// frame, `outof` brings a step back out (conjugated when the exchange says so).
struct pulseframe_ {
    const std::vector<complex_>& into;
    const std::vector<complex_>& outof;
};

// The work arrays of one frequency-domain exchange: the three fields in the
// crystal frame, their three sources, and the increment buffer.
struct exchangearrays_ {
    optics::samples_& s;
    optics::samples_& p;
    optics::samples_& i;
    optics::samples_& di;
    optics::samples_& ds;
    optics::samples_& dp;
    std::vector<complex_>& increment;
};

// One frequency-domain exchange over a crystal of length l: the idler grows
// from signal and pump, then pump and signal from the new idler, each update
// over the whole array; the out-of-bounds diagnostics are taken at the
// pump's peak. `conjugate` conjugates the `outof` factors.
void exchange(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, double chi2, double l,
              double scale, quad_ dx, const pulseframe_& pumpframe, const pulseframe_& signalframe,
              const pulseframe_& idlerframe, bool conjugate, const exchangearrays_& work);

// -i*chi2*omega0^2 / (8*pi*c^2*kofomega(omega0)) of a carrier.
complex_ coupling(quad_ omega0, double chi2);

// True when the three pulses hold the same, nonzero number of samples;
// otherwise reports it for `routine` and gives false.
bool samesamplecount(const optics::pulse_& pump, const optics::pulse_& signal, const optics::pulse_& idler,
                     std::string_view routine);

// kofomega(omega_j) - kofomega(omega0) for every sample j of the pulse's
// current grid, into offsets[j-1] (resized to N).
void wavenumberoffsets(const optics::pulse_& pulse, std::vector<double>& offsets);

// The first pass's two lines on the carriers' phase mismatch over length l.
void printmismatch(double l, double mismatch);

// The three lines of a step that is large against the field it changes:
// the message and the sample, " E:" and the field, "dE:" and the increment
// (or the size of one of its parts).
void outofbounds(std::string_view message, int32_t sample, const complex_& e, const complex_& de);
void outofbounds(std::string_view message, int32_t sample, const complex_& e, double de);

}  // namespace elements::mixing
