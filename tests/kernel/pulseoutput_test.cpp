#include "kernel/pulseoutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/optics.h"
#include "kernel/tools.h"
#include "pulsefixtures.h"
#include "scratch.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

constexpr double kDuration = 60e-15;

std::vector<double> numbers(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> out;
    for (double v; in >> v;) out.push_back(v);
    return out;
}

// The value after the label of a header line, read back in full precision.
quad_ headervalue(const std::string& line, const std::string& label) {
    const size_t at = line.find(label);
    EXPECT_NE(at, std::string::npos) << line;
    return std::strtold(line.c_str() + at + label.size(), nullptr);
}

// Four decimals in scientific notation: 5e-5 of the value, and zero as zero.
void expectrow(const std::vector<double>& row, size_t column, double value) {
    EXPECT_NEAR(row.at(column), value, 5e-5 * std::fabs(value)) << "column " << column;
}

void expectsample(const std::vector<double>& row, size_t column, const complex_& s) {
    expectrow(row, column, std::abs(s));
    expectrow(row, column + 1, optics::phase(s));
    expectrow(row, column + 2, s.real());
    expectrow(row, column + 3, s.imag());
}

class PulseOutput : public Reports {
protected:
    scratch::Path path{"pulse"};
    tools::string_ name() const { return tools::char2str(path.str()); }
};

TEST_F(PulseOutput, TimeDomainPulseGivesTheGridHeaderAndOneRowPerSample) {
    pulse_ p = gaussian(1024, kDuration, 1e-9, 1.03e-6);
    p.t = 2.5e-12L;
    optics::writepulse(p, name());
    const std::vector<std::string> lines = scratch::readlines(path.str());
    ASSERT_EQ(lines.size(), 7u + 1024u);
    EXPECT_EQ(lines[0].rfind(" #Number of Samples:", 0), 0u);
    EXPECT_EQ(numbers(lines[0].substr(20)), std::vector<double>{1024});
    EXPECT_EQ(headervalue(lines[1], " #dx:"), p.dt);
    EXPECT_NEAR(static_cast<double>(headervalue(lines[2], " #lambda0:")), 1.03e-6, 1e-20);
    EXPECT_EQ(headervalue(lines[3], " #t0:"), p.t);
    EXPECT_EQ(lines[4], " #Not Including Polarization");
    EXPECT_EQ(lines[5], " #Time domain");
    EXPECT_EQ(lines[6], " #x, abs, phase, re, im");

    const double dt = static_cast<double>(p.dt);
    for (int32_t i = 1; i <= 1024; ++i) {
        const std::vector<double> row = numbers(lines[6 + i]);
        ASSERT_EQ(row.size(), 5u) << lines[6 + i];
        expectrow(row, 0, (i - 512) * dt);
        expectsample(row, 1, p.envelope(i));
    }
    EXPECT_NEAR(numbers(lines[7])[0], -511 * dt, 5e-5 * 511 * dt);
    EXPECT_NEAR(numbers(lines.back())[0], 512 * dt, 5e-5 * 512 * dt);
    EXPECT_TRUE(messages().empty());
}

TEST_F(PulseOutput, OtherDomainWritesTheSpectrumUnderTheGivenGrid) {
    pulse_ p = gaussian(256, kDuration);
    p.t = -1e-13L;
    // A carrier offset gives the spectrum a phase worth checking.
    for (int32_t i = 1; i <= 256; ++i) p.envelope(i) *= std::polar(1.0f, 0.3f * i);
    const pulse_ before = p;
    optics::writepulse(p, name(), optics::frequency);
    EXPECT_EQ(values(p.envelope), values(before.envelope));
    EXPECT_EQ(p.domain, optics::time);

    pulse_ spectrum = p;
    optics::tofrequency(spectrum);
    const std::vector<std::string> lines = scratch::readlines(path.str());
    ASSERT_EQ(lines.size(), 7u + 256u);
    EXPECT_EQ(headervalue(lines[1], " #dx:"), p.dt);
    EXPECT_EQ(headervalue(lines[3], " #t0:"), p.t);
    EXPECT_EQ(lines[5], " #Frequency domain");
    for (int32_t i = 1; i <= 256; ++i) {
        const std::vector<double> row = numbers(lines[6 + i]);
        expectrow(row, 0, optics::getx(spectrum, i));
        expectsample(row, 1, spectrum.envelope(i));
    }
}

