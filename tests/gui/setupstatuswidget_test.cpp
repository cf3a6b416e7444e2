#include "dialogs/setupstatuswidget.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/setup.h"
#include "interface/cavitynode.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "tests/interface/fakehost.h"

namespace {

// A node of any kind without a class of its own yet.
struct KindNode : Node_ {
    explicit KindNode(type_ kind) { type = kind; }
    QString getTypeString() const override { return QStringLiteral("Kind"); }
    Node_* recursiveCopy() const override { return nullptr; }
};

class StatusTab : public TreeFixture {
protected:
    static void SetUpTestSuite() { SetupStatusWidget_::installFactory(); }
    static void TearDownTestSuite() { SetupStatusSink_::setFactory({}); }

    void SetUp() override {
        TreeFixture::SetUp();
        node = new SetupNode_(host.setupTree);
        node->setText(0, "Setup1");
        tab = dynamic_cast<SetupStatusWidget_*>(node->getSetupStatusWidget());
        ASSERT_NE(tab, nullptr);
    }

    // A setup that is built but not started, reporting to the node.
    std::unique_ptr<Setup_> attach(int cavities = 2, int elements = 5, int measurements = 1) {
        auto setup = std::make_unique<Setup_>(cavities, elements, measurements, nullptr, node);
        setup->setRoundtrips(1000);
        setup->setSamples(1024);
        node->Setup = setup.get();
        tab->setSetup(setup.get());
        return setup;
    }

    QTreeWidgetItem* select(QTreeWidgetItem* row) {
        tab->parameterTree->setCurrentItem(row);
        emit tab->parameterTree->itemClicked(row, 0);
        return row;
    }

    static QStringList texts(QTreeWidgetItem* parent) {
        QStringList names;
        for (int i = 0; i < parent->childCount(); ++i) names << parent->child(i)->text(0);
        return names;
    }

