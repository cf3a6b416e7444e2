#pragma once
// The row of one measurement node in the window's data tree; the rows of its
// collected data sets are its children. A factory makes the rows, so tests can
// put a row of their own in place of the data view's row.
#include <QTreeWidgetItem>
#include <functional>

class MeasurementNode_;

class MeasurementRow_ : public QTreeWidgetItem {
public:
    using Factory = std::function<MeasurementRow_*(MeasurementNode_* node)>;

    explicit MeasurementRow_(MeasurementNode_* node);
    // The node forgets the row, so a row the tree deletes is not deleted twice.
    ~MeasurementRow_() override;

    // Shows the node's name (column 0) and path (column 1).
    virtual void refreshInfo();

    // A new row from the installed factory, or the data view's row.
    static MeasurementRow_* create(MeasurementNode_* node);
    // An empty factory restores the data view's row.
    static void setFactory(Factory factory);

    MeasurementNode_* const MeasurementNode;
};
