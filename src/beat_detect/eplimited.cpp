// Limited-resource QRS detector: creation, patient class and thresholds,
// and the beat stage that measures every detection before delivering it.
//
// The beat stage keeps the last 1000 raw samples. A detection from QRSDet
// waits in a queue until it is old enough for a whole beat to lie behind it
// (600 ms adult, 200 ms child at 1000 Hz); then 1000 samples around it are
// down-sampled by two with the fiducial point at fidMark, measured by
// AnalyzeBeat, and the beat is delivered (its age is returned) unless its
// QRS is narrower than qrsDurThr or 10 ms, wider than 450 ms, smaller than
// qrsAmpThr or 10001 and more. The first beat after init is delivered
// unmeasured.
#include "tessivar/eplimited.h"

#include <algorithm>
#include <cstring>

#include "beat_detect/detector_block.hpp"
#include "beat_detect/eplimited.hpp"
#include "common/log_macros.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";
constexpr const char *kNull = "INPUT NULL";
constexpr int32_t kLargestAmplitude = 10000;
// Plausibility thresholds by patient class: amplitude (sample units) and
// width (as a length in ms).
constexpr int32_t kAdultAmpThr = 160;
constexpr int32_t kChildAmpThr = 50;

// x milliseconds in samples at msPerSample, rounded to nearest.
int32_t lengthOf(double x, double msPerSample) { return int32_t(x / msPerSample + 0.5); }

EpTiming timingFor(int32_t fs)
{
    EpTiming t{};
    const double ms = 1000.0 / fs;
    t.msPerSample = ms;
    t.ms8 = lengthOf(8, ms);
    t.ms15 = lengthOf(15, ms);
    t.ms20 = lengthOf(20, ms);
    t.ms25 = lengthOf(25, ms);
    t.ms30 = lengthOf(30, ms);
    t.ms40 = lengthOf(40, ms);
    t.ms50 = lengthOf(50, ms);
    t.ms60 = lengthOf(60, ms);
    t.ms80 = lengthOf(80, ms);
    t.ms95 = lengthOf(95, ms);
    t.ms100 = lengthOf(100, ms);
    t.ms125 = lengthOf(125, ms);
    t.ms150 = lengthOf(150, ms);
    t.ms160 = lengthOf(160, ms);
    t.ms175 = lengthOf(175, ms);
    t.ms195 = lengthOf(195, ms);
    t.ms200 = lengthOf(200, ms);
    t.ms220 = lengthOf(220, ms);
    t.ms250 = lengthOf(250, ms);
    t.ms300 = lengthOf(300, ms);
    t.ms360 = lengthOf(360, ms);
    t.ms400 = lengthOf(400, ms);
    t.ms450 = lengthOf(450, ms);
    t.ms10 = int32_t(10 / ms);
    t.ms1000 = fs;
    t.ms1500 = int32_t(1500 / ms);
    t.derivLength = t.ms10;
    t.lpLength = 2 * t.ms25;
    t.hpLength = t.ms125;
    t.preBlank = t.ms160;
    t.windowWidth = t.ms80;
    t.filterDelay =
        int32_t(t.derivLength / 2.0 + (t.lpLength / 2.0 - 1) + (t.hpLength - 1) / 2.0 + t.preBlank);
    t.derDelay = t.windowWidth + t.filterDelay + t.ms100;
    t.thCoef = 0.3125;
    return t;
}

EpBeatTiming beatTimingFor(int32_t fs)
{
    EpBeatTiming b{};
    b.beatFs = fs / 2;
    const double ms = 1000.0 / b.beatFs;
    b.beatMsPerSample = ms;
    b.ms10 = lengthOf(10, ms);
    b.ms20 = lengthOf(20, ms);
    b.ms40 = lengthOf(40, ms);
    b.ms50 = lengthOf(50, ms);
    b.ms60 = lengthOf(60, ms);
    b.ms70 = lengthOf(70, ms);
    b.ms80 = lengthOf(80, ms);
    b.ms90 = lengthOf(90, ms);
    b.ms100 = lengthOf(100, ms);
    b.ms110 = lengthOf(110, ms);
    b.ms130 = lengthOf(130, ms);
    b.ms140 = lengthOf(140, ms);
    b.ms150 = lengthOf(150, ms);
    b.ms250 = lengthOf(250, ms);
    b.ms280 = lengthOf(280, ms);
    b.ms300 = lengthOf(300, ms);
    b.ms350 = lengthOf(350, ms);
    b.ms400 = lengthOf(400, ms);
    b.ms1000 = b.beatFs;
    return b;
}

