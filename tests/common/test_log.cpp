// The leveled log (line layout, levels, cut, hook), the file logger (its INI
// keys, recording switched by scans, file naming and rotation, failures), the
// INI object and the file and text helpers underneath.
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "common/test_log_helpers.hpp"
#include "tessivar/anal_log.h"
#include "tessivar/common.h"
#include "tessivar/kt_log.h"
#include "tessivar/lmini.h"

namespace {

using namespace tvtest;
const char *const kFileName = "202507151239anal_log.log";  // fixed clock: 2025-07-15 12:39

class Log : public ::testing::Test {
protected:
    LogTestGuard guard;
    tessivar::test::TempDir dir;
    std::string cfg = dir / "log.ini";
    tessivar::KtLogState &state() { return tessivar::ktLogState(); }
    int start(int fallback = 3) { return kt_log_new(cfg.c_str(), change, fallback); }
    std::string folder(const std::string &name)
    {
        mkdir((dir / name).c_str(), 0755);
        return dir / name;
    }
    void cfgFor(const std::string &path, const std::string &rest = "record_switch = ON\n")
    {
        writeText(cfg, "record_file_path = " + path + "\n" + rest);
    }
    static std::string line(char letter, int at, const std::string &msg)
    {
        return kStamp + "[" + letter + "]{t}[f](" + std::to_string(at) + ")" + msg + "\n";
    }
};

TEST_F(Log, LineLayoutAndLevelLetters)
{
    const std::string full = kStamp + "[E]{beat detect}[realtimeDetectBeat](-3)n=7 name=x 2.50\n";
    EXPECT_EQ(__print_log("realtimeDetectBeat", -3, 0, "beat detect", "n=%d name=%s %.2f", 7, "x", 2.5), int(full.size()));
    EXPECT_EQ(g_lines, std::vector<std::string>{full});
    // Levels other than 0, 1, 2, 4 print as warnings.
    const std::pair<int, char> letters[] = {{1, 'W'}, {2, 'I'}, {4, 'T'}, {3, 'W'}, {5, 'W'}, {-1, 'W'}};
    for (auto [level, letter] : letters) {
        clearCaptured();
        EXPECT_EQ(__print_log("f", 1, level, "t", "m"), int(line(letter, 1, "m").size())) << level;
        EXPECT_EQ(g_lines, std::vector<std::string>{line(letter, 1, "m")}) << level;
    }
}

TEST_F(Log, PrintLevelFilters)
{
    const struct { int prior, level; bool passes; } cases[] = {
        {2, 4, false}, {2, 2, true}, {1, 3, true}, {1, -1, true}, {1, 2, false}, {0, 3, false}, {0, 0, true},
    };
    for (const auto &c : cases) {
        tessivar::analLogState().g_print_prior = c.prior;
        clearCaptured();
        EXPECT_EQ(__print_log("f", 1, c.level, "t", "m") > 0, c.passes) << c.prior << " " << c.level;
        EXPECT_EQ(g_lines.size(), c.passes ? 1u : 0u);
    }
}

TEST_F(Log, OverlongLineIsCutKeepingItsLineEnd)
{
    // 1024-byte buffer: 1022 characters, the line end and the terminator; the
    // head is 44 characters, so 978 message characters fit whole.
    const std::string head = kStamp + "[W]{tag}[func](12)";
    for (size_t len : {977, 978, 979}) {
        clearCaptured();
        const int n = __print_log("func", 12, 1, "tag", "%s", std::string(len, 'a').c_str());
        EXPECT_EQ(n, int(std::min<size_t>(44 + len + 1, 1023))) << len;
        EXPECT_EQ(g_lines.at(0), head + std::string(std::min<size_t>(len, 978), 'a') + "\n") << len;
    }
}

TEST_F(Log, HookOrStandardOutputAndRefusals)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(log_info_print("abc\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(g_lines, std::vector<std::string>{"abc\n"});
    tessivar::analLogState().g_print_func = nullptr;  // puts() adds its own line end
    testing::internal::CaptureStdout();
    EXPECT_EQ(log_info_print("abc\n"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "abc\n\n");

    tessivar::analLogState().g_print_func = capture;
    clearCaptured();
    EXPECT_EQ(log_info_print(nullptr), -1);
    EXPECT_EQ(newLog(nullptr), -1);
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_EQ(g_lines[0].find(kStamp + "[E]{Unknown TAG}[log_info_print]("), 0u);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[log_info_print](", ")Input parameter exception.\n"), 1);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[newLog](", ")Afferent parameter anomaly.\n"), 1);
}

TEST_F(Log, MissingFileStartsWithDefaultsAndFallbackLevel)
{
    const LogConf conf = {cfg.c_str(), change, LOG_LEVEL_TRACE, capture};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_TRACE);
    EXPECT_STREQ(state().g_record_file_path, ".");
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_EQ(g_changes, (Changes{{0, "."}}));
    EXPECT_EQ(countLines("[E]{Unknown TAG}[kt_log_cfg_file_parse](", ")" + cfg + " file does not exist.\n"), 1);
    EXPECT_EQ(countLines("[I]{Unknown TAG}[kt_log_new](", "Use the default configuration"), 1);
    EXPECT_EQ(countLines("[I]", ")init record_file_path: ., record_switch: 0, log_prior: 4\n"), 1);
    EXPECT_EQ(countLines("[T]{Unknown TAG}[newLog](", ")Log new.\n"), 1);
    EXPECT_EQ(kt_log_scan_conf(), -1);
    EXPECT_EQ(kt_log_save("x\n"), -1);  // nothing open
}

