// Beat measurement for the limited-resource detector's plausibility check:
// QRS onset, offset and peak-to-peak amplitude of one down-sampled beat
// (500 samples at fs / 2, fiducial point at fidMark).
//
// The steepest up- and downslope within 150 ms of the fiducial point are
// balanced to the smaller of the two, and a quarter of it is the edge
// threshold. The QRS starts where the slope falls below that threshold
// before the first of the two extreme slopes, and ends where it does after
// the second, each search looking 40 ms further for another steep stretch
// (and, after an upstroke-first complex, 60 ms further for a late
// downslope). A complex that ends far below its start has its offset moved
// to the end of the following upslope. Amplitude is the range of the beat
// between onset and offset.
//
// The searches stop at the buffer's ends; every index read is clamped to
// 0 ... 499, so onset - 1 at the start of the buffer reads sample 0.
#include <algorithm>

#include "beat_detect/eplimited.hpp"

namespace tessivar {
namespace {

constexpr int32_t kLast = kEpBeatLength - 1;

class BeatSlopes {
public:
    explicit BeatSlopes(const int32_t *beat) : beat_(beat) {}
    int32_t at(int32_t i) const { return beat_[std::clamp(i, 0, kLast)]; }
    // beat[i] - beat[i - 1]
    int32_t slope(int32_t i) const { return int32_t(int64_t(at(i)) - at(i - 1)); }
    // beat[i - 1] - beat[i]
    int32_t back(int32_t i) const { return int32_t(int64_t(at(i - 1)) - at(i)); }

private:
    const int32_t *beat_;
};

// Largest and smallest value over [from, to); a value that raises the
// maximum is not tested against the minimum.
void rangeOf(const BeatSlopes &b, int32_t from, int32_t to, int32_t *hi, int32_t *lo)
{
    *hi = *lo = b.at(from);
    for (int32_t i = from; i < to; ++i) {
        const int32_t v = b.at(i);
        if (v > *hi)
            *hi = v;
        else if (v < *lo)
            *lo = v;
    }
}

}  // namespace

void AnalyzeBeat(const EplimitedBeatDetect &d, const int32_t *beat, int32_t *onset, int32_t *offset,
                 int32_t *amplitude)
{
    const BeatSlopes b(beat);
    const int32_t fid = d.s.fidMark;
    const int32_t ms40 = d.s.beatMs40;
    const int32_t ms60 = d.b.ms60;
    const int32_t ms100 = d.b.ms100;
    const int32_t ms150 = d.b.ms150;

    // Extreme slopes around the fiducial point.
    const int32_t i0 = fid - ms150;
    int32_t maxSlope = b.slope(i0), minSlope = 0, maxSlopeI = i0, minSlopeI = i0;
    for (int32_t i = i0; i < fid + ms150; ++i) {
        const int32_t s = b.slope(i);
        if (s > maxSlope) {
            maxSlope = s;
            maxSlopeI = i;
        } else if (s < minSlope) {
            minSlope = s;
            minSlopeI = i;
        }
    }
    if (maxSlope > -minSlope)
        maxSlope = -minSlope;
    else
        minSlope = -maxSlope;
    maxSlope >>= 2;
    minSlope >>= 2;

    int32_t on = 0, off = 0, i = 0;
    if (maxSlopeI < minSlopeI) {
        // Upstroke first: onset before the upslope, offset after the
        // downslope.
        i = maxSlopeI;
        while (i > 0 && b.slope(i) > maxSlope) --i;
        on = i - 1;
        while (i > on - ms40 && b.slope(i) <= maxSlope) --i;
        if (i > on - ms40) {
            while (i > 0 && b.slope(i) > maxSlope) --i;
            on = i - 1;
        }
        i = on + 1;
        while (i > on - ms40 && b.back(i) < maxSlope) --i;
        if (i > on - ms40) {
            while (i > 0 && b.back(i) > maxSlope) --i;
            on = i - 1;
        }

        i = minSlopeI;
        while (i < kEpBeatLength && b.slope(i) < minSlope) ++i;
        off = i;
        while (i < off + ms40 && b.slope(i) >= minSlope) ++i;
        if (i < off + ms40) {
            while (i < kEpBeatLength && b.slope(i) < minSlope) ++i;
            off = i;
        }
        i = off;
        while (i < off + ms40 && b.back(i) > minSlope) ++i;
        if (i < off + ms40) {
            while (i < kEpBeatLength && b.back(i) < minSlope) ++i;
            off = i;
            while (i < off + ms60 && b.slope(i) > minSlope) ++i;
            if (i < off + ms60) {
                while (i < kEpBeatLength && b.slope(i) < minSlope) ++i;
                off = i;
            }
        }
    } else {
        // Downstroke first: the mirror image, without the 60 ms stage.
        i = minSlopeI;
        while (i > 0 && b.slope(i) < minSlope) --i;
        on = i - 1;
        while (i > on - ms40 && b.slope(i) >= minSlope) --i;
        if (i > on - ms40) {
            while (i > 0 && b.slope(i) < minSlope) --i;
            on = i - 1;
        }
        i = on + 1;
        while (i > on - ms40 && b.back(i) > minSlope) --i;
        if (i > on - ms40) {
            while (i > 0 && b.back(i) < minSlope) --i;
            on = i - 1;
        }

        i = maxSlopeI;
        while (i < kEpBeatLength && b.slope(i) > maxSlope) ++i;
        off = i;
        while (i < off + ms40 && b.slope(i) <= maxSlope) ++i;
        if (i < off + ms40) {
            while (i < kEpBeatLength && b.slope(i) > maxSlope) ++i;
            off = i;
        }
        i = off;
        while (i < off + ms40 && b.back(i) < maxSlope) ++i;
        if (i < off + ms40) {
            while (i < kEpBeatLength && b.back(i) > maxSlope) ++i;
            off = i;
        }
    }
    on = std::clamp(on, 0, kLast);
    off = std::clamp(off, 0, kLast);

    // An offset more than 3/8 of the QRS range below the onset: the
    // complex ends with the following upslope.
    int32_t hi = 0, lo = 0;
    rangeOf(b, on, off, &hi, &lo);
    const int32_t range = hi - lo;
    if ((range >> 3) + (range >> 2) < b.at(on) - b.at(off)) {
        int32_t up = b.slope(off), upI = off;
        for (i = off; i < off + ms100 && i < kEpBeatLength; ++i) {
            if (b.slope(i) > up) {
                up = b.slope(i);
                upI = i;
            }
        }
        if (up > 0) {
            for (i = upI; i < kEpBeatLength && b.slope(i) > up / 2; ++i) {
            }
            off = std::min(i, kLast);
        }
    }

    rangeOf(b, on, off, &hi, &lo);
    *onset = on;
    *offset = off;
    *amplitude = hi - lo;
}

}  // namespace tessivar
