#include "logger.h"

#include <QString>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>

#include "debugconsolesink.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Read without the lock by passesLevel; written under it.
std::atomic<int32_t> logLevel{Logger_::normal};

struct State {
    std::recursive_mutex mutex;
    int32_t instances = 0;
    int32_t count = 0;
    int32_t max = 0;
    uint32_t instanceMax = 0;
    uint32_t errors = 0;
    Logger_::outStream_ outStream = Logger_::lstdout;
    std::ostream* logStream = nullptr;
    std::ofstream logFile;
    std::string fileName;
    DebugConsoleSink_* console = nullptr;
};

// Never destroyed: objects with static storage may still log while the
// process exits.
State& state() {
    static State* const s = new State;
    return *s;
}

bool isDebug(Logger_::errorLevel_ level) { return level >= Logger_::debugA; }

bool limitReached(const State& s) { return s.max > 0 && s.count > s.max; }

void countMessage(State& s) {
    if (s.count < INT32_MAX) ++s.count;
}

void writeLine(std::ostream& os, std::string_view prefix, std::string_view message) {
    os << prefix << message << std::endl;
}

// The stream sinks; `none` and unknown sinks write nothing.
void toStream(State& s, Logger_::outStream_ sink, std::string_view prefix,
              std::string_view message) {
    switch (sink) {
        case Logger_::lstdout: writeLine(std::cout, prefix, message); break;
        case Logger_::lstderr: writeLine(std::cerr, prefix, message); break;
        case Logger_::stream:
            if (s.logStream) writeLine(*s.logStream, prefix, message);
            break;
        case Logger_::file: writeLine(s.logFile, prefix, message); break;
        default: break;
    }
}

void toConsole(State& s, std::string_view prefix, std::string_view message) {
    std::string text;
    text.reserve(prefix.size() + message.size() + 1);
    text.append(prefix).append(message).push_back('\n');
    s.console->write(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
}

// A fatal message ends the process: output is flushed, and _Exit skips
// static destructors that other threads may still be using.
[[noreturn]] void endProcess(State& s) {
    std::cout.flush();
    std::cerr.flush();
    if (s.logStream) s.logStream->flush();
    s.logFile.flush();
    std::fflush(nullptr);
    std::_Exit(1);
}

void fileLine(State& s, const char* what) {
    s.logFile << what << " logging --- " << s.errors
              << " total errors . -----------------------------" << std::endl;
}

std::string_view text(const char* message) { return message ? message : ""; }

}  // namespace

Logger_::Logger_() : instanceCount(0), instanceErrors(0) {
    State& s = state();
    Lock lock(s.mutex);
    instance = static_cast<uint32_t>(s.instances++);
}

Logger_::Logger_(const Logger_& other) {
    State& s = state();
    Lock lock(s.mutex);
    instanceCount = other.instanceCount;
    instanceErrors = other.instanceErrors;
    instance = static_cast<uint32_t>(s.instances++);
}

Logger_& Logger_::operator=(const Logger_& other) {
    Lock lock(state().mutex);
    instanceCount = other.instanceCount;
    instanceErrors = other.instanceErrors;
    return *this;
}

Logger_::~Logger_() {
    State& s = state();
    Lock lock(s.mutex);
    if (--s.instances == 0 && s.outStream == file) s.logFile.close();
}

void Logger_::write(std::string_view message, errorLevel_ level, outStream_ sink, bool error) {
    State& s = state();
    Lock lock(s.mutex);
    if (error) {
        ++s.errors;
        ++instanceErrors;
    }
    if (!passesLevel(level) || limitReached(s)) return;
    if (s.instanceMax != 0 && instanceCount > s.instanceMax) return;
    if (sink == standard) sink = s.outStream;
    // A console sink named as argument before any console exists.
    if ((sink == console || sink == econsole) && !s.console) sink = lstdout;

    const std::string number = isDebug(level) ? std::to_string(instance) + ": " : std::string();
    if (sink == console || (sink == econsole && isDebug(level)))
        toConsole(s, number, message);
    else if (sink == econsole)
        writeLine(std::cout, "", message);
    else
        toStream(s, sink, number, message);

    countMessage(s);
    ++instanceCount;
    if (level == fatal) endProcess(s);
}

void Logger_::staticWrite(std::string_view message, errorLevel_ level, outStream_ sink,
                          bool error) {
    State& s = state();
    Lock lock(s.mutex);
    if (error) ++s.errors;
    if (!passesLevel(level) || limitReached(s)) return;
    if (sink == standard) sink = s.outStream;

    const bool debug = isDebug(level);
    if (sink == console)
        writeLine(std::cerr, debug ? "s: console unimplemented: " : "", message);
    else if (sink == econsole)
        writeLine(std::cerr, debug ? "s: econsole unimplemented: " : "", message);
    else
        toStream(s, sink, debug ? "s: " : "", message);

    countMessage(s);
    if (level == fatal) endProcess(s);
}

