/* The plug-in record's layout as a C compiler sees it. */
#include <stddef.h>

#include "core/cpulse.h"

const size_t cpulseLayoutSeenFromC[8] = {
    offsetof(cPulse_, samples), offsetof(cPulse_, envelope), offsetof(cPulse_, domain),
    offsetof(cPulse_, dt),      offsetof(cPulse_, domega),   offsetof(cPulse_, t0),
    offsetof(cPulse_, omega0),  sizeof(cPulse_),
};
