// Respiration-rate estimator, asked once a second by the channel.
//
// It reads the channel's 10-per-second rings. The strongest spectral peak
// of the recent band (the newest 128 samples, 12.8 s) picks the reading:
//
//   bin 5 .. 23  (about 3 to 13.5 per minute): a time-domain breath count
//                over four periods of the rate low-pass output;
//   bin 24 .. 52 and bin 4 and below: the spectrum of the newest 128
//                rate samples;
//   bin 53 and above (about 31 per minute and faster): the spectrum of the
//                newest 64 band samples, which must agree within one bin.
//
// A reading within 2 per minute of the heart rate is dropped (cardiac
// artefact), and the strongest three band peaks feed the heart-noise flag.
// The result is smoothed and held through a ten-entry history; while no
// reading comes the held rate is re-shown now and then, moved by at most one,
// so that the display visibly lives. Every transform is one 1024-point FFT
// into the instance's spectrum buffer; nothing is allocated here.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "resp/resp.hpp"
#include "tessivar/kt_array.h"
#include "tessivar/kt_dsp.h"

namespace tessivar {

RespCalcTables s_respCalc;

namespace {

constexpr double kBinRate = 600.0 / 1024.0;  // breaths per minute per spectral bin
constexpr int32_t kBandWindow = 128;         // newest band samples searched
constexpr int32_t kBandSkip = 90;            // band samples left out after a reset
constexpr int32_t kShortWindow = 64;
constexpr int32_t kFirstPeakBin = 4;
constexpr int32_t kLastPeakBin = 258;
constexpr double kBreathLevel = 20.0;  // breath peaks above, troughs below the negative

// "round": add 0.5 and truncate toward zero.
int32_t roundRate(double x) { return static_cast<int32_t>(x + 0.5); }

double binRate(int32_t bin) { return bin * kBinRate; }

// Copies the newest n values of a ring (written count times) into a cleared
// 1024-value window, oldest first. Slots never written since the last reset
// are zero.
void copyNewest(const double *ring, int64_t count, int32_t n, double *window)
{
    std::memset(window, 0, sizeof(double) * kRespFftLen);
    for (int32_t i = 0; i < n; ++i) {
        int64_t slot = (count - n + i) % kRespRingLen;
        if (slot < 0) slot += kRespRingLen;
        window[i] = ring[slot];
    }
}

// Heart-noise tolerance, in bins, for the heart rate hr.
int32_t heartTolerance(int32_t hr)
{
    if (hr < 16) return 1;
    if (hr <= 30) return 6;
    if (hr <= 40) return 10;
    if (hr <= 50) return 14;
    if (hr <= 60) return 16;
    if (hr <= 70) return 18;
    if (hr <= 90) return 22;
    return 26;
}

bool outsideHistoryRange(float v) { return v < 9.0f || v > 32.0f; }

// Default first rate for the patient type.
int32_t defaultRate(int32_t patientType)
{
    if (patientType == 0) return 19;
    if (patientType == 1) return 21;
    return 25;
}

}  // namespace

void _amplitudeSort(int32_t *list, int32_t n)
{
    double *amp = s_respCalc.amp;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = i + 1; j < n; ++j) {
            if (amp[j] > amp[i]) {
                const double a = amp[i];
                amp[i] = amp[j];
                amp[j] = a;
                const int32_t b = list[i];
                list[i] = list[j];
                list[j] = b;
            }
        }
    }
}

