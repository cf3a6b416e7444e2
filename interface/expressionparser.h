#pragma once
// The expression of one expression parameter: it parses and checks the
// parameter's text, keeps the error of the last attempt and builds, on
// request, the operation or condition a run evaluates. Names in the text are
// looked up on the parameter's owner node. User-interface thread only.
#include <QString>
#include <memory>

#include "core/datatype.h"
#include "logger.h"

class Condition_;
class ExpressionNode_;
class Operation_;
class Parameter_;

class ExpressionParser_ : public Logger_ {
public:
    // What the text must be, by the name of the parameter holding it: a
    // measurement's "Parameter" a value, a "Condition" a test.
    enum purpose_ { anyExpression, valueExpression, testExpression };
    static purpose_ purposeOf(const QString& parameterName);

    explicit ExpressionParser_(Parameter_* parent);
    // Copies the texts and codes and the whole tree.
    ExpressionParser_(const ExpressionParser_& other);
    ExpressionParser_& operator=(const ExpressionParser_&) = delete;
    ~ExpressionParser_();

    // Parses and checks the text; true when it is a valid expression of the
    // kind the parameter needs. The tree stays after a failure.
    bool setExpression(const QString& text);
    bool checkExpression() const;

    // New trees owned by the caller; null without a valid expression.
    Operation_* getOperation();
    Condition_* getCondition();

    // Undefined, or -1, without a tree.
    DataType_ getOutputType();
    int getOutputDimension() const;

    Parameter_* getParent() const { return Parent; }
    void setParent(Parameter_* parent) { Parent = parent; }
    QString getExpression() const { return Expression; }
    QString getErrorMessage() const { return ErrorMessage; }
    int getErrorCode() const { return errorCode; }
    // The first parameter the expression reads that has no live field bound
    // to it; null when every one has (or without a tree).
    Parameter_* findUnboundParameter() const;
    // The tree in one line (ExpressionNode_::dump); empty without a tree.
    QString dump() const;

private:
    bool failed();
    // Whether the root's kind fits the purpose; sets code 4 when it does not.
    bool rootFitsPurpose();

    QString Expression;
    QString ErrorMessage;
    std::unique_ptr<ExpressionNode_> ExpressionTree;
    Parameter_* Parent;
    int errorCode = 0;
    int errorPosition = -1;
};
