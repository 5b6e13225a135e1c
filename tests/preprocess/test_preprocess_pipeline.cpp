// The frame pipeline: dead band, derived limb leads, lead-off debounce and
// validity window, status delay, analysis steps per rate, pace pulses and
// the step and noise steps in the chain. Counts are microvolts (lsbMv 1000)
// and the dead band is 0 unless a test says otherwise.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "heart_rate/hr_calc.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "tessivar/fir_filter.h"

namespace {

using tessivar::monitor;
using tessivar::test::FrontEnd;
using tessivar::test::HostRecord;
using tessivar::test::defaultConf;

// Frames from a generator: gen(n, frame) fills frame n (getCurInFrame words).
std::vector<int> frames(int n, const std::function<void(int, int *)> &gen)
{
    const int size = getCurInFrame();
    std::vector<int> in(size_t(n) * size_t(size), 0);
    for (int k = 0; k < n; ++k) gen(k, &in[size_t(k) * size_t(size)]);
    return in;
}

int word(const std::vector<int> &out, int frame, int w) { return out[size_t(frame) * size_t(getCurOutFrame()) + size_t(w)]; }

// ---- dead band and derived leads ------------------------------------------------

TEST_F(FrontEnd, DeadBandTruncatesThenShrinksTowardZero)
{
    tessivar::Monitor &m = monitor();
    setSubUv(3);
    const double cases[][2] = {{2.9, 0}, {10.7, 7}, {-10.7, -7}, {3.0, 0}, {3.99, 0}, {-3.99, 0}, {4.0, 1}, {-4.0, -1}};
    for (const auto &c : cases) EXPECT_EQ(tessivar::correctValue(m, c[0]), int(c[1])) << c[0];
    setSubUv(0);
    EXPECT_EQ(tessivar::correctValue(m, -0.5), 0);
    EXPECT_EQ(tessivar::correctValue(m, 1.0), 1);
    EXPECT_EQ(tessivar::correctValue(m, 1e12), 2147483647);
}

struct LimbCase {
    int leadI, leadII, subUv;
    int out[6];  // I, II, III, aVR, aVL, aVF
};

TEST_F(FrontEnd, DerivedLimbLeadsTruncateTowardZero)
{
    const LimbCase cases[] = {
        // III = II - I, aVR = -(I + II) / 2, aVL = I - II / 2, aVF = II - I / 2.
        {100, 300, 0, {100, 300, 200, -200, -50, 250}},
        // -(101 + 0) / 2 = -50 (toward zero), 0 - 101 / 2 = -50.
        {101, 0, 0, {101, 0, -101, -50, 101, -50}},
        {-101, -1, 0, {-101, -1, 100, 51, -101, 49}},
        // With the dead band 3: I = 97, II = 297 after it; III = 200 -> 197,
        // aVR = -394 / 2 = -197 -> -194, aVL = 97 - 148 = -51 -> -48,
        // aVF = 297 - 48 = 249 -> 246.
        {100, 300, 3, {97, 297, 197, -194, -48, 246}},
    };
    for (const LimbCase &c : cases) {
        ASSERT_EQ(start(defaultConf("3", "SL")), 0);
        setSubUv(c.subUv);
        const std::vector<int> out = run(frames(1, [&](int, int *f) {
            f[1] = c.leadI;
            f[2] = c.leadII;
        }));
        for (int id = 0; id < 6; ++id) EXPECT_EQ(out[size_t(1 + id)], c.out[id]) << c.leadI << "," << c.leadII << " lead " << id;
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

// ---- lead-off debounce and the validity window --------------------------------------

TEST(LeadOffDebounce, APatternMustLastTenFrames)
{
    auto m = std::make_unique<tessivar::Monitor>();
    // 9 frames of V1 off, then on: never reported.
    for (int k = 0; k < 9; ++k) EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x4 | 0x4000), 0x4000);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0), 0);
    // 10 frames: reported from the 10th, and until 0 has lasted 10 frames.
    for (int k = 0; k < 9; ++k) EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x4), 0) << k;
    EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x4), 0x4);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x100000), 0x100004) << k;
    EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x100000), 0x100000);
    // A change of pattern restarts the count.
    for (int k = 0; k < 5; ++k) tessivar::debonce_lead_statu(*m, 0x8);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x18), 0) << k;
    EXPECT_EQ(tessivar::debonce_lead_statu(*m, 0x18), 0x18);
}

