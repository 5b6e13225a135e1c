// tessivar eval RECORD...: beat-by-beat comparison of detected beats
// (RECORD.<test>, default "qrs", or DIR/<name>.<test> with --test-dir DIR)
// against reference beats (RECORD.<ref>, default "atr"), both at the
// record's sampling rate; one line per record and the gross totals.
#include <cstdio>
#include <string>
#include <vector>

#include "args.hpp"
#include "commands.hpp"
#include "records/beat_compare.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {
namespace {

std::vector<int64_t> beatTimes(const std::string &path)
{
    std::vector<int64_t> out;
    for (const records::Annotation &a : records::readAnnotations(path))
        if (records::isBeat(a.code)) out.push_back(a.time);
    return out;
}

void printRow(const char *name, const records::BeatCounts &c)
{
    std::printf("%-12s %7lld %6lld %6lld %8.2f %8.2f\n", name, (long long)c.tp, (long long)c.fn, (long long)c.fp,
                100.0 * c.sensitivity(), 100.0 * c.positivePredictivity());
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
    std::printf("%-12s %7s %6s %6s %8s %8s\n", "record", "TP", "FN", "FP", "Se %", "+P %");
    records::BeatCounts gross;
    for (const std::string &record : args.positional()) {
        options.fs = records::readHeader(record).fs;
        const size_t slash = record.find_last_of('/');
        const std::string name = record.substr(slash == std::string::npos ? 0 : slash + 1);
        const std::string detected = args.has("test-dir") ? args.text("test-dir", ".") + "/" + name : record;
        const records::BeatCounts c =
            compareBeats(beatTimes(record + "." + ref), beatTimes(detected + "." + test), options);
        printRow(name.c_str(), c);
        gross += c;
    }
    printRow("gross", gross);
    return 0;
}

}  // namespace tessivar::cli
