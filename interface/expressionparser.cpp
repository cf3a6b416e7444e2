#include "interface/expressionparser.h"

#include "core/condition.h"
#include "core/operation.h"
#include "interface/expressionnode.h"
#include "interface/node.h"
#include "interface/parameter.h"

ExpressionParser_::purpose_ ExpressionParser_::purposeOf(const QString& parameterName) {
    if (parameterName == QLatin1String("Parameter")) return valueExpression;
    if (parameterName == QLatin1String("Condition")) return testExpression;
    return anyExpression;
}

ExpressionParser_::ExpressionParser_(Parameter_* parent) : Parent(parent) {}

ExpressionParser_::ExpressionParser_(const ExpressionParser_& other)
    : Logger_(other),
      Expression(other.Expression),
      ErrorMessage(other.ErrorMessage),
      ExpressionTree(other.ExpressionTree ? std::make_unique<ExpressionNode_>(*other.ExpressionTree) : nullptr),
      Parent(other.Parent),
      errorCode(other.errorCode),
      errorPosition(other.errorPosition) {
    if (ExpressionTree) ExpressionTree->setRoot(this);
}

ExpressionParser_::~ExpressionParser_() = default;

bool ExpressionParser_::setExpression(const QString& text) {
    ExpressionTree = std::make_unique<ExpressionNode_>(this);
    errorCode = 0;
    errorPosition = -1;
    ErrorMessage.clear();
    Expression = text;
    const purpose_ purpose = Parent ? purposeOf(Parent->getName()->text()) : anyExpression;
    // A measured quantity must be given; the message names the measurement.
    if (purpose == valueExpression && text.simplified().isEmpty()) {
        errorCode = ExpressionNode_::typeMissmatch;
        Node_* owner = Parent->getOwner();
        ErrorMessage = "The expression is empty; the measurement " +
                       (owner ? owner->getPath() + " " : QString()) + "must measure something.";
        return false;
    }
    ExpressionNode_& root = *ExpressionTree;
    if (!root.setExpression(text)) return failed();
    if (passesLevel(debugB)) log(("Expression tree created from " + text + ":").toStdString(), debugB);
    if (root.checkType() == DataType_::undefined) return failed();
    log("Expression tree passed type check.", debugB);
    if (root.checkShape() < 0) return failed();
    log("Expression tree passed shape check.", debugB);
    if (!root.checkFundamentalSamples() || !root.checkAddedSamples() || !root.checkSamplesKnown()) return failed();
    log("Expression tree passed sample check.", debugB);
    root.completeRaiseDimension();
    if (!rootFitsPurpose()) return failed();
    log("Final expression tree:", debugA);
    root.write();
    return true;
}

bool ExpressionParser_::rootFitsPurpose() {
    const purpose_ purpose = Parent ? purposeOf(Parent->getName()->text()) : anyExpression;
    const bool test = ExpressionTree->isTest();
    if ((purpose == valueExpression && test) || (purpose == testExpression && !test)) {
        errorCode = ExpressionNode_::typeMissmatch;
        return false;
    }
    return true;
}

bool ExpressionParser_::failed() {
    if (errorCode == 0) errorCode = ExpressionTree->getError();
    // Every failure carries a code.
    if (errorCode == 0) errorCode = ExpressionNode_::typeMissmatch;
    ErrorMessage = ExpressionNode_::getErrorString(static_cast<ExpressionNode_::expressionError_>(errorCode));
    ExpressionTree->write();
    return false;
}

bool ExpressionParser_::checkExpression() const { return ExpressionTree && errorCode == 0; }

Operation_* ExpressionParser_::getOperation() {
    return checkExpression() ? ExpressionTree->generateOperation() : nullptr;
}

Condition_* ExpressionParser_::getCondition() {
    return checkExpression() ? ExpressionTree->generateCondition() : nullptr;
}

DataType_ ExpressionParser_::getOutputType() {
    return ExpressionTree ? ExpressionTree->checkType() : DataType_();
}

int ExpressionParser_::getOutputDimension() const { return ExpressionTree ? ExpressionTree->getDimension() : -1; }

namespace {
Parameter_* unboundIn(const ExpressionNode_& node) {
    if (Parameter_* p = node.getParameter(); p && !p->getData()) return p;
    for (int i = 0; i < node.getChildren(); ++i)
        if (const ExpressionNode_* c = node.getChild(i))
            if (Parameter_* p = unboundIn(*c)) return p;
    return nullptr;
}
}  // namespace

Parameter_* ExpressionParser_::findUnboundParameter() const {
    return ExpressionTree ? unboundIn(*ExpressionTree) : nullptr;
}

QString ExpressionParser_::dump() const { return ExpressionTree ? ExpressionTree->dump() : QString(); }
