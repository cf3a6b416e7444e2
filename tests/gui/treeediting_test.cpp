// Editing the setup tree through the window's own actions: additions with
// their defaults and names, renames, moves, deletions with their cascades,
// the parameter table and the actions offered per selected node.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "dialogs/debugconsole.h"
#include "file.h"
#include "guitesting.h"
#include "interface/elementnode.h"
#include "interface/error.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/parameter.h"
#include "interface/setupstatus.h"
#include "mainwindow.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::onNextModalDialog;
using guitesting::WorkingDirectory;

QStringList childNames(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

QStringList topNames(const QTreeWidget* tree) {
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) names << tree->topLevelItem(i)->text(0);
    return names;
}

QString value(Node_* node, const QString& name) { return node->getParameter(name)->getValue()->text(); }

class TreeEditing : public ::testing::Test {
protected:
    void TearDown() override {
        loggertesting::reset();
        errortesting::reset();
    }

    Node_* node(const QString& path) { return dynamic_cast<Node_*>(w.findSetupTreeNode(path)); }
    void select(const QString& path) {
        Node_* n = node(path);
        ASSERT_NE(n, nullptr) << path.toStdString();
        w.treeWidget->setCurrentItem(n);
    }
    // The lines the window logs to its console while `act` runs.
    QString consoleWhile(const std::function<void()>& act) {
        auto* pane = w.getDebugConsole()->outputText;
        pane->clear();
        act();
        QCoreApplication::processEvents();
        return pane->toPlainText();
    }
    // The table as rows of name, value, type, dimension and samples.
    QList<QStringList> table() const {
        QList<QStringList> rows;
        for (int r = 0; r < w.itemParameters->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 5; ++c) cells << w.itemParameters->item(r, c)->text();
            rows << cells;
        }
        return rows;
    }
    int rowOf(const QString& name) const {
        for (int r = 0; r < w.itemParameters->rowCount(); ++r)
            if (w.itemParameters->item(r, 0)->text() == name) return r;
        return -1;
    }
    // Types `text` into the value cell of the parameter `name` of the selection.
    void typeValue(const QString& name, const QString& text) {
        const int r = rowOf(name);
        ASSERT_GE(r, 0) << name.toStdString();
        w.itemParameters->item(r, 1)->setText(text);
    }

    WorkingDirectory dir{true};
    MainWindow w;
};

