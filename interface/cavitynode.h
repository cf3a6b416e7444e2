#pragma once
// A cavity of a setup: its children are the elements, element groups and
// measurement groups the pulse passes in one round trip, in order.
#include "core/cavitynodelink.h"
#include "interface/node.h"

class Setup_;

class CavityNode_ : public Node_, public CavityNodeLink_ {
public:
    CavityNode_();
    // Copies the subtree; no cavity of its own until built.
    CavityNode_(const CavityNode_& source);
    // The cavity belongs to its setup; it only forgets this node.
    ~CavityNode_() override;

    QString getTypeString() const override { return QStringLiteral("Cavity"); }
    Node_* recursiveCopy() const override;
    // The cavity's slots: one per child. Hides the node count of
    // Node_::countElements, which sizes the setup's element array.
    int countElements() const { return childCount(); }

    // The cavity of this build, added to `setup`: one slot per child holding
    // the element of the child's master (a shared slot for an element with
    // several inputs) or the group's box, and the initial Gaussian pulse
    // whose wavelength, time and pulse parameters are bound. Null, reported,
    // when a child has no element, a parameter is missing or the shape is
    // not "Gaussian" (a cavity without a pulse cannot run).
    Cavity_* create(Setup_* setup);
    // Fills each shared slot with the pulses of the element's input
    // cavities, in input order, then links the children.
    bool link() override;

    Error_& getErrorSource() override { return *this; }
    void unlinkCavity(Cavity_* cavity) override;

    // The simulation object of the last build; null before it and after it is gone.
    Cavity_* Cavity = nullptr;

private:
    void setDescription();
};