int32_t _canFrePeakValue(RespState *st, const double *window, int32_t *list)
{
    RespCalcTables &t = s_respCalc;
    st->specIn = window;
    st->specLen = kRespFftLen;
    if (st->spectrum == nullptr || dsp_fft(window, kRespFftLen, kRespFftLen, st->spectrum, kRespFftLen) != 0)
        return 0;
    for (int32_t k = 0; k < kRespMagBins; ++k) {
        const double re = st->spectrum[2 * k];
        const double im = st->spectrum[2 * k + 1];
        t.mag[k] = std::sqrt(re * re + im * im);
    }
    int32_t n = 0;
    for (int32_t k = kFirstPeakBin; k <= kLastPeakBin && n < kRespMaxPeaks; ++k) {
        if (t.mag[k] > t.mag[k + 1] && t.mag[k] > t.mag[k - 1]) {
            list[n] = k;
            t.amp[n] = t.mag[k];
            ++n;
        }
    }
    _amplitudeSort(list, n);
    return n;
}

int32_t canPeakFind(RespState *st)
{
    const int64_t c = st->bandCount;
    int64_t first = 0;  // band sample number of the window's first value
    int32_t length = 0;
    if (c <= 127) {
        length = static_cast<int32_t>(c);
    } else if (c < kBandWindow + kBandSkip) {
        length = static_cast<int32_t>(c - kBandSkip);
        first = kBandSkip;
    } else {
        length = kBandWindow;
        first = c - kBandWindow;
    }
    std::memset(st->bandWindow, 0, sizeof st->bandWindow);
    for (int32_t i = 0; i < length; ++i) st->bandWindow[i] = st->bandRing[(first + i) % kRespRingLen];
    return _canFrePeakValue(st, st->bandWindow, s_respCalc.P);
}

double calTimeDomainRR(RespState *st, int32_t p)
{
    if (p < 5 || p > 23) return 0.0;
    RespCalcTables &t = s_respCalc;
    const int32_t w = 4096 / p;
    double *x = st->calcWindow;
    copyNewest(st->rateRing, st->rateCount, w, x);

    int32_t breaths = 0;
    int32_t last = 0;
    for (int32_t i = 2; i <= w - 3 && breaths < kRespMaxBreaths; ++i) {
        if (!(x[i] > x[i - 2] && x[i] > x[i - 1] && x[i] > x[i + 1] && x[i] > x[i + 2])) continue;
        int32_t j = 0;  // first position of the minimum of x[last .. i-1], from last
        for (int32_t k = 1; k < i - last; ++k) {
            if (x[last + k] < x[last + j]) j = k;
        }
        if (x[last + j] < -kBreathLevel && j >= 1 && x[i] > kBreathLevel) {
            t.breathPeak[breaths] = i;
            t.breathTrough[breaths] = last + j;
            ++breaths;
            last = i;
        }
    }
    if (breaths != 3 && breaths != 4) return 0.0;

    // Regularity of the breaths: amplitude, peak heights, trough depths.
    double maxV = 0.0, minV = 0.0;
    for (int32_t b = 0; b < breaths; ++b) t.breathWork[b] = x[t.breathPeak[b]] - x[t.breathTrough[b]];
    findMaxMinDouble(t.breathWork, breaths, &maxV, &minV);
    const double amplitude = minV / maxV;
    for (int32_t b = 0; b < breaths; ++b) t.breathWork[b] = x[t.breathPeak[b]];
    findMaxMinDouble(t.breathWork, breaths, &maxV, &minV);
    const double peaks = minV / maxV;
    for (int32_t b = 0; b < breaths; ++b) t.breathWork[b] = x[t.breathTrough[b]];
    findMaxMinDouble(t.breathWork, breaths, &maxV, &minV);
    const double troughs = maxV / minV;

    const double rP = 600.0 * (breaths - 1) / (t.breathPeak[breaths - 1] - t.breathPeak[0]);
    const double rT = 600.0 * (breaths - 1) / (t.breathTrough[breaths - 1] - t.breathTrough[0]);
    if (amplitude > 0.9 && std::fabs(rP - rT) <= 1.0 &&
        ((peaks >= 0.9 && troughs >= 0.7) || (peaks >= 0.7 && troughs >= 0.9)))
        return rP;

    // Less regular breaths: the count must agree with the window's spectrum.
    const int32_t q = _canFrePeakValue(st, x, t.Q);
    const double avg = (rP + rT) / 2.0;
    if (q >= 2 && std::fabs(avg - binRate(t.Q[0])) <= 1.0 && peaks >= 0.6 && troughs >= 0.6 &&
        t.amp[0] / t.amp[1] > 2.0)
        return avg;
    return 0.0;
}

