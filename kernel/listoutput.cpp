#include "kernel/listoutput.h"

#include <mutex>

namespace listoutput {

namespace {
std::mutex& outputMutex() {
    static std::mutex m;
    return m;
}

template <typename... Args>
void appendFormatted(std::string& out, const char* format, Args... args) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n > 0) out.append(buffer, static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
}
}  // namespace

void Line::separate(bool isText) {
    if (!empty_ && !(isText && lastWasText_)) text_ += ' ';
    empty_ = false;
    lastWasText_ = isText;
}

Line& Line::operator<<(std::string_view text) {
    separate(true);
    text_.append(text);
    return *this;
}

Line& Line::operator<<(int32_t value) {
    separate(false);
    appendFormatted(text_, "%11d", static_cast<int>(value));
    return *this;
}

Line& Line::operator<<(double value) {
    separate(false);
    appendFormatted(text_, "%25.17G", value);
    return *this;
}

Line& Line::operator<<(float value) {
    separate(false);
    appendFormatted(text_, "%15.8G", static_cast<double>(value));
    return *this;
}

void print(const Line& line) {
    std::lock_guard<std::mutex> lock(outputMutex());
    std::fputs(line.str().c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void print(std::string_view text) {
    Line line;
    line << text;
    print(line);
}

bool print(std::FILE* file, const Line& line) {
    std::lock_guard<std::mutex> lock(outputMutex());
    const bool ok = std::fputs(line.str().c_str(), file) >= 0 && std::fputc('\n', file) != EOF;
    return std::fflush(file) == 0 && ok;
}

}  // namespace listoutput
