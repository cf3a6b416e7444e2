#include "interface/elementnode.h"

#include <gtest/gtest.h>

#include <QSet>
#include <functional>
#include <memory>

#include "core/elements/linearloss.h"
#include "interface/cavitynode.h"
#include "interface/measurementnode.h"
#include "interface/setupnode.h"
#include "tests/core/logcapture.h"
#include "tests/interface/fakehost.h"

namespace {

using Nodes = QList<ElementBaseNode_*>;

// Setup1 { CavityA, CavityB, CavityC, Measurements }
class ElementGraph : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        setup = new SetupNode_(host.setupTree);
        setup->setText(0, "Setup1");
        cavityA = add<CavityNode_>(setup, "CavityA");
        cavityB = add<CavityNode_>(setup, "CavityB");
        cavityC = add<CavityNode_>(setup, "CavityC");
        measurements = add<MeasurementGroupNode_>(setup, "Measurements");
    }

    // One node per holder, linked as a new element with input 0 as master.
    template <class N = ElementNode_>
    static QList<N*> newElement(const QString& name, const QList<Node_*>& holders) {
        QList<N*> nodes;
        Nodes base;
        for (Node_* holder : holders) {
            nodes.append(add<N>(holder, name));
            base.append(nodes.last());
        }
        ElementBaseNode_::linkNewElement(base);
        return nodes;
    }

    static ElementBaseNode_* placeInstance(ElementBaseNode_* of, Node_* holder) {
        ElementBaseNode_* node = of->createInstance();
        holder->addChild(node);
        return node;
    }

    static Nodes instances(const ElementBaseNode_* n) {
        Nodes list;
        for (int k = 0; k < n->getInstances(); ++k) list.append(n->getInstance(k));
        return list;
    }

    static Nodes inputs(const ElementBaseNode_* n) {
        Nodes list;
        for (int i = 0; i < n->getInputs(); ++i) list.append(n->getInput(i));
        return list;
    }

    SetupNode_* setup = nullptr;
    CavityNode_* cavityA = nullptr;
    CavityNode_* cavityB = nullptr;
    CavityNode_* cavityC = nullptr;
    MeasurementGroupNode_* measurements = nullptr;
};

TEST_F(ElementGraph, OneInputInstancesShareTheColumnAndKeepTheirNames) {
    ElementBaseNode_* loss = newElement("Loss", {cavityA}).first();
    EXPECT_TRUE(loss->isMaster());
    EXPECT_EQ(loss->getMaster(), loss);

    ElementBaseNode_* first = placeInstance(loss, cavityB);
    EXPECT_EQ(first->text(0), "Loss.1");
    EXPECT_EQ(instances(loss), (Nodes{loss, first}));
    EXPECT_EQ(instances(first), (Nodes{loss, first}));
    EXPECT_EQ(inputs(first), (Nodes{first}));
    EXPECT_EQ(first->getMaster(), loss);
    EXPECT_FALSE(first->isMaster());

    // Asked of an instance, the call goes to the master.
    ElementBaseNode_* second = placeInstance(first, cavityC);
    EXPECT_EQ(second->text(0), "Loss.2");
    loss->addInstance(second);
    EXPECT_EQ(loss->getInstances(), 3);

    // Names are never renumbered: the next instance takes its list index.
    delete first;
    EXPECT_EQ(instances(loss), (Nodes{loss, second}));
    EXPECT_EQ(instances(second), (Nodes{loss, second}));
    EXPECT_EQ(placeInstance(loss, cavityB)->text(0), "Loss.2");
}

TEST_F(ElementGraph, TwoInputInstancesFormAFullRowOfTheGrid) {
    const QList<ElementNode_*> dfg = newElement("DFG", {cavityA, cavityB});
    ElementNode_* a0 = dfg[0];
    ElementNode_* b0 = dfg[1];
    EXPECT_EQ(b0->getMaster(), a0);
    EXPECT_EQ(b0->getInputType(1), "Input 2");

    ElementBaseNode_* a1 = placeInstance(a0, cavityA);
    ElementBaseNode_* b1 = placeInstance(b0, cavityC);
    EXPECT_EQ(inputs(a1), (Nodes{a1, b1}));
    EXPECT_EQ(inputs(b1), (Nodes{a1, b1}));
    EXPECT_EQ(a1->getMasterInput(), a1);
    EXPECT_EQ(b1->getMasterInput(), a1);
    EXPECT_EQ(b1->getMaster(), a0);
    EXPECT_EQ(instances(b0), (Nodes{b0, b1}));
    EXPECT_EQ(b1->getInputType(0), "Input 1");

    EXPECT_EQ(a0->getCavityNode(1, 1), cavityC);
    EXPECT_EQ(a0->getCavityNode(0, 0), cavityA);
    EXPECT_EQ(a0->getCavityNode(2, 0), nullptr);
    EXPECT_EQ(a0->getCavityNode(1, 2), nullptr);
    EXPECT_EQ(a0->getCavityNode(-1, 0), nullptr);
}

