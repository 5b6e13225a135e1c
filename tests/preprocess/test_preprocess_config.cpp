// The host interface: vocabularies, setters and getters, frame geometry and
// where every lead lands, refused inputs and calls outside Init ... Denit.
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "preprocess/preprocess_fixture.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/anal_log.h"

namespace {

using tessivar::monitor;
using tessivar::test::FrontEnd;
using tessivar::test::HostRecord;
using tessivar::test::defaultConf;

const tessivar::EcgPreprocessState &state() { return monitor().g_ecgPreprocess; }

// ---- vocabularies -----------------------------------------------------------

struct Entry {
    const char *name;
    int value;
};

void expectTable(const tessivar::NameValue *table, const std::vector<Entry> &entries)
{
    size_t n = 0;
    while (table[n].name != nullptr) ++n;
    EXPECT_EQ(n, entries.size());
    EXPECT_EQ(table[n].value, -1);
    for (const Entry &e : entries) EXPECT_EQ(tessivar::get_value_by_name(table, e.name), e.value) << e.name;
}

TEST(Vocabulary, EveryTableHoldsItsNames)
{
    using namespace tessivar;
    expectTable(valid_lead_num_array, {{"1", 1}, {"3", 2}, {"5", 3}, {"12", 8}, {"15", 11}, {"18", 14}});
    expectTable(g_ecgDataFormat, {{"SLR", 7}, {"SL", 3}, {"SLT", 11}, {"SLRT", 15}});
    const std::vector<Entry> leads = {{"I", 0},   {"II", 1},  {"III", 2},  {"aVR", 3},  {"aVL", 4},  {"aVF", 5},
                                      {"V1", 6},  {"V2", 7},  {"V3", 8},   {"V4", 9},   {"V5", 10},  {"V6", 11},
                                      {"V7", 12}, {"V8", 13}, {"V9", 14},  {"V3R", 15}, {"V4R", 16}, {"V5R", 17}};
    expectTable(g_ecgOutLead, leads);
    std::vector<Entry> hrLeads = leads;
    hrLeads.push_back({"auto", 18});
    expectTable(g_ecgHrLead, hrLeads);
    expectTable(g_respLead, {{"I", 0}, {"II", 1}});
    expectTable(g_qrsMode, {{"adult", 0}, {"child", 1}, {"newborn", 1}});
    expectTable(g_filterMode, {{"normal", 0}, {"cry", 1}});
    expectTable(base_array, {{"null", 0}, {"off", 0}, {"auto", 1111}, {"cry", 2222}, {"0.01", 10}, {"0.05", 50},
                             {"0.3", 300}, {"0.32", 320}, {"0.5", 500}, {"0.6", 600}, {"0.67", 1000}, {"1", 1000}});
    expectTable(line_array, {{"null", 0}, {"off", 0}, {"auto", 1111}, {"cry", 2222}, {"50", 50}, {"50+0.3", 51},
                             {"50+0.6", 52}, {"60", 60}, {"60+0.3", 61}, {"60+0.6", 62}});
    expectTable(emg_array, {{"null", 0}, {"off", 0}, {"auto", 1111}, {"cry", 2222}, {"20", 20}, {"25", 25},
                            {"35", 35}, {"40", 40}, {"42", 40}, {"45", 45}, {"75", 75}, {"100", 100}, {"150", 150},
                            {"250", 250}, {"270", 270}, {"350", 350}, {"380", 380}, {"600", 600}});
}

TEST(Vocabulary, LookupsAreExactAndReadBackTheFirstName)
{
    using namespace tessivar;
    EXPECT_EQ(get_value_by_name(g_ecgDataFormat, "slr"), -1);
    EXPECT_EQ(get_value_by_name(g_ecgHrLead, "AVR"), -1);
    EXPECT_EQ(get_value_by_name(g_ecgHrLead, "II "), -1);
    EXPECT_EQ(get_value_by_name(g_ecgHrLead, nullptr), -1);
    EXPECT_EQ(get_value_by_name(nullptr, "II"), -1);
    EXPECT_STREQ(get_name_by_value(g_qrsMode, 1), "child");
    EXPECT_EQ(get_name_by_value(line_array, 53), nullptr);
    EXPECT_EQ(get_name_by_value(line_array, -1), nullptr);
    EXPECT_STREQ(get_name_by_value_no_null(line_array, 53), "null");
}

// ---- calls outside Init ... Denit ---------------------------------------------

TEST_F(FrontEnd, EverythingIsRefusedBeforeInit)
{
    const PreprocessConf conf = defaultConf();
    int frame[16] = {};
    int out[32] = {};
    const char *leads[] = {"I", "II"};
    char b[8], l[8], e[8];
    EXPECT_EQ(ecgPreprocessDenit(), -1);
    EXPECT_EQ(ecgPreprocessSetConf(&conf), -1);
    EXPECT_EQ(ecgPreprocessSetDataType("SLR", 1000, 1000), -1);
    EXPECT_EQ(ecgPreprocessSetWireType("12"), -1);
    EXPECT_EQ(ecgPreprocessSetWireTypeNew(leads, 2), -1);
    EXPECT_EQ(ecgPreprocessSetFilterMode("cry"), -1);
    EXPECT_EQ(ecgPreprocessSetQrsMode("adult"), -1);
    EXPECT_EQ(ecgPreprocessSetHrLead("II"), -1);
    EXPECT_EQ(ecgPreprocessResetHr(), -1);
    EXPECT_EQ(ecgPreprocessSetRespLead("II"), -1);
    EXPECT_EQ(ecgPreprocessSetPaceFilter(1), -1);
    EXPECT_EQ(ecgPreprocessSetFuzzFilter(1), -1);
    EXPECT_EQ(ecgPreprocessSetPaceInhib(1), -1);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(5), -1);
    EXPECT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), -1);
    EXPECT_EQ(ecgPreprocessSetNoiseThreshold(50), -1);
    EXPECT_EQ(ecgPreprocessSetRespSuffocationThr(20), -1);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, frame, out), -1);
    EXPECT_EQ(getCurFilterSetting(b, l, e), -1);
    EXPECT_STREQ(getCurHrLead(), "null");
    EXPECT_EQ(getCurHeartRate(), -1);
    EXPECT_EQ(getCurRespRate(), -1);
    EXPECT_EQ(getCurQuality(), nullptr);
    EXPECT_STREQ(getCurStatu("hrlearning"), "unknown");
    EXPECT_EQ(getCurInFrame(), -1);
    EXPECT_EQ(getCurOutFrame(), -1);
    EXPECT_EQ(getCurTotalDelay(), -1);
    EXPECT_EQ(setMinAdultQRSThr(100, 40), -1);
    for (int w : out) EXPECT_EQ(w, 0);
    EXPECT_STREQ(ecgPreprocessVersion(), "tessivar version 1.1.0.0 2025-10-11 15:34:28");
}

