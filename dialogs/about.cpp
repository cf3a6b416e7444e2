#include "dialogs/about.h"

About::About(QWidget* parent) : QDialog(parent) { setupUi(this); }

int About::exec(const QString& version) {
    label_3->setText(tr("Version ") + version);
    return QDialog::exec();
}
