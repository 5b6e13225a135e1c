// Single-lead quality core: refusals, report timing per filter set, the
// ladders and their counting rules in the three modes, and the offline
// segment helpers. Filter gains and the emg impulse and sine
// figures come from tools/gen_sig_quality_reference.py
// (tests/data/sig_quality/reference.txt); the rest is hand arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/sig_quality_c.h"

namespace {

using tessivar::test::LogCapture;
using Signal = std::function<double(int)>;
using Ints = std::vector<int32_t>;
using Reports = std::vector<std::vector<int>>;  // {sampleCount then, delay, status, score}
constexpr const char *kBadInput = "Input parameter exception.";
Reports g_reports;
const SignalQuality *g_current = nullptr;

SignalQualityConf conf(int fs, int windowMs = 0, int stepMs = 0, int saveCpu = 0)
{
    SignalQualityConf c{};
    c.name = "lead";
    c.fs = fs;
    c.callback = [](const SignalQualityDesc d) {
        g_reports.push_back({int(g_current->sampleCount), int(d.delay), d.status, d.score});
    };
    c.detectWindowLen = windowMs;
    c.detectStepLen = stepMs;
    c.isSaveCpu = saveCpu;
    return c;
}

struct Scorer {
    explicit Scorer(const SignalQualityConf &c) : q(newSignalQuality(&c)) { g_reports.clear(); }
    ~Scorer() { delSignalQuality(&q); }
    void feed(int count, const Signal &x)
    {
        g_current = q;
        for (int i = 0; i < count; ++i, ++next)
            ASSERT_EQ(detectSignalQuality(q, int16_t(std::lround(std::fmax(-32768.0, std::fmin(32767.0, x(next)))))), 0);
    }
    SignalQuality *q;
    int next = 0;
};

double zero(int) { return 0.0; }
Signal constant(double c) { return [c](int) { return c; }; }
// 5000 plus a +-1000 Nyquist alternation: the low-passes see a 5000 step,
// the high-passes +-1000; both far above their top levels.
double loud(int n) { return 5000.0 + (n % 2 == 0 ? 1000.0 : -1000.0); }

std::map<std::string, double> reference()
{
    std::map<std::string, double> r;
    std::ifstream f(TESSIVAR_TEST_DATA "/sig_quality/reference.txt");
    for (std::string line; std::getline(f, line);)
        if (!line.empty() && line[0] != '#') r[line.substr(0, line.find_last_of(' '))] = std::stod(line.substr(line.find_last_of(' ')));
    return r;
}

TEST(SignalQualityCreate, RefusalsDefaultsAndLadders)
{
    LogCapture log;
    SignalQualityConf noName = conf(1000);
    noName.name = nullptr;
    // The last: over 10^6 samples.
    for (const SignalQualityConf &c : {noName, conf(1000, 100001), conf(0, 1000), conf(-1000, 2000),
                                       conf(10001, 100000, 500)})
        EXPECT_EQ(newSignalQuality(&c), nullptr) << c.fs << " " << c.detectWindowLen;
    EXPECT_EQ(newSignalQuality(nullptr), nullptr);
    EXPECT_EQ(delSignalQuality(nullptr), -1);
    EXPECT_EQ(initSignalQuality(nullptr), -1);
    EXPECT_EQ(detectSignalQuality(nullptr, 0), -1);
    EXPECT_EQ(log.count("[E]{sig_quality}"), 9);
    EXPECT_EQ(log.count(kBadInput), 9);
    SignalQuality *q = newSignalQuality(&(noName = conf(10000, 100000, 500)));  // the longest window
    EXPECT_EQ(delSignalQuality(&q), 0);
    EXPECT_EQ(q, nullptr);
    SignalQualityConf c = conf(1000);
    c.baseIntolerableThre = -3;  // 0 or less: default 1825
    Scorer s(c);
    EXPECT_EQ(s.q->windowLen, 2000);
    EXPECT_EQ(s.q->stepLen, 2000);
    // hand: base 65 + 1760 i / 9 (260.556 at 1, 1042.78 at 5), emg 32 + 45 i / 9
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(s.q->emgLevels[i], 32.0f + 5.0f * float(i)) << i;
    EXPECT_FLOAT_EQ(s.q->baseLevels[1], 260.55556f);
    EXPECT_FLOAT_EQ(s.q->baseLevels[5], 1042.7778f);
    EXPECT_FLOAT_EQ(s.q->baseLevels[9], 1825.0f);
    Scorer t(conf(250, 1500, 1000));  // hand: 1500 * 250 / 1000 = 375, 1000 * 250 / 1000 = 250
    EXPECT_EQ(t.q->windowLen, 375);
    EXPECT_EQ(t.q->stepLen, 250);
}

TEST(SignalQualityFilters, SetsDelaysAndBandEdgesFollowRateAndMode)
{
    // One window W of zeros, then one loud: reports at W - 1 with the delay
    // capped at W - 1, then at 2W - 1 with baseDelay + W and emgDelay + W.
    // Then the steady gain of each filter for a 1000-unit sine (2 s after
    // 10 s of settling) against |H| of the coefficient table (reference).
    const std::map<std::string, double> ref = reference();
    ASSERT_FALSE(ref.empty());
    const struct {
        const char *set;
        int fs, saveCpu, windowMs, baseDelay, emgDelay;
    } cases[] = {
        {"full1000", 1000, 0, 2000, 700, 40}, {"", 500, 0, 2000, 700, 40},        {"full125", 125, 0, 1000, 30, 1},
        {"eco1000", 1000, 1, 2000, 250, 5},   {"", 2000, 1, 2000, 250, 5},        {"eco125", 125, 1, 8000, 34, 1},
        {"eco128", 128, 1, 8000, 35, 1},      {"eco250", 250, 1, 4000, 65, 2},    {"eco256", 256, 1, 4000, 67, 2},
        {"eco500", 500, 1, 2000, 121, 4},     {"eco512", 512, 1, 2000, 125, 4},   {"eco1024", 1024, 1, 2000, 230, 5},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE("fs " + std::to_string(k.fs) + " saveCpu " + std::to_string(k.saveCpu));
        Scorer s(conf(k.fs, k.windowMs, 0, k.saveCpu));
        const int w = k.windowMs * k.fs / 1000;
        s.feed(w, zero);
        s.feed(w, loud);
        EXPECT_EQ(g_reports, (Reports{{w - 1, w - 1, 0, 0}, {w - 1, w - 1, 1, 0},
                                      {2 * w - 1, k.baseDelay + w, 0, 100}, {2 * w - 1, k.emgDelay + w, 1, 100}}));
        for (const auto &[kind, hz] : std::vector<std::pair<std::string, int>>{{"lp", 1}, {"lp", 5}, {"hp", 25}, {"hp", 10}}) {
            if (k.set[0] == 0) break;
            const std::string key = "gain " + std::string(k.set) + " " + kind + " " + std::to_string(hz);
            ASSERT_EQ(ref.count(key), 1u) << key;
            SignalFilter *f = kind == "lp" ? s.q->baseFilter : s.q->emgFilter;
            initSignalFilter(f);
            double energy = 0.0;
            for (int n = 0; n < 12 * k.fs; ++n) {
                const double y = doSignalFilter(f, 1000.0 * std::sin(2.0 * M_PI * hz * n / k.fs));
                if (n >= 10 * k.fs) energy += y * y;
            }
            EXPECT_NEAR(std::sqrt(energy / k.fs) / 1000.0, ref.at(key), 0.01 * ref.at(key) + 1e-6) << key;
        }
    }
}

TEST(SignalQualityScores, CleanSignalReportsOnceScoresSurviveClear)
{
    Scorer s(conf(1000));
    s.feed(20000, zero);
    EXPECT_EQ(g_reports, (Reports{{1999, 1999, 0, 0}, {1999, 1999, 1, 0}}));
    ASSERT_EQ(initSignalQuality(s.q), 0);
    EXPECT_EQ(s.q->sampleCount, 0u);
    g_reports.clear();
    s.feed(4000, zero);
    EXPECT_TRUE(g_reports.empty());
    SignalQualityConf c = conf(1000);
    c.callback = nullptr;  // no callback: the stored scores stay -1
    Scorer silent(c);
    silent.feed(4000, loud);
    EXPECT_EQ(silent.q->baseScore, -1.0f);
    EXPECT_EQ(silent.q->emgScore, -1.0f);
}

TEST(SignalQualityScores, LadderCountingRules)
{
    const std::map<std::string, double> ref = reference();
    ASSERT_NEAR(ref.at("impulse 0"), 0.738, 0.001);
    ASSERT_LT(ref.at("impulse maxafter0") * 200, 32.0);
    auto impulses = [](std::vector<int> at) {
        return [at](int n) { return std::find(at.begin(), at.end(), n) != at.end() ? 200.0 : 0.0; };
    };
    auto sine97 = [](int amp) { return [amp](int n) { return std::floor(amp * std::sin(2.0 * M_PI * 97.0 * n / 1000.0) + 0.5); }; };
    const struct {
        const char *why;
        int windowMs, stepMs, saveCpu, samples;
        Signal x;
        Reports expected;
    } cases[] = {
        // DC gain 1.03 to 1.05: 900 -> ~930, above level 4 (844), below 5 (1043).
        {"base from the levels crossed", 2000, 0, 0, 1999, constant(900), {{1999, 1999, 0, 50}, {1999, 1999, 1, 0}}},
        // Window 2: the first window holds one sample, the next two; emg needs 2 / 4 = 0.
        {"base level needs two samples", 2, 0, 0, 7, constant(5000), {{1, 1, 0, 0}, {1, 1, 1, 100}, {3, 3, 0, 100}}},
        // Window 8: a level needs 2; an impulse of 200 gives one output of 147.6,
        // two impulses in a window give two above the top (147.6 and 107.7).
        {"emg level needs a quarter", 8, 0, 0, 24, impulses({2, 9, 12}),
         {{7, 7, 0, 0}, {7, 7, 1, 0}, {15, 15, 1, 100}, {23, 23, 1, 0}}},
        // Window 8, step 4: evaluations at 8, 12, 16; the newest sample counts twice.
        {"sliding: newest counted twice", 8, 4, 0, 24, impulses({11}),
         {{8, 8, 0, 0}, {8, 8, 1, 0}, {12, 12, 1, 100}, {16, 16, 1, 0}}},
        {"sliding: impulse never newest", 8, 4, 0, 24, impulses({9}), {{8, 8, 0, 0}, {8, 8, 1, 0}}},
        // Window 2000, step 500: +-1000 alternation until 2199 gives ~1000 outputs
        // above the top level at 2000 and 2500, 600 at 3000, 350 at 3500 (< 500);
        // base from the window maximum of the 900 stretch.
        {"sliding: big window", 2000, 500, 0, 3500,
         [](int n) { return n >= 2200 ? 0.0 : 900.0 + (n == 0 ? 0.0 : n % 2 ? 1000.0 : -1000.0); },
         {{2000, 2000, 0, 50}, {2000, 2000, 1, 100}, {3500, 2040, 1, 0}}},
        // Economical: base needs window / 1000 samples above 1825 (gain 1.0), emg a quarter above 77.
        {"eco: 500 / 1000 = 0 needed", 500, 0, 1, 499, zero, {{499, 499, 0, 100}, {499, 499, 1, 0}}},
        {"eco: 1800 below the top", 2000, 0, 1, 1999, constant(1800), {{1999, 1999, 0, 0}, {1999, 1999, 1, 0}}},
        {"eco: 1900 above the top", 2000, 0, 1, 1999, constant(1900), {{1999, 1999, 0, 100}, {1999, 1999, 1, 0}}},
        // 97 Hz sines: the reference counts the high-pass outputs above each level.
        {"sine 70", 2000, 0, 0, 1999, sine97(70), {{1999, 1999, 0, 0}, {1999, 1999, 1, int(ref.at("sinescore 70 0"))}}},
        {"sine 78", 2000, 0, 0, 1999, sine97(78), {{1999, 1999, 0, 0}, {1999, 1999, 1, int(ref.at("sinescore 78 0"))}}},
        {"sine 120", 2000, 0, 0, 1999, sine97(120), {{1999, 1999, 0, 0}, {1999, 1999, 1, int(ref.at("sinescore 120 0"))}}},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.why);
        Scorer s(conf(1000, k.windowMs, k.stepMs, k.saveCpu));
        s.feed(k.samples, k.x);
        EXPECT_EQ(g_reports, k.expected);
    }
}

