#include "kernel/errorhandling.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "kernelerrors.h"
#include "scratch.h"

namespace {

using ErrorHandling = kernelerrors::KernelErrors;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

const std::string kNotice = " #Too many error messages. Further errors will not be reported\n";
const std::string kStarted = " Error Log started -----------------------------------";
const std::string kStopped = " Error Log stopped -----------------------------------";

TEST_F(ErrorHandling, TenReportsThenTheNoticeThenOnlyCounting) {
    CaptureStdout();
    for (int i = 0; i < 11; ++i) errorhandling::error("problem " + std::to_string(i));
    EXPECT_EQ(GetCapturedStdout(), kNotice);
    const auto& reports = kernelerrors::recorded();
    ASSERT_EQ(reports.size(), 10u);
    EXPECT_EQ(reports[9].message, "problem 9");
    EXPECT_EQ(reports[0].source, -1);
    EXPECT_EQ(reports[0].code, 1);
    EXPECT_EQ(errorhandling::testing::errorcount(), 11);

    // Silent counting still prints the notice at the limit.
    errorhandling::testing::reset();
    errorhandling::seterrormode(errorhandling::nowarn);
    CaptureStdout();
    for (int i = 0; i < 10; ++i) errorhandling::error("quiet");
    EXPECT_EQ(GetCapturedStdout(), kNotice);
    EXPECT_EQ(reports.size(), 10u);
}

TEST_F(ErrorHandling, UnknownModesAreRefusedAndNumberedErrorsOnlyCounted) {
    CaptureStdout();
    errorhandling::seterrormode(5);
    errorhandling::seterrormode(-1);
    EXPECT_EQ(GetCapturedStdout(), " Unknown error mode           5\n Unknown error mode          -1\n");
    EXPECT_EQ(errorhandling::testing::mode(), errorhandling::tohost);

    errorhandling::handleerror(3);
    EXPECT_TRUE(kernelerrors::recorded().empty());
    EXPECT_EQ(errorhandling::testing::errorcount(), 1);
    for (int32_t code : {14, -1}) EXPECT_EQ(errorhandling::str2char(errorhandling::geterrorstring(code)), "Unknown Error");
    EXPECT_EQ(errorhandling::str2char(errorhandling::geterrorstring(500)), "Cannot write to file");
}

TEST_F(ErrorHandling, LogThatCannotBeOpenedFallsBackToStandard) {
    const std::string missing = scratch::Path("nodir").str() + "/log.txt";
    const std::string noname = " Could not open error log. No filename given. Switching to standard\n";
    const std::string unwritable = " Unable to write to error log. Switching to standard\n";
    const struct {
        std::string name, out;
    } cases[] = {{"", noname},
                 {"   ", noname},
                 {missing, " #Opening Logfile " + missing + "\n" + unwritable},
                 {"/dev/full", " #Opening Logfile /dev/full\n" + unwritable}};
    for (const auto& c : cases) {
        errorhandling::seterrormode(errorhandling::tohost);
        errorhandling::setlogfile(c.name);
        CaptureStdout();
        errorhandling::seterrormode(errorhandling::tofile);
        EXPECT_EQ(GetCapturedStdout(), c.out);
        EXPECT_EQ(errorhandling::testing::mode(), errorhandling::standard) << c.name;
    }
}

TEST_F(ErrorHandling, LogModeFramesItsErrorsAndAppendsToAnExistingLog) {
    scratch::Path log("errlog");
    ASSERT_LE(log.str().size(), 80u) << "log file names are limited to 80 characters";
    std::ofstream(log.str()) << "earlier run\n";
    errorhandling::setlogfile(log.str());

    CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    errorhandling::error("first");
    errorhandling::error("second");
    errorhandling::handleerror(3);
    errorhandling::seterrormode(errorhandling::tofile);  // already logging: nothing happens
    errorhandling::seterrormode(errorhandling::tohost);
    EXPECT_EQ(GetCapturedStdout(), " #Opening Logfile " + log.str() + "\n #Closing Logfile " + log.str() + "\n" +
                                       std::string(11, ' ') + "3 Errors or warnings occured.\n");
    EXPECT_TRUE(kernelerrors::recorded().empty());
    const std::vector<std::string> expected{"earlier run", kStarted, " first", " second", " Error:n<1",
                                            std::string(11, ' ') + "3 Errors occured.", kStopped};
    EXPECT_EQ(scratch::readlines(log.str()), expected);

    // A later session appends its own frame.
    CaptureStdout();
    errorhandling::seterrormode(errorhandling::tofile);
    errorhandling::error("third");
    errorhandling::seterrormode(errorhandling::nowarn);
    GetCapturedStdout();
    const std::vector<std::string> lines = scratch::readlines(log.str());
    ASSERT_EQ(lines.size(), expected.size() + 4);
    EXPECT_EQ(lines[expected.size()], kStarted);
    EXPECT_EQ(lines[expected.size() + 1], " third");
    EXPECT_EQ(lines.back(), kStopped);
}

TEST(ErrorHandlingExit, FatalNumberedErrorEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(errorhandling::handleerror(500), ::testing::ExitedWithCode(1), "");
}

}  // namespace
