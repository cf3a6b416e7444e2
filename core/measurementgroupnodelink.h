#pragma once
// What a measurement box uses of the measurement-group node that built it:
// the node's part of the error registry and the notice that the box is going
// away.
class Error_;
class MBox_;

class MeasurementGroupNodeLink_ {
public:
    virtual Error_& getErrorSource() = 0;
    // The box is being destroyed: a node that still refers to it forgets it.
    virtual void unlinkBox(MBox_* box) = 0;

protected:
    ~MeasurementGroupNodeLink_() = default;
};
