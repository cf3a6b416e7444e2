#pragma once
// The engine's handle on one sampled pulse: it owns one kernel pulse record,
// remembers the cavity the pulse circulates in and numbers samples from 0
// (engine index i is kernel sample i + 1).
#include <string>

#include "core/cpulse.h"
#include "kernel/pulserecord.h"
#include "kernel/tools.h"
#include "logger.h"

class Cavity_;

class Pulse_ : public Logger_ {
public:
    // A pulse of `samples` zero samples with all grid values zero; a
    // non-positive count is reported and replaced by 1024.
    Pulse_(int samples, Cavity_* cavity);
    // A deep copy in the same cavity.
    Pulse_(const Pulse_& P);
    // Copies P's grid and samples into this pulse's own record, which stays
    // where it is: parameters are bound to its fields. The cavity is kept.
    Pulse_& operator=(const Pulse_& P);
    ~Pulse_();

    optics::pulse_* get() const { return data; }
    Cavity_* getCavity() const { return Cavity; }

    // Sample access, 0 <= i < getSamples(), unchecked.
    int getSamples() const { return data->envelope.size(); }
    optics::complex_ getSample(int i) const { return data->envelope(i + 1); }
    optics::complex_* getSamplePointer(int i) { return &data->envelope(i + 1); }
    double getSamplePhase(int i) const;
    // The address of the first sample for "PulseEnvelope", else null.
    void* getParameter(std::string Name);

    // The record's grid, as doubles.
    double dt() const;
    double domega() const;
    double t0() const;
    double omega0() const;
    bool domain() const { return data->domain != 0; }
    // Offsets of sample n from the grid origin, taking N/2 by integer division.
    double t(int n) const;
    double omega(int n) const;
    // Offset of kernel sample n (engine index n - 1) on the current grid.
    double x(int n) const;

    // Fills the existing samples with a Gaussian of the given duration (s),
    // energy and carrier wavelength (m) and sets the grid; with a reference
    // the grid is taken from it.
    void createGaussian(double duration, double energy, double wavelength, Pulse_* Reference);
    // Moves the peak to the centre sample, working in the time domain.
    void recenter();
    // Writes the pulse file; names are cut to 255 characters.
    void write(const char* filename);
    void write(const std::string& filename);
    void write(const tools::string_& filename);

    // The flat record a plug-in sees; it shares this pulse's samples.
    cPulse_ toCPulse();
    // Takes back the grid values and domain a plug-in may have changed.
    void fromcPulse(cPulse_& cP);

private:
    Cavity_* Cavity;
    optics::pulse_* data;
};
