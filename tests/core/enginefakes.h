#pragma once
// Stand-ins for elements, conditions, measurements and the owning setup in
// engine tests: each records what the engine asked of it in a shared journal.
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "core/cavityelement.h"
#include "core/condition.h"
#include "core/measurement.h"
#include "core/setuplink.h"
#include "logger.h"

using Journal = std::vector<std::string>;

// An element that writes "<name>" for a one-pulse call, "<name>*<n>" for an
// n-pulse call and "<name>!" for the last-call notice.
class FakeElement : public CavityElement_ {
public:
    FakeElement(Journal& journal, std::string name, ElementNode_* node = nullptr)
        : CavityElement_(nullptr, node), journal(journal), name(std::move(name)) {}

    void call(Pulse_* pulse) override {
        if (skipPass()) return;
        journal.push_back(name);
        pulses.push_back(pulse);
    }
    void call(Pulse_** list, int n) override {
        journal.push_back(name + "*" + std::to_string(n));
        lists.push_back(std::vector<Pulse_*>(list, list + n));
    }
    void lastCall() override { journal.push_back(name + "!"); }

    Journal& journal;
    std::string name;
    std::vector<Pulse_*> pulses;               // one-pulse calls, in order
    std::vector<std::vector<Pulse_*>> lists;   // n-pulse calls, in order
};

class FakeCondition : public Condition_ {
public:
    FakeCondition(bool& met, int& destroyed) : met(met), destroyed(destroyed) {}
    ~FakeCondition() override { ++destroyed; }
    bool isMet() override { return met; }

    bool& met;
    int& destroyed;
};

class FakeMeasurement : public Measurement_ {
public:
    FakeMeasurement(Journal& journal, std::string name, int* destroyed = nullptr)
        : journal(journal), name(std::move(name)), destroyed(destroyed) {}
    ~FakeMeasurement() override {
        if (destroyed) ++*destroyed;
    }
    void collect() override { journal.push_back(name); }
    void write(const int&) override {}

    Journal& journal;
    std::string name;
    int* destroyed;
};

struct FakeSetup : SetupLink_ {
    int samples = 256;
    int roundtrips = 10;
    int getSamples() const override { return samples; }
    int getRoundtrips() const override { return roundtrips; }
};

// Distinct pulse addresses for elements that only pass pulses on.
inline Pulse_* fakePulse(int i) {
    static std::max_align_t storage[16];
    return reinterpret_cast<Pulse_*>(&storage[i]);
}

// Sends the log to a string at the given level for the life of the object.
class CapturedLog {
public:
    explicit CapturedLog(Logger_::errorLevel_ level) {
        loggertesting::reset();
        Logger_::setLogStream(&out);
        Logger_::setOutStream(Logger_::stream);
        Logger_::setLogLevel(level);
    }
    ~CapturedLog() { loggertesting::reset(); }
    std::string text() const { return out.str(); }
    // The lines without the writer's number in front of debug lines.
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            const size_t digits = line.find_first_not_of("0123456789");
            if (digits != 0 && digits != std::string::npos && line.compare(digits, 2, ": ") == 0)
                line.erase(0, digits + 2);
            result.push_back(line);
        }
        return result;
    }

private:
    std::ostringstream out;
};
