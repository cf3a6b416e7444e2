#include "kernel/errorhandling.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ErrorHandlingExit, FatalNumberedErrorEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(errorhandling::handleerror(500), ::testing::ExitedWithCode(1), "");
}

}  // namespace
