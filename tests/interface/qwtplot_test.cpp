// The window's plot: the points its curve holds for scalar series, data sets,
// pulses and parameters in each plot mode, and the curve kept when a request
// cannot be plotted.
#include "interface/qwtplot.h"

#include <QCoreApplication>
#include <QLocale>
#include <gtest/gtest.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "core/pulse.h"
#include "interface/parameter.h"
#include "kernel/grid.h"
#include "tests/core/logcapture.h"
#include "tests/interface/datafakes.h"

namespace {

using C = optics::complex_;
const QwtPlot_::plotMode_ modes[] = {QwtPlot_::real, QwtPlot_::imag, QwtPlot_::abs, QwtPlot_::phase};

// The curve's x (or y) values.
std::vector<double> axis(const QwtPlot_& plot, bool y) {
    std::vector<double> values;
    for (size_t i = 0; i < plot.getCurve().dataSize(); ++i) {
        const QPointF p = plot.getCurve().sample(static_cast<int>(i));
        values.push_back(y ? p.y() : p.x());
    }
    return values;
}

void expectYs(const QwtPlot_& plot, const std::vector<double>& want) {
    const std::vector<double> got = axis(plot, true);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "point " << i;
}

// A chirped Gaussian: every mode has something to show.
std::unique_ptr<Pulse_> chirped(int samples) {
    auto pulse = std::make_unique<Pulse_>(samples, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    for (int i = 0; i < samples; ++i) *pulse->getSamplePointer(i) *= std::polar(1.0f, 0.1f * i * i);
    return pulse;
}

TEST(WindowPlot, ScalarSeriesShowEveryValueOverItsSetIndexWhateverIndexIsAsked) {
    // (3, 4), (0, 1), (-1, 1), one row per mode; a zero real part has phase 0 here.
    const std::vector<double> rows[] = {
        {3, 0, -1}, {4, 1, 1}, {5, 1, std::sqrt(2.0)}, {std::atan(4.0 / 3.0), 0, -std::atan(1.0)}};
    C value;
    std::unique_ptr<Measurement_> m(copying(DataType_::complex, {}, &value));
    collectEach(*m, value, {C(3, 4), C(0, 1), C(-1, 1)});
    for (QwtPlot_::plotMode_ mode : modes) {
        QwtPlot_ plot;
        plot.plotMode = mode;
        plot.setPlotData(m.get(), 7);
        EXPECT_EQ(axis(plot, false), (std::vector<double>{0, 1, 2}));
        expectYs(plot, rows[mode]);
        EXPECT_EQ(plot.getCurve().plot(), &plot);  // a series attaches itself
    }

    QwtPlot_ plot;
    int32_t n;
    std::unique_ptr<Measurement_> integers(copying(DataType_::integer, {}, &n));
    collectEach(*integers, n, {4, 7});
    plot.setPlotData(integers.get(), -1);
    expectYs(plot, {4, 7});
    optics::quad_ q;
    std::unique_ptr<Measurement_> quads(copying(DataType_::quadprecision, {}, &q));
    collectEach<optics::quad_>(*quads, q, {1.25L, 1e-20L});
    plot.setPlotData(quads.get(), 0);
    expectYs(plot, {1.25, 1e-20});
    std::unique_ptr<Measurement_> none(copying(DataType_::integer, {}, &n));
    plot.setPlotData(none.get(), 0);
    EXPECT_EQ(plot.getCurve().dataSize(), 0u);
}

TEST(WindowPlot, ArrayDataSetsAreChosenByIndexAndWhatCannotBePlottedKeepsTheCurve) {
    double values[3];
    std::unique_ptr<Measurement_> m(copying(DataType_::doubleprecision, {3}, values));
    for (int set = 0; set < 5; ++set) {
        for (int j = 0; j < 3; ++j) values[j] = 10 * set + j;
        m->collect();
    }
    QwtPlot_ plot;
    plot.setPlotData(m.get(), -1);
    EXPECT_EQ(axis(plot, false), (std::vector<double>{0, 1, 2}));
    expectYs(plot, {0, 1, 2});
    EXPECT_EQ(plot.getCurve().plot(), nullptr);  // shown only by plot()
    plot.plot(m.get(), 4);
    expectYs(plot, {40, 41, 42});
    EXPECT_EQ(plot.getCurve().plot(), &plot);

    LogCapture log;
    plot.setPlotData(m.get(), 5);
    plot.setPlotData(m.get(), -2);
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
    expectYs(plot, {40, 41, 42});
}

TEST(WindowPlot, PulsesLieOnTheKernelsAxisInEveryMode) {
    const int n = 64;
    std::unique_ptr<Pulse_> pulse = chirped(n);
    std::unique_ptr<Measurement_> m(measurementOf(pulseCopy(*pulse)));
    m->collect();
    QwtPlot_ plot;
    for (QwtPlot_::plotMode_ mode : modes) {
        plot.plotMode = mode;
        plot.setPlotData(m.get(), -1);
        const std::vector<double> x = axis(plot, false), y = axis(plot, true);
        ASSERT_EQ(y.size(), static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            // Engine sample i is kernel sample i + 1: the first lies at the grid's start.
            EXPECT_DOUBLE_EQ(x[i], optics::getx(*pulse->get(), i + 1));
            const C s = pulse->getSample(i);
            const double want[] = {s.real(), s.imag(), std::abs(s), pulse->getSamplePhase(i)};
            EXPECT_NEAR(y[i], want[mode], 1e-6 * std::abs(s) + 1e-12) << "mode " << mode << " sample " << i;
        }
        EXPECT_DOUBLE_EQ(x.front(), static_cast<double>(optics::xmin(*pulse->get())));
    }
}

TEST(WindowPlot, ParametersPlotTheirElementsAndAPulseParameterSwitchesToMagnitudes) {
    const int n = 3;
    QwtPlot_ plot;
    C values[n] = {C(1, 5), C(2, 6), C(3, 7)};
    Parameter_ complexArray(DataType_::complex, 1, &n);
    complexArray.setData(values);
    for (QwtPlot_::plotMode_ mode : modes) {
        plot.plotMode = mode;
        plot.setPlotData(&complexArray);
        expectYs(plot, {1, 2, 3});
    }
    char flags[n] = {0, 7, 1};
    Parameter_ logical(DataType_::logical, 1, &n);
    logical.setData(flags);
    plot.setPlotData(&logical);
    expectYs(plot, {0, 1, 1});

    LogCapture log;
    Parameter_ text(DataType_::string, 1, &n);
    text.setData(flags);
    plot.setPlotData(&text);
    EXPECT_EQ(log.count("Internal error in QwtPlot_::setPlotData(Parameter_* P)"), 1);
    Parameter_ unbound(DataType_::doubleprecision, 1, &n);
    plot.setPlotData(&unbound);
    expectYs(plot, {0, 1, 1});

    const int samples = 32;
    std::unique_ptr<Pulse_> pulse = chirped(samples);
    Parameter_ pulseParameter(DataType_::pulse, 1, &samples);
    pulseParameter.setData(pulse.get());
    plot.plotMode = QwtPlot_::real;
    plot.setPlotData(&pulseParameter);
    EXPECT_EQ(plot.plotMode, QwtPlot_::abs);
    EXPECT_NEAR(axis(plot, true)[16], std::abs(pulse->getSample(16)), 1e-6 * std::abs(pulse->getSample(16)));
    C c;
    std::unique_ptr<Measurement_> series(copying(DataType_::complex, {}, &c));
    collectEach(*series, c, {C(3, 4)});
    plot.setPlotData(series.get(), 0);
    expectYs(plot, {5});
}

TEST(WindowPlot, ResetEmptiesThePlotAndPlotShowsTheLastPointsAgain) {
    QwtPlot_ plot;
    plot.plot(nullptr, -1);
    EXPECT_EQ(plot.getCurve().plot(), &plot);
    EXPECT_EQ(plot.getCurve().dataSize(), 0u);
    const double x[] = {1, 2}, y[] = {3, 4};
    plot.setPlotData(x, y, 2);
    plot.plot(nullptr, -1);
    plot.reset();
    EXPECT_EQ(plot.getCurve().plot(), nullptr);
    EXPECT_EQ(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), 1000) << "the scale of the last data stays";
    plot.plot(nullptr, -1);
    EXPECT_EQ(axis(plot, false), (std::vector<double>{1, 2}));
    expectYs(plot, {3, 4});
}

// Each label of the value axis is a whole number that fits the axis, also
// when the data changed while the plot's tab was hidden.
TEST(WindowPlot, AxisLabelsShowWholeNumbersAlsoAfterAChangeWhileHidden) {
    QWidget tab;
    auto* plot = new QwtPlot_(&tab);
    plot->resize(400, 300);
    tab.show();
    const double x[] = {0, 9};
    const std::vector<double> rows[] = {{40, 160}, {3.2e-7, 3.3e-7}, {-1e-13, 5e-13}};
    for (const std::vector<double>& y : rows) {
        SCOPED_TRACE(y[1]);
        tab.hide();
        plot->setPlotData(x, y.data(), 2);
        plot->plot(nullptr, -1);
        tab.show();
        QCoreApplication::processEvents();
        const QwtScaleWidget* axis = plot->axisWidget(QwtPlot::yLeft);
        const QwtScaleDraw* draw = axis->scaleDraw();
        EXPECT_GE(axis->width(), draw->maxLabelWidth(axis->font()));
        for (const double tick : draw->scaleDiv().ticks(QwtScaleDiv::MajorTick)) {
            bool number = false;
            const double shown = QLocale().toDouble(draw->label(tick).text(), &number);
            EXPECT_TRUE(number);
            EXPECT_NEAR(shown, tick, 1e-5 * (y[1] - y[0])) << draw->label(tick).text().toStdString();
        }
    }
}

}  // namespace
