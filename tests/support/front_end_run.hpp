// Input frames through a whole front end as a host drives it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "tessivar/ecg_preprocess.h"

namespace tessivar::test {

// Init with conf, prepare() (filters, callbacks), the whole frames in blocks of `block`, each followed by
// afterBlock(), Denit. False when Init refuses conf.
inline bool runFrames(const PreprocessConf &conf, const std::vector<int32_t> &frames, int block,
                      const std::function<void()> &prepare, const std::function<void()> &afterBlock)
{
    if (ecgPreprocessInit(&conf) != 0) return false;
    prepare();
    const int64_t in = getCurInFrame(), count = int64_t(frames.size()) / in;
    std::vector<int> out(size_t(block) * size_t(getCurOutFrame()));
    for (int64_t f = 0; f < count; f += block) {
        ecgPreprocessDoPreprocess(int(std::min<int64_t>(block, count - f)), frames.data() + f * in, out.data());
        afterBlock();
    }
    ecgPreprocessDenit();
    return true;
}

}  // namespace tessivar::test
