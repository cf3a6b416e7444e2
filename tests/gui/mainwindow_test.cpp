#include "mainwindow.h"

#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QRegularExpression>
#include <QToolBar>
#include <gtest/gtest.h>

#include "dialogs/about.h"
#include "dialogs/debugconsole.h"
#include "dialogs/manageplugins.h"
#include "guitesting.h"
#include "interface/error.h"
#include "interface/node.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;

QStringList actionNames(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* a : actions) names << a->objectName();
    return names;
}

// Everything the window logs at level normal, which goes to standard output.
std::string loggedWhile(const std::function<void()>& act) {
    testing::internal::CaptureStdout();
    act();
    return testing::internal::GetCapturedStdout();
}

class Window : public ::testing::Test {
protected:
    void TearDown() override {
        loggertesting::reset();
        errortesting::reset();
    }
};

TEST_F(Window, MenusAndToolBarsHoldTheirActionsInOrder) {
    WorkingDirectory dir(true);
    MainWindow w;
    const std::vector<std::pair<QWidget*, QStringList>> holders = {
        {w.menuFile, {"actionNew", "actionOpen", "actionSave", "actionSave_As", "actionManage_Plugins", "actionExit"}},
        {w.menuSimulation, {"actionRun", "actionStop", "actionReset", "actionPreferences", "actionDebug_Console"}},
        {w.menuSetup, {"actionAdd_Setup", "actionCopy_Setup", "actionAdd_Cavity", "actionAdd_Element",
                       "actionAdd_Element_Group", "actionAdd_Measurement", "actionAdd_Measurement_Group",
                       "actionDelete_Selected", "actionMove_Element_Up", "actionMove_Element_Down"}},
        {w.menuData, {"actionSave_Selected", "actionPlot", "actionAnimate", "actionAnalyze", "actionAnalyze_As"}},
        {w.menuHelp, {"actionContext_Help", "actionManual", "actionAbout"}},
        {w.toolBarSimulation, {"actionRun", "actionStop", "actionReset"}},
        {w.toolBarFile, {"actionNew", "actionOpen", "actionSave", "actionSave_As"}},
        {w.toolBarSetup, {"actionAdd_Setup", "actionAdd_Cavity", "actionAdd_Element", "actionAdd_Element_Group",
                          "actionAdd_Measurement", "actionAdd_Measurement_Group", "actionMove_Element_Up",
                          "actionMove_Element_Down"}},
        {w.toolBarData, {"actionPlot", "actionAnimate", "actionSave_Selected", "actionAnalyze", "actionAnalyze_As"}},
    };
    for (const auto& [holder, names] : holders) EXPECT_EQ(actionNames(holder->actions()), names) << holder->objectName().toStdString();
    QStringList titles;
    for (QAction* m : w.menubar->actions()) titles << m->text();
    EXPECT_EQ(titles, (QStringList{"File", "Simulation", "Setup", "Data", "Help"}));
    EXPECT_EQ(w.toolBarSetup->windowTitle(), "toolBar_3");
    EXPECT_EQ(w.toolBarData->windowTitle(), "toolBar_3");

    // The form's actions, and those that stand in no menu and no tool bar.
    QStringList all = actionNames(w.findChildren<QAction*>(QRegularExpression("^action")));
    all.removeDuplicates();
    EXPECT_EQ(all.size(), 38);  // the form's 37 and "Add Instance..."
    for (const char* loose : {"actionSave_All", "actionClone_Selected", "actionClone_Element_Group",
                              "actionDuplicate_Selected", "actionRename_Selected", "actionMonitor_Variable",
                              "actionExport_Experiment", "actionImport_Experiment"}) {
        auto* a = w.findChild<QAction*>(loose);
        ASSERT_NE(a, nullptr) << loose;
        EXPECT_TRUE(a->associatedWidgets().isEmpty()) << loose;
    }
}

TEST_F(Window, StartsIdleWithItsTabsAndWithoutBoxesWhenConfigIsThere) {
    WorkingDirectory dir(true);
    MessageBoxes boxes;
    MainWindow w;
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(w.windowTitle(), "Korvane");
    EXPECT_TRUE(w.actionRun->isEnabled());
    for (QAction* a : {w.actionStop, w.actionReset, w.actionSave_Selected, w.actionAnalyze, w.actionAnalyze_As})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QWidget* b : std::initializer_list<QWidget*>{w.radioButtonRe, w.radioButtonIm, w.radioButtonAbs,
                                                      w.radioButtonPhase, w.checkBoxIsAnimated})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    QStringList tabs;
    for (int i = 0; i < w.tabWidget->count(); ++i) tabs << w.tabWidget->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"Setup", "Status", "Errors", "Data", "Analysis"}));
    EXPECT_EQ(w.tabWidgetSetupStatus->count(), 1);  // the default setup's
    ASSERT_NE(w.getTopNode(0), nullptr);
    EXPECT_EQ(w.getTopNode(0), w.treeWidget->topLevelItem(0));
    EXPECT_EQ(w.getTopNode(1), nullptr);
    EXPECT_EQ(w.progressBar->value(), 0);
    EXPECT_EQ(w.getElementData()->getRoot()->getChildren(), 7);
    EXPECT_EQ(w.findChild<ManagePlugins*>()->getPluginDirectory(), "plugins/");
    EXPECT_EQ(w.findChild<ManagePlugins*>()->getMaxParameters(), 1000);
}

