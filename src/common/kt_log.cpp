// File logger: follows the log configuration file and, while recording is
// switched on, appends every log line to "<folder>/<yyyymmddHHMM>anal_log.log".
//
// The configuration file is an INI file with three keys outside any section:
//   record_file_path  folder of the log files (made with its parents)
//   record_switch     "ON" records; anything else (also "on") does not
//   log_level         "trace" 4, "warn" 1, "info" 2, "error" 0; else 2
// A file holds at most 100000 lines; the next one is opened by the same
// naming rule, so a rotation within the same minute appends to the same file.
// The change handler hears (1, folder) when recording starts and (0, folder)
// when it stops.
#include "common/kt_log.hpp"

#include <cstring>

#include "common/anal_log.hpp"
#include "common/log_macros.hpp"
#include "tessivar/common.h"
#include "tessivar/lmini.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";

KtLogState s_ktLog;

// Copies at most kLogPathSize - 1 characters; longer texts are cut.
void copyText(char *dst, const char *src)
{
    size_t n = 0;
    for (; n < kLogPathSize - 1 && src[n] != '\0'; ++n) dst[n] = src[n];
    dst[n] = '\0';
}

void notifyChange(int on, const char *path)
{
    if (s_ktLog.g_cfg_change != nullptr) s_ktLog.g_cfg_change(on, path);
}

// Makes recording follow the switch as it stands: handler first, then the
// file is opened or closed.
void applySwitch()
{
    if (s_ktLog.g_record_switch == 1) {
        notifyChange(1, s_ktLog.g_record_file_path);
        kt_log_save_start(s_ktLog.g_record_file_path);
    } else {
        notifyChange(0, s_ktLog.g_record_file_path);
        kt_log_save_stop();
    }
}

// Level words compare case-sensitively; anything else is information.
int levelFromWord(const char *word)
{
    if (std::strcmp(word, "trace") == 0) return LOG_LEVEL_TRACE;
    if (std::strcmp(word, "warn") == 0) return LOG_LEVEL_WARN;
    if (std::strcmp(word, "info") == 0) return LOG_LEVEL_INFO;
    if (std::strcmp(word, "error") == 0) return LOG_LEVEL_ERROR;
    return LOG_LEVEL_INFO;
}

// The trimmed value of a key outside any section; a missing key reads as "".
void readKey(LmIni *ini, const char *key, char *value)
{
    const char *raw = ini->_iniValue(ini, "", key, "");
    copyText(value, raw != nullptr ? raw : "");
    stringTrimmed(value);
}

// Takes a configured folder. The folder in use becomes the last one; an
// existing folder takes its place at once, while a folder that has to be
// made is used from the scan that finds it existing.
void takeRecordPath(const char *folder)
{
    copyText(s_ktLog.g_last_record_file_path, s_ktLog.g_record_file_path);
    if (fileExist(folder) == 1) {
        if (fileIsDir(folder) == 1) {
            copyText(s_ktLog.g_record_file_path, folder);
        } else {
            s_ktLog.g_record_file_path[0] = '\0';
        }
    } else if (createDir(folder) != 0) {
        s_ktLog.g_record_file_path[0] = '\0';
    }
}

}  // namespace

KtLogState &ktLogState() { return s_ktLog; }

int kt_log_cfg_file_parse(const char *path, int quiet)
{
    const int level = quiet != 0 ? LOG_LEVEL_TRACE : LOG_LEVEL_ERROR;
    if (path == nullptr) {
        TV_LOG(level, kTag, "%s", kBadInput);
        return -1;
    }
    if (fileExist(path) != 1) {
        TV_LOG(level, kTag, "%s file does not exist.", path);
        return -2;
    }
    LmIni *ini = newIni();
    if (ini == nullptr) {
        TV_LOG(level, kTag, "newIni error.");
        return -3;
    }
    if (ini->_iniInit(ini, path) != 0) {
        TV_LOG(level, kTag, "init error.");
        delIni(&ini);
        return -4;
    }

    char value[kLogPathSize];
    readKey(ini, "record_file_path", value);
    if (value[0] == '\0') {
        TV_LOG(level, kTag, "Record path cannot be empty.");
    } else {
        takeRecordPath(value);
    }
    readKey(ini, "record_switch", value);
    s_ktLog.g_record_switch = std::strcmp(value, "ON") == 0 ? 1 : 0;
    readKey(ini, "log_level", value);
    s_ktLog.g_log_prior = levelFromWord(value);

    delIni(&ini);
    return 0;
}

