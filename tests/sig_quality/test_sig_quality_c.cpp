// Single-lead quality core: creation and refusals, report timing, the
// ladders and their counting rules in the three modes, the filter sets, the
// debug streams and the offline segment helpers.
//
// Filter gains, the emg impulse response, the sine scores and the grades
// of the real record come from tools/gen_sig_quality_reference.py
// (tests/data/sig_quality/reference.txt); the rest is hand arithmetic noted
// beside each case.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/sig_quality_c.h"

namespace {

using tessivar::test::LogCapture;

constexpr const char *kBadInput = "Input parameter exception.";

// ---- reports seen by the callback -----------------------------------------------

struct Report {
    uint32_t at;  // the instance's sampleCount when the report came
    uint32_t delay;
    int status;
    int score;
    bool operator==(const Report &o) const
    {
        return at == o.at && delay == o.delay && status == o.status && score == o.score;
    }
};
std::ostream &operator<<(std::ostream &os, const Report &r)
{
    return os << "{at " << r.at << ", delay " << r.delay << ", status " << r.status << ", score " << r.score << "}";
}

std::vector<Report> g_reports;
const SignalQuality *g_current = nullptr;

void record(const SignalQualityDesc d)
{
    g_reports.push_back({g_current != nullptr ? g_current->sampleCount : 0u, d.delay, d.status, d.score});
}

SignalQualityConf conf(int fs, int windowMs = 0, int stepMs = 0, int saveCpu = 0)
{
    SignalQualityConf c{};
    c.name = "lead";
    c.fs = fs;
    c.callback = record;
    c.detectWindowLen = windowMs;
    c.detectStepLen = stepMs;
    c.isSaveCpu = saveCpu;
    return c;
}

int16_t clamp16(double v) { return int16_t(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v)))); }

// An instance fed sample by sample; `next` counts the samples fed.
class Scorer {
public:
    explicit Scorer(const SignalQualityConf &c) : q_(newSignalQuality(&c)) { g_reports.clear(); }
    ~Scorer() { delSignalQuality(&q_); }
    SignalQuality *get() const { return q_; }
    void feed(int count, const std::function<double(int)> &x)
    {
        g_current = q_;
        for (int i = 0; i < count; ++i, ++next) ASSERT_EQ(detectSignalQuality(q_, clamp16(x(next))), 0);
        g_current = nullptr;
    }
    int next = 0;

private:
    SignalQuality *q_;
};

double zero(int) { return 0.0; }

// An empty folder of its own under the test's temporary folder.
std::string scratchDir(const std::string &name)
{
    const std::filesystem::path p = std::filesystem::path(::testing::TempDir()) / ("sig_quality_" + name);
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}
// 5000 plus a full-scale alternation at the Nyquist rate: the low-passes
// (zeros at the Nyquist rate) see a 5000 step, the high-passes +-1000.
double stepAndAlternation(int n) { return 5000.0 + (n % 2 == 0 ? 1000.0 : -1000.0); }

// ---- reference file ---------------------------------------------------------------

std::map<std::string, double> reference()
{
    std::map<std::string, double> r;
    std::ifstream f(TESSIVAR_TEST_DATA "/sig_quality/reference.txt");
    std::string line;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t cut = line.find_last_of(' ');
        r[line.substr(0, cut)] = std::stod(line.substr(cut + 1));
    }
    return r;
}

// ---- creation ---------------------------------------------------------------------

