// Beat detection of the whole front end (method 0 on lead II, analysis at
// 1000 Hz) on real recordings of the MIT-BIH Arrhythmia Database, beat by
// beat against the reference annotations (150 ms window).
//
// The first six minutes of six records, the first minute not counted: the
// counts are golden values kept in tests/data/heart_rate/mitdb_golden.txt
// with their tolerance. The whole table (every record, 30 minutes each) is
// printed with TESSIVAR_FULL_RECORDS=1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "heart_rate/record_runner.hpp"
#include "records/beat_compare.hpp"

namespace {

using tessivar::records::BeatCounts;
using tessivar::records::CompareOptions;

std::string mitdb(const std::string &name) { return std::string(TESSIVAR_SHARED_DATA) + "/mitdb/" + name; }

bool haveData() { return std::ifstream(mitdb("100.hea")).good(); }

BeatCounts evaluate(const std::string &name, double seconds, double learningS)
{
    const tessivar::test::RecordBeats r = tessivar::test::runRecordBeats(mitdb(name), seconds);
    CompareOptions o;
    o.fs = r.fs;
    o.learningS = learningS;
    return tessivar::records::compareBeats(r.reference, r.detected, o);
}

struct Golden {
    std::string record;
    double seconds = 0, learningS = 0;
    int64_t tp = 0, fn = 0, fp = 0;
    double tolerance = 0;  // percentage points of Se and +P
};

std::vector<Golden> goldens()
{
    std::ifstream f(std::string(TESSIVAR_TEST_DATA) + "/heart_rate/mitdb_golden.txt");
    std::vector<Golden> out;
    for (std::string line; std::getline(f, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        Golden g;
        if (in >> g.record >> g.seconds >> g.learningS >> g.tp >> g.fn >> g.fp >> g.tolerance) out.push_back(g);
    }
    return out;
}

TEST(HrRecords, FirstSixMinutesMatchTheGoldenCounts)
{
    if (!haveData()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    const std::vector<Golden> gs = goldens();
    ASSERT_GE(gs.size(), 6u);
    for (const Golden &g : gs) {
        const BeatCounts c = evaluate(g.record, g.seconds, g.learningS);
        BeatCounts want;
        want.tp = g.tp;
        want.fn = g.fn;
        want.fp = g.fp;
        std::printf("%-4s TP %5lld FN %4lld FP %4lld  Se %6.2f +P %6.2f\n", g.record.c_str(), (long long)c.tp,
                    (long long)c.fn, (long long)c.fp, 100 * c.sensitivity(), 100 * c.positivePredictivity());
        EXPECT_NEAR(100 * c.sensitivity(), 100 * want.sensitivity(), g.tolerance) << g.record;
        EXPECT_NEAR(100 * c.positivePredictivity(), 100 * want.positivePredictivity(), g.tolerance) << g.record;
        // The number of reference beats does not depend on the detector.
        EXPECT_EQ(c.tp + c.fn, g.tp + g.fn) << g.record;
    }
}

TEST(HrRecords, FullTable)
{
    if (std::getenv("TESSIVAR_FULL_RECORDS") == nullptr) GTEST_SKIP() << "set TESSIVAR_FULL_RECORDS=1";
    if (!haveData()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    const char *names[] = {"100", "101", "103", "105", "106", "108", "116", "119", "200", "203", "208", "210"};
    BeatCounts gross;
    std::printf("record     TP    FN    FP    Se %%   +P %%\n");
    for (const char *n : names) {
        const BeatCounts c = evaluate(n, -1, 300);
        std::printf("%-6s %6lld %5lld %5lld %7.2f %7.2f\n", n, (long long)c.tp, (long long)c.fn, (long long)c.fp,
                    100 * c.sensitivity(), 100 * c.positivePredictivity());
        gross += c;
    }
    std::printf("gross  %6lld %5lld %5lld %7.2f %7.2f\n", (long long)gross.tp, (long long)gross.fn,
                (long long)gross.fp, 100 * gross.sensitivity(), 100 * gross.positivePredictivity());
}

}  // namespace