void Logger_::log(const std::string& message, const errorLevel_& level, outStream_ sink) {
    write(message, level, sink, false);
}

void Logger_::log(const char* message, const errorLevel_& level, outStream_ sink) {
    write(text(message), level, sink, false);
}

void Logger_::logError(const std::string& message, const errorLevel_& level, outStream_ sink) {
    write(message, level, sink, true);
}

void Logger_::logError(const char* message, const errorLevel_& level, outStream_ sink) {
    write(text(message), level, sink, true);
}

void Logger_::staticLog(const std::string& message, const errorLevel_& level, outStream_ sink) {
    staticWrite(message, level, sink, false);
}

void Logger_::staticLog(const char* message, const errorLevel_& level, outStream_ sink) {
    staticWrite(text(message), level, sink, false);
}

void Logger_::staticLogError(const std::string& message, const errorLevel_& level,
                             outStream_ sink) {
    staticWrite(message, level, sink, true);
}

void Logger_::staticLogError(const char* message, const errorLevel_& level, outStream_ sink) {
    staticWrite(text(message), level, sink, true);
}

bool Logger_::passesLevel(errorLevel_ level) noexcept {
    return level <= logLevel.load(std::memory_order_relaxed);
}

void Logger_::setOutStream(outStream_ sink) {
    State& s = state();
    Lock lock(s.mutex);
    if (sink == standard) return;
    // Refused before the current sink is closed, so a file sink stays usable.
    if (sink == stream && !s.logStream) return;

    if (s.outStream == file) {
        fileLine(s, "Stopped");
        s.logFile.close();
    }
    if (sink == file) {
        s.logFile.open(s.fileName, std::ios::out | std::ios::trunc);
        if (s.logFile.is_open()) {
            fileLine(s, "Started");
        } else {
            std::cout << "Could not open log file \"" << s.fileName << "\". Switching to lstdout."
                      << std::endl;
            sink = lstdout;
        }
    }
    if (s.outStream == stream && sink != stream) s.logStream = nullptr;
    if ((sink == console || sink == econsole) && !s.console) {
        std::cout << "Unable to send output to debug console in "
                     "Logger_::setOutStream(Logger_::outStream_ os)."
                  << std::endl;
        sink = lstdout;
    }
    s.outStream = sink;
}

Logger_::outStream_ Logger_::getOutStream() {
    Lock lock(state().mutex);
    return state().outStream;
}

bool Logger_::setFileName(const std::string& name) {
    Lock lock(state().mutex);
    state().fileName = name;
    return true;
}

void Logger_::setLogStream(std::ostream* s) {
    Lock lock(state().mutex);
    state().logStream = s;
}

void Logger_::setDebugConsole(DebugConsoleSink_* c) {
    Lock lock(state().mutex);
    if (!state().console) state().console = c;
}

void Logger_::removeDebugConsole(DebugConsoleSink_* c) {
    Lock lock(state().mutex);
    if (state().console == c) state().console = nullptr;
}

Logger_::errorLevel_ Logger_::getLogLevel() {
    return static_cast<errorLevel_>(logLevel.load(std::memory_order_relaxed));
}

void Logger_::setLogLevel(errorLevel_ l) {
    Lock lock(state().mutex);
    logLevel.store(l, std::memory_order_relaxed);
}

int Logger_::getMax() {
    Lock lock(state().mutex);
    return state().max;
}

void Logger_::setMax(const int& n) {
    Lock lock(state().mutex);
    state().max = n;
}

unsigned Logger_::getMaxPerInstance() {
    Lock lock(state().mutex);
    return state().instanceMax;
}

void Logger_::setMaxPerInstance(const unsigned& n) {
    Lock lock(state().mutex);
    state().instanceMax = n;
}

unsigned Logger_::getErrors() {
    Lock lock(state().mutex);
    return state().errors;
}

unsigned Logger_::getInstanceErrors() const {
    Lock lock(state().mutex);
    return instanceErrors;
}

namespace loggertesting {
void reset() {
    State& s = state();
    Lock lock(s.mutex);
    s.logFile.close();
    s.count = 0;
    s.max = 0;
    s.instanceMax = 0;
    s.errors = 0;
    logLevel.store(Logger_::normal);
    s.outStream = Logger_::lstdout;
    s.logStream = nullptr;
    s.fileName.clear();
    s.console = nullptr;
}
}  // namespace loggertesting
