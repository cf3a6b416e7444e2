#include "kernel/crystal.h"

#include <cmath>
#include <string>

#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/mixingsupport.h"
#include "kernel/parametercheck.h"

namespace elements {

namespace {

// Sellmeier coefficients: single-precision literals widened to double; the
// C terms are in square micrometres.
struct sellmeier_ {
    double b1, c1, b2, c2, b3, c3;
};

constexpr sellmeier_ kOrdinary{2.2454f, 0.01242f, 1.3005f, 0.05313f, 6.8972f, 331.33f};
constexpr sellmeier_ kExtraordinary{2.4272f, 0.01478f, 1.4617f, 0.05612f, 9.6536f, 371.216f};

// n = sqrt(1 + B1 Q/(Q-C1) + B2 Q/(Q-C2) + B3 Q/(Q-C3)), Q the squared
// wavelength in micrometres, in extended precision: the first two terms,
// then the third, then 1. An infinite wavelength (zero frequency) takes the
// terms' limits B. Where the formula has no real index (a wavelength that is
// not positive, or one in the infrared absorption band where n^2 <= 0) the
// problem is reported and 1.0 is returned, so a grid that reaches such
// frequencies stays finite.
double sellmeier(const sellmeier_& s, double lambda) {
    if (!(lambda > 0.0)) {
        errorhandling::error("NEGATIVE WAVELENGTH IN SELLMEIER");
        return 1.0;
    }
    const double micrometres = lambda * 1e6;
    const optics::quad_ q = static_cast<optics::quad_>(micrometres) * micrometres;
    auto term = [q](double b, double c) -> optics::quad_ {
        return std::isinf(q) ? static_cast<optics::quad_>(b) : b * q / (q - c);
    };
    const optics::quad_ square = term(s.b1, s.c1) + term(s.b2, s.c2) + term(s.b3, s.c3) + 1;
    if (!(square > 0) || std::isinf(square)) {
        errorhandling::error("NO REAL INDEX IN SELLMEIER");
        return 1.0;
    }
    return static_cast<double>(std::sqrt(square));
}

}  // namespace

double no(double lambda) { return sellmeier(kOrdinary, lambda); }

double ne(double lambda) { return sellmeier(kExtraordinary, lambda); }

double kofomega(double omega) {
    const double lambda = optics::twopic / omega;
    return ne(lambda) * optics::twopi / lambda;
}

double k(const optics::pulse_& pulse, int32_t i) {
    const double lambda = optics::getlambda(pulse, i);
    return ne(lambda) * optics::twopi / lambda;
}

double deltak(const optics::pulse_& pulse, int32_t i) { return k(pulse, i) - k(pulse, pulse.envelope.size() / 2); }

void pplndispersion(optics::pulse_& pulse, const psetppln_& pset) {
    if (!parametercheck::valid("PPLNDispersion", {{"crystal length l", pset.l}})) return;
    optics::tofrequency(pulse);
    if (pulse.domain != optics::frequency) return;  // the transform reported its refusal
    std::vector<double> offsets;
    mixing::wavenumberoffsets(pulse, offsets);
    for (int32_t j = 1; j <= pulse.envelope.size(); ++j) {
        const float phi = static_cast<float>(offsets[j - 1] * pset.l);
        pulse.envelope(j) = mixing::mul(pulse.envelope(j), mixing::cis(-phi));
    }
}

void pplndelay(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, const psetppln_& pset) {
    if (!parametercheck::valid("PPLNDelay", {{"crystal length l", pset.l}})) return;
    if (!mixing::samesamplecount(pump, signal, idler, "PPLNDelay")) return;
    optics::tofrequency(pump);
    optics::tofrequency(signal);
    optics::tofrequency(idler);
    if (pump.domain != optics::frequency || signal.domain != optics::frequency || idler.domain != optics::frequency)
        return;  // the transform reported its refusal
    // The pump's inverse group velocity, by a central difference one step wide.
    const double above = static_cast<double>(pump.omega0 + pump.domega / 2);
    const double below = static_cast<double>(pump.omega0 + pump.domega / -2);
    const double dkpump = static_cast<double>((kofomega(above) - kofomega(below)) / pump.domega);
    for (int32_t j = 1; j <= pump.envelope.size(); ++j) {
        const float phi = static_cast<float>(optics::getx(pump, j) * dkpump * pset.l);
        const optics::complex_ ramp = mixing::cis(phi);
        pump.envelope(j) = mixing::mul(pump.envelope(j), ramp);
        signal.envelope(j) = mixing::mul(signal.envelope(j), ramp);
        idler.envelope(j) = mixing::mul(idler.envelope(j), ramp);
    }
}

}  // namespace elements
