#pragma once
// The experiment of one run: one setup per top-level setup node, each run on
// a thread of its own. It publishes the setups' progress to the user
// interface, carries stop requests to them and tells when the run is over.
// Its constructor checks the kernel's type sizes against the engine's and
// sends kernel errors to the error list.
#include <QMutex>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "logger.h"

class MainWindow;
class QThread;
class Base_;
class Setup_;

// Makes the setups of an experiment in the order of the setup tree. The
// experiment drives each setup's build in phases: the setup, its elements,
// its cavities (the cavity children among all children of the setup node),
// the links between them, then its measurements.
class SetupBuilder_ {
public:
    virtual int getSetups() = 0;
    // Setup i with its slot counts and bound parameters, built for `base`,
    // which takes ownership.
    virtual Setup_* createSetup(int i, Base_* base) = 0;
    // Creates the elements of setup i and adds them to it.
    virtual void addElements(int i, Setup_* setup) = 0;
    // Children of setup i's node; which of them are cavities.
    virtual int getChildren(int i) = 0;
    virtual bool isCavity(int i, int child) = 0;
    // Creates the cavity of that child and adds it to the setup.
    virtual void addCavity(int i, int child, Setup_* setup) = 0;
    // After the last cavity: fills the shared slots with the feeding cavities'
    // pulses and the measurement boxes with their measurements.
    virtual void link(int i) = 0;
    // Creates measurement j of setup i and adds it to the setup.
    virtual void addMeasurement(int i, int j, Setup_* setup) = 0;

protected:
    ~SetupBuilder_() = default;
};

class Base_ : public QObject, public QMutex, public Logger_ {
    Q_OBJECT
public:
    explicit Base_(MainWindow* MW);
    // Stops every setup, waits for its thread, then deletes it.
    ~Base_() override;

    // Nothing while the experiment runs.
    void buildExperiment(SetupBuilder_& builder);
    // Starts the thread of every setup that is ready; a setup that is not is
    // logged and left out. Nothing while the experiment runs.
    void runExperiment();
    // Each setup ends before its next round trip.
    void stopExperiment();
    bool isRunning() const;
    bool isSimulationThread(QThread* T) const;
    // Setup thread: the setup's counter, dropped when the lock is busy.
    void updateRoundtrips(const int& rt, Setup_* S);
    // Setup thread, once its run has ended, however it ended: the setup's
    // last counter, waiting for the lock, so the total after a run is exact.
    void finishRoundtrips(const int& rt, Setup_* S);
    // Sum of the published counters; -1 when the lock stays busy for 10 ms.
    // Both sums count in 64 bits: many setups may pass 2^31 round trips.
    std::int64_t getTotalRoundtrip();
    void write(const int& indent);
    // Saves the collected data of every setup; not while running.
    bool evaluateExperiment();

    QString getErrorMessage() const { return ErrorMessage; }
    // Null outside the setups.
    Setup_* getSetup(int i) const;
    MainWindow* getMainWindow() const { return Parent; }
    int getSetups() const { return setups; }
    std::int64_t getTotalRoundtrips() const { return totalRoundtrips; }

signals:
    // The last started setup has ended, or none was started; on the thread
    // the experiment lives on, after its setups' threads have ended.
    void runFinished();

private:
    // No setup runs any more: floating-point faults end the process again.
    void endRun();
    // The caller holds the lock.
    void publishRoundtrips(int rt, Setup_* S);

    MainWindow* const Parent;
    std::unique_ptr<Setup_*[]> Setup;
    int32_t setups = 0;
    std::int64_t totalRoundtrips = 0;
    QString ErrorMessage;
    std::unique_ptr<int32_t[]> setupRoundtrip;
    int runningSetups = 0;
};
