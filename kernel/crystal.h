#pragma once
// The nonlinear crystal (periodically poled lithium niobate): its parameter
// and work record, the Sellmeier indices, wave numbers derived from them, and
// the crystal's dispersion and the pump's group delay applied to pulses.
#include <cstdint>
#include <vector>

#include "kernel/pulserecord.h"

namespace elements {

// Wave-number offsets k(omega_j) - k(omega0) of one pulse grid, kept between
// passes and rebuilt only when the grid (N, omega0, domega) changes, with the
// phase factors exp(-i*deltak_j*z) of the current pass.
struct gridwavenumbers_ {
    int32_t n = -1;
    optics::quad_ omega0 = 0;
    optics::quad_ domega = 0;
    std::vector<double> deltak;          // sample j at [j-1]
    double largest = 0;                  // largest |deltak|, NaN when one is NaN
    std::vector<optics::complex_> phase;  // sample j at [j-1]
};

// Work storage of the mixing routines besides the six arrays: the wave
// numbers of the three grids and the per-sample increments of one step.
struct mixingwork_ {
    gridwavenumbers_ pump;
    gridwavenumbers_ signal;
    gridwavenumbers_ idler;
    std::vector<optics::complex_> increment;
};

// One crystal. The engine element owns it and fills w, l, chi2, z and the
// flags; the mixing routines keep their work storage here, so crystals of
// different setups never share any.
struct psetppln_ {
    double w = 0.0;     // beam width, m
    double l = 0.0;     // crystal length, m: the distance of one pass
    double chi2 = 0.0;  // second-order nonlinear coefficient
    double g = 0.0;     // poling period, m
    double z = 0.0;     // distance covered so far, m
    // Work arrays of the frequency-domain mixing: fields in the crystal frame
    // (idler, signal, pump) and their nonlinear sources.
    optics::samples_ i;
    optics::samples_ s;
    optics::samples_ p;
    optics::samples_ di;
    optics::samples_ ds;
    optics::samples_ dp;
    optics::logical_ firsttime = 1;
    optics::logical_ lasttime = 0;
    int32_t id = 0;
    mixingwork_ work;
};

// Sellmeier indices of a wavelength in metres (ordinary, extraordinary). A
// wavelength that is not positive is reported and gives 1.0.
double no(double lambda);
double ne(double lambda);

// Wave number ne*omega/c of an angular frequency, rad/m; 0 at omega = 0.
double kofomega(double omega);
// Wave number of sample i of a frequency-domain pulse.
double k(const optics::pulse_& pulse, int32_t i);
// k(pulse, i) minus the wave number of the centre sample N/2.
double deltak(const optics::pulse_& pulse, int32_t i);

// Applies the dispersion of a crystal of length pset.l to the pulse, which is
// left in the frequency domain.
void pplndispersion(optics::pulse_& pulse, const psetppln_& pset);
// Moves pump, signal and idler back by the pump's group delay over pset.l;
// all three are left in the frequency domain. The three pulses must have the
// same sample count; otherwise the call is reported and changes nothing.
void pplndelay(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, const psetppln_& pset);

}  // namespace elements