TEST(SignalQualityCreate, RefusesBadRecordsAndNullHandles)
{
    LogCapture log;
    SignalQualityConf c = conf(1000);
    EXPECT_EQ(newSignalQuality(nullptr), nullptr);
    c.name = nullptr;
    EXPECT_EQ(newSignalQuality(&c), nullptr);
    c = conf(1000, 100001);
    EXPECT_EQ(newSignalQuality(&c), nullptr);
    // A window in ms at a rate of 0 comes to no samples at all.
    c = conf(0, 1000);
    EXPECT_EQ(newSignalQuality(&c), nullptr);
    c = conf(1000, 2000, -5);
    c.fs = -1000;
    EXPECT_EQ(newSignalQuality(&c), nullptr);
    // The longest window at a rate that makes it more than 10^6 samples
    // (two arrays of that length) is refused; 10 kHz is the limit.
    c = conf(10001, 100000, 500);
    EXPECT_EQ(newSignalQuality(&c), nullptr);
    EXPECT_EQ(log.count(std::string("[E]{sig_quality}[newSignalQuality]")), 6);
    EXPECT_EQ(log.count(kBadInput), 6);
    c = conf(10000, 100000, 500);
    c.name = "limit";
    SignalQuality *limit = newSignalQuality(&c);
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->windowLen, 1000000);
    EXPECT_EQ(delSignalQuality(&limit), 0);

    log.clear();
    c = conf(1000, 100000, 500);  // the longest window, sliding
    c.name = "longest";
    SignalQuality *q = newSignalQuality(&c);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->windowLen, 100000);
    EXPECT_EQ(q->stepLen, 500);
    EXPECT_TRUE(log.contains("[W]{sig_quality}[newSignalQuality]"));
    EXPECT_TRUE(log.contains("longest"));
    EXPECT_EQ(delSignalQuality(&q), 0);
    EXPECT_EQ(q, nullptr);

    log.clear();
    EXPECT_EQ(delSignalQuality(&q), -1);
    EXPECT_EQ(delSignalQuality(nullptr), -1);
    EXPECT_EQ(initSignalQuality(nullptr), -1);
    EXPECT_EQ(detectSignalQuality(nullptr, 0), -1);
    EXPECT_EQ(log.count(kBadInput), 4);
    EXPECT_STREQ(singalQualityVersion(), "signal_quality version 0.0.0.13 2025-04-11 15:40:23");
}

TEST(SignalQualityCreate, DefaultsAndLadders)
{
    SignalQualityConf c = conf(1000);
    c.baseIntolerableThre = -3;
    Scorer s(c);
    const SignalQuality &q = *s.get();
    EXPECT_EQ(q.windowLen, 2000);
    EXPECT_EQ(q.stepLen, 2000);
    EXPECT_EQ(q.baseWindow, nullptr);
    // Base 65 + 1760 i / 9, emg 32 + 45 i / 9 = 32 + 5 i.
    EXPECT_FLOAT_EQ(q.baseLevels[0], 65.0f);
    EXPECT_FLOAT_EQ(q.baseLevels[1], 260.55556f);
    EXPECT_FLOAT_EQ(q.baseLevels[5], 1042.7778f);
    EXPECT_FLOAT_EQ(q.baseLevels[9], 1825.0f);
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(q.emgLevels[i], 32.0f + 5.0f * float(i));
    // 1500 ms at 250 Hz is 375 samples; a different step keeps a window.
    Scorer t(conf(250, 1500, 1000));
    EXPECT_EQ(t.get()->windowLen, 375);
    EXPECT_EQ(t.get()->stepLen, 250);
    EXPECT_NE(t.get()->baseWindow, nullptr);
}

// ---- timing -----------------------------------------------------------------------

TEST(SignalQualityTiming, FirstReportsAt1999ThenWithTheFullDelays)
{
    // Window 2000: the first ends at sampleCount 1999 (delay min(700 + 2000,
    // 1999) for base, min(40 + 2000, 1999) for emg), the next at 3999 with
    // 2700 and 2040.
    Scorer s(conf(1000));
    s.feed(1998, zero);
    EXPECT_TRUE(g_reports.empty());
    s.feed(1, zero);
    EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, 0}, {1999, 1999, 1, 0}}));
    s.feed(2000, stepAndAlternation);
    EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, 0}, {1999, 1999, 1, 0}, {3999, 2700, 0, 100},
                                              {3999, 2040, 1, 100}}));
}

