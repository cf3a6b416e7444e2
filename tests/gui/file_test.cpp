// The project actions: New, Open, Save and Save As with the unsaved-changes
// question, the experiment files they write and read, and their failures.
#include <QDialogButtonBox>
#include <QFile>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <deque>

#include "file.h"
#include "guitesting.h"
#include "interface/elementnode.h"
#include "interface/error.h"
#include "interface/node.h"
#include "interface/parameter.h"
#include "mainwindow.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::ModalDialogs;
using guitesting::WorkingDirectory;

// Every node's path with its parameter values, in tree order.
QStringList dump(QTreeWidgetItem* item) {
    QStringList lines;
    if (auto* node = dynamic_cast<Node_*>(item)) {
        QString line = node->getPath();
        for (int i = 0; i < node->getParameters(); ++i) line += " " + node->getParameter(i)->getValue()->text();
        lines << line;
    }
    for (int i = 0; i < item->childCount(); ++i) lines << dump(item->child(i));
    return lines;
}

class ProjectActions : public ::testing::Test {
protected:
    void SetUp() override {
        File_::setNameHandler([this](bool existing) {
            asked.push_back(existing);
            if (names.empty()) return QString();
            const QString name = names.front();
            names.pop_front();
            return name;
        });
    }
    void TearDown() override {
        File_::setNameHandler({});
        loggertesting::reset();
        errortesting::reset();
    }

    void select(const QString& path) { w.treeWidget->setCurrentItem(w.findSetupTreeNode(path)); }
    QStringList tree() { return dump(w.treeWidget->invisibleRootItem()); }
    // A second setup, an element group and a measurement group with a measurement.
    void buildTree() {
        w.actionAdd_Setup->trigger();
        select("Setup1%Cavity1");
        w.actionAdd_Element_Group->trigger();
        select("Setup1%Cavity1");
        w.actionAdd_Measurement_Group->trigger();
        select("Setup1%Cavity1%MeasurementGroup1");
        w.actionAdd_Measurement->trigger();
        select("Setup2%Measurements");
        w.actionAdd_Measurement->trigger();
    }
    void saveAs(const QString& name) {
        names.push_back(name);
        w.actionSave_As->trigger();
    }
    void open(const QString& name) {
        names.push_back(name);
        w.actionOpen->trigger();
    }
    // Types `text` into the value cell of the parameter `name` of the node at `path`.
    void typeValue(const QString& path, const QString& name, const QString& text) {
        select(path);
        for (int r = 0; r < w.itemParameters->rowCount(); ++r)
            if (w.itemParameters->item(r, 0)->text() == name) return w.itemParameters->item(r, 1)->setText(text);
        ADD_FAILURE() << name.toStdString();
    }
    static QStringList titles(const MessageBoxes& boxes) {
        QStringList list;
        for (const auto& r : boxes.shown) list << r.title;
        return list;
    }

    WorkingDirectory dir{true};
    MainWindow w;
    std::deque<QString> names;
    std::vector<bool> asked;  // for each file dialog: whether it wanted an existing file
};

TEST_F(ProjectActions, SaveOpenSaveGivesTheSameTreeAndTheSameFile) {
    MessageBoxes boxes;
    buildTree();
    const QStringList built = tree();
    saveAs("first.experiment");
    EXPECT_EQ(w.getFile()->getName(), "first.experiment");
    EXPECT_FALSE(w.getProjectChanged());
    const QByteArray first = WorkingDirectory::read("first.experiment");
    EXPECT_TRUE(first.endsWith("\"Version\" \"0.9.1\";\n"));

    w.actionNew->trigger();
    EXPECT_EQ(tree(), (QStringList{"Setup1 10  256 Setup1", "Setup1%Measurements"}));
    open("first.experiment");
    EXPECT_EQ(tree(), built);
    EXPECT_FALSE(w.getProjectChanged());
    EXPECT_EQ(w.tabWidgetSetupStatus->count(), 2);
    ASSERT_EQ(w.MeasurementTree->topLevelItemCount(), 2);
    EXPECT_EQ(w.MeasurementTree->topLevelItem(1)->text(1), "Setup2%Measurements%Measurement1");
    saveAs("second.experiment");
    EXPECT_EQ(WorkingDirectory::read("second.experiment"), first);

    // Save after Save As writes to the same file without asking.
    asked.clear();
    select("Setup1");
    w.actionAdd_Cavity->trigger();
    w.actionSave->trigger();
    EXPECT_TRUE(asked.empty());
    EXPECT_NE(WorkingDirectory::read("second.experiment"), first);
    EXPECT_TRUE(titles(boxes).isEmpty());
}