TEST_F(FrontEnd, LeadValidityChangesOncePer1000Frames)
{
    // Five wires: I = 1000, II = 2000, V1 = 500 uV. V1 off on frames 100..109
    // (10 frames: reported 109..118) and on 3000..3008 (9 frames: never).
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    const std::vector<int> out = run(frames(4200, [](int n, int *f) {
        f[0] = (n >= 100 && n <= 109) || (n >= 3000 && n <= 3008) ? 0x4 : 0;
        f[1] = 1000;
        f[2] = 2000;
        f[3] = 500;
    }));
    for (int n = 0; n < 4200; ++n) {
        // The window recomputed at frame 999 holds the reported frames, the
        // one at 1999 no longer does.
        const int v1 = n >= 999 && n < 1999 ? 0 : 500;
        ASSERT_EQ(word(out, n, 1 + 6), v1) << n;
        ASSERT_EQ(word(out, n, 0), (n >= 100 && n <= 109) || (n >= 3000 && n <= 3008) ? 0x4 : 0) << n;
        ASSERT_EQ(word(out, n, 1), 1000) << n;
    }
}

TEST_F(FrontEnd, LimbElectrodeOffZeroesTheDerivedLeads)
{
    // Electrode of I (bit 0) off on frames 100..149: reported 109..158, so I
    // is invalid from frame 999 to 1998. On the frames whose own status has
    // the bit, III ... aVF are 0 while I and II keep running.
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    const std::vector<int> out = run(frames(2100, [](int n, int *f) {
        f[0] = n >= 100 && n < 150 ? 0x1 : 0;
        f[1] = 100;
        f[2] = 300;
    }));
    for (int n = 0; n < 2100; ++n) {
        const bool limbOff = n >= 100 && n < 150;
        const bool leadIOff = n >= 999 && n < 1999;
        const int i = leadIOff ? 0 : 100;
        ASSERT_EQ(word(out, n, 1), i) << n;
        ASSERT_EQ(word(out, n, 2), 300) << n;
        const int expected[4] = {300 - i, -(i + 300) / 2, i - 150, 300 - i / 2};
        for (int k = 0; k < 4; ++k) ASSERT_EQ(word(out, n, 3 + k), limbOff ? 0 : expected[k]) << n << " " << k;
    }
}

TEST_F(FrontEnd, LeadIIIAsAnInputKeepsItsSamplesWhenALimbIsOff)
{
    ASSERT_EQ(start(defaultConf("3", "SLT")), 0);
    const std::vector<int> out = run(frames(1, [](int, int *f) {
        f[0] = 0x2;
        f[1] = 100;
        f[2] = 300;
        f[3] = 222;
    }));
    EXPECT_EQ(std::vector<int>(out.begin() + 1, out.begin() + 7), (std::vector<int>{100, 300, 222, 0, 0, 0}));
}

// ---- status word -------------------------------------------------------------

TEST_F(FrontEnd, OutputStatusHasCurrentLeadOffAndDelayedOtherBits)
{
    // Without delay the status passes through unchanged.
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    std::vector<int> out = run(frames(3, [](int n, int *f) { f[0] = n == 1 ? 0x184004 : 0; }));
    EXPECT_EQ(word(out, 1, 0), 0x184004);
    EXPECT_EQ(word(out, 2, 0), 0);
    ASSERT_EQ(ecgPreprocessDenit(), 0);

    // With pace removal (100 samples): pace and other bits 100 frames later,
    // lead-off bits at once.
    PreprocessConf conf = defaultConf("5", "SL");
    conf.paceFilter = 1;
    ASSERT_EQ(start(conf), 0);
    ASSERT_EQ(getCurTotalDelay(), 100);
    out = run(frames(400, [](int n, int *f) {
        f[0] = n == 200 ? 0x4000 | 0x8 : n == 250 ? 0x100000 : 0;
    }));
    for (int n = 0; n < 400; ++n) {
        const int expected = (n == 200 ? 0x8 : 0) | (n == 300 ? 0x4000 : 0) | (n == 350 ? 0x100000 : 0);
        ASSERT_EQ(word(out, n, 0), expected) << n;
    }
}

// ---- analysis steps per rate ------------------------------------------------------