// A 2 x 2 grid: A0 and B0 (instance 0) in cavities A and B, A1 and B1
// (instance 1) in cavity C.
TEST_F(ElementGraph, DeletingANodeDeletesWhatBelongsWithIt) {
    struct Case {
        int deleted;  // index into {A0, B0, A1, B1}
        QList<int> survivors;
    };
    const Case cases[] = {{0, {}}, {1, {}}, {2, {0, 1}}, {3, {0, 1}}};
    for (const Case& c : cases) {
        const QList<ElementNode_*> row0 = newElement("DFG", {cavityA, cavityB});
        ElementBaseNode_* a1 = placeInstance(row0[0], cavityC);
        ElementBaseNode_* b1 = placeInstance(row0[1], cavityC);
        const Nodes grid{row0[0], row0[1], a1, b1};
        delete grid[c.deleted];
        const int left = cavityA->childCount() + cavityB->childCount() + cavityC->childCount();
        EXPECT_EQ(left, c.survivors.size()) << "deleted node " << c.deleted;
        if (c.survivors.size() == 2) {
            EXPECT_EQ(instances(grid[0]), (Nodes{grid[0]}));
            EXPECT_EQ(instances(grid[1]), (Nodes{grid[1]}));
            EXPECT_EQ(inputs(grid[0]), (Nodes{grid[0], grid[1]}));
        }
        while (cavityA->childCount()) delete cavityA->child(0);
        while (cavityB->childCount()) delete cavityB->child(0);
    }
}

// Cascades that reach later siblings, another setup and an ancestor of the
// node being deleted, while the tree widget clears or is destroyed.
TEST_F(ElementGraph, CascadesStayMemorySafeWhileTheTreeIsClearedOrDestroyed) {
    const auto build = [](QTreeWidget* tree) {
        auto* s1 = new SetupNode_(tree);
        auto* first = add<CavityNode_>(s1, "First");
        auto* group = add<ElementGroupNode_>(first, "Group");
        auto* later = add<CavityNode_>(s1, "Later");
        // Input 1 sits in the group of the first cavity, the master in the
        // later cavity, an instance in a second setup.
        auto* master = add<ElementNode_>(later, "X");
        auto* input1 = add<ElementNode_>(group, "X");
        ElementBaseNode_::linkNewElement({master, input1});
        // Input 1 before its master among the same siblings.
        auto* before = add<ElementNode_>(later, "Y");
        ElementBaseNode_::linkNewElement({add<ElementNode_>(later, "Y"), before});
        auto* s2 = new SetupNode_(tree);
        auto* other = add<CavityNode_>(s2, "Other");
        placeInstance(master, other);
        // An element that lists the group holding it as its second input.
        auto* inner = add<ElementNode_>(group, "Inner");
        ElementBaseNode_::linkNewElement({inner, group});
    };
    build(host.setupTree);
    host.setupTree->clear();
    EXPECT_EQ(host.setupTree->topLevelItemCount(), 0);

    auto* tree = new QTreeWidget;
    build(tree);
    delete tree;

    // Rows leave a shown tree one by one, each while its parent is whole.
    build(host.setupTree);
    host.window.show();
    host.setupTree->expandAll();
    delete host.setupTree->topLevelItem(0)->child(1);
    EXPECT_EQ(host.setupTree->topLevelItem(0)->child(0)->child(0)->childCount(), 1);
    EXPECT_EQ(host.setupTree->topLevelItem(1)->child(0)->childCount(), 0);
    host.setupTree->clear();

    build(host.setupTree);
    auto* inner = dynamic_cast<ElementBaseNode_*>(
        host.setupTree->topLevelItem(0)->child(0)->child(0)->child(1));
    ASSERT_NE(inner, nullptr);
    delete inner;  // takes the group that holds it, and so the element X
    EXPECT_EQ(host.setupTree->topLevelItem(0)->child(0)->childCount(), 0);
    EXPECT_EQ(host.setupTree->topLevelItem(0)->child(1)->childCount(), 2);
    EXPECT_EQ(host.setupTree->topLevelItem(1)->child(0)->childCount(), 0);
}

