#!/usr/bin/python3
"""Frequency responses of the display filter records, measured and drawn.

Independent of the C++ code: every record's impulse response is derived here
from its own description (the integer-kind rule table, the listed IIR
coefficients, the committed FIR tap tables read from
src/preprocess/ecg_fir_taps.cpp, the moving-average window), and its
magnitude response is measured with scipy.signal.freqz. Each record is
checked against what its name promises:

  "lpass F"        DC gain 1, -3 dB corner near F, attenuation past it
  "hpass F", "hp"  no DC, -3 dB corner near F, flat 5 ... 40 Hz
  "comb 50/60 ..." notches at the mains frequency and its harmonics (odd ones
                   for the plain combs, all of them and DC for the combs with
                   a high-pass), flat in between, the high-pass corner named
  "trap ..."       a notch at the mains frequency, flat elsewhere

Records are measured as the front end runs them: the moving-average
high-pass with its delay set to 0, and the 1000 Hz "comb 60" stepped three
times per sample (three identical inputs, the mean of the three outputs,
which makes it an FIR at 1000 Hz with the comb working at 3000 Hz). The
other 1000 Hz 60 Hz combs ("comb 60 0.3", "comb 60 0.6") are stepped once
per sample; they are checked at the 3000 Hz rate they are laid out for and
their response at 1000 Hz is listed as well.

Writes
  docs/filters.svg                        magnitude responses, by rate and slot
  docs/filter_responses.txt               the measurements and checks
  tests/data/preprocess/filter_bank_gains.txt
                                          |H(f)| of each record's impulse
                                          response at a few frequencies, the
                                          reference of the C++ record test

and exits with status 1 when a record does not keep its name's promise.
Regenerate with

    /usr/bin/python3 tools/filter_responses.py
"""
import math
import os
import re
import sys

import numpy as np
from scipy import optimize, signal

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE, LINE, EMG = 0, 1, 2
SLOT_NAMES = ("base", "line", "emg")

# ---- record descriptions ----------------------------------------------------

# Integer kind: centre c, spacing d, constant K, sign s. Numerator length
# 2c-1 with taps (1, s), (c-d, K), (c, s(2K-2)), (c+d, K), (2c-1, s);
# denominator length 2d+1 with taps (1, K), (d+1, 2sK), (2d+1, K).
INTEGER = {
    (1000, "hpass 0.3"): (1921, 1, 3686400, -1),
    (1000, "hpass 0.32"): (1921, 1, 3686400, -1),
    (1000, "hpass 0.6"): (961, 1, 921600, -1),
    (1000, "hpass 0.67"): (873, 1, 760426, -1),
    (1000, "hpass cry"): (855, 1, 729316, -1),
    (1000, "comb 50"): (961, 10, 9216, 1),
    (1000, "comb 50 0.3"): (1921, 20, 9216, -1),
    (1000, "comb 50 0.6"): (961, 20, 2304, -1),
    (1000, "comb 60"): (2851, 25, 12996, 1),
    (1000, "comb 60 0.3"): (5751, 50, 13225, -1),
    (1000, "comb 60 0.6"): (2851, 50, 3249, -1),
    (2000, "hpass 0.3"): (3826, 1, 14631087, -1),
    (2000, "hpass 0.6"): (1914, 1, 3658991, -1),
    (2000, "comb 50"): (1921, 20, 9216, 1),
    (2000, "comb 50 0.3"): (3841, 40, 9216, -1),
    (2000, "comb 50 0.6"): (1921, 40, 2304, -1),
    (1000, "trap_50"): (961, 20, 2304, -1),
}


def squared_difference(length):
    b = [0.0] * (2 * length + 1)
    b[0], b[length], b[2 * length] = 1.0, -2.0, 1.0
    return b


