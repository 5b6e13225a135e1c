// Offline R-peak finder of method 1: the batch counterpart of the
// adaptive-threshold detector over a whole recorded array. One template for
// the double and single-precision finders (T is the element type of the
// signal arrays, the amplitudes and the levels).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "beat_detect/corvane_core.hpp"
#include "beat_detect/rwave_tools.hpp"
#include "common/log_macros.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/maxMinMeanMedianAbsOfArray.h"
#include "tessivar/rwave_tools.h"

namespace tessivar::rpeak {

inline constexpr const char *kTag = "beat detect";

// Lengths of one call, from the handle's rate and heart-rate limits.
struct Params {
    int32_t fs;
    int32_t minRRLen;
    double maxNormalRR;
    int32_t mwiLen;
    double minNormalRR;
    double closeNoiseLen;
    double tWaveLen;
    int32_t skipLen;
    int32_t bigNoiseSkipLen;
    int32_t rSearchHalf;
};

inline Params paramsFor(const BeatDetect &h)
{
    const double f = h.fs;
    return Params{h.fs,
                  rwave::roundHalfAway(60.0 / h.maxHR * f),
                  60.0 / h.minHR * f,
                  rwave::roundHalfAway(0.13 * f),
                  60.0 * f / 200.0,
                  60.0 * f / 250.0,
                  60.0 * f / 190.0,
                  rwave::roundHalfAway(0.02 * f),
                  rwave::roundHalfAway(0.06 * f),
                  rwave::roundHalfAway(0.12 * f)};
}

template <typename T>
struct Signals {
    const int16_t *raw = nullptr;
    int32_t n = 0;
    rwave::HeapArray<T> ecgDRaw, ecgD, ecgM, slope;
};

// How the first thresholds are learnt.
enum class Learning {
    rawChecked,  // first window of plausible raw amplitude (double finder)
    fixed,       // the window starting at 2 fs - 1 (single-precision finder)
};

template <typename T>
struct QrsEntry {
    int32_t mwiPos;
    T mwiAmp;
    int32_t slopePos;
    T slopeAmp;
};

// -1 on failure (logged), else 1.
template <typename T>
int getSignals(const int16_t *samples, int32_t n, const Params &P, Signals<T> &s)
{
    const int32_t fs = P.fs;
    const int32_t L1 = n + int32_t(std::floor(fs / 40.0)), L2 = L1 + P.mwiLen - 1;
    const std::size_t un = static_cast<std::size_t>(n);
    rwave::HeapArray<double> hp(un), lp(un), slope(un), d(static_cast<std::size_t>(L1)),
        dAbs(static_cast<std::size_t>(L1));
    if (!hp.ok() || !lp.ok() || !slope.ok() || !d.ok() || !dAbs.ok()) {
        TV_LOGE(kTag, "err malloc.");
        return -1;
    }
    if (!s.ecgDRaw.reset(d.size())) {
        TV_LOGE(kTag, "ecgDRaw malloc error.");
        return -1;
    }
    if (!s.ecgD.reset(d.size())) {
        TV_LOGE(kTag, "ecgD malloc error.");
        return -1;
    }
    if (!s.ecgM.reset(static_cast<std::size_t>(L2))) {
        TV_LOGE(kTag, "ecgM malloc error.");
        return -1;
    }
    if (!s.slope.reset(un)) {
        TV_LOGE(kTag, "malloc error.");
        return -1;
    }
    if (xpaFilterDouble(samples, n, fs, 1, hp.data()) != 1) return -1;
    if (xpbFilterDouble(hp.data(), n, fs, 50, lp.data()) != 1) return -1;
    if (DFilterDouble(lp.data(), n, fs, slope.data()) != 1) {
        TV_LOGE(kTag, "adjustAndJudgeRPos DFilter error.");
        return -1;
    }
    if (derivativeFiltDouble(lp.data(), n, fs, d.data(), dAbs.data()) != L1) return -1;
    for (int32_t k = 0; k < L1; ++k) {
        const std::size_t i = std::size_t(k);
        s.ecgDRaw[i] = T(d[i]);
        s.ecgD[i] = T(dAbs[i]);
        // The integrand, from the stored magnitude, reuses d.
        d[i] = double(s.ecgD[i]) * double(s.ecgD[i]) / 1000.0;
    }
    if (rwave::movingAverage(d.data(), L1, P.mwiLen, s.ecgM.data()) < 0) return -1;
    for (std::size_t k = 0; k < un; ++k) s.slope[k] = T(slope[k]);
    s.raw = samples;
    s.n = n;
    return 1;
}

// One pass of the adaptive threshold process over the peak list.
template <typename T>
class Pass {
public:
    Pass(const Params &P, const Signals<T> &s, int32_t *positions, int32_t capacity, double bigNoiseFactor,
         Learning learning)
        : P_(P), s_(s), positions_(positions), capacity_(capacity), bigNoiseFactor_(bigNoiseFactor),
          learning_(learning)
    {
    }

