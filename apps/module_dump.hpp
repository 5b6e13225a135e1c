// tessivar run --data-path DIR: the front end itself keeps no debug folder,
// so the run also drives the stand-alone modules over the recording with
// their data paths set, one sub-folder each: their configuration records,
// sample streams and intermediate arrays land there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessivar::cli {

// lead: the heart-rate lead in microvolts at fs; status: the frames' status
// words (pace marks); resp: raw respiration samples (may be empty).
// Returns the number of modules whose dump could not be written; the
// library logs each failure.
int dumpModules(const std::string &dir, const std::vector<int16_t> &lead, const std::vector<int32_t> &status,
                const std::vector<int32_t> &resp, int fs, int qrsMethod);

}  // namespace tessivar::cli
