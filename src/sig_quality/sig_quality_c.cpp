// Single-lead signal quality: the real-time scorer and the offline segment
// helpers.
//
// Per sample the scorer filters the lead twice (base low-pass, emg
// high-pass), counts how often the outputs pass the levels of two ten-step
// ladders and, at the end of each window (or step), turns the counts into
// scores 0 ... 100. A score reaches the owner only when it differs from the
// last one reported for its status; the descriptor's delay is the filter lag
// plus the window, but never more than the samples seen since the last clear.
#include "tessivar/sig_quality_c.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "serialize/anal_serialize.hpp"
#include "sig_quality/quality_filters.hpp"
#include "tessivar/iir_comb_filter.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "sig_quality";
constexpr int32_t kLevels = SIGNAL_QUALITY_LEVELS;

constexpr int32_t kDefaultWindow = 2000;  // samples
constexpr int32_t kDefaultBaseIntolerable = 1825;
constexpr int32_t kDefaultBasePerfect = 65;
constexpr int32_t kDefaultEmgIntolerable = 77;
constexpr int32_t kDefaultEmgPerfect = 32;

// ---- real-time scoring -------------------------------------------------------

int32_t orDefault(int32_t value, int32_t fallback) { return value > 0 ? value : fallback; }

// Milliseconds to samples at fs, in 64 bits so that no product overflows.
int64_t msToSamples(int32_t ms, int32_t fs) { return int64_t(ms) * fs / 1000; }

bool endOfWindow(const SignalQuality &q) { return q.sampleCount % uint32_t(q.windowLen) == uint32_t(q.windowLen) - 1; }

void report(SignalQuality &q, int32_t status, int32_t filterDelay, float score, float &stored)
{
    if (q.callback == nullptr || score == stored) return;
    const int64_t delay = std::min<int64_t>(int64_t(filterDelay) + q.windowLen, q.sampleCount);
    const SignalQualityDesc desc = {uint32_t(delay), status, static_cast<int8_t>(score)};
    q.callback(desc);
    stored = score;
}

// 10 * (i + 1) for the highest level i whose count reaches need, else 0.
float scoreOf(const int32_t *counts, int32_t need)
{
    for (int32_t i = kLevels - 1; i >= 0; --i)
        if (counts[i] >= need) return float(10 * (i + 1));
    return 0.0f;
}

void countAbove(const float *levels, double value, int32_t *counts)
{
    // Branch-free: the levels rise, so a branch per level mispredicts.
    for (int32_t i = 0; i < kLevels; ++i) counts[i] += levels[i] < value ? 1 : 0;
}

// Window equal to step: counts over consecutive windows. A base level
// counts from two samples above it on, so one stray sample changes nothing;
// an emg level needs a quarter of the window.
void processSameStep(SignalQuality *quality, int16_t x)
{
    SignalQuality &q = *quality;
    countAbove(q.baseLevels, std::fabs(doSignalFilter(q.baseFilter, x)), q.baseCounts);
    countAbove(q.emgLevels, doSignalFilter(q.emgFilter, x), q.emgCounts);
    ++q.sampleCount;
    if (!endOfWindow(q)) return;
    report(q, SIGNAL_QUALITY_BASE, q.baseDelay, scoreOf(q.baseCounts, 2), q.baseScore);
    report(q, SIGNAL_QUALITY_EMG, q.emgDelay, scoreOf(q.emgCounts, q.windowLen / 4), q.emgScore);
    std::fill(q.baseCounts, q.baseCounts + kLevels, 0);
    std::fill(q.emgCounts, q.emgCounts + kLevels, 0);
}

