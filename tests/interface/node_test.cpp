#include "interface/node.h"

#include <QTableWidget>
#include <gtest/gtest.h>

#include <memory>

#include "core/cavity.h"
#include "core/elements/linearloss.h"
#include "core/elements/mbox.h"
#include "core/measurement.h"
#include "core/setup.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/setupnode.h"
#include "interface/setupstatus.h"
#include "tests/interface/fakehost.h"

namespace {

// Setup1 { Cavity1 { Gain1, Group1 { Meas1 } }, Cavity3, Measurements }, Setup2 { Cavity1 }
class TreeTest : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        setup1 = new SetupNode_(host.setupTree);
        setup1->setText(0, "Setup1");
        roundtrips = addParameter(setup1, "Roundtrips", DataType_::integer, "100");
        cavity1 = add<CavityNode_>(setup1, "Cavity1");
        length = addParameter(cavity1, "Length", DataType_::doubleprecision, "0.5");
        gain = add<ElementNode_>(cavity1, "Gain1");
        group = add<MeasurementGroupNode_>(cavity1, "Group1");
        meas = add<MeasurementNode_>(group, "Meas1");
        cavity3 = add<CavityNode_>(setup1, "Cavity3");
        add<MeasurementGroupNode_>(setup1, "Measurements");
        setup2 = new SetupNode_(host.setupTree);
        setup2->setText(0, "Setup2");
        add<CavityNode_>(setup2, "Cavity1");
    }

    SetupNode_* setup1 = nullptr;
    SetupNode_* setup2 = nullptr;
    CavityNode_* cavity1 = nullptr;
    CavityNode_* cavity3 = nullptr;
    ElementNode_* gain = nullptr;
    MeasurementGroupNode_* group = nullptr;
    MeasurementNode_* meas = nullptr;
    Parameter_* roundtrips = nullptr;
    Parameter_* length = nullptr;
};

TEST_F(TreeTest, AbsolutePathsPassOverUnknownSectionsAndSetupPathsDoNot) {
    EXPECT_EQ(gain->getPath(), "Setup1%Cavity1%Gain1");
    EXPECT_EQ(setup2->getNodeFromPath("Setup1%Nope%Cavity1"), cavity1);
    EXPECT_EQ(setup2->getNodeFromPath("Setup1"), setup1);
    EXPECT_EQ(setup2->getNodeFromPath("Setup1%"), setup1);
    EXPECT_EQ(setup1->getNodeFromPath("Nope%Cavity1"), nullptr);

    EXPECT_EQ(meas->getNodeFromPathInSetup("Nope%Cavity1"), nullptr);
    EXPECT_EQ(meas->getNodeFromPathInSetup("Cavity1%Gain1"), gain);
    EXPECT_EQ(meas->getNodeFromPathInSetup(""), setup1);

    EXPECT_EQ(gain->getParameterFromPath("Setup1"), nullptr);
    EXPECT_EQ(gain->getParameterFromPath("Setup1%Roundtrips"), roundtrips);
    EXPECT_EQ(setup2->getParameterFromPath("Setup1%Cavity1%Length"), length);
    EXPECT_EQ(setup2->getParameterFromPath("Setup1%Cavity1%Nope"), nullptr);

    for (Node_* n : std::initializer_list<Node_*>{setup1, cavity3, gain, meas})
        EXPECT_EQ(n->getParameterFromPathInSetup("Roundtrips"), roundtrips);
    EXPECT_EQ(meas->getParameterFromPathInSetup("Cavity1%Length"), length);
    EXPECT_EQ(meas->getParameterFromPathInSetup("Cavity3%Length"), nullptr);
    EXPECT_EQ(setup2->getParameterFromPathInSetup("Roundtrips"), nullptr);
    EXPECT_EQ(Error_::getErrorMessage(0), QString());  // misses are silent
}

TEST_F(TreeTest, LookupsOnANodeOutsideAnySetupAreReportedAndMiss) {
    CavityNode_ loose;
    EXPECT_EQ(loose.getNodeFromPathInSetup("Gain1"), nullptr);
    EXPECT_EQ(loose.getParameterFromPathInSetup("Length"), nullptr);
    EXPECT_EQ(loose.getNodeFromPath("Setup1%Cavity1"), nullptr);
    EXPECT_EQ(Error_::getErrorSource(0), &loose);
    EXPECT_EQ(Error_::getErrorCode(0), Error_::error);
    EXPECT_EQ(loose.getParameter("Length"), nullptr);
    EXPECT_EQ(loose.getLevel(), -1);
}

