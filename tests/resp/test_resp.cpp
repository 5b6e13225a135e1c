// Respiration: spectral toolkit (numpy: tools/gen_fft_reference.py), channel (band taps:
// tools/design_resp_taps.py) and rate estimator on hand-built rings (numpy:
// tools/resp_rate_reference.py). A bin k is k * 600 / 1024 per minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"
#include "resp/resp.hpp"
#include "resp/resp_band_taps.hpp"
#include "support/front_end_run.hpp"
#include "support/log_capture.hpp"
#include "tessivar/ecg_preprocess.h"
#include "tessivar/kt_dsp.h"
#include "tessivar/resp.h"

namespace {

using Vec = std::vector<double>;

TEST(Fft, MatchesHandAndNumpySpectra)
{
    Vec ref(N_FFT), refSpec(2 * N_FFT), ones(N_FFT, 1.0), tone(N_FFT), onesSpec(2 * N_FFT), toneSpec(2 * N_FFT);
    std::ifstream file(TESSIVAR_TEST_DATA "/resp/fft_reference.txt");
    file.ignore(1 << 20, '\n');
    for (size_t n = 0; n < size_t(N_FFT); ++n) ASSERT_TRUE(file >> ref[n] >> refSpec[2 * n] >> refSpec[2 * n + 1]) << n;
    onesSpec[0] = 1024.0;  // hand: sum of 1024 ones
    for (int n = 0; n < N_FFT; ++n) tone[size_t(n)] = std::cos(2 * M_PI * 37 * n / N_FFT);
    toneSpec[2 * 37] = toneSpec[2 * (N_FFT - 37)] = 512.0;  // hand: N / 2 in bins +-37
    for (const auto &[in, expected] : {std::make_pair(ones, onesSpec), {tone, toneSpec}, {ref, refSpec}}) {
        Vec out(2 * N_FFT, -1.0);
        ASSERT_EQ(dsp_fft(in.data(), N_FFT, N_FFT, out.data(), N_FFT), 0);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(out[i], expected[i], 1e-9 * 514) << in[1] << " " << i;
    }
    for (int n = 0; n < N_FFT; ++n) Refresh_Data(n, std::sin(0.01 * n * n));
    FFT();
    IFFT();  // unscaled: N times the input
    for (int n = 0; n < N_FFT; ++n) ASSERT_NEAR(data_of_N_FFT[n].re / N_FFT, std::sin(0.01 * n * n), 1e-12) << n;
    EXPECT_EQ(Cos_find(0.5), 0.0);  // -table[0]
    EXPECT_EQ(Sin_find(0.5), 1.0);  // table[256]
    EXPECT_DOUBLE_EQ(Cos_find(0.75), -std::sqrt(0.5));
}

TEST(Dsp, BadArgumentsPrintTheErrorLine)
{
    Vec in(N_FFT, 1.0), out(2 * N_FFT);
    DspComplex a{1, 2};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ((std::vector<int>{dsp_fft(in.data(), 1000, 1000, out.data(), 1000), dsp_fft(in.data(), N_FFT, N_FFT, out.data(), 512),
                                dsp_fft(in.data(), 512, 512, out.data(), 512), dsp_fft(nullptr, N_FFT, N_FFT, out.data(), N_FFT),
                                dsp_fft(in.data(), N_FFT, N_FFT, nullptr, N_FFT)}),
              std::vector<int>(5, DSP_ERROR));  // 1000 is not a power of two, outN 512 differs, 512 is not 1024
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(text.rfind("\nERROR happened in resp/src/kt_dsp dsp_fft ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10) << text;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ((std::vector<int>{dsp_complex_add(a, a, nullptr), dsp_complex_multiply(a, a, nullptr), dsp_sft(nullptr, 4, a, a),
                                dsp_sft(&a, 0, a, a)}), std::vector<int>(4, DSP_ERROR));
    ::testing::internal::GetCapturedStdout();
}

