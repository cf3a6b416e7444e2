#pragma once
// Stand-ins for elements and the owning setup in engine tests.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/cavityelement.h"
#include "core/setuplink.h"
#include "tests/core/measurementfakes.h"

// Journals "<name>" for a one-pulse pass, "<name>*<n>" for an n-pulse pass
// and "<name>!" for the last-call notice.
struct FakeElement : CavityElement_ {
    FakeElement(Journal& journal, std::string name)
        : CavityElement_(nullptr, static_cast<ElementNodeLink_*>(nullptr)),
          journal(journal),
          name(std::move(name)) {}
    void call(Pulse_* pulse) override {
        journal.push_back(name);
        pulses.push_back(pulse);
    }
    void call(Pulse_** list, int n) override {
        journal.push_back(name + "*" + std::to_string(n));
        lists.emplace_back(list, list + n);
    }
    void lastCall() override { journal.push_back(name + "!"); }
    Journal& journal;
    std::string name;
    std::vector<Pulse_*> pulses;
    std::vector<std::vector<Pulse_*>> lists;
};

// Counts its passes and allocates nothing.
struct Counter : CavityElement_ {
    Counter() : CavityElement_(nullptr, static_cast<ElementNodeLink_*>(nullptr)) {}
    void call(Pulse_*) override { ++calls; }
    void call(Pulse_**, int) override { ++calls; }
    long calls = 0;
};

struct FakeSetup : SetupLink_ {
    int samples = 256, roundtrips = 10;
    int getSamples() const override { return samples; }
    int getRoundtrips() const override { return roundtrips; }
};

// Writes named entries of an element's table through their bindings.
inline void setParameters(CavityElement_& e, const std::vector<std::pair<const char*, double>>& values) {
    for (auto& [name, value] : values) *static_cast<double*>(e.getParameter(std::string(name))) = value;
}

// Distinct pulse addresses for elements that only pass pulses on.
inline Pulse_* fakePulse(int i) {
    static std::max_align_t storage[4];
    return reinterpret_cast<Pulse_*>(&storage[i]);
}
