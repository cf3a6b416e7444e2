#include "core/elements/dfgfrequency.h"

#include "core/pulse.h"
#include "kernel/cinterface.h"
#include "kernel/mixing.h"

DFGFrequency_::DFGFrequency_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source), pset(std::make_unique<elements::psetppln_>()) {
    cinterface::maketrue(pset->firsttime);
    cinterface::makefalse(pset->lasttime);
    takeId(pset->id);
    makeTable(4);
    setEntry(0, &pset->w, "w", "w");
    setEntry(1, &pset->chi2, "chi2", "chi2");
    setEntry(2, &pset->l, "l", "l");
    setEntry(3, &pset->g, "g", "g");
}

void DFGFrequency_::call(Pulse_*) {
    if (skipPass()) return;
    logError("Internal Error in DFGFrequency_::call(Pulse_* Pulse)", normal);
}

void DFGFrequency_::call(Pulse_** pulses, int n) {
    if (n != 3) {
        logError("Internal Error in DFGFrequency_::call(Pulse_** Pulse, int n)", normal);
        return;
    }
    if (skipPass()) return;
    elements::pplnfrequency(*pulses[0]->get(), *pulses[1]->get(), *pulses[2]->get(), *pset);
}

void DFGFrequency_::lastCall() { cinterface::maketrue(pset->lasttime); }
