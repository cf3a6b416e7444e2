#pragma once
// The kernel's pulse module: the record, its grid, creation and shifting,
// domain transforms and measures, and text output.
#include "kernel/grid.h"
#include "kernel/measures.h"
#include "kernel/pulse.h"
#include "kernel/pulseoutput.h"
#include "kernel/pulserecord.h"
