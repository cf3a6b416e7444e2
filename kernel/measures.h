#pragma once
// Moving a pulse between the time and frequency domains, and its measures.
// The measures read the field (u + v when the polarisation components are
// present, else the envelope) in the record's current domain.
#include <cstdint>
#include <optional>

#include "kernel/pulserecord.h"

namespace optics {

// Fourier transform of the samples; t, dt, omega0 and domega stay. A record
// already in the target domain is left alone. When the grid step is not a
// positive finite number, or the sample count is not a power of two >= 2,
// the failure is reported and the record is left exactly as it was.
void tofrequency(pulse_& pulse);
void totime(pulse_& pulse);

// Sum of |s|^2 * step * epsilon0 * c.
double energy(const pulse_& pulse);
// Full width at half maximum of |s|^2, a whole number of steps; one step for
// a single sample above the threshold, 0 for a pulse that is zero everywhere.
double fwhm(const pulse_& pulse);
// The same on |s| with no special case for one sample.
double fwhme(const pulse_& pulse);
// Twice the root-mean-square width of |s|^2 about its centre.
double msq(const pulse_& pulse);
// Centre of |s|^2 as a grid offset, measured in `domain` when given (a work
// copy is transformed; the pulse is not touched).
quad_ centerofmass(const pulse_& pulse, std::optional<logical_> domain = std::nullopt);
// |sum of the field samples * dt| in area units; reads the envelope only.
double area(const pulse_& pulse);
// Distance between the outermost non-zero envelope samples.
double totalwidth(const pulse_& pulse);

// The overlap of two pulses on pulse1's grid: sample i of pulse1 pairs with
// sample i - di of pulse2 for istart <= i <= istop.
void findoverlap(const pulse_& pulse1, const pulse_& pulse2, int32_t& istart, int32_t& istop, int32_t& di);

}  // namespace optics
