#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <tuple>

#include "records/resample.hpp"
#include "records/wfdb.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace tessivar::records;
using tessivar::test::writeText;

const std::string kData = TESSIVAR_SHARED_DATA;
#define NEED_DATA()                                                 \
    if (!std::ifstream(kData + "/mitdb/100.hea").good()) \
    GTEST_SKIP() << "recordings not found in " << kData

// Rows of tests/data/records/reference.txt (values read from the bytes by
// tools/wfdb_reference.py) with the given tag, as whitespace-split words.
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
    NEED_DATA();
    // mitdb 100: format 212, no baseline given (the ADC zero 1024 is used).
    const Record m = readRecord(kData + "/mitdb/100");
    EXPECT_TRUE(m.header.fs == 360 && m.header.samples == 650000 && m.header.signals.at(0).format == 212);
    EXPECT_EQ(m.find("V5"), 1);
    EXPECT_DOUBLE_EQ(m.physical(0, 0), (995 - 1024) / 200.0);
    expectSamples(m, "mitdb100", 9);  // first and last samples included
    // bidmc01: format 16, baselines, descriptions ending in a comma.
    const Record b = readRecord(kData + "/bidmc/bidmc01.hea");
    EXPECT_TRUE(b.header.fs == 125 && b.find("RESP") == 0 && b.find("II") == 4);
    EXPECT_TRUE(b.header.signals.at(2).gain == 32670.9091 && b.header.signals.at(2).baseline == -16367);
    expectSamples(b, "bidmc01", 4);
    // Annotations: count, beats, the first and last ten (time, code).
    const std::vector<Annotation> ann = readAnnotations(kData + "/mitdb/100.atr");
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
    for (const char *d : {"I", "II", "V1"}) r.header.signals.push_back(SignalInfo{"", 16, 1000, -5, "mV", 12, 0, 0, 0, 0, d});
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
    writeText(base + ".dat", std::string(150, '\0'));  // 75 format-16 samples
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
        writeText(base + ".hea", text);
        const std::string e = errorOf([&] { readRecord(base); });
        EXPECT_NE(e.find(message), std::string::npos) << text << " -> " << e;
    }
    EXPECT_NE(errorOf([&] { readHeader(dir / "missing"); }).find("cannot open"), std::string::npos);
    writeText(base + ".atr", "");
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("empty annotation file"), std::string::npos);
    writeText(base + ".atr", std::string("\x05\x04", 2));  // one annotation, no end mark
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("truncated"), std::string::npos);
}

TEST(Resample, ToneKeepsAmplitudeAndPhase)
{
    // 7 Hz sine, 10 s at 360 Hz -> 10 s at 1000 Hz, compared with the sine
    // drawn at 1000 Hz away from the edges.
    std::vector<double> in(3600);
    for (size_t k = 0; k < in.size(); ++k) in[k] = std::sin(2 * M_PI * 7 * k / 360.0);
    const std::vector<double> out = resample(in, 360, 1000);
    ASSERT_EQ(out.size(), 10000u);
    for (size_t k = 500; k < 9500; ++k) ASSERT_NEAR(out[k], std::sin(2 * M_PI * 7 * k / 1000.0), 1e-3) << k;
    EXPECT_EQ(resample(in, 360, 360), in);
    EXPECT_THROW(resample(in, 0, 1000), RecordError);
}

}  // namespace
