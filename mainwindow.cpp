#include "mainwindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QSignalBlocker>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <sstream>
#include <vector>

#include "core/base.h"
#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/setup.h"
#include "dialogs/about.h"
#include "dialogs/addinstance.h"
#include "dialogs/copysetup.h"
#include "dialogs/debugconsole.h"
#include "dialogs/expressioneditors.h"
#include "dialogs/manageplugins.h"
#include "dialogs/octavewidget.h"
#include "dialogs/preferences.h"
#include "dialogs/selectelement.h"
#include "dialogs/setupstatuswidget.h"
#include "file.h"
#include "interface/cavitynode.h"
#include "interface/elementnode.h"
#include "interface/error.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/measurementtreenode.h"
#include "interface/messagebox.h"
#include "interface/parameter.h"
#include "interface/plot.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "interface/treebuilder.h"

const char* const MainWindow::elementCatalogue = "config/elements.config";

namespace {
// The defaults of a new item's parameters, which the build reads and the
// experiment files store by name.
enum flag_ : unsigned { hidden = 1, readOnly = 2, notMeasurable = 4, expression = 8 };

struct DefaultParameter {
    const char* name;
    DataType_::type_ type;
    const char* value;
    unsigned flags;
    const char* description;
};

Parameter_* addDefault(Node_* node, const DefaultParameter& d, int dimension = 0,
                       const int* samples = nullptr) {
    auto* p = new Parameter_(d.type, dimension, samples);
    p->setName(QString::fromLatin1(d.name));
    p->setText(QString::fromLatin1(d.description));
    p->setValue(QString::fromLatin1(d.value));
    if (d.flags & hidden) p->setVisible(false);
    if (d.flags & readOnly) p->setEditable(false);
    if (d.flags & notMeasurable) p->setMeasurable(false);
    if (d.flags & expression) p->troggleExpression(true);
    node->addParameter(p);
    return p;
}

void addDefaults(Node_* node, std::initializer_list<DefaultParameter> parameters) {
    for (const DefaultParameter& d : parameters) addDefault(node, d);
}

void makeEditable(QTreeWidgetItem* item) { item->setFlags(item->flags() | Qt::ItemIsEditable); }

// A new item stands in view: its parent opens.
void appendChild(Node_* parent, Node_* child) {
    parent->addChild(child);
    parent->setExpanded(true);
}

// The setup's "Samples" as a number; 0 when it is none.
int setupSamples(Node_* setup) {
    Parameter_* samples = setup->hasParameter("Samples") ? setup->getParameter("Samples") : nullptr;
    return samples ? samples->getValue()->text().toInt() : 0;
}

// A greyed cell of the parameter table that cannot be selected or edited.
QTableWidgetItem* fixedCell(const QString& text) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(cell->flags() & Qt::ItemIsEditable);
    return cell;
}

// Each element group directly in a cavity of the setup derives its inputs
// from its children; then a one-input element placed in a group that stands
// in several cavities gets an instance in each of the group's other inputs.
void spreadOverGroupInputs(Node_* setup, const QList<ElementNode_*>& placed) {
    for (int c = 0; c < setup->childCount(); ++c) {
        Node_* cavity = setup->getChild(c);
        for (int g = 0; cavity && cavity->getNodeType() == Node_::cavity && g < cavity->childCount(); ++g)
            if (auto* group = dynamic_cast<ElementGroupNode_*>(cavity->getChild(g))) group->updateFromChildren();
    }
    ElementNode_* first = placed.value(0);
    auto* group = first ? dynamic_cast<ElementGroupNode_*>(first->getParent()) : nullptr;
    if (!group || first->getInputs() != 1 || group->getInputs() < 2) return;
    for (int q = 0; q < group->getInputs(); ++q) {
        ElementBaseNode_* input = group->getInput(q);
        if (!input || input == placed.last()->getParent()) continue;
        ElementBaseNode_* instance = first->createInstance();
        if (!instance) return;
        if (input->findChildNode(instance->text(0)))
            instance->setText(0, input->generateUniqueLocal(instance->text(0)));
        appendChild(input, instance);
    }
}

// The bar's position for n of `total` round trips: the count itself while the
// total fits the bar's int range, else the same share of that range.
int progressPosition(std::int64_t n, std::int64_t total) {
    constexpr std::int64_t steps = std::numeric_limits<int>::max();
    n = std::max<std::int64_t>(0, std::min(n, total));
    if (total <= steps) return static_cast<int>(n);
    return static_cast<int>(static_cast<long double>(n) / total * steps);
}

QString samplesText(const Parameter_& p) {
    QString text = QStringLiteral("[ ");
    for (int i = 0; i < p.getDimension(); ++i) text += QString::number(p.getSamples()[i]) + " ";
    return text + "]";
}
}  // namespace

MainWindow::MainWindow() : QMainWindow(nullptr) {
    // The console comes first so that everything after it is logged there.
    DebugConsole = new DebugConsole_(this);
    Logger_::setDebugConsole(DebugConsole);
    Logger_::setOutStream(econsole);
    Logger_::setLogLevel(debugD);
    log("Korvane, a pulsed-laser cavity simulator, version " + getVersion().toStdString(), normal);

    Q_INIT_RESOURCE(icons);
    setupUi(this);
    MeasurementTreeNode_::setMeasurementText(measurementText);

    // The preferences come before the plug-in registry, which reads them.
    DialogPreferences = new Preferences(this);
    DialogManagePlugins = new ManagePlugins(this);
    File = new File_(this);

    MeasurementPlot = new QwtPlot_(plotBox);
    auto* plotLayout = new QVBoxLayout(plotBox);
    plotLayout->addWidget(MeasurementPlot);

    Octave = new OctaveWidget_;
    tabWidget->addTab(Octave, tr("Analysis"));
    tabWidget->setTabIcon(4, QIcon(":/Icons/resources/fugue/icon/terminal.png"));
    // The form's placeholder pages; each setup adds a status page of its own.
    tabWidgetSetupStatus->clear();

    Timer = new QTimer;
    actionAdd_Instance =
        new QAction(QIcon(":/Icons/resources/fugue/icon/plus.png"), tr("Add Instance..."), this);
    actionAdd_Instance->setObjectName(QStringLiteral("actionAdd_Instance"));
    actionAdd_Instance->setStatusTip(tr("Add an instance to this element."));
    connectActions();
    connectRunControl();

    log("Loading configuration files ...", normal);
    readElementCatalogue();

    // The default experiment: one setup with its measurements and one cavity;
    // every setup node shows the full status tab.
    SetupStatusWidget_::installFactory();
    Node_::setMainWindow(this);
    installExpressionEditors();
    addSetup();
    treeWidget->setCurrentItem(treeWidget->topLevelItem(0));
    addCavity(nullptr);

    MeasurementTree->setColumnCount(2);
    progressBar->setValue(0);
    projectChanged = false;
    splitter_2->setSizes({150, 500});
    splitter->setSizes({150, 500});
    splitter_3->setSizes({500, 200});
    splitter_4->setSizes({200, 500});
    ErrorList->setColumnWidth(1, 500);

    // Only now, so that building the default experiment ran neither.
    connect(itemParameters, &QTableWidget::cellChanged, this, &MainWindow::parameterChanged);
    connectTreeEdits(true);
    connect(ErrorList, &QTreeWidget::currentItemChanged, this, &MainWindow::errorItemChanged);

    Error_::setMainWindow(this);

    for (QWidget* w : std::initializer_list<QWidget*>{radioButtonRe, radioButtonIm, radioButtonAbs,
                                                      radioButtonPhase, checkBoxIsAnimated})
        w->setEnabled(false);
    for (QAction* a : {actionStop, actionReset, actionSave_Selected, actionAnalyze, actionAnalyze_As})
        a->setEnabled(false);

    connect(radioButtonRe, &QRadioButton::clicked, this, &MainWindow::plotRealSelected);
    connect(radioButtonIm, &QRadioButton::clicked, this, &MainWindow::plotImagSelected);
    connect(radioButtonAbs, &QRadioButton::clicked, this, &MainWindow::plotAbsSelected);
    connect(radioButtonPhase, &QRadioButton::clicked, this, &MainWindow::plotPhaseSelected);
}