TEST_F(ProjectActions, AFileOfAnotherVersionLoadsAfterOneWarning) {
    saveAs("old.experiment");
    QByteArray text = WorkingDirectory::read("old.experiment");
    text.replace("\"Version\" \"0.9.1\"", "\"Version\" \"0.8\"");
    WorkingDirectory::write("old.experiment", text);
    w.actionAdd_Setup->trigger();
    MessageBoxes boxes(QMessageBox::Discard);
    open("old.experiment");
    EXPECT_EQ(titles(boxes), (QStringList{"Unsaved Changes", "Version Conflict"}));
    EXPECT_TRUE(boxes.shown.back().text.startsWith("The file old.experiment was created with a different version"));
    EXPECT_EQ(w.treeWidget->topLevelItemCount(), 1);
}

// Whatever is wrong with the file, the tree and the current file name stay.
TEST_F(ProjectActions, AnUnreadableFileKeepsTheTreeAndTheFileName) {
    saveAs("kept.experiment");
    const QStringList before = tree();
    const struct {
        const char* name;
        QByteArray text;
        const char* reason;
    } rows[] = {
        {"missing.experiment", {}, "Unable to read"},
        {"cut.experiment", "\"Setup\" \"Setup1\" {\n", "Unexpected end"},
        {"unversioned.experiment", "\"Setup\" \"S\";\n", "no \"Version\""},
        {"keyless.experiment", "\"Setup\" \"S\" { \"Parameter\" \"P\" { \"Value\" \"1\"; } }\n\"Version\" \"0.9.1\";\n",
         "no \"Text\""},
    };
    for (const auto& row : rows) {
        if (!row.text.isNull()) WorkingDirectory::write(row.name, row.text);
        MessageBoxes boxes;
        w.actionImport_Experiment->trigger();  // cancelled: nothing happens
        open(row.name);
        ASSERT_EQ(titles(boxes), QStringList{"Unable to Read"}) << row.name;
        EXPECT_TRUE(boxes.shown[0].text.startsWith(QString("Error reading file ") + row.name + ".\n")) << row.name;
        EXPECT_TRUE(boxes.shown[0].text.contains(row.reason)) << boxes.shown[0].text.toStdString();
        EXPECT_EQ(tree(), before) << row.name;
        EXPECT_EQ(w.getFile()->getName(), "kept.experiment") << row.name;
    }
}

// A failed save shows "Save Error", leaves the changes marked and the file
// that was there as it was.
TEST_F(ProjectActions, AFailedSaveKeepsTheOldFileAndTheChangesMarked) {
    saveAs("good.experiment");
    const QByteArray good = WorkingDirectory::read("good.experiment");
    QTreeWidgetItem* cavity = w.findSetupTreeNode("Setup1%Cavity1");
    const struct {
        const char* target;     // Save As to it; empty: Save to the current file
        const char* cavityName;
        const char* reason;
    } rows[] = {
        {"", "Cavity \"one\"", "Unwritable node"},
        {"", "Cavity%1", "cannot be stored"},  // its element group's path would break
        {"good.experiment/inside.experiment", "Cavity1", "Unable to write"},  // its folder is a file
    };
    for (const auto& row : rows) {
        cavity->setText(0, row.cavityName);
        w.treeWidget->setCurrentItem(cavity);
        w.actionAdd_Element_Group->trigger();
        MessageBoxes boxes;
        if (*row.target != '\0') saveAs(row.target);
        else w.actionSave->trigger();
        ASSERT_EQ(titles(boxes), QStringList{"Save Error"}) << row.cavityName;
        EXPECT_TRUE(boxes.shown[0].text.startsWith("Could not write file ")) << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(boxes.shown[0].text.contains(row.reason)) << boxes.shown[0].text.toStdString();
        EXPECT_TRUE(w.getProjectChanged());
        EXPECT_FALSE(w.getFile()->isSaved());
        EXPECT_EQ(WorkingDirectory::read("good.experiment"), good);
    }
}

