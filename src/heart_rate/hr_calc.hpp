// Internals of the heart-rate calculator that its owner and its tests
// reach: the state record, the callbacks registered at hrCalcInit, the rate
// rule, and the version of the beat detector it runs (the front end lists
// it without reaching past heart rate).
#pragma once

#include <cstdint>

#include "tessivar/beat_detect.h"
#include "tessivar/hr_calc.h"

namespace tessivar {

inline constexpr int32_t kHrLeads = 18;        // I ... V5R
inline constexpr int32_t kHrAutoLead = 18;     // automatic lead choice
inline constexpr int32_t kHrHistory = 10000;   // buffered samples per lead
inline constexpr int32_t kHrRRCount = 12;      // RR intervals behind the rate
inline constexpr int32_t kHrDetectorLag = 300; // detector behind the newest frame, samples

// One lead's history.
struct HrLeadBuf {
    int32_t samples[kHrHistory];  // ring, position = frame counter mod 10000
    int32_t maxPP;                // peak-to-peak of the ring; -1 unknown
    int32_t statusCount;          // processed samples still to be marked invalid
};

// The calculator's one instance. Frame counters and beat positions are 64
// bits wide so that a monitor running for more than 24 days (2^31 frames)
// does not wrap them.
struct HrCalcModule {
    int64_t lastBeatPos;   // read-counter value of the last beat; 0 none
    int64_t lastRR;        // previous RR interval, also when it was not stored
    int32_t skipNext;      // 1: the next beat only anchors (its RR spans a gap)
    int32_t flaggedCount;  // consecutive invalid samples skipped
    int32_t sinceBeat;     // samples since the last beat; -20000 after a start
    int32_t autoLead;      // 1: the heart-rate lead is chosen automatically
    int32_t curHR;         // last reported rate
    int32_t hrLead;        // heart-rate lead 0 ... 17
    uint32_t sampleFlags[kHrHistory];  // per buffered sample: bit l = lead l invalid
    int32_t rrArray[kHrRRCount];       // index 0 newest, 0 = empty
    HrLeadBuf leadBuf[kHrLeads];
    int64_t writeCount;  // frames received
    int64_t readCount;   // samples processed by the detector
    BeatDetect *detector;

    int32_t isFirstBeat;              // 1: the next beat is neither reported nor measured
    int32_t feedLength;               // samples of the built-in beat fed when priming
    int32_t last_statu;               // last status word (masked)
    uint32_t last_quality_for_hr_lead;// last noisy-lead mask

    // Passed in by the owner.
    HrCalcCallbacks callbacks;
    uint32_t cur_quality_for_hr_lead;  // noisy-lead mask of the current frame
    int32_t leadCount;                 // leads of the current frame, 0 ... 18
    int32_t qrsMode;                   // patient class
    int32_t qrsMethod;                 // beat-detection method, fixed at hrCalcInit
};

// The state (read-only; for tests).
const HrCalcModule &hrCalcState();

// The callbacks of the last hrCalcInit (all null before it and after
// hrCalcDeinit).
const HrCalcCallbacks &hrCalcCallbacks();

// Lead-off status bits (and invalid-lead bits) that invalidate lead l.
uint32_t hrLeadOffMask(int32_t lead);

// Rate in beats per minute from twelve RR intervals (index 0 newest, 0 =
// empty); 0 when fewer than three are known.
int32_t rrArray2hr(const int32_t *rrArray);

// The built-in normal beat fed when priming: 764 samples at 1000 Hz.
const int16_t *hrNormalBeat(int32_t *length);

// Forgets the last reported rate, so that the next rate is reported even
// when it equals the old one (after the owner has shown -1 in between).
void hrForgetRate();

// The version text of the beat-detection module behind the calculator.
const char *beatDetectorVersion();

}  // namespace tessivar
