#pragma once
// An element whose pass is a separately built library's callSingle: the pulse
// goes to it as the flat cPulse_ record, with the element's parameter values,
// whose names the library gives.
#include <QString>
#include <cstdint>
#include <memory>

#include "core/cavityelement.h"
#include "core/plugindata.h"

class ElementPlugin_ : public CavityElement_ {
public:
    // Takes the library's functions and parameter names; the values start at
    // zero. Missing names (no getParameterName, or a null name) leave the
    // entries unnamed and are reported.
    ElementPlugin_(Setup_* Parent, ElementNodeLink_* Source, pluginData d);

    type_ getType() override { return elementplugin; }
    // One pass through callSingle; skipped, and reported once, when the
    // library has none.
    void call(Pulse_* pulse) override;
    // Evaluates the condition only; the pulses are left alone.
    void call(Pulse_** pulses, int n) override;
    void lastCall() override {}

private:
    // Logs the message and lists it for the user.
    void report(const QString& message);

    pluginSingle_ single;
    // Held with the library's other entry points; no pass calls it.
    [[maybe_unused]] pluginMultiple_ multiple;
    std::unique_ptr<double[]> psetd;
    int32_t psetdParameters;
    int32_t pulses;
    int32_t id = 0;
    QString Name;
    bool missingSingleReported = false;
};
