#pragma once
// What an operation reads of a tree parameter it takes as an operand: where
// the value lies (the bound live field during a run) and its shape. The tree's
// parameter implements it, so the engine needs no widget code.
class DataShape_;

class ParameterLink_ {
public:
    // The bound field, or null before a run is built.
    virtual void* getData() const = 0;
    virtual const DataShape_* getShape() const = 0;

protected:
    ~ParameterLink_() = default;
};
