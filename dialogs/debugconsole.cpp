#include "dialogs/debugconsole.h"

#include <QMutexLocker>
#include <QTextCursor>
#include <QTreeWidgetItem>

#include "logger.h"
#include "mainwindow.h"

namespace {

const char* const helpText =
    "write node <path>: Write setup tree node info.\n"
    "write core <path>: Write core simulation element info.\n"
    "write node tree: Write setup tree.\n"
    "write core tree: Write core simulation tree.\n"
    "freeze: Stop all threads.\n"
    "resume: Resume all threads.\n"
    "exit: Close this window.\n";

const char* const levelNames[] = {"", "normal", "debugA", "debugB", "debugC", "debugD"};

}  // namespace

DebugConsole_::DebugConsole_(MainWindow* mw) : QDialog(mw), MW(mw) {
    QMutexLocker lock(&Mutex);
    setupUi(this);
    connect(inputText, &QLineEdit::returnPressed, this, &DebugConsole_::commandEntered);
    // Automatic connection: queued whenever a worker thread writes.
    connect(this, &DebugConsole_::writeRequest, this, &DebugConsole_::handleWriteRequest);
}

void DebugConsole_::write(const QString& text) { emit writeRequest(text); }

void DebugConsole_::handleWriteRequest(const QString& text) {
    QMutexLocker lock(&Mutex);
    append(text);
}

void DebugConsole_::commandEntered() {
    QMutexLocker lock(&Mutex);
    const QStringList sections = inputText->text().split(' ');
    QStringList arguments;
    // Two blanks in a row end the arguments.
    for (int i = 1; i < sections.size() && !sections[i].isEmpty(); ++i) arguments << sections[i];
    inputText->clear();
    runCommand(sections.first(), arguments);
}

void DebugConsole_::runCommand(const QString& command, const QStringList& arguments) {
    if (command == "clear")
        outputText->clear();
    else if (command == "write")
        writeCommand(arguments);
    else if (command == "help")
        showText(helpText);
    else if (command == "set")
        setCommand(arguments);
    else if (command == "exit")
        setVisible(false);
    else
        showText("Unknown Command " + command + "\n");
}

void DebugConsole_::writeCommand(const QStringList& arguments) {
    if (!arguments.isEmpty() && arguments[0] == "loglevel") {
        const int level = Logger_::getLogLevel();
        if (level >= Logger_::normal && level <= Logger_::debugD)
            append(QString(levelNames[level]) + "\n");
        return;
    }
    if (arguments.size() != 2) {
        showText("Wrong argument count\n");
        return;
    }
    const QString& kind = arguments[0];
    const QString& target = arguments[1];
    const bool known = kind == "node" || kind == "core";
    if (target == "tree") {
        showText(known ? QString("Not implemented yet ...\n") : "Unknown argument " + kind + "\n");
        return;
    }
    QTreeWidgetItem* node = MW ? MW->findSetupTreeNode(target) : nullptr;
    if (!node)
        showText("Node not found " + target + "\n");
    else if (!known)
        showText("Unknown argument " + kind + "\n");
    else
        showText((kind == "node" ? "Name:" : "Node Name:") + node->text(0) + "\n");
}

void DebugConsole_::setCommand(const QStringList& arguments) {
    if (arguments.size() != 2) {
        showText("Wrong argument count\n");
        return;
    }
    if (arguments[0] != "loglevel") return;
    for (int level = Logger_::normal; level <= Logger_::debugD; ++level) {
        if (arguments[1] == levelNames[level] || arguments[1] == QString::number(level)) {
            Logger_::setLogLevel(static_cast<Logger_::errorLevel_>(level));
            return;
        }
    }
    showText("Unknown argument " + arguments[1] + "\n");
}

void DebugConsole_::showText(const QString& text) { outputText->setPlainText(text); }

void DebugConsole_::append(const QString& text) {
    QTextCursor cursor = outputText->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    outputText->setTextCursor(cursor);
}