TEST(SignalQualityTiming, CleanSignalReportsZeroOnceAndScoresSurviveAClear)
{
    Scorer s(conf(1000));
    s.feed(20000, zero);
    EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, 0}, {1999, 1999, 1, 0}}));
    // After a clear the counting starts again, but unchanged scores are not
    // reported again.
    ASSERT_EQ(initSignalQuality(s.get()), 0);
    EXPECT_EQ(s.get()->sampleCount, 0u);
    g_reports.clear();
    s.feed(4000, zero);
    EXPECT_TRUE(g_reports.empty());
    // Without a callback nothing is reported and the scores stay -1.
    SignalQualityConf c = conf(1000);
    c.callback = nullptr;
    Scorer silent(c);
    silent.feed(4000, stepAndAlternation);
    EXPECT_FLOAT_EQ(silent.get()->baseScore, -1.0f);
    EXPECT_FLOAT_EQ(silent.get()->emgScore, -1.0f);
}

TEST(SignalQualityTiming, FilterSetAndDelaysFollowRateAndMode)
{
    // Zero for one window W, then the step with alternation: both scores
    // go from 0 to 100. Reports at W - 1 with delay W - 1 (the cap), then at 2W - 1 with
    // baseDelay + W and emgDelay + W.
    struct Case {
        int fs, saveCpu, windowMs, baseDelay, emgDelay;
    };
    // Economical windows of at least 1000 samples, so that base needs at
    // least one sample above the top level.
    const Case cases[] = {
        {1000, 0, 2000, 700, 40}, {500, 0, 2000, 700, 40},  {125, 0, 1000, 30, 1},   {1000, 1, 2000, 250, 5},
        {2000, 1, 2000, 250, 5},  {125, 1, 8000, 34, 1},    {128, 1, 8000, 35, 1},   {250, 1, 4000, 65, 2},
        {256, 1, 4000, 67, 2},    {500, 1, 2000, 121, 4},   {512, 1, 2000, 125, 4},  {1024, 1, 2000, 230, 5},
    };
    for (const Case &k : cases) {
        Scorer s(conf(k.fs, k.windowMs, 0, k.saveCpu));
        const int w = k.windowMs * k.fs / 1000;
        EXPECT_EQ(s.get()->baseDelay, k.baseDelay);
        EXPECT_EQ(s.get()->emgDelay, k.emgDelay);
        s.feed(w, zero);
        s.feed(w, stepAndAlternation);
        const uint32_t W = uint32_t(w);
        EXPECT_EQ(g_reports, (std::vector<Report>{{W - 1, W - 1, 0, 0},
                                                  {W - 1, W - 1, 1, 0},
                                                  {2 * W - 1, uint32_t(k.baseDelay) + W, 0, 100},
                                                  {2 * W - 1, uint32_t(k.emgDelay) + W, 1, 100}}))
            << "fs " << k.fs << " saveCpu " << k.saveCpu;
    }
}

TEST(SignalQualityFilters, EverySetHasItsBandEdges)
{
    // Steady-state gain of each filter for a sine of 1000 units over whole
    // seconds after 10 s of settling, against |H| of the same coefficients.
    const std::map<std::string, double> ref = reference();
    ASSERT_FALSE(ref.empty());
    struct Set {
        const char *name;
        int fs, saveCpu;
    };
    const Set sets[] = {{"full1000", 1000, 0}, {"full125", 125, 0}, {"eco1000", 1000, 1}, {"eco125", 125, 1},
                        {"eco128", 128, 1},    {"eco250", 250, 1},  {"eco256", 256, 1},   {"eco500", 500, 1},
                        {"eco512", 512, 1},    {"eco1024", 1024, 1}};
    for (const Set &set : sets) {
        for (const char *kind : {"lp", "hp"}) {
            for (int hz : std::string(kind) == "lp" ? std::vector<int>{1, 5} : std::vector<int>{25, 10}) {
                Scorer s(conf(set.fs, 0, 0, set.saveCpu));
                SignalFilter *f = std::string(kind) == "lp" ? s.get()->baseFilter : s.get()->emgFilter;
                double energy = 0.0;
                for (int n = 0; n < 12 * set.fs; ++n) {
                    const double y = doSignalFilter(f, 1000.0 * std::sin(2.0 * M_PI * hz * n / set.fs));
                    if (n >= 10 * set.fs) energy += y * y;
                }
                const double gain = std::sqrt(energy / (2 * set.fs)) * std::sqrt(2.0) / 1000.0;
                const std::string key = std::string("gain ") + set.name + " " + kind + " " + std::to_string(hz);
                ASSERT_EQ(ref.count(key), 1u) << key;
                EXPECT_NEAR(gain, ref.at(key), 0.01 * ref.at(key) + 1e-6) << key;
            }
        }
    }
}

