// IIR filter in direct form I.
//
// Per sample: x goes into the input history at xIndex, then
//   s = sum_{k<nb} b[k] * xBuf[(xIndex + k) mod xLen]
//     - sum_{1<=k<na} a[k] * yBuf[(yIndex + k) mod yLen]
// in the filter accumulator (long double unless the build selects double),
// each sum in two straight runs (up to the end of the
// history, then the wrapped rest from slot 0); y = s / a[0] is rounded to
// double, stored in the output history and returned times gain. Both
// indices count down. Priming fills the input history with x0 and the
// output history with gainDC * x0, the steady state of a constant input.
#include "tessivar/iir_comb_filter.h"

#include "common/log_macros.hpp"
#include "filter/filter.hpp"
#include "filter/iir_recursion.hpp"

namespace tessivar::filter {
namespace {

constexpr const char *kIirTag = "iir_comb_filter";

IirCombFilter *asIir(SignalFilter *filter) { return kindOf<IirCombFilter>(filter, SIGNAL_FILTER_IIR_COMB); }

bool isComplete(const IirCombFilter *iir)
{
    return iir->numData != nullptr && iir->denData != nullptr && iir->xBuf != nullptr && iir->yBuf != nullptr &&
           iir->num_num >= 1 && iir->den_num >= 1 && iir->xLen >= iir->num_num && iir->yLen >= iir->den_num;
}

// sum(b) * gain / sum(a), or 0 when sum(a) is exactly 0.
double dcGain(const IirCombFilter *iir)
{
    double num = 0.0;
    double den = 0.0;
    for (int32_t k = 0; k < iir->num_num; ++k) num += iir->numData[k];
    for (int32_t k = 0; k < iir->den_num; ++k) den += iir->denData[k];
    return den == 0.0 ? 0.0 : num * iir->head.gain / den;
}

void clearIir(IirCombFilter *iir, double x0)
{
    fillHistory(iir->xBuf, iir->xLen, x0);
    iir->xIndex = iir->xLen - 1;
    const double gainDC = iir->head.gainDC;
    // A gainDC that is not a number counts as not 0.
    fillHistory(iir->yBuf, iir->yLen, x0 != 0.0 && !(gainDC == 0.0) ? gainDC * x0 : 0.0);
    iir->yIndex = iir->yLen - 1;
}

// sum_{k=first..count-1} c[k] * buf[(at + k) mod len], subtracted from or
// added to s, in two straight runs.
template <bool Subtract>
Accumulator accumulate(Accumulator s, const double *c, int32_t first, int32_t count, const double *buf, int32_t at,
                       int32_t len)
{
    const int32_t direct = len - at < count ? len - at : count;
    for (int32_t k = first; k < direct; ++k) {
        const Accumulator v = static_cast<Accumulator>(c[k]) * buf[at + k];
        s = Subtract ? s - v : s + v;
    }
    for (int32_t k = direct > first ? direct : first, j = k - (len - at); k < count; ++k, ++j) {
        const Accumulator v = static_cast<Accumulator>(c[k]) * buf[j];
        s = Subtract ? s - v : s + v;
    }
    return s;
}

}  // namespace
}  // namespace tessivar::filter

using namespace tessivar;
using namespace tessivar::filter;

