/* Umbrella header: every public interface of tessivar. */
#ifndef TESSIVAR_TESSIVAR_H
#define TESSIVAR_TESSIVAR_H

#include "tessivar_export.h"

#include "anal_log.h"
#include "common.h"
#include "kt_array.h"
#include "kt_log.h"
#include "lmini.h"
#include "maxMinMeanMedianAbsOfArray.h"

#endif /* TESSIVAR_TESSIVAR_H */
