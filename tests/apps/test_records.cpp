// The command line's record helpers: WFDB files, resampling, simulation, frames, beat-by-beat scoring.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <tuple>

#include "records/beat_compare.hpp"
#include "records/frames.hpp"
#include "records/resample.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace tessivar::records;
using Beats = std::vector<int64_t>;
using Counts = std::array<int64_t, 3>;  // tp, fn, fp

Counts counts(const BeatCounts &c) { return {c.tp, c.fn, c.fp}; }


// Rows with the tag of tests/data/records/reference.txt (read from the bytes by tools/wfdb_reference.py).
std::vector<std::vector<std::string>> referenceRows(const std::string &tag)
{
    std::ifstream in(TESSIVAR_TEST_DATA "/records/reference.txt");
    std::vector<std::vector<std::string>> rows;
    for (std::string line, word; std::getline(in, line);) {
        std::istringstream f(line);
        std::vector<std::string> w;
        while (f >> word) w.push_back(word);
        if (!w.empty() && w[0] == tag) rows.emplace_back(w.begin() + 1, w.end());
    }
    return rows;
}

std::string errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const RecordError &e) {
        return e.what();
    }
    return "(no error)";
}

// Every listed sample of a record, row = {sample, value of signal 0, 1, ...}.
void expectSamples(const Record &r, const std::string &tag, size_t rows)
{
    const auto ref = referenceRows(tag);
    ASSERT_EQ(ref.size(), rows);
    for (const auto &row : ref)
        for (size_t s = 0; s + 1 < row.size(); ++s)
            EXPECT_EQ(r.samples.at(s).at(std::stoul(row[0])), std::stoi(row[1 + s])) << tag << " " << row[0];
}

TEST(WfdbRead, RecordsMatchTheirBytes)
{
    if (!std::ifstream(TESSIVAR_SHARED_DATA "/mitdb/100.hea")) GTEST_SKIP() << "no recordings in " TESSIVAR_SHARED_DATA;
    // mitdb 100: format 212, no baseline given (the ADC zero 1024 is used).
    const Record m = readRecord(TESSIVAR_SHARED_DATA "/mitdb/100");
    EXPECT_TRUE(m.header.fs == 360 && m.header.samples == 650000 && m.header.signals.at(0).format == 212);
    EXPECT_EQ(m.find("V5"), 1);
    EXPECT_DOUBLE_EQ(m.physical(0, 0), (995 - 1024) / 200.0);
    expectSamples(m, "mitdb100", 9);  // first and last samples included
    // bidmc01: format 16, baselines, descriptions ending in a comma.
    const Record b = readRecord(TESSIVAR_SHARED_DATA "/bidmc/bidmc01.hea");
    EXPECT_TRUE(b.header.fs == 125 && b.find("RESP") == 0 && b.find("II") == 4);
    EXPECT_TRUE(b.header.signals.at(2).gain == 32670.9091 && b.header.signals.at(2).baseline == -16367);
    expectSamples(b, "bidmc01", 4);
    // Annotations: count, beats, the first and last ten (time, code).
    const std::vector<Annotation> ann = readAnnotations(TESSIVAR_SHARED_DATA "/mitdb/100.atr");
    const auto rows = referenceRows("atr100");
    ASSERT_EQ(rows.size(), 21u);
    ASSERT_EQ(ann.size(), std::stoul(rows[0][1]));
    size_t beats = 0;
    for (const auto &a : ann) beats += isBeat(a.code);
    EXPECT_EQ(beats, std::stoul(rows[0][3]));
    for (size_t k = 0; k < 20; ++k) {
        const Annotation &a = ann[k < 10 ? k : ann.size() - 20 + k];
        EXPECT_EQ(std::to_string(a.time) + " " + std::to_string(a.code), rows[1 + k][0] + " " + rows[1 + k][1]);
    }
    EXPECT_EQ(ann[0].aux, "(N");
}