TEST(Dsp, ComplexHelpersAndTheSlidingTransform)
{
    const DspComplex a{1, 2}, b{3, -4};
    DspComplex p{}, q{}, d{}, e{std::log(2.0), M_PI / 2}, u{};
    dsp_complex_multiply(a, b, &p), dsp_complex_add(a, b, &q), dsp_complex_subtract(a, b, &d), dsp_complex_exp(&e), dsp_imagine_exp(M_PI, &u);
    // (1+2j)(3-4j) = 11+2j, sum 4-2j, difference -2+6j, 2 e^(j pi/2) = 2j, e^(j pi) = -1
    EXPECT_EQ((Vec{p.re, p.im, q.re, q.im, d.re, d.im}), (Vec{11, 2, 4, -2, -2, 6}));
    EXPECT_TRUE(std::fabs(e.re) < 1e-15 && std::fabs(e.im - 2) < 1e-15 && std::fabs(u.re + 1) < 1e-15);
    // Window x[t..t+7] oldest first: (X_k + x_new - x_old) e^(j 2 pi k / 8) is the DFT of the window one later.
    const int n = 8;
    Vec x(n + 1);
    for (int i = 0; i <= n; ++i) x[size_t(i)] = std::sin(0.7 * i) + 0.1 * i;
    const auto dft = [&](int start, int k) {
        std::complex<double> s = 0;
        for (int m = 0; m < n; ++m) s += x[size_t(start + m)] * std::polar(1.0, -2 * M_PI * k * m / n);
        return s;
    };
    std::vector<DspComplex> spectrum(n);
    for (int k = 0; k < n; ++k) spectrum[size_t(k)] = {dft(0, k).real(), dft(0, k).imag()};
    ASSERT_EQ(dsp_sft(spectrum.data(), n, DspComplex{x[n], 0}, DspComplex{x[0], 0}), 0);
    for (int k = 0; k < n; ++k) EXPECT_LT(std::abs(std::complex<double>(spectrum[size_t(k)].re, spectrum[size_t(k)].im) - dft(1, k)), 1e-12) << k;
}

TEST(Dsp, ZoomInFillsAMinuteThenSlides)
{
    // rate 4, factor 2: 120 decimated values a minute in a history of 1024.
    // The delay counter counts the calls returning 16: the transform comes on call 241.
    dsp_init();
    Vec hist(N_FFT, 0.0), spectrum(2 * N_FFT, 0.0), fresh(2 * N_FFT);
    auto step = [&](int sample, int rate, int factor, int reset, int histLen = N_FFT) {
        return dsp_integer_spectrum_zoom_in(sample, rate, factor, reset, hist.data(), histLen, spectrum.data(), N_FFT);
    };
    for (int i = 1; i <= 240; ++i) ASSERT_EQ(step(i % 2 ? 3 : 5, 4, 2, 0), 16) << i;
    ASSERT_EQ(step(3, 4, 2, 0), 0);
    // hand: each pair (3, 5) decimates to 4: 120 values of 4, DC 480.
    EXPECT_NEAR(spectrum[0], 480.0, 1e-9);
    // After 880 slides the spectrum is still the transform of the history as it stands.
    for (int i = 242; i <= 2000; ++i) ASSERT_EQ(step(int(1000 * std::sin(0.37 * i)) + i % 7, 4, 2, 0), 0);
    ASSERT_EQ(dsp_fft(hist.data(), N_FFT, N_FFT, fresh.data(), N_FFT), 0);
    double peak = 0, error = 0;
    for (size_t k = 0; k < fresh.size(); ++k) {
        peak = std::max(peak, std::fabs(fresh[k]));
        error = std::max(error, std::fabs(fresh[k] - spectrum[k]));
    }
    EXPECT_GT(peak, 1e4);
    EXPECT_LT(error, 1e-9 * peak);
    EXPECT_EQ(step(1, 4, 2, 1), 16);  // a reset restarts the minute
    EXPECT_EQ(step(1, 4, 2, 0), 16);
    ::testing::internal::CaptureStdout();
    // 4 not divisible by 3; 1000 not a power of two; 40 * 60 / 2 = 1200 > 512; no spectrum
    EXPECT_EQ((std::vector<int>{step(1, 4, 3, 0), step(1, 4, 2, 0, 1000), step(1, 40, 2, 0, 512),
                                dsp_integer_spectrum_zoom_in(1, 4, 2, 0, hist.data(), N_FFT, nullptr, N_FFT)}),
              std::vector<int>(4, DSP_ERROR));
    ::testing::internal::GetCapturedStdout();
}

using namespace tessivar;
using tessivar::test::LogCapture;
using Strings = std::vector<std::string>;
using Input = std::function<int32_t(long)>;

// Callback events "rate:N@k" / "noise:F@k", k counting the sample being processed.
Strings g_events;
long g_sample = 0;
int onRate(int rate) { return g_events.push_back("rate:" + std::to_string(rate) + "@" + std::to_string(g_sample)), 0; }
int onNoise(int flag) { return g_events.push_back("noise:" + std::to_string(flag) + "@" + std::to_string(g_sample)), 0; }