TEST_F(FrontEnd, NullConfigurationIsRefused)
{
    EXPECT_EQ(ecgPreprocessInit(nullptr), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    ASSERT_EQ(start(defaultConf()), 0);
    log.clear();
    EXPECT_EQ(ecgPreprocessSetConf(nullptr), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    EXPECT_EQ(ecgPreprocessDenit(), 0);
    EXPECT_EQ(ecgPreprocessDenit(), -1);
}

TEST_F(FrontEnd, InitLogsTheConfigurationAndEveryVersion)
{
    ASSERT_EQ(start(defaultConf("5", "SLRT")), 0);
    EXPECT_TRUE(log.contains("\nconf = {\n\t.fs=1000,\n\t.lsbMv=1000,\n\t.paceFilter=0,\n\t.paceInhib=0,\n\t"
                             ".paceRemoveMs=0,\n\t.wireType=\"5\",\n\t.dataType=\"SLRT\",\n\t.hrLead=\"II\",\n\t"
                             ".respLead=\"II\",\n\t.qrsMode=\"adult\",\n\t.qrsMethod=0,\n\t.debugCfgFile=\"(null)\"\n};"
                             "\nmore infomation, check [_periodicTask] and [set]"));
    // The nine module version texts.
    for (const char *v : {"tessivar version 1.1.0.0 2025-10-11 15:34:28", "filter version 1.0.1.3 2025-07-15 10:59:40",
                          "linear_spline version 0.0.0.3 2025-07-15 10:49:30",
                          "pace_remove version 0.0.0.17 2025-07-15 16:24:25", "resp version 1.0.0.31 2025-09-04 09:20:05",
                          "beat_detect version 0.0.3.0 2025-10-11 15:14:21",
                          "signal_quality version 0.0.0.13 2025-04-11 15:40:23",
                          "anal_log version 1.0.3.4 2025-07-15 12:39:35",
                          "anal_serialize version 1.0.1.7 2025-07-15 12:29:44"})
        EXPECT_TRUE(log.contains(v)) << v;
    // After Init: heart and respiration rates unknown, lead II, no filters.
    EXPECT_EQ(getCurHeartRate(), -1);
    EXPECT_EQ(getCurRespRate(), -1);
    EXPECT_STREQ(getCurHrLead(), "II");
    EXPECT_EQ(getCurQuality(), nullptr);
    EXPECT_EQ(getCurTotalDelay(), 0);
}

// ---- frame geometry -------------------------------------------------------------

struct Layout {
    const char *wire;
    const char *data;
    int inSize;
    int outSize;
};

// Input channels in order, by wire type.
std::vector<int> channelLeads(const std::string &wire, bool leadIII)
{
    std::vector<int> ids = {0};
    const int chest = wire == "5" ? 1 : wire == "12" ? 6 : wire == "15" ? 9 : wire == "18" ? 12 : 0;
    if (wire == "1") return ids;
    ids.push_back(1);
    if (leadIII) ids.push_back(2);
    for (int k = 0; k < chest; ++k) ids.push_back(6 + k);
    return ids;
}

TEST_F(FrontEnd, EveryWireTypeAndFormatPlacesItsLeads)
{
    // Sizes: channels c (+1 with T when c > 1), in = channels + S + R;
    // out = in + 4 derived limb leads (3 with T), or in for one channel.
    const Layout layouts[] = {
        {"1", "SLR", 3, 3},    {"1", "SL", 2, 2},     {"1", "SLT", 2, 2},    {"1", "SLRT", 3, 3},
        {"3", "SLR", 4, 8},    {"3", "SL", 3, 7},     {"3", "SLT", 4, 7},    {"3", "SLRT", 5, 8},
        {"5", "SLR", 5, 9},    {"5", "SL", 4, 8},     {"5", "SLT", 5, 8},    {"5", "SLRT", 6, 9},
        {"12", "SLR", 10, 14}, {"12", "SL", 9, 13},   {"12", "SLT", 10, 13}, {"12", "SLRT", 11, 14},
        {"15", "SLR", 13, 17}, {"15", "SL", 12, 16},  {"15", "SLT", 13, 16}, {"15", "SLRT", 14, 17},
        {"18", "SLR", 16, 20}, {"18", "SL", 15, 19},  {"18", "SLT", 16, 19}, {"18", "SLRT", 17, 20},
    };
    for (const Layout &lay : layouts) {
        SCOPED_TRACE(std::string(lay.wire) + " " + lay.data);
        ASSERT_EQ(start(defaultConf(lay.wire, lay.data)), 0);
        ASSERT_EQ(getCurInFrame(), lay.inSize);
        ASSERT_EQ(getCurOutFrame(), lay.outSize);
        const bool resp = std::strchr(lay.data, 'R') != nullptr;
        const bool leadIII = std::strchr(lay.data, 'T') != nullptr && std::string(lay.wire) != "1";
        const std::vector<int> ids = channelLeads(lay.wire, leadIII);

        // Channel k carries 100 * (k + 1) uV; respiration 777.
        std::vector<int> in(size_t(lay.inSize), 0);
        for (size_t k = 0; k < ids.size(); ++k) in[1 + k] = 100 * int(k + 1);
        if (resp) in.back() = 777;
        const std::vector<int> out = run(in);
        ASSERT_EQ(int(out.size()), lay.outSize);

        std::vector<int> expected(size_t(lay.outSize), 0);
        for (size_t k = 0; k < ids.size(); ++k) expected[size_t(1 + ids[k])] = 100 * int(k + 1);
        if (ids.size() > 1) {
            // I = 100, II = 200: III = 100, aVR = -150, aVL = 100 - 100, aVF = 200 - 50.
            if (!leadIII) expected[1 + 2] = 100;
            expected[1 + 3] = -150;
            expected[1 + 4] = 0;
            expected[1 + 5] = 150;
        }
        for (int w = 0; w < lay.outSize - (resp ? 1 : 0); ++w) EXPECT_EQ(out[size_t(w)], expected[size_t(w)]) << w;
        // The respiration word is the last one, written on every frame at
        // 1000 Hz.
        if (resp) {
            EXPECT_NE(out.back(), FrontEnd::kUnwritten);
        }
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
}

struct LeadList {
    std::vector<const char *> leads;
    int rc;
    int channels;  // 0: unchanged
    bool leadIII;
    int inSize, outSize;  // with the starting format "SLR"
};

TEST_F(FrontEnd, LeadListsDescribeTheChannels)
{
    const LeadList lists[] = {
        {{"I", "II", "V1", "V2", "V3", "V4", "V5", "V6"}, 0, 8, false, 10, 14},
        {{"I", "II", "III", "V1"}, 0, 3, true, 6, 9},
        {{"I"}, 0, 1, false, 3, 3},
        {{"I", "II"}, 0, 2, false, 4, 8},
        {{"I", "II", "V1", "V2", "V3", "V4", "V5", "V6", "V7", "V8", "V9", "V3R", "V4R", "V5R"}, 0, 14, false, 16, 20},
        {{"I", "II", "III"}, 0, 2, true, 5, 8},  // same count of channels, another layout
        {{"I", "III"}, -1, 0, false, 0, 0},
        // Stops between two layouts: its chest leads have no words to go to.
        {{"I", "II", "III", "V1", "V2", "V3", "V4", "V5"}, -1, 0, false, 0, 0},
        {{"I", "II", "V1", "V2"}, -1, 0, false, 0, 0},
        {{"II", "I"}, -1, 0, false, 0, 0},
        {{"I", "II", "V2"}, -1, 0, false, 0, 0},
        {{"I", "II", "aVR"}, -1, 0, false, 0, 0},
        {{"I", "X"}, -1, 0, false, 0, 0},
        {{"I", nullptr}, -1, 0, false, 0, 0},
    };
    for (const LeadList &c : lists) {
        SCOPED_TRACE(c.leads.size());
        ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
        log.clear();
        std::vector<const char *> leads = c.leads;
        EXPECT_EQ(ecgPreprocessSetWireTypeNew(leads.data(), int(leads.size())), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(state().wireType, c.channels);
            EXPECT_EQ((state().dataType & 8) != 0, c.leadIII);
            int dummy = 0;
            EXPECT_EQ(ecgPreprocessDoPreprocess(0, &dummy, &dummy), 0);  // rebuilds the buffers
            EXPECT_EQ(getCurInFrame(), c.inSize);
            EXPECT_EQ(getCurOutFrame(), c.outSize);
        } else {
            EXPECT_TRUE(log.contains("input lead array is invalid"));
            EXPECT_EQ(state().wireType, 3);
            EXPECT_EQ(state().dataType & 8, 0);
            EXPECT_EQ(state().reconfigPending, 0);
        }
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    ASSERT_EQ(start(defaultConf()), 0);
    log.clear();
    const char *one[] = {"I"};
    EXPECT_EQ(ecgPreprocessSetWireTypeNew(nullptr, 2), -1);
    EXPECT_EQ(ecgPreprocessSetWireTypeNew(one, 0), -1);
    EXPECT_EQ(log.count("input lead array is null or leadNum is 0"), 2);
}

TEST_F(FrontEnd, FrameSizesReadAfterASetterAreTheSizesTheNextCallUses)
{
    // Each step: a setter, then the sizes the host reads at once, which the
    // next DoPreprocess must use (in = status + channels + resp; out adds
    // the derived limb leads, 3 of them when III is an input).
    struct Step {
        std::function<int()> set;
        int in, out;
    };
    const char *withIII[] = {"I", "II", "III", "V1"};
    const PreprocessConf conf18 = defaultConf("18", "SL");
    const std::vector<Step> steps = {
        {[] { return ecgPreprocessSetWireType("5"); }, 5, 9},                    // 1 + 3 + 1, + 4
        {[&] { return ecgPreprocessSetConf(&conf18); }, 15, 19},                 // 1 + 14, + 4
        {[] { return ecgPreprocessSetDataType("SLRT", 1000, 1000); }, 17, 20},  // 1 + 15 + 1, + 3
        {[&] { return ecgPreprocessSetWireTypeNew(withIII, 4); }, 6, 9},        // 1 + 4 + 1, + 3
        {[] { return ecgPreprocessSetDataType("SL", 2000, 1000); }, 4, 8},      // 1 + 3, + 4 (T kept off)
        {[] { return ecgPreprocessSetWireType("1"); }, 2, 2},                    // 1 + 1
    };
    ASSERT_EQ(start(defaultConf("12", "SLR")), 0);
    for (size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(k);
        ASSERT_EQ(steps[k].set(), 0);
        ASSERT_EQ(getCurInFrame(), steps[k].in);
        ASSERT_EQ(getCurOutFrame(), steps[k].out);
        // Buffers sized exactly as read: the fixture checks the guard words
        // behind the last frame.
        int rc = 0;
        const std::vector<int> out = run(std::vector<int>(size_t(3 * steps[k].in), 5), &rc);
        EXPECT_EQ(rc, 3);
        EXPECT_EQ(out.size(), size_t(3 * steps[k].out));
    }
}

TEST_F(FrontEnd, RatesResolutionsAndDeadBandsOutOfRangeAreRefused)
{
    // fs other than 1000/2000 would never run the analysis path; lsbMv below
    // 1 divides by zero or flips the signal; a negative dead band pushes
    // every sample outwards. Each is refused with -1 and an error line, and
    // the running settings stay.
    struct Case {
        int fs, lsbMv;
        const char *line;
    };
    const Case cases[] = {
        {500, 1000, "fs 500 refused"},      {0, 1000, "fs 0 refused"},
        {-1000, 1000, "fs -1000 refused"},  {3000, 1000, "fs 3000 refused"},
        {1000, 0, "lsbMv 0 refused"},       {2000, -5, "lsbMv -5 refused"},
        {INT_MIN, 1000, "refused"},         {1000, INT_MIN, "refused"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        // Init: refused, nothing started, the host's hook got the reason and
        // is released again.
        log.clear();
        const PreprocessConf bad = defaultConf("12", "SLR", c.fs);
        PreprocessConf conf = bad;
        conf.lsbMv = c.lsbMv;
        EXPECT_EQ(start(conf), -1);
        EXPECT_TRUE(log.contains(c.line));
        EXPECT_EQ(getCurInFrame(), -1);
        // SetConf and SetDataType on a running monitor: refused, unchanged.
        ASSERT_EQ(start(defaultConf("12", "SLR", 2000)), 0);
        log.clear();
        EXPECT_EQ(ecgPreprocessSetConf(&conf), -1);
        EXPECT_EQ(ecgPreprocessSetDataType("SL", c.fs, c.lsbMv), -1);
        EXPECT_EQ(log.count(c.line), 2);
        EXPECT_EQ(state().fs, 2000);
        EXPECT_EQ(state().lsbMv, 1000);
        EXPECT_EQ(state().dataType, 7);
        // Init over a running monitor: refused, the monitor keeps running.
        EXPECT_EQ(start(conf), -1);
        EXPECT_EQ(getCurInFrame(), 10);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    ASSERT_EQ(start(defaultConf()), 0);
    const int deadBands[][2] = {{-1, -1}, {INT_MIN, -1}, {0, 0}, {7, 7}};  // argument, result
    setSubUv(2);
    for (const auto &d : deadBands) {
        const int kept = monitor().g_sub_uv;
        EXPECT_EQ(setSubUv(d[0]), d[1]);
        EXPECT_EQ(monitor().g_sub_uv, d[1] < 0 ? kept : d[0]);
    }
    EXPECT_TRUE(log.contains("g_sub_uv -1 refused"));
}

TEST_F(FrontEnd, ThePrintHookIsLetGoByDenitAndByAnInitWithoutOne)
{
    // A host that unloads its hook after either must never be called again.
    PreprocessConf noHook = defaultConf();
    noHook.printFunc = nullptr;
    const std::function<void()> releases[] = {
        [] { ecgPreprocessDenit(); },
        [&] { ecgPreprocessInit(&noHook); },
    };
    for (const auto &release : releases) {
        ASSERT_EQ(start(defaultConf()), 0);
        release();
        log.clear();
        ecgPreprocessSetWireType("5");
        __print_log("f", 1, LOG_LEVEL_ERROR, "t", "after the release");
        EXPECT_TRUE(log.lines().empty());
        ecgPreprocessDenit();
    }
}

TEST_F(FrontEnd, UnknownNamesAreRefusedAndChangeNothing)
{
    ASSERT_EQ(start(defaultConf("12", "SLR")), 0);
    EXPECT_EQ(ecgPreprocessSetDataType("slr", 2000, 500), -1);
    EXPECT_EQ(ecgPreprocessSetDataType(nullptr, 2000, 500), -1);
    EXPECT_EQ(state().dataType, 7);
    EXPECT_EQ(state().fs, 1000);
    EXPECT_EQ(state().lsbMv, 1000);
    EXPECT_EQ(ecgPreprocessSetWireType("4"), -1);
    EXPECT_EQ(ecgPreprocessSetWireType(nullptr), -1);
    EXPECT_EQ(state().wireType, 8);
    EXPECT_EQ(state().reconfigPending, 0);
    EXPECT_EQ(ecgPreprocessSetFilterMode("Cry"), -1);
    EXPECT_EQ(ecgPreprocessSetFilterMode(nullptr), -1);
    EXPECT_EQ(state().filterMode, 0);
    EXPECT_EQ(ecgPreprocessSetQrsMode("infant"), -1);
    EXPECT_EQ(ecgPreprocessSetQrsMode(nullptr), -1);
    EXPECT_EQ(state().qrsMode, 0);

    // Heart-rate and respiration leads fall back to "II".
    EXPECT_EQ(ecgPreprocessSetHrLead("V6"), 0);
    EXPECT_EQ(state().hrLead, 11);
    EXPECT_EQ(ecgPreprocessSetHrLead("avr"), -1);
    EXPECT_EQ(state().hrLead, 1);
    EXPECT_EQ(ecgPreprocessSetHrLead("auto"), 0);
    EXPECT_EQ(state().hrLead, 18);
    EXPECT_EQ(ecgPreprocessSetHrLead(nullptr), -1);
    EXPECT_EQ(state().hrLead, 1);
    EXPECT_EQ(ecgPreprocessSetRespLead("I"), 0);
    EXPECT_EQ(state().respLead, 0);
    EXPECT_EQ(ecgPreprocessSetRespLead("III"), -1);
    EXPECT_EQ(state().respLead, 1);
    EXPECT_EQ(ecgPreprocessSetRespLead(nullptr), -1);

    // Filter names missing from their tables never fail the call.
    EXPECT_EQ(ecgPreprocessSetFilter("0.7", nullptr, "fast"), 0);
    EXPECT_STREQ(getCurStatu(nullptr), "unknown");
    char b[8], l[8], e[8];
    EXPECT_EQ(getCurFilterSetting(nullptr, l, e), -1);
    EXPECT_EQ(getCurFilterSetting(b, l, e), 0);
}

TEST_F(FrontEnd, InvalidConfigurationAtInitLeavesNoBuffers)
{
    PreprocessConf conf = defaultConf("7", "SLR");
    ASSERT_EQ(start(conf), 0);
    int in[16] = {}, out[32] = {};
    log.clear();
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), -1);
    EXPECT_TRUE(log.contains("frames not processed"));
    for (int w : out) EXPECT_EQ(w, 0);
    EXPECT_EQ(ecgPreprocessSetWireType("3"), 0);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), 1);
    EXPECT_EQ(getCurInFrame(), 4);
    // Null texts everywhere: refused one by one, leads fall back to "II".
    ASSERT_EQ(ecgPreprocessDenit(), 0);
    conf = defaultConf(nullptr, nullptr);
    conf.hrLead = nullptr;
    conf.respLead = nullptr;
    ASSERT_EQ(start(conf), 0);
    EXPECT_EQ(state().hrLead, 1);
    EXPECT_EQ(state().respLead, 1);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), -1);
    EXPECT_EQ(ecgPreprocessSetConf(&conf), 0);
    // Also with a bad data format.
    ASSERT_EQ(ecgPreprocessDenit(), 0);
    conf = defaultConf("3", "LRS");
    ASSERT_EQ(start(conf), 0);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), -1);
    EXPECT_EQ(ecgPreprocessDoPreprocess(-1, in, out), -1);
}

