// Throughput of the commonly used kt_array routines (mean, standard
// deviation, sum, maximum, median) on 1000 and 10000 elements. Items are
// array elements. Run: build/bench/bench_kt_array
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tessivar/kt_array.h"
#include "tessivar/maxMinMeanMedianAbsOfArray.h"

namespace {

template <typename T>
std::vector<T> noise(int64_t n)
{
    std::mt19937 rng(12345);
    std::normal_distribution<double> dist(0.0, 1000.0);
    std::vector<T> x(static_cast<size_t>(n));
    for (T &v : x) v = static_cast<T>(dist(rng));
    return x;
}

void finish(benchmark::State &state) { state.SetItemsProcessed(state.iterations() * state.range(0)); }

template <typename T, int32_t (*Mean)(const T *, int32_t, double *)>
void BM_calcMean(benchmark::State &state)
{
    const std::vector<T> x = noise<T>(state.range(0));
    double m = 0.0;
    for (auto _ : state) {
        Mean(x.data(), static_cast<int32_t>(x.size()), &m);
        benchmark::DoNotOptimize(m);
    }
    finish(state);
}
BENCHMARK_TEMPLATE(BM_calcMean, double, calcMeanDouble)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_calcMean, int16_t, calcMeanShort)->Arg(1000)->Arg(10000);

template <typename T, int32_t (*Deviation)(const T *, int32_t, double *)>
void BM_calcStdDeviation(benchmark::State &state)
{
    const std::vector<T> x = noise<T>(state.range(0));
    double s = 0.0;
    for (auto _ : state) {
        Deviation(x.data(), static_cast<int32_t>(x.size()), &s);
        benchmark::DoNotOptimize(s);
    }
    finish(state);
}
BENCHMARK_TEMPLATE(BM_calcStdDeviation, double, calcStdDeviationDouble)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_calcStdDeviation, float, calcStdDeviationFloat)->Arg(1000)->Arg(10000);

template <typename T, typename S, int32_t (*Sum)(const T *, int32_t, S *)>
void BM_calcSum(benchmark::State &state)
{
    const std::vector<T> x = noise<T>(state.range(0));
    S s = 0;
    for (auto _ : state) {
        Sum(x.data(), static_cast<int32_t>(x.size()), &s);
        benchmark::DoNotOptimize(s);
    }
    finish(state);
}
BENCHMARK_TEMPLATE(BM_calcSum, double, double, calcSumDouble)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_calcSum, int16_t, int32_t, calcSumShort)->Arg(1000)->Arg(10000);

template <typename T, int32_t (*Max)(const T *, int32_t, T *, int32_t *)>
void BM_findMax(benchmark::State &state)
{
    const std::vector<T> x = noise<T>(state.range(0));
    T v{};
    int32_t i = 0;
    for (auto _ : state) {
        Max(x.data(), static_cast<int32_t>(x.size()), &v, &i);
        benchmark::DoNotOptimize(i);
    }
    finish(state);
}
BENCHMARK_TEMPLATE(BM_findMax, double, findMaxDouble)->Arg(1000)->Arg(10000);
BENCHMARK_TEMPLATE(BM_findMax, int16_t, findMaxShort)->Arg(1000)->Arg(10000);

// calcMedian sorts its input, so every iteration sorts a fresh copy of the
// same unsorted data; the copy is part of the measured time (as it is in
// arrayMedianForDouble, which copies internally).
void BM_calcMedianDouble(benchmark::State &state)
{
    const std::vector<double> x = noise<double>(state.range(0));
    std::vector<double> work(x.size());
    double m = 0.0;
    for (auto _ : state) {
        work = x;
        calcMedianDouble(work.data(), static_cast<int32_t>(work.size()), &m);
        benchmark::DoNotOptimize(m);
    }
    finish(state);
}
BENCHMARK(BM_calcMedianDouble)->Arg(1000)->Arg(10000);

void BM_arrayMedianForDouble(benchmark::State &state)
{
    const std::vector<double> x = noise<double>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(arrayMedianForDouble(x.data(), static_cast<int32_t>(x.size())));
    finish(state);
}
BENCHMARK(BM_arrayMedianForDouble)->Arg(1000)->Arg(10000);

}  // namespace