int32_t breath(long k, double perMinute) { return int32_t(std::lround(250 * std::sin(2 * M_PI * perMinute * double(k) / 60000.0))); }
Input constant(int32_t c) { return [c](long) { return c; }; }
int window() { return reinterpret_cast<FirFilter *>(s_resp.disAvg)->num_num; }

class RespChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The decimation state lives outside the instance: start it afresh.
        RespChain &ch = s_respChain;
        ch.decimationCount = ch.prevValue = ch.reprime = 0, ch.jumpCount = 0, ch.respThr = 18;
        std::memset(ch.jumpRing, 0, sizeof ch.jumpRing);
        s_respCalc.randTime = 9;  // its value at start
        RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
        ASSERT_EQ(newResp(&conf), 0);
        initResp();
        g_events.clear();
        g_sample = 0;
    }
    void TearDown() override { delResp(), s_respChain.respThr = 18; }
    static void feed(long n, const Input &f) { for (long i = 0; i < n; ++i) processResp(f(g_sample++)); }
};

TEST_F(RespChannel, CreationRefusalsAndFilterDelays)
{
    LogCapture log;
    EXPECT_EQ(newResp(nullptr), -1);
    RespConf noName{nullptr, nullptr, 1000, onRate, nullptr, onNoise};
    EXPECT_EQ(newResp(&noName), -1);
    EXPECT_EQ(std::make_pair(log.count("[E]{resp}"), log.count("Input parameter exception.")), std::make_pair(2, 2));
    SignalFilter *const filters[] = {s_resp.disAvg, s_resp.disHighPass, s_resp.disLowPass, s_resp.inLowPass,
                                     s_resp.bandHighPass, s_resp.baseAvg, s_resp.rateLowPass};
    std::vector<int> delays;
    for (SignalFilter *f : filters) delays.push_back(getSignalFilterDelay(f));
    EXPECT_EQ(delays, (std::vector<int>{500, 3333, 150, 150, 85, 40, 11}));  // display average: 1000 taps
    EXPECT_EQ(window(), 1000);
}

TEST_F(RespChannel, SuffocationSchedule)
{
    const struct { const char *why; Input x; long n; std::vector<long> at; } cases[] = {
        // hand: six seconds held, then every 1000 samples; std 0 < 18
        {"zero", constant(0), 9000, {6000, 7000, 8000, 9000}},
        // after a clear 5000 zeros stay: 1000 * sqrt(1/6 * 5/6) = 373 > 18 until refilled
        {"1000", constant(1000), 13000, {6000, 12000}},
        {"30: 30 * sqrt(5) / 6 = 11.2 < 18", constant(30), 8000, {6000, 7000, 8000}},
        // the first decimated sample (the 100th) jumps from 0: above 10000 resets, 100 late
        {"jump 10001", constant(10001), 6100, {6100}},
        {"jump 10000", constant(10000), 6000, {6000}},
        {"int32 max", constant(INT32_MAX), 6100, {6100}},
    };
    for (const auto &k : cases) {
        SetUp();
        feed(k.n, k.x);
        Strings expected;
        for (long at : k.at) expected.insert(expected.end(), {"rate:0@" + std::to_string(at), "noise:0@" + std::to_string(at)});
        EXPECT_EQ(g_events, expected) << k.why;
    }
    LogCapture log;
    SetUp();
    feed(6000, constant(0));
    EXPECT_EQ(std::make_pair(log.count("[T]{resp}"), log.count("stifle std:0.000000")), std::make_pair(1, 1));
    EXPECT_EQ(onRespSuffocationThr(0), 0);  // 0 disables it, and outlives a new channel
    EXPECT_TRUE(log.contains("[W]{resp}[onRespSuffocationThr]") && log.contains("Resp Suffocation threshold:0"));
    RespConf conf{"resp", nullptr, 1000, onRate, nullptr, onNoise};
    ASSERT_EQ(newResp(&conf), 0);
    g_events.clear();
    feed(30000, constant(0));
    EXPECT_TRUE(g_events.empty());
    EXPECT_GT(s_resp.bandCount, 290);
}

TEST_F(RespChannel, StepsReprimeOrResetTheBand)
{
    // The 300-sample input low-pass turns a step S into decimated jumps of S / 3: 20000 gives 6667
    // (re-prime, the band goes on), 50000 gives 16667 (above 10000: the channel restarts).
    feed(30000, [](long k) { return breath(k, 18); });
    EXPECT_EQ(std::make_pair(s_resp.bandCount, s_resp.reportedRate >= 1), std::make_pair(int64_t(300), true));
    feed(1000, [](long k) { return 20000 + breath(k, 18); });
    EXPECT_EQ(std::make_pair(s_resp.bandCount, s_resp.reportedRate >= 1), std::make_pair(int64_t(310), true));
    feed(1000, [](long k) { return 70000 + breath(k, 18); });
    EXPECT_LT(s_resp.bandCount, 10);
    EXPECT_EQ(std::make_pair(s_resp.reportedRate, s_resp.curRate), std::make_pair(0, 0));
}

