#include "interface/cavitynode.h"

#include <QIcon>

#include "core/cavity.h"

CavityNode_::CavityNode_() {
    setDescription();
    type = cavity;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/block.png")));
}

CavityNode_::CavityNode_(const CavityNode_& source) : Node_(source), CavityNodeLink_() {
    setDescription();
    setIcon(0, source.icon(0));
}

Node_* CavityNode_::recursiveCopy() const {
    auto* copy = new CavityNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

void CavityNode_::setDescription() {
    itemText = QStringLiteral(
        "An optical cavity contains the cavity elements as they are passed by the pulse in one "
        "roundtrip. Note that for a linear caviy the pulse passes the same elements twice. Each "
        "cavity contains exactly one pulse. If you have multiple pulses set up multiple cavities "
        "that share the same elements.");
}

CavityNode_::~CavityNode_() {
    if (Cavity) Cavity->detachNode();
}

void CavityNode_::unlinkCavity(Cavity_* cavity) {
    if (Cavity == cavity) Cavity = nullptr;
}
