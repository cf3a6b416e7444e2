// The gnuplot plotter: its command stream byte for byte (kept by a process
// that copies its input to a file), the real gnuplot reading each kind of
// stream, a plotter without gnuplot that leaves the program running, and the
// monitor row that drives a plotter of its own.
#include "interface/plot.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "core/pulse.h"
#include "interface/monitornode.h"
#include "interface/parameter.h"
#include "kernel/grid.h"
#include "tests/core/logcapture.h"
#include "tests/interface/datafakes.h"

namespace {

using C = optics::complex_;

// Runs `draw` on a plotter whose process copies the stream to a file; the
// stream is complete once the plotter has closed its pipe.
std::string streamOf(const std::function<void(Plot_&)>& draw) {
    QTemporaryDir dir;
    const QString file = dir.filePath("stream");
    {
        Plot_ plotter("/usr/bin/tee", "'" + file.toStdString() + "' >/dev/null");
        EXPECT_TRUE(plotter.isOpen());
        draw(plotter);
    }
    QFile copy(file);
    EXPECT_TRUE(copy.open(QIODevice::ReadOnly));
    return copy.readAll().toStdString();
}

const std::string opening = "set terminal x11\n";
const std::string fresh = "reset\nunset multiplot\n";

std::string line(const char* format, double a) {
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

// The four panels of a pulse, line by line from the pulse itself.
std::string pulsePanels(const Pulse_& pulse) {
    const char* origins[] = {"0,.5", ".5,.5", "0,0", ".5,0"};
    const char* titles[] = {"Abs(V)", "Phase(V)", "Re(V)", "Im(V)"};
    std::string text = "reset\nset multiplot\n";
    for (int p = 0; p < 4; ++p) {
        text += std::string("set origin ") + origins[p] + "\nset size .5,.5\nplot \"-\" title \"" + titles[p] + "\" \n";
        for (int j = 1; j <= pulse.getSamples(); ++j) {
            const C s = pulse.getSample(j - 1);
            const double values[] = {std::sqrt(s.real() * s.real() + s.imag() * s.imag()), optics::phase(s), s.real(),
                                     s.imag()};
            text += line("%E ", optics::getx(*pulse.get(), j)) + line("%E\n", values[p]);
        }
        text += "e\n";
    }
    return text;
}

std::unique_ptr<Pulse_> gaussian(int samples) {
    auto pulse = std::make_unique<Pulse_>(samples, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    // A chirp, so that every panel has values to scale to.
    for (int i = 0; i < samples; ++i) *pulse->getSamplePointer(i) *= std::polar(1.0f, 0.1f * i * i);
    return pulse;
}

// The measurements and parameters of each plot kind.
class GnuplotTest : public ::testing::Test {
protected:
    void SetUp() override {
        array.reset(copying(DataType_::doubleprecision, {3}, values));
        for (int set = 0; set < 5; ++set) {
            for (int j = 0; j < 3; ++j) values[j] = set + j + 1;
            array->collect();
        }
        integers.reset(copying(DataType_::integer, {}, &count));
        collectEach(*integers, count, {4, 7});
        quads.reset(copying(DataType_::quadprecision, {}, &quad));
        collectEach<optics::quad_>(*quads, quad, {0.5L, 2.5L});
        complexes.reset(copying(DataType_::complex, {}, &c));
        collectEach(*complexes, c, {C(3, 4), C(0, -1)});
        pulses.reset(measurementOf(pulseCopy(*pulse)));
        pulses->collect();
        doubleParameter.setData(values);
        pulseParameter.setData(pulse.get());
    }

    double values[3] = {};
    int32_t count = 0;
    optics::quad_ quad = 0;
    C c;
    std::unique_ptr<Pulse_> pulse = gaussian(8);
    const int three = 3;
    const int eight = 8;
    std::unique_ptr<Measurement_> array, integers, quads, complexes, pulses;
    Parameter_ doubleParameter{DataType_::doubleprecision, 1, &three};
    Parameter_ pulseParameter{DataType_::pulse, 1, &eight};
};

TEST_F(GnuplotTest, EachPlotKindWritesItsExactStream) {
    EXPECT_EQ(streamOf([](Plot_&) {}), opening);
    // Data set 0 of the array held 1, 2, 3.
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(array.get(), 0); }),
              opening + fresh + "plot \"-\"\n1.000000E+00\n2.000000E+00\n3.000000E+00\ne\n");
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(integers.get(), 0); }), opening + fresh + "plot \"-\"\n4\n7\ne\n");
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(quads.get(), 3); }),
              opening + fresh + "plot \"-\"\n5.000000E-01\n2.500000E+00\ne\n");
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(array.get(), 9); }), opening + fresh);
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(array.get(), -1); }), opening);
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(pulses.get(), 0); }), opening + fresh + pulsePanels(*pulse));
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(&pulseParameter); }), opening + fresh + pulsePanels(*pulse));
    values[0] = -0.25;
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(&doubleParameter); }),
              opening + fresh + "plot \"-\"\n-2.500000E-01\n" + line("%E\n", values[1]) + line("%E\n", values[2]) +
                  "e\n");

    // (3, 4) and (0, -1): magnitude, phase, real and imaginary part.
    const double halfPi = 2 * std::atan(1.0);
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(complexes.get(), 0); }),
              opening + fresh + "reset\nset multiplot\n" +
                  "set origin 0,.5\nset size .5,.5\nplot \"-\" title \"Abs(x)\" \n5.000000E+00\n1.000000E+00\ne\n" +
                  "set origin .5,.5\nset size .5,.5\nplot \"-\" title \"Phase(x)\" \n" +
                  line("%E\n", std::atan(4.0 / 3.0)) + line("%E\n", -halfPi) + "e\n" +
                  "set origin 0,0\nset size .5,.5\nplot \"-\" title \"Re(x)\" \n3.000000E+00\n0.000000E+00\ne\n" +
                  "set origin .5,0\nset size .5,.5\nplot \"-\" title \"Im(x)\" \n4.000000E+00\n-1.000000E+00\ne\n");
}

