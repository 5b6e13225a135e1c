// The coefficient records of the display filter catalogues, checked through
// filter objects made from them: |H(f)| of each record's impulse response
// against tools/filter_responses.py, which derives the responses on its own
// from the integer rule table, the listed IIR coefficients and the FIR tap
// tables; the integer records' polynomial lengths and tap counts; the
// values the catalogues do not hold.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "preprocess/ecg_filters.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "tessivar/iir_comb_filter.h"
#include "tessivar/integer_filter.h"

namespace {

using namespace tessivar;

struct Reference {
    int rate = 0, slot = 0, value = 0, length = 0;
    std::string name;
    std::vector<std::pair<double, double>> gains;  // (f, |H(f)|)
};

std::vector<Reference> readReferences()
{
    std::ifstream in(TESSIVAR_TEST_DATA "/preprocess/filter_bank_gains.txt");
    std::vector<Reference> refs;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        if (line.rfind("record ", 0) == 0) {
            Reference r;
            std::string word;
            s >> word >> r.rate >> r.slot >> r.value >> r.length;
            std::getline(s >> std::ws, r.name);
            refs.push_back(r);
        } else if (!refs.empty()) {
            double f = 0.0, g = 0.0;
            s >> f >> g;
            refs.back().gains.emplace_back(f, g);
        }
    }
    return refs;
}

const SignalFilterConf *recordOf(const Reference &r)
{
    if (r.slot == -1) return extraHighPassConf(r.rate);
    if (r.slot == -2) return analysisLineFilterConf();
    return catalogueRecord(r.rate == 2000 ? kCatalogue2000 : kCatalogue1000, r.slot, r.value);
}

struct FilterHandle {
    explicit FilterHandle(const SignalFilterConf *c) : f(newSignalFilter(c)) {}
    ~FilterHandle() { delSignalFilter(&f); }
    FilterHandle(const FilterHandle &) = delete;
    FilterHandle &operator=(const FilterHandle &) = delete;
    SignalFilter *f;
};

TEST(FilterBankRecords, ResponsesMatchTheIndependentDerivation)
{
    const std::vector<Reference> refs = readReferences();
    // 28 records at 1000 Hz, 25 at 2000 Hz, the two extra high-passes and
    // the analysis comb.
    ASSERT_EQ(refs.size(), 56u);
    for (const Reference &r : refs) {
        SCOPED_TRACE(std::to_string(r.rate) + " Hz \"" + r.name + "\"");
        const SignalFilterConf *conf = recordOf(r);
        ASSERT_NE(conf, nullptr);
        EXPECT_STREQ(conf->name, r.name.c_str());
        FilterHandle h(conf);
        ASSERT_NE(h.f, nullptr);
        // The moving-average high-pass runs with its delay set to 0, as the
        // selection and the extra high-pass leave it.
        if (conf->type == SIGNAL_FILTER_AVG) setSignalFilterDelay(h.f, 0);
        doSignalFilter(h.f, 0.0);  // the first sample primes the histories: all 0
        std::vector<double> ir(size_t(r.length));
        for (int n = 0; n < r.length; ++n) ir[size_t(n)] = doSignalFilter(h.f, n == 0 ? 1.0 : 0.0);
        // The IIR records of order 3 and more have poles within 0.003 of the
        // unit circle (or many of them): their direct-form recursion
        // amplifies rounding, and the tool's double sums and ours in long
        // double part at about 1e-5.
        const bool illConditioned =
            conf->type == SIGNAL_FILTER_IIR_COMB && reinterpret_cast<const IirCombFilterConf *>(conf)->den_num > 3;
        const double tolerance = illConditioned ? 1e-4 : 1e-7;
        for (const auto &fg : r.gains) {
            std::complex<double> sum = 0.0;
            const double w = -2.0 * M_PI * fg.first / r.rate;
            for (int n = 0; n < r.length; ++n) sum += ir[size_t(n)] * std::polar(1.0, w * n);
            EXPECT_NEAR(std::abs(sum), fg.second, tolerance * (1.0 + fg.second)) << fg.first << " Hz";
        }
    }
}

struct IntegerShape {
    int catalogue, slot, value;
    int32_t numLen, denLen;  // 2c - 1, 2d + 1
};

