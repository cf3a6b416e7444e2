#pragma once
// The compiled form of a test expression such as "Roundtrip==1": either a
// comparison of the first elements of two operation trees, or AND / OR of
// two child conditions. It gates measurements and element passes; it is
// evaluated on the setup thread without locks.
#include <QString>
#include <memory>
#include <vector>

#include "logger.h"

class Operation_;

class Condition_ : public Logger_ {
public:
    enum logic_ : int32_t { AND = 0, OR = 1, undefinedLogic = 2 };
    enum comparison_ : int32_t {
        EQUAL = 0,
        SMALLER = 1,
        GREATER = 2,
        GREATEROREQUAL = 3,
        SMALLEROREQUAL = 4,
        undefinedComparison = 5,
        NOTEQUAL = 6,
    };

    // Exact, case-sensitive: "==", "<", ">", ">=", "<=", "!="; anything else is undefined.
    static comparison_ getComparisonType(const QString& text);
    // ".AND.", ".OR."; anything else is undefined.
    static logic_ getLogicType(const QString& text);

    Condition_();
    // A deep copy of the children and operation trees.
    Condition_(const Condition_& other);
    Condition_& operator=(const Condition_&) = delete;
    ~Condition_();

    // `first` is the text's left operand. Takes ownership of the operands;
    // on a condition already completed only the dimension and samples change,
    // and the operands given stay with the caller.
    void setComparison(Operation_* first, Operation_* second, const comparison_& c, const int& dimension,
                       const int* samples);
    void setLogic(Condition_* first, Condition_* second, const logic_& l, const int& dimension, const int* samples);

    bool isMet();

    Condition_* getChild1() const { return Child1.get(); }
    Condition_* getChild2() const { return Child2.get(); }
    Operation_* getLHS() const { return LHS.get(); }
    Operation_* getRHS() const { return RHS.get(); }
    int getDimension() const { return outputDimension; }
    // -1 for an axis the condition does not have.
    int getSamples(int axis) const;

private:
    bool empty() const { return !RHS && !Child1; }
    void setOutput(const int& dimension, const int* samples);
    bool compare();
    bool internalError();

    std::unique_ptr<Condition_> Child1;
    std::unique_ptr<Condition_> Child2;
    std::unique_ptr<Operation_> LHS;  // the text's right operand
    std::unique_ptr<Operation_> RHS;  // the text's left operand
    logic_ logic;
    comparison_ comparison;
    int outputDimension;
    std::vector<int> outputSamples;
};
