#include "dialogs/preferences.h"

#include <QHeaderView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "dialogs/manageplugins.h"
#include "guitesting.h"
#include "mainwindow.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;

class PreferencesFile : public ::testing::Test {
protected:
    void TearDown() override { loggertesting::reset(); }

    static QTreeWidgetItem* row(Preferences& p, const QString& path) {
        QTreeWidgetItem* item = p.itemTree->invisibleRootItem();
        for (const QString& name : path.split('/')) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i)
                if (item->child(i)->text(0) == name) next = item->child(i);
            if (!next) return nullptr;
            item = next;
        }
        return item;
    }
    // The table's rows as "label=value", after selecting `path` ("" selects nothing).
    static QStringList shown(Preferences& p, const QString& path) {
        p.itemTree->clearSelection();
        if (!path.isEmpty()) row(p, path)->setSelected(true);
        QStringList rows;
        for (int r = 0; r < p.itemTable->rowCount(); ++r)
            rows << p.itemTable->item(r, 0)->text() + "=" + p.itemTable->item(r, 1)->text();
        return rows;
    }
    static void edit(Preferences& p, const QString& path, int key, const QString& value) {
        shown(p, path);
        p.itemTable->item(key, 1)->setText(value);
    }
    static void answer(Preferences& p, bool ok) {
        guitesting::onNextModalDialog([ok](QDialog* d) { ok ? d->accept() : d->reject(); });
        p.execute();
    }
};

TEST_F(PreferencesFile, TheShippedFileIsTheBuiltInDefaults) {
    const std::string defaults = Preferences::defaultText;
    EXPECT_EQ(defaults.size(), 225u);
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), '\n'), 10);
    EXPECT_EQ(WorkingDirectory::read(PLS_SOURCE_DIR "/config/preferences.config").toStdString(), defaults);
}

// Each header reads whole, from the moment the dialog shows.
TEST_F(PreferencesFile, SectionsShowTheirKeysUnderWholeHeaders) {
    WorkingDirectory dir(true);
    Preferences p(nullptr);
    p.show();
    const QHeaderView* header = p.itemTable->horizontalHeader();
    const auto headersWhole = [&] {
        for (int c = 0; c < header->count(); ++c) EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << c;
    };
    headersWhole();
    EXPECT_EQ(shown(p, "General"), (QStringList{"Catch floating point exceptions.=true", "Debug level=0"}));
    EXPECT_EQ(shown(p, "Plugins"), QStringList{});
    EXPECT_EQ(shown(p, "Plugins/General"),
              (QStringList{"Activate Plugins=true", "Plugin Directory=plugins/", "Maximum Parameter Count=1000"}));
    EXPECT_EQ(shown(p, ""), QStringList{});
    headersWhole();
    // A table barely wider than its headers, as the dialog lays it out.
    const int headers = header->sectionSizeHint(0) + header->sectionSizeHint(1);
    for (const int room : {1, 12, 24}) {
        p.splitter->setSizes({p.splitter->width() - headers - room, headers + room});
        emit p.splitter->splitterMoved(headers + room, 1);
        headersWhole();
    }
}

TEST_F(PreferencesFile, OkStoresTheEditsAndCancelKeepsTheFile) {
    WorkingDirectory dir(true);
    MessageBoxes boxes;
    {
        Preferences p(nullptr);
        edit(p, "General", 1, "2");
        edit(p, "Plugins/General", 1, "mine");
        answer(p, true);
    }
    const QByteArray saved = WorkingDirectory::read(Preferences::fileName);
    {
        Preferences p(nullptr);
        EXPECT_EQ(shown(p, "General").at(1), "Debug level=2");
        EXPECT_EQ(shown(p, "Plugins/General").at(1), "Plugin Directory=mine");
        edit(p, "General", 1, "5");
        answer(p, false);
        EXPECT_EQ(shown(p, "General").at(1), "Debug level=5");  // the cell keeps what was typed
    }
    EXPECT_EQ(WorkingDirectory::read(Preferences::fileName), saved);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(PreferencesFile, AValueThatCannotBeWrittenIsReportedAndTheOldFileStays) {
    WorkingDirectory dir(true);
    const QByteArray before = WorkingDirectory::read(Preferences::fileName);
    MessageBoxes boxes;
    Preferences p(nullptr);
    edit(p, "General", 1, QString(300, 'x'));
    answer(p, true);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Save Error");
    EXPECT_EQ(WorkingDirectory::read(Preferences::fileName), before);
}

TEST_F(PreferencesFile, AnUnreadableFileGivesTheDefaultsWhole) {
    WorkingDirectory dir(true);
    WorkingDirectory::write(Preferences::fileName, "\"Section\" \"General\" {\n\"Debug level\" \"4\";\n}}\n");
    MessageBoxes boxes;
    Preferences p(nullptr);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Unable to read config file: Unbalanced parantheses at line 3"));
    EXPECT_TRUE(boxes.shown[0].text.endsWith("\n Using defaults."));
    EXPECT_EQ(shown(p, "General").at(1), "Debug level=0");
}

TEST_F(PreferencesFile, TheRegistryTakesMissingKeysFromTheDefaultsAndSaysSo) {
    WorkingDirectory dir(true);
    WorkingDirectory::write(Preferences::fileName,
                            "\"Section\" \"Plugins\" {\n\"Section\" \"General\" {\n\"Plugin Directory\" \"lib\";\n}\n}\n");
    testing::internal::CaptureStdout();
    MainWindow w;
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_NE(logged.find("Preference \"Maximum Parameter Count\" is missing; using its default \"1000\"."),
              std::string::npos);
    EXPECT_EQ(w.findChild<ManagePlugins*>()->getMaxParameters(), 1000);
    EXPECT_EQ(w.findChild<ManagePlugins*>()->getPluginDirectory(), "lib/");
}

}  // namespace
