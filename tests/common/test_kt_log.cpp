// File logger: the configuration keys, recording switched on and off through
// the change handler, log file naming and rotation, and the failure paths.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "common/test_log_helpers.hpp"
#include "tessivar/anal_log.h"
#include "tessivar/kt_log.h"

namespace {

using tvtest::Captured;
using Changes = std::vector<std::pair<int, std::string>>;

// The fixed clock names log files 2025-07-15 12:39.
const char *const kFileName = "202507151239anal_log.log";

class KtLog : public ::testing::Test {
protected:
    tvtest::LogTestGuard guard;
    tvtest::ScratchDir dir;
    std::string cfg = dir / "log.ini";

    void writeCfg(const std::string &text) { tvtest::writeText(cfg, text); }
    tessivar::KtLogState &state() { return tessivar::ktLogState(); }
    int start(int fallback = 3) { return kt_log_new(cfg.c_str(), Captured::change, fallback); }
    std::string makeFolder(const std::string &name)
    {
        const std::string p = dir / name;
        mkdir(p.c_str(), 0755);
        return p;
    }
    // Configuration recording into <folder> (switch ON unless told otherwise).
    void cfgFor(const std::string &folder, const char *sw = "ON", const std::string &extra = "")
    {
        writeCfg("record_file_path = " + folder + "\nrecord_switch = " + sw + "\n" + extra);
    }
};

TEST_F(KtLog, MissingFileGivesDefaults)
{
    EXPECT_EQ(start(LOG_LEVEL_TRACE), 0);
    EXPECT_EQ(kt_log_prior(), LOG_LEVEL_TRACE);
    EXPECT_STREQ(state().g_record_file_path, ".");
    EXPECT_STREQ(state().g_last_record_file_path, ".");
    EXPECT_EQ(state().g_record_switch, 0);
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_EQ(Captured::changes(), (Changes{{0, "."}}));
    EXPECT_TRUE(Captured::hasLineEnding(")" + cfg + " file does not exist.\n"));
    EXPECT_EQ(Captured::countContaining("[E]{Unknown TAG}[kt_log_cfg_file_parse]("), 1);
    EXPECT_TRUE(Captured::hasLineEnding(")init: Use the default configuration for configuration initialization\n"));
    EXPECT_TRUE(Captured::hasLineEnding(")init record_file_path: ., record_switch: 0, log_prior: 4\n"));
    EXPECT_EQ(Captured::countContaining("[I]{Unknown TAG}[kt_log_new]("), 2);
}

TEST_F(KtLog, NullPathsGiveDefaults)
{
    EXPECT_EQ(kt_log_new(nullptr, nullptr, LOG_LEVEL_WARN), 0);
    EXPECT_EQ(kt_log_prior(), LOG_LEVEL_WARN);
    EXPECT_STREQ(state().g_record_file_path, ".");
    EXPECT_TRUE(Captured::changes().empty());
    EXPECT_EQ(kt_log_scan_conf(), -1);
    EXPECT_EQ(tessivar::kt_log_cfg_file_parse(nullptr, 0), -1);
    EXPECT_TRUE(Captured::hasLineEnding(")Input parameter exception.\n"));
}

TEST_F(KtLog, RestartWithoutPathOrHandlerKeepsThePreviousOnes)
{
    const std::string folder = makeFolder("logs");
    cfgFor(folder, "OFF", "log_level = warn\n");
    ASSERT_EQ(start(), 0);
    Captured::clear();
    EXPECT_EQ(kt_log_new(nullptr, nullptr, LOG_LEVEL_TRACE), 0);
    EXPECT_STREQ(state().g_log_cfg_file, cfg.c_str());
    EXPECT_EQ(kt_log_prior(), LOG_LEVEL_WARN);  // read from the kept file, not the fallback
    EXPECT_STREQ(state().g_record_file_path, folder.c_str());
    EXPECT_EQ(Captured::changes(), (Changes{{0, folder}}));  // the kept handler hears the switch
}

TEST_F(KtLog, LogLevelWords)
{
    const struct {
        const char *line;
        int level;
    } cases[] = {
        {"log_level = trace\n", 4}, {"log_level = warn\n", 1},   {"log_level = info\n", 2},
        {"log_level = error\n", 0}, {"log_level = debug\n", 2},  {"log_level = TRACE\n", 2},
        {"log_level = Warn\n", 2},  {"log_level = \" warn \"\n", 1}, {"", 2},
    };
    for (const auto &c : cases) {
        writeCfg(std::string("record_file_path = ") + dir.path() + "\n" + c.line);
        EXPECT_EQ(start(), 0);
        EXPECT_EQ(kt_log_prior(), c.level) << c.line;
    }
}

TEST_F(KtLog, SwitchIsOnOnlyForExactOn)
{
    const std::string logs = makeFolder("logs");
    const struct {
        const char *value;
        int on;
    } cases[] = {{"ON", 1}, {"on", 0}, {"On", 0}, {"OFF", 0}, {"1", 0}, {"\" ON \"", 1}, {nullptr, 0}};
    for (const auto &c : cases) {
        Captured::clear();
        std::string text = "record_file_path = " + logs + "\n";
        if (c.value != nullptr) text += std::string("record_switch = ") + c.value + "\n";
        writeCfg(text);
        ASSERT_EQ(start(), 0);
        EXPECT_EQ(state().g_record_switch, c.on) << (c.value ? c.value : "(missing)");
        EXPECT_EQ(Captured::changes(), (Changes{{c.on, logs}}));
        EXPECT_EQ(state().g_log_fp != nullptr, c.on == 1);
        kt_log_del();
        EXPECT_EQ(state().g_log_fp, nullptr);
    }
    EXPECT_TRUE(tvtest::isFolder(logs));
    EXPECT_EQ(tvtest::readText(logs + "/" + kFileName), "");
}

TEST_F(KtLog, RecordPathIsTrimmedAndChecked)
{
    const std::string logs = makeFolder("logs");
    writeCfg("record_file_path = \"  " + logs + "\t \"\n");
    ASSERT_EQ(start(), 0);
    EXPECT_STREQ(state().g_record_file_path, logs.c_str());

    // An existing non-folder clears the path; the start falls back to ".".
    const std::string plain = dir / "plain.txt";
    tvtest::writeText(plain, "x");
    writeCfg("record_file_path = " + plain + "\n");
    Captured::clear();
    ASSERT_EQ(start(), 0);
    EXPECT_STREQ(state().g_record_file_path, ".");
    EXPECT_EQ(Captured::changes(), (Changes{{0, "."}}));

    // Empty or missing: refused with a message, the path stays as it was.
    for (const char *text : {"record_file_path =   \n", "record_switch = OFF\n"}) {
        writeCfg(text);
        Captured::clear();
        ASSERT_EQ(start(), 0);
        EXPECT_STREQ(state().g_record_file_path, ".");
        EXPECT_EQ(Captured::countContaining("[E]{Unknown TAG}[kt_log_cfg_file_parse]("), 1) << text;
        EXPECT_TRUE(Captured::hasLineEnding(")Record path cannot be empty.\n")) << text;
    }
}

TEST_F(KtLog, MissingFolderIsMadeAndTakenAtTheNextScan)
{
    const std::string logs = dir / "a/b/c";
    writeCfg("record_file_path = " + logs + "\n");
    ASSERT_EQ(start(), 0);
    EXPECT_TRUE(tvtest::isFolder(logs));
    EXPECT_STREQ(state().g_record_file_path, ".");

    Captured::clear();
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, logs.c_str());
    EXPECT_STREQ(state().g_last_record_file_path, ".");
    EXPECT_TRUE(Captured::changes().empty());  // recording was and stays off