// The question comes only with unsaved changes; Save saves first (here to a
// name asked for, since the project was never saved), Discard goes on,
// Cancel changes nothing.
TEST_F(ProjectActions, TheUnsavedChangesQuestionHasThreeAnswers) {
    WorkingDirectory::write("other.experiment", "\"Setup\" \"Loaded\";\n\"Version\" \"0.9.1\";\n");
    const struct {
        QAction* MainWindow::*action;
        QMessageBox::StandardButton answer;
        const char* title;
        QStringList tops;  // after the action
        bool saved;
    } rows[] = {
        {&MainWindow::actionNew, QMessageBox::Cancel, "My Application", {"Setup1", "Setup2"}, false},
        {&MainWindow::actionNew, QMessageBox::Discard, "My Application", {"Setup1"}, false},
        {&MainWindow::actionNew, QMessageBox::Save, "My Application", {"Setup1"}, true},
        {&MainWindow::actionOpen, QMessageBox::Cancel, "Unsaved Changes", {"Setup1", "Setup2"}, false},
        {&MainWindow::actionOpen, QMessageBox::Discard, "Unsaved Changes", {"Loaded"}, false},
        {&MainWindow::actionOpen, QMessageBox::Save, "Unsaved Changes", {"Loaded"}, true},
    };
    for (const auto& row : rows) {
        {
            MessageBoxes discard(QMessageBox::Discard);
            w.actionNew->trigger();
        }
        w.actionAdd_Setup->trigger();
        QFile::remove("project.experiment");
        asked.clear();
        names = {"other.experiment"};
        if (row.saved) names.push_front("project.experiment");
        MessageBoxes boxes(row.answer);
        (w.*row.action)->trigger();
        ASSERT_EQ(titles(boxes), QStringList{row.title}) << row.title << row.answer;
        EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        EXPECT_EQ(boxes.shown[0].text, "The project has been modified.\n Do you want to save your changes?");
        QStringList tops;
        for (int i = 0; i < w.treeWidget->topLevelItemCount(); ++i) tops << w.treeWidget->topLevelItem(i)->text(0);
        EXPECT_EQ(tops, row.tops) << row.title << row.answer;
        EXPECT_EQ(QFile::exists("project.experiment"), row.saved) << row.title << row.answer;
        // The file dialogs that came: the save's, then Open's.
        std::vector<bool> dialogs;
        if (row.saved) dialogs.push_back(false);
        if (row.action == &MainWindow::actionOpen && row.answer != QMessageBox::Cancel) dialogs.push_back(true);
        EXPECT_EQ(asked, dialogs) << row.title << row.answer;
        if (row.action == &MainWindow::actionNew && row.answer != QMessageBox::Cancel) {
            EXPECT_FALSE(w.getProjectChanged());
            EXPECT_EQ(w.getFile()->getName(), "");
        }
    }
    // Import asks nothing.
    w.actionAdd_Setup->trigger();
    MessageBoxes boxes;
    names = {"other.experiment"};
    w.actionImport_Experiment->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(w.treeWidget->topLevelItem(0)->text(0), "Loaded");
    // Closing asks too: Cancel keeps the window open.
    w.show();
    for (const auto answer : {QMessageBox::Cancel, QMessageBox::Discard}) {
        MessageBoxes closing(answer);
        w.close();
        EXPECT_EQ(titles(closing), QStringList{"Unsaved Changes"});
        EXPECT_EQ(w.isVisible(), answer == QMessageBox::Cancel);
    }
}

