// Placeholder leveled log (being written).
#include <cstdarg>
#include <cstdio>
#include "tessivar/anal_log.h"

extern "C" int __print_log(const char *function, int line, int level, const char *module, const char *format, ...)
{
    char buf[1024];
    int n = std::snprintf(buf, sizeof buf, "[%d]{%s}[%s](%d)", level, module, function, line);
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf + n, sizeof buf - n, format, ap);
    va_end(ap);
    std::puts(buf);
    return n;
}
extern "C" int log_info_print(const char *line) { return line ? std::puts(line), 0 : -1; }
extern "C" int newLog(const LogConf *conf) { return conf ? 0 : -1; }
extern "C" int delLog(void) { return 0; }
extern "C" int logScanConf(void) { return 0; }
extern "C" const char *logVersion(void) { return "anal_log version 1.0.3.4 2025-07-15 12:39:35"; }