    // The number of R positions, -1 on error, -2 when positions filled up.
    int32_t run(const int32_t *peaks, int32_t peakCount)
    {
        if (!learn()) {
            TV_LOGE(kTag, "initializeThresholds error, signal is too short.");
            return -1;
        }
        const int32_t L1 = int32_t(s_.ecgD.size());
        double sum = 0.0;
        for (int32_t k = 0; k < L1; ++k) sum += double(s_.ecgD[std::size_t(k)]);
        const double meanD = sum / L1;
        const std::size_t L2 = s_.ecgM.size();
        if (!qrs_.reset(std::size_t(capacity_) + 2) || !rr_.reset(std::size_t(capacity_) + 2) ||
            !rIdx_.reset(std::size_t(2 * P_.rSearchHalf + 2)) || !work_.reset(3 * L2) || !removed_.reset(L2) ||
            !found_.reset(L2)) {
            TV_LOGE(kTag, "malloc error.");
            return -1;
        }
        meanRR_ = 60.0 * P_.fs / 90.0;
        for (int32_t i = 0; i < peakCount; ++i) {
            const int32_t p = peaks[i];
            thrFactor_ = 1.0;
            QrsEntry<T> rec{};
            if (!candidateAt(p, rec)) {
                TV_LOGE(kTag, "locateFromEcgMToEcgD error.");
                return -1;
            }
            if (qrsCount_ < 5 && double(rec.slopeAmp) > bigNoiseFactor_ * meanD) {
                skipUntil_ = p + P_.bigNoiseSkipLen;
                continue;
            }
            const int32_t step = process(p, rec);
            if (step < 0) return step;
        }
        return qrsCount_;
    }

private:
    const Params &P_;
    const Signals<T> &s_;
    int32_t *positions_;
    int32_t capacity_;
    double bigNoiseFactor_;
    Learning learning_;
    corvane::Thresholds<T> mwiThr_{}, slopeThr_{};
    rwave::HeapArray<QrsEntry<T>> qrs_;
    rwave::HeapArray<int32_t> rr_, rIdx_, work_, found_;
    rwave::HeapArray<uint8_t> removed_;
    int32_t qrsCount_ = 0, rrCount_ = 0, skipUntil_ = 0;
    double meanRR_ = 0.0, thrFactor_ = 1.0;

    enum class Screen { normal, back1, back2 };

    bool learn()
    {
        const int32_t fs = P_.fs, len = 2 * fs + 1, n = s_.n;
        int32_t start = 0, count = len;
        if (learning_ == Learning::rawChecked) {
            if (n < 4 * fs) {
                TV_LOGE(kTag, "This ecg is too short to finish initialization!");
                return false;
            }
            bool found = false;
            for (int32_t a = 0; a + len - 1 < n; a += len)
                if (corvane::learningWindowPlausible(s_.raw + a, len)) {
                    start = a;
                    found = true;
                    break;
                }
            if (!found) {
                TV_LOGI(kTag, "signal quality is so bad! too many big noise in signal");
                count = 1;
            }
        } else {
            if (int32_t(s_.ecgM.size()) < 4 * fs || int32_t(s_.ecgD.size()) < 4 * fs) {
                TV_LOGE(kTag, "This ecg is too short to finish initialization!");
                return false;
            }
            start = 2 * fs - 1;
        }
        return corvane::initializeThresholds(s_.ecgM.data() + start, count, mwiThr_) &&
               corvane::initializeThresholds(s_.ecgD.data() + start, count, slopeThr_);
    }

