// The safety profile from the host's side: each case runs with the profile off (the default
// behaviour, kept) and on (the correction), with simulated signals on leads I and II.
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "preprocess/preprocess_fixture.hpp"

namespace tessivar::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> signal(int n, int fs, const std::function<double(double)> &f)
{
    std::vector<double> x(size_t(n), 0.0);
    for (int k = 0; k < n; ++k) x[size_t(k)] = f(double(k) / fs);
    return x;
}

// Synthetic beats: R wave 1.2 mV (sigma 10 ms), T wave 0.25 mV.
double beats(double t, double bpm)
{
    const double u = std::fmod(t + 60.0 / bpm - 0.5, 60.0 / bpm);
    return 1200.0 * std::exp(-0.5 * std::pow(u / 0.010, 2)) + 250.0 * std::exp(-0.5 * std::pow((u - 0.25) / 0.04, 2));
}

class SafeProfile : public FrontEnd {
protected:
    void TearDown() override { ecgPreprocessSetSafeMode(0), FrontEnd::TearDown(); }
    void startWith(int safe, int fs = 1000, const char *data = "SL")
    {
        ASSERT_EQ(ecgPreprocessSetSafeMode(safe), 0);
        ASSERT_EQ(start(defaultConf("3", data, fs)), 0);
        HostRecord::get() = HostRecord{};
    }
    // Lead II of the output for x on I and II (optional respiration and status).
    std::vector<double> feed(const std::vector<double> &x, const std::vector<double> *resp = nullptr, int status = 0)
    {
        const std::vector<int> out = run(frames(int(x.size()), [&](int k, int *f) {
            f[0] = status | (k == paceAt_ ? 0x4000 : 0);
            f[1] = f[2] = int(std::lround(x[size_t(k)]));
            if (resp != nullptr) f[3] = int(std::lround((*resp)[size_t(k)]));
        }));
        std::vector<double> y(x.size());
        for (int k = 0; k < int(x.size()); ++k) {
            y[size_t(k)] = word(out, k, 2);
            if (word(out, k, 0) & 0x4000) paceSeen_ = k;
        }
        return y;
    }
    // Output amplitude at f over the last second of 8 s of a 1 mV sine, relative to 1 mV.
    double gainAt(double f, int fs)
    {
        const int n = 8 * fs;
        const std::vector<double> y = feed(signal(n, fs, [&](double t) { return 1000.0 * std::sin(2 * kPi * f * t); }));
        double s = 0, c = 0, mean = 0;
        for (int k = n - fs; k < n; ++k) mean += y[size_t(k)] / fs;
        for (int k = n - fs; k < n; ++k) s += (y[size_t(k)] - mean) * std::sin(2 * kPi * f * k / fs), c += (y[size_t(k)] - mean) * std::cos(2 * kPi * f * k / fs);
        return 2.0 * std::hypot(s, c) / fs / 1000.0;
    }
    // Frames from a 1 mV pulse (sigma 8 ms) marked with the pace bit to the output's extreme; *paceBit: to the bit.
    int measuredDelay(int fs, int *paceBit)
    {
        const int n = 10 * fs, at = 5 * fs;
        paceAt_ = at;
        const std::vector<double> y = feed(signal(n, fs, [&](double t) { return 1000.0 * std::exp(-0.5 * std::pow((t * fs - at) / (0.008 * fs), 2)); }));
        paceAt_ = -1;
        int best = at;
        for (int k = at; k < n; ++k)
            if (std::fabs(y[size_t(k)] - y[size_t(at - 1)]) > std::fabs(y[size_t(best)] - y[size_t(at - 1)])) best = k;
        *paceBit = paceSeen_ - at;
        return best - at;
    }
    std::string lastFilter() const
    {
        const auto it = std::find_if(events().rbegin(), events().rend(), [](const std::string &e) { return e.rfind("filter:", 0) == 0; });
        return it == events().rend() ? "" : *it;
    }
    int paceAt_ = -1, paceSeen_ = -1;
};

TEST_F(SafeProfile, ReportedDelayIsTheMeasuredOne)
{
    // The pace bit leaves the reported delay later. Hand: (c - d) steps at three per
    // sample: "comb 60" (2851 - 25 + 1) / 3 = 942, "comb 60 0.6" 2801 / 3 = 933; "25" (13 taps squared) 12.
    const struct { const char *base, *line, *emg; int reportedDefault, reportedSafe; } cases[] = {
        {"0.05", "60", "off", 2825, 942}, {"0.6", "60", "off", 2800, 933}, {"off", "off", "25", 0, 12}};
    for (const auto &c : cases)
        for (int safe = 0; safe <= 1; ++safe) {
            SCOPED_TRACE(std::string(c.base) + "," + c.line + "," + c.emg + " safe " + std::to_string(safe));
            startWith(safe);
            ecgPreprocessSetFilter(c.base, c.line, c.emg);
            EXPECT_EQ(getCurTotalDelay(), safe ? c.reportedSafe : c.reportedDefault);
            int paceBit = -1;
            const int measured = measuredDelay(1000, &paceBit);
            EXPECT_EQ(paceBit, safe ? c.reportedSafe : c.reportedDefault);
            EXPECT_NEAR(measured, safe ? c.reportedSafe : measured, 1);
        }
    // Cry mode: the default keeps the delay of the choice before it; the profile reports the cry chain's.
    for (int safe = 0; safe <= 1; ++safe) {
        startWith(safe);
        ecgPreprocessSetFilter("0.05", "50", "40");
        const int before = getCurTotalDelay();
        ecgPreprocessSetFilterMode("cry");
        int paceBit = -1;
        const int measured = measuredDelay(1000, &paceBit);
        EXPECT_NEAR(getCurTotalDelay(), safe ? measured : before, safe ? 1 : 0);
    }
}

