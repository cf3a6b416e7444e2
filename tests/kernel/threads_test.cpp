// Kernel state shared by setup threads: the error counter and mode, the one
// file channel of the text writers, the noise generator, and element routines
// on separate records. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/elements.h"
#include "kernel/errorhandling.h"
#include "kernel/tools.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"
#include "scratch.h"

namespace {

using namespace pulsefixtures;

constexpr int kThreads = 8;

template <typename Body>
void runthreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
}

// Rows "n value" numbered consecutively.
void expectconsecutive(const std::vector<std::string>& rows) {
    int first = 0, row = 0;
    double value = 0;
    ASSERT_EQ(std::sscanf(rows.at(0).c_str(), "%d %lf", &first, &value), 2);
    for (size_t k = 1; k < rows.size(); ++k) {
        ASSERT_EQ(std::sscanf(rows[k].c_str(), "%d %lf", &row, &value), 2);
        EXPECT_EQ(row, first + static_cast<int>(k));
    }
}

const std::string kNotice = " #Too many error messages. Further errors will not be reported\n";

std::mutex hookmutex;
int hookcalls = 0;
void countReport(const char*, const int32_t&, const int32_t&, int32_t) {
    std::lock_guard<std::mutex> lock(hookmutex);
    ++hookcalls;
}

using ErrorHandlingThreads = kernelerrors::KernelErrors;

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
        const auto rows = scratch::readrows(files[static_cast<size_t>(t)]->str());
        ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
        for (const auto& row : rows) {
            ASSERT_EQ(row.size(), 2u);
            ASSERT_EQ(row[1], t * 1000.0 + row[0]);
        }
    }
}

// One cavity's records; each thread pumps its own medium differently, and
// the filter curve differs per thread as well.
struct Cavity {
    explicit Cavity(int t) : pulse(gaussianfield(256, 2.0e-14, 2.0e-13, 1.0e6, 1.064e-6)), gain(ndmedium()) {
        gain.r = 1.0e3 * (t + 1);
        absorber.w = 1.0e-4;
        absorber.l = 1.0e-6;
        absorber.is = 1.0e9;
        absorber.loss = 0.2;
        absorber.t1 = 1.0e-12;
        filter.fwhm = 1.0e13 * (1 + t % 2);
    }
    void roundtrip() {
        elements::gain(pulse, gain);
        elements::satabsorbersplit(pulse, absorber);
        elements::filter(pulse, filter);
        elements::loss(pulse, 10.0);
        elements::propagation(pulse, 1.5, 1.0);
    }
    pulse_ pulse;
    elements::psetgain_ gain;
    elements::psetabsorber_ absorber;
    elements::psetfilter_ filter;
};

TEST(ElementsThreads, CavitiesOnSeparateRecordsRunAsTheyDoAlone) {
    std::vector<Cavity> alone, together;
    for (int t = 0; t < kThreads; ++t) {
        alone.emplace_back(t);
        together.emplace_back(t);
        for (int k = 0; k < 20; ++k) alone[t].roundtrip();
    }
    runthreads([&](int t) {
        for (int k = 0; k < 20; ++k) together[t].roundtrip();
    });
    for (int t = 0; t < kThreads; ++t) {
        expectsame(together[t].pulse.envelope, alone[t].pulse.envelope);
        EXPECT_EQ(together[t].pulse.t, alone[t].pulse.t);
        EXPECT_EQ(together[t].gain.deltan, alone[t].gain.deltan);
    }
}

TEST(ElementsThreads, BackgroundNoiseSharesOneGuardedGenerator) {
    std::vector<pulse_> pulses(kThreads, blank(4096, 1.0e-15));
    runthreads([&](int t) {
        for (int k = 0; k < 10; ++k) elements::addbackground(pulses[t], 0.1);
    });
    // One stream dealt out to all threads: no two get the same numbers.
    for (int t = 0; t < kThreads; ++t)
        for (int s = 0; s < t; ++s) EXPECT_NE(pulses[t].envelope(1), pulses[s].envelope(1));
}

TEST(ElementsThreads, TraceFilesHoldOneWholePass) {
    const scratch::Path dir("tracethreads", "");
    std::filesystem::create_directories(std::filesystem::path(dir.str()) / "data");
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir.str());
    runthreads([&](int t) {
        auto p = ndmedium<elements::psetmodulatedgain_>();
        p.deltan = 1.0e23 * (t + 1);
        p.mamplitude = 0.1;
        p.mfrequency = 1.0e6;
        for (int k = 0; k < 5; ++k) {
            p.lasttime = k % 2;
            pulse_ pulse = gaussianfield(128, 2.0e-14, 2.0e-13, 1.0e3, 1.064e-6);
            elements::modulatedgain(pulse, p);
        }
    });
    const auto inversion = scratch::readlines("data/internalinversion.dat");
    const auto pump = scratch::readlines("data/pumprate.dat");
    std::filesystem::current_path(home);
    // The last writer's pass: 128 rows numbered consecutively in each file.
    for (const auto* rows : {&inversion, &pump}) {
        ASSERT_EQ(rows->size(), 128u);
        expectconsecutive(*rows);
    }
}

}  // namespace