// ---- counting rules ---------------------------------------------------------------

TEST(SignalQualityLadders, ScoresFollowTheLevelsCrossed)
{
    // Base: a constant 900 primes the low-pass to its DC gain (1.031 for
    // this set, 1.047 when its sums are taken in double) times 900, 928 to
    // 942: above level 4 (847.2), below level 5 (1042.8): 50.
    {
        Scorer s(conf(1000));
        s.feed(1999, [](int) { return 900.0; });
        EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, 50}, {1999, 1999, 1, 0}}));
    }
    // Emg: a 97 Hz sine of amplitude A; the reference counts the high-pass
    // outputs above each level per window; a level needs 2000 / 4 = 500.
    const std::map<std::string, double> ref = reference();
    for (int amp : {70, 78, 120}) {
        Scorer s(conf(1000));
        s.feed(6000, [amp](int n) { return std::floor(amp * std::sin(2.0 * M_PI * 97.0 * n / 1000.0) + 0.5); });
        const int expected = int(ref.at("sinescore " + std::to_string(amp) + " 0"));
        EXPECT_EQ(expected, int(ref.at("sinescore " + std::to_string(amp) + " 2")));
        EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, 0}, {1999, 1999, 1, expected}})) << amp;
    }
}

TEST(SignalQualityLadders, BaseLevelCountsFromTwoSamplesOn)
{
    // Window 2 ms = 2 samples; the first window has one sample only. A
    // constant 5000 puts the base output far above the top level from the
    // first sample, yet that window scores base 0; the next, with two
    // samples, 100. Emg needs 2 / 4 = 0 samples per level: always 100.
    Scorer s(conf(1000, 2));
    s.feed(7, [](int) { return 5000.0; });
    EXPECT_EQ(g_reports, (std::vector<Report>{{1, 1, 0, 0}, {1, 1, 1, 100}, {3, 3, 0, 100}}));
}

TEST(SignalQualityLadders, EmgLevelNeedsAQuarterOfTheWindow)
{
    // Window 8: a level needs 2 samples. An impulse of 200 gives one
    // high-pass output of 147.6 (0.738 * 200) above every level and nothing
    // after it above the lowest (at most 0.0792 * 200 = 15.8): one sample,
    // score 0. Two impulses 3 samples apart in one window give two outputs
    // above the top (147.6 and 147.6 - 0.199 * 200 = 107.7): 100.
    const std::map<std::string, double> ref = reference();
    ASSERT_NEAR(ref.at("impulse 0"), 0.738, 0.001);
    ASSERT_LT(ref.at("impulse maxafter0") * 200, 32.0);
    Scorer s(conf(1000, 8));
    // Windows end at sampleCount 7, 15, 23: samples 0-6, 7-14, 15-22.
    s.feed(24, [](int n) { return n == 2 || n == 9 || n == 12 ? 200.0 : 0.0; });
    EXPECT_EQ(g_reports, (std::vector<Report>{{7, 7, 0, 0}, {7, 7, 1, 0}, {15, 15, 1, 100}, {23, 23, 1, 0}}));
}

