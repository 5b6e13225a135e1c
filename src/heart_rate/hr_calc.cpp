// Heart-rate calculator. Beat detection and the rate arrive with the beat
// detectors; until then the calculator keeps its settings and reports
// nothing.
#include "heart_rate/hr_calc.hpp"

#include "common/log_macros.hpp"
#include "tessivar/beat_detect.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";

struct HrCalcModule {
    HrCalcCallbacks callbacks{};
    int32_t hrLead = 1;     // heart-rate lead, 0 ... 17
    int32_t autoLead = 0;   // 1 when the lead is chosen automatically
    int32_t qrsMode = 0;    // patient class
    int32_t qrsMethod = 0;  // beat detector
    int32_t running = 0;    // between hrCalcInit and hrCalcDeinit
};
HrCalcModule s_hrCalc;

}  // namespace

const HrCalcCallbacks &hrCalcCallbacks() { return s_hrCalc.callbacks; }

const char *beatDetectorVersion() { return beatDetectVersion(); }

}  // namespace tessivar

using tessivar::s_hrCalc;

extern "C" int hrCalcInit(int32_t lead, int32_t qrsMode, int32_t qrsMethod, const HrCalcCallbacks *callbacks)
{
    TV_LOGI(tessivar::kTag, "%s", beatDetectVersion());
    s_hrCalc = tessivar::HrCalcModule{};
    if (callbacks != nullptr) s_hrCalc.callbacks = *callbacks;
    s_hrCalc.qrsMode = qrsMode;
    s_hrCalc.qrsMethod = qrsMethod;
    s_hrCalc.running = 1;
    hrCalcSetLead(lead);
    return 0;
}

extern "C" int hrCalcDeinit(void)
{
    s_hrCalc = tessivar::HrCalcModule{};
    return 0;
}

// Detection comes with the beat detectors: frames are accepted and dropped.
extern "C" int hrCalc(const int32_t *frame, int32_t leadCount, uint32_t noisyLeads)
{
    (void)frame;
    (void)leadCount;
    (void)noisyLeads;
    return 0;
}

extern "C" int hrCalcSetLead(int32_t lead)
{
    if (lead == 18) {
        s_hrCalc.hrLead = 1;
        s_hrCalc.autoLead = 1;
    } else {
        s_hrCalc.hrLead = lead;
        s_hrCalc.autoLead = 0;
    }
    return 0;
}

extern "C" int hrCalcSetQrsMode(int32_t mode)
{
    s_hrCalc.qrsMode = mode;
    return 0;
}

// Learning comes with the beat detectors.
extern "C" int hrEnterLearning(void) { return 0; }

// The threshold belongs to the beat detector, which comes later.
extern "C" int HR_setMinAdultQRSThr(int32_t amplitude, int32_t duration)
{
    (void)amplitude;
    (void)duration;
    return 0;
}
