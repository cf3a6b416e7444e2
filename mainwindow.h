#pragma once
// The main window: the setup tree with its item panel, the status, error,
// data and analysis tabs, the menus and tool bars of its form, the
// preferences, the plug-in registry, the element catalogue and the debug
// console. It is the log's console and the receiver of the error list, whose
// changes reach its rows through queued signals, so any thread may report.
#include <QMainWindow>
#include <QString>
#include <memory>

#include "configfile.h"
#include "interface/errorreceiver.h"
#include "logger.h"
#include "ui_mainwindow.h"

class QTimer;
class QTreeWidgetItem;
class Base_;
class ConfigNode_;
class DebugConsole_;
class ManagePlugins;
class OctaveWidget_;
class Preferences;

class MainWindow : public QMainWindow, public Ui::MainWindow, public Logger_, public ErrorReceiver_ {
    Q_OBJECT
public:
    // Where the element catalogue is read from, relative to the working directory.
    static const char* const elementCatalogue;

    MainWindow();
    // Stops a run that still goes on and waits for its threads before the
    // tree goes, and leaves the log and the error list.
    ~MainWindow() override;

    // Brings the data actions in line with the data tree's selection.
    void redraw();

    QTreeWidget* getSetupTree() const { return treeWidget; }
    QTreeWidget* getMeasurementTree() const { return MeasurementTree; }
    // The current experiment, or null.
    Base_* getBase() const { return Base; }
    ManagePlugins* getPluginManager() const { return DialogManagePlugins; }
    QTabWidget* getTabWidgetSetupStatus() const { return tabWidgetSetupStatus; }
    // The root of the preferences.
    ConfigNode_* getPreferences() const;
    // The element catalogue; empty when it could not be read.
    ConfigFile_* getElementData() const { return ElementData.get(); }
    DebugConsole_* getDebugConsole() const { return DebugConsole; }
    // The version text, "0.9.1".
    QString getVersion() const;
    // The item of the setup tree at a "%" path of names, or null.
    QTreeWidgetItem* findSetupTreeNode(const QString& path) const;

    void connectError() override;
    void addError(QString message, Node_* source, int code) override;
    void deleteError(int i) override;

signals:
    void addErrorRequest(QString message, Node_* source, int code);
    void deleteErrorRequest(int i);

private slots:
    void addErrorSlot(QString message, Node_* source, int code);
    void deleteErrorSlot(int i);
    void exitProgram();
    void openDebugConsole();
    void debugConsoleClosed(int);
    void monitorVariable();
    void animateData();
    void saveSelectedData();
    void analyzeDataAs();
    void about();
    void managePlugins();

private:
    void connectActions();
    // A command whose work is not built yet logs so and does nothing.
    void connectUnavailable(QAction* action);
    void readElementCatalogue();

    Base_* Base = nullptr;
    ManagePlugins* DialogManagePlugins = nullptr;
    Preferences* DialogPreferences = nullptr;
    DebugConsole_* DebugConsole = nullptr;
    std::unique_ptr<ConfigFile_> ElementData;
    OctaveWidget_* Octave = nullptr;
    QTimer* Timer = nullptr;
    QAction* actionAdd_Instance = nullptr;
    bool projectChanged = false;
    const int majorVersion = 0;
    const int minorVersion = 9;
    const int subMinorVersion = 1;
};
