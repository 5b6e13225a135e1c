// Five minutes of simulated 12-lead frames with lead-off episodes, pace marks, breathing and noise:
// the output invariants hold on every frame, the output does not depend on the block sizes, and
// with every stage on the frame path allocates nothing (not counted under AddressSanitizer).
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "preprocess/preprocess_fixture.hpp"
#include "support/counting_allocator.hpp"

namespace tessivar::test {
namespace {

constexpr int kFrames = 5 * 60 * 1000;
constexpr int kIn = 10;   // status, I, II, V1 ... V6, respiration
constexpr int kOut = 14;  // status, I, II, III, aVR, aVL, aVF, V1 ... V6, respiration
constexpr int kDeadBand = 3;
// Lead-off bits by input channel (I, II, V1 ... V6); the masks that make each lead invalid.
constexpr int32_t kOffBits[] = {0x1, 0x2, 0x10000, 0x20000, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};
constexpr int kOutputLeads[] = {0, 1, 6, 7, 8, 9, 10, 11};
constexpr int32_t kValidityMask[] = {0x10001, 0x10002, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80};

struct Simulation {
    std::vector<int32_t> status;
    Simulation() : status(kFrames, 0)
    {
        std::mt19937 rng(20251011);
        // A third of the episodes shorter than the debounce, the rest 0.1 to 5 s; some with an extra bit.
        for (int e = 0; e < 120; ++e) {
            const int start = int(rng() % kFrames);
            const int length = e % 3 == 0 ? 1 + int(rng() % 15) : 100 + int(rng() % 4900);
            const int32_t bit = kOffBits[rng() % std::size(kOffBits)] | (e % 7 == 0 ? 0x100000 : 0);
            for (int n = start; n < start + length && n < kFrames; ++n) status[size_t(n)] |= bit;
        }
        for (int n = 400; n < kFrames; n += 700 + int(rng() % 200)) status[size_t(n)] |= 0x4000;  // paced beats
    }
    void frame(int n, int *f) const
    {
        f[0] = status[size_t(n)];
        const int phase = n % 800;
        const double beat = 1000.0 * std::exp(-0.5 * (phase - 400) * (phase - 400) / 64.0);
        for (int k = 0; k < 8; ++k)
            f[1 + k] = int(std::lround(beat * (k + 1) / 4.0 + 50.0 * std::sin(6.283185307179586 * (1.1 + 0.13 * k) * n / 1000.0))) +
                       150 * k + ((status[size_t(n)] & 0x4000) ? 1800 : 0);
        if (n % 60000 < 20000) f[6] += (n * 7919 % 601) - 300;  // noise on V4 for 20 s of every minute
        f[9] = int(std::lround(20000.0 * std::sin(6.283185307179586 * 0.25 * n / 1000.0)));
    }
};

#if !TV_COUNTING_ALLOCATOR
long g_allocations = 0;  // AddressSanitizer owns the allocator: nothing is counted
#endif

int deadBand(int64_t v) { return v > kDeadBand ? int(v - kDeadBand) : v < -kDeadBand ? int(v + kDeadBand) : 0; }

// Runs the simulation in the given blocks, checking every frame; returns a hash of the output and
// adds the allocations made inside the library's calls to *allocations.
uint64_t runAll(const Simulation &sim, const std::function<int()> &nextBlock, long *allocations)
{
    uint64_t hash = 1469598103934665603ull;
    const int delay = getCurTotalDelay();
    std::vector<int> in, out;
    int offRun[8] = {};  // consecutive frames each lead's validity bits have been set
    for (int n0 = 0; n0 < kFrames;) {
        const int n = std::min(nextBlock(), kFrames - n0);
        in.assign(size_t(n) * kIn, 0);
        out.assign(size_t(n) * kOut, 0);
        for (int k = 0; k < n; ++k) sim.frame(n0 + k, &in[size_t(k) * kIn]);
        const long before = g_allocations;
        EXPECT_EQ(ecgPreprocessDoPreprocess(n, in.data(), out.data()), n);
        *allocations += g_allocations - before;
        for (int k = 0; k < n; ++k) {
            const int t = n0 + k;
            const int *o = &out[size_t(k) * kOut];
            const int32_t s = sim.status[size_t(t)], delayed = t >= delay ? sim.status[size_t(t - delay)] : 0;
            // Lead-off bits are current, the others come with the samples.
            EXPECT_EQ(o[0] & 0x33fff, s & 0x33fff) << t;
            EXPECT_EQ(o[0] & ~0x33fff, delayed & ~0x33fff) << t;
            // Derived limb leads follow I and II, or are 0 with a limb off.
            const int64_t i = o[1], ii = o[2];
            const int64_t derived[4] = {ii - i, -(i + ii) / 2, i - ii / 2, ii - i / 2};
            for (int d = 0; d < 4; ++d) EXPECT_EQ(o[3 + d], (o[0] & 0x30003) ? 0 : deadBand(derived[d])) << t << " " << d;
            // A lead off for 2000 frames has been in a validity window: 0, the respiration word too for II.
            for (int l = 0; l < 8; ++l) {
                offRun[l] = (s & kValidityMask[l]) ? offRun[l] + 1 : 0;
                EXPECT_TRUE(offRun[l] < 2000 || o[1 + kOutputLeads[l]] == 0) << t << " lead " << l;
            }
            EXPECT_TRUE(offRun[1] < 2000 || o[13] == 0) << t;
            for (int w = 0; w < kOut; ++w) hash = (hash ^ uint32_t(o[w])) * 1099511628211ull;
        }
        if (::testing::Test::HasFailure()) return 0;
        n0 += n;
    }
    return hash;
}

TEST_F(FrontEnd, FiveMinutesOfTwelveLeadFramesInRandomBlocksAllocatingNothing)
{
    // Frame by frame with a host whose callbacks allocate nothing (no allocation), then in random
    // blocks with a quiet configuration file and the log captured: the same output.
    TempDir dir;
    const std::string ini = dir.file("quiet.ini");
    writeText(ini, "record_file_path = " + dir.path() + "\nrecord_switch = OFF\nlog_level = error\n");
    static int qualityReports = 0;
    PreprocessConf confs[2] = {silentConf("12", "SLR"), defaultConf("12", "SLR")};
    confs[1].debugCfgFile = ini.c_str();
    confs[0].onQuality = [](const char *) { ++qualityReports; };
    const Simulation sim;
    std::mt19937 rng(7);
    const std::function<int()> blocks[] = {[] { return 1; },
                                           [&] { return rng() % 8 == 0 ? 1000 + int(rng() % 2000) : 1 + int(rng() % 300); }};
    uint64_t hashes[2] = {};
    long allocations[2] = {};
    for (int k = 0; k < 2; ++k) {
        confs[k].paceFilter = confs[k].paceInhib = 1, confs[k].paceRemoveMs = 3;
        ASSERT_EQ(start(confs[k]), 0);
        ASSERT_EQ(ecgPreprocessSetFilter("0.67", "50", "35"), 0);
        ASSERT_EQ(ecgPreprocessSetFuzzFilter(1), 0);
        ASSERT_EQ(getCurTotalDelay(), 940 + 100 + 40);
        setSubUv(kDeadBand);
        hashes[k] = runAll(sim, blocks[k], &allocations[k]);
        ASSERT_EQ(ecgPreprocessDenit(), 0);
    }
    EXPECT_EQ(hashes[0], hashes[1]);
    EXPECT_EQ(log.count("[E]"), 0);  // a normal run complains about nothing
    EXPECT_GE(qualityReports, 2);
    EXPECT_EQ(allocations[0], 0);
    if (!TV_COUNTING_ALLOCATOR) std::printf("allocation counting is not available under AddressSanitizer\n");
}

}  // namespace
}  // namespace tessivar::test
