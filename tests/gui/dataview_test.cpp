// The data tab through the window's widgets and actions: what a selected data
// row puts in the plot in each plot mode, what the Plot action sends to
// gnuplot, and what is offered before any data exists.
#include <QFile>
#include <QFontMetrics>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "core/base.h"
#include "core/pulse.h"
#include "dialogs/setupstatuswidget.h"
#include "guitesting.h"
#include "interface/measurementnode.h"
#include "interface/measurementtreenode.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "mainwindow.h"
#include "tests/core/logcapture.h"
#include "tests/interface/datafakes.h"

namespace {

using guitesting::MessageBoxes;
using guitesting::WorkingDirectory;
using C = optics::complex_;

// A window with an experiment that is not running, as after a run.
class DataWindow : public MainWindow {
public:
    void makeExperiment() { Base = new Base_(this); }
};

class DataView : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<DataWindow>();
        // No test starts the system's gnuplot.
        window->setPlotProgram("/bin/cat", ">/dev/null");
        log.attach();
    }
    void TearDown() override {
        measurements.clear();
        window.reset();
        errortesting::reset();
    }

    // A new measurement node in the default setup's "Measurements" group.
    MeasurementNode_* addMeasurement() {
        QTreeWidgetItem* group = window->treeWidget->topLevelItem(0)->child(0);
        window->treeWidget->setCurrentItem(group);
        window->actionAdd_Measurement->trigger();
        return dynamic_cast<MeasurementNode_*>(group->child(group->childCount() - 1));
    }
    // The node's measurement of `value`, as if a run had built it.
    Measurement_& measure(MeasurementNode_* node, DataType_::type_ type, std::vector<int> extents, void* value) {
        Measurement_* m = copying(type, std::move(extents), value, node);
        measurements.emplace_back(m);
        node->Measurement = m;
        return *m;
    }
    static QTreeWidgetItem* row(MeasurementNode_* node) { return node->getMeasurementTreeNode(); }
    // The data set rows are made when the row opens.
    static QTreeWidgetItem* setRow(MeasurementNode_* node, int i) {
        row(node)->setExpanded(true);
        return row(node)->child(i);
    }
    void select(QTreeWidgetItem* item) {
        window->MeasurementTree->clearSelection();
        window->MeasurementTree->setCurrentItem(item);
    }

    QwtPlot_* plot() const { return window->plotBox->findChild<QwtPlot_*>(); }
    bool plotShowsCurve() const { return !plot()->itemList().isEmpty(); }
    std::vector<QPointF> points() const {
        std::vector<QPointF> p;
        for (size_t i = 0; i < plot()->getCurve().dataSize(); ++i) p.push_back(plot()->getCurve().sample(i));
        return p;
    }
    std::vector<double> ys() const {
        std::vector<double> v;
        for (const QPointF& p : points()) v.push_back(p.y());
        return v;
    }
    std::vector<bool> modesEnabled() const {
        return {window->radioButtonRe->isEnabled(), window->radioButtonIm->isEnabled(),
                window->radioButtonAbs->isEnabled(), window->radioButtonPhase->isEnabled()};
    }

    MessageBoxes boxes;
    WorkingDirectory dir{true};
    LogCapture log;
    std::unique_ptr<DataWindow> window;
    // Destroyed before the window, as a run's measurements go before their nodes.
    std::vector<std::unique_ptr<Measurement_>> measurements;
};

const std::vector<bool> none{false, false, false, false};
const std::vector<bool> reOnly{true, false, false, false};
const std::vector<bool> all{true, true, true, true};

