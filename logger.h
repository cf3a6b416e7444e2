#pragma once
// Logging mix-in of nearly every class: each object has a number and two
// counters; the level filter, the message limits and the one current sink are
// class-wide and guarded by one recursive lock, so lines never interleave.
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

class DebugConsoleSink_;

class Logger_ {
public:
    enum errorLevel_ : int32_t {
        fatal = 0,  // written, then the process ends with status 1
        normal = 1,
        debugA = 2,
        debugB = 3,
        debugC = 4,
        debugD = 5,
    };
    enum outStream_ : int32_t {
        lstdout = 0,
        lstderr = 1,
        stream = 2,    // the stream set by setLogStream
        file = 3,      // the file named by setFileName
        none = 4,      // counted, not written
        console = 5,   // the debug console
        econsole = 6,  // debug levels to the console, others to standard output
        standard = 7,  // the current class-wide sink
    };

    Logger_();
    // The copy keeps the counters and takes a number of its own.
    Logger_(const Logger_& other);
    Logger_& operator=(const Logger_& other);
    ~Logger_();

    // Writes one line when the level passes the filter and no limit is
    // reached; debug levels are prefixed with this object's number and ": ".
    void log(const std::string& message, const errorLevel_& level, outStream_ sink = standard);
    void log(const char* message, const errorLevel_& level, outStream_ sink = standard);
    // As log, and counts an error whether or not the line was written.
    void logError(const std::string& message, const errorLevel_& level, outStream_ sink = standard);
    void logError(const char* message, const errorLevel_& level, outStream_ sink = standard);

    // As log without an object: debug levels are prefixed with "s: ".
    static void staticLog(const std::string& message, const errorLevel_& level,
                          outStream_ sink = standard);
    static void staticLog(const char* message, const errorLevel_& level,
                          outStream_ sink = standard);
    static void staticLogError(const std::string& message, const errorLevel_& level,
                               outStream_ sink = standard);
    static void staticLogError(const char* message, const errorLevel_& level,
                               outStream_ sink = standard);

    // Lock-free: lets hot code skip composing a message the filter drops.
    static bool passesLevel(errorLevel_ level) noexcept;

    static void setOutStream(outStream_ sink);
    static outStream_ getOutStream();
    static bool setFileName(const std::string& name);
    static void setLogStream(std::ostream* s);
    // Only the first console is taken.
    static void setDebugConsole(DebugConsoleSink_* c);
    // A console being destroyed leaves the log; console lines then go to
    // standard output.
    static void removeDebugConsole(DebugConsoleSink_* c);
    static errorLevel_ getLogLevel();
    static void setLogLevel(errorLevel_ l);
    // Limit on all messages written; 0 or less: none. max + 1 are written.
    static int getMax();
    static void setMax(const int& n);
    // Limit on each object's messages; 0: none. max + 1 are written.
    static unsigned getMaxPerInstance();
    static void setMaxPerInstance(const unsigned& n);
    static unsigned getErrors();
    unsigned getInstanceErrors() const;

private:
    // `error` also counts an error, whether or not the line is written.
    void write(std::string_view message, errorLevel_ level, outStream_ sink, bool error);
    static void staticWrite(std::string_view message, errorLevel_ level, outStream_ sink,
                            bool error);

    uint32_t instance;
    uint32_t instanceCount;
    uint32_t instanceErrors;
};

// For tests only: the program never resets the class-wide state.
namespace loggertesting {
void reset();
}
