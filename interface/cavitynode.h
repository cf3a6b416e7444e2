#pragma once
// A cavity of a setup: its children are the elements, element groups and
// measurement groups the pulse passes in one round trip, in order.
#include "core/cavitynodelink.h"
#include "interface/node.h"

class CavityNode_ : public Node_, public CavityNodeLink_ {
public:
    CavityNode_();
    // Copies the subtree; no cavity of its own until built.
    CavityNode_(const CavityNode_& source);
    // The cavity belongs to its setup; it only forgets this node.
    ~CavityNode_() override;

    QString getTypeString() const override { return QStringLiteral("Cavity"); }
    Node_* recursiveCopy() const override;

    Error_& getErrorSource() override { return *this; }
    void unlinkCavity(Cavity_* cavity) override;

    // The simulation object of the last build; null before it and after it is gone.
    Cavity_* Cavity = nullptr;

private:
    void setDescription();
};
