#include "core/setup.h"

#include <setjmp.h>

#include <algorithm>
#include <complex>
#include <functional>

#include "core/base.h"
#include "core/cavity.h"
#include "core/cavityelement.h"
#include "core/elements/mbox.h"
#include "core/measurement.h"
#include "core/memorybudget.h"
#include "core/setupnodelink.h"
#include "interface/accessor.h"
#include "interface/error.h"
#include "stringstream.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

template <typename T>
std::unique_ptr<T*[]> emptySlots(int n) {
    return std::unique_ptr<T*[]>(new T*[static_cast<size_t>(n)]());
}

template <typename T>
int fillFirstFree(T** table, int n, T* item) {
    T** free = std::find(table, table + n, nullptr);
    if (free == table + n) return -1;
    *free = item;
    return static_cast<int>(free - table);
}

// Subnormal numbers are read and produced as zero: a decaying pulse would
// otherwise slow every sample operation down many times.
void flushSubnormalsToZero() {
#if defined(__SSE2__)
    constexpr unsigned flushToZero = 0x8000;
    constexpr unsigned denormalsAreZero = 0x0040;
    _mm_setcsr(_mm_getcsr() | flushToZero | denormalsAreZero);
#endif
}

}  // namespace

Setup_::Setup_(int cav, int e, int m, Base_* Parent, SetupNodeLink_* Source)
    : Base(Parent),
      measurements(std::max(m, 0)),
      elements(std::max(e, 0)),
      cavities(std::max(cav, 0)),
      SetupNode(Source) {
    Cavity = emptySlots<Cavity_>(cavities);
    Element = emptySlots<CavityElement_>(elements);
    Measurement = emptySlots<Measurement_>(measurements);
}

Setup_::~Setup_() {
    ending = true;
    wait();
    for (int i = 0; i < elements; ++i) delete Element[i];
    Element.reset();
    for (int i = 0; i < cavities; ++i) delete Cavity[i];
    Cavity.reset();
    for (int i = 0; i < measurements; ++i) delete Measurement[i];
    Measurement.reset();
    if (SetupNode) SetupNode->disconnectSetup();
}

void Setup_::detachNode() {
    ending = true;
    wait();
    SetupNode = nullptr;
}

int Setup_::addElement(CavityElement_* E) { return fillFirstFree(Element.get(), elements, E); }

int Setup_::addCavity(Cavity_* C) { return fillFirstFree(Cavity.get(), cavities, C); }

int Setup_::addCavity(const int* list, int n) {
    if (n < 1) return -1;
    if (std::any_of(list, list + n, [this](int i) { return i < 0 || i >= elements; })) return -1;
    Cavity_** free = std::find(Cavity.get(), Cavity.get() + cavities, nullptr);
    if (free == Cavity.get() + cavities) return -1;
    auto* cavity = new Cavity_(n, this, nullptr);
    for (int k = 0; k < n; ++k) cavity->addElement(Element[list[k]]);
    *free = cavity;
    return static_cast<int>(free - Cavity.get());
}

int Setup_::addMeasurement(Measurement_* M) {
    return fillFirstFree(Measurement.get(), measurements, M);
}

void Setup_::refuse(const QString& reason) {
    refused = true;
    if (SetupNode) SetupNode->getErrorSource().report(reason, Error_::error);
    else Error_::reportStatic(reason, Error_::error);
}

// Bytes per sample: a cavity's pulse and one copy of it (a measured pulse);
// the absorber's two field components; the gain's integral table; the
// filter's curve; the mixing's work arrays; a plug-in's pulse record; the
// transforms' work storage and tables.
std::int64_t Setup_::workingMemory() const {
    constexpr std::int64_t complexBytes = sizeof(std::complex<float>);
    std::int64_t perSample = 2 * complexBytes * cavities + 5 * sizeof(double);
    for (int i = 0; i < elements; ++i) {
        if (!Element[i]) continue;
        switch (Element[i]->getType()) {
            case CavityElement_::gain: perSample += sizeof(long double); break;
            case CavityElement_::saturableAbsorber: perSample += 2 * complexBytes; break;
            case CavityElement_::gaussianFilter: perSample += sizeof(double); break;
            case CavityElement_::threeWaveMixing:
            case CavityElement_::dfgtime:
            case CavityElement_::dfgfrequency: perSample += 9 * complexBytes; break;
            case CavityElement_::elementplugin: perSample += complexBytes; break;
            default: break;
        }
    }
    return perSample * std::max<std::int64_t>(samples, 0);
}

bool Setup_::claimWorkingMemory(std::int64_t& room) {
    const std::int64_t need = workingMemory();
    if (need <= room) {
        room -= need;
        return true;
    }
    refuse(QStringLiteral("At %1 samples the pulses and work tables of this setup would need about %2 of "
                          "memory, more than this computer can spare (%3); the setup is not started.")
               .arg(samples)
               .arg(MemoryBudget_::describe(need), MemoryBudget_::describe(room)));
    return false;
}

