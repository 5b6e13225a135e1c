// Display filter selection: the installed records and reported choice for
// the combinations the host can name, "auto" and unknown names keeping a
// slot, emg 600, selection without change, the extra 0.01 Hz high-pass, the
// cry mode, the 60 Hz comb's three steps per sample, rates other than 1000
// and 2000, and the total delay over every combination of names.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "preprocess/ecg_filters.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/integer_filter.h"

namespace {

using tessivar::EcgPreprocessState;
using tessivar::Monitor;
using tessivar::monitor;
using tessivar::SingleLeadBuff;
using tessivar::test::defaultConf;
using tessivar::test::FrontEnd;
using tessivar::test::HostRecord;
using tessivar::kBase;
using tessivar::kEmg;
using tessivar::kLine;

EcgPreprocessState &state() { return monitor().g_ecgPreprocess; }

// Names of lead i's display filters, "-" for an empty slot.
std::string chain(int i = 0)
{
    const SingleLeadBuff &r = state().leadBuffs[i];
    std::string s;
    for (int k = 0; k < tessivar::kChainSlots; ++k) {
        if (k > 0) s += " | ";
        s += r.dispFilter[k] != nullptr ? r.dispFilter[k]->name : "-";
    }
    return s;
}

// Every lead record carries the chain of the first.
void expectSameChainEverywhere()
{
    for (int i = 1; i < state().leadBufCount; ++i) EXPECT_EQ(chain(i), chain(0)) << "lead record " << i;
}

std::string setting()
{
    char b[8], l[8], e[8];
    getCurFilterSetting(b, l, e);
    return std::string(b) + "," + l + "," + e;
}

// One-lead frames (status word, lead I) of a signal in microvolts.
std::vector<int> oneLeadFrames(const std::vector<double> &x)
{
    std::vector<int> in;
    for (double v : x) {
        in.push_back(0);
        in.push_back(int(std::lround(v)));
    }
    return in;
}

// Amplitude of the tone f (Hz, fs 1000) in y[from ... from + n - 1] by
// projection; n spans whole periods.
double toneAmplitude(const std::vector<double> &y, size_t from, size_t n, double f)
{
    double c = 0.0, s = 0.0;
    for (size_t k = from; k < from + n; ++k) {
        c += y[k] * std::cos(2.0 * M_PI * f * double(k) / 1000.0);
        s += y[k] * std::sin(2.0 * M_PI * f * double(k) / 1000.0);
    }
    return 2.0 * std::hypot(c, s) / double(n);
}

// ---- the described examples --------------------------------------------------

TEST_F(FrontEnd, ComboOfBaselineAndCombAt1000Hz)
{
    ASSERT_EQ(start(defaultConf("12", "SLR")), 0);
    HostRecord::get().events.clear();
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    // 1000 with line 50: no base filter, the comb with its own 0.6 Hz
    // high-pass; reported 0, 52, 35.
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    expectSameChainEverywhere();
    EXPECT_EQ(HostRecord::get().events, std::vector<std::string>{"filter:null,50+0.6,35"});
    EXPECT_EQ(setting(), "null,50+0.6,35");
    const char *lines[] = {"[T]{Unknown TAG}[set_filter]", ":1000-50-35", "[W]{Unknown TAG}[set_filter]",
                           "current_filt_array:", "\t[0]:NULL", "\t[1]:comb 50 0.6", "\t[2]:lpass 35",
                           "extra 0.01 Hz hp filter add"};
    for (const char *text : lines) EXPECT_TRUE(log.contains(text)) << text;
    EXPECT_FALSE(log.contains("enter_default"));
    // The comb is of the integer kind (extra 0.01 Hz high-pass in front, no
    // delay; see ExtraHighPassFollowsTheIntegerKind). Delay 940 (comb) + 0 (IIR).
    EXPECT_EQ(getCurTotalDelay(), 940);
    EXPECT_EQ(state().filterDelay, 940);
    EXPECT_EQ(state().lineEmgDelay, 940);

    // The same combination with 0.3 takes the comb with the 0.3 Hz
    // high-pass; 60 Hz combines the same way at 1000 Hz.
    ASSERT_EQ(ecgPreprocessSetFilter("0.32", "50", "20"), 0);
    EXPECT_EQ(chain(), "- | comb 50 0.3 | lpass 20");
    EXPECT_EQ(setting(), "null,50+0.3,20");
    ASSERT_EQ(ecgPreprocessSetFilter("0.6", "60", "20"), 0);
    EXPECT_EQ(chain(), "- | comb 60 0.6 | lpass 20");
    EXPECT_EQ(setting(), "null,60+0.6,20");
    ASSERT_EQ(ecgPreprocessSetFilter("0.3", "60", "20"), 0);
    EXPECT_EQ(chain(), "- | comb 60 0.3 | lpass 20");
    // Other baselines stay where they are.
    ASSERT_EQ(ecgPreprocessSetFilter("0.5", "50", "20"), 0);
    EXPECT_EQ(chain(), "hpass 0.5 | comb 50 | lpass 20");
    EXPECT_EQ(setting(), "0.5,50,20");
}

TEST_F(FrontEnd, AutoAndUnknownNamesKeepTheirSlot)
{
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "50", "35"), 0);
    const SignalFilter *base = state().leadBuffs[0].dispFilter[kBase];
    HostRecord::get().events.clear();
    log.clear();

    // "auto" keeps the base filter (the same object); the emg change is
    // reported with the requested "auto".
    ASSERT_EQ(ecgPreprocessSetFilter("auto", "50", "20"), 0);
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kBase], base);
    EXPECT_EQ(chain(), "hpass 0.05 | comb 50 | lpass 20");
    EXPECT_EQ(log.count("[E]{Unknown TAG}[set_filter]"), 1);
    EXPECT_TRUE(log.contains("set_filter enter_default!\n"));
    EXPECT_EQ(HostRecord::get().events, std::vector<std::string>{"filter:auto,50,20"});

    // Nothing changes: nothing is reported, and the reported choice stays
    // "auto" even though the base is named now.
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "50", "20"), 0);
    EXPECT_EQ(HostRecord::get().events.size(), 1u);
    EXPECT_EQ(setting(), "auto,50,20");

    // Names missing from their tables (-1) behave like "auto": all three
    // slots keep their filters, three messages, no report.
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.7", nullptr, "fast"), 0);
    EXPECT_EQ(chain(), "hpass 0.05 | comb 50 | lpass 20");
    EXPECT_EQ(log.count("set_filter enter_default!"), 3);
    EXPECT_EQ(HostRecord::get().events.size(), 1u);

    // "auto" with nothing chosen before leaves the slot empty.
    ASSERT_EQ(ecgPreprocessSetFilter("null", "null", "null"), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("auto", "auto", "100"), 0);
    EXPECT_EQ(chain(), "- | - | lpass 100");
    EXPECT_EQ(HostRecord::get().events.back(), "filter:auto,auto,100");
}

