#pragma once
// The row of one measurement node in the window's data tree; the rows of its
// collected data sets are its children. A factory makes the rows, so the full
// data view can replace the plain row here without the tree knowing.
#include <QTreeWidgetItem>
#include <functional>

class MeasurementNode_;

class MeasurementRow_ : public QTreeWidgetItem {
public:
    using Factory = std::function<MeasurementRow_*(MeasurementNode_* node)>;

    explicit MeasurementRow_(MeasurementNode_* node);

    // Shows the node's name (column 0) and path (column 1).
    virtual void refreshInfo();

    // A new row from the installed factory, or a plain one.
    static MeasurementRow_* create(MeasurementNode_* node);
    // An empty factory restores the plain row.
    static void setFactory(Factory factory);

    MeasurementNode_* const MeasurementNode;
};