IIR = {
    (1000, "hpass 0.05"): ([1, -1, 0], [1, -0.999686634915953, 0]),
    (1000, "hpass 0.5"): ([0.9965441247124, -3.98617649885, 5.979264748275, -3.98617649885, 0.9965441247124],
                          [1, -3.993076282119, 5.979252805225, -3.979276715556, 0.9931001924989]),
    (1000, "trap cry"): ([0.9953097096346, -1.89319157016, 0.9953097096346],
                         [1, -1.89319157016, 0.9906194192693]),
    (1000, "lpass 25"): (squared_difference(13), [168.999725809056, -337.999451618111, 168.999725809056]),
    (1000, "lpass 35"): (squared_difference(9), [81.3463140358184, -162.6926280716368, 81.3463140358184]),
    (1000, "lpass 45"): (squared_difference(7), [49.2094986142605, -98.418997228521, 49.2094986142605]),
    (1000, "lpass 75"): (squared_difference(4), [16.008529508969346, -32.01705901793869, 16.008529508969346]),
    (1000, "lpass 150"): ([1.1092, 0, -2.2184, 0, 1.1092],
                          [4.428854875283447, -8.857709750566894, 4.428854875283447]),
    (2000, "hpass 0.05"): ([0.9999200768657, -0.9999200768657, 0], [1, -0.9998401537315, 0]),
    (2000, "hpass 0.32"): ([0.9992079974971, -1.998415994994, 0.9992079974971],
                           [1, -1.998415367726, 0.9984166222623]),
    (2000, "hpass 0.5"): ([0.9982458665621, -2.994737599686, 2.994737599686, -0.9982458665621],
                          [1, -2.996488653439, 2.99298346895, -0.9964948101084]),
    (2000, "hpass 0.67"): ([0.9972304124678, -3.988921649871, 5.983382474807, -3.988921649871, 0.9972304124678],
                           [1, -3.994453141853, 5.983374804202, -3.983390157879, 0.9944684955507]),
    (2000, "trap 60"): ([0.9949963396963, -5.864262252983, 14.50582596416, -19.27307590272, 14.50582596416,
                         -5.864262252983, 0.9949963396963],
                        [1, -5.883897821942, 14.53006823151, -19.27302671618, 14.4815586602, -5.844675870565,
                         0.9900177160091]),
    (2000, "lpass 600"): ([0.04856580460127, 0.9713160920254, 9.227502874241, 55.36501724545, 235.3013232931,
                           752.9642345381, 1882.410586345, 3764.82117269, 6117.834405622, 8157.112540829,
                           8972.823794912, 8157.112540829, 6117.834405622, 3764.82117269, 1882.410586345,
                           752.964234538, 235.3013232931, 55.36501724544, 9.227502874241, 0.9713160920253,
                           0.04856580460127],
                          [1, 14.20244702123, 96.15316221449, 412.5413802906, 1257.833034628, 2896.651636854,
                           5227.133157306, 7567.909873651, 8927.325524505, 8664.020385575, 6955.033522683,
                           4625.772398236, 2544.363026674, 1151.018639774, 424.034551526, 125.2487008656,
                           28.96481814318, 5.054042641972, 0.6259352376371, 0.04905787860964,
                           0.001829871527642]),
}

# FIR records: the committed tap table and the record gain.
FIR = {
    (1000, "lpass 20"): ("kFir1000Lpass20", 1.0),
    (1000, "lpass 42"): ("kFir1000Lpass42", 1.0),
    (1000, "lpass 100"): ("kFir1000Lpass100", 1.0),
    (1000, "lpass 250"): ("kFir1000Lpass250", 1.0),
    (1000, "lpass 270"): ("kFir1000Lpass380", 1.0),
    (1000, "lpass 350"): ("kFir1000Lpass350", 1.0),
    (1000, "lpass 380"): ("kFir1000Lpass380", 1.0),
    (1000, "lpass cry"): ("kFir1000LpassCry", -2.02322),
    (2000, "lpass 20"): ("kFir2000Lpass20", 1.0),
    (2000, "lpass 25"): ("kFir2000Lpass25", 1.0),
    (2000, "lpass 35"): ("kFir2000Lpass35", 1.0),
    (2000, "lpass 42"): ("kFir2000Lpass42", 1.0),
    (2000, "lpass 45"): ("kFir2000Lpass45", 1.0),
    (2000, "lpass 75"): ("kFir2000Lpass75", 1.0),
    (2000, "lpass 100"): ("kFir2000Lpass100", 1.0),
    (2000, "lpass 150"): ("kFir2000Lpass150", 1.0),
    (2000, "lpass 250"): ("kFir2000Lpass250", 1.0),
    (2000, "lpass 270"): ("kFir2000Lpass270", 1.0),
    (2000, "lpass 350"): ("kFir2000Lpass350", 1.0),
    (2000, "lpass 380"): ("kFir2000Lpass380", 1.0),
    (2000, "lpass 550"): ("kFir2000Lpass550", 1.0),
}

# Moving-average high-passes: window length.
AVG = {
    (1000, "hpass 0.01"): 24025,
    (2000, "hpass 0.01"): 48050,
    (2000, "hp 0.01"): 48050,
}

