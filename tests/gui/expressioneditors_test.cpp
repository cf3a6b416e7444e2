// Composing a measurement's expression and a condition in their dialogs,
// driven through the widgets: the choosers insert what the language reads,
// a text that does not parse is refused until it is corrected or cancelled,
// and the accepted parser passes to the caller.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>

#include "core/operation.h"
#include "dialogs/composeparameter.h"
#include "dialogs/selectcondition.h"
#include "dialogs/selectoperation.h"
#include "dialogs/selectparameter.h"
#include "guitesting.h"
#include "interface/expressionparser.h"
#include "interface/node.h"
#include "interface/parameter.h"
#include "mainwindow.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::onNextModalDialog;
using guitesting::WorkingDirectory;

void press(QDialog* d, QDialogButtonBox::StandardButton button) {
    d->findChild<QDialogButtonBox*>("buttonBox")->button(button)->click();
}

QStringList childNames(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

class ExpressionEditors : public ::testing::Test {
protected:
    // A measurement in the setup's "Measurements" group, shown in the table.
    void SetUp() override {
        w.treeWidget->setCurrentItem(w.findSetupTreeNode("Setup1%Measurements"));
        w.actionAdd_Measurement->trigger();
        measurement = dynamic_cast<Node_*>(w.findSetupTreeNode("Setup1%Measurements%Measurement1"));
        ASSERT_NE(measurement, nullptr);
    }
    QString value(const QString& name) { return measurement->getParameter(name)->getValue()->text(); }
    void clickValue(const QString& name) {
        for (int r = 0; r < w.itemParameters->rowCount(); ++r)
            if (w.itemParameters->item(r, 0)->text() == name) emit w.itemParameters->cellClicked(r, 1);
    }

    WorkingDirectory dir{true};
    MainWindow w;
    Node_* measurement = nullptr;
};

// The buttons are clicked with the mouse, as a user does: the selected text
// they replace stays selected while the focus would move.
TEST_F(ExpressionEditors, AClickOnTheMeasuredValueComposesItFromTheChoosers) {
    MessageBoxes boxes;
    onNextModalDialog([](QDialog* d) {
        auto* composer = dynamic_cast<ComposeParameter*>(d);
        ASSERT_NE(composer, nullptr);
        EXPECT_TRUE(composer->verify());
        EXPECT_EQ(composer->parameterString->selectedText(), "0");  // typing replaces it
        const auto chooseEnergy = [] {
            onNextModalDialog([](QDialog* chooser) {
                auto* box = chooser->findChild<QComboBox*>("operationBox");
                box->setCurrentIndex(box->findText("Energy()"));
                press(chooser, QDialogButtonBox::Ok);
            });
        };
        const std::pair<QPushButton*, QString> replacing[] = {{composer->insertPulseButton, "Cavity1%Pulse"},
                                                              {composer->insertFunctionButton, "Energy()"}};
        for (const auto& [button, inserted] : replacing) {
            composer->parameterString->selectAll();
            if (button == composer->insertFunctionButton) chooseEnergy();
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(composer->parameterString->text(), inserted);
        }
        composer->parameterString->cursorBackward(false);
        QTest::mouseClick(composer->insertPulseButton, Qt::LeftButton);
        composer->parameterString->end(false);
        composer->parameterString->insert("*2");
        press(composer, QDialogButtonBox::Ok);
    });
    clickValue("Parameter");

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(value("Parameter"), "Energy(Cavity1%Pulse)*2");
    EXPECT_EQ(value("Dimension"), "0");
    EXPECT_EQ(value("DataType"), "Double");
    ExpressionParser_* parser = measurement->getParameter("Parameter")->getExpression();
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(parser->getExpression(), "Energy(Cavity1%Pulse)*2");
    EXPECT_TRUE(w.getProjectChanged());
}

TEST_F(ExpressionEditors, TheParameterChooserOffersTheMeasurableParametersBySetupRelativePath) {
    ComposeParameter composer(measurement);
    composer.parameterString->setText("Energy(Cavity1%Pulse)*");
    onNextModalDialog([](QDialog* d) {
        auto* chooser = dynamic_cast<SelectParameter*>(d);
        ASSERT_NE(chooser, nullptr);
        ASSERT_EQ(chooser->parameterTree->topLevelItemCount(), 1);
        QTreeWidgetItem* setup = chooser->parameterTree->topLevelItem(0);
        // Hidden and unmeasurable parameters and the measurements stay out.
        EXPECT_EQ(childNames(setup), (QStringList{"Roundtrips", "Samples", "Directory", "Cavity1"}));
        EXPECT_EQ(childNames(setup->child(3)), (QStringList{"PulseTime", "PulseWavelength"}));
        emit chooser->parameterTree->itemClicked(setup->child(3)->child(0), 0);
        emit chooser->parameterTree->itemClicked(setup->child(3), 0);  // no leaf: no path
        EXPECT_EQ(chooser->getSelection(), "Setup1%Cavity1%PulseTime");
        press(chooser, QDialogButtonBox::Ok);
    });
    composer.insertParameterButton->click();
    EXPECT_EQ(composer.getSelection(), "Energy(Cavity1%Pulse)*Cavity1%PulseTime");

    onNextModalDialog([](QDialog* chooser) { press(chooser, QDialogButtonBox::Cancel); });
    composer.insertParameterButton->click();
    EXPECT_EQ(composer.getSelection(), "Energy(Cavity1%Pulse)*Cavity1%PulseTime");
}

TEST_F(ExpressionEditors, APulseInsideACavityIsNamedSoThatItParses) {
    w.treeWidget->setCurrentItem(w.findSetupTreeNode("Setup1"));
    w.actionAdd_Cavity->trigger();
    w.treeWidget->setCurrentItem(w.findSetupTreeNode("Setup1%Cavity2"));
    w.actionAdd_Measurement_Group->trigger();
    w.treeWidget->setCurrentItem(w.findSetupTreeNode("Setup1%Cavity2%MeasurementGroup1"));
    w.actionAdd_Measurement->trigger();
    auto* inside = dynamic_cast<Node_*>(w.findSetupTreeNode("Setup1%Cavity2%MeasurementGroup1%Measurement1"));
    ASSERT_NE(inside, nullptr);
    ComposeParameter composer(inside);
    composer.insertPulseButton->click();
    EXPECT_EQ(composer.getSelection(), "Cavity2%Pulse");
    ExpressionParser_ parser(inside->getParameter("Parameter"));
    EXPECT_TRUE(parser.setExpression("Energy(" + composer.getSelection() + ")"));
}

TEST_F(ExpressionEditors, ARefusedTextKeepsTheDialogOpenUntilItIsCancelled) {
    MessageBoxes boxes;
    auto dialog = std::make_unique<SelectCondition>(measurement);
    onNextModalDialog([](QDialog* d) {
        onNextModalDialog([d](QDialog* again) {
            EXPECT_EQ(again, d);
            EXPECT_EQ(static_cast<SelectCondition*>(again)->conditionString->text(), "always");
            press(again, QDialogButtonBox::Cancel);
        });
        press(d, QDialogButtonBox::Ok);
    });
    EXPECT_FALSE(dialog->exec("always"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageBox_::information);
    EXPECT_EQ(boxes.shown[0].title, "ExpressionError");
    EXPECT_EQ(boxes.shown[0].text,
              "The expression could not be parsed.\n3:Unknown expression\n"
              "Please correct it or choose Cancel to abort.");
    dialog.reset();  // deletes the parser it still holds
}

TEST_F(ExpressionEditors, AConditionComposedWithAndPassesItsParserToTheCaller) {
    MessageBoxes boxes;
    auto dialog = std::make_unique<SelectCondition>(measurement);
    onNextModalDialog([](QDialog* d) {
        auto* condition = static_cast<SelectCondition*>(d);
        condition->conditionString->setText("typed before the preset");
        condition->roundtripsString->setText("3");
        condition->radioButtonCustomRT->click();
        condition->conditionString->insert(" .AND. Samples>100");
        press(d, QDialogButtonBox::Ok);
    });
    ASSERT_TRUE(dialog->exec("always"));
    EXPECT_TRUE(boxes.shown.empty());
    std::unique_ptr<ExpressionParser_> parser(dialog->takeExpression());
    EXPECT_EQ(dialog->takeExpression(), nullptr);
    const QString text = dialog->getSelection();
    dialog.reset();
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(text, "Roundtrip==3 .AND. Samples>100");
    EXPECT_EQ(parser->getExpression(), text);
    EXPECT_TRUE(parser->checkExpression());
}

TEST(SelectOperation, OffersOnlyFunctionsOfTheLanguageWithOneSlotPerArgument) {
    SelectOperation chooser(nullptr);
    QStringList entries;
    for (int i = 0; i < chooser.operationBox->count(); ++i) entries << chooser.operationBox->itemText(i);
    EXPECT_EQ(entries.mid(0, 6),
              (QStringList{"Energy()", "MSQ()", "FWHM()", "Intensity(, )", "Re()", "Im()"}));
    for (const QString& entry : entries) {
        const Operation_::kind_ kind = Operation_::getKind(entry.section('(', 0, 0));
        EXPECT_NE(kind, 0) << entry.toStdString();
        EXPECT_EQ(Operation_::getArguments(kind), entry.count(',') + 1) << entry.toStdString();
    }
    EXPECT_TRUE(chooser.descriptionString->toPlainText().startsWith("double Energy(Pulse)"));
    chooser.operationBox->setCurrentIndex(entries.indexOf("Re()"));
    EXPECT_EQ(chooser.getSelection(), "Re()");
    EXPECT_EQ(chooser.descriptionString->toPlainText(),
              "double Re(Complex Number)\nReturns the real part of a complex number.");
}

}  // namespace
