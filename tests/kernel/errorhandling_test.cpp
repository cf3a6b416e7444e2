#include "kernel/errorhandling.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "scratch.h"

namespace {

struct Report {
    std::string message;
    int32_t source;
    int32_t code;
};
std::vector<Report> reports;

void recordReport(const char* message, const int32_t& source, const int32_t& code, int32_t length) {
    reports.push_back({std::string(message, static_cast<size_t>(length)), source, code});
}

class ErrorHandling : public ::testing::Test {
protected:
    void SetUp() override {
        errorhandling::testing::reset();
        errorhandling::setreporthook(recordReport);
        errorhandling::seterrormode(errorhandling::tohost);
        reports.clear();
    }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setlogfile("");
        errorhandling::setreporthook(nullptr);
        errorhandling::testing::reset();
    }
};

TEST_F(ErrorHandling, ForwardsTenReportsThenNoticeThenOnlyCounts) {
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 11; ++i) errorhandling::error("problem " + std::to_string(i));
    const std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_EQ(reports[0].message, "problem 0");
    EXPECT_EQ(reports[0].source, -1);
    EXPECT_EQ(reports[0].code, 1);
    EXPECT_EQ(out, " #Too many error messages. Further errors will not be reported\n");
    EXPECT_EQ(errorhandling::testing::errorcount(), 11);
}

TEST_F(ErrorHandling, CountsSilentlyInNowarnButStillPrintsTheNotice) {
    errorhandling::seterrormode(errorhandling::nowarn);
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 10; ++i) errorhandling::error("quiet");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(out, " #Too many error messages. Further errors will not be reported\n");
}

TEST_F(ErrorHandling, RefusesUnknownModes) {
    ::testing::internal::CaptureStdout();
    errorhandling::seterrormode(5);
    errorhandling::seterrormode(-1);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, " Unknown error mode           5\n Unknown error mode          -1\n");
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::tohost);
}

TEST_F(ErrorHandling, NumberedErrorsAreCountedButNotForwarded) {
    errorhandling::handleerror(3);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(errorhandling::testing::errorcount(), 1);
    EXPECT_EQ(errorhandling::str2char(errorhandling::geterrorstring(14)), "Unknown Error");
    EXPECT_EQ(errorhandling::str2char(errorhandling::geterrorstring(-1)), "Unknown Error");
    EXPECT_EQ(errorhandling::str2char(errorhandling::geterrorstring(500)), "Cannot write to file");
}

TEST_F(ErrorHandling, LogModeWithoutAFileNameFallsBackToStandard) {
    errorhandling::setlogfile("");
    ::testing::internal::CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              " Could not open error log. No filename given. Switching to standard\n");
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::standard);
    errorhandling::setlogfile("   ");
    ::testing::internal::CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::standard);
}

TEST_F(ErrorHandling, LogModeFramesItsErrorsAndAppendsToAnExistingLog) {
    scratch::Path log("errlog");
    ASSERT_LE(log.str().size(), 80u) << "log file names are limited to 80 characters";
    std::ofstream(log.str()) << "earlier run\n";
    errorhandling::setlogfile(log.str());

    ::testing::internal::CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    errorhandling::error("first");
    errorhandling::error("second");
    errorhandling::handleerror(3);
    errorhandling::seterrormode(errorhandling::tofile);  // already logging: nothing happens
    errorhandling::seterrormode(errorhandling::tohost);
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(out, " #Opening Logfile " + log.str() + "\n #Closing Logfile " + log.str() + "\n" +
                       std::string(11, ' ') + "3 Errors or warnings occured.\n");
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::tohost);
    const std::vector<std::string> expected{
        "earlier run",
        " Error Log started -----------------------------------",
        " first",
        " second",
        " Error:n<1",
        std::string(11, ' ') + "3 Errors occured.",
        " Error Log stopped -----------------------------------"};
    EXPECT_EQ(scratch::readlines(log.str()), expected);

    // A later session appends its own frame.
    ::testing::internal::CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    errorhandling::error("third");
    errorhandling::seterrormode(errorhandling::nowarn);
    ::testing::internal::GetCapturedStdout();
    const std::vector<std::string> lines = scratch::readlines(log.str());
    ASSERT_EQ(lines.size(), expected.size() + 4);
    EXPECT_EQ(lines[expected.size() + 1], " third");
    EXPECT_EQ(lines.back(), " Error Log stopped -----------------------------------");
}

TEST_F(ErrorHandling, LogThatCannotBeWrittenFallsBackToStandard) {
    for (const std::string& name : {scratch::Path("nodir").str() + "/log.txt", std::string("/dev/full")}) {
        errorhandling::seterrormode(errorhandling::tohost);
        errorhandling::setlogfile(name);
        ::testing::internal::CaptureStdout();
        errorhandling::seterrormode(errorhandling::tofile);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  " #Opening Logfile " + name + "\n Unable to write to error log. Switching to standard\n");
        EXPECT_EQ(errorhandling::testing::mode(), errorhandling::standard);
    }
}

TEST(ErrorHandlingExit, FatalNumberedErrorEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(errorhandling::handleerror(500), ::testing::ExitedWithCode(1), "");
}

}  // namespace
