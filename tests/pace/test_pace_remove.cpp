#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/pace_remove.h"

namespace {

using tessivar::test::LogCapture;

struct Remover {
    explicit Remover(int32_t fs = 1000, int32_t afterMs = 10, int32_t beforeMs = 0)
    {
        PaceRemoveConf conf{"lead II", nullptr, fs, afterMs, beforeMs};
        r = newPaceRemove(&conf);
    }
    ~Remover() { delPaceRemove(&r); }
    PaceRemove *r;
};

// Feeds x with marks at the given sample indexes through remove then add (as
// the front end does), returning the delayed output and the marker stream.
struct Feed {
    std::vector<int32_t> out, marker;
};
Feed feed(PaceRemove *r, const std::vector<int32_t> &x, const std::vector<int> &marks, int normalise = 1)
{
    Feed run;
    for (size_t k = 0; k < x.size(); ++k) {
        bool mark = false;
        for (int m : marks) mark = mark || m == int(k);
        run.out.push_back(removePaceSignalInt(r, x[k], mark ? PACE_STATUS_BIT : 0, normalise));
        run.marker.push_back(addPaceSignalInt(r, 0));
    }
    return run;
}

// A ramp 10*k with a spike of the given height on samples [t, t+len).
std::vector<int32_t> rampWithSpike(int n, int t, int len, int32_t height)
{
    std::vector<int32_t> x(n);
    for (int k = 0; k < n; ++k) x[k] = 10 * k + (k >= t && k < t + len ? height : 0);
    return x;
}

TEST(PaceRemove, WithoutMarksIsAHundredSampleDelay)
{
    Remover p;
    ASSERT_EQ(initPaceRemoveCustom(p.r, -7), 0);
    std::vector<int32_t> x(300);
    for (int k = 0; k < 300; ++k) x[k] = k * k - 500;
    Feed run = feed(p.r, x, {});
    for (int k = 0; k < 300; ++k) {
        EXPECT_EQ(run.out[k], k < 100 ? -7 : x[k - 100]) << k;
        EXPECT_EQ(run.marker[k], 0) << k;
    }
    EXPECT_EQ(getPaceRemoveDelay(), 100);
}

TEST(PaceRemove, WidthsFollowTheRate)
{
    Remover p(1000, 10, 0);
    // after = (1000*10 + 500)/1000 = 10; before first raised to
    // (1000*max(2, 10/3) + 500)/1000 = 3, then set by the 0 ms default 2.
    EXPECT_EQ(p.r->after, 10);
    EXPECT_EQ(p.r->before, 2);
    EXPECT_EQ(p.r->samples60ms, 60);

    EXPECT_EQ(setPaceRemoveMs(p.r, 100), -1);
    EXPECT_EQ(p.r->after, 10);
    EXPECT_EQ(setPaceRemoveMs(p.r, 0), 0);  // below 1 means 3 samples
    EXPECT_EQ(p.r->after, 3);
    EXPECT_EQ(setPaceRemoveMs(p.r, 30), 0);  // before raised to 10 ms
    EXPECT_EQ(p.r->after, 30);
    EXPECT_EQ(p.r->before, 10);
    EXPECT_EQ(setPaceRemoveBfMs(p.r, 99), 0);
    EXPECT_EQ(p.r->before, 99);
    EXPECT_EQ(setPaceRemoveBfMs(p.r, 100), -1);

    Remover fast(2000, 3, 2);
    EXPECT_EQ(fast.r->after, 6);   // (2000*3 + 500)/1000
    EXPECT_EQ(fast.r->before, 4);  // (2000*2 + 500)/1000

    // A width below 1 ms is 3 ms at every rate: max(1, (fs*3 + 500)/1000).
    const struct {
        int32_t fs, ms, after;
    } widths[] = {{2000, 0, 6}, {2000, -7, 6}, {1000, 0, 3}, {500, 0, 2}, {250, 0, 1}, {100, 0, 1},
                  {2000, 1, 2}, {500, 1, 1},   {100, 1, 1}};
    for (const auto &w : widths) {
        Remover r(w.fs, w.ms, 0);
        EXPECT_EQ(r.r->after, w.after) << w.fs << " Hz, " << w.ms << " ms at creation";
        ASSERT_EQ(setPaceRemoveMs(r.r, w.ms), 0);
        EXPECT_EQ(r.r->after, w.after) << w.fs << " Hz, " << w.ms << " ms set";
    }
}

TEST(PaceRemove, SingleMarkBridgesTheWindowAndPlacesTheMarker)
{
    // fs 1000, after 10, before 2: a mark at t bridges t-2 .. t+10
    // (exclusive). On a ramp the bridge is the ramp itself, so the spike on
    // t .. t+3 disappears; residuals are 1000 on four samples and 0 elsewhere,
    // so the amplitude is 1000 (kept by the normalisation).
    const int t = 300;
    Remover p;
    Feed run = feed(p.r, rampWithSpike(600, t, 4, 1000), {t});
    for (int k = 100; k < 600; ++k) ASSERT_EQ(run.out[k], 10 * (k - 100)) << k;
    EXPECT_EQ(p.r->amplitude, 1000);
    // The window closes at t+10 with startIdx 12; the marker is added on 11
    // calls starting with the 90th call after it (frames t+99 .. t+109),
    // exactly where the bridged samples t-1 .. t+9 leave the delay line.
    for (int k = 0; k < 600; ++k) EXPECT_EQ(run.marker[k], (k >= t + 99 && k <= t + 109) ? 1000 : 0) << k;
}

TEST(PaceRemove, FurtherMarksExtendTheWindow)
{
    // Marks at t and t+5: the window closes 10 samples after t+5 and the
    // bridge runs from t-2 to t+15; the spike covers t .. t+7.
    const int t = 200;
    Remover p;
    Feed run = feed(p.r, rampWithSpike(500, t, 8, 700), {t, t + 5});
    for (int k = 100; k < 500; ++k) ASSERT_EQ(run.out[k], 10 * (k - 100)) << k;
    int markerSamples = 0;
    for (int32_t m : run.marker) markerSamples += m == 700;
    EXPECT_EQ(markerSamples, 16);  // startIdx 17 at closing: 16 samples
}

TEST(PaceRemove, WindowStartStaysInsideTheDelayLine)
{
    // At 2000 Hz a 99 ms lead-in is 198 samples, more than the delay line
    // holds: the window starts 99 samples back.
    Remover p(2000, 1, 99);
    ASSERT_EQ(p.r->before, 198);
    std::vector<int32_t> x(400, 5);
    Feed run = feed(p.r, x, {250});
    for (int k = 100; k < 400; ++k) EXPECT_EQ(run.out[k], 5) << k;
}

TEST(PaceRemove, NormalisationScalesAmplitudes)
{
    // A one-sample spike of height h on a flat line has residual h there
    // and 0 elsewhere: measured amplitude h, then the normalisation rule.
    struct Case {
        int32_t height, expected;
    } cases[] = {{40, 0}, {250, 300}, {1500, 1000}, {600, 600}, {-250, -300}, {-1500, -1000}, {-40, 0}};
    for (const Case &c : cases) {
        Remover p;
        std::vector<int32_t> x(200, 100);
        x[150] += c.height;
        feed(p.r, x, {150});
        EXPECT_EQ(p.r->amplitude, c.expected) << c.height;
        EXPECT_EQ(p.r->lastAmplitude, c.expected) << c.height;
    }
    // Without normalisation the measured value is kept; a higher inhibit
    // threshold turns small pulses off.
    Remover raw;
    std::vector<int32_t> x(200, 100);
    x[150] += 40;
    feed(raw.r, x, {150}, 0);
    EXPECT_EQ(raw.r->amplitude, 40);

    EXPECT_EQ(setPaceInhabitThre(400), 400);
    Remover high;
    x[150] = 100 + 350;
    feed(high.r, x, {150});
    EXPECT_EQ(high.r->amplitude, 0);
    setPaceInhabitThre(50);
}

TEST(PaceRemove, Int16VariantsSaturate)
{
    Remover p;
    std::vector<int32_t> x(200, 32000);
    x[150] = 32000 + 1000;
    feed(p.r, x, {150});
    ASSERT_EQ(p.r->amplitude, 1000);
    // The window closed at sample 160 (startIdx 12): the marker is due on
    // add calls 90 .. 100 after it, and 40 of them (160 .. 199) are done.
    for (int k = 41; k < 90; ++k) ASSERT_EQ(addPaceSignal(p.r, 0), 0);
    EXPECT_EQ(addPaceSignal(p.r, 32000), 32767);
    EXPECT_EQ(addPaceSignal(p.r, -32768), -31768);

    // An int32 sample beyond the int16 range leaves the delay line saturated.
    initPaceRemove(p.r);
    removePaceSignalInt(p.r, 40000, 0, 1);
    removePaceSignalInt(p.r, -40000, 0, 1);
    for (int k = 2; k < 100; ++k) removePaceSignal(p.r, 0, 0, 1);
    EXPECT_EQ(removePaceSignal(p.r, 0, 0, 1), 32767);
    EXPECT_EQ(removePaceSignal(p.r, 0, 0, 1), -32768);
}

TEST(PaceRemove, RefusesNullRemover)
{
    LogCapture log;
    PaceRemoveConf noName{nullptr, nullptr, 1000, 10, 0};
    EXPECT_EQ(newPaceRemove(nullptr), nullptr);
    EXPECT_EQ(newPaceRemove(&noName), nullptr);
    EXPECT_EQ(removePaceSignalInt(nullptr, 5, 0, 1), -1);
    EXPECT_EQ(addPaceSignalInt(nullptr, 5), -1);
    EXPECT_EQ(initPaceRemove(nullptr), -1);
    EXPECT_EQ(setPaceRemoveMs(nullptr, 3), -1);
    EXPECT_EQ(setPaceRemoveBfMs(nullptr, 3), -1);
    EXPECT_EQ(log.count("Input parameter exception."), 7);
    PaceRemove *none = nullptr;
    EXPECT_EQ(delPaceRemove(&none), -1);
    EXPECT_EQ(delPaceRemove(nullptr), -1);
}

struct WaveFixture : ::testing::Test {
    Remover p;
    std::vector<int16_t> in, out;
    std::vector<int32_t> status;
    void make(int n)
    {
        in.assign(n, 0);
        out.assign(n, 0);
        status.assign(n, 0);
        for (int k = 0; k < n; ++k) in[k] = int16_t(k % 1000);
    }
};

TEST_F(WaveFixture, RemovesAndAddsBackOnePulse)
{
    make(2000);
    for (int k = 500; k < 504; ++k) in[k] += 1000;
    status[500] = PACE_STATUS_BIT | 0x1;
    ASSERT_EQ(removePaceWave(p.r, in.data(), 2000, status.data(), out.data()), 2000);
    ASSERT_EQ(p.r->paceCount, 1);
    const PacePulse &pulse = p.r->paceList[0];
    EXPECT_EQ(pulse.start, 498);
    EXPECT_EQ(pulse.end, 510);
    EXPECT_EQ(pulse.addStart, 499);  // (500 + 500 - 1) / 2
    EXPECT_EQ(pulse.addEnd, 500);
    EXPECT_EQ(pulse.amplitude, 1000);
    for (int k = 0; k < 2000; ++k) ASSERT_EQ(out[k], k % 1000) << k;

    std::vector<int16_t> back(2000);
    ASSERT_EQ(addPaceWave(p.r, out.data(), 2000, back.data()), 2000);
    for (int k = 0; k < 2000; ++k) EXPECT_EQ(back[k], k % 1000 + (k == 499 || k == 500 ? 1000 : 0)) << k;
    EXPECT_EQ(p.r->paceList, nullptr);
}

TEST_F(WaveFixture, InPlaceRemovalMatchesCopy)
{
    make(1500);
    status[700] = status[705] = PACE_STATUS_BIT;
    for (int k = 700; k < 708; ++k) in[k] -= 400;
    std::vector<int16_t> copy = in;
    removePaceWave(p.r, in.data(), 1500, status.data(), out.data());
    addPaceWave(p.r, out.data(), 1500, out.data());
    Remover q;
    removePaceWave(q.r, copy.data(), 1500, status.data(), copy.data());
    addPaceWave(q.r, copy.data(), 1500, copy.data());
    EXPECT_EQ(copy, out);
    // Marks 700 and 705 form one pulse: bridge 698 .. 715, marker around the
    // middle (700 + 705 - 1) / 2 = 702 .. 703, amplitude -400.
    EXPECT_EQ(out[702], 702 - 400);
    EXPECT_EQ(out[704], 704);
}

TEST_F(WaveFixture, AtMostOnePulsePerSecond)
{
    LogCapture log;
    make(1000);  // capacity 1000/1000 + 1 = 2
    status[100] = status[400] = status[700] = PACE_STATUS_BIT;
    removePaceWave(p.r, in.data(), 1000, status.data(), out.data());
    EXPECT_EQ(p.r->paceCount, 2);
    EXPECT_TRUE(log.contains("pace 2 too march"));
    EXPECT_EQ(out[700], in[700]);

    log.clear();
    removePaceWave(p.r, in.data(), 1000, status.data(), out.data());
    EXPECT_TRUE(log.contains("last removePaceWave not added"));
}

TEST_F(WaveFixture, MarksTooCloseToTheEdgesAreIgnored)
{
    make(300);
    status[1] = PACE_STATUS_BIT;    // before the first usable sample (before = 2)
    status[295] = PACE_STATUS_BIT;  // within `after` of the end
    removePaceWave(p.r, in.data(), 300, status.data(), out.data());
    EXPECT_EQ(p.r->paceCount, 0);
    EXPECT_EQ(out, in);
}

TEST_F(WaveFixture, RefusesBadArrays)
{
    LogCapture log;
    make(10);
    EXPECT_EQ(removePaceWave(nullptr, in.data(), 10, status.data(), out.data()), -1);
    EXPECT_EQ(removePaceWave(p.r, nullptr, 10, status.data(), out.data()), -1);
    EXPECT_EQ(removePaceWave(p.r, in.data(), 10, nullptr, out.data()), -1);
    EXPECT_EQ(removePaceWave(p.r, in.data(), 10, status.data(), nullptr), -1);
    EXPECT_EQ(removePaceWave(p.r, in.data(), 0, status.data(), out.data()), -1);
    EXPECT_EQ(addPaceWave(p.r, in.data(), -3, out.data()), -1);
    EXPECT_EQ(addPaceWave(p.r, nullptr, 10, out.data()), -1);
    EXPECT_EQ(log.count("INPUT ERROR"), 7);
}

}  // namespace
