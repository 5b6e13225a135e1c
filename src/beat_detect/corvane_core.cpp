// Instance, signal chain, threshold learning and per-sample driver of the
// adaptive-threshold R-wave detector (methods 1 and kt).
#include "beat_detect/corvane_core.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "beat_detect/detector_block.hpp"
#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "tessivar/avg_lp_filter.h"
#include "tessivar/fir_filter.h"
#include "tessivar/integer_filter.h"
#include "tessivar/maxMinMeanMedianAbsOfArray.h"

namespace tessivar::corvane {
namespace {

// The method family whose handles the variant's entry points take.
int32_t familyOf(Variant variant) { return variant == Variant::corvane ? 1 : 3; }

// Largest derivative kernel (taps) of any accepted rate.
constexpr int32_t kMaxKernel = 128;
// Highest rate whose learning window (2 fs + 1 samples) fits the rings.
constexpr int32_t kMaxFs = (kRing - 1) / 2;

SignalFilter *integerFilter(const char *name, const IntegerFilterTap *num, int32_t numTaps, int32_t numLen,
                            double gain)
{
    static constexpr IntegerFilterTap kDen[3] = {{1, 1.0}, {2, -2.0}, {3, 1.0}};
    const IntegerFilterConf conf{SIGNAL_FILTER_INTEGER, name, nullptr, gain, num, numLen, numTaps, kDen, 3, 3};
    return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf));
}

// (1 - z^-N)^2 / (1 - z^-1)^2: a triangular moving sum of gain N^2.
SignalFilter *triangularFilter(const char *name, int32_t N)
{
    const IntegerFilterTap num[3] = {{1, 1.0}, {N + 1, -2.0}, {2 * N + 1, 1.0}};
    return integerFilter(name, num, 3, 2 * N + 1, 1.0);
}

// The kt high-pass: the input N samples back minus the normalised
// triangular baseline, in one filter.
SignalFilter *ktHighPass(int32_t N)
{
    const double NN = double(N) * N;
    const IntegerFilterTap num[5] = {{1, -1.0}, {N + 1, NN + 2.0}, {N + 2, -2.0 * NN}, {N + 3, NN}, {2 * N + 1, -1.0}};
    return integerFilter("xpa-filter", num, 5, 2 * N + 1, 1.0 / NN);
}

SignalFilter *firFilter(const char *name, const double *taps, int32_t count, double gain)
{
    const FirFilterConf conf{SIGNAL_FILTER_FIR, name, nullptr, gain, taps, count};
    return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf));
}

void deleteFilters(Detector &d)
{
    for (SignalFilter **f : {&d.xpa, &d.xpb, &d.slope, &d.derivative, &d.avg})
        if (*f != nullptr) delSignalFilter(f);
}

// The five filters. The kt tables are built here on every creation; the
// filter objects keep their own copies, so nothing is shared between
// instances. False when a required filter could not be built.
bool buildFilters(Detector &d)
{
    const int32_t fs = d.header.fs;
    const int32_t mwiLen = d.header.detectorWord;
    d.xpa = d.variant == Variant::kt ? ktHighPass(d.xpaN) : triangularFilter("xpa-filter", d.xpaN);
    if (d.xpa == nullptr) return false;
    d.xpaDelay = getSignalFilterDelay(d.xpa) + 1;
    d.xpb = triangularFilter("xpb-filter", d.xpbN);
    if (d.xpb == nullptr) return false;
    d.xpbDelay = getSignalFilterDelay(d.xpb) + 1;
    d.lpDelay = d.xpaDelay + d.xpbDelay;

    static constexpr double kSlopeTaps[5] = {1.0, 2.0, 0.0, -2.0, -1.0};
    d.slope = firFilter("D", kSlopeTaps, 5, fs / 8.0);
    if (d.slope == nullptr) return false;
    d.dDelay = d.lpDelay + getSignalFilterDelay(d.slope);

    double kernel[kMaxKernel];
    const int32_t taps = rwave::derivativeKernel(fs, kernel, kMaxKernel);
    if (taps < 1) return false;
    d.derivative = firFilter("derivative", kernel, taps, 1.0);
    if (d.derivative == nullptr) return false;

    if (d.variant == Variant::kt) {
        const AvgLpFilterConf conf{SIGNAL_FILTER_AVG_LP, "avg", nullptr, mwiLen};
        d.avg = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&conf));
        return d.avg != nullptr;  // the kt integration needs it
    }
    // Built but never fed: the Corvane integration keeps its own running sum.
    // Without memory for its taps the detector still works.
    auto *ones = static_cast<double *>(std::malloc(sizeof(double) * std::size_t(mwiLen)));
    if (ones != nullptr) {
        for (int32_t k = 0; k < mwiLen; ++k) ones[k] = 1.0;
        d.avg = firFilter("avg", ones, mwiLen, 1.0 / mwiLen);
        std::free(ones);
    }
    return true;
}

