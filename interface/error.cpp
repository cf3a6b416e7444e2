#include "interface/error.h"

#include <QList>
#include <csignal>
#include <map>
#include <mutex>
#include <utility>

#include "interface/errorreceiver.h"
#include "kernel/errorhandling.h"

namespace {

constexpr int32_t perSourceLimit = 10;
constexpr int32_t globalLimit = 1000;

struct State {
    std::recursive_mutex mutex;
    ErrorReceiver_* mw = nullptr;
    QList<Error_::errorDescriptor_> errorData;
    std::map<int, Node_*> sourceTable;
    int32_t globalErrorsReported = 0;
    bool globalNoteListed = false;
    int32_t highestSourceId = 0;
};

// Never destroyed: nodes with static storage may still report while the
// process exits.
State& state() {
    static State* const s = new State;
    return *s;
}

using Lock = std::unique_lock<std::recursive_mutex>;

thread_local std::function<void()> fatalHandler;

// Static TLS, so the signal handler reads it without any allocation.
__attribute__((tls_model("initial-exec"))) thread_local sigjmp_buf* fpeJumpPoint = nullptr;

QString prefixed(const QString& message, int32_t code, bool stopped) {
    switch (code) {
        case Error_::notice: return QStringLiteral("Note: ") + message;
        case Error_::error: return QStringLiteral("General Error: ") + message;
        case Error_::warning: return QStringLiteral("Warning: ") + message;
        case Error_::fatal:
            return QStringLiteral("Fatal Error: ") + message +
                   (stopped ? QStringLiteral(" Simulation stopped.") : QString());
        default: return message;
    }
}

// The note follows the report that reaches the global limit; kernel errors
// may step past the limit, so the note waits for the next counted report.
void listGlobalNote(State& s, Node_* source) {
    if (s.globalErrorsReported < globalLimit || s.globalNoteListed) return;
    s.globalNoteListed = true;
    Error_::addError(QStringLiteral("Too many errors. Further errors will be ignored."), source,
                     Error_::notice);
    ++s.globalErrorsReported;
}

bool validIndex(const State& s, int i) { return i >= 0 && i < s.errorData.size(); }

// Kernel errors reach the registry in every program that links it in.
const bool kernelHookRegistered = (errorhandling::setreporthook(&reporterror_), true);

}  // namespace

Error_::Error_() : Error_(nullptr) {}

Error_::Error_(Node_* source) : sourceNode(source), localErrorsReported(0) {}

Error_::~Error_() { clearErrorList(); }

void Error_::report(const QString& message, const errorCode_& code) {
    State& s = state();
    Lock lock(s.mutex);
    if (s.globalErrorsReported < globalLimit && localErrorsReported < perSourceLimit) {
        addError(prefixed(message, code, true), sourceNode, code);
        if (code == fatal) {
            lock.unlock();
            if (fatalHandler) fatalHandler();
            return;
        }
        ++localErrorsReported;
        ++s.globalErrorsReported;
    }
    listGlobalNote(s, sourceNode);
    if (localErrorsReported == perSourceLimit) {
        addError(QStringLiteral("Further errors from this element will be ignored."), sourceNode,
                 notice);
        ++localErrorsReported;
    }
}

void Error_::report(const char* message, const errorCode_& code) {
    report(QString::fromLatin1(message), code);
}

void Error_::report(const std::string& message, const errorCode_& code) {
    report(QString::fromLatin1(message.data(), static_cast<int>(message.size())), code);
}

void Error_::reportStatic(const QString& message, const errorCode_& code) {
    State& s = state();
    Lock lock(s.mutex);
    if (s.globalErrorsReported < globalLimit) {
        addError(prefixed(message, code, false), nullptr, code);
        ++s.globalErrorsReported;
    }
    listGlobalNote(s, nullptr);
}

void Error_::fortranreport(const char* message, const int* source, const int* code) {
    State& s = state();
    Lock lock(s.mutex);
    Node_* node = nullptr;
    if (source && *source != -1) {
        const auto entry = s.sourceTable.find(*source);
        if (entry != s.sourceTable.end()) node = entry->second;
    }
    addError(QString::fromLatin1(message), node, static_cast<errorCode_>(code ? *code : undefined));
    ++s.globalErrorsReported;
}

void reporterror_(const char* message, const int32_t& source, const int32_t& code,
                  int32_t length) {
    const std::string text(message, static_cast<size_t>(length > 0 ? length : 0));
    Error_::fortranreport(text.c_str(), &source, &code);
}

void Error_::setMainWindow(ErrorReceiver_* mw) {
    State& s = state();
    Lock lock(s.mutex);
    if (s.mw || !mw) return;
    // The receiver queues entries to the user-interface thread.
    qRegisterMetaType<Node_*>("Node_*");
    s.mw = mw;
    mw->connectError();
}

