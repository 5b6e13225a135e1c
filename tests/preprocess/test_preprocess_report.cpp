// Reports from the analysis modules to the host, the periodic task and the
// raw capture files.
#include <cstring>
#include <string>
#include <vector>

#include "heart_rate/hr_calc.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "resp/resp.hpp"
#include "sig_quality/sig_quality.hpp"

namespace {

using tessivar::monitor;
using tessivar::test::FrontEnd;
using tessivar::test::HostRecord;
using tessivar::test::TempDir;
using tessivar::test::defaultConf;

const std::vector<std::string> &events() { return HostRecord::get().events; }

// ---- reports through the callbacks the modules were given -------------------------

TEST_F(FrontEnd, HeartRateResultsReachTheHost)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const HrCalcCallbacks &hr = tessivar::hrCalcCallbacks();
    ASSERT_NE(hr.user, nullptr);
    HostRecord::get().events.clear();

    hr.onHeartBeat(hr.user, 321, 0);
    EXPECT_EQ(events(), std::vector<std::string>{"beat"});
    EXPECT_EQ(monitor().g_ecgPreprocess.beatPosition, 321);

    hr.onHrLead(hr.user, 5);
    hr.onHrLead(hr.user, 30);
    EXPECT_STREQ(getCurHrLead(), "null");
    hr.onHrLead(hr.user, 18);
    EXPECT_STREQ(getCurHrLead(), "auto");

    // Learning on, then a rate: the rate reaches the host and ends learning.
    hr.onLearningState(hr.user, 1);
    hr.onLearningState(hr.user, 1);  // no change, no call
    EXPECT_STREQ(getCurStatu("hrlearning"), "true");
    hr.onHeartRate(hr.user, 72);
    EXPECT_EQ(getCurHeartRate(), 72);
    EXPECT_STREQ(getCurStatu("hrlearning"), "false");
    // -1 leaves learning alone; 0 ends it.
    hr.onLearningState(hr.user, 1);
    hr.onHeartRate(hr.user, -1);
    EXPECT_STREQ(getCurStatu("hrlearning"), "true");
    hr.onHeartRate(hr.user, 0);
    EXPECT_STREQ(getCurStatu("hrlearning"), "false");
    EXPECT_EQ(hr.onHrChanged(hr.user, 75), 0);

    const std::vector<std::string> expected = {
        "beat",          "hrLead:aVF", "hrLead:null",           "hrLead:auto", "status:hrlearning=true",
        "hr:72",         "status:hrlearning=false", "status:hrlearning=true", "hr:-1", "hr:0",
        "status:hrlearning=false",
    };
    EXPECT_EQ(events(), expected);
    EXPECT_TRUE(log.contains("[reportCurHeartRate]"));
    EXPECT_TRUE(log.contains(":72"));

    // No rate (0 or -1) tells respiration there is no heart rate to reject.
    for (int rate : {-1, 0}) {
        EXPECT_EQ(tessivar::s_resp.hr, 75);
        hr.onHeartRate(hr.user, rate);
        EXPECT_EQ(tessivar::s_resp.hr, 0) << rate;
        hr.onHrChanged(hr.user, 75);
    }
}

TEST_F(FrontEnd, WithMethodTwoAndLeadIIOffEveryRateIsZero)
{
    PreprocessConf conf = defaultConf("3", "SL");
    conf.qrsMethod = 2;
    ASSERT_EQ(start(conf), 0);
    // Lead II off long enough to be in the validity window at frame 999.
    std::vector<int> in(1000 * 3, 0);
    for (int n = 0; n < 1000; ++n) in[size_t(n) * 3] = 0x2;
    run(in);
    const HrCalcCallbacks &hr = tessivar::hrCalcCallbacks();
    HostRecord::get().events.clear();
    hr.onHeartRate(hr.user, 72);
    hr.onHeartRate(hr.user, -1);
    EXPECT_EQ(events(), (std::vector<std::string>{"hr:0", "hr:0"}));
    EXPECT_EQ(getCurHeartRate(), 0);
}

TEST_F(FrontEnd, QualityTextBelongsToTheLibraryUntilTheNextReport)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const SignalQualityCallbacks &sq = tessivar::sqCallbacks();
    ASSERT_NE(sq.onQuality, nullptr);
    char text[64];
    std::strcpy(text, "{\"level\":\"medium\",\"leadStatus\":[{\"R\":\"emg\"}]}");
    EXPECT_EQ(sq.onQuality(sq.user, text), 0);
    ASSERT_EQ(HostRecord::get().qualityPointers.size(), 1u);
    const char *held = HostRecord::get().qualityPointers[0];
    EXPECT_NE(held, text);
    std::strcpy(text, "overwritten by its owner");
    EXPECT_STREQ(held, "{\"level\":\"medium\",\"leadStatus\":[{\"R\":\"emg\"}]}");
    EXPECT_EQ(getCurQuality(), held);
    EXPECT_EQ(sq.onQuality(sq.user, "{\"level\":\"high\",\"leadStatus\":[]}"), 0);
    EXPECT_STREQ(getCurQuality(), "{\"level\":\"high\",\"leadStatus\":[]}");
    EXPECT_EQ(sq.onQuality(sq.user, nullptr), -1);
    EXPECT_STREQ(getCurQuality(), "{\"level\":\"high\",\"leadStatus\":[]}");
}

