// Monitor: the front end of the library as one Python object. The library
// keeps one monitor per process, so at most one Monitor is open at a time;
// its callbacks, which carry no context, reach it through that one slot.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include <tessivar/ecg_preprocess.h>

#include "bindings.hpp"

namespace tessivar::python {
namespace {

enum EventKind { kBeat, kHeartRate, kRespRate, kQuality, kStatus, kFilter, kHrLead };
const char *const kKindNames[] = {"beat", "heartRate", "respRate", "quality", "status", "filter", "hrLead"};

// One callback of the library, with the input frame being processed.
struct Event {
    int kind;
    int64_t frame;
    int64_t at = 0;       // beats: frame of the fiducial point
    int32_t value = 0;    // rates; beats: lead id
    int32_t method = 0;   // beats
    std::string a, b, c;  // texts (quality, status key/value, filter slots, lead)
};

class Monitor;

// The open monitor, if any.
struct MonitorSlot {
    Monitor *open = nullptr;
};
MonitorSlot g_slot;

constexpr size_t kLogLines = 256;

class Monitor {
public:
    explicit Monitor(const py::dict &options);
    ~Monitor() { close(); }
    Monitor(const Monitor &) = delete;
    Monitor &operator=(const Monitor &) = delete;

    void close()
    {
        if (g_slot.open != this) return;
        refuseWhileBusy();
        ecgPreprocessDenit();
        g_slot.open = nullptr;
    }
    bool isOpen() const { return g_slot.open == this; }

    py::array_t<int32_t> process(const py::array_t<int32_t, py::array::c_style> &frames);
    py::list takeEvents();
    std::vector<std::string> log() const { return {log_.begin(), log_.end()}; }
    int64_t frames() const { return frame_; }

    // Calls a setter and turns a refusal into CallError.
    void check(const char *function, int rc)
    {
        if (rc < 0) throw CallError(function, rc, lastLine(logMark_));
    }
    void mark() { logMark_ = logCount_; }
    void requireOpen() const
    {
        if (!isOpen()) throw std::runtime_error("the Monitor is closed");
        refuseWhileBusy();
    }
    // The library takes one call at a time: while process runs without the
    // GIL, calls from other threads are refused instead of interleaved.
    void refuseWhileBusy() const
    {
        if (busy_) throw std::runtime_error("the Monitor is processing frames in another thread");
    }

    // Callbacks of the library.
    static void onPrint(const char *line)
    {
        if (!g_slot.open || !line) return;
        Monitor &m = *g_slot.open;
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (m.log_.size() == kLogLines) m.log_.pop_front();
        m.log_.push_back(std::move(text));
        ++m.logCount_;
    }
    static void push(Event e)
    {
        if (g_slot.open) g_slot.open->events_.push_back(std::move(e));
    }
    static int64_t now() { return g_slot.open ? g_slot.open->frame_ : 0; }
    static void onFilter(const char *base, const char *line, const char *emg)
    {
        push(Event{kFilter, now(), 0, 0, 0, base ? base : "", line ? line : "", emg ? emg : ""});
    }
    static void onHrLead(const char *lead) { push(Event{kHrLead, now(), 0, 0, 0, lead ? lead : "", "", ""}); }
    static void onHeartRate(int rate) { push(Event{kHeartRate, now(), 0, rate, 0, "", "", ""}); }
    static void onRespRate(int rate) { push(Event{kRespRate, now(), 0, rate, 0, "", "", ""}); }
    static void onQuality(const char *text) { push(Event{kQuality, now(), 0, 0, 0, text ? text : "", "", ""}); }
    static void onStatus(const char *key, const char *value)
    {
        push(Event{kStatus, now(), 0, 0, 0, key ? key : "", value ? value : "", ""});
    }
    static void onBeat(const EcgBeatEvent *beat, void *)
    {
        push(Event{kBeat, beat->reportFrame, beat->frame, beat->lead, beat->method, "", "", ""});
    }

private:
    // The last log line printed since mark (empty when none).
    std::string lastLine(uint64_t since) const
    {
        return logCount_ > since && !log_.empty() ? log_.back() : std::string();
    }

