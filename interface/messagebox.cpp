#include "interface/messagebox.h"

namespace {
MessageBox_::Handler& handler() {
    static MessageBox_::Handler h;
    return h;
}
}  // namespace

QMessageBox::StandardButton MessageBox_::show(kind_ kind, QWidget* parent, const QString& title,
                                              const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
    if (handler()) return handler()(Request{kind, title, text, buttons});
    switch (kind) {
    case information:
        return QMessageBox::information(parent, title, text, buttons, defaultButton);
    case warning:
        return QMessageBox::warning(parent, title, text, buttons, defaultButton);
    case critical:
        return QMessageBox::critical(parent, title, text, buttons, defaultButton);
    case question:
        return QMessageBox::question(parent, title, text, buttons, defaultButton);
    }
    return QMessageBox::NoButton;
}

void MessageBox_::setHandler(Handler h) { handler() = std::move(h); }