extern "C" SignalFilter *newIirCombFilter(const IirCombFilterConf *conf)
{
    if (conf == nullptr || conf->name == nullptr || conf->numData == nullptr || conf->denData == nullptr ||
        conf->num_num < 1 || conf->den_num < 1) {
        TV_LOGE(kIirTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGT(kIirTag, "new %s, %d/%d coefficients", conf->name, conf->num_num, conf->den_num);
    const int32_t nb = conf->num_num;
    const int32_t na = conf->den_num;
    BlockLayout layout(sizeof(IirCombFilter));
    const std::size_t numAt = layout.reserve<double>(nb);
    const std::size_t denAt = layout.reserve<double>(na);
    const std::size_t xAt = layout.reserve<double>(nb);
    const std::size_t yAt = layout.reserve<double>(na);
    IirCombFilter *iir = allocateFilter<IirCombFilter>(layout, SIGNAL_FILTER_IIR_COMB, conf->name, conf->dataPath);
    if (iir == nullptr) return nullptr;

    double *b = blockArray<double>(iir, numAt);
    double *a = blockArray<double>(iir, denAt);
    for (int32_t k = 0; k < nb; ++k) b[k] = conf->numData[k] * conf->gain;
    for (int32_t k = 0; k < na; ++k) a[k] = conf->denData[k];
    iir->head.delay = conf->delay;
    iir->numData = b;
    iir->num_num = nb;
    iir->denData = a;
    iir->den_num = na;
    iir->xLen = nb;
    iir->xBuf = blockArray<double>(iir, xAt);
    iir->yLen = na;
    iir->yBuf = blockArray<double>(iir, yAt);
    initIirCombFilter(&iir->head);
    return &iir->head;
}

extern "C" int delIirCombFilter(SignalFilter **filter)
{
    return releaseFilter(filter, kIirTag);
}

extern "C" int initIirCombFilter(SignalFilter *filter)
{
    IirCombFilter *iir = asIir(filter);
    if (iir == nullptr || !isComplete(iir)) {
        TV_LOGE(kIirTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kIirTag, "init %s", nameOf(filter));
    filter->doFilter = doIirCombFilter;
    filter->gainDC = dcGain(iir);
    filter->clearPending = 1;
    return 0;
}

extern "C" int initIirCombFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    IirCombFilter *iir = asIir(filter);
    if (iir == nullptr || !isComplete(iir)) {
        TV_LOGE(kIirTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kIirTag, "init %s at %f", nameOf(filter), x0);
    filter->doFilter = doIirCombFilter;
    clearIir(iir, x0);
    return 0;
}

extern "C" double doIirCombFilter(SignalFilter *filter, double x)
{
    IirCombFilter *iir = asIir(filter);
    if (iir == nullptr) return x;
    if (filter->clearPending == 1) {
        clearIir(iir, x);
        filter->clearPending = 0;
    }
    const int32_t xAt = iir->xIndex;
    const int32_t yAt = iir->yIndex;
    iir->xBuf[xAt] = x;
    Accumulator s = accumulate<false>(0.0, iir->numData, 0, iir->num_num, iir->xBuf, xAt, iir->xLen);
    s = accumulate<true>(s, iir->denData, 1, iir->den_num, iir->yBuf, yAt, iir->yLen);
    // Most designs are normalised (a[0] = 1): dividing by 1 changes nothing,
    // so the division is left out for them.
    const double a0 = iir->denData[0];
    const double y = static_cast<double>(a0 == 1.0 ? s : s / a0);
    iir->yBuf[yAt] = y;
    iir->xIndex = xAt == 0 ? iir->xLen - 1 : xAt - 1;
    iir->yIndex = yAt == 0 ? iir->yLen - 1 : yAt - 1;
    return filter->gain * y;
}

extern "C" int doIirCombFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    IirCombFilter *iir = asIir(filter);
    if (iir == nullptr || in == nullptr || out == nullptr || !isComplete(iir)) {
        TV_LOGE(kIirTag, "%s invalid parm", nameOf(filter));
        return -1;
    }
    const int32_t d = filter->delay;
    const int32_t nb = iir->num_num;
    const int32_t na = iir->den_num;
    const int32_t p = (nb > na ? nb : na) - 1;
    if (d < 0) {
        TV_LOGE(kIirTag, "%s invalid delay", nameOf(filter));
        return -1;
    }
    if (n < nb || n < na || n < d) {
        TV_LOGE(kIirTag, "%s input to small: %d", nameOf(filter), n);
        return -1;
    }
    OutputStage stage(in, out, n);
    if (!stage.ready()) {
        TV_LOGE(kIirTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    // The delay may exceed P here; only the input has to cover it.
    if (n < int64_t(d) + p) {
        TV_LOGE(kIirTag, "%s input too small:%d", nameOf(filter), n);
        return -1;
    }
    const DensePoly num{iir->numData, nb};
    const DensePoly den{iir->denData, na};
    if (!runExtendedRecursion(num, den, p, d, filter->gainDC, in, n, stage.work())) {
        TV_LOGE(kIirTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    return stage.finish(filter->gain);
}
