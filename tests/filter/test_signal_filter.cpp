// The generic signal filter object: dispatch by kind, creation and deletion,
// bad input, delays, debug streams, statically defined filters, priming of
// every kind and restarts mid-stream.
#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "filter/filter_test_util.hpp"
#include "support/log_capture.hpp"

namespace tessivar::test {
namespace {

const std::vector<double> kFirB = {0.25, 0.5, 0.25, -0.125, 0.0625};
const std::vector<double> kIirB = {0.2, 0.3, 0.1};
const std::vector<double> kIirA = {1.0, -0.5, 0.1};
const std::vector<IntegerFilterTap> kXpaNum = {{1, 1}, {4, -2}, {7, 1}};
const std::vector<IntegerFilterTap> kXpaDen = {{1, 1}, {2, -2}, {3, 1}};

// One record of every kind.
struct AllKinds {
    FirFilterConf fir = firConf(kFirB, 2.0);
    IirCombFilterConf iir = iirConf(kIirB, kIirA, 0.5);
    IntegerFilterConf integer = integerConf(kHpass03Num, 3841, kHpass03Den, 3);
    AvgFilterConf avg = avgConf(SIGNAL_FILTER_AVG, 8);
    AvgFilterConf avgLp = avgConf(SIGNAL_FILTER_AVG_LP, 8);
    NonlinearNotchFilterConf notch = notchConf();
    std::vector<const void *> records() const { return {&fir, &iir, &integer, &avg, &avgLp, &notch}; }
};

TEST(SignalFilter, VersionText)
{
    EXPECT_STREQ(signalFilterVersion(), "filter version 1.0.1.3 2025-07-15 10:59:40");
}

TEST(SignalFilter, CreatesEveryKindAndRefusesOthers)
{
    AllKinds kinds;
    const int32_t types[] = {SIGNAL_FILTER_FIR,     SIGNAL_FILTER_IIR_COMB, SIGNAL_FILTER_INTEGER,
                             SIGNAL_FILTER_AVG,     SIGNAL_FILTER_AVG_LP,   SIGNAL_FILTER_NONLINEAR_NOTCH};
    const auto records = kinds.records();
    for (std::size_t i = 0; i < records.size(); ++i) {
        FilterPtr f = makeFilter(records[i]);
        ASSERT_NE(f, nullptr) << i;
        EXPECT_EQ(f->type, types[i]);
        EXPECT_EQ(f->clearPending, 1);
    }

    LogCapture log;
    for (int32_t code : {0, 3, -1}) {
        AvgFilterConf other = avgConf(code, 4);
        EXPECT_EQ(newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&other)), nullptr) << code;
    }
    EXPECT_EQ(log.count("Input parameter exception."), 0);  // unknown kinds are refused silently
    EXPECT_EQ(newSignalFilter(nullptr), nullptr);
    FirFilterConf nameless = firConf(kFirB);
    nameless.name = nullptr;
    EXPECT_EQ(makeFilter(&nameless), nullptr);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_TRUE(log.contains("{signal filter}"));
}

TEST(SignalFilter, DeleteNullsTheHandleOnce)
{
    FirFilterConf conf = firConf(kFirB);
    SignalFilter *f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(delSignalFilter(&f), 0);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(delSignalFilter(&f), -1);
    EXPECT_EQ(delSignalFilter(nullptr), -1);

    // A filter of unknown kind is left alone.
    SignalFilter other{};
    other.type = 7;
    SignalFilter *handle = &other;
    EXPECT_EQ(delSignalFilter(&handle), 0);
    EXPECT_EQ(handle, &other);
}

