// Per-sample throughput of every filter kind at the record sizes the front
// end uses (items/s = samples per second): 113- and 225-tap FIR, the
// 1000-tap equal-coefficient FIR of the respiration display, 7/7 IIR, the
// 3841-long integer baseline record "hpass 0.3" and the 1921-long mains comb
// "comb 50 0.6", the moving averages and the notch; plus the whole-array
// path of the FIR and integer kinds. tools/performance_report.py runs scipy's
// lfilter on the same coefficients and signal.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tessivar/tessivar.h"

namespace {

std::vector<double> signal(int n)
{
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 300.0 * std::sin(0.01 * i) + 40.0 * std::sin(0.314 * i);
    return x;
}

// Only errors are logged while measuring (the whole-array path logs each call).
void quietLog()
{
    static const int started = [] {
        const LogConf conf = {nullptr, nullptr, LOG_LEVEL_ERROR, nullptr};
        return newLog(&conf);
    }();
    (void)started;
}

// Feeds a block of samples per iteration through doSignalFilter.
void runPerSample(benchmark::State &state, const void *record)
{
    quietLog();
    SignalFilter *f = newSignalFilter(static_cast<const SignalFilterConf *>(record));
    if (f == nullptr) {
        state.SkipWithError("filter not created");
        return;
    }
    const std::vector<double> x = signal(4096);
    for (auto _ : state) {
        for (double v : x) benchmark::DoNotOptimize(doSignalFilter(f, v));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
    delSignalFilter(&f);
}

void runWholeArray(benchmark::State &state, const void *record, int n)
{
    quietLog();
    SignalFilter *f = newSignalFilter(static_cast<const SignalFilterConf *>(record));
    const std::vector<double> x = signal(n);
    std::vector<double> y(x.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(doSignalFilterNotRealTime(f, x.data(), y.data(), n));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
    delSignalFilter(&f);
}

FirFilterConf firRecord(std::vector<double> &taps, int n)
{
    taps.assign(static_cast<std::size_t>(n), 0.0);
    for (int k = 0; k < n; ++k) taps[static_cast<std::size_t>(k)] = std::sin(0.1 * (k + 1)) / n;
    FirFilterConf c{};
    c.type = SIGNAL_FILTER_FIR;
    c.name = "bench fir";
    c.gain = 1.0;
    c.numData = taps.data();
    c.num_num = n;
    return c;
}

// "comb 50 0.6": centre 961, side taps 20 apart, K 2304.
const IntegerFilterTap kCombNum[] = {{1, -1}, {941, 2304}, {961, -4606}, {981, 2304}, {1921, -1}};
const IntegerFilterTap kCombDen[] = {{1, 2304}, {21, -4608}, {41, 2304}};

const IntegerFilterTap kHpassNum[] = {{1, -1}, {1920, 3686400}, {1921, -7372798}, {1922, 3686400}, {3841, -1}};
const IntegerFilterTap kHpassDen[] = {{1, 3686400}, {2, -7372800}, {3, 3686400}};

// A five-over-three-tap integer record of numerator length len and
// denominator length denLen.
IntegerFilterConf integerRecord(const char *name, const IntegerFilterTap *num, int32_t len,
                                const IntegerFilterTap *den, int32_t denLen)
{
    IntegerFilterConf c{};
    c.type = SIGNAL_FILTER_INTEGER;
    c.name = name;
    c.gain = 1.0;
    c.numData = num;
    c.num_num = len;
    c.num_num_valid = 5;
    c.denData = den;
    c.den_num = denLen;
    c.den_num_valid = 3;
    return c;
}

IntegerFilterConf hpassRecord() { return integerRecord("hpass 0.3", kHpassNum, 3841, kHpassDen, 3); }

void BM_IntegerComb50Hp06(benchmark::State &state)
{
    IntegerFilterConf c = integerRecord("comb 50 0.6", kCombNum, 1921, kCombDen, 41);
    runPerSample(state, &c);
}
BENCHMARK(BM_IntegerComb50Hp06);

// The respiration display average: 1000 taps of 1/1000.
void BM_FirEqualTaps1000(benchmark::State &state)
{
    std::vector<double> taps;
    FirFilterConf c = firRecord(taps, 1000);
    std::fill(taps.begin(), taps.end(), 1.0);
    c.name = "disAvg";
    c.gain = 1.0 / 1000;
    runPerSample(state, &c);
}
BENCHMARK(BM_FirEqualTaps1000);

void BM_Fir(benchmark::State &state)
{
    std::vector<double> taps;
    FirFilterConf c = firRecord(taps, static_cast<int>(state.range(0)));
    runPerSample(state, &c);
}
BENCHMARK(BM_Fir)->Arg(113)->Arg(225);

void BM_IirComb7(benchmark::State &state)
{
    // A 6th-order low-pass (7 numerator and 7 denominator coefficients).
    static const double b[] = {2.3e-8, 1.4e-7, 3.5e-7, 4.6e-7, 3.5e-7, 1.4e-7, 2.3e-8};
    static const double a[] = {1.0, -5.75, 13.78, -17.61, 12.66, -4.85, 0.77};
    IirCombFilterConf c{};
    c.type = SIGNAL_FILTER_IIR_COMB;
    c.name = "bench iir";
    c.gain = 1.0;
    c.numData = b;
    c.num_num = 7;
    c.denData = a;
    c.den_num = 7;
    runPerSample(state, &c);
}
BENCHMARK(BM_IirComb7);

void BM_IntegerHpass03(benchmark::State &state)
{
    IntegerFilterConf c = hpassRecord();
    runPerSample(state, &c);
}
BENCHMARK(BM_IntegerHpass03);

void BM_Avg(benchmark::State &state)
{
    AvgFilterConf c{SIGNAL_FILTER_AVG, "hpass 0.01", nullptr, 24025};
    runPerSample(state, &c);
}
BENCHMARK(BM_Avg);

void BM_AvgLp(benchmark::State &state)
{
    AvgFilterConf c{SIGNAL_FILTER_AVG_LP, "resp lp", nullptr, 300};
    runPerSample(state, &c);
}
BENCHMARK(BM_AvgLp);

void BM_NonlinearNotch(benchmark::State &state)
{
    NonlinearNotchFilterConf c{SIGNAL_FILTER_NONLINEAR_NOTCH, "trap 50", nullptr, 1.902113032590308, 0.02};
    runPerSample(state, &c);
}
BENCHMARK(BM_NonlinearNotch);

void BM_FirWholeArray(benchmark::State &state)
{
    std::vector<double> taps;
    FirFilterConf c = firRecord(taps, static_cast<int>(state.range(0)));
    runWholeArray(state, &c, 10000);
}
BENCHMARK(BM_FirWholeArray)->Arg(113)->Arg(225);

void BM_IntegerWholeArray(benchmark::State &state)
{
    IntegerFilterConf c = hpassRecord();
    runWholeArray(state, &c, 10000);
}
BENCHMARK(BM_IntegerWholeArray);

}  // namespace
