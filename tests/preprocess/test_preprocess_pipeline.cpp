// The frame pipeline: dead band, derived limb leads, lead-off debounce and validity window, status
// delay, analysis steps, the analysis chain, pace pulses and the step and noise steps in the chain.
#include <memory>
#include <string>
#include <vector>

#include "heart_rate/hr_calc.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "tessivar/fir_filter.h"

namespace tessivar::test {
namespace {

TEST_F(FrontEnd, DeadBandTruncatesThenShrinksTowardZero)
{
    const double cases[][3] = {
        // x, g_sub_uv, output: truncate, then 3 toward 0 (0 inside +-3).
        {2.9, 3, 0},  {10.7, 3, 7}, {-10.7, 3, -7}, {3.0, 3, 0},  {3.99, 3, 0},
        {-3.99, 3, 0}, {4.0, 3, 1}, {-4.0, 3, -1},  {-0.5, 0, 0}, {1.0, 0, 1},
    };
    for (const auto &c : cases) {
        setSubUv(int(c[1]));
        EXPECT_EQ(correctValue(monitor(), c[0]), int(c[2])) << c[0] << " band " << c[1];
    }
    EXPECT_EQ(correctValue(monitor(), 1e12), 2147483647);  // saturates
}

TEST_F(FrontEnd, DerivedLimbLeadsTruncateTowardZero)
{
    const struct { int leadI, leadII, subUv, out[6]; } cases[] = {  // out: I, II, III, aVR, aVL, aVF
        // III = II - I, aVR = -(I + II) / 2, aVL = I - II / 2, aVF = II - I / 2.
        {100, 300, 0, {100, 300, 200, -200, -50, 250}},
        {101, 0, 0, {101, 0, -101, -50, 101, -50}},  // -101 / 2 = -50 toward zero
        {-101, -1, 0, {-101, -1, 100, 51, -101, 49}},
        // Band 3: I 97, II 297; III 200 -> 197, aVR -197 -> -194, aVL -51 -> -48, aVF 249 -> 246.
        {100, 300, 3, {97, 297, 197, -194, -48, 246}},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(start(defaultConf("3", "SL")), 0);
        setSubUv(c.subUv);
        const std::vector<int> out = run(frames(1, {0, c.leadI, c.leadII}));
        for (int id = 0; id < 6; ++id) EXPECT_EQ(out[size_t(1 + id)], c.out[id]) << c.leadI << "," << c.leadII << " lead " << id;
    }
    // III as an input keeps its samples while a limb electrode is off.
    ASSERT_EQ(start(defaultConf("3", "SLT")), 0);
    setSubUv(0);
    const std::vector<int> out = run(frames(1, {0x2, 100, 300, 222}));
    EXPECT_EQ(std::vector<int>(out.begin() + 1, out.begin() + 7), (std::vector<int>{100, 300, 222, 0, 0, 0}));
}

// ---- lead-off debounce and the validity window ------------------------------------

TEST(LeadOffDebounce, APatternMustLastTenFrames)
{
    auto m = std::make_unique<Monitor>();
    // The output on the last call of each run, and on the others.
    const struct { int32_t status; int repeat; int32_t lastOut, restOut; } runs[] = {
        {0x4 | 0x4000, 9, 0x4000, 0x4000},  // 9 frames: never reported
        {0, 20, 0, 0},
        {0x4, 10, 0x4, 0},                  // the 10th frame reports it
        {0x100000, 10, 0x100000, 0x100004}, // reported until 0 has lasted 10
        {0x8, 5, 0, 0},
        {0x18, 10, 0x18, 0},                // a changed pattern counts again
    };
    for (const auto &r : runs)
        for (int k = 0; k < r.repeat; ++k)
            EXPECT_EQ(debonce_lead_statu(*m, r.status), k + 1 == r.repeat ? r.lastOut : r.restOut) << std::hex << r.status << " " << k;
}

TEST_F(FrontEnd, LeadValidityChangesOncePer1000Frames)
{
    // V1 (500 uV) off on 100..109 (10 frames: reported 109..118) and 3000..3008 (9: never); the
    // window recomputed at frame 999 holds the reported frames, the one at 1999 not.
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    const auto off = [](int n) { return (n >= 100 && n <= 109) || (n >= 3000 && n <= 3008); };
    const std::vector<int> out = run(frames(4200, [&](int n, int *f) { f[0] = off(n) ? 0x4 : 0, f[1] = 1000, f[2] = 2000, f[3] = 500; }));
    for (int n = 0; n < 4200; ++n) {
        ASSERT_EQ(word(out, n, 1 + 6), n >= 999 && n < 1999 ? 0 : 500) << n;
        ASSERT_EQ(word(out, n, 0), off(n) ? 0x4 : 0) << n;
        ASSERT_EQ(word(out, n, 1), 1000) << n;
    }
}

// ---- analysis steps ----------------------------------------------------------------

TEST_F(FrontEnd, AnalysisRunsAtAThousandStepsPerSecond)
{
    // The respiration word is written on analysis steps only: countdown fs / 1000 - 1, every frame
    // at 1000 Hz, every second at 2000, third at 3000; at 500 Hz (-1) only the first (set on the state).
    const int rates[][2] = {{1000, 1}, {2000, 2}, {3000, 3}, {500, 0}};
    for (const auto &r : rates) {
        ASSERT_EQ(start(defaultConf("3", "SLR", r[0] == 2000 ? 2000 : 1000)), 0);
        state().fs = r[0];
        const std::vector<int> out = run(frames(12, [](int, int *f) { f[3] = 321; }));
        for (int n = 0; n < 12; ++n)
            EXPECT_EQ(word(out, n, 7) != kUnwritten, r[1] == 0 ? n == 0 : n % r[1] == 0) << r[0] << " frame " << n;
    }
}

TEST_F(FrontEnd, AnalysisChainStepsItsCombOnceWhateverTheDisplayShows)
{
    // The analysis chain's fixed 50 Hz comb steps once per sample: heart rate sees the same II under "50" and "60".
    std::vector<std::vector<int32_t>> analysed;
    for (const char *line : {"50", "60"}) {
        ASSERT_EQ(start(defaultConf("3", "SLR")), 0);
        ASSERT_EQ(ecgPreprocessSetFilter("0.05", line, "35"), 0);
        run(frames(3000, [](int n, int *f) { f[2] = (n % 700 < 40 ? 1000 : 0) + 300 * (n % 17) + (n > 1500 ? 2000 : 0); }));
        const SingleLeadBuff &r = state().leadBuffs[1];  // only the fixed comb
        EXPECT_TRUE(!r.hrFilter[kBase] && !r.hrFilter[kEmg] && r.hrFilter[kLine] && std::string(r.hrFilter[kLine]->name) == "trap_50");
        const int32_t *ring = hrCalcState().leadBuf[1].samples;
        analysed.emplace_back(ring, ring + 3000);
    }
    EXPECT_EQ(analysed[0], analysed[1]);
    // Method 2 analyses the display output itself.
    PreprocessConf conf = defaultConf("3", "SL");
    conf.qrsMethod = 2;
    ASSERT_EQ(start(conf), 0);
    const std::vector<int> out = run(frames(500, [](int n, int *f) { f[2] = 300 * (n % 17) - 2000; }));
    for (int n = 0; n < 500; ++n) ASSERT_EQ(hrCalcState().leadBuf[1].samples[n], word(out, n, 2)) << n;
}

// ---- pace pulses in the chain ----------------------------------------------------------

// A FIR that only delays by d samples (2d + 1 taps, 1 in the middle); its
// reported delay is d.
struct DelayFir {
    explicit DelayFir(int d) : taps(size_t(2 * d + 1), 0.0) { taps[size_t(d)] = 1.0; }
    void install(int lead) { state().leadBuffs[lead].dispFilter[kEmg] = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf)); }
    std::vector<double> taps;
    FirFilterConf conf{SIGNAL_FILTER_FIR, "delay", nullptr, 1.0, taps.data(), int32_t(taps.size())};
};

