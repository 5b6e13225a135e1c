// Throughput of one whole running monitor: the front end with its display
// filters ("0.67", "50", "35"), signal quality, heart rate (method 0 on
// lead II) and respiration, fed 1000 Hz frames in blocks of 100.
//   BM_Pipeline12Lead: wire "12", format "SLR" (I, II, V1 ... V6 and
//                      respiration: 10 words per frame)
//   BM_Pipeline1Lead:  wire "1", format "SLR" (lead I and respiration)
//   BM_Pipeline12LeadSafe, ...60, ...60Safe: the 12-lead monitor with the
//                      safety profile on, with line "60", and both
// Counters: frames/s, the multiple of real time (frames/s / fs) and the
// process's resident memory (current and peak, kB) while the monitor runs.
//   BM_Pipeline12Lead2000Hz: the 12-lead monitor at 2000 Hz; mon_heap_kB is
//                      the heap the monitor holds (in use after Init and
//                      60 s of frames minus in use before Init).
//   BM_FrameLatency/1, /100: one call of ecgPreprocessDoPreprocess per
//                      block of 1 or 100 frames of the 12-lead monitor over
//                      60 s of signal; p50_us, p99_us and max_us are the
//                      per-frame times (a call's time divided by its frames)
//                      on the wall clock, cpu_p50_us, cpu_p99_us and
//                      cpu_max_us the same on the thread's CPU clock (which
//                      leaves out the time the system gave other programs);
//                      cpu_max_call is the call (from 0) of the CPU maximum.
// The input is a synthetic 72 per minute ECG (Gaussian P, QRS and T waves
// whose size differs by lead) with a 15 per minute impedance wave, ten
// seconds long and repeated. The log runs at error level.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <malloc.h>
#include <time.h>
#include <string>
#include <vector>

#include "tessivar/tessivar.h"

namespace {

constexpr int kFs = 1000;  // rate of the default runs
constexpr int kBlock = 100;
constexpr int kSeconds = 10;

const std::string &quietConfig()
{
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "tessivar_bench_pipeline.ini").string();
        if (std::FILE *f = std::fopen(file.c_str(), "w")) {
            std::fputs("record_file_path = .\nrecord_switch = OFF\nlog_level = error\n", f);
            std::fclose(f);
        }
        return file;
    }();
    return path;
}

double gauss(double t, double centre, double width)
{
    const double u = (t - centre) / width;
    return std::exp(-0.5 * u * u);
}

// kSeconds of frames at fs of `channels` ECG channels plus respiration, in
// uV (lsbMv 1000).
std::vector<int> recording(int channels, int fs = kFs)
{
    const int words = 1 + channels + 1;
    std::vector<int> in(size_t(fs) * kSeconds * size_t(words), 0);
    const double rr = 60.0 / 72.0;
    for (int n = 0; n < fs * kSeconds; ++n) {
        const double t = double(n) / fs;
        const double phase = std::fmod(t, rr);
        const double beat = 150 * gauss(phase, 0.2, 0.025) - 120 * gauss(phase, 0.33, 0.008) +
                            1000 * gauss(phase, 0.36, 0.011) - 250 * gauss(phase, 0.39, 0.011) +
                            300 * gauss(phase, 0.62, 0.055);
        int *f = &in[size_t(n) * size_t(words)];
        f[0] = 0;
        for (int c = 0; c < channels; ++c) f[1 + c] = int(beat * (0.6 + 0.15 * c));
        f[1 + channels] = int(1000.0 * std::sin(2 * M_PI * 0.25 * t));
    }
    return in;
}

// Resident set size ("VmRSS") and its peak ("VmHWM") in kB.
void residentKb(double *current, double *peak)
{
    *current = *peak = 0;
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return;
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) *current = std::atof(line + 6);
        if (std::strncmp(line, "VmHWM:", 6) == 0) *peak = std::atof(line + 6);
    }
    std::fclose(f);
}

// Bytes of heap in use.
double heapInUse() { return double(mallinfo2().uordblks); }

// line: the display mains choice; safe: the safety profile.
bool startMonitor(const char *wire, int channels, int fs, const char *line = "50", int safe = 0)
{
    PreprocessConf conf = {};
    conf.fs = fs;
    conf.lsbMv = 1000;
    conf.wireType = wire;
    conf.dataType = "SLR";
    conf.hrLead = channels > 1 ? "II" : "I";
    conf.respLead = channels > 1 ? "II" : "I";
    conf.debugCfgFile = quietConfig().c_str();
    conf.qrsMethod = 0;
    ecgPreprocessSetSafeMode(safe);
    if (ecgPreprocessInit(&conf) != 0 || getCurInFrame() != channels + 2) return false;
    ecgPreprocessSetFilter("0.67", line, "35");
    return true;
}

