#pragma once
// A small modal dialog that asks for one string: a prompt text above an
// editable combo box that may hold suggestions, with OK and Cancel.
#include <QDialog>
#include <QString>

#include "ui_prompt.h"

class Prompt : public QDialog, public Ui::Prompt {
    Q_OBJECT
public:
    explicit Prompt(const QString& text);

    void addChoice(const QString& text);
    void clearChoices();
    // The text of the box, typed or chosen.
    QString getSelection() const;

    // Starts empty; getSelection reads the box, not this.
    QString Selection;
};
