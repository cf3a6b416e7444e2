#include "dialogs/debugconsole.h"

#include <QTextCursor>

DebugConsole_::DebugConsole_(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    // Automatic connection: queued whenever a worker thread writes.
    connect(this, &DebugConsole_::writeRequest, this, &DebugConsole_::handleWriteRequest);
}

void DebugConsole_::write(const QString& text) { emit writeRequest(text); }

void DebugConsole_::handleWriteRequest(QString text) {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    setTextCursor(cursor);
}
