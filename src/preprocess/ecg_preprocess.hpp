// Internals of the ECG front end.
//
// Everything one monitor owns lives in one Monitor record, reached through
// monitor(): the state record g_ecgPreprocess, the lead buffers it points to,
// the status ring and lead-off debounce, the periodic-task bookkeeping, the
// raw capture files and the respiration configuration. The internal functions
// take the Monitor they work on; only the entry points that other modules
// call without a context (the log's change handler and the respiration
// callbacks) reach the one instance through monitor().
//
// Frame flow, per input channel: microvolts (count * 1000 / lsbMv) -> step
// detector -> pace remover (100 samples delay) -> extra 0.01 Hz high-pass ->
// display chain base, line, emg (filterDelay) -> noise steps (fuzzDelay) ->
// pace marker added back at the display delay -> dead band. The analysis
// value takes the same road up to the pace remover and then the analysis
// chain, once per analysis step (1000 per second).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "preprocess/noise_remove.hpp"
#include "tessivar/ecg_preprocess.h"
#include "tessivar/hr_calc.h"
#include "tessivar/pace_remove.h"
#include "tessivar/resp.h"
#include "tessivar/sig_quality.h"
#include "tessivar/signal_filter.h"

namespace tessivar {

inline constexpr const char *kPreprocessTag = "Unknown TAG";

constexpr int kLeadIds = 18;             // I ... V5R
constexpr int kDelayRing = 10000;        // status and pace rings
constexpr int kDebounceWindow = 999;     // frames ORed into debounce_statu
constexpr int kDebounceFrames = 10;      // frames a lead-off pattern must last
constexpr int32_t kLeadOffMask = 0x33fff;
constexpr int32_t kLimbOffMask = 0x30003;
constexpr int32_t kPaceBit = 0x4000;
constexpr int kWatchedWords = 13;        // fs ... qrsMethod, watched by the periodic task

// Lead ids.
enum : int32_t { kLeadI = 0, kLeadII = 1, kLeadIII = 2, kLeadAVR = 3, kLeadAVL = 4, kLeadAVF = 5, kLeadV1 = 6 };

// Flag bits of the data-format value.
enum : int32_t { kStatusFlag = 1, kLeadsFlag = 2, kRespFlag = 4, kLeadIIIFlag = 8 };

// Filter chain slots.
enum { kBase = 0, kLine = 1, kEmg = 2, kChainSlots = 3 };

// One input channel.
struct SingleLeadBuff {
    int32_t leadId;                       // lead id of the channel
    StepState stepState;                  // baseline step detector
    NoiseState noiseState;                // both noise steps
    int32_t initialised;                  // 1 once the filters run on the current signal
    float paceRing[kDelayRing];           // re-synthesised pace markers
    int32_t ringIdx;                      // write index of paceRing, sample counter mod 10000
    SignalFilter *extraFilter;            // extra 0.01 Hz high-pass, or null
    SignalFilter *dispFilter[kChainSlots]; // display chain: base, line, emg (each may be null)
    SignalFilter *hrFilter[kChainSlots];   // analysis chain: only the line slot is used
    PaceRemove *paceRemover;              // the channel's pace remover
    double lastDisplay;                   // display value of the previous frame
    double blend;                         // offset faded out after a safety-profile switch
    int32_t blendArmed;                   // 1: take the offset at the next frame
};

// The front end's state record. The first thirteen words are the settings
// the periodic task watches for changes.
struct EcgPreprocessState {
    int32_t fs;
    int32_t lsbMv;
    int32_t paceFilter;
    int32_t paceInhib;
    int32_t wireType;      // input ECG channels (1, 2, 3, 8, 11, 14), 0 before a valid wire type
    int32_t dataType;      // data-format flag bits
    int32_t hrLead;        // heart-rate lead id, 18 automatic
    int32_t respLead;      // respiration lead id
    int32_t reserved0;
    int32_t filterMode;    // 0 normal, 1 cry
    int32_t qrsMode;       // 0 adult, 1 child / newborn
    int32_t paceRemoveMs;
    int32_t qrsMethod;
    int32_t noiseThreshold;   // 0 ... 100
    int32_t suffocationThr;
    int32_t reserved1;
    int32_t reserved2;
    int32_t curHeartRate;     // -1 when none
    int32_t curRespRate;      // -1 when none
    int32_t inFrameSize;      // words per input frame
    int32_t outFrameSize;     // words per output frame
    int32_t filterDelay;      // base + line + emg delays, samples
    int32_t lineEmgDelay;     // line + emg delays
    int32_t paceDelay;        // the pace remover's delay when pace removal is on
    int32_t extraDelay;       // always 0: the extra high-pass reports no delay
    int32_t fuzzDelay;        // noise steps
    int32_t totalDelay;       // display samples behind the input
    int32_t curBase;          // reported filter choice (selection values)
    int32_t curEmg;
    int32_t curLine;
    int32_t savedBase;        // choice saved on entering the cry mode
    int32_t savedEmg;
    int32_t savedLine;
    int32_t hrLearning;       // 1 while heart rate is learning
    char *curQuality;         // the last quality report (Monitor::qualityText), or null
    int32_t curHrLead;        // lead id reported by heart rate
    int32_t beatPosition;     // the last beat, as handed over by heart rate
    int32_t beatFlag;
    int32_t fuzzFilter;       // noise suppression on
    int32_t reserved3;
    PreprocessFilterFunc onFilterSetting;
    PreprocessHrLeadFunc onHrLead;
    PreprocessBeatFunc onHeartBeat;
    PreprocessRateFunc onHeartRate;
    PreprocessRateFunc onRespRate;
    PreprocessQualityFunc onQuality;
    PreprocessStatusFunc onStatus;
    int32_t leadBufCount;        // input ECG channels
    int32_t outLeadCount;        // output leads
    int32_t reconfigPending;     // rebuild the lead buffers before the next frame
    int32_t leadPresent[kLeadIds];
    SingleLeadBuff *leadBuffs;   // leadBufCount records, or null
    int32_t analysisCountdown;   // frames until the next analysis step
};

// Lead-off status bookkeeping.
struct StatusBook {
    int32_t statusBuffer[kDelayRing]; // debounced status words
    int32_t statusBufferIdx;
    int32_t debounce_statu;           // OR of the last 999 debounced words
    int32_t lastPattern;              // lead-off pattern of the previous frame
    int32_t repeatCount;              // frames it has lasted
    int32_t reportedPattern;          // the pattern that passed the debounce
};

// Periodic task bookkeeping.
struct PeriodicState {
    int32_t previous_ecgPreprocess[kWatchedWords];
    int32_t cfgChangeFlag;   // the log configuration changed: log ours again
    int32_t frameCounter;    // frames since the last periodic task
};

// Raw capture of the frames passed in and out.
struct CaptureState {
    std::FILE *fp_in = nullptr;
    std::FILE *fp_out = nullptr;
    char output_save_root_path[256] = {};  // record folder handed over by the log
    int64_t outBytes = 0;                  // output bytes counted into the current folder
    int32_t extraFolder = 0;               // number of the last extra folder
    char folder[256] = {};                 // current capture folder
};

// The display filter selection: for each coefficient catalogue (1000 Hz,
// 2000 Hz) the records (base, line, emg) it selected last, null for an empty
// slot. Only a change of these records is reported to the host.
constexpr int kFilterCatalogues = 2;
struct FilterSelection {
    const SignalFilterConf *last_filt_array[kFilterCatalogues][kChainSlots];
};

// Beat events: the host's registration, and for each analysis step the
// input frame its analysis sample stands for, so that a beat's sample index
// in the heart-rate stream becomes an input frame. The ring reaches further
// back than the heart-rate history (10000 samples) plus a detector's delay.
constexpr int kBeatFrameRing = 16384;
struct BeatEventBook {
    EcgBeatEventFunc fn = nullptr;
    void *user = nullptr;
    int64_t frames = 0;         // input frames processed since Init
    int64_t analysisSteps = 0;  // analysis steps (heart-rate frames) since Init
    int64_t stepFrame[kBeatFrameRing] = {};  // analysis step -> input frame of its sample
};

// The safety profile (docs/safety.md). The host's setter and the log
// configuration's key "safe_mode" ask for it; the request is applied at the
// start of the next frame block so that a switch in the middle of a record
// never lands between the frames of one call.
constexpr int32_t kStaleHrSteps = 10000;  // analysis steps (10 s) without a beat before the rate goes to -1
// A switch that changes a channel's chain restarts it; the jump between the
// old and the new output is carried as an offset that fades with a time
// constant of 500 frames, so the display moves at most 0.2 % of the jump per
// frame beyond its own slope.
constexpr double kBlendDecay = 0.998;
struct SafeProfile {
    int32_t on = 0;          // corrections in effect
    int32_t requested = 0;   // wanted from the next frame block on
    int32_t iniValue = -1;   // last value of the key in the log configuration, -1 absent
    int64_t stepsSinceBeat = 0;  // analysis steps since the last beat or rate report
};

using AllocateFunc = void *(*)(std::size_t count, std::size_t size);

struct Monitor {
    Monitor();

