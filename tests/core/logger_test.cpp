#include "logger.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "stringstream.h"
#include "tests/core/fakes.h"

namespace {

using L = Logger_;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string replaceNumber(std::string text, unsigned number) {
    const auto at = text.find("{N}");
    if (at != std::string::npos) text.replace(at, 3, std::to_string(number));
    return text;
}

class Logging : public ::testing::Test {
protected:
    void SetUp() override { loggertesting::reset(); }
    void TearDown() override { loggertesting::reset(); }

    void toStream() {
        L::setLogStream(&out);
        L::setOutStream(L::stream);
    }

    // The number an object writes in front of its debug lines.
    unsigned numberOf(Logger_& logger) {
        std::ostringstream probe;
        const L::errorLevel_ level = L::getLogLevel();
        L::setLogLevel(L::debugD);
        L::setLogStream(&probe);
        logger.log("probe", L::debugD, L::stream);
        L::setLogStream(&out);
        L::setLogLevel(level);
        return static_cast<unsigned>(std::stoul(probe.str()));
    }

    std::string lines() {
        std::string text = out.str();
        out.str("");
        return text;
    }

    std::ostringstream out;
};

// Where one message ends up, by sink and level: exactly one place gets the
// text, with the writer's number ({N}) or "s" in front at debug levels.
enum class Place { stdOut, stdErr, stream, console, nowhere };
struct SinkCase {
    L::outStream_ sink;
    L::errorLevel_ level;
    bool fromObject;
    Place place;
    const char* text;
};

TEST_F(Logging, EachSinkWritesTheLineFormatOfItsLevel) {
    const SinkCase cases[] = {
        {L::lstdout, L::normal, true, Place::stdOut, "hello\n"},
        {L::lstdout, L::debugC, true, Place::stdOut, "{N}: hello\n"},
        {L::lstderr, L::normal, true, Place::stdErr, "hello\n"},
        {L::lstderr, L::debugA, true, Place::stdErr, "{N}: hello\n"},
        {L::stream, L::normal, true, Place::stream, "hello\n"},
        {L::stream, L::debugD, true, Place::stream, "{N}: hello\n"},
        {L::none, L::debugA, true, Place::nowhere, ""},
        {L::console, L::normal, true, Place::console, "hello\n"},
        {L::console, L::debugB, true, Place::console, "{N}: hello\n"},
        {L::econsole, L::normal, true, Place::stdOut, "hello\n"},
        {L::econsole, L::debugA, true, Place::console, "{N}: hello\n"},
        {L::lstdout, L::normal, false, Place::stdOut, "hello\n"},
        {L::lstdout, L::debugB, false, Place::stdOut, "s: hello\n"},
        {L::lstderr, L::debugD, false, Place::stdErr, "s: hello\n"},
        {L::stream, L::debugA, false, Place::stream, "s: hello\n"},
        {L::none, L::normal, false, Place::nowhere, ""},
        {L::console, L::debugA, false, Place::stdErr, "s: console unimplemented: hello\n"},
        {L::console, L::normal, false, Place::stdErr, "hello\n"},
        {L::econsole, L::debugC, false, Place::stdErr, "s: econsole unimplemented: hello\n"},
        {L::econsole, L::normal, false, Place::stdErr, "hello\n"},
    };
    FakeConsole console;
    L::setDebugConsole(&console);
    L::setLogLevel(L::debugD);
    Logger_ logger;
    const unsigned number = numberOf(logger);

    for (const SinkCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "sink " << c.sink << " level " << c.level
                                        << (c.fromObject ? " object" : " static"));
        L::setLogStream(&out);
        L::setOutStream(c.sink);
        const size_t consoleBefore = console.written().size();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        if (c.fromObject)
            logger.log("hello", c.level);
        else
            L::staticLog("hello", c.level);
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string stdOut = testing::internal::GetCapturedStdout();
        const std::vector<QString> shown = console.written();
        const std::string onConsole =
            shown.size() > consoleBefore ? shown.back().toStdString() : std::string();

        const std::string expected = replaceNumber(c.text, number);
        EXPECT_EQ(stdOut, c.place == Place::stdOut ? expected : "");
        EXPECT_EQ(err, c.place == Place::stdErr ? expected : "");
        EXPECT_EQ(lines(), c.place == Place::stream ? expected : "");
        EXPECT_EQ(onConsole, c.place == Place::console ? expected : "");
        EXPECT_LE(shown.size(), consoleBefore + 1);
    }
}

TEST_F(Logging, SinkArgumentOverridesTheClassWideSink) {
    toStream();
    Logger_ logger;
    testing::internal::CaptureStderr();
    logger.log("aside", L::normal, L::lstderr);
    L::staticLog("static aside", L::normal, L::lstderr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "aside\nstatic aside\n");
    logger.log("here", L::normal, L::standard);
    EXPECT_EQ(lines(), "here\n");
    EXPECT_EQ(L::getOutStream(), L::stream);
}

