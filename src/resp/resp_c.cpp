// Respiration channel.
//
// Every impedance sample (1000 per second) goes through two chains:
//
//   display:  average high-pass (6666, delay 3333) -> average low-pass (300)
//             -> moving average "disAvg" (N = 1000, 500 or 300 by rate);
//             the result, truncated toward zero, is the display sample;
//   analysis: average low-pass (300) -> lpBuf (the last six seconds, for the
//             suffocation check) and, every 100th sample, the decimated band
//             chain at 10 per second: baseline removal (80-sample mean),
//             band high-pass (171 taps), band low-pass (IIR, 2.5 Hz) into
//             bandRing, then the rate low-pass (23 taps) into rateRing.
//
// Once a second, when six seconds of input are held, the spread of the
// low-passed input decides suffocation (rate 0 reported, channel reset), or
// else the estimator (respRateCalc.cpp) is asked for a rate once 15 s of band
// signal exist. Abrupt jumps of the decimated input (artefacts) re-prime the
// baseline; a jump above 10000 resets the whole channel.
//
// Seven of the eight filters are statically defined in s_respChain and come
// to life with initSignalFilter; only the display average is created (and
// re-created when the rate moves it to another window length).
#include "tessivar/resp.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "resp/resp.hpp"
#include "resp/resp_band_taps.hpp"
#include "serialize/anal_serialize.hpp"
#include "tessivar/kt_array.h"

