// Corvane adaptive-threshold R-wave detector (method 1): the shared
// detector with its two-stage high-pass and running-sum integration.
#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_block.hpp"
#include "tessivar/corvane.h"

namespace tessivar {
namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_CORVANE";
constexpr int32_t kFamily = 1;
}  // namespace
}  // namespace tessivar

using tessivar::kFamily;
using tessivar::kTag;
namespace corvane = tessivar::corvane;

extern "C" BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *conf)
{
    return corvane::create(conf, corvane::Variant::corvane, kTag);
}

extern "C" int delCorvaneBeatDetect(BeatDetect **detector)
{
    if (detector == nullptr || !tessivar::isHandleOf(*detector, kFamily, kTag)) return -1;
    return corvane::destroy(detector, kTag);
}

extern "C" int initCorvaneBeatDetect(BeatDetect *detector)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::restart(detector) : -1;
}

extern "C" int setCorvaneBeatDetectMode(BeatDetect *detector, int32_t mode)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::setMode(detector, mode) : -1;
}

extern "C" int32_t detectCorvaneBeat(BeatDetect *detector, int32_t sample)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::detect(detector, sample) : -1;
}
