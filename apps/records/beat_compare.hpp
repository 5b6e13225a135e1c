// Beat-by-beat comparison of detected beats against reference beats, in the
// manner of the standard evaluation of QRS detectors: a detected beat within
// the match window (150 ms by default, inclusive) of a reference beat is a
// true positive; each beat is matched at most once, to its nearest partner;
// beats before the end of the learning period (5 minutes by default) are
// matched but not counted, and so are beats inside ventricular flutter or
// fibrillation episodes.
#pragma once

#include <cstdint>
#include <vector>

namespace tessivar::records {

struct BeatCounts {
    int64_t tp = 0;  // reference beats matched by a detected beat
    int64_t fn = 0;  // reference beats missed
    int64_t fp = 0;  // detected beats matching no reference beat

    // tp / (tp + fn), or 1 when there are no reference beats.
    double sensitivity() const;
    // tp / (tp + fp), or 1 when there are no detected beats.
    double positivePredictivity() const;
    BeatCounts &operator+=(const BeatCounts &o);
};

// A stretch left out of the count (ventricular flutter or fibrillation),
// from..to in samples, inclusive.
struct Episode {
    int64_t from = 0;
    int64_t to = 0;
};

struct CompareOptions {
    double fs = 360.0;          // sampling rate of both beat lists
    double windowMs = 150.0;    // match window
    double learningS = 300.0;   // beats before this time are not counted
    std::vector<Episode> excluded;  // beats inside are matched but not counted
};

// The ventricular flutter / fibrillation episodes of a reference annotation
// list: from each '[' (code 32) to the next ']' (code 33), or to the end
// (INT64_MAX) when it is not closed.
std::vector<Episode> flutterEpisodes(const std::vector<int> &codes, const std::vector<int64_t> &times);

// Median and 95th percentile (nearest rank: the value at rank ceil(0.95 n)
// of the sorted values); both 0 for no values.
struct Spread {
    double median = 0;
    double p95 = 0;
};
Spread spreadOf(std::vector<double> values);

// A beat as the front end reports it: the frame of its fiducial point.
struct ReportedBeat {
    int64_t frame = 0;
};

// Two reports closer than this are one beat found twice (on the old and the
// new heart-rate lead).
constexpr double kReplayMergeMs = 200.0;

// The beat train, ascending, from beats in the order they were reported. A
// change of the heart-rate lead re-runs detection over the last seconds, so
// reports can go back in time: from such a report on, up to the latest beat
// reported before it, every replayed beat replaces the beats reported
// earlier within mergeFrames of it.
std::vector<int64_t> beatTrain(const std::vector<ReportedBeat> &reported, int64_t mergeFrames);

// reference and detected: beat times in samples, ascending.
BeatCounts compareBeats(const std::vector<int64_t> &reference, const std::vector<int64_t> &detected,
                        const CompareOptions &options);

}  // namespace tessivar::records