MainWindow::~MainWindow() {
    // Setup threads reach tree nodes and this window: the run ends first
    // (the experiment stops its setups and waits for their threads).
    delete Base;
    Base = nullptr;
    Error_::removeMainWindow(this);
    // The nodes go while the status tabs and the data tree they show in
    // are still there.
    treeWidget->clear();
    if (Node_::getHost() == this) Node_::setMainWindow(nullptr);
    delete actionAdd_Instance;
    delete Timer;
    ElementData.reset();
    delete File;
    File = nullptr;
    delete DialogManagePlugins;
    DialogManagePlugins = nullptr;
    delete DialogPreferences;
    DialogPreferences = nullptr;
    Plot.reset();
    delete MeasurementPlot;
    MeasurementPlot = nullptr;
    MeasurementTreeNode_::setMeasurementText(nullptr);
    Logger_::removeDebugConsole(DebugConsole);
}

void MainWindow::connectActions() {
    connect(actionExit, &QAction::triggered, this, &MainWindow::exitProgram);
    connect(actionPreferences, &QAction::triggered, DialogPreferences, &Preferences::execute);
    connect(actionMonitor_Variable, &QAction::triggered, this, &MainWindow::monitorVariable);
    connect(actionSave_Selected, &QAction::triggered, this, &MainWindow::saveSelectedData);
    connect(actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(actionAnimate, &QAction::triggered, this, &MainWindow::animateData);
    connect(actionAnalyze_As, &QAction::triggered, this, &MainWindow::analyzeDataAs);
    connect(actionPlot, &QAction::triggered, this, &MainWindow::plotData);
    connect(actionAnalyze, &QAction::triggered, this, &MainWindow::analyzeData);
    connect(actionDebug_Console, &QAction::triggered, this, &MainWindow::openDebugConsole);
    connect(actionManage_Plugins, &QAction::triggered, this, &MainWindow::managePlugins);
    connect(actionCopy_Setup, &QAction::triggered, this, &MainWindow::copySetup);
    connect(actionAdd_Setup, &QAction::triggered, this, &MainWindow::addSetup);
    connect(actionAdd_Cavity, &QAction::triggered, this, [this] { addCavity(nullptr); });
    connect(actionAdd_Element_Group, &QAction::triggered, this, [this] { addElementGroup(nullptr); });
    connect(actionAdd_Measurement_Group, &QAction::triggered, this, &MainWindow::addMeasurementGroup);
    connect(actionAdd_Measurement, &QAction::triggered, this, &MainWindow::addMeasurement);
    connect(actionRename_Selected, &QAction::triggered, this, &MainWindow::renameNode);
    connect(actionMove_Element_Up, &QAction::triggered, this, &MainWindow::moveElementUp);
    connect(actionMove_Element_Down, &QAction::triggered, this, &MainWindow::moveElementDown);
    connect(actionDelete_Selected, &QAction::triggered, this, &MainWindow::deleteNode);
    connect(actionNew, &QAction::triggered, this, &MainWindow::newProject);
    connect(actionOpen, &QAction::triggered, this, &MainWindow::load);
    connect(actionSave, &QAction::triggered, this, &MainWindow::save);
    connect(actionSave_As, &QAction::triggered, this, &MainWindow::saveAs);
    connect(actionImport_Experiment, &QAction::triggered, File, &File_::load);
    connect(actionExport_Experiment, &QAction::triggered, File, &File_::saveAs);
    connect(actionAdd_Element, &QAction::triggered, this, &MainWindow::addElement);
    connect(actionAdd_Instance, &QAction::triggered, this, &MainWindow::addInstance);
    connect(buttonAddInstance, &QPushButton::clicked, actionAdd_Instance, &QAction::trigger);
    connect(buttonRemoveInstance, &QPushButton::clicked, this, &MainWindow::removeInstance);
    connect(inputList, &QTreeWidget::currentItemChanged, this, &MainWindow::inputSelected);
    connect(instanceList, &QListWidget::currentRowChanged, this, &MainWindow::instanceSelected);
    followSelection(true);
    connect(MeasurementTree, &QTreeWidget::itemSelectionChanged, this,
            &MainWindow::measurementTreeSelectionChanged);
    connect(itemParameters, &QTableWidget::cellClicked, this, &MainWindow::parameterClicked);
    connect(splitter_2, &QSplitter::splitterMoved, this, &MainWindow::setupSplitterMoved);
}

void MainWindow::connectTreeEdits(bool on) {
    if (on)
        connect(treeWidget, &QTreeWidget::itemChanged, this, &MainWindow::itemChanged);
    else
        disconnect(treeWidget, &QTreeWidget::itemChanged, this, &MainWindow::itemChanged);
}

void MainWindow::followSelection(bool on) {
    if (on)
        connect(treeWidget, &QTreeWidget::itemSelectionChanged, this,
                &MainWindow::setupTreeSelectionChanged, Qt::UniqueConnection);
    else
        disconnect(treeWidget, &QTreeWidget::itemSelectionChanged, this,
                   &MainWindow::setupTreeSelectionChanged);
}

void MainWindow::readElementCatalogue() {
    ElementData = std::make_unique<ConfigFile_>();
    if (!ElementData->readFile(elementCatalogue))
        MessageBox_::show(MessageBox_::critical, this, tr("File Read Error"),
                          tr("Could not read the config file ") + elementCatalogue + "\n" +
                              QString::fromStdString(ElementData->getErrorMessage()));
}

PluginRegistry_* MainWindow::getPluginManager() { return DialogManagePlugins; }

Node_* MainWindow::getTopNode(int i) const { return dynamic_cast<Node_*>(treeWidget->topLevelItem(i)); }

bool MainWindow::isRunning() const { return Base && Base->isRunning(); }

ConfigNode_* MainWindow::getPreferences() const {
    return DialogPreferences ? DialogPreferences->getRoot() : nullptr;
}

QString MainWindow::getVersion() const {
    return QStringLiteral("%1.%2.%3").arg(majorVersion).arg(minorVersion).arg(subMinorVersion);
}

QTreeWidgetItem* MainWindow::findSetupTreeNode(const QString& path) const {
    const QStringList names = path.split('%');
    QTreeWidgetItem* parent = treeWidget->invisibleRootItem();
    QTreeWidgetItem* found = nullptr;
    for (const QString& name : names) {
        found = nullptr;
        for (int i = 0; i < parent->childCount() && !found; ++i)
            if (parent->child(i)->text(0) == name) found = parent->child(i);
        if (!found) return nullptr;
        parent = found;
    }
    return found;
}

QTreeWidgetItem* MainWindow::findTopLevelNode(const QString& name, QTreeWidget* tree) {
    for (int i = 0; tree && i < tree->topLevelItemCount(); ++i)
        if (tree->topLevelItem(i)->text(0) == name) return tree->topLevelItem(i);
    return nullptr;
}

QString MainWindow::generateUniqueTopLevelNode(const QString& root, QTreeWidget* tree) {
    for (int i = 1;; ++i) {
        const QString name = root + QString::number(i);
        if (!findTopLevelNode(name, tree)) return name;
    }
}

void MainWindow::redraw() {
    setupTreeSelectionChanged();
    actionPlot->setEnabled(MeasurementTree->selectedItems().size() == 1);
    actionAnimate->setEnabled(false);
    for (int i = 0; i < MeasurementTree->topLevelItemCount(); ++i)
        if (auto* row = dynamic_cast<MeasurementRow_*>(MeasurementTree->topLevelItem(i))) row->refreshInfo();
}

void MainWindow::exitProgram() { close(); }

void MainWindow::openDebugConsole() {
    if (DebugConsole->isVisible()) return;
    DebugConsole->setModal(true);
    connect(DebugConsole, &QDialog::finished, this, &MainWindow::debugConsoleClosed,
            Qt::UniqueConnection);
    DebugConsole->show();
}

void MainWindow::debugConsoleClosed(int) {}

void MainWindow::monitorVariable() {}

void MainWindow::animateData() {
    log("Unimplemented function void void MainWindow::animateData() called", normal);
}

void MainWindow::saveSelectedData() {
    log("Unimplemented function void MainWindow::saveSelectedData() called", normal);
}

void MainWindow::analyzeDataAs() { log("Call to unimplemented void MainWindow::analyzeDataAs().", normal); }

void MainWindow::preExit() { log("Have a nice day.", normal); }

void MainWindow::about() {
    About dialog(this);
    dialog.exec(getVersion());
}

void MainWindow::managePlugins() { DialogManagePlugins->exec(); }

void MainWindow::copySetup() {
    if (editingLocked("copy a setup")) return;
    DialogCopySetup = new CopySetup(this);
    if (DialogCopySetup->exec())
        for (int i = 0; i < DialogCopySetup->getSetups(); ++i) {
            treeWidget->addTopLevelItem(DialogCopySetup->getSetup(i));
            projectChanged = true;
        }
    delete DialogCopySetup;
    DialogCopySetup = nullptr;
}

bool MainWindow::askToSave(const char* title) {
    if (!projectChanged) return true;
    const QMessageBox::StandardButton answer = MessageBox_::show(
        MessageBox_::warning, this, tr(title), tr("The project has been modified.\n Do you want to save your changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    // A save that did not happen (failed, or its file dialog cancelled)
    // keeps the project, as Cancel does.
    if (answer == QMessageBox::Save) {
        save();
        return !projectChanged;
    }
    return answer == QMessageBox::Discard;
}

void MainWindow::endRun() {
    if (!isRunning()) return;
    log("Stopping the run before the setup tree is replaced.", normal);
    stopRunAndWait();
    delete Base;
    Base = nullptr;
}

void MainWindow::newProject() {
    if (!askToSave("My Application")) return;
    endRun();
    File->reset();
    treeWidget->clear();
    MeasurementTree->clear();
    showNoRun();
    addSetup();
    setupTreeSelectionChanged();
    for (QAction* a : {actionSave_Selected, actionAnalyze, actionAnalyze_As}) a->setEnabled(false);
    projectChanged = false;
}

void MainWindow::load() {
    if (!askToSave("Unsaved Changes")) return;
    for (QAction* a : {actionSave_Selected, actionAnalyze, actionAnalyze_As}) a->setEnabled(false);
    File->load();
    redraw();
}

void MainWindow::save() {
    File->save();
    projectChanged = !File->isSaved();
}

void MainWindow::saveAs() {
    File->saveAs();
    projectChanged = !File->isSaved();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (askToSave("Unsaved Changes"))
        event->accept();
    else
        event->ignore();
}

void MainWindow::clearSetupTree() {
    endRun();
    delete Base;
    Base = nullptr;
    treeWidget->clear();
    setupTreeSelectionChanged();
    showNoRun();
}

void MainWindow::connectError() {
    connect(this, &MainWindow::addErrorRequest, this, &MainWindow::addErrorSlot,
            Qt::QueuedConnection);
    connect(this, &MainWindow::deleteErrorRequest, this, &MainWindow::deleteErrorSlot,
            Qt::QueuedConnection);
}

void MainWindow::addError(QString message, Node_* source, int code) {
    emit addErrorRequest(message, source, code);
}

void MainWindow::deleteError(int i) { emit deleteErrorRequest(i); }

// The path is copied into the row: the node may go before the row does.
void MainWindow::addErrorSlot(QString message, Node_* source, int code) {
    auto* row = new QTreeWidgetItem({QString::number(code), message,
                                     source ? source->getPath() : QStringLiteral("Unknown")});
    if (source) source->addLocalError(message, code);
    ErrorList->addTopLevelItem(row);
}

void MainWindow::deleteErrorSlot(int i) {
    if (i == -1)
        ErrorList->clear();
    else if (i >= 0 && i < ErrorList->topLevelItemCount())
        delete ErrorList->takeTopLevelItem(i);
}

// A row holds no time and no round trip; their labels stay bare.
void MainWindow::errorItemChanged(QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (!current) return ErrorText->setText(QString());
    const auto code = static_cast<Error_::errorCode_>(current->text(0).toInt());
    ErrorText->setText("Time: <br><br>Error Type <b>" + Error_::getErrorString(code) + "</b>:<br>" +
                       Error_::getErrorExplanation(code) + "<br><br>Roundtrip:");
}

void MainWindow::connectRunControl() {
    connect(actionRun, &QAction::triggered, this, &MainWindow::runExperiment);
    connect(actionStop, &QAction::triggered, this, &MainWindow::stopExperiment);
    connect(actionReset, &QAction::triggered, this, &MainWindow::resetExperiment);
    connect(Timer, &QTimer::timeout, this, &MainWindow::updateProgress, Qt::QueuedConnection);
}

void MainWindow::setEditingEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{treeWidget, itemParameters, inputList, instanceGroup})
        w->setEnabled(on);
}

// Verification reports its own findings; a run that fails it changes nothing
// but the changed-project mark. While a run goes on nothing is verified:
// parsing replaces the expressions the setup threads evaluate.
void MainWindow::runExperiment() {
    if (isRunning()) return log("Unable to run while a simulation runs.", debugA);
    projectChanged = true;
    for (int i = 0; i < treeWidget->topLevelItemCount(); ++i) {
        auto* setup = dynamic_cast<Node_*>(treeWidget->topLevelItem(i));
        if (setup && !setup->verify()) return;
    }
    delete Base;
    Base = nullptr;
    showNoRun();
    setEditingEnabled(false);
    // Emptied before the build, so what the build refuses stays listed.
    Error_::clearErrorList();
    Base = new Base_(this);
    TreeBuilder_::build(*Base, *this);
    progressBar->setRange(0, progressPosition(Base->getTotalRoundtrips(), Base->getTotalRoundtrips()));
    progressBar->setValue(0);
    for (QWidget* w : std::initializer_list<QWidget*>{radioButtonRe, radioButtonIm, radioButtonAbs,
                                                      radioButtonPhase, checkBoxIsAnimated})
        w->setEnabled(false);
    for (QAction* a : {actionRun, actionReset, actionPlot, actionAnimate, actionSave_Selected,
                       actionAnalyze, actionAnalyze_As})
        a->setEnabled(false);
    actionStop->setEnabled(true);
    // Once, after every started setup thread has ended, even when none started.
    runEnd = connect(Base, &Base_::runFinished, this, &MainWindow::setupFinished);
    Timer->start(500);
    Base->runExperiment();
    tabWidget->setCurrentIndex(1);
}

void MainWindow::stopExperiment() {
    if (isRunning()) Base->stopExperiment();
}

void MainWindow::resetExperiment() {
    if (isRunning()) return log("Unable to reset while a simulation runs.", debugA);
    delete Base;
    Base = nullptr;
    for (QAction* a : {actionSave_Selected, actionAnalyze, actionAnalyze_As, actionStop, actionReset})
        a->setEnabled(false);
    actionRun->setEnabled(true);
    showNoRun();
}

void MainWindow::showProgress() {
    const std::int64_t n = Base ? Base->getTotalRoundtrip() : -1;
    if (n >= 0) progressBar->setValue(progressPosition(n, Base->getTotalRoundtrips()));
}

void MainWindow::showNoRun() {
    progressBar->setValue(0);
    for (int i = 0; i < MeasurementTree->topLevelItemCount(); ++i)
        qDeleteAll(MeasurementTree->topLevelItem(i)->takeChildren());
    measurementText->clear();
    MeasurementPlot->reset();
    refreshMeasurementRows();
    measurementTreeSelectionChanged();
}

void MainWindow::refreshMeasurementRows() {
    for (int i = 0; i < MeasurementTree->topLevelItemCount(); ++i)
        if (auto* row = dynamic_cast<MeasurementRow_*>(MeasurementTree->topLevelItem(i))) row->refreshInfo();
}

void MainWindow::updateProgress() {
    showProgress();
    if (!isRunning()) Timer->stop();
    refreshMeasurementRows();
}

void MainWindow::setupFinished() {
    if (isRunning()) return;
    disconnect(runEnd);
    runEnd = {};
    showProgress();
    Timer->stop();
    Error_::reportStatic("All setups finished. Simulation complete.", Error_::notice);
    refreshMeasurementRows();
    setEditingEnabled(true);
    actionRun->setEnabled(true);
    actionStop->setEnabled(false);
    actionReset->setEnabled(true);
    actionPlot->setEnabled(MeasurementTree->selectedItems().size() == 1);
    // The selected data row is plotted now that no setup adds to its sets.
    measurementTreeSelectionChanged();
}

// Waiting here cannot stall a setup thread: none waits for this thread. The
// reports the threads queued name nodes that must still exist when they are
// shown, so they are shown now, before the caller changes the tree. A run
// whose threads have ended but whose end is still queued is ended here too:
// the caller may delete the experiment, and the queued end with it.
void MainWindow::stopRunAndWait() {
    if (!runEnd) return;
    Base->stopExperiment();
    for (int i = 0; i < Base->getSetups(); ++i)
        if (Setup_* setup = Base->getSetup(i)) setup->wait();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    setupFinished();
}

bool MainWindow::editingLocked(const char* what) {
    if (!isRunning()) return false;
    log(std::string("Unable to ") + what + " while a simulation runs.", debugA);
    return true;
}

void MainWindow::addSetup() {
    if (editingLocked("add a setup")) return;
    projectChanged = true;
    auto* setup = new SetupNode_(treeWidget);
    setup->setText(0, generateUniqueTopLevelNode("Setup", treeWidget));
    addDefaults(setup, {
        {"Roundtrips", DataType_::integer, "10", 0, "Number of roundtrips the experiment should run."},
        {"Roundtrip", DataType_::integer, "", hidden | readOnly, "Current Roundtrip."},
        {"Samples", DataType_::integer, "256", 0, "Number of samples in each pulse."},
    });
    addDefault(setup, {"Directory", DataType_::string, "", 0,
                       "The subdirectory the data taken from this setup will be saved in."})
        ->setValue(setup->text(0));
    auto* measurements = new MeasurementGroupNode_;
    measurements->setText(0, QStringLiteral("Measurements"));
    measurements->setFlags(measurements->flags() & ~Qt::ItemIsEditable);
    appendChild(setup, measurements);
    makeEditable(setup);
}

void MainWindow::addCavity(Node_* setup) {
    if (editingLocked("add a cavity")) return;
    if (!setup) setup = Node_::findSelected(treeWidget);
    if (!setup) return log("Unable to add Cavity. Nothing Selected.", debugA);
    if (setup->getNodeType() != Node_::setup)
        return log("Unable to add Cavity. No Setup Selected.", debugA);
    projectChanged = true;
    auto* cavity = new CavityNode_;
    cavity->setText(0, setup->generateUniqueLocal("Cavity"));
    const int samples[] = {setupSamples(setup)};
    addDefaults(cavity, {
        {"InnitialPulseShape", DataType_::string, "Gaussian", notMeasurable,
         "The shape of the innitial pulse in this cavity."},
        {"InnitialPulseDuration", DataType_::doubleprecision, "1e-9", notMeasurable,
         "The fwhm of the innitial pulse."},
        {"InnitialPulseDomain", DataType_::string, "time", notMeasurable,
         "The domain of the innitial pulse."},
        {"PulseTime", DataType_::quadprecision, "0", 0,
         "The time of the pulse, innitially usually zero."},
        {"PulseWavelength", DataType_::quadprecision, "1064e-9", 0, "The wavelength of the pulse."},
        {"InnitialPulseEnergy", DataType_::doubleprecision, "1e-7", notMeasurable,
         "The Energy of the innitial pulse."},
    });
    addDefault(cavity, {"Pulse", DataType_::pulse, "", hidden | readOnly, "The pulse in the cavity."},
               1, samples);
    addDefault(cavity, {"RecenterPulse", DataType_::logical, "true", notMeasurable,
                        "Should the frame of reference of the pulse be shifted to keep the pulse "
                        "centered within its array if needed."});
    appendChild(setup, cavity);
    makeEditable(cavity);
}

void MainWindow::addElementGroup(Node_* cavity) {
    if (editingLocked("add an element group")) return;
    const auto takesGroups = [](Node_* n) {
        return n->getNodeType() == Node_::cavity || n->getNodeType() == Node_::elementgroup;
    };
    if (!cavity || !takesGroups(cavity)) {
        cavity = Node_::findSelected(treeWidget);
        if (!cavity) return log("Unable to add Cavity Element Group. Nothing Selected.", debugA);
        if (!takesGroups(cavity))
            return log("Unable to add Cavity Element Group. No Cavity Selected.", debugA);
    }
    projectChanged = true;
    auto* group = new ElementGroupNode_;
    makeEditable(group);
    group->setText(0, cavity->generateUniqueLocal("ElementGroup"));
    addDefaults(group, {
        {"Iterations", DataType_::integer, "1", 0,
         "How often should the items in the group be iterated in one roundtrip."},
        {"Condition", DataType_::string, "always", expression,
         "If condition evaluates as false, the pulse does not pass this element group in that "
         "roundtrip."},
    });
    appendChild(cavity, group);
}

void MainWindow::addMeasurementGroup() {
    if (editingLocked("add a measurement group")) return;
    Node_* cavity = Node_::findSelected(treeWidget);
    if (!cavity) return log("Unable to add Cavity Measurement Group. Nothing Selected.", debugA);
    if (cavity->getNodeType() != Node_::cavity)
        return log("Unable to add Cavity Measurement Group. No Cavity Selected.", debugA);
    projectChanged = true;
    auto* group = new MeasurementGroupNode_;
    makeEditable(group);
    group->setText(0, cavity->generateUniqueLocal("MeasurementGroup"));
    appendChild(cavity, group);
}

// "Dimension" and "DataType" start as the default "Parameter" "0" is: a
// scalar integer, so a fresh measurement passes the checks before a run.
void MainWindow::addMeasurement() {
    if (editingLocked("add a measurement")) return;
    Node_* group = Node_::findSelected(treeWidget);
    if (!group) return log("Unable to add Measurement. Nothing Selected.", debugA);
    if (group->getNodeType() != Node_::measurementgroup)
        return log("Unable to add Measurement. No Measurement Group Selected.", debugA);
    projectChanged = true;
    auto* measurement = new MeasurementNode_;
    makeEditable(measurement);
    appendChild(group, measurement);
    addDefaults(measurement, {
        {"Parameter", DataType_::string, "0", expression, "The parameter to be measured."},
        {"Condition", DataType_::string, "always", expression,
         "A condition under which the measurement is to be performed."},
        {"Dimension", DataType_::integer, "0", 0,
         "What is the dimension of the data that is measured every Iteration. Do not change"},
        {"DataType", DataType_::string, "Integer", 0,
         "What is the type of the data that is measured every Iteration. Do not change"},
        {"FileName", DataType_::string, "", 0,
         "The Name of the file the data is saved in. The file will be an the subdirectory "
         "specified in the Setup Node of this setup tree."},
        {"SaveInstantly", DataType_::logical, "false", 0, "Save the data as soon as it is taken."},
        {"FreeAfterSave", DataType_::logical, "false", 0,
         "Do not keep the data in memory after it has been saved. Can only be true if "
         "SaveInstatly is true."},
    });
    MeasurementRow_* row = measurement->getMeasurementTreeNode();
    row->refreshInfo();
    if (MeasurementTree->selectedItems().isEmpty() && row->treeWidget()) {
        row->setSelected(true);
        actionPlot->setEnabled(true);
    }
    measurement->setText(0, group->generateUniqueLocal("Measurement"));
    measurement->refreshFileName();
    treeWidget->setCurrentItem(measurement);
}

// Every node the dialog made is placed: none is left outside the tree, where
// its deletion would take the placed ones with it.
void MainWindow::addElement() {
    if (editingLocked("add an element")) return;
    SelectElement dialog(ElementData.get(), this);
    if (!dialog.execute()) return;
    projectChanged = true;
    Node_* setup = dialog.getSelectedSetup();
    QList<ElementNode_*> placed;
    for (int i = 0; i < dialog.getSelectedCavities(); ++i) {
        ElementNode_* node = dialog.takeCreatedNode(i);
        if (Node_* target = dialog.getSelectedCavity(i)) {
            target->insertChild(std::min(dialog.getSelectedPosition(i), target->childCount()), node);
            target->setExpanded(true);
        } else {
            // A new cavity holds the element as deep as the deepest chosen
            // container, inside new element groups.
            addCavity(setup);
            Node_* deepest = setup->getChild(setup->childCount() - 1);
            while (deepest->getLevel() <= dialog.getCavityLevel()) {
                addElementGroup(deepest);
                Node_* group = deepest->getChild(deepest->childCount() - 1);
                if (!group) break;
                deepest = group;
            }
            appendChild(deepest, node);
        }
        placed << node;
    }
    spreadOverGroupInputs(setup, placed);
}

void MainWindow::addInstance() {
    if (editingLocked("add an instance")) return;
    auto* element = dynamic_cast<ElementNode_*>(treeWidget->currentItem());
    if (!element || !element->getParent()) return;
    if (element->getParent()->getNodeType() != Node_::cavity)
        return log("Instances inside element groups not implemented yet.", normal);
    auto* master = dynamic_cast<ElementNode_*>(element->getMasterInstance());
    if (!master) return;
    AddInstance_ dialog(this, master);
    if (dialog.exec() != QDialog::Accepted) return;
    // All targets are known before any node is made, so no instance is left half placed.
    for (int k = 0; k < master->getInputs(); ++k)
        if (!master->getInput(k) || !dialog.getGroup(k)) return;
    for (int k = 0; k < master->getInputs(); ++k) {
        ElementBaseNode_* instance = master->getInput(k)->createInstance();
        if (!instance) return;
        Node_* group = dialog.getGroup(k);
        instance->setText(0, group->generateUniqueLocal(instance->text(0)));
        group->insertChild(std::min(dialog.getPosition(k), group->childCount()), instance);
        projectChanged = true;
        setupTreeSelectionChanged();
    }
}

void MainWindow::removeInstance() {
    if (editingLocked("remove an instance")) return;
    auto* element = dynamic_cast<ElementNode_*>(treeWidget->currentItem());
    if (!element) return;
    // The parent becomes current first, so the selection does not wander
    // through the nodes that the deletion takes along.
    if (Node_* parent = element->getParent()) treeWidget->setCurrentItem(parent);
    delete element;
    projectChanged = true;
    setupTreeSelectionChanged();
}

// The row is read before the instance list is emptied, and emptying it runs
// no instanceSelected, which would move the tree's current item first.
void MainWindow::inputSelected(QTreeWidgetItem*, QTreeWidgetItem*) {
    auto* element = dynamic_cast<ElementNode_*>(treeWidget->currentItem());
    if (!element) return;
    QTreeWidgetItem* row = inputList->currentItem();
    ElementBaseNode_* input = row ? element->getInput(inputList->indexOfTopLevelItem(row)) : nullptr;
    followSelection(false);
    {
        const QSignalBlocker blockInstances(instanceList);
        instanceList->clear();
    }
    treeWidget->setCurrentItem(input);
    // The list shows the input node's own instances with its row current; a
    // refill would show those of the element's master instead, so none runs.
    // Name, kind and parameters are the same for every input of an element.
    if (auto* current = dynamic_cast<ElementBaseNode_*>(treeWidget->currentItem())) {
        const QSignalBlocker blockInstances(instanceList);
        for (int i = 0; i < current->getInstances(); ++i) {
            instanceList->addItem(current->getInstance(i)->getPath());
            if (current->getInstance(i) == current) instanceList->setCurrentRow(i);
        }
    }
    followSelection(true);
}

void MainWindow::instanceSelected(int row) {
    auto* element = dynamic_cast<ElementNode_*>(treeWidget->currentItem());
    if (!element) return;
    followSelection(false);
    ElementBaseNode_* instance = element->getInstance(row);
    std::ostringstream line;
    line << "Setting treeWidget->setCurrentItem(" << static_cast<const void*>(instance) << "); for row "
         << row << ".";
    log(line.str(), normal);
    treeWidget->setCurrentItem(instance);
    setupTreeSelectionChanged();
    followSelection(true);
}

void MainWindow::renameNode() {
    if (editingLocked("rename an item")) return;
    Node_* node = Node_::findSelected(treeWidget);
    if (node && (node->flags() & Qt::ItemIsEditable)) treeWidget->editItem(node, 0);
}

void MainWindow::itemChanged(QTreeWidgetItem* item, int) {
    auto* node = item && item->type() == Node_::itemType ? dynamic_cast<Node_*>(item) : nullptr;
    if (!node) return;
    projectChanged = true;
    connectTreeEdits(false);
    if (node->findDuplicate()) {
        const auto suffixed = [base = node->text(0)](int n) {
            return base + "(" + QString::number(n) + ")";
        };
        int n = 2;
        while (node->findNodeLocal(suffixed(n))) ++n;
        node->setText(0, suffixed(n));
    }
    if (auto* measurement = dynamic_cast<MeasurementNode_*>(node)) measurement->refreshFileName();
    // The setup node titles its status tab itself.
    if (node->getNodeType() == Node_::setup && node->hasParameter("Directory"))
        node->getParameter("Directory")->setValue(node->text(0));
    setupTreeSelectionChanged();
    connectTreeEdits(true);
}

void MainWindow::moveElementUp() { moveCurrentItem(-1); }

void MainWindow::moveElementDown() { moveCurrentItem(1); }

void MainWindow::moveCurrentItem(int step) {
    if (editingLocked("move an item")) return;
    QTreeWidgetItem* item = treeWidget->currentItem();
    QTreeWidgetItem* parent = item ? item->parent() : nullptr;
    if (!parent) return;
    const int row = treeWidget->currentIndex().row();
    if (row + step < 0 || row + step >= parent->childCount()) return;
    parent->insertChild(row + step, parent->takeChild(row));
    projectChanged = true;
    treeWidget->setCurrentItem(item);
}

void MainWindow::deleteNode() {
    if (editingLocked("delete an item")) return;
    Node_* node = Node_::findSelected(treeWidget);
    if (!node) return;
    if (QTreeWidgetItem* parent = node->parent()) {
        if (parent->treeWidget()) treeWidget->setCurrentItem(parent);
        parent->removeChild(node);
    } else {
        treeWidget->takeTopLevelItem(treeWidget->indexOfTopLevelItem(node));
    }
    delete node;
    projectChanged = true;
    redraw();
}

QList<QAction*> MainWindow::contextActions(QWidget* widget) const {
    if (widget && widget == MeasurementTree->viewport() && MeasurementTree->currentItem())
        return {actionPlot, actionSave_Selected, actionAnalyze, actionAnalyze_As};
    if (!widget || widget != treeWidget->viewport()) return {};
    QList<QAction*> entries{actionAdd_Setup, actionDelete_Selected, actionRun};
    auto* current = dynamic_cast<Node_*>(treeWidget->currentItem());
    switch (current ? current->getNodeType() : Node_::measurement) {
        case Node_::setup: entries << actionAdd_Cavity; break;
        case Node_::cavity:
        case Node_::elementgroup:
            entries << actionAdd_Element << actionAdd_Element_Group << actionAdd_Measurement_Group;
            break;
        case Node_::element: entries << actionAdd_Instance; break;
        case Node_::measurementgroup: entries << actionAdd_Measurement; break;
        case Node_::measurement: break;
    }
    return entries;
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    const QList<QAction*> entries = contextActions(childAt(event->pos()));
    if (entries.isEmpty()) return;
    QMenu menu(this);
    menu.addActions(entries);
    menu.exec(event->globalPos());
}

Node_* MainWindow::parameterNode(Node_* selected) {
    if (selected->getNodeType() != Node_::element) return selected;
    auto* element = dynamic_cast<ElementBaseNode_*>(selected);
    Node_* master = element ? element->getMaster() : nullptr;
    return master ? master : selected;
}

void MainWindow::setupTreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = treeWidget->selectedItems();
    Node_* node = selected.isEmpty() ? nullptr : dynamic_cast<Node_*>(selected.first());
    // The cells belong to the parameters: taken out, never deleted, but
    // the three descriptive cells of each row.
    const QSignalBlocker blockTable(itemParameters);
    for (int r = 0; r < itemParameters->rowCount(); ++r) {
        itemParameters->takeItem(r, 0);
        itemParameters->takeItem(r, 1);
        for (int c = 2; c < 5; ++c) delete itemParameters->takeItem(r, c);
    }
    shownValues.clear();
    fillInstancesAndInputs(node);
    if (!node) {
        itemName->clear();
        itemType->clear();
        itemParameters->setRowCount(0);
        setEditingActions(nullptr);
        return;
    }
    itemName->setText(node->text(0));
    itemType->setText(node->getTypeString());
    fillParameterTable(parameterNode(node));
    setupSplitterMoved(0, 0);
    setEditingActions(node);
}