TEST_F(Log, RestartWithoutPathOrHandlerKeepsThePreviousOnes)
{
    const std::string logs = folder("logs");
    cfgFor(logs, "record_switch = OFF\nlog_level = warn\n");
    ASSERT_EQ(start(), 0);
    clearCaptured();
    EXPECT_EQ(kt_log_new(nullptr, nullptr, LOG_LEVEL_TRACE), 0);
    EXPECT_STREQ(state().g_log_cfg_file, cfg.c_str());
    EXPECT_EQ(kt_log_prior(), LOG_LEVEL_WARN);  // read from the kept file, not the fallback
    EXPECT_EQ(g_changes, (Changes{{0, logs}}));  // the kept handler hears the switch
}

TEST_F(Log, LevelWordsAndSwitchValues)
{
    const std::string logs = folder("logs");
    const struct { const char *text; int level, on; } cases[] = {
        {"log_level = trace\n", 4, 0}, {"log_level = warn\n", 1, 0},  {"log_level = info\n", 2, 0},
        {"log_level = error\n", 0, 0}, {"log_level = debug\n", 2, 0}, {"log_level = TRACE\n", 2, 0},
        {"log_level = \" warn \"\n", 1, 0}, {"", 2, 0},  // trimmed; missing key
        {"record_switch = ON\n", 2, 1}, {"record_switch = on\n", 2, 0}, {"record_switch = 1\n", 2, 0},
        {"record_switch = \" ON \"\n", 2, 1},
    };
    for (const auto &c : cases) {
        cfgFor(logs, c.text);
        clearCaptured();
        ASSERT_EQ(start(), 0);
        EXPECT_EQ(kt_log_prior(), c.level) << c.text;
        EXPECT_EQ(g_changes, (Changes{{c.on, logs}})) << c.text;
        EXPECT_EQ(state().g_log_fp != nullptr, c.on == 1) << c.text;
        kt_log_del();
    }
}

