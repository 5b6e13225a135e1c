// kt beat detector (every method other than 0, 1 and 2): the shared
// adaptive-threshold detector with a one-filter high-pass and an average
// low-pass integration.
#include "beat_detect/corvane_core.hpp"
#include "beat_detect/detector_block.hpp"
#include "tessivar/corvane.h"

namespace tessivar {
namespace {
constexpr const char *kTag = "BEAT_DETECT_USE_MERGE";
constexpr int32_t kFamily = 3;
}  // namespace
}  // namespace tessivar

using tessivar::kFamily;
using tessivar::kTag;
namespace corvane = tessivar::corvane;

extern "C" BeatDetect *newKTBeatDetect(const BeatDetectConf *conf)
{
    return corvane::create(conf, corvane::Variant::kt, kTag);
}

extern "C" int delKTBeatDetect(BeatDetect **detector)
{
    if (detector == nullptr || !tessivar::isHandleOf(*detector, kFamily, kTag)) return -1;
    return corvane::destroy(detector, kTag);
}

extern "C" int initKTBeatDetect(BeatDetect *detector)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::restart(detector) : -1;
}

extern "C" int setKTBeatDetectMode(BeatDetect *detector, int32_t mode)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::setMode(detector, mode) : -1;
}

extern "C" int32_t detectKTBeat(BeatDetect *detector, int32_t sample)
{
    return tessivar::isHandleOf(detector, kFamily, kTag) ? corvane::detect(detector, sample) : -1;
}