TEST(SignalFilter, GenericEntryPointsRefuseBadInput)
{
    LogCapture log;
    EXPECT_EQ(initSignalFilter(nullptr), -1);
    EXPECT_EQ(initSignalFilterCustom(nullptr, 1, 1), -1);
    EXPECT_EQ(doSignalFilter(nullptr, 4.5), 4.5);
    EXPECT_EQ(getSignalFilterDelay(nullptr), 0);
    EXPECT_EQ(setSignalFilterDelay(nullptr, 3), 0);
    EXPECT_EQ(log.count("Input parameter exception."), 5);

    // Unknown kind: init has nothing to run.
    SignalFilter other{};
    other.type = 3;
    EXPECT_EQ(initSignalFilter(&other), -1);
    EXPECT_TRUE(log.contains("function call doFilter not exist."));
    EXPECT_EQ(initSignalFilterCustom(&other, 1, 1), 0);
    EXPECT_EQ(doSignalFilter(&other, -2.0), -2.0);

    // Whole array without a filter: in is copied to out.
    const double in[] = {1, 2, 3};
    double out[3] = {};
    EXPECT_EQ(doSignalFilterNotRealTime(nullptr, in, out, 3), -1);
    EXPECT_EQ(out[2], 3.0);
    EXPECT_EQ(doSignalFilterNotRealTime(nullptr, in, nullptr, 3), -1);
    // A kind outside the table with an operation set leaves out alone.
    other.doFilter = [](SignalFilter *, double x) { return x * 2; };
    double untouched[3] = {9, 9, 9};
    EXPECT_EQ(doSignalFilterNotRealTime(&other, in, untouched, 3), 0);
    EXPECT_EQ(untouched[0], 9.0);
}

TEST(SignalFilter, DelayGetAndSet)
{
    FirFilterConf conf = firConf(kFirB);
    FilterPtr f = makeFilter(&conf);
    EXPECT_EQ(getSignalFilterDelay(f.get()), 2);
    EXPECT_EQ(setSignalFilterDelay(f.get(), 9), 9);
    LogCapture log;
    EXPECT_EQ(setSignalFilterDelay(f.get(), -1), 0);
    EXPECT_TRUE(log.contains("Input parameter exception."));
    EXPECT_EQ(getSignalFilterDelay(f.get()), 9);
    // The FIR reports half its length again after init.
    initSignalFilter(f.get());
    EXPECT_EQ(getSignalFilterDelay(f.get()), 2);
}

// Runs in a scratch folder, removed afterwards (tests may change into it).
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.empty());
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        cwd_ = cwd;
    }
    void TearDown() override
    {
        if (chdir(cwd_.c_str()) != 0) ADD_FAILURE() << "chdir back failed";
    }
    static bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }
    tessivar::test::TempDir folder_;
    const std::string dir_ = folder_.path();
    std::string cwd_;
};

TEST_F(ScratchFolder, DataPathOpensTheDebugStreams)
{
    FirFilterConf conf = firConf(kFirB);
    conf.dataPath = dir_.c_str();
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->dataPath, dir_.c_str());
    EXPECT_NE(f->dataPath, conf.dataPath);  // an own copy
    EXPECT_NE(f->inFile, nullptr);
    EXPECT_NE(f->outFile, nullptr);
    EXPECT_TRUE(exists(dir_ + "/in.csv"));
    EXPECT_TRUE(exists(dir_ + "/out.csv"));
    // The whole-array path runs with its dumps.
    const std::vector<double> in = testSignal(20);
    std::vector<double> out(20);
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), in.data(), out.data(), 20), 0);
    f.reset();

    // An empty data path means the current folder.
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_EQ(std::remove("in.csv"), 0);
    conf.dataPath = "";
    f = makeFilter(&conf);
    EXPECT_STREQ(f->dataPath, ".");
    EXPECT_NE(f->inFile, nullptr);
    EXPECT_TRUE(exists(dir_ + "/in.csv"));
}

TEST(SignalFilter, NameIsCopiedAndCapped)
{
    const std::string longName(300, 'n');
    AvgFilterConf conf = avgConf(SIGNAL_FILTER_AVG, 4, longName.c_str());
    FilterPtr f = makeFilter(&conf);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::strlen(f->name), 255u);
    EXPECT_NE(f->name, conf.name);
    // A data path folder that cannot be opened leaves the streams closed.
    conf.dataPath = "/nonexistent/tessivar/folder";
    FilterPtr g = makeFilter(&conf);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->inFile, nullptr);
}

