#include "dialogs/composeparameter.h"

#include "dialogs/expressioneditors.h"
#include "dialogs/selectoperation.h"
#include "dialogs/selectparameter.h"
#include "interface/expressionparser.h"
#include "interface/node.h"

ComposeParameter::ComposeParameter(Node_* parent) : QDialog(Node_::getMainWindow()), Node(parent) {
    setupUi(this);
    connect(insertFunctionButton, &QPushButton::clicked, this, &ComposeParameter::insertFunction);
    connect(insertParameterButton, &QPushButton::clicked, this, &ComposeParameter::insertParameter);
    connect(insertPulseButton, &QPushButton::clicked, this, &ComposeParameter::insertPulse);
}

ComposeParameter::~ComposeParameter() { delete Expression; }

bool ComposeParameter::exec(const QString& text) {
    parameterString->setText(text);
    parameterString->selectAll();
    parameterString->setFocus();
    if (!Expression) Expression = new ExpressionParser_(Node->getParameter(QStringLiteral("Parameter")));
    return execUntilParsed(*this, *Expression, *parameterString);
}

ExpressionParser_* ComposeParameter::takeExpression() {
    ExpressionParser_* taken = Expression;
    Expression = nullptr;
    return taken;
}

QString ComposeParameter::getSelection() const { return parameterString->text(); }

void ComposeParameter::insertFunction() {
    SelectOperation chooser(this);
    if (chooser.exec() == QDialog::Accepted) parameterString->insert(chooser.getSelection());
}

// The chooser offers every setup; the expression names a parameter relative
// to its own setup, so the setup's name is dropped.
void ComposeParameter::insertParameter() {
    SelectParameter chooser(this);
    chooser.buildTree(Node_::getHost());
    if (chooser.exec() != QDialog::Accepted) return;
    const QString path = chooser.getSelection().section('%', 1);
    QString text = parameterString->text();
    text.insert(parameterString->cursorPosition(), path);
    parameterString->setText(text);
}

// A cavity's pulse by its setup-relative path: a bare "Pulse" names no
// parameter of a measurement. Outside any cavity, the first cavity's pulse.
void ComposeParameter::insertPulse() {
    Node_* cavity = Node->getParent(Node_::cavity);
    const QString cavityPath = cavity ? cavity->getPath().section('%', 1) : QStringLiteral("Cavity1");
    parameterString->insert(cavityPath + "%Pulse");
}
