#include "core/elements/gaussianfilter.h"

#include "core/pulse.h"
#include "kernel/cinterface.h"

GaussianFilter_::GaussianFilter_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source), pset(std::make_unique<elements::psetfilter_>()) {
    // No parameter exposes the flags: the plain width rule, no pass made yet
    // marked, not the last round trip.
    pset->gentlefilter = cinterface::ffalse();
    pset->firsttime = cinterface::ffalse();
    pset->lasttime = cinterface::ffalse();
    takeId(pset->id);
    makeTable(2);
    setEntry(0, &pset->fwhm, "fwhm", "The full width at half maximum of the filter function.");
    setEntry(1, &pset->mean, "mean",
             "The Mean value relative to the data array of the filter function.");
}

void GaussianFilter_::call(Pulse_* pulse) {
    if (skipPass()) return;
    elements::filter(*pulse->get(), *pset);
}

void GaussianFilter_::call(Pulse_** pulses, int) { call(pulses[0]); }

void GaussianFilter_::lastCall() { pset->lasttime = cinterface::ftrue(); }
