#pragma once
// Measurements and the groups that hold them. A measurement node has a row in
// the window's data tree; a measurement group inside a cavity becomes the
// measurement box at which its measurements collect.
#include "core/measurementgroupnodelink.h"
#include "core/measurementnodelink.h"
#include "interface/node.h"

class Measurement_;
class MeasurementRow_;
class Setup_;

class MeasurementNode_ : public Node_, public MeasurementNodeLink_ {
public:
    // Adds its row to the window's data tree.
    MeasurementNode_();
    // Copies the subtree; a row of its own; no measurement until built.
    MeasurementNode_(const MeasurementNode_& source);
    // Deletes its row; the measurement belongs to its setup or box.
    ~MeasurementNode_() override;

    QString getTypeString() const override { return QStringLiteral("Measurement"); }
    Node_* recursiveCopy() const override;

    // The measurement of this build for `setup` (which, or whose box, takes
    // ownership): the operation of "Parameter" and the condition of
    // "Condition". Null, reported, when "Parameter" is missing or holds no
    // expression that can run.
    Measurement_* create(Setup_* setup);

    // Sets "FileName" from the names of the nearest cavity and measurement
    // group above and the node's own name, then refreshes the row.
    void refreshFileName();

    Error_& getErrorSource() override { return *this; }
    // Forgets the measurement and drops the rows of its collected data.
    void unlinkMeasurement() override;

    MeasurementRow_* getMeasurementTreeNode() const { return MeasurementTreeNode; }

    // The number of axes of the "Parameter" parameter itself (its text is a
    // scalar string, so 0); -1 without it.
    int getOutputDimension() const;

    // The measurement of the last build; null before it and after it is gone.
    Measurement_* Measurement = nullptr;

private:
    // Shows the row in the window's data tree.
    void showRow();

    MeasurementRow_* MeasurementTreeNode;

    // A row the data tree deletes is forgotten, never deleted twice: the
    // row pointer is null from then on.
    friend class MeasurementRow_;
    void forgetRow(MeasurementRow_* row) {
        if (MeasurementTreeNode == row) MeasurementTreeNode = nullptr;
    }
};

class MeasurementGroupNode_ : public Node_, public MeasurementGroupNodeLink_ {
public:
    MeasurementGroupNode_();
    MeasurementGroupNode_(const MeasurementGroupNode_& source);
    // The box belongs to its setup; it only forgets this node.
    ~MeasurementGroupNode_() override;

    QString getTypeString() const override { return QStringLiteral("MeasurementGroup"); }
    Node_* recursiveCopy() const override;

    // The box of a group inside a cavity, one slot per child.
    MBox_* create(Setup_* setup);
    // Fills the box with one measurement per child.
    bool link() override;

    Error_& getErrorSource() override { return *this; }
    void unlinkBox(MBox_* box) override;

    // The box of the last build; null before it, after it is gone and always
    // for the setup's "Measurements" group.
    MBox_* MBox = nullptr;

private:
    void setDescription();
};
