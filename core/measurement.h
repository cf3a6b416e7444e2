#pragma once
// One measurement of a run: the expression layer supplies its operation,
// condition and collected data; the engine only stores it in a slot, makes it
// collect and dumps it.

class Measurement_ {
public:
    virtual ~Measurement_() = default;
    // Appends one data set when the measurement's own condition allows it.
    virtual void collect() = 0;
    // Dumps the measurement's state to the log, each line indented by `indent`.
    virtual void write(const int& indent) = 0;
};
