// tessivar eval RECORD...: beat-by-beat comparison of detected beats
// (RECORD.<test>, default "qrs", or DIR/<name>.<test> with --test-dir DIR)
// against reference beats (RECORD.<ref>, default "atr"), both at the
// record's sampling rate; one line per record and the gross totals.
// Ventricular flutter and fibrillation episodes of the reference ('[' to
// ']') are left out of the count. When the run's event log (<name>.jsonl
// beside the detected beats) is there, the median and 95th percentile of
// the beats' report latency are shown too.
#include <fstream>
#include <cstdio>
#include <string>
#include <vector>

#include "args.hpp"
#include "commands.hpp"
#include "records/beat_compare.hpp"
#include "records/events.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {
namespace {

// Report latencies (ms) of the beat events of a run's event log, or nothing
// when there is no log.
std::vector<double> latencies(const std::string &eventLog)
{
    std::vector<double> out;
    if (!std::ifstream(eventLog)) return out;
    for (const records::Event &e : records::readEvents(eventLog))
        if (e.kind == "beat") out.push_back(e.value);
    return out;
}

void printRow(const char *name, const records::BeatCounts &c, const std::vector<double> &latency)
{
    std::printf("%-12s %7lld %6lld %6lld %8.2f %8.2f", name, (long long)c.tp, (long long)c.fn, (long long)c.fp,
                100.0 * c.sensitivity(), 100.0 * c.positivePredictivity());
    if (latency.empty()) {
        std::printf(" %9s %9s\n", "-", "-");
    } else {
        const records::Spread s = records::spreadOf(latency);
        std::printf(" %9.0f %9.0f\n", s.median, s.p95);
    }
}

}  // namespace

int commandEval(int argc, char **argv, int first)
{
    const Args args(argc, argv, first, {"ref", "test", "test-dir", "window-ms", "learning-s"}, {});
    if (args.positional().empty()) throw UsageError("eval needs at least one record");
    const std::string ref = args.text("ref", "atr"), test = args.text("test", "qrs");
    records::CompareOptions options;
    options.windowMs = args.number("window-ms", 150.0);
    options.learningS = args.number("learning-s", 300.0);
    if (options.windowMs <= 0 || options.learningS < 0) throw UsageError("window must be positive, learning not negative");
    std::printf("%-12s %7s %6s %6s %8s %8s %9s %9s\n", "record", "TP", "FN", "FP", "Se %", "+P %", "lat50 ms",
                "lat95 ms");
    records::BeatCounts gross;
    std::vector<double> allLatency;
    for (const std::string &record : args.positional()) {
        options.fs = records::readHeader(record).fs;
        const size_t slash = record.find_last_of('/');
        const std::string name = record.substr(slash == std::string::npos ? 0 : slash + 1);
        const std::string detected = args.has("test-dir") ? args.text("test-dir", ".") + "/" + name : record;

        std::vector<int64_t> reference, times;
        std::vector<int> codes;
        for (const records::Annotation &a : records::readAnnotations(record + "." + ref)) {
            if (records::isBeat(a.code)) reference.push_back(a.time);
            codes.push_back(a.code);
            times.push_back(a.time);
        }
        options.excluded = records::flutterEpisodes(codes, times);
        std::vector<int64_t> found;
        for (const records::Annotation &a : records::readAnnotations(detected + "." + test))
            if (records::isBeat(a.code)) found.push_back(a.time);

        const records::BeatCounts c = compareBeats(reference, found, options);
        const std::vector<double> latency = latencies(detected + ".jsonl");
        printRow(name.c_str(), c, latency);
        gross += c;
        allLatency.insert(allLatency.end(), latency.begin(), latency.end());
    }
    printRow("gross", gross, allLatency);
    return 0;
}

}  // namespace tessivar::cli