TEST_F(FrontEnd, Emg600AtBothRates)
{
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "null", "35"), 0);
    log.clear();
    HostRecord::get().events.clear();
    // At 1000 Hz the low-pass is removed, with a warning of its own and no
    // enter_default.
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "null", "600"), 0);
    EXPECT_EQ(chain(), "hpass 0.05 | - | -");
    expectSameChainEverywhere();
    EXPECT_TRUE(log.contains("[W]{Unknown TAG}[set_filter]"));
    EXPECT_TRUE(log.contains("1000 Hz 采样率无需600Hz滤波"));
    EXPECT_FALSE(log.contains("enter_default"));
    EXPECT_TRUE(log.contains("\t[2]:NULL"));
    EXPECT_EQ(HostRecord::get().events, std::vector<std::string>{"filter:0.05,null,600"});
    EXPECT_EQ(getCurTotalDelay(), 0);

    // At 2000 Hz it installs the 21/21 IIR "lpass 600".
    ASSERT_EQ(start(defaultConf("3", "SL", 2000)), 0);
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "null", "600"), 0);
    EXPECT_EQ(chain(), "hpass 0.05 | - | lpass 600");
    expectSameChainEverywhere();
    EXPECT_FALSE(log.contains("600Hz"));
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kEmg]->type, SIGNAL_FILTER_IIR_COMB);
    EXPECT_EQ(setting(), "0.05,null,600");
}