TEST_F(RespChannel, DisplayWindowFollowsTheRate)
{
    LogCapture log;
    const struct { int rate, window, changes; } steps[] = {{40, 1000, 0}, {41, 500, 1}, {80, 500, 1}, {81, 300, 2}, {40, 1000, 3}};
    for (const auto &s : steps) {
        updateDisplayFilter(&s_resp, s.rate);
        EXPECT_EQ(std::make_pair(window(), getSignalFilterDelay(s_resp.disAvg)), std::make_pair(s.window, s.window / 2)) << s.rate;
        EXPECT_EQ(log.count("change display window to:"), s.changes) << s.rate;
    }
    EXPECT_EQ(log.count("[W]{resp}[updateDisplayFilter]"), 3);
    EXPECT_EQ(log.count("change display window to:500\n"), 1);
    EXPECT_DOUBLE_EQ(doSignalFilter(s_resp.disAvg, 123.0), 123.0);  // gain 1/N on N ones
}

TEST_F(RespChannel, BreathingIsReportedAfterFifteenSecondsOnChangesOnly)
{
    for (const auto &[perMinute, display] : std::vector<std::pair<int, int>>{{45, 500}, {6, 1000}, {10, 1000}}) {
        SetUp();
        const auto input = [pm = perMinute](long k) { return breath(k, pm); };
        // Checks run at samples 6000, 7000, ...; one band sample per 100 inputs: the first rate at band sample 150.
        feed(14999, input);
        EXPECT_EQ(s_resp.lastCalcCount, 0) << perMinute;
        feed(1, input);
        EXPECT_EQ(s_resp.lastCalcCount, 150) << perMinute;
        feed(45000, input);
        std::vector<int> rates;
        for (const std::string &e : g_events)
            if (e.rfind("rate:", 0) == 0) rates.push_back(std::stoi(e.substr(5)));
        ASSERT_FALSE(rates.empty()) << perMinute;
        EXPECT_GE(std::stol(g_events.front().substr(g_events.front().find('@') + 1)), 15000);  // bandCount > 149
        for (size_t i = 1; i < rates.size(); ++i) EXPECT_NE(rates[i], rates[i - 1]) << perMinute;
        EXPECT_EQ(rates.back(), perMinute);
        EXPECT_EQ(s_resp.curRate, perMinute);
        EXPECT_EQ(window(), display) << perMinute;
    }
}

TEST_F(RespChannel, SettersAndResets)
{
    using V = std::vector<int>;
    EXPECT_EQ((V{onPatientType(2), onPatientType(3), onPatientType(-1), onHrChangedResp(72)}), (V{0, -1, -1, 0}));
    EXPECT_EQ((V{s_resp.patientType, s_resp.hr}), (V{2, 72}));  // 3 and -1 keep the type
    s_resp.heartNoiseState = 1;
    EXPECT_EQ((V{initBeatNoise(), s_resp.heartNoiseState}), (V{0, 0}));
    s_resp.heartNoiseState = 1, s_resp.curRate = 17;
    EXPECT_EQ(initResp(), 0);  // forgets heart rate, patient type, flag and rate
    EXPECT_EQ((V{s_resp.hr, s_resp.patientType, s_resp.heartNoiseState, s_resp.curRate}), V(4, 0));
    EXPECT_EQ(g_events, (Strings{"noise:0@0", "noise:0@0"}));
}

TEST(RespBandTaps, SymmetricTapsAndStatedGains)
{
    auto gainAt = [](double hz, std::complex<double> sum = 0.0) {
        for (int n = 0; n < 171; ++n) sum += kRespBandHighPassTaps[n] * std::polar(1.0, -2.0 * M_PI * hz / 10.0 * n);
        return std::abs(sum);
    };
    ASSERT_EQ(kRespBandHighPassLength, 171);
    for (int n = 0; n < 171; ++n) EXPECT_EQ(kRespBandHighPassTaps[n], kRespBandHighPassTaps[170 - n]) << n;
    EXPECT_EQ((std::vector<double>{kRespBandHighPassTaps[85], kRespBandHighPassTaps[0], kRespBandHighPassTaps[1]}),
              (std::vector<double>{0.977253372310975, 0.000352864319534275, 0.000542851783347392}));
    const double gains[][2] = {{0.0, 0.0613}, {0.1, 0.29}, {0.15, 0.95}, {0.3, 1.0}};
    for (const auto &g : gains) EXPECT_NEAR(gainAt(g[0]), g[1], 1e-9) << g[0];
}

