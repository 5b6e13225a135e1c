// The host's interface of the ECG front end: start and stop, configuration
// setters, the frame call and the get functions. Every setter logs its call
// at warning level and hands the work to an internal twin of the same name
// with a leading underscore (or does it in place); the twins do not log.
// Calls before ecgPreprocessInit are refused with -1.
#include <cstring>

#include "common/log_macros.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"
#include "resp/resp.hpp"
#include "tessivar/anal_log.h"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;
constexpr int32_t kAutoLead = 18;

const char *orNull(const char *text) { return text != nullptr ? text : "(null)"; }

// Names of the chest leads that fix the channel count of a lead list, in
// rising order, with the count each implies.
struct LayoutMark {
    const char *name;
    int32_t channels;
};
constexpr LayoutMark kLayoutMarks[] = {{"II", 2}, {"V1", 3}, {"V6", 8}, {"V9", 11}, {"V3R", 14}};

// Rates and resolutions the pipeline can run with. Any other rate would run
// the display but never the analysis path (its countdown fs / 1000 - 1 is
// negative below 1000), so heart rate, quality and respiration would stop
// without a word; a resolution of 0 or below divides by zero or turns every
// sample upside down. Both are refused, with a log line, rather than accepted.
bool supportedRate(int32_t fs) { return fs == 1000 || fs == 2000; }

bool acceptRateAndResolution(int32_t fs, int32_t lsbMv)
{
    if (!supportedRate(fs)) {
        TV_LOGE(kTag, "fs %d refused: 1000 or 2000 Hz", fs);
        return false;
    }
    if (lsbMv < 1) {
        TV_LOGE(kTag, "lsbMv %d refused: counts per millivolt must be at least 1", lsbMv);
        return false;
    }
    return true;
}

// Stops the analysis modules of a running monitor before they start again.
void stopModules()
{
    hrCalcDeinit();
    delResp();
}

}  // namespace

Monitor::Monitor()
{
    respConf = RespConf{"resp", nullptr, 1000, onRespRateChanged, onRespBeat, onBeatNoise};
}

Monitor &monitor()
{
    static Monitor s_monitor;
    return s_monitor;
}

int _ecgPreprocessSetDataType(Monitor &m, const char *dataType, int32_t fs, int32_t lsbMv)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const int32_t value = get_value_by_name(g_ecgDataFormat, dataType);
    if (value < 0) return -1;
    if (!acceptRateAndResolution(fs, lsbMv)) return -1;
    // The safety profile also rebuilds filters, pace removers and noise
    // state for a new rate.
    if (value != st.dataType || (m.safe.on != 0 && fs != st.fs)) st.reconfigPending = 1;
    st.dataType = value;
    st.fs = fs;
    st.lsbMv = lsbMv;
    return 0;
}

int _ecgPreprocessSetWireType(Monitor &m, const char *wireType)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const int32_t value = get_value_by_name(valid_lead_num_array, wireType);
    if (value < 0) return -1;
    if (value != st.wireType) st.reconfigPending = 1;
    st.wireType = value;
    return 0;
}

int _ecgPreprocessSetWireTypeNew(Monitor &m, const char **leads, int32_t leadNum)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (leads == nullptr || leadNum < 1) {
        TV_LOGE(kTag, "input lead array is null or leadNum is 0");
        return -1;
    }
    int32_t channels = 1, dataType = st.dataType;
    if (leadNum > 1) {
        // "I", "II", optionally "III", then the chest leads from "V1" on
        // without gaps; "V1" may stand anywhere and continues with "V2".
        int32_t expected = kLeadI;
        for (int32_t k = 0; k < leadNum; ++k) {
            const int32_t id = get_value_by_name(g_ecgOutLead, leads[k]);
            if (id < 0 || (id != kLeadV1 && id != expected)) {
                TV_LOGW(kTag, "input lead array is invalid");
                return -1;
            }
            expected = id + 1;
        }
        // The layout is that of the last mark the list reaches; "III" rides
        // on it as one more input channel.
        int32_t leadIII = 0;
        channels = 0;
        for (int32_t k = 0; k < leadNum; ++k) {
            if (std::strcmp(leads[k], "III") == 0) leadIII = 1;
            for (const LayoutMark &mark : kLayoutMarks)
                if (std::strcmp(leads[k], mark.name) == 0 && mark.channels > channels) channels = mark.channels;
        }
        // A list that stops between two layouts (say "I", "II", "V1" ..
        // "V5") cannot be laid out: its leads would land in the wrong words.
        if (channels + leadIII != leadNum) {
            TV_LOGW(kTag, "input lead array is invalid");
            return -1;
        }
        if (leadIII != 0) dataType |= kLeadIIIFlag;
    }
    if (leadNum != st.leadBufCount || channels != st.wireType || dataType != st.dataType) st.reconfigPending = 1;
    st.wireType = channels;
    st.dataType = dataType;
    return 0;
}

