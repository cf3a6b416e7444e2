/* A plug-in for the tests, built against the public pulse header only:
 * scales the samples by "scale", moves the grid origin by " delay" (blank
 * included) and marks the pulse as a spectrum when "spectrum" is non-zero. */
#include <stddef.h>
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "TestScale";
EXPORT const char* description = "Scales the samples and delays the pulse.";
EXPORT const int32_t pulses = 1;

static const char* const names[] = {"scale", " delay", "spectrum"};

EXPORT const char* getParameterName(uint32_t i) { return i < 3 ? names[i] : NULL; }

EXPORT void callSingle(cPulse_* pulse, double* parameters) {
    for (int32_t k = 0; k < pulse->samples; ++k) {
        pulse->envelope[k].re *= (float)parameters[0];
        pulse->envelope[k].im *= (float)parameters[0];
    }
    pulse->t0 += parameters[1];
    if (parameters[2] != 0.0) pulse->domain = 0;
}
