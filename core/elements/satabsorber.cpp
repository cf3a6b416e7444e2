#include "core/elements/satabsorber.h"

#include "core/pulse.h"
#include "kernel/cinterface.h"

SaturableAbsorber_::SaturableAbsorber_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source), pset(std::make_unique<elements::psetabsorber_>()) {
    makeTable(7);
    pset->firsttime = cinterface::ftrue();
    pset->lasttime = cinterface::ffalse();
    takeId(pset->id);
    setEntry(0, &pset->w, "w", "The beam waist in the absorber.");
    setEntry(1, &pset->l, "l", "The thickness of the absorber.");
    setEntry(2, &pset->is, "Is", "The saturation intensity of the absorber.");
    setEntry(3, &pset->loss, "loss", "The small signal exponential loss of the absorber.");
    setEntry(4, &pset->t1, "T1", "The upper state lifetime of the absorber.");
    setEntry(5, &pset->deltan, "deltan", "The population inversion in the absorber.");
    setEntry(6, &pset->recoverytime, "recoverytime",
             "This parameter contains the time when a pulse last left the absorber. Its "
             "innitial value should be 0");
}

void SaturableAbsorber_::call(Pulse_* pulse) {
    if (skipPass()) return;
    elements::satabsorbersplit(*pulse->get(), *pset);
}

void SaturableAbsorber_::call(Pulse_** pulses, int) { call(pulses[0]); }

void SaturableAbsorber_::lastCall() { pset->lasttime = cinterface::ftrue(); }
