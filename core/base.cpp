#include "core/base.h"

#include <QThread>
#include <algorithm>
#include <string>

#include "core/memorybudget.h"
#include "core/setup.h"
#include "interface/error.h"
#include "kernel/cinterface.h"
#include "kernel/elements.h"
#include "kernel/errorhandling.h"
#include "kernel/pulserecord.h"
#include "stringstream.h"

namespace {

struct SizeCheck {
    int32_t kernel;
    int32_t engine;
    const char* name;
};

std::string mismatch(const char* name) {
    return std::string(name) +
           " sizes in c++ and FORTRAN code don't match. The binaries where compiled wrong.";
}

const std::string rule(67, '-');

}  // namespace

Base_::Base_(MainWindow* MW) : Parent(MW) {
    const SizeCheck checks[] = {
        {cinterface::sizeoflogical(), sizeof(optics::logical_), "Bool"},
        {cinterface::sizeofinteger(), sizeof(int32_t), "Integer"},
        {cinterface::sizeofdouble(), sizeof(double), "Double"},
        {cinterface::sizeofquad(), sizeof(optics::quad_), "Long Double"},
        {cinterface::sizeofcomplex(), sizeof(optics::complex_), "Complex"},
    };
    for (const SizeCheck& c : checks)
        if (c.kernel != c.engine) logError(mismatch(c.name), normal);
    if (!elements::checksize(sizeof(elements::psetgain_))) logError(mismatch("Structure"), normal);
    errorhandling::seterrormode(errorhandling::tohost);
}

// All setups are asked first, so they end together; each destructor then
// waits for its thread.
Base_::~Base_() {
    stopExperiment();
    for (int i = 0; i < setups; ++i) delete Setup[i];
}

void Base_::buildExperiment(SetupBuilder_& builder) {
    if (isRunning()) return;
    // A second build replaces the setups of the first.
    for (int i = 0; i < setups; ++i) delete Setup[i];
    setups = 0;
    log("Building Experiment ...", debugA);
    setups = std::max(builder.getSetups(), 0);
    log(StringStream_() << "Allocating " << setups << " setups.", debugB);
    Setup.reset(new Setup_*[static_cast<size_t>(setups)]());
    std::int64_t room = MemoryBudget_::spare();
    for (int i = 0; i < setups; ++i) {
        log(StringStream_() << "  Setup " << i << ":", debugB);
        Setup_* setup = builder.createSetup(i, this);
        Setup[i] = setup;
        if (!setup) continue;
        log(StringStream_() << "    Cavities: " << setup->getCavities()
                            << ", Elements: " << setup->getElements()
                            << ", Measurements: " << setup->getMeasurements() << ".",
            debugB);
        log(StringStream_() << "    Setting number of roundtrips to " << setup->getRoundtrips()
                            << ".",
            debugB);
        log("    Creating and adding Elements:", debugB);
        builder.addElements(i, setup);
        // Pulses that cannot fit are never allocated: such a setup is refused
        // before its cavities are built.
        if (!setup->isRefused() && !setup->claimWorkingMemory(room)) continue;
        log("    Creating and adding Cavities:", debugB);
        const int children = builder.getChildren(i);
        for (int c = 0; c < children; ++c) {
            if (!builder.isCavity(i, c)) continue;
            log(StringStream_() << "      Adding Cavity " << c << ".", debugB);
            builder.addCavity(i, c, setup);
        }
        builder.link(i);
        log("    Creating and adding Measurements:", debugB);
        for (int j = 0; j < setup->getMeasurements(); ++j) {
            log(StringStream_() << "      Adding Measurement " << j << ".", debugB);
            builder.addMeasurement(i, j, setup);
        }
    }
    setupRoundtrip.reset(new int32_t[static_cast<size_t>(setups)]());
    totalRoundtrips = 0;
    for (int i = 0; i < setups; ++i)
        if (Setup[i]) totalRoundtrips += Setup[i]->getRoundtrips();
    log("Experiment build complete.", debugB);
}

