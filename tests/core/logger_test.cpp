#include "logger.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "stringstream.h"
#include "tests/core/fakes.h"
#include "tests/core/logcapture.h"

namespace {

using L = Logger_;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What `write` puts on standard output, standard error and the capture.
struct Written {
    std::string out, err, log;
};
template <typename F>
Written written(LogCapture& log, F write) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    write();
    const std::string err = testing::internal::GetCapturedStderr();
    return {testing::internal::GetCapturedStdout(), err, log.take()};
}

// The number an object writes in front of its debug lines.
unsigned numberOf(LogCapture& log, Logger_& logger) {
    logger.log("", L::debugD, L::stream);
    return static_cast<unsigned>(std::stoul(log.take()));
}

// Exactly one place gets the line, with the writer's number (N) or "s" in
// front at debug levels.
TEST(Logging, EachSinkWritesTheLineFormatOfItsLevel) {
    enum Place { stdOut, stdErr, stream, console, nowhere };
    const struct {
        L::outStream_ sink;
        L::errorLevel_ level;
        bool object;
        Place place;
        const char* text;
        L::outStream_ argument = L::standard;
    } cases[] = {
        {L::lstdout, L::normal, true, stdOut, "hello\n"},   {L::lstdout, L::debugC, true, stdOut, "N: hello\n"},
        {L::lstderr, L::normal, true, stdErr, "hello\n"},   {L::lstderr, L::debugA, true, stdErr, "N: hello\n"},
        {L::stream, L::normal, true, stream, "hello\n"},    {L::stream, L::debugD, true, stream, "N: hello\n"},
        {L::none, L::debugA, true, nowhere, ""},            {L::console, L::normal, true, console, "hello\n"},
        {L::console, L::debugB, true, console, "N: hello\n"}, {L::econsole, L::normal, true, stdOut, "hello\n"},
        {L::econsole, L::debugA, true, console, "N: hello\n"}, {L::lstdout, L::normal, false, stdOut, "hello\n"},
        {L::lstdout, L::debugB, false, stdOut, "s: hello\n"}, {L::lstderr, L::debugD, false, stdErr, "s: hello\n"},
        {L::stream, L::debugA, false, stream, "s: hello\n"},  {L::none, L::normal, false, nowhere, ""},
        {L::console, L::debugA, false, stdErr, "s: console unimplemented: hello\n"},
        {L::console, L::normal, false, stdErr, "hello\n"},
        {L::econsole, L::debugC, false, stdErr, "s: econsole unimplemented: hello\n"},
        {L::econsole, L::normal, false, stdErr, "hello\n"},
        // A sink named in the call overrides the class-wide one.
        {L::stream, L::normal, true, stdErr, "hello\n", L::lstderr},
        {L::stream, L::debugA, false, stdErr, "s: hello\n", L::lstderr},
    };
    LogCapture log;
    FakeConsole shown, ignored;
    L::setDebugConsole(&shown);
    L::setDebugConsole(&ignored);  // only the first console is taken
    Logger_ logger;
    const std::string number = std::to_string(numberOf(log, logger));

    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "sink " << c.sink << " level " << c.level << " object " << c.object);
        log.attach();
        L::setOutStream(c.sink);
        const size_t before = shown.written().size();
        const Written w = written(log, [&] {
            if (c.object) logger.log("hello", c.level, c.argument);
            else L::staticLog("hello", c.level, c.argument);
        });
        const std::vector<QString> texts = shown.written();
        ASSERT_LE(texts.size(), before + 1);
        const std::string onConsole = texts.size() > before ? texts.back().toStdString() : "";
        std::string expected = c.text;
        if (expected.rfind("N:", 0) == 0) expected.replace(0, 1, number);
        EXPECT_EQ(w.out, c.place == stdOut ? expected : "");
        EXPECT_EQ(w.err, c.place == stdErr ? expected : "");
        EXPECT_EQ(w.log, c.place == stream ? expected : "");
        EXPECT_EQ(onConsole, c.place == console ? expected : "");
    }
    EXPECT_TRUE(ignored.written().empty());
}

TEST(Logging, LevelFilterPassesTheSetLevelAndAllBelow) {
    LogCapture log;
    Logger_ logger;
    for (int set = L::fatal; set <= L::debugD; ++set) {
        L::setLogLevel(static_cast<L::errorLevel_>(set));
        EXPECT_EQ(L::getLogLevel(), set);
        EXPECT_TRUE(L::passesLevel(L::fatal));
        for (int level = L::normal; level <= L::debugD; ++level) {
            const auto l = static_cast<L::errorLevel_>(level);
            logger.log("m", l);
            L::staticLog("m", l);
            const std::string text = log.take();
            EXPECT_EQ(L::passesLevel(l), level <= set) << set << ' ' << level;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), level <= set ? 2 : 0) << set << ' ' << level;
        }
    }
}

// A new object takes the number of live objects: numbers are reused, even
// while their first holder lives.
TEST(Logging, InstanceNumbersComeFromTheLiveCount) {
    LogCapture log;
    Logger_ a;
    const unsigned n = numberOf(log, a);
    {
        Logger_ b, c;
        EXPECT_EQ(numberOf(log, c), n + 2);
    }
    Logger_ d;
    EXPECT_EQ(numberOf(log, d), n + 1);
    auto e = std::make_unique<Logger_>();
    Logger_ f;
    e.reset();
    Logger_ g, copy(a);
    EXPECT_EQ(numberOf(log, f), n + 3);
    EXPECT_EQ(numberOf(log, g), n + 3);
    EXPECT_EQ(numberOf(log, copy), n + 4);
}

