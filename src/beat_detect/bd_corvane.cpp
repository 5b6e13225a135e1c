// Corvane adaptive-threshold R-wave detector (method 1): the shared
// detector with its two-stage high-pass and running-sum integration.
#include "beat_detect/corvane_core.hpp"
#include "tessivar/corvane.h"

namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_CORVANE";
constexpr tessivar::corvane::Variant kVariant = tessivar::corvane::Variant::corvane;
}  // namespace

namespace corvane = tessivar::corvane;

extern "C" BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *c) { return corvane::create(c, kVariant, kTag); }
extern "C" int delCorvaneBeatDetect(BeatDetect **h) { return corvane::destroy(h, kVariant, kTag); }
extern "C" int initCorvaneBeatDetect(BeatDetect *h) { return corvane::restart(h, kVariant, kTag); }
extern "C" int setCorvaneBeatDetectMode(BeatDetect *h, int32_t m) { return corvane::setMode(h, m, kVariant, kTag); }
extern "C" int32_t detectCorvaneBeat(BeatDetect *h, int32_t x) { return corvane::detect(h, x, kVariant, kTag); }