    // A later scan of the same folder is no change.
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_last_record_file_path, logs.c_str());

    // Empty in a scan: refused quietly (trace level), the folder stays.
    writeCfg("record_file_path =\n");
    Captured::clear();
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, logs.c_str());
    EXPECT_EQ(Captured::countContaining("[T]{Unknown TAG}[kt_log_cfg_file_parse]("), 1);
    EXPECT_TRUE(Captured::hasLineEnding(")Record path cannot be empty.\n"));
}

TEST_F(KtLog, FolderThatCannotBeMadeClearsPath)
{
    const std::string plain = dir / "plain.txt";
    tvtest::writeText(plain, "x");
    const std::string logs = makeFolder("logs");
    writeCfg("record_file_path = " + logs + "\n");
    ASSERT_EQ(start(), 0);
    ASSERT_STREQ(state().g_record_file_path, logs.c_str());

    writeCfg("record_file_path = " + plain + "/sub\n");
    Captured::clear();
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, "");
    EXPECT_STREQ(state().g_last_record_file_path, logs.c_str());
    EXPECT_EQ(Captured::countContaining("mkdir error("), 1);
    EXPECT_TRUE(Captured::changes().empty());
}

TEST_F(KtLog, RecordingFollowsSwitchAndFolder)
{
    const std::string a = makeFolder("a");
    const std::string b = makeFolder("b");
    cfgFor(a, "ON", "log_level = trace\n");
    LogConf conf = {cfg.c_str(), Captured::change, LOG_LEVEL_INFO, Captured::print};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{1, a}}));
    const std::string fileA = a + "/" + kFileName;
    ASSERT_NE(state().g_log_fp, nullptr);

    // The file gets exactly what the hook gets from the moment it is open.
    Captured::clear();
    ASSERT_GT(__print_log("f", 5, LOG_LEVEL_INFO, "t", "first %d", 1), 0);
    const std::string first = "2025-07-15 12:39:35.000042[I]{t}[f](5)first 1\n";
    EXPECT_EQ(Captured::lines(), (std::vector<std::string>{first}));
    const std::string before = tvtest::readText(fileA);
    ASSERT_GE(before.size(), first.size());
    EXPECT_EQ(before.substr(before.size() - first.size()), first);
    EXPECT_EQ(state().g_count, 2);  // "Log new." and the line above

    // Switch off: (0, a), file closed, lines no longer recorded.
    cfgFor(a, "OFF", "log_level = trace\n");
    Captured::clear();
    ASSERT_EQ(logScanConf(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{0, a}}));
    EXPECT_EQ(state().g_log_fp, nullptr);
    __print_log("f", 6, LOG_LEVEL_INFO, "t", "unrecorded");
    EXPECT_EQ(tvtest::readText(fileA), before);

    // Switch on again within the minute: (1, a), same file appended.
    cfgFor(a, "ON", "log_level = trace\n");
    Captured::clear();
    ASSERT_EQ(logScanConf(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{1, a}}));
    __print_log("f", 7, LOG_LEVEL_INFO, "t", "again");
    EXPECT_EQ(tvtest::readText(fileA), before + "2025-07-15 12:39:35.000042[I]{t}[f](7)again\n");

    // New folder while on: (0, last) then (1, current), file in the new folder.
    cfgFor(b, "ON", "log_level = trace\n");
    Captured::clear();
    ASSERT_EQ(logScanConf(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{0, a}, {1, b}}));
    __print_log("f", 8, LOG_LEVEL_INFO, "t", "in b");
    EXPECT_EQ(tvtest::readText(b + "/" + kFileName), "2025-07-15 12:39:35.000042[I]{t}[f](8)in b\n");

    // New folder while switching off: only (0, last).
    cfgFor(a, "OFF");
    Captured::clear();
    ASSERT_EQ(logScanConf(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{0, b}}));
    EXPECT_EQ(state().g_log_fp, nullptr);

    // Stop: (0, current).
    Captured::clear();
    EXPECT_EQ(delLog(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{0, a}}));
}

