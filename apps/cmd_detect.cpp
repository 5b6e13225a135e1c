// tessivar detect RECORD...: one beat detector alone over one lead of each
// record, compared beat by beat with the reference annotations. The lead
// (MLII unless --lead names another description, else the first signal) is
// converted to microvolts (int16) and, with --fs, resampled; the detector is
// fed sample by sample through realtimeDetectBeat (a beat at sample index
// minus the returned delay) or, with --offline, given the whole array by
// findRPeak. Beat times are mapped back to the record's rate for the
// comparison.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <tessivar/tessivar.h>

#include "args.hpp"
#include "beat_table.hpp"
#include "commands.hpp"
#include "records/beat_compare.hpp"
#include "records/resample.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {
namespace {

std::vector<int16_t> leadMicrovolts(const records::Record &record, int signal, double fs)
{
    std::vector<double> uv(record.samples[size_t(signal)].size());
    for (size_t t = 0; t < uv.size(); ++t) uv[t] = record.physical(signal, t) * 1000.0;
    if (fs != record.header.fs) uv = records::resample(uv, record.header.fs, fs);
    std::vector<int16_t> out(uv.size());
    for (size_t t = 0; t < uv.size(); ++t) out[t] = int16_t(std::clamp(std::lround(uv[t]), -32768L, 32767L));
    return out;
}

std::vector<int64_t> detectBeats(BeatDetect *detector, const std::vector<int16_t> &x, bool offline)
{
    std::vector<int64_t> beats;
    if (offline) {
        std::vector<int32_t> positions(x.size() / 20 + 16);
        const int32_t count = findRPeak(detector, x.data(), int32_t(x.size()), positions.data(),
                                        int32_t(positions.size()));
        for (int32_t k = 0; k < count; ++k) beats.push_back(positions[size_t(k)]);
    } else {
        initBeatDetect(detector);
        uint8_t noise = 0;
        for (size_t t = 0; t < x.size(); ++t) {
            const int32_t delay = realtimeDetectBeat(detector, x[t], &noise);
            if (delay > 0) beats.push_back(int64_t(t) - delay);
        }
    }
    std::sort(beats.begin(), beats.end());
    return beats;
}

}  // namespace

int commandDetect(int argc, char **argv, int first)
{
    const Args args(argc, argv, first, {"qrs-method", "fs", "lead", "ref", "window-ms", "learning-s", "write"},
                    {"offline"});
    if (args.positional().empty()) throw UsageError("detect needs at least one record");
    const int method = int(args.integer("qrs-method", 1));
    const bool offline = args.has("offline");
    records::CompareOptions options;
    options.windowMs = args.number("window-ms", 150.0);
    options.learningS = args.number("learning-s", 300.0);
    // Errors only, on the error stream: standard output carries the table.
    const LogConf log{nullptr, nullptr, LOG_LEVEL_ERROR, [](const char *line) { std::fputs(line, stderr); }};
    newLog(&log);
    printBeatHeader();
    records::BeatCounts gross;
    for (const std::string &path : args.positional()) {
        const records::Record record = records::readRecord(path);
        int signal = record.find(args.text("lead", "MLII"));
        if (signal < 0) signal = 0;
        const double fs = args.number("fs", record.header.fs);
        const std::string name = recordName(path);
        BeatDetectConf conf{name.c_str(), nullptr, int32_t(std::lround(fs)), 0, method, 0, 0};
        BeatDetect *detector = newBeatDetect(&conf);
        if (detector == nullptr) throw UsageError("no detector for this method and rate");
        std::vector<int64_t> beats = detectBeats(detector, leadMicrovolts(record, signal, fs), offline);
        delBeatDetect(&detector);
        for (int64_t &b : beats) b = std::llround(double(b) * record.header.fs / fs);
        if (args.has("write")) {
            std::vector<records::Annotation> out;
            for (int64_t b : beats) out.push_back(records::Annotation{b, 1, 0, 0, 0, ""});
            records::writeAnnotations(args.text("write", ".") + "/" + name + ".qrs", out);
        }
        // Counted as by `tessivar eval`: flutter and fibrillation episodes
        // are left out.
        std::vector<int64_t> reference, times;
        std::vector<int> codes;
        for (const records::Annotation &a : records::readAnnotations(path + "." + args.text("ref", "atr"))) {
            if (records::isBeat(a.code)) reference.push_back(a.time);
            codes.push_back(a.code);
            times.push_back(a.time);
        }
        options.excluded = records::flutterEpisodes(codes, times);
        options.fs = record.header.fs;
        const records::BeatCounts c = compareBeats(reference, beats, options);
        printBeatRow(name.c_str(), c);
        gross += c;
    }
    printBeatRow("gross", gross);
    delLog();
    return 0;
}

}  // namespace tessivar::cli