void Base_::runExperiment() {
    if (isRunning()) return;
    log("Running Experiment ...", debugB);
    Error_::enableSIGFPE();
    write(0);
    std::unique_ptr<bool[]> ready(new bool[static_cast<size_t>(setups)]());
    for (int i = 0; i < setups; ++i) {
        ready[i] = Setup[i] && Setup[i]->ready();
        if (ready[i]) continue;
        const std::string message =
            "INTERNAL ERROR: Setup " + std::to_string(i) + " not ready in Base_::runExperiment() !";
        logError(message, normal, lstdout);
        logError(message, debugA, econsole);
    }
    runningSetups = 0;
    for (int i = 0; i < setups; ++i) {
        if (!ready[i]) continue;
        Setup_* setup = Setup[i];
        // One connection per setup, however often the experiment is run.
        disconnect(setup, &QThread::finished, this, nullptr);
        // Queued to this object's thread; the wait there is short, the
        // thread has finished its work.
        connect(
            setup, &QThread::finished, this,
            [this, setup] {
                setup->wait();
                if (--runningSetups == 0) endRun();
            },
            Qt::QueuedConnection);
        ++runningSetups;
        setup->armRun();
        setup->start(QThread::InheritPriority);
    }
    log("Experiment started.", debugB);
    Error_::reportStatic("Simulation started successfully.", Error_::notice);
    if (runningSetups == 0)
        QMetaObject::invokeMethod(this, [this] { endRun(); }, Qt::QueuedConnection);
}

void Base_::endRun() {
    Error_::disableSIGFPE();
    emit runFinished();
}

void Base_::stopExperiment() {
    for (int i = 0; i < setups; ++i)
        if (Setup[i]) Setup[i]->stop();
}

bool Base_::isRunning() const {
    for (int i = 0; i < setups; ++i)
        if (Setup[i] && Setup[i]->isRunning()) return true;
    return false;
}

bool Base_::isSimulationThread(QThread* T) const {
    for (int i = 0; i < setups; ++i)
        if (Setup[i] == T) return true;
    return false;
}

void Base_::updateRoundtrips(const int& rt, Setup_* S) {
    if (!tryLock()) return;
    publishRoundtrips(rt, S);
    unlock();
}

void Base_::finishRoundtrips(const int& rt, Setup_* S) {
    lock();
    publishRoundtrips(rt, S);
    unlock();
}

void Base_::publishRoundtrips(int rt, Setup_* S) {
    for (int i = 0; i < setups; ++i)
        if (Setup[i] == S) setupRoundtrip[i] = rt;
}

std::int64_t Base_::getTotalRoundtrip() {
    if (!tryLock(10)) return -1;
    std::int64_t sum = 0;
    for (int i = 0; i < setups; ++i) sum += setupRoundtrip[i];
    unlock();
    return sum;
}

void Base_::write(const int& indent) {
    log(rule, debugB);
    log("Experiment Summary", debugB);
    log(StringStream_() << "Addr: " << static_cast<const void*>(this), debugB);
    log(StringStream_() << "Setups: " << setups, debugB);
    for (int i = 0; i < setups; ++i) {
        log(StringStream_() << "Setup " << i << ": ", debugB);
        if (Setup[i]) Setup[i]->write(indent + 2);
    }
    log(rule, debugB);
}

bool Base_::evaluateExperiment() {
    if (isRunning()) {
        ErrorMessage = "Cannot save a running experiment.";
        return false;
    }
    log("Saving data ...", debugB);
    for (int i = 0; i < setups; ++i) {
        if (!Setup[i] || Setup[i]->saveData()) continue;
        logError("Data not saved.", debugB);
        ErrorMessage = Setup[i]->getErrorMessage();
        return false;
    }
    log("Data saved.", debugB);
    return true;
}

Setup_* Base_::getSetup(int i) const { return i >= 0 && i < setups ? Setup[i] : nullptr; }