// Window unequal to step: the last windowLen filter outputs are kept and
// judged every stepLen samples once the window is full. The base score
// follows the window's maximum; for emg the newest output is counted once
// more than the rest of the window.
void processDifferentStep(SignalQuality *quality, int16_t x)
{
    SignalQuality &q = *quality;
    const double e = doSignalFilter(q.emgFilter, x);
    const uint32_t pos = q.sampleCount % uint32_t(q.windowLen);
    q.baseWindow[pos] = float(std::fabs(doSignalFilter(q.baseFilter, x)));
    q.emgWindow[pos] = float(e);
    ++q.sampleCount;
    if (q.sampleCount < uint32_t(q.windowLen) || (q.sampleCount - uint32_t(q.windowLen)) % uint32_t(q.stepLen) != 0)
        return;

    const float baseMax = *std::max_element(q.baseWindow, q.baseWindow + q.windowLen);
    float baseScore = 0.0f;
    for (int32_t i = kLevels - 1; i >= 0; --i) {
        if (q.baseLevels[i] < baseMax) {
            baseScore = float(10 * (i + 1));
            break;
        }
    }
    report(q, SIGNAL_QUALITY_BASE, q.baseDelay, baseScore, q.baseScore);

    countAbove(q.emgLevels, e, q.emgCounts);
    float emgScore = 0.0f;
    for (int32_t i = kLevels - 1; i >= 0; --i) {
        const float level = q.emgLevels[i];
        const auto above = std::count_if(q.emgWindow, q.emgWindow + q.windowLen, [level](float v) { return v > level; });
        q.emgCounts[i] += int32_t(above);
        if (q.emgCounts[i] >= q.windowLen / 4) {
            emgScore = float(10 * (i + 1));
            break;
        }
    }
    report(q, SIGNAL_QUALITY_EMG, q.emgDelay, emgScore, q.emgScore);
    std::fill(q.emgCounts, q.emgCounts + kLevels, 0);
}

// Economical: only the top of each ladder, scores 0 or 100. The base score
// needs windowLen / 1000 samples above the top, which is none for windows
// under 1000 samples: such a window always scores base 100.
void processEconomical(SignalQuality *quality, int16_t x)
{
    SignalQuality &q = *quality;
    if (std::fabs(doSignalFilter(q.baseFilter, x)) > double(q.baseIntolerableThre)) ++q.baseCounts[0];
    if (doSignalFilter(q.emgFilter, x) > double(q.emgIntolerableThre)) ++q.emgCounts[0];
    ++q.sampleCount;
    if (!endOfWindow(q)) return;
    report(q, SIGNAL_QUALITY_BASE, q.baseDelay, q.baseCounts[0] >= q.windowLen / 1000 ? 100.0f : 0.0f, q.baseScore);
    report(q, SIGNAL_QUALITY_EMG, q.emgDelay, q.emgCounts[0] >= q.windowLen / 4 ? 100.0f : 0.0f, q.emgScore);
    q.baseCounts[0] = 0;
    q.emgCounts[0] = 0;
}

void clear(SignalQuality &q)
{
    q.sampleCount = 0;
    std::fill(q.baseCounts, q.baseCounts + kLevels, 0);
    std::fill(q.emgCounts, q.emgCounts + kLevels, 0);
    if (q.baseWindow != nullptr) std::fill(q.baseWindow, q.baseWindow + q.windowLen, 0.0f);
    if (q.emgWindow != nullptr) std::fill(q.emgWindow, q.emgWindow + q.windowLen, 0.0f);
    initSignalFilter(q.baseFilter);
    initSignalFilter(q.emgFilter);
}

void fillLadder(float *levels, int32_t perfect, int32_t intolerable)
{
    for (int32_t i = 0; i < kLevels; ++i)
        levels[i] = float(perfect) + float(intolerable - perfect) * float(i) / 9.0f;
}

SignalFilter *newQualityFilter(const char *name, const QualityCoefficients &c, int32_t delay)
{
    IirCombFilterConf conf{};
    conf.type = SIGNAL_FILTER_IIR_COMB;
    conf.name = name;
    conf.dataPath = nullptr;
    conf.gain = 1.0;
    conf.numData = c.num;
    conf.num_num = c.numLen;
    conf.denData = c.den;
    conf.den_num = c.denLen;
    conf.delay = delay;
    return newIirCombFilter(&conf);
}

void destroy(SignalQuality *q)
{
    delSignalFilter(&q->baseFilter);
    delSignalFilter(&q->emgFilter);
    closeDebugStream(&q->inFile);
    closeDebugStream(&q->outFile);
    std::free(q->baseWindow);
    std::free(q->emgWindow);
    std::free(q);
}

// ---- offline helpers ---------------------------------------------------------

struct Span {
    int32_t min, max;
    int64_t mean;  // integer mean (truncated)
};

