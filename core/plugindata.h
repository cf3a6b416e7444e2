#pragma once
// What the program knows of one plug-in library: the functions it exports,
// resolved once, and its description. A library exports, as plain C symbols:
//   name, description     pointers to NUL-terminated 8-bit text
//   pulses                int32_t, the number of pulses it takes in
//   callSingle            void callSingle(cPulse_* pulse, double* parameters)
//   callMultiple          void callMultiple(cPulse_** pulses, uint32_t n, double* parameters)
//   getParameterName      const char* getParameterName(uint32_t i)
// Each function may be missing, which leaves its pointer null.
#include <QString>
#include <cstdint>

#include "core/cpulse.h"

extern "C" {
typedef void (*pluginSingle_)(cPulse_* pulse, double* parameters);
typedef void (*pluginMultiple_)(cPulse_** pulses, uint32_t n, double* parameters);
typedef const char* (*pluginParameterName_)(uint32_t i);
}

// The exported names, for the code that resolves them.
namespace pluginsymbols {
constexpr const char* name = "name";
constexpr const char* description = "description";
constexpr const char* pulses = "pulses";
constexpr const char* callSingle = "callSingle";
constexpr const char* callMultiple = "callMultiple";
constexpr const char* getParameterName = "getParameterName";
}  // namespace pluginsymbols

// The record the plug-in registry makes for one library and hands, by value,
// to the element built from it.
struct pluginData {
    pluginSingle_ callSingle = nullptr;
    pluginMultiple_ callMultiple = nullptr;
    pluginParameterName_ getParameterName = nullptr;
    QString Name;
    QString Description;
    QString FileName;
    // Leading indices for which getParameterName gives a non-empty name.
    int32_t parameters = 0;
    // The library's `pulses`; recorded and logged only.
    int32_t pulses = 0;
};
