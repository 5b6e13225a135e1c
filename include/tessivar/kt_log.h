/* File logger: reads the log configuration file (keys record_file_path,
 * record_switch, log_level outside any section), writes log lines to
 * "<folder>/<yyyymmddHHMM>anal_log.log" while recording is on, rotates to a new
 * file after 100000 lines, and tells the registered change handler when
 * recording starts or stops. */
#ifndef TESSIVAR_KT_LOG_H
#define TESSIVAR_KT_LOG_H

#include "anal_log.h"

TESSIVAR_BEGIN_C

/* Starts afresh (nothing of a previous start carries over): reads the
 * configuration file (path may be null: no file), falls back to level
 * defaultLevel, no recording and folder "." when it cannot be read, and
 * applies the recording switch through the handler (may be null). Returns 0. */
TESSIVAR_API int kt_log_new(const char *cfgFile, LogCfgChangeFunc cfgChange, int defaultLevel);

/* Switches recording off through the handler. Returns 0. */
TESSIVAR_API int kt_log_del(void);

/* Re-reads the configuration file and applies changes of folder and switch.
 * Returns 0, or -1 when the file cannot be parsed (nothing changes). */
TESSIVAR_API int kt_log_scan_conf(void);

/* The configured log level. */
TESSIVAR_API int kt_log_prior(void);

/* Appends one line to the open log file. Returns 0; -1 when no file is open
 * or the line is null; -2 when the write fails (recording then stops). */
TESSIVAR_API int kt_log_save(const char *line);

TESSIVAR_END_C

#endif /* TESSIVAR_KT_LOG_H */
