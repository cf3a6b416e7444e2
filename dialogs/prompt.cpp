#include "dialogs/prompt.h"

Prompt::Prompt(const QString& text) : QDialog(nullptr) {
    setupUi(this);
    prompt->setText(text);
}

void Prompt::addChoice(const QString& text) { stringBox->addItem(text); }

void Prompt::clearChoices() { stringBox->clear(); }

QString Prompt::getSelection() const { return stringBox->currentText(); }