// Filtered messages do not count; past the limit even a fatal message is
// dropped and ends nothing.
TEST(Logging, ClassWideLimitWritesMaxPlusOneMessages) {
    LogCapture log;
    L::setLogLevel(L::normal);
    L::setMax(2);
    EXPECT_EQ(L::getMax(), 2);
    Logger_ a, b;
    for (int i = 0; i < 5; ++i) a.log("filtered", L::debugC);
    a.log("1", L::normal);
    L::staticLog("2", L::normal);
    b.log("3", L::normal);
    b.log("4", L::normal);
    L::staticLog("5", L::normal);
    a.log("6", L::fatal);
    L::staticLog("7", L::fatal);
    EXPECT_EQ(log.take(), "1\n2\n3\n");
}

// Errors are counted whether their message is written or not; copies keep
// both counts of the original.
TEST(Logging, PerObjectLimitWritesMaxPlusOneMessagesOfEachObject) {
    LogCapture log;
    L::setLogLevel(L::normal);
    L::setMaxPerInstance(2);
    EXPECT_EQ(L::getMaxPerInstance(), 2u);
    Logger_ a, b;
    for (int i = 0; i < 5; ++i) a.logError("a", L::normal);
    for (int i = 0; i < 4; ++i) L::staticLogError("s", L::normal);
    L::staticLogError(std::string("hidden"), L::debugD);
    b.logError(std::string("hidden"), L::debugB);
    b.log(std::string("b"), L::normal);
    Logger_ copy(a), assigned;
    assigned = a;
    copy.log("copy", L::normal);
    assigned.log("assigned", L::normal);
    EXPECT_EQ(log.take(), "a\na\na\ns\ns\ns\ns\nb\n");
    EXPECT_EQ(L::getErrors(), 11u);
    EXPECT_EQ(b.getInstanceErrors(), 1u);
    for (const Logger_* l : {&a, &copy, &assigned}) EXPECT_EQ(l->getInstanceErrors(), 5u);
}

TEST(Logging, LogFileHasStartAndStopLines) {
    loggertesting::reset();
    const auto path = std::filesystem::temp_directory_path() / ("logger_test_" + std::to_string(::getpid()));
    Logger_ logger;
    EXPECT_TRUE(L::setFileName(path.string()));
    testing::internal::CaptureStdout();
    L::staticLogError("before", L::normal);
    L::setOutStream(L::file);
    EXPECT_EQ(L::getOutStream(), L::file);
    L::setLogLevel(L::debugA);
    logger.log("one", L::normal);
    L::staticLog("two", L::debugA);
    logger.logError("three", L::normal);
    // Asking for a stream that was never set changes nothing.
    L::setOutStream(L::stream);
    logger.log("four", L::normal);
    L::setOutStream(L::lstdout);
    logger.log("after", L::normal);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "before\nafter\n");

    const std::string bar = " total errors . -----------------------------\n";
    EXPECT_EQ(readFile(path), "Started logging --- 1" + bar + "one\ns: two\nthree\nfour\nStopped logging --- 2" + bar);
    // Selecting the file again starts it afresh.
    L::setOutStream(L::file);
    L::setOutStream(L::none);
    EXPECT_EQ(readFile(path), "Started logging --- 2" + bar + "Stopped logging --- 2" + bar);
    std::filesystem::remove(path);
    loggertesting::reset();
}

TEST(Logging, UnusableSinksFallBackToStandardOutput) {
    const std::string noConsole =
        "Unable to send output to debug console in Logger_::setOutStream(Logger_::outStream_ os).\n";
    const std::pair<L::outStream_, std::string> cases[] = {
        {L::file, "Could not open log file \"\". Switching to lstdout.\n"}, {L::console, noConsole}, {L::econsole, noConsole}};
    LogCapture log;
    for (const auto& [sink, message] : cases) {
        L::setOutStream(L::lstderr);
        const Written w = written(log, [&, sink = sink] {
            L::setOutStream(sink);
            L::staticLog("still logging", L::normal);
        });
        EXPECT_EQ(w.out, message + "still logging\n");
        EXPECT_EQ(L::getOutStream(), L::lstdout);
    }
    // A console named in the call before any console exists.
    Logger_ logger;
    EXPECT_EQ(written(log, [&] { logger.log("not lost", L::normal, L::console); }).out, "not lost\n");
    // A stream sink once left is forgotten; `standard` changes nothing.
    log.attach();
    L::setOutStream(L::lstdout);
    L::setOutStream(L::stream);
    L::setOutStream(L::standard);
    EXPECT_EQ(L::getOutStream(), L::lstdout);
}

TEST(LoggingDeathTest, FatalMessageIsWrittenThenEndsTheProcessWithStatusOne) {
    loggertesting::reset();
    EXPECT_EXIT(Logger_().log("object fatal", L::fatal, L::lstderr), testing::ExitedWithCode(1),
                "^object fatal\n$");
    EXPECT_EXIT(L::staticLog("static fatal", L::fatal, L::lstderr), testing::ExitedWithCode(1),
                "^static fatal\n$");
}

TEST(StringStream, AppendsWithDefaultFormattingAfterTheIndent) {
    const std::pair<int, const char*> indents[] = {{3, "   x2.5"}, {0, "x2.5"}, {-2, "x2.5"}};
    for (const auto& [indent, text] : indents)
        EXPECT_EQ(std::string(StringStream_(indent) << 'x' << 2.5), text) << "indent " << indent;
    LogCapture log;
    Logger_ logger;
    logger.log(StringStream_() << 3.14159265 << ' ' << -12 << ' ' << 1e-7f, L::normal);
    logger.logError(StringStream_(2) << "e=" << 0.5, L::normal);
    EXPECT_EQ(log.take(), "3.14159 -12 1e-07\n  e=0.5\n");
}

}  // namespace