TEST_F(PulseOutput, PolarisedPulseWritesNineColumns) {
    pulse_ p = gaussian(64, 10e-15);
    p.u = p.envelope;
    p.v = p.envelope;
    for (auto& z : p.v) z = complex_(-z.imag(), z.real() * 2);
    p.envelope.allocate(64);
    optics::writepulse(p, name());
    const std::vector<std::string> lines = scratch::readlines(path.str());
    ASSERT_EQ(lines.size(), 7u + 64u);
    EXPECT_EQ(lines[4], " #Including Polarization");
    EXPECT_EQ(lines[6], " #x, abs(u), phase(u), re(u), im(u), abs(v), phase(v), re(v), im(v)");
    for (int32_t i = 1; i <= 64; ++i) {
        const std::vector<double> row = numbers(lines[6 + i]);
        ASSERT_EQ(row.size(), 9u);
        expectrow(row, 0, optics::getx(p, i));
        expectsample(row, 1, p.u(i));
        expectsample(row, 5, p.v(i));
    }

    // In the other domain the copy's rows keep the offsets of the given grid.
    optics::writepulse(p, name(), optics::frequency);
    pulse_ spectrum = p;
    optics::tofrequency(spectrum);
    const std::vector<std::string> converted = scratch::readlines(path.str());
    ASSERT_EQ(converted.size(), 7u + 64u);
    expectrow(numbers(converted[7]), 0, optics::getx(spectrum, 1));
    expectsample(numbers(converted[7]), 1, spectrum.u(1));
}

TEST_F(PulseOutput, OverlapPairsSamplesAcrossTheOriginOffset) {
    pulse_ a = gaussian(64, 10e-15);
    pulse_ b = gaussian(64, 20e-15);
    const quad_ dt = a.dt;
    b.t = 1e-13L;
    a.t = b.t + 2 * dt;
    optics::writeoverlap(a, b, name());
    const std::vector<std::string> lines = scratch::readlines(path.str());
    ASSERT_EQ(lines.size(), 3u + 2u * 62u);
    EXPECT_EQ(lines[0], " #Overlap");
    EXPECT_EQ(lines[1].rfind(" #Index goes from ", 0), 0u);
    std::istringstream range(lines[1]);
    std::string word;
    std::vector<std::string> words;
    while (range >> word) words.push_back(word);
    EXPECT_EQ(words, (std::vector<std::string>{"#Index", "goes", "from", "3", "to", "64", "in", "pulse1."}));
    EXPECT_EQ(numbers(lines[2].substr(lines[2].find("by") + 2)), std::vector<double>{2});
    EXPECT_EQ(lines[2].rfind(" #Pulse2 is shifted by ", 0), 0u);

    for (int32_t i = 3; i <= 64; ++i) {
        const std::vector<double> first = numbers(lines[3 + 2 * (i - 3)]);
        const std::vector<double> second = numbers(lines[4 + 2 * (i - 3)]);
        ASSERT_EQ(first.size(), 5u);
        ASSERT_EQ(second.size(), 5u);
        expectrow(first, 0, static_cast<double>(a.t + optics::getx(a, i)));
        expectsample(first, 1, a.envelope(i));
        expectrow(second, 0, static_cast<double>(b.t + optics::getx(b, i - 2)));
        expectsample(second, 1, b.envelope(i - 2));
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(PulseOutput, OverlapWithAShorterSecondPulseStaysInsideIt) {
    pulse_ a = gaussian(64, 10e-15);
    pulse_ b = gaussian(32, 10e-15);
    a.t = 2 * a.dt;
    optics::writeoverlap(a, b, name());
    const std::vector<std::string> lines = scratch::readlines(path.str());
    ASSERT_EQ(lines.size(), 3u + 2u * 32u);
    const std::vector<double> range = numbers(lines[1].substr(lines[1].find("from") + 4));
    EXPECT_EQ(range.at(0), 3);
    EXPECT_EQ(numbers(lines[1].substr(lines[1].find("to") + 2)).at(0), 34);
    expectsample(numbers(lines.back()), 1, b.envelope(32));
}

TEST_F(PulseOutput, UnwritableFileIsReportedOnce) {
    const tools::string_ nowhere = tools::char2str("/nonexistent-directory/pulse.txt");
    const pulse_ p = gaussian(64, 10e-15);
    optics::writepulse(p, nowhere);
    optics::writeoverlap(p, p, nowhere);
    EXPECT_EQ(messages(), (std::vector<std::string>{"ERROR: Unable to open file for writing.",
                                                     "ERROR: Unable to open file for writing."}));
}

}  // namespace
