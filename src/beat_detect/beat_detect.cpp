// Beat detector facade: every operation goes to the detector of the
// handle's method; the facade itself only reads and writes the BeatDetect
// head (its debug streams "in.csv" and "out.csv") and runs whole arrays
// through a detector for findRPeak.
#include "tessivar/beat_detect.h"

#include <cstdio>

#include "beat_detect/detector_methods.hpp"
#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "serialize/anal_serialize.hpp"
#include "tessivar/eplimited.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "beat detect";

// A method's create / delete / init / set-mode / detect functions.
struct DetectorMethod {
    BeatDetect *(*create)(const BeatDetectConf *);
    int (*destroy)(BeatDetect **);
    int (*init)(BeatDetect *);
    int (*setMode)(BeatDetect *, int32_t);
    int32_t (*detect)(BeatDetect *, int32_t);
};

constexpr DetectorMethod kEplimited = {newEplimitedBeatDetect, delEplimitedBeatDetect, initEplimitedBeatDetect,
                                       setEplimitedBeatDetectMode, detectEplimitedBeat};
constexpr DetectorMethod kCorvane = {newCorvaneBeatDetect, delCorvaneBeatDetect, initCorvaneBeatDetect,
                                     setCorvaneBeatDetectMode, detectCorvaneBeat};
constexpr DetectorMethod kOrin = {newOrinBeatDetect, delOrinBeatDetect, initOrinBeatDetect, setOrinBeatDetectMode,
                                  detectOrinBeat};
constexpr DetectorMethod kKt = {newKTBeatDetect, delKTBeatDetect, initKTBeatDetect, setKTBeatDetectMode,
                                detectKTBeat};

const DetectorMethod &methodOf(int32_t method)
{
    switch (method) {
    case 0: return kEplimited;
    case 1: return kCorvane;
    case 2: return kOrin;
    default: return kKt;
    }
}

// The facade's one word of its own: written by the two setters kept for
// older hosts, read by nothing.
struct BeatDetectModule {
    int32_t unusedWord = 0;
};
BeatDetectModule s_beatDetect;

void openStreams(BeatDetect &h)
{
    h.inFile = openDebugStream(h.dataPath, "in.csv");
    h.outFile = openDebugStream(h.dataPath, "out.csv");
}

void closeStreams(BeatDetect &h)
{
    closeDebugStream(&h.inFile);
    closeDebugStream(&h.outFile);
}

void dumpArray(const BeatDetect &h, const char *file, const void *data, int32_t count, int tag)
{
    tessivar::serializeWriteDataArrayIn(h.dataPath, file, data, count, tag);
}

// Methods 0 and 2: the samples, then the last one 3 * fs more times so
// that the last beats are confirmed. Positions are the fed sample's number
// minus the delay.
int32_t runRealTimeDetector(BeatDetect *h, const DetectorMethod &m, const int16_t *samples, int32_t length,
                            int32_t *positions, int32_t capacity)
{
    int32_t count = 0;
    const int64_t total = int64_t(length) + 3 * int64_t(h->fs > 0 ? h->fs : 0);
    for (int64_t i = 0; i < total; ++i) {
        if (count == capacity) return -2;
        const int32_t x = samples[i < length ? i : length - 1];
        const int32_t delay = m.detect(h, x);
        if (delay > 0) positions[count++] = int32_t(i - delay);
    }
    return count;
}

}  // namespace
}  // namespace tessivar

using tessivar::kTag;

extern "C" const char *beatDetectVersion(void) { return "beat_detect version 0.0.3.0 2025-10-11 15:14:21"; }

extern "C" BeatDetect *newBeatDetect(const BeatDetectConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return nullptr;
    }
    TV_LOGI(kTag, "%s", conf->name);
    BeatDetect *h = tessivar::methodOf(conf->method).create(conf);
    if (h == nullptr) return nullptr;
    if (h->dataPath != nullptr) {
        tessivar::serializeWriteDataIn(h->dataPath, "beat_detect.conf", conf, tessivar::kBeatDetectConfTag);
        tessivar::openStreams(*h);
    }
    return h;
}

extern "C" int delBeatDetect(BeatDetect **detector)
{
    if (detector == nullptr || *detector == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    BeatDetect &h = **detector;
    TV_LOGI(kTag, "%s", h.name);
    tessivar::closeStreams(h);
    return tessivar::methodOf(h.method).destroy(detector);
}

extern "C" int initBeatDetect(BeatDetect *detector)
{
    if (detector == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    TV_LOGI(kTag, "%s", detector->name);
    tessivar::closeStreams(*detector);
    if (detector->dataPath != nullptr) tessivar::openStreams(*detector);
    return tessivar::methodOf(detector->method).init(detector);
}

extern "C" int setBeatDetectMode(BeatDetect *detector, int32_t mode)
{
    if (detector == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    TV_LOGI(kTag, "%s:%d", detector->name, mode);
    return tessivar::methodOf(detector->method).setMode(detector, mode);
}

extern "C" int32_t realtimeDetectBeat(BeatDetect *detector, int16_t sample, uint8_t *noiseFlag)
{
    if (detector == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    if (detector->inFile != nullptr) {
        std::fprintf(detector->inFile, "%d\n", sample);
        std::fflush(detector->inFile);
    }
    const int32_t result = tessivar::methodOf(detector->method).detect(detector, sample);
    if (detector->outFile != nullptr && result > 0) {
        std::fprintf(detector->outFile, "%d\n", result);
        std::fflush(detector->outFile);
    }
    // No detector marks noise yet.
    if (noiseFlag != nullptr) *noiseFlag = 0;
    return result;
}

extern "C" int32_t findRPeak(BeatDetect *detector, const int16_t *samples, int32_t length, int32_t *positions,
                             int32_t capacity)
{
    if (detector == nullptr || samples == nullptr || positions == nullptr || length < 1 || capacity < 1) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    TV_LOGI(kTag, "%s:%d", detector->name, length);
    initBeatDetect(detector);
    if (detector->dataPath != nullptr)
        tessivar::dumpArray(*detector, "rdetect_in.csv", samples, length, tessivar::kInt16ArrayTag);

    int32_t count = 0;
    switch (detector->method) {
    case 0:
    case 2:
        count = tessivar::runRealTimeDetector(detector, tessivar::methodOf(detector->method), samples, length,
                                              positions, capacity);
        break;
    case 1:
        count = detector->detectorWord != 0
                    ? tessivar::inerFindRWithNonRealFloat(samples, length, detector, positions, capacity)
                    : tessivar::inerFindRWithNonRealDouble(samples, length, detector, positions, capacity);
        break;
    default: break;
    }

    if (detector->dataPath != nullptr && count != -1)
        tessivar::dumpArray(*detector, "rdetect_out.csv", positions, count == -2 ? capacity : count,
                            tessivar::kInt32ArrayTag);
    return count;
}

extern "C" int BT_setMinAdultQRSThr(BeatDetect *detector, int32_t qrsAmplitude, int32_t qrsDuration)
{
    // Only the limited-resource detector has these thresholds; it refuses
    // (and logs) a handle of another method.
    if (detector != nullptr) EP_setMinAdultQRSThr(detector, qrsAmplitude, qrsDuration);
    return 0;
}

extern "C" void set_real_time_count(int32_t value) { tessivar::s_beatDetect.unusedWord = value; }

extern "C" void set_save_flag(int32_t value) { tessivar::s_beatDetect.unusedWord = value; }