TEST_F(FrontEnd, At2000HzValuesOutsideItsCatalogueKeepTheSlot)
{
    ASSERT_EQ(start(defaultConf("3", "SL", 2000)), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "60", "35"), 0);
    // No 60 Hz combination at 2000 Hz: the IIR base and the 60 Hz trap.
    EXPECT_EQ(chain(), "hpass 0.67 | trap 60 | lpass 35");
    EXPECT_EQ(setting(), "0.67,60,35");
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    EXPECT_EQ(setting(), "null,50+0.6,35");
    EXPECT_EQ(getCurTotalDelay(), 1880 + 112);
    const SignalFilter *line = state().leadBuffs[0].dispFilter[kLine];
    log.clear();
    HostRecord::get().events.clear();

    ASSERT_EQ(ecgPreprocessSetFilter("null", "60+0.3", "35"), 0);
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kLine], line);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    EXPECT_TRUE(log.contains("[E]{Unknown TAG}[set_filter2000]"));
    EXPECT_TRUE(log.contains("set_filter2000 enter_default!\n"));
    EXPECT_TRUE(log.contains("\t[1]:comb 50 0.6"));
    EXPECT_TRUE(HostRecord::get().events.empty());

    // The cry values and line 62 are unknown here too; "0.32" and "0.5" are
    // IIR records of this catalogue, "0.3" its own integer record.
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("cry", "60+0.6", "cry"), 0);
    EXPECT_EQ(log.count("set_filter2000 enter_default!"), 3);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    ASSERT_EQ(ecgPreprocessSetFilter("0.32", "null", "550"), 0);  // "550" is no emg name
    EXPECT_EQ(chain(), "hpass 0.32 | - | lpass 35");
    ASSERT_EQ(ecgPreprocessSetFilter("0.3", "null", "350"), 0);
    EXPECT_EQ(chain(), "hpass 0.3 | - | lpass 350");
    EXPECT_EQ(getCurTotalDelay(), 3824 + 4);
    // The extra high-pass at 2000 Hz is "hp 0.01".
    ASSERT_NE(state().leadBuffs[0].extraFilter, nullptr);
    EXPECT_STREQ(state().leadBuffs[0].extraFilter->name, "hp 0.01");
}

TEST_F(FrontEnd, SelectingTheSameChoiceAgainTouchesNothing)
{
    ASSERT_EQ(start(defaultConf("1", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("null", "50", "null"), 0);
    EXPECT_EQ(HostRecord::get().count("filter:null,50,null"), 1);
    SignalFilter *comb = state().leadBuffs[0].dispFilter[kLine];
    std::vector<double> x(500);
    for (size_t n = 0; n < x.size(); ++n) x[n] = 800.0 * std::sin(0.01 * double(n));
    run(oneLeadFrames(x));
    const auto *state1 = reinterpret_cast<const IntegerFilter *>(comb);
    const int32_t index = state1->xIndex;
    ASSERT_EQ(comb->clearPending, 0);

    ASSERT_EQ(ecgPreprocessSetFilter("null", "50", "null"), 0);
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kLine], comb);  // not recreated
    EXPECT_EQ(comb->clearPending, 0);                          // not re-initialised
    EXPECT_EQ(state1->xIndex, index);
    EXPECT_EQ(HostRecord::get().count("filter:null,50,null"), 1);  // not reported again
}

