#pragma once
// One-step integrators for dy/dt = f(y, t): explicit Euler, classical
// fourth-order Runge-Kutta and Butcher's fifth-order predictor-corrector,
// each for a single complex value and for a system held in a sample array.
// The time argument t counts half steps: a step from t evaluates f at t,
// t + 1 and t + 2, and the caller advances t by 2 per step. What a method
// keeps between steps lives in its parameter record, owned by the caller.
#include <cstdint>
#include <functional>

#include "kernel/pulserecord.h"

namespace dsolve {

using complex_ = optics::complex_;
using samples_ = optics::samples_;
using logical_ = optics::logical_;

// Derivative of a single value: returns f(y, t).
using derivative_ = std::function<complex_(const complex_& y, const int32_t& t)>;
// Derivative of a system: fills dy (handed over with y's length) with f(y, t).
using systemderivative_ = std::function<void(const samples_& y, samples_& dy, const int32_t& t)>;

struct eulerparameters_ {
    double dt = 0;
};

struct eulersystemparameters_ {
    double dt = 0;
    samples_ work;  // the derivative, sized to the system on each call
};

struct rungekuttaparameters_ {
    complex_ k1, k2, k3, k4;  // the stage increments of the last step
    double dt = 0;
    logical_ firsttime = 1;
};

struct rungekuttasystemparameters_ {
    samples_ k1, k2, k3, k4;  // the stage increments of the last step
    double dt = 0;
    logical_ firsttime = 1;
    samples_ work;  // the stage argument
};

// Set dt and iterations (corrector passes; fewer than one count as one) and
// firsttime before the first step. error is the corrector's last change.
struct butcherparameters_ {
    complex_ prevy, prevdy;  // y and f one step back
    double h1 = 0, h2 = 0, h3 = 0, h4 = 0, h5 = 0, h6 = 0, h7 = 0, h8 = 0, h9 = 0;
    double dt = 0;
    int32_t iterations = 1;
    double error = 0;
    logical_ firsttime = 1;
};

// As butcherparameters_, with error summed over the elements. The length of
// the system is fixed by the first step.
struct butchersystemparameters_ {
    samples_ prevy, prevdy;  // y and f one step back
    double h1 = 0, h2 = 0, h3 = 0, h4 = 0, h5 = 0, h6 = 0, h7 = 0, h8 = 0, h9 = 0;
    double dt = 0;
    int32_t iterations = 1;
    double error = 0;
    logical_ firsttime = 1;
    samples_ dy, dyhalf, yfull, dyfull;  // work storage of one step
};

// y <- y + f(y, t)*dt.
void euler(complex_& y, const int32_t& t, eulerparameters_& pset, const derivative_& f);
void eulersystem(samples_& y, const int32_t& t, eulersystemparameters_& pset,
                 const systemderivative_& f);

// One classical Runge-Kutta step of dt.
void rungekutta(complex_& y, const int32_t& t, rungekuttaparameters_& pset, const derivative_& f);
void rungekuttasystem(samples_& y, const int32_t& t, rungekuttasystemparameters_& pset,
                      const systemderivative_& f);

// One step of Butcher's method. firsttime restarts the history from y with
// zero previous derivative. The system form refuses, with a report, a system
// whose length differs from the one its history was started with.
void butcher(complex_& y, const int32_t& t, butcherparameters_& pset, const derivative_& f);
void butchersystem(samples_& y, const int32_t& t, butchersystemparameters_& pset,
                   const systemderivative_& f);

}  // namespace dsolve
