#include "core/elements/gain.h"

#include "core/pulse.h"
#include "kernel/cinterface.h"

Gain_::Gain_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source), pset(std::make_unique<elements::psetgain_>()) {
    makeTable(10);
    pset->firsttime = cinterface::ftrue();
    pset->lasttime = cinterface::ffalse();
    takeId(pset->id);
    setEntry(0, &pset->w, "w", "The beam waist inside the crystal.");
    setEntry(1, &pset->r, "R", "The pump rate.");
    setEntry(2, &pset->l, "l", "The length of the crystal.");
    setEntry(3, &pset->sigma, "sigma", "The stimulated emission cross section.");
    setEntry(4, &pset->deltan0, "deltan0",
             "The ground state inversion. It is equal to the number density of laser atoms "
             "times -1.");
    setEntry(5, &pset->sigmap, "sigmap",
             "The stimulated absorption cross section at the pump wavelength. This is only used "
             "to estimate the pump power from the pump rate. It is irrelevant for the "
             "simulation.");
    setEntry(6, &pset->lambdap, "lambdap",
             "The central wavelength of the pump light and the absorption peak of the crystal. "
             "It only relevant for the estimate of the pump power.");
    setEntry(7, &pset->t1, "T1", "The lifetime of the state that is used for lasing.");
    setEntry(8, &pset->deltan, "deltan",
             "The population inversion when a pulse last left the gain. The innitial population "
             "inversion.");
    setEntry(9, &pset->recoverytime, "recoverytime",
             "This parameter contains the time when a pulse last left the gain. Its initial "
             "value should be 0");
}

void Gain_::call(Pulse_* pulse) {
    if (skipPass()) return;
    elements::gain(*pulse->get(), *pset);
}

void Gain_::call(Pulse_** pulses, int) { call(pulses[0]); }

void Gain_::lastCall() { pset->lasttime = cinterface::ftrue(); }
