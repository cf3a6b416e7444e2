#pragma once
// The status tab of one setup: a summary and the progress of its run, the
// setup's measurable parameters with the live value of the selected one, the
// history plot of a scalar or the plot of an array, a slider that tunes a
// hot-changeable scalar of the running setup, and the errors filed against the
// setup's nodes. While the setup runs, values reach the tab only as copies in
// the queued signals of the setup's live-access channel; the tab never reads
// the running setup's memory.
#include <QString>
#include <QTreeWidgetItem>
#include <QVector>
#include <QWidget>

#include "interface/accessor.h"
#include "interface/setupstatus.h"
#include "logger.h"
#include "ui_setupstatuswidget.h"

class Node_;
class Parameter_;
class QwtPlot_;
class Setup_;
class SetupNode_;

// One row of the parameter tree: a branch for a tree node, or a leaf for one
// of its parameters (not owned).
class SetupStatusWidgetParameterNode_ : public QTreeWidgetItem {
public:
    static constexpr int itemType = 1000;

    explicit SetupStatusWidgetParameterNode_(const QString& name);
    explicit SetupStatusWidgetParameterNode_(Parameter_* P);

    // Null for a branch row.
    Parameter_* Parameter;
};

class SetupStatusWidget_ : public QWidget,
                           public Ui::SetupStatusWidget_,
                           public SetupStatusSink_,
                           public Logger_ {
    Q_OBJECT
public:
    // Makes every setup node's status tab one of these.
    static void installFactory();

    SetupStatusWidget_(QWidget* parent, SetupNode_* node);

    QWidget* getWidget() override { return this; }
    // Attaches a freshly built run; ignored while one is attached.
    void setSetup(Setup_* S) override;
    // Back to idle: empty trees, the notices, progress 0.
    void clearSetup() override;
    void addError(const QString& message, Node_* node, int code) override;

    QwtPlot_* getPlot() const { return Plot; }
    // Empties the error list.
    void clearErrors();
    // Shows the selected parameter's value, or nothing when no parameter is
    // selected; while the setup runs, the value is left to the channel's reports.
    void update();
    // Shows `text` as the current value, from its first character.
    void setParameterValue(const QString& text);

private slots:
    void parameterClicked(QTreeWidgetItem*, int);
    void errorClicked(QTreeWidgetItem* item, int);
    void tune();
    void updateSetupStatus(int rt);
    void updateParameterDisplay(QString text);
    void plotHistory(QVector<double> x, QVector<double> y);
    void plotParameter(ParameterValuePtr value);
    void updatePlot();

private:
    void buildParameterTree(Node_* node, SetupStatusWidgetParameterNode_* row);
    // Shows the selected parameter and, during a run, asks for its reports.
    void refresh();
    // The selected leaf row's parameter while it is still part of the setup;
    // null otherwise.
    Parameter_* selectedParameter();
    bool isRunning() const;
    void showIdleTexts();
    // No value and no curve.
    void clearValue();
    // Reports still queued for the tab, which belong to an earlier request
    // or run.
    void dropQueuedReports();

    Setup_* Setup = nullptr;
    SetupNode_* SetupNode;
    QwtPlot_* Plot;
    int totalRoundtrips = 0;
};
