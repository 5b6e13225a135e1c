// tessivar demo [DIR]: the whole tool in one go — simulates two minutes of
// a 12-lead patient with respiration and pace pulses, runs it through the
// front end, compares the detected beats and rates with the truth, and
// draws a strip chart. Writes everything into DIR (default "demo").
#include <sys/stat.h>

#include <cmath>
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

int call(int (*command)(int, char **, int), std::vector<std::string> words)
{
    std::vector<char *> argv;
    for (std::string &w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return command(int(words.size()), argv.data(), 0);
}

}  // namespace

int commandDemo(int argc, char **argv, int first)
{
    const Args args(argc, argv, first, {"hr", "resp", "seconds", "fs"}, {});
    const std::string dir = args.positional().empty() ? "demo" : args.positional()[0];
    mkdir(dir.c_str(), 0755);
    const std::string record = dir + "/patient";
    const std::string hr = std::to_string(args.number("hr", 75)), resp = std::to_string(args.number("resp", 18));
    const std::string seconds = std::to_string(args.number("seconds", 120)), fs = std::to_string(args.integer("fs", 1000));

    std::printf("== simulate\n");
    call(commandSimulate, {record, "--seconds", seconds, "--fs", fs, "--hr", hr, "--resp", resp, "--pace", "--wander",
                           "--emg", "20", "--mains", "150"});
    std::printf("== run\n");
    call(commandRun, {record, "--out-dir", dir, "--fs", fs, "--filter", "0.67,50,40", "--pace-filter", "1",
                      "--quiet"});
    std::printf("== plot\n");
    call(commandPlot, {record, "--out-dir", dir, "--leads", "II,V1,V5", "--from", "30", "--seconds", "8"});

    // Summary: beats and rates against the truth, after 15 s of learning.
    const records::Header header = records::readHeader(record);
    std::vector<int64_t> truth, detected;
    for (const auto &a : records::readAnnotations(record + ".atr")) truth.push_back(a.time);
    for (const auto &a : records::readAnnotations(record + ".qrs")) detected.push_back(a.time);
    records::CompareOptions options;
    options.fs = header.fs;
    options.learningS = 15.0;
    const records::BeatCounts c = compareBeats(truth, detected, options);
    double totalDelay = 0, lastHr = -1, lastResp = -1;
    std::string quality = "(none)";
    for (const auto &e : records::readEvents(record + ".jsonl")) {
        if (e.kind == "end") totalDelay = e.value;
        if (e.kind == "heartRate") lastHr = e.value;
        if (e.kind == "respRate") lastResp = e.value;
        if (e.kind == "quality") quality = records::oneLine(e.text);
    }
    const double trueHr = truth.size() > 1 ? 60.0 * double(truth.size() - 1) * header.fs /
                                                 double(truth.back() - truth.front())
                                           : 0.0;
    std::printf("== summary\n");
    std::printf("  heart rate     true %.0f /min, reported %.0f /min\n", trueHr, lastHr);
    std::printf("  beats          true %zu, detected %zu; after learning Se %.1f %%, +P %.1f %% (TP %lld FN %lld FP %lld)\n",
                truth.size(), detected.size(), 100 * c.sensitivity(), 100 * c.positivePredictivity(), (long long)c.tp,
                (long long)c.fn, (long long)c.fp);
    std::printf("  respiration    true %s /min, reported %.0f /min\n", resp.substr(0, resp.find('.')).c_str(), lastResp);
    std::printf("  quality        %s\n", quality.c_str());
    std::printf("  display delay  %.0f samples (%.0f ms)\n", totalDelay, totalDelay * 1000.0 / header.fs);
    std::printf("  outputs        %s/patient_out.hea (filtered frames), %s/patient.jsonl (events), %s/patient.svg (chart)\n",
                dir.c_str(), dir.c_str(), dir.c_str());
    return 0;
}

}  // namespace tessivar::cli