TEST_F(TreeTest, UniqueNamesFillGapsAndDuplicatesAreOtherSiblings) {
    EXPECT_EQ(setup1->generateUniqueLocal("Cavity"), "Cavity2");
    EXPECT_EQ(cavity3->generateUniqueLocal("Gain"), "Gain1");

    EXPECT_EQ(cavity1->findDuplicate(), nullptr);
    EXPECT_EQ(setup1->findDuplicate(), nullptr);
    CavityNode_* twin = add<CavityNode_>(setup1, "Cavity1");
    EXPECT_EQ(cavity1->findDuplicate(), twin);
    EXPECT_EQ(twin->findDuplicate(), cavity1);
    auto* otherSetup = new SetupNode_(host.setupTree);
    otherSetup->setText(0, "Setup2");
    EXPECT_EQ(setup2->findDuplicate(), otherSetup);

    EXPECT_EQ(cavity1->findNodeLocal("Cavity3"), cavity3);
    EXPECT_EQ(cavity1->findNodeLocal("Cavity1"), cavity1);
    EXPECT_EQ(setup1->findNodeLocal("Setup2"), setup2);
    EXPECT_EQ(setup1->findChildNode("Gain1"), nullptr);
    EXPECT_EQ(cavity1->findChildNode("Gain1"), gain);
}

TEST_F(TreeTest, LevelsTypesAndTypedAncestors) {
    EXPECT_EQ(setup1->getLevel(), 0);
    EXPECT_EQ(cavity1->getLevel(), 1);
    EXPECT_EQ(gain->getLevel(), 2);
    EXPECT_EQ(meas->getLevel(), 3);
    EXPECT_EQ(meas->getParent(Node_::cavity), cavity1);
    EXPECT_EQ(cavity1->getParent(Node_::cavity), cavity1);
    EXPECT_EQ(meas->getParent(Node_::setup), setup1);
    EXPECT_EQ(cavity1->getParent(Node_::element), nullptr);

    ElementGroupNode_ elementGroup;
    const std::pair<Node_*, QString> kinds[] = {
        {setup1, "Setup"}, {cavity1, "Cavity"}, {gain, "CavityElement"}, {meas, "Measurement"},
        {&elementGroup, "ElementGroup"}, {group, "MeasurementGroup"}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(kinds[i].first->getNodeType(), i);
        EXPECT_EQ(kinds[i].first->getTypeString(), kinds[i].second);
        EXPECT_EQ(static_cast<QTreeWidgetItem*>(kinds[i].first)->type(), Node_::itemType);
    }
}

TEST_F(TreeTest, ParameterRowsCountVisibleParametersOnly) {
    Parameter_* a = addParameter(gain, "A", DataType_::doubleprecision);
    Parameter_* b = addParameter(gain, "B", DataType_::doubleprecision);
    Parameter_* c = addParameter(gain, "C", DataType_::doubleprecision);
    a->setVisible(false);
    EXPECT_EQ(gain->getParameterRow(0), b);
    EXPECT_EQ(gain->getParameterRow(1), c);
    EXPECT_EQ(gain->getParameterRow(2), nullptr);
    EXPECT_EQ(gain->getParameterRow(-1), nullptr);
    EXPECT_EQ(gain->getParameter(3), nullptr);
    EXPECT_EQ(c->getOwner(), gain);
    EXPECT_FALSE(gain->hasParameter("a"));
}

TEST_F(TreeTest, SelectionIsFoundInPreOrder) {
    EXPECT_EQ(Node_::findSelected(host.setupTree), nullptr);
    meas->setSelected(true);
    cavity3->setSelected(true);
    EXPECT_EQ(Node_::findSelected(host.setupTree), meas);
    EXPECT_EQ(setup1->findSelected(), meas);
    EXPECT_EQ(cavity3->findSelected(), cavity3);
    EXPECT_TRUE(cavity1->hasSelectedChildren());
    EXPECT_FALSE(gain->hasSelectedChildren());
    EXPECT_FALSE(setup2->hasSelectedChildren());
}

struct RecordingStatus : QWidget, SetupStatusSink_ {
    struct Row {
        QString message;
        Node_* source;
        int code;
    };
    QWidget* getWidget() override { return this; }
    void addError(const QString& message, Node_* source, int code) override {
        rows.push_back({message, source, code});
    }
    void setSetup(Setup_*) override {}
    void clearSetup() override { ++clears; }
    std::vector<Row> rows;
    int clears = 0;
};

TEST_F(TreeTest, ErrorsReachTheStatusTabOfTheNodesSetup) {
    SetupStatusSink_::setFactory(
        [](QWidget* parent, SetupNode_*) -> SetupStatusSink_* {
            auto* s = new RecordingStatus;
            s->setParent(parent);
            return s;
        });
    auto* recorded = new SetupNode_(host.setupTree);
    SetupStatusSink_::setFactory({});
    recorded->setText(0, "Setup3");
    CavityNode_* cavity = add<CavityNode_>(recorded, "Cavity1");
    ElementNode_* element = add<ElementNode_>(cavity, "Loss1");
    element->addLocalError("Loss out of range", Error_::warning);
    recorded->addLocalError("Setup note", Error_::notice);
    auto* sink = static_cast<RecordingStatus*>(recorded->getSetupStatusWidget());
    ASSERT_EQ(sink->rows.size(), 2u);
    EXPECT_EQ(sink->rows[0].message, "Loss out of range");
    EXPECT_EQ(sink->rows[0].source, element);
    EXPECT_EQ(sink->rows[0].code, Error_::warning);
    EXPECT_EQ(sink->rows[1].source, recorded);

    // The plain tab lists the source by its path.
    gain->addLocalError("Gain saturated", Error_::error);
    auto* plain = dynamic_cast<PlainSetupStatus_*>(setup1->getSetupStatusWidget());
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(plain->getErrorTree()->topLevelItemCount(), 1);
    EXPECT_EQ(plain->getErrorTree()->topLevelItem(0)->text(2), "Setup1%Cavity1%Gain1");
    setup1->disconnectSetup();
    EXPECT_EQ(plain->getErrorTree()->topLevelItemCount(), 0);
}

