#include "interface/elementnode.h"

#include <QIcon>
#include <QSet>

#include "core/cavityelement.h"
#include "core/elements/dfgfrequency.h"
#include "core/elements/dfgtime.h"
#include "core/elements/elementgroup.h"
#include "core/elements/elementplugin.h"
#include "core/elements/gain.h"
#include "core/elements/gaussianfilter.h"
#include "core/elements/linearloss.h"
#include "core/elements/propagation.h"
#include "core/elements/satabsorber.h"
#include "core/setup.h"
#include "interface/cavitynode.h"
#include "interface/nodebuild.h"
#include "interface/parameter.h"
#include "interface/treehost.h"

namespace {
// Every element and group node alive, so that a node being deleted can clear
// each reference to it, also from lists that do not mirror its own. Never
// destroyed, so nodes that outlive static destruction still find it.
QSet<ElementBaseNode_*>& liveNodes() {
    static auto* nodes = new QSet<ElementBaseNode_*>;
    return *nodes;
}

QString inputLabel(int i) { return "Input " + QString::number(i + 1); }
}  // namespace

ElementBaseNode_::ElementBaseNode_() { liveNodes().insert(this); }

ElementBaseNode_::ElementBaseNode_(const ElementBaseNode_& source)
    : Node_(source),
      ElementNodeLink_(),
      Instances{this},
      Inputs{this},
      InputTypes(source.InputTypes),
      MasterInput(source.isMasterInput() ? this : nullptr),
      MasterInstance(source.isMasterInstance() ? this : nullptr) {
    setIcon(0, source.icon(0));
    liveNodes().insert(this);
}

// The node leaves the tree first, so that no node deleted below can reach
// it through its children, whatever the graph links.
ElementBaseNode_::~ElementBaseNode_() {
    destroying = true;
    leaveTree();
    if (isMasterInput()) {
        while (ElementBaseNode_* n = nextToDelete(Inputs)) delete n;
    } else if (MasterInput && !MasterInput->destroying) {
        delete MasterInput;
    }
    if (isMasterInstance())
        while (ElementBaseNode_* n = nextToDelete(Instances)) delete n;
    forget();
    // Inputs holding their master's element leave it linked to the master.
    if (CavityElement && CavityElement->getElementNode() == static_cast<ElementNodeLink_*>(this))
        CavityElement->detachNode();
}

ElementBaseNode_* ElementBaseNode_::nextToDelete(const QList<ElementBaseNode_*>& list) const {
    for (ElementBaseNode_* n : list)
        if (n != this && !n->destroying) return n;
    return nullptr;
}

void ElementBaseNode_::forget() {
    liveNodes().remove(this);
    for (ElementBaseNode_* n : liveNodes()) {
        n->Instances.removeAll(this);
        n->Inputs.removeAll(this);
        if (n->MasterInput == this) n->MasterInput = nullptr;
        if (n->MasterInstance == this) n->MasterInstance = nullptr;
    }
}

void ElementBaseNode_::unlinkElement(CavityElement_* element) {
    if (CavityElement == element) CavityElement = nullptr;
    for (ElementBaseNode_* input : Inputs)
        if (input->CavityElement == element) input->CavityElement = nullptr;
}

void ElementBaseNode_::addInstance(ElementBaseNode_* node) {
    if (node && !Instances.contains(node)) Instances.append(node);
}

void ElementBaseNode_::addInput(ElementBaseNode_* node) {
    if (node && !Inputs.contains(node)) Inputs.append(node);
}

int ElementBaseNode_::getInstanceIndex(const ElementBaseNode_* node) const {
    return Instances.indexOf(const_cast<ElementBaseNode_*>(node));
}

int ElementBaseNode_::getInputIndex(const ElementBaseNode_* node) const {
    return Inputs.indexOf(const_cast<ElementBaseNode_*>(node));
}

void ElementBaseNode_::linkNewElement(const QList<ElementBaseNode_*>& inputs) {
    if (inputs.isEmpty()) return;
    for (ElementBaseNode_* n : inputs) {
        n->clearLinks();
        n->Instances = {n};
        n->MasterInstance = n;
        n->Inputs = inputs;
        n->MasterInput = inputs.first();
        for (int i = 0; i < inputs.size(); ++i) n->InputTypes.append(inputLabel(i));
    }
}

void ElementBaseNode_::linkAlone() { linkNewElement({this}); }

void ElementBaseNode_::clearLinks() {
    Instances.clear();
    Inputs.clear();
    InputTypes.clear();
    MasterInput = nullptr;
    MasterInstance = nullptr;
}

