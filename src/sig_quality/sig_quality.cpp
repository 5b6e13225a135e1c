// Multi-lead signal quality monitor.
//
// One single-lead quality instance per lead, all with default settings
// (2000-sample windows, full mode, the 1000 Hz filters). Each instance calls
// its lead's callback when a score changes; the callback updates the lead's
// quality word (0x10 base, 0x20 line, 0x40 emg at or above the noise
// threshold) and, for base scores, the noisy-lead mask. After a frame in
// which any lead reported, the monitor builds the JSON report from the
// quality words and hands it to its owner.
#include "sig_quality/sig_quality.hpp"

#include <algorithm>
#include <cjson/cJSON.h>

#include <cstdint>

#include "common/log_macros.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "sig_quality";
constexpr int32_t kLeads = 18;

enum Lead : int32_t {
    kI, kII, kIII, kAVR, kAVL, kAVF, kV1, kV2, kV3, kV4, kV5, kV6, kV7, kV8, kV9, kV3R, kV4R, kV5R,
};

constexpr int32_t kBaseBit = 0x10;
constexpr int32_t kLineBit = 0x20;
constexpr int32_t kEmgBit = 0x40;
constexpr int32_t kNoiseBits = kBaseBit | kLineBit | kEmgBit;

// Electrode-off bits that invalidate each lead. III follows lead II's limb
// electrodes here; the augmented leads need all limb electrodes.
constexpr int32_t kValidityMask[kLeads] = {
    0x10001, 0x10002, 0x10002, 0x30003, 0x30003, 0x30003,  // I II III aVR aVL aVF
    0x4,     0x8,     0x10,    0x20,    0x40,    0x80,     // V1 ... V6
    0x100,   0x200,   0x400,                               // V7 V8 V9
    0x800,   0x1000,  0x2000,                              // V3R V4R V5R
};

// Lead text by the noise bits of a quality word, shifted down by 4.
constexpr const char *_medium_array[8] = {"",    "base",     "line",     "base&line",
                                         "emg", "base&emg", "line&emg", "base&line&emg"};
// Report level by the OR of the per-lead flags (1 clean, 2 flagged).
constexpr const char *_level_array[8] = {"high", "high", "medium", "medium", "low", "low", "low", "low"};

// Instance settings: everything default but the name and the callback.
SignalQualityConf leadConf(const char *name, SignalQualityFunc callback)
{
    SignalQualityConf c{};
    c.name = name;
    c.callback = callback;
    return c;
}

const SignalQualityConf _sigQualityConfs[kLeads] = {
    leadConf("sqI", onSignalQualityChangedI),     leadConf("sqII", onSignalQualityChangedII),
    leadConf("sqIII", onSignalQualityChangedIII), leadConf("sqavR", onSignalQualityChangedavR),
    leadConf("sqavL", onSignalQualityChangedavL), leadConf("sqavF", onSignalQualityChangedavF),
    leadConf("sqV1", onSignalQualityChangedV1),   leadConf("sqV2", onSignalQualityChangedV2),
    leadConf("sqV3", onSignalQualityChangedV3),   leadConf("sqV4", onSignalQualityChangedV4),
    leadConf("sqV5", onSignalQualityChangedV5),   leadConf("sqV6", onSignalQualityChangedV6),
    leadConf("sqV7", onSignalQualityChangedV7),   leadConf("sqV8", onSignalQualityChangedV8),
    leadConf("sqV9", onSignalQualityChangedV9),   leadConf("sqV3r", onSignalQualityChangedV3r),
    leadConf("sqV4r", onSignalQualityChangedV4r), leadConf("sqV5r", onSignalQualityChangedV5r),
};

// The report document. Its nodes and its text live in the module, so a
// report allocates nothing: for every report the fixed nodes are linked
// afresh with cJSON_AddItemToArray, which only links them (root object,
// "level", the "leadStatus" array and one object with
// one string member per listed lead) and cJSON's formatted printer writes
// them into the text buffer, which the owner receives and which stays valid
// until the next report. At most 18 entries can be listed (wire type 14:
// R III L I F II V1 ... V6 V3r V4r V5r V7 V8 V9); the longest text is under
// 900 characters.
constexpr int32_t kMaxEntries = 18;
constexpr int kReportTextSize = 2048;

struct QualityReport {
    cJSON root;
    cJSON level;
    cJSON leadStatus;
    cJSON entries[kMaxEntries];
    cJSON members[kMaxEntries];
    char text[kReportTextSize];
};