    std::deque<std::string> log_;
    uint64_t logCount_ = 0, logMark_ = 0;
    std::vector<Event> events_;
    int64_t frame_ = 0;  // input frames processed since Init
    int inWords_ = 0, outWords_ = 0;
    int block_ = 1;  // frames per call of the library
    std::atomic<bool> busy_{false};
};

std::string text(const py::dict &options, const char *key, const char *fallback)
{
    return options.contains(key) ? py::str(options[key]).cast<std::string>() : std::string(fallback);
}
int integer(const py::dict &options, const char *key, int fallback)
{
    return options.contains(key) ? options[key].cast<int>() : fallback;
}

Monitor::Monitor(const py::dict &options)
{
    if (g_slot.open)
        throw std::runtime_error(
            "another tessivar.Monitor is open in this process: the library keeps one monitor per process; close "
            "it first (or use a separate process per monitor)");
    const std::string wire = text(options, "wire", "12"), data = text(options, "data", "SLR");
    const std::string hrLead = text(options, "hr_lead", "II"), respLead = text(options, "resp_lead", "II");
    const std::string cfg = text(options, "debug_cfg", "");
    PreprocessConf conf{};
    conf.fs = integer(options, "fs", 1000);
    conf.lsbMv = integer(options, "lsb_mv", 1000);
    conf.paceFilter = integer(options, "pace_filter", 0);
    conf.paceInhib = integer(options, "pace_inhib", 1);
    conf.paceRemoveMs = integer(options, "pace_remove_ms", 10);
    conf.wireType = wire.c_str();
    conf.dataType = data.c_str();
    conf.hrLead = hrLead.c_str();
    conf.respLead = respLead.c_str();
    conf.debugCfgFile = cfg.empty() ? nullptr : cfg.c_str();
    conf.printFunc = onPrint;
    conf.onFilterSetting = onFilter;
    conf.onHrLead = onHrLead;
    conf.onHeartRate = onHeartRate;
    conf.onRespRate = onRespRate;
    conf.onQuality = onQuality;
    conf.onStatus = onStatus;
    conf.qrsMethod = integer(options, "qrs_method", 0);
    block_ = std::max(1, integer(options, "block", 1));

    g_slot.open = this;
    // The log prints its first lines before it takes the print hook: they
    // are caught from standard output and kept with the rest.
    std::fflush(stdout);
    std::FILE *early = std::tmpfile();
    const int saved = early ? dup(STDOUT_FILENO) : -1;
    if (saved >= 0) dup2(fileno(early), STDOUT_FILENO);
    const int rc = ecgPreprocessInit(&conf);
    std::fflush(stdout);
    if (saved >= 0) {
        dup2(saved, STDOUT_FILENO);
        ::close(saved);
    }
    if (early) {
        std::rewind(early);
        char line[1024];
        while (std::fgets(line, sizeof line, early)) onPrint(line);
        std::fclose(early);
    }
    if (rc < 0) {
        g_slot.open = nullptr;
        throw CallError("ecgPreprocessInit", rc, lastLine(0));
    }
    try {
        check("ecgPreprocessSetBeatEventCallback", ecgPreprocessSetBeatEventCallback(onBeat, nullptr));
        inWords_ = getCurInFrame();
        outWords_ = getCurOutFrame();
        check("getCurInFrame", inWords_);
        check("getCurOutFrame", outWords_);
    } catch (...) {
        close();
        throw;
    }
}

py::array_t<int32_t> Monitor::process(const py::array_t<int32_t, py::array::c_style> &frames)
{
    requireOpen();
    // The frame format may change through a setter: words are read afresh.
    inWords_ = getCurInFrame();
    outWords_ = getCurOutFrame();
    if (frames.ndim() != 2 || frames.shape(1) != inWords_)
        throw std::invalid_argument("frames must have shape (n, " + std::to_string(inWords_) + ")");
    const py::ssize_t n = frames.shape(0);
    py::array_t<int32_t> out({n, py::ssize_t(outWords_)});
    const int32_t *in = frames.data();
    int32_t *o = out.mutable_data();
    mark();
    int rc = 0;
    py::ssize_t done = 0;
    busy_ = true;
    {
        py::gil_scoped_release released;
        while (done < n) {
            const int k = int(std::min<py::ssize_t>(block_, n - done));
            rc = ecgPreprocessDoPreprocess(k, in + done * inWords_, o + done * outWords_);
            if (rc < 0) break;
            done += k;
            frame_ += k;
        }
    }
    busy_ = false;
    check("ecgPreprocessDoPreprocess", rc);
    return out;
}

py::list Monitor::takeEvents()
{
    py::list out;
    for (const Event &e : events_) {
        py::dict d;
        d["kind"] = kKindNames[e.kind];
        d["frame"] = e.frame;
        switch (e.kind) {
        case kBeat:
            d["at"] = e.at;
            d["lead"] = e.value;
            d["method"] = e.method;
            break;
        case kHeartRate:
        case kRespRate: d["rate"] = e.value; break;
        case kQuality: d["text"] = e.a; break;
        case kStatus:
            d["key"] = e.a;
            d["value"] = e.b;
            break;
        case kFilter:
            d["base"] = e.a;
            d["line"] = e.b;
            d["emg"] = e.c;
            break;
        case kHrLead: d["lead"] = e.a; break;
        }
        out.append(d);
    }
    events_.clear();
    return out;
}

// Binds a setter of the front end taking one text.
template <int (*Setter)(const char *)>
void textSetter(Monitor &m, const char *function, const std::string &value)
{
    m.requireOpen();
    m.mark();
    m.check(function, Setter(value.c_str()));
}
template <int (*Setter)(int)>
void intSetter(Monitor &m, const char *function, int value)
{
    m.requireOpen();
    m.mark();
    m.check(function, Setter(value));
}

}  // namespace

bool monitorOpen() { return g_slot.open != nullptr; }

void bindMonitor(py::module_ &m)
{
    py::class_<Monitor>(m, "_Monitor")
        .def(py::init<const py::dict &>())
        .def("close", &Monitor::close)
        .def_property_readonly("is_open", &Monitor::isOpen)
        .def("process", &Monitor::process, py::arg("frames"))
        .def("take_events", &Monitor::takeEvents)
        .def_property_readonly("log", &Monitor::log)
        .def_property_readonly("frames", &Monitor::frames)
        .def_property_readonly("in_words", [](Monitor &self) { self.requireOpen(); return getCurInFrame(); })
        .def_property_readonly("out_words", [](Monitor &self) { self.requireOpen(); return getCurOutFrame(); })
        .def_property_readonly("total_delay", [](Monitor &self) { self.requireOpen(); return getCurTotalDelay(); })
        .def_property_readonly("heart_rate", [](Monitor &self) { self.requireOpen(); return getCurHeartRate(); })
        .def_property_readonly("resp_rate", [](Monitor &self) { self.requireOpen(); return getCurRespRate(); })
        .def_property_readonly("hr_lead", [](Monitor &self) { self.requireOpen(); return std::string(getCurHrLead()); })
        .def_property_readonly("quality",
                               [](Monitor &self) -> py::object {
                                   self.requireOpen();
                                   const char *q = getCurQuality();
                                   return q ? py::object(py::str(q)) : py::object(py::none());
                               })
        .def_property_readonly("filters",
                               [](Monitor &self) {
                                   self.requireOpen();
                                   char base[16] = {}, line[16] = {}, emg[16] = {};
                                   getCurFilterSetting(base, line, emg);
                                   return py::make_tuple(base, line, emg);
                               })
        .def("status", [](Monitor &self, const std::string &key) { self.requireOpen(); return std::string(getCurStatu(key.c_str())); })
        .def("set_filter",
             [](Monitor &self, const std::string &base, const std::string &line, const std::string &emg) {
                 self.requireOpen();
                 self.mark();
                 self.check("ecgPreprocessSetFilter", ecgPreprocessSetFilter(base.c_str(), line.c_str(), emg.c_str()));
             })
        .def("set_hr_lead", [](Monitor &self, const std::string &v) { textSetter<ecgPreprocessSetHrLead>(self, "ecgPreprocessSetHrLead", v); })
        .def("set_resp_lead", [](Monitor &self, const std::string &v) { textSetter<ecgPreprocessSetRespLead>(self, "ecgPreprocessSetRespLead", v); })
        .def("set_filter_mode", [](Monitor &self, const std::string &v) { textSetter<ecgPreprocessSetFilterMode>(self, "ecgPreprocessSetFilterMode", v); })
        .def("set_qrs_mode", [](Monitor &self, const std::string &v) { textSetter<ecgPreprocessSetQrsMode>(self, "ecgPreprocessSetQrsMode", v); })
        .def("set_wire", [](Monitor &self, const std::string &v) { textSetter<ecgPreprocessSetWireType>(self, "ecgPreprocessSetWireType", v); })
        .def("set_fuzz", [](Monitor &self, int v) { intSetter<ecgPreprocessSetFuzzFilter>(self, "ecgPreprocessSetFuzzFilter", v); })
        .def("set_pace_filter", [](Monitor &self, int v) { intSetter<ecgPreprocessSetPaceFilter>(self, "ecgPreprocessSetPaceFilter", v); })
        .def("set_pace_remove_ms", [](Monitor &self, int v) { intSetter<ecgPreprocessSetPaceRemoveMs>(self, "ecgPreprocessSetPaceRemoveMs", v); })
        .def("set_suffocation", [](Monitor &self, int v) { intSetter<ecgPreprocessSetRespSuffocationThr>(self, "ecgPreprocessSetRespSuffocationThr", v); })
        .def("set_noise_threshold",
             [](Monitor &self, int v) {
                 self.requireOpen();
                 self.mark();
                 self.check("ecgPreprocessSetNoiseThreshold", ecgPreprocessSetNoiseThreshold((signed char)std::clamp(v, -128, 127)));
             })
        .def("set_sub_uv", [](Monitor &self, int v) { self.requireOpen(); return setSubUv(v); })
        .def("reset_hr",
             [](Monitor &self) {
                 self.requireOpen();
                 self.mark();
                 self.check("ecgPreprocessResetHr", ecgPreprocessResetHr());
             });
}

}  // namespace tessivar::python