void deriveLengths(Detector &d)
{
    const int32_t fs = d.header.fs;
    const double f = fs;
    d.header.detectorWord = rwave::roundHalfAway(0.13 * f);
    d.rSearchHalf = rwave::roundHalfAway(0.12 * f);
    d.tWaveLen = int32_t(60LL * fs / 190);
    d.minNormalRR = 60.0 * f / 200.0;
    d.closeNoiseLen = int32_t(60LL * fs / 250);
    d.refractoryLen = rwave::roundHalfAway(60.0 * f / 300.0);
    d.skipLen = rwave::roundHalfAway(0.02 * f);
    d.bigBeatSkipLen = rwave::roundHalfAway(0.2 * f);
    d.maxNormalRR = 60.0 * f / d.header.minHR;
    d.peakHoldLen = int32_t(std::floor(0.095 * f + 0.5));
    d.xpaN = fs;
    d.xpbN = rwave::roundHalfAway(f / 50.0);
}

// Peak tracker on the integrated signal at p: the distance back to a
// declared peak, or 0.
int32_t trackPeak(Detector &d, int32_t p)
{
    const double m = d.ecgMRing[slot(p)], before = d.ecgMRing[slot(p - 1)];
    if (d.peakCount > 0) ++d.peakCount;
    if (m > before && m > d.peakMax) {
        d.peakMax = m;
        d.peakCount = 1;
        return 0;
    }
    if (m < 0.6 * d.peakMax || d.peakCount > d.peakHoldLen) {
        const int32_t c = d.peakCount;
        d.peakMax = 0.0;
        d.peakCount = 0;
        return c;
    }
    return 0;
}

// Threshold learning at p: 1 trained, 0 not yet, -1 failure.
int learnThresholds(Detector &d, int32_t p)
{
    const int32_t len = d.initLen;
    if (p + 1 < len || p - d.initStart + 1 < len) return 0;
    for (int32_t k = 0; k < len; ++k) d.scratchRaw[k] = d.rawRing[slot(p - len + 1 + k)];
    if (!learningWindowPlausible(d.scratchRaw, len)) {
        d.initStart = p + 1;
        return 0;
    }
    for (int32_t k = 0; k < len; ++k) d.scratch[k] = d.ecgDRing[slot(d.initStart + k)];
    if (!initializeThresholds(d.scratch, len, d.slopeThr)) return -1;
    for (int32_t k = 0; k < len; ++k) d.scratch[k] = d.ecgMRing[slot(d.initStart + k)];
    if (!initializeThresholds(d.scratch, len, d.mwiThr)) return -1;
    // A window without any signal (a flat start) leaves the detector
    // untrained; learning then waits for the next whole window behind it,
    // as after a rejected one, instead of re-reading this one every sample.
    if (d.mwiThr.sigLev != 0.0) return 1;
    d.initStart = p + 1;
    return 0;
}

// Sample indexes are int32: about 24 days at 1000 Hz. Long before they run
// out, every absolute index is moved back by a multiple of the ring length,
// which leaves every ring slot, distance and delay as it was, so a monitor
// can run on indefinitely.
constexpr int32_t kRebaseAt = 2000000000;
constexpr int32_t kRebaseBy = kRing * 125000;  // 1e9