TEST_F(Logging, ConsoleNamedBeforeAnyConsoleExistsFallsBackToStandardOutput) {
    Logger_ logger;
    testing::internal::CaptureStdout();
    logger.log("not lost", L::normal, L::console);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "not lost\n");
}

TEST_F(Logging, LevelFilterDropsWithoutWritingOrCounting) {
    struct Case {
        L::errorLevel_ logLevel, level;
        bool written;
    };
    const Case cases[] = {
        {L::normal, L::debugA, false}, {L::normal, L::normal, true},  {L::normal, L::fatal, true},
        {L::debugB, L::debugC, false}, {L::debugB, L::debugB, true},  {L::debugD, L::debugD, true},
        {L::fatal, L::normal, false},
    };
    toStream();
    Logger_ logger;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "logLevel " << c.logLevel << " level " << c.level);
        L::setLogLevel(c.logLevel);
        EXPECT_EQ(L::getLogLevel(), c.logLevel);
        EXPECT_EQ(L::passesLevel(c.level), c.written);
        if (c.level == L::fatal) continue;
        logger.log("m", c.level);
        L::staticLog("m", c.level);
        const std::string text = lines();
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.written ? 2 : 0);
    }
}

TEST_F(Logging, FilteredMessagesDoNotCountTowardsTheLimit) {
    toStream();
    Logger_ logger;
    L::setMax(1);
    for (int i = 0; i < 5; ++i) logger.log("dropped", L::debugC);
    logger.log("first", L::normal);
    L::staticLog("second", L::normal);
    logger.log("third", L::normal);
    EXPECT_EQ(lines(), "first\nsecond\n");
}

TEST_F(Logging, InstanceNumbersComeFromTheLiveCount) {
    Logger_ a;
    const unsigned n = numberOf(a);
    {
        Logger_ b;
        Logger_ c;
        EXPECT_EQ(numberOf(b), n + 1);
        EXPECT_EQ(numberOf(c), n + 2);
    }
    Logger_ d;
    EXPECT_EQ(numberOf(d), n + 1);

    // Numbers are reused even while their first holder lives.
    auto* e = new Logger_;
    Logger_ f;
    EXPECT_EQ(numberOf(f), n + 3);
    delete e;
    Logger_ g;
    EXPECT_EQ(numberOf(g), n + 3);

    Logger_ copy(a);
    EXPECT_EQ(numberOf(copy), n + 4);
}

TEST_F(Logging, ClassWideLimitWritesMaxPlusOneMessages) {
    toStream();
    L::setMax(2);
    EXPECT_EQ(L::getMax(), 2);
    Logger_ a;
    Logger_ b;
    a.log("1", L::normal);
    L::staticLog("2", L::normal);
    b.log("3", L::normal);
    b.log("4", L::normal);
    L::staticLog("5", L::normal);
    // Past the limit even a fatal message is dropped and ends nothing.
    a.log("6", L::fatal);
    L::staticLog("7", L::fatal);
    EXPECT_EQ(lines(), "1\n2\n3\n");
}

TEST_F(Logging, PerObjectLimitWritesMaxPlusOneMessagesOfEachObject) {
    toStream();
    L::setMaxPerInstance(2);
    EXPECT_EQ(L::getMaxPerInstance(), 2u);
    Logger_ a;
    Logger_ b;
    for (int i = 0; i < 5; ++i) a.log("a", L::normal);
    for (int i = 0; i < 5; ++i) b.log("b", L::normal);
    for (int i = 0; i < 4; ++i) L::staticLog("s", L::normal);
    EXPECT_EQ(lines(), "a\na\na\nb\nb\nb\ns\ns\ns\ns\n");
}

TEST_F(Logging, CopyKeepsTheCountersOfTheOriginal) {
    toStream();
    Logger_ original;
    for (int i = 0; i < 4; ++i) original.log("x", L::normal);
    original.logError("e", L::debugD);
    lines();

    Logger_ copy(original);
    EXPECT_EQ(copy.getInstanceErrors(), 1u);
    Logger_ fresh;
    L::setMaxPerInstance(3);
    copy.log("copy", L::normal);
    fresh.log("fresh", L::normal);
    EXPECT_EQ(lines(), "fresh\n");

    fresh = original;
    fresh.log("assigned", L::normal);
    EXPECT_EQ(lines(), "");
    EXPECT_EQ(fresh.getInstanceErrors(), 1u);
}

TEST_F(Logging, ErrorsAreCountedEvenWhenTheMessageIsDropped) {
    toStream();
    Logger_ a;
    Logger_ b;
    a.logError("hidden", L::debugB);
    L::staticLogError(std::string("also hidden"), L::debugD);
    EXPECT_EQ(lines(), "");
    EXPECT_EQ(L::getErrors(), 2u);
    EXPECT_EQ(a.getInstanceErrors(), 1u);
    EXPECT_EQ(b.getInstanceErrors(), 0u);
    b.logError(std::string("shown"), L::normal);
    EXPECT_EQ(lines(), "shown\n");
    EXPECT_EQ(L::getErrors(), 3u);
    EXPECT_EQ(b.getInstanceErrors(), 1u);
}

