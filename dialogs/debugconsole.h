#pragma once
// The debug console: a read-only text pane that takes the log's console
// lines from any thread and appends them on the user-interface thread.
#include <QPlainTextEdit>
#include <QString>

#include "debugconsolesink.h"

class DebugConsole_ : public QPlainTextEdit, public DebugConsoleSink_ {
    Q_OBJECT
public:
    explicit DebugConsole_(QWidget* parent = nullptr);
    // Any thread: the text is appended once the user-interface thread runs.
    void write(const QString& text) override;

signals:
    void writeRequest(QString text);

private slots:
    void handleWriteRequest(QString text);
};
