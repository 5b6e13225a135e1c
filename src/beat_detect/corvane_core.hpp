// The adaptive-threshold R-wave detector shared by method 1 (Corvane) and
// the kt method: instance layout, creation, restart and the per-sample
// driver. The two variants differ only in how the high-pass stage and the
// moving-window integration are built (see Variant).
#pragma once

#include <cstdint>

#include "beat_detect/rwave_tools.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/signal_filter.h"

namespace tessivar::corvane {

// Entries of every sample ring (indexed by absolute sample index modulo this).
inline constexpr int32_t kRing = 8000;
// Integrated-signal peaks waiting for processing.
inline constexpr int32_t kPeakRing = 500;
// Accepted QRS records and normal RR intervals kept.
inline constexpr int32_t kQrsKept = 6;

// Ring slot of an absolute sample index (negative ones wrap too).
inline int32_t slot(int32_t k) { return ((k % kRing) + kRing) % kRing; }

enum class Variant {
    corvane,  // two-stage high-pass (raw minus baseline), running-sum integration
    kt,       // one-filter high-pass, average low-pass integration
};

template <typename T>
struct Thresholds {
    T thrSig;    // signal threshold
    T thrNoise;  // noise threshold
    T sigLev;    // signal peak level
    T noiseLev;  // noise peak level
};
using ThresholdSet = Thresholds<double>;

// Level and threshold updates of the adaptive process.
template <typename T>
T updateSigLev(T peak, T level) { return T(0.125) * peak + T(0.875) * level; }
template <typename T>
T updateNoiseLev(T peak, T level) { return T(0.125) * peak + T(0.875) * level; }
template <typename T>
T updateSigLevSearchBack(T peak, T level) { return T(0.25) * peak + T(0.75) * level; }
template <typename T>
void updateThreshold(Thresholds<T> &set)
{
    set.thrSig = set.noiseLev + T(0.25) * (set.sigLev > set.noiseLev ? set.sigLev - set.noiseLev : set.noiseLev - set.sigLev);
    set.thrNoise = T(0.5) * set.thrSig;
}
// First thresholds from a learning window: a third of its largest value
// (from 0) and half its mean. False for an empty window.
template <typename T>
bool initializeThresholds(const T *values, int32_t count, Thresholds<T> &set)
{
    if (values == nullptr || count < 1) return false;
    double big = 0.0, sum = 0.0;
    for (int32_t k = 0; k < count; ++k) {
        if (double(values[k]) > big) big = double(values[k]);
        sum += double(values[k]);
    }
    set.thrSig = T(big / 3.0);
    set.thrNoise = T(sum / count / 2.0);
    set.sigLev = set.thrSig;
    set.noiseLev = set.thrNoise;
    return true;
}

// Where the search-back over a long gap leaves skipUntil: behind the last
// candidate it handled, if any.
struct LastSeen {
    bool set = false;
    int32_t at = 0;
    void mark(int32_t mwiPos, int32_t skipLen)
    {
        set = true;
        at = mwiPos + skipLen;
    }
};

// One candidate or accepted QRS.
struct QrsPeak {
    int32_t mwiPos;   // integrated-signal peak index
    double mwiAmp;    // integrated value there
    int32_t slopePos; // largest |derivative| in [mwiPos - mwiLen, mwiPos]
    double slopeAmp;  // that value
    int32_t rPos;     // refined R index on the raw signal
};

struct Detector {
    BeatDetect header;  // header.detectorWord is mwiLen

    // Derived lengths (samples unless noted).
    int32_t rSearchHalf;
    int32_t tWaveLen;
    double minNormalRR;
    int32_t closeNoiseLen;
    int32_t refractoryLen;
    int32_t skipLen;
    int32_t bigBeatSkipLen;
    double maxNormalRR;
    int32_t peakHoldLen;
    int32_t xpaN;
    int32_t xpbN;
    int32_t xpaDelay;
    int32_t xpbDelay;
    int32_t lpDelay;
    int32_t dDelay;

    SignalFilter *xpa;
    SignalFilter *xpb;
    SignalFilter *slope;       // "D"
    SignalFilter *derivative;  // "derivative"
    SignalFilter *avg;         // "avg"

    int16_t rawRing[kRing];
    double lpRing[kRing];
    double slopeRing[kRing];
    double ecgDRawRing[kRing];
    double ecgDRing[kRing];
    double ecgMRing[kRing];

    // Scratch: every analysed window is copied here first.
    double scratch[kRing];
    int16_t scratchRaw[kRing];
    // Peak finding of the search-back and the R refinement.
    int32_t peakKept[kRing];
    int32_t peakList[kRing];
    int32_t peakOrder[kRing];
    uint8_t peakRemoved[kRing];
    int32_t found[kRing];

    int32_t sampleIndex;
    int32_t procIndex;
    double mwiSum;
    double peakMax;
    int32_t peakCount;
    int32_t peakRing[kPeakRing];
    int32_t peakWrite;
    int32_t peakRead;
    QrsPeak qrsBuf[kQrsKept];
    int32_t qrsCount;
    int32_t reportIndex;
    int32_t rrBuf[kQrsKept];
    int32_t rrCount;
    double meanRR;
    double thrFactor;
    int32_t skipUntil;
    int32_t initStart;
    int32_t initLen;
    ThresholdSet slopeThr;
    ThresholdSet mwiThr;

    Variant variant;
    const char *tag;  // log tag of the variant
};

// A new detector of the variant, or null (bad configuration logged with tag).
BeatDetect *create(const BeatDetectConf *conf, Variant variant, const char *tag);
// The rest refuse (-1, logged with tag) a null handle or one that is not of
// the variant's method family.
int destroy(BeatDetect **handle, Variant variant, const char *tag);
int restart(BeatDetect *handle, Variant variant, const char *tag);
int setMode(BeatDetect *handle, int32_t mode, Variant variant, const char *tag);
int32_t detect(BeatDetect *handle, int32_t sample, Variant variant, const char *tag);

// The processing of one pending integrated-signal peak (adaptive thresholds,
// search-back, R refinement): 0, or -1 after a logged error.
int adaptiveThresholdProcess(Detector &d, int32_t p);

// Raw-amplitude plausibility of a learning window: false when it is
// rejected (mean |x| > 6000 with range > 20000, or range > 50000).
bool learningWindowPlausible(const int16_t *x, int32_t n);

inline Detector &stateOf(BeatDetect *h) { return *reinterpret_cast<Detector *>(h); }

}  // namespace tessivar::corvane
