// Display filter bank of the front end: the coefficient catalogues and the
// selection that installs their records in every lead record.
//
// The display signal of a lead runs through up to three filters, base
// (high-pass), line (mains) and emg (low-pass), chosen by selection values
// (base_array, line_array, emg_array). Two catalogues map the values to
// constant coefficient records: one for 2000 Hz (set_filter2000) and one for
// every other rate (set_filter). A filter object keeps its record's name;
// the selection replaces an installed filter only when the name differs, so
// selecting the same choice again keeps the filters' state.
//
// Delays (samples, as the filter objects report them): FIR half the tap
// count, integer kind (numerator length - denominator length) / 2, IIR 0,
// the moving-average high-pass 0 because the selection sets it to 0.
//
// Integer-kind records (baseline high-passes and mains combs) all follow
// one rule of four numbers, centre c, spacing d, constant K and sign s:
//
//   N(z) = s + K z^-(c-d-1) + s(2K-2) z^-(c-1) + K z^-(c+d-1) + s z^-(2c-2)
//   D(z) = K (1 + s z^-d)^2
//
// The zeros of D on the unit circle (s = -1: multiples of fs/d, DC among
// them; s = +1: odd multiples of fs/(2d)) are double zeros of N too, so
// N/D is a linear-phase FIR of length 2(c-d)-1 whose response is
// 1 - (1 - cos((c-1)w)) / (K (1 + s cos(dw))): a notch at each of those
// frequencies (exact where K = ((c-1)/d)^2), unity gain between them. With
// d = 1 and s = -1 it is a high-pass (one minus a squared moving average of
// c-1 samples). The records are built from the rule table below at compile
// time.
#include "preprocess/ecg_filters.hpp"

#include <array>
#include <cstddef>
#include <cstring>

#include "common/log_macros.hpp"
#include "preprocess/ecg_fir_taps.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;

// ---- integer-kind records ------------------------------------------------

enum IntegerId : int {
    kInt1000Hpass03,
    kInt1000Hpass032,
    kInt1000Hpass06,
    kInt1000Hpass067,
    kInt1000HpassCry,
    kInt1000Comb50,
    kInt1000Comb50Hp03,
    kInt1000Comb50Hp06,
    kInt1000Comb60,
    kInt1000Comb60Hp03,
    kInt1000Comb60Hp06,
    kInt2000Hpass03,
    kInt2000Hpass06,
    kInt2000Comb50,
    kInt2000Comb50Hp03,
    kInt2000Comb50Hp06,
    kIntTrap50,
    kIntegerRecordCount
};

struct IntegerRule {
    IntegerId id;
    const char *name;
    int32_t c;  // centre position (1-based)
    int32_t d;  // spacing of the side taps, half the denominator length - 1
    double k;   // constant K
    double s;   // sign, +1 or -1
};

constexpr IntegerRule kIntegerRules[kIntegerRecordCount] = {
    // 1000 Hz catalogue
    {kInt1000Hpass03, "hpass 0.3", 1921, 1, 3686400, -1},
    {kInt1000Hpass032, "hpass 0.32", 1921, 1, 3686400, -1},
    {kInt1000Hpass06, "hpass 0.6", 961, 1, 921600, -1},
    {kInt1000Hpass067, "hpass 0.67", 873, 1, 760426, -1},
    {kInt1000HpassCry, "hpass cry", 855, 1, 729316, -1},
    {kInt1000Comb50, "comb 50", 961, 10, 9216, +1},
    {kInt1000Comb50Hp03, "comb 50 0.3", 1921, 20, 9216, -1},
    {kInt1000Comb50Hp06, "comb 50 0.6", 961, 20, 2304, -1},
    // The 60 Hz combs are laid out for 3000 steps per second: doLineFilter
    // steps "comb 60" three times per sample. The two with a high-pass run
    // once per sample (line values 61 and 62), which at 1000 Hz puts their
    // notches every 20 Hz and their corners at a third of their names.
    {kInt1000Comb60, "comb 60", 2851, 25, 12996, +1},
    {kInt1000Comb60Hp03, "comb 60 0.3", 5751, 50, 13225, -1},
    {kInt1000Comb60Hp06, "comb 60 0.6", 2851, 50, 3249, -1},
    // 2000 Hz catalogue
    {kInt2000Hpass03, "hpass 0.3", 3826, 1, 14631087, -1},
    {kInt2000Hpass06, "hpass 0.6", 1914, 1, 3658991, -1},
    {kInt2000Comb50, "comb 50", 1921, 20, 9216, +1},
    {kInt2000Comb50Hp03, "comb 50 0.3", 3841, 40, 9216, -1},
    {kInt2000Comb50Hp06, "comb 50 0.6", 1921, 40, 2304, -1},
    // Analysis chain, every rate: the taps of the 1000 Hz "comb 50 0.6".
    {kIntTrap50, "trap_50", 961, 20, 2304, -1},
};

