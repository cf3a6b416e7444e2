#include "core/elements/linearloss.h"

#include "core/pulse.h"
#include "kernel/elements.h"

LinearLoss_::LinearLoss_(Setup_* Parent, ElementNodeLink_* Source)
    : CavityElement_(Parent, Source) {
    makeTable(1);
    setEntry(0, &amount, "amount", "The linear loss in percent.");
    takeId(id);
}

void LinearLoss_::call(Pulse_* pulse) {
    if (skipPass()) return;
    elements::loss(*pulse->get(), amount);
}

void LinearLoss_::call(Pulse_** pulses, int) { call(pulses[0]); }
