// Shared pieces of the front-end tests: a host that records its callbacks, a default configuration
// (1000 counts per mV: counts are microvolts), frame builders and a fixture that stops the library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <functional>
#include <string>
#include <vector>

#include "preprocess/ecg_preprocess.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/ecg_preprocess.h"

namespace tessivar::test {

// Everything the host's callbacks saw, in order, as "name:args" texts.
struct HostRecord {
    std::vector<std::string> events;
    std::vector<const char *> qualityPointers;

    static HostRecord &get() { static HostRecord record; return record; }
    static void add(const std::string &e) { get().events.push_back(e); }
    int count(const std::string &e) const { return int(std::count(events.begin(), events.end(), e)); }
    static void onFilterSetting(const char *b, const char *l, const char *e) { add(std::string("filter:") + b + "," + l + "," + e); }
    static void onHrLead(const char *lead) { add(std::string("hrLead:") + lead); }
    static void onHeartBeat() { add("beat"); }
    static void onHeartRate(int rate) { add("hr:" + std::to_string(rate)); }
    static void onRespRate(int rate) { add("resp:" + std::to_string(rate)); }
    static void onQuality(const char *q) { get().qualityPointers.push_back(q), add(std::string("quality:") + q); }
    static void onStatus(const char *key, const char *value) { add(std::string("status:") + key + "=" + value); }
};

inline PreprocessConf defaultConf(const char *wire = "12", const char *data = "SLR", int fs = 1000)
{
    PreprocessConf c{};
    c.fs = fs, c.lsbMv = 1000, c.wireType = wire, c.dataType = data, c.hrLead = c.respLead = "II";
    c.printFunc = LogCapture::hook, c.onFilterSetting = HostRecord::onFilterSetting, c.onHrLead = HostRecord::onHrLead;
    c.onHeartBeat = HostRecord::onHeartBeat, c.onHeartRate = HostRecord::onHeartRate, c.onRespRate = HostRecord::onRespRate;
    c.onQuality = HostRecord::onQuality, c.onStatus = HostRecord::onStatus;
    return c;
}

// A host with no callbacks and a print hook that drops every line.
inline PreprocessConf silentConf(const char *wire = "12", const char *data = "SLR", int fs = 1000)
{
    PreprocessConf c = defaultConf(wire, data, fs);
    c.printFunc = [](const char *) {};
    c.onFilterSetting = nullptr, c.onHrLead = nullptr, c.onStatus = nullptr, c.onQuality = nullptr;
    c.onHeartBeat = nullptr, c.onHeartRate = c.onRespRate = nullptr;
    return c;
}

inline EcgPreprocessState &state() { return monitor().g_ecgPreprocess; }

// n input frames of the current geometry; gen(k, frame) fills frame k.
inline std::vector<int> frames(int n, const std::function<void(int, int *)> &gen)
{
    const size_t size = size_t(getCurInFrame());
    std::vector<int> in(size_t(n) * size, 0);
    for (int k = 0; k < n; ++k) gen(k, &in[size_t(k) * size]);
    return in;
}

// n frames that all start with the given words (the rest 0).
inline std::vector<int> frames(int n, std::initializer_list<int> words)
{
    return frames(n, [&](int, int *f) { std::copy(words.begin(), words.end(), f); });
}

// Lead I alone: frames of (status 0, x) for a one-channel layout.
inline std::vector<int> oneLeadFrames(const std::vector<double> &x)
{
    std::vector<int> in;
    for (double v : x) in.insert(in.end(), {0, int(std::lround(v))});
    return in;
}

// Word w of output frame k.
inline int word(const std::vector<int> &out, int k, int w) { return out[size_t(k) * size_t(getCurOutFrame()) + size_t(w)]; }

// Names of lead record i's display filters, "-" for an empty slot.
inline std::string chain(int i = 0)
{
    const SingleLeadBuff &r = state().leadBuffs[i];
    std::string s;
    for (int k = 0; k < kChainSlots; ++k) s += std::string(k > 0 ? " | " : "") + (r.dispFilter[k] ? r.dispFilter[k]->name : "-");
    return s;
}

// The host's view of the filter choice.
inline std::string setting()
{
    char b[8], l[8], e[8];
    return getCurFilterSetting(b, l, e) == 0 ? std::string(b) + "," + l + "," + e : "";
}

// Fixture: a log capture for the whole test, the host record cleared, the
// dead band 0, and the library stopped and its test knobs put back after.
class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override { HostRecord::get() = HostRecord{}, setSubUv(0); }
    void TearDown() override
    {
        ecgPreprocessDenit();
        setSubUv(3);
        monitor().allocate = std::calloc;
    }

    int start(const PreprocessConf &conf) { return ecgPreprocessInit(&conf); }
    void clearEvents() { HostRecord::get().events.clear(); }
    const std::vector<std::string> &events() const { return HostRecord::get().events; }

    // Runs whole input frames and returns the output frames; words never
    // written keep kUnwritten, and the guard words behind the last frame
    // must stay untouched.
    static constexpr int kUnwritten = 0x7eadbeef;
    std::vector<int> run(const std::vector<int> &in, int *rc = nullptr)
    {
        const int inSize = getCurInFrame();
        const int n = inSize > 0 ? int(in.size()) / inSize : 0;
        std::vector<int> out(size_t(n) * size_t(getCurOutFrame()) + 4, kUnwritten);
        const int r = ecgPreprocessDoPreprocess(n, in.data(), out.data());
        if (rc != nullptr) *rc = r;
        for (size_t k = out.size() - 4; k < out.size(); ++k) EXPECT_EQ(out[k], kUnwritten);
        out.resize(out.size() - 4);
        return out;
    }

    LogCapture log;
};

}  // namespace tessivar::test
