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

std::vector<Episode> flutterEpisodes(const std::vector<int> &codes, const std::vector<int64_t> &times)
{
    constexpr int kFlutterOn = 32, kFlutterOff = 33;  // '[' and ']'
    std::vector<Episode> out;
    bool open = false;
    for (size_t k = 0; k < codes.size() && k < times.size(); ++k) {
        if (codes[k] == kFlutterOn && !open) {
            out.push_back(Episode{times[k], INT64_MAX});
            open = true;
        } else if (codes[k] == kFlutterOff && open) {
            out.back().to = times[k];
            open = false;
        }
    }
    return out;
}

Spread spreadOf(std::vector<double> values)
{
    Spread s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.median = n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
    s.p95 = values[(95 * n + 99) / 100 - 1];  // rank ceil(0.95 n), in integers
    return s;
}

BeatCounts compareBeats(const std::vector<int64_t> &reference, const std::vector<int64_t> &detected,
                        const CompareOptions &options)
{
    // Window and learning period in samples; a tiny tolerance keeps a
    // difference of exactly 150 ms inside the window despite rounding.
    const double window = options.windowMs * options.fs / 1000.0 + 1e-9;
    const double start = options.learningS * options.fs;
    const auto counts = [&](int64_t t) {
        if (double(t) < start) return false;
        for (const Episode &e : options.excluded)
            if (t >= e.from && t <= e.to) return false;
        return true;
    };
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
        const bool counted = counts(r);
        if (best != detected.size()) {
            used[best] = true;
            if (counted) ++c.tp;
        } else if (counted) {
            ++c.fn;
        }
    }
    for (size_t d = 0; d < detected.size(); ++d)
        if (!used[d] && counts(detected[d])) ++c.fp;
    return c;
}

}  // namespace tessivar::records
