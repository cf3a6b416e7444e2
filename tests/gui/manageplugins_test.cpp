// The plug-in registry over a plug-in directory of real libraries, files that
// are none and a subdirectory, and its manager dialog driven through its
// widgets.
#include "dialogs/manageplugins.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "guitesting.h"
#include "plugindirectory.h"
#include "interface/error.h"
#include "mainwindow.h"

namespace {

using guitesting::layOutPlugins;
using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;

const QString noDescription = "The shared object does not contain a description.";
const QString notALibrary = "The file could not be loaded as a shared object.";
const QString noParameterNames =
    "\nThe shared object does not have a getParameterName function. It is either damaged or not a korvane "
    "plugin.\n";

std::string loggedWhile(const std::function<void()>& act) {
    testing::internal::CaptureStdout();
    act();
    return testing::internal::GetCapturedStdout();
}

QStringList rows(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// Clicks the row showing `fileName`, as the user selects a plug-in.
void clickRow(ManagePlugins& m, const QString& fileName) {
    const QList<QListWidgetItem*> found = m.pluginList->findItems(fileName, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << fileName.toStdString();
    m.pluginList->setCurrentItem(found.first());
    emit m.pluginList->itemClicked(found.first());
}

// Answers the next open-file question with `path`, or cancels it when empty.
void chooseFile(const QString& path) {
    guitesting::onNextModalDialog([path](QDialog* d) {
        auto* files = qobject_cast<QFileDialog*>(d);
        if (!files || path.isEmpty()) return;
        // The dialog lists its folder in the background: the name is typed.
        files->setDirectory(QFileInfo(path).absolutePath());
        files->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(path).fileName());
        static_cast<QDialog*>(files)->accept();
    });
}

class PluginRegistry : public ::testing::Test {
protected:
    // A window whose registry scanned `directory` ("plugins/" by default).
    void start(const QByteArray& preferences = QByteArray(), const QString& directory = "plugins") {
        layOutPlugins(directory);
        if (!preferences.isEmpty()) WorkingDirectory::write("config/preferences.config", preferences);
        logged = loggedWhile([this] { window = std::make_unique<MainWindow>(); });
        registry = window->findChild<ManagePlugins*>();
    }
    void TearDown() override {
        window.reset();
        loggertesting::reset();
        errortesting::reset();
    }

    WorkingDirectory dir{true};
    std::unique_ptr<MainWindow> window;
    ManagePlugins* registry = nullptr;
    std::string logged;
};

TEST_F(PluginRegistry, RegistersEveryEntryInListingOrderWithUniqueNames) {
    start();
    struct Row {
        QString file, name, description;
        bool valid;
        int parameters, pulses;
    };
    const std::vector<Row> expected = {
        {"broken.so", "Unnamed", noDescription, false, 0, 1},
        {"endless.so", "Endless", "Names every index.", true, 1000, 2},
        {"linearloss.so", "LinearLoss2", "Not the built-in loss.", true, 1, 1},
        {"multionly.so", "MultiOnly", "Mixes pulses.", true, 1, 2},
        {"notes.txt", "Unknown", notALibrary, false, 0, 0},
        {"scale.so", "TestScale", "Scales the samples and delays the pulse.", true, 3, 1},
        {"scale_copy.so", "TestScale2", "Scales the samples and delays the pulse.", true, 3, 1},
        {"sub", "Unknown", notALibrary, false, 0, 0},
        {"unnamed.so", "Unnamed2", noDescription, false, 0, 1},
    };
    ASSERT_EQ(registry->getPlugins(), static_cast<int>(expected.size()));
    QStringList files;
    for (int i = 0; i < registry->getPlugins(); ++i) {
        const pluginData d = registry->getPlugin(i);
        const Row& row = expected[i];
        files << row.file;
        EXPECT_EQ(d.FileName, row.file);
        EXPECT_EQ(d.Name, row.name) << row.file.toStdString();
        EXPECT_EQ(d.Description, row.description) << row.file.toStdString();
        EXPECT_EQ(registry->isValidPlugin(d), row.valid) << row.file.toStdString();
        EXPECT_EQ(d.parameters, row.parameters) << row.file.toStdString();
        EXPECT_EQ(d.pulses, row.pulses) << row.file.toStdString();
    }
    EXPECT_EQ(rows(registry->pluginList), files);
    EXPECT_NE(logged.find("Found file plugins/sub\n"), std::string::npos);
    EXPECT_NE(logged.find("Could not load plugins/broken.so: "), std::string::npos);
    EXPECT_NE(logged.find("The plugin linearloss.so is named LinearLoss like a built-in element kind; it is "
                          "registered as LinearLoss2.\n"),
              std::string::npos);
}

// The tree builds elements only from what it finds through this interface.
TEST_F(PluginRegistry, TheTreeSeesOnlyValidPluginsAndNeverABuiltInKind) {
    start();
    const PluginRegistry_& tree = *registry;
    for (const char* name : {"TestScale", "TestScale2", "Endless", "MultiOnly", "LinearLoss2"}) {
        EXPECT_TRUE(tree.isPlugin(name)) << name;
        EXPECT_EQ(tree.getPlugin(name).Name, name);
    }
    for (const char* name : {"Unknown", "Unnamed", "Unnamed2", "LinearLoss"}) {
        EXPECT_FALSE(tree.isPlugin(name)) << name;
        const std::string logged = loggedWhile([&] {
            const pluginData d = tree.getPlugin(name);
            EXPECT_TRUE(d.Name.isEmpty() && !d.callSingle && !d.callMultiple && !d.getParameterName) << name;
        });
        EXPECT_EQ(logged, "ERROR: Returning uninitialized plugin for " + std::string(name) + "\n");
    }
    EXPECT_TRUE(tree.getPlugin("MultiOnly").callMultiple);
    EXPECT_FALSE(tree.getPlugin("MultiOnly").callSingle);
}

TEST_F(PluginRegistry, PreferencesBoundTheParametersAndNameTheDirectoryWithoutSlash) {
    start("\"Section\" \"Plugins\" {\n\"Section\" \"General\" {\n\"Plugin Directory\" \"lib\";\n"
          "\"Maximum Parameter Count\" \"3\";\n}\n}\n",
          "lib");
    ASSERT_EQ(registry->getPlugins(), 9);
    EXPECT_EQ(registry->getPlugin("Endless").parameters, 3);
    clickRow(*registry, "endless.so");
    EXPECT_EQ(rows(registry->parameterList), (QStringList{"p0", "p1", "p2"}));
}

TEST_F(PluginRegistry, ClickingARowShowsItsPropertiesAndParameters) {
    start();
    struct Row {
        QString file, text;
        QStringList parameters;
    };
    const std::vector<Row> table = {
        {"scale.so", "Name: TestScale\nDescription: Scales the samples and delays the pulse.\n",
         {"scale", " delay", "spectrum"}},
        {"multionly.so", "Name: MultiOnly\nDescription: Mixes pulses.\n", {"gain"}},
        {"unnamed.so", "Name: Unnamed2\nDescription: " + noDescription + "\n" + noParameterNames, {}},
        {"sub", "Name: Unknown\nDescription: " + notALibrary + "\n" + noParameterNames, {}},
    };
    for (const Row& row : table) {
        clickRow(*registry, row.file);
        EXPECT_EQ(registry->pluginText->toPlainText(), row.text) << row.file.toStdString();
        EXPECT_EQ(rows(registry->parameterList), row.parameters) << row.file.toStdString();
    }
}

// The plug-in directory named here does not exist yet: the import makes it.
TEST_F(PluginRegistry, ImportCopiesTheLibraryInOnceAndRefusesASecondCopy) {
    start("\"Section\" \"Plugins\" {\n\"Section\" \"General\" {\n\"Plugin Directory\" \"fresh/lib\";\n}\n}\n");
    ASSERT_EQ(registry->getPlugins(), 0);
    const QString source = QDir::current().absoluteFilePath("plugins/scale.so");
    MessageBoxes boxes;

    chooseFile(QString());
    registry->importPluginButton->click();
    EXPECT_EQ(registry->getPlugins(), 0);

    chooseFile(source);
    registry->importPluginButton->click();
    EXPECT_TRUE(QFile::exists("fresh/lib/scale.so"));
    EXPECT_TRUE(registry->isPlugin("TestScale"));
    EXPECT_EQ(rows(registry->pluginList), QStringList{"scale.so"});

    chooseFile(source);
    registry->importPluginButton->click();
    EXPECT_EQ(registry->getPlugins(), 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, MessageBox_::information);
    EXPECT_EQ(boxes.shown[0].title, "Copy Error");
    EXPECT_EQ(boxes.shown[0].text,
              "The plugin file could not be copied to the plugin directory.\nMaybe a file with the same name "
              "already exists there. In this case you could rename the plugin to be imported and try again.");
}

TEST_F(PluginRegistry, RemovalAsksDeletesTheFileAndLeavesBuiltElementsWorking) {
    start();
    const pluginData kept = registry->getPlugin("TestScale");
    MessageBoxes no(QMessageBox::No);
    clickRow(*registry, "scale.so");
    registry->removePluginButton->click();
    ASSERT_EQ(no.shown.size(), 1u);
    EXPECT_EQ(no.shown[0].kind, MessageBox_::question);
    EXPECT_EQ(no.shown[0].title, "Remove Plugin");
    EXPECT_EQ(no.shown[0].text, "Are you sure you want to delete the plugin file scale.so from your hard drive?");
    EXPECT_EQ(no.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(registry->getPlugins(), 9);

    MessageBoxes yes(QMessageBox::Yes);
    registry->pluginList->clearSelection();
    registry->removePluginButton->click();
    EXPECT_TRUE(yes.shown.empty());
    // The file goes; a subdirectory cannot be deleted as a file but its row goes all the same.
    for (const char* file : {"scale.so", "sub"}) {
        clickRow(*registry, file);
        registry->removePluginButton->click();
    }
    EXPECT_EQ(yes.shown.size(), 2u);
    EXPECT_EQ(registry->getPlugins(), 7);
    EXPECT_FALSE(registry->isPlugin("TestScale"));
    EXPECT_FALSE(QFile::exists("plugins/scale.so"));
    EXPECT_TRUE(QDir("plugins/sub").exists());
    EXPECT_FALSE(rows(registry->pluginList).contains("scale.so"));

    // The library stays loaded: a record taken before the removal still calls it.
    cComplex_ samples[2] = {{1.0f, -2.0f}, {0.5f, 0.0f}};
    cPulse_ pulse{2, samples, 1, 1e-15, 1e12, 0.0, 0.0};
    double parameters[3] = {2.0, 1e-12, 0.0};
    kept.callSingle(&pulse, parameters);
    EXPECT_FLOAT_EQ(samples[0].im, -4.0f);
    EXPECT_DOUBLE_EQ(pulse.t0, 1e-12);
    EXPECT_STREQ(kept.getParameterName(0), "scale");
}

TEST_F(PluginRegistry, TheWindowsManagePluginsActionOpensTheRegistry) {
    start();
    QDialog* opened = nullptr;
    guitesting::onNextModalDialog([&opened](QDialog* d) {
        opened = d;
        d->accept();
    });
    window->actionManage_Plugins->trigger();
    EXPECT_EQ(opened, registry);
}

}  // namespace
