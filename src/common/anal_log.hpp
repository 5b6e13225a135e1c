// Internals of the leveled log: its module state and the clock that stamps
// log lines and names log files. Tests reach both to pin the time and to put
// the log back as they found it.
#pragma once

#include <sys/time.h>

#include <ctime>
#include <mutex>

#include "tessivar/anal_log.h"

namespace tessivar {

// Reads the wall clock: time of day and its broken-down local time.
// Returns 0, or -1 when the local time is not available.
using LogClockFunc = int (*)(timeval *now, std::tm *local);

// The real clock (gettimeofday and localtime_r).
int realLogClock(timeval *now, std::tm *local);

// The lock that serialises every use of the log's (and the file logger's)
// state, so that modules used on their own may log from several threads.
// Recursive: the file logger logs through the log while the lock is held,
// and so may a print hook. Copying the state (tests save and restore it)
// leaves the lock alone.
struct LogLock {
    std::recursive_mutex mutex;
    LogLock() = default;
    LogLock(const LogLock &) {}
    LogLock &operator=(const LogLock &) { return *this; }
};

struct AnalLogState {
    int g_print_prior = LOG_LEVEL_INFO;     // lines above this level are dropped
    LogPrintFunc g_print_func = nullptr;    // print hook; cleared by delLog
    LogClockFunc clock = realLogClock;      // replaced only by tests
    bool running = false;                   // newLog done, delLog not yet
    LogLock lock;                           // held by every log entry point
};

// The one instance of the log's state.
AnalLogState &analLogState();

// Reads the log clock; on failure the local time reads as all zeros.
void readLogClock(timeval *now, std::tm *local);

}  // namespace tessivar
