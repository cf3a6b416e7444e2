#include "interface/node.h"

#include <QStringList>
#include <QTreeWidget>

#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/messagebox.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "interface/setupstatus.h"
#include "interface/treehost.h"
#include "stringstream.h"

TreeHost_* Node_::MW = nullptr;

namespace {
// Sections past the last are empty.
QString section(const QStringList& sections, int k) {
    return k < sections.size() ? sections[k] : QString();
}

Node_* named(const QList<Node_*>& nodes, const QString& name) {
    for (Node_* n : nodes)
        if (n && n->text(0) == name) return n;
    return nullptr;
}

QList<Node_*> topLevelNodes(QTreeWidget* tree) {
    QList<Node_*> nodes;
    if (!tree) return nodes;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        nodes.append(dynamic_cast<Node_*>(tree->topLevelItem(i)));
    return nodes;
}

// A copy of a child by its own kind's copy constructor; null for a setup.
Node_* copyOfKind(const Node_& child, Logger_& log) {
    if (auto* n = dynamic_cast<const CavityNode_*>(&child)) {
        log.log("Adding cavity.", Logger_::debugC);
        return new CavityNode_(*n);
    }
    if (auto* n = dynamic_cast<const ElementNode_*>(&child)) {
        log.log("Adding element.", Logger_::debugC);
        return new ElementNode_(*n);
    }
    if (auto* n = dynamic_cast<const MeasurementNode_*>(&child)) {
        log.log("Adding measurement.", Logger_::debugC);
        return new MeasurementNode_(*n);
    }
    if (auto* n = dynamic_cast<const ElementGroupNode_*>(&child)) {
        log.log("Adding elementgroup.", Logger_::debugC);
        return new ElementGroupNode_(*n);
    }
    if (auto* n = dynamic_cast<const MeasurementGroupNode_*>(&child)) {
        log.log("Adding measurementgroup.", Logger_::debugC);
        return new MeasurementGroupNode_(*n);
    }
    return nullptr;
}
}  // namespace

Node_* CopyRoots_::counterpart(const Node_* original) const {
    QStringList names;
    const QTreeWidgetItem* n = original;
    for (; n && n != &source; n = n->parent()) names.prepend(n->text(0));
    if (!n) return nullptr;
    Node_* current = &copy;
    for (const QString& name : names) {
        current = current->findChildNode(name);
        if (!current) return nullptr;
    }
    return current;
}

Node_::Node_() : QTreeWidgetItem(itemType), Error_(this) {}

Node_::Node_(QTreeWidget* tree) : QTreeWidgetItem(tree, itemType), Error_(this) {}

// A copied parameter starts unbound: the source's binding points into the
// source's own run and dies with it.
Node_::Node_(const Node_& source) : QTreeWidgetItem(itemType), Error_(this) {
    log(("Creating " + source.text(0) + ".").toStdString(), debugB);
    setText(0, source.text(0));
    setFlags(source.flags());
    type = source.type;
    log(("Adding " + QString::number(source.Parameter.size()) + " parameters.").toStdString(),
        debugC);
    for (const Parameter_* p : source.Parameter) {
        if (passesLevel(debugC)) {
            log(("Adding parameter " + p->getName()->text() + ":").toStdString(), debugC);
            log(("  Creating parameter. Type: " + p->getTypeString() +
                 ", Dimension: " + QString::number(p->getDimension()))
                    .toStdString(),
                debugC);
        }
        auto* copy = new Parameter_(*p);
        copy->setData(nullptr);
        addParameter(copy);
    }
    log(("Adding " + QString::number(source.childCount()) + " children.").toStdString(), debugC);
    for (int i = 0; i < source.childCount(); ++i)
        if (const Node_* child = source.getChild(i))
            if (Node_* copy = copyOfKind(*child, *this)) addChild(copy);
}

// Every owned parameter goes with its node, selected or not: a parameter's
// cells leave the parameter table when they are deleted. The children go
// while this node is still a whole tree item, re-reading the first child
// each time, because deleting one element can delete others of its graph.
Node_::~Node_() {
    leaveTree();
    for (Parameter_* p : Parameter)
        if (p->getOwner() == this) delete p;
    Parameter.clear();
    while (QTreeWidgetItem* c = child(0)) delete c;
}

void Node_::leaveTree() {
    if (QTreeWidgetItem* up = parent()) {
        up->removeChild(this);
    } else if (QTreeWidget* tree = treeWidget()) {
        const int index = tree->indexOfTopLevelItem(this);
        if (index >= 0) tree->takeTopLevelItem(index);
    }
}