TEST_F(DataView, BeforeAnyDataOrWithoutAnExperimentNothingIsOfferedOrPlotted) {
    MeasurementNode_* fresh = addMeasurement();
    double value = 2;
    MeasurementNode_* measured = addMeasurement();
    measure(measured, DataType_::doubleprecision, {}, &value).collect();

    select(row(fresh));
    EXPECT_EQ(modesEnabled(), none);
    EXPECT_TRUE(window->radioButtonRe->isChecked());
    for (QAction* a : {window->actionPlot, window->actionAnimate, window->actionSave_Selected, window->actionAnalyze,
                       window->actionAnalyze_As})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(plotShowsCurve());
    EXPECT_TRUE(window->measurementText->toPlainText().endsWith("Collected Samples: 0"));

    window->actionPlot->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Nothing to Plot");
    EXPECT_EQ(boxes.shown[0].text, "No data has been taken yet for this item");

    // Data without an experiment (no run built it) is not read.
    select(row(measured));
    EXPECT_EQ(modesEnabled(), none);
    EXPECT_FALSE(plotShowsCurve());
    EXPECT_TRUE(window->measurementText->toPlainText().endsWith("Collected Samples: 1"));
}

TEST_F(DataView, AScalarSeriesPlotsOnePointPerSetFromItsRowAndAnArrayOneSetPerRow) {
    window->makeExperiment();
    double value = 0;
    MeasurementNode_* energy = addMeasurement();
    collectEach(measure(energy, DataType_::doubleprecision, {}, &value), value, {1.5, -2.0, 4.0});
    double spectrum[3] = {};
    MeasurementNode_* array = addMeasurement();
    Measurement_& spectra = measure(array, DataType_::doubleprecision, {3}, spectrum);
    for (int set = 0; set < 5; ++set) {
        for (int j = 0; j < 3; ++j) spectrum[j] = 10 * set + j;
        spectra.collect();
    }
    window->redraw();

    select(row(energy));
    EXPECT_EQ(modesEnabled(), reOnly);
    EXPECT_EQ(points(), (std::vector<QPointF>{{0, 1.5}, {1, -2}, {2, 4}}));
    EXPECT_TRUE(plotShowsCurve());
    for (QAction* a : {window->actionPlot, window->actionSave_Selected, window->actionAnalyze, window->actionAnalyze_As})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_EQ(row(energy)->childCount(), 0);

    // Animation is not offered, and its action only says so.
    EXPECT_FALSE(window->actionAnimate->isEnabled());
    log.take();
    window->actionAnimate->trigger();
    EXPECT_EQ(log.count("Unimplemented function void void MainWindow::animateData() called"), 1);

    select(row(array));
    EXPECT_EQ(ys(), (std::vector<double>{0, 1, 2}));
    select(setRow(array, 2));
    EXPECT_EQ(points(), (std::vector<QPointF>{{0, 20}, {1, 21}, {2, 22}}));
    EXPECT_EQ(setRow(array, 4)->text(0), "Measurement2.4");
}

TEST_F(DataView, ComplexAndPulseDataArePlottedInTheChosenModeAndOtherDataResetsItToReal) {
    window->makeExperiment();
    C c;
    MeasurementNode_* field = addMeasurement();
    collectEach(measure(field, DataType_::complex, {}, &c), c, {C(3, 4), C(-1, 0), C(0, 2)});
    int32_t count = 0;
    MeasurementNode_* counts = addMeasurement();
    collectEach(measure(counts, DataType_::integer, {}, &count), count, {7});
    auto pulse = std::make_unique<Pulse_>(8, nullptr);
    pulse->createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    for (int i = 0; i < 8; ++i) *pulse->getSamplePointer(i) *= std::polar(1.0f, 0.3f * i);
    const int eight = 8;
    MeasurementNode_* pulses = addMeasurement();
    measure(pulses, DataType_::pulse, {8}, pulse.get()).collect();
    window->redraw();

    select(row(field));
    EXPECT_EQ(modesEnabled(), all);
    EXPECT_EQ(ys(), (std::vector<double>{3, -1, 0}));
    window->radioButtonIm->click();
    EXPECT_EQ(ys(), (std::vector<double>{4, 0, 2}));
    window->radioButtonAbs->click();
    EXPECT_EQ(ys(), (std::vector<double>{5, 1, 2}));
    window->radioButtonPhase->click();
    // The phase of a value on the imaginary axis is drawn as 0.
    EXPECT_EQ(ys(), (std::vector<double>{std::atan(4.0 / 3.0), 0, 0}));

    // Other data knows only its real value, and Re stays checked after it.
    select(row(counts));
    EXPECT_EQ(modesEnabled(), reOnly);
    EXPECT_TRUE(window->radioButtonRe->isChecked());
    EXPECT_EQ(ys(), (std::vector<double>{7}));
    select(row(field));
    EXPECT_TRUE(window->radioButtonRe->isChecked());
    EXPECT_EQ(ys(), (std::vector<double>{3, -1, 0}));

    // A pulse over its time axis; a checked mode stays across complex data.
    window->radioButtonAbs->click();
    select(setRow(pulses, 0));
    EXPECT_TRUE(window->radioButtonAbs->isChecked());
    const std::vector<QPointF> drawn = points();
    ASSERT_EQ(drawn.size(), static_cast<size_t>(eight));
    for (int i = 0; i < eight; ++i) {
        EXPECT_DOUBLE_EQ(drawn[i].x(), pulse->x(i + 1));
        EXPECT_NEAR(drawn[i].y(), std::abs(pulse->getSample(i)), 1e-6 * std::abs(pulse->getSample(4)));
    }
    window->radioButtonRe->click();
    EXPECT_NEAR(points()[3].y(), pulse->getSample(3).real(), 1e-6 * std::abs(pulse->getSample(4)));
}

