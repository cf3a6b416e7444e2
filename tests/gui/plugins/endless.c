/* A plug-in whose parameter list never ends: every index has a name. */
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "Endless";
EXPORT const char* description = "Names every index.";
EXPORT const int32_t pulses = 2;

EXPORT const char* getParameterName(uint32_t i) {
    static const char* const names[] = {"p0", "p1", "p2", "p3", "p"};
    return i < 4 ? names[i] : names[4];
}

EXPORT void callSingle(cPulse_* pulse, double* parameters) {
    (void)pulse;
    (void)parameters;
}