    // Slope fields of the integrated-signal peak p.
    bool candidateAt(int32_t p, QrsEntry<T> &rec) const
    {
        const int32_t L1 = int32_t(s_.ecgD.size()), w = P_.mwiLen;
        int32_t lo = p - w, hi = p;
        if (p < w) {
            lo = 0;
            hi = p - 1;
        } else if (p >= L1) {
            hi = L1 - 2;
        }
        if (p < 0 || p >= int32_t(s_.ecgM.size()) || hi < lo) return false;
        const int32_t best = lo + rwave::firstMaxPos(s_.ecgD.data() + lo, hi - lo + 1);
        rec = QrsEntry<T>{p, s_.ecgM[std::size_t(p)], best, s_.ecgD[std::size_t(best)]};
        return true;
    }

    QrsEntry<T> &last() { return qrs_[std::size_t(qrsCount_ - 1)]; }
    QrsEntry<T> &previous() { return qrs_[std::size_t(qrsCount_ - 2)]; }

    // 1 or 0; -1 when it cannot be judged.
    int judgeSharpNoise(const QrsEntry<T> &rec)
    {
        if (qrsCount_ < 5) return -1;
        double a1 = 0.0, a2 = 0.0;
        for (int32_t k = qrsCount_ - 5; k < qrsCount_; ++k) {
            a1 += double(qrs_[std::size_t(k)].mwiAmp);
            a2 += double(qrs_[std::size_t(k)].slopeAmp);
        }
        a1 /= 5.0;
        a2 /= 5.0;
        return double(rec.mwiAmp) > 50.0 * a1 || (double(rec.slopeAmp) >= 7.0 * a2 && rec.slopeAmp > 0) ? 1 : 0;
    }

    int judgeCloseNoise(const QrsEntry<T> &rec)
    {
        const QrsEntry<T> &l = last();
        if (rec.slopePos - l.slopePos > P_.closeNoiseLen) return 0;
        if (T(0.5) * l.mwiAmp > rec.mwiAmp) return 1;
        if (T(0.5) * rec.mwiAmp > l.mwiAmp) return -1;
        return 0;
    }

    // 2, 1, 0, -1 as the real-time detector; -3 on a duration error.
    int judgeSharpT(const QrsEntry<T> &rec)
    {
        const QrsEntry<T> &l = last();
        if (rec.slopePos - l.slopePos > P_.tWaveLen) return 0;
        const int32_t L1 = int32_t(s_.ecgDRaw.size());
        int32_t on = 0, off = 0;
        const int32_t dNew = rwave::waveDuration(rec.mwiPos, P_.mwiLen, s_.ecgDRaw.data(), L1, &on, &off);
        const int32_t dOld = rwave::waveDuration(l.mwiPos, P_.mwiLen, s_.ecgDRaw.data(), L1, &on, &off);
        if (dNew == -1 || dOld == -1) {
            TV_LOGE(kTag, "getWaveDuration error.");
            TV_LOGE(kTag, "judgeSharpT error");
            return -3;
        }
        if ((dNew > 1.5 * dOld && dOld != 0) || dNew == 0 || T(0.1) * l.mwiAmp > rec.mwiAmp)
            return dOld != 0 && dNew == 0 ? 2 : 1;
        return dOld > 1.5 * dNew || dOld == 0 ? -1 : 0;
    }

