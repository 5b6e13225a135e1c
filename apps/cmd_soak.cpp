// tessivar soak: one monitor driven as fast as it goes through a long
// simulated stay, with trouble every few seconds, checking that nothing
// drifts.
//
// The patient is a simulated minute of 12-lead ECG with respiration
// (72 beats, 15 breaths per minute), played in a loop in blocks of random
// size. Every period (60 s by default) starts with one disturbance, in turn:
//   lead-off storm   random electrode-off bits on every frame for 3 s
//   pace burst       pace marks with 5 mV spikes every 20 ms for 2 s
//   baseline step    every lead jumps by +-5 mV and stays there
//   saturation       every sample at the ends of the 32-bit range for 1 s
// and a configuration change (filters, filter mode, noise suppression,
// pace removal, heart-rate lead, noise threshold) comes every 5 s until 25 s
// before the period ends.
// Checked throughout: the heart rate and the respiration rate are back
// near the truth before the next period starts, the output samples are
// bounded away from disturbances, and, once warmed up, resident memory and
// the heap do not grow. Exits 1 when any check fails.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <tessivar/tessivar.h>

#include "args.hpp"
#include "commands.hpp"
#include "records/simulator.hpp"

namespace tessivar::cli {
namespace {

constexpr int kFs = 1000;
constexpr int kInWords = 10;   // status, I, II, V1 ... V6, respiration
constexpr int kOutWords = 14;  // status, I, II, III, aVR, aVL, aVF, V1 ... V6, respiration
constexpr double kTrueHr = 72.0, kTrueResp = 15.0;

struct Counters {
    int hr = -1, resp = -1;
};
Counters g_counters;
void onHeartRate(int rate) { g_counters.hr = rate; }
void onRespRate(int rate) { g_counters.resp = rate; }
void quietLog(const char *) {}

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return long(m.uordblks + m.hblkhd);
}

enum Disturbance { kLeadOffStorm, kPaceBurst, kBaselineStep, kSaturation, kDisturbances };
constexpr int64_t kDisturbanceFrames[] = {3000, 2000, 1, 1000};

// One configuration change in a cycle of them.
void changeConfiguration(int k)
{
    static const char *const filters[][3] = {
        {"0.67", "50", "40"}, {"0.05", "60+0.3", "150"}, {"null", "null", "null"}, {"0.5", "50+0.6", "35"},
        {"auto", "auto", "auto"}, {"1", "off", "100"},
    };
    const char *const *f = filters[size_t(k) % (sizeof filters / sizeof filters[0])];
    ecgPreprocessSetFilter(f[0], f[1], f[2]);
    switch (k % 6) {
    case 0: ecgPreprocessSetFilterMode(k % 12 == 0 ? "cry" : "normal"); break;
    case 1: ecgPreprocessSetFuzzFilter((k / 6) % 2); break;
    case 2: ecgPreprocessSetPaceFilter((k / 6) % 2); break;
    case 3: ecgPreprocessSetHrLead((k / 6) % 2 ? "auto" : "II"); break;
    case 4: ecgPreprocessSetNoiseThreshold(static_cast<signed char>(40 + (k % 50))); break;
    default: ecgPreprocessSetFilterMode("normal"); break;
    }
}

}  // namespace