TEST_F(FrontEnd, AllocationFailureLeavesNoBuffersUntilARebuildSucceeds)
{
    ASSERT_EQ(start(defaultConf("12", "SLR")), 0);
    monitor().allocate = [](std::size_t, std::size_t) -> void * { return nullptr; };
    log.clear();
    EXPECT_EQ(ecgPreprocessSetWireType("5"), 0);
    std::vector<int> in(5, 10), out(9, FrontEnd::kUnwritten);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in.data(), out.data()), -1);
    EXPECT_TRUE(log.contains("MALLOC ERROR"));
    // The geometry is the new one, the records are missing.
    EXPECT_EQ(getCurInFrame(), 5);
    for (int w : out) EXPECT_EQ(w, FrontEnd::kUnwritten);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in.data(), out.data()), -1);
    monitor().allocate = std::calloc;
    EXPECT_EQ(ecgPreprocessSetWireType("3"), 0);
    in.assign(4, 10);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in.data(), out.data()), 1);
}

// ---- setters ----------------------------------------------------------------

TEST_F(FrontEnd, NoiseThresholdIsClamped)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const int cases[][2] = {{-5, 0}, {-128, 0}, {0, 0}, {55, 55}, {100, 100}, {120, 100}, {127, 100}};
    for (const auto &c : cases) {
        EXPECT_EQ(ecgPreprocessSetNoiseThreshold(static_cast<signed char>(c[0])), 0);
        EXPECT_EQ(state().noiseThreshold, c[1]) << c[0];
    }
    EXPECT_TRUE(log.contains("Threshold:-5"));
}

