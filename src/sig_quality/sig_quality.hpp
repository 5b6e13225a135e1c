// Internals of the signal quality monitor that its owner's tests reach: the
// callbacks registered at sqInit.
#pragma once

#include "tessivar/sig_quality.h"

namespace tessivar {

// The callbacks of the last sqInit (all null before it and after sqDeinit).
const SignalQualityCallbacks &sqCallbacks();

}  // namespace tessivar
