// Multi-lead signal quality monitor. The quality judgement itself arrives
// with the single-lead quality core; until then every lead counts as clean,
// no report is sent and only the lead-validity table is real.
#include "sig_quality/sig_quality.hpp"

#include "common/log_macros.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "sig_quality";
constexpr int kLeads = 18;

// Electrode-off bits that invalidate each lead. III follows lead II's limb
// electrodes here; the augmented leads need all limb electrodes.
constexpr int32_t kValidityMask[kLeads] = {
    0x10001, 0x10002, 0x10002, 0x30003, 0x30003, 0x30003,  // I II III aVR aVL aVF
    0x4,     0x8,     0x10,    0x20,    0x40,    0x80,     // V1 ... V6
    0x100,   0x200,   0x400,                               // V7 V8 V9
    0x800,   0x1000,  0x2000,                              // V3R V4R V5R
};

struct SigQualityModule {
    SignalQualityCallbacks callbacks{};
    uint32_t cur_quality_for_hr_lead = 0;  // bit l: lead l is noisy
    int8_t th_noise = 60;                  // noise threshold
};
SigQualityModule s_sigQuality;

}  // namespace

const SignalQualityCallbacks &sqCallbacks() { return s_sigQuality.callbacks; }

}  // namespace tessivar

using tessivar::s_sigQuality;

extern "C" const char *singalQualityVersion(void) { return "signal_quality version 0.0.0.13 2025-04-11 15:40:23"; }

extern "C" int sqInit(const SignalQualityCallbacks *callbacks)
{
    TV_LOGI(tessivar::kTag, "SingalQuality:%s", singalQualityVersion());
    s_sigQuality = tessivar::SigQualityModule{};
    if (callbacks != nullptr) s_sigQuality.callbacks = *callbacks;
    return 0;
}

extern "C" int sqDeinit(void)
{
    s_sigQuality = tessivar::SigQualityModule{};
    return 0;
}

// The per-lead quality instances come later: for now nothing is judged.
extern "C" uint32_t sqProcess(const int32_t *frame, int32_t leadCount, int32_t wireType)
{
    (void)frame;
    (void)leadCount;
    (void)wireType;
    return s_sigQuality.cur_quality_for_hr_lead;
}

extern "C" int sqSetNoiseThreshold(uint8_t threshold)
{
    s_sigQuality.th_noise = static_cast<int8_t>(threshold);
    return 0;
}

extern "C" int isLeadValid(int32_t status, int32_t lead)
{
    if (lead < 0 || lead >= tessivar::kLeads) return 0;
    return (status & tessivar::kValidityMask[lead]) == 0 ? 1 : 0;
}
