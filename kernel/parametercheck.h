#pragma once
// The entry check of the kernel routines. A routine lists its physical
// parameters with the domain each must lie in; the first one that is not a
// finite number in its domain is reported through errorhandling::error with
// the routine and the parameter named, and the routine returns before it
// touches the pulse or its record. The cost is constant per call.
#include <initializer_list>
#include <string_view>

#include "kernel/pulserecord.h"

namespace parametercheck {

enum domain_ { finite, positive, nonnegative };

struct parameter_ {
    const char* name;
    optics::quad_ value;
    domain_ domain = finite;
};

// True when every parameter is finite and in its domain; otherwise reports
// the first that is not and gives false.
bool valid(std::string_view routine, std::initializer_list<parameter_> parameters);

// True when `factor`, computed once from the finite `parameter`, is finite;
// otherwise reports that the parameter gives no finite factor.
bool finitefactor(std::string_view routine, const char* parameter, optics::quad_ value, optics::quad_ factor);

}  // namespace parametercheck