void rebaseIndexes(Detector &d)
{
    d.sampleIndex -= kRebaseBy;
    d.skipUntil -= kRebaseBy;
    d.initStart -= kRebaseBy;
    for (int32_t &q : d.peakRing) q -= kRebaseBy;
    for (QrsPeak &r : d.qrsBuf) {
        r.mwiPos -= kRebaseBy;
        r.slopePos -= kRebaseBy;
        r.rPos -= kRebaseBy;
    }
}

// One report per sample with a pending peak: the record behind the last
// reported one, once a later record stands behind it.
int32_t nextReport(Detector &d, int32_t n)
{
    // More records pushed in one go than the buffer keeps: the oldest have
    // left it unreported.
    if (d.reportIndex < -1) d.reportIndex = -1;
    if (d.reportIndex >= kQrsKept - 2) return -1;
    ++d.reportIndex;
    return n - d.qrsBuf[d.reportIndex].rPos;
}

}  // namespace

bool learningWindowPlausible(const int16_t *x, int32_t n)
{
    double sumAbs = 0.0;
    for (int32_t k = 0; k < n; ++k) sumAbs += std::abs(int32_t(x[k]));
    const double meanAbs = sumAbs / n;
    const int32_t range = int32_t(x[maxPosForShort(x, n)]) - int32_t(x[minPosForShort(x, n)]);
    return !((meanAbs > 6000.0 && range > 20000) || range > 50000);
}

BeatDetect *create(const BeatDetectConf *conf, Variant variant, const char *tag)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(tag, "%s", kBadInput);
        return nullptr;
    }
    TV_LOGI(tag, "%s", conf->name);
    // The learning window (2 fs + 1 samples) and every analysed window must
    // fit the rings, and the search-back needs a shortest RR of at least one
    // sample: other rates and limits are refused here.
    const int32_t maxHR = conf->maxHR < 1 ? kDefaultMaxHR : conf->maxHR;
    if (conf->fs < 50 || conf->fs > kMaxFs || std::lround(conf->fs * 60.0 / maxHR) < 1) {
        TV_LOGE(tag, "%s", kBadInput);
        return nullptr;
    }
    Detector *d = newDetectorBlock<Detector>(*conf);
    if (d == nullptr) return nullptr;
    d->variant = variant;
    d->tag = tag;
    deriveLengths(*d);
    d->meanRR = 60.0 * conf->fs / 90.0;
    if (!buildFilters(*d)) {
        TV_LOGE(tag, "filter create error");
        deleteFilters(*d);
        std::free(d);
        return nullptr;
    }
    // The slope and derivative filters are started once here; a restart
    // leaves their short histories as they are.
    initSignalFilter(d->slope);
    initSignalFilter(d->derivative);
    if (d->variant == Variant::corvane && d->avg != nullptr) initSignalFilter(d->avg);
    restart(&d->header, variant, tag);
    return &d->header;
}

int destroy(BeatDetect **handle, Variant variant, const char *tag)
{
    if (handle == nullptr || !isHandleOf(*handle, familyOf(variant), tag)) return -1;
    Detector &d = stateOf(*handle);
    deleteFilters(d);
    closeDebugStream(&d.header.inFile);
    closeDebugStream(&d.header.outFile);
    std::free(&d);
    *handle = nullptr;
    return 0;
}

int restart(BeatDetect *handle, Variant variant, const char *tag)
{
    if (!isHandleOf(handle, familyOf(variant), tag)) return -1;
    Detector &d = stateOf(handle);
    for (SignalFilter *f : {d.xpa, d.xpb, d.avg})
        if (f != nullptr) initSignalFilter(f);
    std::memset(d.rawRing, 0, sizeof d.rawRing);
    std::memset(d.ecgDRawRing, 0, sizeof d.ecgDRawRing);
    std::memset(d.ecgDRing, 0, sizeof d.ecgDRing);
    std::memset(d.ecgMRing, 0, sizeof d.ecgMRing);
    std::memset(d.peakRing, 0, sizeof d.peakRing);
    std::memset(d.qrsBuf, 0, sizeof d.qrsBuf);
    d.slopeThr = ThresholdSet{};
    d.mwiThr = ThresholdSet{};
    d.mwiSum = 0.0;
    d.peakWrite = 0;
    d.peakRead = 0;
    d.sampleIndex = 0;
    d.procIndex = 0;
    d.reportIndex = kQrsKept - 1;
    d.initStart = 0;
    d.initLen = 2 * d.header.fs + 1;
    // A restart behaves like a new instance: the counts, RR history, skip
    // position and peak tracker go too, so no stale count meets the cleared
    // QRS records (and no reported delay refers to the previous run).
    d.qrsCount = 0;
    std::memset(d.rrBuf, 0, sizeof d.rrBuf);
    d.rrCount = 0;
    d.meanRR = 60.0 * d.header.fs / 90.0;
    d.thrFactor = 1.0;
    d.skipUntil = 0;
    d.peakMax = 0.0;
    d.peakCount = 0;
    return 0;
}

