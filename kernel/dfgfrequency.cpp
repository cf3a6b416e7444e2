#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "kernel/errorhandling.h"
#include "kernel/fastfouriertransform.h"
#include "kernel/grid.h"
#include "kernel/listoutput.h"
#include "kernel/measures.h"
#include "kernel/mixing.h"
#include "kernel/mixingsupport.h"
#include "kernel/parametercheck.h"
#include "kernel/tools.h"

namespace elements {

namespace {

using optics::complex_;
using optics::samples_;
using namespace mixing;

// The wave-number offsets of the pulse's grid, rebuilt only when the grid
// changed, and the frame factors exp(-i*deltak_j*z) of this pass.
void refresh(gridwavenumbers_& grid, const optics::pulse_& pulse, double z) {
    const int32_t n = pulse.envelope.size();
    if (grid.n != n || grid.omega0 != pulse.omega0 || grid.domega != pulse.domega) {
        wavenumberoffsets(pulse, grid.deltak);
        grid.n = n;
        grid.omega0 = pulse.omega0;
        grid.domega = pulse.domega;
        grid.largest = 0;
        for (double dk : grid.deltak) grid.largest = std::isnan(dk) ? dk : std::max(grid.largest, std::fabs(dk));
    }
    framefactors(grid.deltak, grid.largest, z, grid.phase);
}

// The six work arrays with n samples each: made on the first pass or when
// missing; a sample count that changed since the last pass is reported.
void prepareworkarrays(psetppln_& pset, int32_t n) {
    samples_* const arrays[] = {&pset.i, &pset.s, &pset.p, &pset.di, &pset.ds, &pset.dp};
    bool fits = !pset.firsttime;
    for (const samples_* a : arrays) fits = fits && a->size() == n;
    if (fits) return;
    if (!pset.firsttime && pset.p.size() != 0 && pset.p.size() != n)
        errorhandling::error("PPLNFrequency: the sample count changed from " + std::to_string(pset.p.size()) +
                             " to " + std::to_string(n) + "; work arrays resized");
    for (samples_* a : arrays) a->allocate(n);
}

// Writes the work arrays to data/<name><suffix>.dat, or reports once that
// the working directory has no "data" to hold them.
void writeworkarrays(const psetppln_& pset, const char* suffix) {
    listoutput::print("Writing debug data for PPLNFrequency ...");
    std::error_code ignored;
    if (!std::filesystem::is_directory("data", ignored)) {
        errorhandling::error("PPLNFrequency: no directory data/ in the working directory; debug data not written");
        return;
    }
    const std::pair<const samples_*, const char*> arrays[] = {{&pset.p, "p"},   {&pset.s, "s"},   {&pset.i, "i"},
                                                              {&pset.dp, "dp"}, {&pset.ds, "ds"}, {&pset.di, "di"}};
    for (const auto& [array, name] : arrays)
        tools::writecomplexdata(*array, tools::char2str(std::string("data/") + name + suffix + ".dat"));
}

}  // namespace

void pplnfrequency(optics::pulse_& pump, optics::pulse_& signal, optics::pulse_& idler, psetppln_& pset) {
    {
        using namespace parametercheck;
        if (!valid("PPLNFrequency", {{"beam width w", pset.w, positive},
                                     {"crystal length l", pset.l},
                                     {"chi2", pset.chi2},
                                     {"distance covered z", pset.z}}))
            return;
    }
    if (!samesamplecount(pump, signal, idler, "PPLNFrequency")) return;
    if (!tools::is2ton(pump.envelope.size())) {
        errorhandling::error("PPLNFrequency: " + std::to_string(pump.envelope.size()) +
                             " samples; the spectra need a power of two of at least 2; pass skipped");
        return;
    }
    optics::tofrequency(pump);
    optics::tofrequency(signal);
    optics::tofrequency(idler);
    // A grid the transform refused has been reported; such a pass is skipped.
    if (pump.domain != optics::frequency || signal.domain != optics::frequency || idler.domain != optics::frequency)
        return;
    const int32_t n = pump.envelope.size();
    prepareworkarrays(pset, n);

    pset.z += pset.l;
    // The poling phase-matches the three carriers exactly: no residual
    // mismatch enters, so each sample's increment carries exp(+i*deltak_j*z),
    // the conjugate of its frame factor.
    const double mismatch = 0.0;
    const double z = pset.z;
    const double l = pset.l;
    const double scale = pset.w * optics::sqrtpi;
    const optics::quad_ dx = pump.domega;
    mixingwork_& work = pset.work;
    refresh(work.pump, pump, z);
    refresh(work.signal, signal, z);
    refresh(work.idler, idler, z);
    exchange(pump, signal, idler, pset.chi2, l, scale, dx, {work.pump.phase, work.pump.phase},
             {work.signal.phase, work.signal.phase}, {work.idler.phase, work.idler.phase}, true,
             {pset.s, pset.p, pset.i, pset.di, pset.ds, pset.dp, work.increment});

    if (pset.firsttime) {
        pset.firsttime = 0;
        printmismatch(l, mismatch);
        writeworkarrays(pset, "first");
    }
    if (pset.lasttime) {
        writeworkarrays(pset, "last");
        for (samples_* a : {&pset.p, &pset.s, &pset.i, &pset.dp, &pset.ds, &pset.di}) a->release();
        pset.work = mixingwork_{};
    }
}

}  // namespace elements