TEST(WfdbWrite, RecordAndAnnotationsRoundTrip)
{
    tessivar::test::TempDir dir;
    Record r;
    r.header.fs = 1000;
    for (const char *d : {"I", "II", "V1"})
        r.header.signals.push_back(SignalInfo{"", 16, 1000, -5, "mV", 12, 0, 0, 0, 0, d});
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> v(-32768, 32767);  // the whole int16 range
    r.samples.assign(3, std::vector<int32_t>(2500));
    for (auto &sig : r.samples)
        for (auto &x : sig) x = v(rng);
    writeRecord(dir / "sim", r);
    const Record back = readRecord(dir / "sim");
    EXPECT_EQ(back.samples, r.samples);
    const SignalInfo &v1 = back.header.signals.at(2);
    EXPECT_TRUE(back.header.fs == 1000 && v1.description == "V1" && v1.baseline == -5 && v1.gain == 1000);
    // Intervals of 1023 (the largest plain one) and 70000 (a SKIP); every field carried.
    const std::vector<Annotation> ann = {
        {5, 1, 0, 0, 0, ""}, {1028, 5, 2, 0, 0, ""}, {71028, 1, 0, 1, 3, ""}, {71029, 28, 0, 1, 3, "(AFIB"}};
    writeAnnotations(dir / "sim.atr", ann);
    const std::vector<Annotation> got = readAnnotations(dir / "sim.atr");
    ASSERT_EQ(got.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        const Annotation &a = got[k], &e = ann[k];
        EXPECT_EQ(std::tie(a.time, a.code, a.subtype, a.chan, a.num, a.aux),
                  std::tie(e.time, e.code, e.subtype, e.chan, e.num, e.aux)) << k;
    }
}

TEST(WfdbBadFiles, OneLineErrorNamingTheProblem)
{
    tessivar::test::TempDir dir;
    const std::string base = dir / "bad";
    tessivar::test::writeText(base + ".dat", std::string(150, '\0'));  // 75 format-16 samples
    const std::pair<const char *, const char *> headers[] = {
        {"bad 1 1000 100\nbad.dat 16 200 16 0 0 0 0 I\n", "bad.dat: truncated: 100 frames announced, 75 in the file"},
        {"bad 1 1000 9223372036854775807\nbad.dat 212\n", "frames announced, 100 in the file"},  // 150 B / 1.5
        {"bad 1 1000 100\nbad.dat 311 200 16 0 0 0 0 I\n", "bad.hea: unsupported signal format '311'"},
        {"bad 0 1000\nbad.dat 16\n", "signal count from 1 to 64"},
        {"bad 65 1000\nbad.dat 16\n", "signal count from 1 to 64"},
        {"bad 1 0\nbad.dat 16\n", "bad sampling frequency '0'"},
        {"bad 1 inf\nbad.dat 16\n", "bad sampling frequency 'inf'"},
        {"bad 1 1000 -5\nbad.dat 16\n", "bad sample count '-5'"},
        {"bad 1 1000\nbad.dat 16 -3\n", "bad gain field '-3'"},
        {"bad 1 1000\nbad.dat 16 200 12 zero\n", "bad number 'zero'"},
        {"bad 1 1000\nbad.dat 16x2\n", "samples-per-frame"},
        {"bad 1 1000\n../../dev/zero 16\n", "'../../dev/zero' must be a plain file name"},
        {"a/b 1 1000\nbad.dat 16\n", "multi-segment"},
        {"bad\n", "record line needs a signal count"},
        {"bad 2 1000\nbad.dat 16\n", "2 signals announced, 1 described"},
        {"bad 1 1000\nbad.dat\n", "signal line without a format"},
    };
    for (const auto &[text, message] : headers) {
        tessivar::test::writeText(base + ".hea", text);
        const std::string e = errorOf([&] { readRecord(base); });
        EXPECT_NE(e.find(message), std::string::npos) << text << " -> " << e;
    }
    EXPECT_NE(errorOf([&] { readHeader(dir / "missing"); }).find("cannot open"), std::string::npos);
    tessivar::test::writeText(base + ".atr", "");
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("empty annotation file"), std::string::npos);
    tessivar::test::writeText(base + ".atr", std::string("\x05\x04", 2));  // one annotation, no end mark
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("truncated"), std::string::npos);
}

