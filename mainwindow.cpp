#include "mainwindow.h"

#include <QAction>
#include <QMenuBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>

#include "dialogs/debugconsole.h"
#include "interface/error.h"
#include "logger.h"

namespace {

QTreeWidget* makeTree(const QStringList& headers, QWidget* parent) {
    auto* tree = new QTreeWidget(parent);
    tree->setColumnCount(headers.size());
    tree->setHeaderLabels(headers);
    return tree;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(tr("Pulsed-laser cavity simulator"));

    auto* vertical = new QSplitter(Qt::Vertical, this);
    auto* horizontal = new QSplitter(Qt::Horizontal, vertical);
    setupTree = makeTree({tr("Setup")}, horizontal);
    auto* tabs = new QTabWidget(horizontal);
    measurementTree = makeTree({tr("Data")}, tabs);
    console = new DebugConsole_(tabs);
    console->setObjectName(QStringLiteral("debugConsole"));
    tabs->addTab(measurementTree, tr("Data"));
    tabs->addTab(console, tr("Debug Console"));
    horizontal->setStretchFactor(1, 2);
    errorList = makeTree({tr("Code"), tr("Message"), tr("Source")}, vertical);
    errorList->setObjectName(QStringLiteral("errorList"));
    vertical->setStretchFactor(0, 3);
    setCentralWidget(vertical);

    QMenu* data = menuBar()->addMenu(tr("&Data"));
    actionPlot = data->addAction(tr("Plot"));
    actionAnimate = data->addAction(tr("Animate"));
    actionPlot->setEnabled(false);
    actionAnimate->setEnabled(false);
    resize(1000, 700);

    Logger_::setDebugConsole(console);
    Logger_::setOutStream(Logger_::econsole);
    Logger_::setLogLevel(Logger_::debugD);
    Error_::setMainWindow(this);
}

MainWindow::~MainWindow() {
    Error_::removeMainWindow(this);
    Logger_::removeDebugConsole(console);
}

void MainWindow::redraw() {
    actionPlot->setEnabled(measurementTree->selectedItems().size() == 1);
    actionAnimate->setEnabled(false);
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

void MainWindow::addErrorSlot(QString message, Node_* source, int code) {
    // Entries of a node name it by its path once the setup tree exists.
    const QString origin = source ? QString() : QStringLiteral("Unknown");
    new QTreeWidgetItem(errorList, {QString::number(code), message, origin});
}

void MainWindow::deleteErrorSlot(int i) {
    if (i == -1)
        errorList->clear();
    else if (i >= 0 && i < errorList->topLevelItemCount())
        delete errorList->takeTopLevelItem(i);
}
