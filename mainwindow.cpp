#include "mainwindow.h"

#include <QIcon>
#include <QStringList>
#include <QTimer>

#include "core/base.h"
#include "dialogs/about.h"
#include "dialogs/debugconsole.h"
#include "dialogs/manageplugins.h"
#include "dialogs/octavewidget.h"
#include "dialogs/preferences.h"
#include "interface/error.h"
#include "interface/messagebox.h"

const char* const MainWindow::elementCatalogue = "config/elements.config";

MainWindow::MainWindow() : QMainWindow(nullptr) {
    // The console comes first so that everything after it is logged there.
    DebugConsole = new DebugConsole_(this);
    Logger_::setDebugConsole(DebugConsole);
    Logger_::setOutStream(econsole);
    Logger_::setLogLevel(debugD);
    log("Korvane, a pulsed-laser cavity simulator, version " + getVersion().toStdString(), normal);

    Q_INIT_RESOURCE(icons);
    setupUi(this);

    // The preferences come before the plug-in registry, which reads them.
    DialogPreferences = new Preferences(this);
    DialogManagePlugins = new ManagePlugins(this);

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

    log("Loading configuration files ...", normal);
    readElementCatalogue();

    MeasurementTree->setColumnCount(2);
    progressBar->setValue(0);
    projectChanged = false;
    splitter_2->setSizes({150, 500});
    splitter->setSizes({150, 500});
    splitter_3->setSizes({500, 200});
    splitter_4->setSizes({200, 500});
    ErrorList->setColumnWidth(1, 500);

    Error_::setMainWindow(this);

    for (QWidget* w : std::initializer_list<QWidget*>{radioButtonRe, radioButtonIm, radioButtonAbs,
                                                      radioButtonPhase, checkBoxIsAnimated})
        w->setEnabled(false);
    for (QAction* a : {actionStop, actionReset, actionSave_Selected, actionAnalyze, actionAnalyze_As})
        a->setEnabled(false);
}

MainWindow::~MainWindow() {
    // Setup threads reach tree nodes and this window: the run ends first
    // (the experiment stops its setups and waits for their threads).
    delete Base;
    Base = nullptr;
    Error_::removeMainWindow(this);
    treeWidget->clear();
    delete actionAdd_Instance;
    delete Timer;
    ElementData.reset();
    delete DialogManagePlugins;
    DialogManagePlugins = nullptr;
    delete DialogPreferences;
    DialogPreferences = nullptr;
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
    connect(actionDebug_Console, &QAction::triggered, this, &MainWindow::openDebugConsole);
    connect(actionManage_Plugins, &QAction::triggered, this, &MainWindow::managePlugins);
    for (QAction* a :
         {actionRun, actionStop, actionReset, actionOpen, actionSave, actionSave_As, actionNew,
          actionAdd_Element, actionAdd_Element_Group, actionAdd_Setup, actionAdd_Cavity,
          actionAdd_Measurement, actionAdd_Measurement_Group, actionPlot, actionDelete_Selected,
          actionRename_Selected, actionExport_Experiment, actionImport_Experiment,
          actionCopy_Setup, actionMove_Element_Up, actionMove_Element_Down,
          actionAnalyze, actionAdd_Instance})
        connectUnavailable(a);
    connect(buttonAddInstance, &QPushButton::clicked, actionAdd_Instance, &QAction::trigger);
    connect(buttonRemoveInstance, &QPushButton::clicked, this,
            [this] { log("Command \"Remove Instance\" is not available yet.", normal); });
}

void MainWindow::connectUnavailable(QAction* action) {
    connect(action, &QAction::triggered, this, [this, action] {
        log("Command \"" + action->text().toStdString() + "\" is not available yet.", normal);
    });
}

void MainWindow::readElementCatalogue() {
    ElementData = std::make_unique<ConfigFile_>();
    if (!ElementData->readFile(elementCatalogue))
        MessageBox_::show(MessageBox_::critical, this, tr("File Read Error"),
                          tr("Could not read the config file ") + elementCatalogue + "\n" +
                              QString::fromStdString(ElementData->getErrorMessage()));
}

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

void MainWindow::redraw() {
    actionPlot->setEnabled(MeasurementTree->selectedItems().size() == 1);
    actionAnimate->setEnabled(false);
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

void MainWindow::about() {
    About dialog(this);
    dialog.exec(getVersion());
}

void MainWindow::managePlugins() { DialogManagePlugins->exec(); }

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

void MainWindow::addErrorSlot(QString message, Node_* source, int code) {
    // Entries of a node name it by its path once the setup tree exists.
    const QString origin = source ? QString() : QStringLiteral("Unknown");
    new QTreeWidgetItem(ErrorList, {QString::number(code), message, origin});
}

void MainWindow::deleteErrorSlot(int i) {
    if (i == -1)
        ErrorList->clear();
    else if (i >= 0 && i < ErrorList->topLevelItemCount())
        delete ErrorList->takeTopLevelItem(i);
}
