#pragma once
// Tests that see the kernel's error reports: each test starts with a fresh
// count, and reports reach a recorder instead of standard output.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kernel/errorhandling.h"

namespace kernelerrors {

struct Report {
    std::string message;
    int32_t source;
    int32_t code;
};

inline std::vector<Report>& recorded() {
    static std::vector<Report> reports;
    return reports;
}

class KernelErrors : public ::testing::Test {
protected:
    void SetUp() override {
        errorhandling::testing::reset();
        recorded().clear();
        errorhandling::setreporthook([](const char* message, const int32_t& source, const int32_t& code,
                                        int32_t length) {
            recorded().push_back({std::string(message, static_cast<size_t>(length)), source, code});
        });
        errorhandling::seterrormode(errorhandling::tohost);
    }
    void TearDown() override {
        errorhandling::seterrormode(errorhandling::standard);
        errorhandling::setlogfile("");
        errorhandling::setreporthook(nullptr);
        errorhandling::testing::reset();
    }
    static std::vector<std::string> messages() {
        std::vector<std::string> texts;
        for (const Report& r : recorded()) texts.push_back(r.message);
        return texts;
    }
    // The number of errors `body` reports, forwarded or not.
    static int32_t errorsof(const std::function<void()>& body) {
        const int32_t before = errorhandling::testing::errorcount();
        body();
        return errorhandling::testing::errorcount() - before;
    }
};

}  // namespace kernelerrors
