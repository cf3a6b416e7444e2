#include "dialogs/selectparameter.h"

#include <QTreeWidget>

#include "interface/node.h"
#include "interface/parameter.h"
#include "interface/treehost.h"

SelectParameter::SelectParameter(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    connect(parameterTree, &QTreeWidget::itemClicked, this, &SelectParameter::generateParameterString);
}

void SelectParameter::buildTree(TreeHost_* host) {
    parameterTree->clear();
    QTreeWidget* setups = host ? host->getSetupTree() : nullptr;
    for (int i = 0; setups && i < setups->topLevelItemCount(); ++i)
        if (auto* setup = dynamic_cast<Node_*>(setups->topLevelItem(i))) addTopLevel(setup);
    if (parameterTree->topLevelItemCount() > 0) parameterTree->topLevelItem(0)->setSelected(true);
}

void SelectParameter::buildTree(Node_* node) {
    parameterTree->clear();
    addTopLevel(node);
}

QString SelectParameter::getSelection() const { return parameterString->text(); }

void SelectParameter::addTopLevel(Node_* node) {
    auto* item = new QTreeWidgetItem(QStringList{node->text(0)});
    parameterTree->addTopLevelItem(item);
    traverseNodes(item, node);
}

void SelectParameter::traverseNodes(QTreeWidgetItem* dest, Node_* src) {
    for (int i = 0; i < src->getParameters(); ++i) {
        Parameter_* p = src->getParameter(i);
        if (p->getMeasurable() && p->getVisible())
            dest->addChild(new QTreeWidgetItem(QStringList{p->getName()->text()}));
    }
    for (int i = 0; i < src->childCount(); ++i) {
        Node_* child = src->getChild(i);
        if (!child || child->getNodeType() == Node_::measurement ||
            child->getNodeType() == Node_::measurementgroup)
            continue;
        auto* item = new QTreeWidgetItem(QStringList{child->text(0)});
        dest->addChild(item);
        traverseNodes(item, child);
    }
}

// Only leaves make a path; the names from the top item down, joined by "%".
void SelectParameter::generateParameterString(QTreeWidgetItem* item, int) {
    if (item->childCount() > 0) return;
    QString path = item->text(0);
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) path = up->text(0) + "%" + path;
    parameterString->setText(path);
}
