// Filter chain of the limited-resource QRS detector:
//
//   fdatum = mvwint(|deriv2(hpfilt(lpfilt(datum)))|)
//
// All integer. The low-pass is the squared boxcar of lpLength / 2 samples
// computed recursively (exact, gain (N/2)^2 divided out with truncation);
// the high-pass subtracts the hpLength-sample running mean from the input
// delayed by half that length; the derivatives are differences over
// derivLength samples; the integrator averages windowWidth samples and
// saturates at 32000. Every ring holds the filter's last N inputs, the
// entry at the ring index being the oldest (x(t - N)), so x(t - m) sits m
// entries before it. Sums and the low-pass recursion are 64 bits wide; the
// stage outputs are 32 bits (exact for int16-range input).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "beat_detect/eplimited.hpp"

namespace tessivar {
namespace {

// Ring entry holding x(t - back) of a ring of n entries whose index holds
// x(t - n).
int32_t ringAgo(int32_t idx, int32_t back, int32_t n) { return ((idx - back) % n + n) % n; }

// A difference over derivLength samples in its own ring.
int32_t derivative(int32_t *ring, int32_t *idx, int32_t n, int32_t datum, bool init)
{
    if (init) {
        std::memset(ring, 0, sizeof(int32_t) * kEpRingStorage);
        *idx = 0;
        return 0;
    }
    const int32_t y = int32_t(int64_t(datum) - ring[*idx]);
    ring[*idx] = datum;
    if (++*idx == n) *idx = 0;
    return y;
}

}  // namespace

int32_t lpfilt(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    EpFilters &f = d.f;
    const int32_t n = d.t.lpLength;
    if (init) {
        std::memset(f.lpRing, 0, sizeof f.lpRing);
        f.lpY1 = f.lpY2 = 0;
        f.lpIdx = 0;
        datum = 0;  // a restart runs one zero sample through
    }
    const int64_t y0 = 2 * f.lpY1 - f.lpY2 + datum - 2 * int64_t(f.lpRing[ringAgo(f.lpIdx, n / 2, n)]) + f.lpRing[f.lpIdx];
    f.lpY2 = f.lpY1;
    f.lpY1 = y0;
    f.lpRing[f.lpIdx] = datum;
    if (++f.lpIdx == n) f.lpIdx = 0;
    return int32_t(y0 / ((int64_t(n) * n) / 4));
}

int32_t hpfilt(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    EpFilters &f = d.f;
    const int32_t n = d.t.hpLength;
    if (init) {
        std::memset(f.hpRing, 0, sizeof f.hpRing);
        f.hpSum = 0;
        f.hpIdx = 0;
        datum = 0;
    }
    const int64_t sum = f.hpSum + datum - f.hpRing[f.hpIdx];
    f.hpSum = sum;
    const int64_t z = int64_t(f.hpRing[ringAgo(f.hpIdx, n / 2, n)]) - sum / n;
    f.hpRing[f.hpIdx] = datum;
    if (++f.hpIdx == n) f.hpIdx = 0;
    return int32_t(z);
}

int32_t deriv1(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    return derivative(d.f.deriv1Ring, &d.f.deriv1Idx, d.t.derivLength, datum, init);
}

int32_t deriv2(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    return derivative(d.f.deriv2Ring, &d.f.deriv2Idx, d.t.derivLength, datum, init);
}

int32_t mvwint(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    EpFilters &f = d.f;
    const int32_t n = d.t.windowWidth;
    if (init) {
        std::memset(f.mwRing, 0, sizeof f.mwRing);
        f.mwSum = 0;
        f.mwIdx = 0;
        datum = 0;
    }
    const int64_t sum = f.mwSum + datum - f.mwRing[f.mwIdx];
    f.mwSum = sum;
    f.mwRing[f.mwIdx] = datum;
    if (++f.mwIdx == n) f.mwIdx = 0;
    return int32_t(std::min<int64_t>(sum / n, kEpMwiLimit));
}

int32_t QRSFilter(EplimitedBeatDetect &d, int32_t datum, bool init)
{
    if (init) {
        hpfilt(d, 0, true);
        lpfilt(d, 0, true);
        mvwint(d, 0, true);
        deriv1(d, 0, true);
        deriv2(d, 0, true);
        return 0;
    }
    int32_t fdatum = lpfilt(d, datum, false);
    fdatum = hpfilt(d, fdatum, false);
    fdatum = deriv2(d, fdatum, false);
    fdatum = int32_t(std::min<int64_t>(std::llabs(int64_t(fdatum)), INT32_MAX));
    return mvwint(d, fdatum, false);
}

}  // namespace tessivar
