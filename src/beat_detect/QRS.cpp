// Orin QRS detector (method 2): a small fixed-point detector written for a
// 200 Hz microcontroller. Its lengths are fixed sample counts (40 samples of
// hold, 200 samples per learning step, a 16-sample integrator) whatever the
// configured rate. A triangular smoother feeds low-pass, high-pass,
// derivative, rectifier and integrator; peaks are classified against a
// threshold between the means of the last eight QRS and noise peaks.
//
// The detector state is module-level: every method-2 handle drives the one
// state below, so two handles fed at the same time disturb each other. The
// handle is only the facade's head.
#include "beat_detect/orin.hpp"

#include <cstdlib>
#include <cstring>

#include "beat_detect/detector_block.hpp"
#include "tessivar/orin.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "BEAT_DETECT_USE_ORIN";

constexpr int32_t kHold = 40;          // samples a peak is held for a larger one
constexpr int32_t kLearnStep = 200;    // samples per learning step
constexpr int32_t kLearnSteps = 8;
constexpr int32_t kWindowOffset = 16;  // count offset after a detection
constexpr int32_t kInitialRR = 200;
constexpr int32_t kInitialSearchBack = 330;
constexpr int32_t kMinSearchBackCount = 87;
constexpr int32_t kSearchBackShift = 61;

struct OrinState {
    // Classifier (index 0 newest).
    int32_t q[8], n[8], rr[8];
    int32_t qSum, nSum, rrSum;
    int32_t detThresh, sbCount;
    int32_t sbPeak, count, qpkCnt, preBlankCnt, tempPeak, initBlank, initMax, sbLoc;
    // Low-pass: ten past inputs (index 0 newest) and two past outputs.
    int32_t lpX[10], lpY1, lpY2;
    // High-pass: 32-entry ring, its index and running sum.
    int32_t hpRing[32], hpIndex, hpSum;
    // Derivative: four past inputs (index 0 newest).
    int32_t dX[4];
    // Integrator: sixteen entries, index and sum.
    int32_t mwRing[16], mwIndex, mwSum;
    // Peak finder.
    int32_t max, timeSinceMax, lastDatum;
    // Pre-smoothing: 33 inputs and three outputs (index 0 newest); never reset.
    int32_t smX[33], smY[3];
    // Samples since the last reported beat; never reset with the detector.
    int32_t misses;
};

OrinState s_orin;

// A handle is the facade's head only: the detector state is the module's.
struct OrinHandle {
    BeatDetect header;
};

// Shifts hist[0 .. n-2] to hist[1 .. n-1] and stores v as hist[0].
void pushNewest(int32_t *hist, int n, int32_t v)
{
    std::memmove(hist + 1, hist, sizeof(int32_t) * size_t(n - 1));
    hist[0] = v;
}

// Triangular smoother with a gain of 256, scaled back.
int32_t auto3(int32_t v)
{
    OrinState &s = s_orin;
    pushNewest(s.smX, 33, v);
    s.smY[2] = s.smY[1];
    s.smY[1] = s.smY[0];
    s.smY[0] = s.smX[0] - 2 * s.smX[16] + s.smX[32] + 2 * s.smY[1] - s.smY[2];
    return s.smY[0] >> 8;
}

int32_t lpfilt(int32_t x, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        std::memset(s.lpX, 0, sizeof s.lpX);
        s.lpY1 = s.lpY2 = 0;
        return 0;
    }
    const int32_t y = 2 * s.lpY1 - s.lpY2 + x - 2 * s.lpX[4] + s.lpX[9];
    s.lpY2 = s.lpY1;
    s.lpY1 = y;
    pushNewest(s.lpX, 10, x);
    return orin::halve(y, 5);
}

int32_t hpfilt(int32_t x, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        std::memset(s.hpRing, 0, sizeof s.hpRing);
        s.hpIndex = s.hpSum = 0;
        return 0;
    }
    // hpRing[hpIndex] is the input of 32 samples ago.
    s.hpSum += x - s.hpRing[s.hpIndex];
    s.hpRing[s.hpIndex] = x;
    const int32_t mid = s.hpRing[(s.hpIndex + 16) & 31];
    s.hpIndex = (s.hpIndex + 1) & 31;
    return mid - orin::halve(s.hpSum, 5);
}

