// Internals of the file logger: its module state and the steps behind the
// exported functions, reachable by tests.
#pragma once

#include <cstdio>

#include "tessivar/kt_log.h"

namespace tessivar {

inline constexpr size_t kLogPathSize = 256;
// A log file is closed and a new one opened once it holds this many lines.
inline constexpr int kLogFileLines = 100000;

struct KtLogState {
    char g_log_cfg_file[kLogPathSize] = {};            // configuration file path
    char g_record_file_path[kLogPathSize] = {};        // current folder for log files
    char g_last_record_file_path[kLogPathSize] = {};   // folder before the last scan
    int g_record_switch = 0;                           // 1 while recording is switched on
    int g_log_prior = LOG_LEVEL_INFO;                  // configured level
    std::FILE *g_log_fp = nullptr;                     // open log file, or null
    LogCfgChangeFunc g_cfg_change = nullptr;           // recording change handler
    int g_count = 0;                                   // lines in the open file
};

// The one instance of the file logger's state.
KtLogState &ktLogState();

// Reads the configuration file into the state. quiet sends the parser's own
// complaints out at trace level instead of error level. 0; -1 null path;
// -2 file absent; -3 INI object not made; -4 file not loaded.
int kt_log_cfg_file_parse(const char *path, int quiet);

// Opens "<folder>/<yyyymmddHHMM>anal_log.log" for appending when recording is
// switched on and no file is open. 0, or -2 when the file cannot be opened.
int kt_log_save_start(const char *path);

// Closes the open log file, if any.
void kt_log_save_stop();

}  // namespace tessivar
