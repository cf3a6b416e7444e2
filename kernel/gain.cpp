// Gain medium: a pumped inversion that recovers between passes and is
// depleted by the pulse (Frantz-Nodvik saturation, first-order field gain).
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <new>
#include <random>
#include <string>

#include "kernel/elements.h"
#include "kernel/elementsupport.h"
#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/listoutput.h"
#include "kernel/measures.h"
#include "kernel/parametercheck.h"

namespace elements {

namespace {

using optics::complex_;

// Medium constants of one pass, derived afresh from the record.
struct Medium {
    double is;      // saturation intensity
    double rprime;  // pump term
    double tprime;  // effective lifetime under pumping
    double isprime;
};

Medium derive(const pulse_& pulse, double t1, double sigma, double r, double deltan0) {
    Medium m;
    m.is = tools::h * (tools::c / optics::lambda0(pulse)) / (t1 * sigma);
    m.rprime = -(r * deltan0);
    m.tprime = 1.0 / (1.0 / t1 + r / 2.0);
    m.isprime = t1 * m.is / m.tprime;
    return m;
}

// A zero waist, lifetime or wavelength, or a pump that leaves no positive
// effective lifetime, gives only NaN: such a pass is refused.
bool validmedium(const pulse_& pulse, double w, double t1, double tprime, const char* routine) {
    if (w > 0 && t1 > 0 && tprime > 0 && std::isfinite(tprime) && support::validwavelength(pulse)) return true;
    errorhandling::error(std::string("ERROR: ") + routine +
                         " needs a positive beam waist, lifetime, effective lifetime and carrier wavelength");
    return false;
}

// Every field of the record, checked on entry before anything is changed.
bool validrecord(const psetgain_& p, const char* routine) {
    using namespace parametercheck;
    return valid(routine, {{"beam waist w", p.w, positive},
                           {"pump rate r", p.r, nonnegative},
                           {"length l", p.l, nonnegative},
                           {"cross section sigma", p.sigma, nonnegative},
                           {"ground-state inversion deltan0", p.deltan0},
                           {"pump cross section sigmap", p.sigmap},
                           {"pump wavelength lambdap", p.lambdap},
                           {"lifetime t1", p.t1, positive},
                           {"inversion deltan", p.deltan},
                           {"recovery time", p.recoverytime}});
}

// One pass of gain or gainpol: `field(i)` is the sample that saturates the
// medium, `apply(i, f)` scales what is amplified. The field is read before
// it is scaled, and the inversion is that of the pulse's arrival throughout.
// With `envelope`, the envelope saturates and its intensities are taken in
// one sweep before the loop.
template <typename Field, typename Apply>
void amplify(pulse_& pulse, psetgain_& pset, const char* routine, Field field, Apply apply,
             bool envelope = false) {
    const Medium m = derive(pulse, pset.t1, pset.sigma, pset.r, pset.deltan0);
    if (!validmedium(pulse, pset.w, pset.t1, m.tprime, routine)) return;

    const double steady = pset.deltan0 + m.rprime * m.tprime;
    const quad_ elapsed = pulse.t - static_cast<quad_>(pset.recoverytime);
    const double deltan = steady + (pset.deltan - steady) * static_cast<double>(std::exp(-elapsed / m.tprime));

    const int32_t n = pulse.envelope.size();
    const double factor = support::intensityfactor(pset.w);
    const double depletion = 2.0 * static_cast<double>(pulse.dt) / (m.isprime * m.tprime);
    const double smallsignal = pset.l * (pset.sigma * deltan) / 2.0;
    double integral = 0;
    support::repeatedexp depleted;
    const double* intensities = envelope ? support::intensities(pulse.envelope, factor) : nullptr;
    for (int32_t i = 1; i <= n; ++i) {
        const double intensity = intensities ? intensities[i - 1] : support::intensity(field(i), factor);
        integral += intensity * depletion;
        apply(i, 1.0 + smallsignal * depleted(-integral));
    }

    pset.deltan = deltan * std::exp(-integral);
    pset.recoverytime = static_cast<double>(pulse.t);
    pulse.t += static_cast<quad_>(pset.l) / tools::c;
    pset.firsttime = 0;
}

}  // namespace

logical_ checksize(const int32_t& csize) { return csize == static_cast<int32_t>(sizeof(psetgain_)) ? 1 : 0; }

void gain(pulse_& pulse, psetgain_& pset) {
    if (!validrecord(pset, "Gain")) return;
    optics::totime(pulse);
    const int32_t n = pulse.envelope.size();
    auto scaleenvelope = [&pulse](int32_t i, double f) { support::scale(pulse.envelope(i), f); };
    if (pulse.u.allocated()) {
        if (!support::componentscover(pulse, n, "Gain")) return;
        amplify(pulse, pset, "Gain", [&pulse](int32_t i) { return pulse.u(i) + pulse.v(i); }, scaleenvelope);
    } else {
        amplify(pulse, pset, "Gain", [&pulse](int32_t i) { return pulse.envelope(i); }, scaleenvelope, true);
    }
}

void gainpol(pulse_& pulse, psetgain_& pset) {
    if (!validrecord(pset, "GainPol")) return;
    optics::totime(pulse);
    if (!support::componentscover(pulse, pulse.envelope.size(), "GainPol")) return;
    amplify(
        pulse, pset, "GainPol", [&pulse](int32_t i) { return pulse.u(i) + pulse.v(i); },
        [&pulse](int32_t i, double f) {
            support::scale(pulse.u(i), f);
            support::scale(pulse.v(i), f);
        });
}

namespace {

// Row counter of the trace files, shared by every modulated gain medium.
std::atomic<uint32_t> tracerow{0};
// The trace files are one pair for the whole process.
std::mutex tracemutex;

std::FILE* opentrace(const char* name) {
    std::FILE* file = std::fopen(name, "w");
    if (!file) errorhandling::error(std::string("ERROR: Cannot open trace file ") + name + " in ModulatedGain");
    return file;
}

void traceline(std::FILE* file, int32_t row, double value) {
    if (!file) return;
    listoutput::Line line;
    line << row << value;
    listoutput::print(file, line);
}

}  // namespace

void modulatedgain(pulse_& pulse, psetmodulatedgain_& pset) {
    {
        using namespace parametercheck;
        if (!valid("ModulatedGain", {{"beam waist w", pset.w, positive},
                                     {"length l", pset.l, nonnegative},
                                     {"cross section sigma", pset.sigma, nonnegative},
                                     {"ground-state inversion deltan0", pset.deltan0},
                                     {"lifetime t1", pset.t1, positive},
                                     {"inversion deltan", pset.deltan},
                                     {"pump rate r", pset.r, nonnegative},
                                     {"modulation frequency", pset.mfrequency},
                                     {"modulation amplitude", pset.mamplitude},
                                     {"modulation phase", pset.mphase},
                                     {"recovery time", pset.recoverytime}}))
            return;
    }
    optics::totime(pulse);
    const int32_t n = pulse.envelope.size();
    const bool components = pulse.u.allocated();
    if (components && !support::componentscover(pulse, n, "ModulatedGain")) return;

    if (pset.firsttime) {
        const Medium m = derive(pulse, pset.t1, pset.sigma, pset.r, pset.deltan0);
        if (!validmedium(pulse, pset.w, pset.t1, m.tprime, "ModulatedGain")) return;
        pset.is = m.is;
        pset.rprime = m.rprime;
        pset.tprime = m.tprime;
        pset.isprime = m.isprime;
        if (pset.integraltable.empty()) {
            try {
                pset.integraltable.assign(static_cast<size_t>(n), 0.0L);
            } catch (const std::bad_alloc&) {
                support::outofmemory();
            }
        }
    }
    if (static_cast<size_t>(n) > pset.integraltable.size()) {
        errorhandling::error("ERROR: Pulse has more samples than the table of the first pass in ModulatedGain");
        return;
    }

    const quad_ dt = pulse.dt;
    pset.integral = 0;
    pset.rtime = (pulse.t - static_cast<quad_>(pset.recoverytime)) - n * dt;
    if (pset.rtime < 0 && pset.firsttime) pset.rtime = 0;

    const double steady = pset.tprime * pset.rprime + pset.deltan0;
    pset.deltan = steady + (pset.deltan - steady) * static_cast<double>(std::exp(-pset.rtime / pset.tprime));
    pset.deltani = pset.deltan;

    // Running integral of (1 + I/is)/t1 from the first sample on.
    const double factor = support::intensityfactor(pset.w);
    auto field = [&](int32_t i) { return components ? pulse.u(i) + pulse.v(i) : pulse.envelope(i); };
    std::vector<quad_>& table = pset.integraltable;
    if (n > 0) table[0] = 0;
    for (int32_t i = 2; i <= n; ++i)
        table[i - 1] = table[i - 2] + dt * (1 + support::intensity(field(i), factor) / pset.is) * (1 / pset.t1);

    const bool tracing = pset.lasttime != 0;
    std::unique_lock<std::mutex> tracelock(tracemutex, std::defer_lock);
    std::FILE* inversionfile = nullptr;
    std::FILE* pumpfile = nullptr;
    if (tracing) {
        tracelock.lock();
        inversionfile = opentrace("data/internalinversion.dat");
        pumpfile = opentrace("data/pumprate.dat");
    }

    const uint32_t firstrow = tracerow.fetch_add(static_cast<uint32_t>(n));
    const quad_ omega = 2 * static_cast<quad_>(tools::pi) * pset.mfrequency;
    for (int32_t i = 1; i <= n; ++i) {
        const quad_ phase = pset.mphase + omega * (pulse.t + (i - n / 2) * dt);
        pset.rmod = pset.rprime + pset.mamplitude * pset.deltan0 * static_cast<double>(std::sin(phase));
        const quad_ a = table[i - 1];
        pset.integral += dt * (pset.rmod + pset.deltan0 / pset.t1) * std::exp(a);
        pset.deltan = static_cast<double>((pset.deltani + pset.integral) / std::exp(a));
        support::scale(pulse.envelope(i), std::exp(pset.l * pset.deltan * pset.sigma / 2.0));
        if (tracing) {
            const int32_t row = static_cast<int32_t>(firstrow + static_cast<uint32_t>(i - 1));
            traceline(inversionfile, row, pset.deltan);
            traceline(pumpfile, row, pset.rmod);
        }
    }
    if (inversionfile) std::fclose(inversionfile);
    if (pumpfile) std::fclose(pumpfile);

    pset.recoverytime = static_cast<double>(pulse.t);
    pulse.t += static_cast<quad_>(pset.l) / tools::c;
    pset.firsttime = 0;
}

void addbackground(pulse_& pulse, const double& bg) {
    if (!parametercheck::valid("AddBackground", {{"amplitude bg", bg}})) return;
    optics::totime(pulse);
    // One generator for the process, starting from its fixed default seed on
    // first use, so the noise is the same in every run of the program.
    static std::mutex mutex;
    static std::mt19937 generator;
    auto uniform = [] { return static_cast<float>(generator() >> 8) * 0x1p-24f; };  // [0, 1)

    std::lock_guard<std::mutex> lock(mutex);
    for (complex_& x : pulse.envelope) {
        const float a = uniform() - 0.5f;
        const float b = uniform() - 0.5f;
        x = complex_(static_cast<float>(x.real() + bg * a), static_cast<float>(x.imag() + bg * b));
    }
}

}  // namespace elements
