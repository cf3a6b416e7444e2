/* A plug-in with only the multi-pulse call: valid, one parameter, two
 * pulses. */
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "MultiOnly";
EXPORT const char* description = "Mixes pulses.";
EXPORT const int32_t pulses = 2;

EXPORT const char* getParameterName(uint32_t i) { return i == 0 ? "gain" : ""; }

EXPORT void callMultiple(cPulse_** pulses, uint32_t n, double* parameters) {
    (void)pulses;
    (void)n;
    (void)parameters;
}