std::vector<int16_t> samples(int n, const std::function<int(int)> &f)
{
    std::vector<int16_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) v[size_t(i)] = int16_t(f(i));
    return v;
}
std::vector<int16_t> sine(int n, int period, int p2p)
{
    return samples(n, [=](int i) { return int(std::lround(p2p / 2.0 * std::sin(2 * M_PI * i / period))); });
}
std::vector<int16_t> zigzag(int n, int h) { return samples(n, [h](int i) { return i % 2 == 0 ? -h : h; }); }
std::vector<int16_t> triangle(int L)  // turns every L samples, slope 13
{
    return samples(1000, [L](int i) { return 13 * (i % (2 * L) < L ? i % (2 * L) : 2 * L - i % (2 * L)); });
}

TEST(SegmentQuality, GradesAndRefusals)
{
    const auto ramp = samples(100, [](int i) { return i; });
    const struct {
        const char *why;
        std::vector<int16_t> x;
        int fs, scale, grade;
    } cases[] = {
        // scale 200: flat up to 4 units, doubtful above 600, bad above 1000 (hand).
        {"flat", samples(360, [](int) { return 123; }), 360, 200, 2},
        {"p2p 4 is flat", samples(360, [](int i) { return i < 100 ? 0 : 4; }), 360, 200, 2},
        {"p2p 5 is not", samples(360, [](int i) { return i < 100 ? 0 : 5; }), 360, 200, 0},
        {"p2p 1000 doubtful", sine(360, 360, 1000), 360, 200, 1},
        {"p2p 1002 bad", sine(360, 360, 1002), 360, 200, 2},
        {"saturated", samples(360, [](int i) { return i % 60 < 30 ? 32767 : -32768; }), 360, 200, 2},
        // scale 1000: swings 2h on every sample; mean above 200 bad, above 120 doubtful.
        {"swings 250", zigzag(1000, 125), 1000, 1000, 2},
        {"swings 150", zigzag(1000, 75), 1000, 1000, 1},
        {"swings 100", zigzag(1000, 50), 1000, 1000, 0},
        {"10 swings are too few", zigzag(13, 125), 1000, 1000, 0},
        {"11 swings", zigzag(14, 125), 1000, 1000, 2},
        // countdown fs / 50 = 20: turning every 20 samples still counts, 21 not.
        {"turn every 20", triangle(20), 1000, 1000, 2},
        {"turn every 21", triangle(21), 1000, 1000, 0},
        {"fs 10 is the lowest", ramp, 10, 200, 0},
        {"fs 9", ramp, 9, 200, -1},
        {"scale 0", ramp, 100, 0, -1},
        {"empty", {}, 100, 200, -1},
    };
    LogCapture log;
    for (const auto &k : cases)
        EXPECT_EQ(getSegmentQuality(k.x.data(), int32_t(k.x.size()), k.fs, k.scale), k.grade) << k.why;
    // The simple grader at scale 200: flat below 4, bad above 2000, 99 for bad arguments.
    for (const auto &[p2p, scale, grade] : std::vector<std::array<int, 3>>{{3, 200, 3}, {4, 200, 0}, {2000, 200, 0},
                                                                          {2001, 200, 2}, {2001, 0, 99}}) {
        const auto x = samples(50, [p2p = p2p](int i) { return i < 25 ? -p2p / 2 : p2p - p2p / 2; });
        EXPECT_EQ(getSegmentQualitySimple(x.data(), 50, 0, scale), grade) << p2p;
    }
    EXPECT_EQ(getSegmentQuality(nullptr, 100, 100, 200), -1);
    EXPECT_EQ(getSegmentQualitySimple(nullptr, 100, 100, 200), 99);
    EXPECT_EQ(log.count("[E]{sig_quality}"), 6);
    EXPECT_EQ(log.count("input error"), 6);
}