ElementBaseNode_* ElementBaseNode_::getMaster() const {
    return MasterInstance ? MasterInstance->MasterInput : nullptr;
}

CavityElement_* ElementBaseNode_::getMasterElement() const {
    const ElementBaseNode_* master = getMaster();
    return master ? master->CavityElement : nullptr;
}

CavityNode_* ElementBaseNode_::getCavityNode(int i, int k) const {
    if (k < 0 || k >= Instances.size()) return nullptr;
    ElementBaseNode_* input = getInput(i);
    ElementBaseNode_* node = input ? input->getInstance(k) : nullptr;
    return node ? dynamic_cast<CavityNode_*>(node->getParent(cavity)) : nullptr;
}

void ElementBaseNode_::linkInstances(const Node_& source, const CopyRoots_& roots) {
    relink(source, roots, List::instances);
}

void ElementBaseNode_::linkInputs(const Node_& source, const CopyRoots_& roots) {
    relink(source, roots, List::inputs);
}

void ElementBaseNode_::relink(const Node_& source, const CopyRoots_& roots, List which) {
    auto* from = dynamic_cast<const ElementBaseNode_*>(&source);
    if (!from) return;
    const bool instances = which == List::instances;
    for (ElementBaseNode_* x : instances ? from->Instances : from->Inputs) {
        auto* y = dynamic_cast<ElementBaseNode_*>(roots.counterpart(x));
        if (!y || y->getNodeType() != getNodeType()) continue;
        if (instances) {
            addInstance(y);
            y->addInstance(this);
            if (isMasterInstance()) y->MasterInstance = this;
        } else {
            addInput(y);
            y->addInput(this);
            if (isMasterInput()) y->MasterInput = this;
        }
    }
}

void ElementBaseNode_::linkNewInstance(ElementBaseNode_* node) {
    node->MasterInstance = this;
    const int n = Instances.size();
    log(std::to_string(n), normal);
    Instances.append(node);
    for (ElementBaseNode_* x : Instances) {
        node->addInstance(x);
        if (x != this && x != node) x->addInstance(node);
    }
    node->MasterInput = isMasterInput() ? node : nullptr;
    for (int i = 0; i < Inputs.size(); ++i) {
        node->InputTypes.append(InputTypes.value(i, inputLabel(i)));
        ElementBaseNode_* input = Inputs[i];
        ElementBaseNode_* row = input->getInstance(n);
        node->addInput(row);
        if (input->isMasterInput()) node->MasterInput = row;
    }
    for (ElementBaseNode_* y : node->Inputs) y->addInput(node);
}

ElementNode_::ElementNode_() {
    type = element;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/puzzle.png")));
}

ElementNode_::ElementNode_(const ElementNode_& source) : ElementBaseNode_(source) {}

