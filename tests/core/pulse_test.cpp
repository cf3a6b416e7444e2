#include "core/pulse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kernel/optics.h"
#include "tests/core/logcapture.h"

extern "C" const std::size_t cpulseLayoutSeenFromC[8];

namespace {

using optics::complex_;
constexpr double pi = 3.141592653589793;

Cavity_* someCavity(int k) {
    static std::max_align_t storage[4];
    return reinterpret_cast<Cavity_*>(&storage[k]);
}

// Samples that tell every index apart.
void fill(Pulse_& p, float offset = 0) {
    for (int i = 0; i < p.getSamples(); ++i) *p.getSamplePointer(i) = complex_(i + offset, -i - offset);
}

void setGrid(Pulse_& p, long double dt, long double domega, long double t, long double omega0, int domain) {
    p.get()->dt = dt;
    p.get()->domega = domega;
    p.get()->t = t;
    p.get()->omega0 = omega0;
    p.get()->domain = domain;
}

std::vector<double> gridOf(const Pulse_& p) { return {p.dt(), p.domega(), p.t0(), p.omega0()}; }

TEST(Pulse, ConstructionGivesZeroSamplesOnAZeroGrid) {
    for (const auto& [requested, samples] : {std::pair{1, 1}, {7, 7}, {0, 1024}, {-5, 1024}}) {
        SCOPED_TRACE(requested);
        LogCapture log;
        const Pulse_ p(requested, someCavity(1));
        EXPECT_EQ(log.count("ERROR: illegal initialization."), requested <= 0 ? 1 : 0);
        EXPECT_EQ(Logger_::getErrors(), requested <= 0 ? 1u : 0u);
        EXPECT_EQ(p.getSamples(), samples);
        EXPECT_EQ(p.getCavity(), someCavity(1));
        for (int i = 0; i < samples; ++i) ASSERT_EQ(p.getSample(i), complex_(0, 0));
        EXPECT_EQ(gridOf(p), std::vector<double>(4, 0.0));
        EXPECT_FALSE(p.domain());
    }
}

TEST(Pulse, EngineIndexIsKernelSampleMinusOne) {
    Pulse_ p(16, nullptr);
    fill(p);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p.getSamplePointer(i), &p.get()->envelope(i + 1));
    EXPECT_EQ(p.getParameter("PulseEnvelope"), static_cast<void*>(p.getSamplePointer(0)));
    for (const char* name : {"pulseenvelope", "", "PulseEnvelope "}) EXPECT_EQ(p.getParameter(name), nullptr);
    *p.getSamplePointer(3) = complex_(0, 2);
    EXPECT_NEAR(p.getSamplePhase(3), pi / 2, 1e-6);

    // t and omega count from sample N/2; x takes the kernel's sample number
    // and the step of the current domain.
    for (int n : {1024, 1025, 7}) {
        Pulse_ q(n, nullptr);
        setGrid(q, 1e-15L, 3e11L, 0, 0, optics::time);
        for (int k : {0, 1, n / 2, n - 1}) {
            EXPECT_DOUBLE_EQ(q.t(k), (k - n / 2) * 1e-15) << n;
            EXPECT_DOUBLE_EQ(q.omega(k), (k - n / 2) * 3e11) << n;
        }
    }
    Pulse_ q(1024, nullptr);
    setGrid(q, 1e-15L, 3e11L, 0, 0, optics::time);
    EXPECT_DOUBLE_EQ(q.x(1), -511e-15);
    q.get()->domain = optics::frequency;
    EXPECT_DOUBLE_EQ(q.x(1024), 512 * 3e11);
}

// Assignment copies into the target's own record, which parameters are
// bound to, and takes the source's size; the cavity stays.
TEST(Pulse, CopiesShareNoSamples) {
    for (int size : {16, 64, 256}) {
        auto source = std::make_unique<Pulse_>(64, someCavity(1));
        fill(*source);
        setGrid(*source, 1.25e-15L, 2.5e12L, 3e-12L, 1.8e15L, optics::time);
        Pulse_ constructed(*source), assigned(size, someCavity(2));
        optics::pulse_* const record = assigned.get();
        assigned = *source;
        EXPECT_EQ(constructed.getCavity(), someCavity(1));
        EXPECT_EQ(assigned.getCavity(), someCavity(2));
        EXPECT_EQ(assigned.get(), record);
        *source->getSamplePointer(5) = complex_(99, 99);
        source.reset();
        for (Pulse_* copy : {&constructed, &assigned}) {
            EXPECT_EQ(gridOf(*copy), (std::vector<double>{1.25e-15, 2.5e12, 3e-12, 1.8e15}));
            EXPECT_TRUE(copy->domain());
            ASSERT_EQ(copy->getSamples(), 64);
            for (int i = 0; i < 64; ++i) ASSERT_EQ(copy->getSample(i), complex_(i, -i));
        }
    }
    Pulse_ self(8, nullptr);
    fill(self, 2);
    Pulse_& alias = self;
    self = alias;
    EXPECT_EQ(self.getSample(7), complex_(9, -9));
}

