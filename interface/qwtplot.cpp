#include "interface/qwtplot.h"

#include <QFontMetrics>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <complex>
#include <cstdint>

#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/pulse.h"
#include "interface/parameter.h"
#include "kernel/cinterface.h"

namespace {
const char* const unimplementedType =
    "Requested unimplemented plot type in void QwtPlot_::setPlotData(Measurement_* M, int i)";
const char* const unimplementedDimension =
    "Requested unimplemented plot dimension in void QwtPlot_::setPlotData(Measurement_* M, int i)";
const char* const unplottableParameter = "Internal error in QwtPlot_::setPlotData(Parameter_* P)";

// Qwt's own number of major ticks, the most an axis gets.
constexpr int mostMajorTicks = 8;

// Whether two neighbouring labels of the scale overlap, or side by side come
// closer than a digit's width; stacked labels are kept apart by their line
// height already.
bool labelsCrowd(const QwtScaleWidget& scale) {
    const QwtScaleDraw* draw = scale.scaleDraw();
    const double half =
        draw->orientation() == Qt::Horizontal ? QFontMetrics(scale.font()).horizontalAdvance('0') / 2.0 : 0.0;
    QRectF previous;
    for (const double tick : draw->scaleDiv().ticks(QwtScaleDiv::MajorTick)) {
        const QRectF label =
            draw->labelRect(scale.font(), tick).translated(draw->labelPosition(tick)).adjusted(-half, 0, half, 0);
        if (label.intersects(previous)) return true;
        previous = label;
    }
    return false;
}
}  // namespace

QwtPlot_::QwtPlot_(QWidget* parent) : QwtPlot(parent) {}

// The curve, a member, is destroyed and so detached before the Qwt plot.
QwtPlot_::~QwtPlot_() = default;

// The axes go back to their first range too: a plot without a curve would
// otherwise keep the scale of the data it last showed.
void QwtPlot_::reset() {
    clearPoints();
    Curve.detach();
    for (int axis = 0; axis < axisCnt; ++axis) {
        setAxisScale(axis, 0, 1000);
        setAxisAutoScale(axis, true);
    }
    redraw();
}

// The axes are laid out for the new labels before drawing: a plot on a hidden
// tab gets no layout request, and its labels would be cut to the old width.
void QwtPlot_::redraw() {
    fitAxes();
    replot();
}

// From Qwt's default down, one tick fewer on each axis whose labels crowd,
// until none does: the axes' lengths depend on each other's label sizes.
void QwtPlot_::fitAxes() {
    for (int axis = 0; axis < axisCnt; ++axis) setAxisMaxMajor(axis, mostMajorTicks);
    for (bool fewer = true; fewer;) {
        updateAxes();
        updateLayout();
        fewer = false;
        for (int axis = 0; axis < axisCnt; ++axis) {
            if (axisEnabled(axis) && axisMaxMajor(axis) > 1 && labelsCrowd(*axisWidget(axis))) {
                setAxisMaxMajor(axis, axisMaxMajor(axis) - 1);
                fewer = true;
            }
        }
    }
}

void QwtPlot_::resizeEvent(QResizeEvent* event) {
    QwtPlot::resizeEvent(event);
    redraw();
}

void QwtPlot_::showEvent(QShowEvent* event) {
    QwtPlot::showEvent(event);
    redraw();
}

void QwtPlot_::clearPoints() {
    x = QVector<double>();
    y = QVector<double>();
    samples = 0;
}

void QwtPlot_::allocatePoints(int n) {
    samples = n;
    x = QVector<double>(n);
    y = QVector<double>(n);
}

void QwtPlot_::showPoints() { Curve.setSamples(x, y); }

double QwtPlot_::reduce(float re, float im) const {
    switch (plotMode) {
        case real:
            return re;
        case imag:
            return im;
        case abs:
            return std::sqrt(static_cast<double>(re) * re + static_cast<double>(im) * im);
        case phase:
            return re != 0.0f ? std::atan(static_cast<double>(im) / re) : 0.0;
    }
    return re;
}

void QwtPlot_::setPlotData(const double* dx, const double* dy, int n) {
    clearPoints();
    if (!dx || !dy || n < 0) n = 0;
    samples = n;
    Curve.setSamples(dx, dy, n);
}

