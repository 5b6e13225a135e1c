// State of the limited-resource QRS detector (beat-detection method 0) and
// the internal steps shared by its three units: eplimited (creation,
// parameters, beat queue and plausibility check), qrsdet2 (the detector
// proper) and qrsfilt (the filter chain). The beat measurement lives in
// analbeat.
//
// Everything is one zero-filled allocation: the BeatDetect head, this
// state, then the name and data-path copies. All lengths are computed once
// from fs at creation (x milliseconds in samples, rounded to nearest).
#pragma once

#include <cstdint>
#include <cstdio>

#include "tessivar/eplimited.h"

namespace tessivar {

// Storage of every filter ring and of the raw-derivative ring: the derived
// lengths must fit (checked at creation).
inline constexpr int32_t kEpRingStorage = 500;
// Raw ECG and absolute-derivative history, samples.
inline constexpr int32_t kEpHistory = 1000;
// Length of the down-sampled beat handed to the measurement.
inline constexpr int32_t kEpBeatLength = 500;
// Detections waiting for their measurement.
inline constexpr int32_t kEpBeatQueue = 10;
// Entries of the peak and interval histories.
inline constexpr int32_t kEpHistoryPeaks = 8;
// The integrator's output never exceeds this.
inline constexpr int32_t kEpMwiLimit = 32000;

// Lengths at the input rate, in samples.
struct EpTiming {
    double msPerSample;  // 1000.0 / fs
    int32_t ms8, ms15, ms20, ms25, ms30, ms40, ms50, ms60, ms80, ms95, ms100, ms125, ms150, ms160, ms175, ms195,
        ms200, ms220, ms250, ms300, ms360, ms400, ms450;
    int32_t ms10;    // truncated, not rounded: derivative length and QRS-width floor
    int32_t ms1000;  // fs
    int32_t ms1500;  // truncated: first search-back limit
    int32_t derivLength, lpLength, hpLength;
    int32_t preBlank;     // hold time for a larger peak
    int32_t windowWidth;  // integrator length
    int32_t filterDelay;  // delay of the chain up to a confirmed peak
    int32_t derDelay;     // raw-derivative ring length
    double thCoef;        // threshold: noise mean + thCoef * (QRS mean - noise mean)
};

// Lengths at the beat rate (fs / 2), in beat samples.
struct EpBeatTiming {
    int32_t beatFs;
    double beatMsPerSample;
    int32_t ms10, ms20, ms40, ms50, ms60, ms70, ms80, ms90, ms100, ms110, ms130, ms140, ms150, ms250, ms280, ms300,
        ms350, ms400;
    int32_t ms1000;  // beatFs
};

// The filter chain: low-pass, high-pass, two derivatives, integrator.
// Running sums and the low-pass outputs are kept in 64 bits, so that the
// integrator's saturation holds for any int32 input.
struct EpFilters {
    int64_t lpY1, lpY2;
    int32_t lpRing[kEpRingStorage];
    int32_t lpIdx;
    int64_t hpSum;
    int32_t hpRing[kEpRingStorage];
    int32_t hpIdx;
    int32_t deriv1Ring[kEpRingStorage];  // raw-signal derivative
    int32_t deriv1Idx;
    int32_t deriv2Ring[kEpRingStorage];  // chain derivative
    int32_t deriv2Idx;
    int64_t mwSum;
    int32_t mwRing[kEpRingStorage];
    int32_t mwIdx;
};

struct EpPeakFinder {
    int32_t max;           // largest value of the current rise
    int32_t lastDatum;     // previous input
    int32_t timeSinceMax;  // samples since the maximum, 0 while none is pending
};

// Peak classification against the adaptive threshold. Histories hold index
// 0 as the newest entry.
struct EpClassifier {
    int32_t det_thresh;
    int32_t qpkcnt;  // learning seconds done, 0 ... 8
    int32_t qrsPeaks[kEpHistoryPeaks];
    int32_t noisePeaks[kEpHistoryPeaks];
    int32_t rrIntervals[kEpHistoryPeaks];
    int32_t resetPeaks[kEpHistoryPeaks];
    int32_t rsetCount;  // seconds without a beat (threshold reset at 8)
    int32_t nmean, qmean, rrMean;
    int32_t sinceLast;  // samples since the last QRS, plus windowWidth
    int32_t searchBackPeak, searchBackLoc, searchBackLimit;
    int32_t maxDeriv, lastMaxDeriv;
    int32_t secondCount, secondMax;  // one-second counter and its largest peak
    int32_t holdCount, heldPeak;
    int32_t derivRing[kEpRingStorage];  // raw derivative, derDelay entries
    int32_t derivRingIdx;
    int32_t absDeriv[kEpHistory];  // |raw derivative| for the size check
    int32_t absDerivIdx;
    int32_t lastDerivPeak;  // largest |derivative| around the previous detection
};

// Measurement and delivery of detected beats.
struct EpBeatStage {
    int32_t ecgRing[kEpHistory];
    int32_t ecgIdx;
    int32_t beatBuffer[kEpBeatLength];  // last measured beat at fs / 2
    int32_t beatQueue[kEpBeatQueue];    // ages of detections awaiting measurement
    int32_t beatQueueCount;
    int32_t rrCount;           // samples since the last delivered beat
    int32_t firstBeatPending;  // 1: the next beat is delivered unmeasured
    int32_t ageType;           // 0 adult, 1 or 2 child / newborn
    int32_t qrsAmpThr;         // smallest QRS amplitude, sample units
    int32_t qrsDurThr;         // smallest QRS width, samples
    int32_t fidMark;           // fiducial index in beatBuffer
    int32_t beatMs50, beatMs80, beatMs40;
    int32_t userThr;        // 1: thresholds set explicitly
    int32_t noiseRejected;  // 1 after a beat was rejected as noise
};

struct EplimitedBeatDetect {
    BeatDetect header;
    std::FILE *onsetFile;     // "qrs_onset.csv" (stays empty)
    std::FILE *offsetFile;    // "qrs_offset.csv" (stays empty)
    std::FILE *peakIndFile;   // "peak_ind.csv"
    std::FILE *valleyIndFile; // "valley_ind.csv" (stays empty)
    std::FILE *rDetectFile;   // "r_detect.csv"
    EpTiming t;
    EpBeatTiming b;
    EpFilters f;
    EpPeakFinder pk;
    EpClassifier c;
    EpBeatStage s;
};

inline EplimitedBeatDetect &eplimitedOf(BeatDetect *handle) { return *reinterpret_cast<EplimitedBeatDetect *>(handle); }

// qrsfilt: the chain; with init every filter restarts (and the result is
// that of the restart).
int32_t QRSFilter(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t lpfilt(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t hpfilt(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t deriv1(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t deriv2(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t mvwint(EplimitedBeatDetect &d, int32_t datum, bool init);

// qrsdet2: one detector step; the delay of a detection or 0.
int32_t QRSDet(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t Peak(EplimitedBeatDetect &d, int32_t datum, bool init);
int32_t mean(const int32_t *array, int32_t n);
int32_t thresh(const EplimitedBeatDetect &d, int32_t qmean, int32_t nmean);
int32_t BLSCheck(EplimitedBeatDetect &d);
int32_t TCheck(const EplimitedBeatDetect &d, int32_t rr, int32_t lastPeak, int32_t newPeak);
int32_t PCheck(const EplimitedBeatDetect &d, int32_t rr, int32_t reference, int32_t value);
int32_t _getMax(const int32_t *array, int32_t n);

// analbeat: QRS onset and offset (indexes into beat) and peak-to-peak
// amplitude of a down-sampled beat whose fiducial point is at s.fidMark.
void AnalyzeBeat(const EplimitedBeatDetect &d, const int32_t *beat, int32_t *onset, int32_t *offset,
                 int32_t *amplitude);

// eplimited: the plausibility thresholds of the patient class.
void SetAgeType(EplimitedBeatDetect &d, int32_t type);
void updateQRSThr(EplimitedBeatDetect &d);

}  // namespace tessivar
