#pragma once
// Ready-made elements for engine tests: the record of the test plug-in
// library, and pump, signal and idler cavities meeting at a crystal.
#include <QLibrary>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>

#include "core/cavity.h"
#include "core/cavityelement.h"
#include "core/plugindata.h"

class Pulse_;
class SetupLink_;

// The record the plug-in registry makes of the test library, which
// `library` has loaded.
inline pluginData testPluginData(QLibrary& library) {
    pluginData d;
    d.callSingle = reinterpret_cast<pluginSingle_>(library.resolve(pluginsymbols::callSingle));
    d.callMultiple = reinterpret_cast<pluginMultiple_>(library.resolve(pluginsymbols::callMultiple));
    d.getParameterName = reinterpret_cast<pluginParameterName_>(library.resolve(pluginsymbols::getParameterName));
    d.Name = QString::fromLatin1(*reinterpret_cast<const char* const*>(library.resolve(pluginsymbols::name)));
    d.pulses = *reinterpret_cast<const int32_t*>(library.resolve(pluginsymbols::pulses));
    while (d.getParameterName(static_cast<uint32_t>(d.parameters))) ++d.parameters;
    return d;
}

// Wavelengths of pump, signal and idler.
constexpr double mixingWavelength[3] = {1.064e-6, 1.55e-6, 3.393e-6};

// Pump, signal and an empty idler, in that order, each in a new one-slot
// cavity of `setup` (the caller owns them) whose slot is the crystal `e`, fed
// by their pulses through `list`; sets e's table, which runs w, chi2, l.
inline std::array<Cavity_*, 3> mixingCavities(SetupLink_* setup, CavityElement_& e, Pulse_* (&list)[3]) {
    const double energy[] = {3e-7, 3e-9, 0.0};
    std::array<Cavity_*, 3> cavities;
    for (int i = 0; i < 3; ++i) {
        cavities[i] = new Cavity_(1, setup, nullptr);
        cavities[i]->initPulseGaussian(1e-12, energy[i], mixingWavelength[i]);
        list[i] = cavities[i]->getPulse();
    }
    for (Cavity_* c : cavities) c->addElement(&e, list, 3);
    for (auto [i, v] : {std::pair{0, 1e-4}, {1, 2.5e-11}, {2, 1e-3}}) e.setParameter(i, v);
    return cavities;
}
