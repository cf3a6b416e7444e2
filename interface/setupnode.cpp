#include "interface/setupnode.h"

#include <QIcon>
#include <QTabWidget>

#include "core/setup.h"
#include "interface/accessor.h"
#include "interface/nodebuild.h"
#include "interface/parameter.h"
#include "interface/setupstatus.h"
#include "interface/treehost.h"

SetupNode_::SetupNode_(QTreeWidget* tree) : Node_(tree) {
    setDescription();
    type = setup;
    openStatusTab();
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/wrench.png")));
}

SetupNode_::SetupNode_(const SetupNode_& source) : Node_(source), SetupNodeLink_() {
    setDescription();
    setIcon(0, source.icon(0));
    openStatusTab();
}

Node_* SetupNode_::recursiveCopy() const {
    auto* copy = new SetupNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

void SetupNode_::setDescription() {
    itemText = QStringLiteral(
        "The setup holds a number of cavities that represent the system to be simulated. There "
        "can be multiple setups that can be ran simultaneously to exploit parallel systems.");
}

void SetupNode_::openStatusTab() {
    SetupStatusWidget = SetupStatusSink_::create(getMainWindow(), this);
    StatusPage = SetupStatusWidget->getWidget();
    if (QTabWidget* tabs = statusTabs()) tabs->addTab(StatusPage, text(0));
    Accessor = std::make_unique<Accessor_>();
}

SetupNode_::~SetupNode_() {
    if (Setup) Setup->detachNode();
    Setup = nullptr;
    Accessor.reset();
    if (StatusPage) delete SetupStatusWidget;
    SetupStatusWidget = nullptr;
}

QTabWidget* SetupNode_::statusTabs() { return MW ? MW->getTabWidgetSetupStatus() : nullptr; }

void SetupNode_::setData(int column, int role, const QVariant& value) {
    Node_::setData(column, role, value);
    if (column != 0 || (role != Qt::DisplayRole && role != Qt::EditRole)) return;
    QTabWidget* tabs = statusTabs();
    const int index = tabs && StatusPage ? tabs->indexOf(StatusPage) : -1;
    if (index >= 0) tabs->setTabText(index, text(0));
}

void SetupNode_::disconnectSetup() {
    Setup = nullptr;
    unbindSubtree();
    if (Accessor) Accessor->reset();
    if (SetupStatusWidget && StatusPage) SetupStatusWidget->clearSetup();
}

int SetupNode_::countCavities() const {
    int n = 0;
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i); c && c->getNodeType() == cavity) ++n;
    return n;
}

Node_* SetupNode_::getMeasurementsGroup() const {
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i);
            c && c->getNodeType() == measurementgroup && c->text(0) == QLatin1String("Measurements"))
            return c;
    return nullptr;
}

int SetupNode_::countMeasurements() const {
    Node_* group = getMeasurementsGroup();
    return group ? group->childCount() : 0;
}

int SetupNode_::getSamples() const {
    Parameter_* samples = findParameter(QStringLiteral("Samples"));
    return samples ? NodeBuild::toInt(*samples) : 0;
}

bool SetupNode_::isRunning() const { return Setup && Setup->isRunning(); }

Setup_* SetupNode_::create(Base_* base) {
    unbindSubtree();
    Setup = new Setup_(countCavities(), countElements(), countMeasurements(), base, this);
    Parameter_* roundtrips = NodeBuild::required(*this, "Roundtrips");
    Parameter_* roundtrip = NodeBuild::required(*this, "Roundtrip");
    Parameter_* samples = NodeBuild::required(*this, "Samples");
    Parameter_* directory = NodeBuild::required(*this, "Directory");
    if (roundtrips) {
        roundtrips->setData(Setup->getRoundtripsAddress());
        Setup->setRoundtrips(NodeBuild::toInt(*roundtrips));
    }
    if (roundtrip) roundtrip->setData(Setup->getRoundtripAddress());
    if (samples) {
        samples->setData(Setup->getSamplesAddress());
        Setup->setSamples(NodeBuild::toInt(*samples));
    }
    if (directory) Setup->setDirectory(directory->getValue()->text());
    if (!roundtrips || !roundtrip || !samples || !directory)
        Setup->refuse(QStringLiteral("The setup lacks a parameter and is not started."));
    if (SetupStatusSink_* status = getSetupStatusWidget()) status->setSetup(Setup);
    return Setup;
}
