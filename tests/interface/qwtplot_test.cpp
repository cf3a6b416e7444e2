// The window's plot: the points its curve holds for scalar series, data sets,
// pulses and parameters in each plot mode, and the curve kept when a request
// cannot be plotted.
#include "interface/qwtplot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/pulse.h"
#include "interface/parameter.h"
#include "kernel/grid.h"
#include "tests/core/logcapture.h"
#include "tests/interface/datafakes.h"

namespace {

using Mode = QwtPlot_::plotMode_;
using C = optics::complex_;

std::vector<double> ys(const QwtPlot_& plot) {
    std::vector<double> y;
    for (size_t i = 0; i < plot.getCurve().dataSize(); ++i) y.push_back(plot.getCurve().sample(static_cast<int>(i)).y());
    return y;
}

std::vector<double> xs(const QwtPlot_& plot) {
    std::vector<double> x;
    for (size_t i = 0; i < plot.getCurve().dataSize(); ++i) x.push_back(plot.getCurve().sample(static_cast<int>(i)).x());
    return x;
}

void expectNear(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "point " << i;
}

std::unique_ptr<Pulse_> gaussian(int samples) {
    auto pulse = std::make_unique<Pulse_>(samples, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    for (int i = 0; i < samples; ++i) *pulse->getSamplePointer(i) *= C(0.6f, -0.8f);  // a phase to show
    return pulse;
}

TEST(WindowPlot, ScalarSeriesShowEveryValueOverItsSetIndexWhateverIndexIsAsked) {
    const double pi4 = std::atan(1.0);
    struct Row {
        Mode mode;
        std::vector<double> y;
    };
    // (3, 4), (0, 1), (-1, 1): a zero real part has phase 0 here.
    for (const Row& row : {Row{QwtPlot_::real, {3, 0, -1}}, Row{QwtPlot_::imag, {4, 1, 1}},
                           Row{QwtPlot_::abs, {5, 1, std::sqrt(2.0)}},
                           Row{QwtPlot_::phase, {std::atan(4.0 / 3.0), 0, -pi4}}}) {
        C value;
        std::unique_ptr<Measurement_> m(copying(DataType_::complex, {}, &value));
        collectEach(*m, value, {C(3, 4), C(0, 1), C(-1, 1)});
        QwtPlot_ plot;
        plot.plotMode = row.mode;
        plot.setPlotData(m.get(), 7);
        expectNear(xs(plot), {0, 1, 2});
        expectNear(ys(plot), row.y);
        EXPECT_EQ(plot.getCurve().plot(), &plot);  // a series attaches itself
    }

    QwtPlot_ plot;
    double d;
    std::unique_ptr<Measurement_> doubles(copying(DataType_::doubleprecision, {}, &d));
    collectEach(*doubles, d, {0.5, -2.0, 8.0});
    plot.setPlotData(doubles.get(), -1);
    expectNear(ys(plot), {0.5, -2.0, 8.0});
    int32_t n;
    std::unique_ptr<Measurement_> integers(copying(DataType_::integer, {}, &n));
    collectEach(*integers, n, {4, 7});
    plot.setPlotData(integers.get(), 0);
    expectNear(ys(plot), {4, 7});
    optics::quad_ q;
    std::unique_ptr<Measurement_> quads(copying(DataType_::quadprecision, {}, &q));
    collectEach<optics::quad_>(*quads, q, {1.25L, 1e-20L});
    plot.setPlotData(quads.get(), 0);
    expectNear(ys(plot), {1.25, 1e-20});
    std::unique_ptr<Measurement_> none(copying(DataType_::doubleprecision, {}, &d));
    plot.setPlotData(none.get(), 0);
    EXPECT_EQ(plot.getCurve().dataSize(), 0u);
}

TEST(WindowPlot, ArrayDataSetsAreChosenByIndexAndABadIndexKeepsTheCurve) {
    double values[3];
    std::unique_ptr<Measurement_> m(copying(DataType_::doubleprecision, {3}, values));
    for (int set = 0; set < 5; ++set) {
        for (int j = 0; j < 3; ++j) values[j] = 10 * set + j;
        m->collect();
    }
    QwtPlot_ plot;
    plot.setPlotData(m.get(), -1);
    expectNear(xs(plot), {0, 1, 2});
    expectNear(ys(plot), {0, 1, 2});
    EXPECT_EQ(plot.getCurve().plot(), nullptr);  // shown only by plot()
    plot.plot(m.get(), 4);
    expectNear(ys(plot), {40, 41, 42});
    EXPECT_EQ(plot.getCurve().plot(), &plot);
    plot.setPlotData(m.get(), 5);
    plot.setPlotData(m.get(), -2);
    expectNear(ys(plot), {40, 41, 42});

    // What has no plot form is logged and keeps the curve too.
    LogCapture log;
    double grid[4] = {};
    std::unique_ptr<Measurement_> square(copying(DataType_::doubleprecision, {2, 2}, grid));
    square->collect();
    plot.setPlotData(square.get(), 0);
    EXPECT_EQ(log.count("Requested unimplemented plot dimension in void QwtPlot_::setPlotData(Measurement_* M, int i)"), 1);
    char flag = 1;
    std::unique_ptr<Measurement_> logical(copying(DataType_::logical, {}, &flag));
    logical->collect();
    plot.setPlotData(logical.get(), 0);
    EXPECT_EQ(log.count("Requested unimplemented plot type in void QwtPlot_::setPlotData(Measurement_* M, int i)"), 1);
    expectNear(ys(plot), {40, 41, 42});
}

TEST(WindowPlot, PulsesLieOnTheKernelsAxisInEveryMode) {
    const int n = 64;
    std::unique_ptr<Pulse_> pulse = gaussian(n);
    std::unique_ptr<Measurement_> m(measurementOf(pulseCopy(*pulse)));
    m->collect();
    QwtPlot_ plot;
    for (Mode mode : {QwtPlot_::real, QwtPlot_::imag, QwtPlot_::abs, QwtPlot_::phase}) {
        plot.plotMode = mode;
        plot.setPlotData(m.get(), -1);
        ASSERT_EQ(plot.getCurve().dataSize(), static_cast<size_t>(n));
        const std::vector<double> x = xs(plot), y = ys(plot);
        for (int i = 0; i < n; ++i) {
            // Engine sample i is kernel sample i + 1, the first at the grid's start.
            EXPECT_DOUBLE_EQ(x[i], optics::getx(*pulse->get(), i + 1));
            const C s = pulse->getSample(i);
            const double want[] = {s.real(), s.imag(), std::abs(s), pulse->getSamplePhase(i)};
            EXPECT_NEAR(y[i], want[mode], 1e-6 * std::abs(s) + 1e-12) << "mode " << mode << " sample " << i;
        }
    }
    EXPECT_DOUBLE_EQ(xs(plot).front(), static_cast<double>(optics::xmin(*pulse->get())));
}

TEST(WindowPlot, ParametersPlotTheirElementsAndAPulseParameterSwitchesToMagnitudes) {
    const int n = 3;
    QwtPlot_ plot;
    C values[n] = {C(1, 5), C(2, 6), C(3, 7)};
    Parameter_ complexArray(DataType_::complex, 1, &n);
    complexArray.setData(values);
    for (Mode mode : {QwtPlot_::real, QwtPlot_::imag, QwtPlot_::abs, QwtPlot_::phase}) {
        plot.plotMode = mode;
        plot.setPlotData(&complexArray);
        expectNear(ys(plot), {1, 2, 3});
    }
    char flags[n] = {0, 7, 1};
    Parameter_ logical(DataType_::logical, 1, &n);
    logical.setData(flags);
    plot.setPlotData(&logical);
    expectNear(xs(plot), {0, 1, 2});
    expectNear(ys(plot), {0, 1, 1});

    // Unplottable parameters keep the curve.
    LogCapture log;
    Parameter_ text(DataType_::string, 1, &n);
    text.setData(flags);
    plot.setPlotData(&text);
    EXPECT_EQ(log.count("Internal error in QwtPlot_::setPlotData(Parameter_* P)"), 1);
    Parameter_ unbound(DataType_::doubleprecision, 1, &n);
    plot.setPlotData(&unbound);
    Parameter_ scalar(DataType_::doubleprecision, 0, nullptr);
    double d = 3;
    scalar.setData(&d);
    plot.setPlotData(&scalar);
    expectNear(ys(plot), {0, 1, 1});

    std::unique_ptr<Pulse_> pulse = gaussian(32);
    const int samples = 32;
    Parameter_ pulseParameter(DataType_::pulse, 1, &samples);
    pulseParameter.setData(pulse.get());
    plot.plotMode = QwtPlot_::real;
    plot.setPlotData(&pulseParameter);
    EXPECT_EQ(plot.plotMode, QwtPlot_::abs);
    EXPECT_NEAR(ys(plot)[16], std::abs(pulse->getSample(16)), 1e-9);
    C c;
    std::unique_ptr<Measurement_> series(copying(DataType_::complex, {}, &c));
    collectEach(*series, c, {C(3, 4)});
    plot.setPlotData(series.get(), 0);
    expectNear(ys(plot), {5});
}

TEST(WindowPlot, ResetEmptiesThePlotAndPlotShowsTheLastPointsAgain) {
    QwtPlot_ plot;
    plot.plot(nullptr, -1);
    EXPECT_EQ(plot.getCurve().plot(), &plot);
    EXPECT_EQ(plot.getCurve().dataSize(), 0u);
    const double x[] = {1, 2}, y[] = {3, 4};
    plot.setPlotData(x, y, 2);
    plot.reset();
    EXPECT_EQ(plot.getCurve().plot(), nullptr);
    EXPECT_EQ(plot.getSamples(), 0);
    plot.plot(nullptr, -1);
    expectNear(xs(plot), {1, 2});
    expectNear(ys(plot), {3, 4});
}

}  // namespace