    EcgPreprocessState g_ecgPreprocess{};
    int32_t g_sub_uv = 3;       // output dead band, uV
    StatusBook status{};
    PeriodicState periodic{};
    CaptureState capture{};
    RespConf respConf{};        // how the respiration channel is created
    FilterSelection selection{}; // survives Init and Denit, like the catalogues it points into
    BeatEventBook beats{};
    SafeProfile safe{};         // survives Init and Denit: a host may ask for it first
    int32_t respValid = 0;      // respiration lead valid at the last analysis step
    bool started = false;       // between Init and Denit
    bool leadBuffsBuilt = false; // the last rebuild of the lead records succeeded
    AllocateFunc allocate = std::calloc;  // lead buffers; replaced only by tests
    // Own copy of the last quality report, kept here so that a report
    // allocates nothing; reports are far shorter (under 900 characters).
    char qualityText[4096]{};
};

// The one monitor of the process.
Monitor &monitor();

// ---- public interface twins (no logging) --------------------------------
int _ecgPreprocessSetConf(Monitor &m, const PreprocessConf *conf);
void applyPendingLayout(Monitor &m);  // builds the lead buffers when a layout change is pending
int _ecgPreprocessSetDataType(Monitor &m, const char *dataType, int32_t fs, int32_t lsbMv);
int _ecgPreprocessSetWireType(Monitor &m, const char *wireType);
int _ecgPreprocessSetWireTypeNew(Monitor &m, const char **leads, int32_t leadNum);
int _ecgPreprocessSetHrLead(Monitor &m, const char *lead);
int _ecgPreprocessSetRespLead(Monitor &m, const char *lead);

// ---- pipeline --------------------------------------------------------------
// Frame geometry from the wire type and data format.
void calcInOutSize(Monitor &m);
// New zeroed lead records for the current layout. 0, or -1 ("MALLOC ERROR").
int newSingleLeadBuff(Monitor &m);
// Deletes every record's filters and pace remover and the records.
void freeSingleLeadBuff(Monitor &m);
// Rebuilds the lead records with new pace removers, noise states and
// analysis filters, then re-applies the filter choice. 0 or -1.
int reConfigSingleLeadBuff(Monitor &m);
// True when frames can be processed: records built for a valid layout.
bool leadBuffsReady(const Monitor &m);
void _update_all_delay(Monitor &m);
void _flush_pace_switch(Monitor &m);
void _flush_fuzz_switch(Monitor &m);
// Debounced status: the lead-off bits only change after lasting 10 frames.
int32_t debonce_lead_statu(Monitor &m, int32_t status);
// Input frames by which the analysis sample handed to heart rate now lags
// the input: pace removal and the analysis mains filter, or the whole
// display path when heart rate runs on the display signal (method 2).
int32_t analysisDelayFrames(const Monitor &m);
// Output dead band of g_sub_uv around 0.
int32_t correctValue(const Monitor &m, double x);
// One frame.
void _do_preprocess(Monitor &m, const int32_t *inFrame, int32_t *outFrame);
// Double to int32, truncating toward zero; saturates, NaN gives 0.
int32_t truncateToInt(double x);

// ---- filter selection ----------------------------------------------------
int _ecgPreprocessSetFilter(Monitor &m, const char *base, const char *line, const char *emg);
int set_filter(Monitor &m, int32_t base, int32_t line, int32_t emg);
int set_filter2000(Monitor &m, int32_t base, int32_t line, int32_t emg);
int set_mode(Monitor &m, int32_t mode);
// set_mode of the safety profile: the catalogue of the current rate, and
// the extra high-pass and delays brought up to date.
int setModeSafe(Monitor &m, int32_t mode);
int updateExtra001Filter(Monitor &m);
// The record of the analysis chain's mains filter, "trap_50" (the taps of the
// 1000 Hz "comb 50 0.6"), at every rate.
const SignalFilterConf *analysisLineFilterConf();
double doLineFilter(const Monitor &m, SignalFilter *filter, double x);
// The display chain (its 60 Hz comb stepped three times per sample at
// 1000 Hz) and the analysis chain (every filter stepped once).
double doAllFilter(const Monitor &m, SignalFilter *const chain[kChainSlots], double x);
double doAnalysisFilter(SignalFilter *const chain[kChainSlots], double x);

// ---- safety profile ------------------------------------------------------
// Puts a requested profile into effect: filters re-selected for it, every
// channel restarted from its current sample when its chain changed.
void applySafeProfile(Monitor &m);
// Reads "safe_mode" (ON / OFF) from the log configuration; a changed value
// becomes the request.
void scanSafeKey(Monitor &m);
// Per analysis step: a heart rate without a beat for kStaleHrSteps becomes
// -1 and learning starts again.
void checkStaleHeartRate(Monitor &m);
// True when the line filter is stepped three times per sample.
bool tripleStepped(const Monitor &m, const SignalFilter *filter);

// ---- periodic task, reports, capture -------------------------------------
void _periodicTask(Monitor &m);
int checkCfgUpdate(Monitor &m);
// The log's change handler.
int onCfgChanged(int on, const char *path);
void enter_debug(Monitor &m, const char *path);
void exit_debug(Monitor &m);
// Writes a block of frames to a capture file; closes both on a short write.
void captureFrames(Monitor &m, std::FILE *file, const int32_t *frames, int32_t count, int32_t frameSize);
// Logs the version text of every module, one line each, at level.
void logModuleVersions(int level);

void reportCurFilterSetting(Monitor &m, int32_t base, int32_t line, int32_t emg);
void reportCurHrLead(Monitor &m, int32_t lead);
void reportHeartBeat(Monitor &m);
// A beat at sample index `sample` of the heart-rate stream, on lead.
void reportBeatEvent(Monitor &m, int64_t sample, int32_t lead);
int reportCurHeartRate(Monitor &m, int32_t rate);
int reportCurRespRate(Monitor &m, int32_t rate);
int reportCurQuality(Monitor &m, const char *text);
int reportHrLearningState(Monitor &m, int32_t state);
// Where heart rate and signal quality hand their results to this monitor.
HrCalcCallbacks hrCalcCallbacksFor(Monitor &m);
SignalQualityCallbacks sqCallbacksFor(Monitor &m);
// The respiration callbacks (the channel has no context: they report to
// monitor()).
int onRespRateChanged(int rate);
int onRespBeat();
int onBeatNoise(int flag);

}  // namespace tessivar
