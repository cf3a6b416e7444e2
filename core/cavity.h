#pragma once
// One optical resonator: a ring of element slots through which the cavity's
// circulating pulse travels, round trip after round trip. An element shared
// by several cavities fires only when every cavity feeding it stands at it.
#include <cstdint>
#include <memory>

#include "logger.h"

class CavityElement_;
class CavityNodeLink_;
class Error_;
class Pulse_;
class SetupLink_;

class Cavity_ : public Logger_ {
public:
    // One slot: the element and, for an element shared by several cavities,
    // the list of the pulses it takes in input order (not owned).
    struct element_ {
        CavityElement_* Data = nullptr;
        Pulse_** Pulse = nullptr;
        int32_t pulses = 0;  // 1: own pulse only; n > 1: shared; 0: free
    };

    // `elements` free slots (none when negative), no pulse yet.
    Cavity_(int elements, SetupLink_* setup, CavityNodeLink_* node);
    Cavity_(const Cavity_&) = delete;
    Cavity_& operator=(const Cavity_&) = delete;
    // Frees the slots and the pulse, not the elements; clears the node's link.
    ~Cavity_();

    // Fills the first free slot; its index, or -1 when none is free.
    int addElement(CavityElement_* element);
    // As above for an element taking the n pulses of `list`, which the cavity
    // refers to without copying; -1 at once for n <= 0.
    int addElement(CavityElement_* element, Pulse_** list, int n);
    // As above with a list of n empty entries that the cavity owns and frees;
    // the builder fills it through getSlotPulses once every pulse exists.
    int addSharedElement(CavityElement_* element, int n);
    // The pulse list of a shared slot; null for other slots.
    Pulse_** getSlotPulses(int i) const;
    int getSlotPulseCount(int i) const;

    // Creates the circulating pulse with the setup's sample count; a second
    // call keeps the first pulse.
    void initPulseGaussian(double duration, double energy, double wavelength);
    // Every slot filled, every shared list complete, and a pulse to carry.
    bool ready() const;
    // The last-round-trip notice to the element of every slot, in slot order.
    void lastCall();
    // Moves the pulse through as many slots as it can: to the end of the ring
    // (the round trip is complete) or to a shared element that a feeding
    // cavity has not reached yet.
    void advance();

    // Advances every cavity once per pass, in order, until `master` has
    // completed its round trip. Returns false when it never can: a pass brings
    // the cavities back to where they stood at an earlier pass (cavities that
    // wait for each other, or for a cavity that never comes), which is filed
    // through `reporter` (without a node when null). A null master cannot
    // complete. Allocates nothing.
    static bool completeRoundtrip(Cavity_* const* cavity, int n, Cavity_* master,
                                  Error_* reporter);

    // Null outside the slots.
    CavityElement_* getElement(int i) const;
    // The element the pulse meets next; slot 0 once past the last slot.
    CavityElement_* nextElement() const;
    Pulse_* getPulse() const { return Pulse.get(); }
    int getRoundtrip() const { return roundtrip; }
    int getPos() const { return pos; }
    int getElements() const { return elements; }
    SetupLink_* getSetup() const { return Setup; }
    // Null for a cavity without a node or after detachNode.
    CavityNodeLink_* getCavityNode() const { return CavityNode; }
    // The node is going away: the cavity no longer refers to it.
    void detachNode() { CavityNode = nullptr; }
    // Recentres the pulse at the start of each round trip.
    void setRecenter(bool on) { recenter = on; }
    bool getRecenter() const { return recenter; }

    // Dumps the slots and the pulse address at level debugA.
    void write(const int& indent);

private:
    int freeSlot() const;
    bool tracing() const;
    // Fires a shared slot when every feeding cavity stands at it.
    bool rendezvous(const element_& slot);

    SetupLink_* const Setup;
    std::unique_ptr<element_[]> element;
    // The pulse lists of addSharedElement, one per slot that has one.
    std::unique_ptr<std::unique_ptr<Pulse_*[]>[]> ownedLists;
    std::unique_ptr<Pulse_> Pulse;
    int32_t pos = 0;  // next slot; `elements` or more: past the last slot
    int32_t elements;
    int32_t roundtrip = 1;
    CavityNodeLink_* CavityNode;
    bool recenter = false;
    int32_t mark = 0;  // `pos` at the last checkpoint of completeRoundtrip
};
