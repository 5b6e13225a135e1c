// Signal quality: the single-lead core, its offline helpers and the multi-lead
// monitor, down to the front end on a real recording. Filter gains and emg figures
// from tools/gen_sig_quality_reference.py; the rest is hand arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "records/resample.hpp"
#include "records/wfdb.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/ecg_preprocess.h"
#include "tessivar/sig_quality.h"
#include "tessivar/sig_quality_c.h"

namespace {

using tessivar::test::LogCapture;
using Signal = std::function<double(int)>;
using Ints = std::vector<int32_t>;
using Reports = std::vector<std::vector<int>>;  // {sampleCount then, delay, status, score}
constexpr const char *kBadInput = "Input parameter exception.";
Reports g_reports;
const SignalQuality *g_current = nullptr;

void record(const SignalQualityDesc d) { g_reports.push_back({int(g_current->sampleCount), int(d.delay), d.status, d.score}); }
SignalQualityConf conf(int fs, int windowMs = 0, int stepMs = 0, int eco = 0) { return {"lead", nullptr, fs, record, windowMs, stepMs, 0, 0, 0, 0, eco}; }

struct Scorer {
    explicit Scorer(const SignalQualityConf &c) : q(newSignalQuality(&c)) { g_reports.clear(); }
    ~Scorer() { delSignalQuality(&q); }
    void feed(int count, const Signal &x)
    {
        g_current = q;
        for (int i = 0; i < count; ++i, ++next)
            ASSERT_EQ(detectSignalQuality(q, int16_t(std::lround(std::fmax(-32768.0, std::fmin(32767.0, x(next)))))), 0);
    }
    SignalQuality *q = nullptr; int next = 0;
};

double zero(int) { return 0.0; }
Signal constant(double c) { return [c](int) { return c; }; }
// 5000 plus a +-1000 Nyquist alternation: low-passes see 5000, high-passes +-1000.
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
    EXPECT_EQ((Ints{delSignalQuality(nullptr), initSignalQuality(nullptr), detectSignalQuality(nullptr, 0)}), Ints(3, -1));
    EXPECT_EQ(std::make_pair(log.count("[E]{sig_quality}"), log.count(kBadInput)), std::make_pair(9, 9));
    SignalQuality *q = newSignalQuality(&(noName = conf(10000, 100000, 500)));  // the longest window
    EXPECT_EQ(delSignalQuality(&q), 0);
    EXPECT_EQ(q, nullptr);
    SignalQualityConf c = conf(1000);
    c.baseIntolerableThre = -3;  // 0 or less: default 1825
    Scorer s(c);
    EXPECT_EQ(std::make_pair(s.q->windowLen, s.q->stepLen), std::make_pair(2000, 2000));
    // hand: base 65 + 1760 i / 9 (260.556 at 1, 1042.78 at 5), emg 32 + 45 i / 9
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(s.q->emgLevels[i], 32.0f + 5.0f * float(i)) << i;
    EXPECT_FLOAT_EQ(s.q->baseLevels[1], 260.55556f);
    EXPECT_FLOAT_EQ(s.q->baseLevels[5], 1042.7778f);
    EXPECT_FLOAT_EQ(s.q->baseLevels[9], 1825.0f);
    Scorer t(conf(250, 1500, 1000));  // hand: 1500 * 250 / 1000 = 375, 1000 * 250 / 1000 = 250
    EXPECT_EQ(std::make_pair(t.q->windowLen, t.q->stepLen), std::make_pair(375, 250));
}

