// Per-lead signal steps on integer microvolt samples, one sample per call,
// fixed-size state inside the lead record, no allocation:
//
// - stepCheck, the baseline step detector: tells the pipeline when a jump of
//   more than 30 mV has moved the lead's baseline, so its filters restart
//   instead of ringing for seconds. It compares the mean of the newest 449
//   samples with the mean of 450 samples about 550 to 999 samples back and two
//   samples 19 apart about half a second back; it can first fire on the
//   1000th sample after a reset.
// - do_open_close_noise_remove, a morphological smoother (opening and closing
//   over a window of L = 2 * truncate(fs * 0.015) + 1 samples) that keeps
//   large changes as they are, delayed by L - 1 samples.
// - do_quan_noise_remove, a quantisation-noise holder: quantises to 5 uV and
//   holds a steady output through excursions that come back within
//   N = truncate(fs * 0.01) samples without straying more than 50 uV. Its
//   output lags its input by N samples.
// The two noise steps share one state record and one sample counter; the
// pipeline counts them together as truncate(fs * 0.04) samples of delay.
// Their rings hold 61 entries, enough for 2000 Hz; higher rates are clamped.
#pragma once

#include <cstdint>

namespace tessivar {

constexpr int kStepRing = 1000;
constexpr int kNoiseRing = 61;

struct StepState {
    int32_t ring[kStepRing];  // the last 1000 samples
    int32_t index;            // write index, 0 ... 999
    int32_t countdown;        // samples until the first decision (1000 after reset)
    int64_t sumA;             // the older block of 450 samples (64-bit: no input overflows it)
    int64_t sumB;             // the newest 449 samples
};

// Shared record of the two noise steps.
struct NoiseState {
    int32_t quanLookAhead;         // N
    int32_t counter;               // sample counter, advanced by both steps
    int32_t quanRingIdx;           // quantisation ring index
    int32_t quanHistory[4];        // outputs before the current one, newest first
    int32_t quanOutput;            // current output of the holder
    int32_t quanRing[kNoiseRing];  // quantised inputs, N used
    int32_t halfWidth;             // H
    int32_t window;                // L = 2H + 1
    int32_t ocOutput;              // current output of the smoother
    int32_t ocInput[kNoiseRing];   // inputs, L used
    int32_t ocInputIdx;
    int32_t ocMin[kNoiseRing];     // window minima, L used
    int32_t ocMinIdx;
    int32_t ocMax[kNoiseRing];     // window maxima, L used
    int32_t ocMaxIdx;
};
static_assert(sizeof(NoiseState) == 258 * sizeof(int32_t), "the noise state is 258 words");

// 1 when a step is detected at this sample, else 0. With reset set, clears the
// detector (countdown 1000) and returns 0.
int stepCheck(StepState *state, int32_t x, int reset);

// Smoother output for x; with init set, (re)initialises the smoother for fs
// and returns 0.
int32_t do_open_close_noise_remove(NoiseState *state, int32_t x, int32_t fs, int init);

// Holder output for x; with init set, (re)initialises the holder for fs and
// returns 0.
int32_t do_quan_noise_remove(NoiseState *state, int32_t x, int32_t fs, int init);

// Largest / smallest of the first n entries (the first entry when n is 0).
int32_t max(const int32_t *values, int32_t n);
int32_t min(const int32_t *values, int32_t n);

}  // namespace tessivar