// Invisible parameters take no row, so row r shows the r-th visible one.
void MainWindow::fillParameterTable(Node_* node) {
    itemParameters->setRowCount(node->getParameters());
    int row = 0;
    for (int i = 0; i < node->getParameters(); ++i) {
        Parameter_* p = node->getParameter(i);
        if (!p->getVisible()) {
            itemParameters->setRowCount(itemParameters->rowCount() - 1);
            continue;
        }
        itemParameters->setItem(row, 0, p->getName());
        itemParameters->setItem(row, 1, p->getValue());
        p->getValue()->setToolTip(p->getText()->text());
        itemParameters->setItem(row, 2, fixedCell(p->getTypeString()));
        itemParameters->setItem(row, 3, fixedCell(QString::number(p->getDimension())));
        itemParameters->setItem(row, 4, fixedCell(samplesText(*p)));
        shownValues << p->getValue()->text();
        ++row;
    }
}

void MainWindow::fillInstancesAndInputs(Node_* selected) {
    const QSignalBlocker blockInstances(instanceList);
    const QSignalBlocker blockInputs(inputList);
    instanceList->clear();
    inputList->clear();
    auto* element = dynamic_cast<ElementBaseNode_*>(selected);
    inputGroup->setEnabled(element);
    instanceGroup->setEnabled(element);
    if (!element) return;
    auto* owner = dynamic_cast<ElementBaseNode_*>(parameterNode(selected));
    for (int i = 0; i < owner->getInstances(); ++i) {
        instanceList->addItem(owner->getInstance(i)->getPath());
        if (owner->getInstance(i) == element) instanceList->setCurrentRow(i);
    }
    for (int i = 0; i < element->getInputs(); ++i) {
        ElementBaseNode_* input = element->getInput(i);
        if (!input) log("!!!!!!!!!!!!!!!!!" + std::to_string(element->getInputs()), normal);
        auto* row = new QTreeWidgetItem(inputList, {element->getInputType(i),
                                                    input ? input->getPath() : QString()});
        row->setSelected(input == element);
    }
}

