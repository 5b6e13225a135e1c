// Respiration rate on BIDMC recordings through the whole front end, against
// the manual breath annotations: the comparison of docs/respiration.md
// (made there on `tessivar run` by tools/bidmc_resp_table.py) on the first
// three minutes of two records.
//
// Frames as `tessivar run` builds them (the record's "II" as lead II, 1000
// Hz, lsbMv 1000, the respiration word the normalised impedance times
// 1000). Per minute
// window [15 + 60 m, 75 + 60 m) s: reference 60 * (breaths - 1) / (first to
// last breath) per annotator; device the mean of the rates held at the
// window's seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "records/frames.hpp"
#include "records/wfdb.hpp"
#include "tessivar/ecg_preprocess.h"

namespace {

using namespace tessivar::records;

const std::string kBidmc = std::string(TESSIVAR_SHARED_DATA) + "/bidmc/";

// Rates held at the end of each second of the first `seconds`.
std::vector<int> heldRates(const Record &rec, double seconds)
{
    const FrameLayout layout = chooseLayout(rec, {}, "");
    std::vector<int32_t> frames = buildFrames(rec, layout, 1000, 1000, 1000.0, int64_t(seconds * 1000));
    const std::string wire = layout.wireType, data = layout.dataType;
    PreprocessConf conf{};
    conf.fs = 1000;
    conf.lsbMv = 1000;
    conf.wireType = wire.c_str();
    conf.dataType = data.c_str();
    conf.hrLead = "II";
    conf.respLead = "II";
    conf.printFunc = [](const char *) {};
    std::vector<int> held;
    if (ecgPreprocessInit(&conf) != 0) return held;
    const size_t in = size_t(getCurInFrame());
    std::vector<int> out(size_t(getCurOutFrame()) * 1000);
    for (size_t s = 0; (s + 1) * 1000 * in <= frames.size(); ++s) {
        ecgPreprocessDoPreprocess(1000, frames.data() + s * 1000 * in, out.data());
        held.push_back(getCurRespRate());
    }
    ecgPreprocessDenit();
    return held;
}

double breathRate(const std::vector<double> &breaths, double from, double to)
{
    std::vector<double> in;
    for (double b : breaths)
        if (b >= from && b < to) in.push_back(b);
    return in.size() < 2 ? 0.0 : 60.0 * double(in.size() - 1) / (in.back() - in.front());
}

TEST(RespRecords, FirstMinutesFollowTheAnnotators)
{
    if (std::FILE *f = std::fopen((kBidmc + "bidmc03.hea").c_str(), "r")) {
        std::fclose(f);
    } else {
        GTEST_SKIP() << "no BIDMC records in " << kBidmc;
    }
    // Over the whole records the error against the nearer annotator stays
    // below 0.5 per minute on these two; 1.5 leaves room for the start-up
    // minute.
    for (const char *name : {"bidmc03", "bidmc04"}) {
        const Record rec = readRecord(kBidmc + name);
        std::vector<double> breaths[2];
        for (const Annotation &a : readAnnotations(kBidmc + name + ".breath"))
            for (int k = 0; k < 2; ++k)
                if (a.aux.rfind(k == 0 ? "ann1" : "ann2", 0) == 0) breaths[k].push_back(double(a.time) / rec.header.fs);
        const std::vector<int> held = heldRates(rec, 180.0);
        ASSERT_EQ(held.size(), 180u) << name;
        for (double start : {15.0, 75.0}) {
            double sum = 0.0;
            int rated = 0;
            for (size_t s = size_t(start); s < size_t(start) + 60; ++s) {
                if (held[s] > 0) {
                    sum += held[s];
                    ++rated;
                }
            }
            ASSERT_GT(rated, 50) << name << " " << start;
            const double device = sum / rated;
            const double error = std::min(std::fabs(device - breathRate(breaths[0], start, start + 60)),
                                          std::fabs(device - breathRate(breaths[1], start, start + 60)));
            EXPECT_LT(error, 1.5) << name << " minute at " << start << ": " << device;
        }
    }
}

}  // namespace
