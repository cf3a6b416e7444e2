#pragma once
// A pumped laser medium: owns the kernel's gain record, whose fields form the
// element's parameter table, and hands it to elements::gain on every pass.
#include <memory>

#include "core/cavityelement.h"
#include "kernel/elements.h"

class Gain_ : public CavityElement_ {
public:
    Gain_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return gain; }
    void call(Pulse_* pulse) override;
    // Acts on the first pulse only.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override;

    elements::psetgain_* getpset() { return pset.get(); }

private:
    std::unique_ptr<elements::psetgain_> pset;
};
