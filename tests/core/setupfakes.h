#pragma once
// Stand-ins for the tree side of a setup: its node (error source and
// live-access channel), a builder of experiments from plain functions, and
// elements that run a hook on every pass.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/base.h"
#include "core/cavity.h"
#include "core/cavityelement.h"
#include "core/setup.h"
#include "core/setupnodelink.h"
#include "interface/accessor.h"
#include "interface/error.h"
#include "tests/core/enginefakes.h"
#include "tests/core/fakes.h"

// Every round trip is more than 50 ms after the last: the channel publishes each.
class AlwaysLateClock : public AccessorClock_ {
public:
    qint64 elapsed() const override { return 1000; }
    void restart() override {}
};

class FakeSetupNode : public SetupNodeLink_ {
public:
    explicit FakeSetupNode(int i) : errors(fakeNode(i)) {
        QObject::connect(
            &accessor, &Accessor_::updateSetupStatus, &accessor,
            [this](int rt) {
                std::lock_guard<std::mutex> lock(mutex);
                statuses.push_back(rt);
            },
            Qt::DirectConnection);
    }
    Error_& getErrorSource() override { return errors; }
    Accessor_* getAccessor() override { return &accessor; }
    void disconnectSetup() override {
        ++disconnects;
        accessor.reset();
    }
    std::vector<int> status() {
        std::lock_guard<std::mutex> lock(mutex);
        return statuses;
    }
    Node_* node() { return errors.getSourceNode(); }

    Error_ errors;
    Accessor_ accessor{std::make_unique<AlwaysLateClock>()};
    int disconnects = 0;

private:
    std::mutex mutex;
    std::vector<int> statuses;
};

// Runs `hook` with the number of the pass (from 1) on every one-pulse call.
class HookElement : public CavityElement_ {
public:
    explicit HookElement(std::function<void(int)> hook)
        : CavityElement_(nullptr, static_cast<ElementNodeLink_*>(nullptr)), hook(std::move(hook)) {}
    void call(Pulse_*) override { hook(++passes); }
    int passes = 0;

private:
    std::function<void(int)> hook;
};

// Passes recorded in a journal, last-call notices left out.
inline size_t passes(const Journal& journal) {
    size_t n = 0;
    for (const std::string& entry : journal) n += entry.back() != '!';
    return n;
}

// A setup of one cavity, with a short pulse, whose slots hold `elements`, in order.
inline Setup_* oneCavitySetup(Base_* base, SetupNodeLink_* node, int roundtrips,
                              std::vector<CavityElement_*> elements, int measurements = 0) {
    const int n = static_cast<int>(elements.size());
    auto* setup = new Setup_(1, n, measurements, base, node);
    setup->setRoundtrips(roundtrips);
    setup->setSamples(64);
    auto* cavity = new Cavity_(n, setup, nullptr);
    cavity->initPulseGaussian(1e-12, 1e-9, 800e-9);
    for (CavityElement_* e : elements) {
        setup->addElement(e);
        cavity->addElement(e);
    }
    setup->addCavity(cavity);
    return setup;
}

// Builds setup i whole with makers[i]; the later phases find it complete.
class FunctionBuilder : public SetupBuilder_ {
public:
    using Maker = std::function<Setup_*(Base_*)>;
    explicit FunctionBuilder(std::vector<Maker> makers) : makers(std::move(makers)) {}
    int getSetups() override { return static_cast<int>(makers.size()); }
    Setup_* createSetup(int i, Base_* base) override { return makers[i](base); }
    void addElements(int, Setup_*) override {}
    int getChildren(int) override { return 0; }
    bool isCavity(int, int) override { return false; }
    void addCavity(int, int, Setup_*) override {}
    void link(int) override {}
    void addMeasurement(int, int, Setup_*) override {}

private:
    std::vector<Maker> makers;
};