TEST_F(ElementGraph, GroupsAdoptTheInputsOfAMultiInputChildAndLogMismatches) {
    LogCapture log;
    auto* g = add<ElementGroupNode_>(cavityA, "G");
    auto* h = add<ElementGroupNode_>(cavityB, "H");
    EXPECT_TRUE(g->isMaster());
    EXPECT_EQ(inputs(g), (Nodes{g}));
    newElement("Loss", {g});
    newElement("DFG", {g, h});
    g->updateFromChildren();
    h->updateFromChildren();
    EXPECT_EQ(inputs(g), (Nodes{g, h}));
    EXPECT_EQ(inputs(h), (Nodes{g, h}));
    EXPECT_EQ(h->getMaster(), g);
    EXPECT_EQ(h->getInputType(1), "Input 2");
    EXPECT_EQ(log.count("inputs in ElementGroupNode_::updateFromChildren()."), 0);

    // Three inputs against two: unmatchable, and the third group differs.
    auto* k = add<ElementGroupNode_>(cavityC, "K");
    newElement("Triple", {g, h, k});
    g->updateFromChildren();
    const std::string lines = log.take();
    EXPECT_NE(lines.find("Unmatchable inputs"), std::string::npos);
    EXPECT_EQ(lines.find("Mismatched inputs"), lines.rfind("Mismatched inputs"));
    EXPECT_NE(lines.find("Mismatched inputs"), std::string::npos);

    // An input placed straight in a cavity is no group to adopt.
    auto* lone = add<ElementGroupNode_>(cavityA, "Lone");
    newElement("Split", {lone, cavityB});
    lone->updateFromChildren();
    EXPECT_EQ(inputs(lone), (Nodes{lone}));
    EXPECT_EQ(log.count("Unmatchable inputs"), 1);
}

// CavityA { Loss, G { X }, Probe { Energy } }, CavityB { H { X }, Loss.1 },
// Measurements; X has its inputs in the groups G and H.
class SharedTree : public ElementGraph {
protected:
    void SetUp() override {
        ElementGraph::SetUp();
        loss = newElement("Loss", {cavityA}).first();
        amount = addParameter(loss, "amount", DataType_::doubleprecision, "10");
        amount->setData(&lossField);
        g = add<ElementGroupNode_>(cavityA, "G");
        probe = add<MeasurementGroupNode_>(cavityA, "Probe");
        add<MeasurementNode_>(probe, "Energy");
        h = add<ElementGroupNode_>(cavityB, "H");
        x = newElement("X", {g, h});
        g->updateFromChildren();
        h->updateFromChildren();
        placeInstance(loss, cavityB);
    }

    ElementBaseNode_* loss = nullptr;
    Parameter_* amount = nullptr;
    double lossField = 10;
    ElementGroupNode_* g = nullptr;
    ElementGroupNode_* h = nullptr;
    MeasurementGroupNode_* probe = nullptr;
    QList<ElementNode_*> x;
};

void forEachNode(Node_* root, const std::function<void(Node_*)>& visit) {
    visit(root);
    for (int i = 0; i < root->childCount(); ++i) forEachNode(root->getChild(i), visit);
}

TEST_F(SharedTree, ElementListHoldsMastersAndCavityMeasurementGroupsInPreOrder) {
    ASSERT_EQ(setup->countElements(), 4);
    std::vector<Node_*> list(4);
    int count = 0;
    setup->createElementList(list.data(), count);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(list, (std::vector<Node_*>{loss, g, x[0], probe}));
    EXPECT_EQ(static_cast<Node_*>(cavityB)->countElements(), 0);

    // Every slot takes its master's element; only elements and groups take one.
    LinearLoss_ element(nullptr, loss);
    loss->CavityElement = &element;
    auto* instance = dynamic_cast<ElementBaseNode_*>(cavityB->getChild(1));
    EXPECT_EQ(instance->getMasterElement(), &element);
    ElementBaseNode_* groupInstance = placeInstance(h, cavityC);
    EXPECT_EQ(groupInstance->text(0), "H.");
    EXPECT_EQ(groupInstance->getMaster(), g);
    EXPECT_EQ(setup->countElements(), 4);
    LogCapture log;
    add<MeasurementGroupNode_>(g, "Inside");
    EXPECT_EQ(g->getMembers(), (Nodes{x[0]}));
    EXPECT_EQ(log.count("takes no slot"), 1);
}

