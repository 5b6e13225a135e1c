// The front end's frame path allocates nothing between quality reports: a
// 12-lead monitor with every stage on (pace removal, display filters, noise
// suppression, quality, heart rate, respiration) runs frame by frame while
// the heap allocations of each call are counted (under AddressSanitizer the
// test reports itself skipped).
#include <cmath>

#include "preprocess/preprocess_fixture.hpp"
#include "support/counting_allocator.hpp"

namespace {

using tessivar::test::FrontEnd;
using tessivar::test::defaultConf;

TEST_F(FrontEnd, FramePathAllocatesNothingBetweenQualityReports)
{
#if !TV_COUNTING_ALLOCATOR
    GTEST_SKIP() << "allocation counting is not available under AddressSanitizer";
#else
    // A host whose callbacks allocate nothing themselves.
    static int qualityReports = 0;
    PreprocessConf conf = defaultConf("12", "SLR");
    conf.paceFilter = 1;
    conf.printFunc = [](const char *) {};
    conf.onFilterSetting = nullptr;
    conf.onHrLead = nullptr;
    conf.onStatus = nullptr;
    conf.onHeartBeat = nullptr;
    conf.onHeartRate = nullptr;
    conf.onRespRate = nullptr;
    conf.onQuality = [](const char *) { ++qualityReports; };
    ASSERT_EQ(start(conf), 0);
    ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
    ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
    const int inSize = getCurInFrame(), outSize = getCurOutFrame();
    std::vector<int> in(static_cast<size_t>(inSize)), out(static_cast<size_t>(outSize));
    int quietFrames = 0;
    for (int n = 0; n < 30000; ++n) {
        // 75 beats per minute on every lead, a pace mark before every
        // tenth beat, breathing on the impedance word, lead V2 off for 2 s.
        const int phase = n % 800;
        const double beat = 1000.0 * std::exp(-0.5 * (phase - 400) * (phase - 400) / 64.0);
        in[0] = (phase == 390 && n % 8000 < 800 ? 0x4000 : 0) | (n > 12000 && n < 14000 ? 0x8 : 0);
        for (int w = 1; w < inSize - 1; ++w) in[size_t(w)] = int(beat * w / 4.0 + 50.0 * std::sin(n * 0.002 * w));
        in[size_t(inSize - 1)] = int(20000.0 * std::sin(2.0 * M_PI * n / 4000.0));
        const int reports = qualityReports;
        const long before = g_allocations;
        ASSERT_EQ(ecgPreprocessDoPreprocess(1, in.data(), out.data()), 1);
        if (qualityReports != reports) continue;
        ++quietFrames;
        ASSERT_EQ(g_allocations, before) << "frame " << n;
    }
    EXPECT_GT(quietFrames, 29990);
    EXPECT_GE(qualityReports, 1);  // a report did run (and was allowed to allocate)
#endif
}

}  // namespace
