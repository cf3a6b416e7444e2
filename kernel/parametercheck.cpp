#include "kernel/parametercheck.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "kernel/errorhandling.h"

namespace parametercheck {

namespace {

std::string number(optics::quad_ x) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.6Lg", x);
    return buffer;
}

bool indomain(const parameter_& p) {
    if (!std::isfinite(p.value)) return false;
    switch (p.domain) {
        case positive: return p.value > 0;
        case nonnegative: return p.value >= 0;
        default: return true;
    }
}

const char* need(domain_ domain) {
    switch (domain) {
        case positive: return "needs a positive finite value";
        case nonnegative: return "needs a finite value of at least 0";
        default: return "needs a finite value";
    }
}

}  // namespace

bool valid(std::string_view routine, std::initializer_list<parameter_> parameters) {
    for (const parameter_& p : parameters) {
        if (indomain(p)) continue;
        errorhandling::error("ERROR: " + std::string(routine) + ": " + p.name + " = " + number(p.value) + " " +
                             need(p.domain) + ". Call refused");
        return false;
    }
    return true;
}

bool finitefactor(std::string_view routine, const char* parameter, optics::quad_ value, optics::quad_ factor) {
    if (std::isfinite(factor)) return true;
    errorhandling::error("ERROR: " + std::string(routine) + ": " + parameter + " = " + number(value) +
                         " gives the factor " + number(factor) + ", which is not finite. Call refused");
    return false;
}

}  // namespace parametercheck
