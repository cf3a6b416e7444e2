#pragma once
// One setup of an experiment: its cavities, elements and setup-level
// measurements, and the worker thread that runs them round trip by round trip
// until the master cavity (the first) has completed `roundtrips` or a stop is
// requested. After every round trip it publishes its progress to the
// experiment and to its node's live-access channel.
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <memory>

#include "core/setuplink.h"
#include "logger.h"

class Base_;
class Cavity_;
class CavityElement_;
class Measurement_;
class SetupNodeLink_;

class Setup_ : public QThread, public SetupLink_, public Logger_ {
    Q_OBJECT
public:
    // Slot counts of cavities, elements and measurements, all slots empty.
    Setup_(int cav, int e, int m, Base_* Parent, SetupNodeLink_* Source);
    // Ends the run (at the next round-trip boundary) and waits for it, then
    // deletes what the setup owns and tells its node.
    ~Setup_() override;

    // Each takes ownership and fills the first free slot; -1 when none is free.
    int addElement(CavityElement_* E);
    int addCavity(Cavity_* C);
    // A cavity of the setup's elements at the listed indices, in list order.
    int addCavity(const int* list, int n);
    int addMeasurement(Measurement_* M);

    // Every cavity is complete; makes the first cavity the master. A setup
    // without cavities reports "Setup has no cavity" and is not ready.
    bool ready();
    // One round trip: the last-call notice before the last one, passes over
    // all cavities until the master has wrapped, then the measurements. When
    // the cavities cannot complete it, the run ends.
    void roundtrip();
    // The master cavity's round-trip counter; 0 before ready().
    int getRoundtrip() const;
    // Saves the collected data of every measurement box.
    bool saveData();
    void write(const int& indent);

    void setRoundtrips(int n) { roundtrips = n; }
    int getRoundtrips() const override { return roundtrips; }
    // The live values the setup node binds to its parameters.
    int32_t* getRoundtripsAddress() { return &roundtrips; }
    int32_t* getRoundtripAddress() { return &masterRT; }
    int32_t* getSamplesAddress() { return &samples; }
    void setSamples(int n) { samples = n; }
    int getSamples() const override { return samples; }
    void setDirectory(const QString& directory) { Directory = directory; }
    QString getDirectory() const { return Directory; }
    // Null outside the slots.
    Cavity_* getCavity(int i) const;
    CavityElement_* getElement(int i) const;
    Base_* getBase() const { return Base; }
    QString getErrorMessage() const { return ErrorMessage; }
    SetupNodeLink_* getSetupNode() const { return SetupNode; }
    // User-interface thread, when the node goes: ends the run for good (at the
    // next round-trip boundary) and waits for it, then no longer refers to the
    // node.
    void detachNode();
    int getElements() const { return elements; }
    int getCavities() const { return cavities; }
    int getMeasurements() const { return measurements; }
    // Any thread: the run ends before its next round trip; a stop asked
    // before the thread begins holds for that run.
    void stop() { stopExecution = true; }
    // User-interface thread, before start(): forgets the stop of an earlier run.
    void armRun() { stopExecution = false; }
    // The build of the setup failed: the reason is reported against its
    // node and the setup is never ready.
    void refuse(const QString& reason);
    bool isRefused() const { return refused; }
    // What the kernel allocates for a run at the setup's sample count, once
    // its elements are added: each cavity's pulse, the elements' work tables
    // and the transforms' tables and work storage.
    std::int64_t workingMemory() const;
    // Before the cavities are built: refuses the setup, naming the memory it
    // would need, when that is more than `room`; else takes it from `room`.
    bool claimWorkingMemory(std::int64_t& room);

protected:
    void run() override;

private:
    void runRoundtrips();
    void reserveMeasurements(int sets);
    void endOnFloatingPointException();
    void fileNotice(const char* message);

    Base_* const Base;
    std::unique_ptr<Cavity_*[]> Cavity;
    std::unique_ptr<CavityElement_*[]> Element;
    std::unique_ptr<Measurement_*[]> Measurement;
    const int32_t measurements;
    const int32_t elements;
    const int32_t cavities;
    int32_t samples = 0;
    Cavity_* MasterCavity = nullptr;
    int32_t masterRT = 1;
    int32_t roundtrips = 0;
    SetupNodeLink_* SetupNode;
    QString Directory;
    QString ErrorMessage;
    // Cleared by armRun before the thread starts, never by the run itself.
    std::atomic<bool> stopExecution{false};
    bool refused = false;
    // Set by the destructor or detachNode, never cleared: the run ends
    // whenever it began.
    std::atomic<bool> ending{false};
    // Set on the setup's thread by a fatal report or by cavities that cannot
    // complete a round trip: the run ends at the round-trip boundary, like
    // after a floating-point exception.
    bool aborted = false;
};
