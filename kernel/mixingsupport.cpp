#include "kernel/mixingsupport.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "kernel/crystal.h"
#include "kernel/errorhandling.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/listoutput.h"
#include "kernel/tools.h"

namespace elements::mixing {

namespace {

// 8*pi*c^2 with c = 2.99e8.
constexpr double kEightPiCSquared = 2.2468921985886487e18;

// sin and cos of |r| <= pi/4 by their Taylor series, to 2e-9: below half a
// unit in the last place of a float.
inline double sinpoly(double r, double r2) {
    return r + r * r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880))));
}
inline double cospoly(double r2) {
    return 1 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800)))));
}

std::string complextext(const complex_& z) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "(%.8G, %.8G)", static_cast<double>(z.real()),
                  static_cast<double>(z.imag()));
    return buffer;
}

// The first two lines of a large step: the message and the sample, then
// the field.
void samplewithfield(std::string_view message, int32_t sample, const complex_& e) {
    listoutput::Line first;
    first << message << sample;
    listoutput::print(first);
    listoutput::print(" E: " + complextext(e));
}

}  // namespace

void accumulate(optics::samples_& target, const std::vector<complex_>& increment, double l) {
    const quad_ ll = l;
    float* values = reinterpret_cast<float*>(target.data());
    const float* steps = reinterpret_cast<const float*>(increment.data());
    const size_t count = 2 * static_cast<size_t>(target.size());
    for (size_t k = 0; k < count; ++k) values[k] = static_cast<float>(values[k] + steps[k] * ll);
}

MIXING_VECTORISED
void intoframe(const optics::samples_& pulse, const std::vector<complex_>& frame, double scale, optics::samples_& x) {
    for (int32_t j = 1; j <= pulse.size(); ++j) x(j) = mul(tofield(pulse(j), scale), frame[j - 1]);
}

MIXING_VECTORISED
void stepfrom(const optics::samples_& source, const complex_& coupling, const std::vector<complex_>& factor, bool conjugate,
              double scale, std::vector<complex_>& increment) {
    increment.resize(static_cast<size_t>(source.size()));
    if (conjugate) {
        for (int32_t j = 1; j <= source.size(); ++j)
            increment[j - 1] = topotential(mul(mul(source(j), coupling), std::conj(factor[j - 1])), scale);
    } else {
        for (int32_t j = 1; j <= source.size(); ++j)
            increment[j - 1] = topotential(mul(mul(source(j), coupling), factor[j - 1]), scale);
    }
}

MIXING_VECTORISED
void framefactors(const std::vector<double>& deltak, double largest, double z, std::vector<complex_>& out) {
    const size_t n = deltak.size();
    out.resize(n);
    // Reduction by the nearest multiple q of pi/2, in two parts, exact while
    // |q| < 2^20; larger phases (or NaN) take the library's sincosf.
    constexpr double limit = 1e6;
    if (!(largest * std::fabs(z) <= limit)) {
        for (size_t j = 0; j < n; ++j) out[j] = cis(-static_cast<float>(deltak[j] * z));
        return;
    }
    // The quadrant m = q mod 4, in -2..2, selects and signs the two series by
    // plain arithmetic, so the loop has no branches and vectorises.
    constexpr double twooverpi = 0.63661977236758134;
    constexpr double pio2high = 1.5707963267341256;   // pi/2 to 33 bits
    constexpr double pio2low = 6.077100506506192e-11;  // the rest of pi/2
    constexpr double toint = 6755399441055744.0;       // 1.5*2^52: (x + toint) - toint rounds x
    float* parts = reinterpret_cast<float*>(out.data());
    for (size_t j = 0; j < n; ++j) {
        const double x = static_cast<float>(deltak[j] * z);
        const double q = (x * twooverpi + toint) - toint;
        const double r = (x - q * pio2high) - q * pio2low;
        const double r2 = r * r;
        const double s = sinpoly(r, r2);
        const double c = cospoly(r2);
        const double m = q - 4 * ((q * 0.25 + toint) - toint);
        const double m2 = m * m;
        const double swap = m2 * (4 - m2) * (1.0 / 3);   // 1 for m = +-1, else 0
        const double half = m2 * (m2 - 1) * (1.0 / 12);  // 1 for m = +-2, else 0
        const double sinnegative = half + swap * (1 - m) * 0.5;
        const double cosnegative = half + swap * (1 + m) * 0.5;
        const double sine = (s + swap * (c - s)) * (1 - 2 * sinnegative);
        const double cosine = (c + swap * (s - c)) * (1 - 2 * cosnegative);
        parts[2 * j] = static_cast<float>(cosine);  // exp(-i x) = (cos x, -sin x)
        parts[2 * j + 1] = static_cast<float>(-sine);
    }
}