TEST(Resample, ToneKeepsAmplitudeAndPhase)
{
    // 7 Hz sine, 10 s at 360 Hz -> 1000 Hz, against the sine drawn at 1000 Hz away from the edges.
    std::vector<double> in(3600);
    for (size_t k = 0; k < in.size(); ++k) in[k] = std::sin(2 * M_PI * 7 * k / 360.0);
    const std::vector<double> out = resample(in, 360, 1000);
    ASSERT_EQ(out.size(), 10000u);
    for (size_t k = 500; k < 9500; ++k) ASSERT_NEAR(out[k], std::sin(2 * M_PI * 7 * k / 1000.0), 1e-3) << k;
    EXPECT_EQ(resample(in, 360, 360), in);
    EXPECT_THROW(resample(in, 0, 1000), RecordError);
}

TEST(Simulator, SeededAndMarkingPaceAndLeadOff)
{
    SimOptions o;
    o.seconds = 10, o.fs = 2000, o.pace = true;
    const Simulation p = simulate(o);
    EXPECT_EQ(simulate(o).record.samples, p.record.samples);  // the same seed, the same record
    size_t marked = 0;
    for (size_t t = 0; t < p.record.samples[0].size(); ++t) marked += (statusWord(p.record, t) & kPaceBit) != 0;
    EXPECT_EQ(marked, p.beats.size() * 4);  // a 2 ms spike is 4 samples at 2000 Hz
    EXPECT_TRUE(statusWord(p.record, size_t(p.beats[3].time) - 80) & kPaceBit);  // 40 ms before R
    for (const Annotation &b : p.beats) EXPECT_EQ(b.code, 12);                    // paced
    o.fs = 1000, o.seconds = 30, o.pace = false, o.leadOff = true;
    const Simulation s = simulate(o);  // V2 (bit 3) off from 30 % of the record, flat; left arm (bit 0) from 60 %

    EXPECT_EQ(statusWord(s.record, 100), 0);
    EXPECT_TRUE((statusWord(s.record, 9100) & 0x8) && s.record.samples[size_t(s.record.find("V2"))][9100] == 0);
    EXPECT_EQ(statusWord(s.record, 18100) & 0x33fff, 0x1);
}

// Gain 200 adu/mV, baseline 10, every sample at the baseline (0 mV).
Record withSignals(std::initializer_list<const char *> descriptions, size_t n = 8)
{
    Record r;
    r.header.fs = 1000;
    for (const char *d : descriptions) {
        r.header.signals.push_back(SignalInfo{"", 16, 200, 10, "mV", 12, 0, 0, 0, 0, d});
        r.samples.emplace_back(n, 10);
    }
    return r;
}

