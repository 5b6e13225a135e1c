// The front end's services around the pipeline:
//
// - the periodic task, run inside ecgPreprocessDoPreprocess once more than
//   999 frames have passed: re-reads the log configuration, logs our
//   configuration after a change, logs a status summary and rotates the raw
//   capture;
// - the raw capture: while the log's recording switch is on, every input and
//   output frame goes, exactly as passed, to "anal_input" and "anal_out" in
//   the record folder (32-bit words in host byte order, no header); after
//   about 2 GB of output the capture moves on to "<folder>/extra_<n>";
// - the reports through which heart rate, signal quality and respiration hand
//   their results to the front end, which keeps them for the get functions
//   and forwards them to the host's callbacks.
#include <algorithm>
#include <cstring>

#include "common/log_macros.hpp"
#include "heart_rate/hr_calc.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/anal_log.h"
#include "tessivar/anal_serialize.h"
#include "tessivar/common.h"
#include "tessivar/linear_spline.h"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;
constexpr int64_t kCaptureFolderBytes = 1999999999;  // a capture folder holds about 2 GB of output

const char *orNull(const char *text) { return text != nullptr ? text : "(null)"; }

// Copies at most 255 characters; longer paths are cut.
void copyPath(char (&dst)[256], const char *src)
{
    size_t n = 0;
    for (; src != nullptr && n < sizeof dst - 1 && src[n] != '\0'; ++n) dst[n] = src[n];
    dst[n] = '\0';
}

// The words fs ... qrsMethod of the state record.
void watchedWords(const EcgPreprocessState &st, int32_t (&w)[kWatchedWords])
{
    const int32_t words[kWatchedWords] = {st.fs,        st.lsbMv,     st.paceFilter, st.paceInhib, st.wireType,
                                          st.dataType,  st.hrLead,    st.respLead,   st.reserved0, st.filterMode,
                                          st.qrsMode,   st.paceRemoveMs, st.qrsMethod};
    std::memcpy(w, words, sizeof w);
}

// "base : ...", "line : ...", "emg  : ..." for the installed display filters.
void logFilters(const Monitor &m, int level)
{
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    if (st.leadBuffs == nullptr || st.leadBufCount < 1) return;
    static const char *const kFormats[kChainSlots] = {"base : %s", "line : %s", "emg  : %s"};
    for (int k = 0; k < kChainSlots; ++k) {
        const SignalFilter *f = st.leadBuffs[0].dispFilter[k];
        if (f != nullptr) TV_LOG(level, kTag, kFormats[k], orNull(f->name));
    }
}

void logDelays(const Monitor &m, int level)
{
    TV_LOG(level, kTag, "total delay = %d (filter delay:%d)", m.g_ecgPreprocess.totalDelay,
           m.g_ecgPreprocess.filterDelay);
    TV_LOG(level, kTag, "g_sub_uv = %d", m.g_sub_uv);
}

void rotateCapture(Monitor &m)
{
    CaptureState &c = m.capture;
    if (c.fp_out == nullptr) return;
    c.outBytes += int64_t(m.g_ecgPreprocess.outFrameSize) * 4000;  // 1000 output frames
    if (c.outBytes <= kCaptureFolderBytes) return;
    c.outBytes = 0;
    ++c.extraFolder;
    exit_debug(m);
    char folder[512];
    std::snprintf(folder, sizeof folder, "%s/extra_%d", c.output_save_root_path, c.extraFolder);
    createDir(folder);
    enter_debug(m, folder);
    TV_LOGI(kTag, "save path change to %s", folder);
}

// Heart-rate results.
int hrBeat(void *user, int32_t position, int32_t flag)
{
    Monitor &m = *static_cast<Monitor *>(user);
    m.safe.stepsSinceBeat = 0;
    m.g_ecgPreprocess.beatPosition = position;
    m.g_ecgPreprocess.beatFlag = flag;
    reportHeartBeat(m);
    return 0;
}
int hrBeatSample(void *user, int64_t sample, int32_t lead)
{
    reportBeatEvent(*static_cast<Monitor *>(user), sample, lead);
    return 0;
}
int hrRate(void *user, int32_t rate)
{
    Monitor &m = *static_cast<Monitor *>(user);
    m.safe.stepsSinceBeat = 0;
    return reportCurHeartRate(m, rate);
}
int hrLead(void *user, int32_t lead)
{
    reportCurHrLead(*static_cast<Monitor *>(user), lead);
    return 0;
}
int hrLearning(void *user, int32_t state) { return reportHrLearningState(*static_cast<Monitor *>(user), state); }
// Heart rate tells respiration the rate so that cardiac artefact can be
// recognised; the two modules meet only here.
int hrToResp(void *, int32_t rate) { return onHrChangedResp(rate); }

// Signal quality results.
int sqQuality(void *user, const char *text) { return reportCurQuality(*static_cast<Monitor *>(user), text); }

}  // namespace

