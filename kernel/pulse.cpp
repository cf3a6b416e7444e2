#include "kernel/pulse.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <random>

#include "kernel/errorhandling.h"
#include "kernel/grid.h"
#include "kernel/indexmath.h"
#include "kernel/listoutput.h"
#include "kernel/measures.h"
#include "kernel/parametercheck.h"
#include "kernel/tools.h"

namespace optics {

namespace {

// 2*pi as the double the grid formulas use, widened for domega.
constexpr quad_ kTwoPi = twopi;

[[noreturn]] void stopwithoutsamples() {
    listoutput::print("FATAL: Attempt to write to pulse before allocating memory!");
    std::_Exit(0);
}

bool istime(logical_ domain) { return domain != 0; }

// Moves the samples n places toward higher numbers, zero-filling the
// vacated ones; |n| >= length clears the array.
void shiftsamples(samples_& a, int64_t n) {
    const int64_t m = a.size();
    if (n >= m || n <= -m) {
        std::fill(a.begin(), a.end(), complex_(0.0f, 0.0f));
    } else if (n > 0) {
        std::copy_backward(a.begin(), a.end() - n, a.end());
        std::fill(a.begin(), a.begin() + n, complex_(0.0f, 0.0f));
    } else if (n < 0) {
        std::copy(a.begin() - n, a.end(), a.begin());
        std::fill(a.end() + n, a.end(), complex_(0.0f, 0.0f));
    }
}

// Moves the content by n steps of the other domain: sample k is multiplied
// by exp(-j*x_k*delta). With the transforms' sign convention, delta = n*dt
// moves the time content n samples up when the samples are a spectrum, and
// delta = -n*domega moves the spectrum n samples up when they are in time.
void shiftbyphase(pulse_& pulse, int32_t n) {
    const bool spectrum = !istime(pulse.domain);
    const quad_ delta = spectrum ? n * pulse.dt : -(n * pulse.domega);
    for (int32_t k = 1; k <= pulse.envelope.size(); ++k) {
        const float angle = static_cast<float>(getx(pulse, k) * delta);
        const std::complex<double> factor = std::polar(1.0, -static_cast<double>(angle));
        pulse.envelope(k) = complex_(std::complex<double>(pulse.envelope(k)) * factor);
    }
    if (spectrum)
        pulse.t -= n * pulse.dt;
    else
        pulse.omega0 -= n * pulse.domega;
}

// 23 random bits of one draw as a float in [0, 1).
float uniform(std::mt19937& generator) { return static_cast<float>(generator() >> 9) * 0x1p-23f; }

}  // namespace

void generatepulse(pulse_& pulse, double duration, double penergy, double wavelength, const pulse_* reference) {
    // A finite duration or energy of the wrong sign is reported below, once
    // the grid is set; what has no finite value is refused here.
    {
        using namespace parametercheck;
        const double referencestep = reference ? static_cast<double>(reference->dt) : 1.0;  // else made here
        if (!valid("GeneratePulse", {{"duration", duration},
                                     {"energy", penergy},
                                     {"wavelength", wavelength, positive},
                                     {"time step of the reference", referencestep, positive}}))
            return;
    }
    samples_* target = nullptr;
    float mean = 1.0f;
    if (pulse.envelope.allocated()) {
        target = &pulse.envelope;
    } else if (pulse.u.allocated() && pulse.v.allocated()) {
        std::fill(pulse.v.begin(), pulse.v.end(), complex_(0.0f, 0.0f));
        target = &pulse.u;
        mean = -0.5f;
    } else {
        stopwithoutsamples();
    }
    const int32_t n = target->size();
    if (reference) {
        pulse.dt = reference->dt;
        pulse.domega = reference->domega;
        tools::generategaussian(*target, static_cast<float>(duration / pulse.dt / 2.0L), -0.5f);
    } else {
        // sqrt(N/2pi) samples wide in both domains, as dt*domega*N = 2pi.
        const quad_ width = std::sqrt(static_cast<quad_>(n) / kTwoPi);
        tools::generategaussian(*target, static_cast<float>(width), mean);
        pulse.dt = duration / width;
        pulse.domega = kTwoPi / pulse.dt / n;
    }
    pulse.omega0 = static_cast<quad_>(twopic) / wavelength;
    pulse.domain = time;
    pulse.t = 0;

    const double e = energy(pulse);
    const double factor = std::sqrt(penergy) / std::sqrt(e);
    // A non-positive step or energy would turn every sample into NaN.
    if (!(e > 0.0) || !std::isfinite(factor)) {
        errorhandling::error("ERROR: Invalid duration or energy in GeneratePulse. Pulse left unscaled");
        return;
    }
    tools::rescale(*target, factor);
}

void generatepulsenoise(pulse_& pulse, double duration, double amplitude, double wavelength) {
    {
        using namespace parametercheck;
        if (!valid("GeneratePulseNoise",
                   {{"duration", duration, positive}, {"amplitude", amplitude}, {"wavelength", wavelength, positive}}))
            return;
    }
    if (!pulse.envelope.allocated()) stopwithoutsamples();
    const int32_t n = pulse.envelope.size();
    pulse.dt = static_cast<quad_>(duration) / n;
    pulse.domega = kTwoPi / pulse.dt / n;
    pulse.omega0 = static_cast<quad_>(twopic) / wavelength;
    pulse.domain = time;
    pulse.t = 0;

    std::mt19937 generator;  // the default seed, so every call draws the same
    for (complex_& z : pulse.envelope) {
        const float r = uniform(generator);
        const float s = uniform(generator);
        z = complex_(static_cast<float>(z.real() + amplitude * (r - 0.5)),
                     static_cast<float>(z.imag() + amplitude * (s - 0.5)));
    }
}

void copypulse(const pulse_& src, pulse_& dest) {
    dest.omega0 = src.omega0;
    dest.t = src.t;
    dest.dt = src.dt;
    dest.domega = src.domega;
    dest.domain = src.domain;
    // Assignment keeps an array of the right length where it is.
    if (src.u.allocated()) {
        if (dest.u.size() != src.u.size()) {
            dest.u.release();
            dest.v.release();
        }
        dest.u = src.u;
        dest.v = src.v;
    } else {
        dest.envelope = src.envelope;
    }
}

void shiftpulse(pulse_& pulse, int32_t n, std::optional<logical_> domain) {
    if (domain && istime(*domain) != istime(pulse.domain)) {
        if (!pulse.u.allocated()) shiftbyphase(pulse, n);
        return;
    }
    if (pulse.u.allocated()) {
        shiftsamples(pulse.u, n);
        shiftsamples(pulse.v, n);
    } else {
        shiftsamples(pulse.envelope, n);
    }
    if (istime(pulse.domain))
        pulse.t -= n * pulse.dt;
    else
        pulse.omega0 -= n * pulse.domega;
}

void recenter(pulse_& pulse, int32_t limit, std::optional<logical_> domain) {
    const logical_ original = pulse.domain;
    if (domain) {
        if (istime(*domain))
            totime(pulse);
        else
            tofrequency(pulse);
        // A refused transform has been reported; the peak of the other
        // domain is not the one asked for.
        if (istime(pulse.domain) != istime(*domain)) return;
    }
    if (limit <= 0) {
        errorhandling::error("ERROR: Limit has to be >0 in Recenter. Setting limit to 1");
        limit = 1;
    }
    const bool polar = pulse.u.allocated();
    const int32_t peak = polar ? tools::findmaxsum(pulse.u, pulse.v) : tools::findmax(pulse.envelope);
    const int32_t m = polar ? pulse.u.size() : pulse.envelope.size();
    const int64_t shift = static_cast<int64_t>(std::floor(static_cast<float>(m / 2.0))) + 1 - peak;
    if (std::abs(shift) >= limit) shiftpulse(pulse, static_cast<int32_t>(shift));
    if (istime(original))
        totime(pulse);
    else
        tofrequency(pulse);
}

void resynctime(const pulse_& master, pulse_& slave) {
    errorhandling::error("Using untested Resync function!");
    if (!istime(master.domain)) errorhandling::error("ReSync in frequency domain not tested yet.");
    if (master.dt != slave.dt) errorhandling::error("Resize required but not implemented yet!");
    const quad_ delta = master.t - slave.t;
    if (std::fabs(delta) > master.dt) shiftpulse(slave, -truncatedcount(delta / master.dt), time);
}

}  // namespace optics
