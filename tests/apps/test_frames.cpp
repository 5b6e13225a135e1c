#include <gtest/gtest.h>

#include "records/frames.hpp"

namespace {

using namespace tessivar::records;

Record withSignals(std::initializer_list<const char *> descriptions, size_t n = 8, double fs = 1000)
{
    Record r;
    r.header.name = "r";
    r.header.fs = fs;
    for (const char *d : descriptions) {
        SignalInfo s;
        s.gain = 200;
        s.baseline = 10;
        s.description = d;
        r.header.signals.push_back(s);
        r.samples.emplace_back(n, 10);
    }
    return r;
}

TEST(Frames, DescriptionsMapToLeads)
{
    EXPECT_EQ(leadOfDescription("MLII"), 1);
    EXPECT_EQ(leadOfDescription("II"), 1);
    EXPECT_EQ(leadOfDescription("ml ii"), 1);
    EXPECT_EQ(leadOfDescription("V5"), 10);
    EXPECT_EQ(leadOfDescription("V4R"), 16);
    EXPECT_EQ(leadOfDescription("AVR"), -1);  // derived by the front end
    EXPECT_EQ(leadOfDescription("RESP"), -1);
    EXPECT_EQ(leadId("aVF"), 5);
}

TEST(Frames, LayoutCoversTheHighestChestLead)
{
    // MLII and V5: wire "12" (I, II, V1..V6), the missing leads flagged
    // off (I bit 0, V1..V4 bits 2..5, V6 bit 7), no respiration.
    FrameLayout l = chooseLayout(withSignals({"MLII", "V5"}), {}, "");
    EXPECT_EQ(l.wireType, "12");
    EXPECT_EQ(l.dataType, "SL");
    EXPECT_EQ(l.channelLead, (std::vector<int>{0, 1, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(l.missingBits, 0x1 | 0x4 | 0x8 | 0x10 | 0x20 | 0x80);
    EXPECT_EQ(carriedLeads(l), "II, V5");  // no I: nothing derived

    l = chooseLayout(withSignals({"RESP", "PLETH", "II", "AVR"}), {}, "");
    EXPECT_EQ(l.wireType, "3");
    EXPECT_EQ(l.dataType, "SLR");
    EXPECT_EQ(l.respSignal, 0);
    EXPECT_EQ(l.missingBits, 0x1);

    l = chooseLayout(withSignals({"I", "II", "III", "V1"}), {}, "none");
    EXPECT_EQ(l.wireType, "5");
    EXPECT_EQ(l.dataType, "SLT");
    EXPECT_EQ(l.channelLead, (std::vector<int>{0, 1, 2, 6}));
    EXPECT_EQ(l.missingBits, 0);
    EXPECT_EQ(carriedLeads(l), "I, II, III, aVR, aVL, aVF, V1");

    // Chest leads only: both limb electrodes of I and II off.
    l = chooseLayout(withSignals({"V2", "V5"}), {}, "");
    EXPECT_EQ(l.missingBits & 0x3, 0x3);
    EXPECT_FALSE(carriesLead(l, 1));
    EXPECT_TRUE(carriesLead(l, 7));

    l = chooseLayout(withSignals({"ECG", "V9"}), {{"II", "ECG"}}, "");
    EXPECT_EQ(l.wireType, "15");
    EXPECT_EQ(l.signalOf.at(1), 0);
}

TEST(Frames, LayoutRefusals)
{
    EXPECT_THROW(chooseLayout(withSignals({"PLETH"}), {}, ""), RecordError);
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {{"aVL", "II"}}, ""), RecordError);
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {{"II", "nope"}}, ""), RecordError);
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {}, "RESP"), RecordError);
}

TEST(Frames, FramesCarryCountsStatusAndRespiration)
{
    // Gain 200 adu/mV, baseline 10: digital 110 is 0.5 mV = 500 counts at
    // lsbMv 1000. Respiration is its physical value times the scale:
    // (15 - 10) / 200 * 1000 = 25.
    Record r = withSignals({"II", "RESP"}, 4);
    r.samples[0] = {110, 10, -90, 10};
    r.samples[1] = {15, 16, 17, 18};
    const FrameLayout l = chooseLayout(r, {}, "");
    const std::vector<int32_t> f = buildFrames(r, l, 1000, 1000, 1000.0, -1);
    ASSERT_EQ(f.size(), 4u * 4u);  // status, I, II, respiration
    EXPECT_EQ(f[0], 0x1);  // I has no signal: its electrode is off
    EXPECT_EQ(f[1], 0);    // lead I has no signal
    EXPECT_EQ(f[2], 500);  // II
    EXPECT_EQ(f[3], 25);   // respiration
    EXPECT_EQ(f[4 + 2], 0);
    EXPECT_EQ(f[8 + 2], -500);
    EXPECT_EQ(buildFrames(r, l, 1000, 1000, 1000.0, 2).size(), 8u);
}

}  // namespace