TEST_F(KtLog, UnreadableFileAtScanChangesNothing)
{
    const std::string a = makeFolder("a");
    cfgFor(a, "ON", "log_level = error\n");
    ASSERT_EQ(start(), 0);
    std::remove(cfg.c_str());
    Captured::clear();
    EXPECT_EQ(kt_log_scan_conf(), -1);
    EXPECT_EQ(kt_log_prior(), LOG_LEVEL_ERROR);
    EXPECT_EQ(state().g_record_switch, 1);
    EXPECT_NE(state().g_log_fp, nullptr);
    EXPECT_TRUE(Captured::changes().empty());
    // The scan complains at trace level only.
    EXPECT_EQ(Captured::countContaining("[T]{Unknown TAG}[kt_log_cfg_file_parse]("), 1);
    EXPECT_TRUE(Captured::hasLineEnding(")" + cfg + " file does not exist.\n"));
}

TEST_F(KtLog, SaveRefusals)
{
    EXPECT_EQ(kt_log_save("x\n"), -1);  // nothing open
    const std::string a = makeFolder("a");
    cfgFor(a, "ON");
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(kt_log_save(nullptr), -1);
    EXPECT_EQ(kt_log_save("x\n"), 0);
    EXPECT_EQ(tvtest::readText(a + "/" + kFileName), "x\n");
}

