#pragma once
// How an expression parameter opens the dialogs that compose a measurement's
// "Parameter" and edit a "Condition". The window installs a factory that
// makes the real dialogs; tests install fakes. Without one, no dialog opens.
#include <QString>

class ExpressionParser_;
class Node_;

class ExpressionDialog_ {
public:
    virtual ~ExpressionDialog_() = default;
    // Runs the dialog from `text`; true when the user accepted a text that parses.
    virtual bool exec(const QString& text) = 0;
    // Hands over the parser of the accepted text; the caller owns it.
    virtual ExpressionParser_* takeExpression() = 0;
    // The accepted text.
    virtual QString getSelection() const = 0;
};

class ExpressionDialogFactory_ {
public:
    virtual ~ExpressionDialogFactory_() = default;
    // New dialogs for `node`, owned by the caller; null when none can be made.
    virtual ExpressionDialog_* createComposeParameter(Node_* node) = 0;
    virtual ExpressionDialog_* createSelectCondition(Node_* node) = 0;

    // Null restores the factory that makes nothing; not owned.
    static void setFactory(ExpressionDialogFactory_* factory);
    static ExpressionDialogFactory_& get();
};
