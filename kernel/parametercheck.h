#pragma once
// The entry check of the kernel routines. A routine lists its physical
// parameters with the domain each must lie in; the first one that is not a
// finite number in its domain is reported through errorhandling::error with
// the routine and the parameter named, and the routine returns before it
// touches the pulse or its record. The check is inline and costs a few
// comparisons per call; only a report leaves it.
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace parametercheck {

enum domain_ { finite, positive, nonnegative };

struct parameter_ {
    const char* name;
    double value;
    domain_ domain = finite;
};

inline bool indomain(const parameter_& p) {
    if (!std::isfinite(p.value)) return false;
    return p.domain == finite || p.value > 0 || (p.domain == nonnegative && p.value == 0);
}

// Reports that `p` is outside its domain in `routine`; gives false.
bool refuse(std::string_view routine, const parameter_& p);
// Reports that the finite `value` of `parameter` gives a factor that is not
// finite in `routine`; gives false.
bool refusefactor(std::string_view routine, const char* parameter, double value, double factor);

// True when every parameter is finite and in its domain; otherwise reports
// the first that is not and gives false.
inline bool valid(std::string_view routine, std::initializer_list<parameter_> parameters) {
    for (const parameter_& p : parameters)
        if (!indomain(p)) return refuse(routine, p);
    return true;
}

// True when `factor`, computed once from `parameter`, is finite; otherwise
// reports that the parameter gives no finite factor.
inline bool finitefactor(std::string_view routine, const char* parameter, double value, double factor) {
    return std::isfinite(factor) || refusefactor(routine, parameter, value, factor);
}

}  // namespace parametercheck
