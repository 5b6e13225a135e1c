// The generic filter object: per-kind delay, DC gain, priming and restart,
// refusals, deletion, own copies of name and folder, lfilter references.
#include <filesystem>
#include <fstream>
#include <map>

#include "filter/filter_test_util.hpp"
#include "support/counting_allocator.hpp"
#include "support/temp_dir.hpp"

namespace tessivar::test {
namespace {

const Vec kFirB = {0.25, 0.5, 0.25, -0.125, 0.0625};          // sum 0.9375
const Vec kIirB = {0.2, 0.3, 0.1}, kIirA = {1.0, -0.5, 0.1};  // both sum to 0.6

// Per kind: delay rule, DC gain, priming, restart, and a per-sample path that allocates nothing.
TEST(SignalFilter, EveryKindDelayGainPrimingAndRestart)
{
    FirFilterConf fir = firConf(kFirB, 2.0);
    IirCombFilterConf iir = iirConf(kIirB, kIirA, 0.5, 3);
    IntegerFilterConf integer = integerConf(kHpass03Num, 3841, kHpass03Den, 3);
    AvgFilterConf avg = avgConf(SIGNAL_FILTER_AVG, 9), avgLp = avgConf(SIGNAL_FILTER_AVG_LP, 9);
    NonlinearNotchFilterConf notch = notchConf();
    // reinitDelay: after setting 7 and re-initialising; first: the output for a constant 8.
    const struct { const void *record; int type, delay, reinitDelay; double gainDC, first; const char *why; } rows[] = {
        {&fir, SIGNAL_FILTER_FIR, 2, 2, 0, 15, "5/2 at every init; 8*2*0.9375"},
        {&iir, SIGNAL_FILTER_IIR_COMB, 3, 7, 0.5, 4, "record delay kept; 0.5*0.6/0.6"},
        {&integer, SIGNAL_FILTER_INTEGER, 1919, 1919, 0, 0, "(3841-3)/2 at every init; den sums to 0"},
        {&avg, SIGNAL_FILTER_AVG, 4, 7, 0, 0, "9/2 at creation only; high-pass"},
        {&avgLp, SIGNAL_FILTER_AVG_LP, 4, 4, 0, 8, "9/2 at every init; mean"},
        {&notch, SIGNAL_FILTER_NONLINEAR_NOTCH, 0, 7, 0, 7.98, "0 at creation; 8 - 0.02"},
    };
    const Vec x = testSignal(200);
#if TV_COUNTING_ALLOCATOR
    const long seen = g_allocations;
    std::free(std::malloc(16));
    EXPECT_EQ(g_allocations - seen, 1);  // the counter sees allocations
#endif
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        FilterPtr f = makeFilter(r.record), fresh = makeFilter(r.record);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(Ints({f->type, getSignalFilterDelay(f.get())}), Ints({r.type, r.delay}));
        EXPECT_TRUE(f->dataPath == nullptr && f->inFile == nullptr && f->outFile == nullptr);  // no folder, no files
        EXPECT_NEAR(f->gainDC, r.gainDC, 1e-15);
        EXPECT_NEAR(doSignalFilter(f.get(), 8.0), r.first, 1e-12);
        feed(f.get(), Vec(x.begin(), x.begin() + 77));  // restarted mid-stream: like a new filter
        EXPECT_EQ(initSignalFilter(f.get()), 0);
        EXPECT_EQ(feed(f.get(), x), feed(fresh.get(), x));
#if TV_COUNTING_ALLOCATOR
        const long before = g_allocations;
        for (double v : x) doSignalFilter(f.get(), v);
        EXPECT_EQ(g_allocations - before, 0);
#endif
        setSignalFilterDelay(f.get(), 7);
        EXPECT_EQ(initSignalFilter(f.get()), 0);
        EXPECT_EQ(getSignalFilterDelay(f.get()), r.reinitDelay);
        setSignalFilterDelay(f.get(), 7);
        EXPECT_EQ(initSignalFilterCustom(f.get(), 8.0, 0.0), 0);  // primes a running filter at once
        EXPECT_EQ(getSignalFilterDelay(f.get()), r.reinitDelay);
        EXPECT_NEAR(doSignalFilter(f.get(), 8.0), r.first, 1e-12);
    }
}

TEST(SignalFilter, RefusesBadInputUnknownKindsAndLifelessFilters)
{
    LogCapture log;
    EXPECT_STREQ(signalFilterVersion(), "filter version 1.0.1.3 2025-07-15 10:59:40");
    FirFilterConf conf = firConf(kFirB, 1.0, nullptr);
    EXPECT_TRUE(makeFilter(&conf) == nullptr && newSignalFilter(nullptr) == nullptr);
    EXPECT_EQ(Ints({initSignalFilter(nullptr), initSignalFilterCustom(nullptr, 1, 1), getSignalFilterDelay(nullptr),
                    setSignalFilterDelay(nullptr, 3)}),
              Ints({-1, -1, 0, 0}));
    EXPECT_EQ(doSignalFilter(nullptr, 4.5), 4.5);
    conf.name = "fir";
    SignalFilter *f = makeFilter(&conf).release();
    EXPECT_EQ(Ints({setSignalFilterDelay(f, -1), getSignalFilterDelay(f)}), Ints({0, 2}));  // unchanged
    EXPECT_EQ(log.count("Input parameter exception."), 8);
    EXPECT_TRUE(log.contains("{signal filter}"));
    for (int32_t code : {0, 3, 5, 8, 12, -1}) {  // codes between and beside the kinds: silently refused
        AvgFilterConf other = avgConf(code, 4);
        EXPECT_EQ(makeFilter(&other), nullptr) << code;
    }
    EXPECT_EQ(log.count("Input parameter exception."), 8);
    EXPECT_EQ(delSignalFilter(&f), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(Ints({delSignalFilter(&f), delSignalFilter(nullptr)}), Ints({-1, -1}));

    const double in[] = {1, 2, 3};
    double out[3] = {}, untouched[3] = {9, 9, 9};
    EXPECT_EQ(doSignalFilterNotRealTime(nullptr, in, out, 3), -1);  // in copied to out
    EXPECT_EQ(out[2], 3.0);
    // A kind outside the table: no init, nothing filtered or freed.
    SignalFilter other{}, *handle = &other;
    other.type = 3;
    EXPECT_EQ(initSignalFilter(&other), -1);
    EXPECT_TRUE(log.contains("function call doFilter not exist."));
    EXPECT_EQ(initSignalFilterCustom(&other, 1, 1), 0);
    EXPECT_EQ(doSignalFilter(&other, -2.0), -2.0);
    other.doFilter = [](SignalFilter *, double v) { return 2 * v; };
    EXPECT_EQ(doSignalFilterNotRealTime(&other, in, untouched, 3), 0);
    EXPECT_EQ(untouched[0], 9.0);
    EXPECT_EQ(delSignalFilter(&handle), 0);
    EXPECT_EQ(handle, &other);

    // An owner-defined filter passes samples through until initialised.
    double history[5] = {};
    const SignalFilter head{SIGNAL_FILTER_FIR, "static fir", nullptr, 0, 1.0, nullptr, nullptr, nullptr, 0, 0};
    FirFilter fir{head, kFirB.data(), 5, 0, 5, history};
    EXPECT_EQ(doSignalFilter(&fir.head, 3.0), 3.0);
    ASSERT_EQ(initSignalFilter(&fir.head), 0);
    EXPECT_EQ(feed(&fir.head, testSignal(40)), feed(makeFilter(&conf).get(), testSignal(40)));
}

TEST(SignalFilter, NameAndDataPathAreOwnCopies)
{
    TempDir folder;
    const std::string longName(300, 'n');
    FirFilterConf conf = firConf(kFirB, 1.0, longName.c_str());
    conf.dataPath = folder.path().c_str();
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(std::string(f->name), longName.substr(0, 255));
    EXPECT_STREQ(f->dataPath, conf.dataPath);
    EXPECT_NE(f->dataPath, conf.dataPath);
    Vec in = testSignal(20), out(20);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 20), 0);
    for (const char *file : {"in.csv", "out.csv", "in1.csv", "out1.csv"})
        EXPECT_TRUE(std::filesystem::exists(folder / file)) << file;
    // An empty path is the current folder.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    conf.dataPath = "";
    f = makeFilter(&conf);
    std::filesystem::current_path(cwd);
    EXPECT_STREQ(f->dataPath, ".");
    EXPECT_NE(f->inFile, nullptr);
}

