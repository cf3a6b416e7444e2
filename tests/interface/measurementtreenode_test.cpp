// The data view's rows: one child row per collected data set of array and
// pulse results, made while the row is open, names fixed when a row is made,
// and the node's summary.
#include "interface/measurementtreenode.h"

#include <QTextEdit>
#include <gtest/gtest.h>

#include <memory>

#include "core/cavity.h"
#include "core/elements/linearloss.h"
#include "core/setup.h"
#include "interface/measurementnode.h"
#include "interface/setupnode.h"
#include "tests/interface/datafakes.h"
#include "tests/interface/fakehost.h"

namespace {

// Setup1 { Measurements { M1, E1 } } and the summary pane.
class DataRowTest : public TreeFixture {
protected:
    void SetUp() override {
        TreeFixture::SetUp();
        MeasurementTreeNode_::setMeasurementText(&pane);
        setup = new SetupNode_(host.setupTree);
        setup->setText(0, "Setup1");
        group = add<MeasurementGroupNode_>(setup, "Measurements");
        m1 = add<MeasurementNode_>(group, "M1");
        e1 = add<MeasurementNode_>(group, "E1");
    }
    void TearDown() override {
        MeasurementTreeNode_::setMeasurementText(nullptr);
        TreeFixture::TearDown();
    }

    static MeasurementTreeNode_* row(MeasurementNode_* node) {
        return dynamic_cast<MeasurementTreeNode_*>(node->getMeasurementTreeNode());
    }
    static QStringList childNames(QTreeWidgetItem* row) {
        QStringList names;
        for (int i = 0; i < row->childCount(); ++i) names << row->child(i)->text(0);
        return names;
    }

    QTextEdit pane;
    SetupNode_* setup = nullptr;
    MeasurementGroupNode_* group = nullptr;
    MeasurementNode_* m1 = nullptr;
    MeasurementNode_* e1 = nullptr;
};

TEST_F(DataRowTest, AfterARunPulseSetsAreListedAndScalarSeriesAreNot) {
    ASSERT_NE(row(m1), nullptr);
    EXPECT_EQ(row(m1)->childCount(), 0);

    // A setup of one cavity whose measurements take the pulse and its
    // energy after every round trip.
    Setup_ run(1, 1, 2, nullptr, nullptr);
    run.setRoundtrips(4);
    run.setSamples(64);
    auto* cavity = new Cavity_(1, &run, nullptr);
    cavity->initPulseGaussian(1e-12, 1e-9, 800e-9);
    auto* loss = new LinearLoss_(&run, nullptr);
    run.addElement(loss);
    cavity->addElement(loss);
    run.addCavity(cavity);
    m1->Measurement = new Measurement_(&run, m1);
    m1->Measurement->setOperation(pulseCopy(*cavity->getPulse()));
    e1->Measurement = new Measurement_(&run, e1);
    e1->Measurement->setOperation(pulseMeasure(Operation_::energy, *cavity->getPulse()));
    run.addMeasurement(m1->Measurement);
    run.addMeasurement(e1->Measurement);
    ASSERT_TRUE(run.ready());
    for (int rt = 1; rt <= 4; ++rt) run.roundtrip();

    for (int i = 0; i < host.dataTree->topLevelItemCount(); ++i)
        static_cast<MeasurementRow_*>(host.dataTree->topLevelItem(i))->refreshInfo();
    // Closed rows offer to open; opening one lists its sets.
    EXPECT_EQ(row(m1)->childCount(), 0);
    EXPECT_EQ(row(m1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(row(e1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    row(m1)->setExpanded(true);
    row(e1)->setExpanded(true);
    EXPECT_EQ(childNames(row(m1)), (QStringList{"M1.0", "M1.1", "M1.2", "M1.3"}));
    EXPECT_EQ(row(m1)->child(3)->text(1), "Setup1%Measurements%M1");
    EXPECT_EQ(row(m1)->child(3)->type(), 0);
    EXPECT_EQ(row(e1)->childCount(), 0);

    row(e1)->refreshText();
    EXPECT_TRUE(pane.toPlainText().endsWith("Collected Samples: 4")) << pane.toPlainText().toStdString();
}

TEST_F(DataRowTest, RowsOnlyGrowAndKeepTheNameTheyWereMadeWith) {
    double values[3] = {1, 2, 3};
    m1->Measurement = copying(DataType_::doubleprecision, {3}, values, m1);
    MeasurementTreeNode_* r = row(m1);
    r->setExpanded(true);
    for (int k = 0; k < 5; ++k) m1->Measurement->collect();
    r->refreshInfo();
    r->refreshInfo();
    EXPECT_EQ(childNames(r), (QStringList{"M1.0", "M1.1", "M1.2", "M1.3", "M1.4"}));

    m1->setText(0, "Renamed");
    for (int k = 0; k < 3; ++k) m1->Measurement->collect();
    r->refreshInfo();
    EXPECT_EQ(r->text(0), "Renamed");
    EXPECT_EQ(r->text(1), "Setup1%Measurements%Renamed");
    EXPECT_EQ(childNames(r), (QStringList{"M1.0", "M1.1", "M1.2", "M1.3", "M1.4", "Renamed.5", "Renamed.6",
                                          "Renamed.7"}));

    // The measurement goes: its node forgets it and the set rows go with it.
    delete m1->Measurement;
    EXPECT_EQ(m1->Measurement, nullptr);
    EXPECT_EQ(r->childCount(), 0);

    int32_t count = 0;
    e1->Measurement = copying(DataType_::integer, {}, &count, e1);
    row(e1)->setExpanded(true);
    for (count = 0; count < 100; ++count) e1->Measurement->collect();
    row(e1)->refreshInfo();
    EXPECT_EQ(row(e1)->childCount(), 0);
    delete e1->Measurement;
}

TEST_F(DataRowTest, TheSummaryShowsTheParametersAndUnknownForMissingOnes) {
    addParameter(m1, "Parameter", DataType_::string, "Energy(Cavity1%Pulse)");
    addParameter(m1, "DataType", DataType_::string, "Double");
    addParameter(m1, "Dimension", DataType_::integer, "0");
    row(m1)->refreshText();
    EXPECT_EQ(pane.toPlainText(),
              "Parameter: Energy(Cavity1%Pulse)\n\nData Type: Double\nDimension: 0\n\nFile Name: Unknown\n\n"
              "Collected Samples: 0");
    EXPECT_EQ(pane.toHtml().count("font-weight:600"), 5);  // the labels are bold

    // A refresh of the selected row rewrites the pane.
    row(e1)->setSelected(true);
    row(e1)->refreshInfo();
    EXPECT_TRUE(pane.toPlainText().startsWith("Parameter: Unknown"));
}

TEST_F(DataRowTest, ARowTheDataTreeDeletesIsNotDeletedAgainByItsNode) {
    host.dataTree->clear();
    EXPECT_EQ(m1->getMeasurementTreeNode(), nullptr);
    m1->unlinkMeasurement();
    delete m1;
    EXPECT_EQ(group->childCount(), 1);
}

}  // namespace
