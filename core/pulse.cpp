#include "core/pulse.h"

#include <cstddef>
#include <string_view>
#include <type_traits>

#include "kernel/cinterface.h"
#include "kernel/optics.h"

// The plug-in record's layout is binding for separately built libraries.
static_assert(sizeof(cComplex_) == 8 && offsetof(cComplex_, re) == 0 &&
                  offsetof(cComplex_, im) == 4,
              "cComplex_ layout");
static_assert(sizeof(cComplex_) == sizeof(optics::complex_), "a sample is two floats");
static_assert(offsetof(cPulse_, samples) == 0 && offsetof(cPulse_, envelope) == 8 &&
                  offsetof(cPulse_, domain) == 16 && offsetof(cPulse_, dt) == 24 &&
                  offsetof(cPulse_, domega) == 32 && offsetof(cPulse_, t0) == 40 &&
                  offsetof(cPulse_, omega0) == 48 && sizeof(cPulse_) == 56,
              "cPulse_ layout");
static_assert(std::is_standard_layout_v<cPulse_>, "cPulse_ is a C record");

namespace {

constexpr int defaultSamples = 1024;
constexpr std::size_t longestFileName = 255;

}  // namespace

Pulse_::Pulse_(int samples, Cavity_* cavity) : Cavity(cavity), data(new optics::pulse_) {
    if (samples <= 0) {
        logError("ERROR: illegal initialization.", debugA, standard);
        samples = defaultSamples;
    }
    data->domain = optics::frequency;
    data->envelope.allocate(samples);
}

Pulse_::Pulse_(const Pulse_& P) : Logger_(), Cavity(P.Cavity), data(new optics::pulse_) {
    data->envelope.allocate(P.getSamples());
    optics::copypulse(*P.data, *data);
}

Pulse_& Pulse_::operator=(const Pulse_& P) {
    if (this == &P) return *this;
    data->omega0 = P.data->omega0;
    data->t = P.data->t;
    data->dt = P.data->dt;
    data->domega = P.data->domega;
    data->domain = P.data->domain;
    data->envelope = P.data->envelope;
    data->u.release();
    data->v.release();
    return *this;
}

Pulse_::~Pulse_() {
    delete data;
    data = nullptr;
}

void* Pulse_::getParameter(std::string Name) {
    return Name == "PulseEnvelope" ? getSamplePointer(0) : nullptr;
}

double Pulse_::dt() const { return cinterface::todouble(data->dt); }
double Pulse_::domega() const { return cinterface::todouble(data->domega); }
double Pulse_::t0() const { return cinterface::todouble(data->t); }
double Pulse_::omega0() const { return cinterface::todouble(data->omega0); }

double Pulse_::getSamplePhase(int i) const { return optics::phase(getSample(i)); }

double Pulse_::x(int n) const { return optics::getx(*data, n); }

double Pulse_::t(int n) const { return dt() * (n - getSamples() / 2); }
double Pulse_::omega(int n) const { return domega() * (n - getSamples() / 2); }

void Pulse_::createGaussian(double duration, double energy, double wavelength, Pulse_* Reference) {
    optics::generatepulse(*data, duration, energy, wavelength, Reference ? Reference->data : nullptr);
}

void Pulse_::recenter() { optics::recenter(*data, 1, optics::time); }

void Pulse_::write(const char* filename) { write(std::string(filename ? filename : "")); }

void Pulse_::write(const std::string& filename) {
    write(tools::char2str(std::string_view(filename).substr(0, longestFileName)));
}

void Pulse_::write(const tools::string_& filename) { optics::writepulse(*data, filename); }

cPulse_ Pulse_::toCPulse() {
    cPulse_ c{};
    c.samples = getSamples();
    c.envelope = reinterpret_cast<cComplex_*>(data->envelope.data());
    c.domain = data->domain;
    c.t0 = t0();
    c.omega0 = omega0();
    c.dt = dt();
    c.domega = domega();
    return c;
}

void Pulse_::fromcPulse(cPulse_& cP) {
    cinterface::toquad(cP.t0, data->t);
    cinterface::toquad(cP.omega0, data->omega0);
    cinterface::toquad(cP.dt, data->dt);
    cinterface::toquad(cP.domega, data->domega);
    data->domain = cinterface::tological(cP.domain);
}