    SetupNode_* node = nullptr;
    SetupStatusWidget_* tab = nullptr;
};

const QString idleSetup = "The simulation is not running.";
const QString noParameter = "No parameter is selected.";

TEST_F(StatusTab, AttachingShowsTheSummaryAndTheMeasurableParametersDetachingGoesIdle) {
    EXPECT_EQ(host.tabs->indexOf(tab), 0);
    EXPECT_FALSE(tab->isEnabled());
    EXPECT_EQ(tab->setupText->text(), idleSetup);
    EXPECT_EQ(tab->parameterText->text(), noParameter);
    EXPECT_EQ(tab->errorText->toPlainText(), "No error is selected.");
    EXPECT_EQ(tab->setupProgress->value(), 0);
    EXPECT_EQ(tab->tuneSlider->value(), 100);
    EXPECT_FALSE(tab->tuneSlider->isEnabled());

    Node_* cavity = add<CavityNode_>(node, "Cavity1");
    addParameter(cavity, "PulseTime", DataType_::doubleprecision, "1e-12");
    auto* monitors = new KindNode(Node_::measurementgroup);
    monitors->setText(0, "Monitors");
    cavity->addChild(monitors);
    addParameter(monitors, "Count", DataType_::integer)->setMeasurable(false);
    auto* measurements = new KindNode(Node_::measurementgroup);
    measurements->setText(0, "Measurements");
    node->addChild(measurements);
    addParameter(measurements, "Hidden", DataType_::integer);
    addParameter(node, "Roundtrips", DataType_::integer, "1000");
    addParameter(node, "Directory", DataType_::string)->setMeasurable(false);

    std::unique_ptr<Setup_> setup = attach();
    EXPECT_TRUE(tab->isEnabled());
    EXPECT_EQ(tab->setupText->text(),
              "Cavities: 2\nTotal Elements: 5\nDirect Measurements: 1\nTotal Roundtrips: 1000\n"
              "Samples per Pulse: 1024\n");
    QTreeWidgetItem* root = tab->parameterTree->invisibleRootItem();
    EXPECT_EQ(texts(root), (QStringList{"Cavity1", "Roundtrips"}));
    EXPECT_EQ(texts(root->child(0)), (QStringList{"Monitors", "PulseTime"}));
    EXPECT_EQ(root->child(0)->type(), SetupStatusWidgetParameterNode_::itemType);

    Setup_ second(1, 1, 0, nullptr, nullptr);
    tab->setSetup(&second);
    EXPECT_TRUE(tab->setupText->text().startsWith("Cavities: 2\n"));

    Accessor_* accessor = node->getAccessor();
    emit accessor->updateSetupStatus(250);
    QCoreApplication::processEvents();
    EXPECT_EQ(tab->setupProgress->value(), 25);
    emit accessor->updateSetupStatus(-1);
    QCoreApplication::processEvents();
    EXPECT_EQ(tab->setupProgress->value(), 100);

    select(root->child(1));
    EXPECT_EQ(tab->parameterValueText->text(), "Parameter has no data in Parameter_::getRealValue()");
    tab->setParameterValue("shown");
    tab->update();
    EXPECT_EQ(tab->parameterValueText->text(), "Parameter has no data in Parameter_::getRealValue()");
    node->addLocalError("Gain saturated", Error_::warning);
    tab->clearErrors();
    EXPECT_EQ(tab->errorList->topLevelItemCount(), 0);
    node->addLocalError("Loss out of range", Error_::warning);
    tab->getPlot()->setPlotData(std::vector<double>{1, 2}.data(), std::vector<double>{3, 4}.data(), 2);
    setup.reset();  // the experiment goes: the node detaches the tab
    EXPECT_FALSE(tab->isEnabled());
    EXPECT_EQ(tab->setupText->text(), idleSetup);
    EXPECT_EQ(tab->parameterText->text(), noParameter);
    EXPECT_EQ(tab->parameterTree->topLevelItemCount(), 0);
    EXPECT_EQ(tab->errorList->topLevelItemCount(), 0);
    EXPECT_EQ(tab->setupProgress->value(), 0);
    // Nothing of the run stays for the next: no value, no curve.
    EXPECT_EQ(tab->parameterValueText->text(), "");
    EXPECT_EQ(tab->getPlot()->getCurve().dataSize(), 0u);
    tab->setParameterValue("shown");
    tab->update();
    EXPECT_EQ(tab->parameterValueText->text(), "");
}

// The value field reads a double's whole text from its first character.
TEST_F(StatusTab, ALongValueShowsWholeFromItsFirstCharacter) {
    host.tabs->resize(host.tabs->minimumSizeHint());
    host.window.show();
    for (const double value : {1.0008661e+23, -1.7976931348623157e+308, 1.0}) {
        const QString text = DataType_(DataType_::doubleprecision).getStringValue(&value);
        tab->setParameterValue(text);
        EXPECT_EQ(tab->parameterValueText->cursorPosition(), 0);
        EXPECT_GT(tab->parameterValueText->contentsRect().width(),
                  tab->parameterValueText->fontMetrics().horizontalAdvance(text))
            << text.toStdString();
    }
}

TEST_F(StatusTab, ASelectedParameterIsDescribedAndAOneDimensionalArrayPlotted) {
    Node_* cavity = add<CavityNode_>(node, "Cavity1");
    addParameter(cavity, "PulseTime", DataType_::doubleprecision, "1e-12");
    const int extents2[] = {3, 4};
    auto* grid = new Parameter_(DataType_::doubleprecision, 2, extents2);
    grid->setName("Grid");
    grid->setVisible(false);
    node->addParameter(grid);
    const int extents1[] = {6};
    auto* line = new Parameter_(DataType_::doubleprecision, 1, extents1);
    line->setName("Line");
    line->setValue("0");
    double values[6] = {0, 1, 4, 9, 16, 25};
    line->setData(values);
    node->addParameter(line);
    addParameter(node, "Rate", DataType_::string, "3")->troggleExpression(true);
    std::unique_ptr<Setup_> setup = attach();
    QTreeWidgetItem* root = tab->parameterTree->invisibleRootItem();

    select(root->child(1));
    EXPECT_EQ(tab->parameterText->text(), "Parameter: Grid\nData Type: Double\nDimension: 2\nSamples: [3; 4]\n");
    EXPECT_EQ(tab->parameterValueText->text(), "Array");
    EXPECT_EQ(tab->getPlot()->getSamples(), 0);

    select(root->child(2));
    EXPECT_EQ(tab->getPlot()->getSamples(), 6);
    EXPECT_EQ(tab->getPlot()->getCurve().sample(5).y(), 25);

    select(root->child(3));
    EXPECT_EQ(tab->parameterText->text(),
              "Parameter: Rate\nInnitialValue: 3\nData Type: String\nDimension: 0\n"
              "This parameter is derived from an expression.");
    EXPECT_EQ(tab->parameterValueText->text(), "Expression");

    // Editing after a run removes a cavity: its row no longer reaches the parameter.
    delete cavity;
    select(root->child(0)->child(0));
    EXPECT_EQ(tab->parameterText->text(), noParameter);
}

TEST_F(StatusTab, ErrorRowsExplainTheirCode) {
    Node_* cavity = add<CavityNode_>(node, "Cavity1");
    cavity->addLocalError("Gain saturated", Error_::warning);
    ASSERT_EQ(tab->errorList->topLevelItemCount(), 1);
    QTreeWidgetItem* row = tab->errorList->topLevelItem(0);
    EXPECT_EQ(row->text(0), "7");
    EXPECT_EQ(row->text(1), "Gain saturated");
    emit tab->errorList->itemClicked(row, 1);
    EXPECT_EQ(tab->errorText->toPlainText(), "Error Type Warning:\n\nA general warning.");
    EXPECT_TRUE(tab->errorText->toHtml().contains("font-weight:600;\">Warning</span>"));
}

// The slider scales the parameter's value as it stands at the next round
// trip, run here by hand; the channel writes the result and reports it.
TEST_F(StatusTab, ATuneScalesTheCurrentValueAndResetsTheSlider) {
    struct Row {
        DataType_::type_ type;
        double current;
        int slider;
        double written;
    };
    const Row rows[] = {
        {DataType_::integer, 7, 150, 10},
        {DataType_::integer, -7, 150, -10},
        {DataType_::integer, 250, 0, 2},
        {DataType_::integer, 2e9, 200, INT32_MAX},
        {DataType_::integer, -2e9, 200, INT32_MIN},
        {DataType_::doubleprecision, 0.3, 50, 0.15},
        {DataType_::doubleprecision, 2, 150, 3},
        {DataType_::logical, 1, 50, 0},
        {DataType_::logical, 0, 150, 1},
        {DataType_::logical, 1, 100, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.type << " " << r.current << " at " << r.slider);
        union {
            char logical;
            int32_t integer;
            double real;
        } field{};
        if (r.type == DataType_::logical) field.logical = r.current != 0;
        else if (r.type == DataType_::integer) field.integer = int32_t(r.current);
        else field.real = r.current;
        Node_* cavity = add<CavityNode_>(node, "Cavity1");
        auto* P = addParameter(cavity, "Value", r.type);
        P->setHotChangeable(true);
        P->setData(&field);
        std::unique_ptr<Setup_> setup = attach();
        select(tab->parameterTree->topLevelItem(0)->child(0));
        Accessor_* accessor = node->getAccessor();
        accessor->request(P->getLive(), 500);

        tab->tuneSlider->setValue(r.slider);
        emit tab->tuneSlider->sliderReleased();
        EXPECT_EQ(tab->tuneSlider->value(), 100);
        accessor->execute(1);
        QCoreApplication::processEvents();
        const double written = r.type == DataType_::logical   ? field.logical
                               : r.type == DataType_::integer ? field.integer
                                                              : field.real;
        EXPECT_DOUBLE_EQ(written, r.written);
        EXPECT_EQ(tab->parameterValueText->text(), P->getRealValue(nullptr));
        setup.reset();
        delete cavity;
    }
}

}  // namespace
