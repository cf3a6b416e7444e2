#pragma once
// A Gaussian spectral filter: owns the kernel's filter record, whose width and
// centre form the element's parameter table, and hands it to elements::filter
// on every pass. The pulse leaves in the frequency domain.
#include <memory>

#include "core/cavityelement.h"
#include "kernel/elements.h"

class GaussianFilter_ : public CavityElement_ {
public:
    GaussianFilter_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return gaussianFilter; }
    void call(Pulse_* pulse) override;
    // Acts on the first pulse only.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override;

    elements::psetfilter_* getpset() { return pset.get(); }

private:
    std::unique_ptr<elements::psetfilter_> pset;
};
