// Sparse-tap IIR ("integer") filter.
//
// Per sample the recursion of the IIR kind runs over tap lists: the tap at
// position seq reads history slot (index + seq - 1) mod length. Instead of a
// modulo, each list is split once at the first tap whose position passes
// the end of the history (a linear scan; the lists hold a handful of taps):
// taps before the split read slot index + seq - 1, the rest the wrapped slot
// seq - 1 - (length - index). Sums are in the filter accumulator (long
// double unless the build selects double); the first
// denominator tap normalises. Cost per sample: num_num_valid +
// den_num_valid - 1 multiply-adds and one division, whatever the
// polynomial lengths.
//
// Records are taken as given where that is safe: taps are sorted by
// position, and a tap beyond the declared polynomial length lengthens the
// history instead of reading outside it. Taps at a position below 1 have no
// meaning and are dropped with a warning.
#include "tessivar/integer_filter.h"

#include <algorithm>

#include "common/log_macros.hpp"
#include "filter/filter.hpp"
#include "filter/iir_recursion.hpp"

namespace tessivar::filter {
namespace {

constexpr const char *kIntTag = "integer_filter";

IntegerFilter *asInteger(SignalFilter *filter) { return kindOf<IntegerFilter>(filter, SIGNAL_FILTER_INTEGER); }

// Taps in ascending position, every position within 1 .. len.
bool tapsFit(const IntegerFilterTap *taps, int32_t count, int32_t len)
{
    for (int32_t i = 0; i < count; ++i) {
        if (taps[i].seq < 1 || taps[i].seq > len) return false;
        if (i > 0 && taps[i].seq < taps[i - 1].seq) return false;
    }
    return true;
}

bool isComplete(const IntegerFilter *f)
{
    return f->numData != nullptr && f->denData != nullptr && f->xBuf != nullptr && f->yBuf != nullptr &&
           f->num_num_valid >= 1 && f->den_num_valid >= 1 && f->xLen >= 1 && f->yLen >= 1 &&
           tapsFit(f->numData, f->num_num_valid, f->xLen) && tapsFit(f->denData, f->den_num_valid, f->yLen);
}

double dcGain(const IntegerFilter *f)
{
    double num = 0.0;
    double den = 0.0;
    for (int32_t i = 0; i < f->num_num_valid; ++i) num += f->numData[i].data * f->head.gain;
    for (int32_t i = 0; i < f->den_num_valid; ++i) den += f->denData[i].data;
    return den == 0.0 ? 0.0 : num / den;
}

void clearInteger(IntegerFilter *f, double x0)
{
    fillHistory(f->xBuf, f->xLen, x0);
    f->xIndex = f->xLen - 1;
    const double gainDC = f->head.gainDC;
    fillHistory(f->yBuf, f->yLen, x0 != 0.0 && !(gainDC == 0.0) ? gainDC * x0 : 0.0);
    f->yIndex = f->yLen - 1;
}

// Copies the usable taps of a record list to dst in ascending position
// (scaled by gain); returns their number and the largest position.
int32_t copyTaps(const IntegerFilterTap *src, int32_t count, double gain, IntegerFilterTap *dst, int32_t *maxSeq,
                 const char *name)
{
    int32_t kept = 0;
    *maxSeq = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (src[i].seq < 1) {
            TV_LOGW(kIntTag, "%s tap %d at position %d dropped", name, i, src[i].seq);
            continue;
        }
        dst[kept].seq = src[i].seq;
        dst[kept].data = src[i].data * gain;
        *maxSeq = std::max(*maxSeq, src[i].seq);
        ++kept;
    }
    std::stable_sort(dst, dst + kept,
                     [](const IntegerFilterTap &l, const IntegerFilterTap &r) { return l.seq < r.seq; });
    return kept;
}

// sum of data * slot over taps[first..count-1] against a history of len
// slots whose current slot is at.
template <bool Subtract>
Accumulator accumulate(Accumulator s, const IntegerFilterTap *taps, int32_t first, int32_t count, const double *buf,
                       int32_t at, int32_t len)
{
    const int32_t room = len - at;  // positions 1 .. room need no wrap
    int32_t i = first;
    for (; i < count && taps[i].seq <= room; ++i) {
        const Accumulator v = static_cast<Accumulator>(taps[i].data) * buf[at + taps[i].seq - 1];
        s = Subtract ? s - v : s + v;
    }
    for (; i < count; ++i) {
        const Accumulator v = static_cast<Accumulator>(taps[i].data) * buf[taps[i].seq - 1 - room];
        s = Subtract ? s - v : s + v;
    }
    return s;
}

}  // namespace
}  // namespace tessivar::filter

using namespace tessivar;
using namespace tessivar::filter;

