// Shared helpers of the log, INI and file-helper tests: a scratch folder, file
// reading and writing, a fixed log clock, and capture of log lines and
// recording changes. LogTestGuard puts the log back as it found it.
#pragma once

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/anal_log.hpp"
#include "common/kt_log.hpp"

namespace tvtest {

// A fresh folder for the test, removed with its contents.
using ScratchDir = tessivar::test::TempDir;

using tessivar::test::readText;
using tessivar::test::writeText;

inline bool isFolder(const std::string &path) { return std::filesystem::is_directory(path); }

// Fixed clock: 2025-07-15 12:<minute>:35 and 42 microseconds.
struct FixedClock {
    static int &minute()
    {
        static int m = 39;
        return m;
    }
    static int read(timeval *now, std::tm *local)
    {
        std::memset(local, 0, sizeof *local);
        local->tm_year = 2025 - 1900;
        local->tm_mon = 7 - 1;
        local->tm_mday = 15;
        local->tm_hour = 12;
        local->tm_min = minute();
        local->tm_sec = 35;
        now->tv_sec = 1752583175;
        now->tv_usec = 42;
        return 0;
    }
};

// Log lines handed to the print hook, and calls of the change handler.
struct Captured {
    static std::vector<std::string> &lines()
    {
        static std::vector<std::string> l;
        return l;
    }
    static std::vector<std::pair<int, std::string>> &changes()
    {
        static std::vector<std::pair<int, std::string>> c;
        return c;
    }
    static void print(const char *line) { lines().emplace_back(line); }
    static int change(int on, const char *path)
    {
        changes().emplace_back(on, path != nullptr ? path : "(null)");
        return 0;
    }
    static void clear()
    {
        lines().clear();
        changes().clear();
    }
    // Whether some captured line ends with the given text (message part).
    static bool hasLineEnding(const std::string &tail)
    {
        for (const std::string &l : lines()) {
            if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0) return true;
        }
        return false;
    }
    // Number of captured lines containing the given text.
    static int countContaining(const std::string &part)
    {
        int n = 0;
        for (const std::string &l : lines()) n += l.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
};

// Saves the log's state, installs the fixed clock, the capturing hook and
// print level 4; on leaving stops the log and restores what was there.
class LogTestGuard {
public:
    LogTestGuard() : saved_(tessivar::analLogState())
    {
        Captured::clear();
        FixedClock::minute() = 39;
        auto &s = tessivar::analLogState();
        s.clock = FixedClock::read;
        s.g_print_func = Captured::print;
        s.g_print_prior = LOG_LEVEL_TRACE;
    }
    ~LogTestGuard()
    {
        delLog();
        tessivar::ktLogState() = tessivar::KtLogState{};
        tessivar::analLogState() = saved_;
        Captured::clear();
    }
    LogTestGuard(const LogTestGuard &) = delete;
    LogTestGuard &operator=(const LogTestGuard &) = delete;

private:
    tessivar::AnalLogState saved_;
};

}  // namespace tvtest
