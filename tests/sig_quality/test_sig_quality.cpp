// Multi-lead quality monitor: the report text by wiring and flags, the
// noise threshold and the noisy-lead mask, when reports are sent, the lead
// instances behind sqProcess, and the lead validity table.
//
// The report is cJSON's formatted print: members on their own lines indented
// by tabs, a tab after each colon, array elements separated by ", ".
// compact() strips that layout (the texts hold no blanks of their own).
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/sig_quality.h"

namespace {

using tessivar::test::LogCapture;

std::vector<std::string> g_texts;

int collect(void *user, const char *text)
{
    *static_cast<int *>(user) += 1;
    g_texts.emplace_back(text);
    return 0;
}

std::string compact(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\t') out += c;
    return out;
}

SignalQualityDesc desc(int status, int score) { return SignalQualityDesc{1999, status, int8_t(score)}; }

enum Wire { kWire1 = 1, kWire3 = 2, kWire5 = 3, kWire12 = 8, kWire15 = 11, kWire18 = 14 };

class Monitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_texts.clear();
        const SignalQualityCallbacks callbacks = {&calls, collect};
        ASSERT_EQ(sqInit(&callbacks), 0);
    }
    void TearDown() override { EXPECT_EQ(sqDeinit(), 0); }

    // One frame that runs no lead instance (lead count 0): only what the
    // callbacks did before it is reported. Returns the compact report, ""
    // when none was sent.
    std::string frame(int wire, uint32_t *mask = nullptr)
    {
        const int32_t f[19] = {};
        const size_t before = g_texts.size();
        const uint32_t m = sqProcess(f, 0, wire);
        if (mask != nullptr) *mask = m;
        return g_texts.size() > before ? compact(g_texts.back()) : "";
    }

    int calls = 0;
    LogCapture log;
};

TEST_F(Monitor, ReportIsTheFormattedDocument)
{
    onSignalQualityChangedIII(desc(1, 70));
    ASSERT_EQ(frame(kWire12), R"({"level":"medium","leadStatus":[{"R":"emg"},{"III":"emg"}]})");
    EXPECT_EQ(g_texts.back(),
              "{\n\t\"level\":\t\"medium\",\n\t\"leadStatus\":\t[{\n\t\t\t\"R\":\t\"emg\"\n\t\t}, {\n\t\t\t\"III\":\t"
              "\"emg\"\n\t\t}]\n}");
    onSignalQualityChangedIII(desc(1, 0));
    ASSERT_EQ(frame(kWire12), R"({"level":"high","leadStatus":[]})");
    EXPECT_EQ(g_texts.back(), "{\n\t\"level\":\t\"high\",\n\t\"leadStatus\":\t[]\n}");
    EXPECT_EQ(calls, 2);
}

TEST_F(Monitor, LongestReportIsComplete)
{
    // Every lead flagged for base, line and emg on 18 electrodes: the
    // longest report, 18 entries.
    using Callback = void (*)(SignalQualityDesc);
    const Callback all[] = {
        onSignalQualityChangedI,   onSignalQualityChangedII,  onSignalQualityChangedIII, onSignalQualityChangedavR,
        onSignalQualityChangedavL, onSignalQualityChangedavF, onSignalQualityChangedV1,  onSignalQualityChangedV2,
        onSignalQualityChangedV3,  onSignalQualityChangedV4,  onSignalQualityChangedV5,  onSignalQualityChangedV6,
        onSignalQualityChangedV7,  onSignalQualityChangedV8,  onSignalQualityChangedV9,  onSignalQualityChangedV3r,
        onSignalQualityChangedV4r, onSignalQualityChangedV5r};
    for (Callback cb : all)
        for (int status = 0; status < 3; ++status) cb(desc(status, 100));
    std::string leads;
    for (const char *key : {"R", "III", "L", "I", "F", "II", "V1", "V2", "V3", "V4", "V5", "V6", "V3r", "V4r", "V5r",
                            "V7", "V8", "V9"})
        leads += std::string(leads.empty() ? "" : ",") + "{\"" + key + "\":\"base&line&emg\"}";
    EXPECT_EQ(frame(kWire18), R"({"level":"medium","leadStatus":[)" + leads + "]}");
}

