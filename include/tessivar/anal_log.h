/* Leveled log of the library.
 *
 * Every module reports through __print_log: one line per message, made of the
 * local date and time with microseconds, the level letter, the module tag, the
 * calling function and source line, and the message. Lines whose level is
 * above the print level are dropped. A line goes to the print hook (or to
 * standard output when no hook is set) and, while recording is switched on by
 * the log configuration file, to the current log file.
 *
 * Levels: 0 error (E), 1 warning (W), 2 information (I), 4 trace (T). Any other
 * level is treated as a warning.
 *
 * Threads: __print_log, log_info_print, newLog, delLog and logScanConf may be
 * called from any thread; one lock serialises them, so lines are never mixed
 * and the hook is called by one thread at a time (it must not wait for
 * another thread that logs). The file logger (kt_log.h) is driven through
 * these calls; its own entry points are for one thread at a time. */
#ifndef TESSIVAR_ANAL_LOG_H
#define TESSIVAR_ANAL_LOG_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

#define LOG_LEVEL_ERROR 0
#define LOG_LEVEL_WARN 1
#define LOG_LEVEL_INFO 2
#define LOG_LEVEL_TRACE 4

/* Print hook: receives each finished log line, line end included. */
typedef void (*LogPrintFunc)(const char *line);

/* Recording change handler: on is 1 when recording starts, 0 when it stops;
 * path is the folder the log files go to. */
typedef int (*LogCfgChangeFunc)(int on, const char *path);

/* Start-up record of the log. */
typedef struct LogConf {
    const char *cfgFile;        /* INI configuration file path, may be null */
    LogCfgChangeFunc cfgChange; /* recording change handler, may be null */
    int defaultLevel;           /* level used when the configuration file cannot be read */
    LogPrintFunc printFunc;     /* print hook, may be null (standard output) */
} LogConf;

/* Formats and emits one log line. Returns the length of the line, or 0 when
 * the level filtered it out. A line is at most 1023 characters: a longer one
 * is cut and still ends with its line end. Null texts print as empty. */
TESSIVAR_API int __print_log(const char *function, int line, int level, const char *module,
                             const char *format, ...) TESSIVAR_PRINTF(5, 6);

/* Hands a finished line to the print hook, or to puts() when none is set.
 * Returns 0, or -1 for a null line. */
TESSIVAR_API int log_info_print(const char *line);

/* Starts (or restarts) the log. Returns 0, or -1 for a null record. */
TESSIVAR_API int newLog(const LogConf *conf);

/* Stops the log: recording off, log file closed. Returns 0. */
TESSIVAR_API int delLog(void);

/* Re-reads the configuration file and applies the print level. Returns 0. */
TESSIVAR_API int logScanConf(void);

TESSIVAR_API const char *logVersion(void);

TESSIVAR_END_C

#endif /* TESSIVAR_ANAL_LOG_H */