TEST_F(FrontEnd, DelaysFollowPaceAndNoiseSwitches)
{
    ASSERT_EQ(start(defaultConf()), 0);
    EXPECT_EQ(getCurTotalDelay(), 0);
    EXPECT_EQ(ecgPreprocessSetPaceFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 100);  // the pace remover's delay line
    EXPECT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 140);  // + truncate(1000 * 0.04)
    EXPECT_EQ(ecgPreprocessSetPaceFilter(0), 0);
    EXPECT_EQ(getCurTotalDelay(), 40);
    ASSERT_EQ(ecgPreprocessDenit(), 0);

    // At 2000 Hz the noise steps count 80 samples.
    PreprocessConf conf = defaultConf("12", "SLR", 2000);
    conf.paceFilter = 1;
    ASSERT_EQ(start(conf), 0);
    EXPECT_EQ(getCurTotalDelay(), 100);
    EXPECT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 180);

    // SetConf copies the pace switch without recomputing the delays; the
    // next pace setter does.
    conf.paceFilter = 0;
    EXPECT_EQ(ecgPreprocessSetConf(&conf), 0);
    EXPECT_EQ(getCurTotalDelay(), 180);
    EXPECT_EQ(ecgPreprocessSetPaceInhib(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 80);
}

TEST_F(FrontEnd, PaceWidthReachesEveryRemover)
{
    // At 2000 Hz a zeroed width is 3 ms, 6 samples, from Init and from the
    // setter alike.
    ASSERT_EQ(start(defaultConf("5", "SLR", 2000)), 0);
    for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].paceRemover->after, 6);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(0), 0);
    for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].paceRemover->after, 6);
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(0), 0);
    EXPECT_EQ(state().paceRemoveMs, 3);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(7), 0);
    EXPECT_EQ(state().paceRemoveMs, 7);
    for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].paceRemover->after, 7);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(100), -1);  // the removers refuse widths above 99 ms
    for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].paceRemover->after, 7);
}