TEST(Frames, WiringCoversTheHighestLead)
{
    // "MLII", "ml ii" are II; AVR is derived, never an input. Wire "3": I, II; "5": + V1 (+ III with
    // T); "12": to V6; "15": to V9; "18": to V5R. Lead-off bits: I 0x1, chest lead id 6 + k bit 2 + k.
    struct Row {
        std::initializer_list<const char *> signals;
        const char *wire, *data;
        std::vector<int> channels;
        int32_t missing;
        const char *carried;  // derived limb leads only when I and II are both there
    };
    const std::vector<int> toV6 = {0, 1, 6, 7, 8, 9, 10, 11}, toV5R = {0, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    const Row rows[] = {
        {{"MLII", "V5"}, "12", "SL", toV6, 0x1 | 0x3c | 0x80, "II, V5"},  // I, V1..V4, V6 off
        {{"II", "V6"}, "12", "SL", toV6, 0x1 | 0x7c, "II, V6"},  // the last of 12
        {{"II", "V7"}, "15", "SL", {0, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14}, 0x1 | 0xfc | 0x600, "II, V7"},
        {{"II", "V3R"}, "18", "SL", toV5R, 0x1 | 0x7fc | 0x3000, "II, V3R"},
        {{"ml ii", "V4R"}, "18", "SL", toV5R, 0x1 | 0xffc | 0x2000, "II, V4R"},
        {{"RESP", "PLETH", "II", "AVR"}, "3", "SLR", {0, 1}, 0x1, "II"},
        {{"I", "II", "III", "V1"}, "5", "SLT", {0, 1, 2, 6}, 0, "I, II, III, aVR, aVL, aVF, V1"},
    };
    for (const Row &r : rows) {
        const FrameLayout l = chooseLayout(withSignals(r.signals), {}, "");
        SCOPED_TRACE(*(r.signals.end() - 1));
        EXPECT_EQ(l.wireType + " " + l.dataType, std::string(r.wire) + " " + r.data);
        EXPECT_EQ(l.channelLead, r.channels);
        EXPECT_EQ(l.missingBits, r.missing);
        EXPECT_EQ(carriedLeads(l), r.carried);
    }
    const FrameLayout chest = chooseLayout(withSignals({"V2", "V5"}), {}, "");  // both limb electrodes off
    EXPECT_TRUE((chest.missingBits & 0x3) == 0x3 && !carriesLead(chest, 1) && carriesLead(chest, 7));
    const FrameLayout named = chooseLayout(withSignals({"ECG", "V9"}), {{"II", "ECG"}}, "");
    EXPECT_TRUE(named.wireType == "15" && named.signalOf.at(1) == 0);
}

TEST(Frames, LayoutRefusals)
{
    EXPECT_THROW(chooseLayout(withSignals({"PLETH"}), {}, ""), RecordError);          // no ECG lead
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {{"aVL", "II"}}, ""), RecordError); // derived lead
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {{"II", "nope"}}, ""), RecordError);
    EXPECT_THROW(chooseLayout(withSignals({"II"}), {}, "RESP"), RecordError);
}

TEST(Frames, FramesCarryCountsStatusAndRespiration)
{
    // Digital 110, gain 200, baseline 10: 0.5 mV = 500 counts; respiration (15 - 10) / 200 * 1000 = 25.
    Record r = withSignals({"II", "RESP"}, 4);
    r.samples[0] = {110, 10, -90, 10};
    r.samples[1] = {15, 16, 17, 18};
    const FrameLayout l = chooseLayout(r, {}, "");
    const std::vector<int32_t> f = buildFrames(r, l, 1000, 1000, 1000.0, -1);
    // Words status, I, II, respiration; I has no signal: its electrode is off. (-90 - 10) / 200 = -0.5 mV.
    EXPECT_EQ(f, (std::vector<int32_t>{0x1, 0, 500, 25, 0x1, 0, 0, 30, 0x1, 0, -500, 35, 0x1, 0, 0, 40}));
    EXPECT_EQ(buildFrames(r, l, 1000, 1000, 1000.0, 2).size(), 8u);  // frame limit
}

