#pragma once
// Where the log's `console` and `econsole` sinks write: the debug console,
// which appends each text on the user-interface thread.
#include <QString>

class DebugConsoleSink_ {
public:
    virtual ~DebugConsoleSink_() = default;
    // Accepts one text, line end included; callable from any thread.
    virtual void write(const QString& text) = 0;
};
