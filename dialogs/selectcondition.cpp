#include "dialogs/selectcondition.h"

#include "dialogs/expressioneditors.h"
#include "interface/expressionparser.h"
#include "interface/node.h"

SelectCondition::SelectCondition(Node_* parent) : QDialog(Node_::getMainWindow()), Node(parent) {
    setupUi(this);
    connect(radioButtonFirstRT, &QRadioButton::clicked, this, &SelectCondition::selectFirstRT);
    connect(radioButtonLastRT, &QRadioButton::clicked, this, &SelectCondition::selectLastRT);
    connect(radioButtonCustomRT, &QRadioButton::clicked, this, &SelectCondition::selectCustomRT);
}

SelectCondition::~SelectCondition() { delete Expression; }

bool SelectCondition::exec(const QString& text) {
    conditionString->setText(text);
    if (!Expression) Expression = new ExpressionParser_(Node->getParameter(QStringLiteral("Condition")));
    return execUntilParsed(*this, *Expression, *conditionString);
}

ExpressionParser_* SelectCondition::takeExpression() {
    ExpressionParser_* taken = Expression;
    Expression = nullptr;
    return taken;
}

QString SelectCondition::getSelection() const { return conditionString->text(); }

QString SelectCondition::parseRoundtripsString() const { return roundtripsString->text(); }

// "Roundtrip" and "Roundtrips" name the setup's current and total round trips.
void SelectCondition::selectFirstRT() { conditionString->setText(QStringLiteral("Roundtrip==1")); }

void SelectCondition::selectLastRT() { conditionString->setText(QStringLiteral("Roundtrip==Roundtrips")); }

void SelectCondition::selectCustomRT() { conditionString->setText("Roundtrip==" + roundtripsString->text()); }
