// The per-record lines of the beat-by-beat statistics of `tessivar detect`.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "records/beat_compare.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {

inline void printBeatHeader() { std::printf("%-12s %7s %6s %6s %8s %8s\n", "record", "TP", "FN", "FP", "Se %", "+P %"); }

inline void printBeatRow(const char *name, const records::BeatCounts &c)
{
    std::printf("%-12s %7lld %6lld %6lld %8.2f %8.2f\n", name, (long long)c.tp, (long long)c.fn, (long long)c.fp,
                100.0 * c.sensitivity(), 100.0 * c.positivePredictivity());
}

// The file name of a record path.
inline std::string recordName(const std::string &record)
{
    const size_t slash = record.find_last_of('/');
    return record.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace tessivar::cli
