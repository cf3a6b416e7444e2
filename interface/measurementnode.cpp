#include "interface/measurementnode.h"

#include <QIcon>
#include <QTreeWidget>

#include "core/elements/mbox.h"
#include "core/measurement.h"
#include "interface/measurementrow.h"
#include "interface/parameter.h"
#include "interface/treehost.h"

MeasurementNode_::MeasurementNode_() : MeasurementTreeNode(MeasurementRow_::create(this)) {
    type = measurement;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/monitor.png")));
    showRow();
}

MeasurementNode_::MeasurementNode_(const MeasurementNode_& source)
    : Node_(source), MeasurementNodeLink_(), MeasurementTreeNode(MeasurementRow_::create(this)) {
    setIcon(0, source.icon(0));
    showRow();
}

void MeasurementNode_::showRow() {
    if (QTreeWidget* data = MW ? MW->getMeasurementTree() : nullptr)
        data->addTopLevelItem(MeasurementTreeNode);
    MeasurementTreeNode->refreshInfo();
}

Node_* MeasurementNode_::recursiveCopy() const {
    auto* copy = new MeasurementNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

// Without a group between cavity and node the group part is left out, so no
// name holds an empty section.
void MeasurementNode_::refreshFileName() {
    Parameter_* fileName = findParameter(QStringLiteral("FileName"));
    if (!fileName) {
        logError("A measurement without a \"FileName\" parameter keeps no file name.", debugA);
        return;
    }
    QString name = text(0) + ".dat";
    if (Node_* cavityNode = getParent(cavity)) {
        Node_* group = getParent(measurementgroup);
        if (group && group->getParent(cavity) == cavityNode)
            name = group->text(0) + "_" + name;
        name = cavityNode->text(0) + "_" + name;
    }
    fileName->setValue(name);
    if (MeasurementTreeNode) MeasurementTreeNode->refreshInfo();
}

MeasurementNode_::~MeasurementNode_() {
    if (Measurement) Measurement->detachNode();
    delete MeasurementTreeNode;
}

void MeasurementNode_::unlinkMeasurement() {
    Measurement = nullptr;
    if (MeasurementTreeNode) qDeleteAll(MeasurementTreeNode->takeChildren());
}

MeasurementGroupNode_::MeasurementGroupNode_() {
    setDescription();
    type = measurementgroup;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/box.png")));
}

MeasurementGroupNode_::MeasurementGroupNode_(const MeasurementGroupNode_& source)
    : Node_(source), MeasurementGroupNodeLink_() {
    setDescription();
    setIcon(0, source.icon(0));
}

void MeasurementGroupNode_::setDescription() {
    itemText = QStringLiteral("A measurement group contains a series of measurements.");
}

Node_* MeasurementGroupNode_::recursiveCopy() const {
    auto* copy = new MeasurementGroupNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

MeasurementGroupNode_::~MeasurementGroupNode_() {
    if (MBox) MBox->detachNode();
}

void MeasurementGroupNode_::unlinkBox(MBox_* box) {
    if (MBox == box) MBox = nullptr;
}