TEST(SignalQualityFilters, SetsDelaysAndBandEdgesFollowRateAndMode)
{
    // A window W of zeros, then a loud one: reports at W - 1 with the delay capped at W - 1, then at
    // 2W - 1 with baseDelay + W and emgDelay + W. Then each filter's gain for a 1000-unit sine.
    const std::map<std::string, double> ref = reference();
    ASSERT_FALSE(ref.empty());
    const struct { const char *set; int fs, saveCpu, windowMs, baseDelay, emgDelay; } cases[] = {
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
    g_reports.clear();
    s.feed(4000, zero);  // counting restarts at 0, the unchanged scores are not sent again
    EXPECT_EQ(std::make_pair(s.q->sampleCount, g_reports.size()), std::make_pair(4000u, size_t(0)));
    s.q->callback = nullptr;  // no callback: the stored scores stay
    s.feed(4000, loud);
    EXPECT_EQ(std::make_pair(s.q->baseScore, s.q->emgScore), std::make_pair(0.0f, 0.0f));
}

TEST(SignalQualityScores, DebugStreamsRecordSamplesAndScores)
{
    // Window 2: -32768 primes the low-pass far above the top level, the high-pass starts at 0. Sample 1 ends a
    // window: base 0 (one sample), emg 100 (needs 0); sample 3 ends the next: base 100.
    tessivar::test::TempDir dir;
    SignalQualityConf c = conf(1000, 2);
    c.dataPath = dir.path().c_str();
    {
        Scorer s(c);
        s.feed(3, [](int n) { return n == 0 ? -32768.0 : n == 1 ? 0.0 : 32767.0; });
    }
    EXPECT_EQ(tessivar::test::readText(dir / "in.csv"), "-32768\n0\n32767\n");
    EXPECT_EQ(tessivar::test::readText(dir / "out.csv"), "0,100,-1\n0,100,-1\n100,100,-1\n");
}

TEST(SignalQualityScores, LadderCountingRules)
{
    const std::map<std::string, double> ref = reference();
    ASSERT_NEAR(ref.at("impulse 0"), 0.738, 0.001);
    ASSERT_LT(ref.at("impulse maxafter0") * 200, 32.0);
    auto impulses = [](std::vector<int> at) { return [at](int n) { return std::count(at.begin(), at.end(), n) * 200.0; }; };
    auto sine97 = [](int amp) { return [amp](int n) { return std::floor(amp * std::sin(2.0 * M_PI * 97.0 * n / 1000.0) + 0.5); }; };
    const struct { const char *why; int windowMs, stepMs, saveCpu, samples; Signal x; Reports expected; } cases[] = {
        // DC gain 1.03 to 1.05: 900 -> ~930, above level 4 (847), below 5 (1043).
        {"base from the levels crossed", 2000, 0, 0, 1999, constant(900), {{1999, 1999, 0, 50}, {1999, 1999, 1, 0}}},
        // Window 2: the first window holds one sample, the next two; emg needs 2 / 4 = 0.
        {"base level needs two samples", 2, 0, 0, 7, constant(5000), {{1, 1, 0, 0}, {1, 1, 1, 100}, {3, 3, 0, 100}}},
        // Window 8, a level needs 2: an impulse of 200 gives one output of 147.6, two give 147.6 and 107.7.
        {"emg level needs a quarter", 8, 0, 0, 24, impulses({2, 9, 12}), {{7, 7, 0, 0}, {7, 7, 1, 0}, {15, 15, 1, 100}, {23, 23, 1, 0}}},
        // Window 8, step 4: evaluations at 8, 12, 16; the newest sample counts twice.
        {"sliding: newest counted twice", 8, 4, 0, 24, impulses({11}), {{8, 8, 0, 0}, {8, 8, 1, 0}, {12, 12, 1, 100}, {16, 16, 1, 0}}},
        {"sliding: impulse never newest", 8, 4, 0, 24, impulses({9}), {{8, 8, 0, 0}, {8, 8, 1, 0}}},
        // Window 2000, step 500: alternation until 2199 leaves ~1000 outputs above the top at 2000 and
        // 2500, 600 at 3000, 350 (< 500) at 3500; base from the window maximum of the 900 stretch.
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

std::vector<int16_t> samples(int n, const std::function<int(int)> &f, std::vector<int16_t> v = {})
{
    for (int i = 0; i < n; ++i) v.push_back(int16_t(f(i)));
    return v;
}
std::vector<int16_t> sine(int n, int period, int p2p)
{
    return samples(n, [=](int i) { return int(std::lround(p2p / 2.0 * std::sin(2 * M_PI * i / period))); });
}
std::vector<int16_t> zigzag(int n, int h) { return samples(n, [h](int i) { return i % 2 == 0 ? -h : h; }); }
std::vector<int16_t> triangle(int L)  // turns every L samples, slope 13
{
    return samples(1000, [L](int i) { return 13 * std::min(i % (2 * L), 2 * L - i % (2 * L)); });
}

TEST(SegmentQuality, GradesAndRefusals)
{
    const auto ramp = samples(100, [](int i) { return i; });
    const struct { const char *why; std::vector<int16_t> x; int fs, scale, grade; } cases[] = {
        // scale 200: flat up to 4 units, doubtful above 600, bad above 1000 (hand).
        {"flat", samples(360, [](int) { return 123; }), 360, 200, 2},
        {"p2p 4 is flat", samples(360, [](int i) { return i < 100 ? 0 : 4; }), 360, 200, 2},
        {"p2p 5 is not", samples(360, [](int i) { return i < 100 ? 0 : 5; }), 360, 200, 0},
        {"p2p 1000 doubtful", sine(360, 360, 1000), 360, 200, 1},
        {"p2p 1002 bad", sine(360, 360, 1002), 360, 200, 2},
        // scale 1000: swings 2h on every sample; mean above 200 bad, above 120 doubtful.
        {"swings 250", zigzag(1000, 125), 1000, 1000, 2},
        {"swings 150", zigzag(1000, 75), 1000, 1000, 1},
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
    EXPECT_EQ(getSegmentQuality(nullptr, 100, 100, 200), -1);
    EXPECT_EQ(getSegmentQualitySimple(nullptr, 100, 100, 200), 99);
    // Simple grade at scale 200: flat below 0.02 mV (4 units), bad above 10 mV (2000 units).
    const auto step = [](int p2p) { return samples(50, [p2p](int i) { return i < 25 ? -p2p / 2 : p2p - p2p / 2; }); };
    Ints simple;
    for (int p2p : {3, 4, 2000, 2001}) simple.push_back(getSegmentQualitySimple(step(p2p).data(), 50, 0, 200));
    EXPECT_EQ(simple, (Ints{3, 0, 0, 2}));
    EXPECT_EQ(std::make_pair(log.count("[E]{sig_quality}"), log.count("input error")), std::make_pair(5, 5));
}

TEST(ValidSignal, SplitsAroundABadStretch)
{
    // 30 one-second 1 mV segments at 360 Hz (scale 200, graded 0), seconds 10 to 14 flat (graded 2).
    std::vector<int16_t> x = sine(11000, 360, 400);
    for (int i = 3600; i < 5400; ++i) x[size_t(i)] = 17;
    LogCapture log;
    const struct { int n, slots, firstStart; Ints expected; bool note; } cases[] = {
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
    EXPECT_EQ(_getValidSignal(x.data(), 100, nullptr, 1, 10, 200), -1);
    EXPECT_EQ(log.count("[I]{sig_quality}[_getValidSignal]"), 1);

    Scorer s(conf(100));  // lead invalid above a peak-to-peak of 50
    const std::vector<int16_t> p50 = {-25, 25, 0}, p51 = {-25, 26, 0};
    EXPECT_EQ((std::vector<int>{isLeadInvalid(s.q, p50.data(), 3), isLeadInvalid(s.q, p51.data(), 3),
                                isLeadInvalid(nullptr, p51.data(), 3), isLeadInvalid(s.q, p51.data(), 0)}),
              (std::vector<int>{0, 1, -1, -1}));
}

using Callback = void (*)(SignalQualityDesc);
std::vector<std::string> g_texts;

int collect(void *user, const char *text) { return *static_cast<int *>(user) += 1, g_texts.emplace_back(text), 0; }

// The report without cJSON's layout (its texts hold no blanks).
std::string compact(std::string t) { return t.erase(std::remove_if(t.begin(), t.end(), ::isspace), t.end()), t; }

std::string report(const std::string &level, const std::string &leads) { return R"({"level":")" + level + R"(","leadStatus":[)" + leads + "]}"; }

enum Wire { kWire1 = 1, kWire3 = 2, kWire5 = 3, kWire12 = 8, kWire15 = 11, kWire18 = 14 };

class Monitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_texts.clear();
        ASSERT_EQ(sqInit(&callbacks_), 0);
    }
    void TearDown() override { EXPECT_EQ(sqDeinit(), 0); }
    static void flag(Callback cb, int status, int score) { cb(SignalQualityDesc{1999, status, int8_t(score)}); }
    // One frame that runs no lead instance: only what the callbacks did
    // before it is reported. Returns the compact report, "" when none.
    std::string frame(int wire, uint32_t *mask = nullptr)
    {
        const int32_t f[19] = {};
        const size_t before = g_texts.size();
        const uint32_t m = sqProcess(f, 0, wire);
        if (mask != nullptr) *mask = m;
        return g_texts.size() > before ? compact(g_texts.back()) : "";
    }

    int calls_ = 0;
    const SignalQualityCallbacks callbacks_ = {&calls_, collect};
    LogCapture log_;
};

TEST_F(Monitor, ReportIsTheFormattedDocument)
{
    flag(onSignalQualityChangedIII, 1, 70);
    ASSERT_EQ(frame(kWire12), report("medium", R"({"R":"emg"},{"III":"emg"})"));
    EXPECT_EQ(g_texts.back(), "{\n\t\"level\":\t\"medium\",\n\t\"leadStatus\":\t[{\n\t\t\t\"R\":\t\"emg\"\n\t\t}, "
                              "{\n\t\t\t\"III\":\t\"emg\"\n\t\t}]\n}");
    flag(onSignalQualityChangedIII, 1, 0);
    ASSERT_EQ(frame(kWire12), report("high", ""));
    EXPECT_EQ(frame(kWire12), "");  // no lead reported: no report
    EXPECT_EQ(calls_, 2);
}

TEST_F(Monitor, WiringDecidesTheLeadsNamed)
{
    const Callback all[] = {
        onSignalQualityChangedI,   onSignalQualityChangedII,  onSignalQualityChangedIII, onSignalQualityChangedavR,
        onSignalQualityChangedavL, onSignalQualityChangedavF, onSignalQualityChangedV1,  onSignalQualityChangedV2,
        onSignalQualityChangedV3,  onSignalQualityChangedV4,  onSignalQualityChangedV5,  onSignalQualityChangedV6,
        onSignalQualityChangedV7,  onSignalQualityChangedV8,  onSignalQualityChangedV9,  onSignalQualityChangedV3r,
        onSignalQualityChangedV4r, onSignalQualityChangedV5r};
    for (Callback cb : all) flag(cb, 1, 100);
    flag(onSignalQualityChangedII, 0, 60);
    flag(onSignalQualityChangedV1, 2, 90);
    flag(onSignalQualityChangedV7, 0, 70);
    flag(onSignalQualityChangedV9, 2, 100);
    flag(onSignalQualityChangedV9, 0, 100);
    auto e = [](const char *key, const char *text = "emg") { return std::string(",{\"") + key + "\":\"" + text + "\"}"; };
    const std::string limb = e("R") + e("III") + e("L") + e("I") + e("F", "base&emg") + e("II", "base&emg");
    const std::string v1 = e("V1", "line&emg"), v26 = e("V2") + e("V3") + e("V4") + e("V5") + e("V6");
    const struct { int wire; std::string leads; } cases[] = {
        {kWire1, e("I")},
        {kWire3, limb},
        {kWire5, limb + v1},
        {kWire12, limb + v1 + v26 + e("V3r", "base&emg") + e("V4r") + e("V5r", "base&line&emg")},
        {kWire15, limb + v1 + v26},
        {kWire18, limb + v1 + v26 + e("V3r") + e("V4r") + e("V5r") + e("V7", "base&emg") + e("V8") +
                      e("V9", "base&line&emg")},
    };
    for (const auto &c : cases) {
        flag(onSignalQualityChangedavR, 1, 100);  // a report; aVR itself is never named
        EXPECT_EQ(frame(c.wire), report("medium", c.leads.substr(1))) << c.wire;
    }
}

TEST_F(Monitor, ThresholdAndNoisyLeadMask)
{
    // Each step: the threshold, the callbacks, then one frame on 18 electrodes.
    const struct { uint8_t threshold; std::vector<std::pair<Callback, SignalQualityDesc>> calls; uint32_t mask; std::string leads; } steps[] = {
        {60, {{onSignalQualityChangedII, {0, 0, 60}}}, 0x2u, R"({"F":"base"},{"II":"base"})"},  // 60 is noisy
        {60, {{onSignalQualityChangedII, {0, 1, 90}}}, 0x2u, R"({"F":"base&emg"},{"II":"base&emg"})"},  // emg: no mask
        {60, {{onSignalQualityChangedV5r, {0, 0, 100}}, {onSignalQualityChangedII, {0, 0, 59}}}, 1u << 17,
         R"({"F":"emg"},{"II":"emg"},{"V5r":"base"})"},
        {60, {{onSignalQualityChangedII, {0, 1, 59}}}, 1u << 17, R"({"V5r":"base"})"},
        {60, {{onSignalQualityChangedI, {0, 7, 100}}}, 1u << 17, R"({"V5r":"base"})"},  // unknown status: nothing
        {70, {{onSignalQualityChangedI, {0, 0, 60}}, {onSignalQualityChangedII, {0, 0, 70}}}, (1u << 17) | 0x2u,
         R"({"F":"base"},{"II":"base"},{"V5r":"base"})"},
        {200, {{onSignalQualityChangedI, {0, 0, 0}}}, (1u << 17) | 0x3u,  // a signed byte: -56
         R"({"L":"base"},{"I":"base"},{"F":"base"},{"II":"base"},{"V5r":"base"})"},
    };
    for (const auto &s : steps) {
        EXPECT_EQ(sqSetNoiseThreshold(s.threshold), 0);
        for (const auto &[cb, d] : s.calls) cb(d);
        uint32_t mask = 0;
        EXPECT_EQ(frame(kWire18, &mask), report("medium", s.leads)) << int(s.threshold);
        EXPECT_EQ(mask, s.mask) << int(s.threshold);
    }
    EXPECT_TRUE(log_.contains("[T]{sig_quality}[signalQualityChanged]("));
    EXPECT_TRUE(log_.contains(":0-7-100"));
    uint32_t mask = 0;
    ASSERT_EQ(sqInit(&callbacks_), 0);  // a new start brings back 60
    flag(onSignalQualityChangedI, 0, 59);
    frame(kWire18, &mask);
    EXPECT_EQ(mask, (1u << 17) | 0x2u);
}

TEST_F(Monitor, LeadInstancesJudgeTheFrames)
{
    // Lead count 3: I at INT32_MIN (clamped to -32768; a wrap would give 0) and III at 5000 are far
    // above the top base level; V1, as loud, lies beyond the lead count. The first window ends at 1999.
    int32_t f[19] = {};
    f[1] = INT32_MIN;
    f[3] = 5000;
    f[7] = INT32_MAX;
    uint32_t mask = 0;
    for (int n = 0; n < 1998; ++n) mask |= sqProcess(f, 3, kWire12);
    EXPECT_EQ(std::make_pair(mask, g_texts.size()), std::make_pair(0u, size_t(0)));
    EXPECT_EQ(sqProcess(f, 3, kWire12), 0x5u);
    ASSERT_EQ(g_texts.size(), 1u);
    EXPECT_EQ(compact(g_texts[0]), report("medium", R"({"R":"base"},{"III":"base"},{"L":"base"},{"I":"base"})"));
    // A second start keeps scores and flags; a lead count above 18 runs all 18.
    ASSERT_EQ(sqInit(&callbacks_), 0);
    for (int n = 0; n < 4000; ++n) mask = sqProcess(f, 18 + 5, kWire12);
    ASSERT_EQ(g_texts.size(), 2u);
    EXPECT_EQ(compact(g_texts[1]),
              report("medium", R"({"R":"base"},{"III":"base"},{"L":"base"},{"I":"base"},{"V1":"base"})"));
    EXPECT_EQ(mask, 0x45u);
    EXPECT_EQ(sqProcess(nullptr, 3, kWire12), 0x45u);
    EXPECT_TRUE(log_.contains("[E]{sig_quality}[sqProcess]"));
    EXPECT_EQ(sqDeinit(), 0);  // stopped: results forgotten, no instance runs
    for (int n = 0; n < 2000; ++n) EXPECT_EQ(sqProcess(f, 18, kWire12), 0u);
    EXPECT_EQ(calls_, 2);
}

TEST(LeadValidity, EachLeadHasItsElectrodes)
{
    const int32_t masks[18] = {0x10001, 0x10002, 0x10002, 0x30003, 0x30003, 0x30003, 0x4,   0x8,    0x10,
                               0x20,    0x40,    0x80,    0x100,   0x200,   0x400,   0x800, 0x1000, 0x2000};
    for (int lead = 0; lead < 18; ++lead) {
        EXPECT_EQ(isLeadValid(~masks[lead], lead), 1) << lead;
        for (int bit = 0; bit < 18; ++bit)
            EXPECT_EQ(isLeadValid(1 << bit, lead), ((masks[lead] >> bit) & 1) ? 0 : 1) << lead << " " << bit;
    }
    EXPECT_EQ(std::make_pair(isLeadValid(0, -1), isLeadValid(0, 18)), std::make_pair(0, 0));
}

// 30 s of MIT-BIH record 100 at 1000 Hz, 1000 counts per mV, display filters off. A 0.3 Hz, 2 mV
// wander on I lifts the 1 Hz low-pass above 1825 uV in every window: "base". Muscle-like noise on II
// (200 tones at 30-250 Hz, 100 uV RMS) exceeds the emg level 57 uV in ~28 % of samples (25 % gives
// 60): "emg". III = II - I carries both.
TEST(RecordQuality, WanderAndNoiseAreNamedOnTheirLeads)
{
    const std::string path = TESSIVAR_SHARED_DATA "/mitdb/100";
    if (!std::ifstream(path + ".hea").good()) GTEST_SKIP() << "mitdb record 100 not found in " TESSIVAR_SHARED_DATA;
    const tessivar::records::Record r = tessivar::records::readRecord(path);
    std::vector<double> leads[2], wander(30000), noise(30000, 0.0);  // V5 as lead I, MLII as lead II
    for (int k = 0; k < 2; ++k) {
        for (size_t t = 0; t < size_t(30 * r.header.fs); ++t) leads[k].push_back(1000.0 * r.physical(r.find(k ? "MLII" : "V5"), t));
        leads[k] = tessivar::records::resample(leads[k], r.header.fs, 1000.0);
    }
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> freq(30.0, 250.0), phase(0.0, 2 * M_PI);
    for (int k = 0; k < 200; ++k) {
        const double w = 2 * M_PI * freq(rng) / 1000.0, p = phase(rng);
        for (size_t n = 0; n < noise.size(); ++n) noise[n] += 10.0 * std::sin(w * double(n) + p);  // 100 sqrt(2 / 200)
    }
    for (size_t n = 0; n < wander.size(); ++n) wander[n] = 2000.0 * std::sin(2 * M_PI * 0.3 * double(n) / 1000.0);
    for (const double added : {0.0, 1.0}) {
        PreprocessConf c{};
        c.fs = c.lsbMv = 1000;
        c.wireType = "3";
        c.dataType = "SL";
        c.hrLead = c.respLead = "II";
        c.onQuality = [](const char *text) { g_texts.emplace_back(text); };
        g_texts.clear();
        ASSERT_EQ(ecgPreprocessInit(&c), 0);
        ecgPreprocessSetFilter("off", "off", "off");
        std::vector<int> in(3 * 30000), out(size_t(getCurOutFrame()) * 1000);
        for (size_t t = 0; t < 30000; ++t) {
            in[3 * t + 1] = int(std::lround(leads[0][t] + added * wander[t]));
            in[3 * t + 2] = int(std::lround(leads[1][t] + added * noise[t]));
        }
        for (size_t n = 0; n < 30000; n += 1000) ASSERT_EQ(ecgPreprocessDoPreprocess(1000, &in[3 * n], out.data()), 1000);
        ASSERT_FALSE(g_texts.empty());
        EXPECT_EQ(g_texts.back(), std::string(getCurQuality()));
        const std::string leads = R"({"R":"base&emg"},{"III":"base&emg"},{"L":"base"},{"I":"base"},{"F":"emg"},{"II":"emg"})";
        EXPECT_EQ(compact(g_texts.back()), added > 0 ? report("medium", leads) : report("high", ""));
        for (const std::string &t : g_texts) EXPECT_TRUE(added > 0 || compact(t) == report("high", "")) << t;
        ecgPreprocessDenit();
    }
}

}  // namespace