TEST_F(FrontEnd, FilterModeSwitchesOnlyOnAChange)
{
    ASSERT_EQ(start(defaultConf()), 0);
    tessivar::reportCurFilterSetting(monitor(), 1000, 52, 35);
    log.clear();
    EXPECT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(log.count("[set_mode]"), 0);
    EXPECT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(log.count("[set_mode]"), 1);
    EXPECT_EQ(state().filterMode, 1);
    EXPECT_EQ(state().savedBase, 1000);
    EXPECT_EQ(state().savedLine, 52);
    EXPECT_EQ(state().savedEmg, 35);
    EXPECT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(log.count("[set_mode]"), 1);
    EXPECT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(log.count("[set_mode]"), 2);
}

TEST_F(FrontEnd, FilterNamesReadBackByValue)
{
    ASSERT_EQ(start(defaultConf()), 0);
    char b[8], l[8], e[8];
    ASSERT_EQ(getCurFilterSetting(b, l, e), 0);
    EXPECT_STREQ(b, "null");
    EXPECT_STREQ(l, "null");
    EXPECT_STREQ(e, "null");
    // Values shared by several names read back as the first: 1000 is "0.67",
    // 40 is "40"; a value of no table reads "null".
    tessivar::reportCurFilterSetting(monitor(), 1000, 52, 40);
    ASSERT_EQ(getCurFilterSetting(b, l, e), 0);
    EXPECT_STREQ(b, "0.67");
    EXPECT_STREQ(l, "50+0.6");
    EXPECT_STREQ(e, "40");
    tessivar::reportCurFilterSetting(monitor(), 1111, 2222, 7);
    ASSERT_EQ(getCurFilterSetting(b, l, e), 0);
    EXPECT_STREQ(b, "auto");
    EXPECT_STREQ(l, "cry");
    EXPECT_STREQ(e, "null");
}