QWidget* Node_::getMainWindow() { return MW ? MW->getDialogParent() : nullptr; }

Node_* Node_::getParent() const { return dynamic_cast<Node_*>(parent()); }

Node_* Node_::getChild(int i) const {
    return i >= 0 && i < childCount() ? dynamic_cast<Node_*>(child(i)) : nullptr;
}

Node_* Node_::getParent(type_ kind) {
    for (Node_* n = this; n; n = n->getParent())
        if (n->type == kind) return n;
    return nullptr;
}

int Node_::getLevel() {
    int level = 0;
    for (Node_* n = this; n; n = n->getParent(), ++level)
        if (n->type == setup) return level;
    return -1;
}

void Node_::addParameter(Parameter_* parameter) {
    parameter->setOwner(this);
    Parameter.append(parameter);
}

Parameter_* Node_::getParameter(int i) {
    return i >= 0 && i < Parameter.size() ? Parameter[i] : nullptr;
}

Parameter_* Node_::getParameter(const QString& name) {
    Parameter_* p = findParameter(name);
    if (!p)
        logError(("WARNING: Failed to locate parameter " + name + "!").toStdString(), debugA);
    return p;
}

Parameter_* Node_::findParameter(const QString& name) const {
    for (Parameter_* p : Parameter)
        if (p->getName()->text() == name) return p;
    return nullptr;
}

bool Node_::hasParameter(const QString& name) const { return findParameter(name) != nullptr; }

Parameter_* Node_::getParameterRow(int row) const {
    if (row < 0) return nullptr;
    for (Parameter_* p : Parameter)
        if (p->getVisible() && row-- == 0) return p;
    return nullptr;
}

QString Node_::getPath() {
    if (passesLevel(debugD))
        log(("Traversing up: " + getTypeString()).toStdString(), debugD);
    Node_* up = getParent();
    return up ? up->getPath() + "%" + text(0) : text(0);
}

Node_* Node_::descend(Node_* start, const QStringList& sections, int first) {
    Node_* current = start;
    for (int k = first; !section(sections, k).isEmpty(); ++k) {
        if (!current) continue;
        if (Node_* next = current->findChildNode(sections[k])) current = next;
    }
    return current;
}

Node_* Node_::getNodeFromPath(const QString& path) {
    const QStringList sections = path.split('%');
    return descend(named(topLevelNodes(treeWidget()), sections[0]), sections, 1);
}

Node_* Node_::getNodeFromPathInSetup(const QString& path) {
    if (type != setup) {
        if (Node_* up = getParent()) return up->getNodeFromPathInSetup(path);
        report("A path was looked up on a node outside any setup: " + path, Error_::error);
        return nullptr;
    }
    const QStringList sections = path.split('%');
    Node_* current = this;
    for (int k = 0; !section(sections, k).isEmpty(); ++k) {
        current = current->findChildNode(sections[k]);
        if (!current) return nullptr;
    }
    return current;
}

Parameter_* Node_::getParameterFromPath(const QString& path) {
    const QStringList sections = path.split('%');
    Node_* current = descend(named(topLevelNodes(treeWidget()), sections[0]), sections, 1);
    int m = 0;
    while (!section(sections, m + 1).isEmpty()) ++m;
    if (m < 1 || !current) return nullptr;
    return current->getParameter(sections[m]);
}

Parameter_* Node_::getParameterFromPathInSetup(const QString& path) {
    QStringList sections = path.split('%');
    const QString name = sections.takeLast();
    Node_* node = getNodeFromPathInSetup(sections.join('%'));
    return node && node->hasParameter(name) ? node->findParameter(name) : nullptr;
}

Node_* Node_::findChildNode(const QString& name) const {
    for (int i = 0; i < childCount(); ++i) {
        Node_* c = getChild(i);
        if (c && c->text(0) == name) return c;
    }
    return nullptr;
}

QList<Node_*> Node_::siblings(QTreeWidget* topLevel) const {
    if (Node_* up = getParent()) {
        QList<Node_*> nodes;
        for (int i = 0; i < up->childCount(); ++i) nodes.append(up->getChild(i));
        return nodes;
    }
    return topLevelNodes(topLevel);
}

Node_* Node_::findNodeLocal(const QString& name) {
    QTreeWidget* tree = MW && MW->getSetupTree() ? MW->getSetupTree() : treeWidget();
    return named(siblings(tree), name);
}

