#pragma once
// Filling, copying and moving the samples of a pulse record. The target of a
// routine is `envelope` when present, otherwise the polarisation pair u, v.
#include <cstdint>
#include <optional>

#include "kernel/pulserecord.h"

namespace optics {

// A Gaussian of the given duration (the amplitude falls to exp(-1/2) at
// +-duration from the peak), energy and carrier wavelength, on a grid with
// dt*domega*N = 2*pi. With a reference the grid is taken from it and the
// Gaussian is half as wide. A record without samples ends the process. A
// duration, energy or reference step that is no finite number, or a
// wavelength that is not positive and finite, is reported and changes
// nothing; a finite duration or energy of the wrong sign is reported once the
// grid is set, and the samples are left unscaled.
void generatepulse(pulse_& pulse, double duration, double penergy, double wavelength,
                   const pulse_* reference = nullptr);

// Sets the grid (dt = duration/N) and adds uniform complex noise of the
// given amplitude to the envelope; every call draws the same sequence. A
// duration or wavelength that is not positive and finite, or an amplitude
// that is not finite, is reported and changes nothing.
void generatepulsenoise(pulse_& pulse, double duration, double amplitude, double wavelength);

// dest becomes a copy of src; arrays of the right length are reused in place.
void copypulse(const pulse_& src, pulse_& dest);

// Moves the content n samples toward higher sample numbers (zero fill, no
// wrap) and moves the grid origin so the content keeps its absolute place.
// A domain other than the record's moves the content by n steps of that
// domain through a linear phase ramp on the samples as they are.
void shiftpulse(pulse_& pulse, int32_t n, std::optional<logical_> domain = std::nullopt);

// Moves the peak to sample floor(N/2)+1 when it is at least `limit` samples
// away, working in `domain` when given; the record's domain is restored.
void recenter(pulse_& pulse, int32_t limit, std::optional<logical_> domain = std::nullopt);

// Shifts slave in time onto the grid origin of master.
void resynctime(const pulse_& master, pulse_& slave);

}  // namespace optics