HrCalcCallbacks hrCalcCallbacksFor(Monitor &m) { return HrCalcCallbacks{&m, hrBeat, hrRate, hrLead, hrLearning, hrToResp, hrBeatSample}; }

SignalQualityCallbacks sqCallbacksFor(Monitor &m) { return SignalQualityCallbacks{&m, sqQuality}; }

void logModuleVersions(int level)
{
    const char *const versions[] = {
        ecgPreprocessVersion(), signalFilterVersion(),  linearSplineVersion(), paceRemoveVersion(),
        respVersion(),          beatDetectorVersion(),  singalQualityVersion(), logVersion(),
        serializeVersion(),
    };
    for (const char *v : versions) TV_LOG(level, kTag, "%s", v);
}

int checkCfgUpdate(Monitor &m)
{
    int32_t now[kWatchedWords];
    watchedWords(m.g_ecgPreprocess, now);
    const bool changed = std::memcmp(now, m.periodic.previous_ecgPreprocess, sizeof now) != 0;
    std::memcpy(m.periodic.previous_ecgPreprocess, now, sizeof now);
    return changed ? 1 : 0;
}

void _periodicTask(Monitor &m)
{
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, "%s", "");
    logScanConf();
    scanSafeKey(m);
    const int changed = checkCfgUpdate(m);
    if (changed != 0 || m.periodic.cfgChangeFlag != 0) {
        m.periodic.cfgChangeFlag = 0;
        logModuleVersions(LOG_LEVEL_INFO);
        TV_LOGI(kTag,
                "\nconf = {\n\t.fs=%d,\n\t.lsbMv=%d,\n\t.paceFilter=%d,\n\t.paceInhib=%d,\n\t.paceRemoveMs=%d,"
                "\n\t.wireType=\"%s\",\n\t.dataType=\"%s\",\n\t.hrLead=\"%s\",\n\t.respLead=\"%s\","
                "\n\t.qrsMode=\"%s\",\n\t.qrsMethod=%d,\n};",
                st.fs, st.lsbMv, st.paceFilter, st.paceInhib, st.paceRemoveMs,
                get_name_by_value_no_null(valid_lead_num_array, st.wireType),
                get_name_by_value_no_null(g_ecgDataFormat, st.dataType),
                get_name_by_value_no_null(g_ecgHrLead, st.hrLead), get_name_by_value_no_null(g_respLead, st.respLead),
                get_name_by_value_no_null(g_qrsMode, st.qrsMode), st.qrsMethod);
        logFilters(m, LOG_LEVEL_INFO);
        logDelays(m, LOG_LEVEL_INFO);
    }
    TV_LOGT(kTag, "HR:[%d],resp:[%d]", st.curHeartRate, st.curRespRate);
    logFilters(m, LOG_LEVEL_TRACE);
    if (st.leadBuffs != nullptr && st.leadBufCount > 0 && st.leadBuffs[0].extraFilter != nullptr)
        TV_LOGT(kTag, "extra 0.01 hp exist");
    logDelays(m, LOG_LEVEL_TRACE);
    rotateCapture(m);
}

int onCfgChanged(int on, const char *path)
{
    Monitor &m = monitor();
    TV_LOGT(kTag, ":%d-%s", on, orNull(path));
    copyPath(m.capture.output_save_root_path, path);
    m.periodic.cfgChangeFlag = 1;
    if (on != 0)
        enter_debug(m, m.capture.output_save_root_path);
    else
        exit_debug(m);
    return 0;
}

void enter_debug(Monitor &m, const char *path)
{
    CaptureState &c = m.capture;
    copyPath(c.folder, path);
    // Each file is opened (truncated) unless it exists and is open already.
    std::FILE **const files[2] = {&c.fp_in, &c.fp_out};
    const char *const names[2] = {"anal_input", "anal_out"};
    for (int k = 0; k < 2; ++k) {
        std::FILE *&file = *files[k];
        char name[512];
        std::snprintf(name, sizeof name, "%s/%s", c.folder, names[k]);
        if (file != nullptr && fileExist(name) == 1) continue;
        if (file != nullptr) std::fclose(file);
        file = std::fopen(name, "wb");
        if (file == nullptr) TV_LOGW(kTag, "%s open error.\n", name);
    }
}

void exit_debug(Monitor &m)
{
    CaptureState &c = m.capture;
    if (c.fp_in != nullptr) std::fclose(c.fp_in);
    if (c.fp_out != nullptr) std::fclose(c.fp_out);
    c.fp_in = c.fp_out = nullptr;
}

void captureFrames(Monitor &m, std::FILE *file, const int32_t *frames, int32_t count, int32_t frameSize)
{
    if (file == nullptr || count < 1 || frameSize < 1) return;
    const size_t written = std::fwrite(frames, sizeof(int32_t) * size_t(frameSize), size_t(count), file);
    // Frames still in the stream's buffer when the flush fails were not
    // written either.
    if (std::fflush(file) != 0 || written < size_t(count)) exit_debug(m);
}