TEST_F(DataView, DataWithoutAPlotFormIsLoggedAndLeavesThePlotEmpty) {
    window->makeExperiment();
    double value = 1;
    MeasurementNode_* series = addMeasurement();
    collectEach(measure(series, DataType_::doubleprecision, {}, &value), value, {1.0, 2.0});
    char flag = 1;
    MeasurementNode_* flags = addMeasurement();
    measure(flags, DataType_::logical, {}, &flag).collect();

    select(row(series));
    ASSERT_EQ(points().size(), 2u);
    log.take();
    select(row(flags));
    EXPECT_EQ(log.count("Requested unimplemented plot type in void QwtPlot_::setPlotData(Measurement_* M, int i)"), 1);
    EXPECT_TRUE(points().empty());
}

// What a reader of the plot's axes cannot read: a label over its neighbour
// or, side by side, less than a digit's width from it; or a label that is not
// its tick's whole number.
std::vector<std::string> unreadableLabels(const QwtPlot& plot) {
    std::vector<std::string> problems;
    for (const int axis : {QwtPlot::xBottom, QwtPlot::yLeft}) {
        const QwtScaleWidget* scale = plot.axisWidget(axis);
        const QwtScaleDraw* draw = scale->scaleDraw();
        const QList<double> ticks = draw->scaleDiv().ticks(QwtScaleDiv::MajorTick);
        const double half = axis == QwtPlot::xBottom ? QFontMetrics(scale->font()).horizontalAdvance('0') / 2.0 : 0;
        QRectF previous;
        for (const double tick : ticks) {
            const QString text = draw->label(tick).text();
            const QRectF rect =
                draw->labelRect(scale->font(), tick).translated(draw->labelPosition(tick)).adjusted(-half, 0, half, 0);
            if (rect.intersects(previous)) problems.push_back(text.toStdString() + " crowds its neighbour");
            if (std::abs(QLocale().toDouble(text) - tick) > 1e-3 * (ticks.last() - ticks.first()))
                problems.push_back(text.toStdString() + " is not " + std::to_string(tick));
            previous = rect;
        }
    }
    return problems;
}

