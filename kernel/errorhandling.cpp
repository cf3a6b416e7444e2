#include "kernel/errorhandling.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include "kernel/listoutput.h"

namespace errorhandling {

namespace {

struct State {
    std::atomic<int32_t> errors{0};
    std::atomic<reporthook_t> hook{nullptr};
    std::mutex mutex;  // guards mode, logfile name and file
    int32_t mode = standard;
    errstring_ logfile = char2str("");
    std::FILE* file = nullptr;
};

State& state() {
    static State s;
    return s;
}

// Counts one error and gives the new count. The count stops at its largest
// value: wrapping round to negative counts would let reports through again.
int32_t countone(std::atomic<int32_t>& errors) {
    int32_t count = errors.load();
    while (count < std::numeric_limits<int32_t>::max() && !errors.compare_exchange_weak(count, count + 1)) {
    }
    return count < std::numeric_limits<int32_t>::max() ? count + 1 : count;
}

const char* const kTooMany = "#Too many error messages. Further errors will not be reported";

// Ends the process after a fatal kernel error: output is flushed, and
// _Exit skips static destructors that other threads may still be using.
[[noreturn]] void endProcess() {
    std::fflush(nullptr);
    std::_Exit(1);
}

bool appendToLog(State& s, const listoutput::Line& line) {
    return s.file != nullptr && listoutput::print(s.file, line);
}

void closeLogAfterFailure(State& s) {
    listoutput::print("#Unable to write to error log. Switching to standard");
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
    s.mode = standard;
}

std::string_view tableText(int32_t code) {
    switch (code) {
        case 0: return "No Error";
        case 1: return "some non fatal problem";
        case 2: return "loss>100%";
        case 3: return "n<1";
        case 4: return "negative loss!";
        case 5: return "pulses do not overlap in OPO!";
        case 6: return "invalid number of digits in integer to string conversion";
        case 7: return "Invalid boundaries in Integrate()";
        case 8: return "Pump rate is too low ==>Negative gain";
        case 9: return "Negative argument for sellmeier equation";
        case 10: return "Only one of two bounds given in WriteData";
        case 11: return "Pulse not zero at end of array.";
        case 12: return "Invalid argument";
        case 13: return "Unable to read from file";
        case 500: return "Cannot write to file";
        default: return "Unknown Error";
    }
}

void dispatch(std::string_view message, int32_t source, int32_t code) {
    State& s = state();
    const int32_t count = countone(s.errors);
    if (count > errorlimit) return;

    listoutput::Line line;
    line << message;
    int32_t mode;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        mode = s.mode;
        if (mode == tofile && !appendToLog(s, line)) {
            closeLogAfterFailure(s);
            return;
        }
    }
    switch (mode) {
        case standard: listoutput::print(line); break;
        case exitall:
            listoutput::print(line);
            endProcess();
        case tohost: {
            const reporthook_t hook = s.hook.load();
            if (hook)
                hook(message.data(), source, code, static_cast<int32_t>(message.size()));
            else
                listoutput::print(line);
            break;
        }
        default: break;
    }
    if (count == errorlimit) listoutput::print(kTooMany);
}

}  // namespace

void setreporthook(reporthook_t hook) { state().hook.store(hook); }

void error(std::string_view message) { dispatch(message, -1, 1); }
void error(std::string_view message, const int32_t& source) { dispatch(message, source, 1); }
void error(std::string_view message, const int32_t& source, const int32_t& code) {
    dispatch(message, source, code);
}

void seterrormode(const int32_t& newmode) {
    State& s = state();
    if (newmode < standard || newmode > tohost) {
        listoutput::Line line;
        line << "Unknown error mode" << newmode;
        listoutput::print(line);
        return;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    const std::string name = str2char(s.logfile);
    if (s.mode == tofile && newmode != tofile) {
        listoutput::Line count;
        count << s.errors.load() << "Errors occured.";
        const bool countWritten = appendToLog(s, count);
        listoutput::Line stopped;
        stopped << "Error Log stopped -----------------------------------";
        const bool stopWritten = appendToLog(s, stopped);
        listoutput::print("#Closing Logfile " + name);
        if (s.errors.load() > 0) {
            listoutput::Line occurred;
            occurred << s.errors.load() << "Errors or warnings occured.";
            listoutput::print(occurred);
        }
        if (!countWritten || !stopWritten)
            listoutput::print("Unable to write error log. Switching to standard");
        if (s.file) std::fclose(s.file);
        s.file = nullptr;
    } else if (newmode == tofile && s.mode != tofile) {
        if (name.find_first_not_of(' ') == std::string::npos) {
            listoutput::print("Could not open error log. No filename given. Switching to standard");
            s.mode = standard;
            return;
        }
        listoutput::print("#Opening Logfile " + name);
        s.file = std::fopen(name.c_str(), "a");
        listoutput::Line started;
        started << "Error Log started -----------------------------------";
        if (!appendToLog(s, started)) {
            if (s.file) std::fclose(s.file);
            s.file = nullptr;
            listoutput::print("Unable to write to error log. Switching to standard");
            s.mode = standard;
            return;
        }
    }
    s.mode = newmode;
}

void setlogfile(std::string_view filename) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().logfile = char2str(filename);
}

void handleerror(const int32_t& code) {
    State& s = state();
    const std::string text(tableText(code));
    listoutput::Line numbered;
    numbered << "#Error" << code << ":" << text;
    if (code >= 500) {
        listoutput::Line fatal;
        fatal << "#Fatal Error" << code << ":" << text;
        listoutput::print(fatal);
        endProcess();
    }
    if (code <= 0) return;
    const int32_t count = countone(s.errors);
    if (count <= errorlimit) {
        int32_t mode;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            mode = s.mode;
            if (mode == tofile) {
                listoutput::Line logged;
                logged << "Error:" << text;
                if (!appendToLog(s, logged)) {
                    closeLogAfterFailure(s);
                    return;
                }
            }
        }
        if (mode == standard) listoutput::print(numbered);
        if (mode == exitall) {
            listoutput::print(numbered);
            endProcess();
        }
    }
    if (count == errorlimit) listoutput::print(kTooMany);
}

errstring_ geterrorstring(const int32_t& code) { return char2str(tableText(code)); }

errstring_ char2str(std::string_view c) {
    errstring_ s;
    const size_t n = std::min(c.size(), sizeof s.data);
    std::memset(s.data, ' ', sizeof s.data);
    std::memcpy(s.data, c.data(), n);
    s.length = static_cast<int32_t>(n);
    return s;
}

std::string str2char(const errstring_& s) {
    const int32_t n = std::clamp<int32_t>(s.length, 0, static_cast<int32_t>(sizeof s.data));
    return std::string(s.data, static_cast<size_t>(n));
}

namespace testing {
void reset(int32_t count) { state().errors.store(count); }
int32_t errorcount() { return state().errors.load(); }
int32_t mode() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().mode;
}
}  // namespace testing

}  // namespace errorhandling
