// Internals of the respiration channel and its rate estimator, shared by
// resp_c.cpp (the channel) and respRateCalc.cpp (the estimator) and reached by
// their tests.
//
// Units: the channel works on the impedance samples as the host gives them
// (the suffocation threshold and the estimator's breath-amplitude limits are
// in those units); the band and rate rings run at 10 samples per second; a
// spectral bin k of the 1024-point transform stands for k * 600 / 1024
// breaths per minute, an interval of T band samples for 600 / T.
#pragma once

#include <cstdint>
#include <cstdio>

#include "tessivar/avg_filter.h"
#include "tessivar/fir_filter.h"
#include "tessivar/iir_comb_filter.h"
#include "tessivar/resp.h"

namespace tessivar {

inline constexpr int32_t kRespLpBufLen = 6000;     // six seconds at 1000 per second
inline constexpr int32_t kRespLpKeep = 5000;       // kept after each once-a-second check
inline constexpr int32_t kRespRingLen = 1024;      // band and rate rings, 10 per second
inline constexpr int32_t kRespFftLen = 1024;       // transform length
inline constexpr int32_t kRespMagBins = 260;       // magnitude bins searched for peaks
inline constexpr int32_t kRespMaxPeaks = 130;      // longest peak list
inline constexpr int32_t kRespHistoryLen = 10;     // candidate-rate history
inline constexpr int32_t kRespMaxBreaths = 10;     // breaths kept by the time-domain reading
inline constexpr int32_t kRespJumpRingLen = 100;   // decimated input jumps
inline constexpr int32_t kRespDecimation = 100;    // 1000 per second -> 10 per second
inline constexpr int32_t kRespDefaultThreshold = 18;

// The channel instance, cleared to zero at creation.
struct RespState {
    char name[256];
    char dataPath[256];  // "." for an empty path; "" without a path
    // Filter handles: seven statically defined filters and the created
    // display average.
    SignalFilter *disHighPass;   // "resp_h_pass_015FilterAvgi", 1000/s
    SignalFilter *disLowPass;    // "resp_l_pass_2_5FilterAvgLpi", 1000/s
    SignalFilter *disAvg;        // "disAvg", 1000/s, created (null if creation failed)
    SignalFilter *inLowPass;     // "resp_l_pass_5FilterAvgLpi", 1000/s
    SignalFilter *bandLowPass;   // "resp_hpfs10lp2_5FilterIirCombi", 10/s
    SignalFilter *bandHighPass;  // "resp_h_pass_013FilterFiri", 10/s
    SignalFilter *baseAvg;       // "resp_h_pass_015FilterFiri", 10/s
    SignalFilter *rateLowPass;   // "resp_l_pass_030FilterFiri", 10/s
    float lpBuf[kRespLpBufLen];  // input low-pass output, 1000/s
    int32_t lpCount;
    double bandRing[kRespRingLen];  // breathing band, slot bandCount mod 1024
    int64_t bandCount;              // band samples since the last reset
    int64_t lastCalcCount;          // bandCount at the last rate computation
    double rateRing[kRespRingLen];  // rate low-pass output, slot rateCount mod 1024
    int64_t rateCount;
    double bandWindow[kRespFftLen];  // estimator work: the band window
    double calcWindow[kRespFftLen];  // estimator work: the other windows
    const double *specIn;            // input of the latest transform
    int32_t specLen;                 // its length, 1024
    double *spectrum;                // 1024 complex bins as (re, im) pairs, allocated at creation
    float rateHistory[kRespHistoryLen];  // newest candidate rate first
    int32_t curRate;       // rate the estimator holds
    int32_t reportedRate;  // last rate given to onRespRateChanged
    int (*onRespRateChanged)(int rate);
    int (*onRespBeat)(void);
    int (*onBeatNoise)(int flag);
    int32_t hr;               // beats per minute, 0 for none
    int32_t patientType;      // 0 adult, 1 and 2 paediatric
    int32_t heartNoiseState;  // last value given to onBeatNoise
    int32_t heartNoiseCount;  // consecutive heart-noise hits
    int32_t rateHoldCount;    // computations since the displayed rate was last set
    std::FILE *inFile;        // debug stream of the raw input
    std::FILE *outFile;       // opened with the input stream, never written
};
extern RespState s_resp;

// Module-level values of the channel that its reset leaves alone: the
// statically defined filters with their histories, the display-average
// record, the decimation state and the suffocation threshold.
struct RespChain {
    AvgFilter disHighPass;  // window 6666, delay 3333
    double disHighPassBuf[6666];
    AvgFilter disLowPass;  // window 300
    double disLowPassBuf[300];
    AvgFilter inLowPass;  // window 300
    double inLowPassBuf[300];
    IirCombFilter bandLowPass;  // 6 + 6 coefficients
    double bandLowPassX[6];
    double bandLowPassY[6];
    FirFilter bandHighPass;  // 171 taps
    double bandHighPassBuf[171];
    FirFilter baseAvg;  // 80 taps of 0.0125
    double baseAvgBuf[80];
    FirFilter rateLowPass;  // 23 taps
    double rateLowPassBuf[23];
    FirFilterConf disAvgConf;  // "disAvg": all-ones coefficients, gain 1/N
    double *disAvgCoefs;       // 4000 ones, allocated at creation
    int32_t decimationCount;   // calls since the last decimated sample
    int32_t prevValue;         // previous decimated input, truncated
    double jumpRing[kRespJumpRingLen];
    int64_t jumpCount;         // jump-ring writes
    int32_t reprime;           // 1: re-prime the baseline at the next decimated sample
    int32_t respThr = kRespDefaultThreshold;  // suffocation threshold (standard deviation)
    int32_t safeMode = 0;      // 1: the owner's safety profile is in effect
};

// Computations (one a second) without a measured rate after which the
// safety profile reports -1.
inline constexpr int32_t kRespSafeHold = 15;

// Switches the safety profile of the channel: no default or jittered rate
// when nothing was measured, no rate while the heart rate is unknown, -1
// after kRespSafeHold computations without a measured rate.
void respSetSafeMode(int32_t on);
extern RespChain s_respChain;

// Tables of the estimator, reused by every computation.
struct RespCalcTables {
    int32_t P[kRespMaxPeaks];     // band-window peak bins, strongest first
    int32_t Q[kRespMaxPeaks];     // peak bins of the other windows
    double amp[kRespMaxPeaks];    // amplitudes of the latest peak search, strongest first
    double mag[kRespMagBins];     // magnitude spectrum
    int32_t breathPeak[kRespMaxBreaths];
    int32_t breathTrough[kRespMaxBreaths];
    double breathWork[kRespMaxBreaths];
    int32_t randTime = 9;  // period of the hold jitter, in computations (first jitter after 9)
};
extern RespCalcTables s_respCalc;

// Display average of N samples for the reported rate: 1000 up to 40 per
// minute, 500 up to 80, 300 above; re-created when N changes.
void updateDisplayFilter(RespState *st, int32_t rate);

// Rate in breaths per minute for the current band and rate rings (0: none).
int32_t calcResp(RespState *st);
// Fills P from the band window; returns the number of peaks.
int32_t canPeakFind(RespState *st);
// Breath count over four periods of bin p (5 <= p <= 23); rate or 0.
double calTimeDomainRR(RespState *st, int32_t p);

// Peak search over window (1024 values) into list; returns the count.
int32_t _canFrePeakValue(RespState *st, const double *window, int32_t *list);
// Sorts list and s_respCalc.amp (n entries) by amplitude, descending.
void _amplitudeSort(int32_t *list, int32_t n);
// Reading from the newest 128 rate samples; rate or 0.
double _calNorRR(RespState *st);
// Reading from the newest 64 samples of the band window; rate or 0.
double _calFreDomainRR(RespState *st, int32_t p0);
// Heart-noise test of peak bin p against the heart-rate bin hb.
void _heartNoise(RespState *st, int64_t hb, int32_t p);
// Smoothing and hold of the displayed rate (P the band peaks, n their count).
int32_t _respDisplayValueCal(RespState *st, const int32_t *P, double rate, int32_t n);

}  // namespace tessivar
