// The command-line program's recording tools for Python: WFDB records and
// annotations, the patient simulator, frame building with resampling, and
// beat-by-beat comparison.
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "bindings.hpp"
#include "records/beat_compare.hpp"
#include "records/frames.hpp"
#include "records/simulator.hpp"
#include "records/wfdb.hpp"

namespace tessivar::python {
namespace {

using records::Record;

py::array_t<int32_t> digital(const Record &r)
{
    const size_t n = r.samples.empty() ? 0 : r.samples[0].size(), k = r.samples.size();
    py::array_t<int32_t> out({py::ssize_t(n), py::ssize_t(k)});
    auto v = out.mutable_unchecked<2>();
    for (size_t s = 0; s < k; ++s)
        for (size_t t = 0; t < n; ++t) v(py::ssize_t(t), py::ssize_t(s)) = r.samples[s][t];
    return out;
}

// Samples in physical units, (digital - baseline) / gain as the frame
// builder computes them.
py::array_t<double> physical(const Record &r)
{
    const size_t n = r.samples.empty() ? 0 : r.samples[0].size(), k = r.samples.size();
    py::array_t<double> out({py::ssize_t(n), py::ssize_t(k)});
    auto v = out.mutable_unchecked<2>();
    for (size_t s = 0; s < k; ++s)
        for (size_t t = 0; t < n; ++t) v(py::ssize_t(t), py::ssize_t(s)) = r.physical(int(s), t);
    return out;
}

// A record from physical samples (n x signals). Each signal is stored with
// the finest gain (a power of ten up to 1e6 per unit, i.e. nanovolts for
// millivolts) whose digital values still fit in 32 bits, so the values read
// back differ from the given ones by at most half a step.
Record fromSignals(const std::string &name, double fs, const std::vector<std::string> &descriptions,
                   const std::vector<std::string> &units,
                   const py::array_t<double, py::array::c_style | py::array::forcecast> &x)
{
    if (x.ndim() != 2 || size_t(x.shape(1)) != descriptions.size() || units.size() != descriptions.size())
        throw std::invalid_argument("signals must be an (n, " + std::to_string(descriptions.size()) + ") array");
    if (!(fs > 0)) throw std::invalid_argument("fs must be positive");
    Record r;
    r.header.name = name;
    r.header.fs = fs;
    const py::ssize_t n = x.shape(0);
    r.header.samples = n;
    auto v = x.unchecked<2>();
    for (size_t s = 0; s < descriptions.size(); ++s) {
        double peak = 0;
        for (py::ssize_t t = 0; t < n; ++t) {
            const double value = v(t, py::ssize_t(s));
            if (!std::isfinite(value))
                throw std::invalid_argument(descriptions[s] + ": NaN or infinite value at sample " + std::to_string(t));
            peak = std::max(peak, std::fabs(value));
        }
        double gain = 1e6;
        while (gain > 1e-6 && peak * gain > 2.0e9) gain /= 10;
        if (peak * gain > 2.0e9) throw std::invalid_argument(descriptions[s] + ": values too large");
        records::SignalInfo info;
        info.file = name + ".dat";
        info.gain = gain;
        info.units = units[s];
        info.description = descriptions[s];
        info.adcResolution = 32;
        r.header.signals.push_back(info);
        std::vector<int32_t> d(static_cast<size_t>(n));
        for (py::ssize_t t = 0; t < n; ++t) d[size_t(t)] = int32_t(std::llround(v(t, py::ssize_t(s)) * gain));
        r.samples.push_back(std::move(d));
    }
    return r;
}

py::dict annotations(const std::string &path)
{
    const std::vector<records::Annotation> list = records::readAnnotations(path);
    py::array_t<int64_t> time(py::ssize_t(list.size()));
    py::array_t<int32_t> code(py::ssize_t(list.size()));
    py::list aux;
    for (size_t i = 0; i < list.size(); ++i) {
        time.mutable_data()[i] = list[i].time;
        code.mutable_data()[i] = list[i].code;
        aux.append(list[i].aux);
    }
    py::dict out;
    out["time"] = time;
    out["code"] = code;
    out["aux"] = aux;
    return out;
}

py::tuple buildFrames(const Record &record, int fs, int lsbMv, double respScale,
                      const std::map<std::string, std::string> &overrides, const std::string &resp, int64_t maxFrames)
{
    const records::FrameLayout layout = records::chooseLayout(record, overrides, resp);
    std::vector<int32_t> frames;
    {
        py::gil_scoped_release released;
        frames = records::buildFrames(record, layout, fs, lsbMv, respScale, maxFrames);
    }
    const size_t words = 1 + layout.channelLead.size() + (layout.respSignal >= 0 ? 1 : 0);
    py::array_t<int32_t> out({py::ssize_t(frames.size() / words), py::ssize_t(words)});
    std::copy(frames.begin(), frames.end(), out.mutable_data());
    py::dict info;
    info["wire"] = layout.wireType;
    info["data"] = layout.dataType;
    std::vector<std::string> channels, mapped;
    for (int id : layout.channelLead) channels.push_back(records::kLeadNames[size_t(id)]);
    for (const auto &entry : layout.signalOf) mapped.push_back(records::kLeadNames[size_t(entry.first)]);
    info["channels"] = channels;
    info["mapped"] = mapped;
    info["carried"] = records::carriedLeads(layout);
    info["resp_signal"] = layout.respSignal;
    return py::make_tuple(out, info);
}

std::vector<int64_t> int64s(const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &x)
{
    return std::vector<int64_t>(x.data(), x.data() + x.size());
}

}  // namespace

void bindRecords(py::module_ &m)
{
    py::class_<Record>(m, "Record", "A WFDB record: header and digital samples.")
        .def_property_readonly("name", [](const Record &r) { return r.header.name; })
        .def_property_readonly("fs", [](const Record &r) { return r.header.fs; })
        .def_property_readonly("descriptions",
                               [](const Record &r) {
                                   std::vector<std::string> out;
                                   for (const auto &s : r.header.signals) out.push_back(s.description);
                                   return out;
                               })
        .def_property_readonly("units",
                               [](const Record &r) {
                                   std::vector<std::string> out;
                                   for (const auto &s : r.header.signals) out.push_back(s.units);
                                   return out;
                               })
        .def_property_readonly("gains",
                               [](const Record &r) {
                                   std::vector<double> out;
                                   for (const auto &s : r.header.signals) out.push_back(s.gain);
                                   return out;
                               })
        .def_property_readonly("digital", &digital, "samples as stored, (n, signals) int32")
        .def_property_readonly("physical", &physical, "(digital - baseline) / gain, (n, signals) float64")
        .def_property_readonly("samples", [](const Record &r) { return r.samples.empty() ? size_t(0) : r.samples[0].size(); })
        .def("find", &Record::find, "index of the first signal with this description, or -1")
        .def("__repr__", [](const Record &r) {
            std::string d;
            for (const auto &s : r.header.signals) d += (d.empty() ? "" : ", ") + s.description;
            return "<tessivar.Record " + r.header.name + ": " + std::to_string(r.samples.empty() ? 0 : r.samples[0].size()) +
                   " samples at " + std::to_string(r.header.fs) + " Hz, " + d + ">";
        });
    m.def("_read_record", [](const std::string &path) {
        py::gil_scoped_release released;
        return records::readRecord(path);
    });
    m.def("_record_from_signals", &fromSignals);
    m.def("_read_annotations", &annotations);
    m.def("_build_frames", &buildFrames);
    m.def("_simulate",
          [](double seconds, int fs, uint32_t seed, double heartRate, double respRate, double variability) {
              records::SimOptions o;
              o.seconds = seconds;
              o.fs = fs;
              o.seed = seed;
              o.heartRate = heartRate;
              o.respRate = respRate;
              o.variability = variability;
              records::Simulation sim = records::simulate(o);
              py::array_t<int64_t> beats(py::ssize_t(sim.beats.size()));
              for (size_t i = 0; i < sim.beats.size(); ++i) beats.mutable_data()[i] = sim.beats[i].time;
              return py::make_tuple(std::move(sim.record), beats);
          });
    m.def("_beat_train",
          [](const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &frames, int64_t merge) {
              std::vector<records::ReportedBeat> reported;
              for (int64_t f : int64s(frames)) reported.push_back(records::ReportedBeat{f});
              return records::beatTrain(reported, merge);
          });
    m.def("_flutter_episodes", [](const std::vector<int> &codes, const std::vector<int64_t> &times) {
        std::vector<std::pair<int64_t, int64_t>> out;
        for (const records::Episode &e : records::flutterEpisodes(codes, times)) out.emplace_back(e.from, e.to);
        return out;
    });
    m.def("_compare_beats",
          [](const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &reference,
             const py::array_t<int64_t, py::array::c_style | py::array::forcecast> &detected, double fs, double windowMs,
             double learningS, const std::vector<std::pair<int64_t, int64_t>> &excluded) {
              records::CompareOptions o;
              o.fs = fs;
              o.windowMs = windowMs;
              o.learningS = learningS;
              for (const auto &e : excluded) o.excluded.push_back(records::Episode{e.first, e.second});
              const records::BeatCounts c = records::compareBeats(int64s(reference), int64s(detected), o);
              py::dict out;
              out["tp"] = c.tp;
              out["fn"] = c.fn;
              out["fp"] = c.fp;
              return out;
          });
    m.attr("LEAD_NAMES") = std::vector<std::string>(records::kLeadNames.begin(), records::kLeadNames.end());
    m.attr("REPLAY_MERGE_MS") = records::kReplayMergeMs;
}

}  // namespace tessivar::python
