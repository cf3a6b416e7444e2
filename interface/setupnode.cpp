#include "interface/setupnode.h"

#include <QIcon>
#include <QTabWidget>

#include "core/setup.h"
#include "interface/accessor.h"
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
    if (Accessor) Accessor->reset();
    if (SetupStatusWidget && StatusPage) SetupStatusWidget->clearSetup();
}