// The filter rings hold 500 entries; every derived length must fit, and
// the shortest ones must not be empty (fs from 100 to about 1150 Hz).
bool fitsStorage(const EpTiming &t)
{
    const int32_t lengths[] = {t.derivLength, t.lpLength, t.hpLength, t.windowWidth, t.derDelay};
    for (int32_t n : lengths)
        if (n < 1 || n > kEpRingStorage) return false;
    return t.lpLength >= 2;
}

void openDebugStreams(EplimitedBeatDetect &d)
{
    const char *path = d.header.dataPath;
    d.onsetFile = openDebugStream(path, "qrs_onset.csv");
    d.offsetFile = openDebugStream(path, "qrs_offset.csv");
    d.peakIndFile = openDebugStream(path, "peak_ind.csv");
    d.valleyIndFile = openDebugStream(path, "valley_ind.csv");
    d.rDetectFile = openDebugStream(path, "r_detect.csv");
    if (d.rDetectFile != nullptr) {
        std::fputs("datum,fdatum,aPeak,newPeak,qpkcnt,det_thresh,rsetCount,qmean,nmean\n", d.rDetectFile);
        std::fflush(d.rDetectFile);
    }
}

void peakIndLine(const EplimitedBeatDetect &d, int32_t verdict, double widthMs, int32_t amplitude)
{
    std::fprintf(d.peakIndFile, "%d, %f, %d\n", verdict, widthMs, amplitude);
    std::fflush(d.peakIndFile);
}

// Age a queued detection must reach before its beat is measured.
int32_t readyAge(const EplimitedBeatDetect &d)
{
    const int32_t ratio = d.header.fs / d.b.beatFs;
    if (d.s.ageType == 1) return ratio * (250 - d.b.ms400) * 2;
    return ratio * (kEpBeatLength - d.s.fidMark);
}

// 1000 raw samples from start (wrapping), averaged in pairs.
void _DownSampleBeatBy2(EplimitedBeatDetect &d, int32_t start)
{
    EpBeatStage &s = d.s;
    for (int32_t i = 0, k = start; i < kEpBeatLength; ++i) {
        const int64_t a = s.ecgRing[k];
        if (++k == kEpHistory) k = 0;
        const int64_t b = s.ecgRing[k];
        if (++k == kEpHistory) k = 0;
        s.beatBuffer[i] = int32_t((a + b) >> 1);
    }
}

}  // namespace

void updateQRSThr(EplimitedBeatDetect &d)
{
    EpBeatStage &s = d.s;
    if (s.ageType == 1 || s.ageType == 2) {
        s.qrsAmpThr = kChildAmpThr;
        s.qrsDurThr = d.t.ms10;
    } else {
        s.qrsAmpThr = kAdultAmpThr;
        s.qrsDurThr = d.t.ms20;
    }
}

void SetAgeType(EplimitedBeatDetect &d, int32_t type)
{
    d.s.ageType = type;
    if (d.s.userThr != 1) updateQRSThr(d);
}

}  // namespace tessivar

using tessivar::EplimitedBeatDetect;
using tessivar::eplimitedOf;

extern "C" BeatDetect *newEplimitedBeatDetect(const BeatDetectConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(tessivar::kTag, "%s", tessivar::kBadInput);
        return nullptr;
    }
    TV_LOGI(tessivar::kTag, "%s", conf->name);
    if (conf->fs < 2 || !tessivar::fitsStorage(tessivar::timingFor(conf->fs))) {
        TV_LOGE(tessivar::kTag, "fs %d: filter lengths exceed the detector's storage", conf->fs);
        return nullptr;
    }
    auto *d = tessivar::newDetectorBlock<EplimitedBeatDetect>(*conf);
    if (d == nullptr) {
        TV_LOGE(tessivar::kTag, "calloc error");
        return nullptr;
    }
    d->t = tessivar::timingFor(conf->fs);
    d->b = tessivar::beatTimingFor(conf->fs);
    d->c.searchBackLimit = d->t.ms1500;
    tessivar::EpBeatStage &s = d->s;
    s.firstBeatPending = 1;
    s.ageType = 0;
    s.qrsAmpThr = tessivar::kAdultAmpThr;
    s.qrsDurThr = d->t.ms20;
    s.fidMark = d->b.ms400;
    s.beatMs50 = d->b.ms50;
    s.beatMs80 = d->b.ms80;
    s.beatMs40 = d->b.ms40;
    s.userThr = 0;
    tessivar::openDebugStreams(*d);
    return &d->header;
}

extern "C" int delEplimitedBeatDetect(BeatDetect **detector)
{
    if (detector == nullptr || !tessivar::isHandleOf(*detector, 0, tessivar::kTag)) return -1;
    EplimitedBeatDetect &d = eplimitedOf(*detector);
    std::FILE **streams[] = {&d.onsetFile,   &d.offsetFile,      &d.peakIndFile,       &d.valleyIndFile,
                             &d.rDetectFile, &d.header.inFile, &d.header.outFile};
    for (std::FILE **f : streams) tessivar::closeDebugStream(f);
    std::free(&d);
    *detector = nullptr;
    return 0;
}