Span spanOf(const int16_t *x, int32_t n)
{
    Span s{x[0], x[0], 0};
    int64_t sum = 0;
    for (int32_t i = 0; i < n; ++i) {
        s.min = std::min<int32_t>(s.min, x[i]);
        s.max = std::max<int32_t>(s.max, x[i]);
        sum += x[i];
    }
    s.mean = sum / n;
    return s;
}

// Mean swing (peak minus the last valley) over the turning points that come
// within fs / 50 samples of the previous turning point; *count gets their
// number. A turning point is a fall after a rise (peak) or a rise after a
// fall (valley); flat steps keep the direction.
double fastSwingMean(const int16_t *x, int32_t n, int32_t fs, int32_t *count)
{
    const int32_t restart = fs / 50;
    int32_t countdown = 0, direction = 0, swings = 0;
    int32_t peak = 0, valley = 0;
    bool havePeak = false, haveValley = false;
    double sum = 0.0;
    for (int32_t i = 1; i < n; ++i) {
        const int32_t d = int32_t(x[i]) - x[i - 1];
        bool turning = false;
        if (d > 0) {
            if (direction < 0) {
                valley = x[i - 1];
                haveValley = turning = true;
            }
            direction = 1;
        } else if (d < 0) {
            if (direction > 0) {
                peak = x[i - 1];
                havePeak = turning = true;
            }
            direction = -1;
        }
        if (turning) {
            if (countdown >= 1 && havePeak && haveValley) {
                sum += double(peak) - double(valley);
                ++swings;
            }
            countdown = restart;
        } else if (countdown > 0) {
            --countdown;
        }
    }
    *count = swings;
    return swings > 0 ? sum / swings : 0.0;
}

void fillUnset(int32_t *segments, int32_t maxSegments) { std::fill(segments, segments + 2 * int64_t(maxSegments), -1); }

