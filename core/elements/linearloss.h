#pragma once
// A flat intensity loss: removes `amount` percent of the intensity on every
// pass (elements::loss).
#include <cstdint>

#include "core/cavityelement.h"

class LinearLoss_ : public CavityElement_ {
public:
    LinearLoss_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return linearLoss; }
    void call(Pulse_* pulse) override;
    // Acts on the first pulse only.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override {}

private:
    double amount = 0;
    int32_t id = 0;
};
