// tessivar plot RECORD: an SVG strip chart of a run — chosen leads raw
// (grey) and filtered (blue) on ECG paper, true beats (green) and detected
// beats (red) marked, and the heart-rate and respiration-rate trends of the
// whole run below.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "args.hpp"
#include "commands.hpp"
#include "records/events.hpp"
#include "records/frames.hpp"
#include "records/resample.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {
namespace {

constexpr double kWidth = 1100, kLeft = 60, kPanel = 150, kTrend = 170;

struct Svg {
    std::string body;
    void add(const std::string &s) { body += s + "\n"; }
};

std::string fmt(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

// A polyline of y(t) over [0, n) samples into the box, values in mV.
std::string trace(const std::vector<double> &mv, double x0, double width, double yMid, double pxPerMv,
                  const char *colour, double strokeWidth)
{
    std::string points;
    const size_t n = mv.size();
    const size_t step = std::max<size_t>(1, n / 4000);
    for (size_t k = 0; k < n; k += step) {
        const double y = std::clamp(yMid - mv[k] * pxPerMv, yMid - kPanel / 2, yMid + kPanel / 2);
        points += fmt(x0 + width * double(k) / double(n)) + "," + fmt(y) + " ";
    }
    return "<polyline fill='none' stroke='" + std::string(colour) + "' stroke-width='" + fmt(strokeWidth) +
           "' points='" + points + "'/>";
}

std::vector<double> column(const records::Record &r, int s, size_t from, size_t n, double fs)
{
    std::vector<double> x;
    if (s < 0) return x;
    const size_t a = std::min(from, r.samples[size_t(s)].size());
    const size_t b = std::min(a + n, r.samples[size_t(s)].size());
    for (size_t t = a; t < b; ++t) x.push_back(r.physical(s, t));
    return records::resample(x, r.header.fs, fs);
}

}  // namespace

int commandPlot(int argc, char **argv, int first)
{
    const Args args(argc, argv, first, {"out-dir", "leads", "from", "seconds", "svg"}, {});
    if (args.positional().size() != 1) throw UsageError("plot needs one record");
    const std::string recordPath = args.positional()[0];
    const size_t slash = recordPath.find_last_of('/');
    const std::string name = recordPath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string out = args.text("out-dir", ".") + "/" + name;
    const records::Record raw = records::readRecord(recordPath);
    const records::Record filtered = records::readRecord(out + "_out");
    const std::vector<records::Event> events = records::readEvents(out + ".jsonl");
    const double fs = filtered.header.fs;
    double delay = 0;
    for (const auto &e : events)
        if (e.kind == "end") delay = e.value;

    std::vector<std::string> leads;
    std::stringstream list(args.text("leads", "II,V1"));
    for (std::string item; std::getline(list, item, ',');)
        if (!item.empty()) leads.push_back(item);
    const double from = std::max(0.0, args.number("from", 10.0));
    const double seconds = std::clamp(args.number("seconds", 8.0), 0.5, 60.0);
    const size_t n = size_t(seconds * fs);

    Svg svg;
    const double height = 40 + kPanel * double(leads.size()) + kTrend + 40;
    svg.add("<svg xmlns='http://www.w3.org/2000/svg' width='" + fmt(kWidth) + "' height='" + fmt(height) +
            "' font-family='sans-serif' font-size='12'>");
    svg.add("<rect width='100%' height='100%' fill='white'/>");
    svg.add("<text x='" + fmt(kLeft) + "' y='20' font-size='14'>" + name + " — " + fmt(from) + " s to " +
            fmt(from + seconds) + " s; grey raw, blue filtered (delay " + fmt(delay) +
            " samples removed); green true beats, red detected</text>");
    const double width = kWidth - kLeft - 20;
    const double pxPerS = width / seconds, pxPerMv = 40.0;

    std::vector<int64_t> truth, detected;
    try {
        for (const auto &a : records::readAnnotations(recordPath + ".atr"))
            if (records::isBeat(a.code)) truth.push_back(a.time);
    } catch (const records::RecordError &) {
    }
    try {
        for (const auto &a : records::readAnnotations(out + ".qrs")) detected.push_back(a.time);
    } catch (const records::RecordError &) {
    }

    for (size_t p = 0; p < leads.size(); ++p) {
        const double top = 40 + kPanel * double(p), mid = top + kPanel / 2;
        // ECG paper: 0.2 s and 0.5 mV lines.
        for (double t = 0; t <= seconds + 1e-9; t += 0.2)
            svg.add("<line x1='" + fmt(kLeft + t * pxPerS) + "' y1='" + fmt(top) + "' x2='" + fmt(kLeft + t * pxPerS) +
                    "' y2='" + fmt(top + kPanel) + "' stroke='#f4c7c7' stroke-width='" +
                    (std::fmod(t + 1e-9, 1.0) < 0.01 ? "1.2" : "0.5") + "'/>");
        for (double v = -1.5; v <= 1.51; v += 0.5)
            svg.add("<line x1='" + fmt(kLeft) + "' y1='" + fmt(mid - v * pxPerMv) + "' x2='" + fmt(kLeft + width) +
                    "' y2='" + fmt(mid - v * pxPerMv) + "' stroke='#f4c7c7' stroke-width='0.5'/>");
        svg.add("<text x='8' y='" + fmt(mid) + "'>" + leads[p] + "</text>");
        const int lead = records::leadId(leads[p]);
        int rs = -1;
        for (size_t s = 0; s < raw.header.signals.size() && lead >= 0; ++s)
            if (records::leadOfDescription(raw.header.signals[s].description) == lead) rs = int(s);
        const std::vector<double> r = column(raw, rs, size_t(from * raw.header.fs), size_t(seconds * raw.header.fs), fs);
        if (!r.empty()) {
            // Raw signals carry their offset; centre them on the panel.
            std::vector<double> centred = r;
            std::vector<double> sorted = r;
            std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
            for (double &v : centred) v -= sorted[sorted.size() / 2];
            svg.add(trace(centred, kLeft, width, mid, pxPerMv, "#999999", 1.0));
        }
        const std::vector<double> f = column(filtered, filtered.find(leads[p]), size_t(from * fs + delay), n, fs);
        if (!f.empty()) svg.add(trace(f, kLeft, width, mid, pxPerMv, "#1f4fbf", 1.2));
        auto marks = [&](const std::vector<int64_t> &beats, const char *colour, double y0, double y1) {
            for (int64_t b : beats) {
                const double t = double(b) / raw.header.fs - from;
                if (t < 0 || t > seconds) continue;
                svg.add("<line x1='" + fmt(kLeft + t * pxPerS) + "' y1='" + fmt(y0) + "' x2='" + fmt(kLeft + t * pxPerS) +
                        "' y2='" + fmt(y1) + "' stroke='" + colour + "' stroke-width='2'/>");
            }
        };
        marks(truth, "#1a9c3a", top + 2, top + 14);
        marks(detected, "#d62728", top + kPanel - 14, top + kPanel - 2);
    }

    // Trends over the whole run.
    const double tTop = 40 + kPanel * double(leads.size()) + 20, tMid = tTop + kTrend;
    // The run's length is the time of its "end" event (callbacks raised while
    // the last beats were flushed come after it).
    double total = 1;
    for (const auto &e : events)
        if (e.kind == "end") total = std::max(total, e.t);
    svg.add("<rect x='" + fmt(kLeft) + "' y='" + fmt(tTop) + "' width='" + fmt(width) + "' height='" + fmt(kTrend) +
            "' fill='none' stroke='#cccccc'/>");
    for (int v = 0; v <= 200; v += 50)
        svg.add("<text x='20' y='" + fmt(tMid - v * kTrend / 200.0 + 4) + "'>" + std::to_string(v) + "</text>");
    // Rates are reported on change: each value holds until the next report
    // (a value below 0, "no rate", breaks the line).
    auto trend = [&](const char *kind, const char *colour) {
        std::string points;
        double held = -1;
        auto point = [&](double t, double v) {
            points += fmt(kLeft + width * t / total) + "," + fmt(tMid - std::min(v, 200.0) * kTrend / 200.0) + " ";
        };
        for (const auto &e : events) {
            if (e.kind != kind || e.t > total) continue;
            if (held >= 0) point(e.t, held);
            if (e.value >= 0) point(e.t, e.value);
            held = e.value;
        }
        if (held >= 0) point(total, held);
        if (!points.empty())
            svg.add("<polyline fill='none' stroke='" + std::string(colour) + "' stroke-width='1.5' points='" + points + "'/>");
    };
    trend("heartRate", "#d62728");
    trend("respRate", "#1f77b4");
    svg.add("<text x='" + fmt(kLeft + 6) + "' y='" + fmt(tTop + 14) +
            "'>heart rate (red, /min) and respiration rate (blue, /min) over " + fmt(total) + " s</text>");
    svg.add("</svg>");

    const std::string path = args.text("svg", out + ".svg");
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f) throw records::RecordError(path + ": cannot write");
    std::fputs(svg.body.c_str(), f);
    std::fclose(f);
    std::printf("%s\n", path.c_str());
    return 0;
}

}  // namespace tessivar::cli
