// The safety profile from the host's side: each case runs once with the
// profile off (the default behaviour, kept) and once on (the correction),
// through the C interface with simulated signals.
#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include "preprocess/preprocess_fixture.hpp"

namespace tessivar::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

class SafeProfile : public FrontEnd {
protected:
    void TearDown() override
    {
        ecgPreprocessSetSafeMode(0);
        FrontEnd::TearDown();
    }

    // Starts wire "3" (leads I and II) with the profile as asked.
    void startWith(int safe, int fs = 1000, const char *data = "SL")
    {
        ASSERT_EQ(ecgPreprocessSetSafeMode(safe), 0);
        ASSERT_EQ(start(defaultConf("3", data, fs)), 0);
        HostRecord::get() = HostRecord{};
    }

    // Lead II of the output for the signal x on leads I and II (and an
    // optional respiration word and status word).
    std::vector<double> feed(const std::vector<double> &x, const std::vector<double> *resp = nullptr, int status = 0)
    {
        const int in = getCurInFrame(), outWords = getCurOutFrame();
        std::vector<int> frames(x.size() * size_t(in), 0);
        for (size_t k = 0; k < x.size(); ++k) {
            int *f = &frames[k * size_t(in)];
            f[0] = status | (int(k) == paceAt_ ? 0x4000 : 0);
            f[1] = f[2] = int(std::lround(x[k]));
            if (resp != nullptr) f[3] = int(std::lround((*resp)[k]));
        }
        const std::vector<int> out = run(frames);
        std::vector<double> y(x.size());
        for (size_t k = 0; k < x.size(); ++k) {
            y[k] = out[k * size_t(outWords) + 2];
            if ((out[k * size_t(outWords)] & 0x4000) != 0) paceSeen_ = int(k);
        }
        return y;
    }

    static std::vector<double> signal(int n, int fs, const std::function<double(double)> &f)
    {
        std::vector<double> x(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) x[size_t(k)] = f(double(k) / fs);
        return x;
    }

    // Amplitude of the output at f over the last second of 8 s of a 1 mV
    // sine, relative to 1 mV (projection on sine and cosine).
    double gainAt(double f, int fs)
    {
        const int n = 8 * fs;
        const std::vector<double> y = feed(signal(n, fs, [&](double t) { return 1000.0 * std::sin(2 * kPi * f * t); }));
        double s = 0, c = 0, mean = 0;
        for (int k = n - fs; k < n; ++k) mean += y[size_t(k)] / fs;
        for (int k = n - fs; k < n; ++k) {
            s += (y[size_t(k)] - mean) * std::sin(2 * kPi * f * k / fs);
            c += (y[size_t(k)] - mean) * std::cos(2 * kPi * f * k / fs);
        }
        return 2.0 * std::hypot(s, c) / fs / 1000.0;
    }

    // Frames from a 1 mV Gaussian pulse (sigma 8 ms) to the output's extreme.
    // With paceBitDelay the pulse's frame carries the pace bit, and the
    // frames until the output's status word shows it are stored there.
    int measuredDelay(int fs, int *paceBitDelay = nullptr)
    {
        const int n = 10 * fs, at = 5 * fs;
        paceAt_ = paceBitDelay != nullptr ? at : -1;
        paceSeen_ = -1;
        const std::vector<double> y = feed(signal(n, fs, [&](double t) {
            const double u = (t * fs - at) / (0.008 * fs);
            return 1000.0 * std::exp(-0.5 * u * u);
        }));
        paceAt_ = -1;
        int best = at;
        for (int k = at; k < n; ++k)
            if (std::fabs(y[size_t(k)] - y[size_t(at - 1)]) > std::fabs(y[size_t(best)] - y[size_t(at - 1)])) best = k;
        if (paceBitDelay != nullptr) *paceBitDelay = paceSeen_ - at;
        return best - at;
    }
    int paceAt_ = -1, paceSeen_ = -1;

    std::string lastFilter() const
    {
        for (auto it = HostRecord::get().events.rbegin(); it != HostRecord::get().events.rend(); ++it)
            if (it->rfind("filter:", 0) == 0) return *it;
        return "";
    }

    // Synthetic beats: R wave 1.2 mV (sigma 10 ms), T wave 0.25 mV.
    static double beats(double t, double bpm)
    {
        const double rr = 60.0 / bpm;
        const double u = std::fmod(t + rr - 0.5, rr);
        return 1200.0 * std::exp(-0.5 * std::pow(u / 0.010, 2)) + 250.0 * std::exp(-0.5 * std::pow((u - 0.25) / 0.04, 2));
    }
};

// ---- display filters ---------------------------------------------------------

