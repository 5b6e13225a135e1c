// Respiration channel. The impedance filters, the rate estimator and the
// suffocation check arrive later; until then the display sample is the input
// sample and no rate is reported.
#include "tessivar/resp.h"

#include <cstring>

#include "common/log_macros.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "resp";

struct RespState {
    char name[256] = {};
    int (*onRespRateChanged)(int rate) = nullptr;
    int (*onRespBeat)() = nullptr;
    int (*onBeatNoise)(int flag) = nullptr;
    int32_t hr = 0;            // beats per minute, 0 for none
    int32_t patientType = 0;   // 0 adult, 1 and 2 paediatric
    int32_t respThr = 18;      // suffocation threshold
};
RespState s_resp;

}  // namespace
}  // namespace tessivar

using tessivar::s_resp;

extern "C" const char *respVersion(void) { return "resp version 1.0.0.31 2025-09-04 09:20:05"; }

extern "C" int newResp(const RespConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(tessivar::kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    const int32_t respThr = s_resp.respThr;
    s_resp = tessivar::RespState{};
    s_resp.respThr = respThr;
    std::strncpy(s_resp.name, conf->name, sizeof s_resp.name - 1);
    s_resp.onRespRateChanged = conf->onRespRateChanged;
    s_resp.onRespBeat = conf->onRespBeat;
    s_resp.onBeatNoise = conf->onBeatNoise;
    return 0;
}

extern "C" int delResp(void) { return 0; }

extern "C" int initResp(void)
{
    s_resp.hr = 0;
    s_resp.patientType = 0;
    return 0;
}

// The display filters come later: the sample passes unchanged.
extern "C" int processResp(int32_t sample) { return sample; }

extern "C" int onHrChangedResp(int32_t hr)
{
    s_resp.hr = hr;
    return 0;
}

extern "C" int onPatientType(int32_t type)
{
    if (type < 0 || type > 2) return -1;
    s_resp.patientType = type;
    return 0;
}

extern "C" int onRespSuffocationThr(int32_t threshold)
{
    s_resp.respThr = threshold;
    TV_LOGW(tessivar::kTag, "Resp Suffocation threshold:%d", threshold);
    return 0;
}

extern "C" int initBeatNoise(void) { return 0; }
