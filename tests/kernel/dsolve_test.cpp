#include "kernel/dsolve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "kernelerrors.h"

namespace {

using namespace dsolve;
using wide = std::complex<double>;
using widesystem = std::vector<wide>;

// Problems with known solutions in the time s = t*h/2 (t counts half steps):
// a damped rotation, a cosine drive and, as a system, a complex oscillator
// (y1' = 2 y2, y2' = -2 y1) next to a slower cosine drive.
const wide lambda(-0.5, 2.0);
wide rotation(double s) { return std::exp(lambda * s); }
wide drive(double s) { return std::sin(4 * s); }
widesystem oscillator(double s) {
    const wide a(1.0, 0.5);
    return {a * std::cos(2 * s), -a * std::sin(2 * s), std::sin(2 * s)};
}
derivative_ rotationfield(double) {
    return [](const complex_& y, const int32_t&) { return complex_(lambda * wide(y)); };
}
derivative_ drivefield(double h) {
    return [h](const complex_&, const int32_t& t) { return complex_(float(4 * std::cos(2 * t * h))); };
}
systemderivative_ oscillatorfield(double h) {
    return [h](const samples_& y, samples_& dy, const int32_t& t) {
        dy(1) = 2.0f * y(2);
        dy(2) = -2.0f * y(1);
        dy(3) = float(2 * std::cos(t * h));
    };
}

complex_ narrow(const wide& z) { return complex_(z); }
samples_ narrow(const widesystem& v) {
    samples_ s(int32_t(v.size()));
    for (int32_t i = 1; i <= s.size(); ++i) s(i) = complex_(v[size_t(i - 1)]);
    return s;
}
double distance(const complex_& y, const wide& exact) { return std::abs(wide(y) - exact); }
double distance(const samples_& y, const widesystem& exact) {
    double d = 0;
    for (int32_t i = 1; i <= y.size(); ++i) d = std::max(d, distance(y(i), exact[size_t(i - 1)]));
    return d;
}

// Error at s = 2 after steps of h from the exact value at s = 0; `start` may
// replace the record's own start-up.
template <typename Record, typename Step, typename Field, typename Exact, typename Start>
double finalerror(double h, Step step, Field field, Exact exact, Start start) {
    Record pset;
    pset.dt = h;
    auto y = narrow(exact(0));
    start(pset, h, field(h), exact);
    for (int32_t t = 0; t < 2 * std::lround(2.0 / h); t += 2) step(y, t, pset, field(h));
    return distance(y, exact(2.0));
}
const auto ownstart = [](const auto&...) {};

// Butcher's start-up assumes a zero previous derivative, which costs one
// order; exact history one step before s = 0 shows the method's own order.
const auto exacthistory = [](auto& pset, double h, const derivative_& f, auto exact) {
    complex_ y = narrow(exact(-h));
    butcher(y, -2, pset, f);
    pset.prevy = narrow(exact(-h));
    pset.prevdy = f(pset.prevy, -2);
};
const auto exactsystemhistory = [](auto& pset, double h, const systemderivative_& f, auto exact) {
    samples_ y = narrow(exact(-h));
    butchersystem(y, -2, pset, f);
    pset.prevy = narrow(exact(-h));
    f(pset.prevy, pset.prevdy, -2);
};

// Error at step h over error at h/2, for each problem.
template <typename Record, typename SystemRecord, typename Step, typename SystemStep, typename Start,
          typename SystemStart>
std::vector<double> halvingratios(double h, Step step, SystemStep systemstep, Start start,
                                  SystemStart systemstart) {
    auto ratio = [h](auto error) { return error(h) / error(h / 2); };
    return {ratio([&](double k) { return finalerror<Record>(k, step, rotationfield, rotation, start); }),
            ratio([&](double k) { return finalerror<Record>(k, step, drivefield, drive, start); }),
            ratio([&](double k) {
                return finalerror<SystemRecord>(k, systemstep, oscillatorfield, oscillator, systemstart);
            })};
}

TEST(DsolveOrder, HalvingTheStepCutsEulerErrorsTwofold) {
    for (double r : halvingratios<eulerparameters_, eulersystemparameters_>(0.01, euler, eulersystem,
                                                                             ownstart, ownstart))
        EXPECT_NEAR(r, 2.0, 0.1);
}

TEST(DsolveOrder, HalvingTheStepCutsRungeKuttaErrorsSixteenfold) {
    for (double r : halvingratios<rungekuttaparameters_, rungekuttasystemparameters_>(
             0.1, rungekutta, rungekuttasystem, ownstart, ownstart))
        EXPECT_NEAR(r, 16.0, 2.0);
}

TEST(DsolveOrder, ButcherIsFifthOrderFromExactHistory) {
    for (double r : halvingratios<butcherparameters_, butchersystemparameters_>(
             0.2, butcher, butchersystem, exacthistory, exactsystemhistory)) {
        EXPECT_GT(r, 24.0);  // fourth order would give 16, sixth 64
        EXPECT_LT(r, 48.0);
    }
}

using Dsolve = kernelerrors::KernelErrors;

TEST_F(Dsolve, FirstStepsAndTheirEvaluationTimes) {
    complex_ y = 1;
    eulerparameters_ e{0.1};
    euler(y, 0, e, [](const complex_& v, const int32_t&) { return complex_(0, 1) * v; });
    EXPECT_EQ(y, complex_(1.0f, 0.1f));
    y = 1;
    rungekuttaparameters_ rk;
    rk.dt = 0.1;
    rungekutta(y, 0, rk, [](const complex_& v, const int32_t&) { return v; });
    EXPECT_EQ(y, complex_(1.1051708f));
    EXPECT_FLOAT_EQ(rk.k4.real(), 0.110525f);  // dt*(1 + k3)
    EXPECT_FALSE(rk.firsttime);

    std::vector<int32_t> seen;
    auto f = [&](const complex_&, const int32_t& t) { seen.push_back(t); return complex_(1); };
    auto g = [&](const samples_&, samples_&, const int32_t& t) { seen.push_back(t); };
    samples_ ys(2);
    rungekutta(y, 6, rk, f);
    rungekuttasystemparameters_ rks;
    rungekuttasystem(ys, 6, rks, g);
    butcherparameters_ b;
    butchersystemparameters_ bs;
    b.iterations = bs.iterations = 2;
    butcher(y, 6, b, f);
    butchersystem(ys, 6, bs, g);
    EXPECT_EQ(seen, (std::vector<int32_t>{6, 7, 7, 8, 6, 7, 7, 8, 6, 7, 8, 8, 6, 7, 8, 8}));
}

TEST_F(Dsolve, ButcherStartsFromAZeroPreviousDerivative) {
    // With a constant derivative c the first step gives y + (91/93) h c, the
    // predictor having given y - (28/15) h c.
    const complex_ c(2, -1), y0(1, 1);
    const double h = 0.3;
    const wide expected = wide(y0) + 91.0 / 93.0 * h * wide(c);
    butcherparameters_ b;
    b.dt = h;
    for (int restart = 0; restart < 2; ++restart) {
        b.firsttime = 1;
        complex_ y = y0;
        butcher(y, 0, b, [&](const complex_&, const int32_t&) { return c; });
        EXPECT_LT(distance(y, expected), 1e-6);
        EXPECT_NEAR(b.error, (28.0 / 15.0 + 91.0 / 93.0) * h * std::abs(c), 1e-5);
    }
    butchersystemparameters_ bs;
    bs.dt = h;
    samples_ ys = narrow(widesystem{y0, y0});
    butchersystem(ys, 0, bs, [&](const samples_&, samples_& dy, const int32_t&) { dy(1) = dy(2) = c; });
    EXPECT_LT(distance(ys, {expected, expected}), 1e-6);
    EXPECT_NEAR(bs.error, 2 * (28.0 / 15.0 + 91.0 / 93.0) * h * std::abs(c), 1e-5);
}

TEST_F(Dsolve, ButcherErrorIsTheLastCorrectorChangeAndNoPassesCountAsOne) {
    auto run = [](int32_t passes, int32_t steps) {
        butcherparameters_ b;
        b.dt = 0.2;
        b.iterations = passes;
        complex_ y = 1;
        for (int32_t t = 0; t < 2 * steps; t += 2) butcher(y, t, b, rotationfield(0.2));
        return std::make_pair(y, b.error);
    };
    EXPECT_EQ(run(0, 3), run(1, 3));
    EXPECT_EQ(run(-3, 3), run(1, 3));
    EXPECT_GT(run(1, 3).second, run(2, 3).second);
    EXPECT_DOUBLE_EQ(run(2, 1).second, distance(run(2, 1).first, wide(run(1, 1).first)));
}

// A system of another length: the Runge-Kutta stages follow it, the Butcher
// history refuses it; a derivative routine that resizes its output is refused.
TEST_F(Dsolve, LengthChangesNeverOverrunTheWorkArrays) {
    const auto g = [](const samples_& v, samples_& dv, const int32_t&) {
        for (int32_t i = 1; i <= v.size(); ++i) dv(i) = -v(i);
    };
    rungekuttasystemparameters_ rs;
    butchersystemparameters_ bs;
    rs.dt = bs.dt = 0.1;
    samples_ small = narrow(widesystem{1.0, 2.0}), large = narrow(widesystem{1.0, 2.0, 3.0, 4.0});
    samples_ fresh = large;
    rungekuttasystemparameters_ rf = rs;
    rungekuttasystem(fresh, 0, rf, g);
    rungekuttasystem(small, 0, rs, g);
    rungekuttasystem(large, 0, rs, g);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), fresh.begin()));
    EXPECT_TRUE(messages().empty());

    butchersystem(small, 0, bs, g);
    const samples_ kept = large;
    butchersystem(large, 2, bs, g);
    butchersystemparameters_ unstarted;
    unstarted.firsttime = 0;
    butchersystem(large, 0, unstarted, g);
    EXPECT_EQ(messages().size(), 2u);
    bs.firsttime = 1;
    butchersystem(small, 0, bs, g);
    EXPECT_EQ(messages().size(), 2u);

    const auto resizing = [](const samples_&, samples_& dv, const int32_t&) { dv.allocate(1); };
    eulersystemparameters_ es;
    eulersystem(large, 0, es, resizing);
    rungekuttasystem(large, 0, rs, resizing);
    butchersystem(small, 2, bs, resizing);
    EXPECT_EQ(messages().size(), 5u);
    EXPECT_TRUE(std::equal(large.begin(), large.end(), kept.begin()));
}

}  // namespace
