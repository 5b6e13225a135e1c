// What the adaptive-threshold detector does with one integrated-signal peak:
// noise and T-wave screens, rhythm regularity, search-back for missed beats,
// classification against both threshold sets, R refinement on the raw
// signal, and the QRS and RR buffers. Every window is copied out of the
// rings into the instance's scratch space; nothing is allocated.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "beat_detect/corvane_core.hpp"
#include "common/log_macros.hpp"
#include "tessivar/maxMinMeanMedianAbsOfArray.h"

namespace tessivar::corvane {
namespace {

// The oldest index every ring still holds at the current processing index:
// windows reaching further back are cut here (they only arise with a very
// low minHR at a high rate).
inline int32_t oldest(const Detector &d) { return std::max(0, d.procIndex - (kRing - 1)); }

template <typename T>
int32_t copyWindow(const Detector &d, const T *ring, int32_t a, int32_t e, T *dst)
{
    (void)d;
    for (int32_t k = a; k <= e; ++k) dst[k - a] = ring[slot(k)];
    return e - a + 1;
}

QrsPeak &last(Detector &d) { return d.qrsBuf[kQrsKept - 1]; }
QrsPeak &previous(Detector &d) { return d.qrsBuf[kQrsKept - 2]; }

void pushQrsBuffer(Detector &d, const QrsPeak &rec)
{
    for (int32_t k = 0; k < kQrsKept - 1; ++k) d.qrsBuf[k] = d.qrsBuf[k + 1];
    d.qrsBuf[kQrsKept - 1] = rec;
    ++d.qrsCount;
    --d.reportIndex;
}

void popQrsBuffer(Detector &d)
{
    for (int32_t k = kQrsKept - 1; k > 0; --k) d.qrsBuf[k] = d.qrsBuf[k - 1];
    --d.qrsCount;
    if (d.reportIndex < kQrsKept - 1) ++d.reportIndex;
}

void pushRRBuffer(Detector &d, int32_t rr)
{
    for (int32_t k = 0; k < kQrsKept - 1; ++k) d.rrBuf[k] = d.rrBuf[k + 1];
    d.rrBuf[kQrsKept - 1] = rr;
    ++d.rrCount;
}

// Largest |derivative| in [p - mwiLen, p], first on ties.
void getPeakPos(Detector &d, int32_t p, QrsPeak &rec)
{
    const int32_t lo = std::min(p, std::max(p - d.header.detectorWord, oldest(d)));
    int32_t best = lo;
    for (int32_t k = lo + 1; k <= p; ++k)
        if (d.ecgDRing[slot(k)] > d.ecgDRing[slot(best)]) best = k;
    rec.slopePos = best;
    rec.slopeAmp = d.ecgDRing[slot(best)];
}

QrsPeak candidateAt(Detector &d, int32_t p)
{
    QrsPeak rec{p, d.ecgMRing[slot(p)], 0, 0.0, 0};
    getPeakPos(d, p, rec);
    return rec;
}

bool judgeSharpNoise(Detector &d, const QrsPeak &rec)
{
    double a1 = 0.0, a2 = 0.0;
    for (int32_t k = 1; k < kQrsKept; ++k) {
        a1 += d.qrsBuf[k].mwiAmp;
        a2 += d.qrsBuf[k].slopeAmp;
    }
    a1 /= kQrsKept - 1;
    a2 /= kQrsKept - 1;
    // The ratios rec / mean, compared without dividing by a zero mean.
    return rec.mwiAmp > 50.0 * a1 || (rec.slopeAmp >= 7.0 * a2 && rec.slopeAmp > 0.0);
}

int judgeCloseNoise(Detector &d, const QrsPeak &rec)
{
    const QrsPeak &l = last(d);
    if (rec.slopePos - l.slopePos > d.closeNoiseLen) return 0;
    if (0.5 * l.mwiAmp > rec.mwiAmp) return 1;
    if (0.5 * rec.mwiAmp > l.mwiAmp) return -1;
    return 0;
}

// 2 or 1: the candidate is a T wave or noise; -1: the last record was the
// T wave; 0: neither.
int judgeSharpT(Detector &d, const QrsPeak &rec)
{
    const QrsPeak &l = last(d);
    const int32_t mwiLen = d.header.detectorWord;
    if (rec.slopePos - l.slopePos > d.tWaveLen) return 0;
    const int32_t a = std::max(std::max(l.mwiPos - 2 * mwiLen, 1) - 1, oldest(d));
    const int32_t e = rec.mwiPos + mwiLen < d.procIndex ? rec.mwiPos + mwiLen + 1 : d.procIndex;
    int32_t dNew = -1, dOld = -1;
    if (e >= a) {
        const int32_t len = copyWindow(d, d.ecgDRawRing, a, e, d.scratch);
        int32_t on = 0, off = 0;
        dNew = rwave::waveDuration(rec.mwiPos - a, mwiLen, d.scratch, len, &on, &off);
        dOld = rwave::waveDuration(l.mwiPos - a, mwiLen, d.scratch, len, &on, &off);
    }
    if ((dNew > 1.5 * dOld && dOld != 0) || dNew == 0 || 0.1 * l.mwiAmp > rec.mwiAmp)
        return dOld != 0 && dNew == 0 ? 2 : 1;
    return dOld > 1.5 * dNew || dOld == 0 ? -1 : 0;
}

enum class Screen { normal, back1, back2 };

// -2 when the candidate is noise (or a T wave), else 0; may withdraw the
// last record.
int noiseScreen(Detector &d, const QrsPeak &rec, Screen kind)
{
    if (d.qrsCount > 4 && judgeSharpNoise(d, rec)) {
        d.skipUntil = rec.mwiPos + d.skipLen;
        return -2;
    }
    if (d.qrsCount > 0) {
        const int c = judgeCloseNoise(d, rec);
        if (c == 1) {
            d.skipUntil = rec.mwiPos + d.skipLen;
            return -2;
        }
        if (c == -1) popQrsBuffer(d);
    }
    if (d.qrsCount < 1) return 0;
    if (kind == Screen::back1 && d.qrsCount != 1) return 0;
    const int t = judgeSharpT(d, rec);
    if (t == -1) {
        popQrsBuffer(d);
        return 0;
    }
    if (t == 2 || (t == 1 && kind != Screen::normal)) {
        d.skipUntil = rec.mwiPos + d.skipLen;
        return -2;
    }
    return t == 1 ? -2 : 0;
}

bool isTWave(Detector &d, const QrsPeak &rec)
{
    if (d.qrsCount < 1) return false;
    const QrsPeak &l = last(d);
    return rec.mwiPos - l.mwiPos <= rwave::roundHalfAway(0.36 * d.header.fs) &&
           0.26 * std::fabs(l.mwiAmp) >= std::fabs(rec.mwiAmp);
}

void updateNoiseLevels(Detector &d, const QrsPeak &rec)
{
    d.mwiThr.noiseLev = updateNoiseLev(rec.mwiAmp, d.mwiThr.noiseLev);
    d.slopeThr.noiseLev = updateNoiseLev(rec.slopeAmp, d.slopeThr.noiseLev);
}

int isQrsNormalProcess(Detector &d, const QrsPeak &rec)
{
    if (rec.mwiAmp < d.thrFactor * d.mwiThr.thrSig) {
        updateNoiseLevels(d, rec);
        return 0;
    }
    if (d.qrsCount >= 1 && isTWave(d, rec)) {
        d.skipUntil = rec.mwiPos + d.skipLen;
        updateNoiseLevels(d, rec);
        return 0;
    }
    if (d.qrsCount > 4) d.mwiThr.sigLev = updateSigLev(rec.mwiAmp, d.mwiThr.sigLev);
    return rec.slopeAmp >= d.thrFactor * d.slopeThr.thrSig ? 1 : 0;
}

int isQrsSearchBack(Detector &d, const QrsPeak &cand, double f)
{
    if (f != 1.0 && f != 0.25 && f != 0.4 && f != 0.5) return -1;
    if (cand.mwiAmp > f * f * d.mwiThr.thrNoise) {
        d.mwiThr.sigLev = updateSigLevSearchBack(cand.mwiAmp, d.mwiThr.sigLev);
        return cand.slopeAmp > f * d.slopeThr.thrNoise ? 1 : 0;
    }
    return 0;
}

double adjustThrReduce(const Detector &d, int32_t p, int32_t s, double meanRR)
{
    const double f = d.header.fs;
    if (p < 0 || s < 0 || meanRR > 60.0 * f / 30.0 || meanRR < 60.0 * f / 200.0) return -1.0;
    const int32_t gap = p - s;
    if (gap >= rwave::roundHalfAway(4.0 * meanRR)) return 0.25;
    if (gap >= rwave::roundHalfAway(3.0 * meanRR)) return 0.4;
    if (gap >= rwave::roundHalfAway(2.0 * meanRR)) return 0.5;
    return 1.0;
}

// R index on the raw signal between the slope's two extremes; 0 when the
// slope is not biphasic.
int32_t adjustRPos(Detector &d, const QrsPeak &rec)
{
    const int32_t lo = std::max(std::max(rec.slopePos - d.rSearchHalf, 0), oldest(d));
    const int32_t hi = std::min(d.procIndex, rec.slopePos + d.rSearchHalf);
    if (hi < lo) return 0;
    const int32_t len = copyWindow(d, d.slopeRing, lo, hi, d.scratch);
    copyWindow(d, d.rawRing, lo, hi, d.scratchRaw);
    const int32_t mx = rwave::firstMaxPos(d.scratch, len), mn = rwave::firstMinPos(d.scratch, len);
    if (!(d.scratch[mx] > 0.0) || !(d.scratch[mn] < 0.0)) return 0;
    const int32_t i = std::min(mx, mn), j = std::max(mx, mn);
    const int16_t *raw = d.scratchRaw + i;
    const int32_t count = rwave::peakSearch(raw, j - i + 1, d.peakKept, 0.0, kRing);
    if (count > 0) {
        int32_t best = d.peakKept[0];
        for (int32_t k = 1; k < count; ++k)
            if (raw[d.peakKept[k]] > raw[best]) best = d.peakKept[k];
        return lo + i + best;
    }
    return lo + i + maxAbsPosShort(raw, j - i + 1);
}

// Copies the slope (and raw) window of a QRS centred at c into scratch:
// [max(c - 2W, 1) - 1, c + W + 1] cut at the processing index. Returns the
// window start; *len receives its length.
int32_t qrsWindow(Detector &d, int32_t c, int32_t W, int32_t *len)
{
    const int32_t lo = std::max(std::max(c - 2 * W, 1) - 1, oldest(d));
    const int32_t hi = c + W < d.procIndex ? c + W + 1 : d.procIndex;
    *len = hi >= lo ? copyWindow(d, d.slopeRing, lo, hi, d.scratch) : 0;
    if (*len > 0) copyWindow(d, d.rawRing, lo, hi, d.scratchRaw);
    return lo;
}

double slopeEnergy(const Detector &d, int32_t r, int32_t h)
{
    double e = 0.0;
    for (int32_t k = 1 - h; k <= h - 1; ++k) e += std::fabs(d.slopeRing[slot(r + k)]);
    return e;
}

// R index (record pushed), -1 rejected, -2 replaced the last record, -3
// amplitude too large, -4 wave-duration error.
int32_t adjustAndJudgeRPos(Detector &d, QrsPeak &rec)
{
    const int32_t r = adjustRPos(d, rec);
    if (r < d.skipLen) return -1;
    rec.rPos = r;
    const int32_t lastR = d.qrsCount > 0 ? last(d).rPos : 0;
    if (d.qrsCount > 0) {
        if (r == lastR) return -1;
        if (r - lastR < d.refractoryLen) {
            const int32_t h = d.rSearchHalf / 2;
            if (slopeEnergy(d, lastR, h) >= slopeEnergy(d, r, h)) return -1;
            last(d) = rec;
            return -2;
        }
    }
    const int32_t W = 2 * d.rSearchHalf;
    int32_t len = 0;
    int32_t c = r + d.rSearchHalf;
    int32_t lo = qrsWindow(d, c, W, &len);
    int16_t amp = 0;
    const int32_t dur = rwave::waveDurationAndPeakAmp(c - lo, W, d.scratchRaw, d.scratch, len, d.rawRing[slot(r)], &amp);
    if (amp <= 29) return -1;
    if (amp > 6000) return -3;
    if (d.qrsCount > 0 && lastR >= 1 && r - lastR <= d.tWaveLen) {
        c = lastR + d.rSearchHalf;
        lo = qrsWindow(d, c, W, &len);
        int32_t on = 0, off = 0;
        const int32_t dOld = rwave::waveDuration(c - lo, W, d.scratch, len, &on, &off);
        if (dur == -1 || dOld == -1) {
            TV_LOGE(d.tag, "getWaveDuration error.");
            return -4;
        }
        if ((dur > 3 * dOld && dOld != 0) || dur == 0) return -1;
        if (dOld > 2.5 * dur && dOld != 0 && d.rrCount == 0) return -1;
        if (dOld <= 5 * dur && dOld != 0) {
            pushQrsBuffer(d, rec);
            return r;
        }
        last(d) = rec;
        return -2;
    }
    pushQrsBuffer(d, rec);
    return r;
}

void isNormalRR(Detector &d, int32_t result)
{
    if ((result < 0 && result != -2) || d.qrsCount <= 1) return;
    const int32_t rr = last(d).mwiPos - previous(d).mwiPos;
    if (rr < d.minNormalRR || rr > d.maxNormalRR) return;
    if (result >= 1) {
        pushRRBuffer(d, rr);
    } else if (result == -2) {
        d.rrBuf[kQrsKept - 1] = rr;
        if (d.rrCount == 0) d.rrCount = 1;
    }
}

void updateRhythm(Detector &d)
{
    const int32_t kept = std::min(d.rrCount, kQrsKept);
    if (d.rrCount >= kQrsKept || (d.rrCount >= 1 && d.qrsCount >= 2)) {
        double sum = 0.0;
        for (int32_t k = kQrsKept - kept; k < kQrsKept; ++k) sum += d.rrBuf[k];
        d.meanRR = sum / kept;
        const int32_t lastRR = last(d).mwiPos - previous(d).mwiPos;
        if (lastRR <= 0.92 * d.meanRR || lastRR >= 1.16 * d.meanRR) d.thrFactor = 0.5;
    }
}

// Search-back over the single largest integrated value of the gap.
int searchBackOne(Detector &d, int32_t p)
{
    const int32_t minRR = d.header.minRRLen;
    const int32_t a = std::max(d.skipUntil + minRR, oldest(d)), e = p - minRR;
    if (e < a) return 0;  // a gap too short for a beat at both ends: nothing to search
    int32_t b = a;
    for (int32_t k = a + 1; k <= e; ++k)
        if (d.ecgMRing[slot(k)] > d.ecgMRing[slot(b)]) b = k;
    QrsPeak sb = candidateAt(d, b);
    int32_t r = 0;
    if (noiseScreen(d, sb, Screen::back1) == -2) {
        d.skipUntil = b + d.skipLen;
    } else {
        r = isQrsSearchBack(d, sb, 1.0);
        if (r == -1) {
            TV_LOGE(d.tag, "isQrsSearchBack1 error.");
            return -1;
        }
    }
    if (r == 1) {
        d.skipUntil = b + d.skipLen;
        r = adjustAndJudgeRPos(d, sb);
    }
    if (r == -2 || r >= 1) {
        d.slopeThr.sigLev = updateSigLevSearchBack(sb.slopeAmp, d.slopeThr.sigLev);
        isNormalRR(d, r);
    }
    return 0;
}

// Search-back over every peak of a long gap, with a reduced threshold.
int searchBackTwo(Detector &d, int32_t p, double reduce)
{
    const int32_t minRR = d.header.minRRLen;
    const int32_t a = std::max(d.skipUntil + minRR, oldest(d)), e = p - minRR;
    const int32_t L = e - a + 1;
    if (L <= 2 || minRR >= L - 1) return 0;  // too short to hold a peak
    copyWindow(d, d.ecgMRing, a, e, d.scratch);
    const int32_t capacity = std::min(kRing, 2 * (L / minRR));
    const rwave::PeakWork work{d.peakKept, d.peakList, d.peakOrder, d.peakRemoved, kRing};
    const int32_t count = rwave::findPeaks(d.scratch, L, minRR, d.found, capacity, work);
    LastSeen seen;
    for (int32_t k = 0; k < count; ++k) {
        QrsPeak cand = candidateAt(d, a + d.found[k]);
        if (noiseScreen(d, cand, Screen::back2) == -2) {
            seen.mark(cand.mwiPos, d.skipLen);
            continue;
        }
        int32_t r = isQrsSearchBack(d, cand, reduce);
        if (r == -1) {
            TV_LOGE(d.tag, "isQrsSearchBack2 error.");
            return -1;
        }
        if (r == 0 && reduce == 0.25) seen.mark(cand.mwiPos, d.skipLen);
        if (r == 0) continue;
        seen.mark(cand.mwiPos, d.skipLen);
        r = adjustAndJudgeRPos(d, cand);
        if (r == -2 || r >= 1) {
            d.slopeThr.sigLev = updateSigLevSearchBack(cand.slopeAmp, d.slopeThr.sigLev);
            isNormalRR(d, r);
        } else if (r == -3) {
            TV_LOGE(d.tag, "adjustAndJudgeRPos Back2 error.");
            return -1;
        }
    }
    if (seen.set) d.skipUntil = seen.at;
    return 0;
}

}  // namespace

int adaptiveThresholdProcess(Detector &d, int32_t p)
{
    d.thrFactor = 1.0;
    if (p < d.skipUntil) return 0;
    QrsPeak rec = candidateAt(d, p);
    if (noiseScreen(d, rec, Screen::normal) == -2) return 0;
    updateRhythm(d);

    if (d.meanRR != 0.0) {
        const double reduce = adjustThrReduce(d, p, d.skipUntil, d.meanRR);
        const int32_t gap = p - d.skipUntil;
        if (gap >= rwave::roundHalfAway(1.4 * d.meanRR) && gap < rwave::roundHalfAway(2.66 * d.meanRR) &&
            searchBackOne(d, p) == -1)
            return -1;
        if (p - d.skipUntil >= rwave::roundHalfAway(2.66 * d.meanRR) && searchBackTwo(d, p, reduce) == -1)
            return -1;
    }

    int32_t r = isQrsNormalProcess(d, rec);
    if (r == 1) {
        d.skipUntil = p + d.skipLen;
        r = adjustAndJudgeRPos(d, rec);
    }
    if (r == -1) {
        d.skipUntil = p + d.skipLen;
        return 0;
    }
    if (r == -4) {
        TV_LOGE(d.tag, "adjustAndJudgeRPos error.");
        return -1;
    }
    if (r == -3) {
        d.skipUntil = p + d.bigBeatSkipLen;
        return 0;
    }
    if (r == -2 || r >= 1) {
        d.slopeThr.sigLev = updateSigLev(rec.slopeAmp, d.slopeThr.sigLev);
        if (d.qrsCount < 5) d.mwiThr.sigLev = updateSigLev(rec.mwiAmp, d.mwiThr.sigLev);
        isNormalRR(d, r);
    }
    if (!(d.mwiThr.noiseLev == 0.0 && d.mwiThr.sigLev == 0.0)) updateThreshold(d.mwiThr);
    if (!(d.slopeThr.noiseLev == 0.0 && d.slopeThr.sigLev == 0.0)) updateThreshold(d.slopeThr);
    return 0;
}

}  // namespace tessivar::corvane