TEST_F(Log, RecordPathIsTrimmedCheckedAndMadeForTheNextScan)
{
    const std::string logs = folder("logs"), plain = dir / "plain.txt", made = dir / "a/b/c";
    writeText(plain, "x");
    cfgFor("\"  " + logs + "\t \"", "");
    ASSERT_EQ(start(), 0);
    EXPECT_STREQ(state().g_record_file_path, logs.c_str());
    cfgFor(plain, "");  // an existing non-folder clears it; the start falls back to "."
    ASSERT_EQ(start(), 0);
    EXPECT_STREQ(state().g_record_file_path, ".");
    for (const char *text : {"record_file_path =   \n", "record_switch = OFF\n"}) {  // empty or missing
        writeText(cfg, text);
        clearCaptured();
        ASSERT_EQ(start(), 0);
        EXPECT_STREQ(state().g_record_file_path, ".");
        EXPECT_EQ(countLines("[E]{Unknown TAG}[kt_log_cfg_file_parse](", ")Record path cannot be empty.\n"), 1);
    }
    cfgFor(made, "");  // made with its parents, taken at the next scan
    ASSERT_EQ(start(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(made));
    EXPECT_STREQ(state().g_record_file_path, ".");
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, made.c_str());
    EXPECT_STREQ(state().g_last_record_file_path, ".");
    writeText(cfg, "record_file_path =\n");  // in a scan refused quietly
    clearCaptured();
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, made.c_str());
    EXPECT_EQ(countLines("[T]{Unknown TAG}[kt_log_cfg_file_parse](", ")Record path cannot be empty.\n"), 1);
    cfgFor(plain + "/sub", "");  // cannot be made: path cleared
    ASSERT_EQ(kt_log_scan_conf(), 0);
    EXPECT_STREQ(state().g_record_file_path, "");
    EXPECT_STREQ(state().g_last_record_file_path, made.c_str());
}

TEST_F(Log, RecordingFollowsSwitchAndFolder)
{
    const std::string a = folder("a"), b = folder("b"), fileA = a + "/" + kFileName;
    cfgFor(a, "record_switch = ON\nlog_level = trace\n");
    const LogConf conf = {cfg.c_str(), change, LOG_LEVEL_INFO, capture};
    ASSERT_EQ(newLog(&conf), 0);
    EXPECT_EQ(g_changes, (Changes{{1, a}}));
    clearCaptured();
    ASSERT_GT(__print_log("f", 5, LOG_LEVEL_INFO, "t", "first %d", 1), 0);
    const std::string before = readText(fileA);  // the file gets what the hook gets
    EXPECT_EQ(before.substr(before.size() - line('I', 5, "first 1").size()), line('I', 5, "first 1"));
    EXPECT_EQ(state().g_count, 2);  // "Log new." and the line above

    const struct { std::string path, rest; Changes changes; bool open; } scans[] = {
        {a, "record_switch = OFF\n", {{0, a}}, false},
        {a, "record_switch = ON\n", {{1, a}}, true},   // same minute: same file appended
        {b, "record_switch = ON\n", {{0, a}, {1, b}}, true},
        {a, "record_switch = OFF\n", {{0, b}}, false},  // new folder while switching off
    };
    int at = 6;
    for (const auto &s : scans) {
        cfgFor(s.path, s.rest + "log_level = trace\n");
        clearCaptured();
        ASSERT_EQ(logScanConf(), 0);
        EXPECT_EQ(g_changes, s.changes) << at;
        EXPECT_EQ(state().g_log_fp != nullptr, s.open) << at;
        __print_log("f", ++at, LOG_LEVEL_INFO, "t", "m");
    }
    EXPECT_EQ(readText(fileA), before + line('I', 8, "m"));
    EXPECT_EQ(readText(b + "/" + kFileName), line('I', 9, "m"));
    clearCaptured();
    EXPECT_EQ(delLog(), 0);
    EXPECT_EQ(g_changes, (Changes{{0, a}}));
    EXPECT_EQ(countLines("[T]{Unknown TAG}[delLog](", ")Log free.\n"), 1);
}

TEST_F(Log, UnreadableFileAtScanChangesNothing)
{
    cfgFor(folder("a"), "record_switch = ON\nlog_level = warn\n");
    const LogConf conf = {cfg.c_str(), change, LOG_LEVEL_TRACE, capture};
    ASSERT_EQ(newLog(&conf), 0);
    std::remove(cfg.c_str());
    clearCaptured();
    EXPECT_EQ(logScanConf(), 0);
    EXPECT_EQ(tessivar::analLogState().g_print_prior, LOG_LEVEL_WARN);
    EXPECT_NE(state().g_log_fp, nullptr);
    EXPECT_TRUE(g_changes.empty());
    EXPECT_EQ(__print_log("f", 1, LOG_LEVEL_INFO, "t", "m"), 0);
}

