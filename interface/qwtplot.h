#pragma once
// The plot widget of the window's data tab and of each status tab: one curve
// drawn from two arrays, a pulse, a one-dimensional parameter or a
// measurement's data (a scalar's whole series, or one data set of an array or
// pulse result). Complex values and pulses become real numbers by the plot
// mode. The curve keeps its own copy of the points it is handed, and keeps
// them until the next successful data change; a setter that stops early
// leaves the previous curve. User-interface thread only.
#include <QVector>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>

#include "logger.h"

class DataShape_;
class Measurement_;
class Parameter_;
class Pulse_;

class QwtPlot_ : public QwtPlot, public Logger_ {
public:
    enum plotMode_ { real = 0, imag = 1, abs = 2, phase = 3 };

    // The curve exists but is not attached.
    explicit QwtPlot_(QWidget* parent = nullptr);
    ~QwtPlot_() override;

    // Detaches the curve and replots: the plot is empty.
    void reset();
    // The first n points of the arrays, which the caller keeps.
    void setPlotData(const double* dx, const double* dy, int n);
    // The pulse's samples over its time or frequency axis, reduced by the mode.
    void setPlotData(Pulse_* P);
    // A one-dimensional parameter's value: its elements over their index (the
    // real parts of complex values), or for a pulse parameter its first pulse
    // as magnitudes (the mode becomes `abs` and stays so).
    void setPlotData(Parameter_* P);
    // The same for a value block of that shape (a copy of a live parameter).
    void setPlotData(const DataShape_& shape, const void* block);
    // Data set i of an array or pulse measurement (-1: the first); a scalar
    // measurement always gives its whole series and attaches the curve.
    void setPlotData(Measurement_* M, int i);
    // Sets the data from M when given, then attaches the curve and replots.
    void plot(Measurement_* M, int i);

    const QwtPlotCurve& getCurve() const { return Curve; }
    int getSamples() const { return samples; }

    // How complex values and pulse samples become real; the window sets it
    // from its plot-mode buttons before it sets data.
    plotMode_ plotMode = real;

protected:
    // The axes are fitted again to the plot's new size; a plot shown after a
    // change while hidden has its scales laid out only now.
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Fits the axes to their labels, then draws.
    void redraw();
    // Gives each axis the most major ticks whose labels stand apart at its
    // present length, and lays the plot out for them.
    void fitAxes();
    // Starts the next set of points.
    void clearPoints();
    void allocatePoints(int n);
    // Hands x and y to the curve (shared, never changed afterwards).
    void showPoints();
    // A complex value of a scalar series, by the mode.
    double reduce(float re, float im) const;

    QwtPlotCurve Curve;
    QVector<double> x;
    QVector<double> y;
    int samples = 0;
};