Node_* Node_::findDuplicate() {
    for (Node_* n : siblings(treeWidget()))
        if (n && n != this && n->text(0) == text(0)) return n;
    return nullptr;
}

QString Node_::generateUniqueLocal(const QString& base) const {
    for (int i = 1;; ++i) {
        const QString name = base + QString::number(i);
        if (!findChildNode(name)) return name;
    }
}

bool Node_::selectedInTree() const { return treeWidget() && isSelected(); }

Node_* Node_::findSelected() {
    if (selectedInTree()) return this;
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i))
            if (Node_* s = c->findSelected()) return s;
    return nullptr;
}

Node_* Node_::findSelected(QTreeWidget* tree) {
    for (Node_* n : topLevelNodes(tree))
        if (n)
            if (Node_* s = n->findSelected()) return s;
    return nullptr;
}

bool Node_::hasSelectedChildren() {
    if (selectedInTree()) return true;
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i))
            if (c->hasSelectedChildren()) return true;
    return false;
}

bool Node_::link() {
    bool linked = true;
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i)) linked = c->link() && linked;
    return linked;
}

void Node_::unbindSubtree() {
    for (Parameter_* p : Parameter) p->setData(nullptr);
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i)) c->unbindSubtree();
}

bool Node_::buildsElement() const {
    if (auto* e = dynamic_cast<const ElementBaseNode_*>(this)) return e->isMaster();
    const Node_* up = getParent();
    return type == measurementgroup && up && up->type == cavity;
}

int Node_::countElements() const {
    int n = buildsElement() ? 1 : 0;
    for (int i = 0; i < childCount(); ++i)
        if (const Node_* c = getChild(i)) n += c->countElements();
    return n;
}

void Node_::createElementList(Node_** list, int& count) {
    if (buildsElement()) list[count++] = this;
    for (int i = 0; i < childCount(); ++i)
        if (Node_* c = getChild(i)) c->createElementList(list, count);
}

void Node_::linkRecursiveCopy(const Node_& source) {
    relinkCopy(source, CopyRoots_{source, *this});
}

void Node_::relinkCopy(const Node_& source, const CopyRoots_& roots) {
    auto* copy = dynamic_cast<ElementBaseNode_*>(this);
    if (copy && dynamic_cast<const ElementBaseNode_*>(&source)) {
        copy->linkInstances(source, roots);
        copy->linkInputs(source, roots);
    }
    // The copy left out the setups among the source's children.
    int k = 0;
    for (int i = 0; i < source.childCount(); ++i) {
        const Node_* s = source.getChild(i);
        if (!s || s->type == setup) continue;
        if (Node_* c = getChild(k++)) c->relinkCopy(*s, roots);
    }
}

void Node_::addLocalError(const QString& message, int code) {
    auto* node = dynamic_cast<SetupNode_*>(getParent(setup));
    SetupStatusSink_* status = node ? node->getSetupStatusWidget() : nullptr;
    if (status) status->addError(message, this, code);
    else log("An error of a node outside any setup is not shown in a status tab.", debugB);
}

bool Node_::allowsChild(type_ parent, type_ child) {
    switch (parent) {
        case setup: return child == cavity || child == measurementgroup;
        case cavity:
        case elementgroup: return child == elementgroup || child == element || child == measurementgroup;
        case measurement:
        case measurementgroup: return child == measurement;
        case element: return false;
    }
    return false;
}

bool Node_::verify() {
    for (Parameter_* p : Parameter)
        if (!p->verify()) {
            MessageBox_::show(MessageBox_::warning, getMainWindow(), QStringLiteral("Expression Error"),
                              "The expression " + p->getValue()->text() + " for parameter " + getPath() +
                                  p->getName()->text() +
                                  " is not valid. Correct it before you run the simulation.");
            return false;
        }
    for (int i = 0; i < childCount(); ++i) {
        Node_* c = getChild(i);
        if (!c) continue;
        if (!allowsChild(type, c->type)) {
            MessageBox_::show(MessageBox_::warning, getMainWindow(), QStringLiteral("Setup Error"),
                              "The item " + c->text(0) + " cannot be child of " + text(0) +
                                  ". You have to correct this before you can run the simulation.");
            return false;
        }
        if (!c->verify()) return false;
    }
    return true;
}

bool Node_::verify(int index) {
    Parameter_* p = getParameter(index);
    return p && p->verify();
}
