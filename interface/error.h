#pragma once
// The process-wide error list the user sees: each entry is a message, the
// setup-tree node it belongs to (or none) and a code. Reports are limited to
// 10 per node and 1000 in all; every change of the list is handed, in order,
// to the receiver (the main window). One recursive lock guards it all and is
// always taken before the logger's.
#include <QString>
#include <setjmp.h>

#include <cstdint>
#include <functional>
#include <string>

#include "logger.h"

class Node_;
class ErrorReceiver_;

class Error_ : public Logger_ {
public:
    enum errorCode_ : int32_t {
        none = 0,
        undefined = 1,
        FPE = 2,
        inputOutOfDomain = 3,
        illegalInput = 4,
        notice = 5,
        error = 6,
        warning = 7,
        fatal = 8,
    };

    struct errorDescriptor_ {
        QString Message;  // prefix included
        Node_* Source;    // not owned; null for entries without a node
        int32_t errorCode;
    };

    // Reports of this object are listed without a node.
    Error_();
    // Reports of this object are listed against `source`, the node this is part of.
    explicit Error_(Node_* source);
    // A copy would report against the original's node.
    Error_(const Error_&) = delete;
    Error_& operator=(const Error_&) = delete;
    // Empties the whole list, whichever node is destroyed.
    virtual ~Error_();

    // Lists the message with the prefix of its code, within the limits. A
    // fatal report is listed, then ends the run of a thread that installed a
    // fatal handler; elsewhere it only returns.
    void report(const QString& message, const errorCode_& code);
    // 8-bit characters are taken as they are (Latin-1).
    void report(const char* message, const errorCode_& code);
    void report(const std::string& message, const errorCode_& code);
    // As report, without a node and the per-node limit; ends no run.
    static void reportStatic(const QString& message, const errorCode_& code);
    // A kernel error: listed without prefix or limit, against the node that
    // registered `*source`. A null source or -1: no node; a null code: undefined.
    static void fortranreport(const char* message, const int* source, const int* code);

    // Only the first receiver is taken; its connectError is called at once.
    static void setMainWindow(ErrorReceiver_* mw);
    // A receiver being destroyed leaves the registry, which keeps its list.
    static void removeMainWindow(ErrorReceiver_* mw);

    // A setup thread installs the handler that stops its own run; an empty
    // handler removes it. Applies to the calling thread only.
    static void setFatalHandler(std::function<void()> handler);

    // Installs, once per process, the handler of floating-point exceptions
    // (SIGFPE): on a thread with a jump point it jumps back there; elsewhere it
    // restores the default action, so the fault ends the process as usual.
    static void enableSIGFPE();
    // Restores the default action of SIGFPE; the next enableSIGFPE installs
    // the handler again. Called when no setup runs any more.
    static void disableSIGFPE();
    // The calling thread's jump point, made by sigsetjmp(*point, 1) in a frame
    // that stays alive while it is set; null removes it.
    static void setFPEJumpPoint(sigjmp_buf* point);

    // 0, 1, 2, ... for the life of the process.
    static int newSourceId();
    static void addSource(const int& id, Node_* node);

    // Appends an entry as given (no prefix, no limit) and hands it to the receiver.
    static void addError(const QString& message, Node_* source, const errorCode_& code);
    // Counters are kept: a node at its limit stays silent.
    static void clearErrorList();
    static void deleteError(const int& i);
    // Out of range: the empty text, -1 and null.
    static QString getErrorMessage(const int& i);
    static int getErrorCode(const int& i);
    static Node_* getErrorSource(const int& i);

    // The node this object's reports are listed against.
    Node_* getSourceNode() const { return sourceNode; }

    static QString getErrorString(errorCode_ c);
    static QString getErrorExplanation(errorCode_ c);

private:
    // Runs in signal context: touches only the thread's jump point and the
    // signal disposition.
    static void handleFPE(int signal);

    Node_* const sourceNode;
    int32_t localErrorsReported;
};

// The kernel's hook (errorhandling::setreporthook): `message` holds `length`
// characters without a terminator; registered when this registry is linked in.
void reporterror_(const char* message, const int32_t& source, const int32_t& code, int32_t length);

// For tests only: the program never resets the registry.
namespace errortesting {
void reset();
}
