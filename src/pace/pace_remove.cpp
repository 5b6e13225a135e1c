// Pace pulse removal and re-insertion.
//
// Per sample the remover keeps the last 100 inputs (index 0 the newest) and
// returns the oldest, so it delays every lead by exactly 100 samples. A pace
// mark opens a window `before` samples back; every further mark pushes the
// window's end `after` samples past itself. When the sample `after` samples
// past the last mark arrives, the window's inner samples are replaced by the
// straight line between its two end samples, and the amplitude of what was
// cut (the largest residual on the side the residuals lean to) is kept for
// the marker that addPaceSignal adds back once the bridged samples leave the
// delay line.
#include "tessivar/pace_remove.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>

#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "serialize/anal_serialize.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "pace_remove";
constexpr int32_t kLast = PACE_REMOVE_DELAY - 1;

// State shared by every remover.
struct PaceRemoveModule {
    int inhabitThre = 50;  // smallest amplitude that counts as a pulse
};
PaceRemoveModule s_paceRemove;

// Float to int32 by truncation toward zero, saturated instead of undefined
// for values beyond the int32 range (and 0 for NaN).
int32_t truncToInt(float v)
{
    if (!(v == v)) return 0;
    if (v >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int16_t saturate16(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

int32_t samplesOf(int32_t fs, int32_t ms) { return std::max<int32_t>(1, int32_t((int64_t(fs) * ms + 500) / 1000)); }

// Scales a measured amplitude: below the inhibit threshold it is no pulse,
// small pulses are raised to +-300, large ones cut to +-1000.
int32_t normaliseAmplitude(int32_t amplitude)
{
    int64_t a = std::llabs(int64_t(amplitude));
    if (a >= 1001) return int32_t(int64_t(amplitude) * 1000 / a);
    if (a < s_paceRemove.inhabitThre) return 0;
    if (a < 300) return int32_t(int64_t(amplitude) * 300 / a);
    return amplitude;
}

// Replaces v[i] strictly between positions a and b by the straight line
// through (a, ya) and (b, yb) and returns the measured amplitude of what was
// cut: the largest residual v[i] - line(i) when the residuals sum to zero or
// more, else the smallest. The statistics start from the residual at a.
template <typename T>
int32_t bridgeSegment(LinearSpline *spline, T *v, int32_t a, int32_t ya, int32_t b, int32_t yb)
{
    const LinearSplinePoint points[2] = {{a, float(ya)}, {b, float(yb)}};
    setLinearSplinePoints(spline, points);
    int32_t first = truncToInt(float(ya) - getLinearSplineYValue(spline, a));
    int32_t maxR = first, minR = first;
    float sum = 0.0f;
    for (int32_t i = std::min(a, b) + 1; i < std::max(a, b); ++i) {
        float y = getLinearSplineYValue(spline, i);
        int32_t r = truncToInt(float(v[i]) - y);
        v[i] = static_cast<T>(truncToInt(y));
        sum += float(r);
        maxR = std::max(maxR, r);
        minR = std::min(minR, r);
    }
    return sum >= 0.0f ? maxR : minR;
}

void resetRemover(PaceRemove *r, int32_t x0)
{
    r->amplitude = 0;
    r->lastAmplitude = 200;
    r->inPace = 0;
    r->startIdx = 0;
    r->endIdx = 0;
    r->addCountA = 0;
    r->addCountB = 1;
    initLinearSpline(r->spline);
    std::fill(std::begin(r->delayLine), std::end(r->delayLine), x0);
}

void appendLine(std::FILE *f, const char *format, int32_t a, int32_t b = 0)
{
    if (f == nullptr) return;
    std::fprintf(f, format, a, b);
    std::fflush(f);
}

void dumpArray(const PaceRemove *r, const char *file, const void *data, int32_t n, int tag)
{
    if (r->dataPath == nullptr) return;
    serializeWriteDataArrayIn(r->dataPath, file, data, n, tag);
}

bool badArrays(const PaceRemove *r, const void *in, int32_t n, const void *out, const void *status)
{
    if (r == nullptr || in == nullptr || out == nullptr || status == nullptr || n < 1) {
        TV_LOGE(kTag, "INPUT ERROR");
        return true;
    }
    TV_LOGT(kTag, "%s:%d", r->name, n);
    return false;
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" const char *paceRemoveVersion(void) { return "pace_remove version 0.0.0.17 2025-07-15 16:24:25"; }

extern "C" PaceRemove *newPaceRemove(const PaceRemoveConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return nullptr;
    }
    auto *r = static_cast<PaceRemove *>(std::calloc(1, sizeof(PaceRemove) + namedBlockTailSize(conf->name, conf->dataPath)));
    if (r == nullptr) {
        TV_LOGE(kTag, "calloc error");
        return nullptr;
    }
    placeNamedBlockTail(reinterpret_cast<char *>(r + 1), conf->name, conf->dataPath, &r->name, &r->dataPath);
    r->fs = conf->fs;
    // Out-of-range widths are refused by the setters and leave the cut at 0,
    // which the window logic handles (an empty bridge).
    setPaceRemoveMs(r, conf->paceRemoveMs);
    setPaceRemoveBfMs(r, conf->paceRemoveBfMs);
    r->samples60ms = int32_t(int64_t(conf->fs) * 60 / 1000);
    const LinearSplineConf splineConf = {r->name, nullptr};
    r->spline = newLinearSpline(&splineConf);
    if (r->spline == nullptr) {
        std::free(r);
        return nullptr;
    }
    if (r->dataPath != nullptr) {
        serializeWriteDataIn(r->dataPath, "pace_remove.conf", conf, kPaceRemoveConfTag);
        r->removeFile = openDebugStream(r->dataPath, "remove_input.csv");
        r->addFile = openDebugStream(r->dataPath, "add_input.csv");
    }
    resetRemover(r, 0);
    return r;
}

extern "C" int delPaceRemove(PaceRemove **remover)
{
    if (remover == nullptr || *remover == nullptr) return -1;
    PaceRemove *r = *remover;
    closeDebugStream(&r->removeFile);
    closeDebugStream(&r->addFile);
    std::free(r->paceList);
    delLinearSpline(&r->spline);
    std::free(r);
    *remover = nullptr;
    return 0;
}

extern "C" int initPaceRemove(PaceRemove *remover) { return initPaceRemoveCustom(remover, 0); }

extern "C" int initPaceRemoveCustom(PaceRemove *remover, int32_t x0)
{
    if (remover == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    resetRemover(remover, x0);
    return 0;
}

extern "C" int setPaceRemoveMs(PaceRemove *remover, int32_t ms)
{
    if (remover == nullptr || ms > 99) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    remover->after = samplesOf(remover->fs, ms < 1 ? 3 : ms);
    remover->before = std::max(remover->before, samplesOf(remover->fs, std::max<int32_t>(2, ms / 3)));
    return 0;
}

extern "C" int setPaceRemoveBfMs(PaceRemove *remover, int32_t ms)
{
    if (remover == nullptr || ms > 99) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    remover->before = samplesOf(remover->fs, ms < 1 ? 2 : ms);
    return 0;
}

extern "C" int getPaceRemoveDelay(void) { return PACE_REMOVE_DELAY; }

extern "C" int setPaceInhabitThre(int threshold)
{
    s_paceRemove.inhabitThre = threshold;
    return threshold;
}

extern "C" int32_t removePaceSignalInt(PaceRemove *remover, int32_t x, int paceFlag, int normalise)
{
    if (remover == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    PaceRemove &r = *remover;
    appendLine(r.removeFile, "%d,%d\n", x, paceFlag);

    const int32_t out = r.delayLine[kLast];
    std::memmove(r.delayLine + 1, r.delayLine, kLast * sizeof r.delayLine[0]);
    r.delayLine[0] = x;
    r.startIdx = std::min(r.startIdx + 1, kLast);
    r.endIdx = std::min(r.endIdx + 1, kLast);

    if (paceFlag) {
        if (!r.inPace) {
            r.inPace = 1;
            r.startIdx = std::min(r.before, kLast);
        }
        r.endIdx = -r.after;
    }
    if (r.inPace && r.endIdx >= 0) {
        int32_t a = bridgeSegment(r.spline, r.delayLine, r.startIdx, r.delayLine[r.startIdx], 0, r.delayLine[0]);
        if (normalise) a = normaliseAmplitude(a);
        r.amplitude = r.lastAmplitude = a;
        r.addCountA = r.startIdx - 1;
        r.addCountB = 1;
        r.inPace = 0;
    }
    return out;
}

extern "C" int16_t removePaceSignal(PaceRemove *remover, int16_t x, int paceFlag, int normalise)
{
    return saturate16(removePaceSignalInt(remover, x, paceFlag, normalise));
}

extern "C" int32_t addPaceSignalInt(PaceRemove *remover, int32_t x)
{
    if (remover == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    PaceRemove &r = *remover;
    appendLine(r.addFile, "%d\n", x);
    const bool due = r.addCountA > kLast && r.addCountB < 101;
    const int32_t out = due ? int32_t(std::clamp<int64_t>(int64_t(x) + r.amplitude, INT32_MIN, INT32_MAX)) : x;
    if (r.addCountA < INT32_MAX) ++r.addCountA;
    if (r.addCountB < INT32_MAX) ++r.addCountB;
    return out;
}

extern "C" int16_t addPaceSignal(PaceRemove *remover, int16_t x) { return saturate16(addPaceSignalInt(remover, x)); }

extern "C" int removePaceWave(PaceRemove *remover, const int16_t *in, int32_t n, const int32_t *status, int16_t *out)
{
    if (badArrays(remover, in, n, out, status)) return -1;
    PaceRemove &r = *remover;
    dumpArray(&r, "removePace_in_data.csv", in, n, kInt16ArrayTag);
    dumpArray(&r, "removePace_in_status.csv", status, n, kInt32ArrayTag);
    if (out != in) std::memcpy(out, in, sizeof(int16_t) * size_t(n));

    // At most one pulse per second of signal.
    const int32_t capacity = r.fs > 0 ? n / r.fs + 1 : 1;
    if (r.paceList != nullptr) {
        TV_LOGW(kTag, "last removePaceWave not added");
        std::free(r.paceList);
    }
    r.paceCount = 0;
    r.paceList = static_cast<PacePulse *>(std::calloc(size_t(capacity), sizeof(PacePulse)));
    if (r.paceList == nullptr) {
        TV_LOGE(kTag, "calloc error");
        return -1;
    }

    const int32_t w = r.fs / 1000;
    for (int32_t i = r.before; i < n - r.after; ++i) {
        if (!(status[i] & PACE_STATUS_BIT)) continue;
        const int32_t first = i, start = i - r.before;
        // Marks within `after` samples of the last one extend the segment.
        int32_t last = i, end = i;
        for (int round = 0; round < 100; ++round) {
            end = std::min(last + r.after, n - 1);
            int32_t latest = last;
            for (int32_t k = last + 1; k <= end; ++k)
                if (status[k] & PACE_STATUS_BIT) latest = k;
            if (latest == last) break;
            last = latest;
        }
        PacePulse &p = r.paceList[r.paceCount++];
        p.start = start;
        p.end = end;
        p.addStart = (first + last - w) / 2;
        p.addEnd = p.addStart + w;
        p.amplitude = normaliseAmplitude(bridgeSegment(r.spline, out, start, in[start], end, in[end]));
        if (r.paceCount == capacity) {
            TV_LOGW(kTag, "pace %d too march", r.paceCount);
            break;
        }
        i = end;
    }
    dumpArray(&r, "removePace_out.csv", out, n, kInt16ArrayTag);
    return n;
}

extern "C" int addPaceWave(PaceRemove *remover, const int16_t *in, int32_t n, int16_t *out)
{
    if (badArrays(remover, in, n, out, in)) return -1;
    PaceRemove &r = *remover;
    dumpArray(&r, "addPace_in_data.csv", in, n, kInt16ArrayTag);
    if (out != in) std::memcpy(out, in, sizeof(int16_t) * size_t(n));
    for (int32_t p = 0; p < r.paceCount && r.paceList != nullptr; ++p) {
        const PacePulse &pulse = r.paceList[p];
        for (int32_t k = std::max(pulse.addStart, 0); k <= std::min(pulse.addEnd, n - 1); ++k)
            out[k] = saturate16(int64_t(out[k]) + pulse.amplitude);
    }
    std::free(r.paceList);
    r.paceList = nullptr;
    r.paceCount = 0;
    dumpArray(&r, "addPace_out.csv", out, n, kInt16ArrayTag);
    return n;
}
