// kt beat detector (every method other than 0, 1 and 2): the shared
// adaptive-threshold detector with a one-filter high-pass and an average
// low-pass integration.
#include "beat_detect/corvane_core.hpp"
#include "tessivar/corvane.h"

namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_MERGE";
constexpr tessivar::corvane::Variant kVariant = tessivar::corvane::Variant::kt;
}  // namespace

namespace corvane = tessivar::corvane;

extern "C" BeatDetect *newKTBeatDetect(const BeatDetectConf *c) { return corvane::create(c, kVariant, kTag); }
extern "C" int delKTBeatDetect(BeatDetect **h) { return corvane::destroy(h, kVariant, kTag); }
extern "C" int initKTBeatDetect(BeatDetect *h) { return corvane::restart(h, kVariant, kTag); }
extern "C" int setKTBeatDetectMode(BeatDetect *h, int32_t m) { return corvane::setMode(h, m, kVariant, kTag); }
extern "C" int32_t detectKTBeat(BeatDetect *h, int32_t x) { return corvane::detect(h, x, kVariant, kTag); }