int _ecgPreprocessSetHrLead(Monitor &m, const char *lead)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const int32_t value = get_value_by_name(g_ecgHrLead, lead);
    if (value < 0 || value > kAutoLead) {
        st.hrLead = kLeadII;
        return -1;
    }
    st.hrLead = value;
    hrCalcSetLead(value);
    return 0;
}

int _ecgPreprocessSetRespLead(Monitor &m, const char *lead)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const int32_t value = get_value_by_name(g_respLead, lead);
    if (value < 0) {
        st.respLead = kLeadII;
        return -1;
    }
    st.respLead = value;
    return 0;
}

void applyPendingLayout(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (st.reconfigPending == 0) return;
    reConfigSingleLeadBuff(m);
    st.reconfigPending = 0;
}

int _ecgPreprocessSetConf(Monitor &m, const PreprocessConf *conf)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    // A rate or resolution the pipeline cannot run with refuses the whole
    // record: half a configuration would leave the host guessing.
    if (!acceptRateAndResolution(conf->fs, conf->lsbMv)) return -1;
    // Each setting stands on its own: a refused one leaves the others.
    _ecgPreprocessSetDataType(m, conf->dataType, conf->fs, conf->lsbMv);
    _ecgPreprocessSetWireType(m, conf->wireType);
    _ecgPreprocessSetHrLead(m, conf->hrLead);
    _ecgPreprocessSetRespLead(m, conf->respLead);
    st.paceFilter = conf->paceFilter;
    st.paceInhib = conf->paceInhib;
    st.paceRemoveMs = conf->paceRemoveMs;
    st.onFilterSetting = conf->onFilterSetting;
    st.onHrLead = conf->onHrLead;
    st.onHeartBeat = conf->onHeartBeat;
    st.onHeartRate = conf->onHeartRate;
    st.onRespRate = conf->onRespRate;
    st.onQuality = conf->onQuality;
    st.onStatus = conf->onStatus;
    applyPendingLayout(m);
    return 0;
}

}  // namespace tessivar

using tessivar::EcgPreprocessState;
using tessivar::kTag;
using tessivar::Monitor;
using tessivar::monitor;
using tessivar::orNull;

extern "C" const char *ecgPreprocessVersion(void) { return "tessivar version 1.1.0.0 2025-10-11 15:34:28"; }

