// tessivar eval RECORD...: beat-by-beat comparison of detected beats
// (RECORD.<test>, default "qrs", or DIR/<name>.<test> with --test-dir DIR)
// against reference beats (RECORD.<ref>, default "atr"), both at the
// record's sampling rate; one line per record and the gross totals.
#include <cstdio>
#include <string>
#include <vector>

#include "args.hpp"
#include "beat_table.hpp"
#include "commands.hpp"
#include "records/beat_compare.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {

int commandEval(int argc, char **argv, int first)
{
    const Args args(argc, argv, first, {"ref", "test", "test-dir", "window-ms", "learning-s"}, {});
    if (args.positional().empty()) throw UsageError("eval needs at least one record");
    const std::string ref = args.text("ref", "atr"), test = args.text("test", "qrs");
    records::CompareOptions options;
    options.windowMs = args.number("window-ms", 150.0);
    options.learningS = args.number("learning-s", 300.0);
    if (options.windowMs <= 0 || options.learningS < 0) throw UsageError("window must be positive, learning not negative");
    printBeatHeader();
    records::BeatCounts gross;
    for (const std::string &record : args.positional()) {
        options.fs = records::readHeader(record).fs;
        const std::string name = recordName(record);
        const std::string detected = args.has("test-dir") ? args.text("test-dir", ".") + "/" + name : record;
        const records::BeatCounts c =
            compareBeats(beatTimes(record + "." + ref), beatTimes(detected + "." + test), options);
        printBeatRow(name.c_str(), c);
        gross += c;
    }
    printBeatRow("gross", gross);
    return 0;
}

}  // namespace tessivar::cli
