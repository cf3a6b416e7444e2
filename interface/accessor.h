#pragma once
// The channel between the user interface and one running setup. The user
// interface asks for one parameter to be watched and posts values to write;
// the setup's thread, between two round trips, publishes its progress and the
// watched value (at most once per 50 ms and once per `updateInterval` round
// trips), keeps a 500-point history of a scalar for the status plot and
// applies a pending write. Everything leaves the setup's thread by queued
// signals carrying copies, so no widget is touched from the worker.
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QVector>
#include <memory>

#include "core/datashape.h"
#include "logger.h"

// What the channel reads and writes of a setup-tree parameter.
class LiveParameter_ {
public:
    // 0 for a scalar.
    virtual int getDimension() = 0;
    // With a null index: the whole value as text.
    virtual QString getRealValue(const int* index) = 0;
    // With a null index: sets the whole value from text.
    virtual void setRealValue(QString text, const int* index) = 0;
    // The shape through which values of the parameter are copied and freed.
    virtual DataShape_& getShape() = 0;
    // The live value the running setup reads.
    virtual void* getData() = 0;

protected:
    ~LiveParameter_() = default;
};

// A deep copy of a parameter's whole value, released through its shape.
class ParameterValue_ {
public:
    explicit ParameterValue_(LiveParameter_& parameter);
    ParameterValue_(const ParameterValue_&) = delete;
    ParameterValue_& operator=(const ParameterValue_&) = delete;
    ~ParameterValue_();

    const DataShape_& getShape() const { return Shape; }
    const void* getData() const { return data; }

private:
    DataShape_ Shape;
    void* data;
};
using ParameterValuePtr = QSharedPointer<const ParameterValue_>;
Q_DECLARE_METATYPE(ParameterValuePtr)

// Milliseconds since the last restart; monotonic in the program, stepped by
// hand in tests.
class AccessorClock_ {
public:
    virtual ~AccessorClock_() = default;
    virtual qint64 elapsed() const = 0;
    virtual void restart() = 0;
};

class Accessor_ : public QObject, public QMutex, public Logger_ {
    Q_OBJECT
public:
    static constexpr int historySize = 500;
    static constexpr qint64 throttleMs = 50;
    static constexpr int waitMs = 300;

    // Without a clock the channel uses a monotonic timer.
    explicit Accessor_(std::unique_ptr<AccessorClock_> clock = nullptr);
    // Releases a pending value.
    ~Accessor_() override;

    // User-interface thread. Watches P and publishes it every `interval`
    // round trips; 0 publishes it once. A scalar watched with a positive
    // interval starts a new history.
    void request(LiveParameter_* P, int interval);
    // User-interface thread. Takes ownership of `data`, a value in P's shape;
    // it is written into P's live value between two round trips. A value
    // still pending is released; when the channel is busy for 300 ms, this one is.
    void write(void* data, LiveParameter_* P);
    // As above with a value as text.
    void write(QString data, LiveParameter_* P);
    // User-interface thread. Scales P's live value by `percent` after the
    // setup's next round trip, so the value scaled is at most one round trip
    // old: integers truncated towards zero and kept within 32 bits, logical
    // values switched off below 100 % and on above; less than 1 % counts as
    // 1 %. It replaces a pending write; a watched P is shown once the new
    // value holds.
    void tune(int percent, LiveParameter_* P);

    // Setup thread, at the start of a run: restarts the throttle clock.
    void simulationStarted();
    // Setup thread, after every round trip; never waits for the channel.
    void execute(const int& roundtrip);
    // Setup thread, at the end of a run: round trip -1 and the final value.
    void simulationFinished();
    // Nothing to do: a paused setup simply calls `execute` no more.
    void simulationPaused() {}
    // User-interface thread, when the setup is destroyed: forgets the
    // parameters and the history, releases a pending value.
    void reset();

signals:
    // The setup reached this round trip; -1 when the run has finished.
    void updateSetupStatus(int roundtrip);
    // The watched parameter's value as text.
    void updateParameterDisplay(QString value);
    // The 500 newest history points of a scalar, oldest first.
    void plotHistory(QVector<double> x, QVector<double> y);
    // The whole value of a parameter that is not kept as a history.
    void plotParameter(ParameterValuePtr value);
    // The plot data above are complete.
    void updatePlot();

private:
    void publish();
    void applyWrite();
    void releasePending();
    void clearHistory();

    std::unique_ptr<AccessorClock_> clock;
    LiveParameter_* ReadParameter = nullptr;
    LiveParameter_* WriteParameter = nullptr;
    void* writeData = nullptr;
    QString WriteData;
    // A pending tune of WriteParameter in per cent; 0 when none.
    int writePercent = 0;
    int lastUpdate = -1;
    int updateInterval = 50;
    double historyDataX[historySize];
    // The newest values live in the upper half; the lower half receives
    // them when the upper half is full.
    double historyDataY[2 * historySize];
    int indexX = 0;
};