struct IntegerTaps {
    IntegerFilterTap num[5];
    IntegerFilterTap den[3];
};

constexpr bool rulesInIdOrder()
{
    for (int i = 0; i < kIntegerRecordCount; ++i)
        if (kIntegerRules[i].id != i) return false;
    return true;
}
static_assert(rulesInIdOrder(), "integer rules must be listed in IntegerId order");

constexpr std::array<IntegerTaps, kIntegerRecordCount> makeIntegerTaps()
{
    std::array<IntegerTaps, kIntegerRecordCount> out{};
    for (int i = 0; i < kIntegerRecordCount; ++i) {
        const IntegerRule &r = kIntegerRules[i];
        out[i] = IntegerTaps{{{1, r.s}, {r.c - r.d, r.k}, {r.c, r.s * (2 * r.k - 2)}, {r.c + r.d, r.k}, {2 * r.c - 1, r.s}},
                             {{1, r.k}, {r.d + 1, r.s * 2 * r.k}, {2 * r.d + 1, r.k}}};
    }
    return out;
}
constexpr std::array<IntegerTaps, kIntegerRecordCount> kIntegerTaps = makeIntegerTaps();

constexpr std::array<IntegerFilterConf, kIntegerRecordCount> makeIntegerRecords()
{
    std::array<IntegerFilterConf, kIntegerRecordCount> out{};
    for (int i = 0; i < kIntegerRecordCount; ++i) {
        const IntegerRule &r = kIntegerRules[i];
        out[i] = IntegerFilterConf{SIGNAL_FILTER_INTEGER, r.name, nullptr, 1.0, kIntegerTaps[i].num, 2 * r.c - 1, 5,
                                   kIntegerTaps[i].den, 2 * r.d + 1, 3};
    }
    return out;
}
constexpr std::array<IntegerFilterConf, kIntegerRecordCount> kIntegerRecords = makeIntegerRecords();

constexpr const IntegerFilterConf *integerRecord(IntegerId id) { return &kIntegerRecords[id]; }

// ---- moving-average high-passes -------------------------------------------

// About 24 s of signal: the -3 dB corner is 0.01 Hz with the delay at 0.
constexpr AvgFilterConf kAvg1000Hpass001 = {SIGNAL_FILTER_AVG, "hpass 0.01", nullptr, 24025};
constexpr AvgFilterConf kAvg2000Hpass001 = {SIGNAL_FILTER_AVG, "hpass 0.01", nullptr, 48050};
constexpr AvgFilterConf kAvg2000Hp001 = {SIGNAL_FILTER_AVG, "hp 0.01", nullptr, 48050};

// ---- IIR records (b newest sample first; a[0] normalises) ------------------

template <size_t NB, size_t NA>
constexpr IirCombFilterConf iirRecord(const char *name, const double (&b)[NB], const double (&a)[NA])
{
    return IirCombFilterConf{SIGNAL_FILTER_IIR_COMB, name, nullptr, 1.0, b, int32_t(NB), a, int32_t(NA), 0};
}
template <size_t NB, size_t NA>
constexpr IirCombFilterConf iirRecord(const char *name, const std::array<double, NB> &b, const double (&a)[NA])
{
    return IirCombFilterConf{SIGNAL_FILTER_IIR_COMB, name, nullptr, 1.0, b.data(), int32_t(NB), a, int32_t(NA), 0};
}

constexpr double kB1000Hpass005[] = {1, -1, 0};
constexpr double kA1000Hpass005[] = {1, -0.999686634915953, 0};
constexpr double kB1000Hpass05[] = {0.9965441247124, -3.98617649885, 5.979264748275, -3.98617649885,
                                    0.9965441247124};
