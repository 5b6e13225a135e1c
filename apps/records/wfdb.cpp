#include "records/wfdb.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace tessivar::records {
namespace {

[[noreturn]] void fail(const std::string &file, const std::string &problem)
{
    throw RecordError(file + ": " + problem);
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string basePath(const std::string &path)
{
    const std::string ext = ".hea";
    if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
        return path.substr(0, path.size() - ext.size());
    return path;
}

// Whole-number field: the full text must be an integer.
bool parseInt(const std::string &text, long long &out)
{
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool parseDouble(const std::string &text, double &out)
{
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(out);
}

// "gain[(baseline)][/units]"
void parseGain(const std::string &file, const std::string &field, SignalInfo &s, bool &hasBaseline)
{
    std::string text = field;
    const size_t slash = text.find('/');
    if (slash != std::string::npos) {
        s.units = text.substr(slash + 1);
        text = text.substr(0, slash);
    }
    const size_t open = text.find('(');
    hasBaseline = open != std::string::npos;
    if (hasBaseline) {
        const size_t close = text.find(')', open);
        long long b = 0;
        if (close == std::string::npos || !parseInt(text.substr(open + 1, close - open - 1), b))
            fail(file, "bad baseline in gain field '" + field + "'");
        s.baseline = int(b);
        text = text.substr(0, open);
    }
    if (!parseDouble(text, s.gain) || s.gain < 0) fail(file, "bad gain field '" + field + "'");
    if (s.gain == 0) s.gain = 200.0;  // uncalibrated
}

SignalInfo parseSignalLine(const std::string &file, const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> f;
    std::string word;
    // The first eight fields are single words; the description is the rest.
    while (f.size() < 8 && in >> word) f.push_back(word);
    if (f.size() < 2) fail(file, "signal line without a format: '" + line + "'");
    SignalInfo s;
    s.file = f[0];
    // Signal files sit beside the header: a name that reaches elsewhere
    // ("../../dev/zero", "/etc/x") is refused before anything is opened.
    if (s.file.find_first_of("/\\") != std::string::npos || s.file == "." || s.file == ".." || s.file == "-")
        fail(file, "signal file '" + s.file + "' must be a plain file name beside the header");
    long long v = 0;
    // The format may carry a samples-per-frame, skew or offset suffix.
    const std::string format = f[1].substr(0, f[1].find_first_of("x:+"));
    if (!parseInt(format, v) || (v != 212 && v != 16))
        fail(file, "unsupported signal format '" + f[1] + "' (212 and 16 are read)");
    if (f[1].find_first_of("x:+") != std::string::npos)
        fail(file, "samples-per-frame, skew and offset are not supported: '" + f[1] + "'");
    s.format = int(v);
    bool hasBaseline = false;
    if (f.size() > 2) parseGain(file, f[2], s, hasBaseline);
    int *ints[] = {&s.adcResolution, &s.adcZero, &s.initValue, &s.checksum, &s.blockSize};
    for (size_t k = 3; k < f.size(); ++k) {
        if (!parseInt(f[k], v)) fail(file, "bad number '" + f[k] + "' in signal line");
        *ints[k - 3] = int(v);
    }
    if (!hasBaseline) s.baseline = s.adcZero;
    std::getline(in, s.description);
    const size_t first = s.description.find_first_not_of(" \t");
    s.description = first == std::string::npos ? std::string() : s.description.substr(first);
    while (!s.description.empty() && (s.description.back() == ',' || std::isspace((unsigned char)s.description.back())))
        s.description.pop_back();
    return s;
}

std::vector<uint8_t> readFile(const std::string &path)
{
    // Only regular files: a device or a pipe could be read until memory runs
    // out.
    std::error_code error;
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
        fail(path, "not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(path, std::string("cannot open: ") + std::strerror(errno));
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int32_t signExtend12(int v) { return (v & 0x800) ? v - 0x1000 : v; }

// Decodes the interleaved samples of one signal file (nsig signals).
std::vector<int32_t> decode(const std::string &path, int format, const std::vector<uint8_t> &bytes, int nsig,
                            int64_t frames)
{
    const int64_t count = frames * nsig;
    std::vector<int32_t> flat(size_t(std::max<int64_t>(count, 0)));
    if (format == 16) {
        if (int64_t(bytes.size()) < 2 * count)
            fail(path, "truncated: " + std::to_string(2 * count) + " bytes expected, " +
                           std::to_string(bytes.size()) + " found");
        for (int64_t k = 0; k < count; ++k) flat[k] = int16_t(bytes[2 * k] | (bytes[2 * k + 1] << 8));
    } else {
        const int64_t need = (count / 2) * 3 + (count % 2 ? 2 : 0);
        if (int64_t(bytes.size()) < need)
            fail(path, "truncated: " + std::to_string(need) + " bytes expected, " + std::to_string(bytes.size()) +
                           " found");
        for (int64_t k = 0; k < count; k += 2) {
            const uint8_t *b = &bytes[size_t(k / 2 * 3)];
            flat[k] = signExtend12(b[0] | ((b[1] & 0x0f) << 8));
            if (k + 1 < count) flat[k + 1] = signExtend12(b[2] | ((b[1] & 0xf0) << 4));
        }
    }
    return flat;
}

int64_t framesInFile(int format, size_t bytes, int nsig)
{
    return format == 16 ? int64_t(bytes / 2) / nsig : int64_t(bytes / 3 * 2 + (bytes % 3 >= 2 ? 1 : 0)) / nsig;
}

void putWord(std::string &out, unsigned word)
{
    out.push_back(char(word & 0xff));
    out.push_back(char((word >> 8) & 0xff));
}

}  // namespace

Header readHeader(const std::string &path)
{
    const std::string hea = basePath(path) + ".hea";
    std::ifstream in(hea);
    if (!in) fail(hea, std::string("cannot open: ") + std::strerror(errno));
    Header h;
    std::string line;
    bool haveRecordLine = false;
    long long nsig = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        if (!haveRecordLine) {
            std::istringstream words(line);
            std::string name, n, fs, samples;
            words >> name >> n >> fs >> samples;
            if (name.find('/') != std::string::npos) fail(hea, "multi-segment records are not supported");
            if (!parseInt(n, nsig) || nsig < 1 || nsig > 64)
                fail(hea, "record line needs a signal count from 1 to 64: '" + line + "'");
            h.name = name;
            if (!fs.empty()) {
                const std::string rate = fs.substr(0, fs.find_first_of("/("));
                if (!parseDouble(rate, h.fs) || h.fs <= 0) fail(hea, "bad sampling frequency '" + fs + "'");
            }
            long long ns = -1;
            if (!samples.empty() && (!parseInt(samples, ns) || ns < 0))
                fail(hea, "bad sample count '" + samples + "'");
            h.samples = ns;
            haveRecordLine = true;
            continue;
        }
        if (int64_t(h.signals.size()) < nsig) h.signals.push_back(parseSignalLine(hea, line));
    }
    if (!haveRecordLine) fail(hea, "no record line");
    if (int64_t(h.signals.size()) != nsig)
        fail(hea, std::to_string(nsig) + " signals announced, " + std::to_string(h.signals.size()) + " described");
    return h;
}

Record readRecord(const std::string &path)
{
    Record r;
    r.header = readHeader(path);
    const std::string folder = folderOf(basePath(path));
    r.samples.assign(r.header.signals.size(), {});
    // Signals that share a file are interleaved in it, in header order.
    std::vector<std::string> files;
    for (const auto &s : r.header.signals)
        if (std::find(files.begin(), files.end(), s.file) == files.end()) files.push_back(s.file);
    for (const std::string &file : files) {
        std::vector<int> members;
        for (size_t s = 0; s < r.header.signals.size(); ++s)
            if (r.header.signals[s].file == file) members.push_back(int(s));
        const int format = r.header.signals[members[0]].format;
        for (int s : members)
            if (r.header.signals[s].format != format) fail(folder + file, "signals of one file differ in format");
        const std::string full = folder + file;
        const std::vector<uint8_t> bytes = readFile(full);
        const int nsig = int(members.size());
        // The file's own length bounds the frames before anything is
        // allocated, whatever count the header claims.
        const int64_t inFile = framesInFile(format, bytes.size(), nsig);
        const int64_t frames = r.header.samples >= 0 ? r.header.samples : inFile;
        if (frames > inFile)
            fail(full, "truncated: " + std::to_string(frames) + " frames announced, " + std::to_string(inFile) +
                           " in the file");
        if (r.header.samples < 0) r.header.samples = frames;
        const std::vector<int32_t> flat = decode(full, format, bytes, nsig, frames);
        for (int m = 0; m < nsig; ++m) {
            auto &out = r.samples[members[m]];
            out.resize(size_t(frames));
            for (int64_t t = 0; t < frames; ++t) out[t] = flat[size_t(t * nsig + m)];
        }
    }
    return r;
}

int Record::find(const std::string &description) const
{
    for (size_t s = 0; s < header.signals.size(); ++s)
        if (header.signals[s].description == description) return int(s);
    return -1;
}

double Record::physical(int s, size_t t) const
{
    const SignalInfo &info = header.signals[s];
    return (samples[s][t] - info.baseline) / info.gain;
}

std::vector<Annotation> readAnnotations(const std::string &path)
{
    const std::vector<uint8_t> bytes = readFile(path);
    if (bytes.empty()) fail(path, "empty annotation file");
    if (bytes.size() % 2) fail(path, "odd length: not an MIT-format annotation file");
    std::vector<Annotation> out;
    int64_t time = 0;
    int chan = 0, num = 0;
    size_t at = 0;
    auto word = [&](const char *what) -> unsigned {
        if (at + 2 > bytes.size()) fail(path, std::string("truncated ") + what);
        const unsigned w = bytes[at] | (bytes[at + 1] << 8);
        at += 2;
        return w;
    };
    bool ended = false;
    while (at < bytes.size()) {
        const unsigned w = word("annotation");
        const int a = int(w >> 10), i = int(w & 0x3ff);
        if (a == 0 && i == 0) {
            ended = true;
            break;
        }
        if (a == 59) {  // SKIP: a 32-bit interval follows, high word first
            const unsigned hi = word("skip interval");
            const unsigned lo = word("skip interval");
            time += int32_t((hi << 16) | lo);
        } else if (a == 60 || a == 61 || a == 62) {
            if (out.empty()) fail(path, "modifier before the first annotation");
            if (a == 60) out.back().num = num = i;
            if (a == 61) out.back().subtype = i;
            if (a == 62) out.back().chan = chan = i;
        } else if (a == 63) {
            if (out.empty()) fail(path, "aux text before the first annotation");
            if (at + size_t(i) > bytes.size()) fail(path, "truncated aux text");
            std::string aux(bytes.begin() + long(at), bytes.begin() + long(at + i));
            const size_t nul = aux.find('\0');
            out.back().aux = nul == std::string::npos ? aux : aux.substr(0, nul);
            at += size_t(i + (i & 1));
        } else if (a >= 1 && a <= 49) {
            time += i;
            Annotation ann;
            ann.time = time;
            ann.code = a;
            ann.chan = chan;
            ann.num = num;
            out.push_back(ann);
        } else {
            fail(path, "unknown annotation code " + std::to_string(a) + " at byte " + std::to_string(at - 2));
        }
    }
    if (!ended) fail(path, "no end mark: truncated annotation file");
    return out;
}

void writeRecord(const std::string &base, const Record &record)
{
    const size_t nsig = record.samples.size();
    if (nsig == 0 || nsig != record.header.signals.size()) fail(base + ".hea", "signals and descriptions differ");
    const size_t frames = record.samples[0].size();
    for (const auto &s : record.samples)
        if (s.size() != frames) fail(base + ".dat", "signals of different lengths");
    const size_t slash = base.find_last_of('/');
    const std::string name = slash == std::string::npos ? base : base.substr(slash + 1);
    std::string data;
    data.reserve(frames * nsig * 2);
    std::vector<uint16_t> checksum(nsig, 0);  // 16-bit sum, wrapping
    for (size_t t = 0; t < frames; ++t) {
        for (size_t s = 0; s < nsig; ++s) {
            const int32_t v = record.samples[s][t];
            if (v < INT16_MIN || v > INT16_MAX)
                fail(base + ".dat", "sample " + std::to_string(v) + " of signal " + std::to_string(s) +
                                        " does not fit format 16");
            putWord(data, unsigned(uint16_t(int16_t(v))));
            checksum[s] = uint16_t(checksum[s] + uint16_t(int16_t(v)));
        }
    }
    std::ofstream dat(base + ".dat", std::ios::binary);
    if (!dat.write(data.data(), std::streamsize(data.size())))
        fail(base + ".dat", std::string("cannot write: ") + std::strerror(errno));
    std::ofstream hea(base + ".hea");
    char fs[32];
    std::snprintf(fs, sizeof fs, "%.12g", record.header.fs);
    hea << name << ' ' << nsig << ' ' << fs << ' ' << frames << '\n';
    for (size_t s = 0; s < nsig; ++s) {
        const SignalInfo &info = record.header.signals[s];
        char gain[48];
        std::snprintf(gain, sizeof gain, "%.12g", info.gain);
        hea << name << ".dat 16 " << gain << '(' << info.baseline << ")/" << info.units << " 16 0 "
            << (frames ? record.samples[s][0] : 0) << ' ' << int16_t(checksum[s]) << " 0 " << info.description
            << '\n';
    }
    if (!hea) fail(base + ".hea", std::string("cannot write: ") + std::strerror(errno));
}

void writeAnnotations(const std::string &path, std::vector<Annotation> annotations)
{
    std::stable_sort(annotations.begin(), annotations.end(),
                     [](const Annotation &a, const Annotation &b) { return a.time < b.time; });
    std::string out;
    int64_t time = 0;
    int chan = 0, num = 0;
    for (const Annotation &a : annotations) {
        if (a.code < 1 || a.code > 49) fail(path, "annotation code " + std::to_string(a.code) + " out of 1..49");
        if (a.time < 0) fail(path, "negative annotation time");
        int64_t delta = a.time - time;
        if (delta > 1023) {
            if (delta > std::numeric_limits<int32_t>::max()) fail(path, "annotation interval too long");
            putWord(out, 59u << 10);
            putWord(out, unsigned(delta >> 16) & 0xffff);
            putWord(out, unsigned(delta) & 0xffff);
            delta = 0;
        }
        putWord(out, unsigned(a.code) << 10 | unsigned(delta));
        time = a.time;
        if (a.subtype != 0) putWord(out, 61u << 10 | (unsigned(a.subtype) & 0x3ff));
        if (a.chan != chan) putWord(out, 62u << 10 | (unsigned(chan = a.chan) & 0x3ff));
        if (a.num != num) putWord(out, 60u << 10 | (unsigned(num = a.num) & 0x3ff));
        if (!a.aux.empty()) {
            const std::string aux = a.aux.substr(0, 255);
            putWord(out, 63u << 10 | unsigned(aux.size()));
            out += aux;
            if (aux.size() & 1) out.push_back('\0');
        }
    }
    putWord(out, 0);
    std::ofstream f(path, std::ios::binary);
    if (!f.write(out.data(), std::streamsize(out.size())))
        fail(path, std::string("cannot write: ") + std::strerror(errno));
}

bool isBeat(int code)
{
    switch (code) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13:
    case 34: case 35: case 38:
        return true;
    default:
        return false;
    }
}

}  // namespace tessivar::records