namespace tessivar {

RespState s_resp;
RespChain s_respChain;

namespace {

constexpr const char *kTag = "resp";
constexpr int32_t kDisAvgCoefCount = 4000;
constexpr int32_t kDisAvgStartLength = 1000;
constexpr double kJumpReset = 10000.0;    // a jump above this resets the channel
constexpr double kJumpArtefact = 800.0;   // an artefact jump exceeds this ...
constexpr double kJumpRatio = 6.0;        // ... and this many times the mean jump
constexpr int64_t kFirstCalc = 149;       // band samples before the first rate (15 s)
constexpr int64_t kCalcSpacing = 9;       // band samples between rates (1 s)

// 2.5 Hz low-pass at 10 per second.
constexpr double kBandLowPassB[6] = {0.036626693861007, 0.183133469305035, 0.366266938610069,
                                     0.366266938610069, 0.183133469305035, 0.036626693861007};
constexpr double kBandLowPassA[6] = {1.0, -0.437504069030943, 0.700406763755592, -0.152798026613425,
                                     0.066051054631241, -0.004101519190242};

// Rate low-pass at 10 per second, symmetric.
constexpr double kRateLowPass[23] = {
    -0.0468689814310684, 0.0291043999245458, 0.0298457975473968, 0.0344646978127854, 0.0414440550388667,
    0.0496366480640827,  0.0580602664032551, 0.0659914479481391, 0.0728704675485629, 0.0781757629639552,
    0.0815097347700332,  0.0826380254432487, 0.0815097347700332, 0.0781757629639552, 0.0728704675485629,
    0.0659914479481391,  0.0580602664032551, 0.0496366480640827, 0.0414440550388667, 0.0344646978127854,
    0.0298457975473968,  0.0291043999245458, -0.0468689814310684};

// Baseline: the mean of the last 80 decimated samples (8 s).
constexpr std::array<double, 80> makeBaseAvgTaps()
{
    std::array<double, 80> taps{};
    for (double &t : taps) t = 0.0125;
    return taps;
}
constexpr std::array<double, 80> kBaseAvgTaps = makeBaseAvgTaps();

// x truncated toward zero, saturated to the int32 range (NaN gives 0).
int32_t truncateToInt(double x)
{
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}

void defineAverage(AvgFilter &f, double *buf, int32_t n, int32_t type, const char *name, int32_t delay)
{
    f = AvgFilter{};
    f.head.type = type;
    f.head.name = name;
    f.head.gain = 1.0;
    f.head.delay = delay;
    f.avg_num = n;
    f.buf = buf;
}

void defineFir(FirFilter &f, double *buf, const double *taps, int32_t n, const char *name)
{
    f = FirFilter{};
    f.head.type = SIGNAL_FILTER_FIR;
    f.head.name = name;
    f.head.gain = 1.0;
    f.numData = taps;
    f.num_num = n;
    f.xLen = n;
    f.xBuf = buf;
}

// Fills in the seven static definitions and points the handles at them.
void defineStaticFilters(RespState &st, RespChain &ch)
{
    defineAverage(ch.disHighPass, ch.disHighPassBuf, 6666, SIGNAL_FILTER_AVG, "resp_h_pass_015FilterAvgi", 3333);
    defineAverage(ch.disLowPass, ch.disLowPassBuf, 300, SIGNAL_FILTER_AVG_LP, "resp_l_pass_2_5FilterAvgLpi", 150);
    defineAverage(ch.inLowPass, ch.inLowPassBuf, 300, SIGNAL_FILTER_AVG_LP, "resp_l_pass_5FilterAvgLpi", 150);

    IirCombFilter &iir = ch.bandLowPass;
    iir = IirCombFilter{};
    iir.head.type = SIGNAL_FILTER_IIR_COMB;
    iir.head.name = "resp_hpfs10lp2_5FilterIirCombi";
    iir.head.gain = 1.0;
    iir.numData = kBandLowPassB;
    iir.num_num = 6;
    iir.denData = kBandLowPassA;
    iir.den_num = 6;
    iir.xLen = 6;
    iir.xBuf = ch.bandLowPassX;
    iir.yLen = 6;
    iir.yBuf = ch.bandLowPassY;

    defineFir(ch.bandHighPass, ch.bandHighPassBuf, kRespBandHighPassTaps, kRespBandHighPassLength,
              "resp_h_pass_013FilterFiri");
    defineFir(ch.baseAvg, ch.baseAvgBuf, kBaseAvgTaps.data(), 80, "resp_h_pass_015FilterFiri");
    defineFir(ch.rateLowPass, ch.rateLowPassBuf, kRateLowPass, 23, "resp_l_pass_030FilterFiri");

    st.disHighPass = &ch.disHighPass.head;
    st.disLowPass = &ch.disLowPass.head;
    st.inLowPass = &ch.inLowPass.head;
    st.bandLowPass = &ch.bandLowPass.head;
    st.bandHighPass = &ch.bandHighPass.head;
    st.baseAvg = &ch.baseAvg.head;
    st.rateLowPass = &ch.rateLowPass.head;
}

void initFilter(SignalFilter *f)
{
    if (f != nullptr) initSignalFilter(f);
}

void initAllFilters(RespState &st)
{
    for (SignalFilter *f : {st.disHighPass, st.disLowPass, st.disAvg, st.inLowPass, st.bandLowPass,
                            st.bandHighPass, st.baseAvg, st.rateLowPass})
        initFilter(f);
}

void notifyBeatNoise(RespState &st, int flag)
{
    if (st.onBeatNoise != nullptr) st.onBeatNoise(flag);
}

void notifyRate(RespState &st, int rate)
{
    if (st.onRespRateChanged != nullptr) st.onRespRateChanged(rate);
}

// Restarts the filters and forgets every rate: the channel starts afresh.
void clear(RespState &st)
{
    initAllFilters(st);
    st.curRate = 0;
    st.reportedRate = 0;
    std::memset(st.bandRing, 0, sizeof st.bandRing);
    st.bandCount = 0;
    std::memset(st.rateRing, 0, sizeof st.rateRing);
    st.rateCount = 0;
    std::memset(st.lpBuf, 0, sizeof st.lpBuf);
    st.lpCount = 0;
    std::memset(st.bandWindow, 0, sizeof st.bandWindow);
    std::memset(st.calcWindow, 0, sizeof st.calcWindow);
    std::memset(st.rateHistory, 0, sizeof st.rateHistory);
    st.lastCalcCount = 0;
    st.rateHoldCount = 0;
    st.heartNoiseCount = 0;
}

// Frees what creation acquired: streams, display average, its
// coefficients, the spectrum. The handles are nulled.
void release(RespState &st, RespChain &ch)
{
    closeDebugStream(&st.inFile);
    closeDebugStream(&st.outFile);
    std::free(ch.disAvgCoefs);
    ch.disAvgCoefs = nullptr;
    ch.disAvgConf.numData = nullptr;
    if (st.disAvg != nullptr) delSignalFilter(&st.disAvg);
    std::free(st.spectrum);
    st.spectrum = nullptr;
    st.disHighPass = st.disLowPass = st.inLowPass = nullptr;
    st.bandLowPass = st.bandHighPass = st.baseAvg = st.rateLowPass = nullptr;
}

// An artefact jump: large in itself and against the recent jumps. (The
// ratio is compared as a product: the mean of non-negative jumps is never
// negative, and a zero mean then counts any positive jump as infinitely
// large.)
bool isArtefact(const RespChain &ch, double jump)
{
    double mean = 0.0;
    calcMeanDouble(ch.jumpRing, kRespJumpRingLen, &mean);
    return jump > kJumpRatio * mean && jump > kJumpArtefact;
}

void pushJump(RespChain &ch, double jump)
{
    ch.jumpRing[ch.jumpCount % kRespJumpRingLen] = jump;
    ++ch.jumpCount;
}

// Decimated band chain, fed with the input low-pass output at 1000/s.
void fillRespCalcBuffer(RespState &st, RespChain &ch, double y)
{
    if (++ch.decimationCount < kRespDecimation) return;
    ch.decimationCount = 0;

    if (ch.reprime != 0) {
        initSignalFilterCustom(st.baseAvg, y, 0.0);
        initSignalFilter(st.bandHighPass);
    }
    const int32_t v = truncateToInt(y);
    const double jump = std::fabs(static_cast<double>(static_cast<int64_t>(v) - ch.prevValue));
    ch.prevValue = v;
    pushJump(ch, jump);
    if (jump > kJumpReset) {
        ch.reprime = 1;
        clear(st);
    } else {
        ch.reprime = isArtefact(ch, jump) ? 1 : 0;
    }
    pushJump(ch, jump);
    if (isArtefact(ch, jump)) initSignalFilterCustom(st.baseAvg, y, 0.0);

    double b = y - doSignalFilter(st.baseAvg, y);
    b = doSignalFilter(st.bandHighPass, b);
    b = doSignalFilter(st.bandLowPass, b);
    st.bandRing[st.bandCount % kRespRingLen] = b;
    ++st.bandCount;
    const double r = doSignalFilter(st.rateLowPass, b);
    st.rateRing[st.rateCount % kRespRingLen] = r;
    ++st.rateCount;
}

// The once-a-second work on the last six seconds of low-passed input.
void checkSecond(RespState &st, RespChain &ch)
{
    double sigma = 0.0;
    const bool spread = calcStdDeviationFloat(st.lpBuf, kRespLpBufLen, &sigma) == 0;
    if (spread && ch.respThr > sigma) {
        TV_LOGT(kTag, "stifle std:%f", sigma);
        notifyRate(st, 0);
        st.curRate = 0;
        st.reportedRate = 0;
        clear(st);
        initBeatNoise();
    } else if (st.bandCount > kFirstCalc && st.bandCount - st.lastCalcCount > kCalcSpacing) {
        st.lastCalcCount = st.bandCount;
        const int32_t r = calcResp(&st);
        if (r >= 1 && r != st.reportedRate) {
            notifyRate(st, r);
            st.reportedRate = r;
            updateDisplayFilter(&st, r);
        } else if (r < 1 && ch.safeMode != 0 && st.rateHoldCount >= kRespSafeHold && st.reportedRate != -1) {
            notifyRate(st, -1);
            st.reportedRate = -1;
        }
    }
    std::memmove(st.lpBuf, st.lpBuf + (kRespLpBufLen - kRespLpKeep), sizeof(float) * kRespLpKeep);
    st.lpCount = kRespLpKeep;
}

int32_t process(RespState &st, RespChain &ch, int32_t s)
{
    const double y = doSignalFilter(st.inLowPass, s);
    st.lpBuf[st.lpCount] = static_cast<float>(y);
    ++st.lpCount;
    fillRespCalcBuffer(st, ch, y);
    if (st.lpCount >= kRespLpBufLen) checkSecond(st, ch);

    double d = doSignalFilter(st.disLowPass, doSignalFilter(st.disHighPass, s));
    // Without the display average (its creation failed) the chain has two
    // filters.
    if (st.disAvg != nullptr) d = doSignalFilter(st.disAvg, d);
    return truncateToInt(d);
}

}  // namespace

// Display average of N samples for the rate r: 1000 up to 40 per minute,
// 500 up to 80, 300 above.
void updateDisplayFilter(RespState *st, int32_t r)
{
    RespChain &ch = s_respChain;
    const int32_t n = r <= 40 ? 1000 : (r <= 80 ? 500 : 300);
    if (st->disAvg == nullptr || ch.disAvgConf.num_num == n) return;
    delSignalFilter(&st->disAvg);
    ch.disAvgConf.num_num = n;
    ch.disAvgConf.gain = 1.0 / n;
    st->disAvg = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&ch.disAvgConf));
    TV_LOGW(kTag, "change display window to:%d\n", n);
}