constexpr double kA1000Hpass05[] = {1, -3.993076282119, 5.979252805225, -3.979276715556, 0.9931001924989};
constexpr double kB1000TrapCry[] = {0.9953097096346, -1.89319157016, 0.9953097096346};
constexpr double kA1000TrapCry[] = {1, -1.89319157016, 0.9906194192693};
// The short low-passes are squared moving averages of L samples:
// (1 - z^-L)^2 / (a (1 - z^-1)^2), a close to L^2.
template <int L>
constexpr std::array<double, 2 * L + 1> squaredDifference()
{
    std::array<double, 2 * L + 1> b{};
    b[0] = 1;
    b[L] = -2;
    b[2 * L] = 1;
    return b;
}
constexpr std::array<double, 27> kB1000Lpass25 = squaredDifference<13>();
constexpr double kA1000Lpass25[] = {168.999725809056, -337.999451618111, 168.999725809056};
constexpr std::array<double, 19> kB1000Lpass35 = squaredDifference<9>();
constexpr double kA1000Lpass35[] = {81.3463140358184, -162.6926280716368, 81.3463140358184};
constexpr std::array<double, 15> kB1000Lpass45 = squaredDifference<7>();
constexpr double kA1000Lpass45[] = {49.2094986142605, -98.418997228521, 49.2094986142605};
constexpr std::array<double, 9> kB1000Lpass75 = squaredDifference<4>();
constexpr double kA1000Lpass75[] = {16.008529508969346, -32.01705901793869, 16.008529508969346};
constexpr double kB1000Lpass150[] = {1.1092, 0, -2.2184, 0, 1.1092};
constexpr double kA1000Lpass150[] = {4.428854875283447, -8.857709750566894, 4.428854875283447};

constexpr double kB2000Hpass005[] = {0.9999200768657, -0.9999200768657, 0};
constexpr double kA2000Hpass005[] = {1, -0.9998401537315, 0};
constexpr double kB2000Hpass032[] = {0.9992079974971, -1.998415994994, 0.9992079974971};
constexpr double kA2000Hpass032[] = {1, -1.998415367726, 0.9984166222623};
constexpr double kB2000Hpass05[] = {0.9982458665621, -2.994737599686, 2.994737599686, -0.9982458665621};
constexpr double kA2000Hpass05[] = {1, -2.996488653439, 2.99298346895, -0.9964948101084};
constexpr double kB2000Hpass067[] = {0.9972304124678, -3.988921649871, 5.983382474807, -3.988921649871,
                                     0.9972304124678};
constexpr double kA2000Hpass067[] = {1, -3.994453141853, 5.983374804202, -3.983390157879, 0.9944684955507};
constexpr double kB2000Trap60[] = {0.9949963396963, -5.864262252983, 14.50582596416, -19.27307590272,
                                   14.50582596416,  -5.864262252983, 0.9949963396963};
constexpr double kA2000Trap60[] = {1, -5.883897821942, 14.53006823151, -19.27302671618,
                                   14.4815586602, -5.844675870565, 0.9900177160091};
constexpr double kB2000Lpass600[] = {
    0.04856580460127, 0.9713160920254, 9.227502874241, 55.36501724545, 235.3013232931, 752.9642345381,
    1882.410586345,   3764.82117269,   6117.834405622, 8157.112540829, 8972.823794912, 8157.112540829,
    6117.834405622,   3764.82117269,   1882.410586345, 752.964234538,  235.3013232931, 55.36501724544,
    9.227502874241,   0.9713160920253, 0.04856580460127};
constexpr double kA2000Lpass600[] = {
    1,              14.20244702123, 96.15316221449, 412.5413802906, 1257.833034628,  2896.651636854,
    5227.133157306, 7567.909873651, 8927.325524505, 8664.020385575, 6955.033522683,  4625.772398236,
    2544.363026674, 1151.018639774, 424.034551526,  125.2487008656, 28.96481814318,  5.054042641972,
    0.6259352376371, 0.04905787860964, 0.001829871527642};

