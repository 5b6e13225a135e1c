// The front end's frame path allocates nothing, quality reports included: a
// 12-lead monitor with every stage on (pace removal, display filters, noise
// suppression, quality, heart rate, respiration) runs ten minutes of frames
// in blocks of 100 while the heap allocations are counted (under
// AddressSanitizer the test reports itself skipped).
#include <cmath>

#include "preprocess/preprocess_fixture.hpp"
#include "support/counting_allocator.hpp"

namespace {

using tessivar::test::FrontEnd;
using tessivar::test::defaultConf;

TEST_F(FrontEnd, FramePathAllocatesNothingInTenMinutes)
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
    constexpr int kBlock = 100;
    std::vector<int> in(size_t(inSize) * kBlock), out(size_t(outSize) * kBlock);
    const long before = g_allocations;
    for (int n0 = 0; n0 < 600000; n0 += kBlock) {
        for (int i = 0; i < kBlock; ++i) {
            // 75 beats per minute on every lead, a pace mark before every
            // tenth beat, breathing (15 per minute) on the impedance word,
            // lead V2 off for 2 s and muscle-like noise on V4 for 20 s of
            // every minute, so that quality reports come and go.
            const int n = n0 + i;
            int *f = &in[size_t(i) * size_t(inSize)];
            const int phase = n % 800;
            const double beat = 1000.0 * std::exp(-0.5 * (phase - 400) * (phase - 400) / 64.0);
            f[0] = (phase == 390 && n % 8000 < 800 ? 0x4000 : 0) | (n > 12000 && n < 14000 ? 0x8 : 0);
            for (int w = 1; w < inSize - 1; ++w) f[w] = int(beat * w / 4.0 + 50.0 * std::sin(n * 0.002 * w));
            if (n % 60000 < 20000) f[6] += (n * 7919 % 601) - 300;
            f[inSize - 1] = int(20000.0 * std::sin(2.0 * M_PI * n / 4000.0));
        }
        ASSERT_EQ(ecgPreprocessDoPreprocess(kBlock, in.data(), out.data()), kBlock);
    }
    EXPECT_EQ(g_allocations - before, 0);
    EXPECT_GE(qualityReports, 2);
#endif
}

}  // namespace
