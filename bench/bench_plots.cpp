// What the window's data view costs on the user-interface thread: a pulse of
// 2^16 samples handed to the in-window plot and drawn (its axes fitted to
// their labels first), and the data tree over 100 measurements that hold
// 10,000 data sets each: the first progress tick, the opening of one row
// (which lists its sets) and later ticks with every row open. Each must stay well under the 50 ms that would freeze the window.
#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <complex>
#include <memory>
#include <vector>

#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/parameterlink.h"
#include "core/pulse.h"
#include "interface/measurementnode.h"
#include "interface/measurementrow.h"
#include "interface/qwtplot.h"
#include "interface/setupnode.h"
#include "interface/treehost.h"
#include "tests/interface/plainhost.h"

namespace {

// A value the measurements read in place.
class Bound : public ParameterLink_ {
public:
    Bound(void* data, const DataShape_& shape) : data(data), shape(shape) {}
    void* getData() const override { return data; }
    const DataShape_* getShape() const override { return &shape; }

private:
    void* data;
    DataShape_ shape;
};

void BM_PlotPulseInWindow(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Pulse_ pulse(n, nullptr);
    pulse.createGaussian(100e-15, 1e-9, 800e-9, nullptr);
    for (int i = 0; i < n; ++i) *pulse.getSamplePointer(i) *= std::polar(1.0f, 1e-4f * i);
    QwtPlot_ plot;
    plot.resize(800, 500);
    plot.show();
    plot.plot(nullptr, -1);
    const QwtPlot_::plotMode_ modes[] = {QwtPlot_::real, QwtPlot_::abs};
    int k = 0;
    for (auto _ : state) {
        plot.plotMode = modes[k++ % 2];
        plot.setPlotData(&pulse);
        plot.plot(nullptr, -1);    // fits the axes to their labels and replots
        plot.canvas()->repaint();  // draw now, not at the next event loop pass
    }
    state.counters["points"] = plot.getSamples();
}
BENCHMARK(BM_PlotPulseInWindow)->Arg(1 << 16)->Unit(benchmark::kMillisecond);

// 100 measurement nodes under one setup, each with a measurement of four
// doubles that has collected `sets` data sets.
class DataTree {
public:
    static constexpr int nodes = 100;

    explicit DataTree(int sets) {
        Node_::setMainWindow(&host);
        host.dataTree->setColumnCount(2);
        host.window.resize(1000, 700);
        host.window.show();
        setup = new SetupNode_(host.setupTree);
        setup->setText(0, "Setup1");
        const int four = 4;
        const DataShape_ shape(DataType_(DataType_::doubleprecision), 1, &four);
        for (int i = 0; i < nodes; ++i) {
            auto* node = new MeasurementNode_;
            node->setText(0, QStringLiteral("Measurement%1").arg(i));
            setup->addChild(node);
            auto* op = new Operation_(Operation_::copy, DataType_(DataType_::doubleprecision), 1, &four);
            Bound source(value, shape);
            op->setParameter(0, &source);
            auto* m = new Measurement_(nullptr, node);
            m->setOperation(op);
            node->Measurement = m;
            measurements.emplace_back(m);
        }
        collect(sets);
    }
    ~DataTree() {
        measurements.clear();
        delete setup;
        Node_::setMainWindow(nullptr);
    }

    void collect(int sets) {
        for (auto& m : measurements)
            for (int k = 0; k < sets; ++k) m->collect();
    }
    // What the window does on each progress tick.
    void refresh() {
        for (int i = 0; i < host.dataTree->topLevelItemCount(); ++i)
            static_cast<MeasurementRow_*>(host.dataTree->topLevelItem(i))->refreshInfo();
        QApplication::processEvents();
    }
    // Opening a row as the user does; it lists its sets.
    void open(int i) {
        host.dataTree->topLevelItem(i)->setExpanded(true);
        QApplication::processEvents();
    }
    // Closes a row and drops its set rows, as before it was first opened.
    void close(int i) {
        QTreeWidgetItem* row = host.dataTree->topLevelItem(i);
        row->setExpanded(false);
        qDeleteAll(row->takeChildren());
        QApplication::processEvents();
    }
    int rows() const {
        int n = 0;
        for (int i = 0; i < host.dataTree->topLevelItemCount(); ++i) n += host.dataTree->topLevelItem(i)->childCount();
        return n;
    }

private:
    PlainHost host;
    SetupNode_* setup = nullptr;
    double value[4] = {1, 2, 3, 4};
    std::vector<std::unique_ptr<Measurement_>> measurements;
};

// The first tick after 10,000 sets each, every row closed.
void BM_DataTreeFirstRefresh(benchmark::State& state) {
    DataTree tree(static_cast<int>(state.range(0)));
    for (auto _ : state) tree.refresh();
    state.counters["rows"] = tree.rows();
}
BENCHMARK(BM_DataTreeFirstRefresh)->Arg(10000)->Unit(benchmark::kMillisecond);

// The user opens one row: its 10,000 set rows appear.
void BM_DataTreeOpenRow(benchmark::State& state) {
    DataTree tree(static_cast<int>(state.range(0)));
    tree.refresh();
    for (auto _ : state) {
        state.PauseTiming();
        tree.close(0);
        state.ResumeTiming();
        tree.open(0);
    }
    state.counters["rows"] = tree.rows();
}
BENCHMARK(BM_DataTreeOpenRow)->Arg(10000)->Unit(benchmark::kMillisecond);

// Later ticks with every row open: range(1) new sets per measurement.
void BM_DataTreeTickAllOpen(benchmark::State& state) {
    DataTree tree(static_cast<int>(state.range(0)));
    for (int i = 0; i < DataTree::nodes; ++i) tree.open(i);
    for (auto _ : state) {
        state.PauseTiming();
        tree.collect(static_cast<int>(state.range(1)));
        state.ResumeTiming();
        tree.refresh();
    }
    state.counters["rows"] = tree.rows();
}
BENCHMARK(BM_DataTreeTickAllOpen)->Args({10000, 0})->Args({10000, 10})->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