TEST_F(Window, MissingConfigFilesAreReportedAndTheWindowStillOpens) {
    WorkingDirectory dir(false);
    MessageBoxes boxes;
    MainWindow w;
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].title, "Configuration not found");
    EXPECT_EQ(boxes.shown[0].text, "Unable to read config file: Unable to read from file.\n Using defaults.");
    EXPECT_EQ(boxes.shown[1].kind, MessageBox_::critical);
    EXPECT_EQ(boxes.shown[1].title, "File Read Error");
    EXPECT_EQ(boxes.shown[1].text, "Could not read the config file config/elements.config\nUnable to read from file.");
    EXPECT_EQ(w.getElementData()->getRoot()->getChildren(), 0);
    EXPECT_EQ(w.findChild<ManagePlugins*>()->getPluginDirectory(), "plugins/");
    EXPECT_EQ(w.tabWidget->count(), 5);
}

TEST_F(Window, TheLoggingSlotsOnlySayTheirLine) {
    WorkingDirectory dir(true);
    MainWindow w;
    const std::vector<std::pair<QAction*, std::string>> rows = {
        {w.actionSave_Selected, "Unimplemented function void MainWindow::saveSelectedData() called"},
        {w.actionAnimate, "Unimplemented function void void MainWindow::animateData() called"},
        {w.actionAnalyze_As, "Call to unimplemented void MainWindow::analyzeDataAs()."},
        {w.actionMonitor_Variable, ""},
    };
    for (const auto& [action, line] : rows) {
        action->setEnabled(true);
        const std::string logged = loggedWhile([a = action] { a->trigger(); });
        EXPECT_EQ(logged, line.empty() ? "" : line + "\n") << action->objectName().toStdString();
    }
    EXPECT_EQ(loggedWhile([&w] { QMetaObject::invokeMethod(&w, "preExit"); }), "Have a nice day.\n");
    EXPECT_EQ(w.treeWidget->topLevelItemCount(), 1);
    EXPECT_TRUE(w.isEnabled());
}

TEST_F(Window, AboutShowsTheVersionAndExitCloses) {
    WorkingDirectory dir(true);
    MainWindow w;
    w.show();
    QString shown;
    guitesting::onNextModalDialog([&shown](QDialog* d) {
        shown = d->findChild<QLabel*>("label_3")->text();
        d->accept();
    });
    w.actionAbout->trigger();
    EXPECT_EQ(shown, "Version 0.9.1");
    w.actionExit->trigger();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(Window, DebugConsoleOpensModalOnceAndKeepsItsOutput) {
    WorkingDirectory dir(true);
    MainWindow w;
    DebugConsole_* console = w.getDebugConsole();
    console->outputText->setPlainText("kept");
    w.actionDebug_Console->trigger();
    EXPECT_TRUE(console->isVisible());
    EXPECT_TRUE(console->isModal());
    w.actionDebug_Console->trigger();  // already shown: nothing changes
    console->inputText->setText("exit");
    emit console->inputText->returnPressed();
    EXPECT_FALSE(console->isVisible());
    EXPECT_EQ(console->outputText->toPlainText(), "kept");
}

TEST_F(Window, ALaterWindowWorksOnceTheFirstIsGone) {
    WorkingDirectory dir(true);
    { MainWindow first; }
    MainWindow second;
    Logger_ logger;
    logger.log("to the second", Logger_::debugA);
    Error_::reportStatic("to the second", Error_::warning);
    QCoreApplication::processEvents();
    EXPECT_TRUE(second.getDebugConsole()->outputText->toPlainText().contains(": to the second"));
    EXPECT_EQ(second.ErrorList->topLevelItemCount(), 1);
}

// Every icon the forms and the window name is compiled in.
TEST_F(Window, EveryIconTheFormsNameLoads) {
    WorkingDirectory dir(true);
    MainWindow w;  // registers the resources
    const QRegularExpression icon(":/Icons/[^<\"]+\\.png");
    QStringList names;
    QDir sources(PLS_SOURCE_DIR);
    for (const char* file : {"forms/mainwindow.ui", "mainwindow.cpp"}) {
        const QString text = WorkingDirectory::read(sources.filePath(file));
        ASSERT_FALSE(text.isEmpty()) << file;
        for (auto it = icon.globalMatch(text); it.hasNext();) names << it.next().captured();
    }
    names.removeDuplicates();
    EXPECT_GE(names.size(), 34);
    for (const QString& name : names) EXPECT_FALSE(QPixmap(name).isNull()) << name.toStdString();
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_FALSE(w.actionRun->icon().isNull());
}

}  // namespace