TEST_F(Monitor, WiringDecidesTheLeadsNamed)
{
    // Flags on I (emg), II (base, line and emg), V1 (line), V2 (base),
    // V7 (base and emg), V3R (line); aVR is never named.
    onSignalQualityChangedI(desc(1, 60));
    onSignalQualityChangedII(desc(0, 100));
    onSignalQualityChangedII(desc(2, 90));
    onSignalQualityChangedII(desc(1, 80));
    onSignalQualityChangedV1(desc(2, 60));
    onSignalQualityChangedV2(desc(0, 60));
    onSignalQualityChangedV7(desc(0, 70));
    onSignalQualityChangedV7(desc(1, 70));
    onSignalQualityChangedV3r(desc(2, 100));
    onSignalQualityChangedavR(desc(1, 100));
    const std::string limb = R"({"L":"emg"},{"I":"emg"},{"F":"base&line&emg"},{"II":"base&line&emg"})";
    EXPECT_EQ(frame(kWire1), R"({"level":"medium","leadStatus":[{"I":"emg"}]})");
    // No lead reported since: no report.
    EXPECT_EQ(frame(kWire1), "");
    const struct {
        int wire;
        std::string leads;
    } cases[] = {
        {kWire3, limb},
        {kWire5, limb + R"(,{"V1":"line"})"},
        {kWire12, limb + R"(,{"V1":"line"},{"V2":"base"},{"V3r":"base&emg"})"},
        {kWire15, limb + R"(,{"V1":"line"},{"V2":"base"})"},
        {kWire18, limb + R"(,{"V1":"line"},{"V2":"base"},{"V3r":"line"},{"V7":"base&emg"})"},
    };
    for (const auto &c : cases) {
        onSignalQualityChangedV9(desc(1, 0));  // a report without a flag of its own
        EXPECT_EQ(frame(c.wire), R"({"level":"medium","leadStatus":[)" + c.leads + "]}") << c.wire;
    }
    // Only V7 flagged: with one electrode nothing is named and the level
    // stays high.
    onSignalQualityChangedI(desc(1, 0));
    EXPECT_EQ(frame(kWire1), R"({"level":"high","leadStatus":[]})");
    // III is named as R and III, before I (L, I) and II (F, II).
    onSignalQualityChangedIII(desc(2, 60));
    onSignalQualityChangedIII(desc(0, 60));
    EXPECT_EQ(frame(kWire3), R"({"level":"medium","leadStatus":[{"R":"base&line"},{"III":"base&line"},)"
                             R"({"F":"base&line&emg"},{"II":"base&line&emg"}]})");
}

TEST_F(Monitor, ThresholdAndNoisyLeadMask)
{
    uint32_t mask = 0xffff;
    // Base 60 is noisy, 50 is not; only base scores move the mask.
    onSignalQualityChangedII(desc(0, 60));
    EXPECT_EQ(frame(kWire12, &mask), R"({"level":"medium","leadStatus":[{"F":"base"},{"II":"base"}]})");
    EXPECT_EQ(mask, 0x2u);
    onSignalQualityChangedII(desc(1, 90));
    EXPECT_EQ(frame(kWire12, &mask), R"({"level":"medium","leadStatus":[{"F":"base&emg"},{"II":"base&emg"}]})");
    EXPECT_EQ(mask, 0x2u);
    onSignalQualityChangedV5r(desc(0, 100));
    onSignalQualityChangedII(desc(0, 50));
    EXPECT_EQ(frame(kWire12, &mask), R"({"level":"medium","leadStatus":[{"F":"emg"},{"II":"emg"}]})");
    EXPECT_EQ(mask, 1u << 17);
    onSignalQualityChangedII(desc(1, 59));
    EXPECT_EQ(frame(kWire12, &mask), R"({"level":"high","leadStatus":[]})");
    EXPECT_EQ(mask, 1u << 17);

    // A threshold of 70: 60 is no longer noisy.
    EXPECT_EQ(sqSetNoiseThreshold(70), 0);
    onSignalQualityChangedI(desc(0, 60));
    onSignalQualityChangedV5r(desc(0, 70));
    frame(kWire18, &mask);
    EXPECT_EQ(mask, 1u << 17);
    // Scores compare as signed bytes: 200 is -56, below every score.
    EXPECT_EQ(sqSetNoiseThreshold(200), 0);
    onSignalQualityChangedI(desc(0, 0));
    EXPECT_EQ(frame(kWire1, &mask), R"({"level":"medium","leadStatus":[{"I":"base"}]})");
    EXPECT_EQ(mask, (1u << 17) | 1u);

    // An unknown status: the lead reported, so a report goes out, but no
    // quality word or mask bit changes.
    log.clear();
    onSignalQualityChangedI(desc(7, 0));
    EXPECT_EQ(frame(kWire1, &mask), R"({"level":"medium","leadStatus":[{"I":"base"}]})");
    EXPECT_EQ(mask, (1u << 17) | 1u);
    EXPECT_TRUE(log.contains("[T]{sig_quality}[signalQualityChanged](")) << "trace of the report";
    EXPECT_TRUE(log.contains(":0-7-0"));

    // A new start brings the threshold back to 60.
    const SignalQualityCallbacks callbacks = {&calls, collect};
    ASSERT_EQ(sqInit(&callbacks), 0);
    onSignalQualityChangedI(desc(0, 59));
    frame(kWire1, &mask);
    EXPECT_EQ(mask, 1u << 17);
}

