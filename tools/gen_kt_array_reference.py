#!/usr/bin/python3
"""Reference vectors for the kt_array statistics and transforms.

Writes tests/data/kt_array/reference.txt: for a few seeded random arrays of
each element type (int16, int32, float32, float64), the mean, variance,
standard deviation, median, sum, the three normalisations, both sorts, the
saturated difference, the turning points and a minimum-distance peak
selection, all computed here with numpy (in extended precision where a
double result could overflow), independently of the library.

File layout, one item per line:
    case <type> <name>
    <key> <value> <value> ...
    end
Integer keys hold integers; floating keys hold Python reprs of doubles
(float32 values are exact doubles). "<key>_rc" lines hold the status code the
library must return; when it is an overflow code the value line is absent.

Regenerate with: /usr/bin/python3 tools/gen_kt_array_reference.py
"""
import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "data", "kt_array", "reference.txt")

LD = np.longdouble
DBL_MAX = LD(np.finfo(np.float64).max)

TYPES = {
    # name: (numpy type, range code of the difference, sum overflow code)
    "short": (np.int16, -6, -10),
    "int": (np.int32, -7, -11),
    "float": (np.float32, -8, -9),
    "double": (np.float64, -9, -9),
}


def with_plateaus(rng, values, n):
    """Repeats random values 1..3 times so that runs of equal samples occur."""
    reps = rng.integers(1, 4, size=len(values))
    return np.repeat(values, reps)[:n]


def make_arrays(type_name, rng):
    dtype = TYPES[type_name][0]
    arrays = []
    for n in (1, 2, 5, 64, 200):
        if type_name == "short":
            v = rng.integers(-3000, 3001, size=n)
        elif type_name == "int":
            v = rng.integers(-2_000_000, 2_000_001, size=n)
        else:
            v = rng.normal(0.0, 250.0, size=n)
        arrays.append(("random%d" % n, with_plateaus(rng, v, n).astype(dtype)))
    # Extreme values: the differences leave the element range.
    n = 40
    if type_name in ("short", "int"):
        info = np.iinfo(dtype)
        v = rng.integers(int(info.min), int(info.max) + 1, size=n)
    elif type_name == "float":
        v = rng.uniform(-3.3e38, 3.3e38, size=n)
    else:
        v = rng.uniform(-1.0, 1.0, size=n) * 1.7e308
    arrays.append(("extreme%d" % n, with_plateaus(rng, v, n).astype(dtype)))
    return arrays


def fmt(values, integer):
    if integer:
        return " ".join(str(int(v)) for v in values)
    return " ".join(repr(float(v)) for v in values)


def turning_points(x):
    """First indexes of the runs where the collapsed signal turns."""
    x = np.asarray(x, dtype=LD)
    keep = np.concatenate(([True], x[1:] != x[:-1]))
    firsts = np.nonzero(keep)[0]
    trend = np.sign(np.diff(x[keep]))
    inner = firsts[1:-1]
    maxima = inner[(trend[:-1] > 0) & (trend[1:] < 0)]
    minima = inner[(trend[:-1] < 0) & (trend[1:] > 0)]
    both = np.sort(np.concatenate((maxima, minima)))
    return maxima, minima, both


def near_peaks(values, positions, min_dist, ratio):
    """Minimum-distance selection among the highest candidates."""
    order = np.argsort(-np.asarray(values, dtype=LD), kind="stable")
    removed = np.zeros(len(values), dtype=bool)
    rounds = min(len(values), int(np.floor(len(values) * ratio + 0.5)))
    accepted = []
    for c in order[:rounds]:
        if removed[c]:
            continue
        accepted.append(positions[c])
        for side in (-1, 1):
            for d in range(1, min_dist):
                p = c + side * d
                if p < 0 or p >= len(values) or abs(int(positions[p]) - int(positions[c])) > min_dist:
                    break
                removed[p] = True
    return sorted(accepted)


