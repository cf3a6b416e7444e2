#include "core/elements/elementgroup.h"

#include "stringstream.h"

ElementGroup_::ElementGroup_(Setup_* setup, ElementNodeLink_* node, int n)
    : CavityElement_(setup, node),
      Element(std::make_unique<egElementHeader_[]>(static_cast<size_t>(n > 0 ? n : 0))),
      elements(n > 0 ? n : 0) {
    takeId(id);
}

void ElementGroup_::setElement(const int& i, CavityElement_* element, const int& n) {
    if (i < 0 || i >= elements) return;
    Element[i].Element = element;
    Element[i].n = n;
}

void ElementGroup_::call(Pulse_* pulse) {
    if (skipPass()) return;
    for (int k = 0; k < iterations; ++k) {
        for (int m = 0; m < elements; ++m) {
            CavityElement_* member = Element[m].Element;
            if (!member) continue;
            if (lastTime && m == elements - 1) {
                log("Setting last call flag in element group.", normal);
                member->lastCall();
            }
            member->call(pulse);
        }
    }
}

void ElementGroup_::call(Pulse_** pulses, int n) {
    if (skipPass()) return;
    const bool trace = passesLevel(debugD);
    if (trace) {
        log("Passing ElementGroup:", debugD);
        log(StringStream_() << "Iterations:" << iterations << ", Elements:" << elements, debugD);
    }
    for (int k = 0; k < iterations; ++k) {
        for (int m = 0; m < elements; ++m) {
            const egElementHeader_& slot = Element[m];
            if (trace) {
                log(StringStream_() << "Iteration:" << k, debugD);
                log(StringStream_() << "Pos:" << m << ", Element[pos].n:" << slot.n << ", n:" << n,
                    debugD);
            }
            if (!slot.Element) continue;
            if (slot.n == n) {
                slot.Element->call(pulses, n);
            } else if (slot.n == 1) {
                for (int j = 0; j < n; ++j) slot.Element->call(pulses[j]);
            }
        }
    }
    if (trace) log("Leaving ElementGroup:", debugD);
}

bool ElementGroup_::iterationComplete(const int* count, const int& n, const int& target) {
    for (int i = 0; i < n; ++i)
        if (count[i] < target) return false;
    return true;
}
