// Moving-average low-pass: y[n] = mean(x[n-N+1 .. n]); delay N/2, reset at
// every init.
#include "tessivar/avg_lp_filter.h"

#include "filter/moving_average.hpp"

using LowPass = tessivar::filter::MovingAverage<false>;

extern "C" SignalFilter *newAvgLpFilter(const AvgLpFilterConf *conf) { return LowPass::create(conf, doAvgLpFilter); }

extern "C" int delAvgLpFilter(SignalFilter **filter)
{
    return tessivar::filter::releaseFilter(filter, LowPass::kTag);
}

extern "C" int initAvgLpFilter(SignalFilter *filter) { return LowPass::init(filter, doAvgLpFilter); }

extern "C" int initAvgLpFilterCustom(SignalFilter *filter, double x0, double y0)
{
    (void)y0;
    return LowPass::initCustom(filter, x0, doAvgLpFilter);
}

extern "C" double doAvgLpFilter(SignalFilter *filter, double x) { return LowPass::step(filter, x); }

extern "C" int doAvgLpFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    return LowPass::runOverArray(filter, in, out, n);
}