TEST(SignalQualityDifferentStep, SlidingWindowCountsTheNewestSampleTwice)
{
    // Window 8, step 4: evaluations at sampleCount 8, 12, 16, ...; a level
    // needs 2. An impulse as the 12th sample is the newest at the evaluation
    // of 12: counted twice, 100 (delay min(40 + 8, 12) = 12). At 16 it is an
    // ordinary window member: 1, score 0.
    {
        Scorer s(conf(1000, 8, 4));
        s.feed(24, [](int n) { return n == 11 ? 200.0 : 0.0; });
        EXPECT_EQ(g_reports, (std::vector<Report>{{8, 8, 0, 0}, {8, 8, 1, 0}, {12, 12, 1, 100}, {16, 16, 1, 0}}));
    }
    // The same impulse as the 10th sample is never the newest at an
    // evaluation: no emg change at all.
    {
        Scorer s(conf(1000, 8, 4));
        s.feed(24, [](int n) { return n == 9 ? 200.0 : 0.0; });
        EXPECT_EQ(g_reports, (std::vector<Report>{{8, 8, 0, 0}, {8, 8, 1, 0}}));
    }
    // Window 2000, step 500 ms: evaluations at 2000, 2500, 3000, 3500, ...
    // Input 900 (base 50 from the window maximum, see the ladder test) with
    // +-1000 alternating from the second sample on until sample 2199, then
    // 0. The alternation puts every other high-pass output at about +1000:
    // about 1000 of the first window (emg 100), 1000 of the one at 2500,
    // 600 at 3000 and 350 at 3500, short of the 500 needed. The base
    // window still holds the 900 stretch throughout.
    {
        auto x = [](int n) { return n >= 2200 ? 0.0 : 900.0 + (n == 0 ? 0.0 : n % 2 ? 1000.0 : -1000.0); };
        Scorer s(conf(1000, 2000, 500));
        s.feed(1999, x);
        EXPECT_TRUE(g_reports.empty());
        s.feed(1, x);
        EXPECT_EQ(g_reports, (std::vector<Report>{{2000, 2000, 0, 50}, {2000, 2000, 1, 100}}));
        s.feed(1499, x);
        EXPECT_EQ(g_reports.size(), 2u);
        s.feed(1, x);
        EXPECT_EQ(g_reports,
                  (std::vector<Report>{{2000, 2000, 0, 50}, {2000, 2000, 1, 100}, {3500, 2040, 1, 0}}));
    }
}

TEST(SignalQualityEconomical, ShortWindowAlwaysScoresBase100)
{
    // Window 500 samples: base needs 500 / 1000 = 0 samples above the top.
    Scorer s(conf(1000, 500, 0, 1));
    EXPECT_EQ(s.get()->baseLevels[9], 0.0f);  // no ladders in this mode
    s.feed(5000, zero);
    EXPECT_EQ(g_reports, (std::vector<Report>{{499, 499, 0, 100}, {499, 499, 1, 0}}));
    // Window 2000: 2 samples above 1825 needed; a constant 1800 (gain 1.0)
    // is below, 1900 above.
    for (double level : {1800.0, 1900.0}) {
        Scorer t(conf(1000, 0, 0, 1));
        t.feed(1999, [level](int) { return level; });
        EXPECT_EQ(g_reports, (std::vector<Report>{{1999, 1999, 0, level > 1825 ? 100 : 0}, {1999, 1999, 1, 0}}));
    }
}

// ---- debug streams ----------------------------------------------------------------

TEST(SignalQualityDebug, StreamsRecordSamplesAndScores)
{
    const std::string dir = scratchDir("debug");
    SignalQualityConf c = conf(1000, 2);
    c.dataPath = dir.c_str();
    SignalQuality *q = newSignalQuality(&c);
    ASSERT_NE(q, nullptr);
    // Window 2 (see the two-sample rule): -32768 primes the low-pass far
    // above the top level; the high-pass starts at 0. Sample 1 ends a
    // window: base 0 (one sample), emg 100 (needs 0). Sample 3 ends the
    // next: base 100.
    for (int16_t x : {int16_t(-32768), int16_t(0), int16_t(32767)}) ASSERT_EQ(detectSignalQuality(q, x), 0);
    ASSERT_EQ(delSignalQuality(&q), 0);
    std::stringstream in, out;
    in << std::ifstream(dir + "/in.csv").rdbuf();
    out << std::ifstream(dir + "/out.csv").rdbuf();
    EXPECT_EQ(in.str(), "-32768\n0\n32767\n");
    EXPECT_EQ(out.str(), "0,100,-1\n0,100,-1\n100,100,-1\n");
}