void Error_::removeMainWindow(ErrorReceiver_* mw) {
    State& s = state();
    Lock lock(s.mutex);
    if (s.mw == mw) s.mw = nullptr;
}

void Error_::setFatalHandler(std::function<void()> handler) { fatalHandler = std::move(handler); }

void Error_::handleFPE(int) {
    if (sigjmp_buf* point = fpeJumpPoint) siglongjmp(*point, 1);
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGFPE, &standard, nullptr);
}

namespace {
void setFPEAction(void (*handler)(int)) {
    static std::mutex installing;
    std::lock_guard<std::mutex> lock(installing);
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
}
}  // namespace

void Error_::enableSIGFPE() { setFPEAction(&Error_::handleFPE); }

void Error_::disableSIGFPE() { setFPEAction(SIG_DFL); }

void Error_::setFPEJumpPoint(sigjmp_buf* point) { fpeJumpPoint = point; }

int Error_::newSourceId() {
    State& s = state();
    Lock lock(s.mutex);
    return s.highestSourceId++;
}

void Error_::addSource(const int& id, Node_* node) {
    State& s = state();
    Lock lock(s.mutex);
    s.sourceTable[id] = node;
}

void Error_::addError(const QString& message, Node_* source, const errorCode_& code) {
    State& s = state();
    Lock lock(s.mutex);
    s.errorData.append({message, source, code});
    if (s.mw) s.mw->addError(message, source, code);
}

void Error_::clearErrorList() {
    State& s = state();
    Lock lock(s.mutex);
    if (s.mw) s.mw->deleteError(-1);
    s.errorData.clear();
}

void Error_::deleteError(const int& i) {
    State& s = state();
    Lock lock(s.mutex);
    if (!validIndex(s, i)) return;
    if (s.mw) s.mw->deleteError(i);
    s.errorData.removeAt(i);
}

QString Error_::getErrorMessage(const int& i) {
    State& s = state();
    Lock lock(s.mutex);
    return validIndex(s, i) ? s.errorData.at(i).Message : QString();
}

int Error_::getErrorCode(const int& i) {
    State& s = state();
    Lock lock(s.mutex);
    return validIndex(s, i) ? s.errorData.at(i).errorCode : -1;
}

Node_* Error_::getErrorSource(const int& i) {
    State& s = state();
    Lock lock(s.mutex);
    return validIndex(s, i) ? s.errorData.at(i).Source : nullptr;
}

QString Error_::getErrorString(errorCode_ c) {
    switch (c) {
        case none: return QStringLiteral("No Error");
        case undefined: return QStringLiteral("Undefined Error");
        case FPE: return QStringLiteral("Floating Point Exception");
        case inputOutOfDomain: return QStringLiteral("Input Out Of Domain");
        case illegalInput: return QStringLiteral("Illegal Input");
        case notice: return QStringLiteral("Notice");
        case error: return QStringLiteral("Unidentified Regular Error");
        case warning: return QStringLiteral("Warning");
        case fatal: return QStringLiteral("Unidentified Fatal Error");
    }
    return QStringLiteral("Unknown Error Code");
}

QString Error_::getErrorExplanation(errorCode_ c) {
    switch (c) {
        case none:
            return QStringLiteral(
                "No actual error occured. You should not be seeing this message. Maybe this is a "
                "bug in korvane or one of the plugins.");
        case undefined:
            return QStringLiteral("There is no information available about this error.");
        case FPE:
            return QStringLiteral(
                "The simulation was aborted due to an illegal arithmetic operation. The result of "
                "this operation was either too large to be represented by the CPU (e.g. 1/0 or "
                "exp(10^100)) or its result was not a real number (e.g. sqrt(-1))");
        case inputOutOfDomain:
            return QStringLiteral(
                "This error occured inside a cavity element becase the pulse or the parameters "
                "passed to that element are outside the domain where it will create physically "
                "meaningfull results. The simulation cotinued, but the results should be used "
                "with caution.");
        case illegalInput:
            return QStringLiteral(
                "A cavity element received as input a pulse or parameters that it cannot "
                "process. The element was therefore skipped in this roundtrip.");
        case notice:
            return QStringLiteral(
                "Not actually an error. Simply a note telling you whats going on.");
        case error: return QStringLiteral("An error that is not identified further.");
        case warning: return QStringLiteral("A general warning.");
        case fatal:
            return QStringLiteral(
                "A fatal error. This will cause the simulation to be stopped. No further "
                "information is available.");
    }
    return QStringLiteral(
        "This error code is not recognized. The fact that you are seeing this points to a bug in "
        "one of the plugins you use or in KORVANE itself.");
}

namespace errortesting {
void reset() {
    State& s = state();
    Lock lock(s.mutex);
    s.mw = nullptr;
    s.errorData.clear();
    s.sourceTable.clear();
    s.globalErrorsReported = 0;
    s.globalNoteListed = false;
    s.highestSourceId = 0;
}
}  // namespace errortesting
