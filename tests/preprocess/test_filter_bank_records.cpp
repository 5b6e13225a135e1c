// The display filter records: |H(f)| of each impulse response against tools/filter_responses.py
// (its own integer rule table, IIR coefficients and the FIR tables; it pins shared records, cut-offs,
// the cry gain and the integer taps); the FIR tables' fixed taps, symmetry and sums; and the display
// path on a real recording.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <complex>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "preprocess/ecg_filters.hpp"
#include "preprocess/ecg_fir_taps.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "records/resample.hpp"
#include "records/wfdb.hpp"
#include "tessivar/iir_comb_filter.h"
#include "tessivar/integer_filter.h"

namespace tessivar {
namespace {

struct Reference {
    int rate = 0, slot = 0, value = 0, length = 0;
    std::string name;
    std::vector<std::pair<double, double>> gains;  // (f, |H(f)|)
};

std::vector<Reference> readReferences()
{
    std::ifstream in(TESSIVAR_TEST_DATA "/preprocess/filter_bank_gains.txt");
    std::vector<Reference> refs;
    std::string line, word;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        if (line.rfind("record ", 0) == 0) {
            refs.emplace_back();
            s >> word >> refs.back().rate >> refs.back().slot >> refs.back().value >> refs.back().length;
            std::getline(s >> std::ws, refs.back().name);
        } else if (!refs.empty()) {
            double f = 0.0, g = 0.0;
            if (s >> f >> g) refs.back().gains.emplace_back(f, g);
        }
    }
    return refs;
}

TEST(FilterBankRecords, ResponsesMatchTheIndependentDerivation)
{
    const std::vector<Reference> refs = readReferences();
    // 28 records at 1000 Hz, 25 at 2000 Hz, two extra high-passes, the analysis comb.
    ASSERT_EQ(refs.size(), 56u);
    for (const Reference &r : refs) {
        SCOPED_TRACE(std::to_string(r.rate) + " Hz \"" + r.name + "\"");
        const SignalFilterConf *conf = r.slot == -1   ? extraHighPassConf(r.rate)
                                       : r.slot == -2 ? analysisLineFilterConf()
                                                      : catalogueRecord(r.rate == 2000 ? kCatalogue2000 : kCatalogue1000, r.slot, r.value);
        ASSERT_NE(conf, nullptr);
        EXPECT_STREQ(conf->name, r.name.c_str());
        SignalFilter *f = newSignalFilter(conf);
        ASSERT_NE(f, nullptr);
        if (conf->type == SIGNAL_FILTER_AVG) setSignalFilterDelay(f, 0);  // as the selection runs it
        doSignalFilter(f, 0.0);  // the first sample primes the histories: all 0
        std::vector<double> ir(size_t(r.length));
        for (int n = 0; n < r.length; ++n) ir[size_t(n)] = doSignalFilter(f, n == 0 ? 1.0 : 0.0);
        // IIR records of order 3 and more have poles within 0.003 of the unit
        // circle: the direct form amplifies rounding, the tool's double sums
        // and ours part at about 1e-5.
        const bool illConditioned = conf->type == SIGNAL_FILTER_IIR_COMB && reinterpret_cast<const IirCombFilterConf *>(conf)->den_num > 3;
        for (const auto &fg : r.gains) {
            std::complex<double> sum = 0.0;
            for (int n = 0; n < r.length; ++n) sum += ir[size_t(n)] * std::polar(1.0, -2.0 * M_PI * fg.first / r.rate * n);
            EXPECT_NEAR(std::abs(sum), fg.second, (illConditioned ? 1e-4 : 1e-7) * (1.0 + fg.second)) << fg.first << " Hz";
        }
        delSignalFilter(&f);
    }
}

// ---- FIR tap tables ------------------------------------------------------------------

// n taps, the first `lead` of them zero in front of the symmetric design; centre: the later middle tap for even n.
struct TapTable { const char *record; int fs; const double *taps; int n, lead; double sum, first, second, centre; };

const TapTable kTables[] = {
    {"1000 lpass 20", 1000, kFir1000Lpass20, 113, 0, 1.0, 0.0008219856974498, 0.0009472792117736, 0.04626986936017},
    {"1000 lpass 42", 1000, kFir1000Lpass42, 113, 0, 1.0, -0.000839236528780652, -0.000888740145920034, 0.09785815269705},
    {"1000 lpass 100", 1000, kFir1000Lpass100, 86, 0, 0.994344, -0.0003272957501402, -0.005488986503152, 0.2212409165613},
    {"1000 lpass 250", 1000, kFir1000Lpass250, 113, 0, 1.0, 0.0007316929280639, -0.0004814133664779, 0.5058785604155},
    {"1000 lpass 350", 1000, kFir1000Lpass350, 113, 0, 1.0, -0.0008363630945067, 0.0004819240415708, 0.7065792936067},
    {"1000 lpass 380", 1000, kFir1000Lpass380, 113, 0, 1.0, 0.0002697794809902, 0.0003754737515966, 0.7655733769982},
    {"1000 lpass cry", 1000, kFir1000LpassCry, 131, 0, -0.494262, 2.93873587705572e-39, 3.6882821423386e-37, -0.0369549158361004},
    {"2000 lpass 20", 2000, kFir2000Lpass20, 225, 0, 1.0, 0.0004111552355602, 0.0004429182820033, 0.02314407549321},
    {"2000 lpass 25", 2000, kFir2000Lpass25, 225, 0, 1.0, -0.0001727126666606, -0.0001472334477734, 0.02775210518681},
    {"2000 lpass 35", 2000, kFir2000Lpass35, 225, 0, 1.0, 0.0003048553370956, 0.000284152364449, 0.03824427299601},
    {"2000 lpass 42", 2000, kFir2000Lpass42, 225, 0, 1.0, -0.0004194470912112, -0.0004373503883728, 0.04890911690857},
    {"2000 lpass 45", 2000, kFir2000Lpass45, 225, 0, 1.0, -0.0003876382239116, -0.0003813852289125, 0.04782970679417},
    {"2000 lpass 75", 2000, kFir2000Lpass75, 225, 0, 1.0, 0.0003095481121338, 0.0003917158679485, 0.07785040565621},
    {"2000 lpass 100", 2000, kFir2000Lpass100, 225, 0, 1.0, -0.0004179306071541, -0.0004365789103063, 0.1030226561138},
    {"2000 lpass 150", 2000, kFir2000Lpass150, 225, 0, 1.0, -0.0001740002121328, 2.37911571241e-05, 0.1527759245},
    {"2000 lpass 250", 2000, kFir2000Lpass250, 225, 0, 1.0, 0.0003660074180626, 0.0001150911423287, 0.2530505607603},
    {"2000 lpass 270", 2000, kFir2000Lpass270, 225, 0, 1.0, 0.0004083694085512, 0.0003633467470186, 0.2728487852162},
    {"2000 lpass 380", 2000, kFir2000Lpass380, 225, 0, 1.0, 0.0001348702952534, 0.0004456489689501, 0.3827315072849},
    {"2000 lpass 550", 2000, kFir2000Lpass550, 40, 1, 1.0, 0.0, 3.70717687139897e-05, 0.550013661010913},
    {"2000 lpass 350", 2000, kFir2000Lpass350, 8, 1, 1.0000032, 0.0, -0.0068114, 0.47798},  // taps summed by hand
};

class TapTableTest : public ::testing::TestWithParam<TapTable> {};

TEST_P(TapTableTest, FixedTapsSymmetrySumAndCutOff)
{
    const TapTable &t = GetParam();
    EXPECT_EQ(t.taps[0], t.first);
    EXPECT_EQ(t.taps[1], t.second);
    EXPECT_EQ(t.taps[t.n / 2], t.centre);
    double sum = 0.0;
    for (int k = 0; k < t.n; ++k) sum += t.taps[k];
    EXPECT_NEAR(sum, t.sum, 1e-12);
    for (int k = 0; k < t.lead; ++k) EXPECT_EQ(t.taps[k], 0.0);
    for (int k = 0; k < t.n - t.lead; ++k) ASSERT_EQ(t.taps[t.lead + k], t.taps[t.n - 1 - k]) << k;
    if (t.n == 8) {  // the 2000 Hz "lpass 350" is given in full
        const double full[8] = {0, -0.0068114, 0.013983, 0.25384, 0.47798, 0.25384, 0.013983, -0.0068114};
        for (int k = 0; k < 8; ++k) EXPECT_EQ(t.taps[k], full[k]) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(EcgFirTaps, TapTableTest, ::testing::ValuesIn(kTables), [](const ::testing::TestParamInfo<TapTable> &info) {
    std::string name = info.param.record;
    for (char &c : name) c = c == ' ' ? '_' : c;
    return name;
});

// ---- the display path "0.67" / "50" / "40" at 1000 Hz on a real recording ---------------
// The first 130 s of MIT-BIH record 100 (MLII) resampled to 1000 Hz, alone,
// with 1 mV of 50 Hz added, and with real baseline wander (nstdb bw) added.
// The filters are linear, so the difference of two runs is what the chain
// makes of the added signal.

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

class DisplayPath : public test::FrontEnd {
protected:
    std::vector<double> display(const std::vector<double> &x)
    {
        EXPECT_EQ(start(test::defaultConf("1", "SL")), 0);
        EXPECT_EQ(ecgPreprocessSetFilter("0.67", "50", "40"), 0);
        const std::vector<int> out = run(test::oneLeadFrames(x));
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
    ASSERT_TRUE(ecg.size() == kSeconds * 1000 && wander.size() == ecg.size());
    std::vector<double> mains = ecg, drifting = ecg;
    for (size_t n = 0; n < ecg.size(); ++n) mains[n] += 1000.0 * std::sin(2.0 * M_PI * 50.0 * double(n) / 1000.0), drifting[n] += wander[n];
    const std::vector<double> clean = display(ecg), hum = display(mains), wandered = display(drifting);

    // Mains: after the comb has filled (1881 samples) at least 40 dB down at every sample from 5 s on.
    double worst = 0.0;
    for (size_t n = 5000; n < clean.size(); ++n) worst = std::max(worst, std::fabs(hum[n] - clean[n]));
    EXPECT_GE(20.0 * std::log10(1000.0 / std::max(worst, 1e-9)), 40.0) << "largest residue " << worst << " uV";

    // Wander left over 30 ... 130 s against tools/display_path_reference.py (the resamplers differ: 1 dB).
    std::map<std::string, double> ref;
    std::ifstream in(TESSIVAR_TEST_DATA "/preprocess/display_path_reference.txt");
    for (std::string line, key; std::getline(in, line);)
        if (std::istringstream s(line); !line.empty() && line[0] != '#') s >> key >> ref[key];
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
}  // namespace tessivar