int kt_log_save_start(const char *path)
{
    if (s_ktLog.g_record_switch != 1 || s_ktLog.g_log_fp != nullptr) return 0;
    timeval now;
    std::tm local;
    readLogClock(&now, &local);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    char name[2 * kLogPathSize];
    const char *folder = path != nullptr ? path : "";
    std::snprintf(name, sizeof name, "%s/%s%s", folder, stamp, "anal_log.log");
    // An empty folder would put the file at the root of the file system:
    // that is never what the configuration meant, so nothing is opened.
    if (folder[0] != '\0') s_ktLog.g_log_fp = std::fopen(name, "a");
    if (s_ktLog.g_log_fp == nullptr) {
        TV_LOGE(kTag, "%s open error", name);
        return -2;
    }
    s_ktLog.g_count = 0;
    return 0;
}

void kt_log_save_stop()
{
    if (s_ktLog.g_log_fp != nullptr) {
        std::fclose(s_ktLog.g_log_fp);
        s_ktLog.g_log_fp = nullptr;
    }
    s_ktLog.g_count = 0;
}

}  // namespace tessivar

using tessivar::s_ktLog;

// A start keeps the configuration file and the handler of the previous one
// unless it names new ones; folders, switch and level are read afresh.
extern "C" int kt_log_new(const char *cfgFile, LogCfgChangeFunc cfgChange, int defaultLevel)
{
    tessivar::kt_log_save_stop();
    const tessivar::KtLogState previous = s_ktLog;
    s_ktLog = tessivar::KtLogState{};
    std::memcpy(s_ktLog.g_log_cfg_file, previous.g_log_cfg_file, sizeof s_ktLog.g_log_cfg_file);
    s_ktLog.g_cfg_change = previous.g_cfg_change;
    if (cfgFile != nullptr) tessivar::copyText(s_ktLog.g_log_cfg_file, cfgFile);

    if (tessivar::kt_log_cfg_file_parse(s_ktLog.g_log_cfg_file, 0) != 0) {
        s_ktLog.g_record_file_path[0] = '\0';
        s_ktLog.g_record_switch = 0;
        s_ktLog.g_log_prior = defaultLevel;
        TV_LOGI(tessivar::kTag, "init: Use the default configuration for configuration initialization");
    }
    if (s_ktLog.g_record_file_path[0] == '\0') {
        tessivar::copyText(s_ktLog.g_record_file_path, ".");
        tessivar::copyText(s_ktLog.g_last_record_file_path, ".");
    }
    TV_LOGI(tessivar::kTag, "init record_file_path: %s, record_switch: %d, log_prior: %d",
            s_ktLog.g_record_file_path, s_ktLog.g_record_switch, s_ktLog.g_log_prior);
    if (cfgChange != nullptr) s_ktLog.g_cfg_change = cfgChange;
    tessivar::applySwitch();
    return 0;
}

extern "C" int kt_log_del(void)
{
    s_ktLog.g_record_switch = 0;
    tessivar::applySwitch();
    return 0;
}

extern "C" int kt_log_scan_conf(void)
{
    const int oldSwitch = s_ktLog.g_record_switch;
    if (tessivar::kt_log_cfg_file_parse(s_ktLog.g_log_cfg_file, 1) != 0) return -1;

    if (std::strcmp(s_ktLog.g_record_file_path, s_ktLog.g_last_record_file_path) != 0) {
        if (oldSwitch == 1) {
            tessivar::notifyChange(0, s_ktLog.g_last_record_file_path);
            tessivar::kt_log_save_stop();
        }
        if (s_ktLog.g_record_switch == 1) {
            tessivar::notifyChange(1, s_ktLog.g_record_file_path);
            tessivar::kt_log_save_start(s_ktLog.g_record_file_path);
        }
    } else if (s_ktLog.g_record_switch != oldSwitch) {
        tessivar::applySwitch();
    }
    return 0;
}

extern "C" int kt_log_prior(void) { return s_ktLog.g_log_prior; }

extern "C" int kt_log_save(const char *line)
{
    if (line == nullptr || s_ktLog.g_log_fp == nullptr) return -1;
    if (std::fputs(line, s_ktLog.g_log_fp) < 0 || std::fflush(s_ktLog.g_log_fp) != 0) {
        // Recording stays off until the switch or the folder changes.
        tessivar::kt_log_save_stop();
        return -2;
    }
    if (++s_ktLog.g_count > tessivar::kLogFileLines - 1) {
        tessivar::kt_log_save_stop();
        tessivar::kt_log_save_start(s_ktLog.g_record_file_path);
    }
    return 0;
}