constexpr IirCombFilterConf kIir1000Hpass005 = iirRecord("hpass 0.05", kB1000Hpass005, kA1000Hpass005);
constexpr IirCombFilterConf kIir1000Hpass05 = iirRecord("hpass 0.5", kB1000Hpass05, kA1000Hpass05);
constexpr IirCombFilterConf kIir1000TrapCry = iirRecord("trap cry", kB1000TrapCry, kA1000TrapCry);
constexpr IirCombFilterConf kIir1000Lpass25 = iirRecord("lpass 25", kB1000Lpass25, kA1000Lpass25);
constexpr IirCombFilterConf kIir1000Lpass35 = iirRecord("lpass 35", kB1000Lpass35, kA1000Lpass35);
constexpr IirCombFilterConf kIir1000Lpass45 = iirRecord("lpass 45", kB1000Lpass45, kA1000Lpass45);
constexpr IirCombFilterConf kIir1000Lpass75 = iirRecord("lpass 75", kB1000Lpass75, kA1000Lpass75);
constexpr IirCombFilterConf kIir1000Lpass150 = iirRecord("lpass 150", kB1000Lpass150, kA1000Lpass150);
constexpr IirCombFilterConf kIir2000Hpass005 = iirRecord("hpass 0.05", kB2000Hpass005, kA2000Hpass005);
constexpr IirCombFilterConf kIir2000Hpass032 = iirRecord("hpass 0.32", kB2000Hpass032, kA2000Hpass032);
constexpr IirCombFilterConf kIir2000Hpass05 = iirRecord("hpass 0.5", kB2000Hpass05, kA2000Hpass05);
constexpr IirCombFilterConf kIir2000Hpass067 = iirRecord("hpass 0.67", kB2000Hpass067, kA2000Hpass067);
constexpr IirCombFilterConf kIir2000Trap60 = iirRecord("trap 60", kB2000Trap60, kA2000Trap60);
constexpr IirCombFilterConf kIir2000Lpass600 = iirRecord("lpass 600", kB2000Lpass600, kA2000Lpass600);

// The same low-passes as FIR filters for the safety profile. Numerator and
// denominator share the double zero at DC, so each record is exactly the
// squared moving average scale * (sum_{k<L} z^-k)^2 / a[0]: a triangle of
// 2L - 1 taps. As a FIR it primes to the signal's level (the recursive form
// with a denominator summing to almost 0 primes to 0 and keeps the offset)
// and reports its delay, L - 1 samples.
template <int L>
constexpr std::array<double, 2 * L - 1> squaredAverageTaps(double scale, double a0)
{
    std::array<double, 2 * L - 1> t{};
    for (int k = 0; k < 2 * L - 1; ++k) t[size_t(k)] = scale * double(k < L ? k + 1 : 2 * L - 1 - k) / a0;
    return t;
}
constexpr auto kSafeLpass25 = squaredAverageTaps<13>(1.0, kA1000Lpass25[0]);
constexpr auto kSafeLpass35 = squaredAverageTaps<9>(1.0, kA1000Lpass35[0]);
constexpr auto kSafeLpass45 = squaredAverageTaps<7>(1.0, kA1000Lpass45[0]);
constexpr auto kSafeLpass75 = squaredAverageTaps<4>(1.0, kA1000Lpass75[0]);
constexpr auto kSafeLpass150 = squaredAverageTaps<2>(kB1000Lpass150[0], kA1000Lpass150[0]);

// ---- FIR low-passes (tap tables in ecg_fir_taps.cpp) ------------------------

template <size_t N>
constexpr FirFilterConf firRecord(const char *name, const double (&taps)[N], double gain = 1.0)
{
    return FirFilterConf{SIGNAL_FILTER_FIR, name, nullptr, gain, taps, int32_t(N)};
}
template <size_t N>
constexpr FirFilterConf firRecord(const char *name, const std::array<double, N> &taps)
{
    return FirFilterConf{SIGNAL_FILTER_FIR, name, nullptr, 1.0, taps.data(), int32_t(N)};
}