    // -2 noise, 0 not, -1 error.
    int noiseScreen(const QrsEntry<T> &rec, Screen kind)
    {
        if (qrsCount_ > 4) {
            const int sharp = judgeSharpNoise(rec);
            if (sharp < 0) {
                TV_LOGE(kTag, "judgeSharpNoise error.");
                return -1;
            }
            if (sharp == 1) {
                skipUntil_ = rec.mwiPos + P_.skipLen;
                return -2;
            }
        }
        if (qrsCount_ > 0) {
            const int c = judgeCloseNoise(rec);
            if (c == 1) {
                skipUntil_ = rec.mwiPos + P_.skipLen;
                return -2;
            }
            if (c == -1) --qrsCount_;
        }
        if (qrsCount_ < 1) return 0;
        if (kind == Screen::back1 && qrsCount_ != 1) return 0;
        const int t = judgeSharpT(rec);
        if (t == -3) {
            TV_LOGE(kTag, "thisAndNextPeakIsNoise error.");
            return -1;
        }
        if (t == -1) {
            --qrsCount_;
            return 0;
        }
        if (t == 2 || (t == 1 && kind != Screen::normal)) {
            skipUntil_ = rec.mwiPos + P_.skipLen;
            return -2;
        }
        return t == 1 ? -2 : 0;
    }

    bool isTWave(const QrsEntry<T> &rec)
    {
        if (qrsCount_ < 1) return false;
        const QrsEntry<T> &l = last();
        return rec.mwiPos - l.mwiPos <= rwave::roundHalfAway(0.36 * P_.fs) &&
               T(0.26) * std::fabs(l.mwiAmp) >= std::fabs(rec.mwiAmp);
    }

    void updateNoiseLevels(const QrsEntry<T> &rec)
    {
        mwiThr_.noiseLev = corvane::updateNoiseLev(rec.mwiAmp, mwiThr_.noiseLev);
        slopeThr_.noiseLev = corvane::updateNoiseLev(rec.slopeAmp, slopeThr_.noiseLev);
    }

    int isQrsNormalProcess(const QrsEntry<T> &rec)
    {
        if (thrFactor_ != 1.0 && thrFactor_ != 0.5) return -1;
        const T f = T(thrFactor_);
        if (rec.mwiAmp < f * mwiThr_.thrSig) {
            updateNoiseLevels(rec);
            return 0;
        }
        if (qrsCount_ >= 1 && isTWave(rec)) {
            skipUntil_ = rec.mwiPos + P_.skipLen;
            updateNoiseLevels(rec);
            return 0;
        }
        mwiThr_.sigLev = corvane::updateSigLev(rec.mwiAmp, mwiThr_.sigLev);
        return rec.slopeAmp >= f * slopeThr_.thrSig ? 1 : 0;
    }

    int isQrsSearchBack(const QrsEntry<T> &cand, double f)
    {
        if (f != 1.0 && f != 0.25 && f != 0.4 && f != 0.5) return -1;
        if (double(cand.mwiAmp) > f * f * double(mwiThr_.thrNoise)) {
            mwiThr_.sigLev = corvane::updateSigLevSearchBack(cand.mwiAmp, mwiThr_.sigLev);
            return double(cand.slopeAmp) > f * double(slopeThr_.thrNoise) ? 1 : 0;
        }
        return 0;
    }

    double adjustThrReduce(int32_t p, int32_t s) const
    {
        if (p < 0 || s < 0) return -1.0;
        const int32_t gap = p - s;
        if (gap >= rwave::roundHalfAway(4.0 * meanRR_)) return 0.25;
        if (gap >= rwave::roundHalfAway(3.0 * meanRR_)) return 0.4;
        if (gap >= rwave::roundHalfAway(2.0 * meanRR_)) return 0.5;
        return 1.0;
    }

    int32_t adjustRPos(int32_t lo, int32_t hi)
    {
        const int32_t len = hi - lo + 1;
        const T *slope = s_.slope.data() + lo;
        const int32_t mx = rwave::firstMaxPos(slope, len), mn = rwave::firstMinPos(slope, len);
        if (!(slope[mx] > 0) || !(slope[mn] < 0)) return 0;
        const int32_t i = std::min(mx, mn), j = std::max(mx, mn);
        const int16_t *raw = s_.raw + lo + i;
        const int32_t count = rwave::peakSearch(raw, j - i + 1, rIdx_.data(), 0.0, int32_t(rIdx_.size()));
        if (count > 0) {
            int32_t best = rIdx_[0];
            for (int32_t k = 1; k < count; ++k)
                if (raw[rIdx_[std::size_t(k)]] > raw[best]) best = rIdx_[std::size_t(k)];
            return lo + i + best;
        }
        return lo + i + maxAbsPosShort(raw, j - i + 1);
    }

