// Saturable absorber: a ground-state population that bleaches under the
// pulse and relaxes towards its unsaturated value with the lifetime t1.
//
// The inversion obeys dn/dt = (deltan0 - n)/t1 - x*n/t1, x = I/is. Its
// closed form divides a running integral by exp(A), A the integral of
// (1 + x)/t1 over the window; A overflows once the window exceeds some
// hundred lifetimes. The routines step the same closed form sample by
// sample, n(i) = (n(i-1) + dt*deltan0/t1)*exp(-(A(i) - A(i-1))), which only
// ever takes the exponential of one step and needs no table.
#include <cmath>
#include <string>

#include "kernel/elements.h"
#include "kernel/elementsupport.h"
#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/parametercheck.h"

namespace elements {

namespace {

using optics::complex_;

// A zero waist, thickness, saturation intensity, lifetime or wavelength
// gives only NaN: such a pass is refused.
bool validabsorber(const pulse_& pulse, const psetabsorber_& pset, const char* routine) {
    if (pset.w > 0 && pset.l > 0 && pset.is > 0 && pset.t1 > 0 && support::validwavelength(pulse)) return true;
    errorhandling::error(std::string("ERROR: ") + routine +
                         " needs a positive beam waist, thickness, saturation intensity, lifetime and "
                         "carrier wavelength");
    return false;
}

// The record's parameters, checked on entry before anything is changed.
bool validrecord(const psetabsorber_& p, const char* routine) {
    using namespace parametercheck;
    return valid(routine, {{"beam waist w", p.w, positive},
                           {"thickness l", p.l, positive},
                           {"saturation intensity is", p.is, positive},
                           {"loss", p.loss, nonnegative},
                           {"recovery time t1", p.t1, positive},
                           {"pulse time of the last pass", p.recoverytime}});
}

// Absorption cross section and unsaturated inversion; a pass at negligible
// intensity then transmits exp(-loss) of the intensity.
template <typename Real>
struct Absorption {
    Real sigma;
    Real deltan0;
};

template <typename Real>
Absorption<Real> absorption(const pulse_& pulse, const psetabsorber_& pset) {
    const Real sigma = static_cast<Real>(hc) / (static_cast<Real>(pset.t1) * optics::lambda0(pulse) * pset.is);
    return {sigma, -(pset.loss / (pset.l * sigma))};
}

void leave(pulse_& pulse, psetabsorber_& pset) {
    pset.recoverytime = static_cast<double>(pulse.t);
    pulse.t += static_cast<quad_>(pset.l) / tools::c;
    pset.firsttime = 0;
}

// One pass of satabsorber or satabsorberpol in extended precision, starting
// from the inversion deltani; `field(i)` saturates, `apply(i, f)` scales.
// Returns the inversion met by the last sample.
template <typename Field, typename Apply>
quad_ relax(const pulse_& pulse, const psetabsorber_& pset, quad_ deltani, Field field, Apply apply) {
    const Absorption<quad_> a = absorption<quad_>(pulse, pset);
    const quad_ rate = pulse.dt / pset.t1;
    const double factor = support::intensityfactor(pset.w);
    const int32_t n = pulse.envelope.size();
    quad_ deltan = deltani;
    for (int32_t i = 1; i <= n; ++i) {
        const quad_ step = i == 1 ? 0 : rate * (1 + support::intensity(field(i), factor) / pset.is);
        deltan = deltan * std::exp(-step) + rate * a.deltan0;
        apply(i, static_cast<double>(1 + pset.l * deltan * a.sigma / 2.0L));
    }
    return deltan;
}

}  // namespace

void satabsorbersplit(pulse_& pulse, psetabsorber_& pset) {
    if (!validrecord(pset, "SatAbsorberSplit")) return;
    optics::totime(pulse);
    if (!validabsorber(pulse, pset, "SatAbsorberSplit")) return;
    const Absorption<double> a = absorption<double>(pulse, pset);
    const double rate = static_cast<double>(pulse.dt) / pset.t1;
    const double factor = support::intensityfactor(pset.w);
    const double half = a.sigma * pset.l / 2.0;

    // Samples below the critical ratio relax and bleach together; at and
    // above it the relaxation is neglected and the inversion only drops.
    // Each run of one kind starts from the inversion the previous run left.
    double deltan = a.deltan0;
    double next = a.deltan0;  // the inversion the next sample of the run meets
    bool strongrun = false;
    support::repeatedexp decay, transmission;
    const int32_t n = pulse.envelope.size();
    const double* ratios = support::intensityratios(pulse.envelope, factor, pset.is);
    for (int32_t i = 1; i <= n; ++i) {
        complex_& sample = pulse.envelope(i);
        const double x = ratios[i - 1];
        const bool strong = x >= criticalratio;
        if (strong != strongrun) {
            next = deltan;
            strongrun = strong;
        }
        if (strong) {
            deltan = next;
            next = deltan * decay(-rate * x);
        } else {
            deltan = i == 1 ? next : next * decay(-rate * (1 + x));
            next = deltan + rate * a.deltan0;
        }
        support::scale(sample, transmission(deltan * half));
    }
    pset.deltan = deltan;
    leave(pulse, pset);
}

void satabsorber(pulse_& pulse, psetabsorber_& pset) {
    if (!validrecord(pset, "SatAbsorber") ||
        !parametercheck::valid("SatAbsorber", {{"inversion deltan", pset.deltan}}))
        return;
    optics::totime(pulse);
    const int32_t n = pulse.envelope.size();
    const bool components = pulse.u.allocated();
    if (components && !support::componentscover(pulse, n, "SatAbsorber")) return;
    if (!validabsorber(pulse, pset, "SatAbsorber")) return;
    auto field = [&](int32_t i) { return components ? pulse.u(i) + pulse.v(i) : pulse.envelope(i); };
    auto apply = [&](int32_t i, double f) { support::scale(pulse.envelope(i), f); };
    pset.deltan = static_cast<double>(relax(pulse, pset, pset.deltan, field, apply));
    leave(pulse, pset);
}

void satabsorberpol(pulse_& pulse, psetabsorber_& pset) {
    if (!validrecord(pset, "SatAbsorberPol")) return;
    optics::totime(pulse);
    if (!support::componentscover(pulse, pulse.envelope.size(), "SatAbsorberPol")) return;
    if (!validabsorber(pulse, pset, "SatAbsorberPol")) return;
    const quad_ deltan0 = absorption<quad_>(pulse, pset).deltan0;
    auto field = [&](int32_t i) { return pulse.u(i) + pulse.v(i); };
    auto apply = [&](int32_t i, double f) {
        support::scale(pulse.u(i), f);
        support::scale(pulse.v(i), f);
    };
    pset.deltan = static_cast<double>(relax(pulse, pset, deltan0, field, apply));
    leave(pulse, pset);
}

}  // namespace elements