TEST_F(FrontEnd, RespirationResultsReachTheHost)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const RespConf &resp = monitor().respConf;
    EXPECT_EQ(resp.fs, 1000);
    HostRecord::get().events.clear();
    resp.onRespBeat();  // repeats the current rate: none yet
    resp.onRespRateChanged(16);
    resp.onRespBeat();
    resp.onBeatNoise(1);
    resp.onBeatNoise(0);
    EXPECT_EQ(getCurRespRate(), 16);
    EXPECT_EQ(events(), (std::vector<std::string>{"resp:-1", "resp:16", "resp:16", "status:beatNoise=true",
                                                   "status:beatNoise=false"}));
}

TEST_F(FrontEnd, FilterReportsNameTheChoice)
{
    ASSERT_EQ(start(defaultConf()), 0);
    HostRecord::get().events.clear();
    tessivar::reportCurFilterSetting(monitor(), 1000, 52, 35);
    tessivar::reportCurFilterSetting(monitor(), 0, 0, 0);
    EXPECT_EQ(events(), (std::vector<std::string>{"filter:0.67,50+0.6,35", "filter:null,null,null"}));
}

TEST_F(FrontEnd, NullCallbacksAreSkipped)
{
    PreprocessConf conf = defaultConf();
    conf.onFilterSetting = nullptr;
    conf.onHrLead = nullptr;
    conf.onHeartBeat = nullptr;
    conf.onHeartRate = nullptr;
    conf.onRespRate = nullptr;
    conf.onQuality = nullptr;
    conf.onStatus = nullptr;
    ASSERT_EQ(start(conf), 0);
    const HrCalcCallbacks &hr = tessivar::hrCalcCallbacks();
    const SignalQualityCallbacks &sq = tessivar::sqCallbacks();
    const RespConf &resp = monitor().respConf;
    hr.onHeartBeat(hr.user, 1, 0);
    hr.onHrLead(hr.user, 0);
    hr.onLearningState(hr.user, 1);
    hr.onHeartRate(hr.user, 60);
    sq.onQuality(sq.user, "{}");
    resp.onRespRateChanged(12);
    resp.onRespBeat();
    resp.onBeatNoise(1);
    tessivar::reportCurFilterSetting(monitor(), 50, 50, 35);
    EXPECT_TRUE(events().empty());
    // The results are kept all the same.
    EXPECT_EQ(getCurHeartRate(), 60);
    EXPECT_EQ(getCurRespRate(), 12);
    EXPECT_STREQ(getCurHrLead(), "I");
    EXPECT_STREQ(getCurQuality(), "{}");
}

// ---- periodic task -----------------------------------------------------------------

std::vector<int> zeros(int frames) { return std::vector<int>(size_t(frames) * size_t(getCurInFrame()), 0); }

TEST_F(FrontEnd, PeriodicTaskLogsTheConfigurationOnceAfterAChange)
{
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    const std::string confTail = "\n\t.qrsMode=\"adult\",\n\t.qrsMethod=0,\n};";
    run(zeros(999));
    EXPECT_EQ(log.count("HR:["), 0);  // 999 frames are not yet more than 999
    run(zeros(1));
    EXPECT_EQ(log.count("HR:["), 1);
    // The first task logs the configuration (the log's start flagged it).
    EXPECT_EQ(log.count(confTail), 1);
    EXPECT_TRUE(log.contains(".wireType=\"5\",\n\t.dataType=\"SLR\",\n\t.hrLead=\"II\",\n\t.respLead=\"II\","));
    EXPECT_EQ(log.count("total delay = 0 (filter delay:0)"), 2);
    run(zeros(1000));
    EXPECT_EQ(log.count("HR:["), 2);
    EXPECT_EQ(log.count(confTail), 1);
    // A watched word changes: logged once more.
    ecgPreprocessSetPaceFilter(1);
    run(zeros(1000));
    run(zeros(1000));
    EXPECT_EQ(log.count(confTail), 2);
    EXPECT_EQ(log.count("HR:["), 4);
    // One call of 1500 frames runs the task once, before its frames.
    run(zeros(1500));
    EXPECT_EQ(log.count("HR:["), 5);
}

// ---- raw capture -------------------------------------------------------------------

std::string captureIni(const std::string &folder, const char *onOff)
{
    return "record_file_path = " + folder + "\nrecord_switch = " + onOff + "\nlog_level = info\n";
}