TEST_F(TreeEditing, StartsWithOneSetupItsMeasurementsAndOneCavitySelectedAndUnchanged) {
    EXPECT_EQ(topNames(w.treeWidget), QStringList{"Setup1"});
    EXPECT_EQ(childNames(w.treeWidget->topLevelItem(0)), (QStringList{"Measurements", "Cavity1"}));
    EXPECT_TRUE(w.treeWidget->topLevelItem(0)->isExpanded());  // the new items stand in view
    EXPECT_FALSE(w.getProjectChanged());
    ASSERT_EQ(w.tabWidgetSetupStatus->count(), 1);
    EXPECT_EQ(w.tabWidgetSetupStatus->tabText(0), "Setup1");
    EXPECT_EQ(w.itemName->text(), "Setup1");
    EXPECT_EQ(w.itemType->text(), "Setup");
    // "Roundtrip" is hidden: three rows, no gap.
    EXPECT_EQ(table(), (QList<QStringList>{{"Roundtrips", "10", "Integer", "0", "[ ]"},
                                           {"Samples", "256", "Integer", "0", "[ ]"},
                                           {"Directory", "Setup1", "String", "0", "[ ]"}}));
    EXPECT_EQ(w.itemParameters->item(0, 1)->toolTip(), "Number of roundtrips the experiment should run.");
    EXPECT_FALSE(w.itemParameters->item(0, 2)->flags() & Qt::ItemIsEnabled);

    Parameter_* pulse = node("Setup1%Cavity1")->getParameter("Pulse");
    EXPECT_EQ(pulse->getDimension(), 1);
    EXPECT_EQ(pulse->getSamples()[0], 256);
    EXPECT_FALSE(pulse->getVisible());
    EXPECT_FALSE(node("Setup1%Measurements")->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(node("Setup1%Cavity1")->flags() & Qt::ItemIsEditable);
}

TEST_F(TreeEditing, NewItemsTakeTheFirstFreeNumberedName) {
    select("Setup1");
    w.actionAdd_Cavity->trigger();
    w.actionAdd_Cavity->trigger();
    EXPECT_TRUE(w.getProjectChanged());
    select("Setup1%Cavity2");
    w.actionDelete_Selected->trigger();
    select("Setup1");
    w.actionAdd_Cavity->trigger();
    EXPECT_EQ(childNames(node("Setup1")), (QStringList{"Measurements", "Cavity1", "Cavity3", "Cavity2"}));

    w.actionAdd_Setup->trigger();
    select("Setup1");
    w.actionDelete_Selected->trigger();
    EXPECT_EQ(w.tabWidgetSetupStatus->count(), 1);
    w.actionAdd_Setup->trigger();
    EXPECT_EQ(topNames(w.treeWidget), (QStringList{"Setup2", "Setup1"}));
    EXPECT_EQ(childNames(node("Setup1")), QStringList{"Measurements"});  // a new setup has no cavity
    EXPECT_EQ(value(node("Setup1"), "Directory"), "Setup1");
    EXPECT_EQ(MainWindow::findTopLevelNode("setup1", w.treeWidget), nullptr);

    select("Setup1");
    typeValue("Samples", "512");
    w.actionAdd_Cavity->trigger();
    EXPECT_EQ(node("Setup1%Cavity1")->getParameter("Pulse")->getSamples()[0], 512);
}

TEST_F(TreeEditing, GroupsAndMeasurementsGoBelowTheirKindWithTheirDefaults) {
    select("Setup1%Cavity1");
    w.actionAdd_Element_Group->trigger();
    w.actionAdd_Measurement_Group->trigger();
    select("Setup1%Cavity1%ElementGroup1");
    w.actionAdd_Element_Group->trigger();  // nested
    EXPECT_EQ(childNames(node("Setup1%Cavity1")), (QStringList{"ElementGroup1", "MeasurementGroup1"}));
    EXPECT_EQ(childNames(node("Setup1%Cavity1%ElementGroup1")), QStringList{"ElementGroup1"});
    Node_* group = node("Setup1%Cavity1%ElementGroup1");
    EXPECT_EQ(value(group, "Iterations"), "1");
    EXPECT_TRUE(group->getParameter("Condition")->isExpression());

    select("Setup1%Cavity1%MeasurementGroup1");
    w.actionAdd_Measurement->trigger();
    Node_* m = node("Setup1%Cavity1%MeasurementGroup1%Measurement1");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(w.treeWidget->currentItem(), m);
    EXPECT_EQ(w.itemName->text(), "Measurement1");
    EXPECT_EQ(value(m, "FileName"), "Cavity1_MeasurementGroup1_Measurement1.dat");
    // A fresh measurement passes every value check: "0" measures a scalar integer.
    EXPECT_EQ(value(m, "Dimension"), "0");
    EXPECT_EQ(value(m, "DataType"), "Integer");
    for (int i = 0; i < m->getParameters(); ++i) EXPECT_TRUE(m->getParameter(i)->verify()) << i;
    // Its data row is selected, as no other was.
    auto* row = dynamic_cast<MeasurementNode_*>(m)->getMeasurementTreeNode();
    EXPECT_TRUE(row->isSelected());
    EXPECT_TRUE(w.actionPlot->isEnabled());

    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    EXPECT_EQ(value(node("Setup1%Measurements%Measurement1"), "FileName"), "Measurement1.dat");
    EXPECT_FALSE(dynamic_cast<MeasurementNode_*>(node("Setup1%Measurements%Measurement1"))
                     ->getMeasurementTreeNode()
                     ->isSelected());
}

TEST_F(TreeEditing, AnUnsuitableSelectionIsLoggedAndChangesNothing) {
    const struct {
        QString selection;  // empty: nothing selected
        QAction* action;
        QString line;
    } rows[] = {
        {"", w.actionAdd_Cavity, "Unable to add Cavity. Nothing Selected."},
        {"Setup1%Cavity1", w.actionAdd_Cavity, "Unable to add Cavity. No Setup Selected."},
        {"", w.actionAdd_Measurement_Group, "Unable to add Cavity Measurement Group. Nothing Selected."},
        {"Setup1", w.actionAdd_Measurement_Group, "Unable to add Cavity Measurement Group. No Cavity Selected."},
        {"", w.actionAdd_Measurement, "Unable to add Measurement. Nothing Selected."},
        {"Setup1%Cavity1", w.actionAdd_Measurement, "Unable to add Measurement. No Measurement Group Selected."},
        {"", w.actionAdd_Element_Group, "Unable to add Cavity Element Group. Nothing Selected."},
        {"Setup1%Measurements", w.actionAdd_Element_Group, "Unable to add Cavity Element Group. No Cavity Selected."},
    };
    for (const auto& row : rows) {
        if (row.selection.isEmpty()) w.treeWidget->clearSelection();
        else select(row.selection);
        row.action->setEnabled(true);
        const QString logged = consoleWhile([&row] { row.action->trigger(); });
        EXPECT_TRUE(logged.contains(row.line)) << row.line.toStdString() << "\n" << logged.toStdString();
    }
    EXPECT_EQ(childNames(node("Setup1")), (QStringList{"Measurements", "Cavity1"}));
    EXPECT_TRUE(node("Setup1%Cavity1")->childCount() == 0 && node("Setup1%Measurements")->childCount() == 0);
    EXPECT_FALSE(w.getProjectChanged());
}

// One letter per action: Add Cavity, Add Element, Add Element Group, Add
// Measurement, Add Measurement Group, Move Up, Move Down, Delete.
TEST_F(TreeEditing, EachKindOfNodeOffersTheEditsThatFitBelowIt) {
    select("Setup1%Cavity1");
    w.actionAdd_Element_Group->trigger();
    w.actionAdd_Measurement_Group->trigger();
    select("Setup1%Cavity1%MeasurementGroup1");
    w.actionAdd_Measurement->trigger();
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    auto* element = new ElementNode_;
    element->setText(0, "Gain1");
    ElementBaseNode_::linkNewElement({element});
    node("Setup1%Cavity1")->addChild(element);

    const QList<QAction*> actions = {w.actionAdd_Cavity, w.actionAdd_Element, w.actionAdd_Element_Group,
                                     w.actionAdd_Measurement, w.actionAdd_Measurement_Group,
                                     w.actionMove_Element_Up, w.actionMove_Element_Down, w.actionDelete_Selected};
    const auto states = [&actions] {
        QString s;
        for (QAction* a : actions) s += a->isEnabled() ? '1' : '0';
        return s;
    };
    const std::vector<std::pair<QString, QString>> rows = {
        {"Setup1", "10000001"},
        {"Setup1%Cavity1", "01101001"},
        {"Setup1%Cavity1%Gain1", "00100111"},
        {"Setup1%Cavity1%ElementGroup1", "01101111"},
        {"Setup1%Measurements", "00010000"},
        {"Setup1%Measurements%Measurement1", "00010111"},
        {"Setup1%Cavity1%MeasurementGroup1", "00010111"},
        {"Setup1%Cavity1%MeasurementGroup1%Measurement1", "00010111"},
    };
    for (const auto& [path, expected] : rows) {
        select(path);
        EXPECT_EQ(states(), expected) << path.toStdString();
    }
    // Nothing selected: adds and moves off, Delete as it was.
    select("Setup1%Measurements");
    w.treeWidget->clearSelection();
    EXPECT_EQ(states(), "00000000");
    select("Setup1");
    w.treeWidget->clearSelection();
    EXPECT_EQ(states(), "00000001");
    EXPECT_EQ(w.itemName->text(), "");
    EXPECT_EQ(w.itemType->text(), "");
    EXPECT_EQ(w.itemParameters->rowCount(), 0);

    // Elements and groups show their instances and inputs; others show none.
    select("Setup1%Cavity1%Gain1");
    EXPECT_TRUE(w.instanceGroup->isEnabled());
    ASSERT_EQ(w.instanceList->count(), 1);
    EXPECT_EQ(w.instanceList->item(0)->text(), "Setup1%Cavity1%Gain1");
    EXPECT_EQ(w.instanceList->currentRow(), 0);
    ASSERT_EQ(w.inputList->topLevelItemCount(), 1);
    EXPECT_EQ(w.inputList->topLevelItem(0)->text(0), "Input 1");
    EXPECT_EQ(w.inputList->topLevelItem(0)->text(1), "Setup1%Cavity1%Gain1");
    select("Setup1%Cavity1");
    EXPECT_FALSE(w.inputGroup->isEnabled());
    EXPECT_EQ(w.instanceList->count(), 0);
}

TEST_F(TreeEditing, AnInstanceShowsAndEditsTheParametersOfItsMaster) {
    auto* element = new ElementNode_;
    element->setText(0, "Gain1");
    auto* gain = new Parameter_(DataType_::doubleprecision, 0, nullptr);
    gain->setName("Gain");
    gain->setValue("2");
    element->addParameter(gain);
    ElementBaseNode_::linkNewElement({element});
    node("Setup1%Cavity1")->addChild(element);
    ElementBaseNode_* instance = element->createInstance();
    node("Setup1%Cavity1")->addChild(instance);

    w.treeWidget->setCurrentItem(instance);
    EXPECT_EQ(w.itemName->text(), "Gain1.1");
    EXPECT_EQ(table(), (QList<QStringList>{{"Gain", "2", "Double", "0", "[ ]"}}));
    EXPECT_EQ(w.instanceList->currentRow(), 1);
    typeValue("Gain", "3");
    EXPECT_EQ(gain->getValue()->text(), "3");
}

TEST_F(TreeEditing, RenamesStayUniqueAndRenameWhatIsNamedAfterTheNode) {
    node("Setup1%Cavity1")->setText(0, "Ring");  // as the in-place editor hands it over
    EXPECT_EQ(childNames(node("Setup1")), (QStringList{"Measurements", "Ring"}));
    EXPECT_TRUE(w.getProjectChanged());

    select("Setup1");
    for (int i = 0; i < 3; ++i) w.actionAdd_Cavity->trigger();
    w.actionAdd_Setup->trigger();
    const std::vector<std::pair<QString, QString>> renames = {
        {"Setup1%Cavity1", "Cavity2(2)"},
        {"Setup1%Cavity3", "Cavity2(3)"},
        {"Setup2", "Setup1(2)"},
    };
    for (const auto& [path, kept] : renames) {
        Node_* n = node(path);
        ASSERT_NE(n, nullptr) << path.toStdString();
        n->setText(0, kept.left(kept.indexOf('(')));
        EXPECT_EQ(n->text(0), kept) << path.toStdString();
    }
    Node_* setup = node("Setup1(2)");
    EXPECT_EQ(value(setup, "Directory"), "Setup1(2)");
    EXPECT_EQ(w.tabWidgetSetupStatus->tabText(1), "Setup1(2)");

    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    node("Setup1%Measurements%Measurement1")->setText(0, "Energy");
    EXPECT_EQ(value(node("Setup1%Measurements%Energy"), "FileName"), "Energy.dat");
    EXPECT_EQ(w.itemName->text(), "Energy");

    // Rename opens the in-place editor, but not on the setup's own group.
    select("Setup1%Measurements");
    w.actionRename_Selected->trigger();
    EXPECT_EQ(w.treeWidget->viewport()->findChild<QLineEdit*>(), nullptr);
    select("Setup1%Ring");
    w.actionRename_Selected->trigger();
    EXPECT_NE(w.treeWidget->viewport()->findChild<QLineEdit*>(), nullptr);
}

TEST_F(TreeEditing, MovesStayAmongTheSiblingsAndKeepTheItemCurrent) {
    select("Setup1%Cavity1");
    for (int i = 0; i < 3; ++i) w.actionAdd_Element_Group->trigger();
    select("Setup1%Cavity1%ElementGroup3");
    w.actionMove_Element_Up->trigger();
    w.actionMove_Element_Up->trigger();
    w.actionMove_Element_Up->trigger();  // the first stays first
    EXPECT_EQ(childNames(node("Setup1%Cavity1")), (QStringList{"ElementGroup3", "ElementGroup1", "ElementGroup2"}));
    EXPECT_EQ(w.treeWidget->currentItem()->text(0), "ElementGroup3");
    select("Setup1%Cavity1%ElementGroup1");
    w.actionMove_Element_Down->trigger();
    w.actionMove_Element_Down->trigger();  // the last stays last
    EXPECT_EQ(childNames(node("Setup1%Cavity1")), (QStringList{"ElementGroup3", "ElementGroup2", "ElementGroup1"}));
    EXPECT_EQ(w.itemName->text(), "ElementGroup1");
    // A setup has no siblings to move among.
    select("Setup1");
    w.actionMove_Element_Down->setEnabled(true);
    w.actionMove_Element_Down->trigger();
    EXPECT_EQ(topNames(w.treeWidget), QStringList{"Setup1"});
}

TEST_F(TreeEditing, DeletingTakesTheSubtreeItsRowsTabAndErrorsAndSelectsTheParent) {
    select("Setup1%Cavity1");
    w.actionAdd_Element_Group->trigger();
    w.actionAdd_Measurement_Group->trigger();
    select("Setup1%Cavity1%ElementGroup1");
    w.actionAdd_Element_Group->trigger();
    for (int i = 0; i < 2; ++i) {
        select("Setup1%Cavity1%MeasurementGroup1");  // each new measurement becomes the selection
        w.actionAdd_Measurement->trigger();
    }
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    EXPECT_EQ(w.MeasurementTree->topLevelItemCount(), 3);
    Error_::reportStatic("before", Error_::warning);
    QCoreApplication::processEvents();
    ASSERT_EQ(w.ErrorList->topLevelItemCount(), 1);

    for (const char* path : {"Setup1%Cavity1%MeasurementGroup1", "Setup1%Cavity1%ElementGroup1"}) {
        select(path);
        w.actionDelete_Selected->trigger();
        EXPECT_EQ(w.itemName->text(), "Cavity1") << path;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(node("Setup1%Cavity1")->childCount(), 0);
    EXPECT_EQ(w.MeasurementTree->topLevelItemCount(), 1);
    EXPECT_EQ(w.ErrorList->topLevelItemCount(), 0);

    w.actionAdd_Setup->trigger();
    select("Setup1");
    w.actionDelete_Selected->trigger();
    EXPECT_EQ(topNames(w.treeWidget), QStringList{"Setup2"});
    EXPECT_EQ(w.MeasurementTree->topLevelItemCount(), 0);
    ASSERT_EQ(w.tabWidgetSetupStatus->count(), 1);
    EXPECT_EQ(w.tabWidgetSetupStatus->tabText(0), "Setup2");
    w.treeWidget->clearSelection();
    w.actionDelete_Selected->trigger();  // nothing selected: nothing happens
    EXPECT_EQ(topNames(w.treeWidget), QStringList{"Setup2"});
}

TEST_F(TreeEditing, ValuesAreEditedInTheTableAndBadOnesPutBackWithTheReason) {
    w.actionAdd_Setup->trigger();
    select("Setup2");
    w.actionAdd_Cavity->trigger();
    select("Setup1");
    w.actionAdd_Cavity->trigger();
    MessageBoxes boxes;
    const struct {
        QString path;
        QString name;
        QString typed;
        QString kept;
    } rows[] = {
        {"Setup1", "Roundtrips", "20", "20"},
        {"Setup1", "Roundtrips", "abc", "20"},
        {"Setup1", "Roundtrips", "1.5", "20"},
        {"Setup1", "Samples", "0", "256"},
        {"Setup1", "Samples", "", "256"},
        {"Setup1", "Samples", "512", "512"},
        {"Setup1", "Directory", "run 1", "run 1"},
        {"Setup1%Cavity1", "InnitialPulseDuration", "2e-12", "2e-12"},
        {"Setup1%Cavity1", "InnitialPulseDuration", "short", "2e-12"},
        {"Setup1%Cavity1", "InnitialPulseDuration", "inf", "2e-12"},
        {"Setup1%Cavity1", "PulseWavelength", "", ""},
        {"Setup1%Cavity1", "RecenterPulse", "maybe", "true"},
        {"Setup1%Cavity1", "RecenterPulse", "false", "false"},
    };
    size_t refused = 0;
    for (const auto& row : rows) {
        select(row.path);
        typeValue(row.name, row.typed);
        EXPECT_EQ(value(node(row.path), row.name), row.kept) << row.name.toStdString() << " " << row.typed.toStdString();
        if (row.kept != row.typed) ++refused;
        ASSERT_EQ(boxes.shown.size(), refused) << row.name.toStdString() << " " << row.typed.toStdString();
    }
    EXPECT_EQ(boxes.shown[0].title, "Invalid Value");
    EXPECT_EQ(boxes.shown[0].text, "\"abc\" is not a value of type Integer. Roundtrips keeps its value \"20\".");
    // The new sample count reaches the pulses of this setup's cavities only.
    for (const char* path : {"Setup1%Cavity1", "Setup1%Cavity2"})
        EXPECT_EQ(node(path)->getParameter("Pulse")->getSamples()[0], 512) << path;
    EXPECT_EQ(node("Setup2%Cavity1")->getParameter("Pulse")->getSamples()[0], 256);
    // A measurement's row follows its edited parameters.
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    typeValue("Parameter", "Energy(P)");
    EXPECT_EQ(value(node("Setup1%Measurements%Measurement1"), "Parameter"), "Energy(P)");
}

// Whatever a save would write differently marks the project changed, so
// closing asks; an edit that leaves the tree as it was does not.
TEST_F(TreeEditing, EveryEditASaveWouldWriteMarksTheProjectChanged) {
    File_::setNameHandler([](bool) { return QString("edits.experiment"); });
    select("Setup1%Cavity1");
    w.actionAdd_Element_Group->trigger();
    w.actionAdd_Element_Group->trigger();
    auto* gain = new ElementNode_;
    gain->setText(0, "Gain1");
    ElementBaseNode_::linkNewElement({gain});
    node("Setup1%Cavity1")->addChild(gain);
    select("Setup1%Measurements");
    w.actionAdd_Measurement->trigger();
    w.actionSave_As->trigger();
    ASSERT_FALSE(w.getProjectChanged());

    // The composer of the measured expression: `text` typed, then `button`.
    const auto compose = [this](const QString& text, QDialogButtonBox::StandardButton button) {
        select("Setup1%Measurements%Measurement1");
        onNextModalDialog([text, button](QDialog* d) {
            if (!text.isNull()) d->findChild<QLineEdit*>("parameterString")->setText(text);
            d->findChild<QDialogButtonBox*>("buttonBox")->button(button)->click();
        });
        emit w.itemParameters->cellClicked(rowOf("Parameter"), 1);
    };
    const auto copySetup = [this](QDialogButtonBox::StandardButton button) {
        onNextModalDialog([button](QDialog* d) { d->findChild<QDialogButtonBox*>("buttonBox")->button(button)->click(); });
        w.actionCopy_Setup->trigger();
    };
    const struct {
        const char* what;
        std::function<void()> edit;
        bool changed;
    } rows[] = {
        {"a value", [&] { select("Setup1"); typeValue("Roundtrips", "77"); }, true},
        // The table reports the cell (here for its flags) with the text it showed.
        {"the value it has",
         [&] {
             QTableWidgetItem* cell = w.itemParameters->item(rowOf("Roundtrips"), 1);
             typeValue("Roundtrips", "77");
             cell->setFlags(cell->flags());
         },
         false},
        {"a refused value", [&] { typeValue("Roundtrips", "many"); }, false},
        {"a selection", [&] { select("Setup1%Cavity1"); }, false},
        {"a rename", [&] { node("Setup1%Cavity1%ElementGroup2")->setText(0, "Group"); }, true},
        {"a move", [&] { select("Setup1%Cavity1%ElementGroup1"); w.actionMove_Element_Down->trigger(); }, true},
        {"a move past the end", [&] { select("Setup1%Cavity1%Gain1"); w.actionMove_Element_Down->trigger(); }, false},
        {"an instance",
         [&] {
             onNextModalDialog([](QDialog* d) { d->accept(); });
             w.buttonAddInstance->click();
         },
         true},
        {"an instance removed",
         [&] {
             ASSERT_EQ(gain->getInstances(), 2);
             w.treeWidget->setCurrentItem(gain->getInstance(1));
             w.buttonRemoveInstance->click();
         },
         true},
        {"a deletion", [&] { select("Setup1%Cavity1%Group"); w.actionDelete_Selected->trigger(); }, true},
        {"an expression accepted as it was", [&] { compose(QString(), QDialogButtonBox::Ok); }, false},
        {"a cancelled expression", [&] { compose("1", QDialogButtonBox::Cancel); }, false},
        {"an expression", [&] { compose("1", QDialogButtonBox::Ok); }, true},
        {"a cancelled setup copy", [&] { copySetup(QDialogButtonBox::Cancel); }, false},
        {"a setup copy", [&] { copySetup(QDialogButtonBox::Ok); }, true},
    };
    w.show();
    for (const auto& row : rows) {
        {
            MessageBoxes refusals;
            row.edit();
        }
        EXPECT_EQ(w.getProjectChanged(), row.changed) << row.what;
        MessageBoxes question(QMessageBox::Cancel);
        w.close();
        EXPECT_EQ(question.shown.size(), row.changed ? 1u : 0u) << row.what;
        w.show();
        w.actionSave->trigger();
    }
    EXPECT_EQ(value(node("Setup1"), "Roundtrips"), "77");
    EXPECT_EQ(childNames(node("Setup1%Cavity1")), (QStringList{"ElementGroup1", "Gain1"}));
    EXPECT_EQ(value(node("Setup1%Measurements%Measurement1"), "Parameter"), "1");
    EXPECT_EQ(w.treeWidget->topLevelItemCount(), 2);
    File_::setNameHandler({});
}

TEST_F(TreeEditing, ContextMenusOfferTheActionsOfTheNodeUnderThePointer) {
    // Records the entries of the menu the right click opens, and closes it.
    const auto menuOver = [this](QWidget* widget) {
        QStringList entries;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&entries] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions()) entries << a->objectName() + (a->isEnabled() ? "" : " (off)");
                menu->close();
            }
        });
        closer.start(10);
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &event);
        return entries;
    };
    w.show();
    select("Setup1%Measurements");
    EXPECT_EQ(menuOver(w.treeWidget->viewport()),
              (QStringList{"actionAdd_Setup", "actionDelete_Selected (off)", "actionRun", "actionAdd_Measurement"}));
    select("Setup1%Cavity1");
    EXPECT_EQ(menuOver(w.treeWidget->viewport()),
              (QStringList{"actionAdd_Setup", "actionDelete_Selected", "actionRun", "actionAdd_Element",
                           "actionAdd_Element_Group", "actionAdd_Measurement_Group"}));
    EXPECT_TRUE(menuOver(w.ErrorList->viewport()).isEmpty());
    EXPECT_TRUE(menuOver(w.MeasurementTree->viewport()).isEmpty());  // no current row
}

}  // namespace
