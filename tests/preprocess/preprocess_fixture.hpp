// Shared pieces of the front-end tests: a host that records its callbacks, a
// default configuration (1000 counts per millivolt, so counts are
// microvolts), frame helpers and a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

    static HostRecord &get()
    {
        static HostRecord record;
        return record;
    }
    static void add(const std::string &e) { get().events.push_back(e); }
    int count(const std::string &e) const
    {
        int n = 0;
        for (const auto &x : events) n += x == e ? 1 : 0;
        return n;
    }

    static void onFilterSetting(const char *b, const char *l, const char *e)
    {
        add(std::string("filter:") + b + "," + l + "," + e);
    }
    static void onHrLead(const char *lead) { add(std::string("hrLead:") + lead); }
    static void onHeartBeat() { add("beat"); }
    static void onHeartRate(int rate) { add("hr:" + std::to_string(rate)); }
    static void onRespRate(int rate) { add("resp:" + std::to_string(rate)); }
    static void onQuality(const char *q)
    {
        get().qualityPointers.push_back(q);
        add(std::string("quality:") + q);
    }
    static void onStatus(const char *key, const char *value) { add(std::string("status:") + key + "=" + value); }
};

inline PreprocessConf defaultConf(const char *wire = "12", const char *data = "SLR", int fs = 1000)
{
    PreprocessConf c{};
    c.fs = fs;
    c.lsbMv = 1000;
    c.wireType = wire;
    c.dataType = data;
    c.hrLead = "II";
    c.respLead = "II";
    c.printFunc = LogCapture::hook;  // the test's log capture keeps the lines
    c.onFilterSetting = HostRecord::onFilterSetting;
    c.onHrLead = HostRecord::onHrLead;
    c.onHeartBeat = HostRecord::onHeartBeat;
    c.onHeartRate = HostRecord::onHeartRate;
    c.onRespRate = HostRecord::onRespRate;
    c.onQuality = HostRecord::onQuality;
    c.onStatus = HostRecord::onStatus;
    return c;
}

// The file's bytes (capture files are binary).
inline std::vector<char> readBytes(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Fixture: a log capture for the whole test, the host record cleared, and
// the library stopped and its test knobs put back afterwards.
class FrontEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        HostRecord::get() = HostRecord{};
        setSubUv(0);
    }
    void TearDown() override
    {
        ecgPreprocessDenit();
        setSubUv(3);
        monitor().allocate = std::calloc;
    }

    int start(const PreprocessConf &conf) { return ecgPreprocessInit(&conf); }

    // Runs frames (each getCurInFrame() words) and returns the output frames;
    // output words never written keep the value kUnwritten.
    static constexpr int kUnwritten = 0x7eadbeef;
    std::vector<int> run(const std::vector<int> &in, int *rc = nullptr)
    {
        const int inSize = getCurInFrame();
        const int frames = inSize > 0 ? int(in.size()) / inSize : 0;
        std::vector<int> out(size_t(frames) * size_t(getCurOutFrame()) + 4, kUnwritten);
        const int r = ecgPreprocessDoPreprocess(frames, in.data(), out.data());
        if (rc != nullptr) *rc = r;
        // The words behind the last frame stay untouched.
        for (size_t k = out.size() - 4; k < out.size(); ++k) EXPECT_EQ(out[k], kUnwritten);
        out.resize(out.size() - 4);
        return out;
    }

    LogCapture log;
};

}  // namespace tessivar::test