extern "C" int ecgPreprocessInit(const PreprocessConf *conf)
{
    if (conf == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    Monitor &m = monitor();
    if (!tessivar::supportedRate(conf->fs) || conf->lsbMv < 1) {
        // Refused before anything changes: a running monitor keeps running
        // (its log says why); otherwise the log starts just long enough to
        // tell the host's print hook, and stops again.
        if (!m.started) {
            const LogConf logConf = {conf->debugCfgFile, nullptr, LOG_LEVEL_TRACE, conf->printFunc};
            newLog(&logConf);
        }
        tessivar::acceptRateAndResolution(conf->fs, conf->lsbMv);
        if (!m.started) delLog();
        return -1;
    }
    const LogConf logConf = {conf->debugCfgFile, tessivar::onCfgChanged, LOG_LEVEL_TRACE, conf->printFunc};
    newLog(&logConf);
    TV_LOGI(kTag,
            "\nconf = {\n\t.fs=%d,\n\t.lsbMv=%d,\n\t.paceFilter=%d,\n\t.paceInhib=%d,\n\t.paceRemoveMs=%d,"
            "\n\t.wireType=\"%s\",\n\t.dataType=\"%s\",\n\t.hrLead=\"%s\",\n\t.respLead=\"%s\","
            "\n\t.qrsMode=\"adult\",\n\t.qrsMethod=%d,\n\t.debugCfgFile=\"%s\"\n};"
            "\nmore infomation, check [_periodicTask] and [set]",
            conf->fs, conf->lsbMv, conf->paceFilter, conf->paceInhib, conf->paceRemoveMs, orNull(conf->wireType),
            orNull(conf->dataType), orNull(conf->hrLead), orNull(conf->respLead), conf->qrsMethod,
            orNull(conf->debugCfgFile));
    tessivar::logModuleVersions(LOG_LEVEL_INFO);

    if (m.started) tessivar::stopModules();
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (st.leadBuffs != nullptr) tessivar::freeSingleLeadBuff(m);
    // A fresh start: state record, status ring, debounce and frame counter.
    // The capture files and their change flag were set up by the log just
    // now and stay as they are.
    st = EcgPreprocessState{};
    m.status = tessivar::StatusBook{};
    m.periodic.frameCounter = 0;
    m.respValid = 0;
    m.beats = tessivar::BeatEventBook{};
    st.fs = conf->fs;
    st.lsbMv = conf->lsbMv;
    st.paceFilter = conf->paceFilter;
    st.paceInhib = conf->paceInhib;
    st.qrsMethod = conf->qrsMethod;
    st.curHrLead = tessivar::kLeadII;
    st.hrLead = tessivar::kLeadII;
    st.reconfigPending = 1;
    m.started = true;

    // A safety profile asked for before Init starts with the filters.
    m.safe.on = 0;
    m.safe.stepsSinceBeat = 0;
    tessivar::respSetSafeMode(0);
    tessivar::_ecgPreprocessSetConf(m, conf);
    if (m.safe.requested != 0) tessivar::applySafeProfile(m);

    const SignalQualityCallbacks sqCallbacks = tessivar::sqCallbacksFor(m);
    sqInit(&sqCallbacks);
    const HrCalcCallbacks hrCallbacks = tessivar::hrCalcCallbacksFor(m);
    hrCalcInit(st.hrLead, 0, st.qrsMethod, &hrCallbacks);
    newResp(&m.respConf);
    initResp();

    st.curHeartRate = -1;
    st.curRespRate = -1;
    st.analysisCountdown = 0;
    return 0;
}

extern "C" int ecgPreprocessDenit(void)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", "");
    // Nothing reaches the host's beat function after this.
    m.beats.fn = nullptr;
    m.beats.user = nullptr;
    tessivar::set_filter(m, 0, 0, 0);
    EcgPreprocessState &st = m.g_ecgPreprocess;
    st.curQuality = nullptr;
    tessivar::freeSingleLeadBuff(m);
    hrCalcDeinit();
    sqDeinit();
    delResp();
    delLog();
    m.started = false;
    return 0;
}

extern "C" int ecgPreprocessSetConf(const PreprocessConf *conf)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    if (conf == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    TV_LOGW(kTag,
            ":fs[%d],lsbMv[%d],paceFilter[%d],paceInhib[%d],paceRemoveMs[%d],wireType[%s],dataType[%s],"
            "hrLead[%s],respLead[%s],debugCfgFile[%s]",
            conf->fs, conf->lsbMv, conf->paceFilter, conf->paceInhib, conf->paceRemoveMs, orNull(conf->wireType),
            orNull(conf->dataType), orNull(conf->hrLead), orNull(conf->respLead), orNull(conf->debugCfgFile));
    return tessivar::_ecgPreprocessSetConf(m, conf);
}

extern "C" int ecgPreprocessSetDataType(const char *dataType, int fs, int lsbMv)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "fs[%d],lsbMv[%d],dataType[%s]", fs, lsbMv, orNull(dataType));
    const int rc = tessivar::_ecgPreprocessSetDataType(m, dataType, fs, lsbMv);
    // The new layout is built now, so that the frame sizes the host reads
    // next are the sizes the next DoPreprocess uses.
    tessivar::applyPendingLayout(m);
    return rc;
}

extern "C" int ecgPreprocessSetWireType(const char *wireType)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", orNull(wireType));
    const int rc = tessivar::_ecgPreprocessSetWireType(m, wireType);
    // The new layout is built now, so that the frame sizes the host reads
    // next are the sizes the next DoPreprocess uses.
    tessivar::applyPendingLayout(m);
    return rc;
}

extern "C" int ecgPreprocessSetWireTypeNew(const char **leads, int leadNum)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%d", leadNum);
    const int rc = tessivar::_ecgPreprocessSetWireTypeNew(m, leads, leadNum);
    // The new layout is built now, so that the frame sizes the host reads
    // next are the sizes the next DoPreprocess uses.
    tessivar::applyPendingLayout(m);
    return rc;
}

