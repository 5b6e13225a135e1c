// Ten minutes of simulated 12-lead frames at 1000 Hz, with lead-off episodes
// and pace marks, through ecgPreprocessDoPreprocess in blocks of random
// sizes: frame counts, geometry and the output invariants hold on every
// frame, and the output does not depend on how the frames were cut into
// blocks.
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "preprocess/preprocess_fixture.hpp"

namespace {

using tessivar::test::FrontEnd;
using tessivar::test::TempDir;
using tessivar::test::defaultConf;

constexpr int kFrames = 10 * 60 * 1000;
constexpr int kIn = 10;   // status, I, II, V1 ... V6, respiration
constexpr int kOut = 14;  // status, I, II, III, aVR, aVL, aVF, V1 ... V6, respiration
constexpr int kDeadBand = 3;
constexpr int kPaceDelay = 100;

// Lead-off bits by input channel (I, II, V1 ... V6) and the masks that make
// each lead invalid.
constexpr int32_t kOffBits[] = {0x1, 0x2, 0x10000, 0x20000, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};
constexpr int kOutputLeads[] = {0, 1, 6, 7, 8, 9, 10, 11};
constexpr int32_t kValidityMask[] = {0x10001, 0x10002, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};

struct Simulation {
    std::vector<int32_t> status;

    Simulation() : status(kFrames, 0)
    {
        std::mt19937 rng(20251011);
        // Lead-off episodes: a third shorter than the 10-frame debounce, the
        // rest from 0.1 s to 5 s; some carry an extra status bit.
        for (int e = 0; e < 240; ++e) {
            const int start = int(rng() % kFrames);
            const int length = e % 3 == 0 ? 1 + int(rng() % 15) : 100 + int(rng() % 4900);
            const int32_t bit = kOffBits[rng() % (sizeof kOffBits / sizeof kOffBits[0])] | (e % 7 == 0 ? 0x100000 : 0);
            for (int n = start; n < start + length && n < kFrames; ++n) status[size_t(n)] |= bit;
        }
        // A paced beat about every 800 ms.
        for (int n = 400; n < kFrames; n += 700 + int(rng() % 200)) status[size_t(n)] |= 0x4000;
    }

    void frame(int n, int *f) const
    {
        f[0] = status[size_t(n)];
        const bool paced = (status[size_t(n)] & 0x4000) != 0;
        for (int k = 0; k < 8; ++k)
            f[1 + k] = int(std::lround(900.0 * std::sin(6.283185307179586 * (1.1 + 0.13 * k) * n / 1000.0))) + 150 * k +
                       (paced ? 1800 : 0);
        f[9] = int(std::lround(4000.0 * std::sin(6.283185307179586 * 0.25 * n / 1000.0)));
    }
};

int deadBand(int64_t v) { return v > kDeadBand ? int(v - kDeadBand) : v < -kDeadBand ? int(v + kDeadBand) : 0; }

// Runs the whole recording with the given block sizes; checks every frame;
// *hash becomes a hash of the output stream.
void runAll(const Simulation &sim, const std::function<int()> &nextBlock, uint64_t *hash)
{
    *hash = 1469598103934665603ull;
    std::vector<int> in, out;
    // Consecutive frames each lead's validity bits have been set.
    int offRun[8] = {};
    for (int n0 = 0; n0 < kFrames;) {
        const int frames = std::min(nextBlock(), kFrames - n0);
        EXPECT_EQ(getCurInFrame(), kIn);
        EXPECT_EQ(getCurOutFrame(), kOut);
        in.assign(size_t(frames) * kIn, 0);
        out.assign(size_t(frames) * kOut, 0);
        for (int k = 0; k < frames; ++k) sim.frame(n0 + k, &in[size_t(k) * kIn]);
        EXPECT_EQ(ecgPreprocessDoPreprocess(frames, in.data(), out.data()), frames);
        EXPECT_EQ(getCurTotalDelay(), kPaceDelay);

        for (int k = 0; k < frames; ++k) {
            const int n = n0 + k;
            const int *o = &out[size_t(k) * kOut];
            const int32_t s = sim.status[size_t(n)];
            const int32_t delayed = n >= kPaceDelay ? sim.status[size_t(n - kPaceDelay)] : 0;
            // Lead-off bits are current, the others come with the samples.
            ASSERT_EQ(o[0] & 0x33fff, s & 0x33fff) << n;
            ASSERT_EQ(o[0] & ~0x33fff, delayed & ~0x33fff) << n;
            // Derived limb leads follow I and II, or are 0 with a limb off.
            const int64_t leadI = o[1], leadII = o[2];
            const int64_t derived[4] = {leadII - leadI, -(leadI + leadII) / 2, leadI - leadII / 2, leadII - leadI / 2};
            for (int d = 0; d < 4; ++d) ASSERT_EQ(o[3 + d], (o[0] & 0x30003) ? 0 : deadBand(derived[d])) << n << " " << d;
            // A lead off for 2000 frames has been in a validity window: 0.
            for (int l = 0; l < 8; ++l) {
                offRun[l] = (s & kValidityMask[l]) ? offRun[l] + 1 : 0;
                if (offRun[l] >= 2000) {
                    ASSERT_EQ(o[1 + kOutputLeads[l]], 0) << n << " lead " << l;
                }
            }
            // Respiration on lead II: 0 while II is off.
            if (offRun[1] >= 2000) {
                ASSERT_EQ(o[13], 0) << n;
            }
            for (int w = 0; w < kOut; ++w) *hash = (*hash ^ uint32_t(o[w])) * 1099511628211ull;
        }
        n0 += frames;
    }
}

TEST_F(FrontEnd, TenMinutesOfTwelveLeadFramesInRandomBlocks)
{
    TempDir dir;
    const std::string ini = dir.file("quiet.ini");
    tessivar::test::writeText(ini, "record_file_path = " + dir.path() + "\nrecord_switch = OFF\nlog_level = error\n");
    PreprocessConf conf = defaultConf("12", "SLR");
    conf.debugCfgFile = ini.c_str();
    conf.paceFilter = 1;
    conf.paceInhib = 1;
    conf.paceRemoveMs = 3;
    const Simulation sim;

    ASSERT_EQ(start(conf), 0);
    setSubUv(kDeadBand);
    std::mt19937 rng(7);
    uint64_t random = 0, single = 1;
    runAll(sim, [&] { return rng() % 8 == 0 ? 1000 + int(rng() % 2000) : 1 + int(rng() % 300); }, &random);
    ASSERT_EQ(ecgPreprocessDenit(), 0);

    ASSERT_EQ(start(conf), 0);
    setSubUv(kDeadBand);
    runAll(sim, [] { return 1; }, &single);
    EXPECT_EQ(random, single);
    EXPECT_EQ(log.count("[E]"), 0);  // a normal run complains about nothing
}

}  // namespace
