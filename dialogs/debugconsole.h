#pragma once
// The developer's console: a dialog with a read-only pane that collects the
// log's console lines from every thread (appended on the user-interface
// thread) and a command line for looking at the setup tree and setting the
// log level.
#include <QDialog>
#include <QMutex>
#include <QString>
#include <QStringList>

#include "debugconsolesink.h"
#include "ui_debugconsole.h"

class MainWindow;

class DebugConsole_ : public QDialog, public Ui::DebugConsole, public DebugConsoleSink_ {
    Q_OBJECT
public:
    // `mw` finds the nodes that commands name; it may be null.
    explicit DebugConsole_(MainWindow* mw);
    // Any thread: the text is appended once the user-interface thread runs.
    void write(const QString& text) override;

signals:
    void writeRequest(const QString& text);

private slots:
    void commandEntered();
    void handleWriteRequest(const QString& text);

private:
    void runCommand(const QString& command, const QStringList& arguments);
    void writeCommand(const QStringList& arguments);
    void setCommand(const QStringList& arguments);
    // Replaces the pane's whole content.
    void showText(const QString& text);
    void append(const QString& text);

    MainWindow* MW;
    // Held while a command runs and while a line is appended.
    QMutex Mutex;
};
