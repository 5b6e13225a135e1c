// Orin QRS detector (method 2). Placeholder: the instance is created and
// restarted like the real one, and no beat is confirmed (0 for every
// sample).
#include "beat_detect/detector_methods.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "QRS";
using Orin = PlaceholderDetector<0>;
}  // namespace

BeatDetect *newOrinBeatDetect(const BeatDetectConf *conf) { return Orin::create(conf, kTag); }
int delOrinBeatDetect(BeatDetect **detector) { return Orin::destroy(detector, kTag); }
int initOrinBeatDetect(BeatDetect *) { return 0; }
int setOrinBeatDetectMode(BeatDetect *, int32_t) { return 0; }
int32_t detectOrinBeat(BeatDetect *detector, int32_t sample) { return Orin::detect(detector, sample); }

}  // namespace tessivar