const FirFilterConf kFir1000Rec20 = firRecord("lpass 20", kFir1000Lpass20);
const FirFilterConf kFir1000Rec42 = firRecord("lpass 42", kFir1000Lpass42);
const FirFilterConf kFir1000Rec100 = firRecord("lpass 100", kFir1000Lpass100);
const FirFilterConf kFir1000Rec250 = firRecord("lpass 250", kFir1000Lpass250);
const FirFilterConf kFir1000Rec270 = firRecord("lpass 270", kFir1000Lpass380);  // the "lpass 380" design
const FirFilterConf kFir1000Rec350 = firRecord("lpass 350", kFir1000Lpass350);
const FirFilterConf kFir1000Rec380 = firRecord("lpass 380", kFir1000Lpass380);
// The cry taps sum to -0.494262; the gain brings the DC gain back to 1.
const FirFilterConf kFir1000RecCry = firRecord("lpass cry", kFir1000LpassCry, -2.02322);
const FirFilterConf kFir2000Rec20 = firRecord("lpass 20", kFir2000Lpass20);
const FirFilterConf kFir2000Rec25 = firRecord("lpass 25", kFir2000Lpass25);
const FirFilterConf kFir2000Rec35 = firRecord("lpass 35", kFir2000Lpass35);
const FirFilterConf kFir2000Rec42 = firRecord("lpass 42", kFir2000Lpass42);
const FirFilterConf kFir2000Rec45 = firRecord("lpass 45", kFir2000Lpass45);
const FirFilterConf kFir2000Rec75 = firRecord("lpass 75", kFir2000Lpass75);
const FirFilterConf kFir2000Rec100 = firRecord("lpass 100", kFir2000Lpass100);
const FirFilterConf kFir2000Rec150 = firRecord("lpass 150", kFir2000Lpass150);
const FirFilterConf kFir2000Rec250 = firRecord("lpass 250", kFir2000Lpass250);
const FirFilterConf kFir2000Rec270 = firRecord("lpass 270", kFir2000Lpass270);
const FirFilterConf kFir2000Rec350 = firRecord("lpass 350", kFir2000Lpass350);
const FirFilterConf kFir2000Rec380 = firRecord("lpass 380", kFir2000Lpass380);
const FirFilterConf kFir2000Rec550 = firRecord("lpass 550", kFir2000Lpass550);

constexpr FirFilterConf kSafeFir25 = firRecord("lpass 25 fir", kSafeLpass25);
constexpr FirFilterConf kSafeFir35 = firRecord("lpass 35 fir", kSafeLpass35);
constexpr FirFilterConf kSafeFir45 = firRecord("lpass 45 fir", kSafeLpass45);
constexpr FirFilterConf kSafeFir75 = firRecord("lpass 75 fir", kSafeLpass75);
constexpr FirFilterConf kSafeFir150 = firRecord("lpass 150 fir", kSafeLpass150);

struct SafeSubstitute {
    const void *record;
    const void *safe;
};
constexpr SafeSubstitute kSafeSubstitutes[] = {
    {&kIir1000Lpass25, &kSafeFir25}, {&kIir1000Lpass35, &kSafeFir35},   {&kIir1000Lpass45, &kSafeFir45},
    {&kIir1000Lpass75, &kSafeFir75}, {&kIir1000Lpass150, &kSafeFir150},
};

// ---- catalogues ------------------------------------------------------------

struct CatalogueEntry {
    int slot;
    int32_t value;
    const void *record;  // a kind record; every kind begins like SignalFilterConf
};

const CatalogueEntry kEntries1000[] = {
    {kBase, 10, &kAvg1000Hpass001},
    {kBase, 50, &kIir1000Hpass005},
    {kBase, 300, integerRecord(kInt1000Hpass03)},
    {kBase, 320, integerRecord(kInt1000Hpass032)},
    {kBase, 500, &kIir1000Hpass05},
    {kBase, 600, integerRecord(kInt1000Hpass06)},
    {kBase, 1000, integerRecord(kInt1000Hpass067)},
    {kBase, 2222, integerRecord(kInt1000HpassCry)},
    {kLine, 50, integerRecord(kInt1000Comb50)},
    {kLine, 51, integerRecord(kInt1000Comb50Hp03)},
    {kLine, 52, integerRecord(kInt1000Comb50Hp06)},
    {kLine, 60, integerRecord(kInt1000Comb60)},
    {kLine, 61, integerRecord(kInt1000Comb60Hp03)},
    {kLine, 62, integerRecord(kInt1000Comb60Hp06)},
    {kLine, 2222, &kIir1000TrapCry},
    {kEmg, 20, &kFir1000Rec20},
    {kEmg, 25, &kIir1000Lpass25},
    {kEmg, 35, &kIir1000Lpass35},
    {kEmg, 40, &kFir1000Rec42},
    {kEmg, 45, &kIir1000Lpass45},
    {kEmg, 75, &kIir1000Lpass75},
    {kEmg, 100, &kFir1000Rec100},
    {kEmg, 150, &kIir1000Lpass150},
    {kEmg, 250, &kFir1000Rec250},
    {kEmg, 270, &kFir1000Rec270},
    {kEmg, 350, &kFir1000Rec350},
    {kEmg, 380, &kFir1000Rec380},
    {kEmg, 2222, &kFir1000RecCry},
};