int commandSoak(int argc, char **argv, int first)
{
    // glibc's per-thread cache counts the blocks it holds as in use, which
    // makes the heap figure wander by a few kilobytes; without it the
    // figure is exact. Tunables are read at start-up only, so the program
    // starts itself again with the cache switched off.
    const char *tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables == nullptr || std::strstr(tunables, "glibc.malloc.tcache_count=0") == nullptr) {
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        execv("/proc/self/exe", argv);  // returns only when it failed: measure with the cache then
    }
    const Args args(argc, argv, first, {"hours", "period-s", "seed", "changes", "disturb"}, {"verbose"});
    // Both on by default; switched off they help to tell which one a finding
    // comes from.
    const bool changes = args.integer("changes", 1, 0, 1) == 1;
    const bool disturb = args.integer("disturb", 1, 0, 1) == 1;
    const bool verbose = args.has("verbose");
    if (!args.positional().empty()) throw UsageError("soak takes options only");
    const double hours = args.number("hours", 1.0, 0.01, 24 * 30.0);
    const double periodS = args.number("period-s", 60.0, 40.0, 3600.0);
    std::mt19937 rng(uint32_t(args.integer("seed", 1, 0, UINT32_MAX)));

    records::SimOptions o;
    o.seconds = 60.0;
    o.heartRate = kTrueHr;
    o.respRate = kTrueResp;
    const records::Simulation sim = records::simulate(o);
    const records::Record &rec = sim.record;
    const int respSignal = rec.find("RESP");
    const size_t loop = rec.samples[0].size();

    PreprocessConf conf{};
    conf.fs = kFs;
    conf.lsbMv = 1000;
    conf.paceRemoveMs = 10;
    conf.paceInhib = 1;
    conf.wireType = "12";
    conf.dataType = "SLR";
    conf.hrLead = "II";
    conf.respLead = "II";
    conf.printFunc = quietLog;
    conf.onHeartRate = onHeartRate;
    conf.onRespRate = onRespRate;
    if (ecgPreprocessInit(&conf) != 0) throw UsageError("the monitor refused its configuration");
    ecgPreprocessSetFilter("0.67", "50", "40");
    if (getCurInFrame() != kInWords || getCurOutFrame() != kOutWords) throw UsageError("unexpected frame sizes");

    const int64_t total = int64_t(hours * 3600.0 * kFs);
    const int64_t period = int64_t(periodS * kFs);
    const int64_t configEvery = 5 * kFs;
    // The rates must be back near the truth in the last tenth of a period.
    const int64_t checkAt = period - period / 10;
    std::vector<int32_t> in(size_t(500) * kInWords), out(size_t(500) * kOutWords);

    int64_t frame = 0, disturbanceEnd = 0, quietFrom = 0;
    int32_t offset = 0;
    int periods = 0, hrMisses = 0, respMisses = 0, unbounded = 0, configChanges = 0;
    int counts[kDisturbances] = {};
    int worstHrError = 0, worstRespError = 0;
    Disturbance current = kLeadOffStorm;
    long rssAfterWarmup = 0, heapAfterWarmup = 0, rssMax = 0, heapMax = 0;
    const auto started = std::chrono::steady_clock::now();

    while (frame < total) {
        const int n = int(std::min<int64_t>(1 + int64_t(rng() % 500), total - frame));
        for (int k = 0; k < n; ++k) {
            const int64_t f = frame + k;
            if (f % period == 0) {
                current = Disturbance(periods % kDisturbances);
                ++counts[current];
                ++periods;
                disturbanceEnd = f + kDisturbanceFrames[current];
                // The filters settle and the detector relearns within 15 s.
                quietFrom = disturbanceEnd + 15 * kFs;
                if (disturb && current == kBaselineStep) offset = offset != 0 ? 0 : (rng() % 2 ? 5000 : -5000);
            }
            // Changes stop 25 s before the end of a period: a change of the
            // base filter steps the display by the baseline offset, which
            // signal quality rightly judges as noise on the heart-rate lead.
            if (changes && f % configEvery == configEvery / 2 && f % period < period - 25 * kFs) {
                // Memory is compared at the same point of the configuration
                // cycle (12 changes), so that filters of different lengths
                // do not count as growth.
                if (configChanges % 12 == 0 && f >= 600 * kFs) {
                    if (rssAfterWarmup == 0) {
                        rssAfterWarmup = residentKb();
                        heapAfterWarmup = heapBytes();
                    }
                    rssMax = std::max(rssMax, residentKb());
                    heapMax = std::max(heapMax, heapBytes());
                }
                changeConfiguration(configChanges++);
                quietFrom = std::max(quietFrom, f + 15 * kFs);
            }
            const size_t t = size_t(f % int64_t(loop));
            int32_t *w = &in[size_t(k) * kInWords];
            w[0] = 0;
            for (int c = 0; c < 8; ++c) w[1 + c] = rec.samples[size_t(c)][t] + offset;
            w[9] = rec.samples[size_t(respSignal)][t];
            if (disturb && f < disturbanceEnd) {
                switch (current) {
                case kLeadOffStorm: w[0] = int32_t(rng() & 0x33fff); break;
                case kPaceBurst:
                    if (f % 20 == 0) {
                        w[0] = records::kPaceBit;
                        for (int c = 1; c < 9; ++c) w[c] += 5000;
                    }
                    break;
                case kSaturation:
                    for (int c = 1; c < 10; ++c) w[c] = (f / 7) % 2 ? INT32_MAX : INT32_MIN;
                    break;
                default: break;
                }
            }
        }
        if (ecgPreprocessDoPreprocess(n, in.data(), out.data()) != n) throw UsageError("a block was refused");
        for (int k = 0; k < n; ++k) {
            const int64_t f = frame + k;
            if (f < quietFrom) continue;
            // Away from disturbances every lead stays within +-50 mV.
            for (int wd = 1; wd < kOutWords - 1; ++wd)
                if (std::abs(int64_t(out[size_t(k) * kOutWords + size_t(wd)])) > 50000) ++unbounded;
        }
        const int64_t before = frame;
        frame += n;
        // A line per simulated hour, so that a long run shows where it is.
        const int64_t hour = 3600LL * kFs;
        if (before / hour != frame / hour)
            std::fprintf(stderr, "soak: hour %lld, heart rate %d, respiration %d, misses %d/%d, resident %ld kB, heap %ld\n",
                         (long long)(frame / hour), g_counters.hr, g_counters.resp, hrMisses, respMisses, residentKb(),
                         heapBytes());
        // Rate checks once per period, late in it.
        const int64_t checkFrame = (before / period) * period + checkAt;
        if (before < checkFrame && frame >= checkFrame) {
            const int hrError = g_counters.hr < 0 ? 999 : std::abs(g_counters.hr - int(kTrueHr));
            const int respError = g_counters.resp < 0 ? 999 : std::abs(g_counters.resp - int(kTrueResp));
            worstHrError = std::max(worstHrError, hrError);
            worstRespError = std::max(worstRespError, respError);
            hrMisses += hrError > 5 ? 1 : 0;
            if (verbose)
                std::printf("period %d (%d): hr %d resp %d\n", periods, int(current), g_counters.hr, g_counters.resp);
            respMisses += respError > 3 ? 1 : 0;
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ecgPreprocessDenit();

    const bool watched = rssAfterWarmup > 0;
    const long rssGrowth = watched ? rssMax - rssAfterWarmup : 0;
    const long heapGrowth = watched ? heapMax - heapAfterWarmup : 0;
    std::printf("soak: %.2f simulated hours (%lld frames) in %.1f s wall, %.0fx real time\n", hours,
                (long long)total, wall, wall > 0 ? double(total) / kFs / wall : 0.0);
    std::printf("  disturbances: %d lead-off storms, %d pace bursts, %d baseline steps, %d saturations; "
                "%d configuration changes\n",
                counts[kLeadOffStorm], counts[kPaceBurst], counts[kBaselineStep], counts[kSaturation], configChanges);
    std::printf("  heart rate back within 5 of %g in %d of %d periods (worst error %d)\n", kTrueHr, periods - hrMisses,
                periods, worstHrError);
    std::printf("  respiration back within 3 of %g in %d of %d periods (worst error %d)\n", kTrueResp,
                periods - respMisses, periods, worstRespError);
    std::printf("  output samples beyond 50 mV away from disturbances: %d\n", unbounded);
    if (watched)
        std::printf("  after warm-up: resident %ld kB, growth %ld kB; heap %ld bytes, growth %ld bytes\n",
                    rssAfterWarmup, rssGrowth, heapAfterWarmup, heapGrowth);
    // The quality text is reallocated at its new length with every report:
    // the heap may move by that much, never more.
    const bool ok = hrMisses == 0 && respMisses == 0 && unbounded == 0 && rssGrowth <= 256 && heapGrowth <= 1024;
    std::printf("soak %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}

}  // namespace tessivar::cli