// ---- offline grading --------------------------------------------------------------

std::vector<int16_t> ramp(int n, const std::function<int(int)> &f)
{
    std::vector<int16_t> v(size_t(n), 0);
    for (int i = 0; i < n; ++i) v[size_t(i)] = int16_t(f(i));
    return v;
}

int grade(const std::vector<int16_t> &v, int fs, int scale)
{
    return getSegmentQuality(v.data(), int32_t(v.size()), fs, scale);
}

TEST(SegmentQuality, GradesFlatLargeSwingingAndNormalSegments)
{
    // scale 200 units per mV: flat up to 0.02 mV = 4 units, doubtful above
    // 3 mV = 600, bad above 5 mV = 1000.
    EXPECT_EQ(grade(ramp(360, [](int) { return 123; }), 360, 200), 2);
    EXPECT_EQ(grade(ramp(360, [](int i) { return i < 100 ? 0 : 4; }), 360, 200), 2);
    EXPECT_EQ(grade(ramp(360, [](int i) { return i < 100 ? 0 : 5; }), 360, 200), 0);
    auto wave = [](int p2p) {
        return ramp(360, [p2p](int i) { return int(std::lround(p2p / 2.0 * std::sin(2 * M_PI * i / 360.0))); });
    };
    EXPECT_EQ(grade(wave(400), 360, 200), 0);
    EXPECT_EQ(grade(wave(1000), 360, 200), 1);
    EXPECT_EQ(grade(wave(1002), 360, 200), 2);
    // Saturated at the int16 limits.
    EXPECT_EQ(grade(ramp(360, [](int i) { return i % 60 < 30 ? 32767 : -32768; }), 360, 200), 2);

    // Fast swings at fs 1000, scale 1000: a zigzag +-h turns on every
    // sample; all turning points but the first are within fs / 50 = 20
    // samples of the last, each swing 2h. Mean above 0.2 mV bad, above
    // 0.12 mV doubtful.
    auto zigzag = [](int n, int h) { return ramp(n, [h](int i) { return i % 2 == 0 ? -h : h; }); };
    EXPECT_EQ(grade(zigzag(1000, 125), 1000, 1000), 2);
    EXPECT_EQ(grade(zigzag(1000, 75), 1000, 1000), 1);
    EXPECT_EQ(grade(zigzag(1000, 50), 1000, 1000), 0);
    // n samples give n - 2 turning points and n - 3 swings: 10 are not
    // enough, 11 are.
    EXPECT_EQ(grade(zigzag(13, 125), 1000, 1000), 0);
    EXPECT_EQ(grade(zigzag(14, 125), 1000, 1000), 2);
    // A triangle turning every L samples: L - 1 samples between turning
    // points count the 20 down to 21 - L; a swing counts while that is at
    // least 1, so L = 20 is fast and L = 21 is not (swings 260 and 273).
    auto triangle = [](int L) {
        return ramp(1000, [L](int i) {
            const int k = i % (2 * L);
            return 13 * (k < L ? k : 2 * L - k);
        });
    };
    EXPECT_EQ(grade(triangle(20), 1000, 1000), 2);
    EXPECT_EQ(grade(triangle(21), 1000, 1000), 0);
}

