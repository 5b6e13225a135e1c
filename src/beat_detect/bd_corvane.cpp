// Corvane adaptive-threshold R-wave detector (method 1): the shared
// detector with its two-stage high-pass and running-sum integration.
#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_methods.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_CORVANE";
}  // namespace

BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *conf)
{
    return corvane::create(conf, corvane::Variant::corvane, kTag);
}
int delCorvaneBeatDetect(BeatDetect **detector) { return corvane::destroy(detector, kTag); }
int initCorvaneBeatDetect(BeatDetect *detector) { return corvane::restart(detector); }
int setCorvaneBeatDetectMode(BeatDetect *detector, int32_t mode) { return corvane::setMode(detector, mode); }
int32_t detectCorvaneBeat(BeatDetect *detector, int32_t sample) { return corvane::detect(detector, sample); }

}  // namespace tessivar
