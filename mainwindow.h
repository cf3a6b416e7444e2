#pragma once
// The main window: the setup tree with its item panel, the status, error,
// data and analysis tabs, the menus and tool bars of its form, the
// preferences, the plug-in registry, the element catalogue and the debug
// console. It is the log's console and the receiver of the error list, whose
// changes reach its rows through queued signals, so any thread may report.
// It is the host through which the tree's nodes reach their widgets, and it
// edits the tree: adding items with their default parameters, renaming,
// moving, deleting, and the parameter table of the selected node. No edit
// goes through while a run goes on.
#include <QMainWindow>
#include <QString>
#include <memory>

#include "configfile.h"
#include "interface/errorreceiver.h"
#include "interface/treehost.h"
#include "logger.h"
#include "ui_mainwindow.h"

class QCloseEvent;
class QContextMenuEvent;
class QResizeEvent;
class QTimer;
class QTreeWidgetItem;
class Base_;
class ConfigNode_;
class Node_;
class DebugConsole_;
class File_;
class ManagePlugins;
class OctaveWidget_;
class Preferences;

class MainWindow : public QMainWindow,
                   public Ui::MainWindow,
                   public Logger_,
                   public ErrorReceiver_,
                   public TreeHost_ {
    Q_OBJECT
public:
    // Where the element catalogue is read from, relative to the working directory.
    static const char* const elementCatalogue;

    MainWindow();
    // Stops a run that still goes on and waits for its threads before the
    // tree goes, and leaves the log and the error list.
    ~MainWindow() override;

    // Refills the item panel for the selection and brings the data actions
    // in line with the data tree's selection.
    void redraw();

    QWidget* getDialogParent() override { return this; }
    QTreeWidget* getSetupTree() override { return treeWidget; }
    QTreeWidget* getMeasurementTree() override { return MeasurementTree; }
    QTabWidget* getTabWidgetSetupStatus() override { return tabWidgetSetupStatus; }
    // The plug-in registry once it serves look-ups by name; null until then.
    PluginRegistry_* getPluginManager() override;
    // The current experiment, or null.
    Base_* getBase() const { return Base; }
    // Whether a setup thread of the current experiment still runs.
    bool isRunning() const;
    // Unsaved changes exist.
    bool getProjectChanged() const { return projectChanged; }
    // The root of the preferences.
    ConfigNode_* getPreferences() const;
    // The element catalogue; empty when it could not be read.
    ConfigFile_* getElementData() const { return ElementData.get(); }
    DebugConsole_* getDebugConsole() const { return DebugConsole; }
    // The experiment-file handler.
    File_* getFile() const { return File; }
    // The version text, "0.9.1".
    QString getVersion() const;
    // The item of the setup tree at a "%" path of names, or null.
    QTreeWidgetItem* findSetupTreeNode(const QString& path) const;
    // The first top-level item named exactly `name`, or null.
    static QTreeWidgetItem* findTopLevelNode(const QString& name, QTreeWidget* tree);
    // root + "1", root + "2", ...: the first no top-level item of `tree` has.
    static QString generateUniqueTopLevelNode(const QString& root, QTreeWidget* tree);

    void connectError() override;
    void addError(QString message, Node_* source, int code) override;
    void deleteError(int i) override;

public slots:
    // Additions; a null target (and always for the groups and measurements)
    // means the selected node. A selection that does not take the item is
    // logged and nothing changes.
    void addSetup();
    void addCavity(Node_* setup = nullptr);
    void addElementGroup(Node_* cavity = nullptr);
    void addMeasurementGroup();
    void addMeasurement();
    // Refills the item panel and sets the editing actions for the selection.
    void setupTreeSelectionChanged();
    // Project actions. New and Open ask first when there are unsaved
    // changes, and stop a run and wait for it before the tree goes; Save and
    // Save As leave the changes marked unless the file was written.
    void newProject();
    void load();
    void save();
    void saveAs();
    // Ends the current experiment (a run stops and its threads end first)
    // and empties the setup tree.
    void clearSetupTree();

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
    void renameNode();
    // Follow-up of every change of a node's name: unique among its
    // siblings, and what is named after it.
    void itemChanged(QTreeWidgetItem* item, int column);
    void moveElementUp();
    void moveElementDown();
    void deleteNode();
    void parameterChanged(int row, int column);
    void parameterClicked(int row, int column);
    void setupSplitterMoved(int, int);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Unsaved changes: the question of New and Open comes first; Cancel keeps
    // the window open.
    void closeEvent(QCloseEvent* event) override;

    // The current experiment, or null; run control owns it, and tests start
    // a run of their own through it.
    Base_* Base = nullptr;

private:
    void connectActions();
    // A command whose work is not built yet logs so and does nothing.
    void connectUnavailable(QAction* action);
    void readElementCatalogue();
    // True, and logged, while a run goes on: the setup threads use the tree.
    bool editingLocked(const char* what);
    // The entries of the context menu over `widget`; none: no menu.
    QList<QAction*> contextActions(QWidget* widget) const;
    void moveCurrentItem(int step);
    // The node whose parameters the table shows for `selected`.
    static Node_* parameterNode(Node_* selected);
    void fillParameterTable(Node_* node);
    void fillInstancesAndInputs(Node_* selected);
    void setEditingActions(Node_* selected);
    // Whether the edited value may stay; a refused one is put back.
    bool acceptValue(Node_* node, int row);
    // A setup's new "Samples" reaches the pulses of its cavities.
    static void resizeCavityPulses(Node_* setup);
    void connectTreeEdits(bool on);
    // The unsaved-changes question: false when the user cancels.
    bool askToSave(const char* title);
    // A run that goes on is stopped and its threads are waited for.
    void endRun();

    ManagePlugins* DialogManagePlugins = nullptr;
    Preferences* DialogPreferences = nullptr;
    DebugConsole_* DebugConsole = nullptr;
    File_* File = nullptr;
    std::unique_ptr<ConfigFile_> ElementData;
    OctaveWidget_* Octave = nullptr;
    QTimer* Timer = nullptr;
    QAction* actionAdd_Instance = nullptr;
    bool projectChanged = false;
    // The value texts the parameter table shows, by row, as last accepted.
    QStringList shownValues;
    const int majorVersion = 0;
    const int minorVersion = 9;
    const int subMinorVersion = 1;
};
