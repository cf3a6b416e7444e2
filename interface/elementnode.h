#pragma once
// Element nodes and element-group nodes: the tree items that build the
// simulation elements a cavity's pulse passes.
#include "core/elementnodelink.h"
#include "interface/node.h"

class ElementBaseNode_ : public Node_, public ElementNodeLink_ {
public:
    // The element belongs to its setup; it only forgets this node.
    ~ElementBaseNode_() override;

    CavityElement_* getCavityElement() const { return CavityElement; }

    Error_& getErrorSource() override { return *this; }
    void unlinkElement(CavityElement_* element) override;

    // The element of the last build; null before it and after it is gone.
    CavityElement_* CavityElement = nullptr;

protected:
    ElementBaseNode_() = default;
};

class ElementNode_ : public ElementBaseNode_ {
public:
    ElementNode_();
    QString getTypeString() const override { return QStringLiteral("CavityElement"); }
};

class ElementGroupNode_ : public ElementBaseNode_ {
public:
    ElementGroupNode_();
    QString getTypeString() const override { return QStringLiteral("ElementGroup"); }
};