TEST(SignalFilter, RestartMidStreamBehavesLikeNew)
{
    AllKinds kinds;
    kinds.integer = integerConf(kXpaNum, 7, kXpaDen, 3);
    const std::vector<double> x = testSignal(200);
    for (const void *record : kinds.records()) {
        FilterPtr used = makeFilter(record);
        FilterPtr fresh = makeFilter(record);
        feed(used.get(), std::vector<double>(x.begin(), x.begin() + 77));
        EXPECT_EQ(initSignalFilter(used.get()), 0);
        EXPECT_EQ(feed(used.get(), x), feed(fresh.get(), x)) << used->type;
    }
}

TEST(SignalFilter, StaticDefinitionsComeToLifeWithInit)
{
    // Owner-defined FIR with external coefficient and history arrays.
    const double coefs[] = {0.25, 0.5, 0.25, -0.125, 0.0625};
    double history[5] = {};
    FirFilter fir{};
    fir.head.type = SIGNAL_FILTER_FIR;
    fir.head.name = "static fir";
    fir.head.gain = 1.0;
    fir.numData = coefs;
    fir.num_num = fir.xLen = 5;
    fir.xBuf = history;
    SignalFilter *f = &fir.head;
    {
        LogCapture log;
        EXPECT_EQ(doSignalFilter(f, 3.0), 3.0);  // not initialised: passes the sample
        EXPECT_TRUE(log.contains("Input parameter exception."));
    }
    ASSERT_EQ(initSignalFilter(f), 0);
    FirFilterConf conf = firConf(kFirB);
    FilterPtr created = makeFilter(&conf);
    const std::vector<double> x = testSignal(40);
    EXPECT_EQ(feed(f, x), feed(created.get(), x));

    // Owner-defined high-pass average with its own delay and window.
    double window[6] = {};
    AvgFilter avg{};
    avg.head.type = SIGNAL_FILTER_AVG;
    avg.head.name = "static avg";
    avg.head.delay = 3;
    avg.head.gain = 1.0;
    avg.avg_num = 6;
    avg.buf = window;
    ASSERT_EQ(initSignalFilter(&avg.head), 0);
    EXPECT_EQ(getSignalFilterDelay(&avg.head), 3);
    AvgFilterConf avgRecord = avgConf(SIGNAL_FILTER_AVG, 6);
    EXPECT_EQ(feed(&avg.head, x), feed(makeFilter(&avgRecord).get(), x));

    // Owner-defined IIR with external histories.
    double xh[3] = {}, yh[3] = {};
    IirCombFilter iir{};
    iir.head.type = SIGNAL_FILTER_IIR_COMB;
    iir.head.name = "static iir";
    iir.head.gain = 1.0;
    iir.numData = kIirB.data();
    iir.num_num = iir.den_num = iir.xLen = iir.yLen = 3;
    iir.denData = kIirA.data();
    iir.xBuf = xh;
    iir.yBuf = yh;
    ASSERT_EQ(initSignalFilter(&iir.head), 0);
    IirCombFilterConf iirRecord = iirConf(kIirB, kIirA);
    EXPECT_EQ(feed(&iir.head, x), feed(makeFilter(&iirRecord).get(), x));

    // An incomplete definition is refused and stays lifeless.
    LogCapture log;
    FirFilter broken{};
    broken.head.type = SIGNAL_FILTER_FIR;
    broken.head.name = "broken";
    broken.num_num = 5;
    EXPECT_EQ(initSignalFilter(&broken.head), -1);
    EXPECT_TRUE(log.contains("function call doFilter not exist."));
    EXPECT_EQ(doSignalFilter(&broken.head, 2.0), 2.0);
}

}  // namespace
}  // namespace tessivar::test
