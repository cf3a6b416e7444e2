#pragma once
// Difference-frequency mixing of a pump, a signal and an idler pulse in one
// pass through a nonlinear crystal: sample by sample in the time domain, or
// on the spectra in the frame that moves with each sample's phase.
#include "kernel/crystal.h"
#include "kernel/pulserecord.h"

namespace elements {

// One explicit step of length pset.l in the time domain; the three pulses are
// left there and the idler takes the pump's grid (t, dt and domega). Prints
// a diagnostic when a peak's step is large against its field. The pulses
// must have the same sample count; otherwise the pass is reported and
// changes nothing.
void pplntime(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset);

// One step of length pset.l on the spectra, which are left in the frequency
// domain; pset.z grows by pset.l. The work arrays and the wave numbers live in
// pset: made on the first pass (or when missing, or resized with a report when
// the sample count changes), written under "data/" on the first and the last
// pass, released after the last. Unequal sample counts, or a count that is
// not a power of two, are reported and skip the pass.
void pplnfrequency(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset);

// Frequency doubling: the harmonic is the pump of a pplnfrequency pass whose
// signal and idler are the fundamental at half power each; the fundamental
// takes the signal's result. Both are left in the frequency domain. Unequal
// sample counts, or an unusable grid or crystal, are reported and skip it.
void shg(optics::pulse_& fundamental, optics::pulse_& harmonic, psetppln_& pset);

// pplnfrequency with a residual carrier mismatch from the poling period
// pset.g, k(pump) - k(signal) - k(idler) - 2*pi/g, in every step's phase. Its
// work arrays belong to the calling thread, not to pset: made on the first
// pass (or when missing, or resized with a report when the sample count
// changes), written under "data/" on the first and the last pass, and kept.
// Unusable pulses, crystal or poling period are reported and skip the pass.
void pplnfrequencyold(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset);

// A time-domain step of length pset.l between pulses that each carry a
// quadratic spectral phase and are moved by their group delays; signal and
// idler are first aligned on the pump's time grid. Pump and signal are left
// in the time domain, the idler in the frequency domain. The work pulses
// belong to the calling thread and are written under "data/" on the first
// pass. Unusable pulses or crystal are reported and skip the pass.
void pplnmix(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset);

}  // namespace elements
