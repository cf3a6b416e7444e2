#pragma once
// A composite element: each pass through its cavity slot runs its members in
// order, repeated `iterations` times. The members belong to the setup.
#include <cstdint>
#include <memory>

#include "core/cavityelement.h"

class ElementGroup_ : public CavityElement_ {
public:
    ElementGroup_(Setup_* setup, ElementNodeLink_* node, int n);

    type_ getType() override { return elementgroup; }
    // Every member gets the one-pulse call; once the group has had its last
    // call, the last member gets one before each of its calls.
    void call(Pulse_* pulse) override;
    // A member taking n pulses gets them all; a one-pulse member gets each in
    // turn; any other member is skipped.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override { lastTime = true; }

    // Member i takes `n` pulses; an index outside the slots is ignored.
    void setElement(const int& i, CavityElement_* element, const int& n);
    void setIterations(const int& n) { iterations = n; }
    int getIterations() const { return iterations; }
    int getElements() const { return elements; }

    // True when n < 1 or every count[0..n-1] has reached `target`.
    static bool iterationComplete(const int* count, const int& n, const int& target);

private:
    struct egElementHeader_ {
        int32_t n = 0;
        CavityElement_* Element = nullptr;
    };

    std::unique_ptr<egElementHeader_[]> Element;
    int32_t elements;
    int32_t iterations = 1;
    int32_t id = 0;
    bool lastTime = false;
};
