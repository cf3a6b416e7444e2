#include "interface/plot.h"

#include <cmath>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "core/datashape.h"
#include "core/measurement.h"
#include "core/operation.h"
#include "core/pulse.h"
#include "interface/parameter.h"
#include "kernel/cinterface.h"
#include "kernel/grid.h"

namespace {
const char* const unimplementedPlot = "FATAL: Unimplemented plot requested in Plot_::plot(Measurement_* M, int i)";

bool isExecutableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The path as one shell word.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

// The four panels, in the order they are written: where each sits, its title
// and how a complex value becomes the panel's number.
struct Panel {
    const char* origin;
    const char* title;
    double (*value)(const optics::complex_&);
};
const Panel panels[] = {
    {"set origin 0,.5\n", "Abs",
     [](const optics::complex_& c) { return static_cast<double>(std::sqrt(c.real() * c.real() + c.imag() * c.imag())); }},
    {"set origin .5,.5\n", "Phase", [](const optics::complex_& c) { return optics::phase(c); }},
    {"set origin 0,0\n", "Re", [](const optics::complex_& c) { return static_cast<double>(c.real()); }},
    {"set origin .5,0\n", "Im", [](const optics::complex_& c) { return static_cast<double>(c.imag()); }},
};

void beginPanels(FILE* out) { std::fputs("reset\nset multiplot\n", out); }

void beginPanel(FILE* out, const Panel& panel, const char* variable) {
    std::fputs(panel.origin, out);
    std::fputs("set size .5,.5\n", out);
    std::fprintf(out, "plot \"-\" title \"%s(%s)\" \n", panel.title, variable);
}
}  // namespace

Plot_::Plot_(const std::string& program, const std::string& arguments) {
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { std::signal(SIGPIPE, SIG_IGN); });
    if (isExecutableFile(program)) {
        const std::string command = shellQuoted(program) + (arguments.empty() ? "" : " " + arguments);
        gnuplot = popen(command.c_str(), "w");
    }
    if (!gnuplot) {
        logError("Could not open pipe to " + program + ". Plotting will be disabled.", normal);
        return;
    }
    std::fputs("set terminal x11\n", gnuplot);
}

Plot_::~Plot_() {
    if (gnuplot) pclose(gnuplot);
}

void Plot_::unimplemented() { logError(unimplementedPlot, normal); }

void Plot_::writeValues(const double* values, int n) {
    std::fputs("plot \"-\"\n", gnuplot);
    for (int j = 0; j < n; ++j) std::fprintf(gnuplot, "%E\n", values[j]);
    std::fputs("e\n", gnuplot);
}

void Plot_::plotPulse(Pulse_* P) {
    if (!gnuplot || !P) return;
    const int n = P->getSamples();
    const optics::pulse_& record = *P->get();
    beginPanels(gnuplot);
    for (const Panel& panel : panels) {
        beginPanel(gnuplot, panel, "V");
        for (int j = 1; j <= n; ++j)
            std::fprintf(gnuplot, "%E %E\n", optics::getx(record, j), panel.value(P->getSample(j - 1)));
        std::fputs("e\n", gnuplot);
    }
}

void Plot_::writeComplexSeries(Measurement_* M, int sets) {
    beginPanels(gnuplot);
    for (const Panel& panel : panels) {
        beginPanel(gnuplot, panel, "x");
        for (int j = 0; j < sets; ++j)
            std::fprintf(gnuplot, "%E\n", panel.value(*static_cast<const optics::complex_*>(M->getSample(j, nullptr))));
        std::fputs("e\n", gnuplot);
    }
}

void Plot_::plot(Measurement_* M, int i) {
    const Operation_* op = M ? M->getOperation() : nullptr;
    if (i < 0 || !gnuplot || !op) return;
    const DataShape_& result = *op->getShape();
    const DataType_::type_ type = result.getType().get();
    const int sets = M->getInMemory();
    std::fputs("reset\nunset multiplot\n", gnuplot);

    if (result.getDimension() == 1) {
        if (i >= sets) return;
        void* set = M->getSample(i, nullptr);
        if (type == DataType_::doubleprecision)
            writeValues(static_cast<const double*>(set), result.getSamples()[0]);
        else if (type == DataType_::pulse)
            plotPulse(static_cast<Pulse_*>(result.getSample(0, set)));
        else
            unimplemented();
    } else if (result.getDimension() == 0) {
        switch (type) {
            case DataType_::doubleprecision:
            case DataType_::integer:
            case DataType_::quadprecision:
                std::fputs("plot \"-\"\n", gnuplot);
                for (int j = 0; j < sets; ++j) {
                    const void* value = M->getSample(j, nullptr);
                    if (type == DataType_::integer)
                        std::fprintf(gnuplot, "%i\n", *static_cast<const int32_t*>(value));
                    else if (type == DataType_::doubleprecision)
                        std::fprintf(gnuplot, "%E\n", *static_cast<const double*>(value));
                    else
                        std::fprintf(gnuplot, "%E\n", cinterface::todouble(*static_cast<const optics::quad_*>(value)));
                }
                std::fputs("e\n", gnuplot);
                break;
            case DataType_::complex:
                writeComplexSeries(M, sets);
                break;
            default:
                unimplemented();
                break;
        }
    }
    std::fflush(gnuplot);
}

void Plot_::plot(Parameter_* P) {
    if (!gnuplot || !P || !P->getData()) return;
    if (P->getDimension() == 1) {
        std::fputs("reset\nunset multiplot\n", gnuplot);
        const DataShape_& shape = *P->getShape();
        if (shape.getType() == DataType_::doubleprecision)
            writeValues(static_cast<const double*>(P->getData()), shape.getSamples()[0]);
        else if (shape.getType() == DataType_::pulse)
            plotPulse(static_cast<Pulse_*>(shape.getSample(0, P->getData())));
        else
            unimplemented();
    }
    std::fflush(gnuplot);
}
