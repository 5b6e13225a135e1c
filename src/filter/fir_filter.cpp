// FIR filter.
//
// Per sample: the newest input goes into a circular history at xIndex (which
// counts down), and y = sum_k b[k] * xBuf[(xIndex + k) mod L] is taken in two
// straight runs, from xIndex to the end of the history and then the wrapped
// remainder from slot 0, so there is neither a modulo nor a branch inside
// the loops. The sum is accumulated in the filter accumulator (long double,
// the x87 80-bit format with a 64-bit mantissa on x86, unless the build
// selects double; on a platform whose long double is no wider than double
// the last bits may differ) and rounded to double once.
//
// Moving averages: a created filter of at least kRunningSumTaps taps that
// are all the same value c (the respiration display average) keeps the sum
// of its history up to date instead, adding the newest sample and taking
// away the one that leaves, and returns c * sum: two additions per sample
// instead of L products. The history is summed afresh whenever the index
// wraps (once per L samples) and whenever the sum is not finite, so rounding
// does not build up and a NaN or infinity leaves with its sample. The result
// may differ from the product sum in the last bits of the double (c * sum is
// rounded once where the product sum rounds every product), so filters of
// fewer taps keep the product sum.
//
// Whole array: out[t] = sum_k b[k] * x~[t+d-k], x~ being the input extended
// by its edge values. The middle is one convolution of the input; the first
// 2(L-1) and last d outputs come from two short convolutions of
// edge-extended copies of the head and tail.
#include "tessivar/fir_filter.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "common/log_macros.hpp"
#include "filter/filter.hpp"
#include "tessivar/conv.h"

namespace tessivar::filter {
namespace {

constexpr const char *kFirTag = "fir_filter";

// Moving-average bookkeeping of a created FIR. It sits in the filter's block
// between the FirFilter and its coefficients, so it is found from the
// coefficient pointer; statically defined filters have none.
struct FirRunningSum {
    const FirFilter *owner;  // the filter whose block holds it
    int32_t equalTaps;       // 1: every tap equals numData[0] and there are enough
    Accumulator sum;         // sum of the history
};

// Shortest filter worth the running sum.
constexpr int32_t kRunningSumTaps = 64;

constexpr std::size_t alignUp(std::size_t n, std::size_t a) { return (n + a - 1) / a * a; }
constexpr std::size_t kRunningSumAt = alignUp(sizeof(FirFilter), alignof(FirRunningSum));
constexpr std::size_t kCoefAt = alignUp(kRunningSumAt + sizeof(FirRunningSum), alignof(double));

// The running sum of a created FIR, or null for any other FIR.
FirRunningSum *runningSumOf(FirFilter *fir)
{
    // Compared as addresses: a static filter's coefficients are elsewhere.
    if (reinterpret_cast<std::uintptr_t>(fir->numData) != reinterpret_cast<std::uintptr_t>(fir) + kCoefAt)
        return nullptr;
    FirRunningSum *run = blockArray<FirRunningSum>(fir, kRunningSumAt);
    return run->owner == fir ? run : nullptr;
}

Accumulator historySum(const FirFilter *fir)
{
    Accumulator s = 0.0;
    for (int32_t k = 0; k < fir->xLen; ++k) s += fir->xBuf[k];
    return s;
}

// The filter as a FIR, or null.
FirFilter *asFir(SignalFilter *filter) { return kindOf<FirFilter>(filter, SIGNAL_FILTER_FIR); }

// A FIR whose coefficients and history are all there (created, or a
// complete static definition).
bool isComplete(const FirFilter *fir)
{
    return fir->numData != nullptr && fir->xBuf != nullptr && fir->num_num >= 1 && fir->xLen >= fir->num_num;
}

void clearFir(FirFilter *fir, double x0)
{
    fillHistory(fir->xBuf, fir->xLen, x0);
    fir->xIndex = fir->xLen - 1;
    if (FirRunningSum *run = runningSumOf(fir)) run->sum = historySum(fir);
}

// One moving-average step: x replaces the oldest sample at slot `at`.
double runningStep(FirFilter *fir, FirRunningSum *run, int32_t at, double x)
{
    const double leaving = fir->xBuf[at];
    fir->xBuf[at] = x;
    run->sum += static_cast<Accumulator>(x) - leaving;
    if (at == 0 || !std::isfinite(static_cast<double>(run->sum))) run->sum = historySum(fir);
    return static_cast<double>(static_cast<Accumulator>(fir->numData[0]) * run->sum);
}

}  // namespace
}  // namespace tessivar::filter

using namespace tessivar;
using namespace tessivar::filter;

