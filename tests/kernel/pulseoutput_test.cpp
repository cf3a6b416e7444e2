#include "kernel/pulseoutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/optics.h"
#include "kernelerrors.h"
#include "pulsefixtures.h"
#include "scratch.h"

namespace {

using namespace pulsefixtures;
using optics::quad_;

// The value after a header label, read back in full precision.
quad_ header(const std::string& line, const std::string& label) {
    EXPECT_EQ(line.rfind(label, 0), 0u) << line;
    return std::strtold(line.c_str() + label.size(), nullptr);
}

// A row holds x, then |s|, phase, re, im of each sample, each to the four
// decimals of its scientific notation.
void expectrow(const std::string& line, double x, std::vector<complex_> samples) {
    std::vector<double> expected{x};
    for (const complex_& s : samples)
        expected.insert(expected.end(), {std::abs(s), optics::phase(s), s.real(), s.imag()});
    const std::vector<double> row = scratch::numbers(line);
    ASSERT_EQ(row.size(), expected.size()) << line;
    for (size_t k = 0; k < row.size(); ++k) EXPECT_NEAR(row[k], expected[k], 5e-5 * std::fabs(expected[k])) << line;
}

class PulseOutput : public kernelerrors::KernelErrors {
protected:
    scratch::Path path{"pulse"};
    tools::string_ name() const { return tools::char2str(path.str()); }
    std::vector<std::string> lines() const { return scratch::readlines(path.str()); }
};

TEST_F(PulseOutput, HeaderOfTheGivenPulseThenRowsInTheRequestedDomain) {
    pulse_ plain = gaussian(1024, 60e-15, 1e-9, 1.03e-6);
    plain.t = 2.5e-12L;
    for (int32_t i = 1; i <= 1024; ++i) plain.envelope(i) *= std::polar(1.0f, 0.3f * i);
    pulse_ polar = plain;
    polar.u = plain.envelope;
    polar.v = polar.u;
    for (auto& z : polar.v) z = complex_(-z.imag(), z.real() * 2);

    for (const pulse_* p : {&plain, &polar}) {
        const bool polarised = p->u.allocated();
        const pulse_ before = *p;
        pulse_ spectrum = *p;
        optics::tofrequency(spectrum);
        for (const bool time : {true, false}) {
            SCOPED_TRACE(std::string(polarised ? "polarised " : "plain ") + (time ? "time" : "frequency"));
            if (time)
                optics::writepulse(*p, name());
            else
                optics::writepulse(*p, name(), optics::frequency);
            const std::vector<std::string> text = lines();
            ASSERT_EQ(text.size(), 7u + 1024u);
            EXPECT_EQ(header(text[0], " #Number of Samples:"), 1024);
            EXPECT_EQ(header(text[1], " #dx:"), p->dt);
            EXPECT_NEAR(static_cast<double>(header(text[2], " #lambda0:")), 1.03e-6, 1e-20);
            EXPECT_EQ(header(text[3], " #t0:"), p->t);
            EXPECT_EQ(text[4], polarised ? " #Including Polarization" : " #Not Including Polarization");
            EXPECT_EQ(text[5], time ? " #Time domain" : " #Frequency domain");
            EXPECT_EQ(text[6], polarised ? " #x, abs(u), phase(u), re(u), im(u), abs(v), phase(v), re(v), im(v)"
                                         : " #x, abs, phase, re, im");
            const pulse_& rows = time ? *p : spectrum;
            for (int32_t i = 1; i <= 1024; ++i)
                expectrow(text[6 + i], optics::getx(rows, i),
                          polarised ? std::vector<complex_>{rows.u(i), rows.v(i)}
                                    : std::vector<complex_>{rows.envelope(i)});
        }
        EXPECT_NEAR(scratch::numbers(lines()[7])[0], -511 * static_cast<double>(p->domega), 1e-4 * 511 * p->domega);
        EXPECT_EQ(values(p->envelope), values(before.envelope));
        EXPECT_EQ(p->domain, optics::time);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(PulseOutput, OverlapPairsTheSamplesOfTheCommonRange) {
    pulse_ a = gaussian(64, 10e-15);
    pulse_ b = gaussian(64, 20e-15);
    b.t = 1e-13L;
    a.t = b.t + 2 * a.dt;
    optics::writeoverlap(a, b, name());
    std::vector<std::string> text = lines();
    ASSERT_EQ(text.size(), 3u + 2u * 62u);
    EXPECT_EQ(text[0], " #Overlap");
    std::istringstream words(text[1]);
    const std::vector<std::string> range{std::istream_iterator<std::string>(words), {}};
    EXPECT_EQ(range, (std::vector<std::string>{"#Index", "goes", "from", "3", "to", "64", "in", "pulse1."}));
    EXPECT_EQ(header(text[2], " #Pulse2 is shifted by "), 2);
    for (int32_t i = 3; i <= 64; ++i) {
        const size_t row = 3 + 2 * static_cast<size_t>(i - 3);
        expectrow(text[row], static_cast<double>(a.t + optics::getx(a, i)), {a.envelope(i)});
        expectrow(text[row + 1], static_cast<double>(b.t + optics::getx(b, i - 2)), {b.envelope(i - 2)});
    }

    // A shorter second pulse: only the pairs inside it.
    a.t = 2 * a.dt;
    optics::writeoverlap(a, gaussian(32, 10e-15), name());
    text = lines();
    ASSERT_EQ(text.size(), 3u + 2u * 32u);
    EXPECT_EQ(scratch::numbers(text[1].substr(text[1].find("from") + 4)), (std::vector<double>{3}));
    EXPECT_EQ(scratch::numbers(text[1].substr(text[1].find("to") + 2)), (std::vector<double>{34}));
    EXPECT_TRUE(messages().empty());

    const tools::string_ nowhere = tools::char2str("/nonexistent-directory/pulse.txt");
    optics::writepulse(a, nowhere);
    optics::writeoverlap(a, a, nowhere);
    EXPECT_EQ(messages(), std::vector<std::string>(2, "ERROR: Unable to open file for writing."));
}

}  // namespace
