// The leveled log (line layout, levels, cut, hook), the file logger (INI keys, recording switched by scans,
// file naming and rotation, failures), the INI object and the file helpers. A fixed clock stamps every line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "common/anal_log.hpp"
#include "common/kt_log.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/common.h"
#include "tessivar/lmini.h"

namespace {

using tessivar::test::readText;
using tessivar::test::writeText;
using Changes = std::vector<std::pair<int, std::string>>;
using Ints = std::vector<int>;
const std::string kStamp = "2025-07-15 12:39:35.000042", kFileName = "202507151239anal_log.log";
std::vector<std::string> g_lines;
Changes g_changes;

int fixedClock(timeval *now, std::tm *local)
{
    *local = std::tm{}, local->tm_year = 2025 - 1900, local->tm_mon = 6, local->tm_mday = 15;
    local->tm_hour = 12, local->tm_min = 39, local->tm_sec = 35, *now = timeval{1752583175, 42};
    return 0;
}
void capture(const char *line) { g_lines.emplace_back(line); }
int change(int on, const char *path) { return g_changes.emplace_back(on, path ? path : "(null)"), 0; }
// Captured lines containing both parts.
int countLines(const std::string &a, const std::string &b = "")
{
    auto both = [&](const std::string &l) { return l.find(a) != std::string::npos && l.find(b) != std::string::npos; };
    return int(std::count_if(g_lines.begin(), g_lines.end(), both));
}

// Fixed clock, capturing hook and print level 4; afterwards the log is stopped
// and its state restored.
class Log : public ::testing::Test {
protected:
    tessivar::AnalLogState saved = tessivar::analLogState();
    tessivar::test::TempDir dir;
    std::string cfg = dir / "log.ini";
    tessivar::AnalLogState &alog = tessivar::analLogState();
    Log() { clear(), alog.g_print_prior = LOG_LEVEL_TRACE, alog.g_print_func = capture, alog.clock = fixedClock; }
    ~Log() override { delLog(), tessivar::ktLogState() = tessivar::KtLogState{}, alog = saved; }
    static void clear() { g_lines.clear(), g_changes.clear(); }
    int start(const std::string &text) { return writeText(cfg, text), kt_log_new(cfg.c_str(), change, 3); }
    std::string folder(const std::string &name) { return mkdir((dir / name).c_str(), 0755), dir / name; }
    static std::string line(char letter, int at) { return kStamp + "[" + letter + "]{t}[f](" + std::to_string(at) + ")m\n"; }
    // The file logger in one line: folder | last folder | switch | file open | level.
    static std::string logState()
    {
        const auto &s = tessivar::ktLogState();
        return std::string(s.g_record_file_path) + "|" + s.g_last_record_file_path + "|" + std::to_string(s.g_record_switch) +
               (s.g_log_fp ? "|open|" : "|closed|") + std::to_string(s.g_log_prior);
    }
};

TEST_F(Log, LineLayoutLevelsAndFilter)
{
    const std::string full = kStamp + "[E]{beat detect}[realtimeDetectBeat](-3)n=7 name=x 2.50\n";
    EXPECT_EQ(__print_log("realtimeDetectBeat", -3, 0, "beat detect", "n=%d name=%s %.2f", 7, "x", 2.5), int(full.size()));
    EXPECT_EQ(g_lines, std::vector<std::string>{full});
    // Levels other than 0, 1, 2, 4 count as warnings; a line passes when its
    // level is at most the print level.
    const struct { int prior, level; char letter; } cases[] = {
        {1, 1, 'W'}, {2, 2, 'I'}, {4, 4, 'T'}, {1, 3, 'W'}, {1, 5, 'W'}, {1, -1, 'W'}, {2, 4, 0}, {1, 2, 0}, {0, 3, 0},
    };
    for (const auto &c : cases) {
        alog.g_print_prior = c.prior;
        clear();
        EXPECT_EQ(__print_log("f", 1, c.level, "t", "m"), c.letter ? int(line(c.letter, 1).size()) : 0) << c.level;
        EXPECT_EQ(g_lines, c.letter ? std::vector<std::string>{line(c.letter, 1)} : std::vector<std::string>{}) << c.level;
    }
    // 1024-byte buffer: 1022 characters, line end, terminator; after the 44-character head 978 fit, the 979th is cut.
    alog.g_print_prior = LOG_LEVEL_TRACE;
    EXPECT_EQ(__print_log("func", 12, 1, "tag", "%s", std::string(979, 'a').c_str()), 1023);
    EXPECT_EQ(g_lines.back(), kStamp + "[W]{tag}[func](12)" + std::string(978, 'a') + "\n");
}

TEST_F(Log, HookOrStandardOutputAndRefusals)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(log_info_print("abc\n"), 0);
    alog.g_print_func = nullptr;  // puts() adds its own line end
    EXPECT_EQ(log_info_print("def\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "def\n\n");
    EXPECT_EQ(g_lines, std::vector<std::string>{"abc\n"});
    alog.g_print_func = capture;
    EXPECT_EQ(Ints({log_info_print(nullptr), newLog(nullptr)}), Ints({-1, -1}));
    EXPECT_EQ(countLines("[E]{Unknown TAG}[log_info_print](", ")Input parameter exception.\n") + countLines("[E]{Unknown TAG}[newLog](", ")Afferent parameter anomaly.\n"), 2);
}

TEST_F(Log, MissingFileStartsWithDefaultsAndFallbackLevel)
{
    const LogConf conf = {cfg.c_str(), change, LOG_LEVEL_TRACE, capture};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(alog.g_print_prior, LOG_LEVEL_TRACE);
    EXPECT_EQ(logState(), ".|.|0|closed|4");
    EXPECT_EQ(g_changes, (Changes{{0, "."}}));
    EXPECT_EQ(countLines("[E]{Unknown TAG}[kt_log_cfg_file_parse](", ")" + cfg + " file does not exist.\n"), 1);
    EXPECT_EQ(countLines("[I]{Unknown TAG}[kt_log_new](", ")init: Use the default configuration for configuration initialization"), 1);
    EXPECT_EQ(countLines("[I]", ")init record_file_path: ., record_switch: 0, log_prior: 4\n"), 1);
    EXPECT_EQ(countLines("[T]{Unknown TAG}[newLog](", ")Log new.\n"), 1);
    EXPECT_EQ(Ints({kt_log_scan_conf(), kt_log_save("x\n"), kt_log_save(nullptr)}), Ints(3, -1));  // nothing to scan or open
}

TEST_F(Log, RestartKeepsTheFileAndHandlerAndAnUnreadableScanChangesNothing)
{
    const std::string logs = folder("logs");
    ASSERT_EQ(start("record_file_path = " + logs + "\nrecord_switch = ON\nlog_level = warn\n"), 0);
    clear();
    EXPECT_EQ(kt_log_new(nullptr, nullptr, LOG_LEVEL_TRACE), 0);
    EXPECT_EQ(logState(), logs + "||1|open|1");  // level from the kept file, not the fallback
    EXPECT_EQ(g_changes, (Changes{{1, logs}}));  // the kept handler hears the switch
    clear(), std::remove(cfg.c_str());
    EXPECT_EQ(logScanConf(), 0);
    EXPECT_EQ(alog.g_print_prior, LOG_LEVEL_WARN);
    EXPECT_EQ(logState(), logs + "||1|open|1");
    EXPECT_TRUE(g_changes.empty());
}

TEST_F(Log, LevelWordsAndSwitchValues)
{
    const std::string logs = folder("logs");
    const struct { const char *text; int level, on; } cases[] = {
        {"log_level = trace\n", 4, 0}, {"log_level = warn\n", 1, 0},  {"log_level = info\n", 2, 0},
        {"log_level = error\n", 0, 0}, {"log_level = debug\n", 2, 0}, {"log_level = TRACE\n", 2, 0},
        {"log_level = \" warn \"\n", 1, 0}, {"", 2, 0},  // trimmed; a missing key
        {"record_switch = ON\n", 2, 1}, {"record_switch = on\n", 2, 0}, {"record_switch = \" ON \"\n", 2, 1},
    };
    for (const auto &c : cases) {
        clear();
        ASSERT_EQ(start("record_file_path = " + logs + "\n" + c.text), 0);
        EXPECT_EQ(logState(), logs + "||" + (c.on ? "1|open|" : "0|closed|") + std::to_string(c.level)) << c.text;
        EXPECT_EQ(g_changes, (Changes{{c.on, logs}})) << c.text;
    }
}

TEST_F(Log, RecordPathIsTrimmedCheckedAndMadeForTheNextScan)
{
    const std::string logs = folder("logs"), plain = dir / "plain.txt", made = dir / "a/b/c";
    writeText(plain, "x");
    const struct { std::string text; bool scan; std::string path, last; const char *message; } steps[] = {
        {"record_file_path = \"  " + logs + "\t \"\n", false, logs, "", nullptr},  // no earlier path: last cleared
        {"record_file_path = " + plain + "\n", false, ".", ".", nullptr},  // no folder: start falls back to "."
        {"record_file_path =   \n", false, ".", ".", "[E]{Unknown TAG}[kt_log_cfg_file_parse]("},
        {"record_switch = OFF\n", false, ".", ".", "[E]{Unknown TAG}[kt_log_cfg_file_parse]("},
        {"record_file_path = " + made + "\n", false, ".", ".", nullptr},  // made with its parents ...
        {"record_file_path = " + made + "\n", true, made, ".", nullptr},  // ... and taken at the next scan
        {"record_file_path =\n", true, made, ".", "[T]{Unknown TAG}[kt_log_cfg_file_parse]("},  // quietly
        {"record_file_path = " + plain + "/sub\n", true, "", made, nullptr},  // cannot be made: cleared
    };
    for (const auto &s : steps) {
        clear();
        ASSERT_EQ(s.scan ? (writeText(cfg, s.text), kt_log_scan_conf()) : start(s.text), 0) << s.text;
        EXPECT_EQ(logState(), s.path + "|" + s.last + "|0|closed|2") << s.text;
        if (s.message) { EXPECT_EQ(countLines(s.message, ")Record path cannot be empty.\n"), 1) << s.text; }
    }
    EXPECT_TRUE(std::filesystem::is_directory(made));
}

TEST_F(Log, RecordingFollowsSwitchAndFolder)
{
    const std::string a = folder("a"), b = folder("b");
    writeText(cfg, "record_file_path = " + a + "\nrecord_switch = ON\n");
    const LogConf conf = {cfg.c_str(), change, LOG_LEVEL_INFO, capture};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(g_changes, (Changes{{1, a}}));
    __print_log("f", 5, LOG_LEVEL_INFO, "t", "m");
    const std::string before = readText(a + "/" + kFileName);  // the file gets what the hook gets: line 5 and later
    const struct { std::string path, on; Changes changes; bool open; } scans[] = {
        {a, "OFF", {{0, a}}, false},
        {a, "ON", {{1, a}}, true},  // same minute: same file appended
        {b, "ON", {{0, a}, {1, b}}, true},
        {a, "OFF", {{0, b}}, false},  // new folder while switching off
    };
    int at = 6;
    for (const auto &s : scans) {
        writeText(cfg, "record_file_path = " + s.path + "\nrecord_switch = " + s.on + "\n");
        clear();
        ASSERT_EQ(logScanConf(), 0);
        EXPECT_EQ(g_changes, s.changes) << at;
        EXPECT_EQ(tessivar::ktLogState().g_log_fp != nullptr, s.open) << at;
        __print_log("f", ++at, LOG_LEVEL_INFO, "t", "m");
    }
    EXPECT_EQ(readText(a + "/" + kFileName), before + line('I', 8));
    EXPECT_EQ(readText(b + "/" + kFileName), line('I', 9));
    clear();
    EXPECT_EQ(delLog(), 0);
    EXPECT_EQ(g_changes, (Changes{{0, a}}));
    EXPECT_EQ(alog.g_print_func, nullptr);  // the host may unload its hook once the log stops
}

TEST_F(Log, RotationAfter100000Lines)
{
    const std::string a = folder("a");
    ASSERT_EQ(start("record_file_path = " + a + "\nrecord_switch = ON\n"), 0);
    for (int i = 0; i < 99999; ++i) ASSERT_EQ(kt_log_save("x\n"), 0);
    EXPECT_EQ(tessivar::ktLogState().g_count, 99999);
    ASSERT_EQ(kt_log_save("x\n"), 0);  // the 100000th: file reopened
    EXPECT_EQ(tessivar::ktLogState().g_count, 0);
    ASSERT_EQ(kt_log_save("y\n"), 0);
    EXPECT_EQ(readText(a + "/" + kFileName).size(), 200002u);  // same minute: same file
}

TEST_F(Log, FailingWriteOrOpenStopsRecording)
{
    const std::string a = folder("a"), b = folder("b");
    ASSERT_EQ(symlink("/dev/full", (a + "/" + kFileName).c_str()), 0);
    ASSERT_EQ(start("record_file_path = " + a + "\nrecord_switch = ON\n"), 0);
    EXPECT_EQ(kt_log_save("x\n"), -2);
    clear();
    ASSERT_EQ(kt_log_scan_conf(), 0);  // an unchanged configuration does not restart it
    EXPECT_EQ(logState(), a + "|" + a + "|1|closed|2");
    EXPECT_TRUE(g_changes.empty());
    mkdir((b + "/" + kFileName).c_str(), 0755);  // a folder in the way of the file
    ASSERT_EQ(start("record_file_path = " + b + "\nrecord_switch = ON\n"), 0);
    EXPECT_EQ(g_changes, (Changes{{1, b}}));
    EXPECT_EQ(logState(), b + "||1|closed|2");
    EXPECT_EQ(countLines("[E]{Unknown TAG}[kt_log_save_start](", ")" + b + "/" + kFileName + " open error\n"), 1);
}

TEST_F(Log, FileHelpers)
{
    const std::string plain = dir / "plain.txt", missing = dir / "missing";
    writeText(plain, "x");
    // Parents made, '\' separates too, trimmed, blank is nothing to do; a file in the way of the last part or a parent.
    EXPECT_EQ(Ints({fileExist(plain.c_str()), fileExist(missing.c_str()), fileIsDir(dir.path().c_str()),
                    fileIsDir(plain.c_str()), fileIsDir(missing.c_str()), createDir((dir / "a/b/c").c_str()),
                    createDir((dir.path() + "/x\\y\\z").c_str()), createDir(("  \t" + dir.path() + "/t/u/  ").c_str()),
                    createDir("   "), createDir((plain + "/sub").c_str()), createDir((plain + "/sub/deeper").c_str()),
                    fileExist(nullptr), fileIsDir(nullptr), createDir(nullptr)}),
              Ints({1, 0, 1, 0, -2, 0, 0, 0, 0, -4, -3, -1, -1, -1}));
    for (const char *made : {"a/b/c", "x/y/z", "t/u"}) EXPECT_TRUE(std::filesystem::is_directory(dir / made)) << made;
    EXPECT_EQ(countLines(")stat error(No such file or directory).\n"), 1);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[", ")mkdir error(Not a directory).\n"), 2);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[", ")Input parameter exception.\n"), 3);
}

