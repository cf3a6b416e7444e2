#pragma once
// The data view's row of one measurement node: the node's name and path, one
// child row per data set its measurement has collected (for array and pulse
// results; a scalar's series is reached through this row alone) and the
// node's HTML summary in the window's shared text pane.
//
// A run may collect a million sets between two refreshes, far more rows than
// the window can make in one go; so set rows are made while the row is open.
// A closed row with sets shows that it can be opened, and opening it in its
// tree lists them.
#include <QPointer>
#include <QTextEdit>

#include "interface/measurementrow.h"
#include "logger.h"

class QTreeWidget;

class MeasurementTreeNode_ : public MeasurementRow_, public Logger_ {
public:
    // Sets no text; the node inserts the row and refreshes it.
    explicit MeasurementTreeNode_(MeasurementNode_* node);

    // Names the row and, while it is open, appends a child row for each data
    // set collected since the last call; existing child rows are never
    // changed. Reads only the number of sets, so it is safe while a setup
    // thread collects.
    void refreshInfo() override;
    // Writes the node's summary into the shared text pane, when there is one.
    void refreshText();

    MeasurementNode_* getMeasurementNode() const { return MeasurementNode; }

    // The window's summary pane; not owned.
    static void setMeasurementText(QTextEdit* pane);

private:
    // Opening a row of this tree refreshes it; connected once per tree, which
    // also gets uniform row heights.
    static void followExpansion(QTreeWidget* tree);
    // The number of data sets shown as child rows.
    int listedSets() const;
    // The value cell's text of the node's parameter, or "Unknown".
    QString parameterValue(const QString& name) const;

    static QPointer<QTextEdit> MeasurementText;
};