// One letter per action of the list: on, off or left as it is.
void MainWindow::setEditingActions(Node_* selected) {
    QAction* const actions[] = {actionAdd_Cavity,         actionAdd_Element,
                                actionAdd_Element_Group,  actionAdd_Measurement,
                                actionAdd_Measurement_Group, actionMove_Element_Up,
                                actionMove_Element_Down,  actionDelete_Selected};
    const char* states = "0000000-";
    if (selected) {
        const Node_* parent = selected->getParent();
        switch (selected->getNodeType()) {
            case Node_::setup: states = "10000001"; break;
            case Node_::cavity: states = "01101001"; break;
            case Node_::element: states = "00100111"; break;
            case Node_::elementgroup: states = "01101111"; break;
            case Node_::measurement:
            case Node_::measurementgroup:
                states = parent && parent->getNodeType() == Node_::setup ? "00010000" : "00010111";
                break;
        }
    }
    for (int i = 0; i < 8; ++i)
        if (states[i] != '-') actions[i]->setEnabled(states[i] == '1');
}

void MainWindow::setupSplitterMoved(int, int) {
    itemParameters->resizeColumnsToContents();
    itemParameters->resizeRowsToContents();
    int sum = 0;
    for (int c = 0; c < itemParameters->columnCount(); ++c) sum += itemParameters->columnWidth(c);
    const int width = itemParameters->width();
    if (width > sum)
        itemParameters->setColumnWidth(1, std::max(0, itemParameters->columnWidth(1) + width - sum - 35));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    setupSplitterMoved(0, 0);
}

