#pragma once
// The kernel's side of the engine boundary: size probes of the shared scalar
// types, the kernel's truth values, and the double/extended conversions.
#include <cstdint>

#include "kernel/pulserecord.h"

namespace cinterface {

int32_t sizeoflogical();
int32_t sizeofinteger();
int32_t sizeofdouble();
int32_t sizeofquad();  // the real width of extended precision here
int32_t sizeofcomplex();

optics::logical_ ftrue();
optics::logical_ ffalse();
optics::logical_ tological(const int32_t& i);
void maketrue(optics::logical_& flag);
void makefalse(optics::logical_& flag);

void toquad(const double& doublep, optics::quad_& quadp);
double todouble(const optics::quad_& quad);

}  // namespace cinterface
