// Respiration behind the front end: simulated breathing read back, a flat
// channel, cardiac artefact raising "beatNoise", and BIDMC records against
// their manual breath annotations (first three minutes, as docs/respiration.md).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"
#include "tessivar/ecg_preprocess.h"
#include "tessivar/resp.h"

namespace {

using namespace tessivar::records;
std::vector<std::pair<long, int>> g_rates;  // (frames before the block, rate)
std::vector<std::string> g_beatNoise;
long g_frame = 0;

// Runs `seconds` of the record through the front end, one second a block,
// with `edit` applied to each frame; returns the rate held after each second.
std::vector<int> run(const Record &rec, double seconds, void (*edit)(int32_t *frame, int words, long t) = nullptr)
{
    const FrameLayout layout = chooseLayout(rec, {}, "");
    std::vector<int32_t> frames = buildFrames(rec, layout, 1000, 1000, 1000.0, int64_t(seconds * 1000));
    PreprocessConf conf{};
    conf.fs = conf.lsbMv = 1000;
    conf.wireType = layout.wireType.c_str();
    conf.dataType = layout.dataType.c_str();
    conf.hrLead = conf.respLead = "II";
    conf.printFunc = [](const char *) {};
    conf.onRespRate = [](int rate) { g_rates.emplace_back(g_frame, rate); };
    conf.onStatus = [](const char *key, const char *value) {
        if (std::string(key) == "beatNoise" && (g_beatNoise.empty() || g_beatNoise.back() != value)) g_beatNoise.push_back(value);
    };
    g_rates.clear();
    g_beatNoise.clear();
    std::vector<int> held;
    EXPECT_EQ(ecgPreprocessInit(&conf), 0);
    const int words = getCurInFrame();
    std::vector<int> out(size_t(getCurOutFrame()) * 1000);
    for (long t = 0; edit != nullptr && t < long(frames.size()) / words; ++t) edit(&frames[size_t(t * words)], words, t);
    for (g_frame = 0; (g_frame + 1000) * words <= long(frames.size()); g_frame += 1000) {
        ecgPreprocessDoPreprocess(1000, frames.data() + g_frame * words, out.data());
        held.push_back(getCurRespRate());
        if (g_frame == 0) onHrChangedResp(72);  // as the heart-rate module reports it
    }
    ecgPreprocessDenit();
    return held;
}

Record simulated(double perMinute, double seconds)
{
    SimOptions o;
    o.seconds = seconds;
    o.respRate = perMinute;
    o.seed = uint32_t(perMinute * 10);
    return simulate(o).record;
}

TEST(RespPipeline, SimulatedBreathingIsReadBack)
{
    for (double perMinute : {10.0, 30.0}) {  // time-domain and rate-window readings
        const std::vector<int> held = run(simulated(perMinute, 90.0), 90.0);
        ASSERT_EQ(held.size(), 90u);
        for (size_t s = 60; s < held.size(); ++s) ASSERT_NEAR(held[s], perMinute, 1.0) << perMinute << " at " << s;
        ASSERT_FALSE(g_rates.empty());
        EXPECT_GE(g_rates.front().first, 14000) << perMinute;  // 15 s of band: the block from 14000
    }
}

TEST(RespPipeline, FlatChannelAndCardiacArtefact)
{
    // A flat impedance: rate 0 six seconds after the channel starts, then every second.
    run(simulated(15.0, 10.0), 10.0, [](int32_t *f, int words, long) { f[words - 1] = 0; });
    EXPECT_EQ(g_rates, (std::vector<std::pair<long, int>>{{5000, 0}, {6000, 0}, {7000, 0}, {8000, 0}, {9000, 0}}));
    // Only the heartbeat (1.2 Hz at 72 per minute) for 30 s, then breathing:
    // three hits at the heart-rate bin raise "beatNoise" once, breathing lowers it.
    run(simulated(15.0, 60.0), 60.0, [](int32_t *f, int words, long t) {
        const double s = double(t) / 1000.0;
        f[words - 1] = int32_t(std::lround(s < 30.0 ? 200.0 * std::sin(2 * M_PI * 1.2 * s) : 250.0 * std::sin(2 * M_PI * 0.3 * s)));
    });
    EXPECT_EQ(g_beatNoise, (std::vector<std::string>{"false", "true", "false"}));
}

TEST(RespPipeline, BidmcRecordsFollowTheAnnotators)
{
    const std::string dir = TESSIVAR_SHARED_DATA "/bidmc/";
    if (!std::ifstream(dir + "bidmc03.hea").good()) GTEST_SKIP() << "no BIDMC records in " << dir;
    for (const char *name : {"bidmc03", "bidmc04"}) {
        const Record rec = readRecord(dir + name);
        std::vector<double> breaths[2];
        for (const Annotation &a : readAnnotations(dir + name + ".breath"))
            for (int k = 0; k < 2; ++k)
                if (a.aux.rfind(k == 0 ? "ann1" : "ann2", 0) == 0) breaths[k].push_back(double(a.time) / rec.header.fs);
        const std::vector<int> held = run(rec, 180.0);
        ASSERT_EQ(held.size(), 180u) << name;
        for (double start : {15.0, 75.0}) {
            // Reference per annotator: 60 (breaths - 1) / (first to last) in the minute.
            double error = 1e9, sum = 0.0;
            int rated = 0;
            for (size_t s = size_t(start); s < size_t(start) + 60; ++s) held[s] > 0 ? (sum += held[s], ++rated) : 0;
            ASSERT_GT(rated, 50) << name << " " << start;
            for (const auto &b : breaths) {
                std::vector<double> in;
                for (double t : b) if (t >= start && t < start + 60) in.push_back(t);
                if (in.size() >= 2) error = std::min(error, std::fabs(sum / rated - 60.0 * double(in.size() - 1) / (in.back() - in.front())));
            }
            EXPECT_LT(error, 1.5) << name << " minute at " << start;  // below 0.5 over the whole records
        }
    }
}

}  // namespace
