#pragma once
// The standard cavity of the kernel benchmarks: recentring, then gain,
// saturable absorber, Gaussian filter, 5 % loss and propagation. With
// `strong`, the pulse's peak is some two thousand times the absorber's
// saturation intensity, so the absorber's strong-saturation branch takes the
// pulse's core (some 240 of 4096 samples after 20 round trips); otherwise the
// peak stays at a few hundredths of it.
#include <array>
#include <cstdint>

#include "kernel/elements.h"
#include "kernel/pulse.h"

namespace standardcavity {

enum Stage { kRecenter, kGain, kAbsorber, kFilter, kLoss, kPropagation, kStages };
inline const std::array<const char*, kStages> kNames = {"recenter", "gain",  "absorber",
                                                        "filter",   "loss", "propagation"};

struct Cavity {
    Cavity(int32_t n, bool strong) {
        pulse.envelope.allocate(n);
        optics::generatepulse(pulse, 1.0e-13, 1.0e-6, 1.064e-6);
        gain.w = 1.0e-4;
        gain.r = 1.0e5;
        gain.l = 5.0e-3;
        gain.sigma = 3.0e-23;
        gain.deltan0 = -1.4e26;
        gain.t1 = 2.3e-4;
        gain.deltan = 1.0e24;
        absorber.w = 1.0e-4;
        absorber.l = 1.0e-6;
        absorber.is = strong ? 1.0e11 : 1.0e15;
        absorber.loss = 0.1;
        absorber.t1 = 1.0e-12;
        filter.fwhm = 5.0e13;
        filter.gentlefilter = 1;
    }

    // One round trip; calls done(stage) after each stage.
    template <class Done>
    void pass(Done done) {
        optics::recenter(pulse, 1, optics::time);
        done(kRecenter);
        elements::gain(pulse, gain);
        done(kGain);
        elements::satabsorbersplit(pulse, absorber);
        done(kAbsorber);
        elements::filter(pulse, filter);
        done(kFilter);
        elements::loss(pulse, 5.0);
        done(kLoss);
        elements::propagation(pulse, 1.5, 1.0);
        done(kPropagation);
    }
    void pass() {
        pass([](Stage) {});
    }

    optics::pulse_ pulse;
    elements::psetgain_ gain;
    elements::psetabsorber_ absorber;
    elements::psetfilter_ filter;
};

}  // namespace standardcavity
