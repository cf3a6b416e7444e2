#pragma once
// The kernel's toolbox: physical constants, small operations on sample
// arrays, a direct Fourier transform, linear interpolation, the text writers
// that dump arrays to files, and the fixed-length string record.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/pulserecord.h"

namespace tools {

// Physical constants as the kernel holds them: all but pi are single-precision
// values widened to double, and c is 2.99e8 in every kernel formula.
constexpr double c = 2.99e8;                          // speed of light, m/s
constexpr double h = 6.626067882688341e-34;           // Planck constant, J s
constexpr double epsilon0 = 8.854200359009745e-12;    // vacuum permittivity, F/m
constexpr double mu0 = 1.2560000186567777e-06;        // vacuum permeability, H/m
constexpr double dipole = 2.5372998542725043e-29;     // dipole moment, C m
constexpr double pi = 3.141592653589793;

// The kernel's string record: a length and 256 blank-padded characters.
// File names reach the kernel in it.
struct string_ {
    static constexpr int32_t capacity = 256;
    string_();
    int32_t length;
    char data[capacity];
};

using samples_ = optics::samples_;
using complex_ = optics::complex_;
using logical_ = optics::logical_;
using reals_ = std::vector<double>;  // sample i at [i-1]

// Array operations; complex arrays are numbered 1..N.
int32_t generateconstant(samples_& data, const complex_& k);
void chop(samples_& data);
void rescale(samples_& data, double factor);
// c(i) = a(i)*b(i) for every sample of a; c is resized to a's length, and a
// b shorter than a is reported and leaves c unchanged.
void multiply(const samples_& a, const samples_& b, samples_& c);
// Sum of data(lower..upper), by default 1..N. A given lower below 1, or a
// given upper not above lower or beyond N, is reported and gives 0.
complex_ integrate(const samples_& data);
complex_ integrate(const samples_& data, int32_t lower);
complex_ integrate(const samples_& data, int32_t lower, int32_t upper);
// Central difference of f into df (resized to f's length); for N < 3 it is
// reported and df is left unchanged.
void derive(const reals_& f, reals_& df, double dx);
// fp = f minus the straight line through f(x1) and f(x2), x1 = xx1 when
// above 0 (else 1), x2 = xx2 when at most N (else N). Ends outside 1..N are
// reported; equal ends or equal values print a notice. Both leave fp as it is.
void substractlinear(const reals_& f, reals_& fp, std::optional<int32_t> xx1 = std::nullopt,
                     std::optional<int32_t> xx2 = std::nullopt);
// Index of the first sample of largest modulus; 1 for an all-zero array.
int32_t findmax(const samples_& data);
// The same for data1 + data2 over data1's samples; a shorter data2 counts as
// zero beyond its end.
int32_t findmaxsum(const samples_& data1, const samples_& data2);
// Swaps the halves; for odd N the last sample stays.
int32_t shift(samples_& f);
// Adds a sine of period lambda samples to the real parts; origin is unused.
int32_t addsinus(samples_& data, float lambda, float origin);
// A Gaussian of width sigma samples centred mean samples past the middle,
// divided by 2*sqrt(pi)*sigma.
void generategaussian(samples_& data, float sigma, float mean);
// exp(-x^2/(2 sigma^2)), and 0 where the exponent's magnitude exceeds 100;
// 1 at x = 0 for every sigma, so a curve too narrow for a double keeps its peak.
double unnormalizedgaussian(double x, double sigma);

// Direct O(N^2) transform on the centred grid; es = -1 forward, +1 inverse.
int32_t foutrans(samples_& f, double dt, double domega, float es = -1.0f);
int32_t inversefoutrans(samples_& f, double dt, double domega);

double intrapolatey(double x1, double y1, double x2, double y2, double xi);
double intrapolatex(double x1, double y1, double x2, double y2, double yi);
// True for 2, 4, 8, ...; false for 1, other values and n <= 0.
logical_ is2ton(int32_t n);

// Text writers; each replaces the named file and reports a file it cannot
// write. x of sample i is xmin + (i-1)*(xmax-xmin)/(N-1) when both bounds are
// given, else i-1. Writers on different threads take turns on the kernel's
// one file channel. writerealdata writes rows istart..istop when both are
// given; indices beyond the array are reported and left out.
void writerealdata(const reals_& data, const string_& filename,
                   std::optional<double> xmin = std::nullopt, std::optional<double> xmax = std::nullopt,
                   std::optional<int32_t> istart = std::nullopt, std::optional<int32_t> istop = std::nullopt);
void writerealpart(const samples_& data, const string_& filename,
                   std::optional<double> xmin = std::nullopt, std::optional<double> xmax = std::nullopt,
                   std::optional<int32_t> istart = std::nullopt, std::optional<int32_t> istop = std::nullopt);
void writeimaginarypart(const samples_& data, const string_& filename,
                        std::optional<double> xmin = std::nullopt, std::optional<double> xmax = std::nullopt,
                        std::optional<int32_t> istart = std::nullopt,
                        std::optional<int32_t> istop = std::nullopt);
void writecomplexdata(const samples_& data, const string_& filename,
                      std::optional<double> xmin = std::nullopt, std::optional<double> xmax = std::nullopt);
void writetogether(const reals_& data1, const reals_& data2, const string_& filename);

// String record conversions; texts longer than 256 characters are cut.
std::string str2char(const string_& s);
string_ char2str(std::string_view c);
void c_to_s_assign(string_& s, std::string_view c);
// Stores s's text into c, padded with blanks or cut to c's current length.
void s_to_c_assign(std::string& c, const string_& s);
// s1's text then s2's; a result over 256 characters is reported and cut.
string_ string_concat(const string_& s1, const string_& s2);
// The digits of n, padded with leading zeros to ndigit characters; n < 1 is
// reported and gives an empty record.
string_ int2str(int32_t n, int32_t ndigit);

}  // namespace tools
