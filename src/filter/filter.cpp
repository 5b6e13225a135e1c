// Generic entry points of the signal filter object: they check the
// arguments and dispatch by kind code to the kinds' own functions. Kind codes
// outside the table are not filters: creation returns null, deletion frees
// nothing, the other entry points leave them alone.
#include <cstdio>
#include <cstring>

#include "common/log_macros.hpp"
#include "filter/filter.hpp"
#include "serialize/anal_serialize.hpp"
#include "tessivar/avg_filter.h"
#include "tessivar/avg_lp_filter.h"
#include "tessivar/fir_filter.h"
#include "tessivar/iir_comb_filter.h"
#include "tessivar/integer_filter.h"
#include "tessivar/nonlinear_notch_filter.h"

namespace tessivar::filter {

int releaseFilter(SignalFilter **filter, const char *tag)
{
    if (filter == nullptr || *filter == nullptr) return -1;
    SignalFilter *f = *filter;
    if (tag != nullptr) TV_LOGT(tag, "delete %s", nameOf(f));
    closeDebugStream(&f->inFile);
    closeDebugStream(&f->outFile);
    std::free(f);
    *filter = nullptr;
    return 0;
}

void fillHistory(double *buf, int32_t n, double x0)
{
    const double v = x0 == 0.0 ? 0.0 : x0;
    for (int32_t i = 0; i < n; ++i) buf[i] = v;
}

OutputStage::OutputStage(const double *in, double *out, int32_t n)
    : out_(out), work_(out), n_(n > 0 ? n : 0), inPlace_(in == out)
{
    const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(n_);
    if (inPlace_) work_ = static_cast<double *>(std::malloc(bytes > 0 ? bytes : 1));
    if (work_ != nullptr) std::memset(work_, 0, bytes);
}

OutputStage::~OutputStage()
{
    if (inPlace_) std::free(work_);
}

int OutputStage::finish(double gain)
{
    if (!(gain == 1.0)) {
        for (int32_t i = 0; i < n_; ++i) out_[i] = work_[i] * gain;
    } else if (inPlace_) {
        std::memcpy(out_, work_, sizeof(double) * static_cast<std::size_t>(n_));
    }
    return inPlace_ ? 1 : 0;
}

void extendHead(const double *in, int32_t pad, int32_t count, double *segment)
{
    for (int32_t i = 0; i < pad; ++i) segment[i] = in[0];
    std::memcpy(segment + pad, in, sizeof(double) * static_cast<std::size_t>(count - pad));
}

void extendTail(const double *in, int32_t n, int32_t keep, int32_t pad, double *segment)
{
    std::memcpy(segment, in + n - keep, sizeof(double) * static_cast<std::size_t>(keep));
    for (int32_t i = 0; i < pad; ++i) segment[keep + i] = in[n - 1];
}

namespace {

// Writes data[0..n-1] to "<dataPath>/<file>" when the filter has a data path.
void dumpArray(const SignalFilter *filter, const char *file, const double *data, int32_t n)
{
    if (filter->dataPath == nullptr || data == nullptr || n < 1) return;
    serializeWriteDataArrayIn(filter->dataPath, file, data, n, kDoubleArrayTag);
}

// The notch has no whole-array path of its own: it runs sample by sample,
// its state carrying on from and into real-time use.
int runNotchOverArray(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    // Null arrays are refused here as at the other kinds' whole-array paths.
    if (in == nullptr || out == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    for (int32_t i = 0; i < n; ++i) out[i] = doNonlinearNotchFilter(filter, in[i]);
    return 0;
}

}  // namespace
}  // namespace tessivar::filter

using namespace tessivar;
using namespace tessivar::filter;

extern "C" const char *signalFilterVersion(void) { return "filter version 1.0.1.3 2025-07-15 10:59:40"; }

extern "C" SignalFilter *newSignalFilter(const SignalFilterConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGT(kTag, "new filter %s, type %d", conf->name, conf->type);
    // The kind records share the head of SignalFilterConf; the kind code
    // says which record this one really is.
    switch (conf->type) {
    case SIGNAL_FILTER_AVG: return newAvgFilter(reinterpret_cast<const AvgFilterConf *>(conf));
    case SIGNAL_FILTER_FIR: return newFirFilter(reinterpret_cast<const FirFilterConf *>(conf));
    case SIGNAL_FILTER_IIR_COMB: return newIirCombFilter(reinterpret_cast<const IirCombFilterConf *>(conf));
    case SIGNAL_FILTER_INTEGER: return newIntegerFilter(reinterpret_cast<const IntegerFilterConf *>(conf));
    case SIGNAL_FILTER_NONLINEAR_NOTCH:
        return newNonlinearNotchFilter(reinterpret_cast<const NonlinearNotchFilterConf *>(conf));
    case SIGNAL_FILTER_AVG_LP: return newAvgLpFilter(reinterpret_cast<const AvgLpFilterConf *>(conf));
    default: return nullptr;
    }
}

extern "C" int delSignalFilter(SignalFilter **filter)
{
    if (filter == nullptr || *filter == nullptr) return -1;
    TV_LOGT(kTag, "delete filter %s", nameOf(*filter));
    switch ((*filter)->type) {
    case SIGNAL_FILTER_AVG: return delAvgFilter(filter);
    case SIGNAL_FILTER_FIR: return delFirFilter(filter);
    case SIGNAL_FILTER_IIR_COMB: return delIirCombFilter(filter);
    case SIGNAL_FILTER_INTEGER: return delIntegerFilter(filter);
    case SIGNAL_FILTER_NONLINEAR_NOTCH: return delNonlinearNotchFilter(filter);
    case SIGNAL_FILTER_AVG_LP: return delAvgLpFilter(filter);
    default: return 0;
    }
}

extern "C" int initSignalFilter(SignalFilter *filter)
{
    if (filter == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kTag, "init filter %s", nameOf(filter));
    int rc = 0;
    switch (filter->type) {
    case SIGNAL_FILTER_AVG: rc = initAvgFilter(filter); break;
    case SIGNAL_FILTER_FIR: rc = initFirFilter(filter); break;
    case SIGNAL_FILTER_IIR_COMB: rc = initIirCombFilter(filter); break;
    case SIGNAL_FILTER_INTEGER: rc = initIntegerFilter(filter); break;
    case SIGNAL_FILTER_NONLINEAR_NOTCH: rc = initNonlinearNotchFilter(filter); break;
    case SIGNAL_FILTER_AVG_LP: rc = initAvgLpFilter(filter); break;
    default: break;
    }
    if (filter->doFilter == nullptr) {
        TV_LOGE(kTag, "function call doFilter not exist.");
        return -1;
    }
    return rc;
}

extern "C" int initSignalFilterCustom(SignalFilter *filter, double x0, double y0)
{
    if (filter == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGT(kTag, "init filter %s at %f", nameOf(filter), x0);
    switch (filter->type) {
    case SIGNAL_FILTER_AVG: return initAvgFilterCustom(filter, x0, y0);
    case SIGNAL_FILTER_FIR: return initFirFilterCustom(filter, x0, y0);
    case SIGNAL_FILTER_IIR_COMB: return initIirCombFilterCustom(filter, x0, y0);
    case SIGNAL_FILTER_INTEGER: return initIntegerFilterCustom(filter, x0, y0);
    case SIGNAL_FILTER_NONLINEAR_NOTCH: return initNonlinearNotchFilterCustom(filter, x0, y0);
    case SIGNAL_FILTER_AVG_LP: return initAvgLpFilterCustom(filter, x0, y0);
    default: return 0;
    }
}

extern "C" double doSignalFilter(SignalFilter *filter, double x)
{
    if (filter == nullptr || filter->doFilter == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return x;
    }
    return filter->doFilter(filter, x);
}

extern "C" int doSignalFilterNotRealTime(SignalFilter *filter, const double *in, double *out, int32_t n)
{
    if (filter == nullptr || filter->doFilter == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        if (in != nullptr && out != nullptr && in != out && n > 0)
            std::memmove(out, in, sizeof(double) * static_cast<std::size_t>(n));
        return -1;
    }
    TV_LOGI(kTag, "filter %s over %d samples", nameOf(filter), n);
    dumpArray(filter, "in1.csv", in, n);
    int rc = 0;
    switch (filter->type) {
    case SIGNAL_FILTER_AVG: rc = doAvgFilterNotRealTime(filter, in, out, n); break;
    case SIGNAL_FILTER_FIR: rc = doFirFilterNotRealTime(filter, in, out, n); break;
    case SIGNAL_FILTER_IIR_COMB: rc = doIirCombFilterNotRealTime(filter, in, out, n); break;
    case SIGNAL_FILTER_INTEGER: rc = doIntegerFilterNotRealTime(filter, in, out, n); break;
    case SIGNAL_FILTER_NONLINEAR_NOTCH: rc = runNotchOverArray(filter, in, out, n); break;
    case SIGNAL_FILTER_AVG_LP: rc = doAvgLpFilterNotRealTime(filter, in, out, n); break;
    default: break;
    }
    dumpArray(filter, "out1.csv", out, n);
    return rc;
}

extern "C" int32_t getSignalFilterDelay(const SignalFilter *filter)
{
    if (filter == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return 0;
    }
    return filter->delay;
}

extern "C" int32_t setSignalFilterDelay(SignalFilter *filter, int32_t delay)
{
    if (filter == nullptr || delay < 0) {
        TV_LOGE(kTag, "%s", kBadInput);
        return 0;
    }
    filter->delay = delay;
    return delay;
}
