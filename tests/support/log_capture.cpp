#include "support/log_capture.hpp"

#include <cstdio>

#include "tessivar/anal_log.h"

namespace tessivar::test {
namespace {
// Between captures the hook forwards to standard output like the default.
LogCapture *g_active = nullptr;
}  // namespace

LogCapture::LogCapture()
{
    g_active = this;
    const LogConf conf = {nullptr, nullptr, LOG_LEVEL_TRACE, &LogCapture::hook};
    newLog(&conf);
    lines_.clear();
}

LogCapture::~LogCapture()
{
    g_active = nullptr;
    // Back to the default print level for whatever runs next.
    const LogConf conf = {nullptr, nullptr, LOG_LEVEL_INFO, &LogCapture::hook};
    newLog(&conf);
}

void LogCapture::hook(const char *line)
{
    if (g_active != nullptr)
        g_active->lines_.emplace_back(line);
    else
        std::fputs(line, stdout);
}

int LogCapture::count(const std::string &text) const
{
    int n = 0;
    for (const auto &line : lines_)
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

}  // namespace tessivar::test
