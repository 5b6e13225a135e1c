// Drives the whole front end with a recording or a simulation, as a host
// would, and collects what heart rate reports: every beat at its exact
// place (the input frame of its beat event), every rate with its frame,
// the lead and learning reports.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "preprocess/ecg_preprocess.hpp"
#include "records/frames.hpp"
#include "records/wfdb.hpp"
#include "tessivar/tessivar.h"

namespace tessivar::test {

struct RateReport {
    int64_t frame;  // input frame being processed when the rate came
    int rate;
};

struct PipelineRun {
    std::vector<int64_t> beatFrames;  // input frame of every beat, in report order
    std::vector<RateReport> rates;
    std::vector<std::string> events;  // "hrLead:II", "status:hrlearning=true", ...
    int analysisDelay = 0;            // samples the analysis chain lags the input
};

namespace detail {

struct Collector {
    PipelineRun *run = nullptr;
    int64_t frame = 0;
    static Collector &get()
    {
        static Collector c;
        return c;
    }
    static void onBeat(const EcgBeatEvent *event, void *user)
    {
        static_cast<PipelineRun *>(user)->beatFrames.push_back(event->frame);
    }
    static void onRate(int rate) { get().run->rates.push_back({get().frame, rate}); }
    static void onLead(const char *lead) { get().run->events.push_back(std::string("hrLead:") + lead); }
    static void onStatus(const char *key, const char *value)
    {
        get().run->events.push_back(std::string("status:") + key + "=" + value);
    }
};

}  // namespace detail

// Runs input frames (getCurInFrame() words each, 1000 Hz) through a front
// end configured with conf; the callbacks of conf are replaced.
inline PipelineRun runFrames(PreprocessConf conf, const std::vector<int32_t> &frames, int block = 50)
{
    PipelineRun run;
    detail::Collector &c = detail::Collector::get();
    c.run = &run;
    c.frame = 0;
    conf.onHeartBeat = nullptr;
    conf.onHeartRate = detail::Collector::onRate;
    conf.onHrLead = detail::Collector::onLead;
    conf.onStatus = detail::Collector::onStatus;
    conf.onQuality = nullptr;
    conf.onRespRate = nullptr;
    conf.onFilterSetting = nullptr;
    if (conf.printFunc == nullptr) conf.printFunc = [](const char *) {};
    if (ecgPreprocessInit(&conf) != 0) return run;
    ecgPreprocessSetBeatEventCallback(detail::Collector::onBeat, &run);
    ecgPreprocessSetFilter("0.67", "50", "35");
    const int in = getCurInFrame(), outWords = getCurOutFrame();
    const Monitor &m = monitor();
    if (m.g_ecgPreprocess.leadBuffs != nullptr) {
        const SignalFilter *line = m.g_ecgPreprocess.leadBuffs[0].hrFilter[kLine];
        run.analysisDelay = line != nullptr ? getSignalFilterDelay(line) : 0;
    }
    const int64_t count = int64_t(frames.size()) / in;
    std::vector<int> out(size_t(block) * size_t(outWords));
    for (int64_t f = 0; f < count; f += block) {
        const int n = int(std::min<int64_t>(block, count - f));
        c.frame = f;
        ecgPreprocessDoPreprocess(n, frames.data() + f * in, out.data());
    }
    ecgPreprocessDenit();
    c.run = nullptr;
    return run;
}

// A default monitor configuration for recordings: 1000 Hz, counts in
// microvolts, heart rate on II, method 0.
inline PreprocessConf recordConf(const std::string &wire, const std::string &data)
{
    static std::string w, d;
    w = wire;
    d = data;
    PreprocessConf c{};
    c.fs = 1000;
    c.lsbMv = 1000;
    c.paceInhib = 1;
    c.paceRemoveMs = 10;
    c.wireType = w.c_str();
    c.dataType = d.c_str();
    c.hrLead = "II";
    c.respLead = "II";
    c.qrsMethod = 0;
    return c;
}

struct RecordBeats {
    std::vector<int64_t> reference;  // reference beats, record samples
    std::vector<int64_t> detected;   // detected beats, record samples
    double fs = 360.0;
    PipelineRun run;
};

// Frames the heart-rate path holds back at most (analysis filter,
// look-behind, the detector's release age) with room to spare: the last
// frame is repeated this often so that the last beats come out.
inline constexpr int kFlushFrames = 2500;

// The first `seconds` of a WFDB record (MLII as lead II) through the front
// end; detected beats at the record's rate.
inline RecordBeats runRecordBeats(const std::string &path, double seconds)
{
    RecordBeats r;
    const records::Record record = records::readRecord(path);
    r.fs = record.header.fs;
    const records::FrameLayout layout = records::chooseLayout(record, {}, "none");
    const int64_t maxFrames = seconds > 0 ? int64_t(seconds * 1000.0) : -1;
    std::vector<int32_t> frames = records::buildFrames(record, layout, 1000, 1000, 1000.0, maxFrames);
    const size_t words = 1 + layout.channelLead.size() + (layout.respSignal >= 0 ? 1 : 0);
    if (frames.size() < words) return r;
    const std::vector<int32_t> last(frames.end() - std::ptrdiff_t(words), frames.end());
    for (int k = 0; k < kFlushFrames; ++k) frames.insert(frames.end(), last.begin(), last.end());
    r.run = runFrames(recordConf(layout.wireType, layout.dataType), frames);
    for (int64_t k : r.run.beatFrames)
        r.detected.push_back(std::llround(double(k) * r.fs / 1000.0));
    std::sort(r.detected.begin(), r.detected.end());
    const double end = seconds > 0 ? seconds * r.fs : 1e18;
    for (const records::Annotation &a : records::readAnnotations(path + ".atr"))
        if (records::isBeat(a.code) && double(a.time) < end) r.reference.push_back(a.time);
    return r;
}

}  // namespace tessivar::test