TEST_F(SharedTree, ACopiedSetupPointsOnlyToItsOwnCopies) {
    const int tabs = host.tabs->count();
    std::unique_ptr<Node_> copy(setup->recursiveCopy());
    EXPECT_EQ(host.tabs->count(), tabs + 1);
    EXPECT_EQ(copy->text(0), "Setup1");
    EXPECT_EQ(copy->getParent(), nullptr);
    EXPECT_EQ(copy->countElements(), setup->countElements());

    QSet<Node_*> copied;
    forEachNode(copy.get(), [&](Node_* n) { copied.insert(n); });
    int linked = 0;
    forEachNode(copy.get(), [&](Node_* n) {
        auto* e = dynamic_cast<ElementBaseNode_*>(n);
        if (!e) return;
        ++linked;
        for (ElementBaseNode_* p : instances(e) + inputs(e) + Nodes{e->getMaster()})
            EXPECT_TRUE(copied.contains(p)) << n->getPath().toStdString();
    });
    EXPECT_EQ(linked, 6);

    const auto at = [&](const QString& path) {
        return dynamic_cast<ElementBaseNode_*>(copy->getNodeFromPathInSetup(path));
    };
    EXPECT_TRUE(at("CavityA%Loss")->isMaster());
    EXPECT_EQ(at("CavityB%Loss.1")->getMaster(), at("CavityA%Loss"));
    EXPECT_EQ(instances(at("CavityA%Loss")), (Nodes{at("CavityA%Loss"), at("CavityB%Loss.1")}));
    EXPECT_EQ(inputs(at("CavityB%H")), (Nodes{at("CavityB%H"), at("CavityA%G")}));
    EXPECT_FALSE(at("CavityB%H")->isMaster());
    EXPECT_EQ(at("CavityB%H")->getMaster(), at("CavityA%G"));
    EXPECT_EQ(at("CavityB%H%X")->getMaster(), at("CavityA%G%X"));

    // The copy's parameters are its own and unbound; the source keeps its graph.
    Parameter_* copied_amount = at("CavityA%Loss")->getParameter("amount");
    EXPECT_EQ(copied_amount->getOwner(), at("CavityA%Loss"));
    EXPECT_EQ(copied_amount->getValue()->text(), "10");
    EXPECT_EQ(copied_amount->getData(), nullptr);
    EXPECT_EQ(amount->getData(), &lossField);
    copy.reset();
    EXPECT_EQ(loss->getInstances(), 2);
    EXPECT_EQ(h->getMaster(), g);
    EXPECT_EQ(host.tabs->count(), tabs);
}

TEST_F(ElementGraph, DataFileNamesFollowTheNearestCavityAndGroup) {
    auto* main = add<CavityNode_>(setup, "Main");
    auto* probe = add<MeasurementGroupNode_>(main, "Probe");
    auto* stack = add<ElementGroupNode_>(main, "Stack");
    auto* nested = add<MeasurementGroupNode_>(stack, "Probe");
    struct Case {
        Node_* holder;
        const char* file;
    };
    const Case cases[] = {{measurements, "Energy.dat"},
                          {probe, "Main_Probe_Energy.dat"},
                          {nested, "Main_Probe_Energy.dat"},
                          {main, "Main_Energy.dat"}};
    for (const Case& c : cases) {
        auto* energy = add<MeasurementNode_>(c.holder, "Energy");
        Parameter_* file = addParameter(energy, "FileName", DataType_::string);
        energy->refreshFileName();
        EXPECT_EQ(file->getValue()->text(), c.file);
    }
    main->setText(0, "Renamed");
    auto* energy = dynamic_cast<MeasurementNode_*>(probe->getChild(0));
    EXPECT_EQ(energy->getParameter("FileName")->getValue()->text(), "Main_Probe_Energy.dat");
    energy->refreshFileName();
    EXPECT_EQ(energy->getParameter("FileName")->getValue()->text(), "Renamed_Probe_Energy.dat");
    add<MeasurementNode_>(probe, "Bare")->refreshFileName();
}

}  // namespace
