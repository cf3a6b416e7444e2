#include "kernel/elementsupport.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/errorhandling.h"

namespace elements::support {

bool componentscover(const optics::pulse_& pulse, int32_t n, std::string_view routine) {
    if (pulse.u.allocated() && pulse.v.allocated() && pulse.u.size() >= n && pulse.v.size() >= n)
        return true;
    errorhandling::error("ERROR: Polarisation components missing or shorter than the envelope in " +
                         std::string(routine));
    return false;
}

bool validwavelength(const optics::pulse_& pulse) {
    const double lambda = optics::lambda0(pulse);
    return lambda > 0 && std::isfinite(lambda);
}

void outofmemory() {
    std::fprintf(stderr, "Operating system error: %s\nOut of memory\n", std::strerror(ENOMEM));
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace elements::support
