// Internals of the Orin QRS detector (method 2), visible to its tests: the
// fixed-point helpers and the one detector state every method-2 handle
// shares.
#pragma once

#include <cstdint>

namespace tessivar::orin {

// Result of a confirmed beat.
inline constexpr int32_t kBeat = 77;
// Largest accepted sample magnitude; anything outside restarts detection.
inline constexpr int32_t kMaxSample = 5000;
// Samples without a reported beat after which detection restarts.
inline constexpr int32_t kMissLimit = 2400;

// v shifted right by k (1 or 5) the way a 16-bit part does it: for a
// negative v bits 11 to 15 (k = 5) or bit 15 (k = 1) are set as well.
int32_t halve(int32_t v, int k);

// Moving-window integrator over 16 entries; each entry is input >> 2, or
// 1023 for an input above 1023. Returns sum >> 2. init clears it.
int32_t mvwint(int32_t datum, bool init);

// The detector proper on a pre-smoothed sample: 77 for a beat, a
// search-back result (never 77), or 0. init resets it and returns 0.
int32_t picQrsDet(int32_t datum, bool init);

// Learning progress (0 .. 8; 8 and above means detecting) and the
// current detection threshold.
int32_t learnedSeconds();
int32_t detectionThreshold();

}  // namespace tessivar::orin