bool Setup_::ready() {
    if (refused) return false;
    if (cavities == 0 || !Cavity[0]) {
        if (SetupNode) SetupNode->getErrorSource().report("Setup has no cavity", Error_::error);
        else Error_::reportStatic("Setup has no cavity", Error_::error);
        return false;
    }
    for (int i = 0; i < cavities; ++i)
        if (!Cavity[i] || !Cavity[i]->ready()) return false;
    if (!MasterCavity) MasterCavity = Cavity[0];
    return true;
}

// The jump point lives in this frame for the whole run; everything the run
// changes lives outside it, so nothing here is left undefined by the jump.
void Setup_::run() {
    sigjmp_buf point;
    if (sigsetjmp(point, 1) != 0) {
        Error_::setFPEJumpPoint(nullptr);
        endOnFloatingPointException();
        if (Base) Base->finishRoundtrips(masterRT, this);
        return;
    }
    Error_::setFPEJumpPoint(&point);
    runRoundtrips();
    Error_::setFPEJumpPoint(nullptr);
    if (Base) Base->finishRoundtrips(masterRT, this);
}

void Setup_::runRoundtrips() {
    flushSubnormalsToZero();
    aborted = false;
    Error_::setFatalHandler([this] { aborted = true; });
    fileNotice("Simulation run of setup started.");
    Accessor_* accessor = SetupNode ? SetupNode->getAccessor() : nullptr;
    if (accessor) accessor->simulationStarted();
    reserveMeasurements(roundtrips - MasterCavity->getRoundtrip() + 1);

    while (MasterCavity->getRoundtrip() <= roundtrips && !stopExecution && !ending && !aborted) {
        roundtrip();
        if (Base) Base->updateRoundtrips(masterRT, this);
        if (accessor) accessor->execute(masterRT);
    }
    Error_::setFatalHandler({});
    // A run ended by a fatal report or by cavities that cannot complete a
    // round trip ends like one ended by a fault.
    if (aborted) return;

    if (accessor) accessor->simulationFinished();
    fileNotice("Simulation of Setup finished successfully.");
}

// A measurement collects about once per round trip: with room for the round
// trips left, collecting allocates nothing.
void Setup_::reserveMeasurements(int sets) {
    for (int i = 0; i < measurements; ++i)
        if (Measurement[i]) Measurement[i]->reserve(sets);
    for (int i = 0; i < elements; ++i)
        if (Element[i] && Element[i]->getType() == CavityElement_::mbox)
            static_cast<MBox_*>(Element[i])->reserve(sets);
}

void Setup_::endOnFloatingPointException() {
    Error_::setFatalHandler({});
    Logger_::staticLogError("Floating point exception caught.", debugA);
    Error_::addError(QStringLiteral("Caught floating point exception. Thread terminated."),
                     SetupNode ? SetupNode->getErrorSource().getSourceNode() : nullptr,
                     Error_::FPE);
}

void Setup_::fileNotice(const char* message) {
    if (SetupNode) SetupNode->getErrorSource().report(message, Error_::notice);
    else Error_::reportStatic(message, Error_::notice);
}

void Setup_::roundtrip() {
    if (MasterCavity->getRoundtrip() == roundtrips)
        for (int i = 0; i < cavities; ++i) Cavity[i]->lastCall();
    // A pass may leave cavities waiting at a shared element; further passes
    // let them meet, until the master cavity has wrapped. Cavities that can
    // never meet are reported there, and the run ends.
    Error_* reporter = SetupNode ? &SetupNode->getErrorSource() : nullptr;
    if (!Cavity_::completeRoundtrip(Cavity.get(), cavities, MasterCavity, reporter)) {
        aborted = true;
        return;
    }
    for (int i = 0; i < measurements; ++i)
        if (Measurement[i]) Measurement[i]->collect();
    masterRT = MasterCavity->getRoundtrip();
}

int Setup_::getRoundtrip() const { return MasterCavity ? MasterCavity->getRoundtrip() : 0; }

bool Setup_::saveData() {
    for (int i = 0; i < elements; ++i)
        if (Element[i] && Element[i]->getType() == CavityElement_::mbox)
            static_cast<MBox_*>(Element[i])->saveAll();
    return true;
}

Cavity_* Setup_::getCavity(int i) const { return i >= 0 && i < cavities ? Cavity[i] : nullptr; }

CavityElement_* Setup_::getElement(int i) const {
    return i >= 0 && i < elements ? Element[i] : nullptr;
}

void Setup_::write(const int& indent) {
    const auto line = [this, indent](const auto&... parts) {
        StringStream_ text(indent);
        (text << ... << parts);
        log(text, debugA);
    };
    line("  Addr: ", static_cast<const void*>(this));
    line("  Elements: ", elements);
    line("  Cavities: ", cavities);
    line("  Measurements: ", measurements);
    for (int i = 0; i < elements; ++i) {
        line("  Element ", i, ": ");
        if (Element[i]) Element[i]->write(indent + 4);
    }
    for (int i = 0; i < cavities; ++i) {
        line("  Cavity ", i, ": ");
        if (Cavity[i]) Cavity[i]->write(indent + 4);
    }
    for (int i = 0; i < measurements; ++i) {
        line("  Measurement ", i, ": ");
        if (Measurement[i]) Measurement[i]->write(indent + 4);
    }
}