Node_* ElementNode_::recursiveCopy() const {
    auto* copy = new ElementNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

// An unlinked node, or one whose master instance is not its own, has no
// column to grow.
ElementBaseNode_* ElementNode_::createInstance() {
    if (!isMasterInstance()) {
        if (MasterInstance && MasterInstance->isMasterInstance())
            return MasterInstance->createInstance();
        logError("An element without a master instance gets no new instance.", normal);
        return nullptr;
    }
    auto* node = new ElementNode_;
    linkNewInstance(node);
    node->setText(0, text(0) + "." + QString::number(getInstanceIndex(node)));
    node->setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/puzzle_disable.png")));
    return node;
}

ElementGroupNode_::ElementGroupNode_() {
    setDescription();
    type = elementgroup;
    setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/box.png")));
    linkAlone();
}

ElementGroupNode_::ElementGroupNode_(const ElementGroupNode_& source) : ElementBaseNode_(source) {
    setDescription();
}

void ElementGroupNode_::setDescription() {
    itemText = QStringLiteral(
        "An elemnt group contains a series of elements that are grouped together. This is done "
        "for clarity as the group may actually represent a physical item in the cavity. But it "
        "is also necessary for the 'stacking' of elements, i. e. the splitting them into "
        "smaller elements that are then called repeatedly. This is a straight forward, easy to "
        "implement yet expensive way to increase the accuracy of the elements.");
}

Node_* ElementGroupNode_::recursiveCopy() const {
    auto* copy = new ElementGroupNode_(*this);
    copy->linkRecursiveCopy(*this);
    return copy;
}

ElementBaseNode_* ElementGroupNode_::createInstance() {
    if (!isMasterInstance()) {
        if (MasterInstance && MasterInstance->isMasterInstance())
            return MasterInstance->createInstance();
        logError("A group without a master instance gets no new instance.", normal);
        return nullptr;
    }
    auto* node = new ElementGroupNode_;
    node->clearLinks();
    linkNewInstance(node);
    node->setText(0, text(0) + ".");
    node->setIcon(0, QIcon(QStringLiteral(":/Icons/resources/fugue/icon/box_disable.png")));
    return node;
}

// A one-input child sits in this group by definition; comparing its holder
// with input 0 would report each group but the first as mismatched.
void ElementGroupNode_::updateFromChildren() {
    int g = getInputs();
    for (int i = 0; i < childCount(); ++i) {
        auto* child = dynamic_cast<ElementBaseNode_*>(getChild(i));
        if (!child) continue;
        if (auto* group = dynamic_cast<ElementGroupNode_*>(child)) group->updateFromChildren();
        const int m = child->getInputs();
        if (m != 1 && m != g) {
            if (g != 1)
                logError("Unmatchable inputs in ElementGroupNode_::updateFromChildren().", normal);
            else if (adoptInputs(*child))
                g = m;
        }
        if (m > 1) checkInputs(*child);
    }
}

// An input's holder that is not a group (an input placed straight in a
// cavity) cannot be an input of this group.
bool ElementGroupNode_::adoptInputs(const ElementBaseNode_& child) {
    QList<ElementBaseNode_*> groups;
    for (int j = 0; j < child.getInputs(); ++j) {
        ElementBaseNode_* input = child.getInput(j);
        auto* group = dynamic_cast<ElementGroupNode_*>(input ? input->getParent() : nullptr);
        if (!group) break;
        groups.append(group);
    }
    if (groups.size() != child.getInputs() || !groups.contains(this)) {
        logError("Unmatchable inputs in ElementGroupNode_::updateFromChildren().", normal);
        return false;
    }
    Inputs = groups;
    for (int j = 0; j < groups.size(); ++j) {
        if (child.getInput(j)->isMasterInput()) MasterInput = groups[j];
        if (InputTypes.size() == j) InputTypes.append(inputLabel(j));
    }
    return true;
}

void ElementGroupNode_::checkInputs(const ElementBaseNode_& child) {
    for (int j = 0; j < child.getInputs(); ++j) {
        ElementBaseNode_* input = child.getInput(j);
        const Node_* holder = input ? input->getParent() : nullptr;
        if (holder != getInput(j))
            logError("Mismatched inputs in ElementGroupNode_::updateFromChildren().", normal);
    }
}

QList<ElementBaseNode_*> ElementGroupNode_::getMembers() {
    QList<ElementBaseNode_*> members;
    for (int i = 0; i < childCount(); ++i) {
        if (auto* member = dynamic_cast<ElementBaseNode_*>(getChild(i))) {
            members.append(member);
        } else if (Node_* other = getChild(i)) {
            log(("The " + other->getTypeString() + " " + other->text(0) + " in group " + text(0) +
                 " takes no slot.")
                    .toStdString(),
                normal);
        }
    }
    return members;
}

namespace {
// A built-in kind: its "ElementType" word, its log line, its maker, and the
// node parameters that feed entries 0, 1, ... of the element's table.
struct BuiltInKind {
    const char* word;
    const char* logLine;
    CavityElement_* (*make)(Setup_*, ElementNodeLink_*);
    std::initializer_list<const char*> parameters;
    bool mixing;
};

template <typename Kind>
CavityElement_* makeKind(Setup_* setup, ElementNodeLink_* node) {
    return new Kind(setup, node);
}

const BuiltInKind builtInKinds[] = {
    {"SaturableGain", "      Creating Gain.", makeKind<Gain_>,
     {"w", "R", "l", "sigma", "deltan0", "sigmap", "lambdap", "T1", "deltan", "recoverytime"}, false},
    {"SaturableAbsorber", "      Creating Saturable Absorber.", makeKind<SaturableAbsorber_>,
     {"w", "l", "Is", "loss", "T1", "deltan", "recoverytime"}, false},
    {"LinearLoss", "      Creating Loss.", makeKind<LinearLoss_>, {"amount"}, false},
    {"GaussianFilter", "      Creating Filter.", makeKind<GaussianFilter_>, {"fwhm", "mean"}, false},
    {"Propagation", "      Creating Propagation.", makeKind<Propagation_>, {"d", "n"}, false},
    {"DFGTime", "      Creating DFGT.", makeKind<DFGTime_>, {"w", "chi2", "l"}, true},
    {"DFGFrequency", "      Creating DFGF.", makeKind<DFGFrequency_>, {"w", "chi2", "l"}, true},
};

// Copies the parameter's value into table entry i and binds it there.
void bindEntry(CavityElement_& element, int i, Parameter_& p) {
    element.setParameter(i, NodeBuild::toDouble(p));
    p.setData(element.getParameterAddress(i));
}
}  // namespace

CavityElement_* ElementNode_::create(Setup_* setup) {
    if (!isMaster()) return nullptr;
    Parameter_* type = NodeBuild::required(*this, "ElementType");
    if (!type) return nullptr;
    const QString kind = type->getValue()->text();
    for (const BuiltInKind& k : builtInKinds) {
        if (kind != QLatin1String(k.word)) continue;
        QList<Parameter_*> values;
        for (const char* name : k.parameters)
            if (Parameter_* p = NodeBuild::required(*this, name)) values.append(p);
        if (values.size() != static_cast<int>(k.parameters.size())) return nullptr;
        log(k.logLine, debugA);
        CavityElement = k.make(setup, this);
        for (int i = 0; i < values.size(); ++i) bindEntry(*CavityElement, i, *values[i]);
        if (k.mixing)
            for (int i = 1; i < 3 && i < Inputs.size(); ++i) Inputs[i]->CavityElement = CavityElement;
        Error_::addSource(CavityElement->getId(), this);
        return CavityElement;
    }
    return createPlugin(setup, kind);
}

// Plug-in values are bound like built-in ones, so a value tuned during the
// run reaches the element and no parameter stays without a live field. The
// element never calls a library with several pulses, so a plug-in that takes
// several gets a warning once per build: its pulses pass unchanged.
CavityElement_* ElementNode_::createPlugin(Setup_* setup, const QString& kind) {
    PluginRegistry_* registry = MW ? MW->getPluginManager() : nullptr;
    if (!registry || !registry->isPlugin(kind)) {
        NodeBuild::refuse(*this, QStringLiteral("Unknown element type \"%1\".").arg(kind));
        return nullptr;
    }
    const pluginData plugin = registry->getPlugin(kind);
    auto element = std::make_unique<ElementPlugin_>(setup, this, plugin);
    QList<QPair<int, Parameter_*>> values;
    bool complete = true;
    for (int i = 0; i < element->getParameters(); ++i) {
        const std::string* name = element->getParameterName(i);
        if (!name || name->empty()) continue;
        Parameter_* p = NodeBuild::required(*this, name->c_str());
        complete = p && complete;
        if (p) values.append({i, p});
    }
    if (!complete) return nullptr;
    for (const auto& v : values) bindEntry(*element, v.first, *v.second);
    if (plugin.pulses > 1)
        report(QStringLiteral("The plug-in \"%1\" takes %2 pulses, but its several-pulse call is not made: "
                              "the element leaves its pulses unchanged.")
                   .arg(kind)
                   .arg(plugin.pulses),
               Error_::warning);
    CavityElement = element.release();
    return CavityElement;
}

bool ElementNode_::link() {
    if (isMaster() && CavityElement && !NodeBuild::attachCondition(*this, *CavityElement))
        return false;
    return Node_::link();
}

ElementGroup_* ElementGroupNode_::create(Setup_* setup) {
    if (!isMaster()) return nullptr;
    Parameter_* iterations = NodeBuild::required(*this, "Iterations");
    if (!iterations) return nullptr;
    auto* group = new ElementGroup_(setup, this, getMembers().size());
    group->setIterations(NodeBuild::toInt(*iterations));
    CavityElement = group;
    return group;
}

bool ElementGroupNode_::link() {
    auto* group = isMaster() ? dynamic_cast<ElementGroup_*>(CavityElement) : nullptr;
    if (group) {
        const QList<ElementBaseNode_*> members = getMembers();
        for (int i = 0; i < members.size(); ++i) {
            CavityElement_* element = members[i]->getMasterElement();
            if (!element)
                return NodeBuild::refuse(*members[i], QStringLiteral("%1 has no element in group %2 "
                                                                     "in this build.")
                                                          .arg(members[i]->text(0), text(0)));
            group->setElement(i, element, members[i]->getInputs());
        }
        if (!NodeBuild::attachCondition(*this, *group)) return false;
    }
    return Node_::link();
}