void reportCurFilterSetting(Monitor &m, int32_t base, int32_t line, int32_t emg)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d-%d-%d", base, line, emg);
    st.curBase = base;
    st.curLine = line;
    st.curEmg = emg;
    if (st.onFilterSetting != nullptr)
        st.onFilterSetting(get_name_by_value_no_null(base_array, base), get_name_by_value_no_null(line_array, line),
                           get_name_by_value_no_null(emg_array, emg));
}

void reportCurHrLead(Monitor &m, int32_t lead)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", lead);
    st.curHrLead = lead;
    if (st.onHrLead != nullptr) st.onHrLead(get_name_by_value_no_null(g_ecgHrLead, lead));
}

void reportHeartBeat(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d-%d", st.beatPosition, st.beatFlag);
    if (st.onHeartBeat != nullptr) st.onHeartBeat();
}

void reportBeatEvent(Monitor &m, int64_t sample, int32_t lead)
{
    const BeatEventBook &b = m.beats;
    if (b.fn == nullptr) return;
    // Heart rate's sample k was taken at analysis step k. The ring holds the
    // input frame of the last kBeatFrameRing steps (the newest is the step
    // being processed, or the last one when the report comes from outside
    // the frame loop, as at a lead change). A sample outside the ring (a
    // detector delay reaching before the first step) is counted from the
    // nearest step in the ring at the current rate.
    const int64_t newest = b.analysisSteps - 1;
    int64_t frame = 0;
    if (newest < 0) {
        frame = sample * std::max<int32_t>(1, m.g_ecgPreprocess.fs / 1000);
    } else if (sample >= 0 && sample <= newest && newest - sample < kBeatFrameRing) {
        frame = b.stepFrame[sample % kBeatFrameRing];
    } else {
        const int64_t nearest = sample > newest ? newest : std::max<int64_t>(0, newest - (kBeatFrameRing - 1));
        frame = b.stepFrame[nearest % kBeatFrameRing] +
                (sample - nearest) * std::max<int32_t>(1, m.g_ecgPreprocess.fs / 1000);
    }
    const EcgBeatEvent event = {frame, b.frames, lead, m.g_ecgPreprocess.qrsMethod};
    TV_LOGT(kTag, "beat:%lld,%lld,%d", (long long)event.frame, (long long)event.reportFrame, lead);
    b.fn(&event, b.user);
}

int reportCurHeartRate(Monitor &m, int32_t rate)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", rate);
    // Detection on the display signal needs lead II: without it no rate.
    const bool noLeadII = st.qrsMethod == 2 && isLeadValid(m.status.debounce_statu, kLeadII) == 0;
    st.curHeartRate = noLeadII ? 0 : rate;
    if (st.onHeartRate != nullptr) st.onHeartRate(st.curHeartRate);
    if (rate >= 0) reportHrLearningState(m, 0);
    if (rate <= 0) onHrChangedResp(0);
    return 0;
}

int reportCurRespRate(Monitor &m, int32_t rate)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    // The safety profile reports changes only.
    if (m.safe.on != 0 && rate == st.curRespRate) return 0;
    TV_LOGT(kTag, ":%d", rate);
    st.curRespRate = rate;
    if (st.onRespRate != nullptr) st.onRespRate(rate);
    return 0;
}

int reportCurQuality(Monitor &m, const char *text)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%s", orNull(text));
    if (text == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    // The copy goes into the monitor's fixed buffer (no allocation per
    // report). A text too long for it is refused and the last report kept.
    const size_t n = std::strlen(text) + 1;
    if (n > sizeof m.qualityText) {
        TV_LOGE(kTag, "quality text too long: %zu", n - 1);
        return -1;
    }
    std::memcpy(m.qualityText, text, n);
    st.curQuality = m.qualityText;
    if (st.onQuality != nullptr) st.onQuality(st.curQuality);
    return 0;
}

int reportHrLearningState(Monitor &m, int32_t state)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", state);
    if (state == st.hrLearning) return 0;
    st.hrLearning = state;
    if (st.onStatus != nullptr) st.onStatus("hrlearning", state != 0 ? "true" : "false");
    return 0;
}

int onRespRateChanged(int rate) { return reportCurRespRate(monitor(), rate); }

// Repeats the current rate to the host on every breath.
int onRespBeat() { return reportCurRespRate(monitor(), monitor().g_ecgPreprocess.curRespRate); }

int onBeatNoise(int flag)
{
    EcgPreprocessState &st = monitor().g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", flag);
    if (st.onStatus != nullptr) st.onStatus("beatNoise", flag != 0 ? "true" : "false");
    return 0;
}

}  // namespace tessivar