    double slopeEnergyDiff(int32_t r, int32_t lastR, double *eOld) const
    {
        const int32_t h = P_.rSearchHalf / 2;
        double eNew = 0.0;
        *eOld = 0.0;
        for (int32_t k = 1 - h; k <= h - 1; ++k) {
            if (lastR + k < 0 || r + k > s_.n - 1) continue;
            eNew += std::fabs(double(s_.slope[std::size_t(r + k)]));
            *eOld += std::fabs(double(s_.slope[std::size_t(lastR + k)]));
        }
        return eNew;
    }

    // R index (written), -1 rejected, -2 replaced the last position, -3
    // duration error, -4 positions full.
    int32_t adjustAndJudgeRPos(int32_t slopePos)
    {
        const int32_t n = s_.n;
        if (qrsCount_ < 0 || slopePos >= n - 1) return -1;
        const int32_t r =
            adjustRPos(std::max(slopePos - P_.rSearchHalf, 0), std::min(slopePos + P_.rSearchHalf, n - 1));
        if (r < P_.skipLen) return -1;
        const int32_t lastR = qrsCount_ > 0 ? positions_[qrsCount_ - 1] : 0;
        if (qrsCount_ > 0) {
            if (r == lastR) return -1;
            if (r - lastR < P_.minRRLen) {
                double eOld = 0.0;
                const double eNew = slopeEnergyDiff(r, lastR, &eOld);
                if (eOld >= eNew) return -1;
                positions_[qrsCount_ - 1] = r;
                return -2;
            }
        }
        const int32_t W = 2 * P_.rSearchHalf;
        int16_t amp = 0;
        const int32_t dur =
            rwave::waveDurationAndPeakAmp(r + P_.rSearchHalf, W, s_.raw, s_.slope.data(), n, s_.raw[r], &amp);
        if (amp < 30 || amp > 6000) return -1;
        if (qrsCount_ > 0 && lastR >= 1 && r - lastR <= P_.tWaveLen) {
            int32_t on = 0, off = 0;
            const int32_t dOld = rwave::waveDuration(lastR + P_.rSearchHalf, W, s_.slope.data(), n, &on, &off);
            if (dur == -1 || dOld == -1) {
                TV_LOGE(kTag, "getWaveDuration error.");
                return -3;
            }
            if ((dur > 3 * dOld && dOld != 0) || dur == 0) return -1;
            if (dur > 2.5 * dOld && dOld != 0 && rrCount_ == 0) return -1;
            if (dOld > 5 * dur || dOld == 0) {
                positions_[qrsCount_ - 1] = r;
                return -2;
            }
        }
        if (qrsCount_ == capacity_) return -4;
        positions_[qrsCount_++] = r;
        return r;
    }

    void isNormalRR(int32_t result)
    {
        if ((result < 0 && result != -2) || qrsCount_ <= 1) return;
        const int32_t rr = last().mwiPos - previous().mwiPos;
        if (rr < P_.minNormalRR || rr > P_.maxNormalRR) return;
        if (result >= 1 && rrCount_ < int32_t(rr_.size())) {
            rr_[std::size_t(rrCount_++)] = rr;
        } else if (result == -2) {
            if (rrCount_ == 0) rrCount_ = 1;
            rr_[std::size_t(rrCount_ - 1)] = rr;
        }
    }

