#include "interface/accessor.h"

#include <QElapsedTimer>
#include <algorithm>
#include <complex>
#include <cstdint>
#include <mutex>

namespace {

class SteadyClock_ : public AccessorClock_ {
public:
    SteadyClock_() { timer.start(); }
    qint64 elapsed() const override { return timer.elapsed(); }
    void restart() override { timer.restart(); }

private:
    QElapsedTimer timer;
};

// A scalar as a point of the history: logical 0 or 1, complex by its real part,
// types without a numeric reading as 0.
double plotValue(LiveParameter_& P) {
    const void* value = P.getData();
    if (!value) return 0.0;
    switch (P.getShape().getType().get()) {
        case DataType_::logical: return *static_cast<const char*>(value) ? 1.0 : 0.0;
        case DataType_::integer: return *static_cast<const int32_t*>(value);
        case DataType_::doubleprecision: return *static_cast<const double*>(value);
        case DataType_::complex: return static_cast<const std::complex<float>*>(value)->real();
        default: return 0.0;
    }
}

// Scales a scalar live value by `percent`; other types stay as they are.
void scaleValue(LiveParameter_& P, int percent) {
    void* value = P.getData();
    if (!value || P.getDimension() != 0) return;
    switch (P.getShape().getType().get()) {
        case DataType_::integer: {
            auto* v = static_cast<int32_t*>(value);
            const int64_t scaled = int64_t(percent) * *v / 100;
            *v = int32_t(std::clamp<int64_t>(scaled, INT32_MIN, INT32_MAX));
            break;
        }
        case DataType_::doubleprecision:
            *static_cast<double*>(value) = percent * *static_cast<double*>(value) / 100.0;
            break;
        case DataType_::logical:
            if (percent != 100) *static_cast<char*>(value) = percent > 100;
            break;
        default:
            break;
    }
}

}  // namespace

ParameterValue_::ParameterValue_(LiveParameter_& parameter)
    : Shape(parameter.getShape()), data(Shape.copyData(parameter.getData())) {}

ParameterValue_::~ParameterValue_() { Shape.freeData(data); }

Accessor_::Accessor_(std::unique_ptr<AccessorClock_> clock)
    : clock(clock ? std::move(clock) : std::make_unique<SteadyClock_>()) {
    qRegisterMetaType<ParameterValuePtr>("ParameterValuePtr");
    qRegisterMetaType<QVector<double>>("QVector<double>");
    for (int i = 0; i < historySize; ++i) historyDataX[i] = i - historySize;
    std::fill(std::begin(historyDataY), std::end(historyDataY), 0.0);
}

Accessor_::~Accessor_() { releasePending(); }

void Accessor_::request(LiveParameter_* P, int interval) {
    if (!tryLock(waitMs)) {
        log("Could not get lock in mutex in Accessor_::request()", debugA);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    updateInterval = interval;
    ReadParameter = P;
    if (interval > 0 && P && P->getDimension() == 0) clearHistory();
}

void Accessor_::write(void* data, LiveParameter_* P) {
    if (!tryLock(waitMs)) {
        log("Could not get lock in mutex in Accessor_::write(void* data, Parameter_* P)", debugA);
        // The channel took the value; a skipped write must not leak it.
        if (P) P->getShape().freeData(data);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    releasePending();
    WriteParameter = P;
    writeData = data;
    WriteData.clear();
}

void Accessor_::write(QString data, LiveParameter_* P) {
    if (!tryLock(waitMs)) {
        log("Could not get lock in mutex in Accessor_::write(QString Data, Parameter_* P)", debugA);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    releasePending();
    WriteParameter = P;
    WriteData = std::move(data);
}

void Accessor_::tune(int percent, LiveParameter_* P) {
    if (!tryLock(waitMs)) {
        log("Could not get lock in mutex in Accessor_::tune(int percent, Parameter_* P)", debugA);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    releasePending();
    WriteParameter = P;
    writePercent = std::max(1, percent);
}

void Accessor_::simulationStarted() {
    if (!tryLock(waitMs)) {
        log("Could not get log in mutex in Accessor_::simulationStarted()", debugA);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    clock->restart();
}

void Accessor_::execute(const int& roundtrip) {
    if (!tryLock()) {
        log("Did not obtain lock in Accessor_::execute()", debugC);
        return;
    }
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    if (clock->elapsed() > throttleMs) {
        emit updateSetupStatus(roundtrip);
        if (roundtrip >= lastUpdate + updateInterval) {
            lastUpdate = roundtrip;
            if (ReadParameter) publish();
        }
        clock->restart();
    }
    applyWrite();
}

void Accessor_::simulationFinished() {
    emit updateSetupStatus(-1);
    // The user interface may be changing the watched parameter right now.
    if (!tryLock(waitMs)) return;
    std::unique_lock<QMutex> lock(*this, std::adopt_lock);
    if (ReadParameter) emit updateParameterDisplay(ReadParameter->getRealValue(nullptr));
}

void Accessor_::reset() {
    std::lock_guard<QMutex> lock(*this);
    releasePending();
    ReadParameter = nullptr;
    lastUpdate = -1;
    updateInterval = 100;
    clearHistory();
}

// The value is read before a pending write is applied: a tuned value shows
// at the next publication.
void Accessor_::publish() {
    LiveParameter_& P = *ReadParameter;
    emit updateParameterDisplay(P.getRealValue(nullptr));
    if (P.getDimension() == 0 && updateInterval > 0) {
        if (indexX == historySize) {
            std::copy(historyDataY + historySize, historyDataY + 2 * historySize, historyDataY);
            indexX = 0;
        }
        historyDataY[historySize + indexX] = plotValue(P);
        ++indexX;
        // The window ends with the value just stored.
        emit plotHistory(QVector<double>(historyDataX, historyDataX + historySize),
                         QVector<double>(historyDataY + indexX, historyDataY + indexX + historySize));
    } else {
        emit plotParameter(ParameterValuePtr(new ParameterValue_(P)));
    }
    emit updatePlot();
    if (updateInterval == 0) ReadParameter = nullptr;
}

void Accessor_::applyWrite() {
    if (!WriteParameter) return;
    if (writePercent) {
        scaleValue(*WriteParameter, writePercent);
        writePercent = 0;
        if (WriteParameter == ReadParameter) emit updateParameterDisplay(ReadParameter->getRealValue(nullptr));
    } else if (writeData) {
        DataShape_& shape = WriteParameter->getShape();
        shape.copyData(WriteParameter->getData(), writeData);
        shape.freeData(writeData);
        writeData = nullptr;
    } else {
        WriteParameter->setRealValue(WriteData, nullptr);
        WriteData.clear();
    }
    WriteParameter = nullptr;
}

void Accessor_::releasePending() {
    if (writeData && WriteParameter) WriteParameter->getShape().freeData(writeData);
    writeData = nullptr;
    WriteParameter = nullptr;
    WriteData.clear();
    writePercent = 0;
}

void Accessor_::clearHistory() {
    indexX = 0;
    std::fill(std::begin(historyDataY), std::end(historyDataY), 0.0);
}
