#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "records/resample.hpp"
#include "records/wfdb.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace tessivar::records;

const std::string kData = TESSIVAR_SHARED_DATA;

bool haveData() { return std::ifstream(kData + "/mitdb/100.hea").good(); }
#define NEED_DATA() \
    if (!haveData()) GTEST_SKIP() << "recordings not found in " << kData

std::string scratch(const std::string &name) { return ::testing::TempDir() + "/wfdb_" + name; }

using tessivar::test::writeText;

std::string errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const RecordError &e) {
        return e.what();
    }
    return "";
}

TEST(WfdbRead, MitdbHeaderAndSamplesMatchTheBytes)
{
    NEED_DATA();
    const Record r = readRecord(kData + "/mitdb/100");
    ASSERT_EQ(r.header.signals.size(), 2u);
    EXPECT_EQ(r.header.fs, 360.0);
    EXPECT_EQ(r.header.samples, 650000);
    EXPECT_EQ(r.header.signals[0].format, 212);
    EXPECT_EQ(r.header.signals[0].gain, 200.0);
    EXPECT_EQ(r.header.signals[0].baseline, 1024);  // the ADC zero when no baseline is given
    EXPECT_EQ(r.header.signals[0].description, "MLII");
    EXPECT_EQ(r.find("V5"), 1);
    EXPECT_EQ(r.samples[0][0], r.header.signals[0].initValue);

    // Reference values read from the bytes by tools/wfdb_reference.py.
    std::ifstream ref(TESSIVAR_TEST_DATA "/records/reference.txt");
    ASSERT_TRUE(ref);
    std::string line;
    int checked = 0;
    while (std::getline(ref, line)) {
        std::istringstream f(line);
        std::string tag;
        f >> tag;
        if (tag != "mitdb100") continue;
        size_t t;
        int a, b;
        f >> t >> a >> b;
        EXPECT_EQ(r.samples[0][t], a) << t;
        EXPECT_EQ(r.samples[1][t], b) << t;
        ++checked;
    }
    EXPECT_EQ(checked, 9);
    EXPECT_DOUBLE_EQ(r.physical(0, 0), (995 - 1024) / 200.0);
}

