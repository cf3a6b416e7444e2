#pragma once
// The test that gates an element's pass or a measurement: the expression
// layer supplies the concrete conditions (comparisons, AND, OR).

class Condition_ {
public:
    virtual ~Condition_() = default;
    // True when the condition holds for the current values.
    virtual bool isMet() = 0;
};