TEST_F(Log, RotationAfter100000Lines)
{
    const std::string a = folder("a");
    cfgFor(a);
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(kt_log_save(nullptr), -1);
    for (int i = 0; i < 99999; ++i) ASSERT_EQ(kt_log_save("x\n"), 0);
    EXPECT_EQ(state().g_count, 99999);
    ASSERT_EQ(kt_log_save("x\n"), 0);  // the 100000th: file reopened
    EXPECT_EQ(state().g_count, 0);
    ASSERT_EQ(kt_log_save("y\n"), 0);
    std::string expected;
    for (int i = 0; i < 100000; ++i) expected += "x\n";
    EXPECT_EQ(readText(a + "/" + kFileName), expected + "y\n");  // same minute: same file
    for (int i = 1; i < 99999; ++i) ASSERT_EQ(kt_log_save("x\n"), 0);
    g_minute = 40;
    ASSERT_EQ(kt_log_save("x\n"), 0);
    ASSERT_EQ(kt_log_save("y\n"), 0);
    EXPECT_EQ(readText(a + "/" + kFileName).size(), 400000u);
    EXPECT_EQ(readText(a + "/202507151240anal_log.log"), "y\n");
}

TEST_F(Log, FailingWriteOrOpenStopsRecording)
{
    const std::string a = folder("a"), b = folder("b");
    ASSERT_EQ(symlink("/dev/full", (a + "/" + kFileName).c_str()), 0);
    cfgFor(a);
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(kt_log_save("x\n"), -2);
    EXPECT_EQ(state().g_log_fp, nullptr);
    clearCaptured();
    ASSERT_EQ(kt_log_scan_conf(), 0);  // an unchanged configuration does not restart it
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_TRUE(g_changes.empty());

    mkdir((b + "/" + kFileName).c_str(), 0755);  // a folder in the way of the file
    cfgFor(b);
    clearCaptured();
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(g_changes, (Changes{{1, b}}));
    EXPECT_EQ(state().g_log_fp, nullptr);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[kt_log_save_start](", ")" + b + "/" + kFileName + " open error\n"), 1);
    EXPECT_EQ(tessivar::kt_log_save_start(b.c_str()), -2);
}

TEST_F(Log, FileAndTextHelpers)
{
    const std::string plain = dir / "plain.txt";
    writeText(plain, "x");
    EXPECT_EQ(fileExist(dir.path().c_str()), 1);
    EXPECT_EQ(fileExist((dir / "missing").c_str()), 0);
    EXPECT_EQ(fileIsDir(dir.path().c_str()), 1);
    EXPECT_EQ(fileIsDir(plain.c_str()), 0);
    EXPECT_TRUE(g_lines.empty());
    EXPECT_EQ(fileIsDir((dir / "missing").c_str()), -2);
    EXPECT_EQ(countLines(")stat error(No such file or directory).\n"), 1);

    EXPECT_EQ(createDir((dir / "a/b/c").c_str()), 0);
    EXPECT_EQ(createDir((dir.path() + "/x\\y\\z").c_str()), 0);  // '\' separates too
    EXPECT_EQ(createDir(("  \t" + dir.path() + "/t/u/  ").c_str()), 0);  // trimmed
    for (const char *made : {"a/b/c", "x/y/z", "t/u"}) EXPECT_TRUE(std::filesystem::is_directory(dir / made)) << made;
    EXPECT_EQ(createDir("   "), 0);
    clearCaptured();
    EXPECT_EQ(createDir((plain + "/sub").c_str()), -4);  // the last part
    EXPECT_EQ(createDir((plain + "/sub/deeper").c_str()), -3);  // a parent
    EXPECT_EQ(countLines("[E]{Unknown TAG}[", ")mkdir error(Not a directory).\n"), 2);

    char text[] = " \t ab c \r\n", blank[] = " \t\n ";
    EXPECT_EQ(stringTrimmed(text), text);
    EXPECT_STREQ(text, "ab c");
    EXPECT_STREQ(stringTrimmed(blank), "");
    char buffer[32];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(systemTime(buffer, 19), buffer);  // accepted, no room for the last digit
    EXPECT_EQ(std::strlen(buffer), 18u);
    const std::time_t now = std::time(nullptr);
    EXPECT_EQ(systemTime(buffer, 20), buffer);
    char want[32];
    std::strftime(want, sizeof want, "%Y-%m-%d %H:%M", std::localtime(&now));
    EXPECT_EQ(std::string(buffer).substr(0, 16), want);  // seconds may tick

    clearCaptured();
    EXPECT_EQ(fileExist(nullptr), -1);
    EXPECT_EQ(fileIsDir(nullptr), -1);
    EXPECT_EQ(createDir(nullptr), -1);
    EXPECT_EQ(stringTrimmed(nullptr), nullptr);
    EXPECT_EQ(systemTime(buffer, 18), nullptr);
    EXPECT_EQ(countLines("[E]{Unknown TAG}[", ")Input parameter exception.\n"), 5);
}

