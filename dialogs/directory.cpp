#include "dialogs/directory.h"

#include <QFileInfo>

#include "interface/messagebox.h"
#include "mainwindow.h"

// The toolkit's own dialog, so that a refused choice keeps it open.
Directory_::Directory_(MainWindow* mw) : QFileDialog(mw) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::DontUseNativeDialog);
}

Directory_::~Directory_() = default;

int Directory_::exec() {
    const int result = QFileDialog::exec();
    if (result == QDialog::Accepted) Name = selectedFiles().value(0);
    return result;
}

void Directory_::accept() {
    const QString chosen = selectedFiles().value(0);
    const QFileInfo info(chosen);
    if (!info.isDir() || !info.isWritable()) {
        MessageBox_::show(MessageBox_::warning, this, QStringLiteral("Directory Error"),
                          chosen + "\nis no directory that can be written to. Please choose another one.");
        return;
    }
    QFileDialog::accept();
}
