#pragma once
// The kernel's only error path: every kernel problem is counted and, for the
// first ten of the process, printed, logged, fatal, or forwarded to the engine.
#include <cstdint>
#include <string>
#include <string_view>

namespace errorhandling {

constexpr int32_t errorlimit = 10;
constexpr int32_t standard = 0;  // each error as a line on standard output
constexpr int32_t nowarn = 1;    // errors are only counted
constexpr int32_t tofile = 2;    // each error appended to the log file
constexpr int32_t exitall = 3;   // print, then end the process
constexpr int32_t tohost = 4;    // forward to the engine's hook

// The module's own fixed-length text: a length and 80 blank-padded characters.
struct errstring_ {
    int32_t length = 0;
    char data[80];
};

// The engine's receiver of forwarded errors: the message is `length`
// characters without a terminator.
using reporthook_t = void (*)(const char* message, const int32_t& source, const int32_t& code,
                              int32_t length);
// Registers the engine's hook (null unregisters it). Without a hook, mode
// `tohost` prints the message as mode `standard` does.
void setreporthook(reporthook_t hook);

void error(std::string_view message);
void error(std::string_view message, const int32_t& source);
void error(std::string_view message, const int32_t& source, const int32_t& code);

void seterrormode(const int32_t& newmode);
void setlogfile(std::string_view filename);
void handleerror(const int32_t& code);
errstring_ geterrorstring(const int32_t& code);

errstring_ char2str(std::string_view c);
std::string str2char(const errstring_& s);

// For tests only: the program never resets the process-wide counter.
namespace testing {
// Sets the count (0 by default).
void reset(int32_t count = 0);
int32_t errorcount();
int32_t mode();
}  // namespace testing

}  // namespace errorhandling