// Delays (the pace bit of the input frame leaves with the output frame the
// reported delay later, so it marks the paced complex only when the report
// is right). The 60 Hz combs at 1000 Hz are laid out for 3000 steps per second
// and taken three steps per sample; the integer kind's delay is half its
// length 2(c - d) - 1, in steps:
//   "comb 60"      c 2851, d 25: 5651 taps, 2825 steps -> (2825 + 1) / 3 = 942 samples
//   "comb 60 0.6"  c 2851, d 50: 5601 taps, 2800 steps -> (2800 + 1) / 3 = 933 samples
// (the peak of held input, comb and mean of three lies at steps / 3). The
// default steps the combined record once per sample and reports 2800, the
// plain comb 2825 steps although it runs three per sample. Short low-passes
// as squared moving averages of L samples delay L - 1: "25" L 13 -> 12.
struct DelayCase {
    const char *base, *line, *emg;
    int reportedDefault, reportedSafe, measuredSafe;
};
TEST_F(SafeProfile, ReportedDelayIsTheMeasuredOne)
{
    const DelayCase cases[] = {
        {"0.05", "60", "off", 2825, 942, 942},
        {"0.6", "60", "off", 2800, 933, 933},
        {"off", "off", "25", 0, 12, 12},
    };
    for (const DelayCase &c : cases) {
        SCOPED_TRACE(std::string(c.base) + "," + c.line + "," + c.emg);
        for (int safe = 0; safe <= 1; ++safe) {
            startWith(safe);
            ecgPreprocessSetFilter(c.base, c.line, c.emg);
            EXPECT_EQ(getCurTotalDelay(), safe ? c.reportedSafe : c.reportedDefault);
            int paceBit = -1;
            const int measured = measuredDelay(1000, &paceBit);
            EXPECT_EQ(paceBit, safe ? c.reportedSafe : c.reportedDefault);
            if (safe) {
                EXPECT_NEAR(measured, c.measuredSafe, 1);
            }
        }
    }
    // Cry mode: the default keeps the delay of the choice before it; the
    // profile reports the cry chain's own.
    for (int safe = 0; safe <= 1; ++safe) {
        startWith(safe);
        ecgPreprocessSetFilter("0.05", "50", "40");
        const int before = getCurTotalDelay();
        ecgPreprocessSetFilterMode("cry");
        const int reported = getCurTotalDelay();
        const int measured = measuredDelay(1000);
        if (safe)
            EXPECT_NEAR(reported, measured, 1);
        else
            EXPECT_EQ(reported, before);
    }
}

// Gains at 1000 Hz, |H| of the rule 1 - (1 - cos((c-1)w)) / (K (1 + s cos(dw))):
// - stepped once, "comb 60 0.6" (s -1, d 50) has zeros at multiples of
//   1000 / 50 = 20 Hz: 20 Hz gain 0;
// - stepped three times (w = 2 pi f / 3000), 20 Hz gives cos(50 w) = -1/2,
//   so |1 - H| <= 2 / (3249 * 1.5) < 0.001; hold and mean of three add a
//   droop sinc^2(20 / 3000 * 3) = 0.999: gain about 1;
// - 60 Hz is a zero of both (multiple of 20, and 3000 / 50).
// "auto" after "60" keeps "comb 60" (s +1, d 25): once per sample its zeros
// are the odd multiples of 1000 / 50 = 20 Hz, three times per sample those
// of 3000 / 50 = 60 Hz.
struct GainCase {
    const char *name;
    std::function<void()> setUp;
    double f;
    double defaultGain, safeGain;
    const char *defaultTold, *safeTold;
};
TEST_F(SafeProfile, SixtyHertzNotchesOnlyMains)
{
    const GainCase cases[] = {
        {"0.6 with 60", [] { ecgPreprocessSetFilter("0.6", "60", "off"); }, 20, 0.0, 1.0, "null,60+0.6,null",
         "null,60+0.6,null"},
        {"0.67 with 60", [] { ecgPreprocessSetFilter("0.67", "60", "off"); }, 40, 0.0, 1.0, nullptr, nullptr},
        {"0.6 with 60 at 60 Hz", [] { ecgPreprocessSetFilter("0.6", "60", "off"); }, 60, 0.0, 0.0, nullptr, nullptr},
        {"auto after 60",
         [] {
             ecgPreprocessSetFilter("0.05", "60", "40");
             ecgPreprocessSetFilter("0.5", "auto", "40");
         },
         20, 0.0, 1.0, "0.5,auto,40", "0.5,60,40"},
    };
    for (const GainCase &c : cases) {
        SCOPED_TRACE(c.name);
        for (int safe = 0; safe <= 1; ++safe) {
            startWith(safe);
            c.setUp();
            EXPECT_NEAR(gainAt(c.f, 1000), safe ? c.safeGain : c.defaultGain, 0.05) << "safe " << safe;
            const char *told = safe ? c.safeTold : c.defaultTold;
            if (told != nullptr) {
                EXPECT_EQ(lastFilter(), std::string("filter:") + told);
            }
        }
    }
}

