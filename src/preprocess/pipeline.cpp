// The per-frame pipeline of the front end: lead records and frame geometry,
// lead-off debounce, delay bookkeeping and the work on one frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/log_macros.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/hr_calc.h"
#include "tessivar/resp.h"
#include "tessivar/sig_quality.h"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;

// Position of the ring entry `back` places before index, for any back >= 0.
int32_t ringBack(int32_t index, int64_t back)
{
    return int32_t(((int64_t(index) - back) % kDelayRing + kDelayRing) % kDelayRing);
}

int32_t saturate32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// Limb leads derived from I and II, integer arithmetic truncating toward zero.
int64_t deriveLead(int32_t id, int64_t leadI, int64_t leadII)
{
    switch (id) {
    case kLeadIII: return leadII - leadI;
    case kLeadAVR: return -(leadI + leadII) / 2;
    case kLeadAVL: return leadI - leadII / 2;
    default: return leadII - leadI / 2;  // aVF
    }
}

// A slot's delay; an empty slot delays nothing.
int32_t delayOf(const SignalFilter *filter) { return filter != nullptr ? getSignalFilterDelay(filter) : 0; }

void initChain(SignalFilter *const chain[kChainSlots])
{
    for (int k = 0; k < kChainSlots; ++k)
        if (chain[k] != nullptr) initSignalFilter(chain[k]);
}

void deleteChain(SignalFilter *chain[kChainSlots])
{
    for (int k = 0; k < kChainSlots; ++k)
        if (chain[k] != nullptr) delSignalFilter(&chain[k]);
}

// One input channel of one frame: returns the display value y and the
// analysis value a of a valid lead.
void runChannel(Monitor &m, SingleLeadBuff &r, int32_t raw, int32_t inStatus, double *y, double *a)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const double v = raw * 1000.0 / st.lsbMv;
    const int32_t iv = truncateToInt(v);
    *y = *a = v;

    // First valid sample after lead-off, or a baseline step: every filter of
    // the channel starts again from the current signal.
    if (stepCheck(&r.stepState, iv, 0) != 0 || r.initialised != 1) {
        stepCheck(&r.stepState, 0, 1);
        if (r.extraFilter != nullptr) initSignalFilter(r.extraFilter);
        initChain(r.dispFilter);
        initChain(r.hrFilter);
        if (st.fuzzFilter != 0) {
            do_quan_noise_remove(&r.noiseState, 0, st.fs, 1);
            do_open_close_noise_remove(&r.noiseState, 0, st.fs, 1);
        }
        if (st.paceFilter != 0) initPaceRemoveCustom(r.paceRemover, iv);
        r.initialised = 1;
    }
    if (st.paceFilter != 0) *y = *a = removePaceSignalInt(r.paceRemover, iv, inStatus & kPaceBit, st.paceInhib);
    if (r.extraFilter != nullptr) *y = doSignalFilter(r.extraFilter, *y);
    *y = doAllFilter(m, r.dispFilter, *y);
    if (st.analysisCountdown == 0) *a = doAnalysisFilter(r.hrFilter, *a);
    if (st.fuzzFilter != 0) {
        *y = do_open_close_noise_remove(&r.noiseState, truncateToInt(*y), st.fs, 0);
        *y = do_quan_noise_remove(&r.noiseState, truncateToInt(*y), st.fs, 0);
    }
    if (st.paceFilter == 1) {
        // The marker of a removed pulse leaves the remover in step with the
        // remover's output; it joins the display signal behind the filters.
        r.paceRing[r.ringIdx] = float(addPaceSignalInt(r.paceRemover, 0));
        *y += r.paceRing[ringBack(r.ringIdx, int64_t(st.filterDelay) + st.extraDelay + st.fuzzDelay)];
    }
    if (r.blendArmed != 0) {
        r.blend = r.lastDisplay - *y;
        r.blendArmed = 0;
    }
    if (r.blend != 0.0) {
        *y += r.blend;
        r.blend = std::fabs(r.blend) < 0.5 ? 0.0 : r.blend * kBlendDecay;
    }
    r.lastDisplay = *y;
}

