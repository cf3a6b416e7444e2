#pragma once
// Difference-frequency mixing in a nonlinear crystal shared by three cavities
// (pump, signal, idler), one step on the spectra per pass
// (elements::pplnfrequency).
#include <memory>

#include "core/cavityelement.h"
#include "kernel/crystal.h"

class DFGFrequency_ : public CavityElement_ {
public:
    DFGFrequency_(Setup_* Parent, ElementNodeLink_* Source);

    type_ getType() override { return dfgfrequency; }
    // A single pulse cannot mix: logged, the pulse is left alone.
    void call(Pulse_* pulse) override;
    // Pump, signal and idler, in that order; any other count is logged and
    // the pass skipped.
    void call(Pulse_** pulses, int n) override;
    // The last pass writes and releases the work arrays.
    void lastCall() override;

    elements::psetppln_* getpset() { return pset.get(); }

private:
    std::unique_ptr<elements::psetppln_> pset;
};
