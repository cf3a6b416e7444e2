#include "kernel/parametercheck.h"

#include <cstdio>
#include <string>

#include "kernel/errorhandling.h"

namespace parametercheck {

namespace {

std::string number(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", x);
    return buffer;
}

const char* need(domain_ domain) {
    switch (domain) {
        case positive: return "needs a positive finite value";
        case nonnegative: return "needs a finite value of at least 0";
        default: return "needs a finite value";
    }
}

}  // namespace

bool refuse(std::string_view routine, const parameter_& p) {
    errorhandling::error("ERROR: " + std::string(routine) + ": " + p.name + " = " + number(p.value) + " " +
                         need(p.domain) + ". Call refused");
    return false;
}

bool refusefactor(std::string_view routine, const char* parameter, double value, double factor) {
    errorhandling::error("ERROR: " + std::string(routine) + ": " + parameter + " = " + number(value) +
                         " gives the factor " + number(factor) + ", which is not finite. Call refused");
    return false;
}

}  // namespace parametercheck