int setMode(BeatDetect *handle, int32_t mode, Variant variant, const char *tag)
{
    if (!isHandleOf(handle, familyOf(variant), tag)) return -1;
    handle->mode = mode;
    return 0;
}

int32_t detect(BeatDetect *handle, int32_t sample, Variant variant, const char *tag)
{
    if (!isHandleOf(handle, familyOf(variant), tag)) return -1;
    Detector &d = stateOf(handle);
    if (d.sampleIndex >= kRebaseAt) rebaseIndexes(d);
    const int32_t n = d.sampleIndex;
    const int32_t p = n - d.lpDelay;
    d.procIndex = p;
    int32_t result = -1;
    const int16_t x = int16_t(sample);
    d.rawRing[slot(n)] = x;
    const double b = doSignalFilter(d.xpa, x);

    do {
        if (n < d.xpaDelay) break;
        const double h = d.variant == Variant::kt
                             ? b
                             : d.rawRing[slot(n - d.xpaDelay)] - (b / d.xpaN) / d.xpaN;
        const double l = doSignalFilter(d.xpb, h);
        if (n < d.lpDelay) break;
        d.lpRing[slot(n - d.lpDelay)] = l;

        const double s = doSignalFilter(d.slope, l);
        const double fs = d.header.fs;
        if (n > d.dDelay + 2) {
            d.slopeRing[slot(n - d.dDelay)] = s;
        } else if (n == d.dDelay + 2) {
            d.slopeRing[0] = fs * (d.lpRing[1] - d.lpRing[0]);
            d.slopeRing[1] = (fs / 2.0) * (d.lpRing[2] - d.lpRing[0]);
            d.slopeRing[2] = s;
        }

        const double der = doSignalFilter(d.derivative, l);
        const double mag = std::fabs(der);
        d.ecgDRawRing[slot(p)] = der;
        d.ecgDRing[slot(p)] = mag;
        const int32_t mwiLen = d.header.detectorWord;
        if (d.variant == Variant::kt) {
            d.ecgMRing[slot(p)] = doSignalFilter(d.avg, mag * mag / 1000.0);
        } else {
            d.mwiSum += mag * mag / 1000.0;
            if (p >= mwiLen) {
                const double old = d.ecgDRing[slot(p - mwiLen)];
                d.mwiSum -= old * old / 1000.0;
            }
            d.ecgMRing[slot(p)] = d.mwiSum / mwiLen;
        }

        if (d.mwiThr.sigLev == 0.0 && learnThresholds(d, p) == -1) break;
        if (p <= 2) break;
        const int32_t c = trackPeak(d, p);
        if (c > 0) {
            d.peakRing[d.peakWrite % kPeakRing] = p - c;
            ++d.peakWrite;
        }
        if (d.peakWrite == d.peakRead) break;
        // Only the newest kPeakRing peaks are kept while the detector learns.
        if (d.peakWrite - d.peakRead > kPeakRing) d.peakRead = d.peakWrite - kPeakRing;
        const int32_t q = d.peakRing[d.peakRead % kPeakRing];
        if (d.mwiThr.sigLev != 0.0 && p > q + 2 * d.rSearchHalf) {
            adaptiveThresholdProcess(d, q);
            ++d.peakRead;
        }
        result = nextReport(d, n);
    } while (false);

    ++d.sampleIndex;
    return result;
}

}  // namespace tessivar::corvane
