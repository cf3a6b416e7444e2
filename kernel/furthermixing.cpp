#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "kernel/errorhandling.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/indexmath.h"
#include "kernel/listoutput.h"
#include "kernel/mixing.h"
#include "kernel/mixingsupport.h"
#include "kernel/optics.h"
#include "kernel/tools.h"

namespace elements {

namespace {

using optics::complex_;
using optics::pulse_;
using optics::quad_;
using optics::samples_;
using namespace mixing;

// sqrt(2) as a single-precision value: splits a pulse into two halves of
// its power.
constexpr float kRootTwo = 1.4142135f;

bool positivefinite(quad_ x) { return std::isfinite(x) && x > 0; }

// True when the pulses hold the same power-of-two sample count, each grid and
// carrier is positive and finite, and so are the beam width, length and
// coupling of the crystal; otherwise reports what is wrong for `routine`.
bool usable(const pulse_& pump, const pulse_& signal, const pulse_& idler, const psetppln_& pset,
            std::string_view routine) {
    if (!samesamplecount(pump, signal, idler, routine)) return false;
    const std::string name(routine);
    if (!tools::is2ton(pump.envelope.size())) {
        errorhandling::error(name + ": " + std::to_string(pump.envelope.size()) +
                             " samples; the transforms need a power of two of at least 2; pass skipped");
        return false;
    }
    for (const pulse_* p : {&pump, &signal, &idler})
        if (!positivefinite(p->omega0) || !positivefinite(p->dt) || !positivefinite(p->domega)) {
            errorhandling::error(name + ": carrier, time step and frequency step must be positive; pass skipped");
            return false;
        }
    if (!positivefinite(pset.w) || !std::isfinite(pset.l) || !std::isfinite(pset.chi2)) {
        errorhandling::error(name + ": the crystal needs a positive beam width and a finite length and chi2; "
                                    "pass skipped");
        return false;
    }
    return true;
}

// True when the working directory holds "data/" for the debug dumps;
// otherwise reports it once for `routine`.
bool datadirectory(std::string_view routine) {
    std::error_code ignored;
    if (std::filesystem::is_directory("data", ignored)) return true;
    errorhandling::error(std::string(routine) +
                         ": no directory data/ in the working directory; debug data not written");
    return false;
}

// Gives each array n zero samples on a first pass, or when it is missing or
// of another length; a count that changed since the last pass is reported.
void prepare(const std::vector<samples_*>& arrays, int32_t n, bool firsttime, std::string_view routine) {
    const int32_t previous = arrays.front()->size();
    if (!firsttime && previous != 0 && previous != n)
        errorhandling::error(std::string(routine) + ": the sample count changed from " + std::to_string(previous) +
                             " to " + std::to_string(n) + "; work arrays resized");
    for (samples_* a : arrays)
        if (firsttime || a->size() != n) a->allocate(n);
}

// ---- frequency-domain mixing with a poling period ----

// The phase factors of one pulse on this pass: exp(-i*deltak_j*z) takes a
// field into the crystal frame; exp(+i*(deltak_j - mismatch)*z) takes a
// source term back out, turned by the residual mismatch of the carriers.
// deltak ends up holding the offsets less the mismatch.
struct frame_ {
    std::vector<double> deltak;
    std::vector<complex_> into;
    std::vector<complex_> outof;
};

double largestmagnitude(const std::vector<double>& values) {
    double largest = 0;
    for (double v : values) largest = std::isnan(v) ? v : std::max(largest, std::fabs(v));
    return largest;
}

void makeframe(frame_& frame, const pulse_& pulse, double mismatch, double z) {
    wavenumberoffsets(pulse, frame.deltak);
    framefactors(frame.deltak, largestmagnitude(frame.deltak), z, frame.into);
    for (double& dk : frame.deltak) dk -= mismatch;
    framefactors(frame.deltak, largestmagnitude(frame.deltak), z, frame.outof);
    for (complex_& f : frame.outof) f = std::conj(f);
}

// Work storage of pplnfrequencyold: one set per thread, so setups running at
// once never share it; kept for the thread's lifetime.
struct polingwork_ {
    samples_ ii, s, p, di, ds, dp;
    frame_ pump, signal, idler;
    std::vector<complex_> increment;
};

polingwork_& polingwork() {
    thread_local polingwork_ work;
    return work;
}

void writepolingwork(const polingwork_& work, const char* suffix) {
    listoutput::print("Writing debug data for PPLNFrequency ...");
    if (!datadirectory("PPLNFrequencyOld")) return;
    const std::pair<const samples_*, const char*> arrays[] = {{&work.p, "p"},   {&work.s, "s"},   {&work.ii, "i"},
                                                              {&work.dp, "dp"}, {&work.ds, "ds"}, {&work.di, "di"}};
    for (const auto& [array, name] : arrays)
        tools::writecomplexdata(*array, tools::char2str(std::string("data/") + name + suffix + ".dat"));
}

// ---- time-domain mixing with dispersion shifts ----

// Group delay and group-delay dispersion per length, dk/domega and
// d2k/domega2, by differences one grid step wide about the carrier.
struct dispersion_ {
    double dk;
    double ddk;
};

dispersion_ dispersionof(const pulse_& pulse) {
    const quad_ w0 = pulse.omega0;
    const quad_ dw = pulse.domega;
    auto k = [](quad_ omega) -> quad_ { return kofomega(static_cast<double>(omega)); };
    const double dk = static_cast<double>((k(w0 + dw / 2) - k(w0 + dw / -2)) / dw);
    const double dk1 = static_cast<double>((k(w0) - k(w0 - dw)) / dw);
    const double dk2 = static_cast<double>((k(w0 + dw) - k(w0)) / dw);
    return {dk, static_cast<double>((dk2 - dk1) / dw)};
}

// exp(i*sign*ddk*x^2) of sample j, the phase rounded to single precision.
complex_ chirp(double ddk, const pulse_& pulse, int32_t j, float sign) {
    const double x = optics::getx(pulse, j);
    return cis(sign * static_cast<float>(ddk * x * x));
}

// -i*2*pi*chi2 / (4*lambda0*ne(lambda0)) of a carrier.
complex_ timecoupling(const pulse_& pulse, double chi2) {
    const double lambda = optics::lambda0(pulse);
    return complex_(0.0f, static_cast<float>(-optics::twopi * chi2 / (ne(lambda) * (4.0 * lambda))));
}

// The sample count of `l` times `rate` over dt, toward zero.
int32_t walkoff(double l, double rate, quad_ dt) { return optics::truncatedcount(l * rate / dt); }

// Work pulses of pplnmix: one set per thread, kept for its lifetime.
struct mixwork_ {
    pulse_ signalp, signali, idlerp, idlers, pumps, pumpi;
    std::vector<complex_> increment;
    std::vector<complex_> pumpincrement;
};

mixwork_& mixwork() {
    thread_local mixwork_ work;
    return work;
}

void takegrid(pulse_& work, const pulse_& from) {
    work.omega0 = from.omega0;
    work.t = from.t;
    work.dt = from.dt;
    work.domega = from.domega;
    work.domain = from.domain;
}

// increment[j] <- A(E(a(j)' * coupling) * E(b(j))), a' = conj(a(j)) when
// asked: the step per unit length that two work pulses give a pulse.
MIXING_VECTORISED
void timestep(const samples_& a, bool conjugate, const complex_& coupling, const samples_& b, double scale,
              std::vector<complex_>& increment) {
    increment.resize(static_cast<size_t>(a.size()));
    const float sign = conjugate ? -1.0f : 1.0f;
    for (int32_t j = 1; j <= a.size(); ++j) {
        const complex_ first(a(j).real(), sign * a(j).imag());
        increment[j - 1] = topotential(mul(tofield(mul(first, coupling), scale), tofield(b(j), scale)), scale);
    }
}

// target(j) <- target(j) + increment[j-1]*l in single precision.
MIXING_VECTORISED
void addsingle(samples_& target, const std::vector<complex_>& increment, float l) {
    for (int32_t j = 1; j <= target.size(); ++j) target(j) += increment[j - 1] * l;
}

// A step at a peak that is large against the real or the imaginary part of
// the field it changes, where that part dominates.
void checkpeak(std::string_view message, int32_t m, const complex_& e, const complex_& de) {
    if (std::fabs(de.real()) > 0.9f * std::fabs(e.real()) && e.real() > 0.1f * e.imag())
        outofbounds(message, m, e, static_cast<double>(std::fabs(de.real())));
    if (std::fabs(de.imag()) > 0.9f * std::fabs(e.imag()) && e.imag() > 0.1f * e.real())
        outofbounds(message, m, e, static_cast<double>(std::fabs(de.imag())));
}

}  // namespace

void shg(optics::pulse_& fundamental, optics::pulse_& harmonic, psetppln_& pset) {
    if (!usable(harmonic, fundamental, fundamental, pset, "SHG")) return;
    optics::tofrequency(fundamental);
    optics::tofrequency(harmonic);
    pulse_ f1;
    pulse_ f2;
    optics::copypulse(fundamental, f1);
    for (complex_& v : f1.envelope) v /= kRootTwo;
    optics::copypulse(f1, f2);
    pplnfrequency(harmonic, f1, f2, pset);
    optics::copypulse(f1, fundamental);
    for (complex_& v : fundamental.envelope) v *= kRootTwo;
}

void pplnfrequencyold(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset) {
    if (!usable(pump, signal, idler, pset, "PPLNFrequencyOld")) return;
    if (!std::isfinite(pset.g) || pset.g == 0) {
        errorhandling::error("PPLNFrequencyOld: the poling period must be finite and nonzero; pass skipped");
        return;
    }
    optics::tofrequency(pump);
    optics::tofrequency(signal);
    optics::tofrequency(idler);
    const int32_t n = pump.envelope.size();
    polingwork_& work = polingwork();
    prepare({&work.ii, &work.s, &work.p, &work.di, &work.ds, &work.dp}, n, pset.firsttime, "PPLNFrequencyOld");

    pset.z += pset.l;
    const double mismatch = kofomega(static_cast<double>(pump.omega0)) -
                            kofomega(static_cast<double>(signal.omega0)) -
                            kofomega(static_cast<double>(idler.omega0)) - optics::twopi / pset.g;
    const double z = pset.z;
    const double l = pset.l;
    const double scale = pset.w * optics::sqrtpi;
    const quad_ dx = pump.domega;
    makeframe(work.pump, pump, mismatch, z);
    makeframe(work.signal, signal, mismatch, z);
    makeframe(work.idler, idler, mismatch, z);
    exchange(pump, signal, idler, pset.chi2, l, scale, dx, {work.pump.into, work.pump.outof},
             {work.signal.into, work.signal.outof}, {work.idler.into, work.idler.outof}, false,
             {work.s, work.p, work.ii, work.di, work.ds, work.dp, work.increment});

    if (pset.firsttime) {
        pset.firsttime = 0;
        printmismatch(l, mismatch);
        writepolingwork(work, "first");
    }
    if (pset.lasttime) writepolingwork(work, "last");
}

void pplnmix(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset) {
    if (!usable(pump, signal, idler, pset, "PPLNMix")) return;
    optics::resynctime(pump, signal);
    optics::resynctime(pump, idler);
    optics::tofrequency(pump);
    optics::tofrequency(signal);
    optics::tofrequency(idler);
    const int32_t n = pump.envelope.size();
    mixwork_& work = mixwork();
    prepare({&work.signalp.envelope, &work.signali.envelope, &work.idlerp.envelope, &work.idlers.envelope,
             &work.pumps.envelope, &work.pumpi.envelope},
            n, pset.firsttime, "PPLNMix");

    const dispersion_ pumpd = dispersionof(pump);
    const dispersion_ signald = dispersionof(signal);
    const dispersion_ idlerd = dispersionof(idler);
    takegrid(work.pumps, pump);
    takegrid(work.pumpi, pump);
    takegrid(work.signalp, signal);
    takegrid(work.signali, signal);
    takegrid(work.idlerp, idler);
    takegrid(work.idlers, idler);

    // Each pulse with the quadratic spectral phases of the partners it meets.
    samples_& P = pump.envelope;
    samples_& S = signal.envelope;
    samples_& I = idler.envelope;
    for (int32_t j = 1; j <= n; ++j) {
        const complex_ pumpchirp = chirp(pumpd.ddk, pump, j, -1.0f);
        const complex_ signalchirp = chirp(signald.ddk, signal, j, -1.0f);
        const complex_ pumpi = mul(P(j), pumpchirp);
        work.signali.envelope(j) = std::conj(mul(S(j), signalchirp));
        work.pumps.envelope(j) = mul(pumpi, std::conj(signalchirp));
        work.pumpi.envelope(j) = mul(pumpi, chirp(idlerd.ddk, idler, j, 1.0f));
        work.signalp.envelope(j) = mul(std::conj(work.signali.envelope(j)), std::conj(pumpchirp));
    }
    for (pulse_* p : {&work.pumpi, &work.pumps, &work.signali, &work.signalp, &pump, &signal, &idler})
        optics::totime(*p);
    const double l = pset.l;
    optics::shiftpulse(work.pumpi, walkoff(l, idlerd.dk - pumpd.dk, pump.dt));
    optics::shiftpulse(work.signali, walkoff(l, signald.dk, signal.dt));

    const float lsingle = static_cast<float>(l);
    const double scale = pset.w * optics::sqrtpi;
    timestep(work.signali.envelope, true, timecoupling(idler, pset.chi2), work.pumpi.envelope, scale,
             work.increment);
    addsingle(I, work.increment, lsingle);

    // The new idler, with the idler's phase on the signal's offsets.
    optics::tofrequency(idler);
    for (int32_t j = 1; j <= n; ++j) {
        work.idlerp.envelope(j) = mul(I(j), chirp(idlerd.ddk, signal, j, -1.0f));
        work.idlers.envelope(j) = std::conj(work.idlerp.envelope(j));
    }
    optics::totime(work.idlers);
    optics::totime(work.idlerp);
    optics::shiftpulse(work.pumps, walkoff(l, signald.dk - pumpd.dk, pump.dt));
    optics::shiftpulse(work.signalp, walkoff(l, pumpd.dk - signald.dk, signal.dt));
    optics::shiftpulse(work.idlers, walkoff(l, idlerd.dk, idler.dt));
    optics::shiftpulse(work.idlerp, walkoff(-l, idlerd.dk, idler.dt));

    const complex_ ap = timecoupling(pump, pset.chi2);
    const complex_ as = timecoupling(signal, pset.chi2);

    std::vector<complex_>& signalstep = work.increment;
    std::vector<complex_>& pumpstep = work.pumpincrement;
    timestep(work.idlers.envelope, true, as, work.pumps.envelope, scale, signalstep);
    timestep(work.idlerp.envelope, false, ap, work.signalp.envelope, scale, pumpstep);

    // Diagnostics at the peaks of pump and signal; nothing is changed.
    const int32_t mp = tools::findmax(P);
    checkpeak("Value out of bounds in PPLNMixConvolution: Pump Sample", mp, P(mp), pumpstep[mp - 1] * lsingle);
    const int32_t ms = tools::findmax(S);
    checkpeak("Value out of bounds in PPLNMixConvolution: Signal Sample", ms, S(ms), signalstep[ms - 1] * lsingle);

    addsingle(S, signalstep, lsingle);
    addsingle(P, pumpstep, lsingle);

    if (pset.firsttime) {
        pset.firsttime = 0;
        listoutput::print("Writing debug data for PPLNMix ...");
        if (!datadirectory("PPLNMix")) return;
        const std::pair<const pulse_*, const char*> files[] = {
            {&work.pumps, "pumps"},     {&work.pumpi, "pumpi"},   {&work.signalp, "signalp"},
            {&work.signali, "signali"}, {&work.idlerp, "idlerp"}, {&work.idlers, "idlers"}};
        for (const auto& [pulse, name] : files)
            optics::writepulse(*pulse, tools::char2str(std::string("data/") + name + ".dat"));
    }
}

}  // namespace elements
