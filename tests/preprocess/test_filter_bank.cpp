// Display filter selection: installed records, reported choice and delays
// for the names the host can give at both rates, "auto" and unknown names
// keeping a slot, selection without change, the extra 0.01 Hz high-pass,
// the cry mode and the 60 Hz comb's three steps per sample.
#include <cmath>
#include <string>
#include <vector>

#include "preprocess/ecg_filters.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/integer_filter.h"

namespace tessivar::test {
namespace {

void expectSameChainEverywhere()
{
    for (int i = 1; i < state().leadBufCount; ++i) EXPECT_EQ(chain(i), chain(0)) << "lead record " << i;
}

const IntegerFilter *integerIn(int slot) { return reinterpret_cast<const IntegerFilter *>(state().leadBuffs[0].dispFilter[slot]); }

// Steps an integer filter took between two history indexes (it counts down).
int stepsBetween(const IntegerFilter *f, int32_t before) { return ((before - f->xIndex) % f->xLen + f->xLen) % f->xLen; }

TEST_F(FrontEnd, EachNamedChoiceInstallsItsRecordsAndDelay)
{
    // extra: the extra high-pass in front, or null.
    const struct { int fs; const char *base, *line, *emg, *chain, *told; int delay; const char *extra; } cases[] = {
        // Baseline 0.6/0.67 with comb 50 -> "comb 50 0.6"; 0.3/0.32 -> "comb
        // 50 0.3"; at 1000 Hz also for 60. Delays: record table.
        {1000, "0.67", "50", "35", "- | comb 50 0.6 | lpass 35", "null,50+0.6,35", 940, "hpass 0.01"},
        {1000, "0.32", "50", "20", "- | comb 50 0.3 | lpass 20", "null,50+0.3,20", 1900 + 56, "hpass 0.01"},
        {1000, "0.6", "60", "20", "- | comb 60 0.6 | lpass 20", "null,60+0.6,20", 2800 + 56, "hpass 0.01"},
        {1000, "0.3", "60", "cry", "- | comb 60 0.3 | lpass cry", "null,60+0.3,cry", 5700 + 65, "hpass 0.01"},
        {1000, "0.5", "50", "42", "hpass 0.5 | comb 50 | lpass 42", "0.5,50,40", 950 + 56, "hpass 0.01"},
        {1000, "0.3", "null", "100", "hpass 0.3 | - | lpass 100", "0.3,null,100", 1919 + 43, "hpass 0.01"},
        {1000, "1", "off", "270", "hpass 0.67 | - | lpass 270", "0.67,null,270", 871 + 56, "hpass 0.01"},
        {1000, "cry", "cry", "75", "hpass cry | trap cry | lpass 75", "cry,cry,75", 853, "hpass 0.01"},
        {1000, "0.05", "null", "20", "hpass 0.05 | - | lpass 20", "0.05,null,20", 56, nullptr},
        {1000, "0.01", "null", "null", "hpass 0.01 | - | -", "0.01,null,null", 0, nullptr},  // average kind, delay forced 0
        {1000, "0.05", "null", "600", "hpass 0.05 | - | -", "0.05,null,600", 0, nullptr},     // 600 removes the low-pass
        {2000, "0.67", "60", "35", "hpass 0.67 | trap 60 | lpass 35", "0.67,60,35", 112, nullptr},  // no 60 combination
        {2000, "0.67", "50", "35", "- | comb 50 0.6 | lpass 35", "null,50+0.6,35", 1880 + 112, "hp 0.01"},
        {2000, "0.32", "50", "20", "- | comb 50 0.3 | lpass 20", "null,50+0.3,20", 3800 + 112, "hp 0.01"},
        {2000, "0.3", "null", "350", "hpass 0.3 | - | lpass 350", "0.3,null,350", 3824 + 4, "hp 0.01"},
        {2000, "0.6", "50+0.3", "380", "hpass 0.6 | comb 50 0.3 | lpass 380", "0.6,50+0.3,380", 1912 + 3800 + 112, "hp 0.01"},
        // The longest choices: 1919 + 5700 + 65 and 3824 + 3800 + 112 (below the 10000-frame rings).
        {1000, "0.3", "60+0.3", "cry", "hpass 0.3 | comb 60 0.3 | lpass cry", "0.3,60+0.3,cry", 7684, "hpass 0.01"},
        {2000, "0.3", "50+0.3", "20", "hpass 0.3 | comb 50 0.3 | lpass 20", "0.3,50+0.3,20", 7736, "hp 0.01"},
        {2000, "0.32", "null", "600", "hpass 0.32 | - | lpass 600", "0.32,null,600", 0, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.fs) + " Hz " + c.base + " / " + c.line + " / " + c.emg);
        ASSERT_EQ(start(defaultConf("5", "SL", c.fs)), 0);
        clearEvents();
        log.clear();
        ASSERT_EQ(ecgPreprocessSetFilter(c.base, c.line, c.emg), 0);
        EXPECT_EQ(chain(), c.chain);
        expectSameChainEverywhere();
        EXPECT_EQ(events(), std::vector<std::string>{std::string("filter:") + c.told});
        EXPECT_EQ(setting(), c.told);
        EXPECT_EQ(getCurTotalDelay(), c.delay);
        EXPECT_EQ(state().filterDelay, c.delay);
        EXPECT_FALSE(log.contains("enter_default"));
        for (int i = 0; i < state().leadBufCount; ++i) {
            const SignalFilter *x = state().leadBuffs[i].extraFilter;
            ASSERT_EQ(x != nullptr, c.extra != nullptr) << i;
            if (x == nullptr) continue;
            EXPECT_STREQ(x->name, c.extra);
            EXPECT_EQ(getSignalFilterDelay(x), 0);
        }
        EXPECT_TRUE(log.contains(c.extra != nullptr ? "extra 0.01 Hz hp filter add" : "extra 0.01 Hz hp filter delete"));
        EXPECT_EQ(log.contains("1000 Hz 采样率无需600Hz滤波"), c.fs == 1000 && std::string(c.emg) == "600");
    }
    // The 2000 Hz "lpass 600" is the IIR record; the log of the first row.
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kEmg]->type, SIGNAL_FILTER_IIR_COMB);
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    for (const char *text : {"[T]{Unknown TAG}[set_filter]", ":1000-50-35", "[W]{Unknown TAG}[set_filter]",
                             "current_filt_array:", "\t[0]:NULL", "\t[1]:comb 50 0.6", "\t[2]:lpass 35"})
        EXPECT_TRUE(log.contains(text)) << text;
}

