#pragma once
// The sampling grid of a pulse and the field quantities of one sample.
// Sample i of N lies (i - N/2)*step from the grid origin, step being dt in
// the time domain and domega in the frequency domain.
#include <cstdint>

#include "kernel/pulserecord.h"

namespace optics {

// Derived constants as the kernel holds them.
constexpr double twopic = 1878672406.8466964;         // 2*pi*c
constexpr double sqrtpi = 1.7724538509055159;         // sqrt(pi)
constexpr double epsilon0c = 0.002647405907343914;    // epsilon0*c
constexpr double impedance = 376.6345443071249;       // sqrt(mu0/epsilon0)
constexpr double twopi = 6.283185307179586;           // 2*pi
constexpr double halfpisingle = 1.5707963705062866;   // pi/2 rounded to float

// The step of the current domain.
quad_ dx(const pulse_& pulse);
// Offset of sample n, (n - N/2)*step; n is not checked.
double getx(const pulse_& pulse, int32_t n);
// Offsets of the grid ends: -step*(N div 2 - 1) and step*(N div 2).
quad_ xmin(const pulse_& pulse);
quad_ xmax(const pulse_& pulse);
// The sample at or below offset x, clamped to 1..N (1 when N = 0 or x is NaN).
int32_t getindex(const pulse_& pulse, double x);
// Envelope sample i, or 0 outside 1..N.
complex_ getvalue(const pulse_& pulse, int32_t i);
// The envelope linearly interpolated at offset x.
complex_ gety(const pulse_& pulse, double x);
// Carrier wavelength, m.
double lambda0(const pulse_& pulse);
// Wavelength of sample i of a frequency-domain pulse, m.
double getlambda(const pulse_& pulse, int32_t i);
// t + offset of sample n.
double absolutetime(const pulse_& pulse, int32_t n);

// Field quantities of one sample; w is the beam radius in m.
complex_ epotential(const complex_& e, double w);
complex_ efield(const complex_& potential, double w);
double power(const complex_& e);
double intensity(const complex_& e, double w);
// atan(im/re), within +-pi/2: a sample with negative real part gets the
// angle of its negative.
double phase(const complex_& e);

}  // namespace optics