TEST(FilterBankRecords, IntegerRecordsHaveFiveAndThreeTaps)
{
    const IntegerShape shapes[] = {
        {kCatalogue1000, kBase, 300, 3841, 3},   {kCatalogue1000, kBase, 320, 3841, 3},
        {kCatalogue1000, kBase, 600, 1921, 3},   {kCatalogue1000, kBase, 1000, 1745, 3},
        {kCatalogue1000, kBase, 2222, 1709, 3},  {kCatalogue1000, kLine, 50, 1921, 21},
        {kCatalogue1000, kLine, 51, 3841, 41},   {kCatalogue1000, kLine, 52, 1921, 41},
        {kCatalogue1000, kLine, 60, 5701, 51},   {kCatalogue1000, kLine, 61, 11501, 101},
        {kCatalogue1000, kLine, 62, 5701, 101},  {kCatalogue2000, kBase, 300, 7651, 3},
        {kCatalogue2000, kBase, 600, 3827, 3},   {kCatalogue2000, kLine, 50, 3841, 41},
        {kCatalogue2000, kLine, 51, 7681, 81},   {kCatalogue2000, kLine, 52, 3841, 81},
    };
    for (const IntegerShape &s : shapes) {
        const auto *c = reinterpret_cast<const IntegerFilterConf *>(catalogueRecord(s.catalogue, s.slot, s.value));
        ASSERT_NE(c, nullptr) << s.value;
        EXPECT_EQ(c->type, SIGNAL_FILTER_INTEGER);
        EXPECT_EQ(c->num_num, s.numLen) << c->name;
        EXPECT_EQ(c->den_num, s.denLen) << c->name;
        EXPECT_EQ(c->num_num_valid, 5) << c->name;
        EXPECT_EQ(c->den_num_valid, 3) << c->name;
        EXPECT_EQ(c->numData[4].seq, s.numLen) << c->name;
        EXPECT_EQ(c->denData[2].seq, s.denLen) << c->name;
        EXPECT_EQ(c->gain, 1.0);
    }
    // "trap_50" carries the taps of the 1000 Hz "comb 50 0.6".
    const auto *trap = reinterpret_cast<const IntegerFilterConf *>(analysisLineFilterConf());
    const auto *comb = reinterpret_cast<const IntegerFilterConf *>(catalogueRecord(kCatalogue1000, kLine, 52));
    ASSERT_NE(trap, nullptr);
    EXPECT_STREQ(trap->name, "trap_50");
    EXPECT_EQ(trap->num_num, comb->num_num);
    EXPECT_EQ(trap->den_num, comb->den_num);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(trap->numData[i].seq, comb->numData[i].seq);
        EXPECT_EQ(trap->numData[i].data, comb->numData[i].data);
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(trap->denData[i].data, comb->denData[i].data);
}

TEST(FilterBankRecords, CatalogueHolesAndSharedTaps)
{
    // Values that map to no record: 0, "auto", the cry and 61/62 line values
    // at 2000 Hz, emg 600 at 1000 Hz, 550 outside 2000 Hz, unknown values,
    // slots and catalogues.
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kBase, 0), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kBase, 1111), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kEmg, 600), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kEmg, 550), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kLine, 300), nullptr);  // a base value in the line slot
    EXPECT_EQ(catalogueRecord(kCatalogue2000, kBase, 2222), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue2000, kLine, 61), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue2000, kLine, 62), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue2000, kEmg, 2222), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue2000, kEmg, -1), nullptr);
    EXPECT_EQ(catalogueRecord(kCatalogue1000, 3, 50), nullptr);
    EXPECT_EQ(catalogueRecord(2, kLine, 50), nullptr);
    EXPECT_EQ(catalogueRecord(-1, kLine, 50), nullptr);
    ASSERT_NE(catalogueRecord(kCatalogue2000, kEmg, 550), nullptr);

    // The 1000 Hz "lpass 270" is a record of its own with the "lpass 380"
    // taps; emg 40 is "lpass 42".
    const auto *r270 = reinterpret_cast<const FirFilterConf *>(catalogueRecord(kCatalogue1000, kEmg, 270));
    const auto *r380 = reinterpret_cast<const FirFilterConf *>(catalogueRecord(kCatalogue1000, kEmg, 380));
    EXPECT_STREQ(r270->name, "lpass 270");
    EXPECT_EQ(r270->numData, r380->numData);
    EXPECT_STREQ(catalogueRecord(kCatalogue1000, kEmg, 40)->name, "lpass 42");
    EXPECT_STREQ(catalogueRecord(kCatalogue2000, kEmg, 40)->name, "lpass 42");
    // The cry low-pass: gain -2.02322 over taps summing to -0.494262.
    EXPECT_EQ(catalogueRecord(kCatalogue1000, kEmg, 2222)->gain, -2.02322);
    // Extra high-passes: the 1000 Hz one is the base "hpass 0.01" record.
    EXPECT_STREQ(extraHighPassConf(2000)->name, "hp 0.01");
    EXPECT_STREQ(extraHighPassConf(1000)->name, "hpass 0.01");
    EXPECT_STREQ(extraHighPassConf(500)->name, "hpass 0.01");
    EXPECT_EQ(reinterpret_cast<const AvgFilterConf *>(extraHighPassConf(2000))->avg_num, 48050);
    EXPECT_EQ(reinterpret_cast<const AvgFilterConf *>(extraHighPassConf(1000))->avg_num, 24025);
}

}  // namespace
