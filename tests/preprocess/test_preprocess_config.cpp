// The host interface: vocabularies, refused inputs and calls outside
// Init ... Denit, frame geometry and where every lead lands, setters and
// their fall-backs, delays, and the state Init starts from.
#include <climits>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "beat_detect/eplimited.hpp"
#include "heart_rate/hr_calc.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "preprocess/utils.hpp"
#include "tessivar/anal_log.h"

namespace tessivar::test {
namespace {

// A table against "name=value name=value ...": every pair, the count and the -1 end.
void expectTable(const NameValue *table, const std::string &pairs)
{
    SCOPED_TRACE(pairs);
    std::istringstream in(pairs);
    size_t n = 0, expected = 0;
    for (std::string p; in >> p; ++expected) EXPECT_EQ(get_value_by_name(table, p.substr(0, p.find('=')).c_str()), std::stoi(p.substr(p.find('=') + 1))) << p;
    while (table[n].name != nullptr) ++n;
    EXPECT_EQ(n, expected);
    EXPECT_EQ(table[n].value, -1);
}

TEST(Vocabulary, EveryTableHoldsItsNamesAndLooksUpExactly)
{
    const std::string leads = "I=0 II=1 III=2 aVR=3 aVL=4 aVF=5 V1=6 V2=7 V3=8 V4=9 V5=10 V6=11 V7=12 V8=13 V9=14 V3R=15 V4R=16 V5R=17";
    expectTable(valid_lead_num_array, "1=1 3=2 5=3 12=8 15=11 18=14");
    expectTable(g_ecgDataFormat, "SLR=7 SL=3 SLT=11 SLRT=15");
    expectTable(g_ecgOutLead, leads);
    expectTable(g_ecgHrLead, leads + " auto=18");
    expectTable(g_respLead, "I=0 II=1");
    expectTable(g_qrsMode, "adult=0 child=1 newborn=1");
    expectTable(g_filterMode, "normal=0 cry=1");
    expectTable(base_array, "null=0 off=0 auto=1111 cry=2222 0.01=10 0.05=50 0.3=300 0.32=320 0.5=500 0.6=600 0.67=1000 1=1000");
    expectTable(line_array, "null=0 off=0 auto=1111 cry=2222 50=50 50+0.3=51 50+0.6=52 60=60 60+0.3=61 60+0.6=62");
    expectTable(emg_array, "null=0 off=0 auto=1111 cry=2222 20=20 25=25 35=35 40=40 42=40 45=45 75=75 100=100 150=150 250=250 "
                           "270=270 350=350 380=380 600=600");
    // Case-sensitive, whole text; a lookup by value gives the first name.
    for (const char *bad : {"AVR", "II ", "avr", "auto ", static_cast<const char *>(nullptr)})
        EXPECT_EQ(get_value_by_name(g_ecgHrLead, bad), -1);
    EXPECT_EQ(get_value_by_name(g_ecgDataFormat, "slr"), -1);
    EXPECT_EQ(get_value_by_name(nullptr, "II"), -1);
    EXPECT_EQ(std::string(get_name_by_value(g_qrsMode, 1)) + get_name_by_value(base_array, 1000) + get_name_by_value(emg_array, 40), "child0.6740");
    EXPECT_TRUE(get_name_by_value(line_array, 53) == nullptr && get_name_by_value(line_array, -1) == nullptr);
    EXPECT_STREQ(get_name_by_value_no_null(line_array, 53), "null");
}

// ---- calls outside Init ... Denit and refused inputs ------------------------------

TEST_F(FrontEnd, EverythingIsRefusedBeforeInitAndAfterDenit)
{
    const PreprocessConf conf = defaultConf();
    int in[16] = {}, out[32] = {};
    const char *leads[] = {"I", "II"};
    char b[8], l[8], e[8];
    const std::vector<std::function<int()>> calls = {
        [] { return ecgPreprocessDenit(); }, [&] { return ecgPreprocessSetConf(&conf); },
        [] { return ecgPreprocessSetDataType("SLR", 1000, 1000); }, [] { return ecgPreprocessSetWireType("12"); },
        [&] { return ecgPreprocessSetWireTypeNew(leads, 2); }, [] { return ecgPreprocessSetFilterMode("cry"); },
        [] { return ecgPreprocessSetQrsMode("adult"); }, [] { return ecgPreprocessSetHrLead("II"); },
        [] { return ecgPreprocessResetHr(); }, [] { return ecgPreprocessSetRespLead("II"); },
        [] { return ecgPreprocessSetPaceFilter(1); }, [] { return ecgPreprocessSetFuzzFilter(1); },
        [] { return ecgPreprocessSetPaceInhib(1); }, [] { return ecgPreprocessSetPaceRemoveMs(5); },
        [] { return ecgPreprocessSetFilter("0.67", "50", "35"); }, [] { return ecgPreprocessSetNoiseThreshold(50); },
        [] { return ecgPreprocessSetRespSuffocationThr(20); }, [&] { return ecgPreprocessDoPreprocess(1, in, out); },
        [&] { return getCurFilterSetting(b, l, e); }, [] { return getCurHeartRate(); }, [] { return getCurRespRate(); },
        [] { return getCurInFrame(); }, [] { return getCurOutFrame(); }, [] { return getCurTotalDelay(); },
        [] { return setMinAdultQRSThr(100, 40); },
    };
    // A null configuration is refused with the parameter message.
    EXPECT_EQ(ecgPreprocessInit(nullptr), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    for (int round = 0; round < 2; ++round) {
        for (size_t k = 0; k < calls.size(); ++k) EXPECT_EQ(calls[k](), -1) << "call " << k << " round " << round;
        EXPECT_STREQ(getCurHrLead(), "null");
        EXPECT_EQ(getCurQuality(), nullptr);
        EXPECT_STREQ(getCurStatu("hrlearning"), "unknown");
        for (int w : out) EXPECT_EQ(w, 0);
        ASSERT_EQ(start(conf), 0);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    ASSERT_EQ(start(conf), 0);
    log.clear();
    EXPECT_EQ(ecgPreprocessSetConf(nullptr), -1);
    EXPECT_TRUE(log.contains("Input parameter exception."));
}

TEST_F(FrontEnd, RatesResolutionsAndDeadBandsOutOfRangeAreRefused)
{
    // Only 1000 and 2000 Hz, lsbMv 1 and more; refused with -1 and its line, a running monitor keeping its settings.
    const struct { int fs, lsbMv; const char *line; } cases[] = {
        {500, 1000, "fs 500 refused"}, {0, 1000, "fs 0 refused"},     {-1000, 1000, "fs -1000 refused"},
                 {3000, 1000, "fs 3000 refused"}, {1000, 0, "lsbMv 0 refused"}, {2000, -5, "lsbMv -5 refused"},
                 {INT_MIN, 1000, "refused"},        {1000, INT_MIN, "refused"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        log.clear();
        PreprocessConf bad = defaultConf("12", "SLR", c.fs);
        bad.lsbMv = c.lsbMv;
        EXPECT_EQ(start(bad), -1);
        EXPECT_TRUE(log.contains(c.line));
        EXPECT_EQ(getCurInFrame(), -1);
        ASSERT_EQ(start(defaultConf("12", "SLR", 2000)), 0);
        log.clear();
        EXPECT_EQ(ecgPreprocessSetConf(&bad), -1);
        EXPECT_EQ(ecgPreprocessSetDataType("SL", c.fs, c.lsbMv), -1);
        EXPECT_EQ(log.count(c.line), 2);
        EXPECT_TRUE(state().fs == 2000 && state().lsbMv == 1000 && state().dataType == 7);
        EXPECT_EQ(start(bad), -1);  // Init over a running monitor: it keeps running
        EXPECT_EQ(getCurInFrame(), 10);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    ASSERT_EQ(start(defaultConf()), 0);
    setSubUv(2);
    const int deadBands[][3] = {{-1, -1, 2}, {INT_MIN, -1, 2}, {0, 0, 0}, {7, 7, 7}};  // argument, result, stored
    for (const auto &d : deadBands) {
        EXPECT_EQ(setSubUv(d[0]), d[1]);
        EXPECT_EQ(monitor().g_sub_uv, d[2]);
    }
    EXPECT_TRUE(log.contains("g_sub_uv -1 refused"));
    EXPECT_TRUE(log.contains("g_sub_uv = 7"));
}

TEST_F(FrontEnd, SettersStoreTheirValueOrRefuseItUnknownLeadsFallBackToII)
{
    ASSERT_EQ(start(defaultConf("12", "SLR")), 0);
    const struct { std::function<int()> call; int rc; const int32_t *field; int value; } cases[] = {
        {[] { return ecgPreprocessSetDataType("slr", 2000, 500); }, -1, &state().dataType, 7},
        {[] { return ecgPreprocessSetDataType(nullptr, 2000, 500); }, -1, &state().fs, 1000},
        {[] { return ecgPreprocessSetWireType("4"); }, -1, &state().wireType, 8},
        {[] { return ecgPreprocessSetWireType(nullptr); }, -1, &state().reconfigPending, 0},
        {[] { return ecgPreprocessSetFilterMode("Cry"); }, -1, &state().filterMode, 0},
        {[] { return ecgPreprocessSetFilterMode(nullptr); }, -1, &state().filterMode, 0},
        {[] { return ecgPreprocessSetQrsMode("infant"); }, -1, &state().qrsMode, 0},
        {[] { return ecgPreprocessSetQrsMode(nullptr); }, -1, &state().qrsMode, 0},
        {[] { return ecgPreprocessSetQrsMode("newborn"); }, 0, &state().qrsMode, 1},
        {[] { return ecgPreprocessSetHrLead("V6"); }, 0, &state().hrLead, 11},
        {[] { return ecgPreprocessSetHrLead("avr"); }, -1, &state().hrLead, 1},
        {[] { return ecgPreprocessSetHrLead("auto"); }, 0, &state().hrLead, 18},
        {[] { return ecgPreprocessSetHrLead(nullptr); }, -1, &state().hrLead, 1},
        {[] { return ecgPreprocessSetRespLead("I"); }, 0, &state().respLead, 0},
        {[] { return ecgPreprocessSetRespLead("III"); }, -1, &state().respLead, 1},
        {[] { return ecgPreprocessSetRespLead(nullptr); }, -1, &state().respLead, 1},
        {[] { return ecgPreprocessSetRespSuffocationThr(25); }, 0, &state().suffocationThr, 25},
        // The noise threshold is clamped to 0 ... 100.
        {[] { return ecgPreprocessSetNoiseThreshold(-1); }, 0, &state().noiseThreshold, 0},
        {[] { return ecgPreprocessSetNoiseThreshold(100); }, 0, &state().noiseThreshold, 100},
        {[] { return ecgPreprocessSetNoiseThreshold(0); }, 0, &state().noiseThreshold, 0},
        {[] { return ecgPreprocessSetNoiseThreshold(101); }, 0, &state().noiseThreshold, 100},
    };
    for (size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(cases[k].call(), cases[k].rc) << "case " << k;
        EXPECT_EQ(*cases[k].field, cases[k].value) << "case " << k;
    }
    EXPECT_EQ(ecgPreprocessSetFilter("0.7", nullptr, "fast"), 0);  // filter names never fail the call
    EXPECT_EQ(std::string(getCurStatu(nullptr)) + getCurStatu("beatNoise"), "unknownunknown");
    char b[8], l[8], e[8];
    EXPECT_EQ(getCurFilterSetting(nullptr, l, e), -1);
    EXPECT_EQ(getCurFilterSetting(b, l, e), 0);
    EXPECT_EQ(setMinAdultQRSThr(100, 40), 0);
    // Setters log their call at warning level; the geometry getters do not.
    for (const char *text : {"[W]{Unknown TAG}[ecgPreprocessSetWireType]", "fs[2000],lsbMv[500],dataType[slr]",
                             "Suffocation Threshold:25", "Threshold:-1", "[W]{Unknown TAG}[getCurStatu]"})
        EXPECT_TRUE(log.contains(text)) << text;
    getCurInFrame(), getCurOutFrame(), getCurTotalDelay();
    for (const char *text : {"[getCurInFrame]", "[getCurOutFrame]", "[getCurTotalDelay]"}) EXPECT_FALSE(log.contains(text));
}

TEST_F(FrontEnd, LeadChoiceLearningAndFilterRemovalReachTheHost)
{
    ASSERT_EQ(start(defaultConf()), 0);
    clearEvents();
    // A lead change reports the lead and -1 first; "auto" starts from II.
    ASSERT_EQ(ecgPreprocessSetHrLead("V6"), 0);
    EXPECT_STREQ(getCurHrLead(), "V6");
    ASSERT_EQ(ecgPreprocessSetHrLead("auto"), 0);
    EXPECT_STREQ(getCurHrLead(), "II");
    EXPECT_EQ(getCurHeartRate(), -1);
    const auto ageType = [] { return eplimitedOf(hrCalcState().detector).s.ageType; };  // method 0's detector
    EXPECT_EQ(ageType(), 0);
    ASSERT_EQ(ecgPreprocessSetQrsMode("child"), 0);  // the patient class reaches the detector, and outlives a restart
    EXPECT_EQ(ageType(), 1);
    ASSERT_EQ(ecgPreprocessResetHr(), 0);  // learning again
    EXPECT_STREQ(getCurStatu("hrlearning"), "true");
    EXPECT_EQ(ageType(), 1);
    EXPECT_EQ(events(), (std::vector<std::string>{"hrLead:V6", "hr:-1", "hrLead:II", "hr:-1", "status:hrlearning=true"}));
    // Denit removes installed display filters and says so.
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "null", "null"), 0);
    ASSERT_EQ(ecgPreprocessDenit(), 0);
    EXPECT_EQ(events().back(), "filter:null,null,null");
}

TEST_F(FrontEnd, BadWiringLeavesNoBuffersUntilARebuildSucceeds)
{
    int in[16] = {}, out[32] = {};
    // A wire type, a format or all texts missing from their tables at Init.
    PreprocessConf nulls = defaultConf(nullptr, nullptr);
    nulls.hrLead = nulls.respLead = nullptr;
    for (const PreprocessConf &conf : {defaultConf("7", "SLR"), defaultConf("3", "LRS"), nulls}) {
        ASSERT_EQ(start(conf), 0);
        log.clear();
        EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), -1);
        EXPECT_TRUE(log.contains("frames not processed"));
        EXPECT_EQ(state().hrLead, 1);
        EXPECT_EQ(state().respLead, 1);
        for (int w : out) EXPECT_EQ(w, 0);
    }
    // Without lead records the filter choice is only recorded and reported.
    EXPECT_EQ(ecgPreprocessSetFilter("0.32", "50", "35"), 0);
    EXPECT_EQ(setting(), "null,50+0.3,35");
    EXPECT_EQ(ecgPreprocessSetFilterMode("cry"), 0);
    EXPECT_EQ(ecgPreprocessSetFilterMode("normal"), 0);
    EXPECT_EQ(setting(), "null,50+0.3,35");
    EXPECT_EQ(ecgPreprocessSetConf(&nulls), 0);
    EXPECT_EQ(ecgPreprocessDoPreprocess(-1, in, out), -1);
    ASSERT_EQ(start(defaultConf("7", "SLR")), 0);
    EXPECT_EQ(ecgPreprocessSetWireType("3"), 0);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, in, out), 1);
    EXPECT_EQ(getCurInFrame(), 4);

