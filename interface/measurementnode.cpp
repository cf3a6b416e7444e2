#include "interface/measurementnode.h"

#include <QIcon>
#include <QTreeWidget>

#include "core/elements/mbox.h"
#include "core/measurement.h"
#include "interface/measurementrow.h"
#include "interface/treehost.h"

MeasurementNode_::MeasurementNode_() : MeasurementTreeNode(MeasurementRow_::create(this)) {
    if (QTreeWidget* data = MW ? MW->getMeasurementTree() : nullptr)
        data->addTopLevelItem(MeasurementTreeNode);
    type = measurement;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/monitor.png")));
    MeasurementTreeNode->refreshInfo();
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
    itemText = QStringLiteral("A measurement group contains a series of measurements.");
    type = measurementgroup;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/box.png")));
}

MeasurementGroupNode_::~MeasurementGroupNode_() {
    if (MBox) MBox->detachNode();
}

void MeasurementGroupNode_::unlinkBox(MBox_* box) {
    if (MBox == box) MBox = nullptr;
}
