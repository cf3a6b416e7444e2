// Element routines on several setup threads at once, each on its own
// records. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "elementpulses.h"
#include "kernel/elements.h"
#include "scratch.h"

namespace {

using namespace elementpulses;

constexpr int kThreads = 6;

template <typename Body>
void runthreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
}

// One cavity's records; each thread pumps its own medium differently, and
// the filter curve differs per thread as well.
struct Cavity {
    explicit Cavity(int t) : pulse(gaussian(256, 2.0e-14, 2.0e-13, 1.0e6, 1.064e-6)) {
        gain.w = absorber.w = 1.0e-4;
        gain.r = 1.0e3 * (t + 1);
        gain.l = 5.0e-3;
        gain.sigma = 3.0e-23;
        gain.deltan0 = -1.4e26;
        gain.t1 = 2.3e-4;
        gain.deltan = 2.0e23;
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
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("pls_tracethreads_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "data");
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    runthreads([&](int t) {
        elements::psetmodulatedgain_ p;
        p.w = 1.0e-4;
        p.l = 5.0e-3;
        p.sigma = 3.0e-23;
        p.deltan0 = -1.4e26;
        p.t1 = 2.3e-4;
        p.deltan = 1.0e23 * (t + 1);
        p.mamplitude = 0.1;
        p.mfrequency = 1.0e6;
        for (int k = 0; k < 5; ++k) {
            p.lasttime = k % 2;
            pulse_ pulse = gaussian(128, 2.0e-14, 2.0e-13, 1.0e3, 1.064e-6);
            elements::modulatedgain(pulse, p);
        }
    });
    const auto inversion = scratch::readlines("data/internalinversion.dat");
    const auto pump = scratch::readlines("data/pumprate.dat");
    std::filesystem::current_path(home);
    std::filesystem::remove_all(dir);

    // The last writer's pass: 128 rows numbered consecutively in each file.
    for (const auto* rows : {&inversion, &pump}) {
        ASSERT_EQ(rows->size(), 128u);
        int first = 0, row = 0;
        double value = 0;
        ASSERT_EQ(std::sscanf((*rows)[0].c_str(), "%d %lf", &first, &value), 2);
        for (size_t k = 1; k < rows->size(); ++k) {
            ASSERT_EQ(std::sscanf((*rows)[k].c_str(), "%d %lf", &row, &value), 2);
            EXPECT_EQ(row, first + static_cast<int>(k));
        }
    }
}

}  // namespace
