#pragma once
// Heap allocations made through operator new since the program started; the
// benchmarks read it before and after the work they measure.
long allocationCount();
