// tessivar run RECORD: drives the front end with a recording, as a monitor
// host would, and writes what it makes of it:
//   OUT_out.hea/.dat  the output frames (every output lead in uV,
//                  respiration, status), format 16 at the run rate
//   OUT.qrs        the detected beats, at the record's own rate
//   OUT.jsonl      every callback as one JSON line, with its frame
//   OUT.log        the library's log lines
// With --data-path DIR the modules also dump their configurations and
// sample streams under DIR (see module_dump.hpp).
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <tessivar/tessivar.h>

#include "args.hpp"
#include "commands.hpp"
#include "module_dump.hpp"
#include "records/beat_compare.hpp"
#include "records/events.hpp"
#include "records/frames.hpp"
#include "records/wfdb.hpp"

namespace tessivar::cli {
namespace {

// What the callbacks see, reached from the C callbacks (which carry no
// context) through the one running session.
struct Session {
    std::FILE *events = nullptr;
    std::FILE *log = nullptr;
    int errorLines = 0;  // error-level log lines so far
    int64_t frame = 0;  // input frame being processed
    int fs = 1000;
    std::vector<records::ReportedBeat> beats;  // in the order reported
    int lastHr = -1, lastResp = -1;
    std::string lastQuality;
};
Session *g_session = nullptr;

void jsonString(std::FILE *f, const char *text)
{
    std::fputc('"', f);
    for (const char *p = text ? text : ""; *p; ++p) {
        const unsigned char c = (unsigned char)*p;
        if (c == '"' || c == '\\')
            std::fprintf(f, "\\%c", c);
        else if (c < 0x20)
            std::fprintf(f, "\\u%04x", c);
        else
            std::fputc(c, f);
    }
    std::fputc('"', f);
}

void eventHead(const char *kind)
{
    std::fprintf(g_session->events, "{\"frame\":%lld,\"t\":%.3f,\"event\":\"%s\"", (long long)g_session->frame,
                 double(g_session->frame) / g_session->fs, kind);
}

void onPrint(const char *line)
{
    if (g_session == nullptr) return;
    if (std::strstr(line, "[E]{") != nullptr) ++g_session->errorLines;
    if (g_session->log) std::fputs(line, g_session->log);
}
void onFilterSetting(const char *base, const char *line, const char *emg)
{
    eventHead("filter");
    std::fputs(",\"base\":", g_session->events);
    jsonString(g_session->events, base);
    std::fputs(",\"line\":", g_session->events);
    jsonString(g_session->events, line);
    std::fputs(",\"emg\":", g_session->events);
    jsonString(g_session->events, emg);
    std::fputs("}\n", g_session->events);
}
void onHrLead(const char *lead)
{
    eventHead("hrLead");
    std::fputs(",\"lead\":", g_session->events);
    jsonString(g_session->events, lead);
    std::fputs("}\n", g_session->events);
}
// Beats come with their place through the beat events; the plain callback
// only says that one happened, and is left unset.
void onBeatEvent(const EcgBeatEvent *beat, void *user)
{
    Session &s = *static_cast<Session *>(user);
    s.beats.push_back(records::ReportedBeat{beat->frame});
    std::fprintf(s.events,
                 "{\"frame\":%lld,\"t\":%.3f,\"event\":\"beat\",\"at\":%lld,\"atT\":%.3f,\"lead\":\"%s\","
                 "\"method\":%d,\"latencyMs\":%.1f}\n",
                 (long long)beat->reportFrame, double(beat->reportFrame) / s.fs, (long long)beat->frame,
                 double(beat->frame) / s.fs, beat->lead >= 0 && beat->lead < 18 ? records::kLeadNames[size_t(beat->lead)] : "?",
                 beat->method, 1000.0 * double(beat->reportFrame - beat->frame) / s.fs);
}
void onHeartRate(int rate)
{
    g_session->lastHr = rate;
    eventHead("heartRate");
    std::fprintf(g_session->events, ",\"rate\":%d}\n", rate);
}
void onRespRate(int rate)
{
    g_session->lastResp = rate;
    eventHead("respRate");
    std::fprintf(g_session->events, ",\"rate\":%d}\n", rate);
}
void onQuality(const char *text)
{
    g_session->lastQuality = text ? text : "";
    eventHead("quality");
    std::fputs(",\"text\":", g_session->events);
    jsonString(g_session->events, text);
    std::fputs("}\n", g_session->events);
}
void onStatus(const char *key, const char *value)
{
    eventHead("status");
    std::fputs(",\"key\":", g_session->events);
    jsonString(g_session->events, key);
    std::fputs(",\"value\":", g_session->events);
    jsonString(g_session->events, value);
    std::fputs("}\n", g_session->events);
}

// "a=b,c=d" into a map.
std::map<std::string, std::string> pairs(const std::string &text, const char *option)
{
    std::map<std::string, std::string> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
            throw UsageError(std::string("--") + option + " takes LEAD=SIGNAL pairs, not '" + item + "'");
        out[item.substr(0, eq)] = item.substr(eq + 1);
    }
    return out;
}

std::vector<std::string> split3(const std::string &text)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) parts.push_back(item);
    if (parts.size() != 3) throw UsageError("--filter takes three names BASE,LINE,EMG, e.g. 0.67,50,40");
    return parts;
}