void dumpArray(const SignalQuality *q, const char *file, const void *data, int32_t n, int tag)
{
    if (q->dataPath == nullptr) return;
    serializeWriteDataArrayIn(q->dataPath, file, data, n, tag);
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" const char *singalQualityVersion(void) { return "signal_quality version 0.0.0.13 2025-04-11 15:40:23"; }

extern "C" SignalQuality *newSignalQuality(const SignalQualityConf *conf)
{
    if (conf == nullptr || conf->name == nullptr || conf->detectWindowLen > SIGNAL_QUALITY_MAX_WINDOW_MS) {
        TV_LOGE(kTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGW(kTag, "%s", conf->name);
    // Windows and steps are counted in samples: one that comes to less than
    // one sample at this rate (a rate of 0 or below with a window in ms)
    // could never end, so it is refused like an over-long window.
    const int64_t window = conf->detectWindowLen > 0 ? msToSamples(conf->detectWindowLen, conf->fs) : kDefaultWindow;
    const int64_t step = conf->detectStepLen > 0 ? msToSamples(conf->detectStepLen, conf->fs) : window;
    constexpr int64_t kMaxLen = std::numeric_limits<int32_t>::max();
    // The longest window in ms (100 s) at rates up to 10 kHz: a sliding
    // window keeps two arrays of this many samples, so a window that a
    // larger rate turns into more samples is refused rather than allocated.
    constexpr int64_t kMaxWindowSamples = 1000000;
    if (window < 1 || step < 1 || window > kMaxWindowSamples || step > kMaxLen) {
        TV_LOGE(kTag, "%s", kBadInput);
        return nullptr;
    }

    auto *q = static_cast<SignalQuality *>(
        std::calloc(1, sizeof(SignalQuality) + namedBlockTailSize(conf->name, conf->dataPath)));
    if (q == nullptr) {
        TV_LOGE(kTag, "calloc error");
        return nullptr;
    }
    placeNamedBlockTail(reinterpret_cast<char *>(q + 1), conf->name, conf->dataPath, &q->name, &q->dataPath);
    q->fs = conf->fs;
    q->windowLen = int32_t(window);
    q->stepLen = int32_t(step);
    q->baseIntolerableThre = orDefault(conf->baseIntolerableThre, kDefaultBaseIntolerable);
    q->basePerfectThre = orDefault(conf->basePerfectThre, kDefaultBasePerfect);
    q->emgIntolerableThre = orDefault(conf->emgIntolerableThre, kDefaultEmgIntolerable);
    q->emgPerfectThre = orDefault(conf->emgPerfectThre, kDefaultEmgPerfect);
    q->isSaveCpu = conf->isSaveCpu;
    q->levelCount = kLevels;

    const QualityFilterSet *set = nullptr;
    if (q->isSaveCpu == 0) {
        if (q->windowLen == q->stepLen) {
            q->process = processSameStep;
        } else {
            q->process = processDifferentStep;
            q->baseWindow = static_cast<float *>(std::calloc(size_t(q->windowLen), sizeof(float)));
            q->emgWindow = static_cast<float *>(std::calloc(size_t(q->windowLen), sizeof(float)));
            if (q->baseWindow == nullptr || q->emgWindow == nullptr) {
                TV_LOGE(kTag, "calloc error");
                destroy(q);
                return nullptr;
            }
        }
        fillLadder(q->baseLevels, q->basePerfectThre, q->baseIntolerableThre);
        fillLadder(q->emgLevels, q->emgPerfectThre, q->emgIntolerableThre);
        set = &fullQualityFilters(q->fs);
    } else {
        q->process = processEconomical;
        set = &economicalQualityFilters(q->fs);
    }
    q->baseDelay = set->baseDelay;
    q->emgDelay = set->emgDelay;
    q->baseFilter = newQualityFilter("sigq_l_pass_1", set->base, set->baseDelay);
    q->emgFilter = newQualityFilter("sigq_h_pass_25", set->emg, set->emgDelay);
    if (q->baseFilter == nullptr || q->emgFilter == nullptr) {
        TV_LOGE(kTag, "newIirCombFilter error");
        destroy(q);
        return nullptr;
    }

    q->callback = conf->callback;
    q->baseScore = q->emgScore = q->lineScore = -1.0f;
    clear(*q);

    if (q->dataPath != nullptr) {
        serializeWriteDataIn(q->dataPath, "sig_quality.conf", conf, kSignalQualityConfTag);
        q->inFile = openDebugStream(q->dataPath, "in.csv");
        q->outFile = openDebugStream(q->dataPath, "out.csv");
    }
    return q;
}

extern "C" int delSignalQuality(SignalQuality **quality)
{
    if (quality == nullptr || *quality == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    destroy(*quality);
    *quality = nullptr;
    return 0;
}

extern "C" int initSignalQuality(SignalQuality *quality)
{
    if (quality == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    clear(*quality);
    return 0;
}

extern "C" int detectSignalQuality(SignalQuality *quality, int16_t x)
{
    if (quality == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    SignalQuality &q = *quality;
    if (q.inFile != nullptr) std::fprintf(q.inFile, "%d\n", x);
    q.process(quality, x);
    if (q.outFile != nullptr)
        std::fprintf(q.outFile, "%d,%d,%d\n", int(q.baseScore), int(q.emgScore), int(q.lineScore));
    return 0;
}

extern "C" int getSegmentQuality(const int16_t *samples, int32_t n, int32_t fs, int32_t scale)
{
    if (samples == nullptr || n < 1 || fs < 10 || scale < 1) {
        TV_LOGE(kTag, "input error");
        return -1;
    }
    // The samples are judged about their integer mean; the mean shifts
    // neither the peak-to-peak nor the swings, so no centred copy is made.
    const Span s = spanOf(samples, n);
    const double mv = double(scale);
    const double p2p = double(s.max) - double(s.min);
    if (p2p <= 0.02 * mv) return 2;  // flat: no signal
    if (p2p > 5.0 * mv) return 2;
    int grade = p2p > 3.0 * mv ? 1 : 0;

    int32_t swings = 0;
    const double swing = fastSwingMean(samples, n, fs, &swings);
    if (swings > 10) {
        if (swing > 0.2 * mv) return 2;
        if (swing > 0.12 * mv) grade = 1;
    }
    const double farthest = std::max(std::fabs(double(s.max - s.mean)), std::fabs(double(s.min - s.mean)));
    return farthest > 5.0 * mv ? 2 : grade;
}

extern "C" int getSegmentQualitySimple(const int16_t *samples, int32_t n, int32_t fs, int32_t scale)
{
    (void)fs;
    if (samples == nullptr || n < 1 || scale < 1) {
        TV_LOGE(kTag, "input error");
        return 99;
    }
    const Span s = spanOf(samples, n);
    const double p2p = double(s.max) - double(s.min);
    if (p2p < 0.02 * scale) return 3;
    if (p2p > 10.0 * scale) return 2;
    return 0;
}

extern "C" int _getValidSignal(const int16_t *samples, int32_t n, int32_t *segments, int32_t maxSegments,
                               int32_t segLen, int32_t scale)
{
    // segLen is also the rate handed to the grading, which needs at least 10.
    if (samples == nullptr || segments == nullptr || n < 1 || maxSegments < 1 || segLen < 10 || scale < 1) {
        TV_LOGI(kTag, "input error");
        return -1;
    }
    if (segments[0] != -1) fillUnset(segments, maxSegments);
    const int32_t count = n / segLen;
    int32_t used = 0, good = 0, doubtful = 0;
    bool open = false;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t start = k * segLen;
        const int grade = getSegmentQuality(samples + start, segLen, segLen, scale);
        good += grade == 0 ? 1 : 0;
        doubtful += grade == 1 ? 1 : 0;
        const bool usable = grade == 0 || grade == 1;
        if (usable && !open && used < maxSegments) {
            segments[2 * used] = start;
            ++used;
            open = true;
        } else if (!usable && open) {
            segments[2 * used - 1] = start - 1;
            open = false;
        }
    }
    if (open) segments[2 * used - 1] = count * segLen - 1;
    if (used == maxSegments && segments[2 * used - 1] != n - 1) TV_LOGT(kTag, "SegmentNum might be not enough");
    return doubtful >= good ? 1 : 0;
}

extern "C" int _getValidSignalSimple(const int16_t *samples, int32_t n, int32_t *segments, int32_t maxSegments,
                                     int32_t fs, int32_t scale)
{
    if (samples == nullptr || segments == nullptr || n < 1 || maxSegments < 1 || fs < 2 || scale < 1) {
        TV_LOGI(kTag, "input error");
        return -1;
    }
    fillUnset(segments, maxSegments);
    const int64_t window = 2 * int64_t(fs), step = fs / 2;
    int32_t used = 0;
    bool open = false;
    for (int64_t p = 0; p + window <= n; p += step) {
        const bool good = getSegmentQualitySimple(samples + p, int32_t(window), fs, scale) == 0;
        if (good && !open) {
            if (used == maxSegments) {
                TV_LOGT(kTag, "SegmentNum might be not enough");
                break;
            }
            segments[2 * used] = int32_t(p);
            ++used;
            open = true;
        } else if (!good && open) {
            segments[2 * used - 1] = int32_t(p - step + window - 1);  // end of the last good window
            open = false;
        }
    }
    if (open) segments[2 * used - 1] = n - 1;
    return 0;
}

extern "C" int getValidSignal(SignalQuality *quality, const int16_t *samples, int32_t n, int32_t *segments,
                              int32_t maxSegments, int32_t scale)
{
    if (quality == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    const bool dump = samples != nullptr && segments != nullptr && n > 0 && maxSegments > 0;
    if (dump) {
        dumpArray(quality, "getValidSegment_in.csv", samples, n, kInt16ArrayTag);
        dumpArray(quality, "getValidSegment_in_validSegment.csv", segments, maxSegments, kEventSegmentArrayTag);
    }
    const int rc = _getValidSignalSimple(samples, n, segments, maxSegments, quality->fs, scale);
    if (dump) dumpArray(quality, "getValidSegment_out.csv", segments, maxSegments, kEventSegmentArrayTag);
    return rc;
}

extern "C" int isLeadInvalid(SignalQuality *quality, const int16_t *samples, int32_t n)
{
    if (quality == nullptr || samples == nullptr || n < 1) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    dumpArray(quality, "isLeadInvalid_in.csv", samples, n, kInt16ArrayTag);
    const Span s = spanOf(samples, n);
    const int32_t result = s.max - s.min > 50 ? 1 : 0;
    dumpArray(quality, "isLeadInvalid_out.csv", &result, 1, kInt32ArrayTag);
    return result;
}
