/* Typed-array library (being written). */
#ifndef TESSIVAR_KT_ARRAY_H
#define TESSIVAR_KT_ARRAY_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Mean of x[0..n-1] into *mean. 0, or -1 for a null pointer or n < 1. */
TESSIVAR_API int32_t calcMeanDouble(const double *x, int32_t n, double *mean);

TESSIVAR_API const char *getKtMathLibVersion(void);

TESSIVAR_END_C

#endif /* TESSIVAR_KT_ARRAY_H */