// Respiration of one analysis step: the display value for the output frame.
int32_t runRespiration(Monitor &m, const int32_t *inFrame)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (isLeadValid(m.status.debounce_statu, st.respLead) == 0) {
        if (m.respValid != 0) initBeatNoise();
        m.respValid = 0;
        // The safety profile tells the host once, not at every step.
        if (m.safe.on == 0 || st.curRespRate != -1) reportCurRespRate(m, -1);
        return 0;
    }
    if (m.respValid == 0) initResp();
    m.respValid = 1;
    return processResp(inFrame[1 + st.leadBufCount]);
}

}  // namespace

int32_t truncateToInt(double x)
{
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(x);
}

int32_t correctValue(const Monitor &m, double x)
{
    const int64_t v = truncateToInt(x);
    const int64_t dead = m.g_sub_uv;
    if (v > dead) return saturate32(v - dead);
    if (v < -dead) return saturate32(v + dead);
    return 0;
}

int32_t debonce_lead_statu(Monitor &m, int32_t status)
{
    StatusBook &b = m.status;
    const int32_t pattern = status & kLeadOffMask;
    if (pattern != b.lastPattern) {
        b.lastPattern = pattern;
        b.repeatCount = 1;
    } else {
        if (b.repeatCount < kDebounceFrames) ++b.repeatCount;
        if (b.repeatCount > kDebounceFrames - 1) b.reportedPattern = pattern;
    }
    return (status & ~kLeadOffMask) | b.reportedPattern;
}

void calcInOutSize(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const bool leadIII = (st.dataType & kLeadIIIFlag) != 0;
    const int32_t channels = st.wireType;
    st.leadBufCount = channels + (leadIII && channels > 1 ? 1 : 0);
    st.inFrameSize = st.leadBufCount + ((st.dataType & kStatusFlag) ? 1 : 0) + ((st.dataType & kRespFlag) ? 1 : 0);
    if (st.leadBufCount <= 1) {
        // One channel: status, lead I, respiration. (No channel at all: no
        // valid wire type yet, nothing to put out.)
        st.outLeadCount = st.leadBufCount;
        st.outFrameSize = st.inFrameSize;
    } else {
        const int32_t derived = leadIII ? 3 : 4;
        st.outLeadCount = st.leadBufCount + derived;
        st.outFrameSize = st.inFrameSize + derived;
    }
}

int newSingleLeadBuff(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    freeSingleLeadBuff(m);
    calcInOutSize(m);
    std::memset(st.leadPresent, 0, sizeof st.leadPresent);
    if (st.leadBufCount < 1) return -1;
    auto *records = static_cast<SingleLeadBuff *>(m.allocate(size_t(st.leadBufCount), sizeof(SingleLeadBuff)));
    if (records == nullptr) {
        TV_LOGE(kTag, "MALLOC ERROR");
        return -1;
    }
    st.leadBuffs = records;
    // Channel order: I, II, (III), then the chest leads V1 ... V5R.
    const bool leadIII = (st.dataType & kLeadIIIFlag) != 0 && st.leadBufCount > 1;
    int32_t id = kLeadI;
    for (int32_t i = 0; i < st.leadBufCount; ++i) {
        records[i].leadId = id;
        st.leadPresent[id] = 1;
        id = (id == kLeadII && !leadIII) || id == kLeadIII ? kLeadV1 : id + 1;
    }
    return 0;
}

void freeSingleLeadBuff(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    m.leadBuffsBuilt = false;
    if (st.leadBuffs != nullptr) {
        for (int32_t i = 0; i < st.leadBufCount; ++i) {
            SingleLeadBuff &r = st.leadBuffs[i];
            if (r.extraFilter != nullptr) delSignalFilter(&r.extraFilter);
            deleteChain(r.dispFilter);
            deleteChain(r.hrFilter);
            if (r.paceRemover != nullptr) delPaceRemove(&r.paceRemover);
        }
        std::free(st.leadBuffs);
        st.leadBuffs = nullptr;
    }
    st.leadBufCount = 0;
}