using Signal = std::function<double(int64_t)>;
constexpr double kBin = 600.0 / 1024.0;

double breath18(int64_t s) { return 100.0 * std::sin(2 * M_PI * 0.3 * double(s) / 10.0); }
double bin60(int64_t s) { return 100.0 * std::sin(2 * M_PI * 60.0 / 1024.0 * double(s)); }
double period60(int64_t s) { return 100.0 * std::sin(2 * M_PI * double(s) / 60.0); }
// period60 with the breath at window samples 480 .. 509 scaled.
Signal middleBreath(double scale) { return [scale](int64_t s) { return period60(s) * (s >= 480 && s < 510 ? scale : 1.0); }; }

using RespRate = RespChannel;
void fill(double *ring, int64_t *count, int64_t n, const Signal &f) { for (*count = 0; *count < n; ++*count) ring[*count % kRespRingLen] = f(*count); }
void band(int64_t n, const Signal &f) { fill(s_resp.bandRing, &s_resp.bandCount, n, f); }
void rate(int64_t n, const Signal &f) { fill(s_resp.rateRing, &s_resp.rateCount, n, f); }
void history(std::initializer_list<float> h) { std::fill_n(std::copy(h.begin(), h.end(), s_resp.rateHistory), 10 - h.size(), 0.0f); }
int smooth(double r, int32_t n = 3, std::vector<int32_t> P = {100, 110, 120}) { return _respDisplayValueCal(&s_resp, P.data(), r, n); }

TEST_F(RespRate, BandWindowAndPeakSearch)
{
    // Up to 127 samples: all; up to 217: all but the first 90; then the newest 128.
    const struct { int64_t count; double first, last; int length; } windows[] = {
        {100, 1, 100, 100}, {150, 91, 150, 60}, {1500, 1373, 1500, 128}};
    for (const auto &w : windows) {
        band(w.count, [](int64_t s) { return double(s + 1); });
        canPeakFind(&s_resp);
        EXPECT_EQ((Vec{s_resp.bandWindow[0], s_resp.bandWindow[w.length - 1], s_resp.bandWindow[w.length]}), (Vec{w.first, w.last, 0.0})) << w.count;
    }
    band(300, breath18);  // numpy A: 32 peaks, bins 31, 20, 42, amp0/amp1 4.241140
    EXPECT_EQ(canPeakFind(&s_resp), 32);
    EXPECT_EQ(std::vector<int>(s_respCalc.P, s_respCalc.P + 3), (std::vector<int>{31, 20, 42}));
    EXPECT_NEAR(s_respCalc.amp[0] / s_respCalc.amp[1], 4.241140, 1e-6);
    band(300, bin60);  // numpy B: 31 peaks, bins 60, 48, 71
    EXPECT_EQ(canPeakFind(&s_resp), 31);
    EXPECT_EQ(std::vector<int>(s_respCalc.P, s_respCalc.P + 3), (std::vector<int>{60, 48, 71}));
    double x[1024] = {};  // two impulses 512 apart: |X| 2 on even bins, 0 on odd
    x[0] = x[512] = 1.0;
    int32_t list[kRespMaxPeaks];
    ASSERT_EQ(_canFrePeakValue(&s_resp, x, list), 128);  // every even bin 4 .. 258
    EXPECT_EQ(std::make_pair(*std::min_element(list, list + 128), *std::max_element(list, list + 128)), std::make_pair(4, 258));
}

TEST_F(RespRate, RateAndShortWindowReadings)
{
    rate(300, breath18);  // A: bin 31 more than twice the next
    EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), 31 * kBin);
    // numpy C: bins 32 and 38 lead by 1.02: only a bin within 1 of the held rate.
    rate(300, [](int64_t s) { return breath18(s) + 100.0 * std::sin(2 * M_PI * 40.0 / 1024.0 * double(s)); });
    for (const auto &[held, expected] : std::vector<std::pair<int, double>>{{0, 0.0}, {19, 32 * kBin}, {22, 38 * kBin}}) {
        s_resp.curRate = held;
        EXPECT_DOUBLE_EQ(_calNorRR(&s_resp), expected) << held;
    }
    rate(300, [](int64_t) { return 0.0; });  // fewer than three peaks
    EXPECT_EQ(_calNorRR(&s_resp), 0.0);
    // numpy B: the short window peaks at 60 too, 4.57 times its next.
    band(300, bin60);
    canPeakFind(&s_resp);
    for (int p0 : {59, 60, 61}) EXPECT_DOUBLE_EQ(_calFreDomainRR(&s_resp, p0), 60 * kBin) << p0;
    EXPECT_EQ(_calFreDomainRR(&s_resp, 62), 0.0);
    rate(300, bin60);
    calcResp(&s_resp);  // a strongest bin of 53 or more: short window
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], float(60 * kBin));
}