// 2000 Hz: the 1000 Hz "comb 50 0.6" (d 20) has its zeros at multiples of
// 2000 / 20 = 100 Hz there, so 50 Hz passes; the 2000 Hz record (d 40)
// puts them at multiples of 50 Hz.
TEST_F(SafeProfile, RateChangesRebuildTheFilters)
{
    for (int safe = 0; safe <= 1; ++safe) {
        SCOPED_TRACE(safe);
        startWith(safe, 2000);
        ecgPreprocessSetFilter("0.67", "50+0.6", "40");
        ecgPreprocessSetFilterMode("cry");
        ecgPreprocessSetFilterMode("normal");
        EXPECT_EQ(lastFilter(), "filter:0.67,50+0.6,40");
        EXPECT_NEAR(gainAt(50, 2000), safe ? 0.0 : 1.0, 0.05) << "leaving cry";

        startWith(safe, 1000);
        ecgPreprocessSetFilter("0.67", "50", "40");
        ASSERT_EQ(ecgPreprocessSetDataType("SL", 2000, 1000), 0);
        EXPECT_NEAR(gainAt(50, 2000), safe ? 0.0 : 1.0, 0.05) << "SetDataType to 2000";
    }
}

// "25": (1 - z^-13)^2 / (a (1 - z^-1)^2) with a[0] + a[1] + a[2] about 1e-12.
// Primed on a 1 mV level the recursive form's output history holds
// sum(b) / sum(a) * x0 = 0 and stays there (the double pole at DC keeps any
// offset); the FIR form primes to sum(taps) * x0 = 169 / 168.99973 * 1000.
TEST_F(SafeProfile, LowPassPrimingKeepsTheLevel)
{
    for (int safe = 0; safe <= 1; ++safe) {
        startWith(safe);
        ecgPreprocessSetFilter("off", "off", "25");
        const std::vector<double> y = feed(std::vector<double>(20000, 1000.0));
        EXPECT_NEAR(y[2000], safe ? 1000.0 : 0.0, 1.0) << "safe " << safe;
        EXPECT_NEAR(y.back(), safe ? 1000.0 : 0.0, 1.0) << "safe " << safe;
    }
}

// ---- heart rate and respiration ------------------------------------------------

// 30 s of beats at 75 per minute, then baseline wander that the quality
// monitor scores noisy on the heart-rate lead: the default shows 75 for
// good; the profile shows -1 once 10 s pass without a valid beat and starts
// learning again.
TEST_F(SafeProfile, StaleHeartRateBecomesUnknown)
{
    for (int safe = 0; safe <= 1; ++safe) {
        SCOPED_TRACE(safe);
        startWith(safe);
        feed(signal(30000, 1000, [&](double t) { return beats(t, 75); }));
        ASSERT_NEAR(getCurHeartRate(), 75, 2);
        HostRecord::get() = HostRecord{};
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 300.0);
        feed(signal(25000, 1000, [&](double t) { return beats(t, 75) + 4000 * std::sin(2 * kPi * 0.7 * t) + noise(rng); }));
        const HostRecord &h = HostRecord::get();
        EXPECT_EQ(h.count("hr:-1"), safe);
        EXPECT_EQ(h.count("status:hrlearning=true"), safe);
        EXPECT_EQ(getCurHeartRate(), safe ? -1 : 75);
    }
}

// Respiration word: the "SLR" frame's last input word.
TEST_F(SafeProfile, RespirationReportsOnlyWhatWasMeasured)
{
    const auto respCount = [] {
        int n = 0;
        for (const auto &e : HostRecord::get().events) n += e.rfind("resp:", 0) == 0 ? 1 : 0;
        return n;
    };
    for (int safe = 0; safe <= 1; ++safe) {
        SCOPED_TRACE(safe);
        // Lead II off (status bit 0x2) for 5 s: the default repeats -1 at
        // every analysis step after the debounce, the profile says it once
        // at most (the rate is -1 from Init on).
        startWith(safe, 1000, "SLR");
        const std::vector<double> flat(5000, 0.0);
        feed(flat, &flat, 0x2);
        if (safe)
            EXPECT_LE(respCount(), 1);
        else
            EXPECT_GT(respCount(), 1000);

        // No heart rate (flat ECG) and a 72 per minute oscillation on the
        // respiration word: the default takes it for breathing.
        startWith(safe, 1000, "SLR");
        const std::vector<double> osc = signal(60000, 1000, [](double t) { return 60 * std::sin(2 * kPi * 1.2 * t); });
        feed(std::vector<double>(60000, 0.0), &osc);
        EXPECT_EQ(HostRecord::get().count("resp:72") > 0, safe == 0);

        // Breathing at 15 per minute for 40 s, then apnoea with only the
        // cardiac oscillation (beats at 72): the default keeps showing a
        // jittered rate, the profile ends on -1.
        startWith(safe, 1000, "SLR");
        const std::vector<double> resp = signal(120000, 1000, [](double t) {
            return (t < 40 ? 400 * std::sin(2 * kPi * 0.25 * t) : 0.0) + 60 * std::sin(2 * kPi * 1.2 * t);
        });
        feed(signal(120000, 1000, [&](double t) { return beats(t, 72); }), &resp);
        EXPECT_EQ(getCurRespRate() == -1, safe == 1) << getCurRespRate();
    }
}

