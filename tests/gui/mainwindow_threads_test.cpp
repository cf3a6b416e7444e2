#include "mainwindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "dialogs/debugconsole.h"
#include "interface/error.h"
#include "logger.h"

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        loggertesting::reset();
        errortesting::reset();
    }

    // Runs the event loop until `done` holds or a second has passed.
    static bool processUntil(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 1000) QCoreApplication::processEvents();
        return done();
    }

    static QStringList row(QTreeWidget* list, int i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(i)->text(c);
        return cells;
    }
};

TEST_F(Window, TakesTheLogAndTheErrorList) {
    MainWindow window;
    EXPECT_EQ(Logger_::getLogLevel(), Logger_::debugD);
    EXPECT_EQ(Logger_::getOutStream(), Logger_::econsole);

    {  // a later window is not taken: the first keeps the list
        MainWindow second;
        Error_::reportStatic("to the first", Error_::warning);
        QCoreApplication::processEvents();
        EXPECT_EQ(second.findChild<QTreeWidget*>("ErrorList")->topLevelItemCount(), 0);
    }
    QTreeWidget* list = window.findChild<QTreeWidget*>("ErrorList");
    ASSERT_TRUE(processUntil([list] { return list->topLevelItemCount() == 1; }));
}

TEST_F(Window, ReportsFromWorkerThreadsBecomeRowsInOrder) {
    MainWindow window;
    QTreeWidget* list = window.findChild<QTreeWidget*>("ErrorList");
    ASSERT_NE(list, nullptr);

    std::thread([] {
        Error_::reportStatic("first", Error_::notice);
        Error_::reportStatic("second", Error_::inputOutOfDomain);
        Error_::reportStatic("third", Error_::warning);
        Error_::deleteError(1);
    }).join();
    EXPECT_EQ(list->topLevelItemCount(), 0);  // rows appear only on the user-interface thread
    ASSERT_TRUE(processUntil([list] { return list->topLevelItemCount() == 2; }));
    EXPECT_EQ(row(list, 0), (QStringList{"5", "Note: first", "Unknown"}));
    EXPECT_EQ(row(list, 1), (QStringList{"7", "Warning: third", "Unknown"}));

    Error_::deleteError(5);
    Error_::clearErrorList();
    ASSERT_TRUE(processUntil([list] { return list->topLevelItemCount() == 0; }));
}

TEST_F(Window, DebugLinesFromWorkersReachTheConsole) {
    MainWindow window;
    auto* console = window.getDebugConsole()->outputText;
    ASSERT_NE(console, nullptr);
    Logger_ logger;
    std::thread([&logger] { logger.log("from the worker", Logger_::debugB); }).join();
    ASSERT_TRUE(processUntil([console] { return console->toPlainText().contains(": from the worker"); }));
}

TEST_F(Window, ADestroyedWindowLeavesTheLogAndTheList) {
    { MainWindow window; }  // neither the log nor the registry may reach its widgets now
    Logger_ logger;
    testing::internal::CaptureStdout();
    logger.log("after the window", Logger_::debugA);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("after the window"), std::string::npos);
    Error_::reportStatic("after the window", Error_::warning);
    EXPECT_EQ(Error_::getErrorMessage(0), "Warning: after the window");
}

}  // namespace
