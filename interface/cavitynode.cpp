#include "interface/cavitynode.h"

#include <QIcon>

#include "core/cavity.h"

CavityNode_::CavityNode_() {
    itemText = QStringLiteral(
        "An optical cavity contains the cavity elements as they are passed by the pulse in one "
        "roundtrip. Note that for a linear caviy the pulse passes the same elements twice. Each "
        "cavity contains exactly one pulse. If you have multiple pulses set up multiple cavities "
        "that share the same elements.");
    type = cavity;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/block.png")));
}

CavityNode_::~CavityNode_() {
    if (Cavity) Cavity->detachNode();
}

void CavityNode_::unlinkCavity(Cavity_* cavity) {
    if (Cavity == cavity) Cavity = nullptr;
}