// Save chosen in the question, and the save did not happen (the file's
// folder is gone, or the file dialog was cancelled): New, Open and closing
// stop as Cancel would. The user clicks the real boxes and dialogs.
TEST_F(ProjectActions, ASaveThatDidNotHappenKeepsTheProject) {
    // Clicks `which` in the dialog shown, a message box or not as `box` says.
    const auto press = [](bool box, QDialogButtonBox::StandardButton which) {
        return std::function<void(QDialog*)>([box, which](QDialog* d) {
            ASSERT_EQ(qobject_cast<QMessageBox*>(d) != nullptr, box) << d->windowTitle().toStdString();
            QAbstractButton* button = d->findChild<QDialogButtonBox*>()->button(which);
            ASSERT_NE(button, nullptr) << d->windowTitle().toStdString();
            QTest::mouseClick(button, Qt::LeftButton);
        });
    };
    QAction* const close = nullptr;
    const struct {
        QAction* action;  // none: the window is closed
        bool folderGone;  // else the project has no file and the dialog is cancelled
    } rows[] = {{w.actionNew, true}, {w.actionNew, false}, {w.actionOpen, true},
                {w.actionOpen, false}, {close, true}, {close, false}};
    w.show();
    for (const auto& row : rows) {
        const std::string what = (row.action ? row.action->objectName().toStdString() : "close") +
                                 (row.folderGone ? ", folder gone" : ", dialog cancelled");
        {
            MessageBoxes answered(QMessageBox::Discard);
            w.actionNew->trigger();
            if (row.folderGone) {
                QDir().mkdir("gone");
                saveAs("gone/project.experiment");
                QDir("gone").removeRecursively();
            }
            w.actionAdd_Setup->trigger();
            typeValue("Setup2", "Roundtrips", "77");
        }
        const QStringList before = tree();
        MessageBox_::setHandler({});
        File_::setNameHandler({});
        ModalDialogs user({press(true, QDialogButtonBox::Save), row.folderGone ? press(true, QDialogButtonBox::Ok)
                                                                               : press(false, QDialogButtonBox::Cancel)});
        if (row.action)
            row.action->trigger();
        else
            EXPECT_FALSE(w.close()) << what;
        EXPECT_EQ(user.opened(), 2u) << what;
        EXPECT_TRUE(user.unexpected.isEmpty()) << what << ": " << user.unexpected.join(", ").toStdString();
        MessageBox_::setHandler(MessageBoxes::answerOk());
        SetUp();
        EXPECT_EQ(tree().join('\n').toStdString(), before.join('\n').toStdString()) << what;
        EXPECT_TRUE(before.contains("Setup2 77  256 Setup2")) << what;
        EXPECT_TRUE(w.getProjectChanged()) << what;
        EXPECT_TRUE(w.isVisible()) << what;
    }
}

// After New, Open and Import the instances and inputs panel names only
// nodes of the tree that now holds, and offers nothing without an element.
TEST_F(ProjectActions, TheInstancePanelForgetsTheDiscardedProject) {
    saveAs("plain.experiment");
    MessageBoxes discard(QMessageBox::Discard);
    const std::vector<std::pair<const char*, std::function<void()>>> rows = {
        {"New", [this] { w.actionNew->trigger(); }},
        {"Open", [this] { open("plain.experiment"); }},
        {"Import", [this] {
             names.push_back("plain.experiment");
             w.actionImport_Experiment->trigger();
         }},
    };
    for (const auto& [what, act] : rows) {
        open("plain.experiment");
        auto* gain = new ElementNode_;
        gain->setText(0, "Gain1");
        ElementBaseNode_::linkNewElement({gain});
        w.findSetupTreeNode("Setup1%Cavity1")->addChild(gain);
        select("Setup1%Cavity1%Gain1");
        ASSERT_EQ(w.instanceList->count(), 1) << what;
        act();
        QStringList named;
        for (int i = 0; i < w.instanceList->count(); ++i) named << w.instanceList->item(i)->text();
        for (int i = 0; i < w.inputList->topLevelItemCount(); ++i) named << w.inputList->topLevelItem(i)->text(1);
        for (const QString& path : named) EXPECT_NE(w.findSetupTreeNode(path), nullptr) << what << " " << path.toStdString();
        EXPECT_FALSE(w.instanceGroup->isEnabled()) << what;
        EXPECT_FALSE(w.inputGroup->isEnabled()) << what;
    }
}

}  // namespace
