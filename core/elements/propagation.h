#pragma once
// A propagation path: delays the pulse by d*n/c on every pass
// (elements::propagation).
#include <cstdint>

#include "core/cavityelement.h"

class Propagation_ : public CavityElement_ {
public:
    Propagation_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return propagation; }
    void call(Pulse_* pulse) override;
    // Acts on the first pulse only.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override {}

private:
    double distance = 0;
    double index = 0;
    int32_t id = 0;
};