void MainWindow::parameterChanged(int row, int column) {
    Node_* node = Node_::findSelected(treeWidget);
    if (!node || (column == 1 && !acceptValue(parameterNode(node), row))) return;
    if (auto* measurement = dynamic_cast<MeasurementNode_*>(node))
        measurement->getMeasurementTreeNode()->refreshInfo();
    QTableWidgetItem* name = itemParameters->item(row, 0);
    if (node->getNodeType() == Node_::setup && column == 1 && name && name->text() == "Samples")
        resizeCavityPulses(node);
}

// A value that is no value of its type, or a setup without samples, would
// only fail when the run is built: it is put back at once, with the reason.
// No value changes while the setup threads read them.
bool MainWindow::acceptValue(Node_* node, int row) {
    Parameter_* p = node->getParameterRow(row);
    if (!p || row >= shownValues.size()) return true;
    const QString text = p->getValue()->text();
    const QString name = p->getName()->text();
    QString problem;
    if (!p->isExpression() && !p->verify())
        problem = "\"" + text + "\" is not a value of type " + p->getTypeString() + ". " + name +
                  " keeps its value \"" + shownValues[row] + "\".";
    else if (node->getNodeType() == Node_::setup && name == "Samples" && text.toInt() < 1)
        problem = "A setup needs at least one sample per pulse. Samples keeps its value \"" +
                  shownValues[row] + "\".";
    const bool locked = editingLocked("change a parameter");
    if (problem.isEmpty() && !locked) {
        if (text != shownValues[row]) projectChanged = true;
        shownValues[row] = text;
        return true;
    }
    {
        const QSignalBlocker blockTable(itemParameters);
        p->getValue()->setText(shownValues[row]);
    }
    if (!locked) MessageBox_::show(MessageBox_::warning, this, tr("Invalid Value"), problem);
    return false;
}