class Ini : public ::testing::Test {
protected:
    tessivar::test::TempDir dir;
    LmIni *ini = newIni();
    std::string sample = dir / "sample.ini", bad = dir / "bad.ini", other = dir / "other.ini";
    Ini() { writeText(bad, "[ok]\nthis line is no entry\n"), writeText(other, "b = 2\n"), writeText(sample, kSample); }
    static constexpr const char *kSample = "top = 1\nname = \"  spaced  \"\n[Net]\nHost = example\nport = 8080\n[empty]\n[disk]\np = /d\n";
    ~Ini() override { delIni(&ini); }
    std::string value(const char *sec, const char *key) { return ini->_iniValue(ini, sec, key, "-"); }
};

TEST_F(Ini, ReadsValuesSectionsAndKeys)
{
    ASSERT_EQ(ini->_iniInit(ini, sample.c_str()), 0);
    EXPECT_EQ(value("", "name") + "|" + value("NET", "HOST"), "  spaced  |example");
    EXPECT_EQ(ini->_iniValue(ini, "net", "missing", kSample), kSample);  // the default itself
    EXPECT_EQ(Ints({ini->_iniFindKey(ini, "net", "port"), ini->_iniFindKey(ini, "net", "top"), ini->_iniSectionNumber(ini),
                    ini->_iniKeyNumber(ini, "Net"), ini->_iniKeyNumber(ini, "empty"), ini->_iniKeyNumber(ini, "")}),
              Ints({1, 0, 3, 2, 0, 2}));
    EXPECT_STREQ(ini->_iniSectionName(ini, 2), "disk");
    EXPECT_EQ(ini->_iniSectionName(ini, 3), nullptr);
    EXPECT_STREQ(ini->_iniSectionKey(ini, "net", 1), "port");
    EXPECT_EQ(ini->_iniSectionKey(ini, "net", 2), nullptr);  // past the last key
    EXPECT_STREQ(ini->_iniSectionKey(ini, "", 1), "name");
    EXPECT_EQ(ini->_iniSectionKey(ini, "di", 0), nullptr);  // no prefix match for "disk"
}

