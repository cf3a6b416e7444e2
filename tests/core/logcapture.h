#pragma once
// Collects every log line of the test's lifetime, debug levels included.
#include <sstream>
#include <string>

#include "logger.h"

class LogCapture {
public:
    LogCapture() {
        loggertesting::reset();
        Logger_::setLogLevel(Logger_::debugD);
        attach();
    }
    ~LogCapture() { loggertesting::reset(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Makes the capture the log stream and the class-wide sink (again).
    void attach() {
        Logger_::setLogStream(&out);
        Logger_::setOutStream(Logger_::stream);
    }
    // The lines written since the last call.
    std::string take() {
        std::string text = out.str();
        out.str("");
        return text;
    }
    // How often `text` occurs in the lines written since the last take().
    int count(const std::string& text) {
        const std::string lines = take();
        int n = 0;
        for (auto at = lines.find(text); at != std::string::npos; at = lines.find(text, at + 1)) ++n;
        return n;
    }

private:
    std::ostringstream out;
};