const CatalogueEntry kEntries2000[] = {
    {kBase, 10, &kAvg2000Hpass001},
    {kBase, 50, &kIir2000Hpass005},
    {kBase, 300, integerRecord(kInt2000Hpass03)},
    {kBase, 320, &kIir2000Hpass032},
    {kBase, 500, &kIir2000Hpass05},
    {kBase, 600, integerRecord(kInt2000Hpass06)},
    {kBase, 1000, &kIir2000Hpass067},
    {kLine, 50, integerRecord(kInt2000Comb50)},
    {kLine, 51, integerRecord(kInt2000Comb50Hp03)},
    {kLine, 52, integerRecord(kInt2000Comb50Hp06)},
    {kLine, 60, &kIir2000Trap60},
    {kEmg, 20, &kFir2000Rec20},
    {kEmg, 25, &kFir2000Rec25},
    {kEmg, 35, &kFir2000Rec35},
    {kEmg, 40, &kFir2000Rec42},
    {kEmg, 45, &kFir2000Rec45},
    {kEmg, 75, &kFir2000Rec75},
    {kEmg, 100, &kFir2000Rec100},
    {kEmg, 150, &kFir2000Rec150},
    {kEmg, 250, &kFir2000Rec250},
    {kEmg, 270, &kFir2000Rec270},
    {kEmg, 350, &kFir2000Rec350},
    {kEmg, 380, &kFir2000Rec380},
    // Not reachable through emg_array, which has no "550".
    {kEmg, 550, &kFir2000Rec550},
    {kEmg, 600, &kIir2000Lpass600},
};

struct Catalogue {
    FilterCatalogue id;
    const char *function;          // the selection function, for its log lines
    const CatalogueEntry *entries;
    size_t count;
    bool combine60;                // line 60 absorbs the base like line 50
    bool emg600Unneeded;           // emg 600 means no low-pass, with a warning
};

const Catalogue kCatalogues[kFilterCatalogues] = {
    {kCatalogue1000, "set_filter", kEntries1000, sizeof kEntries1000 / sizeof kEntries1000[0], true, true},
    {kCatalogue2000, "set_filter2000", kEntries2000, sizeof kEntries2000 / sizeof kEntries2000[0], false, false},
};

const SignalFilterConf *asConf(const void *record) { return static_cast<const SignalFilterConf *>(record); }

const SignalFilterConf *findRecord(const Catalogue &cat, int slot, int32_t value)
{
    for (size_t i = 0; i < cat.count; ++i)
        if (cat.entries[i].slot == slot && cat.entries[i].value == value) return asConf(cat.entries[i].record);
    return nullptr;
}

// The record the safety profile installs instead (the record itself when it
// has no substitute).
const SignalFilterConf *safeRecord(const SignalFilterConf *record)
{
    for (const SafeSubstitute &sub : kSafeSubstitutes)
        if (sub.record == record) return asConf(sub.safe);
    return record;
}

bool sameName(const SignalFilter *filter, const char *name)
{
    return filter != nullptr && filter->name != nullptr && std::strcmp(filter->name, name) == 0;
}

// Log lines of the selection carry the name of the selection function
// (set_filter or set_filter2000) rather than that of this shared body.
#define TV_LOG_AS(function, level, ...) __print_log((function), __LINE__, (level), kTag, __VA_ARGS__)

