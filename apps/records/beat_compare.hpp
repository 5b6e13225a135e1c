// Beat-by-beat comparison of detected beats against reference beats, in the
// manner of the standard evaluation of QRS detectors: a detected beat within
// the match window (150 ms by default, inclusive) of a reference beat is a
// true positive; each beat is matched at most once, to its nearest partner;
// beats before the end of the learning period (5 minutes by default) are
// matched but not counted.
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

struct CompareOptions {
    double fs = 360.0;          // sampling rate of both beat lists
    double windowMs = 150.0;    // match window
    double learningS = 300.0;   // beats before this time are not counted
};

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