TEST(Pulse, GaussianHasTheRequestedEnergyOnAReciprocalGrid) {
    const double duration = 100e-15, energy = 2e-9, wavelength = 800e-9;
    Pulse_ p(1024, nullptr), q(1024, nullptr);
    p.createGaussian(duration, energy, wavelength, nullptr);
    EXPECT_TRUE(p.domain());
    EXPECT_NEAR(p.dt() * p.domega() * 1024, 2 * pi, 1e-12);
    EXPECT_NEAR(p.dt(), duration / std::sqrt(1024 / (2 * pi)), 1e-27);
    EXPECT_NEAR(optics::energy(*p.get()), energy, energy * 1e-5);
    EXPECT_NEAR(p.omega0(), 2 * pi * 2.99e8 / wavelength, 1e3);
    // A reference lends its grid.
    q.createGaussian(duration / 4, energy, wavelength, &p);
    EXPECT_EQ(gridOf(q), gridOf(p));
}

// Recentring works in the time domain and leaves the pulse in its own.
TEST(Pulse, RecentringMovesThePeakToTheCentreSample) {
    for (int domain : {optics::time, optics::frequency}) {
        Pulse_ p(1024, nullptr);
        setGrid(p, 1e-15L, 2 * pi / (1024 * 1e-15L), 0, 0, optics::time);
        *p.getSamplePointer(599) = complex_(1, 0);
        if (domain == optics::frequency) optics::tofrequency(*p.get());
        p.recenter();
        EXPECT_EQ(p.get()->domain, domain);
        optics::totime(*p.get());
        EXPECT_NEAR(std::abs(p.getSample(512)), 1, 1e-5) << domain;
        EXPECT_NEAR(p.t0(), 87e-15, 1e-27);
    }
}

TEST(Pulse, WriteCutsLongNamesTo255Characters) {
    const std::string dir = std::filesystem::temp_directory_path() / ("pulse_write_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string name = dir + "/" + std::string(299 - dir.size(), 'p');
    Pulse_(8, nullptr).write(name);
    std::ifstream cut(name.substr(0, 255));
    std::string first;
    EXPECT_TRUE(std::getline(cut, first));
    EXPECT_NE(first.find("#Number of Samples:"), std::string::npos) << first;
    std::filesystem::remove_all(dir);
}

TEST(Pulse, PlugInRecordSharesTheSamplesAndCarriesTheGrid) {
    Pulse_ p(32, nullptr);
    fill(p);
    setGrid(p, 1.0L / 3, 2.0L / 3, 1e-12L, 2.35e15L, 5);
    cPulse_ c = p.toCPulse();
    EXPECT_EQ(c.samples, 32);
    EXPECT_EQ(c.domain, 5) << "the domain word is handed over unchanged";
    EXPECT_EQ((std::vector<double>{c.dt, c.domega, c.t0, c.omega0}),
              (std::vector<double>{static_cast<double>(1.0L / 3), static_cast<double>(2.0L / 3), 1e-12, 2.35e15}));
    // What the plug-in changes in place is the pulse's own sample.
    EXPECT_EQ(static_cast<void*>(c.envelope), static_cast<void*>(p.getSamplePointer(0)));
    c.envelope[31] = {7, 8};
    EXPECT_EQ(p.getSample(31), complex_(7, 8));

    c = {3, nullptr, -7, 2e-15, 4e12, -1e-12, 1e15};
    p.fromcPulse(c);
    EXPECT_EQ(p.get()->domain, 1);
    EXPECT_EQ(gridOf(p), (std::vector<double>{2e-15, 4e12, -1e-12, 1e15}));
    EXPECT_EQ(p.getSamples(), 32) << "the plug-in cannot change the sample count";
    EXPECT_EQ(p.getSample(0), complex_(0, 0));
    c.domain = 0;
    p.fromcPulse(c);
    EXPECT_FALSE(p.domain());
}

TEST(Pulse, PlugInRecordHasTheSameLayoutInC) {
    const std::size_t cxx[8] = {
        offsetof(cPulse_, samples), offsetof(cPulse_, envelope), offsetof(cPulse_, domain),
        offsetof(cPulse_, dt),      offsetof(cPulse_, domega),   offsetof(cPulse_, t0),
        offsetof(cPulse_, omega0),  sizeof(cPulse_),
    };
    for (int k = 0; k < 8; ++k) EXPECT_EQ(cpulseLayoutSeenFromC[k], cxx[k]) << k;
}

}  // namespace