void check(int rc, const char *what)
{
    if (rc < 0) throw UsageError(std::string(what) + " was refused by the library");
}

std::string baseName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(".hea");
    return dot != std::string::npos && dot + 4 == name.size() ? name.substr(0, dot) : name;
}

void progress(int64_t done, int64_t total)
{
    const int width = 40;
    const int filled = total ? int(width * done / total) : width;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled, "",
                 total ? int(100 * done / total) : 100);
    std::fflush(stderr);
}

// The heart-rate lead (microvolts, int16), status words and respiration of
// the input frames, handed to the modules' debug dumps.
void dumpToDataPath(const std::string &dir, const std::vector<int32_t> &frames, const records::FrameLayout &layout,
                    const std::string &hrLead, int lsbMv, int fs, int qrsMethod)
{
    const size_t words = 1 + layout.channelLead.size() + (layout.respSignal >= 0 ? 1 : 0);
    size_t channel = 0;
    for (size_t c = 0; c < layout.channelLead.size(); ++c)
        if (records::kLeadNames[size_t(layout.channelLead[c])] == hrLead) channel = c;
    std::vector<int16_t> lead;
    std::vector<int32_t> status, resp;
    for (size_t f = 0; f + words <= frames.size(); f += words) {
        status.push_back(frames[f]);
        const int64_t uv = int64_t(frames[f + 1 + channel]) * 1000 / lsbMv;
        lead.push_back(int16_t(std::clamp<int64_t>(uv, INT16_MIN, INT16_MAX)));
        if (layout.respSignal >= 0) resp.push_back(frames[f + words - 1]);
    }
    const int failed = dumpModules(dir, lead, status, resp, fs, qrsMethod);
    std::printf("  module dumps in %s%s\n", dir.c_str(), failed ? " (some could not be written, see the log)" : "");
}

}  // namespace

