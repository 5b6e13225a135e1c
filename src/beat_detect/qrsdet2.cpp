// The detector proper of the limited-resource QRS detector: peaks of the
// filtered energy signal are held for preBlank samples (a larger peak in
// that time replaces the held one), then classified as QRS or noise against
// det_thresh = noise mean + 0.3125 * (QRS mean - noise mean) over the last
// eight of each. Peaks in a baseline shift are ignored, a peak within 360
// ms of the last QRS at most 0.728 of its size is a T wave, and an early
// detection whose derivative or peak is at least double the last one is
// dropped. When 1.5 mean RR intervals pass without a beat, the largest noise
// peak above half the threshold is taken back as a QRS (search-back). The
// first eight seconds after init only collect the largest peak of every
// second; eight seconds without a detection reset the threshold the same
// way.
//
// A detection returns its delay: windowWidth + filterDelay samples behind
// the current input, or for a search-back the time since the taken-back
// peak plus filterDelay.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "beat_detect/eplimited.hpp"

namespace tessivar {
namespace {

// New entry at index 0, the oldest of the eight drops out.
void pushFront(int32_t *array, int32_t value)
{
    std::memmove(array + 1, array, sizeof(int32_t) * (kEpHistoryPeaks - 1));
    array[0] = value;
}

void fill(int32_t *array, int32_t value) { std::fill(array, array + kEpHistoryPeaks, value); }

// Search-back limit after a new mean RR interval.
int32_t searchBackLimitFor(const EplimitedBeatDetect &d, int32_t rrMean)
{
    return rrMean + (rrMean >> 1) + d.t.windowWidth;
}

// After learning or a reset: the collected seconds stand for the QRS
// peaks, no noise yet, one second as the mean interval.
void restartThreshold(EplimitedBeatDetect &d, const int32_t *peaks)
{
    EpClassifier &c = d.c;
    if (peaks != c.qrsPeaks) std::memcpy(c.qrsPeaks, peaks, sizeof c.qrsPeaks);
    fill(c.noisePeaks, 0);
    c.qmean = mean(c.qrsPeaks, kEpHistoryPeaks);
    c.nmean = 0;
    c.rrMean = d.t.ms1000;
    c.searchBackLimit = d.t.ms1500 + d.t.ms150;
    c.det_thresh = thresh(d, c.qmean, c.nmean);
}

void clearDetector(EplimitedBeatDetect &d)
{
    EpClassifier &c = d.c;
    fill(c.qrsPeaks, 0);
    fill(c.noisePeaks, 0);
    fill(c.rrIntervals, d.t.ms1000);
    fill(c.resetPeaks, 0);
    c.searchBackPeak = 0;
    c.sinceLast = 0;
    c.lastMaxDeriv = 0;
    c.maxDeriv = 0;
    c.qpkcnt = 0;
    c.derivRingIdx = 0;
    c.holdCount = 0;
    c.secondMax = 0;
    c.secondCount = 0;
    c.searchBackLimit = d.t.ms1500;
    QRSFilter(d, 0, true);
    Peak(d, 0, true);
}

// Largest of n entries of a ring of size ringSize starting at start.
int32_t ringMax(const int32_t *ring, int32_t ringSize, int32_t start, int32_t n)
{
    int32_t best = ring[start];
    for (int32_t k = 0, i = start; k < n; ++k) {
        best = std::max(best, ring[i]);
        if (++i == ringSize) i = 0;
    }
    return best;
}

void logDetectorLine(const EplimitedBeatDetect &d, int32_t datum, int32_t fdatum, int32_t aPeak, int32_t newPeak,
                     int32_t absDeriv, int32_t delay, int32_t derivPeak)
{
    const EpClassifier &c = d.c;
    std::fprintf(d.rDetectFile, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d\n", datum, fdatum, aPeak, newPeak, c.qpkcnt,
                 c.det_thresh, c.rsetCount, c.qmean, c.nmean, absDeriv, delay, derivPeak);
    std::fflush(d.rDetectFile);
}

}  // namespace

int32_t mean(const int32_t *array, int32_t n)
{
    int64_t sum = 0;
    for (int32_t i = 0; i < n; ++i) sum += array[i];
    return int32_t(sum / n);
}

int32_t thresh(const EplimitedBeatDetect &d, int32_t qmean, int32_t nmean)
{
    return nmean + int32_t(d.t.thCoef * double(int64_t(qmean) - nmean));
}

int32_t _getMax(const int32_t *array, int32_t n) { return *std::max_element(array, array + n); }

int32_t TCheck(const EplimitedBeatDetect &d, int32_t rr, int32_t lastPeak, int32_t newPeak)
{
    if (rr >= d.t.ms360) return 0;
    return double(lastPeak) * 0.728 >= double(newPeak) ? 1 : 0;
}

int32_t PCheck(const EplimitedBeatDetect &d, int32_t rr, int32_t reference, int32_t value)
{
    return rr < d.t.ms360 && int64_t(value) >= 2 * int64_t(reference) ? 1 : 0;
}

int32_t BLSCheck(EplimitedBeatDetect &d)
{
    EpClassifier &c = d.c;
    int32_t max = 0, min = 0, maxT = 0, minT = 0;
    for (int32_t t = 0, i = c.derivRingIdx; t < d.t.ms220; ++t) {
        const int32_t x = c.derivRing[i];
        if (x > max) {
            max = x;
            maxT = t;
        } else if (x < min) {
            min = x;
            minT = t;
        }
        if (++i == d.t.derDelay) i = 0;
    }
    c.maxDeriv = max;
    min = -min;
    // A slope without a matching opposite slope nearby is a baseline shift.
    if (max <= (min >> 3) || min <= (max >> 3)) return 1;
    return std::abs(maxT - minT) >= d.t.ms250 ? 1 : 0;
}

int32_t Peak(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    EpPeakFinder &p = d.pk;
    if (init) {
        p.max = 0;
        p.timeSinceMax = 0;
        return 0;
    }
    int32_t pk = 0;
    if (p.timeSinceMax > 0) ++p.timeSinceMax;
    if (datum > p.lastDatum && datum > p.max) {
        p.max = datum;
        if (p.max > 2) p.timeSinceMax = 1;
    } else if (0.6 * double(p.max) > double(datum) || p.timeSinceMax > d.t.ms95) {
        pk = p.max;
        p.max = 0;
        p.timeSinceMax = 0;
    }
    p.lastDatum = datum;
    return pk;
}

int32_t QRSDet(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    EpClassifier &c = d.c;
    const EpTiming &t = d.t;
    if (init) clearDetector(d);

    int32_t delay = 0;
    const int32_t fdatum = QRSFilter(d, datum, false);
    const int32_t aPeak = Peak(d, fdatum, false);

    // Hold a peak for preBlank samples; a larger one within that time
    // replaces it.
    int32_t newPeak = 0;
    if (aPeak != 0 && c.holdCount == 0) {
        c.heldPeak = aPeak;
        c.holdCount = t.preBlank;
    } else if (aPeak == 0 && c.holdCount > 0) {
        if (--c.holdCount == 0) newPeak = c.heldPeak;
    } else if (aPeak != 0) {
        if (aPeak > c.heldPeak) {
            c.heldPeak = aPeak;
            c.holdCount = t.preBlank;
        } else if (--c.holdCount == 0) {
            newPeak = c.heldPeak;
        }
    }

    const int32_t rawDeriv = deriv1(d, datum, false);
    c.derivRing[c.derivRingIdx] = rawDeriv;
    if (++c.derivRingIdx == t.derDelay) c.derivRingIdx = 0;

    int32_t rr = 0;
    if (c.qpkcnt >= kEpHistoryPeaks) {
        ++c.sinceLast;
        rr = c.sinceLast - t.windowWidth;
        if (newPeak > 0 && BLSCheck(d) == 0) {
            if (newPeak > c.det_thresh && TCheck(d, rr, c.qrsPeaks[0], newPeak) == 0) {
                pushFront(c.qrsPeaks, newPeak);
                c.qmean = mean(c.qrsPeaks, kEpHistoryPeaks);
                pushFront(c.noisePeaks, newPeak / 3);
                c.nmean = mean(c.noisePeaks, kEpHistoryPeaks);
                c.det_thresh = thresh(d, c.qmean, c.nmean);
                pushFront(c.rrIntervals, rr);
                c.rrMean = mean(c.rrIntervals, kEpHistoryPeaks);
                c.searchBackLimit = searchBackLimitFor(d, c.rrMean);
                c.sinceLast = t.windowWidth;
                c.searchBackPeak = 0;
                c.lastMaxDeriv = c.maxDeriv;
                c.maxDeriv = 0;
                delay = t.windowWidth + t.filterDelay;
                c.rsetCount = c.secondMax = c.secondCount = 0;
            } else {
                pushFront(c.noisePeaks, newPeak);
                c.nmean = mean(c.noisePeaks, kEpHistoryPeaks);
                c.det_thresh = thresh(d, c.qmean, c.nmean);
                if (newPeak > c.searchBackPeak && rr >= t.ms360) {
                    c.searchBackPeak = newPeak;
                    c.searchBackLoc = rr;
                }
            }
        }
        // Search-back, not while the last measured beat was rejected as
        // noise.
        if (c.sinceLast > c.searchBackLimit && c.searchBackPeak > (c.det_thresh >> 1) && d.s.noiseRejected == 0) {
            pushFront(c.qrsPeaks, c.searchBackPeak);
            c.qmean = mean(c.qrsPeaks, kEpHistoryPeaks);
            pushFront(c.noisePeaks, newPeak / 3);
            c.nmean = mean(c.noisePeaks, kEpHistoryPeaks);
            c.det_thresh = thresh(d, c.qmean, c.nmean);
            pushFront(c.rrIntervals, c.searchBackLoc);
            c.rrMean = mean(c.rrIntervals, kEpHistoryPeaks);
            c.searchBackLimit = searchBackLimitFor(d, c.rrMean);
            c.sinceLast -= c.searchBackLoc;
            delay = c.sinceLast + t.filterDelay;
            c.searchBackPeak = 0;
            c.lastMaxDeriv = c.maxDeriv;
            c.maxDeriv = 0;
            c.rsetCount = c.secondMax = c.secondCount = 0;
        }
    } else {
        // Learning: the largest peak of each of the first eight seconds.
        ++c.sinceLast;
        if (newPeak > 0) c.sinceLast = t.windowWidth;
        if (++c.secondCount == t.ms1000) {
            c.qrsPeaks[c.qpkcnt] = c.secondMax;
            c.secondMax = 0;
            c.secondCount = 0;
            if (++c.qpkcnt == kEpHistoryPeaks) restartThreshold(d, c.qrsPeaks);
        }
        c.secondMax = std::max(c.secondMax, newPeak);
    }

    // Eight seconds without a detection: the largest peak of each second
    // becomes the QRS history again.
    if (c.qpkcnt == kEpHistoryPeaks) {
        if (++c.secondCount == t.ms1000) {
            c.resetPeaks[c.rsetCount] = c.secondMax;
            c.secondMax = 0;
            c.secondCount = 0;
            if (++c.rsetCount == kEpHistoryPeaks) {
                restartThreshold(d, c.resetPeaks);
                c.rsetCount = c.secondMax = c.secondCount = 0;
            }
        }
        c.secondMax = std::max(c.secondMax, newPeak);
    }

    // Derivative-size check: an early detection whose slope or peak is at
    // least double the last one is taken for an artefact, and the previous
    // QRS peak goes to the noise history in its place. The first detection
    // after a beat was rejected as noise passes; any detection clears that
    // mark.
    const int32_t absDeriv = int32_t(std::min<int64_t>(std::llabs(int64_t(rawDeriv)), INT32_MAX));
    c.absDeriv[c.absDerivIdx] = absDeriv;
    int32_t derivPeak = 0;
    if (delay != 0) {
        const int32_t start = int32_t(((int64_t(c.absDerivIdx) - delay - t.ms50) % kEpHistory + kEpHistory) % kEpHistory);
        derivPeak = ringMax(c.absDeriv, kEpHistory, start, t.ms100);
        if (PCheck(d, rr, c.lastDerivPeak, derivPeak) != 0 || PCheck(d, rr, c.qrsPeaks[1], newPeak) != 0) {
            if (d.s.noiseRejected == 0) delay = 0;
            pushFront(c.noisePeaks, c.qrsPeaks[1]);
            c.qrsPeaks[1] = newPeak;
            c.nmean = mean(c.noisePeaks, kEpHistoryPeaks);
            c.qmean = mean(c.qrsPeaks, kEpHistoryPeaks);
            c.det_thresh = thresh(d, c.qmean, c.nmean);
        }
        d.s.noiseRejected = 0;
        c.lastDerivPeak = derivPeak;
    }
    if (++c.absDerivIdx == kEpHistory) c.absDerivIdx = 0;

    if (d.rDetectFile != nullptr) logDetectorLine(d, datum, fdatum, aPeak, newPeak, absDeriv, delay, derivPeak);
    return delay;
}

}  // namespace tessivar