TEST_F(GnuplotTest, TheRealGnuplotReadsEveryKindOfStream) {
    const std::vector<std::function<void(Plot_&)>> kinds = {
        [&](Plot_& p) { p.plot(array.get(), 4); },   [&](Plot_& p) { p.plot(integers.get(), 0); },
        [&](Plot_& p) { p.plot(quads.get(), 0); },   [&](Plot_& p) { p.plot(complexes.get(), 0); },
        [&](Plot_& p) { p.plot(pulses.get(), 0); },  [&](Plot_& p) { p.plot(&doubleParameter); },
        [&](Plot_& p) { p.plot(&pulseParameter); },
    };
    // Every kind, one after another, as one plotter sends them.
    std::string stream = streamOf([&](Plot_& p) {
        for (const auto& kind : kinds) kind(p);
    });
    ASSERT_EQ(stream.compare(0, opening.size(), opening), 0);
    // The window terminal replaced by a text terminal.
    stream.replace(0, opening.size(), "set terminal dumb\nset output '/dev/null'\n");
    QProcess gnuplot;
    gnuplot.start(Plot_::defaultProgram, QStringList());
    ASSERT_TRUE(gnuplot.waitForStarted());
    gnuplot.write(stream.data(), static_cast<qint64>(stream.size()));
    gnuplot.closeWriteChannel();
    ASSERT_TRUE(gnuplot.waitForFinished(60000));
    EXPECT_EQ(gnuplot.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gnuplot.exitCode(), 0);
    EXPECT_EQ(gnuplot.readAllStandardError().toStdString(), "");
}

TEST_F(GnuplotTest, WithoutAPlotFormOrWithoutGnuplotNothingIsPlottedAndTheProgramGoesOn) {
    LogCapture log;
    char flag = 1;
    std::unique_ptr<Measurement_> logical(copying(DataType_::logical, {}, &flag));
    logical->collect();
    EXPECT_EQ(streamOf([&](Plot_& p) { p.plot(logical.get(), 0); }), opening + fresh);
    EXPECT_EQ(log.count("FATAL: Unimplemented plot requested in Plot_::plot(Measurement_* M, int i)"), 1);

    {
        Plot_ missing("/nonexistent/gnuplot");
        EXPECT_FALSE(missing.isOpen());
        missing.plot(array.get(), 0);
        missing.plot(&pulseParameter);
        missing.plotPulse(pulse.get());
    }
    EXPECT_EQ(log.count("Could not open pipe to /nonexistent/gnuplot. Plotting will be disabled."), 1);

    // A plotter process that ends at once: more than a pipe's buffer of data
    // meets a closed pipe.
    std::unique_ptr<Pulse_> large = gaussian(1 << 14);
    Plot_ gone("/bin/true");
    gone.plotPulse(large.get());
    gone.plot(&pulseParameter);
    SUCCEED();
}

TEST_F(GnuplotTest, AMonitorRowShowsItsParameterAndPlotsOnlyArraysAndPulses) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("stream").toStdString();
    const auto capture = [&file] { return std::make_unique<Plot_>("/usr/bin/tee", "'" + file + "' >/dev/null"); };
    Parameter_ scalar(DataType_::integer, 0, nullptr);
    int32_t value = 12;
    scalar.setData(&value);
    MonitorNode_ scalarRow(&scalar, capture);
    EXPECT_EQ(scalarRow.text(1), "Integer");
    EXPECT_EQ(scalarRow.text(2), "0");
    EXPECT_EQ(scalarRow.text(3), "12");
    EXPECT_EQ(scalarRow.getPlot(), nullptr);

    values[0] = 1;
    values[1] = 2;
    values[2] = 3;
    auto* row = new MonitorNode_(&doubleParameter, capture);
    EXPECT_EQ(row->text(1), "Double");
    EXPECT_EQ(row->text(2), "1");
    ASSERT_NE(row->getPlot(), nullptr);
    row->refresh();
    delete row;  // closes the pipe
    QFile copy(QString::fromStdString(file));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const std::string plotted = fresh + "plot \"-\"\n1.000000E+00\n2.000000E+00\n3.000000E+00\ne\n";
    EXPECT_EQ(copy.readAll().toStdString(), opening + plotted + plotted);
}

}  // namespace