    // Allocation failure while rebuilding: the new geometry, no records.
    monitor().allocate = [](std::size_t, std::size_t) -> void * { return nullptr; };
    log.clear();
    EXPECT_EQ(ecgPreprocessSetWireType("5"), 0);
    std::vector<int> five(5, 10), words(9, kUnwritten);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, five.data(), words.data()), -1);
    EXPECT_TRUE(log.contains("MALLOC ERROR"));
    EXPECT_EQ(getCurInFrame(), 5);
    EXPECT_EQ(words, std::vector<int>(9, kUnwritten));
    monitor().allocate = std::calloc;
    EXPECT_EQ(ecgPreprocessSetWireType("3"), 0);
    EXPECT_EQ(ecgPreprocessDoPreprocess(1, five.data(), words.data()), 1);
}

// ---- Init -----------------------------------------------------------------------

TEST_F(FrontEnd, InitLogsTheConfigurationAndEveryVersionAndStartsClean)
{
    ASSERT_EQ(start(defaultConf("5", "SLRT")), 0);
    EXPECT_TRUE(log.contains(".qrsMethod=0,\n\t.debugCfgFile=\"(null)\"\n};\nmore infomation, check [_periodicTask] and [set]"));
    EXPECT_STREQ(ecgPreprocessVersion(), "tessivar version 1.1.0.0 2025-10-11 15:34:28");
    for (const char *v : {ecgPreprocessVersion(), "filter version 1.0.1.3 2025-07-15 10:59:40",
                          "linear_spline version 0.0.0.3 2025-07-15 10:49:30", "pace_remove version 0.0.0.17 2025-07-15 16:24:25",
                          "resp version 1.0.0.31 2025-09-04 09:20:05", "beat_detect version 0.0.3.0 2025-10-11 15:14:21",
                          "signal_quality version 0.0.0.13 2025-04-11 15:40:23", "anal_log version 1.0.3.4 2025-07-15 12:39:35",
                          "anal_serialize version 1.0.1.7 2025-07-15 12:29:44"})
        EXPECT_TRUE(log.contains(v)) << v;
    EXPECT_TRUE(getCurHeartRate() == -1 && getCurRespRate() == -1 && getCurQuality() == nullptr);
    EXPECT_STREQ(getCurHrLead(), "II");
    EXPECT_EQ(getCurTotalDelay(), 0);
    EXPECT_EQ(setting(), "null,null,null");
    EXPECT_EQ(monitor().respConf.fs, 1000);

    // Init after Init starts from a cleared record.
    ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.05", "50", "35"), 0);
    reportCurQuality(monitor(), "{\"level\":\"high\"}");
    ASSERT_EQ(start(defaultConf("3", "SLR")), 0);
    EXPECT_EQ(state().fuzzFilter, 0);
    EXPECT_EQ(getCurQuality(), nullptr);
    EXPECT_EQ(getCurInFrame(), 4);
    EXPECT_EQ(getCurTotalDelay(), 0);
}

