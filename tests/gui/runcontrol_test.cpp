// The error list and the run actions of the window on the user-interface
// thread: rows with their source and explanation, and Run and Reset where
// no setup thread is involved.
#include <QCoreApplication>
#include <QTextEdit>
#include <gtest/gtest.h>

#include "dialogs/setupstatuswidget.h"
#include "guitesting.h"
#include "interface/error.h"
#include "interface/parameter.h"
#include "interface/setupnode.h"
#include "mainwindow.h"

namespace {

class RunControl : public ::testing::Test {
protected:
    void TearDown() override {
        loggertesting::reset();
        errortesting::reset();
    }
    Node_* node(const QString& path) const { return dynamic_cast<Node_*>(w.findSetupTreeNode(path)); }
    QStringList row(int i) const {
        QTreeWidgetItem* item = w.ErrorList->topLevelItem(i);
        return {item->text(0), item->text(1), item->text(2)};
    }
    QTreeWidget* statusErrors(const QString& setup) const {
        auto* setupNode = dynamic_cast<SetupNode_*>(node(setup));
        auto* tab = dynamic_cast<SetupStatusWidget_*>(setupNode->getSetupStatusWidget());
        return tab->errorList;
    }
    // The run controls as on, off: "RSX" for Run, Stop, Reset, "E" for editing.
    QString controls() const {
        QString s;
        for (QAction* a : {w.actionRun, w.actionStop, w.actionReset}) s += a->isEnabled() ? '1' : '0';
        return s + (w.treeWidget->isEnabled() && w.itemParameters->isEnabled() ? '1' : '0');
    }

    guitesting::WorkingDirectory dir{true};
    MainWindow w;
};

TEST_F(RunControl, ErrorRowsNameTheirSourceReachItsStatusTabAndExplainTheirCode) {
    node("Setup1%Cavity1")->report("slot empty", Error_::warning);
    Error_::reportStatic("Simulation started successfully.", Error_::notice);
    QCoreApplication::processEvents();

    ASSERT_EQ(w.ErrorList->topLevelItemCount(), 2);
    EXPECT_EQ(row(0), (QStringList{"7", "Warning: slot empty", "Setup1%Cavity1"}));
    EXPECT_EQ(row(1), (QStringList{"5", "Note: Simulation started successfully.", "Unknown"}));
    // Only the report with a node reaches the setup's tab.
    QTreeWidget* tabErrors = statusErrors("Setup1");
    ASSERT_EQ(tabErrors->topLevelItemCount(), 1);
    EXPECT_EQ(tabErrors->topLevelItem(0)->text(1), "Warning: slot empty");

    w.ErrorList->setCurrentItem(w.ErrorList->topLevelItem(0));
    EXPECT_EQ(w.ErrorText->toPlainText(), "Time: \n\nError Type " + Error_::getErrorString(Error_::warning) +
                                              ":\n" + Error_::getErrorExplanation(Error_::warning) +
                                              "\n\nRoundtrip:");
    // The row keeps the path of a node that is gone; the list follows the registry.
    w.ErrorList->setCurrentItem(nullptr);
    EXPECT_TRUE(w.ErrorText->toPlainText().isEmpty());
}

TEST_F(RunControl, RunOnATreeThatFailsVerificationChangesNothing) {
    guitesting::MessageBoxes boxes;
    w.treeWidget->setCurrentItem(nullptr);  // the value is set in place, not through the table
    node("Setup1")->getParameter("Roundtrips")->setValue("many");
    const QString before = controls();
    w.actionRun->trigger();

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Expression Error");
    EXPECT_EQ(w.getBase(), nullptr);
    EXPECT_EQ(controls(), before);
    EXPECT_EQ(before, "1001");
    EXPECT_NE(w.tabWidget->currentIndex(), 1);
    EXPECT_TRUE(w.getProjectChanged());
}

TEST_F(RunControl, ResetWithoutAnExperimentLeavesTheWindowIdle) {
    w.actionReset->setEnabled(true);
    w.actionReset->trigger();
    EXPECT_EQ(w.getBase(), nullptr);
    EXPECT_EQ(controls(), "1001");
    w.actionStop->setEnabled(true);
    w.actionStop->trigger();  // nothing to stop
    EXPECT_EQ(w.getBase(), nullptr);
}

}  // namespace