int selectFilters(Monitor &m, const Catalogue &cat, int32_t base, int32_t line, int32_t emg)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOG_AS(cat.function, LOG_LEVEL_TRACE, ":%d-%d-%d", base, line, emg);

    // A baseline choice that a comb with its own high-pass covers goes into
    // the line slot.
    if (line == 50 || (cat.combine60 && line == 60)) {
        if (base == 600 || base == 1000) {
            base = 0;
            line += 2;
        } else if (base == 300 || base == 320) {
            base = 0;
            line += 1;
        }
    }

    const SignalFilterConf **last = m.selection.last_filt_array[cat.id];
    const int32_t values[kChainSlots] = {base, line, emg};
    const int32_t current[kChainSlots] = {st.curBase, st.curLine, st.curEmg};
    int32_t reported[kChainSlots] = {base, line, emg};
    const SignalFilterConf *chosen[kChainSlots] = {};
    for (int k = 0; k < kChainSlots; ++k) {
        if (values[k] == 0) continue;
        if (cat.emg600Unneeded && k == kEmg && values[k] == 600) {
            TV_LOG_AS(cat.function, LOG_LEVEL_WARN, "1000 Hz 采样率无需600Hz滤波");
            continue;
        }
        chosen[k] = findRecord(cat, k, values[k]);
        if (chosen[k] == nullptr) {
            // "auto", a name missing from its table (-1) or a value this
            // catalogue lacks: the slot keeps what this catalogue chose last.
            TV_LOG_AS(cat.function, LOG_LEVEL_ERROR, "%s enter_default!\n", cat.function);
            chosen[k] = last[k];
            // The safety profile tells the host what the slot still runs
            // rather than the name it could not follow.
            if (m.safe.on != 0) reported[k] = current[k];
        } else if (m.safe.on != 0) {
            chosen[k] = safeRecord(chosen[k]);
        }
    }

    TV_LOG_AS(cat.function, LOG_LEVEL_WARN, "current_filt_array:");
    for (int k = 0; k < kChainSlots; ++k) {
        const SignalFilterConf *rec = chosen[k];
        if (rec != nullptr)
            TV_LOG_AS(cat.function, LOG_LEVEL_WARN, "\t[%d]:%s", k, rec->name);
        else
            TV_LOG_AS(cat.function, LOG_LEVEL_WARN, "\t[%d]:NULL", k);
        for (int32_t i = 0; st.leadBuffs != nullptr && i < st.leadBufCount; ++i) {
            SignalFilter *&f = st.leadBuffs[i].dispFilter[k];
            if (rec == nullptr) {
                if (f != nullptr) delSignalFilter(&f);
                continue;
            }
            if (!sameName(f, rec->name)) {
                if (f != nullptr) delSignalFilter(&f);
                f = newSignalFilter(rec);  // on failure the slot stays empty in this lead
                if (f != nullptr) initSignalFilter(f);
            }
            // The moving-average high-pass runs without delay compensation.
            if (sameName(f, "hpass 0.01")) setSignalFilterDelay(f, 0);
        }
    }

    if (std::memcmp(chosen, last, sizeof chosen) != 0) {
        std::memcpy(last, chosen, sizeof chosen);
        reportCurFilterSetting(m, reported[kBase], reported[kLine], reported[kEmg]);
    }
    return 0;
}

#undef TV_LOG_AS

// The 60 Hz comb at 1000 Hz is stepped three times per sample with the same
// input; the mean of the three outputs is the sample. Its notches then lie
// at 60, 180, ... Hz (the harmonics only shallow: the held input and the
// mean let their images through). The delay it reports counts steps.
double do_60_comb_filt(SignalFilter *filter, double x)
{
    const double a = doSignalFilter(filter, x);
    const double b = doSignalFilter(filter, x);
    const double c = doSignalFilter(filter, x);
    return (a + b + c) / 3.0;
}

}  // namespace

const SignalFilterConf *catalogueRecord(int catalogue, int slot, int32_t value)
{
    if (catalogue != kCatalogue1000 && catalogue != kCatalogue2000) return nullptr;
    return findRecord(kCatalogues[catalogue], slot, value);
}

const SignalFilterConf *extraHighPassConf(int32_t fs)
{
    return asConf(fs == 2000 ? static_cast<const void *>(&kAvg2000Hp001) : &kAvg1000Hpass001);
}

const SignalFilterConf *analysisLineFilterConf() { return asConf(integerRecord(kIntTrap50)); }

int _ecgPreprocessSetFilter(Monitor &m, const char *base, const char *line, const char *emg)
{
    // A missing name gives -1, which the selection treats like any value it
    // does not know: the slot keeps its filter.
    const int32_t b = get_value_by_name(base_array, base);
    const int32_t l = get_value_by_name(line_array, line);
    const int32_t e = get_value_by_name(emg_array, emg);
    if (m.g_ecgPreprocess.fs == 2000)
        set_filter2000(m, b, l, e);
    else
        set_filter(m, b, l, e);
    updateExtra001Filter(m);
    _update_all_delay(m);
    return 0;
}

int set_filter(Monitor &m, int32_t base, int32_t line, int32_t emg)
{
    return selectFilters(m, kCatalogues[kCatalogue1000], base, line, emg);
}

