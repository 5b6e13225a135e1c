// kt beat detector (every method other than 0, 1 and 2). Placeholder: the
// instance is created and restarted like the real one, and no beat is
// confirmed (-1 for every sample).
#include "beat_detect/detector_methods.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "KT_beat_detect";
using Kt = PlaceholderDetector<-1>;
}  // namespace

BeatDetect *newKTBeatDetect(const BeatDetectConf *conf) { return Kt::create(conf, kTag); }
int delKTBeatDetect(BeatDetect **detector) { return Kt::destroy(detector, kTag); }
int initKTBeatDetect(BeatDetect *) { return 0; }
int setKTBeatDetectMode(BeatDetect *, int32_t) { return 0; }
int32_t detectKTBeat(BeatDetect *detector, int32_t sample) { return Kt::detect(detector, sample); }

}  // namespace tessivar
