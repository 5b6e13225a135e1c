// Per-sample cost of the beat detectors behind the facade (methods 0 and
// 2) on a synthetic 75-per-minute rhythm at 1000 Hz, and of the RR
// averager per beat.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "tessivar/beat_detect.h"
#include "tessivar/rr2hr.h"

namespace {

// Narrow R waves of 1 mV every 800 samples with a T wave, in microvolts.
std::vector<int16_t> rhythm(size_t n)
{
    std::vector<int16_t> x(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i % 800);
        x[i] = int16_t(1000.0 * std::exp(-0.5 * std::pow((t - 100) / 8, 2)) +
                       250.0 * std::exp(-0.5 * std::pow((t - 350) / 40, 2)));
    }
    return x;
}

void BM_DetectorPerSample(benchmark::State &state)
{
    const BeatDetectConf conf = {"bench", nullptr, 1000, 0, int32_t(state.range(0)), 0, 0};
    BeatDetect *d = newBeatDetect(&conf);
    initBeatDetect(d);
    const std::vector<int16_t> x = rhythm(60000);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(realtimeDetectBeat(d, x[i], nullptr));
        i = i + 1 == x.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    delBeatDetect(&d);
}
BENCHMARK(BM_DetectorPerSample)->Arg(0)->Arg(2);

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