// ---- the switch ----------------------------------------------------------------

TEST_F(SafeProfile, SwitchAcceptsOnlyZeroOrOneAndSurvivesInit)
{
    const struct {
        int value, rc;
    } table[] = {{1, 0}, {1, 0}, {0, 0}, {2, -1}, {-1, -1}};
    for (const auto &t : table) EXPECT_EQ(ecgPreprocessSetSafeMode(t.value), t.rc) << t.value;
    // Set before Init: in effect from Init on.
    ASSERT_EQ(ecgPreprocessSetSafeMode(1), 0);
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 1);
    // Set after Init: in effect from the next frame block.
    ASSERT_EQ(ecgPreprocessSetSafeMode(0), 0);
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 1);
    feed(std::vector<double>(1, 0.0));
    EXPECT_EQ(ecgPreprocessGetSafeMode(), 0);
}

// The key "safe_mode" of the log configuration, read by the periodic task
// (after more than 999 frames): a change of the key is a request, in effect
// from the next frame block; the file left as it is does not undo the
// host's later choice.
TEST_F(SafeProfile, ConfigurationKeySwitchesTheProfile)
{
    TempDir dir;
    const std::string ini = dir.path() + "/log.ini";
    const auto write = [&](const char *value) {
        writeText(ini, "record_file_path = " + dir.path() + "\nrecord_switch = OFF\nlog_level = error\nsafe_mode = " +
                           value + "\n");
    };
    write("ON");
    PreprocessConf conf = defaultConf("3", "SL");
    conf.debugCfgFile = ini.c_str();
    ASSERT_EQ(start(conf), 0);
    const std::vector<double> second(1000, 0.0);
    const struct {
        const char *key;   // file content before the block, null: unchanged
        int hostValue;     // host's setter before the block, -1: not called
        int expected;      // in effect after the two following blocks
    } steps[] = {{nullptr, -1, 1}, {nullptr, 0, 0}, {nullptr, -1, 0}, {"OFF", 1, 0}, {"ON", -1, 1}};
    for (const auto &s : steps) {
        if (s.key != nullptr) write(s.key);
        if (s.hostValue >= 0) ecgPreprocessSetSafeMode(s.hostValue);
        feed(second);
        feed(second);
        feed(second);
        EXPECT_EQ(ecgPreprocessGetSafeMode(), s.expected) << (s.key ? s.key : "-") << " " << s.hostValue;
    }
}

// Switched in the middle of a 5 Hz, 1 mV sine with a chain the profile
// changes ("0.05", "60", "40": 2825-step delay becomes 942 samples, so the
// output jumps in time): the output moves no faster across the switch than
// the sine's own steepest step, 2 pi 5 * 1000 / 1000 = 31.4 uV, plus the
// fading offset's 0.2 % of at most 2 mV (4 uV).
TEST_F(SafeProfile, SwitchInTheMiddleOfARecordHasNoGlitch)
{
    for (int to = 1; to >= 0; --to) {
        SCOPED_TRACE(to);
        startWith(1 - to);
        ecgPreprocessSetFilter("0.05", "60", "40");
        const auto sine = [](int from, int n) {
            std::vector<double> x(static_cast<size_t>(n));
            for (int k = 0; k < n; ++k) x[size_t(k)] = 1000.0 * std::sin(2 * kPi * 5 * (from + k) / 1000.0);
            return x;
        };
        const std::vector<double> before = feed(sine(0, 8000));
        ASSERT_EQ(ecgPreprocessSetSafeMode(to), 0);
        std::vector<double> after = feed(sine(8000, 3000));
        after.insert(after.begin(), before.back());
        double worst = 0;
        for (size_t k = 1; k < after.size(); ++k) worst = std::max(worst, std::fabs(after[k] - after[k - 1]));
        EXPECT_LE(worst, 31.4 + 4.0 + 1.0);
        EXPECT_EQ(ecgPreprocessGetSafeMode(), to);
    }
}

}  // namespace
}  // namespace tessivar::test
