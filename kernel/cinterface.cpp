#include "kernel/cinterface.h"

namespace cinterface {

int32_t sizeoflogical() { return static_cast<int32_t>(sizeof(optics::logical_)); }
int32_t sizeofinteger() { return static_cast<int32_t>(sizeof(int32_t)); }
int32_t sizeofdouble() { return static_cast<int32_t>(sizeof(double)); }
int32_t sizeofquad() { return static_cast<int32_t>(sizeof(optics::quad_)); }
int32_t sizeofcomplex() { return static_cast<int32_t>(sizeof(optics::complex_)); }

optics::logical_ ftrue() { return 1; }
optics::logical_ ffalse() { return 0; }
optics::logical_ tological(const int32_t& i) { return i != 0 ? 1 : 0; }
void maketrue(optics::logical_& flag) { flag = 1; }
void makefalse(optics::logical_& flag) { flag = 0; }

void toquad(const double& doublep, optics::quad_& quadp) { quadp = doublep; }
double todouble(const optics::quad_& quad) { return static_cast<double>(quad); }

}  // namespace cinterface