void QwtPlot_::setPlotData(Pulse_* P) {
    clearPoints();
    if (!P) return;
    const int n = P->getSamples();
    allocatePoints(n);
    double* px = x.data();
    double* py = y.data();
    for (int i = 0; i < n; ++i) {
        // Engine sample i is the kernel's sample i + 1.
        px[i] = P->x(i + 1);
        const optics::complex_ s = P->getSample(i);
        switch (plotMode) {
            case real:
                py[i] = s.real();
                break;
            case imag:
                py[i] = s.imag();
                break;
            case abs:
                py[i] = std::sqrt(s.real() * s.real() + s.imag() * s.imag());
                break;
            case phase:
                py[i] = P->getSamplePhase(i);
                break;
        }
    }
    showPoints();
}

void QwtPlot_::setPlotData(Parameter_* P) {
    if (!P) {
        clearPoints();
        return;
    }
    setPlotData(*P->getShape(), P->getData());
}

void QwtPlot_::setPlotData(const DataShape_& shape, const void* block) {
    clearPoints();
    if (shape.getDimension() != 1 || !block) return;
    const int n = shape.getSamples()[0];
    switch (shape.getType().get()) {
        case DataType_::logical:
        case DataType_::integer:
        case DataType_::doubleprecision:
        case DataType_::complex:
            break;
        case DataType_::pulse:
            plotMode = abs;
            setPlotData(static_cast<Pulse_*>(shape.getSample(0, const_cast<void*>(block))));
            return;
        default:
            logError(unplottableParameter, normal);
            return;
    }
    allocatePoints(n);
    for (int k = 0; k < n; ++k) {
        x[k] = k;
        switch (shape.getType().get()) {
            case DataType_::logical:
                y[k] = static_cast<const char*>(block)[k] != 0 ? 1.0 : 0.0;
                break;
            case DataType_::integer:
                y[k] = static_cast<const int32_t*>(block)[k];
                break;
            case DataType_::doubleprecision:
                y[k] = static_cast<const double*>(block)[k];
                break;
            default:
                y[k] = static_cast<const optics::complex_*>(block)[k].real();
                break;
        }
    }
    showPoints();
}

void QwtPlot_::setPlotData(Measurement_* M, int i) {
    clearPoints();
    const Operation_* op = M ? M->getOperation() : nullptr;
    if (!op) return;
    const DataShape_& result = *op->getShape();
    const DataType_::type_ type = result.getType().get();
    const int sets = M->getInMemory();

    if (result.getDimension() == 0) {
        if (type != DataType_::doubleprecision && type != DataType_::integer && type != DataType_::complex &&
            type != DataType_::quadprecision) {
            logError(unimplementedType, normal);
            return;
        }
        allocatePoints(sets);
        for (int j = 0; j < sets; ++j) {
            const void* value = M->getSample(j, nullptr);
            x[j] = j;
            switch (type) {
                case DataType_::doubleprecision:
                    y[j] = *static_cast<const double*>(value);
                    break;
                case DataType_::integer:
                    y[j] = *static_cast<const int32_t*>(value);
                    break;
                case DataType_::complex: {
                    const auto* c = static_cast<const optics::complex_*>(value);
                    y[j] = reduce(c->real(), c->imag());
                    break;
                }
                default:
                    y[j] = cinterface::todouble(*static_cast<const optics::quad_*>(value));
                    break;
            }
        }
        showPoints();
        Curve.attach(this);
        return;
    }

    if (result.getDimension() == 1) {
        const int k = i == -1 ? 0 : i;
        if (static_cast<unsigned>(k) >= static_cast<unsigned>(sets)) return;
        void* set = M->getSample(k, nullptr);
        if (type == DataType_::doubleprecision) {
            const int n = result.getSamples()[0];
            allocatePoints(n);
            for (int j = 0; j < n; ++j) {
                x[j] = j;
                y[j] = static_cast<const double*>(set)[j];
            }
            showPoints();
        } else if (type == DataType_::pulse) {
            setPlotData(static_cast<Pulse_*>(result.getSample(0, set)));
        } else {
            logError(unimplementedType, normal);
        }
        return;
    }

    logError(unimplementedDimension, normal);
}

void QwtPlot_::plot(Measurement_* M, int i) {
    if (M) setPlotData(M, i);
    Curve.attach(this);
    redraw();
}
