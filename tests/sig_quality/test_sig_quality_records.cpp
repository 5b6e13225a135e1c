// Signal quality on a real recording through the whole front end: 30 s of
// MIT-BIH record 100 (V5 as lead I, MLII as lead II, resampled to 1000 Hz,
// 1000 counts per mV) wired as three electrodes, with the display filters
// off so that the quality monitor sees what the host would display.
//
// Clean, the stretch scores "high" throughout. With muscle-like noise
// (200 sinusoids at random frequencies between 30 and 250 Hz, 100 uV RMS)
// the high-pass output of a lead exceeds the emg level 57 uV in about 28 %
// of its samples (a quarter is needed for the score 60), so the lead and the
// derived leads that contain it are reported "emg". A 0.3 Hz, 2 mV baseline
// wander lifts the rectified 1 Hz low-pass output above the top base level
// 1825 uV in every 2 s window (score 100): "base". III = II - I carries
// whatever I or II carries; the augmented leads are never named.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "records/resample.hpp"
#include "records/wfdb.hpp"
#include "tessivar/ecg_preprocess.h"

namespace {

const std::string kData = TESSIVAR_SHARED_DATA;
constexpr int kSeconds = 30;
constexpr int kFrames = kSeconds * 1000;

std::vector<std::string> g_reports;
void onQuality(const char *text) { g_reports.emplace_back(text); }
void quiet(const char *) {}

std::string compact(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\t') out += c;
    return out;
}

struct Leads {
    std::vector<double> i, ii;  // microvolts at 1000 Hz
};

const Leads &record100()
{
    static const Leads leads = [] {
        Leads l;
        if (!std::ifstream(kData + "/mitdb/100.hea").good()) return l;
        const tessivar::records::Record r = tessivar::records::readRecord(kData + "/mitdb/100");
        const size_t n = size_t(kSeconds * r.header.fs);
        std::vector<double> v5(n), mlii(n);
        for (size_t t = 0; t < n; ++t) {
            mlii[t] = 1000.0 * r.physical(r.find("MLII"), t);
            v5[t] = 1000.0 * r.physical(r.find("V5"), t);
        }
        l.i = tessivar::records::resample(v5, r.header.fs, 1000.0);
        l.ii = tessivar::records::resample(mlii, r.header.fs, 1000.0);
        return l;
    }();
    return leads;
}

std::vector<double> muscleNoise(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> freq(30.0, 250.0), phase(0.0, 2 * M_PI);
    constexpr int kTones = 200;
    const double amplitude = 100.0 * std::sqrt(2.0 / kTones);  // RMS 100 uV
    std::vector<double> v(kFrames, 0.0);
    for (int k = 0; k < kTones; ++k) {
        const double w = 2 * M_PI * freq(rng) / 1000.0, p = phase(rng);
        for (int n = 0; n < kFrames; ++n) v[size_t(n)] += amplitude * std::sin(w * n + p);
    }
    return v;
}

std::vector<double> wander()
{
    std::vector<double> v(kFrames);
    for (int n = 0; n < kFrames; ++n) v[size_t(n)] = 2000.0 * std::sin(2 * M_PI * 0.3 * n / 1000.0);
    return v;
}

// Runs the stretch with the additions to leads I and II (empty: none) and
// returns the last quality text, compacted.
std::string lastQuality(const std::vector<double> &addI, const std::vector<double> &addII)
{
    const Leads &l = record100();
    PreprocessConf c{};
    c.fs = 1000;
    c.lsbMv = 1000;
    c.wireType = "3";
    c.dataType = "SL";
    c.hrLead = "II";
    c.respLead = "II";
    c.printFunc = quiet;
    c.onQuality = onQuality;
    g_reports.clear();
    EXPECT_EQ(ecgPreprocessInit(&c), 0);
    ecgPreprocessSetFilter("off", "off", "off");
    EXPECT_EQ(getCurInFrame(), 3);
    std::vector<int> in(size_t(kFrames) * 3), out(size_t(kFrames) * size_t(getCurOutFrame()));
    for (int n = 0; n < kFrames; ++n) {
        const size_t t = size_t(n);
        in[3 * t] = 0;
        in[3 * t + 1] = int(std::lround(l.i[t] + (addI.empty() ? 0.0 : addI[t])));
        in[3 * t + 2] = int(std::lround(l.ii[t] + (addII.empty() ? 0.0 : addII[t])));
    }
    for (int n = 0; n < kFrames; n += 1000)
        EXPECT_EQ(ecgPreprocessDoPreprocess(1000, in.data() + 3 * n, out.data() + size_t(n) * size_t(getCurOutFrame())),
                  1000);
    const char *current = getCurQuality();
    std::string last = current != nullptr ? current : "";
    EXPECT_FALSE(g_reports.empty());
    if (!g_reports.empty()) {
        EXPECT_EQ(g_reports.back(), last);
    }
    ecgPreprocessDenit();
    return compact(last);
}

class RecordQuality : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (record100().i.size() < size_t(kFrames)) GTEST_SKIP() << "mitdb record 100 not found in " << kData;
    }
};

TEST_F(RecordQuality, CleanStretchScoresHigh)
{
    EXPECT_EQ(lastQuality({}, {}), R"({"level":"high","leadStatus":[]})");
    for (const std::string &r : g_reports) EXPECT_EQ(compact(r), R"({"level":"high","leadStatus":[]})");
}

TEST_F(RecordQuality, MuscleNoiseOnLeadII)
{
    EXPECT_EQ(lastQuality({}, muscleNoise(11)),
              R"({"level":"medium","leadStatus":[{"R":"emg"},{"III":"emg"},{"F":"emg"},{"II":"emg"}]})");
}

TEST_F(RecordQuality, BaselineWanderOnLeadI)
{
    EXPECT_EQ(lastQuality(wander(), {}),
              R"({"level":"medium","leadStatus":[{"R":"base"},{"III":"base"},{"L":"base"},{"I":"base"}]})");
}

TEST_F(RecordQuality, WanderOnIAndNoiseOnII)
{
    EXPECT_EQ(lastQuality(wander(), muscleNoise(12)),
              R"({"level":"medium","leadStatus":[{"R":"base&emg"},{"III":"base&emg"},{"L":"base"},{"I":"base"},)"
              R"({"F":"emg"},{"II":"emg"}]})");
}

}  // namespace