TEST_F(Ini, LoadsReplaceAndFailedLoadsKeepTheDictionary)
{
    const std::string missing = dir / "missing.ini";
    EXPECT_EQ(Ints({ini->_iniInit(ini, missing.c_str()), ini->_iniInit(ini, bad.c_str())}), Ints({-2, -3}));
    EXPECT_EQ(ini->dictionary, nullptr);
    ASSERT_EQ(ini->_iniInit(ini, sample.c_str()), 0);
    EXPECT_EQ(Ints({ini->_iniInit(ini, missing.c_str()), ini->_iniInit(ini, bad.c_str())}), Ints({-2, -3}));
    EXPECT_EQ(value("net", "host"), "example");
    ASSERT_EQ(ini->_iniInit(ini, other.c_str()), 0);
    EXPECT_EQ(value("net", "host") + value("", "b"), "-2");
    EXPECT_EQ(Ints({ini->_iniRelease(ini), ini->_iniRelease(ini)}), Ints({0, -1}));
}

TEST_F(Ini, SetSaveLoadAndRefusals)
{
    EXPECT_EQ(Ints({ini->_iniSectionNumber(ini), ini->_iniSave(ini, other.c_str()),  // no dictionary yet
                    ini->_iniCreate(ini), ini->_iniSetValue(ini, "", "record_switch", "ON"),
                    ini->_iniSetValue(ini, "Net", "Host", "1"), ini->_iniSetValue(ini, "net", "host", "second"),
                    ini->_iniSetValue(ini, "net", "port", "80"), ini->_iniDeleteKey(ini, "net", "port"),
                    ini->_iniDeleteKey(ini, "net", "never"), ini->_iniSave(ini, other.c_str()),
                    ini->_iniSave(ini, (dir / "no/such.ini").c_str()), ini->_iniInit(ini, other.c_str())}),
              Ints({-1, -1, 0, 0, 0, 0, 0, 0, 0, 0, -2, 0}));
    EXPECT_EQ(value("", "record_switch") + value("net", "host") + value("net", "port"), "ONsecond-");
    EXPECT_EQ(Ints({ini->_iniInit(nullptr, "x"), ini->_iniInit(ini, nullptr), ini->_iniFindKey(ini, "net", nullptr),
                    ini->_iniSetValue(ini, "net", "host", nullptr), ini->_iniDeleteKey(ini, nullptr, "host")}),
              Ints(5, -1));
    EXPECT_EQ(ini->_iniValue(ini, "net", "host", nullptr), nullptr);
    EXPECT_EQ(value("net", "host"), "second");
    LmIni *none = nullptr;
    EXPECT_EQ(Ints({delIni(nullptr), delIni(&none), delIni(&ini)}), Ints({-1, -1, 0}));
    EXPECT_EQ(ini, nullptr);
    EXPECT_EQ(Ints({_lmstrncasecmp("Sec:key", "sec:", 4), _lmstrncasecmp("abZ", "ABa", 3), _lmstrncasecmp("ab", "abcdef", 10),
                    _lmstrncasecmp("abc", "xyz", 0), _lmstrncasecmp(nullptr, "a", 1)}),
              Ints({0, 'z' - 'a', 0, 0, -1}));  // the shorter text decides; n = 0 compares nothing
}

}  // namespace
