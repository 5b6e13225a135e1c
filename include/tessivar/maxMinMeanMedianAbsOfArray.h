/* Position-of-extreme, absolute-value, mean and median helpers (being written). */
#ifndef TESSIVAR_MAXMINMEANMEDIANABSOFARRAY_H
#define TESSIVAR_MAXMINMEANMEDIANABSOFARRAY_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C
TESSIVAR_END_C

#endif
