#pragma once
// Pulses and the overlap of two pulses as text files: "#" comment lines with
// the grid, then one row of numbers per sample.
#include <optional>

#include "kernel/pulserecord.h"
#include "kernel/tools.h"

namespace optics {

// Writes the grid of the pulse as given, then one row per sample (x, |s|,
// phase, re, im; for u and v each): of the pulse itself, or of a transformed
// copy when `domain` names the other domain.
void writepulse(const pulse_& pulse, const tools::string_& filename,
                std::optional<logical_> domain = std::nullopt);

// Writes the samples the two pulses share on pulse1's grid, pulse1's row then
// pulse2's for each pair, each row starting with the absolute time.
void writeoverlap(const pulse_& pulse1, const pulse_& pulse2, const tools::string_& filename);

}  // namespace optics