extern "C" int initEplimitedBeatDetect(BeatDetect *detector)
{
    if (!tessivar::isHandleOf(detector, 0, tessivar::kTag)) return -1;
    EplimitedBeatDetect &d = eplimitedOf(detector);
    tessivar::QRSDet(d, 0, true);
    tessivar::EpBeatStage &s = d.s;
    s.beatQueueCount = 0;
    s.rrCount = 0;
    s.firstBeatPending = 1;
    std::memset(s.ecgRing, 0, sizeof s.ecgRing);
    std::memset(s.beatBuffer, 0, sizeof s.beatBuffer);
    std::memset(s.beatQueue, 0, sizeof s.beatQueue);
    tessivar::SetAgeType(d, d.header.mode);
    return 0;
}

extern "C" int setEplimitedBeatDetectMode(BeatDetect *detector, int32_t mode)
{
    if (!tessivar::isHandleOf(detector, 0, tessivar::kTag, tessivar::kNull)) return -1;
    // The configured class stays in the head: the next init returns to it.
    tessivar::SetAgeType(eplimitedOf(detector), mode);
    return 0;
}

extern "C" int EP_setMinAdultQRSThr(BeatDetect *detector, int32_t qrsAmplitude, int32_t qrsDuration)
{
    if (!tessivar::isHandleOf(detector, 0, tessivar::kTag, tessivar::kNull)) return -1;
    EplimitedBeatDetect &d = eplimitedOf(detector);
    if (qrsAmplitude == 0 && qrsDuration == 0) {
        d.s.userThr = 0;
        tessivar::updateQRSThr(d);
    } else {
        d.s.userThr = 1;
        d.s.qrsAmpThr = qrsAmplitude;
        d.s.qrsDurThr = qrsDuration;
    }
    TV_LOGI(tessivar::kTag, "QRSAmp = %d, QRSDur = %d", qrsAmplitude, qrsDuration);
    return 0;
}

extern "C" int32_t detectEplimitedBeat(BeatDetect *detector, int32_t sample)
{
    if (!tessivar::isHandleOf(detector, 0, tessivar::kTag)) return -1;
    EplimitedBeatDetect &d = eplimitedOf(detector);
    tessivar::EpBeatStage &s = d.s;
    s.ecgRing[s.ecgIdx] = sample;
    if (++s.ecgIdx == tessivar::kEpHistory) s.ecgIdx = 0;
    ++s.rrCount;
    for (int32_t i = 0; i < s.beatQueueCount; ++i) ++s.beatQueue[i];

    const int32_t detected = tessivar::QRSDet(d, sample, false);
    if (detected != 0) {
        s.beatQueue[s.beatQueueCount] = detected;
        if (++s.beatQueueCount == tessivar::kEpBeatQueue) s.beatQueueCount = 0;
    }
    if (d.peakIndFile != nullptr) tessivar::peakIndLine(d, 0, 0.0, 0);

    if (s.beatQueueCount <= 0 || s.beatQueue[0] < tessivar::readyAge(d)) return 0;
    const int32_t delay = s.beatQueue[0];
    const int32_t rr = s.rrCount - delay;
    s.rrCount = delay;

    const int32_t ratio = d.header.fs / d.b.beatFs;
    const int64_t start = int64_t(s.ecgIdx) - delay - int64_t(s.fidMark) * ratio;
    tessivar::_DownSampleBeatBy2(d, int32_t((start % tessivar::kEpHistory + tessivar::kEpHistory) % tessivar::kEpHistory));

    std::memmove(s.beatQueue, s.beatQueue + 1, sizeof(int32_t) * (tessivar::kEpBeatQueue - 1));
    s.beatQueueCount = std::max(0, s.beatQueueCount - 1);

    if (s.firstBeatPending != 0) {
        s.firstBeatPending = 0;
        return delay;
    }
    int32_t onset = 0, offset = 0, amplitude = 0;
    tessivar::AnalyzeBeat(d, s.beatBuffer, &onset, &offset, &amplitude);
    const int32_t width = (offset - onset) * 2;
    const bool noise = width < s.qrsDurThr || s.qrsAmpThr > amplitude || width < d.t.ms10 || width > d.t.ms450 ||
                       amplitude > tessivar::kLargestAmplitude;
    if (d.peakIndFile != nullptr) tessivar::peakIndLine(d, noise ? 100 : 0, width * d.t.msPerSample, amplitude);
    if (!noise) return delay;
    // The next beat's interval spans the rejected one.
    s.rrCount += rr;
    s.noiseRejected = 1;
    return 0;
}
