#pragma once
// Element physics: what a pass through a gain medium, a saturable absorber,
// a flat loss, a Gaussian spectral filter, a propagation path or an output
// coupler does to a pulse. Every routine works in place on the pulse and on
// a parameter record owned by the calling element, which keeps the medium's
// state between passes. A parameter that is no finite number in its domain,
// or that gives a factor that is not finite, is reported by name on entry and
// the call changes nothing (the filter still brings the pulse to the frequency
// domain). Other inputs that could only give NaN or would overrun an array are
// reported through errorhandling::error and the pass is refused: the pulse is
// at most brought to the routine's domain, and the samples, the pulse time and
// the record stay as they were.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel/pulserecord.h"
#include "kernel/tools.h"

namespace elements {

using optics::logical_;
using optics::pulse_;
using optics::quad_;

// Gain medium, shared byte for byte with the engine's gain element.
struct psetgain_ {
    int32_t id = 0;             // error source id of the owning element
    double w = 0;               // beam waist in the medium, m
    double r = 0;               // pump rate, 1/s
    double l = 0;               // length of the medium, m
    double sigma = 0;           // stimulated emission cross section, m^2
    double deltan0 = 0;         // ground-state inversion (minus the atom density)
    double sigmap = 0;          // pump absorption cross section (pump estimate only)
    double lambdap = 0;         // pump wavelength (pump estimate only)
    double t1 = 0;              // lifetime of the lasing level, s
    double deltan = 0;          // inversion when a pulse last left the medium
    double recoverytime = 0;    // pulse time at which it left
    logical_ firsttime = 1;     // true until the first pass
    logical_ lasttime = 0;      // set by the engine for the last round trip
};
static_assert(sizeof(psetgain_) == 96, "the engine checks this size at every run");
static_assert(offsetof(psetgain_, firsttime) == 88, "the record is shared with the engine");

// Gain medium with a sinusoidally modulated pump.
struct psetmodulatedgain_ {
    int32_t id = 0;
    double w = 0;
    double l = 0;
    double sigma = 0;
    double deltan0 = 0;
    double is = 0;              // saturation intensity (derived on the first pass)
    double t1 = 0;
    double deltan = 0;
    double r = 0;
    double mfrequency = 0;      // modulation frequency, Hz
    double mamplitude = 0;      // relative modulation depth
    double mphase = 0;          // modulation phase, rad
    double recoverytime = 0;
    double rprime = 0;          // derived on the first pass, like tprime and isprime
    double tprime = 0;
    double isprime = 0;
    std::vector<quad_> integraltable;  // sample i at [i-1]; sized by the first pass
    quad_ integral = 0;
    quad_ rtime = 0;
    quad_ deltani = 0;
    double rmod = 0;
    logical_ firsttime = 1;
    logical_ lasttime = 0;      // true: the pass writes the trace files under "data/"
};

// Saturable absorber, shared with the engine's absorber element.
struct psetabsorber_ {
    int32_t id = 0;
    double w = 0;               // beam waist in the absorber, m
    double l = 0;               // thickness, m
    double is = 0;              // saturation intensity
    double loss = 0;            // small-signal loss in nepers (intensity)
    double t1 = 0;              // upper-state lifetime, s
    double deltan = 0;          // inversion (output)
    double recoverytime = 0;    // pulse time at which a pulse last left (output)
    logical_ firsttime = 1;
    logical_ lasttime = 0;
};

// Gaussian spectral filter, shared with the engine's filter element.
struct psetfilter_ {
    int32_t id = 0;
    double fwhm = 0;            // FWHM of the field factor, rad/s
    double mean = 0;            // centre, as an offset on the frequency axis, rad/s
    logical_ gentlefilter = 0;  // true: never narrower than half the pulse's spectrum
    logical_ firsttime = 1;
    logical_ lasttime = 0;
};

// Output coupler.
struct psetoutputcoupler_ {
    int32_t id = 0;
    double tout = 0;            // transmission, percent
    quad_ lastpass = 0;         // pulse time of the previous pass
    double pout = 0;            // average output power of the last pass
};

// Intensity ratio at and above which the absorber counts as strongly saturated.
constexpr double criticalratio = 30.0;
// h*c as the absorber holds it.
constexpr double hc = 1.981194296923814e-25;
// 2*sqrt(2 ln 2) and its reciprocal, as held in single precision.
constexpr double fwhmpersigma = 2.3548200130462646;
constexpr double sigmaperfwhm = 0.42466089129447937;

// True exactly when csize is the size of psetgain_.
logical_ checksize(const int32_t& csize);

// Amplifies the pulse (time domain) and updates the inversion, the recovery
// time and the pulse time. With u and v present they saturate the medium and
// the envelope is scaled.
void gain(pulse_& pulse, psetgain_& pset);
// The same on the components u and v, which are scaled; the envelope is not.
void gainpol(pulse_& pulse, psetgain_& pset);
void modulatedgain(pulse_& pulse, psetmodulatedgain_& pset);
// Adds uniform complex noise of amplitude bg to every envelope sample.
void addbackground(pulse_& pulse, const double& bg);

// Attenuates the pulse (time domain); every pass starts fully relaxed.
void satabsorbersplit(pulse_& pulse, psetabsorber_& pset);
// One-regime variants with a first-order field factor.
void satabsorber(pulse_& pulse, psetabsorber_& pset);
void satabsorberpol(pulse_& pulse, psetabsorber_& pset);

// Removes amount percent of the intensity, in whichever domain the pulse is.
void loss(pulse_& pulse, const double& amount);
// Multiplies the spectrum by a Gaussian; the pulse is left in the frequency domain.
void filter(pulse_& pulse, const psetfilter_& pset);
// Writes the curve that filter would apply to a text file.
void writefilterfunction(pulse_& pulse, const tools::string_& filename, const psetfilter_& pset);
// Delays the pulse by distance*n/c; n below 1 is reported, the delay still made.
void propagation(pulse_& pulse, const double& distance, const double& n);
void timepropagation(pulse_& pulse, const double& time);
// Couples out tout percent and records the average output power over the
// time since the last pass; with no time passed, pout keeps its value.
void outputcoupler(pulse_& pulse, psetoutputcoupler_& pset);

}  // namespace elements