TEST_F(KtLog, RotationAfter100000Lines)
{
    const std::string a = makeFolder("a");
    cfgFor(a);
    ASSERT_EQ(start(), 0);
    for (int i = 0; i < 99999; ++i) ASSERT_EQ(kt_log_save("x\n"), 0);
    EXPECT_EQ(state().g_count, 99999);
    ASSERT_EQ(kt_log_save("x\n"), 0);  // the 100000th: file reopened
    EXPECT_EQ(state().g_count, 0);
    ASSERT_EQ(kt_log_save("y\n"), 0);
    EXPECT_EQ(state().g_count, 1);
    // Within the same minute the same file is appended to.
    std::string expected(200000, 'x');
    for (std::size_t k = 1; k < expected.size(); k += 2) expected[k] = '\n';
    EXPECT_EQ(tvtest::readText(a + "/" + kFileName), expected + "y\n");

    // In a new minute the next rotation opens a new file.
    for (int i = 1; i < 99999; ++i) ASSERT_EQ(kt_log_save("x\n"), 0);
    tvtest::FixedClock::minute() = 40;
    ASSERT_EQ(kt_log_save("x\n"), 0);
    ASSERT_EQ(kt_log_save("y\n"), 0);
    EXPECT_EQ(tvtest::readText(a + "/" + kFileName).size(), 400000u);
    EXPECT_EQ(tvtest::readText(a + "/202507151240anal_log.log"), "y\n");
}

TEST_F(KtLog, FailingWriteStopsRecording)
{
    const std::string a = makeFolder("a");
    ASSERT_EQ(symlink("/dev/full", (a + "/" + kFileName).c_str()), 0);
    cfgFor(a, "ON");
    ASSERT_EQ(start(), 0);
    ASSERT_NE(state().g_log_fp, nullptr);
    EXPECT_EQ(kt_log_save("x\n"), -2);
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_EQ(kt_log_save("x\n"), -1);

    // An unchanged configuration does not restart it.
    Captured::clear();
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_TRUE(Captured::changes().empty());
}

TEST_F(KtLog, FileThatCannotBeOpened)
{
    const std::string a = makeFolder("a");
    const std::string blocked = a + "/" + kFileName;
    mkdir(blocked.c_str(), 0755);
    cfgFor(a, "ON");
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(Captured::changes(), (Changes{{1, a}}));
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_EQ(Captured::countContaining("[E]{Unknown TAG}[kt_log_save_start]("), 1);
    EXPECT_TRUE(Captured::hasLineEnding(")" + blocked + " open error\n"));
    EXPECT_EQ(tessivar::kt_log_save_start(a.c_str()), -2);
    EXPECT_EQ(kt_log_save("x\n"), -1);
}

}  // namespace