int set_filter2000(Monitor &m, int32_t base, int32_t line, int32_t emg)
{
    return selectFilters(m, kCatalogues[kCatalogue2000], base, line, emg);
}

int set_mode(Monitor &m, int32_t mode)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", mode);
    // Both directions use the 1000 Hz catalogue whatever the rate: only it
    // has cry records. The extra high-pass and the delays stay as they are
    // until the next selection by name.
    if (m.safe.on != 0) return setModeSafe(m, mode);
    if (mode == 1) {
        st.savedBase = st.curBase;
        st.savedLine = st.curLine;
        st.savedEmg = st.curEmg;
        set_filter(m, 2222, 2222, 2222);
    } else {
        set_filter(m, st.savedBase, st.savedLine, st.savedEmg);
    }
    return 0;
}

int setModeSafe(Monitor &m, int32_t mode)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const bool fs2000 = st.fs == 2000;
    if (mode == 1) {
        st.savedBase = st.curBase;
        st.savedLine = st.curLine;
        st.savedEmg = st.curEmg;
        // Only the 1000 Hz catalogue has cry records. At 2000 Hz the nearest
        // choice of the 2000 Hz catalogue stands in (0.67 Hz high-pass, the
        // 50 Hz comb the cry notch is, 40 Hz low-pass), reported by name.
        if (fs2000)
            set_filter2000(m, 1000, 50, 40);
        else
            set_filter(m, 2222, 2222, 2222);
    } else if (fs2000) {
        set_filter2000(m, st.savedBase, st.savedLine, st.savedEmg);
    } else {
        set_filter(m, st.savedBase, st.savedLine, st.savedEmg);
    }
    // The extra high-pass and the delays follow the records now installed.
    updateExtra001Filter(m);
    _update_all_delay(m);
    return 0;
}

int updateExtra001Filter(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    bool integerKind = false;
    if (st.leadBuffs != nullptr && st.leadBufCount > 0)
        for (SignalFilter *f : st.leadBuffs[0].dispFilter)
            integerKind = integerKind || (f != nullptr && f->type == SIGNAL_FILTER_INTEGER);

    const SignalFilterConf *record = extraHighPassConf(st.fs);
    for (int32_t i = 0; st.leadBuffs != nullptr && i < st.leadBufCount; ++i) {
        SignalFilter *&extra = st.leadBuffs[i].extraFilter;
        if (!integerKind) {
            if (extra != nullptr) delSignalFilter(&extra);
            continue;
        }
        if (extra == nullptr)
            extra = newSignalFilter(record);
        else
            initSignalFilter(extra);
        if (extra != nullptr) setSignalFilterDelay(extra, 0);
    }
    if (integerKind)
        TV_LOGT(kTag, "extra 0.01 Hz hp filter add");
    else
        TV_LOGT(kTag, "extra 0.01 Hz hp filter delete");
    st.extraDelay = 0;
    return 0;
}

bool tripleStepped(const Monitor &m, const SignalFilter *filter)
{
    if (filter == nullptr || m.g_ecgPreprocess.fs != 1000) return false;
    // The safety profile goes by the record installed: every 60 Hz comb of
    // the 1000 Hz catalogue is laid out for 3000 steps per second, also the
    // two with a high-pass, and also when the host's last line name was one
    // the selection could not follow.
    if (m.safe.on != 0) return filter->name != nullptr && std::strncmp(filter->name, "comb 60", 7) == 0;
    return m.g_ecgPreprocess.curLine == 60;
}

double doLineFilter(const Monitor &m, SignalFilter *filter, double x)
{
    if (filter == nullptr) return x;
    if (tripleStepped(m, filter)) return do_60_comb_filt(filter, x);
    return doSignalFilter(filter, x);
}

double doAllFilter(const Monitor &m, SignalFilter *const chain[kChainSlots], double x)
{
    if (chain[kBase] != nullptr) x = doSignalFilter(chain[kBase], x);
    x = doLineFilter(m, chain[kLine], x);
    if (chain[kEmg] != nullptr) x = doSignalFilter(chain[kEmg], x);
    return x;
}

double doAnalysisFilter(SignalFilter *const chain[kChainSlots], double x)
{
    // The analysis comb is laid out for 1000 steps per second whatever the
    // display's line choice: one step per sample.
    for (int k = 0; k < kChainSlots; ++k)
        if (chain[k] != nullptr) x = doSignalFilter(chain[k], x);
    return x;
}

}  // namespace tessivar