void respSetSafeMode(int32_t on) { s_respChain.safeMode = on != 0 ? 1 : 0; }

}  // namespace tessivar

using namespace tessivar;

extern "C" const char *respVersion(void) { return "resp version 1.0.0.31 2025-09-04 09:20:05"; }

extern "C" int newResp(const RespConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    TV_LOGW(kTag, "%s", conf->name);
    RespState &st = s_resp;
    RespChain &ch = s_respChain;
    // A second creation without delResp replaces the first instance.
    release(st, ch);
    std::memset(&st, 0, sizeof st);
    std::strncpy(st.name, conf->name, kMaxNameLength);
    TV_LOGW(kTag, "%s", signalFilterVersion());

    defineStaticFilters(st, ch);

    ch.disAvgCoefs = static_cast<double *>(std::malloc(sizeof(double) * kDisAvgCoefCount));
    ch.disAvgConf = FirFilterConf{};
    ch.disAvgConf.type = SIGNAL_FILTER_FIR;
    ch.disAvgConf.name = "disAvg";
    if (ch.disAvgCoefs != nullptr) {
        for (int32_t i = 0; i < kDisAvgCoefCount; ++i) ch.disAvgCoefs[i] = 1.0;
        ch.disAvgConf.numData = ch.disAvgCoefs;
        ch.disAvgConf.num_num = kDisAvgStartLength;
        ch.disAvgConf.gain = 1.0 / kDisAvgStartLength;
        st.disAvg = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&ch.disAvgConf));
    } else {
        TV_LOGE(kTag, "MALLOC ERROR");
    }

    st.onRespRateChanged = conf->onRespRateChanged;
    st.onRespBeat = conf->onRespBeat;
    st.onBeatNoise = conf->onBeatNoise;
    st.spectrum = static_cast<double *>(std::calloc(2 * kRespFftLen, sizeof(double)));
    if (st.spectrum == nullptr) TV_LOGE(kTag, "calloc error");
    st.specLen = kRespFftLen;

    if (conf->dataPath != nullptr) {
        std::strncpy(st.dataPath, conf->dataPath[0] == '\0' ? "." : conf->dataPath, kMaxNameLength);
        serializeWriteDataIn(st.dataPath, "s_resp.conf", conf, kRespConfTag);
        st.inFile = openDebugStream(st.dataPath, "realtimeDemoLibScan_in.csv");
        st.outFile = openDebugStream(st.dataPath, "realtimeDemoLibScan_out.csv");
    }
    clear(st);
    return 0;
}