// The INI object.
class Ini : public ::testing::Test {
protected:
    tessivar::test::TempDir dir;
    LmIni *ini = newIni();
    std::string sample = dir / "sample.ini";
    Ini() { writeText(sample, "top = 1\nname = \"  spaced  \"\n[Net]\nHost = example\nport = 8080\n[empty]\n[disk]\np = /d\n"); }
    ~Ini() override { delIni(&ini); }
    const char *value(const char *sec, const char *key) { return ini->_iniValue(ini, sec, key, "-"); }
};

TEST_F(Ini, ReadsValuesSectionsAndKeys)
{
    ASSERT_EQ(ini->_iniInit(ini, sample.c_str()), 0);
    EXPECT_STREQ(value("", "name"), "  spaced  ");
    EXPECT_STREQ(value("NET", "HOST"), "example");
    const char *def = "fallback";
    EXPECT_EQ(ini->_iniValue(ini, "net", "missing", def), def);  // the default itself
    EXPECT_EQ(ini->_iniFindKey(ini, "net", "port"), 1);
    EXPECT_EQ(ini->_iniFindKey(ini, "net", "top"), 0);
    EXPECT_EQ(ini->_iniSectionNumber(ini), 3);
    EXPECT_STREQ(ini->_iniSectionName(ini, 2), "disk");
    EXPECT_EQ(ini->_iniSectionName(ini, 3), nullptr);
    const std::pair<const char *, int> keys[] = {{"Net", 2}, {"empty", 0}, {"", 2}, {"nosuch", 0}};
    for (auto [sec, n] : keys) EXPECT_EQ(ini->_iniKeyNumber(ini, sec), n) << sec;
    EXPECT_STREQ(ini->_iniSectionKey(ini, "net", 1), "port");
    EXPECT_EQ(ini->_iniSectionKey(ini, "net", 2), nullptr);  // past the last key
    EXPECT_STREQ(ini->_iniSectionKey(ini, "", 1), "name");
    EXPECT_EQ(ini->_iniSectionKey(ini, "di", 0), nullptr);  // no prefix match for "disk"
}

TEST_F(Ini, LoadsReplaceAndFailedLoadsKeepTheDictionary)
{
    const std::string bad = dir / "bad.ini", second = dir / "second.ini";
    writeText(bad, "[ok]\nthis line is no entry\n");
    writeText(second, "b = 2\n");
    EXPECT_EQ(ini->_iniInit(ini, (dir / "missing.ini").c_str()), -2);
    EXPECT_EQ(ini->_iniInit(ini, bad.c_str()), -3);
    EXPECT_EQ(ini->dictionary, nullptr);
    ASSERT_EQ(ini->_iniInit(ini, sample.c_str()), 0);
    EXPECT_EQ(ini->_iniInit(ini, (dir / "missing.ini").c_str()), -2);
    EXPECT_EQ(ini->_iniInit(ini, bad.c_str()), -3);
    EXPECT_STREQ(value("net", "host"), "example");
    ASSERT_EQ(ini->_iniInit(ini, second.c_str()), 0);
    EXPECT_STREQ(value("net", "host"), "-");
    EXPECT_STREQ(value("", "b"), "2");
    EXPECT_EQ(ini->_iniRelease(ini), 0);
    EXPECT_EQ(ini->_iniRelease(ini), -1);
}