void runPipeline(benchmark::State &state, const char *wire, int channels, int fs = kFs, const char *line = "50",
                 int safe = 0)
{
    const double heapBefore = heapInUse();
    if (!startMonitor(wire, channels, fs, line, safe)) {
        state.SkipWithError("front end not started");
        return;
    }
    const std::vector<int> in = recording(channels, fs);
    const int words = channels + 2;
    std::vector<int> out(size_t(kBlock) * size_t(getCurOutFrame()));
    const int blocks = fs * kSeconds / kBlock;
    int b = 0;
    for (auto _ : state) {
        ecgPreprocessDoPreprocess(kBlock, &in[size_t(b) * kBlock * size_t(words)], out.data());
        benchmark::DoNotOptimize(out.data());
        b = (b + 1) % blocks;
    }
    double rss = 0, peak = 0;
    residentKb(&rss, &peak);
    const double frames = double(state.iterations()) * kBlock;
    state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(frames / fs, benchmark::Counter::kIsRate);
    state.counters["rss_kB"] = rss;
    state.counters["peak_rss_kB"] = peak;
    state.counters["mon_heap_kB"] = (heapInUse() - heapBefore) / 1024.0;
    state.counters["heart_rate"] = getCurHeartRate();
    ecgPreprocessDenit();
    ecgPreprocessSetSafeMode(0);
}

void BM_Pipeline12Lead(benchmark::State &state) { runPipeline(state, "12", 8); }
void BM_Pipeline1Lead(benchmark::State &state) { runPipeline(state, "1", 1); }
void BM_Pipeline12Lead2000Hz(benchmark::State &state) { runPipeline(state, "12", 8, 2000); }
void BM_Pipeline12LeadSafe(benchmark::State &state) { runPipeline(state, "12", 8, kFs, "50", 1); }
void BM_Pipeline12Lead60(benchmark::State &state) { runPipeline(state, "12", 8, kFs, "60"); }
void BM_Pipeline12Lead60Safe(benchmark::State &state) { runPipeline(state, "12", 8, kFs, "60", 1); }

BENCHMARK(BM_Pipeline12Lead)->MinTime(3.0);
BENCHMARK(BM_Pipeline1Lead)->MinTime(3.0);
BENCHMARK(BM_Pipeline12Lead2000Hz)->MinTime(3.0);
BENCHMARK(BM_Pipeline12LeadSafe)->MinTime(3.0);
BENCHMARK(BM_Pipeline12Lead60)->MinTime(3.0);
BENCHMARK(BM_Pipeline12Lead60Safe)->MinTime(3.0);

double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

void percentiles(benchmark::State &state, std::vector<double> &v, const char *prefix)
{
    std::sort(v.begin(), v.end());
    const std::string p(prefix);
    state.counters[p + "p50_us"] = v[v.size() / 2];
    state.counters[p + "p99_us"] = v[v.size() * 99 / 100];
    state.counters[p + "max_us"] = v.back();
}

// Per-frame latency of the 12-lead monitor, block size state.range(0).
void BM_FrameLatency(benchmark::State &state)
{
    const int block = int(state.range(0));
    if (!startMonitor("12", 8, kFs)) {
        state.SkipWithError("front end not started");
        return;
    }
    const std::vector<int> in = recording(8);
    const int words = 10;
    std::vector<int> out(size_t(block) * size_t(getCurOutFrame()));
    const int calls = 60 * kFs / block;  // 60 s of frames
    const int perRecording = kFs * kSeconds / block;
    std::vector<double> perFrameUs(static_cast<size_t>(calls)), cpuUs(static_cast<size_t>(calls));
    for (auto _ : state) {
        for (int c = 0; c < calls; ++c) {
            const int *frames = &in[size_t(c % perRecording) * size_t(block) * size_t(words)];
            const double c0 = threadCpuUs();
            const auto t0 = std::chrono::steady_clock::now();
            ecgPreprocessDoPreprocess(block, frames, out.data());
            const auto t1 = std::chrono::steady_clock::now();
            cpuUs[size_t(c)] = (threadCpuUs() - c0) / block;
            perFrameUs[size_t(c)] = std::chrono::duration<double, std::micro>(t1 - t0).count() / block;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["cpu_max_call"] = double(std::max_element(cpuUs.begin(), cpuUs.end()) - cpuUs.begin());
    percentiles(state, perFrameUs, "");
    percentiles(state, cpuUs, "cpu_");
    ecgPreprocessDenit();
}
BENCHMARK(BM_FrameLatency)->Arg(1)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
