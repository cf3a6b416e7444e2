#include "interface/elementnode.h"

#include <QIcon>

#include "core/cavityelement.h"

ElementBaseNode_::~ElementBaseNode_() {
    if (CavityElement) CavityElement->detachNode();
}

void ElementBaseNode_::unlinkElement(CavityElement_* element) {
    if (CavityElement == element) CavityElement = nullptr;
}

ElementNode_::ElementNode_() {
    type = element;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/puzzle.png")));
}

ElementGroupNode_::ElementGroupNode_() {
    itemText = QStringLiteral(
        "An elemnt group contains a series of elements that are grouped together. This is done "
        "for clarity as the group may actually represent a physical item in the cavity. But it "
        "is also necessary for the 'stacking' of elements, i. e. the splitting them into "
        "smaller elements that are then called repeatedly. This is a straight forward, easy to "
        "implement yet expensive way to increase the accuracy of the elements.");
    type = elementgroup;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/box.png")));
}
