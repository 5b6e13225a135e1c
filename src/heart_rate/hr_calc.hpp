// Internals of the heart-rate calculator that its owner's tests reach: the
// callbacks registered at hrCalcInit, and the version of the beat detector
// it runs (the front end lists it without reaching past heart rate).
#pragma once

#include "tessivar/hr_calc.h"

namespace tessivar {

// The callbacks of the last hrCalcInit (all null before it and after
// hrCalcDeinit).
const HrCalcCallbacks &hrCalcCallbacks();

// The version text of the beat-detection module behind the calculator.
const char *beatDetectorVersion();

}  // namespace tessivar