int reConfigSingleLeadBuff(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (newSingleLeadBuff(m) != 0) return -1;
    const PaceRemoveConf paceConf = {"pace_remove", nullptr, st.fs, st.paceRemoveMs, 0};
    for (int32_t i = 0; i < st.leadBufCount; ++i) {
        SingleLeadBuff &r = st.leadBuffs[i];
        r.paceRemover = newPaceRemove(&paceConf);
        if (r.paceRemover == nullptr) {
            TV_LOGE(kTag, "newPaceRemove err!");
            return -1;
        }
        initPaceRemove(r.paceRemover);
        do_quan_noise_remove(&r.noiseState, 0, st.fs, 1);
        do_open_close_noise_remove(&r.noiseState, 0, st.fs, 1);
        const SignalFilterConf *analysisLine = analysisLineFilterConf();
        if (r.hrFilter[kLine] == nullptr && analysisLine != nullptr) r.hrFilter[kLine] = newSignalFilter(analysisLine);
    }
    m.leadBuffsBuilt = true;
    // The filter choice survives the rebuild: re-apply it by name.
    _ecgPreprocessSetFilter(m, get_name_by_value(base_array, st.curBase), get_name_by_value(line_array, st.curLine),
                            get_name_by_value(emg_array, st.curEmg));
    // After a rate change the noise steps' delay follows the new rate.
    if (m.safe.on != 0) _flush_fuzz_switch(m);
    return 0;
}

bool leadBuffsReady(const Monitor &m)
{
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    return m.leadBuffsBuilt && st.leadBuffs != nullptr && st.leadBufCount > 0 && (st.dataType & kStatusFlag) != 0;
}

void _update_all_delay(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const SingleLeadBuff *r = st.leadBuffs != nullptr && st.leadBufCount > 0 ? &st.leadBuffs[0] : nullptr;
    int32_t base = 0, line = 0, emg = 0;
    if (r != nullptr) {
        // An average high-pass base filter runs without delay compensation.
        const SignalFilter *b = r->dispFilter[kBase];
        base = b != nullptr && b->type != SIGNAL_FILTER_AVG ? getSignalFilterDelay(b) : 0;
        line = delayOf(r->dispFilter[kLine]);
        // A comb stepped three times per sample counts its delay in steps;
        // the safety profile reports samples (its peak lies at (d + 1) / 3).
        if (m.safe.on != 0 && tripleStepped(m, r->dispFilter[kLine])) line = (line + 1) / 3;
        emg = delayOf(r->dispFilter[kEmg]);
    }
    st.paceDelay = r != nullptr && r->paceRemover != nullptr && st.paceFilter != 0 ? getPaceRemoveDelay() : 0;
    st.extraDelay = 0;
    st.filterDelay = base + line + emg;
    st.lineEmgDelay = line + emg;
    st.totalDelay = st.filterDelay + st.paceDelay + st.fuzzDelay + st.extraDelay;
}

int32_t analysisDelayFrames(const Monitor &m)
{
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    if (st.qrsMethod == 2) return st.totalDelay;
    // The analysis chain runs once per analysis step: its delay counts in
    // steps of fs / 1000 frames.
    const SingleLeadBuff *r = st.leadBuffs != nullptr && st.leadBufCount > 0 ? &st.leadBuffs[0] : nullptr;
    int32_t chain = 0;
    if (r != nullptr)
        for (int k = 0; k < kChainSlots; ++k) chain += delayOf(r->hrFilter[k]);
    return st.paceDelay + chain * std::max<int32_t>(1, st.fs / 1000);
}

void _flush_pace_switch(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const SingleLeadBuff *r = st.leadBuffs != nullptr && st.leadBufCount > 0 ? &st.leadBuffs[0] : nullptr;
    st.paceDelay = r != nullptr && r->paceRemover != nullptr && st.paceFilter != 0 ? getPaceRemoveDelay() : 0;
    _update_all_delay(m);
}

