// Throughput of the beat detectors alone on one lead.
//   BM_Detect/<method>/<fs>: realtimeDetectBeat sample by sample (methods
//                           0, 1, 2 and 3 = kt) at 360 and 1000 Hz
//   BM_FindRPeakMethod1/<fs>: findRPeak of a method-1 handle over a whole
//                           30-minute array
//   BM_Rr2hrPerBeat:        the RR averager, one interval per call
// Counters: samples/s and the multiple of real time (samples/s / fs). The
// input is a synthetic 72 per minute ECG in microvolts (Gaussian P, QRS and
// T waves), one minute long and repeated; the log runs at error level.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "tessivar/anal_log.h"
#include "tessivar/beat_detect.h"
#include "tessivar/rr2hr.h"

namespace {

double gauss(double t, double centre, double width)
{
    const double u = (t - centre) / width;
    return std::exp(-0.5 * u * u);
}

std::vector<int16_t> ecg(int fs, double seconds)
{
    std::vector<int16_t> x(size_t(fs * seconds));
    const double rr = 60.0 / 72.0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double phase = std::fmod(double(n) / fs, rr);
        const double v = 150 * gauss(phase, 0.2, 0.025) - 120 * gauss(phase, 0.33, 0.008) +
                         1000 * gauss(phase, 0.36, 0.011) - 250 * gauss(phase, 0.39, 0.011) +
                         300 * gauss(phase, 0.62, 0.055);
        x[n] = int16_t(std::lround(v));
    }
    return x;
}

void quietLog()
{
    static const bool done = [] {
        const LogConf conf{nullptr, nullptr, LOG_LEVEL_ERROR, [](const char *) {}};
        return newLog(&conf) == 0;
    }();
    (void)done;
}

void BM_Detect(benchmark::State &state)
{
    quietLog();
    const int32_t method = int32_t(state.range(0)), fs = int32_t(state.range(1));
    const BeatDetectConf conf = {"bench", nullptr, fs, 0, method, 0, 0};
    BeatDetect *h = newBeatDetect(&conf);
    if (h == nullptr) {
        state.SkipWithError("no detector for this method and rate");
        return;
    }
    initBeatDetect(h);
    const std::vector<int16_t> x = ecg(fs, 60.0);
    int64_t beats = 0;
    uint8_t noise = 0;
    for (auto _ : state) {
        for (int16_t v : x) beats += realtimeDetectBeat(h, v, &noise) > 0;
    }
    benchmark::DoNotOptimize(beats);
    const double samples = double(state.iterations()) * double(x.size());
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["x realtime"] = benchmark::Counter(samples / fs, benchmark::Counter::kIsRate);
    delBeatDetect(&h);
}
BENCHMARK(BM_Detect)->ArgsProduct({{0, 1, 2, 3}, {360, 1000}})->Unit(benchmark::kMillisecond);

void BM_FindRPeakMethod1(benchmark::State &state)
{
    quietLog();
    const int32_t fs = int32_t(state.range(0));
    const BeatDetectConf conf = {"bench", nullptr, fs, 0, 1, 0, 0};
    BeatDetect *h = newBeatDetect(&conf);
    const std::vector<int16_t> x = ecg(fs, 1800.0);
    std::vector<int32_t> positions(4000);
    int32_t found = 0;
    for (auto _ : state)
        found = findRPeak(h, x.data(), int32_t(x.size()), positions.data(), int32_t(positions.size()));
    if (found < 2000) state.SkipWithError("the rhythm was not found");
    const double samples = double(state.iterations()) * double(x.size());
    state.counters["samples/s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["x realtime"] = benchmark::Counter(samples / fs, benchmark::Counter::kIsRate);
    delBeatDetect(&h);
}
BENCHMARK(BM_FindRPeakMethod1)->Arg(360)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_Rr2hrPerBeat(benchmark::State &state)
{
    init_rr2hr();
    const int32_t rrs[] = {800, 820, 790, 1600, 810, 400, 420, 805};
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rr2hr(rrs[i]));
        i = (i + 1) % (sizeof rrs / sizeof rrs[0]);
    }
}
BENCHMARK(BM_Rr2hrPerBeat);

}  // namespace