// A 256-sample pulse about 4e-8 s long, of an energy that gives the value
// axis short or long labels, is drawn while its tab is hidden in the data tab
// and in the default setup's status tab: at the window's first size, then at
// its least, where the data tab's plot also has its least height.
TEST_F(DataView, EveryAxisLabelOfBothPlotsReadsAtAnyWindowSize) {
    window->makeExperiment();
    const int samples = 256;
    Pulse_ pulse(samples, nullptr);
    MeasurementNode_* pulses = addMeasurement();
    Measurement_& sets = measure(pulses, DataType_::pulse, {samples}, &pulse);
    const double energies[] = {1e-9, 1e-21};
    for (const double energy : energies) {
        pulse.createGaussian(1e-9, energy, 800e-9, nullptr);
        sets.collect();
    }
    window->redraw();
    auto* setup = dynamic_cast<SetupNode_*>(window->treeWidget->topLevelItem(0));
    QwtPlot_* status = dynamic_cast<SetupStatusWidget_*>(setup->getSetupStatusWidget())->getPlot();
    window->show();
    for (const bool least : {false, true}) {
        for (QWidget* tab : {window->tabData, window->tabStatus}) {
            for (int set = 0; set < 2; ++set) {
                window->tabWidget->setCurrentWidget(window->tabSetup);
                select(setRow(pulses, set));
                status->plot(&sets, set);
                if (least) {
                    window->resize(0, 0);
                    window->splitter_4->setSizes({window->height(), 0});
                }
                window->tabWidget->setCurrentWidget(tab);
                QCoreApplication::processEvents();
                SCOPED_TRACE(testing::Message() << tab->objectName().toStdString() << " at width " << window->width()
                                                << ", energy " << energies[set]);
                EXPECT_EQ(unreadableLabels(tab == window->tabData ? *plot() : *status), std::vector<std::string>{});
            }
        }
    }
}

// The stream a plotter made by the window wrote; complete once the window,
// and with it the plotter, has gone.
class GnuplotFromWindow : public DataView {
protected:
    void SetUp() override {
        DataView::SetUp();
        window->setPlotProgram("/usr/bin/tee", "'" + file.toStdString() + "' >/dev/null");
        window->makeExperiment();
    }
    QByteArray stream() {
        measurements.clear();
        window.reset();
        return WorkingDirectory::read(file);
    }

    QTemporaryDir dir;
    QString file = dir.filePath("stream");
};

TEST_F(GnuplotFromWindow, ThePlotActionSendsTheSelectedSetAndAScalarsWholeSeries) {
    double values[2] = {};
    MeasurementNode_* array = addMeasurement();
    Measurement_& pairs = measure(array, DataType_::doubleprecision, {2}, values);
    for (int set = 0; set < 3; ++set) {
        values[0] = set;
        values[1] = -set;
        pairs.collect();
    }
    char flag = 0;
    MeasurementNode_* flags = addMeasurement();
    measure(flags, DataType_::logical, {}, &flag).collect();
    window->redraw();

    // No row, or two rows: nothing, and no plotter is started.
    window->MeasurementTree->clearSelection();
    window->actionPlot->trigger();
    row(array)->setSelected(true);
    row(flags)->setSelected(true);
    window->actionPlot->trigger();
    EXPECT_FALSE(QFile::exists(file));
    window->MeasurementTree->clearSelection();

    select(row(array));
    window->actionPlot->trigger();
    select(setRow(array, 2));
    window->actionPlot->trigger();
    log.take();
    select(row(flags));
    window->actionPlot->trigger();
    EXPECT_EQ(log.count("FATAL: Unimplemented plot requested in Plot_::plot(Measurement_* M, int i)"), 1);

    const QByteArray fresh = "reset\nunset multiplot\n";
    EXPECT_EQ(stream(), "set terminal x11\n" + fresh + "plot \"-\"\n0.000000E+00\n0.000000E+00\ne\n" + fresh +
                            "plot \"-\"\n2.000000E+00\n-2.000000E+00\ne\n" + fresh);
}

TEST_F(DataView, WithoutGnuplotThePlotActionIsLoggedOnceAndTheWindowGoesOn) {
    window->setPlotProgram("/nonexistent/gnuplot");
    window->makeExperiment();
    double value = 3;
    MeasurementNode_* series = addMeasurement();
    measure(series, DataType_::doubleprecision, {}, &value).collect();
    select(row(series));
    log.take();
    window->actionPlot->trigger();
    window->actionPlot->trigger();
    EXPECT_EQ(log.count("Could not open pipe to /nonexistent/gnuplot. Plotting will be disabled."), 1);
    window->radioButtonRe->click();
    EXPECT_EQ(ys(), (std::vector<double>{3}));
}

}  // namespace