TEST_F(Ini, SetDeleteSaveAndLoadBack)
{
    ASSERT_EQ(ini->_iniCreate(ini), 0);
    const char *const sets[][3] = {{"", "record_switch", "ON"}, {"", "log_level", "info"},
                                   {"Net", "Host", "first"}, {"net", "host", "second"}, {"net", "port", "80"}};
    for (const auto &s : sets) EXPECT_EQ(ini->_iniSetValue(ini, s[0], s[1], s[2]), 0) << s[1];
    EXPECT_EQ(ini->_iniDeleteKey(ini, "net", "port"), 0);
    EXPECT_EQ(ini->_iniDeleteKey(ini, "", "log_level"), 0);
    EXPECT_EQ(ini->_iniDeleteKey(ini, "net", "never"), 0);
    const std::string out = dir / "out.ini";
    ASSERT_EQ(ini->_iniSave(ini, out.c_str()), 0);
    EXPECT_EQ(ini->_iniSave(ini, (dir / "no/such/folder.ini").c_str()), -2);
    ASSERT_EQ(ini->_iniInit(ini, out.c_str()), 0);
    EXPECT_STREQ(value("", "record_switch"), "ON");
    EXPECT_STREQ(value("", "log_level"), "-");
    EXPECT_STREQ(value("net", "host"), "second");
    EXPECT_STREQ(value("net", "port"), "-");
    EXPECT_EQ(ini->_iniSectionNumber(ini), 1);
}

TEST_F(Ini, NullArgumentsAreRefused)
{
    EXPECT_EQ(ini->_iniInit(nullptr, "x"), -1);
    EXPECT_EQ(ini->_iniValue(nullptr, "net", "host", "d"), nullptr);
    EXPECT_EQ(ini->_iniSectionNumber(ini), -1);  // no dictionary yet
    EXPECT_EQ(ini->_iniSetValue(ini, "net", "host", "v"), -1);
    EXPECT_EQ(ini->_iniSave(ini, (dir / "out.ini").c_str()), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.ini"));
    ASSERT_EQ(ini->_iniInit(ini, sample.c_str()), 0);
    EXPECT_EQ(ini->_iniInit(ini, nullptr), -1);
    EXPECT_EQ(ini->_iniFindKey(ini, "net", nullptr), -1);
    EXPECT_EQ(ini->_iniValue(ini, "net", "host", nullptr), nullptr);
    EXPECT_EQ(ini->_iniSetValue(ini, "net", "host", nullptr), -1);
    EXPECT_EQ(ini->_iniDeleteKey(ini, nullptr, "host"), -1);
    EXPECT_STREQ(value("net", "host"), "example");
    EXPECT_EQ(delIni(nullptr), -1);
    LmIni *none = nullptr;
    EXPECT_EQ(delIni(&none), -1);
    EXPECT_EQ(delIni(&ini), 0);
    EXPECT_EQ(ini, nullptr);

    const struct { const char *a, *b; int n, want; } cmp[] = {
        {"Sec:key", "sec:", 4, 0}, {"abc", "ABD", 3, 'c' - 'd'}, {"abZ", "ABa", 3, 'z' - 'a'},
        {"ab", "abcdef", 10, 0}, {"", "xyz", 3, 0}, {"abc", "xyz", 0, 0}, {nullptr, "a", 1, -1},
    };
    for (const auto &c : cmp) EXPECT_EQ(_lmstrncasecmp(c.a, c.b, c.n), c.want) << (c.a ? c.a : "null") << " " << c.b;
}

}  // namespace