TEST(SegmentQuality, BadArgumentsAndTheSimpleGrader)
{
    LogCapture log;
    const std::vector<int16_t> v = ramp(100, [](int i) { return i; });
    EXPECT_EQ(getSegmentQuality(nullptr, 100, 100, 200), -1);
    EXPECT_EQ(getSegmentQuality(v.data(), 0, 100, 200), -1);
    EXPECT_EQ(getSegmentQuality(v.data(), 100, 9, 200), -1);
    EXPECT_EQ(getSegmentQuality(v.data(), 100, 100, 0), -1);
    EXPECT_EQ(getSegmentQuality(v.data(), 100, 10, 200), 0);
    EXPECT_EQ(getSegmentQualitySimple(nullptr, 100, 100, 200), 99);
    EXPECT_EQ(getSegmentQualitySimple(v.data(), -1, 100, 200), 99);
    EXPECT_EQ(getSegmentQualitySimple(v.data(), 100, 100, 0), 99);
    EXPECT_EQ(log.count("[E]{sig_quality}"), 7);
    EXPECT_EQ(log.count("input error"), 7);

    // Simple: flat below 0.02 mV (4 units at 200), bad above 10 mV (2000).
    auto span = [](int p2p) { return ramp(50, [p2p](int i) { return i < 25 ? -p2p / 2 : p2p - p2p / 2; }); };
    auto simple = [](const std::vector<int16_t> &x) { return getSegmentQualitySimple(x.data(), 50, 0, 200); };
    EXPECT_EQ(simple(span(3)), 3);
    EXPECT_EQ(simple(span(4)), 0);
    EXPECT_EQ(simple(span(2000)), 0);
    EXPECT_EQ(simple(span(2001)), 2);
    EXPECT_EQ(simple(ramp(50, [](int i) { return i % 2 ? 32767 : -32768; })), 2);
}

// ---- stretches ----------------------------------------------------------------------

std::vector<int16_t> mitdb100Mlii(int samples)
{
    std::ifstream f(TESSIVAR_SHARED_DATA "/mitdb/100.dat", std::ios::binary);
    std::vector<int16_t> x;
    unsigned char b[3];
    while (int(x.size()) < samples && f.read(reinterpret_cast<char *>(b), 3)) {
        int s = b[0] | ((b[1] & 0x0f) << 8);
        if (s > 2047) s -= 4096;
        x.push_back(int16_t(s - 1024));
    }
    return x;
}

TEST(ValidSignal, SplitsARealRecordingAroundABadMiddle)
{
    const std::vector<int16_t> whole = mitdb100Mlii(10800);
    if (whole.size() < 10800u) GTEST_SKIP() << "mitdb record 100 not found in " TESSIVAR_SHARED_DATA;
    const std::map<std::string, double> ref = reference();
    for (int k = 0; k < 30; ++k) ASSERT_EQ(ref.at("mitdb100 " + std::to_string(k)), 0.0);
    // 30 s of MLII at 360 Hz (200 units per mV), seconds 10 to 14 held flat,
    // 200 samples more than the 30 whole segments.
    std::vector<int16_t> x = whole;
    for (int i = 3600; i < 5400; ++i) x[size_t(i)] = 17;
    x.resize(11000, 0);
    LogCapture log;
    std::vector<int32_t> seg(8, 77);
    EXPECT_EQ(_getValidSignal(x.data(), 11000, seg.data(), 4, 360, 200), 0);  // 25 good, 0 doubtful
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 3599, 5400, 10799, -1, -1, -1, -1}));
    EXPECT_FALSE(log.contains("SegmentNum might be not enough"));
    // The last slot used, ending short of n - 1: a note at trace level.
    seg.assign(4, 77);
    EXPECT_EQ(_getValidSignal(x.data(), 11000, seg.data(), 2, 360, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 3599, 5400, 10799}));
    EXPECT_TRUE(log.contains("[T]{sig_quality}[_getValidSignal]"));
    log.clear();
    seg.assign(2, 77);
    EXPECT_EQ(_getValidSignal(x.data(), 11000, seg.data(), 1, 360, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 3599}));
    EXPECT_TRUE(log.contains("SegmentNum might be not enough"));
    // An array whose first start is already -1 is taken as cleared.
    seg.assign(6, 77);
    seg[0] = -1;
    EXPECT_EQ(_getValidSignal(x.data(), 10800, seg.data(), 3, 360, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 3599, 5400, 10799, 77, 77}));
    // All flat: no good and no doubtful segment, 0 >= 0: 1.
    const std::vector<int16_t> flat(3600, 5);
    seg.assign(2, 77);
    EXPECT_EQ(_getValidSignal(flat.data(), 3600, seg.data(), 1, 360, 200), 1);
    EXPECT_EQ(seg, (std::vector<int32_t>{-1, -1}));

    log.clear();
    EXPECT_EQ(_getValidSignal(nullptr, 100, seg.data(), 1, 10, 200), -1);
    EXPECT_EQ(_getValidSignal(x.data(), 100, nullptr, 1, 10, 200), -1);
    EXPECT_EQ(_getValidSignal(x.data(), 0, seg.data(), 1, 10, 200), -1);
    EXPECT_EQ(_getValidSignal(x.data(), 100, seg.data(), 0, 10, 200), -1);
    EXPECT_EQ(_getValidSignal(x.data(), 100, seg.data(), 1, 9, 200), -1);
    EXPECT_EQ(_getValidSignal(x.data(), 100, seg.data(), 1, 10, 0), -1);
    EXPECT_EQ(log.count("[I]{sig_quality}[_getValidSignal]"), 6);
}

