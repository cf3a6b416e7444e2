#pragma once
// Difference-frequency mixing in a nonlinear crystal shared by three cavities
// (pump, signal, idler), one explicit step in the time domain per pass
// (elements::pplntime), with a trace of every pass at level debugD.
#include <memory>

#include "core/cavityelement.h"
#include "kernel/crystal.h"

class DFGTime_ : public CavityElement_ {
public:
    DFGTime_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return dfgtime; }
    // A single pulse cannot mix: logged, the pulse is left alone.
    void call(Pulse_* pulse) override;
    // Pump, signal and idler, in that order; any other count is logged and
    // the pass skipped.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override;

    elements::psetppln_* getpset() { return pset.get(); }

private:
    // The crystal's values and the three pulses, under `heading`.
    void trace(const char* heading, Pulse_** pulses);

    std::unique_ptr<elements::psetppln_> pset;
};