int32_t deriv1(int32_t x, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        std::memset(s.dX, 0, sizeof s.dX);
        return 0;
    }
    const int32_t y = orin::halve(orin::halve(s.dX[0] - s.dX[2], 1) + x - s.dX[3], 1);
    pushNewest(s.dX, 4, x);
    return y;
}

int32_t peak(int32_t datum, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        s.max = s.timeSinceMax = s.lastDatum = 0;
        return 0;
    }
    int32_t result = 0;
    if (s.timeSinceMax > 0) ++s.timeSinceMax;
    if (datum > s.lastDatum && datum > s.max) {
        s.max = datum;
        if (s.max > 2) s.timeSinceMax = 1;
    } else if (datum < (s.max >> 1) || s.timeSinceMax > 19) {
        result = s.max;
        s.max = 0;
        s.timeSinceMax = 0;
    }
    s.lastDatum = datum;
    return result;
}

// Threshold: noise mean plus 0.375 of the distance to the QRS mean.
void updateThreshold()
{
    OrinState &s = s_orin;
    const int32_t t = s.qSum - s.nSum;
    s.detThresh = (s.nSum + (t >> 1) - (t >> 3)) >> 3;
}

// Pushes v as newest of eight entries and keeps their sum.
void pushSummed(int32_t *hist, int32_t &sum, int32_t v)
{
    sum -= hist[7];
    pushNewest(hist, 8, v);
    sum += v;
}

void updateQ(int32_t p)
{
    pushSummed(s_orin.q, s_orin.qSum, p);
    updateThreshold();
}

void updateN(int32_t p)
{
    pushSummed(s_orin.n, s_orin.nSum, p);
    updateThreshold();
}

void updateRR(int32_t rr)
{
    OrinState &s = s_orin;
    pushSummed(s.rr, s.rrSum, rr);
    s.sbCount = ((s.rrSum + (s.rrSum >> 1)) >> 3) + 16;
}

void resetRR()
{
    OrinState &s = s_orin;
    for (int32_t &v : s.rr) v = kInitialRR;
    s.rrSum = 8 * kInitialRR;
}

void resetDetector() { orin::picQrsDet(0, true); }

}  // namespace

namespace orin {

int32_t halve(int32_t v, int k)
{
    int32_t r = v >> k;
    if (v < 0) r |= k == 5 ? 0xF800 : 0x8000;
    return r;
}

int32_t mvwint(int32_t datum, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        std::memset(s.mwRing, 0, sizeof s.mwRing);
        s.mwIndex = s.mwSum = 0;
        return 0;
    }
    const int32_t entry = datum > 1023 ? 1023 : datum >> 2;
    s.mwSum += entry - s.mwRing[s.mwIndex];
    s.mwRing[s.mwIndex] = entry;
    s.mwIndex = (s.mwIndex + 1) & 15;
    return s.mwSum >> 2;
}

