// Kernel state shared by setup threads: the error counter and mode, and the
// one file channel of the text writers. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/errorhandling.h"
#include "kernel/tools.h"
#include "scratch.h"

namespace {

constexpr int kThreads = 8;

template <typename Body>
void runthreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
}

const std::string kNotice = " #Too many error messages. Further errors will not be reported\n";

std::mutex hookmutex;
int hookcalls = 0;
void countReport(const char*, const int32_t&, const int32_t&, int32_t) {
    std::lock_guard<std::mutex> lock(hookmutex);
    ++hookcalls;
}

class ErrorHandlingThreads : public ::testing::Test {
protected:
    void SetUp() override { errorhandling::testing::reset(); }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setreporthook(nullptr);
        errorhandling::setlogfile("");
        errorhandling::testing::reset();
    }
};

TEST_F(ErrorHandlingThreads, CounterIsExactAndTheNoticeComesOnce) {
    errorhandling::seterrormode(errorhandling::nowarn);
    ::testing::internal::CaptureStdout();
    runthreads([](int) {
        for (int i = 0; i < 500; ++i) errorhandling::error("concurrent");
    });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kNotice);
    EXPECT_EQ(errorhandling::testing::errorcount(), kThreads * 500);
}

TEST_F(ErrorHandlingThreads, AtMostTenReportsReachTheHost) {
    hookcalls = 0;
    errorhandling::setreporthook(countReport);
    errorhandling::seterrormode(errorhandling::tohost);
    ::testing::internal::CaptureStdout();
    runthreads([](int t) {
        for (int i = 0; i < 50; ++i) {
            if (i % 2 == 0)
                errorhandling::error("concurrent");
            else
                errorhandling::handleerror(1 + t);
        }
    });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), kNotice);
    EXPECT_LE(hookcalls, 10);
    EXPECT_GE(hookcalls, 1);
    EXPECT_EQ(errorhandling::testing::errorcount(), kThreads * 50);
}

TEST_F(ErrorHandlingThreads, SwitchingTheLogWhileThreadsReportKeepsItFramed) {
    scratch::Path log("threadlog");
    ASSERT_LE(log.str().size(), 80u);
    errorhandling::setlogfile(log.str());
    std::atomic<bool> done{false};
    ::testing::internal::CaptureStdout();
    std::thread reporter([&done] {
        runthreads([&done](int) {
            while (!done.load()) errorhandling::error("while switching");
        });
    });
    for (int k = 0; k < 50; ++k) {
        errorhandling::seterrormode(errorhandling::tofile);
        // A fresh count lets the next errors through the limit of ten.
        errorhandling::testing::reset();
        while (errorhandling::testing::errorcount() < 3) std::this_thread::yield();
        errorhandling::seterrormode(errorhandling::nowarn);
    }
    done.store(true);
    reporter.join();
    ::testing::internal::GetCapturedStdout();

    // Every error line lies inside a started/stopped frame.
    bool open = false;
    int errorlines = 0;
    for (const std::string& line : scratch::readlines(log.str())) {
        if (line == " Error Log started -----------------------------------") {
            EXPECT_FALSE(open);
            open = true;
        } else if (line == " Error Log stopped -----------------------------------") {
            EXPECT_TRUE(open);
            open = false;
        } else {
            EXPECT_TRUE(open) << line;
            errorlines += line == " while switching";
            EXPECT_TRUE(line == " while switching" || line.find("Errors occured.") != std::string::npos) << line;
        }
    }
    EXPECT_FALSE(open);
    EXPECT_GT(errorlines, 0);
}

TEST(ToolsThreads, WritersOnSeveralThreadsKeepTheirFilesApart) {
    constexpr int kRows = 400;
    std::vector<std::unique_ptr<scratch::Path>> files;
    for (int t = 0; t < kThreads; ++t) files.push_back(std::make_unique<scratch::Path>("writer"));
    runthreads([&files](int t) {
        std::vector<double> values(kRows);
        for (int i = 0; i < kRows; ++i) values[static_cast<size_t>(i)] = t * 1000.0 + i;
        const tools::string_ name = tools::char2str(files[static_cast<size_t>(t)]->str());
        for (int round = 0; round < 3; ++round) {
            tools::writecomplexdata(optics::samples_(kRows), name);
            tools::writerealdata(values, name);
        }
    });
    for (int t = 0; t < kThreads; ++t) {
        const std::vector<std::string> lines = scratch::readlines(files[static_cast<size_t>(t)]->str());
        ASSERT_EQ(lines.size(), static_cast<size_t>(kRows));
        for (int i = 0; i < kRows; ++i) {
            double x = 0, y = 0;
            ASSERT_EQ(std::sscanf(lines[static_cast<size_t>(i)].c_str(), "%lf %lf", &x, &y), 2);
            ASSERT_EQ(y, t * 1000.0 + x);
        }
    }
}

}  // namespace