TEST_F(FrontEnd, AutoAndUnknownNamesKeepTheirSlot)
{
    // Names, the chain, "enter_default" lines (one per slot kept) and the report; the report keeps a requested "auto".
    const struct { int fs; const char *base, *line, *emg, *chain; int kept; const char *told; } steps[] = {
        {1000, "0.05", "50", "35", "hpass 0.05 | comb 50 | lpass 35", 0, "0.05,50,35"},
        {1000, "auto", "50", "20", "hpass 0.05 | comb 50 | lpass 20", 1, "auto,50,20"},
        {1000, "0.05", "50", "20", "hpass 0.05 | comb 50 | lpass 20", 0, nullptr},  // no change: no report
        {1000, "0.7", nullptr, "fast", "hpass 0.05 | comb 50 | lpass 20", 3, nullptr},  // names missing from the tables
        {1000, "null", "null", "null", "- | - | -", 0, "null,null,null"},
        {1000, "auto", "auto", "100", "- | - | lpass 100", 2, "auto,auto,100"},  // nothing chosen before: empty
        {2000, "0.67", "50", "35", "- | comb 50 0.6 | lpass 35", 0, "null,50+0.6,35"},
        {2000, "null", "60+0.3", "35", "- | comb 50 0.6 | lpass 35", 1, nullptr},  // no 61, 62 or cry records at 2000 Hz
        {2000, "cry", "60+0.6", "cry", "- | comb 50 0.6 | lpass 35", 3, nullptr},
    };
    int fs = 0;
    std::string told;
    for (const auto &s : steps) {
        SCOPED_TRACE(std::to_string(s.fs) + " Hz " + (s.base ? s.base : "-") + " / " + (s.line ? s.line : "-") + " / " + s.emg);
        if (s.fs != fs) {
            ASSERT_EQ(start(defaultConf("5", "SL", fs = s.fs)), 0);
        }
        clearEvents();
        log.clear();
        ASSERT_EQ(ecgPreprocessSetFilter(s.base, s.line, s.emg), 0);
        EXPECT_EQ(chain(), s.chain);
        expectSameChainEverywhere();
        const std::string function = fs == 2000 ? "set_filter2000" : "set_filter";
        EXPECT_EQ(log.count(function + " enter_default!\n"), s.kept);
        EXPECT_EQ(log.count("[E]{Unknown TAG}[" + function + "]"), s.kept);
        EXPECT_EQ(events(), s.told ? std::vector<std::string>{std::string("filter:") + s.told} : std::vector<std::string>{});
        told = s.told ? s.told : told;
        EXPECT_EQ(setting(), told);
    }
}

TEST_F(FrontEnd, SelectingTheSameChoiceAgainTouchesNothing)
{
    ASSERT_EQ(start(defaultConf("1", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("null", "50", "null"), 0);
    SignalFilter *comb = state().leadBuffs[0].dispFilter[kLine];
    run(oneLeadFrames(std::vector<double>(500, 800.0)));
    const int32_t index = integerIn(kLine)->xIndex;
    ASSERT_EQ(ecgPreprocessSetFilter("null", "50", "null"), 0);
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kLine], comb);  // neither recreated, re-initialised nor reported
    EXPECT_TRUE(comb->clearPending == 0 && integerIn(kLine)->xIndex == index);
    EXPECT_EQ(HostRecord::get().count("filter:null,50,null"), 1);
}

