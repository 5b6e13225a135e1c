#pragma once

#include "tessivar/linear_spline.h"

namespace tessivar {
// Logs the line as "y(x) = intercept + slope*(x-x(i)) {xStart<x<xEnd}" at
// information level.
void traceLinearSpline(const LinearSpline *spline);
}  // namespace tessivar
