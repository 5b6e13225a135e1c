// RR-interval averager: a short queue of the three newest intervals and a
// long queue of twelve accepted ones; rules on the short queue decide what
// enters the long one.
#include "tessivar/rr2hr.h"

#include "common/log_macros.hpp"
#include "heart_rate/rr2hr.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = "rr2hr";
// Longest interval accepted, ms (a rate of one beat per minute).
constexpr int32_t kMaxRRMs = 60000;

Rr2hr g_rr2hr;

// Puts v at the back of a FIFO of capacity cap, dropping entry 0 when full.
void fifoIn(int32_t *q, int32_t &count, int32_t cap, int32_t v)
{
    if (count == cap) {
        for (int32_t i = 1; i < cap; ++i) q[i - 1] = q[i];
        --count;
    }
    q[count++] = v;
}

// Takes entry 0 of a FIFO; 0 when empty.
int32_t fifoOut(int32_t *q, int32_t &count)
{
    if (count == 0) return 0;
    const int32_t v = q[0];
    for (int32_t i = 1; i < count; ++i) q[i - 1] = q[i];
    --count;
    return v;
}

bool between(double lo, double v, double hi) { return lo < v && v < hi; }

}  // namespace

Rr2hr &rr2hrState() { return g_rr2hr; }

}  // namespace tessivar

using tessivar::g_rr2hr;

extern "C" int32_t init_rr2hr(void)
{
    g_rr2hr = tessivar::Rr2hr{};
    return 0;
}

extern "C" int32_t queue1FifoIn(int32_t rr)
{
    tessivar::fifoIn(g_rr2hr.queue1, g_rr2hr.queue1Count, tessivar::kRrQueue1Len, rr);
    return 0;
}

extern "C" int32_t queue1FifoOut(void) { return tessivar::fifoOut(g_rr2hr.queue1, g_rr2hr.queue1Count); }

extern "C" int32_t queue2FifoIn(int32_t rr)
{
    tessivar::fifoIn(g_rr2hr.queue2, g_rr2hr.queue2Count, tessivar::kRrQueue2Len, rr);
    return 0;
}

extern "C" int32_t queue2FifoOut(void) { return tessivar::fifoOut(g_rr2hr.queue2, g_rr2hr.queue2Count); }

extern "C" int32_t fillQueue2(int32_t n)
{
    if (n < 0 || n > tessivar::kRrQueue1Len) return -1;
    int32_t moved = 0;
    for (; moved < n && g_rr2hr.queue1Count > 0; ++moved) queue2FifoIn(queue1FifoOut());
    return moved;
}

extern "C" double calAvgRR(void)
{
    if (g_rr2hr.queue2Count < 3) return 0.0;
    int64_t sum = 0;  // wide: the queue functions accept any int32 from a host
    int32_t largest = 0, smallest = 5000;
    for (int32_t i = 0; i < g_rr2hr.queue2Count; ++i) {
        const int32_t v = g_rr2hr.queue2[i];
        sum += v;
        if (v > largest) largest = v;
        if (v < smallest) smallest = v;
    }
    return double(sum - largest - smallest) / double(g_rr2hr.queue2Count - 2);
}

extern "C" double getAvgQueue1(void)
{
    if (g_rr2hr.queue1Count < tessivar::kRrQueue1Len) return 0.0;
    double sum = 0;
    for (int32_t v : g_rr2hr.queue1) sum += v;
    return sum / tessivar::kRrQueue1Len;
}

extern "C" int32_t isQueue1Unstable(void)
{
    const float mean = float(getAvgQueue1());
    if (mean == 0.0f) return 1;
    for (int32_t i = 0; i < g_rr2hr.queue1Count; ++i) {
        const float r = float(g_rr2hr.queue1[i]) / mean;
        if (r <= 0.8f || r >= 1.2f) return 1;
    }
    return 0;
}

