// Properties of the display low-pass tap tables: length, symmetry, tap sum,
// the fixed first, second and centre taps, and the cut-off the record's name
// promises, measured on the table's own frequency response.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

#include "preprocess/ecg_fir_taps.hpp"

namespace {

using namespace tessivar;

struct TapTable {
    const char *record;
    int fs;
    const double *taps;
    int n;
    int lead;        // leading zero taps in front of the symmetric design
    double cutoff;   // Hz
    double sum;
    double first, second, centre;  // centre: the later middle tap for even n
};

const TapTable kTables[] = {
    {"1000 lpass 20", 1000, kFir1000Lpass20, 113, 0, 20, 1.0, 0.0008219856974498, 0.0009472792117736, 0.04626986936017},
    {"1000 lpass 42", 1000, kFir1000Lpass42, 113, 0, 42, 1.0, -0.000839236528780652, -0.000888740145920034,
     0.09785815269705},
    {"1000 lpass 100", 1000, kFir1000Lpass100, 86, 0, 100, 0.994344, -0.0003272957501402, -0.005488986503152,
     0.2212409165613},
    {"1000 lpass 250", 1000, kFir1000Lpass250, 113, 0, 250, 1.0, 0.0007316929280639, -0.0004814133664779,
     0.5058785604155},
    {"1000 lpass 350", 1000, kFir1000Lpass350, 113, 0, 350, 1.0, -0.0008363630945067, 0.0004819240415708,
     0.7065792936067},
    {"1000 lpass 380", 1000, kFir1000Lpass380, 113, 0, 380, 1.0, 0.0002697794809902, 0.0003754737515966,
     0.7655733769982},
    {"1000 lpass cry", 1000, kFir1000LpassCry, 131, 0, 37, -0.494262, 2.93873587705572e-39, 3.6882821423386e-37,
     -0.0369549158361004},
    {"2000 lpass 20", 2000, kFir2000Lpass20, 225, 0, 20, 1.0, 0.0004111552355602, 0.0004429182820033,
     0.02314407549321},
    {"2000 lpass 25", 2000, kFir2000Lpass25, 225, 0, 25, 1.0, -0.0001727126666606, -0.0001472334477734,
     0.02775210518681},
    {"2000 lpass 35", 2000, kFir2000Lpass35, 225, 0, 35, 1.0, 0.0003048553370956, 0.000284152364449,
     0.03824427299601},
    {"2000 lpass 42", 2000, kFir2000Lpass42, 225, 0, 42, 1.0, -0.0004194470912112, -0.0004373503883728,
     0.04890911690857},
    {"2000 lpass 45", 2000, kFir2000Lpass45, 225, 0, 45, 1.0, -0.0003876382239116, -0.0003813852289125,
     0.04782970679417},
    {"2000 lpass 75", 2000, kFir2000Lpass75, 225, 0, 75, 1.0, 0.0003095481121338, 0.0003917158679485,
     0.07785040565621},
    {"2000 lpass 100", 2000, kFir2000Lpass100, 225, 0, 100, 1.0, -0.0004179306071541, -0.0004365789103063,
     0.1030226561138},
    {"2000 lpass 150", 2000, kFir2000Lpass150, 225, 0, 150, 1.0, -0.0001740002121328, 2.37911571241e-05,
     0.1527759245},
    {"2000 lpass 250", 2000, kFir2000Lpass250, 225, 0, 250, 1.0, 0.0003660074180626, 0.0001150911423287,
     0.2530505607603},
    {"2000 lpass 270", 2000, kFir2000Lpass270, 225, 0, 270, 1.0, 0.0004083694085512, 0.0003633467470186,
     0.2728487852162},
    {"2000 lpass 380", 2000, kFir2000Lpass380, 225, 0, 380, 1.0, 0.0001348702952534, 0.0004456489689501,
     0.3827315072849},
    {"2000 lpass 550", 2000, kFir2000Lpass550, 40, 1, 550, 1.0, 0.0, 3.70717687139897e-05, 0.550013661010913},
};

// |H(f)| / |H(0)| of the taps.
double relativeGain(const TapTable &t, double f)
{
    std::complex<double> h = 0.0;
    for (int k = 0; k < t.n; ++k) h += t.taps[k] * std::polar(1.0, -2.0 * M_PI * f / t.fs * k);
    return std::abs(h) / std::abs(t.sum);
}

class TapTableTest : public ::testing::TestWithParam<TapTable> {};

TEST_P(TapTableTest, FixedTapsSymmetryAndSum)
{
    const TapTable &t = GetParam();
    EXPECT_EQ(t.taps[0], t.first);
    EXPECT_EQ(t.taps[1], t.second);
    EXPECT_EQ(t.taps[t.n / 2], t.centre);
    for (int k = 0; k < t.lead; ++k) EXPECT_EQ(t.taps[k], 0.0);
    const int m = t.n - t.lead;
    for (int k = 0; k < m; ++k) ASSERT_EQ(t.taps[t.lead + k], t.taps[t.n - 1 - k]) << k;
    double sum = 0.0;
    for (int k = 0; k < t.n; ++k) sum += t.taps[k];
    EXPECT_NEAR(sum, t.sum, 1e-12);
}

TEST_P(TapTableTest, CutOffWhereTheNameSays)
{
    // -3 dB point within 10 % of the cut-off; flat (within 0.5 dB) up to
    // half of it; at least 30 dB down from the cut-off plus four bins of
    // 1/N (the transition a filter of this length can make) to Nyquist.
    const TapTable &t = GetParam();
    double f3 = 0.0;
    for (double f = 0.5; f < t.fs / 2.0; f += 0.1) {
        if (relativeGain(t, f) < std::pow(10.0, -3.0 / 20.0)) {
            f3 = f;
            break;
        }
    }
    EXPECT_NEAR(f3, t.cutoff, 0.1 * t.cutoff);
    for (double f = 0.0; f <= t.cutoff / 2; f += t.cutoff / 40)
        EXPECT_NEAR(20 * std::log10(relativeGain(t, f)), 0.0, 0.5) << f;
    for (double f = t.cutoff + 4.0 * t.fs / t.n; f < t.fs / 2.0; f += 1.0)
        ASSERT_LT(20 * std::log10(relativeGain(t, f)), -30.0) << f;
}

INSTANTIATE_TEST_SUITE_P(EcgFirTaps, TapTableTest, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<TapTable> &info) {
                             std::string name = info.param.record;
                             for (char &c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

TEST(EcgFirTaps, TwoThousandHzLpass350IsGivenInFull)
{
    const double taps[8] = {0, -0.0068114, 0.013983, 0.25384, 0.47798, 0.25384, 0.013983, -0.0068114};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(kFir2000Lpass350[k], taps[k]);
}

}  // namespace