double _calNorRR(RespState *st)
{
    RespCalcTables &t = s_respCalc;
    copyNewest(st->rateRing, st->rateCount, kBandWindow, st->calcWindow);
    const int32_t q = _canFrePeakValue(st, st->calcWindow, t.Q);
    if (q < 3) return 0.0;
    if (t.Q[0] > 23 && t.Q[0] < 55 && t.amp[0] / t.amp[1] >= 2.0) return binRate(t.Q[0]);
    for (int32_t i = 0; i < 3; ++i) {
        if (t.Q[i] > 22 && t.Q[i] < 54 && std::fabs(st->curRate - binRate(t.Q[i])) <= 1.0) return binRate(t.Q[i]);
    }
    return 0.0;
}

double _calFreDomainRR(RespState *st, int32_t p0)
{
    RespCalcTables &t = s_respCalc;
    std::memset(st->calcWindow, 0, sizeof st->calcWindow);
    std::memcpy(st->calcWindow, st->bandWindow + kShortWindow, sizeof(double) * kShortWindow);
    const int32_t q = _canFrePeakValue(st, st->calcWindow, t.Q);
    if (q < 3) return 0.0;
    const int32_t d = t.Q[0] - p0;
    if (d >= -1 && d <= 1 && t.amp[0] / t.amp[1] > 2.0) return binRate(t.Q[0]);
    return 0.0;
}

void _heartNoise(RespState *st, int64_t hb, int32_t p)
{
    const int32_t tolerance = heartTolerance(st->hr);
    if (std::abs(p - hb) <= tolerance) {
        ++st->heartNoiseCount;
    } else {
        st->heartNoiseCount = 0;
    }
    int32_t flag = 0;
    if (st->heartNoiseCount > 2) {
        flag = 1;
        st->heartNoiseCount = 3;
    }
    if (flag != st->heartNoiseState) {
        st->heartNoiseState = flag;
        if (st->onBeatNoise != nullptr) st->onBeatNoise(flag);
    }
}

