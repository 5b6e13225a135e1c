// Leveled log: one line per message, filtered by the print level, handed to
// the print hook (or standard output) and to the file logger.
//
// Line layout, parts joined without separators:
//   "yyyy-mm-dd HH:MM:SS" "." microseconds (6 digits) "[L]" "{tag}"
//   "[function](line)" message "\n"
// built in a 1024-byte buffer on the caller's stack.
#include "common/anal_log.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/log_macros.hpp"
#include "tessivar/kt_log.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "Unknown TAG";
constexpr size_t kLineSize = 1024;

AnalLogState s_analLog;

// Levels other than error, information and trace are warnings.
int mapLevel(int level)
{
    switch (level) {
    case LOG_LEVEL_ERROR:
    case LOG_LEVEL_WARN:
    case LOG_LEVEL_INFO:
    case LOG_LEVEL_TRACE:
        return level;
    default:
        return LOG_LEVEL_WARN;
    }
}

char levelLetter(int level)
{
    switch (level) {
    case LOG_LEVEL_ERROR:
        return 'E';
    case LOG_LEVEL_INFO:
        return 'I';
    case LOG_LEVEL_TRACE:
        return 'T';
    default:
        return 'W';
    }
}

const char *orEmpty(const char *text) { return text != nullptr ? text : ""; }

// Appends formatted text to a line of at most `room` characters, cutting
// what does not fit; *used never exceeds room.
void appendV(char *line, size_t room, size_t *used, const char *format, va_list args)
{
    if (*used >= room) return;
    const int n = std::vsnprintf(line + *used, room + 1 - *used, format, args);
    if (n > 0) *used = (*used + static_cast<size_t>(n) < room) ? *used + static_cast<size_t>(n) : room;
}

void append(char *line, size_t room, size_t *used, const char *format, ...) TESSIVAR_PRINTF(4, 5);
void append(char *line, size_t room, size_t *used, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    appendV(line, room, used, format, args);
    va_end(args);
}

}  // namespace

int realLogClock(timeval *now, std::tm *local)
{
    gettimeofday(now, nullptr);
    const std::time_t seconds = now->tv_sec;
    return localtime_r(&seconds, local) != nullptr ? 0 : -1;
}

AnalLogState &analLogState() { return s_analLog; }

void readLogClock(timeval *now, std::tm *local)
{
    *now = timeval{};
    std::memset(local, 0, sizeof *local);
    const LogClockFunc clock = s_analLog.clock != nullptr ? s_analLog.clock : realLogClock;
    if (clock(now, local) != 0) std::memset(local, 0, sizeof *local);
}

}  // namespace tessivar

using tessivar::s_analLog;

extern "C" int __print_log(const char *function, int line, int level, const char *module, const char *format, ...)
{
    level = tessivar::mapLevel(level);
    const std::lock_guard<std::recursive_mutex> hold(s_analLog.lock.mutex);
    if (level > s_analLog.g_print_prior) return 0;

    timeval now;
    std::tm local;
    tessivar::readLogClock(&now, &local);

    // An overlong message is cut so that the line still ends with its line
    // end: at most 1022 characters of text, the "\n", then the terminator in
    // the buffer's last byte.
    char text[tessivar::kLineSize];
    const size_t room = tessivar::kLineSize - 2;
    size_t used = 0;
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%02d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    tessivar::append(text, room, &used, "%s.%06lld", stamp, static_cast<long long>(now.tv_usec));
    tessivar::append(text, room, &used, "[%c]", tessivar::levelLetter(level));
    tessivar::append(text, room, &used, "{%s}", tessivar::orEmpty(module));
    tessivar::append(text, room, &used, "[%s](%d)", tessivar::orEmpty(function), line);
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        tessivar::appendV(text, room, &used, format, args);
        va_end(args);
    }
    text[used++] = '\n';
    text[used] = '\0';

    log_info_print(text);
    kt_log_save(text);
    return static_cast<int>(used);
}

extern "C" int log_info_print(const char *line)
{
    if (line == nullptr) {
        TV_LOGE(tessivar::kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    const std::lock_guard<std::recursive_mutex> hold(s_analLog.lock.mutex);
    if (s_analLog.g_print_func != nullptr) {
        s_analLog.g_print_func(line);
    } else {
        std::puts(line);
    }
    return 0;
}

extern "C" int newLog(const LogConf *conf)
{
    if (conf == nullptr) {
        TV_LOGE(tessivar::kTag, "Afferent parameter anomaly.");
        return -1;
    }
    const std::lock_guard<std::recursive_mutex> hold(s_analLog.lock.mutex);
    if (s_analLog.running) delLog();
    // The hook goes in first so that the file logger's start-up lines reach it.
    if (conf->printFunc != nullptr) s_analLog.g_print_func = conf->printFunc;
    kt_log_new(conf->cfgFile, conf->cfgChange, conf->defaultLevel);
    s_analLog.g_print_prior = kt_log_prior();
    s_analLog.running = true;
    TV_LOGT(tessivar::kTag, "Log new.");
    return 0;
}

extern "C" int delLog(void)
{
    const std::lock_guard<std::recursive_mutex> hold(s_analLog.lock.mutex);
    TV_LOGT(tessivar::kTag, "Log free.");
    kt_log_del();
    // The host may unload its hook once the log is stopped: nothing may call
    // it afterwards.
    s_analLog.g_print_func = nullptr;
    s_analLog.running = false;
    return 0;
}

extern "C" int logScanConf(void)
{
    const std::lock_guard<std::recursive_mutex> hold(s_analLog.lock.mutex);
    kt_log_scan_conf();
    s_analLog.g_print_prior = kt_log_prior();
    return 0;
}

extern "C" const char *logVersion(void) { return "anal_log version 1.0.3.4 2025-07-15 12:39:35"; }
