// Leveled log: line layout, level letters and filtering, the cut of overlong
// lines, print hook versus standard output, start and stop.
#include <string>

#include "common/test_log_helpers.hpp"
#include "tessivar/anal_log.h"
#include "tessivar/kt_log.h"

namespace {

using tvtest::Captured;

// The fixed clock's stamp, written out by hand.
const std::string kStamp = "2025-07-15 12:39:35.000042";

class AnalLog : public ::testing::Test {
protected:
    tvtest::LogTestGuard guard;
};

TEST_F(AnalLog, LineLayoutIsExact)
{
    const std::string formatted = kStamp + "[E]{beat detect}[realtimeDetectBeat](-3)n=7 name=x 2.50\n";
    EXPECT_EQ(__print_log("realtimeDetectBeat", -3, LOG_LEVEL_ERROR, "beat detect", "n=%d name=%s %.2f", 7, "x", 2.5),
              static_cast<int>(formatted.size()));
    ASSERT_EQ(Captured::lines().size(), 1u);
    EXPECT_EQ(Captured::lines()[0], formatted);
}

TEST_F(AnalLog, LevelLettersAndOddLevelsAsWarnings)
{
    const struct {
        int level;
        char letter;
    } cases[] = {{0, 'E'}, {1, 'W'}, {2, 'I'}, {4, 'T'}, {3, 'W'}, {5, 'W'}, {-1, 'W'}, {1000, 'W'}};
    for (const auto &c : cases) {
        Captured::clear();
        const std::string expected = kStamp + "[" + c.letter + "]{t}[f](1)m\n";
        EXPECT_EQ(__print_log("f", 1, c.level, "t", "m"), static_cast<int>(expected.size())) << c.level;
        ASSERT_EQ(Captured::lines().size(), 1u) << c.level;
        EXPECT_EQ(Captured::lines()[0], expected) << c.level;
    }
}

TEST_F(AnalLog, PrintLevelFilters)
{
    auto &state = tessivar::analLogState();
    state.g_print_prior = LOG_LEVEL_INFO;
    EXPECT_EQ(__print_log("f", 1, LOG_LEVEL_TRACE, "t", "dropped"), 0);
    EXPECT_GT(__print_log("f", 1, LOG_LEVEL_INFO, "t", "kept"), 0);
    EXPECT_EQ(Captured::lines().size(), 1u);

    // Odd levels count as warnings: they pass at print level 1, not at 0.
    Captured::clear();
    state.g_print_prior = LOG_LEVEL_WARN;
    EXPECT_GT(__print_log("f", 1, 3, "t", "m"), 0);
    EXPECT_GT(__print_log("f", 1, -1, "t", "m"), 0);
    EXPECT_EQ(__print_log("f", 1, LOG_LEVEL_INFO, "t", "m"), 0);
    state.g_print_prior = LOG_LEVEL_ERROR;
    EXPECT_EQ(__print_log("f", 1, 3, "t", "m"), 0);
    EXPECT_EQ(__print_log("f", 1, 5, "t", "m"), 0);
    EXPECT_GT(__print_log("f", 1, LOG_LEVEL_ERROR, "t", "m"), 0);
    EXPECT_EQ(Captured::lines().size(), 3u);
}

TEST_F(AnalLog, OverlongLineIsCutKeepingItsLineEnd)
{
    // The buffer holds 1024 bytes: 1022 characters of text, the line end and
    // the terminator. The head below is 44 characters, so 978 message
    // characters fit whole.
    const std::string head = kStamp + "[W]{tag}[func](12)";
    ASSERT_EQ(head.size(), 44u);
    const std::string fits(978, 'a');
    EXPECT_EQ(__print_log("func", 12, 1, "tag", "%s", fits.c_str()), 1023);
    ASSERT_EQ(Captured::lines().size(), 1u);
    EXPECT_EQ(Captured::lines()[0], head + fits + "\n");

    Captured::clear();
    const std::string oneTooMany = fits + "b";
    EXPECT_EQ(__print_log("func", 12, 1, "tag", "%s", oneTooMany.c_str()), 1023);
    EXPECT_EQ(Captured::lines()[0], head + fits + "\n");

    Captured::clear();
    const std::string shortByOne(977, 'a');
    EXPECT_EQ(__print_log("func", 12, 1, "tag", "%s", shortByOne.c_str()), 1022);

    // A head longer than the buffer is cut as well.
    Captured::clear();
    const std::string longTag(3000, 't');
    EXPECT_EQ(__print_log("func", 12, 1, longTag.c_str(), "m"), 1023);
    const std::string &line = Captured::lines()[0];
    EXPECT_EQ(line.size(), 1023u);
    EXPECT_EQ(line.substr(0, 30), kStamp + "[W]{");
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line[1021], 't');
}

