#pragma once
// Stand-ins for the debug console and the setup-tree nodes in tests, and the
// error list read back as rows.
#include <QString>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <vector>

#include "debugconsolesink.h"
#include "interface/error.h"

class Node_;

// Records every text the log hands to the console.
class FakeConsole : public DebugConsoleSink_ {
public:
    void write(const QString& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(text);
    }
    std::vector<QString> written() {
        std::lock_guard<std::mutex> lock(mutex);
        return texts;
    }

private:
    std::mutex mutex;
    std::vector<QString> texts;
};

// Distinct node addresses; the registry only stores and hands them on.
inline Node_* fakeNode(int i) {
    static std::max_align_t storage[32];
    return reinterpret_cast<Node_*>(&storage[i]);
}

struct ErrorRow {
    QString message;
    Node_* source;
    int code;
    bool operator==(const ErrorRow& o) const {
        return message == o.message && source == o.source && code == o.code;
    }
};

inline void PrintTo(const ErrorRow& r, std::ostream* os) {
    *os << '{' << r.message.toStdString() << ", " << r.source << ", " << r.code << '}';
}

inline std::vector<ErrorRow> listedErrors() {
    std::vector<ErrorRow> rows;
    for (int i = 0; Error_::getErrorCode(i) != -1; ++i)
        rows.push_back({Error_::getErrorMessage(i), Error_::getErrorSource(i), Error_::getErrorCode(i)});
    return rows;
}

// A window's rows after the registry's request to delete row i (-1: all).
inline void deleteRow(std::vector<ErrorRow>& rows, int i) {
    if (i == -1) rows.clear();
    else if (i >= 0 && i < static_cast<int>(rows.size())) rows.erase(rows.begin() + i);
}
