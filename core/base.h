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

// Makes the setups of an experiment, with their elements, cavities and
// measurements, in the order of the setup tree.
class SetupBuilder_ {
public:
    virtual int getSetups() = 0;
    // Setup i, built for `base`, which takes ownership.
    virtual Setup_* createSetup(int i, Base_* base) = 0;

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
    // Sum of the published counters; -1 when the lock stays busy for 10 ms.
    int getTotalRoundtrip();
    void write(const int& indent);
    // Saves the collected data of every setup; not while running.
    bool evaluateExperiment();

    QString getErrorMessage() const { return ErrorMessage; }
    // Null outside the setups.
    Setup_* getSetup(int i) const;
    MainWindow* getMainWindow() const { return Parent; }
    int getSetups() const { return setups; }
    int getTotalRoundtrips() const { return totalRoundtrips; }

signals:
    // The last started setup has ended, or none was started; on the thread
    // the experiment lives on, after its setups' threads have ended.
    void runFinished();

private:
    MainWindow* const Parent;
    std::unique_ptr<Setup_*[]> Setup;
    int32_t setups = 0;
    int32_t totalRoundtrips = 0;
    QString ErrorMessage;
    std::unique_ptr<int32_t[]> setupRoundtrip;
    int runningSetups = 0;
};
