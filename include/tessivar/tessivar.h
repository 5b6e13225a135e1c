/* Umbrella header: every public interface of tessivar. */
#ifndef TESSIVAR_TESSIVAR_H
#define TESSIVAR_TESSIVAR_H

#include "tessivar_export.h"

#include "anal_log.h"
#include "anal_serialize.h"
#include "avg_filter.h"
#include "avg_lp_filter.h"
#include "beat_detect.h"
#include "common.h"
#include "conv.h"
#include "corvane.h"
#include "ecg_preprocess.h"
#include "file_utils.h"
#include "eplimited.h"
#include "fir_filter.h"
#include "hr_calc.h"
#include "iir_comb_filter.h"
#include "integer_filter.h"
#include "kt_array.h"
#include "kt_dsp.h"
#include "kt_log.h"
#include "linear_spline.h"
#include "lmini.h"
#include "lmjson.h"
#include "maxMinMeanMedianAbsOfArray.h"
#include "nonlinear_notch_filter.h"
#include "orin.h"
#include "pace_remove.h"
#include "resp.h"
#include "rr2hr.h"
#include "rwave_tools.h"
#include "sig_quality.h"
#include "sig_quality_c.h"
#include "signal_filter.h"

#endif /* TESSIVAR_TESSIVAR_H */