TEST_F(SafeProfile, FiltersNotchOnlyMainsAndFollowTheRate)
{
    // Hand, |H| = |1 - (1 - cos((c-1)w)) / (K (1 + s cos(dw)))|: "comb 60 0.6" (d 50) once per sample
    // has zeros at every 20 Hz, thrice per sample only at 60 Hz; "comb 60" (d 25) at odd 20 Hz once
    // per sample; the 1000 Hz "comb 50 0.6" (d 20) run at 2000 Hz has zeros at every 100 Hz, not 50.
    // Told: the filter report last seen, null for whatever it is.
    const struct { const char *name; std::function<void()> setUp; int fs; double f, defaultGain, safeGain;
                   const char *defaultTold, *safeTold; } cases[] = {
        {"0.6 with 60", [] { ecgPreprocessSetFilter("0.6", "60", "off"); }, 1000, 20, 0.0, 1.0, "null,60+0.6,null", "null,60+0.6,null"},
        {"0.67 with 60", [] { ecgPreprocessSetFilter("0.67", "60", "off"); }, 1000, 40, 0.0, 1.0, nullptr, nullptr},
        {"0.6 with 60 at 60 Hz", [] { ecgPreprocessSetFilter("0.6", "60", "off"); }, 1000, 60, 0.0, 0.0, nullptr, nullptr},
        {"auto after 60", [] { ecgPreprocessSetFilter("0.05", "60", "40"); ecgPreprocessSetFilter("0.5", "auto", "40"); }, 1000, 20,
         0.0, 1.0, "0.5,auto,40", "0.5,60,40"},
        {"leaving cry at 2000 Hz", [] { ecgPreprocessSetFilter("0.67", "50+0.6", "40"); ecgPreprocessSetFilterMode("cry");
                                        ecgPreprocessSetFilterMode("normal"); }, 2000, 50, 1.0, 0.0, "0.67,50+0.6,40", "0.67,50+0.6,40"},
        {"SetDataType to 2000 Hz", [] { ecgPreprocessSetFilter("0.67", "50", "40"); ASSERT_EQ(ecgPreprocessSetDataType("SL", 2000, 1000), 0); },
         1000, 50, 1.0, 0.0, nullptr, nullptr},
    };
    for (const auto &c : cases)
        for (int safe = 0; safe <= 1; ++safe) {
            SCOPED_TRACE(std::string(c.name) + " safe " + std::to_string(safe));
            startWith(safe, c.fs);
            c.setUp();
            EXPECT_NEAR(gainAt(c.f, state().fs), safe ? c.safeGain : c.defaultGain, 0.05);
            const char *told = safe ? c.safeTold : c.defaultTold;
            EXPECT_EQ(lastFilter(), told != nullptr ? std::string("filter:") + told : lastFilter());
        }
}

TEST_F(SafeProfile, LowPassPrimingKeepsTheLevel)
{
    // "25" = (1 - z^-13)^2 / (a (1 - z^-1)^2), sum(a) about 1e-12: the recursive form primes to
    // 0 and stays there; the FIR form to 169 / 168.99973 * 1000.
    for (int safe = 0; safe <= 1; ++safe) {
        startWith(safe);
        ecgPreprocessSetFilter("off", "off", "25");
        const std::vector<double> y = feed(std::vector<double>(20000, 1000.0));
        EXPECT_NEAR(y[2000], safe ? 1000.0 : 0.0, 1.0) << safe;
        EXPECT_NEAR(y.back(), safe ? 1000.0 : 0.0, 1.0) << safe;
    }
}

TEST_F(SafeProfile, StaleHeartRateBecomesUnknown)
{
    // 30 s at 75 per minute, then wander scored noisy: the default shows 75 for good, the profile
    // -1 once 10 s pass without a valid beat, and it learns again.
    for (int safe = 0; safe <= 1; ++safe) {
        startWith(safe);
        feed(signal(30000, 1000, [&](double t) { return beats(t, 75); }));
        ASSERT_NEAR(getCurHeartRate(), 75, 2);
        HostRecord::get() = HostRecord{};
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 300.0);
        feed(signal(25000, 1000, [&](double t) { return beats(t, 75) + 4000 * std::sin(2 * kPi * 0.7 * t) + noise(rng); }));
        EXPECT_EQ(HostRecord::get().count("hr:-1"), safe);
        EXPECT_EQ(HostRecord::get().count("status:hrlearning=true"), safe);
        EXPECT_EQ(getCurHeartRate(), safe ? -1 : 75);
    }
}

