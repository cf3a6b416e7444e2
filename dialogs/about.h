#pragma once
// The About box: the program's name and version.
#include <QDialog>
#include <QString>

#include "ui_about.h"

class About : public QDialog, public Ui::About {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);
    using QDialog::exec;
    // Shows the box modally with "Version " and `version`.
    int exec(const QString& version);
};