int commandRun(int argc, char **argv, int first)
{
    const Args args(argc, argv, first,
                    {"out-dir", "fs", "lsb", "pace-filter", "pace-inhib", "pace-remove-ms", "hr-lead", "resp-lead",
                     "qrs-method", "qrs-mode", "filter", "filter-mode", "fuzz", "noise-threshold", "suffocation",
                     "leads", "resp", "resp-scale", "seconds", "cfg", "tail-ms", "block", "sub-uv",
                     "data-path"},
                    {"quiet", "safe"});
    if (args.positional().size() != 1) throw UsageError("run needs one record");
    const std::string recordPath = args.positional()[0];
    const records::Record record = records::readRecord(recordPath);
    const int fs = int(args.integer("fs", 1000));
    if (fs != 1000 && fs != 2000) throw UsageError("--fs must be 1000 or 2000");
    constexpr long kIntMax = std::numeric_limits<int>::max();
    const int lsbMv = int(args.integer("lsb", 1000, 1, kIntMax));
    // Every option is checked before the record is converted: a value out
    // of range is a usage error naming the option, never a silent default.
    const int paceFilter = int(args.integer("pace-filter", 0, 0, 1));
    const int paceInhib = int(args.integer("pace-inhib", 1, 0, 1));
    const int paceRemoveMs = int(args.integer("pace-remove-ms", 10, 1, 99));
    const int qrsMethod = int(args.integer("qrs-method", 0, 0, 3));
    const int fuzz = int(args.integer("fuzz", 0, 0, 1));
    const int noiseThreshold = int(args.integer("noise-threshold", 60, 0, 100));
    const int suffocation = int(args.integer("suffocation", 0, 0, kIntMax));
    const int subUv = int(args.integer("sub-uv", 3, 0, kIntMax));
    const int block = int(args.integer("block", 1, 1, 1000000));
    const double tailMs = args.number("tail-ms", 4000.0, 0.0, 600000.0);
    const double respScale = args.number("resp-scale", 1000.0, -1e6, 1e6);
    // A week of frames at most: seconds * fs stays far inside 64 bits.
    const double seconds = args.number("seconds", -1.0, 0.001, 7 * 24 * 3600.0);
    const records::FrameLayout layout =
        records::chooseLayout(record, args.has("leads") ? pairs(args.text("leads", ""), "leads")
                                                         : std::map<std::string, std::string>{},
                              args.text("resp", ""));
    const std::vector<int32_t> frames =
        records::buildFrames(record, layout, fs, lsbMv, respScale, seconds < 0 ? -1 : int64_t(seconds * fs));
    if (frames.empty()) throw records::RecordError(record.header.name + ": no frame at " + std::to_string(fs) + " Hz");
    const std::string outDir = args.text("out-dir", ".");
    std::error_code dirError;
    std::filesystem::create_directories(outDir, dirError);
    if (dirError) throw records::RecordError("--out-dir " + outDir + ": " + dirError.message());
    const std::string out = outDir + "/" + baseName(recordPath);

    const std::string hrLead = args.text("hr-lead", layout.signalOf.count(1) ? "II" : records::kLeadNames[layout.signalOf.begin()->first]);
    if (hrLead != "auto" && !records::carriesLead(layout, records::leadId(hrLead)))
        throw UsageError("--hr-lead " + hrLead + ": " + record.header.name + " does not carry that lead (it has " +
                         records::carriedLeads(layout) + "; or use auto)");
    Session session;
    session.fs = fs;
    session.events = std::fopen((out + ".jsonl").c_str(), "w");
    session.log = std::fopen((out + ".log").c_str(), "w");
    if (!session.events || !session.log) throw records::RecordError(out + ".jsonl: cannot write in " + outDir);
    g_session = &session;

    const std::string wire = layout.wireType, data = layout.dataType;
    const std::string respLead = args.text("resp-lead", "II");
    const std::string cfg = args.text("cfg", "");
    PreprocessConf conf{};
    conf.fs = fs;
    conf.lsbMv = lsbMv;
    conf.paceFilter = paceFilter;
    conf.paceInhib = paceInhib;
    conf.paceRemoveMs = paceRemoveMs;
    conf.wireType = wire.c_str();
    conf.dataType = data.c_str();
    conf.hrLead = hrLead.c_str();
    conf.respLead = respLead.c_str();
    conf.debugCfgFile = cfg.empty() ? nullptr : cfg.c_str();
    conf.printFunc = onPrint;
    conf.onFilterSetting = onFilterSetting;
    conf.onHrLead = onHrLead;
    conf.onHeartBeat = nullptr;
    conf.onHeartRate = onHeartRate;
    conf.onRespRate = onRespRate;
    conf.onQuality = onQuality;
    conf.onStatus = onStatus;
    conf.qrsMethod = qrsMethod;

    // The log prints its first lines before it takes the print hook; they go
    // to the log file with the rest.
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    dup2(fileno(session.log), STDOUT_FILENO);
    // The safety profile is chosen before Init so that it shapes the first
    // filter selection.
    ecgPreprocessSetSafeMode(args.has("safe") ? 1 : 0);
    const int initRc = ecgPreprocessInit(&conf);
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
    // Init takes the leads without a word about a refused name: each is
    // checked (or set again) so that a refusal stops the run.
    const auto refused = [&](int rc, const char *what) {
        if (rc < 0) {
            ecgPreprocessDenit();
            g_session = nullptr;
            check(rc, what);
        }
    };
    check(initRc, "the configuration");
    // A heart-rate lead Init does not know falls back to II; setting it again
    // would report the lead and a rate of -1 a second time.
    refused(hrLead == "auto" || hrLead == getCurHrLead() ? 0 : -1, "--hr-lead");
    refused(ecgPreprocessSetRespLead(respLead.c_str()), "--resp-lead");
    refused(ecgPreprocessSetPaceRemoveMs(paceRemoveMs), "--pace-remove-ms");
    refused(ecgPreprocessSetBeatEventCallback(onBeatEvent, &session), "the beat-event registration");
    const std::vector<std::string> filter = split3(args.text("filter", "0.67,50,40"));
    // A filter name the library does not know keeps the slot as it was and
    // says so at error level only: that counts as a refusal here.
    const int errorsBefore = session.errorLines;
    ecgPreprocessSetFilter(filter[0].c_str(), filter[1].c_str(), filter[2].c_str());
    refused(session.errorLines > errorsBefore ? -1 : 0, "--filter");
    refused(ecgPreprocessSetFilterMode(args.text("filter-mode", "normal").c_str()), "--filter-mode");
    refused(ecgPreprocessSetQrsMode(args.text("qrs-mode", "adult").c_str()), "--qrs-mode");
    refused(ecgPreprocessSetFuzzFilter(fuzz), "--fuzz");
    if (args.has("noise-threshold"))
        refused(ecgPreprocessSetNoiseThreshold(static_cast<signed char>(noiseThreshold)), "--noise-threshold");
    if (args.has("suffocation")) refused(ecgPreprocessSetRespSuffocationThr(suffocation), "--suffocation");
    if (args.has("sub-uv")) refused(setSubUv(subUv), "--sub-uv");

    const int inWords = getCurInFrame(), outWords = getCurOutFrame();
    const int64_t count = int64_t(frames.size()) / inWords;
    std::vector<int32_t> output(size_t(count) * size_t(outWords), 0);
    // Small blocks keep the callback's frame number close to the frame that
    // raised it; --block 1 makes it exact.
    const bool showProgress = !args.has("quiet") && isatty(STDERR_FILENO);
    for (int64_t f = 0; f < count; f += block) {
        const int n = int(std::min<int64_t>(block, count - f));
        session.frame = f;
        ecgPreprocessDoPreprocess(n, frames.data() + f * inWords, output.data() + f * outWords);
        if (showProgress && (f / block) % 20000 == 0) progress(f, count);
    }
    // Beats are reported some time after they happen (the analysis path,
    // the calculator's look-behind, the detector's confirmation): hold the
    // last frame a while so the beats of the record's end come out too
    // (their output frames are not kept).
    if (count > 0) {
        std::vector<int32_t> scratch(static_cast<size_t>(outWords));
        const int32_t *last = frames.data() + (count - 1) * inWords;
        const int64_t tail = int64_t(tailMs * fs / 1000.0);
        for (int64_t f = count; f < count + tail; ++f) {
            session.frame = f;
            ecgPreprocessDoPreprocess(1, last, scratch.data());
        }
    }
    if (showProgress) {
        progress(count, count);
        std::fputc('\n', stderr);
    }
    const int totalDelay = getCurTotalDelay();
    const int finalHr = getCurHeartRate(), finalResp = getCurRespRate();
    session.frame = count;
    eventHead("end");
    std::fprintf(session.events, ",\"totalDelay\":%d,\"heartRate\":%d,\"respRate\":%d}\n", totalDelay, finalHr,
                 finalResp);
    ecgPreprocessDenit();
    g_session = nullptr;
    std::fclose(session.events);
    std::fclose(session.log);

    // Output frames as a record: every output lead, respiration, status.
    records::Record result;
    result.header.name = baseName(recordPath) + "_out";
    result.header.fs = fs;
    const int leads = outWords - 1 - (data.find('R') != std::string::npos ? 1 : 0);
    std::vector<std::string> names;
    for (int l = 0; l < leads; ++l) {
        // Output word 1 + id for I .. aVF, then the chest leads of the input.
        const int id = l < 6 ? l : layout.channelLead[size_t(l - 6 + (data.find('T') != std::string::npos ? 3 : 2))];
        names.push_back(records::kLeadNames[size_t(id)]);
    }
    if (data.find('R') != std::string::npos) names.push_back("RESP");
    names.push_back("STATUS");
    names.push_back("STATUS_HI");
    for (const std::string &n : names) {
        records::SignalInfo s;
        s.gain = n == "RESP" || n.rfind("STATUS", 0) == 0 ? 1.0 : 1000.0;
        s.units = n == "RESP" ? "raw" : n.rfind("STATUS", 0) == 0 ? "bits" : "mV";
        s.description = n;
        result.header.signals.push_back(s);
    }
    result.samples.assign(names.size(), std::vector<int32_t>(size_t(count)));
    auto clamp16 = [](int32_t v) { return std::clamp<int32_t>(v, INT16_MIN, INT16_MAX); };
    for (int64_t f = 0; f < count; ++f) {
        const int32_t *frame = &output[size_t(f) * size_t(outWords)];
        for (int w = 1; w < outWords; ++w) result.samples[size_t(w - 1)][size_t(f)] = clamp16(frame[w]);
        result.samples[names.size() - 2][size_t(f)] = int16_t(uint16_t(frame[0] & 0xffff));
        result.samples[names.size() - 1][size_t(f)] = int16_t(uint16_t((uint32_t(frame[0]) >> 16) & 0xffff));
    }
    records::writeRecord(out + "_out", result);

    // Beats at their exact frames, at the record's own rate.
    std::vector<records::Annotation> beats;
    for (int64_t f : records::beatTrain(session.beats, int64_t(records::kReplayMergeMs * fs / 1000))) {
        if (f < 0 || f >= count) continue;
        records::Annotation a;
        a.time = int64_t(std::llround(double(f) * record.header.fs / fs));
        beats.push_back(a);
    }
    records::writeAnnotations(out + ".qrs", beats);

    std::printf("%s: %lld frames (%.1f s) at %d Hz, wire %s, format %s, %zu leads mapped%s\n", out.c_str(),
                (long long)count, double(count) / fs, fs, wire.c_str(), data.c_str(), layout.signalOf.size(),
                layout.respSignal >= 0 ? " + respiration" : "");
    std::printf("  beats detected %zu, heart rate %d, respiration rate %d, display delay %d samples\n",
                beats.size(), finalHr, finalResp, totalDelay);
    if (!session.lastQuality.empty())
        std::printf("  last quality %s\n", records::oneLine(session.lastQuality).c_str());
    if (args.has("data-path")) dumpToDataPath(args.text("data-path", "."), frames, layout, hrLead, lsbMv, fs, qrsMethod);
    return 0;
}

}  // namespace tessivar::cli
