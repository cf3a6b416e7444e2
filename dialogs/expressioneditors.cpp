#include "dialogs/expressioneditors.h"

#include <QDialog>
#include <QLineEdit>

#include "dialogs/composeparameter.h"
#include "dialogs/selectcondition.h"
#include "interface/expressiondialogs.h"
#include "interface/expressionparser.h"
#include "interface/messagebox.h"

bool execUntilParsed(QDialog& dialog, ExpressionParser_& parser, const QLineEdit& text) {
    while (dialog.QDialog::exec() == QDialog::Accepted) {
        if (parser.setExpression(text.text())) return true;
        const QString error = QString::number(parser.getErrorCode()) + ":" + parser.getErrorMessage();
        MessageBox_::show(MessageBox_::information, &dialog, QStringLiteral("ExpressionError"),
                          "The expression could not be parsed.\n" + error +
                              "\nPlease correct it or choose Cancel to abort.");
    }
    return false;
}

namespace {

class ExpressionEditors : public ExpressionDialogFactory_ {
public:
    ExpressionDialog_* createComposeParameter(Node_* node) override { return new ComposeParameter(node); }
    ExpressionDialog_* createSelectCondition(Node_* node) override { return new SelectCondition(node); }
};

}  // namespace

void installExpressionEditors() {
    static ExpressionEditors editors;
    ExpressionDialogFactory_::setFactory(&editors);
}