TEST_F(FrontEnd, CryModeAndBack)
{
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    clearEvents();
    log.clear();
    // Each mode switches on a change only: a repeated mode runs nothing.
    const struct { const char *mode; int runs; } modes[] = {{"normal", 0}, {"cry", 1}, {"cry", 1}, {"normal", 2}, {"normal", 2}};
    for (const auto &m : modes) {
        ASSERT_EQ(ecgPreprocessSetFilterMode(m.mode), 0);
        EXPECT_EQ(log.count("[set_mode]"), m.runs) << m.mode;
        EXPECT_EQ(state().filterMode, m.mode[0] == 'c' ? 1 : 0);
        if (m.runs != 1) continue;
        EXPECT_EQ(chain(), "hpass cry | trap cry | lpass cry");
        expectSameChainEverywhere();
        EXPECT_EQ(setting(), "cry,cry,cry");
        EXPECT_EQ(state().savedBase, 0);
        EXPECT_EQ(state().savedLine, 52);
        EXPECT_EQ(state().savedEmg, 35);
    }
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    EXPECT_EQ(events(), (std::vector<std::string>{"filter:cry,cry,cry", "filter:null,50+0.6,35"}));
    // A choice made in cry mode is replaced by the restore.
    ASSERT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "60", "20"), 0);
    EXPECT_EQ(chain(), "hpass 0.05 | comb 60 | lpass 20");
    ASSERT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    // At 2000 Hz cry and its restore select from the 1000 Hz catalogue:
    // "lpass 45" comes back as that catalogue's IIR record.
    ASSERT_EQ(start(defaultConf("3", "SL", 2000)), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.6", "null", "45"), 0);
    ASSERT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(chain(), "hpass cry | trap cry | lpass cry");
    ASSERT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(chain(), "hpass 0.6 | - | lpass 45");
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kEmg]->type, SIGNAL_FILTER_IIR_COMB);
}

// ---- the 60 Hz comb at 1000 Hz ---------------------------------------------------

TEST_F(FrontEnd, Comb60At1000HzStepsThreeTimesPerSample)
{
    // The history index counts down one per step: "60" at 1000 Hz takes three per sample; "60+0.6" or other rates one.
    ASSERT_EQ(start(defaultConf("1", "SL")), 0);
    const struct { const char *line; int fs, steps; } cases[] = {{"60", 1000, 3 * 100}, {"60+0.6", 1000, 100}, {"60", 500, 100}};
    for (const auto &c : cases) {
        ASSERT_EQ(ecgPreprocessSetFilter("null", c.line, "null"), 0);
        state().fs = c.fs;
        run(oneLeadFrames({5.0}));  // primes the filters
        const int32_t before = integerIn(kLine)->xIndex;
        run(oneLeadFrames(std::vector<double>(100, 5.0)));
        EXPECT_EQ(stepsBetween(integerIn(kLine), before), c.steps) << c.line << " at " << c.fs;
    }
}

TEST(FilterBank, LineFilterTripleStepIsTheMeanOfThreeSteps)
{
    // The comb of the rule c 2851, d 25, K 12996, s +1, written out here.
    const IntegerFilterTap num[] = {{1, 1}, {2826, 12996}, {2851, 25990}, {2876, 12996}, {5701, 1}};
    const IntegerFilterTap den[] = {{1, 12996}, {26, 25992}, {51, 12996}};
    const IntegerFilterConf rule = {SIGNAL_FILTER_INTEGER, "comb 60", nullptr, 1.0, num, 5701, 5, den, 51, 3};
    SignalFilter *twin = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&rule));
    SignalFilter *comb = newSignalFilter(catalogueRecord(kCatalogue1000, kLine, 60));
    ASSERT_TRUE(twin != nullptr && comb != nullptr);
    auto m = std::make_unique<Monitor>();
    m->g_ecgPreprocess.fs = 1000, m->g_ecgPreprocess.curLine = 60;
    for (int n = 0; n < 8000; ++n) {
        const double x = 1000.0 * std::sin(0.37 * n) + 300.0 * std::cos(0.011 * n);
        const double a = doSignalFilter(twin, x), b = doSignalFilter(twin, x), c = doSignalFilter(twin, x);
        ASSERT_NEAR(doLineFilter(*m, comb, x), (a + b + c) / 3.0, 1e-9) << n;
    }
    m->g_ecgPreprocess.fs = 2000;
    EXPECT_NEAR(doLineFilter(*m, comb, 7.0), doSignalFilter(twin, 7.0), 1e-9);
    m->g_ecgPreprocess.fs = 1000, m->g_ecgPreprocess.curLine = 62;
    EXPECT_NEAR(doLineFilter(*m, comb, 9.0), doSignalFilter(twin, 9.0), 1e-9);
    EXPECT_EQ(doLineFilter(*m, nullptr, 4.5), 4.5);  // no filter: the sample passes
    delSignalFilter(&twin);
    delSignalFilter(&comb);
}

}  // namespace
}  // namespace tessivar::test
