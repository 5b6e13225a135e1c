// Corvane adaptive-threshold R-wave detector (method 1). Placeholder: the
// instance is created and restarted like the real one, and no beat is
// confirmed (-1 for every sample).
#include "beat_detect/detector_methods.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "bd_corvane";
using Corvane = PlaceholderDetector<-1>;
}  // namespace

BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *conf) { return Corvane::create(conf, kTag); }
int delCorvaneBeatDetect(BeatDetect **detector) { return Corvane::destroy(detector, kTag); }
int initCorvaneBeatDetect(BeatDetect *) { return 0; }
int setCorvaneBeatDetectMode(BeatDetect *, int32_t) { return 0; }
int32_t detectCorvaneBeat(BeatDetect *detector, int32_t sample) { return Corvane::detect(detector, sample); }

}  // namespace tessivar