TEST_F(FrontEnd, ExtraHighPassFollowsTheIntegerKind)
{
    ASSERT_EQ(start(defaultConf("5", "SL")), 0);
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.3", "null", "null"), 0);
    EXPECT_TRUE(log.contains("extra 0.01 Hz hp filter add"));
    for (int i = 0; i < state().leadBufCount; ++i) {
        ASSERT_NE(state().leadBuffs[i].extraFilter, nullptr);
        EXPECT_STREQ(state().leadBuffs[i].extraFilter->name, "hpass 0.01");
        EXPECT_EQ(getSignalFilterDelay(state().leadBuffs[i].extraFilter), 0);
    }
    EXPECT_EQ(getCurTotalDelay(), 1919);

    // IIR base, no line, FIR emg: no integer kind left, the extra goes.
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "null", "20"), 0);
    EXPECT_TRUE(log.contains("extra 0.01 Hz hp filter delete"));
    for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].extraFilter, nullptr);
    EXPECT_EQ(getCurTotalDelay(), 56);

    // The base "0.01" is the same moving average, run without delay and not
    // counted; it is not of the integer kind.
    ASSERT_EQ(ecgPreprocessSetFilter("0.01", "null", "null"), 0);
    EXPECT_EQ(chain(), "hpass 0.01 | - | -");
    EXPECT_EQ(getSignalFilterDelay(state().leadBuffs[0].dispFilter[kBase]), 0);
    EXPECT_EQ(state().leadBuffs[0].extraFilter, nullptr);
    EXPECT_EQ(getCurTotalDelay(), 0);
}

TEST_F(FrontEnd, CryModeAndBack)
{
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    HostRecord::get().events.clear();
    ASSERT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(chain(), "hpass cry | trap cry | lpass cry");
    expectSameChainEverywhere();
    EXPECT_EQ(setting(), "cry,cry,cry");
    EXPECT_EQ(state().savedBase, 0);
    EXPECT_EQ(state().savedLine, 52);
    EXPECT_EQ(state().savedEmg, 35);
    ASSERT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    EXPECT_EQ(setting(), "null,50+0.6,35");
    EXPECT_EQ(HostRecord::get().events,
              (std::vector<std::string>{"filter:cry,cry,cry", "filter:null,50+0.6,35"}));

    // A choice made in cry mode is replaced by the restore.
    ASSERT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "60", "20"), 0);
    EXPECT_EQ(chain(), "hpass 0.05 | comb 60 | lpass 20");
    ASSERT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");

    // At 2000 Hz the cry records come from the 1000 Hz catalogue too.
    ASSERT_EQ(start(defaultConf("3", "SL", 2000)), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.6", "null", "45"), 0);
    ASSERT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(chain(), "hpass cry | trap cry | lpass cry");
    ASSERT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    // The restore runs the 1000 Hz selection: "lpass 45" is its IIR record.
    EXPECT_EQ(chain(), "hpass 0.6 | - | lpass 45");
    EXPECT_EQ(state().leadBuffs[0].dispFilter[kEmg]->type, SIGNAL_FILTER_IIR_COMB);
}

TEST_F(FrontEnd, AnalysisChainHasOnlyTheFixedCombAtBothRates)
{
    for (int fs : {1000, 2000}) {
        ASSERT_EQ(start(defaultConf("5", "SL", fs)), 0);
        ASSERT_EQ(ecgPreprocessSetFilter("0.05", "60", "20"), 0);
        for (int i = 0; i < state().leadBufCount; ++i) {
            const SingleLeadBuff &r = state().leadBuffs[i];
            EXPECT_EQ(r.hrFilter[kBase], nullptr);
            ASSERT_NE(r.hrFilter[kLine], nullptr);
            EXPECT_STREQ(r.hrFilter[kLine]->name, "trap_50");
            EXPECT_EQ(getSignalFilterDelay(r.hrFilter[kLine]), 940);
            EXPECT_EQ(r.hrFilter[kEmg], nullptr);
        }
    }
}

// ---- the 60 Hz comb at 1000 Hz ---------------------------------------------------

