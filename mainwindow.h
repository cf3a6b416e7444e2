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
#include <string>

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
class CopySetup;
class Node_;
class DebugConsole_;
class File_;
class ManagePlugins;
class OctaveWidget_;
class Preferences;
class Measurement_;
class MeasurementRow_;
class Plot_;
class QwtPlot_;

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
    // Top-level item i of the setup tree, a setup; null when there is none.
    Node_* getTopNode(int i) const;
    // Whether a setup thread of the current experiment still runs.
    bool isRunning() const;
    // Ends a run that goes on before the tree may change under it (New,
    // Open): every setup is asked to stop, its thread is waited for, the
    // reports it queued reach their nodes, and the window is left Finished
    // with the experiment and its data. Nothing without a run.
    void stopRunAndWait();
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

    // The program the Plot action's plotter starts, with shell words after it;
    // read when the plotter is made, on the first Plot.
    void setPlotProgram(const std::string& program, const std::string& arguments = std::string());

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
    // Runs the element dialog and places the nodes of the new element.
    void addElement();
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
    void errorItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // Run control: Run verifies and builds the experiment and starts its
    // setups; Stop asks them to end after the round trip in progress; Reset
    // discards a finished experiment. Run and Reset do nothing while a run
    // goes on.
    void runExperiment();
    void stopExperiment();
    void resetExperiment();
    // The progress timer's tick: the bar follows the setups' round trips.
    void updateProgress();
    // Once the last setup thread of a run has ended: editing and Run again.
    void setupFinished();
    void exitProgram();
    void openDebugConsole();
    void debugConsoleClosed(int);
    void monitorVariable();
    void animateData();
    void saveSelectedData();
    void analyzeDataAs();
    // Says goodbye in the log; no signal is connected to it.
    void preExit();
    void about();
    void managePlugins();
    // Copies a setup with parameter variations; the copies join the end of the tree.
    void copySetup();
    void renameNode();
    // Follow-up of every change of a node's name: the project is changed,
    // the name made unique among its siblings, and what is named after it
    // renamed.
    void itemChanged(QTreeWidgetItem* item, int column);
    void moveElementUp();
    void moveElementDown();
    void deleteNode();
    // The instances and inputs panels: one more instance of the current
    // element, removal of the current element node, and jumps to the input
    // or instance chosen in the panels.
    void addInstance();
    void removeInstance();
    void inputSelected(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void instanceSelected(int row);
    void parameterChanged(int row, int column);
    void parameterClicked(int row, int column);
    void setupSplitterMoved(int, int);
    // The data tab: the selected row's data in the plot and the data actions
    // offered for it.
    void measurementTreeSelectionChanged();
    void plotRealSelected();
    void plotImagSelected();
    void plotAbsSelected();
    void plotPhaseSelected();
    // Sends the selected row's data to gnuplot.
    void plotData();
    void analyzeData();

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
    void connectRunControl();
    // Locks or unlocks the tree and the panels beside it.
    void setEditingEnabled(bool on);
    // The bar shows the published round trips; a busy count leaves it.
    void showProgress();
    // The data of a discarded run leaves the views: the progress is at 0, the
    // data rows lose their set rows, and the summary and the plot show the
    // selected row as it now is.
    void showNoRun();
    // Every row of the data tree shows the data collected so far.
    void refreshMeasurementRows();
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
    // Whether a change of the tree's selection refills the item panel.
    void followSelection(bool on);
    // The top-level row of a data tree row, or null.
    static MeasurementRow_* measurementRowOf(QTreeWidgetItem* item);
    // -1 for a measurement row, else the data set row's position.
    static int dataSetIndex(QTreeWidgetItem* item);
    // Plots the current row's data in `mode` (a QwtPlot_::plotMode_).
    void plotCurrentRow(int mode);
    // The data set of the measurement in the plot by the plot's mode; data
    // the plot cannot draw leaves it empty.
    void showInPlot(Measurement_* measurement, int index);
    // Enables the Re button and the three others; without the others Re is
    // the checked one.
    void offerPlotModes(bool re, bool others);
    // The unsaved-changes question: false when the user cancels, or chose
    // Save and the project is still not saved.
    bool askToSave(const char* title);
    // A run that goes on is stopped and its threads are waited for.
    void endRun();

    ManagePlugins* DialogManagePlugins = nullptr;
    // The setup-copy dialog while copySetup runs.
    CopySetup* DialogCopySetup = nullptr;
    Preferences* DialogPreferences = nullptr;
    DebugConsole_* DebugConsole = nullptr;
    File_* File = nullptr;
    std::unique_ptr<ConfigFile_> ElementData;
    OctaveWidget_* Octave = nullptr;
    QTimer* Timer = nullptr;
    // From Run until the window has taken the end of that run.
    QMetaObject::Connection runEnd;
    QAction* actionAdd_Instance = nullptr;
    QwtPlot_* MeasurementPlot = nullptr;
    // Made on the first Plot.
    std::unique_ptr<Plot_> Plot;
    // Empty: the system's gnuplot.
    std::string plotProgram;
    std::string plotArguments;
    bool projectChanged = false;
    // The value texts the parameter table shows, by row, as last accepted.
    QStringList shownValues;
    const int majorVersion = 0;
    const int minorVersion = 9;
    const int subMinorVersion = 1;
};
