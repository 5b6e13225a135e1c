// Nonlinear notch: an adaptive canceller of mains interference.
//
// A second-order oscillator e[n] = phi*e[n-1] - e[n-2] predicts the
// interference at the known frequency. Its prediction is then corrected by a
// fixed step adj_the towards the input: when the cleaned signal x - e rose
// (or stayed) since the previous sample, the estimate is raised, otherwise
// lowered. The output is x - e[n]. All arithmetic in double; no delay.
#include "tessivar/nonlinear_notch_filter.h"

#include "common/log_macros.hpp"
#include "filter/filter.hpp"

namespace tessivar::filter {
namespace {

constexpr const char *kNotchTag = "nonlinear_notch_filter";

NonlinearNotchFilter *asNotch(SignalFilter *filter)
{
    return kindOf<NonlinearNotchFilter>(filter, SIGNAL_FILTER_NONLINEAR_NOTCH);
}

void clearNotch(NonlinearNotchFilter *f, double x0)
{
    f->e2 = 0.0;
    f->e1 = 0.0;
    f->e0 = 0.0;
    f->xPrev = x0;
}

}  // namespace
}  // namespace tessivar::filter

using namespace tessivar;
using namespace tessivar::filter;

extern "C" SignalFilter *newNonlinearNotchFilter(const NonlinearNotchFilterConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kNotchTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGT(kNotchTag, "new %s, phi %f, step %f", conf->name, conf->phi, conf->adj_the);
    BlockLayout layout(sizeof(NonlinearNotchFilter));
    NonlinearNotchFilter *f =
        allocateFilter<NonlinearNotchFilter>(layout, SIGNAL_FILTER_NONLINEAR_NOTCH, conf->name, conf->dataPath);
    if (f == nullptr) return nullptr;
    f->phi = conf->phi;
    f->adj_the = conf->adj_the;
    f->head.delay = 0;
    initNonlinearNotchFilter(&f->head);
    return &f->head;
}

extern "C" int delNonlinearNotchFilter(SignalFilter **filter)
{
    return releaseFilter(filter, kNotchTag);
}

extern "C" int initNonlinearNotchFilter(SignalFilter *filter)
{
    if (asNotch(filter) == nullptr) {
        TV_LOGE(kNotchTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kNotchTag, "init %s", nameOf(filter));
    filter->doFilter = doNonlinearNotchFilter;
    filter->gainDC = 0.0;
    filter->clearPending = 1;
    return 0;
}

extern "C" int initNonlinearNotchFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    NonlinearNotchFilter *f = asNotch(filter);
    if (f == nullptr) {
        TV_LOGE(kNotchTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kNotchTag, "init %s at %f", nameOf(filter), x0);
    filter->doFilter = doNonlinearNotchFilter;
    clearNotch(f, x0);
    return 0;
}

extern "C" double doNonlinearNotchFilter(SignalFilter *filter, double x)
{
    NonlinearNotchFilter *f = asNotch(filter);
    if (f == nullptr) return x;
    if (filter->clearPending == 1) {
        clearNotch(f, x);
        filter->clearPending = 0;
    }
    f->e0 = f->phi * f->e1 - f->e2;
    const double change = (x - f->e0) - (f->xPrev - f->e1);
    // A change of 0, or one that is not a number, counts as upward.
    if (change < 0.0)
        f->e0 -= f->adj_the;
    else
        f->e0 += f->adj_the;
    f->xPrev = x;
    const double y = x - f->e0;
    f->e2 = f->e1;
    f->e1 = f->e0;
    return y;
}