TEST_F(FrontEnd, AnalysisRunsAtAThousandStepsPerSecond)
{
    // The respiration word is written on analysis steps only: every frame at
    // 1000 Hz, every second at 2000, every third at 3000; at 500 Hz the
    // countdown (500 / 1000 - 1 = -1) never returns to 0 after the first.
    // (The interface takes 1000 and 2000 only; the other two are set on the
    // state to pin the countdown's arithmetic.)
    const int rates[][2] = {{1000, 1}, {2000, 2}, {3000, 3}, {500, 0}};
    for (const auto &r : rates) {
        ASSERT_EQ(start(defaultConf("3", "SLR", r[0] == 2000 ? 2000 : 1000)), 0);
        monitor().g_ecgPreprocess.fs = r[0];
        const std::vector<int> out = run(frames(12, [](int, int *f) { f[3] = 321; }));
        for (int n = 0; n < 12; ++n) {
            const bool step = r[1] == 0 ? n == 0 : n % r[1] == 0;
            EXPECT_EQ(word(out, n, 7) != FrontEnd::kUnwritten, step) << r[0] << " frame " << n;
        }
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

TEST_F(FrontEnd, AnalysisChainIgnoresTheDisplayLineChoice)
{
    // The display's 60 Hz comb is stepped three times per sample at 1000
    // Hz; the analysis chain's fixed 50 Hz comb is stepped once whatever the
    // display shows, so the heart-rate lead's samples are the same under
    // "50" and "60".
    std::vector<std::vector<int32_t>> analysed;
    for (const char *line : {"50", "60"}) {
        ASSERT_EQ(start(defaultConf("3", "SLR")), 0);
        ASSERT_EQ(ecgPreprocessSetFilter("0.05", line, "35"), 0);  // no combined comb: "60" stays 60
        run(frames(3000, [](int n, int *f) { f[2] = (n % 700 < 40 ? 1000 : 0) + 300 * (n % 17) + (n > 1500 ? 2000 : 0); }));
        const int32_t *ring = tessivar::hrCalcState().leadBuf[1].samples;
        analysed.emplace_back(ring, ring + 3000);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    EXPECT_EQ(analysed[0], analysed[1]);
}

TEST_F(FrontEnd, RespirationLeadOffWritesZeroAndReportsNoRate)
{
    // Lead II off (bit 1) from the start: after the window at 999 the
    // respiration word is 0 and every analysis step reports -1.
    ASSERT_EQ(start(defaultConf("3", "SLR")), 0);
    const std::vector<int> out = run(frames(1010, [](int, int *f) {
        f[0] = 0x2;
        f[3] = 321;
    }));
    EXPECT_EQ(word(out, 998, 7), 0);  // the channel's display value: a constant impedance has no breathing
    for (int n = 999; n < 1010; ++n) EXPECT_EQ(word(out, n, 7), 0);
    EXPECT_EQ(HostRecord::get().count("resp:-1"), 11);
    EXPECT_EQ(getCurRespRate(), -1);
}

TEST_F(FrontEnd, DegenerateRatesAndResolutionsDoNotCrash)
{
    // Rates the front end does not support and resolutions of 0 or below
    // are refused at the interface; set on the state behind its back, the
    // frames are still processed without undefined arithmetic (the noise
    // rings are clamped, conversions saturate).
    const int cases[][2] = {{0, 1000}, {-1000, 1000}, {1000000, 1000}, {1000, 0}, {2000, -5}};
    for (const auto &c : cases) {
        PreprocessConf conf = defaultConf("5", "SLR");
        conf.paceFilter = 1;
        conf.paceInhib = 1;
        ASSERT_EQ(start(conf), 0);
        conf.fs = c[0];
        conf.lsbMv = c[1];
        EXPECT_EQ(start(conf), -1);
        monitor().g_ecgPreprocess.fs = c[0];
        monitor().g_ecgPreprocess.lsbMv = c[1];
        ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
        int rc = 0;
        run(frames(300, [](int n, int *f) {
            f[0] = n % 50 == 0 ? 0x4000 : 0;
            f[1] = n % 7 == 0 ? 2147483647 : -2147483647 - 1;
            f[2] = n * 1000;
            f[3] = 0;
            f[4] = -n;
        }), &rc);
        EXPECT_EQ(rc, 300) << c[0] << "/" << c[1];
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

// ---- pace pulses in the chain -----------------------------------------------------------

// A FIR that only delays by d samples (2d + 1 taps, 1 in the middle): it
// reports the delay d.
struct DelayFir {
    explicit DelayFir(int d) : taps(size_t(2 * d + 1), 0.0) { taps[size_t(d)] = 1.0; }
    FirFilterConf conf() const
    {
        return FirFilterConf{SIGNAL_FILTER_FIR, "delay", nullptr, 1.0, taps.data(), int32_t(taps.size())};
    }
    std::vector<double> taps;
};

struct PaceCase {
    int spike, paceInhib, marker;
};

TEST_F(FrontEnd, PacePulseIsCutBeforeFilteringAndItsMarkerFollowsTheFilterDelay)
{
    // 1000 Hz, 3 ms after the mark (3 samples) and 2 before. Lead I: 1000 uV
    // with a spike on sample 300, which carries the pace mark. The remover
    // bridges samples 299..302 with the line 1000 -> 1000 and measures the
    // residual (the spike). Its marker leaves the remover on calls 399..402
    // (the bridged samples' place after the 100-sample delay line); the
    // display filter delays the signal by 5 more, and the marker with it:
    // output frames 404..407 show 1000 + marker, every other frame 1000.
    // Normalisation (paceInhib 1) makes 200 -> 300, 1500 -> 1000, 40 -> 0.
    const PaceCase cases[] = {{800, 0, 800}, {1500, 0, 1500}, {200, 1, 300}, {1500, 1, 1000}, {800, 1, 800}, {40, 1, 0}};
    const DelayFir fir(5);
    for (const PaceCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.spike) + "/" + std::to_string(c.paceInhib));
        PreprocessConf conf = defaultConf("3", "SL");
        conf.paceFilter = 1;
        conf.paceInhib = c.paceInhib;
        conf.paceRemoveMs = 3;
        ASSERT_EQ(start(conf), 0);
        tessivar::Monitor &m = monitor();
        const FirFilterConf firConf = fir.conf();
        for (int i = 0; i < m.g_ecgPreprocess.leadBufCount; ++i)
            m.g_ecgPreprocess.leadBuffs[i].dispFilter[tessivar::kEmg] =
                newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&firConf));
        tessivar::_update_all_delay(m);
        ASSERT_EQ(getCurTotalDelay(), 105);
        log.clear();

        const std::vector<int> out = run(frames(600, [&](int n, int *f) {
            f[0] = n == 300 ? 0x4000 : 0;
            f[1] = 1000 + (n == 300 ? c.spike : 0);
            f[2] = 0;
        }));
        for (int n = 0; n < 600; ++n) {
            ASSERT_EQ(word(out, n, 1), n >= 404 && n <= 407 ? 1000 + c.marker : 1000) << n;
            ASSERT_EQ(word(out, n, 2), 0) << n;  // no residual on II: a 0 marker
            // The pace bit itself comes out 105 frames later, inside the marker.
            ASSERT_EQ(word(out, n, 0), n == 405 ? 0x4000 : 0) << n;
        }
        EXPECT_EQ(log.count("[E]"), 0);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

TEST_F(FrontEnd, WithoutPaceRemovalTheSpikeGoesThroughTheFilter)
{
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    const DelayFir fir(5);
    const FirFilterConf firConf = fir.conf();
    tessivar::Monitor &m = monitor();
    m.g_ecgPreprocess.leadBuffs[0].dispFilter[tessivar::kEmg] =
        newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&firConf));
    tessivar::_update_all_delay(m);
    const std::vector<int> out = run(frames(400, [](int n, int *f) {
        f[0] = n == 300 ? 0x4000 : 0;
        f[1] = 1000 + (n == 300 ? 800 : 0);
    }));
    for (int n = 0; n < 400; ++n) ASSERT_EQ(word(out, n, 1), n == 305 ? 1800 : 1000) << n;
}

// ---- step detector and noise steps in the chain -----------------------------------------

TEST_F(FrontEnd, BaselineStepRestartsTheFilters)
{
    // A long moving-average high-pass (x minus the mean of the last 8000
    // samples) on lead I. The first sample primes it
    // at 0. A 40 mV step at frame 1500 is found when it lies 490 samples
    // back (frame 1990): the filters restart on the current level and the
    // high-pass output is 0 at once. A 30 mV step is no baseline step: the
    // high-pass keeps decaying.
    const int heights[] = {40000, 30000};
    const AvgFilterConf avg = {SIGNAL_FILTER_AVG, "long hp", nullptr, 8000};
    for (int h : heights) {
        ASSERT_EQ(start(defaultConf("3", "SL")), 0);
        tessivar::Monitor &m = monitor();
        SignalFilter *&hp = m.g_ecgPreprocess.leadBuffs[0].dispFilter[tessivar::kBase];
        hp = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&avg));
        setSignalFilterDelay(hp, 0);  // x - mean, as the selection runs it
        const std::vector<int> out = run(frames(2500, [&](int n, int *f) { f[1] = n >= 1500 ? h : 0; }));
        for (int n = 0; n < 1500; ++n) ASSERT_EQ(word(out, n, 1), 0) << n;
        EXPECT_GT(word(out, 1989, 1), 20000);
        for (int n = 1990; n < 2500; ++n) {
            if (h == 40000)
                ASSERT_EQ(word(out, n, 1), 0) << n;
            else
                ASSERT_GT(word(out, n, 1), 15000) << n;
        }
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

TEST_F(FrontEnd, NoiseStepsShareOneCounterInTheChain)
{
    // Constant 1000 uV with the noise steps on at 1000 Hz (N = 10, L = 31).
    // Both steps advance one counter, so sample k (from 1) reaches the
    // smoother as count 2k - 1: its first output (at count 63, sample 32) is
    // the stored input 1000, because the unfilled maxima still read 0. The
    // holder returns the smoother's output of 10 samples earlier: 1000 from
    // sample 42, i.e. frame 41.
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 40);
    const std::vector<int> out = run(frames(200, [](int, int *f) { f[1] = 1000; }));
    for (int n = 0; n < 200; ++n) ASSERT_EQ(word(out, n, 1), n >= 41 ? 1000 : 0) << n;
}

}  // namespace
