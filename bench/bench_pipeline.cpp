// Throughput of one whole running monitor: the front end with its display
// filters ("0.67", "50", "35"), signal quality, heart rate (method 0 on
// lead II) and respiration, fed 1000 Hz frames in blocks of 100.
//   BM_Pipeline12Lead: wire "12", format "SLR" (I, II, V1 ... V6 and
//                      respiration: 10 words per frame)
//   BM_Pipeline1Lead:  wire "1", format "SLR" (lead I and respiration)
// Counters: frames/s, the multiple of real time (frames/s / 1000) and the
// process's resident memory (current and peak, kB) while the monitor runs.
// The input is a synthetic 72 per minute ECG (Gaussian P, QRS and T waves
// whose size differs by lead) with a 15 per minute impedance wave, ten
// seconds long and repeated. The log runs at error level.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tessivar/tessivar.h"

namespace {

constexpr int kFs = 1000;
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

// kSeconds of frames of `channels` ECG channels plus respiration, in uV
// (lsbMv 1000).
std::vector<int> recording(int channels)
{
    const int words = 1 + channels + 1;
    std::vector<int> in(size_t(kFs) * kSeconds * size_t(words), 0);
    const double rr = 60.0 / 72.0;
    for (int n = 0; n < kFs * kSeconds; ++n) {
        const double t = double(n) / kFs;
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

// line: the display mains choice; safe: the safety profile.
void runPipeline(benchmark::State &state, const char *wire, int channels, const char *line = "50", int safe = 0)
{
    PreprocessConf conf = {};
    conf.fs = kFs;
    conf.lsbMv = 1000;
    conf.wireType = wire;
    conf.dataType = "SLR";
    conf.hrLead = channels > 1 ? "II" : "I";
    conf.respLead = channels > 1 ? "II" : "I";
    conf.debugCfgFile = quietConfig().c_str();
    conf.qrsMethod = 0;
    ecgPreprocessSetSafeMode(safe);
    if (ecgPreprocessInit(&conf) != 0 || getCurInFrame() != channels + 2) {
        state.SkipWithError("front end not started");
        return;
    }
    ecgPreprocessSetFilter("0.67", line, "35");
    const std::vector<int> in = recording(channels);
    const int words = channels + 2;
    std::vector<int> out(size_t(kBlock) * size_t(getCurOutFrame()));
    const int blocks = kFs * kSeconds / kBlock;
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
    state.counters["x_realtime"] = benchmark::Counter(frames / kFs, benchmark::Counter::kIsRate);
    state.counters["rss_kB"] = rss;
    state.counters["peak_rss_kB"] = peak;
    state.counters["heart_rate"] = getCurHeartRate();
    ecgPreprocessDenit();
    ecgPreprocessSetSafeMode(0);
}

void BM_Pipeline12Lead(benchmark::State &state) { runPipeline(state, "12", 8); }
void BM_Pipeline12LeadSafe(benchmark::State &state) { runPipeline(state, "12", 8, "50", 1); }
void BM_Pipeline12Lead60(benchmark::State &state) { runPipeline(state, "12", 8, "60"); }
void BM_Pipeline12Lead60Safe(benchmark::State &state) { runPipeline(state, "12", 8, "60", 1); }
void BM_Pipeline1Lead(benchmark::State &state) { runPipeline(state, "1", 1); }

BENCHMARK(BM_Pipeline12Lead)->MinTime(3.0);
BENCHMARK(BM_Pipeline1Lead)->MinTime(3.0);
BENCHMARK(BM_Pipeline12LeadSafe)->MinTime(3.0);
BENCHMARK(BM_Pipeline12Lead60)->MinTime(3.0);
BENCHMARK(BM_Pipeline12Lead60Safe)->MinTime(3.0);

}  // namespace