extern "C" int ecgPreprocessSetFilterMode(const char *mode)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%s", orNull(mode));
    const int32_t value = tessivar::get_value_by_name(tessivar::g_filterMode, mode);
    if (value < 0) return -1;
    if (value == m.g_ecgPreprocess.filterMode) return 0;
    m.g_ecgPreprocess.filterMode = value;
    tessivar::set_mode(m, value);
    return 0;
}

extern "C" int ecgPreprocessSetQrsMode(const char *mode)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%s", orNull(mode));
    const int32_t value = tessivar::get_value_by_name(tessivar::g_qrsMode, mode);
    if (value < 0) return -1;
    m.g_ecgPreprocess.qrsMode = value;
    hrCalcSetQrsMode(value);
    return 0;
}

extern "C" int ecgPreprocessSetHrLead(const char *lead)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", orNull(lead));
    return tessivar::_ecgPreprocessSetHrLead(m, lead);
}

extern "C" int ecgPreprocessResetHr(void)
{
    if (!monitor().started) return -1;
    TV_LOGW(kTag, "%s", "");
    hrEnterLearning();
    return 0;
}

extern "C" int ecgPreprocessSetRespLead(const char *lead)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", orNull(lead));
    return tessivar::_ecgPreprocessSetRespLead(m, lead);
}

extern "C" int ecgPreprocessSetPaceFilter(int on)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%d", on);
    m.g_ecgPreprocess.paceFilter = on;
    tessivar::_flush_pace_switch(m);
    return 0;
}

extern "C" int ecgPreprocessSetFuzzFilter(int on)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%d", on);
    m.g_ecgPreprocess.fuzzFilter = on;
    tessivar::_flush_fuzz_switch(m);
    return 0;
}

extern "C" int ecgPreprocessSetPaceInhib(int value)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%d", value);
    m.g_ecgPreprocess.paceInhib = value;
    tessivar::_flush_pace_switch(m);
    return 0;
}

extern "C" int ecgPreprocessSetPaceRemoveMs(int ms)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":%d", ms);
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const int32_t width = ms < 1 ? 3 : ms;
    int rc = 0;
    for (int32_t i = 0; st.leadBuffs != nullptr && i < st.leadBufCount; ++i)
        rc |= setPaceRemoveMs(st.leadBuffs[i].paceRemover, width);
    st.paceRemoveMs = width;
    return rc;
}

extern "C" int ecgPreprocessSetFilter(const char *base, const char *line, const char *emg)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, ":base[%s], line[%s], emg[%s]", orNull(base), orNull(line), orNull(emg));
    return tessivar::_ecgPreprocessSetFilter(m, base, line, emg);
}

extern "C" int ecgPreprocessSetNoiseThreshold(signed char threshold)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "Threshold:%d", threshold);
    const int32_t value = threshold < 0 ? 0 : (threshold > 100 ? 100 : threshold);
    m.g_ecgPreprocess.noiseThreshold = value;
    return sqSetNoiseThreshold(static_cast<uint8_t>(value));
}

extern "C" int ecgPreprocessSetRespSuffocationThr(int threshold)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "Suffocation Threshold:%d", threshold);
    m.g_ecgPreprocess.suffocationThr = threshold;
    return onRespSuffocationThr(threshold);
}

extern "C" int ecgPreprocessDoPreprocess(int frames, const int *in, int *out)
{
    Monitor &m = monitor();
    if (!m.started || frames < 0 || (frames > 0 && (in == nullptr || out == nullptr))) return -1;
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (m.safe.requested != m.safe.on) tessivar::applySafeProfile(m);
    tessivar::applyPendingLayout(m);
    if (!tessivar::leadBuffsReady(m)) {
        TV_LOGE(kTag, "no lead buffers for wire type %d, data type %d: frames not processed", st.wireType,
                st.dataType);
        return -1;
    }
    tessivar::captureFrames(m, m.capture.fp_in, in, frames, st.inFrameSize);
    m.periodic.frameCounter += frames;
    if (m.periodic.frameCounter > 999) {
        tessivar::_periodicTask(m);
        m.periodic.frameCounter = 0;
    }
    for (int k = 0; k < frames; ++k)
        tessivar::_do_preprocess(m, in + int64_t(k) * st.inFrameSize, out + int64_t(k) * st.outFrameSize);
    tessivar::captureFrames(m, m.capture.fp_out, out, frames, st.outFrameSize);
    return frames;
}