    // Records an accepted or replacing candidate; -1 or -2 end the pass.
    int32_t judged(int32_t r, const QrsEntry<T> &cand, bool searchBack, const char *errorText)
    {
        if (r == -3) {
            TV_LOGE(kTag, "%s", errorText);
            return -1;
        }
        if (r == -4) {
            TV_LOGI(kTag, "warn：detected rnum is bigger than r array long！");
            return -2;
        }
        if (r == -2 || r >= 1) {
            qrs_[std::size_t(qrsCount_ - 1)] = cand;
            slopeThr_.sigLev = searchBack ? corvane::updateSigLevSearchBack(cand.slopeAmp, slopeThr_.sigLev)
                                          : corvane::updateSigLev(cand.slopeAmp, slopeThr_.sigLev);
            isNormalRR(r);
        }
        return 0;
    }

    int32_t searchBackOne(int32_t p)
    {
        const int32_t a = skipUntil_ + P_.minRRLen, e = p - P_.minRRLen;
        if (a < 0 || e < a) return 0;  // nothing between the two beats to search
        QrsEntry<T> sb{};
        if (!candidateAt(a + rwave::firstMaxPos(s_.ecgM.data() + a, e - a + 1), sb)) return 0;
        int32_t r = 0;
        const int screen = noiseScreen(sb, Screen::back1);
        if (screen == -1) return -1;
        if (screen == -2) {
            skipUntil_ = sb.mwiPos + P_.skipLen;
        } else {
            r = isQrsSearchBack(sb, 1.0);
            if (r == -1) {
                TV_LOGE(kTag, "isQrsSearchBack1 error.");
                return -1;
            }
        }
        if (r == 1) {
            skipUntil_ = sb.mwiPos + P_.skipLen;
            r = adjustAndJudgeRPos(sb.slopePos);
        }
        return judged(r, sb, true, "adjustAndJudgeRPos Back1 error.");
    }

    int32_t searchBackTwo(int32_t p, double reduce)
    {
        const int32_t a = skipUntil_ + P_.minRRLen, e = p - P_.minRRLen, L = e - a + 1;
        if (a < 0 || L <= 2 || P_.minRRLen >= L - 1) return 0;
        const int32_t capacity =
            std::min(int32_t(found_.size()), 2 * ((p - skipUntil_) / std::max(P_.minRRLen, 1)));
        const rwave::PeakWork work{work_.data(), work_.data() + L, work_.data() + 2 * std::size_t(L), removed_.data(),
                                   L};
        const int32_t count = rwave::findPeaks(s_.ecgM.data() + a, L, P_.minRRLen, found_.data(), capacity, work);
        corvane::LastSeen seen;
        for (int32_t k = 0; k < count; ++k) {
            QrsEntry<T> cand{};
            if (!candidateAt(a + found_[std::size_t(k)], cand)) continue;
            const int screen = noiseScreen(cand, Screen::back2);
            if (screen == -1) return -1;
            if (screen == -2) {
                seen.mark(cand.mwiPos, P_.skipLen);
                continue;
            }
            int32_t r = isQrsSearchBack(cand, reduce);
            if (r == -1) {
                TV_LOGE(kTag, "isQrsSearchBack1 error.");
                return -1;
            }
            if (r == 0 && reduce == 0.25) seen.mark(cand.mwiPos, P_.skipLen);
            if (r == 0) continue;
            seen.mark(cand.mwiPos, P_.skipLen);
            r = adjustAndJudgeRPos(cand.slopePos);
            const int32_t step = judged(r, cand, true, "adjustAndJudgeRPos Back2 error.");
            if (step < 0) return step;
        }
        if (seen.set) skipUntil_ = seen.at;
        return 0;
    }

    void updateRhythm()
    {
        const int32_t kept = std::min(rrCount_, 6);
        if (rrCount_ >= 6 || (rrCount_ >= 1 && qrsCount_ >= 2)) {
            double sum = 0.0;
            for (int32_t k = rrCount_ - kept; k < rrCount_; ++k) sum += rr_[std::size_t(k)];
            meanRR_ = sum / kept;
            const int32_t lastRR = last().mwiPos - previous().mwiPos;
            if (lastRR <= 0.92 * meanRR_ || lastRR >= 1.16 * meanRR_) thrFactor_ = 0.5;
        }
    }

