// Shared set-up of the log, INI and file-helper tests: a fixed log clock, the
// captured log lines and recording changes, and a guard that installs both
// and puts the log back as it found it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/anal_log.hpp"
#include "common/kt_log.hpp"
#include "support/temp_dir.hpp"

namespace tvtest {

using tessivar::test::readText;
using tessivar::test::writeText;
using Changes = std::vector<std::pair<int, std::string>>;

// 2025-07-15 12:<minute>:35 and 42 microseconds.
inline int g_minute = 39;
inline int fixedClock(timeval *now, std::tm *local)
{
    std::memset(local, 0, sizeof *local);
    local->tm_year = 2025 - 1900, local->tm_mon = 6, local->tm_mday = 15;
    local->tm_hour = 12, local->tm_min = g_minute, local->tm_sec = 35;
    now->tv_sec = 1752583175, now->tv_usec = 42;
    return 0;
}
inline const std::string kStamp = "2025-07-15 12:39:35.000042";

inline std::vector<std::string> g_lines;
inline Changes g_changes;
inline void capture(const char *line) { g_lines.emplace_back(line); }
inline int change(int on, const char *path)
{
    g_changes.emplace_back(on, path != nullptr ? path : "(null)");
    return 0;
}
inline void clearCaptured() { g_lines.clear(), g_changes.clear(); }
// Number of captured lines containing all of the given parts.
inline int countLines(const std::string &a, const std::string &b = "")
{
    int n = 0;
    for (const auto &l : g_lines) n += l.find(a) != std::string::npos && l.find(b) != std::string::npos;
    return n;
}

class LogTestGuard {
public:
    LogTestGuard() : saved_(tessivar::analLogState())
    {
        clearCaptured();
        g_minute = 39;
        auto &s = tessivar::analLogState();
        s.clock = fixedClock, s.g_print_func = capture, s.g_print_prior = LOG_LEVEL_TRACE;
    }
    ~LogTestGuard()
    {
        delLog();
        tessivar::ktLogState() = tessivar::KtLogState{};
        tessivar::analLogState() = saved_;
        clearCaptured();
    }

private:
    tessivar::AnalLogState saved_;
};

}  // namespace tvtest