TEST(ValidSignal, SplittersAroundABadStretch)
{
    // 30 one-second 1 mV segments at 360 Hz (scale 200, graded 0), seconds
    // 10 to 14 flat (graded 2), 200 samples beyond the last whole segment.
    std::vector<int16_t> x = sine(11000, 360, 400);
    for (int i = 3600; i < 5400; ++i) x[size_t(i)] = 17;
    LogCapture log;
    const struct {
        int n, slots, firstStart;
        Ints expected;
        bool note;
    } cases[] = {
        {11000, 4, 77, {0, 3599, 5400, 10799, -1, -1, -1, -1}, false},
        {11000, 1, 77, {0, 3599}, true},                        // last slot used, short of n - 1
        {10800, 3, -1, {0, 3599, 5400, 10799, 77, 77}, false},  // first start -1: taken as cleared
    };
    for (const auto &k : cases) {
        log.clear();
        Ints seg(k.expected.size(), 77);
        seg[0] = k.firstStart;
        EXPECT_EQ(_getValidSignal(x.data(), k.n, seg.data(), k.slots, 360, 200), 0);  // 25 good, 0 doubtful
        EXPECT_EQ(seg, k.expected) << k.slots;
        EXPECT_EQ(log.contains("[T]{sig_quality}[_getValidSignal]") && log.contains("SegmentNum might be not"), k.note);
    }
    Ints seg(2, 77);
    EXPECT_EQ(_getValidSignal(x.data() + 3600, 1800, seg.data(), 1, 360, 200), 1);  // all flat: 0 doubtful >= 0 good
    EXPECT_EQ(seg, (Ints{-1, -1}));
    log.clear();
    EXPECT_EQ(_getValidSignal(x.data(), 100, seg.data(), 1, 9, 200), -1);  // segments below 10 samples
    EXPECT_EQ(_getValidSignal(x.data(), 100, nullptr, 1, 10, 200), -1);
    EXPECT_EQ(log.count("[I]{sig_quality}[_getValidSignal]"), 2);

    // Simple splitter, fs 100: windows of 200 advanced by 50; samples
    // 1000-1999 flat. Windows 1000 ... 1800 are flat, the one at 950 is not:
    // stretches 0 .. 949 + 200 and 1850 .. the end.
    x = sine(3000, 100, 200);
    for (int i = 1000; i < 2000; ++i) x[size_t(i)] = 0;
    seg.assign(6, 77);
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 3, 100, 200), 0);
    EXPECT_EQ(seg, (Ints{0, 1149, 1850, 2999, -1, -1}));
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 0, 100, 200), -1);
    Scorer s(conf(100));
    // Lead invalid above a peak-to-peak of 50.
    const std::vector<int16_t> p50 = {-25, 25, 0}, p51 = {-25, 26, 0}, extreme = {-32768, 32767};
    EXPECT_EQ(isLeadInvalid(s.q, p50.data(), 3), 0);
    EXPECT_EQ(isLeadInvalid(s.q, p51.data(), 3), 1);
    EXPECT_EQ(isLeadInvalid(s.q, extreme.data(), 2), 1);
    log.clear();
    EXPECT_EQ(isLeadInvalid(nullptr, p51.data(), 3), -1);
    EXPECT_EQ(isLeadInvalid(s.q, p51.data(), 0), -1);
    EXPECT_EQ(log.count(kBadInput), 2);
}

}  // namespace
