/* A library that exports only callSingle: no name, no description and no
 * parameter list, so the registry lists it as unnamed and never offers it. */
#include "core/cpulse.h"

#define EXPORT __attribute__((visibility("default")))

EXPORT void callSingle(cPulse_* pulse, double* parameters) {
    (void)pulse;
    (void)parameters;
}