extern "C" int delResp(void)
{
    release(s_resp, s_respChain);
    return 0;
}

extern "C" int initResp(void)
{
    RespState &st = s_resp;
    initAllFilters(st);
    st.hr = 0;
    notifyBeatNoise(st, 0);
    st.heartNoiseState = 0;
    st.patientType = 0;
    clear(st);
    return 0;
}

extern "C" int processResp(int32_t sample)
{
    RespState &st = s_resp;
    // No channel (before newResp or after delResp): the sample passes.
    if (st.inLowPass == nullptr) return sample;
    if (st.inFile != nullptr) {
        std::fprintf(st.inFile, "%d\n", sample);
        std::fflush(st.inFile);
    }
    return process(st, s_respChain, sample);
}

extern "C" int onHrChangedResp(int32_t hr)
{
    s_resp.hr = hr;
    return 0;
}

extern "C" int onPatientType(int32_t type)
{
    if (type < 0 || type > 2) return -1;
    s_resp.patientType = type;
    return 0;
}

extern "C" int onRespSuffocationThr(int32_t threshold)
{
    s_respChain.respThr = threshold;
    TV_LOGW(kTag, "Resp Suffocation threshold:%d", threshold);
    return 0;
}

extern "C" int initBeatNoise(void)
{
    notifyBeatNoise(s_resp, 0);
    s_resp.heartNoiseState = 0;
    return 0;
}
