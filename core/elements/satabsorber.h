#pragma once
// A saturable absorber: owns the kernel's absorber record, whose fields form
// the element's parameter table, and hands it to elements::satabsorbersplit
// on every pass.
#include <memory>

#include "core/cavityelement.h"
#include "kernel/elements.h"

class SaturableAbsorber_ : public CavityElement_ {
public:
    SaturableAbsorber_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return saturableAbsorber; }
    void call(Pulse_* pulse) override;
    // Acts on the first pulse only.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override;

    elements::psetabsorber_* getpset() { return pset.get(); }

private:
    std::unique_ptr<elements::psetabsorber_> pset;
};
