// Respiration behind the front end: the simulator's breathing read back,
// a flat channel, a respiration lead that comes and goes every second, and
// cardiac artefact raising the host's "beatNoise" status.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "resp/resp.hpp"
#include "tessivar/ecg_preprocess.h"
#include "tessivar/resp.h"

namespace {

using namespace tessivar::records;

// What the host saw: respiration rates and "beatNoise" values, with the
// number of frames processed before the block that raised them.
struct Host {
    std::vector<std::pair<long, int>> rates;
    std::vector<std::pair<long, std::string>> beatNoise;
    long frame = 0;
};
Host g_host;

class RespFrontEnd : public ::testing::Test {
protected:
    void SetUp() override { g_host = Host{}; }
    void TearDown() override { ecgPreprocessDenit(); }

    // Starts the front end for the layout of a simulated 12-lead record
    // with respiration and returns the frames of `seconds` of it.
    std::vector<int32_t> start(double perMinute, double seconds)
    {
        SimOptions o;
        o.seconds = seconds;
        o.respRate = perMinute;
        o.heartRate = 72.0;
        o.seed = uint32_t(perMinute * 10);
        const Simulation sim = simulate(o);
        layout_ = chooseLayout(sim.record, {}, "");
        wire_ = layout_.wireType;
        data_ = layout_.dataType;
        PreprocessConf conf{};
        conf.fs = 1000;
        conf.lsbMv = 1000;
        conf.wireType = wire_.c_str();
        conf.dataType = data_.c_str();
        conf.hrLead = "II";
        conf.respLead = "II";
        conf.printFunc = [](const char *) {};
        conf.onRespRate = [](int rate) { g_host.rates.emplace_back(g_host.frame, rate); };
        conf.onStatus = [](const char *key, const char *value) {
            if (std::string(key) == "beatNoise") g_host.beatNoise.emplace_back(g_host.frame, value);
        };
        EXPECT_EQ(ecgPreprocessInit(&conf), 0);
        EXPECT_EQ(getCurInFrame(), int(1 + layout_.channelLead.size() + 1));
        return buildFrames(sim.record, layout_, 1000, 1000, 1000.0, -1);
    }

    // Runs the frames one second at a time; after each second calls
    // perSecond(second) and records getCurRespRate().
    template <class F>
    std::vector<int> run(const std::vector<int32_t> &frames, F perSecond)
    {
        const int inWords = getCurInFrame(), outWords = getCurOutFrame();
        std::vector<int> out(size_t(outWords) * 1000), held;
        const long seconds = long(frames.size()) / inWords / 1000;
        for (long s = 0; s < seconds; ++s) {
            g_host.frame = s * 1000;
            ecgPreprocessDoPreprocess(1000, frames.data() + s * 1000 * inWords, out.data());
            perSecond(s);
            held.push_back(getCurRespRate());
        }
        return held;
    }
    std::vector<int> run(const std::vector<int32_t> &frames)
    {
        return run(frames, [](long) {});
    }

    FrameLayout layout_;
    std::string wire_, data_;
};

TEST_F(RespFrontEnd, SimulatedBreathingIsReadBack)
{
    // After 60 s every second holds the simulator's rate within 1.
    for (double perMinute : {10.0, 15.0, 20.0, 30.0}) {
        SetUp();
        const std::vector<int> held = run(start(perMinute, 90.0));
        ASSERT_EQ(held.size(), 90u);
        for (size_t s = 60; s < held.size(); ++s) ASSERT_NEAR(held[s], perMinute, 1.0) << perMinute << " at " << s;
        ASSERT_FALSE(g_host.rates.empty());
        // 15 s of band signal first: the 15000th frame is the last of the
        // block starting at 14000.
        EXPECT_GE(g_host.rates.front().first, 14000) << perMinute;
        ecgPreprocessDenit();
    }
}

TEST_F(RespFrontEnd, FlatChannelReportsZeroEverySecond)
{
    std::vector<int32_t> frames = start(15.0, 10.0);
    const int inWords = getCurInFrame();
    for (size_t f = 0; f < frames.size() / size_t(inWords); ++f) frames[(f + 1) * size_t(inWords) - 1] = 0;
    run(frames);
    // The first analysis step starts the channel; six seconds later, and
    // every second after, rate 0 reaches the host.
    std::vector<std::pair<long, int>> expected;
    for (long s = 5; s < 10; ++s) expected.emplace_back(s * 1000, 0);
    EXPECT_EQ(g_host.rates, expected);
    EXPECT_EQ(getCurRespRate(), 0);
}

TEST_F(RespFrontEnd, LeadComingAndGoingEverySecond)
{
    // Lead II off in every odd second. The front end judges validity once
    // per 1000 frames over the last 999 (debounced) frames, so from the
    // first check on the lead counts as off: the host only ever sees -1,
    // and the flag is only lowered.
    std::vector<int32_t> frames = start(15.0, 60.0);
    const size_t inWords = size_t(getCurInFrame());
    for (size_t f = 0; f < frames.size() / inWords; ++f)
        if ((f / 1000) % 2 == 1) frames[f * inWords] |= 0x2;
    const std::vector<int> held = run(frames);
    ASSERT_FALSE(g_host.rates.empty());
    for (const auto &r : g_host.rates) ASSERT_EQ(r.second, -1) << r.first;
    EXPECT_EQ(held[59], -1);
    ASSERT_FALSE(g_host.beatNoise.empty());
    for (const auto &b : g_host.beatNoise) ASSERT_EQ(b.second, "false");
}

TEST_F(RespFrontEnd, CardiacArtefactRaisesBeatNoise)
{
    // The impedance carries only the heartbeat (1.2 Hz at 72 per minute):
    // the strongest band peaks sit at the heart-rate bin, so three hits
    // raise "beatNoise" once; breathing afterwards lowers it again.
    std::vector<int32_t> frames = start(15.0, 60.0);
    const size_t inWords = size_t(getCurInFrame());
    for (size_t f = 0; f < frames.size() / inWords; ++f) {
        const double t = double(f) / 1000.0;
        const double v = t < 30.0 ? 200.0 * std::sin(2 * M_PI * 1.2 * t) : 250.0 * std::sin(2 * M_PI * 0.3 * t);
        frames[(f + 1) * inWords - 1] = int32_t(std::lround(v));
    }
    run(frames, [](long s) {
        if (s == 0) onHrChangedResp(72);  // heart rate as the heart-rate module reports it
    });
    std::vector<std::string> changes;
    for (const auto &b : g_host.beatNoise)
        if (changes.empty() || changes.back() != b.second) changes.push_back(b.second);
    EXPECT_EQ(changes, (std::vector<std::string>{"false", "true", "false"}));
}

}  // namespace