void _flush_fuzz_switch(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    st.fuzzDelay = st.fuzzFilter != 0 ? int32_t(st.fs * 0.04) : 0;
    _update_all_delay(m);
}

void _do_preprocess(Monitor &m, const int32_t *inFrame, int32_t *outFrame)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    StatusBook &book = m.status;
    int32_t hrFrame[1 + kLeadIds] = {};
    const bool hasStatus = (st.dataType & kStatusFlag) != 0;
    const int32_t inStatus = hasStatus ? inFrame[0] : 0;

    if (hasStatus) {
        const int32_t idx = book.statusBufferIdx;
        book.statusBuffer[idx] = debonce_lead_statu(m, inStatus);
        // Lead validity changes at most once per 1000 frames: a lead counts
        // as off when it was off in any of the last 999 frames.
        if (idx % 1000 == 999) {
            int32_t any = 0;
            for (int32_t k = 0; k < kDebounceWindow; ++k) any |= book.statusBuffer[ringBack(idx, k)];
            book.debounce_statu = any;
        }
        // Lead-off bits are current; pace and other bits line up with the
        // delayed samples.
        const int32_t delayed = book.statusBuffer[ringBack(idx, st.totalDelay)];
        outFrame[0] = (inStatus & kLeadOffMask) | (delayed & ~kLeadOffMask);
        hrFrame[0] = book.debounce_statu;
        book.statusBufferIdx = (idx + 1) % kDelayRing;
    }

    for (int32_t i = 0; i < st.leadBufCount; ++i) {
        SingleLeadBuff &r = st.leadBuffs[i];
        const int32_t d = r.leadId;
        double y = 0.0, a = 0.0;
        if (isLeadValid(book.debounce_statu, d) != 0) {
            runChannel(m, r, inFrame[1 + i], inStatus, &y, &a);
        } else {
            r.initialised = 0;
        }
        outFrame[1 + d] = correctValue(m, y);
        hrFrame[1 + d] = st.qrsMethod == 2 ? outFrame[1 + d] : truncateToInt(a);
        r.ringIdx = (r.ringIdx + 1) % kDelayRing;
    }

    if (st.leadBufCount > 1) {
        const bool limbOff = hasStatus && (outFrame[0] & kLimbOffMask) != 0;
        const int64_t outI = outFrame[1 + kLeadI], outII = outFrame[1 + kLeadII];
        const int64_t anaI = hrFrame[1 + kLeadI], anaII = hrFrame[1 + kLeadII];
        for (int32_t id = kLeadIII; id <= kLeadAVF; ++id) {
            if (st.leadPresent[id] != 0) continue;  // lead III as an input keeps its own samples
            if (limbOff) {
                outFrame[1 + id] = 0;
                hrFrame[1 + id] = 0;
            } else {
                outFrame[1 + id] = correctValue(m, double(deriveLead(id, outI, outII)));
                hrFrame[1 + id] = saturate32(deriveLead(id, anaI, anaII));
            }
        }
    }

    BeatEventBook &beats = m.beats;
    if (st.analysisCountdown == 0) {
        const uint32_t noisyLeads = sqProcess(outFrame, st.outLeadCount, st.wireType);
        beats.stepFrame[beats.analysisSteps % kBeatFrameRing] = beats.frames - analysisDelayFrames(m);
        ++beats.analysisSteps;
        hrCalc(hrFrame, st.outLeadCount, noisyLeads);
        if (m.safe.on != 0) checkStaleHeartRate(m);
        if ((st.dataType & kRespFlag) != 0) outFrame[1 + st.outLeadCount] = runRespiration(m, inFrame);
        // Every (fs / 1000)-th frame is an analysis step: 1000 per second.
        // Rates below 1000 give a negative countdown that never comes back
        // to 0.
        st.analysisCountdown = st.fs / 1000 - 1;
    } else if (st.analysisCountdown > std::numeric_limits<int32_t>::min()) {
        --st.analysisCountdown;
    }
    ++beats.frames;
}

}  // namespace tessivar