int32_t picQrsDet(int32_t datum, bool init)
{
    OrinState &s = s_orin;
    if (init) {
        lpfilt(0, true);
        hpfilt(0, true);
        deriv1(0, true);
        mvwint(0, true);
        peak(0, true);
        s.sbPeak = s.count = s.qpkCnt = 0;
        s.qSum = s.nSum = 0;
        std::memset(s.q, 0, sizeof s.q);
        std::memset(s.n, 0, sizeof s.n);
        resetRR();
        return 0;
    }

    const int32_t aPeak = peak(mvwint(std::abs(deriv1(hpfilt(lpfilt(datum, false), false), false)), false), false);

    int32_t newPeak = 0;
    if ((aPeak != 0 && s.preBlankCnt == 0) || aPeak > s.tempPeak) {
        s.tempPeak = aPeak;
        s.preBlankCnt = kHold;
    } else if (s.preBlankCnt != 0) {
        if (--s.preBlankCnt == 0) newPeak = s.tempPeak;
    }

    int32_t result = 0;
    if (s.qpkCnt >= kLearnSteps) {
        ++s.count;
        if (newPeak > s.detThresh) {
            updateQ(newPeak);
            updateRR(s.count - kWindowOffset);
            s.count = kWindowOffset;
            s.sbPeak = 0;
            result = kBeat;
        } else if (newPeak != 0) {
            updateN(newPeak);
            if (newPeak > s.sbPeak && s.count > kMinSearchBackCount) {
                s.sbPeak = newPeak;
                s.sbLoc = s.count - kWindowOffset;
            }
        }
        if (s.count > s.sbCount && (s.detThresh >> 1) < s.sbPeak) {
            updateQ(s.sbPeak);
            updateRR(s.sbLoc);
            s.count -= s.sbLoc;
            result = s.count + kSearchBackShift;
            s.sbPeak = 0;
        }
    } else {
        ++s.count;
        if (newPeak > 0) s.count = kWindowOffset;
        if (++s.initBlank == kLearnStep) {
            s.initBlank = 0;
            updateQ(s.initMax);
            s.initMax = 0;
            if (++s.qpkCnt == kLearnSteps) {
                resetRR();
                s.sbCount = kInitialSearchBack;
            }
        }
        if (newPeak > s.initMax) s.initMax = newPeak;
    }
    return result;
}

int32_t learnedSeconds() { return s_orin.qpkCnt; }
int32_t detectionThreshold() { return s_orin.detThresh; }

}  // namespace orin

}  // namespace tessivar

using tessivar::kTag;

extern "C" BeatDetect *newOrinBeatDetect(const BeatDetectConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return nullptr;
    }
    TV_LOGI(kTag, "%s", conf->name);
    auto *d = tessivar::newDetectorBlock<tessivar::OrinHandle>(*conf);
    if (d == nullptr) {
        TV_LOGE(kTag, "calloc error");
        return nullptr;
    }
    tessivar::resetDetector();
    return &d->header;
}

extern "C" int delOrinBeatDetect(BeatDetect **detector)
{
    if (detector == nullptr || !tessivar::isHandleOf(*detector, 2, kTag)) return -1;
    BeatDetect *h = *detector;
    TV_LOGI(kTag, "%s", h->name);
    tessivar::closeDebugStream(&h->inFile);
    tessivar::closeDebugStream(&h->outFile);
    std::free(h);
    *detector = nullptr;
    return 0;
}

extern "C" int initOrinBeatDetect(BeatDetect *detector)
{
    if (!tessivar::isHandleOf(detector, 2, kTag)) return -1;
    TV_LOGI(kTag, "%s", detector->name);
    tessivar::resetDetector();
    return 0;
}

extern "C" int setOrinBeatDetectMode(BeatDetect *detector, int32_t mode)
{
    if (!tessivar::isHandleOf(detector, 2, kTag)) return -1;
    TV_LOGI(kTag, "%s:%d", detector->name, mode);
    // Kept in the head only: the detector does not depend on the patient class.
    detector->mode = mode;
    return 0;
}

extern "C" int32_t detectOrinBeat(BeatDetect *detector, int32_t sample)
{
    if (!tessivar::isHandleOf(detector, 2, kTag)) return -1;
    tessivar::OrinState &s = tessivar::s_orin;
    if (sample < -tessivar::orin::kMaxSample || sample > tessivar::orin::kMaxSample) {
        tessivar::resetDetector();
        return 0;
    }
    if (tessivar::orin::picQrsDet(tessivar::auto3(sample), false) == tessivar::orin::kBeat) {
        s.misses = 0;
        return tessivar::orin::kBeat;
    }
    // Search-back finds are not reported and count as misses.
    if (++s.misses >= tessivar::orin::kMissLimit) {
        tessivar::resetDetector();
        s.misses = 0;
    }
    return 0;
}