# (rate, slot, value, record name, delay in samples)
CATALOGUE = [
    (1000, BASE, 10, "hpass 0.01", 0), (1000, BASE, 50, "hpass 0.05", 0), (1000, BASE, 300, "hpass 0.3", 1919),
    (1000, BASE, 320, "hpass 0.32", 1919), (1000, BASE, 500, "hpass 0.5", 0), (1000, BASE, 600, "hpass 0.6", 959),
    (1000, BASE, 1000, "hpass 0.67", 871), (1000, BASE, 2222, "hpass cry", 853),
    (1000, LINE, 50, "comb 50", 950), (1000, LINE, 51, "comb 50 0.3", 1900), (1000, LINE, 52, "comb 50 0.6", 940),
    (1000, LINE, 60, "comb 60", 2825), (1000, LINE, 61, "comb 60 0.3", 5700), (1000, LINE, 62, "comb 60 0.6", 2800),
    (1000, LINE, 2222, "trap cry", 0),
    (1000, EMG, 20, "lpass 20", 56), (1000, EMG, 25, "lpass 25", 0), (1000, EMG, 35, "lpass 35", 0),
    (1000, EMG, 40, "lpass 42", 56), (1000, EMG, 45, "lpass 45", 0), (1000, EMG, 75, "lpass 75", 0),
    (1000, EMG, 100, "lpass 100", 43), (1000, EMG, 150, "lpass 150", 0), (1000, EMG, 250, "lpass 250", 56),
    (1000, EMG, 270, "lpass 270", 56), (1000, EMG, 350, "lpass 350", 56), (1000, EMG, 380, "lpass 380", 56),
    (1000, EMG, 2222, "lpass cry", 65),
    (2000, BASE, 10, "hpass 0.01", 0), (2000, BASE, 50, "hpass 0.05", 0), (2000, BASE, 300, "hpass 0.3", 3824),
    (2000, BASE, 320, "hpass 0.32", 0), (2000, BASE, 500, "hpass 0.5", 0), (2000, BASE, 600, "hpass 0.6", 1912),
    (2000, BASE, 1000, "hpass 0.67", 0),
    (2000, LINE, 50, "comb 50", 1900), (2000, LINE, 51, "comb 50 0.3", 3800), (2000, LINE, 52, "comb 50 0.6", 1880),
    (2000, LINE, 60, "trap 60", 0),
    (2000, EMG, 20, "lpass 20", 112), (2000, EMG, 25, "lpass 25", 112), (2000, EMG, 35, "lpass 35", 112),
    (2000, EMG, 40, "lpass 42", 112), (2000, EMG, 45, "lpass 45", 112), (2000, EMG, 75, "lpass 75", 112),
    (2000, EMG, 100, "lpass 100", 112), (2000, EMG, 150, "lpass 150", 112), (2000, EMG, 250, "lpass 250", 112),
    (2000, EMG, 270, "lpass 270", 112), (2000, EMG, 350, "lpass 350", 4), (2000, EMG, 380, "lpass 380", 112),
    (2000, EMG, 550, "lpass 550", 20), (2000, EMG, 600, "lpass 600", 0),
]
# Records outside the catalogues: (rate, slot, name); slot -1 for the extra
# high-pass, the analysis comb runs at 1000 Hz at every rate.
EXTRA = [(1000, -1, "hpass 0.01"), (2000, -1, "hp 0.01"), (1000, -2, "trap_50")]


def read_fir_tables():
    text = open(os.path.join(ROOT, "src", "preprocess", "ecg_fir_taps.cpp")).read()
    tables = {}
    for m in re.finditer(r"const double (\w+)\[(\d+)\] = \{([^}]*)\};", text):
        values = [float(v) for v in m.group(3).replace("\n", " ").split(",") if v.strip()]
        if len(values) != int(m.group(2)):
            sys.exit(f"{m.group(1)}: {len(values)} values for {m.group(2)} taps")
        tables[m.group(1)] = np.array(values)
    return tables


FIR_TABLES = read_fir_tables()

# ---- impulse responses --------------------------------------------------------


def integer_polynomials(c, d, k, s):
    num = np.zeros(2 * c - 1, dtype=np.int64)
    num[0], num[c - d - 1], num[c - 1], num[c + d - 1], num[2 * c - 2] = s, k, s * (2 * k - 2), k, s
    den = np.zeros(2 * d + 1, dtype=np.int64)
    den[0], den[d], den[2 * d] = k, 2 * s * k, k
    return num, den


