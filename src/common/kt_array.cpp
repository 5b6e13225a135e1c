#include "tessivar/kt_array.h"

extern "C" int32_t calcMeanDouble(const double *x, int32_t n, double *mean)
{
    if (x == nullptr || mean == nullptr || n < 1) return -1;
    double m = 0.0;
    for (int32_t k = 0; k < n; ++k) m = (double(k) / (k + 1)) * m + x[k] / (k + 1);
    *mean = m;
    return 0;
}

extern "C" const char *getKtMathLibVersion(void) { return "kt_array version 1.0.0.3 2025-07-15 11:29:18"; }
