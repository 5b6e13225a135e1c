// Signal quality through the whole front end on 30 s of MIT-BIH record 100
// (V5 as lead I, MLII as lead II, resampled to 1000 Hz, 1000 counts per mV),
// three electrodes, display filters off. Muscle-like noise (200 tones at
// 30-250 Hz, 100 uV RMS) puts the high-pass output above the emg level 57 uV
// in about 28 % of the samples (25 % gives 60): "emg". A 0.3 Hz, 2 mV wander
// lifts the rectified 1 Hz low-pass above 1825 uV in every window: "base".
// III = II - I carries both; the augmented leads are never named.
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

constexpr int kFrames = 30000;
using Wave = std::vector<double>;
std::vector<std::string> g_reports;

std::string compact(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\n' && c != '\t') out += c;
    return out;
}

Wave muscleNoise(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> freq(30.0, 250.0), phase(0.0, 2 * M_PI);
    Wave v(kFrames, 0.0);
    for (int k = 0; k < 200; ++k) {
        const double w = 2 * M_PI * freq(rng) / 1000.0, p = phase(rng);
        for (int n = 0; n < kFrames; ++n) v[size_t(n)] += 10.0 * std::sin(w * n + p);  // 100 * sqrt(2 / 200)
    }
    return v;
}

Wave wander()
{
    Wave v(kFrames);
    for (int n = 0; n < kFrames; ++n) v[size_t(n)] = 2000.0 * std::sin(2 * M_PI * 0.3 * n / 1000.0);
    return v;
}

TEST(RecordQuality, NoiseAndWanderAreNamedOnTheirLeads)
{
    const std::string path = TESSIVAR_SHARED_DATA "/mitdb/100";
    if (!std::ifstream(path + ".hea").good()) GTEST_SKIP() << "mitdb record 100 not found in " TESSIVAR_SHARED_DATA;
    const tessivar::records::Record r = tessivar::records::readRecord(path);
    Wave v5(size_t(30 * r.header.fs)), mlii(v5.size());
    for (size_t t = 0; t < v5.size(); ++t) {
        mlii[t] = 1000.0 * r.physical(r.find("MLII"), t);
        v5[t] = 1000.0 * r.physical(r.find("V5"), t);
    }
    const Wave leadI = tessivar::records::resample(v5, r.header.fs, 1000.0);
    const Wave leadII = tessivar::records::resample(mlii, r.header.fs, 1000.0);
    const Wave none(kFrames, 0.0);
    const struct {
        Wave addI, addII;
        std::string leads;
    } cases[] = {
        {none, none, ""},
        {none, muscleNoise(11), R"({"R":"emg"},{"III":"emg"},{"F":"emg"},{"II":"emg"})"},
        {wander(), none, R"({"R":"base"},{"III":"base"},{"L":"base"},{"I":"base"})"},
        {wander(), muscleNoise(12),
         R"({"R":"base&emg"},{"III":"base&emg"},{"L":"base"},{"I":"base"},{"F":"emg"},{"II":"emg"})"},
    };
    for (const auto &k : cases) {
        PreprocessConf c{};
        c.fs = 1000;
        c.lsbMv = 1000;
        c.wireType = "3";
        c.dataType = "SL";
        c.hrLead = "II";
        c.respLead = "II";
        c.printFunc = [](const char *) {};
        c.onQuality = [](const char *text) { g_reports.emplace_back(text); };
        g_reports.clear();
        ASSERT_EQ(ecgPreprocessInit(&c), 0);
        ecgPreprocessSetFilter("off", "off", "off");
        ASSERT_EQ(getCurInFrame(), 3);
        std::vector<int> in(size_t(kFrames) * 3), out(size_t(kFrames) * size_t(getCurOutFrame()));
        for (size_t t = 0; t < size_t(kFrames); ++t) {
            in[3 * t] = 0;
            in[3 * t + 1] = int(std::lround(leadI[t] + k.addI[t]));
            in[3 * t + 2] = int(std::lround(leadII[t] + k.addII[t]));
        }
        for (int n = 0; n < kFrames; n += 1000)
            ASSERT_EQ(ecgPreprocessDoPreprocess(1000, in.data() + 3 * n, out.data() + n * getCurOutFrame()), 1000);
        const std::string expected =
            R"({"level":")" + std::string(k.leads.empty() ? "high" : "medium") + R"(","leadStatus":[)" + k.leads + "]}";
        ASSERT_FALSE(g_reports.empty());
        EXPECT_EQ(g_reports.back(), std::string(getCurQuality()));
        EXPECT_EQ(compact(g_reports.back()), expected);
        for (const std::string &t : g_reports) EXPECT_TRUE(!k.leads.empty() || compact(t) == expected) << t;
        ecgPreprocessDenit();
    }
}

}  // namespace
