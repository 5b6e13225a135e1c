// Reports from the analysis modules to the host, the periodic task and the
// raw capture files.
#include <cstring>
#include <string>
#include <vector>

#include "heart_rate/hr_calc.hpp"
#include "preprocess/preprocess_fixture.hpp"
#include "resp/resp.hpp"
#include "sig_quality/sig_quality.hpp"

namespace tessivar::test {
namespace {

using Events = std::vector<std::string>;

TEST_F(FrontEnd, HeartRateResultsReachTheHost)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const HrCalcCallbacks &hr = hrCalcCallbacks();
    ASSERT_NE(hr.user, nullptr);
    clearEvents();
    hr.onHeartBeat(hr.user, 321, 0);
    EXPECT_EQ(state().beatPosition, 321);
    // getCurHrLead and getCurStatu("hrlearning") after each report.
    const struct { std::function<void()> report; const char *lead, *learning; } steps[] = {
        {[&] { hr.onHrLead(hr.user, 5); }, "aVF", "false"},
        {[&] { hr.onHrLead(hr.user, 30); }, "null", "false"},
        {[&] { hr.onHrLead(hr.user, 18); }, "auto", "false"},
        {[&] { hr.onLearningState(hr.user, 1); }, "auto", "true"},
        {[&] { hr.onLearningState(hr.user, 1); }, "auto", "true"},  // no change, no call
        {[&] { hr.onHeartRate(hr.user, 72); }, "auto", "false"},    // a rate ends learning
        {[&] { hr.onLearningState(hr.user, 1); }, "auto", "true"},
        {[&] { hr.onHeartRate(hr.user, -1); }, "auto", "true"},     // -1 leaves it alone
        {[&] { hr.onHeartRate(hr.user, 0); }, "auto", "false"},     // 0 ends it
    };
    for (size_t k = 0; k < std::size(steps); ++k) {
        steps[k].report();
        EXPECT_STREQ(getCurHrLead(), steps[k].lead) << k;
        EXPECT_STREQ(getCurStatu("hrlearning"), steps[k].learning) << k;
    }
    EXPECT_EQ(getCurHeartRate(), 0);
    EXPECT_EQ(events(), (Events{"beat", "hrLead:aVF", "hrLead:null", "hrLead:auto", "status:hrlearning=true", "hr:72",
                                "status:hrlearning=false", "status:hrlearning=true", "hr:-1", "hr:0", "status:hrlearning=false"}));
    monitor().respConf.onBeatNoise(1);
    EXPECT_EQ(events().back(), "status:beatNoise=true");
    EXPECT_TRUE(log.contains("[reportCurHeartRate]") && log.contains(":72"));
    // No rate (0 or -1) tells respiration there is no heart rate to reject.
    for (int rate : {-1, 0, 72}) {
        EXPECT_EQ(hr.onHrChanged(hr.user, 75), 0);
        EXPECT_EQ(s_resp.hr, 75);
        hr.onHeartRate(hr.user, rate);
        EXPECT_EQ(s_resp.hr, rate > 0 ? 75 : 0) << rate;
    }
}

TEST_F(FrontEnd, WithMethodTwoAndLeadIIOffEveryRateIsZero)
{
    PreprocessConf conf = defaultConf("3", "SL");
    conf.qrsMethod = 2;
    ASSERT_EQ(start(conf), 0);
    const HrCalcCallbacks &hr = hrCalcCallbacks();
    hr.onHeartRate(hr.user, 72);  // II still valid: the rate passes
    run(frames(1000, [](int, int *f) { f[0] = 0x2; }));  // II off inside the window at frame 999
    hr.onHeartRate(hr.user, 72);
    hr.onHeartRate(hr.user, -1);
    EXPECT_EQ(std::vector<std::string>(events().end() - 2, events().end()), (Events{"hr:0", "hr:0"}));
    EXPECT_TRUE(HostRecord::get().count("hr:72") == 1 && getCurHeartRate() == 0);
}

TEST_F(FrontEnd, QualityTextBelongsToTheLibraryUntilTheNextReport)
{
    ASSERT_EQ(start(defaultConf()), 0);
    const SignalQualityCallbacks &sq = sqCallbacks();
    char text[64];
    std::strcpy(text, "{\"level\":\"medium\",\"leadStatus\":[{\"R\":\"emg\"}]}");
    EXPECT_EQ(sq.onQuality(sq.user, text), 0);
    ASSERT_EQ(HostRecord::get().qualityPointers.size(), 1u);
    const char *held = HostRecord::get().qualityPointers[0];
    std::strcpy(text, "overwritten by its owner");  // the library's copy stays
    EXPECT_STREQ(held, "{\"level\":\"medium\",\"leadStatus\":[{\"R\":\"emg\"}]}");
    EXPECT_EQ(getCurQuality(), held);
    EXPECT_EQ(sq.onQuality(sq.user, "{\"level\":\"high\",\"leadStatus\":[]}"), 0);
    EXPECT_EQ(sq.onQuality(sq.user, nullptr), -1);  // refused: the last text stays
    EXPECT_STREQ(getCurQuality(), "{\"level\":\"high\",\"leadStatus\":[]}");
}

// ---- periodic task -----------------------------------------------------------------

std::vector<int> zeros(int n) { return std::vector<int>(size_t(n) * size_t(getCurInFrame()), 0); }

TEST_F(FrontEnd, PeriodicTaskLogsTheConfigurationOnceAfterAChange)
{
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    const std::string confTail = "\n\t.qrsMode=\"adult\",\n\t.qrsMethod=0,\n};";
    const struct { std::function<void()> before; int frames, tasks, confLogs; } steps[] = {
        {[] {}, 999, 0, 0},   // 999 frames are not yet more than 999
        {[] {}, 1, 1, 1},     // the first task logs the configuration: the log's start flagged it
        {[] {}, 1000, 2, 1},  // no change: not again
        {[] { ecgPreprocessSetPaceFilter(1); }, 1000, 3, 2},
        {[] {}, 1000, 4, 2},
        {[] {}, 1500, 5, 2},  // one call of 1500 frames: once, before its frames
    };
    for (size_t k = 0; k < std::size(steps); ++k) {
        steps[k].before();
        run(zeros(steps[k].frames));
        EXPECT_EQ(log.count("HR:["), steps[k].tasks) << k;
        EXPECT_EQ(log.count(confTail), steps[k].confLogs) << k;
    }
    EXPECT_TRUE(log.contains(".wireType=\"5\",\n\t.dataType=\"SLR\",\n\t.hrLead=\"II\",\n\t.respLead=\"II\","));
    // The delay line in the configuration and status summaries: 0 in tasks 1
    // (both) and 2; 100 with the pace remover in tasks 3 (both), 4 and 5.
    EXPECT_EQ(log.count("total delay = 0 (filter delay:0)"), 3);
    EXPECT_EQ(log.count("total delay = 100 (filter delay:0)"), 4);
}

// ---- raw capture -------------------------------------------------------------------

std::string captureIni(const std::string &folder, const char *onOff)
{
    return "record_file_path = " + folder + "\nrecord_switch = " + onOff + "\nlog_level = info\n";
}

std::string bytesOf(const std::vector<int> &words)
{
    return std::string(reinterpret_cast<const char *>(words.data()), words.size() * sizeof(int));
}

TEST_F(FrontEnd, CaptureFilesHoldTheFramesPassedInAndOut)
{
    TempDir dir;
    const std::string ini = dir.file("log.ini");
    writeText(ini, captureIni(dir.path(), "ON"));
    PreprocessConf conf = defaultConf("5", "SLR");
    conf.debugCfgFile = ini.c_str();
    conf.paceFilter = 1;
    ASSERT_EQ(start(conf), 0);
    ASSERT_NE(monitor().capture.fp_in, nullptr);
    // Blocks of 500 and 400 frames; the switch goes off; a block of 200 runs
    // the periodic task after its input was written and before its output;
    // a block of 100 is not captured.
    std::vector<int> allIn, allOut;
    uint32_t seed = 1;
    for (int n : {500, 400, 200, 100}) {
        if (n == 200) writeText(ini, captureIni(dir.path(), "OFF"));
        const std::vector<int> in = frames(n, [&](int, int *f) {
            for (int w = 0; w < 5; ++w) f[w] = int((seed = seed * 1103515245u + 12345u) % 6000u) - 3000;
            f[0] &= 0x4000;  // status: pace marks only
        });
        const std::vector<int> out = run(in);
        if (n != 100) allIn.insert(allIn.end(), in.begin(), in.end());
        if (n >= 400) allOut.insert(allOut.end(), out.begin(), out.end());
    }
    EXPECT_TRUE(monitor().capture.fp_in == nullptr && monitor().capture.fp_out == nullptr);
    EXPECT_EQ(readText(dir.file("anal_input")), bytesOf(allIn));
    EXPECT_EQ(readText(dir.file("anal_out")), bytesOf(allOut));
}

TEST_F(FrontEnd, CaptureMovesToANewFolderAfterTwoGigabytes)
{
    TempDir dir;
    const std::string ini = dir.file("log.ini");
    writeText(ini, captureIni(dir.path(), "ON"));
    PreprocessConf conf = defaultConf("5", "SLR");  // 9-word output frames
    conf.debugCfgFile = ini.c_str();
    ASSERT_EQ(start(conf), 0);
    CaptureState &cap = monitor().capture;
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
    EXPECT_EQ(readText(moved + "/anal_out").size(), size_t(1000 * 9 * 4));
    EXPECT_EQ(readText(moved + "/anal_input").size(), 0u);  // this block's input went before the move
}

TEST_F(FrontEnd, CaptureFailuresAreLoggedAndProcessingGoesOn)
{
    ASSERT_EQ(start(defaultConf("5", "SLR")), 0);
    onCfgChanged(1, "/nonexistent/tessivar/folder");
    for (const char *line : {"[W]{Unknown TAG}[enter_debug]", "folder/anal_input open error.\n", "folder/anal_out open error.\n"})
        EXPECT_TRUE(log.contains(line)) << line;
    CaptureState &cap = monitor().capture;
    EXPECT_EQ(cap.fp_in, nullptr);
    // A short write closes both files.
    ASSERT_TRUE((cap.fp_in = std::fopen("/dev/full", "wb")) != nullptr && (cap.fp_out = std::tmpfile()) != nullptr);
    int rc = 0;
    run(zeros(3), &rc);
    EXPECT_TRUE(rc == 3 && cap.fp_in == nullptr && cap.fp_out == nullptr);
    onCfgChanged(0, ".");
}

}  // namespace
}  // namespace tessivar::test