void MainWindow::resizeCavityPulses(Node_* setup) {
    const int samples = setupSamples(setup);
    for (int i = 0; i < setup->childCount(); ++i) {
        Node_* cavity = setup->getChild(i);
        if (!cavity || cavity->getNodeType() != Node_::cavity || !cavity->hasParameter("Pulse"))
            continue;
        Parameter_* pulse = cavity->getParameter("Pulse");
        if (pulse->getDimension() < 1) continue;
        std::vector<int> extents(pulse->getSamples(), pulse->getSamples() + pulse->getDimension());
        extents[0] = samples;
        *pulse->getShape() = DataShape_(pulse->getType(), pulse->getDimension(), extents.data());
    }
}

// A click on an expression's value opens its editor; an expression it
// changes is an edit of the project.
void MainWindow::parameterClicked(int row, int column) {
    Node_* node = Node_::findSelected(treeWidget);
    if (!node || column != 1) return;
    Parameter_* p = parameterNode(node)->getParameterRow(row);
    if (!p || !p->isExpression() || editingLocked("edit an expression")) return;
    const QString before = p->getValue()->text();
    p->inputExpression();
    if (p->getValue()->text() != before) projectChanged = true;
}

void MainWindow::setPlotProgram(const std::string& program, const std::string& arguments) {
    plotProgram = program;
    plotArguments = arguments;
}

