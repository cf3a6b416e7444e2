#include "core/elements/propagation.h"

#include "core/pulse.h"
#include "kernel/elements.h"

Propagation_::Propagation_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source) {
    makeTable(2);
    setEntry(0, &distance, "d", "Propagation distance.");
    setEntry(1, &index, "n", "Index of refraction.");
    takeId(id);
}

void Propagation_::call(Pulse_* pulse) {
    if (skipPass()) return;
    elements::propagation(*pulse->get(), distance, index);
}

void Propagation_::call(Pulse_** pulses, int) { call(pulses[0]); }
