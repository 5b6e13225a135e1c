// Every filter kind from a fuzzed record (sizes, coefficients, taps, window
// lengths, and a kind code that may be none of them), fed fuzzed samples one
// at a time and as a whole array, restarted in between.
#include <tessivar/signal_filter.h>
#include <tessivar/anal_log.h>

#include <vector>

#include "fuzz_input.hpp"

using tessivar::fuzz::Input;

namespace {

std::vector<double> coefficients(Input &in, int32_t n)
{
    std::vector<double> c(size_t(n > 0 ? n : 0));
    for (double &v : c) v = in.number();
    return c;
}

// A length that is mostly sensible, sometimes zero, negative or large.
int32_t length(Input &in)
{
    const uint8_t k = in.byte();
    if (k < 230) return k % 40;
    return in.take<int16_t>();
}

SignalFilter *make(Input &in, std::vector<double> &num, std::vector<double> &den,
                   std::vector<IntegerFilterTap> &numTaps, std::vector<IntegerFilterTap> &denTaps)
{
    const int32_t kinds[] = {SIGNAL_FILTER_AVG,     SIGNAL_FILTER_FIR,
                             SIGNAL_FILTER_IIR_COMB, SIGNAL_FILTER_INTEGER,
                             SIGNAL_FILTER_NONLINEAR_NOTCH, SIGNAL_FILTER_AVG_LP, 0, 3, -1};
    const int32_t kind = kinds[in.below(sizeof kinds / sizeof kinds[0])];
    const double gain = in.number();
    switch (kind) {
    case SIGNAL_FILTER_FIR: {
        // A count of 0 or below is claimed as it is; a positive one always
        // matches the coefficients handed over.
        const int32_t n = length(in);
        num = coefficients(in, n < 200 ? n : 200);
        const FirFilterConf c = {kind, "fuzz fir", nullptr, gain, num.empty() ? nullptr : num.data(),
                                 n <= 0 ? n : int32_t(num.size())};
        return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
    }
    case SIGNAL_FILTER_IIR_COMB: {
        num = coefficients(in, length(in) % 64);
        den = coefficients(in, length(in) % 64);
        const IirCombFilterConf c = {kind, "fuzz iir", nullptr, gain, num.empty() ? nullptr : num.data(),
                                     int32_t(num.size()), den.empty() ? nullptr : den.data(), int32_t(den.size()),
                                     in.take<int16_t>()};
        return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
    }
    case SIGNAL_FILTER_INTEGER: {
        for (uint32_t n = in.below(8); n > 0; --n) numTaps.push_back({in.take<int16_t>(), in.number()});
        for (uint32_t n = in.below(8); n > 0; --n) denTaps.push_back({in.take<int16_t>(), in.number()});
        IntegerFilterConf c{};
        c.type = kind;
        c.name = "fuzz integer";
        c.gain = gain;
        c.numData = numTaps.empty() ? nullptr : numTaps.data();
        c.num_num = in.take<int16_t>();
        c.num_num_valid = int32_t(numTaps.size());
        c.denData = denTaps.empty() ? nullptr : denTaps.data();
        c.den_num = in.take<int16_t>();
        c.den_num_valid = int32_t(denTaps.size());
        return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
    }
    case SIGNAL_FILTER_NONLINEAR_NOTCH: {
        const NonlinearNotchFilterConf c = {kind, "fuzz notch", nullptr, in.number(), in.number()};
        return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
    }
    default: {
        // The two moving averages, and kinds that do not exist.
        // Windows up to a million samples: a larger one is a valid request
        // for that much memory, which is not what this target looks for.
        const int32_t window = in.byte() < 240 ? int32_t(in.below(1500)) : in.take<int32_t>() % (1 << 20);
        const AvgFilterConf c = {kind, "fuzz average", nullptr, window};
        return newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessivar::fuzz::startQuietLog();
    Input in(data, size);
    std::vector<double> num, den;
    std::vector<IntegerFilterTap> numTaps, denTaps;
    SignalFilter *f = make(in, num, den, numTaps, denTaps);
    std::vector<double> x;
    while (!in.empty() && x.size() < 4096) x.push_back(in.number());
    for (size_t k = 0; k < x.size(); ++k) {
        if (k == x.size() / 2) initSignalFilter(f);
        doSignalFilter(f, x[k]);
    }
    std::vector<double> out(x.size());
    doSignalFilterNotRealTime(f, x.data(), out.data(), int32_t(x.size()));
    doSignalFilterNotRealTime(f, x.data(), x.data(), int32_t(x.size()));
    initSignalFilterCustom(f, x.empty() ? 0.0 : x[0], 0.0);
    setSignalFilterDelay(f, int32_t(x.size()) - 5);
    getSignalFilterDelay(f);
    delSignalFilter(&f);
    return 0;
}
