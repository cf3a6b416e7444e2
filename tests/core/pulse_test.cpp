#include "core/pulse.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "kernel/optics.h"
#include "tests/core/logcapture.h"

extern "C" const std::size_t cpulseLayoutSeenFromC[8];

namespace {

using optics::complex_;

Cavity_* someCavity(int k) {
    static std::max_align_t storage[4];
    return reinterpret_cast<Cavity_*>(&storage[k]);
}

// Samples that tell every index apart.
void fill(Pulse_& p, float offset = 0) {
    for (int i = 0; i < p.getSamples(); ++i) *p.getSamplePointer(i) = complex_(i + offset, -i - offset);
}

int peakIndex(const Pulse_& p) {
    int peak = 0;
    for (int i = 1; i < p.getSamples(); ++i)
        if (std::abs(p.getSample(i)) > std::abs(p.getSample(peak))) peak = i;
    return peak;
}

void setGrid(Pulse_& p, long double dt, long double domega, long double t, long double omega0,
             int domain) {
    p.get()->dt = dt;
    p.get()->domega = domega;
    p.get()->t = t;
    p.get()->omega0 = omega0;
    p.get()->domain = domain;
}

TEST(Pulse, ConstructionGivesZeroSamplesOnAZeroGrid) {
    struct Case {
        int requested;
        int samples;
        bool reported;
    } cases[] = {{1, 1, false}, {7, 7, false}, {1024, 1024, false}, {0, 1024, true}, {-5, 1024, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        LogCapture log;
        const Pulse_ p(c.requested, someCavity(1));
        EXPECT_EQ(log.count("ERROR: illegal initialization."), c.reported ? 1 : 0);
        EXPECT_EQ(Logger_::getErrors(), c.reported ? 1u : 0u);
        EXPECT_EQ(p.getSamples(), c.samples);
        EXPECT_EQ(p.get()->envelope.size(), c.samples);
        EXPECT_EQ(p.getCavity(), someCavity(1));
        for (int i = 0; i < p.getSamples(); ++i) ASSERT_EQ(p.getSample(i), complex_(0, 0));
        EXPECT_EQ(p.dt(), 0);
        EXPECT_EQ(p.domega(), 0);
        EXPECT_EQ(p.t0(), 0);
        EXPECT_EQ(p.omega0(), 0);
        EXPECT_FALSE(p.domain());
        EXPECT_FALSE(p.get()->u.allocated());
        EXPECT_FALSE(p.get()->v.allocated());
    }
}

TEST(Pulse, EngineIndexIsKernelSampleMinusOne) {
    Pulse_ p(16, nullptr);
    fill(p);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(p.getSample(i), p.get()->envelope(i + 1));
        EXPECT_EQ(p.getSamplePointer(i), &p.get()->envelope(i + 1));
    }
    EXPECT_EQ(p.getParameter("PulseEnvelope"), static_cast<void*>(p.getSamplePointer(0)));
    for (const char* name : {"pulseenvelope", "", "Envelope", "PulseEnvelope "})
        EXPECT_EQ(p.getParameter(name), nullptr) << name;

    // The phase of engine sample i is the kernel's phase of sample i + 1.
    *p.getSamplePointer(3) = complex_(0, 2);
    *p.getSamplePointer(4) = complex_(-1, 1);
    EXPECT_EQ(p.getSamplePhase(3), 1.5707963705062866);
    EXPECT_DOUBLE_EQ(p.getSamplePhase(4), -0.7853981633974483);
}

TEST(Pulse, GridOffsetsCountFromTheCentreSample) {
    const long double dt = 1e-15L, domega = 3e11L;
    for (int n : {1024, 1025, 7}) {
        SCOPED_TRACE(n);
        Pulse_ p(n, nullptr);
        setGrid(p, dt, domega, 0, 0, optics::time);
        const int half = n / 2;  // 512 for 1025
        for (int k : {0, 1, half, n - 1, n}) {
            EXPECT_DOUBLE_EQ(p.t(k), (k - half) * 1e-15);
            EXPECT_DOUBLE_EQ(p.omega(k), (k - half) * 3e11);
        }
    }
    Pulse_ p(1024, nullptr);
    setGrid(p, dt, domega, 0, 0, optics::time);
    EXPECT_EQ(p.t(512), 0);
    EXPECT_DOUBLE_EQ(p.t(0), -512 * p.dt());
    // x takes the kernel's sample number: sample 1 lies 511 steps before the origin.
    EXPECT_DOUBLE_EQ(p.x(1), -511e-15);
    EXPECT_DOUBLE_EQ(p.x(1024), 512e-15);
    p.get()->domain = optics::frequency;
    EXPECT_DOUBLE_EQ(p.x(1), -511 * 3e11);
}

TEST(Pulse, CopiesShareNoSamples) {
    auto source = std::make_unique<Pulse_>(64, someCavity(1));
    fill(*source);
    setGrid(*source, 1.25e-15L, 2.5e12L, 3e-12L, 1.8e15L, optics::time);

    Pulse_ constructed(*source);
    Pulse_ assigned(16, someCavity(2));
    optics::pulse_* const record = assigned.get();
    assigned = *source;

    EXPECT_EQ(constructed.getCavity(), someCavity(1));
    EXPECT_EQ(assigned.getCavity(), someCavity(2));
    EXPECT_EQ(assigned.get(), record) << "assignment must keep the record in place";
    for (Pulse_* copy : {&constructed, &assigned}) {
        EXPECT_EQ(copy->getSamples(), 64);
        EXPECT_NE(copy->getSamplePointer(0), source->getSamplePointer(0));
        for (int i = 0; i < 64; ++i) ASSERT_EQ(copy->getSample(i), source->getSample(i));
        EXPECT_EQ(copy->get()->dt, source->get()->dt);
        EXPECT_EQ(copy->get()->domega, source->get()->domega);
        EXPECT_EQ(copy->get()->t, source->get()->t);
        EXPECT_EQ(copy->get()->omega0, source->get()->omega0);
        EXPECT_EQ(copy->get()->domain, source->get()->domain);
        *copy->getSamplePointer(5) = complex_(99, 99);
    }
    EXPECT_EQ(source->getSample(5), complex_(5, -5));

    source.reset();
    EXPECT_EQ(constructed.getSample(63), complex_(63, -63));
    EXPECT_EQ(assigned.getSample(63), complex_(63, -63));
}

TEST(Pulse, AssignmentTakesTheSourceSize) {
    for (int target : {512, 1024, 2048}) {
        SCOPED_TRACE(target);
        Pulse_ source(1024, nullptr), p(target, nullptr);
        fill(source, 1);
        p = source;
        ASSERT_EQ(p.getSamples(), 1024);
        for (int i = 0; i < 1024; ++i) ASSERT_EQ(p.getSample(i), source.getSample(i));
    }
    Pulse_ self(8, nullptr);
    fill(self, 2);
    Pulse_& alias = self;
    self = alias;
    EXPECT_EQ(self.getSamples(), 8);
    EXPECT_EQ(self.getSample(7), complex_(9, -9));
}

TEST(Pulse, GaussianHasTheRequestedEnergyOnAReciprocalGrid) {
    const double duration = 100e-15, energy = 2e-9, wavelength = 800e-9;
    Pulse_ p(1024, nullptr);
    p.createGaussian(duration, energy, wavelength, nullptr);
    EXPECT_EQ(p.getSamples(), 1024);
    EXPECT_TRUE(p.domain());
    EXPECT_NEAR(p.dt() * p.domega() * 1024, 2 * 3.141592653589793, 1e-12);
    EXPECT_NEAR(p.dt(), duration / std::sqrt(1024 / (2 * 3.141592653589793)), 1e-27);
    EXPECT_NEAR(optics::energy(*p.get()), energy, energy * 1e-5);
    EXPECT_NEAR(p.omega0(), 2 * 3.141592653589793 * 2.99e8 / wavelength, 1e3);
    // The peak lies midway between kernel samples 513 and 514.
    EXPECT_NEAR(std::abs(p.getSample(512)), std::abs(p.getSample(513)), 1e-6 * std::abs(p.getSample(512)));
    EXPECT_GT(std::abs(p.getSample(512)), std::abs(p.getSample(511)));

    // A reference lends its grid.
    Pulse_ q(1024, nullptr);
    q.createGaussian(duration / 4, energy, wavelength, &p);
    EXPECT_EQ(q.get()->dt, p.get()->dt);
    EXPECT_EQ(q.get()->domega, p.get()->domega);
}

TEST(Pulse, RecentringMovesThePeakToTheCentreSample) {
    for (int domain : {optics::time, optics::frequency}) {
        SCOPED_TRACE(domain);
        Pulse_ p(1024, nullptr);
        setGrid(p, 1e-15L, 2 * 3.141592653589793L / (1024 * 1e-15L), 0, 0, optics::time);
        *p.getSamplePointer(599) = complex_(1, 0);
        if (domain == optics::frequency) optics::tofrequency(*p.get());
        p.recenter();
        EXPECT_EQ(p.get()->domain, domain) << "the pulse stays in its domain";
        optics::totime(*p.get());
        EXPECT_EQ(peakIndex(p), 512) << "kernel sample 513";
        EXPECT_NEAR(p.t0(), 87e-15, 1e-27);
    }
}

TEST(Pulse, WriteCutsLongNamesTo255Characters) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("pulse_write_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string prefix = dir.string() + "/";
    const std::string name = prefix + std::string(300 - prefix.size(), 'p');
    Pulse_ p(8, nullptr);
    setGrid(p, 1e-15L, 7.8e11L, 0, 2.35e15L, optics::time);
    p.write(name);
    p.write((prefix + "plain.dat").c_str());
    std::ifstream cut(name.substr(0, 255)), plain(prefix + "plain.dat");
    std::string first, second;
    EXPECT_TRUE(std::getline(cut, first));
    EXPECT_TRUE(std::getline(plain, second));
    EXPECT_NE(first.find("#Number of Samples:"), std::string::npos);
    EXPECT_NE(first.find('8'), std::string::npos);
    EXPECT_EQ(first, second);
    std::filesystem::remove_all(dir);
}

TEST(Pulse, PlugInRecordSharesTheSamplesAndCarriesTheGrid) {
    Pulse_ p(32, nullptr);
    fill(p);
    setGrid(p, 1.0L / 3, 2.0L / 3, 1e-12L, 2.35e15L, 5);

    cPulse_ c = p.toCPulse();
    EXPECT_EQ(c.samples, 32);
    EXPECT_EQ(static_cast<void*>(c.envelope), static_cast<void*>(p.getSamplePointer(0)));
    EXPECT_EQ(c.domain, 5) << "the domain word is handed over unchanged";
    EXPECT_EQ(c.dt, static_cast<double>(1.0L / 3));
    EXPECT_EQ(c.domega, static_cast<double>(2.0L / 3));
    EXPECT_EQ(c.t0, 1e-12);
    EXPECT_EQ(c.omega0, 2.35e15);

    // What the plug-in changes in place is the pulse's own sample.
    c.envelope[31].re = 7;
    c.envelope[31].im = 8;
    EXPECT_EQ(p.getSample(31), complex_(7, 8));

    p.fromcPulse(c);
    EXPECT_EQ(p.get()->domain, 1);
    EXPECT_EQ(p.get()->dt, static_cast<long double>(static_cast<double>(1.0L / 3)))
        << "grid values pass through double";
    for (int i = 0; i < 31; ++i) ASSERT_EQ(p.getSample(i), complex_(i, -i));

    c.domain = 0;
    c.dt = 2e-15;
    c.domega = 4e12;
    c.t0 = -1e-12;
    c.omega0 = 1e15;
    c.samples = 3;
    c.envelope = nullptr;
    p.fromcPulse(c);
    EXPECT_FALSE(p.domain());
    EXPECT_EQ(p.dt(), 2e-15);
    EXPECT_EQ(p.domega(), 4e12);
    EXPECT_EQ(p.t0(), -1e-12);
    EXPECT_EQ(p.omega0(), 1e15);
    EXPECT_EQ(p.getSamples(), 32) << "the plug-in cannot change the sample count";
    c.domain = -7;
    p.fromcPulse(c);
    EXPECT_EQ(p.get()->domain, 1);
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