extern "C" SignalFilter *newFirFilter(const FirFilterConf *conf)
{
    if (conf == nullptr || conf->name == nullptr || conf->numData == nullptr || conf->num_num < 1) {
        TV_LOGE(kFirTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGT(kFirTag, "new %s, %d taps", conf->name, conf->num_num);
    const int32_t taps = conf->num_num;
    BlockLayout layout(sizeof(FirFilter));
    layout.reserve<FirRunningSum>(1);  // at kRunningSumAt
    const std::size_t coefAt = layout.reserve<double>(taps);  // kCoefAt
    const std::size_t historyAt = layout.reserve<double>(taps);
    FirFilter *fir = allocateFilter<FirFilter>(layout, SIGNAL_FILTER_FIR, conf->name, conf->dataPath);
    if (fir == nullptr) return nullptr;

    double *b = blockArray<double>(fir, coefAt);
    for (int32_t k = 0; k < taps; ++k) b[k] = conf->numData[k] * conf->gain;
    fir->numData = b;
    fir->num_num = taps;
    fir->xLen = taps;
    fir->xBuf = blockArray<double>(fir, historyAt);
    FirRunningSum *run = new (blockArray<FirRunningSum>(fir, kRunningSumAt)) FirRunningSum{};
    run->owner = coefAt == kCoefAt ? fir : nullptr;  // the coefficients are where runningSumOf looks
    bool equal = taps >= kRunningSumTaps;
    for (int32_t k = 1; equal && k < taps; ++k) equal = b[k] == b[0];
    run->equalTaps = equal ? 1 : 0;
    initFirFilter(&fir->head);
    return &fir->head;
}

extern "C" int delFirFilter(SignalFilter **filter)
{
    return releaseFilter(filter, kFirTag);
}

extern "C" int initFirFilter(SignalFilter *filter)
{
    FirFilter *fir = asFir(filter);
    if (fir == nullptr || !isComplete(fir)) {
        TV_LOGE(kFirTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kFirTag, "init %s", nameOf(filter));
    filter->doFilter = doFirFilter;
    filter->delay = fir->num_num / 2;
    filter->gainDC = 0.0;  // no output history to prime
    filter->clearPending = 1;
    return 0;
}

extern "C" int initFirFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    FirFilter *fir = asFir(filter);
    if (fir == nullptr || !isComplete(fir)) {
        TV_LOGE(kFirTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kFirTag, "init %s at %f", nameOf(filter), x0);
    filter->doFilter = doFirFilter;
    filter->delay = fir->num_num / 2;
    clearFir(fir, x0);
    return 0;
}

extern "C" double doFirFilter(SignalFilter *filter, double x)
{
    FirFilter *fir = asFir(filter);
    if (fir == nullptr) return x;
    if (filter->clearPending == 1) {
        clearFir(fir, x);
        filter->clearPending = 0;
    }
    const double *b = fir->numData;
    const double *h = fir->xBuf;
    const int32_t taps = fir->num_num;
    const int32_t at = fir->xIndex;
    FirRunningSum *run = runningSumOf(fir);
    if (run != nullptr && run->equalTaps == 1) {
        const double y = runningStep(fir, run, at, x);
        fir->xIndex = at == 0 ? fir->xLen - 1 : at - 1;
        return filter->gain * y;
    }
    fir->xBuf[at] = x;

    // b[k] meets slot at + k up to the end of the history, then slot
    // k - (xLen - at) from the start.
    const int32_t direct = fir->xLen - at < taps ? fir->xLen - at : taps;
    Accumulator s = 0.0;
    for (int32_t k = 0; k < direct; ++k) s += static_cast<Accumulator>(b[k]) * h[at + k];
    for (int32_t k = direct, j = 0; k < taps; ++k, ++j) s += static_cast<Accumulator>(b[k]) * h[j];

    fir->xIndex = at == 0 ? fir->xLen - 1 : at - 1;
    return filter->gain * static_cast<double>(s);
}

extern "C" int doFirFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    FirFilter *fir = asFir(filter);
    if (fir == nullptr || in == nullptr || out == nullptr || !isComplete(fir)) {
        TV_LOGE(kFirTag, "%s invalid parm", nameOf(filter));
        return -1;
    }
    const int32_t taps = fir->num_num;
    const int32_t d = filter->delay;
    const int32_t p = taps - 1;
    if (d < 0 || d > taps) {
        TV_LOGE(kFirTag, "%s invalid delay", nameOf(filter));
        return -1;
    }
    if (n < taps) {
        TV_LOGE(kFirTag, "%s input to small: %d", nameOf(filter), n);
        return -1;
    }
    OutputStage stage(in, out, n);
    if (!stage.ready()) {
        TV_LOGE(kFirTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    if (d > p) {
        TV_LOGE(kFirTag, "%s invalid delay", nameOf(filter));
        return -1;
    }
    if (n < int64_t(d) + 2 * int64_t(p)) {
        TV_LOGE(kFirTag, "%s input too small:%d", nameOf(filter), n);
        return -1;
    }

    // Scratch: head input A and its output B (d + 3P each), tail input C and
    // its output D (d + P each).
    const int32_t headLen = d + 3 * p;
    const int32_t tailLen = d + p;
    double *scratch = static_cast<double *>(std::calloc(static_cast<std::size_t>(2 * (headLen + tailLen)) + 1, sizeof(double)));
    if (scratch == nullptr) {
        TV_LOGE(kFirTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    double *headIn = scratch;
    double *headOut = headIn + headLen;
    double *tailIn = headOut + headLen;
    double *tailOut = tailIn + tailLen;
    extendHead(in, p, headLen, headIn);
    extendTail(in, n, p, d, tailIn);

    const double *b = fir->numData;
    double *work = stage.work();
    convWinograd(headIn, headLen, b, taps, headOut);
    convWinograd(in + p + d, n - d - p, b, taps, work + p);
    convWinograd(tailIn, tailLen, b, taps, tailOut);
    // The first P middle outputs lacked history: the head replaces them.
    for (int32_t t = 0; t < 2 * p; ++t) work[t] = headOut[d + p + t];
    for (int32_t t = 0; t < d; ++t) work[n - d + t] = tailOut[p + t];
    std::free(scratch);
    return stage.finish(filter->gain);
}
