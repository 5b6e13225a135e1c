// Frame throughput of the front end (frames/s): 12-lead frames with
// respiration ("12", "SLR") at 1000 and 2000 Hz, in blocks of 100 frames,
// with pace removal and with pace removal plus noise suppression. The log
// runs at error level (a configuration file in the temporary folder says
// so), so the periodic task's lines are not formatted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tessivar/tessivar.h"

namespace {

constexpr int kBlock = 100;
constexpr int kInSize = 10;

const std::string &quietConfig()
{
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "tessivar_bench_preprocess.ini").string();
        if (std::FILE *f = std::fopen(file.c_str(), "w")) {
            std::fputs("record_file_path = .\nrecord_switch = OFF\nlog_level = error\n", f);
            std::fclose(f);
        }
        return file;
    }();
    return path;
}

// One second of 12-lead frames with a pace mark every 800 ms.
std::vector<int> recording(int fs)
{
    std::vector<int> in(size_t(fs) * kInSize, 0);
    for (int n = 0; n < fs; ++n) {
        int *f = &in[size_t(n) * kInSize];
        f[0] = n % (fs * 8 / 10) == 0 ? 0x4000 : 0;
        for (int k = 0; k < 8; ++k) f[1 + k] = int(900.0 * std::sin(6.2831853 * (1.2 + 0.1 * k) * n / fs));
        f[9] = int(3000.0 * std::sin(6.2831853 * 0.3 * n / fs));
    }
    return in;
}

void runFrontEnd(benchmark::State &state, bool fuzz)
{
    const int fs = int(state.range(0));
    PreprocessConf conf = {};
    conf.fs = fs;
    conf.lsbMv = 1000;
    conf.paceFilter = 1;
    conf.paceInhib = 1;
    conf.wireType = "12";
    conf.dataType = "SLR";
    conf.hrLead = "II";
    conf.respLead = "II";
    conf.debugCfgFile = quietConfig().c_str();
    if (ecgPreprocessInit(&conf) != 0 || getCurInFrame() != kInSize) {
        state.SkipWithError("front end not started");
        return;
    }
    ecgPreprocessSetFuzzFilter(fuzz ? 1 : 0);
    const std::vector<int> in = recording(fs);
    std::vector<int> out(size_t(kBlock) * size_t(getCurOutFrame()));
    const int blocks = fs / kBlock;
    int b = 0;
    for (auto _ : state) {
        ecgPreprocessDoPreprocess(kBlock, &in[size_t(b) * kBlock * kInSize], out.data());
        benchmark::DoNotOptimize(out.data());
        b = (b + 1) % blocks;
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()) * kBlock, benchmark::Counter::kIsRate);
    ecgPreprocessDenit();
}

void BM_Preprocess12Lead(benchmark::State &state) { runFrontEnd(state, false); }
void BM_Preprocess12LeadFuzz(benchmark::State &state) { runFrontEnd(state, true); }

BENCHMARK(BM_Preprocess12Lead)->Arg(1000)->Arg(2000);
BENCHMARK(BM_Preprocess12LeadFuzz)->Arg(1000)->Arg(2000);

}  // namespace
