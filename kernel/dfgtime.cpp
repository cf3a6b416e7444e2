#include <cmath>
#include <vector>

#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/mixing.h"
#include "kernel/mixingsupport.h"
#include "kernel/parametercheck.h"
#include "kernel/tools.h"

namespace elements {

namespace {

using optics::complex_;
using namespace mixing;

// A step that is large against the field it changes: beyond 0.9 of the real
// part or 0.5 of the imaginary part.
bool large(const complex_& de, const complex_& e) {
    return std::fabs(de.real()) > 0.9f * std::fabs(e.real()) || std::fabs(de.imag()) > 0.5f * std::fabs(e.imag());
}

// increment[j] <- A(E(x(j)) * coupling * E(y(j))), y conjugated when asked:
// the step per unit length of one pulse.
MIXING_VECTORISED
void product(const optics::samples_& x, const complex_& coupling, const optics::samples_& y, bool conjugate,
             double scale, std::vector<complex_>& increment) {
    increment.resize(static_cast<size_t>(x.size()));
    const float sign = conjugate ? -1.0f : 1.0f;
    for (int32_t j = 1; j <= x.size(); ++j) {
        const complex_ e = tofield(y(j), scale);
        increment[j - 1] = topotential(mul(mul(tofield(x(j), scale), coupling), complex_(e.real(), sign * e.imag())), scale);
    }
}

}  // namespace

void pplntime(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset) {
    {
        using namespace parametercheck;
        if (!valid("PPLNTime",
                   {{"beam width w", pset.w, positive}, {"crystal length l", pset.l}, {"chi2", pset.chi2}}))
            return;
    }
    if (!samesamplecount(pump, signal, idler, "PPLNTime")) return;
    optics::totime(pump);
    optics::totime(signal);
    optics::totime(idler);
    // A grid the transform refused has been reported; such a pass is skipped.
    if (pump.domain != optics::time || signal.domain != optics::time || idler.domain != optics::time) return;
    // The idler lives on the pump's time grid, and so on its frequency grid.
    idler.dt = pump.dt;
    idler.t = pump.t;
    idler.domega = pump.domega;

    const complex_ ai = coupling(idler.omega0, pset.chi2);
    const complex_ ap = coupling(pump.omega0, pset.chi2);
    const complex_ as = coupling(signal.omega0, pset.chi2);
    const double scale = pset.w * optics::sqrtpi;
    const double l = pset.l;
    optics::samples_& P = pump.envelope;
    optics::samples_& S = signal.envelope;
    optics::samples_& I = idler.envelope;
    const complex_ zero(0.0f, 0.0f);

    // Diagnostics at the peaks of pump and signal; nothing is changed.
    const int32_t mp = tools::findmax(P);
    const complex_ idlersample =
        advance(I(mp), topotential(mul(mul(tofield(P(mp), scale), ai), std::conj(tofield(S(mp), scale))), scale), l);
    const complex_ dpump =
        advance(zero, topotential(mul(mul(tofield(idlersample, scale), ap), tofield(S(mp), scale)), scale), l);
    if (large(dpump, P(mp))) outofbounds("Value out of bounds in PPLNTime: pump Sample", mp, P(mp), dpump);
    const int32_t ms = tools::findmax(S);
    const complex_ dsignal = advance(
        zero, topotential(mul(mul(tofield(P(ms), scale), as), std::conj(tofield(idlersample, scale))), scale), l);
    if (large(dsignal, S(ms))) outofbounds("Value out of bounds in PPLNTime: Signal Sample", ms, S(ms), dsignal);

    // Within a sample the idler comes first, then the pump with the new idler,
    // then the signal with the new pump and idler. Samples are independent,
    // so each update runs over the whole array in turn.
    std::vector<complex_>& increment = pset.work.increment;
    product(P, ai, S, true, scale, increment);
    accumulate(I, increment, l);
    product(I, ap, S, false, scale, increment);
    accumulate(P, increment, l);
    product(P, as, I, true, scale, increment);
    accumulate(S, increment, l);
    if (pset.firsttime) pset.firsttime = 0;
}

}  // namespace elements
