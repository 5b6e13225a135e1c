// Pace pulse removal and re-insertion, per sample and over whole arrays,
// and the straight line that bridges a removed pulse.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "support/log_capture.hpp"
#include "tessivar/pace_remove.h"

namespace {

using tessivar::test::LogCapture;
using Ints = std::vector<int32_t>;
using Shorts = std::vector<int16_t>;

TEST(LinearSpline, LineThroughTwoPointsAndRefusals)
{
    LinearSplineConf conf{"bridge", nullptr}, noName{nullptr, nullptr};
    LinearSpline *s = newLinearSpline(&conf);
    const LinearSplinePoint points[2] = {{10, 5.0f}, {0, 15.0f}};  // y = 5 - (x - 10), either order
    ASSERT_EQ(setLinearSplinePoints(s, points), 0);
    for (auto [x, y] : {std::pair{5, 10.0f}, {10, 5.0f}, {12, 3.0f}, {-5, 20.0f}})
        EXPECT_EQ(getLinearSplineYValue(s, x), y) << x;
    ASSERT_EQ(initLinearSpline(s), 0);
    EXPECT_EQ(getLinearSplineYValue(s, -100) + getLinearSplineYValue(s, 4), 0.0f);
    LogCapture log;
    EXPECT_EQ(newLinearSpline(&noName), nullptr);
    EXPECT_EQ(getLinearSplineYValue(nullptr, 3), 0.0f);
    EXPECT_EQ(log.count("Input parameter exception."), 2);
    EXPECT_EQ(setLinearSplinePoints(nullptr, points), -1);
    EXPECT_TRUE(delLinearSpline(&s) == 0 && s == nullptr);
    EXPECT_EQ(delLinearSpline(&s), -1);
}

using Remover = std::unique_ptr<PaceRemove, void (*)(PaceRemove *)>;

Remover makeRemover(int32_t fs = 1000, int32_t afterMs = 10, int32_t beforeMs = 0)
{
    PaceRemoveConf conf{"lead II", nullptr, fs, afterMs, beforeMs};
    return Remover(newPaceRemove(&conf), [](PaceRemove *r) { delPaceRemove(&r); });
}

// Feeds x, marked at the given samples, through removal and then the marker
// (as the front end does); returns the delayed output and the marker stream.
std::pair<Ints, Ints> run(PaceRemove *r, const Ints &x, const Ints &marks, int normalise = 1)
{
    Ints out, marker;
    for (int32_t k = 0; k < int32_t(x.size()); ++k) {
        const bool mark = std::find(marks.begin(), marks.end(), k) != marks.end();
        out.push_back(removePaceSignalInt(r, x[k], mark ? PACE_STATUS_BIT : 0, normalise));
        marker.push_back(addPaceSignalInt(r, 0));
    }
    return {out, marker};
}

TEST(PaceRemove, CutWidthsFollowTheRate)
{
    const struct { int32_t fs, afterMs, beforeMs, after, before; const char *why; } rows[] = {
        {1000, 10, 0, 10, 2, "(10000+500)/1000; 0 ms before means 2 ms"},
        {2000, 3, 2, 6, 4, "(6000+500)/1000; (4000+500)/1000"},
        {2000, 0, 0, 6, 4, "below 1 ms after means 3 ms"},
        {2000, -7, 0, 6, 4, "below 1 ms after means 3 ms"},
        {500, 0, 0, 2, 1, "(1500+500)/1000; (1000+500)/1000"},
        {100, 1, 0, 1, 1, "(100+500)/1000 = 0, at least 1"},
        {1000, 99, 99, 99, 99, "the largest widths"},
        {1000, 30, 5, 30, 5, "before raised to 10 ms by the after width, then set to 5 ms"},
    };
    for (const auto &w : rows) {
        Remover p = makeRemover(w.fs, w.afterMs, w.beforeMs);
        EXPECT_EQ(Ints({p->after, p->before}), Ints({w.after, w.before})) << w.why;
    }
    Remover p = makeRemover();  // after 10, before 2; 100 ms refused, nothing changes
    PaceRemove *r = p.get();
    EXPECT_EQ(Ints({setPaceRemoveMs(r, 100), setPaceRemoveBfMs(r, 100), r->after, r->before}), Ints({-1, -1, 10, 2}));
    // After 30 ms raises before to max(2, 30/3) ms; after 3 ms does not lower it.
    EXPECT_EQ(Ints({setPaceRemoveMs(r, 30), r->before, setPaceRemoveMs(r, 3), r->after, r->before}),
              Ints({0, 10, 0, 3, 10}));
}

TEST(PaceRemove, PerSampleDelayBridgeAndMarker)
{
    Remover quiet = makeRemover();
    ASSERT_EQ(initPaceRemoveCustom(quiet.get(), -7), 0);
    Ints x(600);
    for (int k = 0; k < 600; ++k) x[k] = k * k - 500;
    auto [delayed, none] = run(quiet.get(), x, {});
    for (int k = 0; k < 600; ++k) ASSERT_EQ(delayed[k], k < 100 ? -7 : x[k - 100]) << k;
    EXPECT_EQ(none, Ints(600, 0));  // and no marker
    EXPECT_EQ(getPaceRemoveDelay(), 100);

    // A ramp 10*k with a spike, mark at t (before 2, after 10): t-2 .. t+10 is bridged, the spike
    // vanishes; the window closes at t+10 with start index 12 and the marker comes on 11 calls from
    // t+99, as the bridged samples t-1 .. t+9 leave the delay line. Marks at t and t+5 stretch the
    // window to t+15: start 17, 16 marker samples.
    const struct { Ints marks; int spikeLength, height, first, last; } rows[] = {{{300}, 4, 1000, 399, 409},
                                                                                 {{300, 305}, 8, 700, 399, 414}};
    for (const auto &row : rows) {
        Remover p = makeRemover();
        for (int k = 0; k < 600; ++k) x[k] = 10 * k + (k >= 300 && k < 300 + row.spikeLength ? row.height : 0);
        auto [out, marker] = run(p.get(), x, row.marks);
        for (int k = 100; k < 600; ++k) ASSERT_EQ(out[k], 10 * (k - 100)) << k;
        for (int k = 0; k < 600; ++k) ASSERT_EQ(marker[k], k >= row.first && k <= row.last ? row.height : 0) << k;
    }
    // At 2000 Hz 99 ms before is 198 samples: held 99 back, sample 153 when the window closes at 252.
    Remover fast = makeRemover(2000, 1, 99);
    x.assign(400, 5);
    x[154] = 500;  // inside the window: bridged
    auto [flat, unused] = run(fast.get(), x, {250});
    EXPECT_EQ(Ints(flat.begin() + 100, flat.end()), Ints(300, 5));
}

TEST(PaceRemove, AmplitudeNormalisationAndSaturation)
{
    // A one-sample spike h on a flat line leaves residual h there, 0 elsewhere;
    // below the inhibit threshold it is 0, below 300 it is 300, above 1000 it is 1000.
    // Columns: height, amplitude, normalise, threshold.
    const int32_t cases[][4] = {{40, 0, 1, 50},       {49, 0, 1, 50},      {50, 300, 1, 50},    {250, 300, 1, 50},
                                {299, 300, 1, 50},    {300, 300, 1, 50},   {600, 600, 1, 50},   {1000, 1000, 1, 50},
                                {1001, 1000, 1, 50},  {1500, 1000, 1, 50}, {-40, 0, 1, 50},     {-250, -300, 1, 50},
                                {-1500, -1000, 1, 50}, {40, 40, 0, 50},    {350, 0, 1, 400},    {400, 400, 1, 400}};
    for (const auto &c : cases) {
        Remover p = makeRemover();
        Ints x(200, 100);
        x[150] += c[0];
        EXPECT_EQ(setPaceInhabitThre(c[3]), c[3]);
        run(p.get(), x, {150}, c[2]);
        EXPECT_EQ(p->amplitude, c[1]) << c[0] << " threshold " << c[3];
    }
    setPaceInhabitThre(50);

    // The int16 variants saturate.
    Remover p = makeRemover();
    Ints x(200, 32000);
    x[150] += 1000;
    run(p.get(), x, {150});
    ASSERT_EQ(p->amplitude, 1000);
    for (int k = 200; k < 249; ++k) ASSERT_EQ(addPaceSignal(p.get(), 0), 0) << k;  // marker due from call 249
    EXPECT_EQ(addPaceSignal(p.get(), 32000), 32767);
    EXPECT_EQ(addPaceSignal(p.get(), -32768), -31768);
    initPaceRemove(p.get());
    for (int32_t v : {40000, -40000}) removePaceSignalInt(p.get(), v, 0, 1);  // out of the int16 range
    for (int k = 2; k < 100; ++k) removePaceSignal(p.get(), 0, 0, 1);
    EXPECT_EQ(removePaceSignal(p.get(), 0, 0, 1), 32767);
    EXPECT_EQ(removePaceSignal(p.get(), 0, 0, 1), -32768);
}

TEST(PaceRemove, WholeArrayRemovalAndReinsertion)
{
    LogCapture log;
    Remover p = makeRemover();
    Ints status(2000, 0);
    Shorts in(2000), out(2000);
    for (int k = 0; k < 2000; ++k) in[k] = int16_t(k % 1000 - (k >= 700 && k < 708 ? 400 : 0));
    status[700] = status[705] = PACE_STATUS_BIT | 0x1;
    // Marks 700 and 705 are one pulse: bridge 698 .. 715, marker from
    // (700 + 705 - 1)/2 = 702 over fs/1000 + 1 samples, amplitude -400.
    ASSERT_EQ(removePaceWave(p.get(), in.data(), 2000, status.data(), out.data()), 2000);
    ASSERT_EQ(p->paceCount, 1);
    const PacePulse &pulse = p->paceList[0];
    EXPECT_EQ(Ints({pulse.start, pulse.end, pulse.addStart, pulse.addEnd, pulse.amplitude}),
              Ints({698, 715, 702, 703, -400}));
    for (int k = 0; k < 2000; ++k) ASSERT_EQ(out[k], k % 1000) << k;
    ASSERT_EQ(addPaceWave(p.get(), out.data(), 2000, out.data()), 2000);
    for (int k = 0; k < 2000; ++k) ASSERT_EQ(out[k], k % 1000 - (k == 702 || k == 703 ? 400 : 0)) << k;
    EXPECT_EQ(p->paceList, nullptr);

    // Marks within `before` of the start or `after` of the end are ignored
    // (first usable 2, last 1989); at most n/fs + 1 = 3 pulses are kept.
    std::fill(status.begin(), status.end(), 0);
    status[1] = status[2] = status[1989] = status[1990] = PACE_STATUS_BIT;
    removePaceWave(p.get(), in.data(), 2000, status.data(), out.data());
    ASSERT_EQ(p->paceCount, 2);
    EXPECT_EQ(Ints({p->paceList[0].start, p->paceList[1].start}), Ints({0, 1987}));
    status[1] = status[1990] = 0;
    status[500] = status[1000] = PACE_STATUS_BIT;
    removePaceWave(p.get(), in.data(), 2000, status.data(), out.data());
    EXPECT_TRUE(log.contains("last removePaceWave not added"));
    EXPECT_TRUE(log.contains("pace 3 too march"));
    ASSERT_EQ(p->paceCount, 3);
    EXPECT_EQ(p->paceList[2].start, 998);
}

TEST(PaceRemove, RefusesNullHandlesAndBadArrays)
{
    LogCapture log;
    PaceRemoveConf noName{nullptr, nullptr, 1000, 10, 0};
    PaceRemove *none = nullptr;
    EXPECT_TRUE(newPaceRemove(nullptr) == nullptr && newPaceRemove(&noName) == nullptr);
    EXPECT_EQ(Ints({removePaceSignalInt(nullptr, 5, 0, 1), addPaceSignalInt(nullptr, 5), initPaceRemove(nullptr),
                    setPaceRemoveMs(nullptr, 3), setPaceRemoveBfMs(nullptr, 3)}),
              Ints(5, -1));
    EXPECT_EQ(log.count("Input parameter exception."), 7);
    EXPECT_EQ(Ints({delPaceRemove(&none), delPaceRemove(nullptr)}), Ints({-1, -1}));
    Remover r = makeRemover();
    Shorts in(10), out(10);
    Ints zeros(10);
    PaceRemove *p = r.get();
    int16_t *i = in.data(), *o = out.data();
    const int32_t *s = zeros.data();
    EXPECT_EQ(Ints({removePaceWave(nullptr, i, 10, s, o), removePaceWave(p, nullptr, 10, s, o),
                    removePaceWave(p, i, 10, nullptr, o), removePaceWave(p, i, 10, s, nullptr),
                    removePaceWave(p, i, 0, s, o), addPaceWave(p, nullptr, 10, o)}),
              Ints(6, -1));
    EXPECT_EQ(log.count("INPUT ERROR"), 6);
}

}  // namespace