TEST_F(Monitor, LeadInstancesJudgeTheFrames)
{
    // Leads 0 ... 2 judged (lead count 3): lead I at the int32 minimum,
    // clamped to -32768 (a wrap would give 0), lead III at 5000: their base
    // outputs are far above the top level. V1 is as loud but beyond the lead
    // count. The first window ends at the 1999th frame.
    int32_t f[19] = {};
    f[1] = INT32_MIN;
    f[3] = 5000;
    f[7] = INT32_MAX;
    uint32_t mask = 0;
    for (int n = 0; n < 1998; ++n) mask = sqProcess(f, 3, kWire12);
    EXPECT_TRUE(g_texts.empty());
    EXPECT_EQ(mask, 0u);
    mask = sqProcess(f, 3, kWire12);
    ASSERT_EQ(g_texts.size(), 1u);
    EXPECT_EQ(compact(g_texts[0]),
              R"({"level":"medium","leadStatus":[{"R":"base"},{"III":"base"},{"L":"base"},{"I":"base"}]})");
    EXPECT_EQ(mask, 0x5u);
    EXPECT_TRUE(log.contains(":2-0-100"));
    EXPECT_TRUE(log.contains(":1-0-0"));
    EXPECT_FALSE(log.contains(":6-0-"));

    // A second start keeps scores and flags: the same frames report nothing.
    const SignalQualityCallbacks callbacks = {&calls, collect};
    ASSERT_EQ(sqInit(&callbacks), 0);
    for (int n = 0; n < 4000; ++n) mask = sqProcess(f, 18 + 5, kWire12);  // lead count beyond 18: all 18
    ASSERT_EQ(g_texts.size(), 2u);  // V1 and the rest joined at 1999
    EXPECT_EQ(compact(g_texts[1]), R"({"level":"medium","leadStatus":[{"R":"base"},{"III":"base"},{"L":"base"},)"
                                   R"({"I":"base"},{"V1":"base"}]})");
    EXPECT_EQ(mask, 0x45u);

    // Refused and stopped.
    log.clear();
    EXPECT_EQ(sqProcess(nullptr, 3, kWire12), 0x45u);
    EXPECT_TRUE(log.contains("[E]{sig_quality}[sqProcess]"));
    EXPECT_TRUE(log.contains("Input parameter exception."));
    EXPECT_EQ(sqDeinit(), 0);
    for (int n = 0; n < 2000; ++n) EXPECT_EQ(sqProcess(f, 18, kWire12), 0u);
    EXPECT_EQ(g_texts.size(), 2u);
    // A start without callbacks builds reports but sends none.
    ASSERT_EQ(sqInit(nullptr), 0);
    for (int n = 0; n < 2000; ++n) sqProcess(f, 18, kWire12);
    EXPECT_EQ(g_texts.size(), 2u);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(log.contains("SingalQuality:signal_quality version 0.0.0.13 2025-04-11 15:40:23"));
}

TEST(LeadValidity, EachLeadHasItsElectrodes)
{
    const int32_t masks[18] = {0x10001, 0x10002, 0x10002, 0x30003, 0x30003, 0x30003, 0x4,   0x8,    0x10,
                               0x20,    0x40,    0x80,    0x100,   0x200,   0x400,   0x800, 0x1000, 0x2000};
    for (int lead = 0; lead < 18; ++lead) {
        EXPECT_EQ(isLeadValid(0, lead), 1) << lead;
        EXPECT_EQ(isLeadValid(~masks[lead], lead), 1) << lead;
        for (int bit = 0; bit < 18; ++bit)
            if ((masks[lead] & (1 << bit)) != 0) {
                EXPECT_EQ(isLeadValid(1 << bit, lead), 0) << lead << " " << bit;
            }
    }
    EXPECT_EQ(isLeadValid(0, -1), 0);
    EXPECT_EQ(isLeadValid(0, 18), 0);
}

}  // namespace
