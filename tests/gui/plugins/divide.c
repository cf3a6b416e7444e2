/* A plug-in element that divides by its parameter "divisor" in integers on
   every pass: a divisor of 0 raises a floating-point exception on the setup
   thread. */
#include <stdint.h>

#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* name = "Divide";
EXPORT const char* description = "Divides by its divisor on every pass.";
EXPORT const int32_t pulses = 1;

EXPORT const char* getParameterName(uint32_t i) { return i == 0 ? "divisor" : 0; }

volatile int32_t quotient;

/* The hardware fault itself, not the sanitizer's report of it. */
EXPORT __attribute__((no_sanitize("undefined"))) void callSingle(cPulse_* pulse, double* parameters) {
    (void)pulse;
    /* Both operands read at run time, so no division is folded away. */
    volatile int32_t dividend = 1;
    volatile int32_t divisor = (int32_t)parameters[0];
    quotient = dividend / divisor;
}