int32_t _respDisplayValueCal(RespState *st, const int32_t *P, double rate, int32_t n)
{
    float *h = st->rateHistory;
    int32_t out = 0;
    if (rate > 0.0) {
        std::memmove(h + 1, h, sizeof(float) * (kRespHistoryLen - 1));
        h[0] = static_cast<float>(rate);
        const int32_t k = rate >= 32.0 ? 5 : (rate <= 10.0 ? 6 : 3);
        int32_t m = 0;
        while (m < kRespHistoryLen && h[m] != 0.0f) ++m;
        float maxK = 0.0f, minK = 0.0f;
        findMaxMinFloat(h, k, &maxK, &minK);
        double meanK = 0.0;
        calcMeanFloat(h, k, &meanK);
        const bool normalRange = rate >= 12.0 && rate <= 32.0;
        if (maxK - minK <= 1.5f) {
            out = roundRate(meanK);
        } else if (m >= k && m <= 9) {
            double meanM = 0.0;
            calcMeanFloat(h, m, &meanM);
            out = roundRate(meanM);
        } else if (st->rateHoldCount > 19 && (st->curRate < 13 || st->curRate > 29) && normalRange) {
            // A long-held rate outside the usual range gives way to a usual
            // new one at once; the older candidates are forgotten.
            out = roundRate(rate);
            std::memset(h + 1, 0, sizeof(float) * (kRespHistoryLen - 1));
        } else {
            double trimmed = 0.0;
            bool useTrimmed = false;
            if (normalRange && m == kRespHistoryLen) {
                double sum = 0.0;
                float maxH = 0.0f, minH = 0.0f;
                calcSumFloat(h, kRespHistoryLen, &sum);
                findMaxMinFloat(h, kRespHistoryLen, &maxH, &minH);
                trimmed = (sum - maxH - minH) / 8.0;
                useTrimmed = std::fabs(trimmed - st->curRate) <= 2.0;
            }
            out = useTrimmed ? roundRate(trimmed) : st->curRate;
        }
        st->rateHoldCount = 0;
        st->curRate = out;
        return out;
    }

    if (rate == 0.0 && st->curRate == 0 && n >= 3) {
        // A first rate after a reset: the band peak nearest the patient's
        // usual rate, else that usual rate once 19 s of band signal exist.
        const int32_t def = defaultRate(st->patientType);
        int32_t best = 0;
        for (int32_t i = 1; i < 3; ++i) {
            if (std::fabs(binRate(P[i]) - def) < std::fabs(binRate(P[best]) - def)) best = i;
        }
        const double candidate = binRate(P[best]);
        if (std::fabs(candidate - def) <= 5.0) {
            out = roundRate(candidate);
            st->curRate = out;
        } else {
            // The safety profile shows nothing it has not measured.
            out = st->bandCount > 189 && s_respChain.safeMode == 0 ? def : 0;
        }
        ++st->rateHoldCount;
        return out;
    }

    // No rate to show: now and then re-show the held rate, moved by at most
    // one. (With no rate held there is nothing to re-show.)
    if (s_respChain.safeMode == 0 && st->rateHoldCount > 0 && st->rateHoldCount % s_respCalc.randTime == 0) {
        const int32_t jitter = std::rand() % 3 - 1;
        if (st->curRate > 0) out = st->curRate + jitter;
        s_respCalc.randTime = std::rand() % 5 + 7;
    }
    ++st->rateHoldCount;
    if (st->rateHoldCount % 20 == 0) {
        // Every 20 s without a rate, drop history entries outside the usual
        // range; the entries behind move one place newer and the oldest
        // slot is emptied.
        if (outsideHistoryRange(h[kRespHistoryLen - 1])) h[kRespHistoryLen - 1] = 0.0f;
        for (int32_t i = kRespHistoryLen - 2; i >= 0; --i) {
            if (outsideHistoryRange(h[i])) {
                std::memmove(h + i, h + i + 1, sizeof(float) * (kRespHistoryLen - 1 - i));
                h[kRespHistoryLen - 1] = 0.0f;
            }
        }
    }
    return out;
}

int32_t calcResp(RespState *st)
{
    RespCalcTables &t = s_respCalc;
    const int32_t n = canPeakFind(st);
    // Without any peak there is no strongest bin: taken as 0.
    const int32_t p0 = n > 0 ? t.P[0] : 0;
    double rate = 0.0;
    if (p0 >= 24 || p0 <= 4) {
        rate = p0 >= 53 ? _calFreDomainRR(st, p0) : _calNorRR(st);
    } else {
        rate = calTimeDomainRR(st, p0);
    }
    const int32_t peaks = n < 3 ? n : 3;
    for (int32_t i = 0; i < peaks; ++i) {
        if (st->hr != 0) {
            _heartNoise(st, static_cast<int64_t>(st->hr) * 1024 / 600, t.P[i]);
            if (std::fabs(st->hr - rate) <= 2.0) rate = 0.0;
        } else {
            if (st->onBeatNoise != nullptr) st->onBeatNoise(0);
            st->heartNoiseState = 0;
        }
    }
    // Without a heart rate a cardiac oscillation cannot be told from
    // breathing: the safety profile takes no reading then.
    if (s_respChain.safeMode != 0 && st->hr == 0) return _respDisplayValueCal(st, t.P, 0.0, 0);
    return _respDisplayValueCal(st, t.P, rate, n);
}

}  // namespace tessivar
