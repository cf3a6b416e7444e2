#pragma once
// The editor of a measurement's "Parameter", the expression it collects:
// one line of text with buttons that insert a function template, the path
// of a simulation parameter or a pulse; it accepts only a text that parses.
#include <QDialog>
#include <QString>

#include "interface/expressiondialogs.h"
#include "ui_composeparameter.h"

class ExpressionParser_;
class Node_;

class ComposeParameter : public QDialog, public Ui::ComposeParameter, public ExpressionDialog_ {
    Q_OBJECT
public:
    // A child of the main window; edits the "Parameter" of `parent`.
    explicit ComposeParameter(Node_* parent);
    ~ComposeParameter() override;

    using QDialog::exec;
    // Starts with the whole of `text` selected, so typing replaces it; runs
    // until cancelled (false) or accepted with a text that parses (true).
    bool exec(const QString& text) override;
    // The parser of the accepted text, now the caller's.
    ExpressionParser_* takeExpression() override;
    QString getSelection() const override;
    // Always true: only OK checks the text, by parsing it.
    bool verify() const { return true; }

private slots:
    void insertFunction();
    void insertParameter();
    void insertPulse();

private:
    Node_* Node;
    ExpressionParser_* Expression = nullptr;
};
