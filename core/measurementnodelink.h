#pragma once
// What a measurement uses of the tree node that made it: the node's part of
// the error registry (evaluation errors name the node as their source) and the
// notice that the measurement is going away.
class Error_;

class MeasurementNodeLink_ {
public:
    virtual Error_& getErrorSource() = 0;
    // The measurement is being destroyed: the node forgets it and drops the
    // rows of its collected data.
    virtual void unlinkMeasurement() = 0;

protected:
    ~MeasurementNodeLink_() = default;
};
