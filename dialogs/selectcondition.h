#pragma once
// The editor of a node's "Condition": presets that test the round-trip
// counter and a free line; it accepts only a text that parses.
#include <QDialog>
#include <QString>

#include "interface/expressiondialogs.h"
#include "ui_selectcondition.h"

class ExpressionParser_;
class Node_;

class SelectCondition : public QDialog, public Ui::SelectCondition, public ExpressionDialog_ {
    Q_OBJECT
public:
    // A child of the main window; edits the "Condition" of `parent`.
    explicit SelectCondition(Node_* parent);
    ~SelectCondition() override;

    using QDialog::exec;
    // Runs until cancelled (false) or accepted with a text that parses (true).
    bool exec(const QString& text) override;
    // The parser of the accepted text, now the caller's.
    ExpressionParser_* takeExpression() override;
    QString getSelection() const override;
    QString parseRoundtripsString() const;

private slots:
    void selectFirstRT();
    void selectLastRT();
    void selectCustomRT();

private:
    Node_* Node;
    ExpressionParser_* Expression = nullptr;
};
