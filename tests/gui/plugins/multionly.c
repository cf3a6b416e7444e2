/* A plug-in with only the multi-pulse call: valid, one parameter, and no
 * declared pulse count. */
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "MultiOnly";
EXPORT const char* description = "Mixes pulses.";

EXPORT const char* getParameterName(uint32_t i) { return i == 0 ? "gain" : ""; }

EXPORT void callMultiple(cPulse_** pulses, uint32_t n, double* parameters) {
    (void)pulses;
    (void)n;
    (void)parameters;
}