TEST_F(TreeTest, StatusTabsFollowTheirSetupsNameAndLife) {
    QTabWidget* tabs = host.tabs;
    ASSERT_EQ(tabs->count(), 2);
    const int index = tabs->indexOf(setup1->getSetupStatusWidget()->getWidget());
    EXPECT_EQ(tabs->tabText(index), "Setup1");
    setup1->setText(0, "Renamed");
    setup1->setText(1, "Other column");
    EXPECT_EQ(tabs->tabText(index), "Renamed");
    delete setup2;
    EXPECT_EQ(tabs->count(), 1);
    EXPECT_EQ(host.setupTree->topLevelItemCount(), 1);
}

TEST_F(TreeTest, MeasurementRowsLiveAndDieWithTheirNodes) {
    QTreeWidget* data = host.dataTree;
    ASSERT_EQ(data->topLevelItemCount(), 1);
    MeasurementRow_* row = meas->getMeasurementTreeNode();
    EXPECT_EQ(data->topLevelItem(0), row);
    row->refreshInfo();
    EXPECT_EQ(row->text(1), "Setup1%Cavity1%Group1%Meas1");
    new QTreeWidgetItem(row);
    new QTreeWidgetItem(row);
    meas->unlinkMeasurement();
    EXPECT_EQ(row->childCount(), 0);
    EXPECT_EQ(meas->Measurement, nullptr);
    delete group;
    EXPECT_EQ(data->topLevelItemCount(), 0);
}

TEST_F(TreeTest, DeletedNodesTakeTheirParametersAndCellsWithThem) {
    QTableWidget table(3, 3);
    Parameter_* shown = addParameter(cavity3, "Shown", DataType_::integer, "1");
    table.setItem(0, 0, shown->getName());
    table.setItem(0, 2, shown->getValue());
    cavity3->setSelected(true);  // selected nodes and setups free theirs too
    delete cavity3;
    EXPECT_EQ(table.item(0, 0), nullptr);
    EXPECT_EQ(table.item(0, 2), nullptr);
    delete setup2;
    EXPECT_EQ(host.setupTree->topLevelItemCount(), 1);
}

TEST_F(TreeTest, EngineObjectsAndNodesForgetEachOtherWhicheverGoesFirst) {
    // The engine object goes first: the node's link is cleared.
    {
        auto* element = new LinearLoss_(nullptr, gain);
        gain->CavityElement = element;
        auto* box = new MBox_(nullptr, 1, group);
        group->MBox = box;
        auto* cavity = new Cavity_(2, nullptr, cavity1);
        cavity1->Cavity = cavity;
        auto* setup = new Setup_(0, 0, 0, nullptr, setup1);
        setup1->Setup = setup;
        meas->Measurement = new Measurement_(nullptr, meas);
        delete meas->Measurement;
        EXPECT_EQ(meas->Measurement, nullptr);
        delete element;
        delete box;
        delete cavity;
        delete setup;
        EXPECT_EQ(gain->CavityElement, nullptr);
        EXPECT_EQ(group->MBox, nullptr);
        EXPECT_EQ(cavity1->Cavity, nullptr);
        EXPECT_EQ(setup1->Setup, nullptr);
    }
    // The nodes go first: the engine objects (owned elsewhere) stay and no
    // longer refer to them.
    std::unique_ptr<LinearLoss_> element(new LinearLoss_(nullptr, gain));
    gain->CavityElement = element.get();
    std::unique_ptr<MBox_> box(new MBox_(nullptr, 1, group));
    group->MBox = box.get();
    std::unique_ptr<Cavity_> cavity(new Cavity_(2, nullptr, cavity1));
    cavity1->Cavity = cavity.get();
    std::unique_ptr<Setup_> setup(new Setup_(0, 0, 0, nullptr, setup1));
    setup1->Setup = setup.get();
    std::unique_ptr<Measurement_> measurement(new Measurement_(nullptr, meas));
    meas->Measurement = measurement.get();
    delete setup1;
    EXPECT_EQ(measurement->getMeasurementNode(), nullptr);
    EXPECT_EQ(element->getElementNode(), nullptr);
    EXPECT_EQ(box->getMeasurementGroupNode(), nullptr);
    EXPECT_EQ(cavity->getCavityNode(), nullptr);
    EXPECT_EQ(setup->getSetupNode(), nullptr);
}

}  // namespace