def integer_ir(c, d, k, s):
    """N(z) / D(z) by exact integer long division by (1 + s z^-d)^2, then / K.

    The division leaves no remainder: the record is an FIR of length
    2(c-d)-1, symmetric about c-d-1."""
    num, _ = integer_polynomials(c, d, k, s)
    rem = num.copy()
    n_q = len(num) - 2 * d
    q = np.zeros(n_q, dtype=np.int64)
    for n in range(n_q):
        q[n] = rem[n]
        rem[n + d] -= 2 * s * q[n]
        rem[n + 2 * d] -= q[n]
    if np.any(rem[n_q:] != 0):
        raise ValueError(f"integer record c={c} d={d}: the denominator does not divide the numerator")
    if np.any(q != q[::-1]):
        raise ValueError(f"integer record c={c} d={d}: not symmetric")
    return q / float(k)


def iir_length(fs):
    return 1 << (17 if fs == 1000 else 18)


def record_ir(rate, name):
    key = (rate, name)
    if key in INTEGER:
        return integer_ir(*INTEGER[key])
    if key in FIR:
        table, gain = FIR[key]
        return FIR_TABLES[table] * gain
    if key in AVG:
        n = AVG[key]
        h = np.full(n, -1.0 / n)
        h[0] += 1.0  # y[n] = x[n] - mean of the last n inputs: the delay set to 0
        return h
    b, a = IIR[key]
    double_pole = np.asarray(a) / a[0]
    if len(a) == 3 and np.allclose(double_pole, [1.0, -2.0, 1.0], rtol=0, atol=1e-13):
        # A double pole at DC (to the listing's precision) over a numerator
        # with a double zero there: the record is an FIR, b / (1 - z^-1)^2 / a0.
        q, r = np.polydiv(np.asarray(b, dtype=float), [1.0, -2.0, 1.0])
        if np.max(np.abs(r)) > 1e-9:
            raise ValueError(f"{rate} Hz {name}: (1 - z^-1)^2 does not divide the numerator")
        return q / a[0]
    impulse = np.zeros(iir_length(rate))
    impulse[0] = 1.0
    h = signal.lfilter(b, a, impulse)
    # The decaying tail is cut where it falls below 1e-13 of the peak.
    keep = np.nonzero(np.abs(h) > 1e-13 * np.max(np.abs(h)))[0][-1] + 1
    if keep == len(h):
        raise ValueError(f"{rate} Hz {name}: the impulse response does not decay")
    return h[:keep]


