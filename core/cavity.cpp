#include "core/cavity.h"

#include "core/cavityelement.h"
#include "core/pulse.h"
#include "core/setuplink.h"
#include "interface/error.h"
#include "core/cavitynodelink.h"
#include "stringstream.h"

Cavity_::Cavity_(int elements, SetupLink_* setup, CavityNodeLink_* node)
    : Setup(setup),
      element(std::make_unique<element_[]>(static_cast<size_t>(elements > 0 ? elements : 0))),
      elements(elements > 0 ? elements : 0),
      CavityNode(node) {}

Cavity_::~Cavity_() {
    element.reset();
    ownedLists.reset();
    Pulse.reset();
    if (CavityNode) CavityNode->unlinkCavity(this);
}

int Cavity_::freeSlot() const {
    for (int i = 0; i < elements; ++i)
        if (!element[i].Data) return i;
    return -1;
}

int Cavity_::addElement(CavityElement_* e) {
    const int i = freeSlot();
    if (i < 0) return -1;
    element[i] = element_{e, nullptr, 1};
    if (passesLevel(debugD)) {
        log(StringStream_() << "Adding element " << i, debugD);
        log(StringStream_() << "Setting pulses to " << 1, debugD);
    }
    return i;
}

int Cavity_::addSharedElement(CavityElement_* e, int n) {
    if (n <= 0) return -1;
    auto list = std::make_unique<Pulse_*[]>(static_cast<size_t>(n));
    const int i = addElement(e, list.get(), n);
    if (i < 0) return -1;
    if (!ownedLists) ownedLists = std::make_unique<std::unique_ptr<Pulse_*[]>[]>(static_cast<size_t>(elements));
    ownedLists[i] = std::move(list);
    return i;
}

Pulse_** Cavity_::getSlotPulses(int i) const {
    return i >= 0 && i < elements && element[i].pulses > 1 ? element[i].Pulse : nullptr;
}

int Cavity_::getSlotPulseCount(int i) const {
    return i >= 0 && i < elements ? element[i].pulses : 0;
}

int Cavity_::addElement(CavityElement_* e, Pulse_** list, int n) {
    if (n <= 0) return -1;
    const int i = freeSlot();
    if (i < 0) return -1;
    element[i] = element_{e, list, n};
    if (passesLevel(debugD)) {
        log(StringStream_() << "Adding element " << i, debugD);
        log(StringStream_() << "Adding element " << static_cast<const void*>(e), debugD);
        log(StringStream_() << "Setting pulses to " << n, debugD);
    }
    return i;
}

void Cavity_::initPulseGaussian(double duration, double energy, double wavelength) {
    if (Pulse) return;
    Pulse = std::make_unique<Pulse_>(Setup ? Setup->getSamples() : 0, this);
    Pulse->createGaussian(duration, energy, wavelength, nullptr);
}

bool Cavity_::ready() const {
    for (int i = 0; i < elements; ++i) {
        const element_& slot = element[i];
        if (!slot.Data) return false;
        if (slot.pulses > 1) {
            if (!slot.Pulse) return false;
            for (int j = 0; j < slot.pulses; ++j)
                if (!slot.Pulse[j]) return false;
        }
    }
    // Without a pulse every element would be handed nothing to work on.
    return Pulse != nullptr;
}

void Cavity_::lastCall() {
    for (int i = 0; i < elements; ++i)
        if (element[i].Data) element[i].Data->lastCall();
}

CavityElement_* Cavity_::getElement(int i) const {
    return i >= 0 && i < elements ? element[i].Data : nullptr;
}

CavityElement_* Cavity_::nextElement() const {
    if (elements == 0) return nullptr;
    return element[pos < elements ? pos : 0].Data;
}

bool Cavity_::tracing() const {
    return passesLevel(debugA) && (roundtrip == 1 || (Setup && roundtrip == Setup->getRoundtrips()));
}

bool Cavity_::rendezvous(const element_& slot) {
    for (int j = 0; j < slot.pulses; ++j) {
        const Cavity_* feeder = slot.Pulse[j]->getCavity();
        if (!feeder || feeder->nextElement() != slot.Data) return false;
    }
    slot.Data->call(slot.Pulse, slot.pulses);
    for (int j = 0; j < slot.pulses; ++j) {
        Cavity_* feeder = slot.Pulse[j]->getCavity();
        if (feeder != this) ++feeder->pos;
    }
    ++pos;
    return true;
}

void Cavity_::advance() {
    if (tracing()) log(StringStream_() << "Advancing cavity " << static_cast<const void*>(this), debugA);
    if (pos >= elements) {
        ++roundtrip;
        pos = 0;
        if (recenter && Pulse) Pulse->recenter();
    } else {
        if (pos == 0 && recenter && Pulse) Pulse->recenter();
        for (;;) {
            if (tracing()) log(StringStream_() << "  Pos = " << pos, debugA);
            const element_& slot = element[pos];
            if (slot.pulses > 1) {
                if (!rendezvous(slot)) break;
            } else {
                slot.Data->call(Pulse.get());
                ++pos;
            }
            if (pos >= elements) {
                pos = 0;
                ++roundtrip;
                break;
            }
        }
    }
    if (tracing()) log(StringStream_() << "Advancing cavity done. Pos = " << pos, debugA);
}

bool Cavity_::completeRoundtrip(Cavity_* const* cavity, int n, Cavity_* master, Error_* reporter) {
    if (!master) return false;
    const int start = master->roundtrip;
    // The passes depend on nothing but the positions, so positions met again
    // without the master completing mean the same passes for ever. Brent's
    // checkpoints (after 1, 2, 4, ... passes) find a repeat of any length.
    auto checkpoint = [&] {
        for (int i = 0; i < n; ++i)
            if (cavity[i]) cavity[i]->mark = cavity[i]->pos;
    };
    checkpoint();
    int power = 1;
    int length = 0;
    for (;;) {
        for (int i = 0; i < n; ++i)
            if (cavity[i]) cavity[i]->advance();
        if (master->roundtrip != start) return true;
        bool repeated = true;
        for (int i = 0; i < n && repeated; ++i)
            if (cavity[i] && cavity[i]->pos != cavity[i]->mark) repeated = false;
        if (repeated) break;
        if (++length == power) {
            checkpoint();
            power *= 2;
            length = 0;
        }
    }
    const char* message =
        "The cavities wait for each other at shared elements: the round trip cannot be completed.";
    master->logError(message, normal);
    if (reporter)
        reporter->report(message, Error_::error);
    else
        Error_::reportStatic(QString::fromLatin1(message), Error_::error);
    return false;
}

void Cavity_::write(const int& indent) {
    if (!passesLevel(debugA)) return;
    log(StringStream_(indent) << "Addr: " << static_cast<const void*>(this), debugA);
    log(StringStream_(indent) << "Elements: " << elements, debugA);
    log(StringStream_(indent) << "Pulse Addr: " << static_cast<const void*>(Pulse.get()), debugA);
    for (int i = 0; i < elements; ++i) {
        const element_& slot = element[i];
        log(StringStream_(indent) << "  Element: " << i << ": ", debugA);
        log(StringStream_(indent) << "  Data: " << static_cast<const void*>(slot.Data) << ": ", debugA);
        log(StringStream_(indent) << "  Pulses: " << slot.pulses, debugA);
        if (slot.pulses > 1 && slot.Pulse)
            for (int j = 0; j < slot.pulses; ++j)
                log(StringStream_(indent) << "    Pulse: " << j << " Addr: "
                                          << static_cast<const void*>(slot.Pulse[j]),
                    debugA);
    }
}
