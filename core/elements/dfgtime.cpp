#include "core/elements/dfgtime.h"

#include "core/pulse.h"
#include "kernel/cinterface.h"
#include "kernel/mixing.h"
#include "stringstream.h"

DFGTime_::DFGTime_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source), pset(std::make_unique<elements::psetppln_>()) {
    pset->firsttime = cinterface::ftrue();
    pset->lasttime = cinterface::ffalse();
    takeId(pset->id);
    makeTable(3);
    setEntry(0, &pset->w, "w", "w");
    setEntry(1, &pset->chi2, "chi2", "chi2");
    setEntry(2, &pset->l, "l", "l");
}

void DFGTime_::call(Pulse_*) {
    if (skipPass()) return;
    logError("Internal Error in DFGTime_::call(Pulse_* Pulse)", normal);
}

void DFGTime_::call(Pulse_** pulses, int n) {
    log("Passing PPLNTime:", debugD);
    if (n != 3) {
        logError("Internal Error in DFGTime_::call(Pulse_** Pulse, int n)", normal);
        return;
    }
    if (skipPass()) return;
    log("Calling PPLNTime:", debugD);
    trace("  before ...", pulses);
    elements::pplntime(*pulses[0]->get(), *pulses[1]->get(), *pulses[2]->get(), *pset);
    trace("  after ...", pulses);
}

void DFGTime_::lastCall() { pset->lasttime = cinterface::ftrue(); }

namespace {

// The label, then the real part of sample i when the pulse has one.
std::string sampleLine(const char* label, const Pulse_& pulse, int i) {
    StringStream_ line;
    line << label;
    if (i < pulse.getSamples()) line << static_cast<double>(pulse.getSample(i).real());
    return line;
}

}  // namespace

void DFGTime_::trace(const char* heading, Pulse_** pulses) {
    if (!passesLevel(debugD)) return;
    log(heading, debugD);
    log(StringStream_() << "  w: " << pset->w, debugD);
    log(StringStream_() << "  chi2: " << pset->chi2, debugD);
    log(StringStream_() << "  l: " << pset->l, debugD);
    for (int i = 0; i < 3; ++i) {
        const Pulse_& pulse = *pulses[i];
        log(StringStream_() << "  Pulse " << i << ":", debugD);
        log(StringStream_() << "    pupoi:" << static_cast<const void*>(pulses[i]), debugD);
        log(StringStream_() << "    pointer:" << static_cast<const void*>(pulse.get()), debugD);
        log(sampleLine("    sample1:", pulse, 1), debugD);
        log(sampleLine("    sample128:", pulse, 128), debugD);
    }
}
