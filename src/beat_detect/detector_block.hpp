// The one heap block of a beat detector: its state struct (beginning with
// the BeatDetect head), then the copies of the configuration's name and
// data path. Every detector method creates its instance through here.
#pragma once

#include <cmath>
#include <cstdlib>

#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "tessivar/beat_detect.h"

namespace tessivar {

// Heart-rate limits of a configuration value below 1.
inline constexpr int32_t kDefaultMaxHR = 300;
inline constexpr int32_t kDefaultMinHR = 30;

// Method codes 0, 1 and 2 name their detectors; every other code is the kt
// detector, family 3.
inline int32_t detectorFamily(int32_t method) { return method >= 0 && method <= 2 ? method : 3; }

// True when handle is a live instance of the detector family; otherwise logs
// message under tag and returns false. Every per-method entry point
// checks this first, so a handle of another method (whose state is laid out
// differently) is never read as its own.
inline bool isHandleOf(const BeatDetect *handle, int32_t family, const char *tag, const char *message = kBadInput)
{
    if (handle != nullptr && handle->name != nullptr && detectorFamily(handle->method) == family) return true;
    TV_LOGE(tag, "%s", message);
    return false;
}

// Fills the head from the configuration (name and data path excepted).
inline void fillBeatDetectHead(BeatDetect &h, const BeatDetectConf &conf)
{
    h.fs = conf.fs;
    h.mode = conf.mode;
    h.method = conf.method;
    h.maxHR = conf.maxHR < 1 ? kDefaultMaxHR : conf.maxHR;
    h.minHR = conf.minHR < 1 ? kDefaultMinHR : conf.minHR;
    h.maxRRLen = int32_t(std::lround(conf.fs * 60.0 / h.minHR));
    h.minRRLen = int32_t(std::lround(conf.fs * 60.0 / h.maxHR));
}

// A zero-filled instance of State (whose first member is the BeatDetect
// head `header`) with the texts behind it, or null when out of memory. conf
// and conf->name must not be null.
template <typename State>
State *newDetectorBlock(const BeatDetectConf &conf)
{
    const std::size_t tail = namedBlockTailSize(conf.name, conf.dataPath);
    auto *state = static_cast<State *>(std::calloc(1, sizeof(State) + tail));
    if (state == nullptr) return nullptr;
    placeNamedBlockTail(reinterpret_cast<char *>(state) + sizeof(State), conf.name, conf.dataPath,
                        &state->header.name, &state->header.dataPath);
    fillBeatDetectHead(state->header, conf);
    return state;
}

}  // namespace tessivar
