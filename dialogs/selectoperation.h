#pragma once
// Offers the function templates of the expression language, each with a
// short description; the composer inserts the chosen template and the user
// fills in its arguments.
#include <QDialog>
#include <QString>

#include "ui_selectoperation.h"

class SelectOperation : public QDialog, public Ui::SelectOperation {
    Q_OBJECT
public:
    explicit SelectOperation(QWidget* parent);

    // The template of the current entry.
    QString getSelection() const;
    // Always true: every entry is a template the user completes.
    bool verify() const { return true; }

private slots:
    void selectionChanged(int);

private:
    // Shows the description of the current entry.
    void refresh();
};
