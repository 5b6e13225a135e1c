// Built with ThreadSanitizer: two filter objects on their own threads, logging
// as they go, while a third thread restarts the log and re-reads its
// configuration. A data race fails the program; each filter's output must
// match a run on one thread.
#include <tessivar/anal_log.h>
#include <tessivar/fir_filter.h>
#include <tessivar/signal_filter.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::atomic<long> g_lines{0};
void countLine(const char *) { g_lines.fetch_add(1, std::memory_order_relaxed); }
const double kTaps[] = {1, 1, 1, 1, 1};  // with gain 0.2: a 5-point mean

std::vector<double> filterRun(int seed)
{
    const FirFilterConf conf = {SIGNAL_FILTER_FIR, "tsan fir", nullptr, 0.2, kTaps, 5};
    SignalFilter *f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf));
    std::vector<double> out;
    for (int k = 0; k < 20000; ++k) {
        out.push_back(doSignalFilter(f, std::sin(0.01 * k * (seed + 1))));
        if (k % 500 == 0) __print_log(__func__, __LINE__, LOG_LEVEL_ERROR, "tsan", "thread %d at %d", seed, k), initSignalFilter(f);
    }
    delSignalFilter(&f);
    return out;
}

}  // namespace

int main()
{
    const std::vector<double> expect0 = filterRun(0), expect1 = filterRun(1);
    const LogConf conf = {nullptr, nullptr, LOG_LEVEL_ERROR, countLine};
    newLog(&conf);
    std::vector<double> got0, got1;  // filled on the threads
    std::atomic<bool> done{false};
    std::thread a([&] { got0 = filterRun(0); }), b([&] { got1 = filterRun(1); });
    std::thread c([&] { while (!done.load()) logScanConf(), delLog(), newLog(&conf); });
    a.join(), b.join(), done = true, c.join();
    delLog();
    if (got0 != expect0 || got1 != expect1) return std::fprintf(stderr, "outputs differ between one and two threads\n"), 1;
    std::printf("two filters on two threads, log restarted meanwhile: %ld lines, no race\n", g_lines.load());
    return 0;
}
