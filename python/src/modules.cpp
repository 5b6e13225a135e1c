// The exported signal filter object and the offline R-peak finder, on numpy
// arrays.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <tessivar/anal_log.h>
#include <tessivar/beat_detect.h>
#include <tessivar/signal_filter.h>

#include "bindings.hpp"

namespace tessivar::python {
namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// The stand-alone modules log through the library's log, which prints to
// standard output when no monitor has started it. Outside a Monitor the
// wrappers start it for the call at warning level and keep the last line
// for the exception of a refused call.
struct QuietLogState {
    std::string last;
};
QuietLogState g_quiet;

class QuietLog {
public:
    QuietLog() : own_(!monitorOpen())
    {
        g_quiet.last.clear();
        if (!own_) return;
        LogConf conf{nullptr, nullptr, LOG_LEVEL_WARN, [](const char *line) {
                         g_quiet.last = line ? line : "";
                         while (!g_quiet.last.empty() && g_quiet.last.back() == '\n') g_quiet.last.pop_back();
                     }};
        newLog(&conf);
    }
    ~QuietLog()
    {
        if (own_) delLog();
    }
    QuietLog(const QuietLog &) = delete;
    QuietLog &operator=(const QuietLog &) = delete;
    const std::string &last() const { return g_quiet.last; }

private:
    bool own_;
};

void requireFinite(const Doubles &x, const char *what)
{
    const double *p = x.data();
    for (py::ssize_t i = 0; i < x.size(); ++i)
        if (!std::isfinite(p[i])) throw std::invalid_argument(std::string(what) + ": NaN or infinite value at index " + std::to_string(i));
}

std::vector<double> values(const Doubles &x)
{
    if (x.ndim() != 1 || x.size() < 1) throw std::invalid_argument("coefficients must be a non-empty 1-D array");
    requireFinite(x, "coefficients");
    return std::vector<double>(x.data(), x.data() + x.size());
}

// A SignalFilter with the coefficient arrays its record points to.
class Filter {
public:
    Filter(const std::string &kind, const py::dict &args)
    {
        name_ = args.contains("name") ? py::str(args["name"]).cast<std::string>() : kind;
        const double gain = args.contains("gain") ? args["gain"].cast<double>() : 1.0;
        SignalFilter *f = nullptr;
        QuietLog log;
        if (kind == "fir") {
            num_ = values(args["b"].cast<Doubles>());
            FirFilterConf c{SIGNAL_FILTER_FIR, name_.c_str(), nullptr, gain, num_.data(), int32_t(num_.size())};
            f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
        } else if (kind == "iir") {
            num_ = values(args["b"].cast<Doubles>());
            den_ = values(args["a"].cast<Doubles>());
            IirCombFilterConf c{SIGNAL_FILTER_IIR_COMB, name_.c_str(), nullptr, gain, num_.data(), int32_t(num_.size()),
                                den_.data(), int32_t(den_.size()), args.contains("delay") ? args["delay"].cast<int32_t>() : 0};
            f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
        } else if (kind == "avg" || kind == "avg_lp") {
            AvgFilterConf c{kind == "avg" ? SIGNAL_FILTER_AVG : SIGNAL_FILTER_AVG_LP, name_.c_str(), nullptr,
                            args["n"].cast<int32_t>()};
            f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
        } else if (kind == "notch") {
            NonlinearNotchFilterConf c{SIGNAL_FILTER_NONLINEAR_NOTCH, name_.c_str(), nullptr, args["phi"].cast<double>(),
                                       args["adj"].cast<double>()};
            f = newSignalFilter(reinterpret_cast<const SignalFilterConf *>(&c));
        } else {
            throw std::invalid_argument("unknown filter kind '" + kind + "' (fir, iir, avg, avg_lp, notch)");
        }
        if (!f) throw CallError("newSignalFilter", -1, log.last().empty() ? "the filter record was refused" : log.last());
        filter_ = f;
    }
    ~Filter()
    {
        QuietLog log;
        delSignalFilter(&filter_);
    }
    Filter(const Filter &) = delete;
    Filter &operator=(const Filter &) = delete;

    // Sample by sample, continuing from the last call.
    py::array_t<double> process(const Doubles &x)
    {
        requireFinite(x, "samples");
        py::array_t<double> y(x.size());
        const double *in = x.data();
        double *out = y.mutable_data();
        {
            py::gil_scoped_release released;
            for (py::ssize_t i = 0; i < x.size(); ++i) out[i] = doSignalFilter(filter_, in[i]);
        }
        return y;
    }
    // The whole array at once with the lag removed.
    py::array_t<double> offline(const Doubles &x)
    {
        requireFinite(x, "samples");
        if (x.size() < 1) return py::array_t<double>(0);
        py::array_t<double> y(x.size());
        int rc = 0;
        QuietLog log;
        {
            py::gil_scoped_release released;
            rc = doSignalFilterNotRealTime(filter_, x.data(), y.mutable_data(), int32_t(x.size()));
        }
        if (rc < 0) throw CallError("doSignalFilterNotRealTime", rc, log.last());
        return y;
    }
    void reset()
    {
        const int rc = initSignalFilter(filter_);
        if (rc < 0) throw CallError("initSignalFilter", rc, "");
    }
    int delay() const { return getSignalFilterDelay(filter_); }
    const std::string &name() const { return name_; }

private:
    std::string name_;
    std::vector<double> num_, den_;
    SignalFilter *filter_ = nullptr;
};

// findRPeak over int16 samples; positions as sample indexes.
py::array_t<int64_t> findRPeaks(const py::array_t<int16_t, py::array::c_style> &x, int fs, int method, int mode,
                                int maxHr, int minHr)
{
    if (x.ndim() != 1) throw std::invalid_argument("samples must be a 1-D array");
    if (x.size() < 1) throw std::invalid_argument("samples must not be empty");
    BeatDetectConf conf{"python", nullptr, fs, mode, method, maxHr, minHr};
    QuietLog log;
    BeatDetect *detector = newBeatDetect(&conf);
    if (!detector) throw CallError("newBeatDetect", -1, log.last().empty() ? "the detector configuration was refused" : log.last());
    // At most one beat per shortest RR interval, and a few over.
    const int32_t capacity = int32_t(x.size() / std::max(1, detector->minRRLen) + 16);
    std::vector<int32_t> positions(size_t(capacity), 0);
    int32_t n = 0;
    {
        py::gil_scoped_release released;
        n = findRPeak(detector, x.data(), int32_t(x.size()), positions.data(), capacity);
    }
    delBeatDetect(&detector);
    if (n == -2) n = capacity;
    if (n < 0) throw CallError("findRPeak", n, log.last());
    py::array_t<int64_t> out(n);
    for (int32_t i = 0; i < n; ++i) out.mutable_data()[i] = positions[size_t(i)];
    return out;
}

}  // namespace

void bindModules(py::module_ &m)
{
    py::class_<Filter>(m, "_Filter")
        .def(py::init<const std::string &, const py::dict &>())
        .def("process", &Filter::process)
        .def("offline", &Filter::offline)
        .def("reset", &Filter::reset)
        .def_property_readonly("delay", &Filter::delay)
        .def_property_readonly("name", &Filter::name);
    m.def("_find_r_peaks", &findRPeaks, py::arg("samples"), py::arg("fs"), py::arg("method"), py::arg("mode"),
          py::arg("max_hr"), py::arg("min_hr"));
    m.attr("filter_version") = signalFilterVersion();
    m.attr("beat_detect_version") = beatDetectVersion();
}

}  // namespace tessivar::python
