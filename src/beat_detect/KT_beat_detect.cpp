// kt beat detector (every method other than 0, 1 and 2): the shared
// adaptive-threshold detector with a one-filter high-pass and an average
// low-pass integration.
#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_methods.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_MERGE";
}  // namespace

BeatDetect *newKTBeatDetect(const BeatDetectConf *conf) { return corvane::create(conf, corvane::Variant::kt, kTag); }
int delKTBeatDetect(BeatDetect **detector) { return corvane::destroy(detector, kTag); }
int initKTBeatDetect(BeatDetect *detector) { return corvane::restart(detector); }
int setKTBeatDetectMode(BeatDetect *detector, int32_t mode) { return corvane::setMode(detector, mode); }
int32_t detectKTBeat(BeatDetect *detector, int32_t sample) { return corvane::detect(detector, sample); }

}  // namespace tessivar