    // One peak: 0 to go on, -1 or -2 to end the pass.
    int32_t process(int32_t p, QrsEntry<T> &rec)
    {
        const int screen = noiseScreen(rec, Screen::normal);
        if (screen == -1) return -1;
        if (screen == -2) return 0;
        if (qrsCount_ >= 2) updateRhythm();
        if (meanRR_ != 0.0) {
            const double reduce = adjustThrReduce(p, skipUntil_);
            const int32_t gap = p - skipUntil_;
            if (gap >= rwave::roundHalfAway(1.4 * meanRR_) && gap < rwave::roundHalfAway(2.66 * meanRR_)) {
                const int32_t step = searchBackOne(p);
                if (step < 0) return step;
            }
            if (p - skipUntil_ >= rwave::roundHalfAway(2.66 * meanRR_)) {
                const int32_t step = searchBackTwo(p, reduce);
                if (step < 0) return step;
            }
        }
        int32_t r = isQrsNormalProcess(rec);
        if (r == -1) {
            TV_LOGE(kTag, "isQrsSearch error.");
            return -1;
        }
        if (r == 1) {
            skipUntil_ = p + P_.skipLen;
            r = adjustAndJudgeRPos(rec.slopePos);
        }
        if (r == -1) {
            skipUntil_ = p + P_.skipLen;
            return 0;
        }
        const int32_t step = judged(r, rec, false, "adjustAndJudgeRPos Back1 error.");
        if (step < 0) return step;
        if (!(mwiThr_.noiseLev == 0 && mwiThr_.sigLev == 0)) corvane::updateThreshold(mwiThr_);
        if (!(slopeThr_.noiseLev == 0 && slopeThr_.sigLev == 0)) corvane::updateThreshold(slopeThr_);
        return 0;
    }
};

// The finder behind findRPeak for method 1: a count, -1 or -2.
template <typename T>
int32_t findR(const int16_t *samples, int32_t n, BeatDetect *handle, int32_t *positions, int32_t capacity,
              Learning learning)
{
    if (samples == nullptr || positions == nullptr || handle == nullptr || n <= 0 || capacity <= 0 ||
        handle->fs <= 0 || handle->maxHR <= 30 || handle->minHR <= 0 || handle->minHR >= handle->maxHR)
        return -1;
    const Params P = paramsFor(*handle);
    if (P.minRRLen < 1 || P.mwiLen < 1) return -1;
    {
        Signals<T> s;
        if (getSignals(samples, n, P, s) != 1) {
            TV_LOGE(kTag, "signals calculate error.");
            return -1;
        }
        const int32_t L2 = int32_t(s.ecgM.size());
        const int32_t minDist = std::min(P.minRRLen, L2 - 2);
        const int32_t work = L2 > 2 ? L2 : 3;
        rwave::HeapArray<int32_t> peaks(std::size_t(std::max(2 * (L2 / P.minRRLen), 1))), ints(3 * std::size_t(work));
        rwave::HeapArray<uint8_t> flags(static_cast<std::size_t>(work));
        if (!peaks.ok() || !ints.ok() || !flags.ok()) {
            TV_LOGE(kTag, "malloc error.");
            return -1;
        }
        const rwave::PeakWork pw{ints.data(), ints.data() + work, ints.data() + 2 * std::size_t(work), flags.data(),
                                 work};
        const int32_t count = rwave::findPeaks(s.ecgM.data(), L2, minDist, peaks.data(), int32_t(peaks.size()), pw);
        if (count < 0) {
            TV_LOGE(kTag, "findPeaks error.");
            TV_LOGE(kTag, "getQrsPos error.");
            return -1;
        }
        if (count == 0) return 0;
        int32_t result = 0;
        for (double factor : {50.0, 100.0, 200.0}) {
            Pass<T> pass(P, s, positions, capacity, factor, learning);
            result = pass.run(peaks.data(), count);
            if (result != 0) break;
        }
        if (result == -1) {
            TV_LOGE(kTag, "adaptiveThresholdProcess error.");
            TV_LOGE(kTag, "getQrsPos error.");
        }
        return result;
    }
}

}  // namespace tessivar::rpeak
