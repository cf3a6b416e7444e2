#pragma once
// Whole sample counts from extended-precision quotients, without undefined
// conversions: the value is truncated toward zero, saturated to
// +-INT32_MAX (so it can be negated) and NaN gives 0.
#include <cmath>
#include <cstdint>
#include <limits>

#include "kernel/pulserecord.h"

namespace optics {

inline int32_t truncatedcount(quad_ x) {
    constexpr int32_t top = std::numeric_limits<int32_t>::max();
    if (std::isnan(x)) return 0;
    if (x >= top) return top;
    if (x <= -top) return -top;
    return static_cast<int32_t>(std::trunc(x));
}

}  // namespace optics