extern "C" int getCurFilterSetting(char *base, char *line, char *emg)
{
    Monitor &m = monitor();
    if (!m.started || base == nullptr || line == nullptr || emg == nullptr) return -1;
    TV_LOGW(kTag, "%s", "");
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    // Every name of the three tables fits the 7 bytes the caller provides.
    std::strcpy(base, tessivar::get_name_by_value_no_null(tessivar::base_array, st.curBase));
    std::strcpy(line, tessivar::get_name_by_value_no_null(tessivar::line_array, st.curLine));
    std::strcpy(emg, tessivar::get_name_by_value_no_null(tessivar::emg_array, st.curEmg));
    return 0;
}

extern "C" const char *getCurHrLead(void)
{
    Monitor &m = monitor();
    if (!m.started) return "null";
    TV_LOGW(kTag, "%s", "");
    return tessivar::get_name_by_value_no_null(tessivar::g_ecgHrLead, m.g_ecgPreprocess.curHrLead);
}

extern "C" int getCurHeartRate(void)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", "");
    return m.g_ecgPreprocess.curHeartRate;
}

extern "C" int getCurRespRate(void)
{
    Monitor &m = monitor();
    if (!m.started) return -1;
    TV_LOGW(kTag, "%s", "");
    return m.g_ecgPreprocess.curRespRate;
}

extern "C" const char *getCurQuality(void)
{
    Monitor &m = monitor();
    if (!m.started) return nullptr;
    TV_LOGW(kTag, "%s", "");
    return m.g_ecgPreprocess.curQuality;
}

extern "C" const char *getCurStatu(const char *key)
{
    Monitor &m = monitor();
    if (!m.started) return "unknown";
    TV_LOGW(kTag, ":%s", orNull(key));
    if (key != nullptr && std::strcmp(key, "hrlearning") == 0)
        return m.g_ecgPreprocess.hrLearning != 0 ? "true" : "false";
    return "unknown";
}

extern "C" int getCurInFrame(void)
{
    const Monitor &m = monitor();
    return m.started ? m.g_ecgPreprocess.inFrameSize : -1;
}

extern "C" int getCurOutFrame(void)
{
    const Monitor &m = monitor();
    return m.started ? m.g_ecgPreprocess.outFrameSize : -1;
}

extern "C" int getCurTotalDelay(void)
{
    const Monitor &m = monitor();
    return m.started ? m.g_ecgPreprocess.totalDelay : -1;
}

extern "C" int setSubUv(int uv)
{
    // A negative dead band would push every sample away from 0 (with INT_MIN
    // every display sample saturates): refused, the band stays as it was.
    if (uv < 0) {
        TV_LOGE(kTag, "%s g_sub_uv %d refused: must be 0 or above", tessivar::kBadInput, uv);
        return -1;
    }
    monitor().g_sub_uv = uv;
    TV_LOGI(kTag, "g_sub_uv = %d", uv);
    return uv;
}

extern "C" int setMinAdultQRSThr(int amplitude, int duration)
{
    if (!monitor().started) return -1;
    return HR_setMinAdultQRSThr(amplitude, duration);
}

extern "C" int ecgPreprocessSetBeatEventCallback(EcgBeatEventFunc fn, void *user)
{
    Monitor &m = monitor();
    if (!m.started) return ECG_BEAT_EVENT_NOT_STARTED;
    TV_LOGW(kTag, ":%p", reinterpret_cast<void *>(fn));
    if (fn == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return ECG_BEAT_EVENT_NULL_FUNC;
    }
    // One receiver at a time: replacing it silently could leave the first
    // host waiting for events that now go elsewhere.
    if (m.beats.fn != nullptr) return ECG_BEAT_EVENT_REGISTERED;
    m.beats.fn = fn;
    m.beats.user = user;
    return ECG_BEAT_EVENT_OK;
}

extern "C" int ecgPreprocessClearBeatEventCallback(void)
{
    Monitor &m = monitor();
    if (!m.started) return ECG_BEAT_EVENT_NOT_STARTED;
    TV_LOGW(kTag, "%s", "");
    m.beats.fn = nullptr;
    m.beats.user = nullptr;
    return ECG_BEAT_EVENT_OK;
}
