#include "kernel/measures.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <string>

#include "kernel/errorhandling.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/grid.h"
#include "kernel/indexmath.h"
#include "kernel/pulse.h"
#include "kernel/tools.h"

namespace optics {

namespace {

// The field constants of the area measure: a 1 mm beam radius held in single
// precision, and pi*dipole/(2*h).
constexpr double kAreaRadius = 0.0010000000474974513;
constexpr double kAreaFactor = 60150.02202862187;

bool istime(logical_ domain) { return domain != 0; }

// |s| in single precision.
float modulus(const complex_& s) {
    const double re = s.real();
    const double im = s.imag();
    return static_cast<float>(std::sqrt(re * re + im * im));
}

// The offsets of getx, with the step and the half count taken once. The
// count is that of the envelope, which a polarised work copy may lack, so it
// can be given apart from the record.
struct axis_ {
    explicit axis_(const pulse_& pulse) : axis_(pulse, pulse.envelope.size()) {}
    axis_(const pulse_& pulse, int32_t count) : half(count / 2.0), step(static_cast<double>(dx(pulse))) {}
    double operator()(int32_t i) const { return (i - half) * step; }
    double half;
    double step;
};

// The field samples: u + v over the length of u when `polar`, else the
// envelope. A v shorter than u counts as zero beyond its end.
template <typename Visit>
void eachsample(const pulse_& pulse, bool polar, Visit visit) {
    if (polar) {
        const samples_& u = pulse.u;
        const samples_& v = pulse.v;
        const int32_t nv = v.size();
        for (int32_t i = 1; i <= u.size(); ++i) visit(i, i <= nv ? u(i) + v(i) : u(i));
    } else {
        const samples_& e = pulse.envelope;
        for (int32_t i = 1; i <= e.size(); ++i) visit(i, e(i));
    }
}

int32_t fieldlength(const pulse_& pulse, bool polar) { return polar ? pulse.u.size() : pulse.envelope.size(); }

complex_ fieldsample(const pulse_& pulse, bool polar, int32_t i) {
    if (!polar) return pulse.envelope(i);
    return i <= pulse.v.size() ? pulse.u(i) + pulse.v(i) : pulse.u(i);
}

bool bothcomponents(const pulse_& pulse) { return pulse.u.allocated() && pulse.v.allocated(); }

// Runs the transform on the arrays that carry the field and sets the new
// domain, or reports why it cannot and changes nothing: the transform needs a
// positive finite step, a power-of-two sample count and u, v of one length.
void transform(pulse_& pulse, int32_t expsign, quad_ step, logical_ target, const char* name) {
    const bool polar = bothcomponents(pulse);
    const auto refuse = [&](const char* reason) {
        errorhandling::error(std::string("ERROR: ") + reason + " in " + name + ". Pulse left in " +
                             (istime(pulse.domain) ? "time" : "frequency") + " domain");
    };
    if (!(step > 0) || !std::isfinite(step)) return refuse("Invalid grid step");
    if (!tools::is2ton(polar ? pulse.u.size() : pulse.envelope.size()))
        return refuse("Sample count is not a power of two");
    if (polar && pulse.v.size() != pulse.u.size()) return refuse("Polarization components differ in length");
    if (polar) {
        fastfouriertransform::fft(pulse.u, expsign, step);
        fastfouriertransform::fft(pulse.v, expsign, step);
    } else {
        fastfouriertransform::fft(pulse.envelope, expsign, step);
    }
    pulse.domain = target;
}

// Centre of |s|^2 of the record as it stands, on the grid of `count` samples.
quad_ centre(const pulse_& pulse, int32_t count) {
    const axis_ x(pulse, count);
    quad_ norm = 0;
    quad_ moment = 0;
    eachsample(pulse, pulse.u.allocated(), [&](int32_t i, const complex_& s) {
        const quad_ re = s.real();
        const quad_ im = s.imag();
        const float w = static_cast<float>(re * re + im * im);
        norm += w;
        moment += static_cast<quad_>(w) * x(i);
    });
    return norm == 0 ? 0 : moment / norm;
}

// A per-thread work record for measures in the other domain; the polarised
// and the plain kind are kept apart so a copy never inherits stale arrays.
pulse_& workcopy(const pulse_& pulse) {
    thread_local pulse_ plain;
    thread_local pulse_ polarised;
    pulse_& work = pulse.u.allocated() ? polarised : plain;
    copypulse(pulse, work);
    return work;
}

}  // namespace

void tofrequency(pulse_& pulse) {
    if (!istime(pulse.domain)) return;
    transform(pulse, -1, pulse.dt, frequency, "ToFrequency");
}

void totime(pulse_& pulse) {
    if (istime(pulse.domain)) {
        pulse.domain = time;
        return;
    }
    transform(pulse, +1, pulse.domega, time, "ToTime");
}

double energy(const pulse_& pulse) {
    const quad_ step = dx(pulse);
    double sum = 0.0;
    eachsample(pulse, bothcomponents(pulse), [&](int32_t, const complex_& s) {
        const quad_ a = modulus(s);
        sum += a * a * step;
    });
    return sum * tools::epsilon0 * tools::c;
}

double fwhm(const pulse_& pulse) {
    const bool polar = pulse.u.allocated();
    const int32_t n = fieldlength(pulse, polar);
    const int32_t m = tools::findmax(pulse.envelope);
    const float peak = m <= n ? modulus(fieldsample(pulse, polar, m)) : 0.0f;
    const float half = peak * peak / 2.0f;
    // a*a exceeds the double square of the sample by some 3 parts in 2^24 at most, so
    // squares below this bound are never above half: the scan through the
    // faint wings takes no square root.
    const double surelybelow = static_cast<double>(half) * (1 - 0x1p-20);
    const auto above = [&](int32_t i) {
        const complex_ s = fieldsample(pulse, polar, i);
        const double re = s.real();
        const double im = s.imag();
        if (re * re + im * im < surelybelow) return false;
        const float a = modulus(s);
        return a * a > half;
    };
    int32_t left = 1;
    while (left <= n && !above(left)) ++left;
    if (left > n) return 0.0;
    int32_t right = n;
    while (!above(right)) --right;
    if (right == left) return static_cast<double>(dx(pulse));
    return getx(pulse, right) - getx(pulse, left);
}

double fwhme(const pulse_& pulse) {
    const bool polar = pulse.u.allocated();
    const int32_t n = fieldlength(pulse, polar);
    const int32_t m = tools::findmax(pulse.envelope);
    const float half = (m <= n ? modulus(fieldsample(pulse, polar, m)) : 0.0f) / 2.0f;
    const auto above = [&](int32_t i) { return modulus(fieldsample(pulse, polar, i)) > half; };
    int32_t left = 1;
    while (left <= n && !above(left)) ++left;
    if (left > n) return 0.0;
    int32_t right = n;
    while (!above(right)) --right;
    return getx(pulse, right) - getx(pulse, left);
}

double msq(const pulse_& pulse) {
    const double e = energy(pulse);
    if (e == 0.0) return 0.0;
    // The step of the current domain, as in the energy, so the ratio is a
    // second moment in the axis unit in either domain.
    const quad_ step = dx(pulse);
    const axis_ x(pulse);
    quad_ moment = 0;
    eachsample(pulse, pulse.u.allocated(), [&](int32_t i, const complex_& s) {
        const double p = power(s);
        const double xi = x(i);
        moment += p * step * xi * xi;
    });
    const double m2 = static_cast<double>(moment / e);
    const quad_ c = centerofmass(pulse);
    // A pulse in one sample has no width; rounding may leave m2 - c^2 < 0.
    const double variance = static_cast<double>(m2 - c * c);
    return 2.0 * std::sqrt(variance > 0.0 ? variance : 0.0);
}

quad_ centerofmass(const pulse_& pulse, std::optional<logical_> domain) {
    const int32_t count = pulse.envelope.size();
    if (!domain || istime(*domain) == istime(pulse.domain)) return centre(pulse, count);
    pulse_& work = workcopy(pulse);
    if (istime(*domain))
        totime(work);
    else
        tofrequency(work);
    // A refused transform has been reported; its samples are not on the
    // requested axis.
    if (istime(work.domain) != istime(*domain)) return 0;
    return centre(work, count);
}

double area(const pulse_& pulse) {
    complex_ a(0.0f, 0.0f);
    for (const complex_& s : pulse.envelope) {
        const std::complex<quad_> term =
            std::complex<quad_>(efield(s, kAreaRadius)) * static_cast<quad_>(kAreaFactor) * pulse.dt;
        a = complex_(std::complex<quad_>(a) + term);
    }
    return std::abs(std::complex<double>(a));
}

double totalwidth(const pulse_& pulse) {
    const samples_& e = pulse.envelope;
    const int32_t n = e.size();
    const int32_t m = tools::findmax(e);
    const complex_ zero(0.0f, 0.0f);
    // Without a non-zero sample the searches end at m + 1 and m - 1.
    int32_t first = 1;
    while (first <= m && (first > n || e(first) == zero)) ++first;
    int32_t last = n;
    while (last >= m && e(last) == zero) --last;
    return getx(pulse, last) - getx(pulse, first);
}

void findoverlap(const pulse_& pulse1, const pulse_& pulse2, int32_t& istart, int32_t& istop, int32_t& di) {
    di = truncatedcount((pulse1.t - pulse2.t) / pulse1.dt);
    const int32_t n = pulse1.envelope.size();
    if (di < 0) {
        istart = 1;
        istop = n + di;
    } else {
        istart = di < std::numeric_limits<int32_t>::max() ? di + 1 : di;
        istop = n;
    }
}

}  // namespace optics