TEST_F(FrontEnd, PacePulseIsCutBeforeFilteringAndItsMarkerFollowsTheFilterDelay)
{
    // 3 ms after the mark, 2 before: the spike on sample 300 is bridged over 299..302; its marker leaves
    // the 100-sample delay line on 399..402, behind the display delay 5 on 404..407. Normalised
    // (paceInhib 1): 200 -> 300, 1500 -> 1000, 40 -> 0. Without removal the spike reaches frame 305.
    // Noise suppression adds its 40-sample delay to the marker's and the status word's.
    const struct { int paceFilter, spike, paceInhib, marker, fuzz = 0; } cases[] = {
        {1, 800, 0, 800}, {1, 1500, 0, 1500}, {1, 200, 1, 300}, {1, 1500, 1, 1000}, {1, 800, 1, 800},
        {1, 40, 1, 0},    {0, 800, 0, 800},   {1, 800, 0, 800, 1}};
    DelayFir fir(5);
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.paceFilter) + "/" + std::to_string(c.spike) + "/" + std::to_string(c.paceInhib));
        PreprocessConf conf = defaultConf("3", "SL");
        conf.paceFilter = c.paceFilter;
        conf.paceInhib = c.paceInhib;
        conf.paceRemoveMs = 3;
        ASSERT_EQ(start(conf), 0);
        ASSERT_EQ(ecgPreprocessSetFuzzFilter(c.fuzz), 0);
        for (int i = 0; i < state().leadBufCount; ++i) fir.install(i);
        _update_all_delay(monitor());
        const int late = 40 * c.fuzz;
        ASSERT_EQ(getCurTotalDelay(), (c.paceFilter ? 105 : 5) + late);
        log.clear();
        const std::vector<int> out =
            run(frames(600, [&](int n, int *f) { f[0] = n == 300 ? 0x4000 : 0, f[1] = 1000 + (n == 300 ? c.spike : 0); }));
        for (int n = 100; n < 600; ++n) {  // the noise steps' ring fills first
            const bool spike = c.paceFilter ? n >= 404 + late && n <= 407 + late : n == 305;
            ASSERT_EQ(word(out, n, 1), spike ? 1000 + c.marker : 1000) << n;
            ASSERT_EQ(word(out, n, 2), 0) << n;  // no residual on II: a 0 marker
            ASSERT_EQ(word(out, n, 0), n == (c.paceFilter ? 405 + late : 305) ? 0x4000 : 0) << n;
        }
        EXPECT_EQ(log.count("[E]"), 0);
    }
}

