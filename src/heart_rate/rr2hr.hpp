// The RR averager's one record, for its tests.
#pragma once

#include <cstdint>

namespace tessivar {

inline constexpr int32_t kRrQueue1Len = 3;
inline constexpr int32_t kRrQueue2Len = 12;

struct Rr2hr {
    int32_t queue1[kRrQueue1Len];  // newest intervals, index 0 oldest
    int32_t queue1Count;
    int32_t queue2[kRrQueue2Len];  // accepted intervals, index 0 oldest
    int32_t queue2Count;
    float avgRR;                   // trusted average interval; 0 none
};

Rr2hr &rr2hrState();

}  // namespace tessivar
