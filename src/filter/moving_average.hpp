// Moving averages over a window of N samples, written once for the two
// kinds that use them: the high-pass (input delayed by `delay` minus the
// window mean) and the low-pass (the window mean).
//
// Per sample the window's running sum is updated incrementally (one
// subtraction, one addition, one division, whatever N): it is never
// re-accumulated, so over very long runs it carries the rounding of every
// update. For ECG and respiration amplitudes (microvolts, a few thousand at
// most) that drift stays many orders of magnitude below one microvolt over
// days of signal, and every init (at each restart of the channel) resets it.
#pragma once

#include <cstdint>

#include "common/log_macros.hpp"
#include "filter/filter.hpp"
#include "tessivar/avg_filter.h"
#include "tessivar/kt_array.h"

namespace tessivar::filter {

template <bool HighPass>
struct MovingAverage {
    static constexpr int32_t kType = HighPass ? SIGNAL_FILTER_AVG : SIGNAL_FILTER_AVG_LP;
    static constexpr const char *kTag = HighPass ? "avg_filter" : "avg_lp_filter";

    static AvgFilter *as(SignalFilter *filter) { return kindOf<AvgFilter>(filter, kType); }

    static bool isComplete(const AvgFilter *f) { return f->avg_num >= 1 && f->buf != nullptr; }

    static void clear(AvgFilter *f, double x0)
    {
        fillHistory(f->buf, f->avg_num, x0);
        f->index = 0;
        f->sum = f->avg_num * x0;
    }

    static SignalFilter *create(const AvgFilterConf *conf, SignalFilterFunc step)
    {
        if (conf == nullptr || conf->name == nullptr || conf->avg_num < 1) {
            TV_LOGE(kTag, "%s", kBadInput);
            return nullptr;
        }
        TV_LOGT(kTag, "new %s, window %d", conf->name, conf->avg_num);
        BlockLayout layout(sizeof(AvgFilter));
        const std::size_t bufAt = layout.reserve<double>(conf->avg_num);
        AvgFilter *f = allocateFilter<AvgFilter>(layout, kType, conf->name, conf->dataPath);
        if (f == nullptr) return nullptr;
        f->avg_num = conf->avg_num;
        f->buf = blockArray<double>(f, bufAt);
        f->head.delay = conf->avg_num / 2;
        init(&f->head, step);
        return &f->head;
    }

    static int init(SignalFilter *filter, SignalFilterFunc step)
    {
        AvgFilter *f = as(filter);
        if (f == nullptr || !isComplete(f)) {
            TV_LOGE(kTag, "%s", kBadInput);
            return -1;
        }
        TV_LOGT(kTag, "init %s", nameOf(filter));
        filter->doFilter = step;
        // The high-pass keeps the delay it was given (at creation or by its
        // owner); the low-pass always reports half its window.
        if (!HighPass) filter->delay = f->avg_num / 2;
        filter->gainDC = 0.0;
        filter->clearPending = 1;
        return 0;
    }

    static int initCustom(SignalFilter *filter, double x0, SignalFilterFunc step)
    {
        AvgFilter *f = as(filter);
        if (f == nullptr || !isComplete(f)) {
            TV_LOGE(kTag, "%s", kBadInput);
            return -1;
        }
        TV_LOGT(kTag, "init %s at %f", nameOf(filter), x0);
        filter->doFilter = step;
        if (!HighPass) filter->delay = f->avg_num / 2;
        clear(f, x0);
        return 0;
    }

    static double step(SignalFilter *filter, double x)
    {
        AvgFilter *f = as(filter);
        if (f == nullptr) return x;
        if (filter->clearPending == 1) {
            clear(f, x);
            filter->clearPending = 0;
        }
        const int32_t n = f->avg_num;
        const int32_t i = f->index;
        f->sum = f->sum - (f->buf[i] - x);
        f->buf[i] = x;
        f->index = i + 1 == n ? 0 : i + 1;
        if (!HighPass) return f->sum / n;

        int32_t j = i - filter->delay;
        if (j < 0) j += n;
        // A delay outside 0 .. N (set by hand) still reads inside the window.
        if (static_cast<uint32_t>(j) >= static_cast<uint32_t>(n)) j = (j % n + n) % n;
        // Read after the write: delay 0 returns x minus the mean.
        return f->buf[j] - f->sum / n;
    }

    // out[t] = in[t] - mean (high-pass) or mean (low-pass) of the window
    // x~[t+d-N+1 .. t+d], x~ being in extended by its edge values.
    static int runOverArray(SignalFilter *filter, const double *in, double *out, int32_t n)
    {
        AvgFilter *f = as(filter);
        // The running sum reads inputs the outputs would already have
        // overwritten, so in-place use is refused.
        if (f == nullptr || in == nullptr || out == nullptr || in == out || !isComplete(f)) {
            TV_LOGE(kTag, "%s invalid parm", nameOf(filter));
            return -1;
        }
        const int32_t len = f->avg_num;
        const int32_t d = filter->delay;
        if (d < 0 || d > len) {
            TV_LOGE(kTag, "%s invalid delay", nameOf(filter));
            return -1;
        }
        if (n <= len) {
            // An empty input has no mean: refused as too short.
            double mean = 0.0;
            if (calcMeanDouble(in, n, &mean) != 0) {
                TV_LOGE(kTag, "%s input to small: %d", nameOf(filter), n);
                return -1;
            }
            for (int32_t t = 0; t < n; ++t) out[t] = HighPass ? in[t] - mean : mean;
            return 0;
        }
        auto emit = [&](int64_t t, double sum) { out[t] = HighPass ? in[t] - sum / len : sum / len; };
        double sum = (len - d) * in[0];
        for (int32_t i = 0; i < d; ++i) sum += in[i];
        int64_t i = d;
        for (; i < len; ++i) emit(i - d, sum += in[i] - in[0]);
        for (; i < n; ++i) emit(i - d, sum += in[i] - in[i - len]);
        for (const int64_t end = int64_t(n) + d; i < end; ++i) emit(i - d, sum += in[n - 1] - in[i - len]);
        return 0;
    }
};

}  // namespace tessivar::filter