TEST_F(Logging, LogFileHasStartAndStopLines) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("logger_test_" + std::to_string(::getpid()) + ".log");
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
    EXPECT_EQ(readFile(path),
              "Started logging --- 1" + bar + "one\ns: two\nthree\nfour\nStopped logging --- 2" + bar);

    // Selecting the file again starts it afresh.
    L::setOutStream(L::file);
    L::setOutStream(L::none);
    EXPECT_EQ(readFile(path), "Started logging --- 2" + bar + "Stopped logging --- 2" + bar);
    std::filesystem::remove(path);
}

TEST_F(Logging, UnusableSinksFallBackToStandardOutput) {
    struct Case {
        L::outStream_ sink;
        const char* message;
    };
    const Case cases[] = {
        {L::file, "Could not open log file \"\". Switching to lstdout.\n"},
        {L::console,
         "Unable to send output to debug console in "
         "Logger_::setOutStream(Logger_::outStream_ os).\n"},
        {L::econsole,
         "Unable to send output to debug console in "
         "Logger_::setOutStream(Logger_::outStream_ os).\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sink " << c.sink);
        L::setOutStream(L::lstderr);
        testing::internal::CaptureStdout();
        L::setOutStream(c.sink);
        L::staticLog("still logging", L::normal);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  std::string(c.message) + "still logging\n");
        EXPECT_EQ(L::getOutStream(), L::lstdout);
    }
}

TEST_F(Logging, SinkSelectionKeepsOrForgetsTheStream) {
    L::setOutStream(L::lstderr);
    L::setOutStream(L::standard);
    EXPECT_EQ(L::getOutStream(), L::lstderr);
    L::setOutStream(L::stream);
    EXPECT_EQ(L::getOutStream(), L::lstderr);

    toStream();
    EXPECT_EQ(L::getOutStream(), L::stream);
    L::setOutStream(L::lstdout);
    L::setOutStream(L::stream);
    EXPECT_EQ(L::getOutStream(), L::lstdout);
}

TEST_F(Logging, OnlyTheFirstConsoleIsTaken) {
    FakeConsole first;
    FakeConsole second;
    L::setDebugConsole(&first);
    L::setDebugConsole(&second);
    L::setOutStream(L::console);
    Logger_ logger;
    logger.log("to the console", L::normal);
    ASSERT_EQ(first.written().size(), 1u);
    EXPECT_EQ(first.written()[0], QString("to the console\n"));
    EXPECT_TRUE(second.written().empty());
}

using LoggingDeathTest = Logging;

TEST_F(LoggingDeathTest, FatalMessageIsWrittenThenEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(
        {
            Logger_ logger;
            logger.log("object fatal", L::fatal, L::lstderr);
        },
        testing::ExitedWithCode(1), "^object fatal\n$");
    EXPECT_EXIT(L::staticLog("static fatal", L::fatal, L::lstderr), testing::ExitedWithCode(1),
                "^static fatal\n$");
}

TEST_F(LoggingDeathTest, FatalMessageReachesTheLogFileBeforeTheEnd) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("logger_fatal_" + std::to_string(::getpid()) + ".log");
    EXPECT_EXIT(
        {
            L::setFileName(path.string());
            L::setOutStream(L::file);
            L::staticLog("last words", L::fatal);
        },
        testing::ExitedWithCode(1), "");
    EXPECT_EQ(readFile(path),
              "Started logging --- 0 total errors . -----------------------------\nlast words\n");
    std::filesystem::remove(path);
}

TEST(StringStream, AppendsWithDefaultFormattingAfterTheIndent) {
    struct Case {
        int indent;
        const char* text;
    };
    const Case cases[] = {{3, "   x2.5"}, {0, "x2.5"}, {-2, "x2.5"}};
    for (const Case& c : cases) {
        const std::string text = StringStream_(c.indent) << 'x' << 2.5;
        EXPECT_EQ(text, c.text) << "indent " << c.indent;
    }
    const std::string numbers = StringStream_() << 3.14159265 << ' ' << -12 << ' ' << 1e-7f;
    EXPECT_EQ(numbers, "3.14159 -12 1e-07");
}

TEST_F(Logging, BuilderIsTheMessageOfLog) {
    toStream();
    Logger_ logger;
    logger.log(StringStream_(2) << "n=" << 5, L::normal);
    logger.logError(StringStream_() << "e=" << 0.5, L::normal);
    EXPECT_EQ(lines(), "  n=5\ne=0.5\n");
}

}  // namespace