def describe(type_name, name, x):
    dtype, diff_code, sum_code = TYPES[type_name]
    integer = np.issubdtype(dtype, np.integer)
    n = len(x)
    xl = x.astype(LD)
    lines = ["case %s %s" % (type_name, name), "x " + fmt(x, integer)]

    mean = np.mean(xl)
    lines.append("mean " + fmt([mean], False))

    squares = (xl - mean) ** 2
    # The library stops when the running sum of squares would pass DBL_MAX.
    if np.any(np.cumsum(squares) > DBL_MAX):
        lines += ["variance_rc -9", "std_rc -9", "zscore_rc -9"]
    else:
        variance = np.sum(squares) / n
        lines += ["variance_rc 0", "variance " + fmt([variance], False)]
        lines += ["std_rc 0", "std " + fmt([np.sqrt(variance)], False)]
        std = np.sqrt(variance)
        z = np.zeros(n, dtype=LD) if std == 0 else (xl - mean) / std
        lines += ["zscore_rc 0", "zscore " + fmt(z, False)]

    srt = np.sort(xl)
    median = srt[n // 2] if n % 2 else (srt[n // 2 - 1] + srt[n // 2]) / 2
    lines.append("median " + fmt([median], False))

    if integer:
        partial = np.cumsum(x.astype(np.int64))
        limit = np.iinfo(np.int32 if type_name == "short" else np.int64)
        over = np.any(partial > limit.max) or np.any(partial < limit.min)
        total = sum(int(v) for v in x)
    else:
        partial = np.cumsum(xl)
        over = np.any(np.abs(partial) > DBL_MAX)
        total = np.sum(xl)
    if over:
        lines.append("sum_rc %d" % sum_code)
    else:
        lines += ["sum_rc 0", "sum " + fmt([total], integer)]

    peak = np.max(np.abs(xl))
    lines.append("maxabs " + fmt(np.zeros(n, dtype=LD) if peak == 0 else xl / peak, False))
    lo, hi = np.min(xl), np.max(xl)
    lines.append("minmax " + fmt(np.zeros(n, dtype=LD) if hi == lo else (xl - lo) / (hi - lo), False))

    lines.append("ascending " + fmt(np.sort(x), integer))
    lines.append("descending " + fmt(np.sort(x)[::-1], integer))

    info = np.iinfo(dtype) if integer else np.finfo(dtype)
    diff = np.concatenate(([xl[0]], np.diff(xl)))
    clipped = np.clip(diff, LD(info.min), LD(info.max))
    lines.append("difference_rc %d" % (diff_code if np.any(clipped != diff) else 0))
    lines.append("difference " + fmt(clipped.astype(dtype), integer))

    maxima, minima, both = turning_points(x)
    lines.append("peaks_max " + fmt(maxima, True))
    lines.append("peaks_min " + fmt(minima, True))
    lines.append("peaks_both " + fmt(both, True))

    # Peak selection among the maxima; only where their heights are distinct,
    # since the order of equal heights is not defined.
    heights = x[maxima]
    if len(maxima) > 0 and len(np.unique(heights)) == len(heights):
        lines.append("near_peaks " + fmt(near_peaks(heights, maxima, 4, 0.75), True))

    lines.append("end")
    return lines


def main():
    out = [
        "# generated by tools/gen_kt_array_reference.py; regenerate with: "
        "/usr/bin/python3 tools/gen_kt_array_reference.py",
        "# near_peaks: delNearPeaks over peaks_max with minDist 4, ratio 0.75",
    ]
    for seed, type_name in enumerate(TYPES):
        rng = np.random.default_rng(20250715 + seed)
        for name, x in make_arrays(type_name, rng):
            out += describe(type_name, name, x)
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w") as f:
        f.write("\n".join(out) + "\n")
    print("wrote %s" % os.path.normpath(OUT), file=sys.stderr)


if __name__ == "__main__":
    main()