TEST_F(FrontEnd, Comb60At1000HzStepsThreeTimesPerSample)
{
    ASSERT_EQ(start(defaultConf("1", "SL")), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("null", "60", "null"), 0);
    ASSERT_EQ(chain(), "- | comb 60 | -");
    const auto *comb = reinterpret_cast<const IntegerFilter *>(state().leadBuffs[0].dispFilter[kLine]);
    const int32_t len = comb->xLen;

    // A 20 Hz and a 60 Hz tone of 10 mV each. Stepped once per sample at
    // 1000 Hz this comb (notches at odd multiples of 20 Hz) would remove
    // both; three steps put its notches at 60, 180, ... Hz. Gains of the
    // three-step response from tools/filter_responses.py (triple_step_ir):
    // 0.99853 at 20 Hz, 0.00528 (-45.5 dB) at 60 Hz.
    std::vector<double> x(6000);
    for (size_t n = 0; n < x.size(); ++n)
        x[n] = 10000.0 * (std::sin(2.0 * M_PI * 20.0 * double(n) / 1000.0) +
                          std::sin(2.0 * M_PI * 60.0 * double(n) / 1000.0 + 0.4));
    std::vector<int> out = run(oneLeadFrames({x[0]}));  // primes the filters
    const int32_t before = comb->xIndex;
    const std::vector<int> rest = run(oneLeadFrames(std::vector<double>(x.begin() + 1, x.end())));
    out.insert(out.end(), rest.begin(), rest.end());
    // The history index counts down by one per step: 3 x 5999 steps.
    EXPECT_EQ(((before - comb->xIndex) % len + len) % len, (3 * 5999) % len);

    std::vector<double> y(x.size());
    for (size_t n = 0; n < y.size(); ++n) y[n] = out[2 * n + 1];
    EXPECT_NEAR(toneAmplitude(y, 3000, 3000, 20.0) / 10000.0, 0.99853, 0.002);
    EXPECT_LT(toneAmplitude(y, 3000, 3000, 60.0) / 10000.0, 0.0065);

    // "60+0.6" at 1000 Hz is stepped once per sample (curLine 62).
    ASSERT_EQ(ecgPreprocessSetFilter("null", "60+0.6", "null"), 0);
    const auto *comb62 = reinterpret_cast<const IntegerFilter *>(state().leadBuffs[0].dispFilter[kLine]);
    run(oneLeadFrames({5.0}));
    const int32_t before62 = comb62->xIndex;
    run(oneLeadFrames(std::vector<double>(100, 5.0)));
    EXPECT_EQ(((before62 - comb62->xIndex) % comb62->xLen + comb62->xLen) % comb62->xLen, 100);
}

TEST(FilterBank, LineFilterTripleStepIsTheMeanOfThreeSteps)
{
    // The comb of the rule c 2851, d 25, K 12996, s +1, written out here.
    const IntegerFilterTap num[] = {{1, 1}, {2826, 12996}, {2851, 25990}, {2876, 12996}, {5701, 1}};
    const IntegerFilterTap den[] = {{1, 12996}, {26, 25992}, {51, 12996}};
    const IntegerFilterConf rule = {SIGNAL_FILTER_INTEGER, "comb 60", nullptr, 1.0, num, 5701, 5, den, 51, 3};
    SignalFilter *twin = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&rule));
    SignalFilter *comb = newSignalFilter(tessivar::catalogueRecord(tessivar::kCatalogue1000, kLine, 60));
    ASSERT_NE(twin, nullptr);
    ASSERT_NE(comb, nullptr);
    auto *m = new Monitor();
    m->g_ecgPreprocess.fs = 1000;
    m->g_ecgPreprocess.curLine = 60;
    for (int n = 0; n < 8000; ++n) {
        const double x = 1000.0 * std::sin(0.37 * n) + 300.0 * std::cos(0.011 * n);
        const double a = doSignalFilter(twin, x), b = doSignalFilter(twin, x), c = doSignalFilter(twin, x);
        ASSERT_NEAR(tessivar::doLineFilter(*m, comb, x), (a + b + c) / 3.0, 1e-9) << n;
    }
    // At 2000 Hz, or with any other line value, one step.
    m->g_ecgPreprocess.fs = 2000;
    EXPECT_NEAR(tessivar::doLineFilter(*m, comb, 7.0), doSignalFilter(twin, 7.0), 1e-9);
    m->g_ecgPreprocess.fs = 1000;
    m->g_ecgPreprocess.curLine = 62;
    EXPECT_NEAR(tessivar::doLineFilter(*m, comb, 9.0), doSignalFilter(twin, 9.0), 1e-9);
    // No filter: the sample passes.
    EXPECT_EQ(tessivar::doLineFilter(*m, nullptr, 4.5), 4.5);
    delete m;
    delSignalFilter(&twin);
    delSignalFilter(&comb);
}