struct SigQualityModule {
    SignalQualityCallbacks callbacks{};
    SignalQuality *instances[kLeads]{};
    int32_t leadQualitys[kLeads]{};        // quality word per lead
    uint32_t cur_quality_for_hr_lead = 0;  // bit l: lead l's base score is noisy
    int8_t th_noise = 60;                  // noise threshold
    uint32_t changed = 0;                  // bit l: lead l reported during this frame
    QualityReport report{};                // nodes and text of the last report
};
SigQualityModule s_sigQuality;

int16_t narrow(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

void setBit(int32_t &word, int32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

}  // namespace

// A lead's score changed. An unknown status still marks the lead as
// changed (it did report) but leaves its quality word alone.
void signalQualityChanged(int32_t lead, const SignalQualityDesc &d)
{
    SigQualityModule &m = s_sigQuality;
    TV_LOGT(kTag, ":%d-%d-%d", lead, d.status, d.score);
    const bool noisy = d.score >= m.th_noise;
    switch (d.status) {
    case SIGNAL_QUALITY_BASE: setBit(m.leadQualitys[lead], kBaseBit, noisy); break;
    case SIGNAL_QUALITY_EMG: setBit(m.leadQualitys[lead], kEmgBit, noisy); break;
    case SIGNAL_QUALITY_LINE: setBit(m.leadQualitys[lead], kLineBit, noisy); break;
    default: break;
    }
    m.changed |= 1u << lead;
    if (d.status == SIGNAL_QUALITY_BASE)
        m.cur_quality_for_hr_lead = noisy ? (m.cur_quality_for_hr_lead | 1u << lead)
                                          : (m.cur_quality_for_hr_lead & ~(1u << lead));
}

// Text of a quality word; flag becomes 2 for a flagged lead, 1 otherwise.
const char *merge_lead_quality(int32_t quality, int32_t &flag)
{
    if ((quality & kNoiseBits) != 0) {
        flag = 2;
        return _medium_array[(quality >> 4) & 7];
    }
    flag = 1;
    return "";
}

// A member node: a constant key and a constant string value. The printer
// only reads them; the nodes are never handed to cJSON_Delete.
void setStringMember(cJSON &node, const char *key, const char *value)
{
    node = cJSON{};
    node.type = cJSON_String | cJSON_StringIsConst;
    node.string = const_cast<char *>(key);
    node.valuestring = const_cast<char *>(value);
}

// Builds the report and sends it. "level" comes first and gets its text at
// the end; a text that does not fit the buffer is not sent.
void process_sig_quality_callback(int32_t wireType)
{
    SigQualityModule &m = s_sigQuality;
    QualityReport &r = m.report;
    TV_LOGT(kTag, "changed:0x%x", m.changed);
    r.root = cJSON{};
    r.root.type = cJSON_Object;
    r.leadStatus = cJSON{};
    r.leadStatus.type = cJSON_Array;
    r.leadStatus.string = const_cast<char *>("leadStatus");
    r.leadStatus.type |= cJSON_StringIsConst;
    setStringMember(r.level, "level", "");
    cJSON_AddItemToArray(&r.root, &r.level);
    cJSON_AddItemToArray(&r.root, &r.leadStatus);
    int32_t flags[kLeads] = {};
    int32_t count = 0;

    auto add = [&](int32_t lead, const char *key) {
        if (m.leadQualitys[lead] == 0 || count == kMaxEntries) return;
        const char *text = merge_lead_quality(m.leadQualitys[lead], flags[lead]);
        cJSON &entry = r.entries[count];
        cJSON &member = r.members[count];
        ++count;
        entry = cJSON{};
        entry.type = cJSON_Object;
        setStringMember(member, key, text);
        cJSON_AddItemToArray(&entry, &member);
        cJSON_AddItemToArray(&r.leadStatus, &entry);
    };
    if (wireType == 1) {
        add(kI, "I");
    } else {
        add(kIII, "R");
        add(kIII, "III");
        add(kI, "L");
        add(kI, "I");
        add(kII, "F");
        add(kII, "II");
    }
    if (wireType > 2) add(kV1, "V1");
    if (wireType > 3) {
        add(kV2, "V2");
        add(kV3, "V3");
        add(kV4, "V4");
        add(kV5, "V5");
        add(kV6, "V6");
    }
    // Eight channels carry the three extra chest leads at the V7 ... V9
    // positions; they are the right-sided leads.
    if (wireType == 8) {
        add(kV7, "V3r");
        add(kV8, "V4r");
        add(kV9, "V5r");
    }
    if (wireType > 11) {
        add(kV3R, "V3r");
        add(kV4R, "V4r");
        add(kV5R, "V5r");
        add(kV7, "V7");
        add(kV8, "V8");
        add(kV9, "V9");
    }

    int32_t level = 0;
    for (int32_t f : flags) level |= f;
    r.level.valuestring = const_cast<char *>(_level_array[level & 7]);
    if (cJSON_PrintPreallocated(&r.root, r.text, kReportTextSize, 1) == 0) {
        TV_LOGE(kTag, "quality report error");
    } else if (m.callbacks.onQuality != nullptr) {
        m.callbacks.onQuality(m.callbacks.user, r.text);
    }
}

const SignalQualityCallbacks &sqCallbacks() { return s_sigQuality.callbacks; }

}  // namespace tessivar

