// The detectors behind the facade, by method, and the offline R-peak
// finder of method 1. Method 0 is the limited-resource detector
// (tessivar/eplimited.h); the Corvane (1) and kt (other) detectors share
// corvane_core.hpp; the Orin detector (2) is a placeholder in this version:
// it creates a valid instance and confirms no beats.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "beat_detect/detector_block.hpp"
#include "common/log_macros.hpp"
#include "tessivar/beat_detect.h"

namespace tessivar {

// Method 1.
BeatDetect *newCorvaneBeatDetect(const BeatDetectConf *conf);
int delCorvaneBeatDetect(BeatDetect **detector);
int initCorvaneBeatDetect(BeatDetect *detector);
int setCorvaneBeatDetectMode(BeatDetect *detector, int32_t mode);
int32_t detectCorvaneBeat(BeatDetect *detector, int32_t sample);

// Method 2.
BeatDetect *newOrinBeatDetect(const BeatDetectConf *conf);
int delOrinBeatDetect(BeatDetect **detector);
int initOrinBeatDetect(BeatDetect *detector);
int setOrinBeatDetectMode(BeatDetect *detector, int32_t mode);
int32_t detectOrinBeat(BeatDetect *detector, int32_t sample);

// Any other method.
BeatDetect *newKTBeatDetect(const BeatDetectConf *conf);
int delKTBeatDetect(BeatDetect **detector);
int initKTBeatDetect(BeatDetect *detector);
int setKTBeatDetectMode(BeatDetect *detector, int32_t mode);
int32_t detectKTBeat(BeatDetect *detector, int32_t sample);

// Offline R peaks of method 1: a count of positions, -1 or -2 (full).
int32_t inerFindRWithNonRealFloat(const int16_t *samples, int32_t length, BeatDetect *detector,
                                  int32_t *positions, int32_t capacity);
int32_t inerFindRWithNonRealDouble(const int16_t *samples, int32_t length, BeatDetect *detector,
                                   int32_t *positions, int32_t capacity);

// A detector that is only its head: what the placeholder methods create.
// noBeat is the method's "no beat" result.
template <int32_t noBeat>
struct PlaceholderDetector {
    BeatDetect header;

    static BeatDetect *create(const BeatDetectConf *conf, const char *tag)
    {
        if (conf == nullptr || conf->name == nullptr) {
            TV_LOGE(tag, "%s", kBadInput);
            return nullptr;
        }
        TV_LOGI(tag, "%s", conf->name);
        PlaceholderDetector *d = newDetectorBlock<PlaceholderDetector>(*conf);
        if (d == nullptr) {
            TV_LOGE(tag, "calloc error");
            return nullptr;
        }
        return &d->header;
    }
    static int destroy(BeatDetect **detector, const char *tag)
    {
        if (detector == nullptr || *detector == nullptr) {
            TV_LOGE(tag, "%s", kBadInput);
            return -1;
        }
        closeDebugStream(&(*detector)->inFile);
        closeDebugStream(&(*detector)->outFile);
        std::free(*detector);
        *detector = nullptr;
        return 0;
    }
    static int32_t detect(BeatDetect *, int32_t) { return noBeat; }
};

}  // namespace tessivar
