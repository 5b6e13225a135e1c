#include "records/beat_compare.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tessivar::records {

double BeatCounts::sensitivity() const { return tp + fn == 0 ? 1.0 : double(tp) / double(tp + fn); }

double BeatCounts::positivePredictivity() const { return tp + fp == 0 ? 1.0 : double(tp) / double(tp + fp); }

BeatCounts &BeatCounts::operator+=(const BeatCounts &o)
{
    tp += o.tp;
    fn += o.fn;
    fp += o.fp;
    return *this;
}

std::vector<int64_t> beatTrain(const std::vector<ReportedBeat> &reported, int64_t mergeFrames)
{
    std::vector<int64_t> train;  // ascending
    // A report that goes back in time starts a replay; it covers the beats
    // reported before it, up to the latest of them (and the merge window).
    int64_t replayEnd = INT64_MIN;
    for (const ReportedBeat &b : reported) {
        if (!train.empty() && b.frame <= train.back()) replayEnd = std::max(replayEnd, train.back());
        if (replayEnd != INT64_MIN && b.frame <= replayEnd + mergeFrames) {
            const auto from = std::lower_bound(train.begin(), train.end(), b.frame - mergeFrames);
            const auto to = std::upper_bound(from, train.end(), b.frame + mergeFrames);
            train.insert(train.erase(from, to), b.frame);
        } else {
            replayEnd = INT64_MIN;
            train.push_back(b.frame);
        }
    }
    return train;
}

BeatCounts compareBeats(const std::vector<int64_t> &reference, const std::vector<int64_t> &detected,
                        const CompareOptions &options)
{
    // Window and learning period in samples; a tiny tolerance keeps a
    // difference of exactly 150 ms inside the window despite rounding.
    const double window = options.windowMs * options.fs / 1000.0 + 1e-9;
    const double start = options.learningS * options.fs;
    std::vector<bool> used(detected.size(), false);
    BeatCounts c;
    size_t first = 0;  // first detected beat that can still match
    for (int64_t r : reference) {
        while (first < detected.size() && double(detected[first]) < double(r) - window) ++first;
        // The nearest unused detected beat within the window; on a tie the
        // earlier one.
        size_t best = detected.size();
        double bestDistance = 0.0;
        for (size_t d = first; d < detected.size() && double(detected[d]) <= double(r) + window; ++d) {
            if (used[d]) continue;
            const double distance = std::fabs(double(detected[d] - r));
            if (best == detected.size() || distance < bestDistance) {
                best = d;
                bestDistance = distance;
            }
        }
        const bool counted = double(r) >= start;
        if (best != detected.size()) {
            used[best] = true;
            if (counted) ++c.tp;
        } else if (counted) {
            ++c.fn;
        }
    }
    for (size_t d = 0; d < detected.size(); ++d)
        if (!used[d] && double(detected[d]) >= start) ++c.fp;
    return c;
}

}  // namespace tessivar::records