// Reference files of tools/gen_filter_reference.py (scipy.signal.lfilter): "key count" then the
// values; kind, gain and delay carry one value, lengths two, tap lists count (seq, data) pairs.
std::map<std::string, Vec> readReference(const std::string &name, std::string &kind)
{
    std::ifstream file(std::string(TESSIVAR_TEST_DATA) + "/filter/" + name + ".txt");
    EXPECT_TRUE(file.good()) << name;
    std::map<std::string, Vec> r;
    std::string key;
    std::getline(file, key);
    while (file >> key) {
        if (key == "kind" && (file >> kind)) continue;
        std::size_t n = key == "lengths" ? 2 : 1;
        if (key != "gain" && key != "delay" && key != "lengths") file >> n;
        Vec &v = r[key];
        v.resize(key.find("taps") != std::string::npos ? 2 * n : n);
        for (double &x : v) file >> x;
    }
    return r;
}

class FilterReference : public ::testing::TestWithParam<const char *> {};

TEST_P(FilterReference, PerSampleAndWholeArrayMatchLfilter)
{
    std::string kind;
    auto r = readReference(GetParam(), kind);
    ASSERT_EQ(r["input"].size(), 600u);
    const double gain = r["gain"].at(0), d = r["delay"].at(0);
    Taps taps[2];
    for (int k = 0; k < 2; ++k) {
        const Vec &v = r[k ? "den_taps" : "num_taps"];
        for (std::size_t i = 0; i + 1 < v.size(); i += 2) taps[k].push_back({int32_t(v[i]), v[i + 1]});
    }
    r["lengths"].resize(2);
    FirFilterConf fir = firConf(r["num"], gain);
    IirCombFilterConf iir = iirConf(r["num"], r["den"], gain, int32_t(d));
    IntegerFilterConf integer = integerConf(taps[0], int32_t(r["lengths"][0]), taps[1], int32_t(r["lengths"][1]), gain);
    FilterPtr f = makeFilter(kind == "fir"   ? static_cast<const void *>(&fir)
                             : kind == "iir" ? static_cast<const void *>(&iir)
                                             : static_cast<const void *>(&integer));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getSignalFilterDelay(f.get()), d);
    const Vec &in = r["input"];
    Vec perSample = feed(f.get(), in), whole(in.size());
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), whole.data(), int32_t(in.size())), 0);
    for (std::size_t i = 0; i < in.size(); ++i) {  // 1e-9 relative, floor 1 for zero crossings
        EXPECT_NEAR(perSample[i], r["per_sample"][i], 1e-9 * std::max(1.0, std::fabs(r["per_sample"][i]))) << i;
        EXPECT_NEAR(whole[i], r["whole_array"][i], 1e-9 * std::max(1.0, std::fabs(r["whole_array"][i]))) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Records, FilterReference,
                         ::testing::Values("fir_23", "fir_8_gain", "fir_113", "iir_notch", "iir_butter3",
                                           "iir_zero_sum_hp", "integer_hp16", "integer_xpa10"));

}  // namespace
}  // namespace tessivar::test
