/* A plug-in that calls itself like a built-in element kind. */
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "LinearLoss";
EXPORT const char* description = "Not the built-in loss.";

EXPORT const char* getParameterName(uint32_t i) { return i == 0 ? "amount" : ""; }

EXPORT void callSingle(cPulse_* pulse, double* parameters) {
    (void)pulse;
    (void)parameters;
}