TEST(ValidSignal, SimpleSplitterJoinsGoodWindows)
{
    // fs 100: windows of 200 advanced by 50 over 3000 samples; a 1 mV sine
    // (period 100) with samples 1000-1999 flat. Windows starting at 1000 ...
    // 1800 are flat; the one at 950 still holds half a period. Stretches:
    // the good windows 0 ... 950 (0 to 949 + 200) and 1850 ... to the end.
    std::vector<int16_t> x = ramp(3000, [](int i) { return int(std::lround(100 * std::sin(2 * M_PI * i / 100.0))); });
    for (int i = 1000; i < 2000; ++i) x[size_t(i)] = 0;
    std::vector<int32_t> seg(6, 77);
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 3, 100, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 1149, 1850, 2999, -1, -1}));

    LogCapture log;
    seg.assign(2, 77);
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 1, 100, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 1149}));
    EXPECT_TRUE(log.contains("SegmentNum might be not enough"));

    // The same through an instance at 100 Hz with an explicit scale, with
    // its debug dumps.
    const std::string dir = scratchDir("segments");
    SignalQualityConf c = conf(100);
    c.dataPath = dir.c_str();
    SignalQuality *q = newSignalQuality(&c);
    ASSERT_NE(q, nullptr);
    seg.assign(6, 77);
    EXPECT_EQ(getValidSignal(q, x.data(), 3000, seg.data(), 3, 200), 0);
    EXPECT_EQ(seg, (std::vector<int32_t>{0, 1149, 1850, 2999, -1, -1}));
    delSignalQuality(&q);

    log.clear();
    EXPECT_EQ(getValidSignal(nullptr, x.data(), 3000, seg.data(), 3, 200), -1);
    EXPECT_TRUE(log.contains(kBadInput));
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 3, 1, 200), -1);
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, nullptr, 3, 100, 200), -1);
    EXPECT_EQ(_getValidSignalSimple(x.data(), 3000, seg.data(), 0, 100, 200), -1);
    EXPECT_EQ(log.count("input error"), 3);
}

TEST(LeadInvalid, PeakToPeakAbove50)
{
    LogCapture log;
    Scorer s(conf(1000));
    const std::vector<int16_t> small = {-25, 25, 0}, large = {-25, 26, 0}, extreme = {-32768, 32767};
    EXPECT_EQ(isLeadInvalid(s.get(), small.data(), 3), 0);
    EXPECT_EQ(isLeadInvalid(s.get(), large.data(), 3), 1);
    EXPECT_EQ(isLeadInvalid(s.get(), extreme.data(), 2), 1);
    EXPECT_EQ(isLeadInvalid(nullptr, large.data(), 3), -1);
    EXPECT_EQ(isLeadInvalid(s.get(), nullptr, 3), -1);
    EXPECT_EQ(isLeadInvalid(s.get(), large.data(), 0), -1);
    EXPECT_EQ(log.count(kBadInput), 3);
}

}  // namespace