using tessivar::s_sigQuality;

extern "C" int sqInit(const SignalQualityCallbacks *callbacks)
{
    TV_LOGI(tessivar::kTag, "SingalQuality:%s", singalQualityVersion());
    s_sigQuality.callbacks = callbacks != nullptr ? *callbacks : SignalQualityCallbacks{};
    for (int32_t l = 0; l < tessivar::kLeads; ++l) {
        SignalQuality *&q = s_sigQuality.instances[l];
        if (q == nullptr) q = newSignalQuality(&tessivar::_sigQualityConfs[l]);
        if (q != nullptr) initSignalQuality(q);
    }
    s_sigQuality.th_noise = 60;
    s_sigQuality.changed = 0;
    return 0;
}

extern "C" int sqDeinit(void)
{
    for (SignalQuality *&q : s_sigQuality.instances)
        if (q != nullptr) delSignalQuality(&q);
    s_sigQuality = tessivar::SigQualityModule{};
    return 0;
}

extern "C" uint32_t sqProcess(const int32_t *frame, int32_t leadCount, int32_t wireType)
{
    tessivar::SigQualityModule &m = s_sigQuality;
    if (frame == nullptr) {
        TV_LOGE(tessivar::kTag, "%s", tessivar::kBadInput);
        return m.cur_quality_for_hr_lead;
    }
    // Display samples beyond the int16 range are clamped rather than
    // wrapped, so that an over-range lead stays over-range for the scorer.
    const int32_t leads = std::clamp<int32_t>(leadCount, 0, tessivar::kLeads);
    for (int32_t l = 0; l < leads; ++l)
        if (m.instances[l] != nullptr) detectSignalQuality(m.instances[l], tessivar::narrow(frame[1 + l]));
    if (m.changed != 0) tessivar::process_sig_quality_callback(wireType);
    m.changed = 0;
    return m.cur_quality_for_hr_lead;
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

#define TV_LEAD_CALLBACK(suffix, lead)                                            \
    extern "C" void onSignalQualityChanged##suffix(const SignalQualityDesc desc) \
    {                                                                             \
        tessivar::signalQualityChanged(lead, desc);                               \
    }
TV_LEAD_CALLBACK(I, tessivar::kI)
TV_LEAD_CALLBACK(II, tessivar::kII)
TV_LEAD_CALLBACK(III, tessivar::kIII)
TV_LEAD_CALLBACK(avR, tessivar::kAVR)
TV_LEAD_CALLBACK(avL, tessivar::kAVL)
TV_LEAD_CALLBACK(avF, tessivar::kAVF)
TV_LEAD_CALLBACK(V1, tessivar::kV1)
TV_LEAD_CALLBACK(V2, tessivar::kV2)
TV_LEAD_CALLBACK(V3, tessivar::kV3)
TV_LEAD_CALLBACK(V4, tessivar::kV4)
TV_LEAD_CALLBACK(V5, tessivar::kV5)
TV_LEAD_CALLBACK(V6, tessivar::kV6)
TV_LEAD_CALLBACK(V7, tessivar::kV7)
TV_LEAD_CALLBACK(V8, tessivar::kV8)
TV_LEAD_CALLBACK(V9, tessivar::kV9)
TV_LEAD_CALLBACK(V3r, tessivar::kV3R)
TV_LEAD_CALLBACK(V4r, tessivar::kV4R)
TV_LEAD_CALLBACK(V5r, tessivar::kV5R)
#undef TV_LEAD_CALLBACK