std::vector<char> bytesOf(const int *words, size_t count)
{
    const char *p = reinterpret_cast<const char *>(words);
    return std::vector<char>(p, p + count * sizeof(int));
}

TEST_F(FrontEnd, CaptureFilesHoldTheFramesPassedInAndOut)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string ini = dir.file("log.ini");
    tessivar::test::writeText(ini, captureIni(dir.path(), "ON"));
    PreprocessConf conf = defaultConf("5", "SLR");
    conf.debugCfgFile = ini.c_str();
    conf.paceFilter = 1;
    ASSERT_EQ(start(conf), 0);
    ASSERT_NE(monitor().capture.fp_in, nullptr);

    // Blocks A (500), B (400), then the switch goes off, C (200) triggers the
    // periodic task after C's input was written and before its output, D
    // (100) is not captured.
    std::vector<int> allIn, allOut;
    uint32_t seed = 1;
    auto block = [&](int frames) {
        std::vector<int> in(size_t(frames) * 5);
        for (int &w : in) w = int((seed = seed * 1103515245u + 12345u) % 6000u) - 3000;
        for (size_t n = 0; n < in.size(); n += 5) in[n] &= 0x4000;  // status: pace marks only
        std::vector<int> out = run(in);
        return std::make_pair(in, out);
    };
    auto a = block(500), b = block(400);
    tessivar::test::writeText(ini, captureIni(dir.path(), "OFF"));
    auto c = block(200), d = block(100);
    EXPECT_EQ(monitor().capture.fp_in, nullptr);
    EXPECT_EQ(monitor().capture.fp_out, nullptr);

    for (auto *p : {&a, &b, &c}) allIn.insert(allIn.end(), p->first.begin(), p->first.end());
    for (auto *p : {&a, &b}) allOut.insert(allOut.end(), p->second.begin(), p->second.end());
    EXPECT_EQ(tessivar::test::readBytes(dir.file("anal_input")), bytesOf(allIn.data(), allIn.size()));
    EXPECT_EQ(tessivar::test::readBytes(dir.file("anal_out")), bytesOf(allOut.data(), allOut.size()));
}

TEST_F(FrontEnd, CaptureMovesToANewFolderAfterTwoGigabytes)
{
    TempDir dir;
    const std::string ini = dir.file("log.ini");
    tessivar::test::writeText(ini, captureIni(dir.path(), "ON"));
    PreprocessConf conf = defaultConf("5", "SLR");  // 9-word output frames
    conf.debugCfgFile = ini.c_str();
    ASSERT_EQ(start(conf), 0);
    tessivar::CaptureState &cap = monitor().capture;
    const int folder = cap.extraFolder;
    // Each task counts 9 * 4000 = 36000 bytes: after 55555 tasks the count is
    // 1999980000 (not above 1999999999), the 55556th moves on.
    cap.outBytes = int64_t(36000) * 55554;
    run(zeros(1000));
    EXPECT_EQ(cap.outBytes, int64_t(36000) * 55555);
    EXPECT_EQ(cap.extraFolder, folder);
    run(zeros(1000));
    EXPECT_EQ(cap.outBytes, 0);
    EXPECT_EQ(cap.extraFolder, folder + 1);
    const std::string moved = dir.path() + "/extra_" + std::to_string(folder + 1);
    EXPECT_TRUE(log.contains("save path change to " + moved));
    ASSERT_NE(cap.fp_out, nullptr);
    EXPECT_EQ(tessivar::test::readBytes(moved + "/anal_out").size(), size_t(1000 * 9 * 4));
    EXPECT_EQ(tessivar::test::readBytes(moved + "/anal_input").size(), 0u);  // this block's input went before the move
}

TEST_F(FrontEnd, CaptureFailuresAreLoggedAndProcessingGoesOn)
{
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    tessivar::onCfgChanged(1, "/nonexistent/tessivar/folder");
    EXPECT_TRUE(log.contains("[W]{Unknown TAG}[enter_debug]"));
    EXPECT_TRUE(log.contains("/nonexistent/tessivar/folder/anal_input open error.\n"));
    EXPECT_TRUE(log.contains("/nonexistent/tessivar/folder/anal_out open error.\n"));
    EXPECT_EQ(monitor().capture.fp_in, nullptr);

    // A short write closes both files.
    tessivar::CaptureState &cap = monitor().capture;
    cap.fp_in = std::fopen("/dev/full", "wb");
    cap.fp_out = std::tmpfile();
    ASSERT_NE(cap.fp_in, nullptr);
    ASSERT_NE(cap.fp_out, nullptr);
    int rc = 0;
    run(zeros(3), &rc);
    EXPECT_EQ(rc, 3);
    EXPECT_EQ(cap.fp_in, nullptr);
    EXPECT_EQ(cap.fp_out, nullptr);
    tessivar::onCfgChanged(0, ".");
}

}  // namespace