TEST(BeatCompare, CountsMatchesMissesAndFalseDetections)
{
    struct Row {
        Beats ref, det;
        double fs, learningS;
        Counts expected;
        const char *why;
    };  // window 150 ms, inclusive
    const Row rows[] = {
        {{10000}, {10150}, 1000, 0, {1, 0, 0}, "150 ms late: inside the inclusive window"},
        {{10000}, {9850}, 1000, 0, {1, 0, 0}, "150 ms early"},
        {{10000}, {10151}, 1000, 0, {0, 1, 1}, "151 ms: a miss and a false detection"},
        {{10000}, {9849}, 1000, 0, {0, 1, 1}, "151 ms early"},
        {{1000}, {1054}, 360, 0, {1, 0, 0}, "360 Hz: 150 ms = 54 samples"},
        {{1000}, {1055}, 360, 0, {0, 1, 1}, "360 Hz: 55 samples is outside"},
        {{5000}, {4950, 5010}, 1000, 0, {1, 0, 1}, "two detections: the nearer matches"},
        {{5000, 5100}, {5050}, 1000, 0, {1, 1, 0}, "two references: one is missed"},
        {{1000, 1200}, {1140, 1210}, 1000, 0, {2, 0, 0}, "neighbours keep their own partners"},
        // 150000 inside learning; 300050 matched 299990 so neither counts.
        {{100000, 299990, 310000, 320000}, {150000, 300050, 310000}, 1000, 300, {1, 1, 0}, "learning 300 s"},
        {{1, 2000, 4000}, {}, 1000, 0, {0, 3, 0}, "nothing detected"},
        {{}, {7, 9000}, 1000, 0, {0, 0, 2}, "nothing to detect"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(counts(compareBeats(r.ref, r.det, CompareOptions{r.fs, 150.0, r.learningS, {}})), r.expected);
    }
}

TEST(BeatCompare, RatiosAndTotals)
{
    BeatCounts c{1, 3, 0}, none;
    c += BeatCounts{2, 0, 1};
    // 3 / (3 + 3), 3 / (3 + 1); 1 and 1 with nothing at all; 0 / (0 + 2).
    EXPECT_EQ((std::array<double, 5>{c.sensitivity(), c.positivePredictivity(), none.sensitivity(),
                                     none.positivePredictivity(), BeatCounts{0, 0, 2}.positivePredictivity()}),
              (std::array<double, 5>{0.5, 0.75, 1, 1, 0}));
}

TEST(BeatCompare, FlutterEpisodesAreLeftOut)
{
    // '[' (32) at 2000, ']' (33) at 3000, a second '[' at 8000 never closed.
    const std::vector<Episode> e =
        flutterEpisodes({1, 32, 5, 33, 1, 32, 1}, {1000, 2000, 2500, 3000, 4000, 8000, 9000});
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ((Beats{e[0].from, e[0].to, e[1].from, e[1].to}), (Beats{2000, 3000, 8000, INT64_MAX}));
    // 1000 missed and counted; 2500, 2700 (false) and 9000 inside: not counted; 4000 matched.
    EXPECT_EQ(counts(compareBeats({1000, 2500, 4000, 9000}, {2700, 4000}, CompareOptions{1000, 150, 0, e})),
              (Counts{1, 1, 0}));
}

TEST(BeatCompare, ReplayedBeatsReplaceTheirEarlierReports)
{
    // Window 200: 1990 replaces 2000, 2600 is new, 3150 replaces 3000; 4150 (not a replay) stays.
    const std::vector<ReportedBeat> reported = {{1000}, {2000}, {3000}, {1990}, {2600}, {3150}, {4000}, {4150}};
    EXPECT_EQ(beatTrain(reported, 200), (Beats{1000, 1990, 2600, 3150, 4000, 4150}));
    EXPECT_TRUE(beatTrain({}, 200).empty());
}

TEST(BeatCompare, LatencyMedianAndNearestRank95)
{
    // Values n, n-1, ..., 1 (unsorted). Rank ceil(0.95 n): 4 -> 4th, 20 -> 19th, 21 -> ceil(19.95) = 20th.
    const double rows[][3] = {{0, 0, 0}, {1, 1, 1}, {4, 2.5, 4}, {20, 10.5, 19}, {21, 11, 20}};  // n, median, p95
    for (const auto &r : rows) {
        std::vector<double> v;
        for (int k = int(r[0]); k >= 1; --k) v.push_back(k);
        EXPECT_DOUBLE_EQ(spreadOf(v).median, r[1]) << r[0];
        EXPECT_DOUBLE_EQ(spreadOf(v).p95, r[2]) << r[0];
    }
}

}  // namespace