MeasurementRow_* MainWindow::measurementRowOf(QTreeWidgetItem* item) {
    if (item && item->parent()) item = item->parent();
    return dynamic_cast<MeasurementRow_*>(item);
}

int MainWindow::dataSetIndex(QTreeWidgetItem* item) {
    return item->parent() ? item->parent()->indexOfChild(item) : -1;
}

void MainWindow::offerPlotModes(bool re, bool others) {
    radioButtonRe->setEnabled(re);
    for (QRadioButton* b : {radioButtonIm, radioButtonAbs, radioButtonPhase}) b->setEnabled(others);
    if (!others) radioButtonRe->setChecked(true);
}

// The curve is emptied first: data the plot cannot draw would otherwise
// leave the previous selection's curve on show.
void MainWindow::showInPlot(Measurement_* measurement, int index) {
    MeasurementPlot->setPlotData(nullptr, nullptr, 0);
    MeasurementPlot->setPlotData(measurement, index);
    MeasurementPlot->plot(nullptr, -1);
}

void MainWindow::measurementTreeSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = MeasurementTree->selectedItems();
    if (selected.isEmpty()) return;
    MeasurementRow_* row = measurementRowOf(selected.first());
    if (!row) return;
    if (auto* dataRow = dynamic_cast<MeasurementTreeNode_*>(row)) dataRow->refreshText();
    Measurement_* measurement = row->MeasurementNode->Measurement;
    if (!measurement) {
        offerPlotModes(false, false);
        for (QAction* a : {actionPlot, actionAnimate, actionSave_Selected, actionAnalyze, actionAnalyze_As})
            a->setEnabled(false);
        MeasurementPlot->reset();
        return;
    }
    // The data sets are read only while no setup thread adds to them.
    if (!Base || Base->isRunning()) {
        offerPlotModes(false, false);
        MeasurementPlot->reset();
        return;
    }
    for (QAction* a : {actionPlot, actionSave_Selected, actionAnalyze, actionAnalyze_As}) a->setEnabled(true);
    actionAnimate->setEnabled(false);
    const Operation_* op = measurement->getOperation();
    const DataType_::type_ type = op ? op->getShape()->getType().get() : DataType_::integer;
    offerPlotModes(true, type == DataType_::complex || type == DataType_::pulse);
    const QRadioButton* modes[] = {radioButtonRe, radioButtonIm, radioButtonAbs, radioButtonPhase};
    int mode = 0;
    while (mode < 3 && !modes[mode]->isChecked()) ++mode;
    MeasurementPlot->plotMode = static_cast<QwtPlot_::plotMode_>(mode);
    showInPlot(measurement, dataSetIndex(selected.first()));
}

