#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "interface/error.h"
#include "interface/errorreceiver.h"
#include "stringstream.h"
#include "tests/core/fakes.h"
#include "tests/core/logcapture.h"

// Mirrors the error list the way the main window does: every request is a
// signal queued to the thread the window lives on.
class QueuedWindow : public QObject, public ErrorReceiver_ {
    Q_OBJECT
public:
    void connectError() override {
        connect(this, SIGNAL(addErrorRequest(QString, Node_*, int)), this,
                SLOT(addErrorSlot(QString, Node_*, int)), Qt::QueuedConnection);
        connect(this, SIGNAL(deleteErrorRequest(int)), this, SLOT(deleteErrorSlot(int)), Qt::QueuedConnection);
    }
    void addError(QString message, Node_* source, int code) override { emit addErrorRequest(message, source, code); }
    void deleteError(int i) override { emit deleteErrorRequest(i); }

    std::vector<ErrorRow> rows;

signals:
    void addErrorRequest(QString message, Node_* source, int code);
    void deleteErrorRequest(int i);

private slots:
    void addErrorSlot(QString message, Node_* source, int code) { rows.push_back({message, source, code}); }
    void deleteErrorSlot(int i) { deleteRow(rows, i); }
};

namespace {

// Every line must be whole, "<prefix>: <kind> <thread> line <i>" with the
// prefix "s" for static lines only, and each writer's lines in order.
void expectWholeLines(const std::string& text, int writers, int lines) {
    const std::regex pattern("(\\d+|s): (object|static|console) (\\d) line (\\d+)");
    std::map<std::string, int> next;  // writer -> the line number it writes next
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line); ++count) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, pattern)) << "broken line: " << line;
        EXPECT_EQ(m[1] == "s", m[2] == "static") << line;
        EXPECT_EQ(next[m[2].str() + m[3].str()]++, std::stoi(m[4])) << line;
    }
    EXPECT_EQ(count, writers * lines);
    EXPECT_EQ(next.size(), static_cast<size_t>(writers));
}

TEST(LoggingAndErrorsThreads, EightThreadsLogAndReportAtOnce) {
    constexpr int threads = 8, lines = 150, reports = 12;
    LogCapture log;
    errortesting::reset();
    FakeConsole console;
    Logger_::setDebugConsole(&console);
    QueuedWindow window;
    Error_::setMainWindow(&window);

    std::vector<std::unique_ptr<Error_>> nodes;
    for (int t = 0; t < threads; ++t) {
        nodes.push_back(std::make_unique<Error_>(fakeNode(t)));
        Error_::addSource(Error_::newSourceId(), fakeNode(t));
    }
    std::atomic<bool> go{false};
    std::atomic<int> running{threads};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            Error_& node = *nodes[t];
            for (int i = 0; i < lines; ++i) {
                if (Logger_::passesLevel(Logger_::debugB))
                    node.log(StringStream_() << "object " << t << " line " << i, Logger_::debugB);
                Logger_::staticLog(StringStream_() << "static " << t << " line " << i, Logger_::debugA);
                node.log(StringStream_() << "console " << t << " line " << i, Logger_::debugC, Logger_::console);
                if (i < reports) {
                    node.report(StringStream_() << "report " << t << ' ' << i, Error_::warning);
                    Error_::reportStatic(QString("static %1 %2").arg(t).arg(i), Error_::notice);
                    reporterror_("kernel", t, Error_::inputOutOfDomain, 6);
                }
            }
            running.fetch_sub(1);
        });
    }

    // Meanwhile the user-interface thread removes a few of the oldest rows
    // (fewer than any node's own entries) and takes the requests.
    go.store(true);
    int removed = 0;
    while (running.load() > 0) {
        if (removed < 5 && Error_::getErrorCode(0) != -1) {
            Error_::deleteError(0);
            ++removed;
        }
        QCoreApplication::processEvents();
    }
    for (std::thread& w : workers) w.join();
    QCoreApplication::sendPostedEvents();

    // Per thread: 10 reports and the node's note, 12 static reports, 12 kernel errors.
    const std::vector<ErrorRow> list = listedErrors();
    EXPECT_EQ(list.size(), static_cast<size_t>(threads * (11 + 2 * reports) - removed));
    EXPECT_EQ(window.rows, list);
    // Each node's own entries keep their order, its note last.
    for (int t = 0; t < threads; ++t) {
        std::vector<QString> own;
        for (const ErrorRow& r : list)
            if (r.source == fakeNode(t) && r.code != Error_::inputOutOfDomain) own.push_back(r.message);
        ASSERT_FALSE(own.empty());
        EXPECT_EQ(own.back(), "Further errors from this element will be ignored.");
        const int first = 10 - static_cast<int>(own.size() - 1);
        for (size_t k = 0; k + 1 < own.size(); ++k)
            EXPECT_EQ(own[k], QString("Warning: report %1 %2").arg(t).arg(first + static_cast<int>(k)));
    }

    expectWholeLines(log.take(), 2 * threads, lines);
    std::string consoleText;
    for (const QString& piece : console.written()) {
        EXPECT_TRUE(piece.endsWith('\n'));
        consoleText += piece.toStdString();
    }
    expectWholeLines(consoleText, threads, lines);
    nodes.clear();
    errortesting::reset();
}

}  // namespace

#include "logerr_threads_test.moc"
