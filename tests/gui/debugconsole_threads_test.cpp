#include "dialogs/debugconsole.h"

#include <QCoreApplication>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <thread>

#include "guitesting.h"
#include "logger.h"
#include "mainwindow.h"

namespace {

class Console : public ::testing::Test {
protected:
    void TearDown() override { loggertesting::reset(); }

    // Types the line, returns what the pane then holds.
    static QString type(DebugConsole_& c, const QString& line) {
        c.inputText->setText(line);
        emit c.inputText->returnPressed();
        EXPECT_TRUE(c.inputText->text().isEmpty());
        return c.outputText->toPlainText();
    }
};

TEST_F(Console, CommandsAnswerAsTheyShould) {
    guitesting::WorkingDirectory dir(true);
    MainWindow w;
    auto* cavity = new QTreeWidgetItem(new QTreeWidgetItem(w.getSetupTree(), {"Setup1"}), {"Cavity1"});
    DebugConsole_& c = *w.getDebugConsole();
    const std::vector<std::pair<QString, QString>> rows = {
        {"write node Setup1%Cavity1", "Name:Cavity1\n"},
        {"write core Setup1%Cavity1", "Node Name:Cavity1\n"},
        {"write node Setup1%Cavity2", "Node not found Setup1%Cavity2\n"},
        {"write frame Setup1", "Unknown argument frame\n"},
        {"write core tree", "Not implemented yet ...\n"},
        {"write frame tree", "Unknown argument frame\n"},
        {"write", "Wrong argument count\n"},
        {"write node", "Wrong argument count\n"},
        {"set loglevel", "Wrong argument count\n"},
        {"set  loglevel 3", "Wrong argument count\n"},
        {"set loglevel verbose", "Unknown argument verbose\n"},
        {"freeze", "Unknown Command freeze\n"},
        {" write", "Unknown Command \n"},
        {"help", "write node <path>: Write setup tree node info.\nwrite core <path>: Write core simulation element info.\n"
                 "write node tree: Write setup tree.\nwrite core tree: Write core simulation tree.\n"
                 "freeze: Stop all threads.\nresume: Resume all threads.\nexit: Close this window.\n"},
        {"clear", ""},
    };
    for (const auto& [line, answer] : rows) EXPECT_EQ(type(c, line), answer) << line.toStdString();
    EXPECT_EQ(cavity->text(0), "Cavity1");
}

TEST_F(Console, SetsAndWritesTheLogLevel) {
    DebugConsole_ c(nullptr);
    EXPECT_EQ(type(c, "set loglevel 3"), "");
    EXPECT_EQ(Logger_::getLogLevel(), Logger_::debugB);
    EXPECT_EQ(type(c, "write loglevel"), "debugB\n");
    type(c, "set loglevel debugD");
    EXPECT_EQ(type(c, "write loglevel"), "debugB\ndebugD\n");
    type(c, "set loglevel verbose");
    EXPECT_EQ(Logger_::getLogLevel(), Logger_::debugD);
    type(c, "set level 1");  // not the log level: nothing
    EXPECT_EQ(Logger_::getLogLevel(), Logger_::debugD);
}

TEST_F(Console, LinesWrittenDuringACommandFollowItsOutput) {
    DebugConsole_ c(nullptr);
    std::thread([&c] { c.write("queued\n"); }).join();  // waits for the event loop
    type(c, "freeze");
    QCoreApplication::processEvents();
    EXPECT_EQ(c.outputText->toPlainText(), "Unknown Command freeze\nqueued\n");
}

}  // namespace