TEST_F(RespRate, TimeDomainReadingCountsBreaths)
{
    // Ten per minute, bin 17: window 4096 / 17 = 240; peaks 15, 75, 135, 195 and
    // troughs 45, 105, 165, 225; the first peak has no trough before it:
    // three breaths, 600 * 2 / 120 = 10.
    // spectralBin: Q[0] after the call, -1 when no spectral check ran.
    const struct { const char *why; int64_t n; Signal x; int bin; double expected; int spectralBin; } cases[] = {
        {"regular", 600, period60, 17, 10.0, -1},
        {"80 %: 180 / 200 = 0.9 is not above 0.9, spectrum agrees (numpy D)", 600, middleBreath(0.8), 17, 10.0, 17},
        {"85 %: regular", 600, middleBreath(0.85), 17, 10.0, -1},
        {"50 %: peak regularity 0.5", 600, middleBreath(0.5), 17, 0.0, 17},
        {"bin 5: 819 samples, 13 breaths > 10", 1024, period60, 5, 0.0, -1},
        {"within +-20", 600, [](int64_t s) { return period60(s) / 10.0; }, 17, 0.0, -1},
    };
    for (const auto &k : cases) {
        rate(k.n, k.x);
        s_respCalc.Q[0] = -1;
        EXPECT_DOUBLE_EQ(calTimeDomainRR(&s_resp, k.bin), k.expected) << k.why;
        EXPECT_EQ(s_respCalc.Q[0], k.spectralBin) << k.why;
    }
    rate(600, period60);
    band(300, period60);  // numpy E: band peak 17 goes to the time domain
    calcResp(&s_resp);
    EXPECT_EQ(s_respCalc.P[0], 17);
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], 10.0f);
    const Signal bin24 = [](int64_t s) { return 100.0 * std::sin(2 * M_PI * 24.0 / 1024.0 * double(s)); };
    rate(300, bin24);
    band(300, bin24);  // numpy F: bin 24 (3.55 times the next) is read from the spectrum
    calcResp(&s_resp);
    EXPECT_EQ(s_respCalc.P[0], 24);
    EXPECT_FLOAT_EQ(s_resp.rateHistory[0], float(24 * kBin));
}

TEST_F(RespRate, HeartRateRejectionAndNoiseFlag)
{
    // Readings 18.16 (numpy A) and exactly 10 (time domain) are dropped within 2 of the heart rate (0: none).
    const float a = float(31 * kBin);
    const struct { Signal x; int hr; float shown; } cases[] = {{period60, 12, 0}, {period60, 13, 10}, {breath18, 18, 0},
        {breath18, 20, 0}, {breath18, 17, 0}, {breath18, 21, a}, {breath18, 16, a}, {breath18, 0, a}};
    for (const auto &k : cases) {
        band(300, k.x), rate(600, k.x), history({}), onHrChangedResp(k.hr);
        calcResp(&s_resp);
        EXPECT_FLOAT_EQ(s_resp.rateHistory[0], k.shown) << k.hr;
    }
    g_events.clear();
    calcResp(&s_resp);  // no heart rate: each of the three strongest peaks lowers the flag
    EXPECT_EQ(g_events, Strings(3, "noise:0@0"));
    // hr 72: bin 122, tolerance 22: three hits raise the flag once, a miss lowers it.
    onHrChangedResp(72);
    g_events.clear();
    for (int p : {100, 144, 122, 130}) _heartNoise(&s_resp, 122, p);
    EXPECT_EQ(s_resp.heartNoiseCount, 3);  // held at 3
    _heartNoise(&s_resp, 122, 99);
    EXPECT_EQ(g_events, (Strings{"noise:1@0", "noise:0@0"}));
    EXPECT_EQ(s_resp.heartNoiseCount, 0);
    const int32_t tolerance[][2] = {{15, 1},  {16, 6},  {30, 6},  {31, 10}, {40, 10}, {41, 14}, {50, 14}, {51, 16},
                                    {60, 16}, {61, 18}, {70, 18}, {71, 22}, {90, 22}, {91, 26}, {300, 26}, {-5, 1}};
    for (const auto &[hr, t] : tolerance) {
        s_resp.hr = hr, s_resp.heartNoiseCount = 0;
        std::vector<int> counts;
        for (int p : {100 + t, 100 - t, 100 + t + 1}) _heartNoise(&s_resp, 100, p), counts.push_back(s_resp.heartNoiseCount);
        EXPECT_EQ(counts, (std::vector<int>{1, 2, 0})) << hr;
    }
}

