#pragma once
// Stand-ins for the debug console and the setup-tree nodes in tests.
#include <QString>
#include <cstddef>
#include <mutex>
#include <vector>

#include "debugconsolesink.h"

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