TEST(WfdbRead, BidmcFormat16WithBaselinesAndUnits)
{
    NEED_DATA();
    const Record r = readRecord(kData + "/bidmc/bidmc01.hea");
    ASSERT_EQ(r.header.signals.size(), 5u);
    EXPECT_EQ(r.header.fs, 125.0);
    EXPECT_EQ(r.find("RESP"), 0);  // trailing comma of the description dropped
    EXPECT_EQ(r.find("II"), 4);
    const SignalInfo &v = r.header.signals[2];
    EXPECT_EQ(v.gain, 32670.9091);
    EXPECT_EQ(v.baseline, -16367);
    EXPECT_EQ(v.units, "mV");
    std::ifstream ref(TESSIVAR_TEST_DATA "/records/reference.txt");
    std::string line;
    int checked = 0;
    while (std::getline(ref, line)) {
        std::istringstream f(line);
        std::string tag;
        f >> tag;
        if (tag != "bidmc01") continue;
        size_t t;
        f >> t;
        for (int s = 0; s < 5; ++s) {
            int x;
            f >> x;
            EXPECT_EQ(r.samples[s][t], x) << t << " " << s;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(WfdbRead, AnnotationsMatchTheBytes)
{
    NEED_DATA();
    const std::vector<Annotation> ann = readAnnotations(kData + "/mitdb/100.atr");
    std::ifstream ref(TESSIVAR_TEST_DATA "/records/reference.txt");
    std::string line;
    std::vector<std::pair<int64_t, int>> expected;
    size_t count = 0, beats = 0;
    while (std::getline(ref, line)) {
        std::istringstream f(line);
        std::string tag, first;
        f >> tag >> first;
        if (tag != "atr100") continue;
        if (first == "count") {
            std::string word;
            f >> count >> word >> beats;
        } else {
            int code;
            f >> code;
            expected.emplace_back(std::stoll(first), code);
        }
    }
    ASSERT_EQ(ann.size(), count);
    size_t b = 0;
    for (const auto &a : ann) b += isBeat(a.code);
    EXPECT_EQ(b, beats);
    ASSERT_EQ(expected.size(), 20u);
    for (size_t k = 0; k < 10; ++k) {
        EXPECT_EQ(ann[k].time, expected[k].first);
        EXPECT_EQ(ann[k].code, expected[k].second);
        EXPECT_EQ(ann[ann.size() - 10 + k].time, expected[10 + k].first);
    }
    EXPECT_EQ(ann[0].aux, "(N");  // the rhythm label of the first annotation
}

TEST(WfdbWrite, RecordAndAnnotationsRoundTrip)
{
    Record r;
    r.header.name = "sim";
    r.header.fs = 1000;
    for (const char *d : {"I", "II", "V1"}) {
        SignalInfo s;
        s.gain = 1000;
        s.baseline = -5;
        s.units = "mV";
        s.description = d;
        r.header.signals.push_back(s);
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> v(-32768, 32767);
    r.samples.assign(3, std::vector<int32_t>(2500));
    for (auto &sig : r.samples)
        for (auto &x : sig) x = v(rng);
    const std::string base = scratch("sim");
    writeRecord(base, r);
    const Record back = readRecord(base);
    EXPECT_EQ(back.samples, r.samples);
    EXPECT_EQ(back.header.fs, 1000.0);
    EXPECT_EQ(back.header.signals[2].description, "V1");
    EXPECT_EQ(back.header.signals[1].baseline, -5);
    EXPECT_EQ(back.header.signals[1].gain, 1000.0);

    std::vector<Annotation> ann(4);
    ann[0].time = 5;
    ann[1].time = 5 + 1023;
    ann[1].code = 5;
    ann[1].subtype = 2;
    ann[2].time = 5 + 1023 + 70000;  // needs a SKIP
    ann[2].chan = 1;
    ann[2].num = 3;
    ann[3].time = 5 + 1023 + 70000 + 1;
    ann[3].code = 28;
    ann[3].aux = "(AFIB";
    ann[3].chan = 1;
    ann[3].num = 3;
    writeAnnotations(base + ".atr", ann);
    const std::vector<Annotation> annBack = readAnnotations(base + ".atr");
    ASSERT_EQ(annBack.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(annBack[k].time, ann[k].time);
        EXPECT_EQ(annBack[k].code, ann[k].code);
        EXPECT_EQ(annBack[k].subtype, ann[k].subtype);
        EXPECT_EQ(annBack[k].chan, ann[k].chan);
        EXPECT_EQ(annBack[k].num, ann[k].num);
        EXPECT_EQ(annBack[k].aux, ann[k].aux);
    }
    for (const char *ext : {".hea", ".dat", ".atr"}) std::remove((base + ext).c_str());
}

TEST(WfdbBadFiles, ClearOneLineErrors)
{
    const std::string base = scratch("bad");
    writeText(base + ".hea", "bad 1 1000 100\nwfdb_bad.dat 16 200 16 0 0 0 0 I\n");
    writeText(base + ".dat", std::string(150, '\0'));
    std::string e = errorOf([&] { readRecord(base); });
    EXPECT_NE(e.find("wfdb_bad.dat: truncated: 100 frames announced, 75 in the file"), std::string::npos) << e;

    writeText(base + ".hea", "bad 1 1000 100\nbad.dat 311 200 16 0 0 0 0 I\n");
    e = errorOf([&] { readRecord(base); });
    EXPECT_NE(e.find("bad.hea: unsupported signal format '311'"), std::string::npos) << e;

    // Header fields out of range: each refused with its own message before
    // any signal file is read (or allocated for).
    const std::pair<const char *, const char *> headers[] = {
        {"bad 0 1000\nbad.dat 16\n", "signal count from 1 to 64"},
        {"bad 65 1000\nbad.dat 16\n", "signal count from 1 to 64"},
        {"bad 1 0\nbad.dat 16\n", "bad sampling frequency '0'"},
        {"bad 1 -360\nbad.dat 16\n", "bad sampling frequency '-360'"},
        {"bad 1 inf\nbad.dat 16\n", "bad sampling frequency 'inf'"},
        {"bad 1 1000 -5\nbad.dat 16\n", "bad sample count '-5'"},
        {"bad 1 1000 99999999999999999999\nbad.dat 16\n", "bad sample count"},
        {"bad 1 1000 4000000000\nwfdb_bad.dat 16\n", "4000000000 frames announced, 75 in the file"},
        {"bad 1 1000 9223372036854775807\nwfdb_bad.dat 212\n", "frames announced, 100 in the file"},
        {"bad 1 1000\nbad.dat 16 -3\n", "bad gain field '-3'"},
        {"bad 1 1000\nbad.dat 16 200(x)\n", "bad baseline"},
        {"bad 1 1000\nbad.dat 16 200 12 zero\n", "bad number 'zero'"},
        {"bad 1 1000\nbad.dat 16x2\n", "samples-per-frame"},
        {"bad 1 1000\n../../dev/zero 16\n", "'../../dev/zero' must be a plain file name"},
        {"bad 1 1000\n/dev/zero 16\n", "must be a plain file name"},
        {"bad 1 1000\n.. 16\n", "must be a plain file name"},
        {"a/b 1 1000\nbad.dat 16\n", "multi-segment"},
    };
    for (const auto &[text, message] : headers) {
        writeText(base + ".hea", text);
        e = errorOf([&] { readRecord(base); });
        EXPECT_NE(e.find(message), std::string::npos) << text << " -> " << e;
    }

    writeText(base + ".hea", "bad\n");
    EXPECT_NE(errorOf([&] { readHeader(base); }).find("record line needs a signal count"), std::string::npos);
    writeText(base + ".hea", "bad 2 1000\nbad.dat 16\n");
    EXPECT_NE(errorOf([&] { readHeader(base); }).find("2 signals announced, 1 described"), std::string::npos);
    writeText(base + ".hea", "bad 1 1000\nbad.dat\n");
    EXPECT_NE(errorOf([&] { readHeader(base); }).find("signal line without a format"), std::string::npos);
    writeText(base + ".hea", "bad 1 fast\nbad.dat 16\n");
    EXPECT_NE(errorOf([&] { readHeader(base); }).find("bad sampling frequency"), std::string::npos);
    EXPECT_NE(errorOf([&] { readHeader(scratch("missing")); }).find("cannot open"), std::string::npos);

    writeText(base + ".atr", "");
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("empty annotation file"), std::string::npos);
    writeText(base + ".atr", std::string("\x05\x04", 2));  // one annotation, no end mark
    EXPECT_NE(errorOf([&] { readAnnotations(base + ".atr"); }).find("truncated"), std::string::npos);
    for (const char *ext : {".hea", ".dat", ".atr"}) std::remove((base + ext).c_str());
}

TEST(WfdbBadFiles, CorruptedHeadersAndFilesNeverCrash)
{
    // Random byte edits of a valid header and random truncations of its
    // signal and annotation files: each read either succeeds or throws.
    const std::string good =
        "fz 2 360 400\nwfdb_fz.dat 212 200 11 1024 995 0 0 MLII\nwfdb_fz.dat 212 200(3)/mV 11 1024 1 0 0 V5\n";
    const std::string base = scratch("fz");
    std::string dat(600, '\x11');
    std::vector<uint8_t> atr;
    for (int k = 0; k < 50; ++k) {
        atr.push_back(20);
        atr.push_back(1 << 2);
    }
    atr.push_back(0);
    atr.push_back(0);
    std::mt19937 rng(12345);
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
        std::string hea = good;
        for (int edits = 1 + int(rng() % 4); edits > 0; --edits) hea[rng() % hea.size()] = char(rng() % 256);
        writeText(base + ".hea", hea);
        writeText(base + ".dat", dat.substr(0, rng() % (dat.size() + 1)));
        const std::vector<uint8_t> cut(atr.begin(), atr.begin() + long(rng() % (atr.size() + 1)));
        writeText(base + ".atr", std::string(cut.begin(), cut.end()));
        try {
            readRecord(base);
        } catch (const RecordError &) {
            ++failures;
        }
        try {
            readAnnotations(base + ".atr");
        } catch (const RecordError &) {
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
    for (const char *ext : {".hea", ".dat", ".atr"}) std::remove((base + ext).c_str());
}

TEST(Resample, ToneKeepsAmplitudeAndPhase)
{
    // A 7 Hz sine at 360 Hz resampled to 1000 Hz lines up sample for sample
    // with the same sine drawn at 1000 Hz (away from the edges).
    std::vector<double> in(3600);
    for (size_t k = 0; k < in.size(); ++k) in[k] = std::sin(2 * M_PI * 7 * k / 360.0);
    const std::vector<double> out = resample(in, 360, 1000);
    ASSERT_EQ(out.size(), 10000u);
    for (size_t k = 500; k < 9500; ++k) ASSERT_NEAR(out[k], std::sin(2 * M_PI * 7 * k / 1000.0), 1e-3) << k;
    EXPECT_EQ(resample(in, 360, 360), in);
    EXPECT_THROW(resample(in, 0, 1000), RecordError);
}

}  // namespace
