#ifndef CPULSE_H
#define CPULSE_H
/*
 * The pulse record a plug-in library receives. It is exchanged between
 * separately built binaries, so its layout is fixed: the natural layout of
 * a 64-bit little-endian platform,
 *
 *   offset  field     type
 *        0  samples   int32_t
 *        4  (padding, 4 bytes)
 *        8  envelope  cComplex_*
 *       16  domain    int32_t
 *       20  (padding, 4 bytes)
 *       24  dt        double
 *       32  domega    double
 *       40  t0        double
 *       48  omega0    double
 *                     56 bytes in all.
 *
 * A plug-in may change envelope[0 .. samples-1] in place and the grid values;
 * it cannot change the number of samples or move the array.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One sample: real part, then imaginary part. */
typedef struct cComplex_ {
    float re;
    float im;
} cComplex_;

typedef struct cPulse_ {
    int32_t samples;      /* number of samples N */
    cComplex_* envelope;  /* the pulse's own samples, not a copy; [0] is the first */
    int32_t domain;       /* non-zero: time domain; 0: frequency domain */
    double dt;            /* time step */
    double domega;        /* angular-frequency step */
    double t0;            /* time of the grid origin */
    double omega0;        /* carrier angular frequency */
} cPulse_;

#ifdef __cplusplus
}
#endif

#endif /* CPULSE_H */