TEST_F(RespRate, SmoothingBranches)
{
    band(300, breath18);
    rate(300, breath18);
    // After a reset one reading (18.16) is not shown; three within 1.5 are: 18.
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 0);
    EXPECT_EQ(calcResp(&s_resp), 18);
    EXPECT_EQ(s_resp.curRate, 18);
    const struct { const char *why; std::initializer_list<float> h; int held, hold; double r; int out; } cases[] = {
        {"spread exactly 1.5: mean 18.5 rounds up", {19.5f, 18.0f}, 0, 0, 18.0, 19},
        {"rate 11 uses 3: 10.33", {10, 10, 10, 10, 14, 10, 10, 10, 10, 10}, 0, 0, 11.0, 10},
        {"rate 10 uses 6, with the 14: held", {10, 10, 10, 10, 14, 10, 10, 10, 10, 10}, 9, 0, 10.0, 9},
        {"rate 32 uses 5: spread 8, mean of 5 entries 33.6", {32, 32, 32, 40}, 0, 0, 32.0, 34},
        {"rate 31 uses 3: 31.67", {32, 32, 32, 40}, 0, 0, 31.0, 32},
        {"fewer than ten entries: 20, 15, 17", {15, 17}, 0, 0, 20.0, 17},
        {"held unusual rate gives way after 20", {8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 8, 20, 20.0, 20},
        {"not after 19: trimmed (20 + 72 - 28) / 8 = 8", {8, 8, 8, 8, 8, 8, 8, 8, 8, 8}, 8, 19, 20.0, 8},
        {"trimmed (175 - 31) / 8 = 18 within 2 of 17", {16, 18, 19, 17, 18, 18, 21, 10, 18, 99}, 17, 0, 20.0, 18},
        {"18 not within 2 of 15", {16, 18, 19, 17, 18, 18, 21, 10, 18, 99}, 15, 0, 20.0, 15},
    };
    for (const auto &k : cases) {
        history(k.h);
        s_resp.curRate = k.held, s_resp.rateHoldCount = k.hold;
        EXPECT_EQ((std::vector<int>{smooth(k.r), s_resp.curRate, s_resp.rateHoldCount}), (std::vector<int>{k.out, k.out, 0})) << k.why;
        EXPECT_TRUE(k.hold != 20 || s_resp.rateHistory[1] == 0.0f) << "giving way clears the older entries";
    }
}

TEST_F(RespRate, DefaultFirstRateByPatientType)
{
    // Peaks 100, 110, 120 (58.6, 64.5, 70.3 per minute) are far from every default.
    for (const auto &[type, expected] : std::vector<std::pair<int, int>>{{0, 19}, {1, 21}, {2, 25}}) {
        initResp();  // back to adult
        ASSERT_EQ(onPatientType(type), 0);
        s_resp.bandCount = 190;
        // shown, not held
        EXPECT_EQ((std::vector<int>{smooth(0.0), s_resp.curRate, s_resp.rateHoldCount}), (std::vector<int>{expected, 0, 1}));
        s_resp.bandCount = 189;
        EXPECT_EQ(smooth(0.0), 0) << type;
    }
    EXPECT_EQ(smooth(0.0, 3, {40, 45, 50}), 26);  // within 5 of 25: bin 45 (26.37) nearer than 40 (23.44)
    EXPECT_EQ(s_resp.curRate, 26);
    s_resp.curRate = 0, s_resp.bandCount = 500;
    EXPECT_EQ(smooth(0.0, 2), 0);  // fewer than three peaks
}