// ---- other rates and no lead records ------------------------------------------------

TEST_F(FrontEnd, OtherRatesUseThe1000HzCatalogue)
{
    // The interface refuses other rates; the selection still copes with one
    // set on the state directly.
    ASSERT_EQ(start(defaultConf("3", "SL")), 0);
    state().fs = 500;
    log.clear();
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    EXPECT_TRUE(log.contains("[set_filter]"));
    EXPECT_FALSE(log.contains("[set_filter2000]"));
    EXPECT_EQ(chain(), "- | comb 50 0.6 | lpass 35");
    EXPECT_STREQ(state().leadBuffs[0].extraFilter->name, "hpass 0.01");
    // At 500 Hz the 60 Hz comb is stepped once per sample.
    ASSERT_EQ(ecgPreprocessSetFilter("null", "60", "null"), 0);
    const auto *comb = reinterpret_cast<const IntegerFilter *>(state().leadBuffs[0].dispFilter[kLine]);
    run(std::vector<int>(3, 0));
    const int32_t before = comb->xIndex;
    run(std::vector<int>(3 * 10, 0));
    EXPECT_EQ(((before - comb->xIndex) % comb->xLen + comb->xLen) % comb->xLen, 10);
}

TEST(FilterBank, SelectionWithoutLeadRecordsOnlyReports)
{
    auto *m = new Monitor();
    m->g_ecgPreprocess.fs = 1000;
    EXPECT_EQ(tessivar::set_filter(*m, 1000, 50, 35), 0);
    EXPECT_EQ(m->g_ecgPreprocess.curLine, 52);
    EXPECT_EQ(tessivar::set_filter2000(*m, 2222, 61, 999), 0);  // all unknown: nothing chosen, nothing reported
    EXPECT_EQ(m->g_ecgPreprocess.curLine, 52);
    EXPECT_EQ(tessivar::set_filter2000(*m, 300, 50, 40), 0);
    EXPECT_EQ(m->g_ecgPreprocess.curBase, 0);
    EXPECT_EQ(m->g_ecgPreprocess.curLine, 51);
    EXPECT_EQ(tessivar::updateExtra001Filter(*m), 0);
    EXPECT_EQ(tessivar::_ecgPreprocessSetFilter(*m, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(tessivar::set_mode(*m, 1), 0);
    EXPECT_EQ(m->g_ecgPreprocess.curEmg, 2222);
    EXPECT_EQ(tessivar::set_mode(*m, 0), 0);
    EXPECT_EQ(m->g_ecgPreprocess.curLine, 51);
    delete m;
}

// ---- the total delay over every combination of names ---------------------------------

struct DelayEntry {
    int slot;
    int32_t value;
    int32_t delay;
};

// Delays of the records, by catalogue (the moving average counts 0).
const DelayEntry kDelays1000[] = {
    {kBase, 10, 0},    {kBase, 50, 0},    {kBase, 300, 1919}, {kBase, 320, 1919}, {kBase, 500, 0},
    {kBase, 600, 959}, {kBase, 1000, 871}, {kBase, 2222, 853}, {kLine, 50, 950},  {kLine, 51, 1900},
    {kLine, 52, 940},  {kLine, 60, 2825}, {kLine, 61, 5700},  {kLine, 62, 2800},  {kLine, 2222, 0},
    {kEmg, 20, 56},    {kEmg, 25, 0},     {kEmg, 35, 0},      {kEmg, 40, 56},     {kEmg, 45, 0},
    {kEmg, 75, 0},     {kEmg, 100, 43},   {kEmg, 150, 0},     {kEmg, 250, 56},    {kEmg, 270, 56},
    {kEmg, 350, 56},   {kEmg, 380, 56},   {kEmg, 2222, 65},
};
const DelayEntry kDelays2000[] = {
    {kBase, 10, 0},     {kBase, 50, 0},    {kBase, 300, 3824}, {kBase, 320, 0},   {kBase, 500, 0},
    {kBase, 600, 1912}, {kBase, 1000, 0},  {kLine, 50, 1900},  {kLine, 51, 3800}, {kLine, 52, 1880},
    {kLine, 60, 0},     {kEmg, 20, 112},   {kEmg, 25, 112},    {kEmg, 35, 112},   {kEmg, 40, 112},
    {kEmg, 45, 112},    {kEmg, 75, 112},   {kEmg, 100, 112},   {kEmg, 150, 112},  {kEmg, 250, 112},
    {kEmg, 270, 112},   {kEmg, 350, 4},    {kEmg, 380, 112},   {kEmg, 600, 0},
};

// Every name of the three tables, plus one missing from each.
const char *const kBaseNames[] = {"null", "off", "auto", "cry", "0.01", "0.05", "0.3",
                                  "0.32", "0.5", "0.6",  "0.67", "1",    "0.7"};
const char *const kLineNames[] = {"null", "off", "auto", "cry", "50", "50+0.3", "50+0.6", "60", "60+0.3", "60+0.6",
                                  "55"};
const char *const kEmgNames[] = {"null", "off", "auto", "cry", "20",  "25",  "35",  "40",  "42", "45",
                                 "75",   "100", "150",  "250", "270", "350", "380", "600", "fast"};

// The selection's delays as described: combine, map, keep the previous
// slot for values the catalogue lacks. Returns base + line + emg.
struct DelayModel {
    const DelayEntry *table;
    size_t count;
    bool is1000;
    int32_t slot[3] = {0, 0, 0};

    int32_t apply(int32_t base, int32_t line, int32_t emg)
    {
        if (line == 50 || (is1000 && line == 60)) {
            if (base == 600 || base == 1000) base = 0, line += 2;
            else if (base == 300 || base == 320) base = 0, line += 1;
        }
        const int32_t v[3] = {base, line, emg};
        for (int k = 0; k < 3; ++k) {
            if (v[k] == 0 || (is1000 && k == kEmg && v[k] == 600)) {
                slot[k] = 0;
                continue;
            }
            for (size_t i = 0; i < count; ++i)
                if (table[i].slot == k && table[i].value == v[k]) slot[k] = table[i].delay;
        }
        return slot[0] + slot[1] + slot[2];
    }
};

void walkAllCombinations(int fs, int32_t expectedMax)
{
    PreprocessConf conf = defaultConf("1", "SL", fs);
    conf.paceFilter = 1;
    ASSERT_EQ(ecgPreprocessInit(&conf), 0);
    ecgPreprocessSetFuzzFilter(1);
    const int32_t fixed = 100 + int32_t(fs * 0.04);  // pace remover + noise steps
    DelayModel model{fs == 2000 ? kDelays2000 : kDelays1000,
                     fs == 2000 ? std::size(kDelays2000) : std::size(kDelays1000), fs != 2000};
    int32_t maxSeen = 0;
    for (const char *b : kBaseNames)
        for (const char *l : kLineNames)
            for (const char *e : kEmgNames) {
                ecgPreprocessSetFilter(b, l, e);
                const int32_t expected =
                    model.apply(tessivar::get_value_by_name(tessivar::base_array, b),
                                tessivar::get_value_by_name(tessivar::line_array, l),
                                tessivar::get_value_by_name(tessivar::emg_array, e)) + fixed;
                const int32_t total = getCurTotalDelay();
                ASSERT_EQ(total, expected) << fs << " Hz: " << b << " / " << l << " / " << e;
                ASSERT_LT(total, 10000);
                maxSeen = std::max(maxSeen, total);
            }
    EXPECT_EQ(maxSeen, expectedMax);
    ecgPreprocessDenit();
}

TEST_F(FrontEnd, TotalDelayOfEveryCombinationAtBothRates)
{
    // Largest: 1000 Hz "0.3" + "60+0.3" + "cry" = 1919 + 5700 + 65, plus 100
    // and 40; 2000 Hz "0.3" + "50+0.3" + a 225-tap low-pass = 3824 + 3800 +
    // 112, plus 100 and 80.
    walkAllCombinations(1000, 7824);
    walkAllCombinations(2000, 7916);
}

}  // namespace
