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
#include "logger.h"
#include "stringstream.h"
#include "tests/core/fakes.h"

namespace {

struct Row {
    QString message;
    Node_* source;
    int code;
    bool operator==(const Row& o) const {
        return message == o.message && source == o.source && code == o.code;
    }
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << '{' << r.message.toStdString() << ", " << r.source << ", " << r.code << '}';
}

}  // namespace

// Mirrors the error list the way the main window does: every request is a
// signal queued to the thread the window lives on.
class QueuedWindow : public QObject, public ErrorReceiver_ {
    Q_OBJECT
public:
    void connectError() override {
        connect(this, SIGNAL(addErrorRequest(QString, Node_*, int)), this,
                SLOT(addErrorSlot(QString, Node_*, int)), Qt::QueuedConnection);
        connect(this, SIGNAL(deleteErrorRequest(int)), this, SLOT(deleteErrorSlot(int)),
                Qt::QueuedConnection);
    }
    void addError(QString message, Node_* source, int code) override {
        emit addErrorRequest(message, source, code);
    }
    void deleteError(int i) override { emit deleteErrorRequest(i); }

    std::vector<Row> rows;

signals:
    void addErrorRequest(QString message, Node_* source, int code);
    void deleteErrorRequest(int i);

private slots:
    void addErrorSlot(QString message, Node_* source, int code) {
        rows.push_back({message, source, code});
    }
    void deleteErrorSlot(int i) {
        if (i == -1) rows.clear();
        else if (i >= 0 && i < static_cast<int>(rows.size())) rows.erase(rows.begin() + i);
    }
};

namespace {

std::vector<Row> listed() {
    std::vector<Row> entries;
    for (int i = 0; Error_::getErrorCode(i) != -1; ++i)
        entries.push_back(
            {Error_::getErrorMessage(i), Error_::getErrorSource(i), Error_::getErrorCode(i)});
    return entries;
}

// Lines of one writer: its prefix and the line numbers in the order written.
struct Writer {
    std::string prefix;
    std::vector<int> numbers;
};

// Every line must be whole: "<prefix>: <kind> <thread> line <i>".
void expectWholeLines(const std::string& text, const std::string& kind, int threads, int lines,
                      bool numbered) {
    const std::regex pattern("(\\d+|s): " + kind + " (\\d) line (\\d+)");
    std::map<int, Writer> writers;
    std::istringstream in(text);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, pattern)) << "broken line: " << line;
        Writer& w = writers[std::stoi(m[2])];
        if (w.numbers.empty()) w.prefix = m[1];
        EXPECT_EQ(w.prefix, m[1]);
        w.numbers.push_back(std::stoi(m[3]));
        ++count;
    }
    EXPECT_EQ(count, threads * lines);
    ASSERT_EQ(writers.size(), static_cast<size_t>(threads));
    std::vector<int> inOrder(lines);
    for (int i = 0; i < lines; ++i) inOrder[i] = i;
    std::map<std::string, int> prefixes;
    for (const auto& [thread, w] : writers) {
        EXPECT_EQ(w.numbers, inOrder) << kind << " thread " << thread;
        ++prefixes[w.prefix];
    }
    if (numbered) {
        EXPECT_EQ(prefixes.size(), static_cast<size_t>(threads));
        EXPECT_EQ(prefixes.count("s"), 0u);
    } else {
        EXPECT_EQ(prefixes, (std::map<std::string, int>{{"s", threads}}));
    }
}

TEST(LoggingAndErrorsThreads, EightThreadsLogAndReportAtOnce) {
    constexpr int threads = 8, lines = 150, reports = 12;
    loggertesting::reset();
    errortesting::reset();
    std::ostringstream out;
    Logger_::setLogStream(&out);
    Logger_::setOutStream(Logger_::stream);
    Logger_::setLogLevel(Logger_::debugD);
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
                Logger_::staticLog(StringStream_() << "static " << t << " line " << i,
                                   Logger_::debugA);
                node.log(StringStream_() << "console " << t << " line " << i, Logger_::debugC,
                         Logger_::console);
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
    const std::vector<Row> list = listed();
    EXPECT_EQ(list.size(), static_cast<size_t>(threads * (11 + 2 * reports) - removed));
    EXPECT_EQ(window.rows, list);

    // Each node's own entries keep its order, its note last.
    for (int t = 0; t < threads; ++t) {
        std::vector<QString> own;
        for (const Row& r : list)
            if (r.source == fakeNode(t) && r.code != Error_::inputOutOfDomain)
                own.push_back(r.message);
        ASSERT_FALSE(own.empty());
        EXPECT_EQ(own.back(), "Further errors from this element will be ignored.");
        const int first = 10 - static_cast<int>(own.size() - 1);
        for (size_t k = 0; k + 1 < own.size(); ++k)
            EXPECT_EQ(own[k], QString("Warning: report %1 %2").arg(t).arg(first + static_cast<int>(k)));
    }

    const std::string text = out.str();
    std::string objectLines, staticLines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        (line.rfind("s: ", 0) == 0 ? staticLines : objectLines) += line + '\n';
    expectWholeLines(objectLines, "object", threads, lines, true);
    expectWholeLines(staticLines, "static", threads, lines, false);
    std::string consoleText;
    for (const QString& piece : console.written()) {
        EXPECT_TRUE(piece.endsWith('\n'));
        consoleText += piece.toStdString();
    }
    expectWholeLines(consoleText, "console", threads, lines, true);

    nodes.clear();
    errortesting::reset();
    loggertesting::reset();
}

}  // namespace

#include "logerr_threads_test.moc"