TEST_F(RespRate, HeldRateJittersAndHistoryIsPruned)
{
    std::srand(7);
    s_resp.curRate = 18;
    std::set<int32_t> shown, periods;
    int firstJitter = -1;
    for (int call = 0; call < 3000; ++call) {
        const bool due = s_resp.rateHoldCount > 0 && s_resp.rateHoldCount % s_respCalc.randTime == 0;
        const int out = smooth(0.0, 0);
        if (due && firstJitter < 0) firstJitter = call;
        if (due) shown.insert(out), periods.insert(s_respCalc.randTime);
        ASSERT_TRUE(due || out == 0) << call;
        ASSERT_EQ(s_resp.curRate, 18);
    }
    EXPECT_EQ(firstJitter, 9);
    EXPECT_EQ(shown, (std::set<int32_t>{17, 18, 19}));
    EXPECT_EQ(periods, (std::set<int32_t>{7, 8, 9, 10, 11}));
    // Every 20 computations, entries outside 9 .. 32 are dropped.
    history({18, 40, 18, 5, 18, 0, 0, 0, 0, 33});
    s_resp.rateHoldCount = 18;
    smooth(0.0, 0);
    EXPECT_EQ(s_resp.rateHistory[1], 40.0f);
    smooth(0.0, 0);
    EXPECT_EQ(std::vector<float>(s_resp.rateHistory, s_resp.rateHistory + 10),
              (std::vector<float>{18, 18, 18, 0, 0, 0, 0, 0, 0, 0}));
}

// The respiration rate held after each second of `r` through the whole front end, frames as `tessivar run` builds them.
std::vector<int> heldRates(const tessivar::records::Record &r, size_t seconds)
{
    namespace rec = tessivar::records;
    const rec::FrameLayout layout = rec::chooseLayout(r, {}, "");
    const std::vector<int32_t> frames = rec::buildFrames(r, layout, 1000, 1000, 1000.0, int64_t(seconds) * 1000);
    PreprocessConf conf{};
    conf.fs = conf.lsbMv = 1000;
    conf.wireType = layout.wireType.c_str(), conf.dataType = layout.dataType.c_str();
    conf.hrLead = conf.respLead = "II";
    conf.printFunc = [](const char *) {};
    std::vector<int> held;
    EXPECT_TRUE(tessivar::test::runFrames(conf, frames, 1000, [] {}, [&held] { held.push_back(getCurRespRate()); }));
    return held;
}

TEST(RespRecords, SimulatedBreathingIsHeldFromSixtySeconds)
{
    for (double perMinute : {10.0, 15.0, 20.0, 30.0}) {  // 12-lead simulator: every second from 60 s within 1
        tessivar::records::SimOptions o;
        o.seconds = 90.0, o.respRate = perMinute, o.seed = uint32_t(perMinute * 10);
        const std::vector<int> held = heldRates(tessivar::records::simulate(o).record, 90);
        ASSERT_EQ(held.size(), 90u);
        for (size_t sec = 60; sec < held.size(); ++sec) ASSERT_NEAR(held[sec], perMinute, 1.0) << perMinute << " at " << sec;
    }
}

// BIDMC: the mean of the rates held at each second of the minutes from 15 s and 75 s against the nearer
// annotator's 60 (breaths - 1) / (first to last).
TEST(RespRecords, FirstMinutesFollowTheAnnotators)
{
    namespace rec = tessivar::records;
    const std::string dir = TESSIVAR_SHARED_DATA "/bidmc/";
    if (!std::ifstream(dir + "bidmc03.hea").good()) GTEST_SKIP() << "BIDMC records not found in " << dir;
    for (const char *name : {"bidmc03", "bidmc04"}) {
        const rec::Record r = rec::readRecord(dir + name);
        const std::vector<int> held = heldRates(r, 135);
        ASSERT_EQ(held.size(), 135u);
        Vec breaths[2];
        for (const rec::Annotation &a : rec::readAnnotations(dir + name + ".breath"))
            breaths[a.aux.rfind("ann1", 0) == 0 ? 0 : 1].push_back(double(a.time) / r.header.fs);
        for (size_t from : {15, 75}) {
            double device = 0.0, error = 1e9;
            int rated = 0;
            for (size_t sec = from; sec < from + 60; ++sec) rated += held[sec] > 0, device += std::max(held[sec], 0);
            ASSERT_GT(rated, 50) << name << " " << from;
            device /= rated;
            for (const Vec &b : breaths) {
                Vec w;
                std::copy_if(b.begin(), b.end(), std::back_inserter(w), [&](double t) { return t >= from && t < from + 60; });
                error = std::min(error, std::fabs(device - 60.0 * double(w.size() - 1) / (w.back() - w.front())));
            }
            EXPECT_LT(error, 1.5) << name << " minute from " << from << " s: " << device;  // whole records: below 0.5
        }
    }
}

}  // namespace