// ---- frame geometry ----------------------------------------------------------------

TEST_F(FrontEnd, EveryWireTypeAndFormatPlacesItsLeads)
{
    // in = channels (+1 with T unless one channel) + S + R; out = in + 4 derived (3 with T), or in for one channel.
    const struct { const char *wire, *data; int in, out; } layouts[] = {
        {"1", "SLR", 3, 3},    {"1", "SL", 2, 2},    {"1", "SLT", 2, 2},    {"1", "SLRT", 3, 3},
        {"3", "SLR", 4, 8},    {"3", "SL", 3, 7},    {"3", "SLT", 4, 7},    {"3", "SLRT", 5, 8},
        {"5", "SLR", 5, 9},    {"5", "SL", 4, 8},    {"5", "SLT", 5, 8},    {"5", "SLRT", 6, 9},
        {"12", "SLR", 10, 14}, {"12", "SL", 9, 13},  {"12", "SLT", 10, 13}, {"12", "SLRT", 11, 14},
        {"15", "SLR", 13, 17}, {"15", "SL", 12, 16}, {"15", "SLT", 13, 16}, {"15", "SLRT", 14, 17},
        {"18", "SLR", 16, 20}, {"18", "SL", 15, 19}, {"18", "SLT", 16, 19}, {"18", "SLRT", 17, 20},
    };
    for (const auto &lay : layouts) {
        SCOPED_TRACE(std::string(lay.wire) + " " + lay.data);
        ASSERT_EQ(start(defaultConf(lay.wire, lay.data)), 0);
        ASSERT_EQ(getCurInFrame(), lay.in);
        ASSERT_EQ(getCurOutFrame(), lay.out);
        // Channel k carries 100 (k + 1) uV and lands on the word of its lead (chest leads from word 7).
        std::vector<int> in(size_t(lay.in), 0);
        for (int k = 1; k < lay.in; ++k) in[size_t(k)] = 100 * k;
        const std::vector<int> out = run(in);
        const bool resp = std::strchr(lay.data, 'R') != nullptr, leadIII = std::strchr(lay.data, 'T') != nullptr;
        const int limbs = lay.out == lay.in ? 1 : leadIII ? 3 : 2, chest = lay.in - 1 - limbs - (resp ? 1 : 0);
        for (int k = 1; k <= limbs; ++k) EXPECT_EQ(out[size_t(k)], 100 * k);
        for (int k = 0; k < chest; ++k) EXPECT_EQ(out[size_t(7 + k)], 100 * (limbs + 1 + k)) << k;
        EXPECT_TRUE(limbs == 1 || out[4] == -150) << "aVR = -(100 + 200) / 2";
        EXPECT_TRUE(!resp || out.back() != kUnwritten);  // respiration, every frame at 1000 Hz
    }
}