void MainWindow::plotRealSelected() { plotCurrentRow(QwtPlot_::real); }

void MainWindow::plotImagSelected() { plotCurrentRow(QwtPlot_::imag); }

void MainWindow::plotAbsSelected() { plotCurrentRow(QwtPlot_::abs); }

void MainWindow::plotPhaseSelected() { plotCurrentRow(QwtPlot_::phase); }

void MainWindow::plotCurrentRow(int mode) {
    MeasurementPlot->plotMode = static_cast<QwtPlot_::plotMode_>(mode);
    QTreeWidgetItem* current = MeasurementTree->currentItem();
    MeasurementRow_* row = measurementRowOf(current);
    Measurement_* measurement = row ? row->MeasurementNode->Measurement : nullptr;
    if (!measurement || isRunning()) return;
    showInPlot(measurement, dataSetIndex(current));
}

void MainWindow::plotData() {
    const QList<QTreeWidgetItem*> selected = MeasurementTree->selectedItems();
    if (selected.size() != 1) return;
    if (isRunning()) return log("Unable to plot while a simulation runs.", debugA);
    if (!Plot)
        Plot = std::make_unique<Plot_>(plotProgram.empty() ? Plot_::defaultProgram : plotProgram,
                                       plotArguments);
    QTreeWidgetItem* item = selected.first();
    MeasurementRow_* row = measurementRowOf(item);
    Measurement_* measurement = row ? row->MeasurementNode->Measurement : nullptr;
    if (!measurement) {
        MessageBox_::show(MessageBox_::information, this, tr("Nothing to Plot"),
                          tr("No data has been taken yet for this item"));
        return;
    }
    Plot->plot(measurement, item->parent() ? dataSetIndex(item) : 0);
}

void MainWindow::analyzeData() {
    QTreeWidgetItem* current = MeasurementTree->currentItem();
    MeasurementRow_* row = measurementRowOf(current);
    if (!row) return;
    Octave->sendData(row->MeasurementNode->Measurement, dataSetIndex(current), QString());
}
