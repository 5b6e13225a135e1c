// The 1000 Hz display path "0.67" / "50" / "40" on a real recording: the
// first 130 s of MIT-BIH record 100 (MLII) resampled to 1000 Hz, alone, with
// 1 mV of 50 Hz added, and with real baseline wander (nstdb bw) added. The
// filters are linear, so the difference of two runs is what the chain makes
// of the added signal.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "preprocess/preprocess_fixture.hpp"
#include "records/resample.hpp"
#include "records/wfdb.hpp"

namespace tessivar::test {
namespace {

const std::string kData = TESSIVAR_SHARED_DATA;
constexpr size_t kSeconds = 130;

// Channel 0 of a record's first kSeconds, in microvolts at 1000 Hz.
std::vector<double> firstSeconds(const std::string &base)
{
    const records::Record r = records::readRecord(base);
    std::vector<double> uv(kSeconds * size_t(r.header.fs));
    for (size_t t = 0; t < uv.size(); ++t) uv[t] = r.physical(0, t) * 1000.0;
    return records::resample(uv, r.header.fs, 1000.0);
}

// RMS about the mean of v[from, to), of the signal itself or of its 1 s means.
double rms(const std::vector<double> &v, size_t from, size_t to, bool means)
{
    std::vector<double> x;
    double s = 0.0;
    for (size_t k = from; k < to; ++k) {
        s += v[k];
        if (means && k >= from + 1000) s -= v[k - 1000];
        if (!means) x.push_back(v[k]);
        else if (k + 1 >= from + 1000) x.push_back(s / 1000.0);
    }
    double m = 0.0, q = 0.0;
    for (double a : x) m += a / double(x.size());
    for (double a : x) q += (a - m) * (a - m);
    return std::sqrt(q / double(x.size()));
}

class DisplayPath : public FrontEnd {
protected:
    std::vector<double> display(const std::vector<double> &x)
    {
        EXPECT_EQ(start(defaultConf("1", "SL")), 0);
        EXPECT_EQ(ecgPreprocessSetFilter("0.67", "50", "40"), 0);
        std::vector<int> in;
        for (double v : x) in.insert(in.end(), {0, int(std::lround(v))});
        const std::vector<int> out = run(in);
        std::vector<double> y(x.size());
        for (size_t n = 0; n < y.size(); ++n) y[n] = out[2 * n + 1];
        ecgPreprocessDenit();
        log.clear();
        return y;
    }
};

TEST_F(DisplayPath, RemovesMainsAndBaselineWanderOnRecord100)
{
    if (!std::filesystem::exists(kData + "/mitdb/100.hea") || !std::filesystem::exists(kData + "/nstdb/bw.hea"))
        GTEST_SKIP() << "recordings not found under " << kData;
    const std::vector<double> ecg = firstSeconds(kData + "/mitdb/100");
    const std::vector<double> wander = firstSeconds(kData + "/nstdb/bw");
    ASSERT_EQ(ecg.size(), kSeconds * 1000);
    ASSERT_EQ(wander.size(), ecg.size());
    std::vector<double> mains = ecg, drifting = ecg;
    for (size_t n = 0; n < ecg.size(); ++n) {
        mains[n] += 1000.0 * std::sin(2.0 * M_PI * 50.0 * double(n) / 1000.0);
        drifting[n] += wander[n];
    }
    const std::vector<double> clean = display(ecg), hum = display(mains), wandered = display(drifting);

    // Mains: after the comb has filled (1881 samples) at least 40 dB down at
    // every sample from 5 s on.
    double worst = 0.0;
    for (size_t n = 5000; n < clean.size(); ++n) worst = std::max(worst, std::fabs(hum[n] - clean[n]));
    EXPECT_GE(20.0 * std::log10(1000.0 / std::max(worst, 1e-9)), 40.0) << "largest residue " << worst << " uV";

    // Wander left over 30 ... 130 s against tools/display_path_reference.py
    // (the resamplers differ: 1 dB).
    std::map<std::string, double> ref;
    std::ifstream in(TESSIVAR_TEST_DATA "/preprocess/display_path_reference.txt");
    for (std::string line; std::getline(in, line);) {
        std::istringstream s(line);
        std::string key;
        if (line.empty() || line[0] == '#' || !(s >> key >> ref[key])) continue;
    }
    ASSERT_EQ(ref.count("slow") + ref.count("all"), 2u);
    std::vector<double> residue(clean.size());
    for (size_t n = 0; n < clean.size(); ++n) residue[n] = wandered[n] - clean[n];
    const double slow = 20.0 * std::log10(rms(wander, 30000, clean.size(), true) / rms(residue, 30000, clean.size(), true));
    const double all = 20.0 * std::log10(rms(wander, 30000, clean.size(), false) / rms(residue, 30000, clean.size(), false));
    EXPECT_NEAR(slow, ref.at("slow"), 1.0);
    EXPECT_NEAR(all, ref.at("all"), 1.0);
    EXPECT_GE(slow, 18.0);
}

}  // namespace
}  // namespace tessivar::test