TEST_F(AnalLog, NullTextsPrintEmpty)
{
    const std::string expected = kStamp + "[W]{}[](3)\n";
    EXPECT_EQ(__print_log(nullptr, 3, 1, nullptr, nullptr), static_cast<int>(expected.size()));
    ASSERT_EQ(Captured::lines().size(), 1u);
    EXPECT_EQ(Captured::lines()[0], expected);
}

TEST_F(AnalLog, HookOrStandardOutput)
{
    // With a hook the line goes there only.
    testing::internal::CaptureStdout();
    EXPECT_EQ(log_info_print("abc\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(Captured::lines().size(), 1u);
    EXPECT_EQ(Captured::lines()[0], "abc\n");

    // Without a hook puts() prints it and adds its own line end.
    tessivar::analLogState().g_print_func = nullptr;
    Captured::clear();
    testing::internal::CaptureStdout();
    EXPECT_EQ(log_info_print("abc\n"), 0);
    const int n = __print_log("f", 7, LOG_LEVEL_INFO, "t", "x");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(n, static_cast<int>((kStamp + "[I]{t}[f](7)x\n").size()));
    EXPECT_EQ(out, "abc\n\n" + kStamp + "[I]{t}[f](7)x\n\n");
    EXPECT_TRUE(Captured::lines().empty());
}

TEST_F(AnalLog, NullArgumentsAreRefused)
{
    EXPECT_EQ(log_info_print(nullptr), -1);
    ASSERT_EQ(Captured::lines().size(), 1u);
    EXPECT_EQ(Captured::lines()[0].rfind(kStamp + "[E]{Unknown TAG}[log_info_print](", 0), 0u);
    EXPECT_TRUE(Captured::hasLineEnding(")Input parameter exception.\n"));
    EXPECT_EQ(newLog(nullptr), -1);
    ASSERT_EQ(Captured::lines().size(), 2u);
    EXPECT_EQ(Captured::lines()[1].rfind(kStamp + "[E]{Unknown TAG}[newLog](", 0), 0u);
    EXPECT_TRUE(Captured::hasLineEnding(")Afferent parameter anomaly.\n"));
}

TEST_F(AnalLog, NewLogTakesFallbackLevelAndHookAndDelLogDropsTheHook)
{
    tvtest::ScratchDir dir;
    const std::string missing = dir / "missing.ini";
    // The start-up lines of the file logger already reach a hook that was
    // not installed before.
    tessivar::analLogState().g_print_func = nullptr;
    LogConf conf = {missing.c_str(), nullptr, LOG_LEVEL_TRACE, Captured::print};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_TRACE);
    EXPECT_EQ(Captured::countContaining("[I]{Unknown TAG}[kt_log_new]("), 2);
    EXPECT_TRUE(Captured::hasLineEnding(")Log new.\n"));
    EXPECT_EQ(Captured::countContaining("[T]{Unknown TAG}[newLog]("), 1);

    // The stop's own line still reaches the hook; nothing after it does, so
    // a host may unload its hook once the log is stopped.
    Captured::clear();
    EXPECT_EQ(delLog(), 0);
    EXPECT_TRUE(Captured::hasLineEnding(")Log free.\n"));
    EXPECT_EQ(tessivar::analLogState().g_print_func, nullptr);
    Captured::clear();
    __print_log("f", 1, LOG_LEVEL_ERROR, "t", "after the stop");
    EXPECT_TRUE(Captured::lines().empty());

    // A start without a hook prints to standard output; fallback level 2.
    LogConf noHook = {missing.c_str(), nullptr, LOG_LEVEL_INFO, nullptr};
    ASSERT_EQ(newLog(&noHook), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_func, nullptr);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_INFO);
    EXPECT_TRUE(Captured::lines().empty());
}

TEST_F(AnalLog, ScanFollowsConfiguredLevel)
{
    tvtest::ScratchDir dir;
    const std::string cfg = dir / "log.ini";
    tvtest::writeText(cfg, "record_file_path = " + dir.path() + "\nlog_level = warn\n");
    LogConf conf = {cfg.c_str(), nullptr, LOG_LEVEL_TRACE, nullptr};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_WARN);
    EXPECT_EQ(__print_log("f", 1, LOG_LEVEL_INFO, "t", "m"), 0);

    tvtest::writeText(cfg, "record_file_path = " + dir.path() + "\nlog_level = trace\n");
    EXPECT_EQ(logScanConf(), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_TRACE);
    EXPECT_GT(__print_log("f", 1, LOG_LEVEL_TRACE, "t", "m"), 0);

    // An unreadable file changes nothing.
    std::remove(cfg.c_str());
    EXPECT_EQ(logScanConf(), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_TRACE);
}

TEST(AnalLogVersion, Text) { EXPECT_STREQ(logVersion(), "anal_log version 1.0.3.4 2025-07-15 12:39:35"); }

}  // namespace
