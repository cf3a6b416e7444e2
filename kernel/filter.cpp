// The linear elements: flat loss, Gaussian spectral filter, propagation
// delay and output coupler.
#include <cmath>
#include <new>
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

void scaleall(optics::samples_& samples, float f) {
    for (complex_& x : samples) x *= f;
}

// The Gaussian width of the filter for a pulse in the frequency domain. The
// gentle rule never makes the filter narrower than half the pulse's spectrum.
double filterwidth(const pulse_& pulse, const psetfilter_& pset) {
    if (pset.gentlefilter) {
        const double spectralwidth = optics::fwhm(pulse);
        if (spectralwidth / pset.fwhm > 2.0) return sigmaperfwhm * 0.5 * spectralwidth;
    }
    return pset.fwhm / fwhmpersigma;
}

// The field factors of the filter on the pulse's grid. A cavity filters
// pulses of one grid with one width pass after pass, so each thread keeps
// the curve of its last pass and rebuilds it only when grid, centre or
// width change.
const tools::reals_& filtercurve(const pulse_& pulse, double mean, double sigma) {
    struct Curve {
        int32_t n = -1;
        double step = 0;
        double mean = 0;
        double sigma = 0;
        tools::reals_ factor;
    };
    thread_local Curve curve;
    const int32_t n = pulse.envelope.size();
    const double step = static_cast<double>(optics::dx(pulse));
    if (curve.n == n && curve.step == step && curve.mean == mean && curve.sigma == sigma) return curve.factor;
    try {
        curve.factor.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        support::outofmemory();
    }
    for (int32_t i = 1; i <= n; ++i)
        curve.factor[static_cast<size_t>(i - 1)] = tools::unnormalizedgaussian(optics::getx(pulse, i) - mean, sigma);
    curve.n = n;
    curve.step = step;
    curve.mean = mean;
    curve.sigma = sigma;
    return curve.factor;
}

// Width and centre; a refused filter leaves the pulse transformed, as a
// pass through it always does.
bool validfilter(const psetfilter_& pset, const char* routine) {
    using namespace parametercheck;
    return valid(routine, {{"width fwhm", pset.fwhm, positive}, {"centre mean", pset.mean}});
}

// A positive width too small for a double gives the Gaussian's limit, which
// passes only an offset of exactly zero; a width from the gentle rule can
// still be undefined.
bool validwidth(double sigma, const char* routine) {
    if (std::isfinite(sigma)) return true;
    errorhandling::error(std::string("ERROR: Filter width is undefined in ") + routine);
    return false;
}

}  // namespace

void loss(pulse_& pulse, const double& amount) {
    if (!parametercheck::valid("Loss", {{"amount", amount}})) return;
    if (!(amount <= 100.0)) {
        errorhandling::error("ERROR: Loss above 100% in Loss");
        return;
    }
    const float f = static_cast<float>(std::sqrt((100 - static_cast<quad_>(amount)) / 100));
    if (!parametercheck::finitefactor("Loss", "amount", amount, f)) return;
    scaleall(pulse.envelope, f);
}

void filter(pulse_& pulse, const psetfilter_& pset) {
    optics::tofrequency(pulse);
    if (!validfilter(pset, "Filter")) return;
    const double sigma = filterwidth(pulse, pset);
    if (!validwidth(sigma, "Filter")) return;
    const tools::reals_& curve = filtercurve(pulse, pset.mean, sigma);
    complex_* samples = pulse.envelope.data();
    for (size_t k = 0; k < curve.size(); ++k) support::scale(samples[k], curve[k]);
}

void writefilterfunction(pulse_& pulse, const tools::string_& filename, const psetfilter_& pset) {
    optics::tofrequency(pulse);
    if (!validfilter(pset, "WriteFilterFunction")) return;
    const double sigma = filterwidth(pulse, pset);
    if (!validwidth(sigma, "WriteFilterFunction")) return;
    tools::writerealdata(filtercurve(pulse, pset.mean, sigma), filename, static_cast<double>(optics::xmin(pulse)),
                         static_cast<double>(optics::xmax(pulse)));
}

void propagation(pulse_& pulse, const double& distance, const double& n) {
    if (!parametercheck::valid("Propagation", {{"distance", distance}, {"index n", n}})) return;
    // The delay becomes a double pulse time in the elements that follow.
    const quad_ delay = static_cast<quad_>(distance) * n / tools::c;
    if (!parametercheck::finitefactor("Propagation", "distance", distance, static_cast<double>(delay))) return;
    if (n < 1.0) errorhandling::error("ERROR: Propagation SUBROUTINE called with negative index");
    pulse.t += delay;
}

void timepropagation(pulse_& pulse, const double& time) {
    if (!parametercheck::valid("TimePropagation", {{"time", time}})) return;
    pulse.t += time;
}

void outputcoupler(pulse_& pulse, psetoutputcoupler_& pset) {
    if (!parametercheck::valid("OutputCoupler", {{"transmission tout", pset.tout},
                                                 {"pulse time of the last pass", static_cast<double>(pset.lastpass)}}))
        return;
    if (!(pset.tout <= 100.0)) {
        errorhandling::error("ERROR: Transmission above 100% in OutputCoupler");
        return;
    }
    const float f = static_cast<float>(std::sqrt(1 - static_cast<quad_>(pset.tout) / 100));
    if (!parametercheck::finitefactor("OutputCoupler", "transmission tout", pset.tout, f)) return;
    const quad_ interval = pulse.t - pset.lastpass;
    if (interval > 0)
        pset.pout = static_cast<double>(pset.tout * (optics::energy(pulse) / interval) / 100);
    else
        errorhandling::error("ERROR: No time has passed since the last pass in OutputCoupler");
    scaleall(pulse.envelope, f);
    pset.lastpass = pulse.t;
}

}  // namespace elements