def triple_step_ir(h):
    """The filter h stepped three times per input sample with that sample,
    the mean of the three outputs taken: y[m] = sum_k (3-|k|)/3 h[3m+k]."""
    padded = np.concatenate([np.zeros(2), h, np.zeros(4)])
    m = np.arange((len(h) + 2) // 3 + 1)
    g = np.zeros(len(m))
    for k in range(-2, 3):
        g += (3 - abs(k)) / 3.0 * padded[3 * m + k + 2]
    return g


def as_run_ir(rate, name):
    h = record_ir(rate, name)
    if rate == 1000 and name == "comb 60":
        return triple_step_ir(h)
    return h


# ---- measurements -------------------------------------------------------------


def gain(h, fs, f):
    """|H(f)| of the impulse response h: freqz at the frequencies themselves
    for a few of them, a zero-padded FFT read off by interpolation for dense
    grids of long responses (plots and scans; brentq refines on freqz)."""
    f = np.atleast_1d(np.asarray(f, dtype=float))
    if len(f) * len(h) <= 4_000_000:
        _, resp = signal.freqz(h, 1, worN=f, fs=fs)
        return np.abs(resp)
    m = 1 << max(16, int(math.ceil(math.log2(len(h)))) + 1)
    positive = f[f > 0]
    if len(positive):
        m = max(m, 1 << int(math.ceil(math.log2(4 * fs / positive.min()))))
    m = min(m, 1 << 22)
    magnitude = np.abs(np.fft.rfft(h, m))
    return np.interp(f, np.arange(len(magnitude)) * fs / m, magnitude)


def db(x):
    return 20.0 * np.log10(np.maximum(x, 1e-300))


def crossing(h, fs, lo, hi, level=1 / math.sqrt(2)):
    """A frequency in (lo, hi) where |H| passes level (scanned, then refined)."""
    grid = np.geomspace(lo, hi, 400) if lo > 0 else np.linspace(lo, hi, 400)
    g = gain(h, fs, grid) - level
    idx = np.nonzero(np.sign(g[:-1]) != np.sign(g[1:]))[0]
    if len(idx) == 0:
        return None
    i = idx[0]
    return optimize.brentq(lambda f: gain(h, fs, f)[0] - level, grid[i], grid[i + 1], xtol=1e-6)


def cutoff_of(name):
    m = re.search(r"(\d+(?:\.\d+)?)", name)
    return float(m.group(1)) if m else None


# Promises the listed coefficients do not keep, with the reason.
KNOWN = {
    ('2000 Hz "lpass 600"', "stopband"):
        "The 20-fold zero at 1000 Hz of this direct-form record is scattered by the rounding of its listed"
        " coefficients (b(-1) and a(-1) are both about 8e-10): the gain rises again above 850 Hz.",
}


class Report:
    def __init__(self):
        self.lines = []
        self.failures = []
        self.known = []

    def add(self, text):
        self.lines.append(text)

    def check(self, ok, label, detail, what=None):
        known = KNOWN.get((label, what)) if not ok else None
        self.lines.append(f"    [{'ok' if ok else 'known' if known else 'FAIL'}] {detail}")
        if known:
            self.lines.append(f"        {known}")
            self.known.append(f"{label}: {detail}")
        elif not ok:
            self.failures.append(f"{label}: {detail}")


def check_lowpass(rep, label, h, fs, cut):
    dc = gain(h, fs, 0.0)[0]
    rep.check(abs(db(dc)) < 0.1, label, f"DC gain {db(dc):+.4f} dB (within 0.1 dB of 0)")
    f3 = crossing(h, fs, 0.0, fs / 2 - 1e-9)
    rep.check(f3 is not None and 0.75 * cut <= f3 <= 1.35 * cut, label,
              f"-3 dB at {f3:.2f} Hz (named {cut:g} Hz, accepted 0.75 ... 1.35 x)")
    if 2 * cut < fs / 2:
        grid = np.linspace(2 * cut, fs / 2, 2000)
        worst = db(np.max(gain(h, fs, grid)))
        rep.check(worst <= -6.0, label, f"at most {worst:.1f} dB from {2 * cut:g} Hz to {fs / 2:g} Hz (<= -6 dB)",
                  "stopband")
    else:
        edge = db(gain(h, fs, fs / 2)[0])
        rep.check(edge <= -6.0, label, f"{edge:.1f} dB at {fs / 2:g} Hz (<= -6 dB)", "stopband")


def check_highpass(rep, label, h, fs, cut):
    dc = gain(h, fs, 0.0)[0]
    rep.check(db(dc) <= -30.0, label, f"DC gain {db(dc):.1f} dB (<= -30 dB)")
    f3 = crossing(h, fs, cut / 20.0, 5.0)
    rep.check(f3 is not None and 0.6 * cut <= f3 <= 1.5 * cut, label,
              f"-3 dB at {f3:.4f} Hz (named {cut:g} Hz, accepted 0.6 ... 1.5 x)")
    band = db(gain(h, fs, np.linspace(5.0, 40.0, 400)))
    rep.check(np.max(np.abs(band)) <= 0.5, label, f"5 ... 40 Hz within {np.max(np.abs(band)):.3f} dB of 0 (<= 0.5 dB)")
    return f3


def notch_frequencies(name, fs, d_s):
    mains = 60.0 if "60" in name.split()[1] else 50.0
    if name.startswith("trap"):
        return mains, [mains]
    odd_only = d_s is not None and d_s > 0
    harmonics = [k * mains for k in range(1, int(fs / 2 // mains) + 1) if not odd_only or k % 2 == 1]
    return mains, [f for f in harmonics if f < fs / 2]


def check_line(rep, label, h, fs, name, sign, harmonics=True):
    mains, notches = notch_frequencies(name, fs, sign)
    at_mains = db(gain(h, fs, mains))[0]
    rep.check(at_mains <= -30.0, label, f"{at_mains:.1f} dB at {mains:g} Hz (<= -30 dB)")
    if len(notches) > 1:
        depths = db(gain(h, fs, notches[1:]))
        worst = float(np.max(depths))
        listed = ", ".join(f"{f:g}" for f in notches[1:5]) + (" ..." if len(notches) > 5 else "")
        if harmonics:
            rep.check(worst <= -30.0, label, f"harmonics {listed} Hz: weakest {worst:.1f} dB (<= -30 dB)")
        else:
            rep.add(f"    harmonics {listed} Hz: " + ", ".join(f"{v:.1f}" for v in depths[:4]) + " dB")
    # Flat between the notches: mid-way between notches, and 5 Hz.
    mids = [5.0, mains / 2, 1.5 * mains] + ([2.5 * mains] if 2.5 * mains < fs / 2 else [])
    flat = db(gain(h, fs, mids))
    rep.check(np.max(np.abs(flat)) <= 1.0, label,
              f"{', '.join(f'{f:g}' for f in mids)} Hz within {np.max(np.abs(flat)):.3f} dB of 0 (<= 1 dB)")
    words = name.split()
    if sign is not None and sign < 0:
        cut = float(words[2])
        dc = gain(h, fs, 0.0)[0]
        rep.check(db(dc) <= -60.0, label, f"DC gain {db(dc):.1f} dB (<= -60 dB)")
        f3 = crossing(h, fs, cut / 20.0, 5.0)
        rep.check(f3 is not None and 0.6 * cut <= f3 <= 1.5 * cut, label,
                  f"high-pass -3 dB at {f3:.4f} Hz (named {cut:g} Hz, accepted 0.6 ... 1.5 x)")
    else:
        dc = gain(h, fs, 0.0)[0]
        rep.check(abs(db(dc)) < 0.01, label, f"DC gain {db(dc):+.4f} dB")


def record_kind(rate, name):
    key = (rate, name)
    if key in INTEGER:
        c, d, k, s = INTEGER[key]
        return f"integer c={c} d={d} K={k} s={s:+d}, FIR length {2 * (c - d) - 1}"
    if key in FIR:
        return f"FIR {len(FIR_TABLES[FIR[key][0]])} taps, gain {FIR[key][1]:g}"
    if key in AVG:
        return f"average high-pass, window {AVG[key]}"
    b, a = IIR[key]
    return f"IIR {len(b)} / {len(a)}"


def measure(rep, rate, slot, name, delay):
    label = f"{rate} Hz \"{name}\""
    rep.add(f"{label}: {record_kind(rate, name)}" + (f", delay {delay}" if delay is not None else ""))
    key = (rate, name)
    h = record_ir(rate, name)
    if key in INTEGER:
        c, d, _, _ = INTEGER[key]
        rep.check(c - d - 1 == delay, label,
                  f"reported delay (2c-1 - (2d+1))/2 = {c - d - 1} is the centre of the symmetric response")
    elif key in FIR and delay is not None:
        rep.check(len(h) // 2 == delay, label, f"delay {len(h) // 2} = taps / 2")
    sign = INTEGER[key][3] if key in INTEGER else None
    if name.startswith("lpass"):
        cut = 37.0 if name == "lpass cry" else cutoff_of(name)
        if (rate, name) == (1000, "lpass 270"):
            rep.add('    carries the taps of "lpass 380": checked against 380 Hz')
            cut = 380.0
        check_lowpass(rep, label, h, rate, cut)
    elif name.startswith("hpass") or name.startswith("hp "):
        cut = 0.67 if name == "hpass cry" else cutoff_of(name)
        check_highpass(rep, label, h, rate, cut)
    elif name == "trap cry":
        check_line(rep, label, h, rate, "trap 50", None)
    elif name == "comb 60" and rate == 1000:
        rep.add("    as run: three steps per sample (the harmonics only weakly: the three equal inputs")
        rep.add("    and the mean of three outputs let their images through)")
        check_line(rep, label, triple_step_ir(h), rate, name, sign, harmonics=False)
        rep.add("    the record itself at 3000 Hz, the rate of its three steps:")
        check_line(rep, label, h, 3000, name, sign)
    elif name.startswith("comb 60") and rate == 1000:
        rep.add("    at 3000 Hz, the rate its layout is for:")
        check_line(rep, label, h, 3000, name, sign)
        cut = float(name.split()[2])
        f3 = crossing(h, 1000, cut / 60.0, 5.0)
        spacing = 1000.0 / INTEGER[key][1]
        rep.add(f"    as run, one step per sample at 1000 Hz: notches every {spacing:g} Hz"
                f" ({db(gain(h, 1000, 20.0))[0]:.0f} dB at 20 Hz, {db(gain(h, 1000, 60.0))[0]:.0f} dB at 60 Hz),"
                f" high-pass -3 dB at {f3:.4f} Hz")
    elif name == "trap_50":
        check_line(rep, label, h, rate, "comb 50 0.6", sign)
    elif name.startswith("comb") or name.startswith("trap"):
        check_line(rep, label, h, rate, name, sign)
    else:
        raise ValueError(name)


# ---- reference gains for the C++ record test -----------------------------------

REFERENCE_FREQS = [0.0, 0.05, 0.3, 0.67, 5.0, 20.0, 42.0, 50.0, 60.0, 100.0, 150.0, 250.0, 400.0, 550.0, 600.0,
                   800.0]


def reference_lines():
    out = ["# generated by /usr/bin/python3 tools/filter_responses.py: do not edit.",
           "# |H(f)| of each record's impulse response, its first <length> samples (the IIR ones cut where",
           "# they have decayed below 1e-13 of their peak), the filter started from 0;",
           "# the moving-average high-pass with its delay set to 0.",
           "# record <rate> <slot> <value> <length> <name>   slot -1 extra high-pass, -2 analysis comb",
           "# <f Hz> <|H(f)|>"]
    entries = [(r, s, v, n) for (r, s, v, n, _) in CATALOGUE] + [(r, s, 0, n) for (r, s, n) in EXTRA]
    for rate, slot, value, name in entries:
        h = record_ir(rate, name)
        out.append(f"record {rate} {slot} {value} {len(h)} {name}")
        freqs = [f for f in REFERENCE_FREQS if f < rate / 2]
        for f, g in zip(freqs, gain(h, rate, freqs)):
            out.append(f"{f:g} {g:.12e}")
    return out


# ---- picture -----------------------------------------------------------------

PALETTE = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf", "#8c564b", "#e377c2", "#7f7f7f",
           "#bcbd22", "#393b79", "#ad494a", "#637939", "#843c39"]


def svg_escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def panel(x0, y0, w, h, title, curves, fmin, fmax, logx, dbmin, dbmax):
    """One plot: curves are (label, freqs, magnitudes)."""
    out = []
    lx, ly = x0 + 52, y0 + 28
    pw, ph = w - 52 - 150, h - 28 - 36

    def xmap(f):
        if logx:
            return lx + pw * (math.log10(f) - math.log10(fmin)) / (math.log10(fmax) - math.log10(fmin))
        return lx + pw * (f - fmin) / (fmax - fmin)

    def ymap(v):
        v = min(max(v, dbmin), dbmax)
        return ly + ph * (dbmax - v) / (dbmax - dbmin)

    out.append(f'<text x="{lx + pw / 2:.1f}" y="{y0 + 16}" class="title">{svg_escape(title)}</text>')
    out.append(f'<rect x="{lx}" y="{ly}" width="{pw}" height="{ph}" class="frame"/>')
    for v in range(int(dbmin), int(dbmax) + 1, 10):
        y = ymap(v)
        out.append(f'<line x1="{lx}" y1="{y:.1f}" x2="{lx + pw}" y2="{y:.1f}" class="grid"/>')
        out.append(f'<text x="{lx - 4}" y="{y + 3:.1f}" class="ytick">{v}</text>')
    if logx:
        ticks = [t for t in [0.001, 0.003, 0.01, 0.03, 0.1, 0.3, 1, 3, 10, 30, 100] if fmin <= t <= fmax]
    else:
        step = 5 if fmax - fmin <= 50 else 50 if fmax - fmin <= 500 else 100
        ticks = list(np.arange(fmin, fmax + 1e-9, step))
    for t in ticks:
        x = xmap(t)
        out.append(f'<line x1="{x:.1f}" y1="{ly}" x2="{x:.1f}" y2="{ly + ph}" class="grid"/>')
        out.append(f'<text x="{x:.1f}" y="{ly + ph + 13}" class="xtick">{t:g}</text>')
    out.append(f'<text x="{lx + pw / 2:.1f}" y="{ly + ph + 28}" class="axis">frequency (Hz)</text>')
    out.append(f'<text x="{x0 + 12}" y="{ly + ph / 2:.1f}" class="axis" '
               f'transform="rotate(-90 {x0 + 12} {ly + ph / 2:.1f})">gain (dB)</text>')
    for i, (label, freqs, mags) in enumerate(curves):
        color = PALETTE[i % len(PALETTE)]
        # One or two points per pixel column: the column's highest and
        # lowest value, so that narrow notches stay visible.
        xs = np.array([xmap(f) for f in freqs])
        ys = np.array([ymap(v) for v in db(mags)])
        cols = np.floor(xs).astype(int)
        pts = []
        for col in np.unique(cols):
            sel = cols == col
            lo_i, hi_i = np.argmin(ys[sel]), np.argmax(ys[sel])
            y_top, y_bottom = ys[sel][lo_i], ys[sel][hi_i]
            order = [(lo_i, y_top), (hi_i, y_bottom)] if lo_i <= hi_i else [(hi_i, y_bottom), (lo_i, y_top)]
            if y_bottom - y_top < 0.5:
                order = [order[0]]
            pts += [f"{col + 0.5:.1f},{y:.1f}" for _, y in order]
        pts = " ".join(pts)
        out.append(f'<polyline points="{pts}" stroke="{color}" class="curve"/>')
        ky = ly + 6 + 13 * i
        out.append(f'<line x1="{lx + pw + 10}" y1="{ky}" x2="{lx + pw + 28}" y2="{ky}" stroke="{color}" '
                   f'class="curve"/>')
        out.append(f'<text x="{lx + pw + 32}" y="{ky + 4}" class="legend">{svg_escape(label)}</text>')
    return out


def picture():
    panels = []
    layout = [
        (1000, BASE, "1000 Hz base (high-pass)", 0.002, 10.0, True, -60, 5),
        (1000, LINE, "1000 Hz line (mains)", 0.0, 500.0, False, -60, 5),
        (1000, EMG, "1000 Hz emg (low-pass)", 0.0, 500.0, False, -80, 5),
        (2000, BASE, "2000 Hz base (high-pass)", 0.002, 10.0, True, -60, 5),
        (2000, LINE, "2000 Hz line (mains)", 0.0, 1000.0, False, -60, 5),
        (2000, EMG, "2000 Hz emg (low-pass)", 0.0, 1000.0, False, -80, 5),
        (1000, LINE, "1000 Hz line, 40 ... 70 Hz", 40.0, 70.0, False, -60, 5),
        (2000, LINE, "2000 Hz line, 40 ... 70 Hz", 40.0, 70.0, False, -60, 5),
    ]
    for rate, slot, title, fmin, fmax, logx, dbmin, dbmax in layout:
        curves = []
        seen = set()
        for (r, s, _, name, _) in CATALOGUE:
            if r != rate or s != slot or name in seen:
                continue
            seen.add(name)
            label = name
            h = as_run_ir(rate, name)
            if rate == 1000 and name == "comb 60":
                label = "comb 60 (3 steps)"
            freqs = np.geomspace(fmin, fmax, 6000) if logx else np.linspace(fmin, fmax, 16001)
            curves.append((label, freqs, gain(h, rate, freqs)))
        if slot == BASE:
            name = "hpass 0.01" if rate == 1000 else "hp 0.01"
            freqs = np.geomspace(fmin, fmax, 1500)
            if rate == 2000:
                curves.append(("hp 0.01 (extra)", freqs, gain(record_ir(rate, name), rate, freqs)))
        panels.append((title, curves, fmin, fmax, logx, dbmin, dbmax))
    w, h = 620, 330
    rows = (len(panels) + 1) // 2
    width, height = 2 * w, rows * h + 40
    out = ["<!-- generated by /usr/bin/python3 tools/filter_responses.py: do not edit. -->",
           f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}">',
           "<style>"
           ".title{font:bold 13px sans-serif;text-anchor:middle}"
           ".axis{font:11px sans-serif;text-anchor:middle}"
           ".xtick{font:10px sans-serif;text-anchor:middle}"
           ".ytick{font:10px sans-serif;text-anchor:end}"
           ".legend{font:10px sans-serif}"
           ".frame{fill:none;stroke:#000;stroke-width:1}"
           ".grid{stroke:#ddd;stroke-width:0.6}"
           ".curve{fill:none;stroke-width:1.2;stroke-opacity:0.85}"
           "</style>",
           f'<rect width="{width}" height="{height}" fill="#fff"/>',
           f'<text x="{width / 2}" y="22" class="title">Display filter records: magnitude responses '
           f'(as the front end runs them)</text>']
    for i, (title, curves, fmin, fmax, logx, dbmin, dbmax) in enumerate(panels):
        col, row = (i // 3, i % 3) if i < 6 else ((i - 6) % 2, 3 + (i - 6) // 2)
        out += panel(col * w, 40 + row * h, w, h, title, curves, fmin, fmax, logx, dbmin, dbmax)
    out.append("</svg>")
    return out


def main():
    rep = Report()
    rep.add("# generated by /usr/bin/python3 tools/filter_responses.py: do not edit.")
    rep.add("# Each display filter record measured against what its name promises.")
    seen = set()
    for (rate, slot, value, name, delay) in CATALOGUE:
        if (rate, name) in seen:
            continue
        seen.add((rate, name))
        rep.add("")
        measure(rep, rate, slot, name, delay)
    for (rate, slot, name) in EXTRA:
        if (rate, name) in seen:
            continue
        rep.add("")
        measure(rep, rate, slot, name, 940 if name == "trap_50" else 0)
    rep.add("")
    rep.add(f"{len(rep.known)} known deviations of the listed coefficients")
    for f in rep.known:
        rep.add(f"  {f}")
    rep.add(f"{len(rep.failures)} failed checks")
    for f in rep.failures:
        rep.add(f"  {f}")

    def write(rel, lines):
        path = os.path.join(ROOT, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")

    write("docs/filter_responses.txt", rep.lines)
    write("docs/filters.svg", picture())
    write("tests/data/preprocess/filter_bank_gains.txt", reference_lines())
    print("\n".join(rep.lines))
    return 1 if rep.failures else 0


if __name__ == "__main__":
    sys.exit(main())