extern "C" SignalFilter *newIntegerFilter(const IntegerFilterConf *conf)
{
    if (conf == nullptr || conf->name == nullptr || conf->numData == nullptr || conf->denData == nullptr ||
        conf->num_num_valid < 1 || conf->den_num_valid < 1 || conf->num_num < 1 || conf->den_num < 1) {
        TV_LOGE(kIntTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGT(kIntTag, "new %s, %d/%d taps over %d/%d positions", conf->name, conf->num_num_valid,
            conf->den_num_valid, conf->num_num, conf->den_num);
    // The histories are sized after the taps are known; a history at least
    // as long as the polynomial serves every valid record.
    int32_t numMax = 0;
    int32_t denMax = 0;
    for (int32_t i = 0; i < conf->num_num_valid; ++i) numMax = std::max(numMax, conf->numData[i].seq);
    for (int32_t i = 0; i < conf->den_num_valid; ++i) denMax = std::max(denMax, conf->denData[i].seq);
    const int32_t xLen = std::max(conf->num_num, numMax);
    const int32_t yLen = std::max(conf->den_num, denMax);

    BlockLayout layout(sizeof(IntegerFilter));
    const std::size_t numAt = layout.reserve<IntegerFilterTap>(conf->num_num_valid);
    const std::size_t denAt = layout.reserve<IntegerFilterTap>(conf->den_num_valid);
    const std::size_t xAt = layout.reserve<double>(xLen);
    const std::size_t yAt = layout.reserve<double>(yLen);
    IntegerFilter *f = allocateFilter<IntegerFilter>(layout, SIGNAL_FILTER_INTEGER, conf->name, conf->dataPath);
    if (f == nullptr) return nullptr;

    IntegerFilterTap *num = blockArray<IntegerFilterTap>(f, numAt);
    IntegerFilterTap *den = blockArray<IntegerFilterTap>(f, denAt);
    f->numData = num;
    f->num_num = conf->num_num;
    f->num_num_valid = copyTaps(conf->numData, conf->num_num_valid, conf->gain, num, &numMax, conf->name);
    f->denData = den;
    f->den_num = conf->den_num;
    f->den_num_valid = copyTaps(conf->denData, conf->den_num_valid, 1.0, den, &denMax, conf->name);
    f->xLen = xLen;
    f->xBuf = blockArray<double>(f, xAt);
    f->yLen = yLen;
    f->yBuf = blockArray<double>(f, yAt);
    if (f->num_num_valid < 1 || f->den_num_valid < 1) {
        TV_LOGE(kIntTag, "%s", kBadInput);
        SignalFilter *head = &f->head;
        releaseFilter(&head);
        return nullptr;
    }
    initIntegerFilter(&f->head);
    return &f->head;
}

extern "C" int delIntegerFilter(SignalFilter **filter)
{
    return releaseFilter(filter, kIntTag);
}

extern "C" int initIntegerFilter(SignalFilter *filter)
{
    IntegerFilter *f = asInteger(filter);
    if (f == nullptr || !isComplete(f)) {
        TV_LOGE(kIntTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kIntTag, "init %s", nameOf(filter));
    filter->doFilter = doIntegerFilter;
    filter->delay = (f->num_num - f->den_num) / 2;
    filter->gainDC = dcGain(f);
    filter->clearPending = 1;
    return 0;
}

extern "C" int initIntegerFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    IntegerFilter *f = asInteger(filter);
    if (f == nullptr || !isComplete(f)) {
        TV_LOGE(kIntTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kIntTag, "init %s at %f", nameOf(filter), x0);
    filter->doFilter = doIntegerFilter;
    filter->delay = (f->num_num - f->den_num) / 2;
    clearInteger(f, x0);
    return 0;
}

extern "C" double doIntegerFilter(SignalFilter *filter, double x)
{
    IntegerFilter *f = asInteger(filter);
    if (f == nullptr) return x;
    if (filter->clearPending == 1) {
        clearInteger(f, x);
        filter->clearPending = 0;
    }
    const int32_t xAt = f->xIndex;
    const int32_t yAt = f->yIndex;
    f->xBuf[xAt] = x;
    Accumulator s = accumulate<false>(0.0, f->numData, 0, f->num_num_valid, f->xBuf, xAt, f->xLen);
    s = accumulate<true>(s, f->denData, 1, f->den_num_valid, f->yBuf, yAt, f->yLen);
    const double y = static_cast<double>(s / f->denData[0].data);
    f->yBuf[yAt] = y;
    f->xIndex = xAt == 0 ? f->xLen - 1 : xAt - 1;
    f->yIndex = yAt == 0 ? f->yLen - 1 : yAt - 1;
    return filter->gain * y;
}

extern "C" int doIntegerFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    IntegerFilter *f = asInteger(filter);
    if (f == nullptr || in == nullptr || out == nullptr || !isComplete(f)) {
        TV_LOGE(kIntTag, "%s invalid parm", nameOf(filter));
        return -1;
    }
    const int32_t d = filter->delay;
    // The history lengths equal the polynomial lengths for every valid
    // record and cover every tap of any other.
    const int32_t p = std::max(f->xLen, f->yLen) - 1;
    if (d < 0 || d > f->num_num) {
        TV_LOGE(kIntTag, "%s invalid delay", nameOf(filter));
        return -1;
    }
    if (n < f->xLen || n < f->yLen) {
        TV_LOGE(kIntTag, "%s input to small: %d", nameOf(filter), n);
        return -1;
    }
    OutputStage stage(in, out, n);
    if (!stage.ready()) {
        TV_LOGE(kIntTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    if (d > p) {
        TV_LOGE(kIntTag, "%s invalid delay", nameOf(filter));
        return -1;
    }
    if (n < int64_t(d) + p) {
        TV_LOGE(kIntTag, "%s input too small:%d", nameOf(filter), n);
        return -1;
    }
    const SparsePoly num{f->numData, f->num_num_valid};
    const SparsePoly den{f->denData, f->den_num_valid};
    if (!runExtendedRecursion(num, den, p, d, filter->gainDC, in, n, stage.work())) {
        TV_LOGE(kIntTag, "%s malloc error.", nameOf(filter));
        return -1;
    }
    return stage.finish(filter->gain);
}