extern "C" float onStatuUnstable(void)
{
    if (fillQueue2(1) != 1) return 0.0f;
    const int32_t *e = g_rr2hr.queue2;
    const int32_t n = tessivar::kRrQueue2Len;
    float sum = 0, sum2[2] = {0, 0}, sum3[3] = {0, 0, 0};
    for (int32_t k = 0; k < n; ++k) {
        sum += float(e[k]);
        sum2[k % 2] += 2.0f * float(e[k]);
        sum3[k % 3] += 3.0f * float(e[k]);
    }
    const float mean = sum / n;
    const float m2[2] = {sum2[0] / n, sum2[1] / n};
    const float m3[3] = {sum3[0] / n, sum3[1] / n, sum3[2] / n};
    bool irregular = false, notPeriod2 = false, notPeriod3 = false;
    for (int32_t k = 0; k < n; ++k) {
        const float v = float(e[k]);
        if (v / mean <= 0.8f || v / mean >= 1.2f) irregular = true;
        if (e[k] <= 0 || v / m2[k % 2] >= 1.2f) notPeriod2 = true;
        if (e[k] <= 0 || v / m3[k % 3] >= 1.2f) notPeriod3 = true;
    }
    float avg = 0.0f;
    if (!irregular)
        avg = mean;
    else if (!notPeriod2)
        avg = (m2[0] + m2[1]) / 2;
    else if (!notPeriod3)
        avg = (m3[0] + m3[1] + m3[2]) / 3;
    g_rr2hr.avgRR = avg;
    return avg;
}

extern "C" float onStatuStable(void)
{
    using tessivar::between;
    const double A = g_rr2hr.avgRR;
    const int32_t *q = g_rr2hr.queue1;
    const double a = q[0], b = q[1], c = q[2];
    const int32_t *last = g_rr2hr.queue2 + tessivar::kRrQueue2Len - 3;

    if (between(0.8 * A, a, 1.2 * A)) {  // a normal interval
        fillQueue2(1);
        g_rr2hr.avgRR = float(calAvgRR());
    } else if (isQueue1Unstable() == 0 && (getAvgQueue1() < 0.8 * A || getAvgQueue1() > 1.2 * A)) {
        // The rhythm changed: start a new average from the waiting intervals.
        for (int32_t i = 0; i < g_rr2hr.queue1Count; ++i) g_rr2hr.queue2[i] = q[i];
        g_rr2hr.queue2Count = g_rr2hr.queue1Count;
        g_rr2hr.queue1Count = 0;
        g_rr2hr.avgRR = 0.0f;
    } else if (between(1.6 * A, a + b, 2.4 * A)) {
        fillQueue2(2);
    } else if (a < 0.8 * A && between(0.8 * A, b, 1.2 * A)) {  // a lone early beat
        fillQueue2(1);
    } else if (between(0.8 * last[0], a, 1.2 * last[0]) && between(0.8 * last[1], b, 1.2 * last[1]) &&
               between(0.8 * last[2], c, 1.2 * last[2])) {  // period three repeats
        fillQueue2(3);
    } else if (between(0.8 * b, a, 1.2 * b) && A > 1.2 * b && A > 1.2 * a && c > A) {
        fillQueue2(2);
    } else if (between(0.8 * A, a + b, 1.2 * A)) {  // an extra beat split one interval
        const int32_t first = queue1FifoOut();
        if (g_rr2hr.queue1Count == 0) return 0.0f;
        queue2FifoIn(first + queue1FifoOut());
    } else if (between(1.6 * A, a, 2.4 * A)) {  // a missed beat
        queue2FifoIn(queue1FifoOut() / 2);
    } else if (between(1.2 * A, a, 1.6 * A) && between(0.8 * A, b, 1.2 * A)) {
        queue1FifoOut();
        queue2FifoIn(int32_t(A));
    } else {
        init_rr2hr();
        return 0.0f;
    }
    return float(calAvgRR());
}

extern "C" int32_t rr2hr(int32_t rr)
{
    // Intervals that cannot be a heartbeat are refused before they reach the
    // queues, so that one bad value does not disturb the average.
    if (rr <= 0 || rr > tessivar::kMaxRRMs) {
        TV_LOGE(tessivar::kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    queue1FifoIn(rr);
    if (g_rr2hr.queue1Count < tessivar::kRrQueue1Len) return 0;
    double result;
    if (g_rr2hr.queue2Count == tessivar::kRrQueue2Len) {
        result = g_rr2hr.avgRR == 0.0f ? onStatuUnstable() : onStatuStable();
    } else {
        if (fillQueue2(1) != 1) return 0;
        result = calAvgRR();
    }
    if (result == 0.0) return 0;
    return int32_t(60000.0 / result + 0.5);
}