TEST_F(FrontEnd, SettersLogTheirCallAtWarningLevel)
{
    ASSERT_EQ(start(defaultConf()), 0);
    log.clear();
    ecgPreprocessSetWireType("5");
    ecgPreprocessSetDataType("SL", 2000, 400);
    ecgPreprocessSetRespSuffocationThr(25);
    getCurHeartRate();
    getCurInFrame();
    for (const char *text : {"[W]{Unknown TAG}[ecgPreprocessSetWireType]", "fs[2000],lsbMv[400],dataType[SL]",
                             "Suffocation Threshold:25", "[W]{Unknown TAG}[getCurHeartRate]"})
        EXPECT_TRUE(log.contains(text)) << text;
    EXPECT_FALSE(log.contains("[getCurInFrame]"));
    EXPECT_STREQ(getCurStatu("beatNoise"), "unknown");
    EXPECT_EQ(state().suffocationThr, 25);
    EXPECT_EQ(setSubUv(5), 5);
    EXPECT_TRUE(log.contains("g_sub_uv = 5"));
    EXPECT_EQ(setMinAdultQRSThr(100, 40), 0);
}

TEST_F(FrontEnd, InitAfterInitStartsAgain)
{
    PreprocessConf conf = defaultConf("12", "SLR");
    ASSERT_EQ(start(conf), 0);
    ecgPreprocessSetFuzzFilter(1);
    tessivar::reportCurQuality(monitor(), "{\"level\":\"high\"}");
    conf.wireType = "3";
    ASSERT_EQ(start(conf), 0);
    EXPECT_EQ(state().fuzzFilter, 0);
    EXPECT_EQ(getCurQuality(), nullptr);
    EXPECT_EQ(getCurInFrame(), 4);
    EXPECT_EQ(getCurTotalDelay(), 0);
}

}  // namespace
