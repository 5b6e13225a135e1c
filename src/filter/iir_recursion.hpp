// Whole-array path of the recursive kinds (IIR comb and integer), written
// once over the way a polynomial is stored: dense coefficients or sparse
// (position, coefficient) taps.
//
// For a delay d and history order P = (longest polynomial) - 1 it computes
// out[t] = y~[t+d], y~ being the recursion
//   a0 * y~[i] = sum b * x~[i - pos] - sum_{den after the first} a * y~[i - pos]
// over the input extended to the left by in[0] (with the output history
// standing at gainDC * in[0], as after priming) and to the right by d copies
// of in[n-1]. The head (first P outputs) and the tail (last d outputs) run
// over short edge-extended copies; the middle runs over the input itself,
// its outputs feeding back through the work array. Sums are in double.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "filter/filter.hpp"
#include "tessivar/signal_filter.h"

namespace tessivar::filter {

// Dense polynomial c[0..count-1]; coefficient i sits at position i.
struct DensePoly {
    const double *c;
    int32_t count;
    int32_t position(int32_t i) const { return i; }
    double coef(int32_t i) const { return c[i]; }
};

// Sparse polynomial: tap i sits at position seq - 1.
struct SparsePoly {
    const IntegerFilterTap *taps;
    int32_t count;
    int32_t position(int32_t i) const { return taps[i].seq - 1; }
    double coef(int32_t i) const { return taps[i].data; }
};

// One output of the recursion: x points at the input of the current step,
// y at its output slot (older values at lower addresses).
template <class Poly>
double recursionStep(const Poly &num, const Poly &den, const double *x, const double *y)
{
    double s = 0.0;
    for (int32_t i = 0; i < num.count; ++i) s += num.coef(i) * x[-num.position(i)];
    for (int32_t i = 1; i < den.count; ++i) s -= den.coef(i) * y[-den.position(i)];
    return s / den.coef(0);
}

// Fills work[0..n-1] (cleared, n >= d + p) from in. False when the scratch
// memory cannot be had.
template <class Poly>
bool runExtendedRecursion(const Poly &num, const Poly &den, int32_t p, int32_t d, double gainDC,
                          const double *in, int32_t n, double *work)
{
    // Head input A and output B: d + 2P each; tail input C and output D:
    // d + P each.
    const int32_t headLen = d + 2 * p;
    const int32_t tailLen = d + p;
    double *scratch = static_cast<double *>(std::calloc(static_cast<std::size_t>(2 * (headLen + tailLen)) + 1, sizeof(double)));
    if (scratch == nullptr) return false;
    double *headIn = scratch;
    double *headOut = headIn + headLen;
    double *tailIn = headOut + headLen;
    double *tailOut = tailIn + tailLen;

    extendHead(in, p, headLen, headIn);
    const double primed = in[0] * gainDC;
    for (int32_t j = 0; j < headLen; ++j) headOut[j] = primed;
    extendTail(in, n, p, d, tailIn);

    for (int32_t j = p; j < headLen; ++j) headOut[j] = recursionStep(num, den, headIn + j, headOut + j);
    for (int32_t t = 0; t < p; ++t) work[t] = headOut[d + p + t];

    for (int32_t t = p; t < n - d; ++t) work[t] = recursionStep(num, den, in + t + d, work + t);

    for (int32_t j = 0; j < p; ++j) tailOut[j] = work[n - p - d + j];
    for (int32_t j = p; j < tailLen; ++j) tailOut[j] = recursionStep(num, den, tailIn + j, tailOut + j);
    for (int32_t j = 0; j < d; ++j) work[n - d + j] = tailOut[p + j];

    std::free(scratch);
    return true;
}

}  // namespace tessivar::filter
