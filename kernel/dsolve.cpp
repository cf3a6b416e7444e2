#include "kernel/dsolve.h"

#include <algorithm>
#include <complex>
#include <string>
#include <utility>

#include "kernel/errorhandling.h"

namespace dsolve {

namespace {

// Products with a double step are formed in double precision and the
// results rounded to single precision once.
using wide_ = std::complex<double>;

wide_ wide(const complex_& z) { return wide_(z.real(), z.imag()); }
complex_ narrow(const wide_& z) { return complex_(z); }

// Gives a work array the system's length, keeping it when it already has it.
void fit(samples_& a, int32_t n) {
    if (a.size() != n) a.allocate(n);
}

// dy <- f(y, t). A derivative routine that changes the length of dy is
// reported, and the caller abandons the step.
bool evaluate(const systemderivative_& f, const samples_& y, samples_& dy, int32_t t,
              const char* routine) {
    f(y, dy, t);
    if (dy.size() == y.size()) return true;
    errorhandling::error(std::string("ERROR: Derivative changed the system length in ") + routine);
    return false;
}

void scale(samples_& k, double dt) {
    for (complex_& z : k) z = narrow(wide(z) * dt);
}

// Butcher's step coefficients for the step h; fifteenths are given by the caller
// so that each form keeps the precision of its constants.
template <typename record_>
void butchercoefficients(record_& pset, double h, double thirtytwofifteenths,
                         double twentysixfifteenths) {
    pset.h2 = h * 3.0 / 8.0;
    pset.h1 = pset.h2 * 3.0;
    pset.h3 = h * thirtytwofifteenths;
    pset.h4 = h * 4.0;
    pset.h5 = h * twentysixfifteenths;
    pset.h9 = h / 93.0;
    pset.h6 = pset.h9 * 64.0;
    pset.h7 = pset.h9 * 15.0;
    pset.h8 = pset.h9 * 12.0;
}

}  // namespace

void euler(complex_& y, const int32_t& t, eulerparameters_& pset, const derivative_& f) {
    y = narrow(wide(y) + wide(f(y, t)) * pset.dt);
}

void eulersystem(samples_& y, const int32_t& t, eulersystemparameters_& pset,
                 const systemderivative_& f) {
    const int32_t n = y.size();
    fit(pset.work, n);
    if (!evaluate(f, y, pset.work, t, "EulerSystem")) return;
    for (int32_t i = 1; i <= n; ++i) y(i) = narrow(wide(y(i)) + wide(pset.work(i)) * pset.dt);
}

void rungekutta(complex_& y, const int32_t& t, rungekuttaparameters_& pset, const derivative_& f) {
    const double dt = pset.dt;
    pset.k1 = narrow(wide(f(y, t)) * dt);
    pset.k2 = narrow(wide(f(y + pset.k1 / 2.0f, t + 1)) * dt);
    pset.k3 = narrow(wide(f(y + pset.k2 / 2.0f, t + 1)) * dt);
    pset.k4 = narrow(wide(f(y + pset.k3, t + 2)) * dt);
    y = (y + (pset.k1 + pset.k4) / 6.0f) + (pset.k2 + pset.k3) / 3.0f;
    pset.firsttime = 0;
}

void rungekuttasystem(samples_& y, const int32_t& t, rungekuttasystemparameters_& pset,
                      const systemderivative_& f) {
    const int32_t n = y.size();
    // The stage arrays hold nothing between steps, so a system that changed
    // length simply gets them anew.
    pset.firsttime = 0;
    for (samples_* a : {&pset.k1, &pset.k2, &pset.k3, &pset.k4, &pset.work}) fit(*a, n);
    samples_& arg = pset.work;

    if (!evaluate(f, y, pset.k1, t, "RungeKuttaSystem")) return;
    scale(pset.k1, pset.dt);
    for (int32_t i = 1; i <= n; ++i) arg(i) = y(i) + pset.k1(i) / 2.0f;
    if (!evaluate(f, arg, pset.k2, t + 1, "RungeKuttaSystem")) return;
    scale(pset.k2, pset.dt);
    for (int32_t i = 1; i <= n; ++i) arg(i) = y(i) + pset.k2(i) / 2.0f;
    if (!evaluate(f, arg, pset.k3, t + 1, "RungeKuttaSystem")) return;
    scale(pset.k3, pset.dt);
    for (int32_t i = 1; i <= n; ++i) arg(i) = y(i) + pset.k3(i);
    if (!evaluate(f, arg, pset.k4, t + 2, "RungeKuttaSystem")) return;
    scale(pset.k4, pset.dt);
    for (int32_t i = 1; i <= n; ++i)
        y(i) = (y(i) + (pset.k1(i) + pset.k4(i)) / 6.0f) + (pset.k2(i) + pset.k3(i)) / 3.0f;
}

void butcher(complex_& y, const int32_t& t, butcherparameters_& pset, const derivative_& f) {
    if (pset.firsttime) {
        pset.firsttime = 0;
        pset.prevy = y;
        pset.prevdy = 0;
        butchercoefficients(pset, pset.dt, 2.1333333333333333, 1.7333333333333334);
    }
    const wide_ y0 = wide(y), prevy = wide(pset.prevy), prevdy = wide(pset.prevdy);

    const complex_ dy = f(y, t);
    const complex_ yhalf = narrow(prevy + pset.h1 * wide(dy) + pset.h2 * prevdy);
    const wide_ dyhalf = wide(f(yhalf, t + 1));
    complex_ yfull = narrow(5.6 * y0 - 4.6 * prevy + pset.h3 * dyhalf - pset.h4 * wide(dy) -
                            pset.h5 * prevdy);

    // The corrector runs at least once, so the error estimate always
    // compares two computed values.
    const int32_t passes = std::max<int32_t>(pset.iterations, 1);
    complex_ lastyfull = yfull;
    for (int32_t pass = 0; pass < passes; ++pass) {
        const wide_ dyfull = wide(f(yfull, t + 2));
        lastyfull = yfull;
        yfull = narrow(1.032258064516129 * y0 - 0.03225806451612903 * prevy + pset.h6 * dyhalf +
                       pset.h7 * dyfull + pset.h8 * wide(dy) - pset.h9 * prevdy);
    }
    pset.error = std::abs(wide(yfull) - wide(lastyfull));

    pset.prevy = y;
    pset.prevdy = dy;
    y = yfull;
}

void butchersystem(samples_& y, const int32_t& t, butchersystemparameters_& pset,
                   const systemderivative_& f) {
    const int32_t n = y.size();
    if (pset.firsttime) {
        pset.firsttime = 0;
        pset.prevy = y;
        pset.prevdy.allocate(n);
        butchercoefficients(pset, pset.dt, double(32.0f / 15.0f), double(26.0f / 15.0f));
    } else if (pset.prevy.size() != n || pset.prevdy.size() != n) {
        errorhandling::error("ERROR: System length changed in ButcherSystem");
        return;
    }
    for (samples_* a : {&pset.dy, &pset.dyhalf, &pset.yfull, &pset.dyfull}) fit(*a, n);
    const samples_& prevy = pset.prevy;
    const samples_& prevdy = pset.prevdy;
    samples_& dy = pset.dy;
    samples_& dyhalf = pset.dyhalf;
    samples_& yfull = pset.yfull;  // first the half-step predictor
    samples_& dyfull = pset.dyfull;

    if (!evaluate(f, y, dy, t, "ButcherSystem")) return;
    for (int32_t i = 1; i <= n; ++i)
        yfull(i) = narrow(wide(prevy(i)) + pset.h1 * wide(dy(i)) + pset.h2 * wide(prevdy(i)));
    if (!evaluate(f, yfull, dyhalf, t + 1, "ButcherSystem")) return;
    for (int32_t i = 1; i <= n; ++i)
        yfull(i) = narrow(wide(5.6f * y(i) - 4.6f * prevy(i)) + pset.h3 * wide(dyhalf(i)) -
                          pset.h4 * wide(dy(i)) - pset.h5 * wide(prevdy(i)));

    constexpr float ycoefficient = 32.0f / 31.0f;
    constexpr float prevycoefficient = 1.0f / 31.0f;
    const int32_t passes = std::max<int32_t>(pset.iterations, 1);
    double change = 0;
    for (int32_t pass = 0; pass < passes; ++pass) {
        if (!evaluate(f, yfull, dyfull, t + 2, "ButcherSystem")) return;
        change = 0;
        for (int32_t i = 1; i <= n; ++i) {
            const complex_ next = narrow(wide(ycoefficient * y(i) - prevycoefficient * prevy(i)) +
                                         pset.h6 * wide(dyhalf(i)) + pset.h7 * wide(dyfull(i)) +
                                         pset.h8 * wide(dy(i)) - pset.h9 * wide(prevdy(i)));
            change += std::abs(wide(next) - wide(yfull(i)));
            yfull(i) = next;
        }
    }
    pset.error = change;

    pset.prevy = y;
    std::swap(pset.prevdy, pset.dy);
    y = yfull;
}

}  // namespace dsolve
