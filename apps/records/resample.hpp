// Sample-rate conversion of whole signals, done by libsoxr (high quality,
// linear phase, delay compensated: sample t of the input lines up with
// sample t * to / from of the output).
#pragma once

#include <vector>

namespace tessivar::records {

// in resampled from rate from to rate to; the output has
// round(size * to / from) samples. Throws RecordError on failure.
std::vector<double> resample(const std::vector<double> &in, double from, double to);

}  // namespace tessivar::records
