#include "interface/treebuilder.h"

#include <QTreeWidget>
#include <vector>

#include "core/elements/elementgroup.h"
#include "core/elements/mbox.h"
#include "core/setup.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/nodebuild.h"
#include "interface/setupnode.h"
#include "interface/treehost.h"

TreeBuilder_::TreeBuilder_(QTreeWidget* tree) {
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        if (auto* node = dynamic_cast<SetupNode_*>(tree->topLevelItem(i))) Nodes.append(node);
    Setups.fill(nullptr, Nodes.size());
}

void TreeBuilder_::build(Base_& base, TreeHost_& host) {
    TreeBuilder_ builder(host.getSetupTree());
    base.buildExperiment(builder);
}

int TreeBuilder_::getSetups() { return Nodes.size(); }

void TreeBuilder_::fail(int i) {
    if (Setups[i] && !Setups[i]->isRefused())
        Setups[i]->refuse(QStringLiteral("The setup could not be built and is not started."));
}

Setup_* TreeBuilder_::createSetup(int i, Base_* base) {
    Setups[i] = Nodes[i]->create(base);
    return Setups[i];
}

void TreeBuilder_::addElements(int i, Setup_* setup) {
    const int n = setup->getElements();
    std::vector<Node_*> list(static_cast<size_t>(n), nullptr);
    int count = 0;
    Nodes[i]->createElementList(list.data(), count);
    for (Node_* node : list) {
        CavityElement_* element = nullptr;
        if (auto* group = dynamic_cast<ElementGroupNode_*>(node)) element = group->create(setup);
        else if (auto* e = dynamic_cast<ElementNode_*>(node)) element = e->create(setup);
        else if (auto* box = dynamic_cast<MeasurementGroupNode_*>(node)) element = box->create(setup);
        else
            NodeBuild::refuse(*Nodes[i], QStringLiteral("FATAL: unexpected cavity element in setup %1")
                                             .arg(i));
        if (element) setup->addElement(element);
        else fail(i);
    }
}

int TreeBuilder_::getChildren(int i) { return Nodes[i]->childCount(); }

bool TreeBuilder_::isCavity(int i, int child) {
    return dynamic_cast<CavityNode_*>(Nodes[i]->child(child)) != nullptr;
}

void TreeBuilder_::addCavity(int i, int child, Setup_* setup) {
    if (!static_cast<CavityNode_*>(Nodes[i]->child(child))->create(setup)) fail(i);
}

void TreeBuilder_::link(int i) {
    if (!Nodes[i]->link()) fail(i);
}

void TreeBuilder_::addMeasurement(int i, int j, Setup_* setup) {
    Node_* group = Nodes[i]->getMeasurementsGroup();
    auto* node = group ? dynamic_cast<MeasurementNode_*>(group->child(j)) : nullptr;
    Measurement_* m = node ? node->create(setup) : nullptr;
    if (m) setup->addMeasurement(m);
    else fail(i);
}