// ---- step detector and noise steps in the chain -----------------------------------------

TEST_F(FrontEnd, BaselineStepRestartsTheFilters)
{
    // Lead I minus the mean of its last 8000 samples: a 40 mV step at 1500 is found 490 samples later
    // and the filters restart on the current level (output 0); a 30 mV step is no baseline step.
    const AvgFilterConf avg = {SIGNAL_FILTER_AVG, "long hp", nullptr, 8000};
    for (int h : {40000, 30000}) {
        ASSERT_EQ(start(defaultConf("3", "SL")), 0);
        SignalFilter *&hp = state().leadBuffs[0].dispFilter[kBase];
        hp = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&avg));
        setSignalFilterDelay(hp, 0);
        const std::vector<int> out = run(frames(2500, [&](int n, int *f) { f[1] = n >= 1500 ? h : 0; }));
        for (int n = 0; n < 1500; ++n) ASSERT_EQ(word(out, n, 1), 0) << n;
        EXPECT_GT(word(out, 1989, 1), 20000);
        for (int n = 1990; n < 2500; ++n) {
            if (h == 40000)
                ASSERT_EQ(word(out, n, 1), 0) << n;
            else
                ASSERT_GT(word(out, n, 1), 15000) << n;
        }
    }
}

TEST_F(FrontEnd, NoiseStepsShareOneCounterInTheChain)
{
    // 1000 uV, N 10, L 31. Both steps advance one counter: sample k reaches the smoother as count 2k - 1,
    // its first output (count 63, sample 32) is the stored 1000; the holder adds 10: from frame 41.
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 40);
    const std::vector<int> out = run(frames(200, [](int, int *f) { f[1] = 1000; }));
    for (int n = 0; n < 200; ++n) ASSERT_EQ(word(out, n, 1), n >= 41 ? 1000 : 0) << n;
}

}  // namespace
}  // namespace tessivar::test