TEST_F(SafeProfile, RespirationReportsOnlyWhatWasMeasured)
{
    const auto respCount = [this] { return int(std::count_if(events().begin(), events().end(), [](const std::string &e) { return e.rfind("resp:", 0) == 0; })); };
    for (int safe = 0; safe <= 1; ++safe) {
        SCOPED_TRACE(safe);
        // Lead II off for 5 s: the default repeats -1 at every analysis step, the profile once at most.
        startWith(safe, 1000, "SLR");
        const std::vector<double> flat(5000, 0.0);
        feed(flat, &flat, 0x2);
        EXPECT_TRUE(safe ? respCount() <= 1 : respCount() > 1000) << respCount();
        // No heart rate and a 72 per minute oscillation on the respiration word: the default takes it for breathing.
        startWith(safe, 1000, "SLR");
        const std::vector<double> osc = signal(60000, 1000, [](double t) { return 60 * std::sin(2 * kPi * 1.2 * t); });
        feed(std::vector<double>(60000, 0.0), &osc);
        EXPECT_EQ(HostRecord::get().count("resp:72") > 0, safe == 0);
        // Breathing at 15 per minute for 40 s, then only the cardiac oscillation (beats at 72): the profile ends on -1.
        startWith(safe, 1000, "SLR");
        const std::vector<double> resp = signal(120000, 1000, [](double t) { return (t < 40 ? 400 * std::sin(2 * kPi * 0.25 * t) : 0.0) + 60 * std::sin(2 * kPi * 1.2 * t); });
        feed(signal(120000, 1000, [&](double t) { return beats(t, 72); }), &resp);
        EXPECT_EQ(getCurRespRate() == -1, safe == 1) << getCurRespRate();
    }
}

TEST_F(SafeProfile, SwitchTakesZeroOrOneFromTheHostOrTheConfigurationFile)
{
    const int table[][2] = {{1, 0}, {1, 0}, {0, 0}, {2, -1}, {-1, -1}};
    for (const auto &t : table) EXPECT_EQ(ecgPreprocessSetSafeMode(t[0]), t[1]) << t[0];
    // Set before Init: in effect from Init on; after Init: from the next block.
    ASSERT_EQ(ecgPreprocessSetSafeMode(1), 0);
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 1);
    ASSERT_EQ(ecgPreprocessSetSafeMode(0), 0);
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 1);
    feed(std::vector<double>(1, 0.0));
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 0);
    // The key "safe_mode", read by the periodic task: a change is a request for the next block; the
    // file left as it is does not undo the host's later choice.
    TempDir dir;
    const std::string ini = dir.path() + "/log.ini";
    const auto write = [&](const char *value) {
        writeText(ini, "record_file_path = " + dir.path() + "\nrecord_switch = OFF\nlog_level = error\nsafe_mode = " + value + "\n");
    };
    write("ON");
    PreprocessConf conf = defaultConf("3", "SL");
    conf.debugCfgFile = ini.c_str();
    ASSERT_EQ(start(conf), 0);
    // The key's value before the blocks (null: unchanged), the host's setter before them (-1: not called).
    const struct { const char *key; int hostValue, expected; } steps[] = {
        {nullptr, -1, 1}, {nullptr, 0, 0}, {nullptr, -1, 0}, {"OFF", 1, 0}, {"ON", -1, 1}};
    for (const auto &s : steps) {
        if (s.key != nullptr) write(s.key);
        if (s.hostValue >= 0) ecgPreprocessSetSafeMode(s.hostValue);
        for (int k = 0; k < 3; ++k) feed(std::vector<double>(1000, 0.0));
        EXPECT_EQ(ecgPreprocessGetSafeMode(), s.expected) << (s.key ? s.key : "-") << " " << s.hostValue;
    }
}

// Switched in the middle of a 3 Hz, 1 mV sine through "0.67", "60", "40" (the profile changes how the 60 Hz comb
// is stepped: the chain restarts on the current sample): the output moves no faster than the sine's steepest step
// 2 pi 3 uV per sample, plus 0.2 % of the at most 2 mV offset that fades, plus rounding.
TEST_F(SafeProfile, SwitchInTheMiddleOfARecordHasNoGlitch)
{
    const auto sine = [](int from, int n) { return signal(n, 1000, [from](double t) { return 1000.0 * std::sin(2 * kPi * 3 * (t + from / 1000.0)); }); };
    for (int to : {1, 0}) {
        startWith(1 - to);
        ecgPreprocessSetFilter("0.67", "60", "40");
        double last = feed(sine(0, 8000)).back(), worst = 0.0;
        ASSERT_EQ(ecgPreprocessSetSafeMode(to), 0);
        for (double v : feed(sine(8000, 3000))) worst = std::max(worst, std::fabs(v - last)), last = v;
        EXPECT_LE(worst, 18.85 + 4.0 + 1.0) << to;
    }
}

}  // namespace
}  // namespace tessivar::test
