#pragma once
// The main window: the setup tree, the data tree, the error list and the
// debug console. It is the log's console and the receiver of the error list,
// whose changes reach its rows through queued signals, so any thread may
// report.
#include <QMainWindow>
#include <QString>

#include "interface/errorreceiver.h"

class QAction;
class QTreeWidget;
class Base_;
class DebugConsole_;

class MainWindow : public QMainWindow, public ErrorReceiver_ {
    Q_OBJECT
public:
    // Makes the debug console the log's console (unless one is set), sends
    // the log there at level debugD and takes the error list.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Brings the actions in line with the data tree's selection.
    void redraw();

    QTreeWidget* getSetupTree() const { return setupTree; }
    // The current experiment, or null.
    Base_* getBase() const { return Base; }

    void connectError() override;
    void addError(QString message, Node_* source, int code) override;
    void deleteError(int i) override;

signals:
    void addErrorRequest(QString message, Node_* source, int code);
    void deleteErrorRequest(int i);

private slots:
    void addErrorSlot(QString message, Node_* source, int code);
    void deleteErrorSlot(int i);

private:
    QTreeWidget* setupTree;
    QTreeWidget* measurementTree;
    QTreeWidget* errorList;
    DebugConsole_* console;
    QAction* actionPlot;
    QAction* actionAnimate;
    Base_* Base = nullptr;
};