TEST_F(FrontEnd, LeadListsDescribeTheChannels)
{
    const struct { std::vector<const char *> leads; int rc, channels; bool leadIII; int in, out; } lists[] = {  // format "SLR"
        {{"I", "II", "V1", "V2", "V3", "V4", "V5", "V6"}, 0, 8, false, 10, 14},
        {{"I", "II", "III", "V1"}, 0, 3, true, 6, 9},
        {{"I"}, 0, 1, false, 3, 3},
        {{"I", "II"}, 0, 2, false, 4, 8},
        {{"I", "II", "V1", "V2", "V3", "V4", "V5", "V6", "V7", "V8", "V9", "V3R", "V4R", "V5R"}, 0, 14, false, 16, 20},
        {{"I", "II", "III"}, 0, 2, true, 5, 8},
        {{"I", "III"}, -1, 0, false, 0, 0},         {{"II", "I"}, -1, 0, false, 0, 0},
        {{"I", "II", "V2"}, -1, 0, false, 0, 0},    {{"I", "II", "V1", "V3"}, -1, 0, false, 0, 0},
        {{"I", "II", "aVR"}, -1, 0, false, 0, 0},   {{"I", "II", "X"}, -1, 0, false, 0, 0},
        // Stops between two layouts: its chest leads have no words to go to.
        {{"I", "II", "III", "V1", "V2", "V3", "V4", "V5"}, -1, 0, false, 0, 0},
        {{"I", "II", "V1", "V2"}, -1, 0, false, 0, 0},
    };
    for (const auto &c : lists) {
        SCOPED_TRACE(c.leads.size());
        ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
        log.clear();
        std::vector<const char *> leads = c.leads;
        EXPECT_EQ(ecgPreprocessSetWireTypeNew(leads.data(), int(leads.size())), c.rc);
        if (c.rc == 0) {
            EXPECT_TRUE(state().wireType == c.channels && ((state().dataType & 8) != 0) == c.leadIII);
            EXPECT_EQ(getCurInFrame(), c.in);  // the sizes the next call uses, read before it
            EXPECT_EQ(getCurOutFrame(), c.out);
            std::vector<int> in(size_t(2 * c.in), 5), out(size_t(2 * c.out));
            EXPECT_EQ(ecgPreprocessDoPreprocess(2, in.data(), out.data()), 2);  // rebuilds the buffers
        } else {
            EXPECT_TRUE(log.contains("input lead array is invalid"));
            EXPECT_TRUE(state().wireType == 3 && (state().dataType & 8) == 0 && state().reconfigPending == 0);  // unchanged
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

// ---- delays and pace width -----------------------------------------------

TEST_F(FrontEnd, DelaysFollowPaceAndNoiseSwitches)
{
    // Pace remover 100 samples; noise steps truncate(fs * 0.04): 40 or 80.
    ASSERT_EQ(start(defaultConf()), 0);
    const struct { std::function<int()> set; int total; } steps[] = {
        {[] { return ecgPreprocessSetPaceFilter(1); }, 100}, {[] { return ecgPreprocessSetFuzzFilter(1); }, 140},
                 {[] { return ecgPreprocessSetPaceFilter(0); }, 40},  {[] { return ecgPreprocessSetFuzzFilter(0); }, 0}};
    for (const auto &s : steps) {
        ASSERT_EQ(s.set(), 0);
        EXPECT_EQ(getCurTotalDelay(), s.total);
    }
    PreprocessConf conf = defaultConf("12", "SLR", 2000);
    conf.paceFilter = 1;
    ASSERT_EQ(start(conf), 0);
    EXPECT_EQ(getCurTotalDelay(), 100);
    EXPECT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 180);
    // SetConf copies the pace switch without recomputing; the next pace setter does.
    conf.paceFilter = 0;
    EXPECT_EQ(ecgPreprocessSetConf(&conf), 0);
    EXPECT_EQ(getCurTotalDelay(), 180);
    EXPECT_EQ(ecgPreprocessSetPaceInhib(1), 0);
    EXPECT_EQ(getCurTotalDelay(), 80);
}

TEST_F(FrontEnd, PaceWidthReachesEveryRemover)
{
    const auto widths = [](int after) {
        for (int i = 0; i < state().leadBufCount; ++i) EXPECT_EQ(state().leadBuffs[i].paceRemover->after, after) << i;
    };
    // At 2000 Hz a zero width is 3 ms, 6 samples, from Init and setter alike.
    ASSERT_EQ(start(defaultConf("5", "SLR", 2000)), 0);
    widths(6);
    EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(0), 0);
    widths(6);
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    const int cases[][4] = {{0, 0, 3, 3}, {-4, 0, 3, 3}, {1, 0, 1, 1}, {7, 0, 7, 7}, {100, -1, 100, 7}};  // ms, rc, stored, samples
    for (const auto &c : cases) {
        EXPECT_EQ(ecgPreprocessSetPaceRemoveMs(c[0]), c[1]) << c[0];
        EXPECT_EQ(state().paceRemoveMs, c[2]) << c[0];
        widths(c[3]);  // the removers refuse widths above 99 ms
    }
}

}  // namespace
}  // namespace tessivar::test
