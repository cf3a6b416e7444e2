#include "interface/measurementnode.h"

#include <QIcon>
#include <QTreeWidget>

#include "core/elements/mbox.h"
#include "core/measurement.h"
#include "interface/expressionparser.h"
#include "interface/measurementrow.h"
#include "interface/nodebuild.h"
#include "interface/parameter.h"
#include "interface/treehost.h"
#include "stringstream.h"

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

int MeasurementNode_::getOutputDimension() const {
    Parameter_* measured = findParameter(QStringLiteral("Parameter"));
    return measured ? measured->getDimension() : -1;
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

Measurement_* MeasurementNode_::create(Setup_* setup) {
    Parameter_* measured = NodeBuild::required(*this, "Parameter");
    ExpressionParser_* value = nullptr;
    if (!measured || !NodeBuild::liveExpression(*this, *measured, value)) return nullptr;
    if (!value) {
        NodeBuild::refuse(*this, QStringLiteral("\"Parameter\" names nothing to measure."));
        return nullptr;
    }
    ExpressionParser_* test = nullptr;
    if (hasParameter(QStringLiteral("Condition")) &&
        !NodeBuild::liveExpression(*this, *getParameter(QStringLiteral("Condition")), test))
        return nullptr;
    Measurement = new Measurement_(setup, this);
    Measurement->setOperation(value->getOperation());
    Measurement->setCondition(test ? test->getCondition() : nullptr);
    return Measurement;
}

MBox_* MeasurementGroupNode_::create(Setup_* setup) {
    MBox = new MBox_(setup, childCount(), this);
    return MBox;
}

bool MeasurementGroupNode_::link() {
    log("About to link ...", debugC);
    bool linked = true;
    for (int i = 0; MBox && i < childCount(); ++i) {
        if (passesLevel(debugC))
            log(StringStream_() << i << ": Linking " << static_cast<void*>(MBox->getMeasurement(i)), debugC);
        auto* node = dynamic_cast<MeasurementNode_*>(getChild(i));
        if (!node) {
            linked = NodeBuild::refuse(*getChild(i), QStringLiteral("Only measurements stand in a "
                                                                    "measurement group."));
            continue;
        }
        Measurement_* m = node->create(MBox->getSetup());
        if (m) MBox->addMeasurement(m);
        else linked = false;
    }
    return Node_::link() && linked;
}
