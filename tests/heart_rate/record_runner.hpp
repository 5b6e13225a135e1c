// Drives the whole front end with a recording or a simulation, as a host
// would, and collects every beat (input frame of its fiducial point) and
// every rate report (with the frame being processed when it came).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "preprocess/ecg_preprocess.hpp"
#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"
#include "tessivar/tessivar.h"

namespace tessivar::test {

struct RateReport {
    int64_t frame;
    int rate;
};

struct PipelineRun {
    std::vector<int64_t> beatFrames;
    std::vector<RateReport> rates;
    int analysisDelay = 0;  // samples the analysis chain lags the input
};

inline PipelineRun *&currentRun()
{
    static PipelineRun *run = nullptr;
    return run;
}
inline int64_t &currentFrame()
{
    static int64_t frame = 0;
    return frame;
}

// Input frames at 1000 Hz through a front end on `wire`/`data`, heart rate on II by method 0.
inline PipelineRun runFrames(const std::string &wire, const std::string &data, const std::vector<int32_t> &frames)
{
    PipelineRun run;
    currentRun() = &run;
    currentFrame() = 0;
    PreprocessConf c{};
    c.fs = 1000;
    c.lsbMv = 1000;
    c.paceInhib = 1;
    c.paceRemoveMs = 10;
    c.wireType = wire.c_str();
    c.dataType = data.c_str();
    c.hrLead = "II";
    c.respLead = "II";
    c.onHeartRate = [](int rate) { currentRun()->rates.push_back({currentFrame(), rate}); };
    c.printFunc = [](const char *) {};
    if (ecgPreprocessInit(&c) != 0) return run;
    ecgPreprocessSetBeatEventCallback(
        [](const EcgBeatEvent *e, void *user) { static_cast<PipelineRun *>(user)->beatFrames.push_back(e->frame); }, &run);
    ecgPreprocessSetFilter("0.67", "50", "35");
    const SignalFilter *line = monitor().g_ecgPreprocess.leadBuffs[0].hrFilter[kLine];
    run.analysisDelay = line != nullptr ? getSignalFilterDelay(line) : 0;
    const int in = getCurInFrame(), block = 50;
    std::vector<int> out(size_t(block * getCurOutFrame()));
    const int64_t count = int64_t(frames.size()) / in;
    for (currentFrame() = 0; currentFrame() < count; currentFrame() += block)
        ecgPreprocessDoPreprocess(int(std::min<int64_t>(block, count - currentFrame())), frames.data() + currentFrame() * in,
                                  out.data());
    ecgPreprocessDenit();
    currentRun() = nullptr;
    return run;
}

// Simulated leads I, II, V1..V6 at exactly `bpm` (no variability, no respiration).
inline std::vector<int32_t> simulatedFrames(double bpm, double seconds, uint32_t seed, std::string *wire, std::string *data)
{
    records::SimOptions o;
    o.seconds = seconds;
    o.seed = seed;
    o.heartRate = bpm;
    o.variability = 0.0;
    o.respRate = 0.0;
    const records::Simulation sim = records::simulate(o);
    const records::FrameLayout layout = records::chooseLayout(sim.record, {}, "none");
    *wire = layout.wireType;
    *data = layout.dataType;
    return records::buildFrames(sim.record, layout, 1000, 1000, 1000.0, -1);
}

struct RecordBeats {
    std::vector<int64_t> reference, detected;  // record samples
    double fs = 360.0;
};

// The first `seconds` of a WFDB record (MLII as lead II); the last frame is
// repeated 2500 times (more than the path holds back) so the last beats come out.
inline RecordBeats runRecordBeats(const std::string &path, double seconds)
{
    RecordBeats r;
    const records::Record record = records::readRecord(path);
    r.fs = record.header.fs;
    const records::FrameLayout layout = records::chooseLayout(record, {}, "none");
    std::vector<int32_t> frames = records::buildFrames(record, layout, 1000, 1000, 1000.0, int64_t(seconds * 1000.0));
    const size_t words = 1 + layout.channelLead.size() + (layout.respSignal >= 0 ? 1 : 0);
    const std::vector<int32_t> last(frames.end() - std::ptrdiff_t(words), frames.end());
    for (int k = 0; k < 2500; ++k) frames.insert(frames.end(), last.begin(), last.end());
    for (int64_t k : runFrames(layout.wireType, layout.dataType, frames).beatFrames)
        r.detected.push_back(std::llround(double(k) * r.fs / 1000.0));
    std::sort(r.detected.begin(), r.detected.end());
    for (const records::Annotation &a : records::readAnnotations(path + ".atr"))
        if (records::isBeat(a.code) && double(a.time) < seconds * r.fs) r.reference.push_back(a.time);
    return r;
}

}  // namespace tessivar::test