namespace {
// A pulse's out-of-frame factor at sample m.
complex_ outfactor(const pulseframe_& frame, int32_t m, bool conjugate) {
    return conjugate ? std::conj(frame.outof[m - 1]) : frame.outof[m - 1];
}
}  // namespace

void exchange(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, double chi2, double l,
              double scale, quad_ dx, const pulseframe_& pumpframe, const pulseframe_& signalframe,
              const pulseframe_& idlerframe, bool conjugate, const exchangearrays_& work) {
    optics::samples_& P = pump.envelope;
    optics::samples_& S = signal.envelope;
    optics::samples_& I = idler.envelope;

    intoframe(S, signalframe.into, scale, work.s);
    intoframe(P, pumpframe.into, scale, work.p);
    fastfouriertransform::correlation(work.s, work.p, work.di, dx);

    // Samples are independent, so each update runs over the whole array.
    const complex_ ai = coupling(idler.omega0, chi2);
    stepfrom(work.di, ai, idlerframe.outof, conjugate, scale, work.increment);
    accumulate(I, work.increment, l);
    intoframe(I, idlerframe.into, scale, work.i);
    fastfouriertransform::correlation(work.i, work.p, work.ds, dx);
    fastfouriertransform::convolution(work.s, work.i, work.dp, dx);

    const complex_ ap = coupling(pump.omega0, chi2);
    const complex_ as = coupling(signal.omega0, chi2);

    // Diagnostics at the pump's peak; nothing is changed.
    const int32_t m = tools::findmax(P);
    const float pumppeak = std::abs(P(m));
    const float signalpeak = std::abs(S(tools::findmax(S)));
    const complex_ zero(0.0f, 0.0f);
    const complex_ dpump =
        advance(zero, topotential(mul(mul(work.dp(m), ap), outfactor(pumpframe, m, conjugate)), scale), l);
    if (std::abs(dpump) > 0.5f * pumppeak && pumppeak != 0.0f && signalpeak / pumppeak < 5.0f)
        outofbounds("Value out of bounds in PPLNFrequency: Pump Sample", m, P(m), dpump);
    const complex_ dsignal =
        advance(zero, topotential(mul(mul(work.ds(m), as), outfactor(signalframe, m, conjugate)), scale), l);
    if (std::abs(dsignal) > 0.1f * std::abs(S(m)) && pumppeak != 0.0f && pumppeak / signalpeak < 10.0f)
        outofbounds("Value out of bounds in PPLNFrequency: Signal Sample", m, S(m), dsignal);

    stepfrom(work.dp, ap, pumpframe.outof, conjugate, scale, work.increment);
    accumulate(P, work.increment, l);
    stepfrom(work.ds, as, signalframe.outof, conjugate, scale, work.increment);
    accumulate(S, work.increment, l);
}

complex_ coupling(quad_ omega0, double chi2) {
    const quad_ numerator = chi2 * omega0 * omega0;
    const quad_ denominator = kEightPiCSquared * static_cast<quad_>(kofomega(static_cast<double>(omega0)));
    return complex_(0.0f, static_cast<float>(-(numerator / denominator)));
}

bool samesamplecount(const optics::pulse_& pump, const optics::pulse_& signal, const optics::pulse_& idler,
                     std::string_view routine) {
    const int32_t n = pump.envelope.size();
    if (n >= 1 && signal.envelope.size() == n && idler.envelope.size() == n) return true;
    errorhandling::error(std::string(routine) + ": pump, signal and idler need the same number of samples (" +
                         std::to_string(n) + ", " + std::to_string(signal.envelope.size()) + ", " +
                         std::to_string(idler.envelope.size()) + "); pass skipped");
    return false;
}

void wavenumberoffsets(const optics::pulse_& pulse, std::vector<double>& offsets) {
    const int32_t n = pulse.envelope.size();
    offsets.resize(static_cast<size_t>(n));
    const double omega0 = static_cast<double>(pulse.omega0);
    const double k0 = kofomega(omega0);
    for (int32_t j = 1; j <= n; ++j) {
        const double omega = static_cast<double>(optics::getx(pulse, j) + pulse.omega0);
        offsets[static_cast<size_t>(j - 1)] = kofomega(omega) - k0;
    }
}

void printmismatch(double l, double mismatch) {
    listoutput::print("Phase missmatch for center frequencies:");
    listoutput::Line distance;
    distance << l * mismatch << "over a distance of" << l << "m";
    listoutput::print(distance);
}

void outofbounds(std::string_view message, int32_t sample, const complex_& e, const complex_& de) {
    samplewithfield(message, sample, e);
    listoutput::print("dE: " + complextext(de));
}

void outofbounds(std::string_view message, int32_t sample, const complex_& e, double de) {
    samplewithfield(message, sample, e);
    listoutput::Line last;
    last << "dE:" << de;
    listoutput::print(last);
}

}  // namespace elements::mixing
