#pragma once
// A tree row that watches one parameter: its type, dimension and value text
// in columns 1 to 3, and arrays and pulses sent to a gnuplot plotter of the
// row's own, made when first needed.
#include <QTreeWidgetItem>
#include <functional>
#include <memory>

class Parameter_;
class Plot_;

class MonitorNode_ : public QTreeWidgetItem {
public:
    using PlotFactory = std::function<std::unique_ptr<Plot_>()>;

    // The parameter is not owned. Without a factory the plotter drives the
    // system's gnuplot. Refreshes the row at once.
    explicit MonitorNode_(Parameter_* P, PlotFactory makePlot = nullptr);
    // Closes the plotter's pipe.
    ~MonitorNode_() override;

    // Rewrites columns 1 to 3 and plots an array or pulse; column 0 is the creator's.
    void refresh();

    // Null until an array or pulse was plotted.
    Plot_* getPlot() const { return Plot.get(); }

private:
    Parameter_* Parameter;
    PlotFactory makePlot;
    std::unique_ptr<Plot_> Plot;
};
