#!/usr/bin/python3
"""Designs the tap tables of the display low-pass FIR records.

Each record is a linear-phase (symmetric) low-pass whose cut-off in hertz is
the number in its name. Some taps are fixed in advance (first, second and
centre tap, and the tap sum); the rest come from a weighted least-squares fit
to the ideal low-pass under those equality constraints:

    minimise  sum_f W(f) (A(f) - D(f))^2   over symmetric taps h
    subject to h[0], h[1], h[centre] and sum(h) as given,

solved in closed form through the KKT system. D is the tap sum below the
cut-off and 0 above it (the record's DC gain); W is 0 in a transition band of width 2.5 * fs / N centred on the
cut-off (so the response passes about -6 dB there), 1 in the passband and 4 in
the stopband.

Writes src/preprocess/ecg_fir_taps.cpp and its header. Regenerate with

    /usr/bin/python3 tools/design_ecg_fir_taps.py
"""
import os
import sys

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (rate, record name, C name, taps, cut-off Hz, tap sum, first, second, centre)
# The centre of an even-length table is the later of its two middle taps.
DESIGNS = [
    (1000, "lpass 20", "kFir1000Lpass20", 113, 20, 1.0,
     0.0008219856974498, 0.0009472792117736, 0.04626986936017),
    (1000, "lpass 42", "kFir1000Lpass42", 113, 42, 1.0,
     -0.000839236528780652, -0.000888740145920034, 0.09785815269705),
    (1000, "lpass 100", "kFir1000Lpass100", 86, 100, 0.994344,
     -0.0003272957501402, -0.005488986503152, 0.2212409165613),
    (1000, "lpass 250", "kFir1000Lpass250", 113, 250, 1.0,
     0.0007316929280639, -0.0004814133664779, 0.5058785604155),
    (1000, "lpass 350", "kFir1000Lpass350", 113, 350, 1.0,
     -0.0008363630945067, 0.0004819240415708, 0.7065792936067),
    # "lpass 270" at 1000 Hz carries exactly these taps too.
    (1000, "lpass 380", "kFir1000Lpass380", 113, 380, 1.0,
     0.0002697794809902, 0.0003754737515966, 0.7655733769982),
    # The cry record is scaled by its gain -2.02322 so that its DC gain is 1;
    # its cut-off is not in its name: 37 Hz puts the free design's centre tap
    # where the fixed one is (centre / sum * fs / 2).
    (1000, "lpass cry", "kFir1000LpassCry", 131, 37, -0.494262,
     2.93873587705572e-39, 3.6882821423386e-37, -0.0369549158361004),
    (2000, "lpass 20", "kFir2000Lpass20", 225, 20, 1.0,
     0.0004111552355602, 0.0004429182820033, 0.02314407549321),
    (2000, "lpass 25", "kFir2000Lpass25", 225, 25, 1.0,
     -0.0001727126666606, -0.0001472334477734, 0.02775210518681),
    (2000, "lpass 35", "kFir2000Lpass35", 225, 35, 1.0,
     0.0003048553370956, 0.000284152364449, 0.03824427299601),
    (2000, "lpass 42", "kFir2000Lpass42", 225, 42, 1.0,
     -0.0004194470912112, -0.0004373503883728, 0.04890911690857),
    (2000, "lpass 45", "kFir2000Lpass45", 225, 45, 1.0,
     -0.0003876382239116, -0.0003813852289125, 0.04782970679417),
    (2000, "lpass 75", "kFir2000Lpass75", 225, 75, 1.0,
     0.0003095481121338, 0.0003917158679485, 0.07785040565621),
    (2000, "lpass 100", "kFir2000Lpass100", 225, 100, 1.0,
     -0.0004179306071541, -0.0004365789103063, 0.1030226561138),
    (2000, "lpass 150", "kFir2000Lpass150", 225, 150, 1.0,
     -0.0001740002121328, 2.37911571241e-05, 0.1527759245),
    (2000, "lpass 250", "kFir2000Lpass250", 225, 250, 1.0,
     0.0003660074180626, 0.0001150911423287, 0.2530505607603),
    (2000, "lpass 270", "kFir2000Lpass270", 225, 270, 1.0,
     0.0004083694085512, 0.0003633467470186, 0.2728487852162),
    (2000, "lpass 380", "kFir2000Lpass380", 225, 380, 1.0,
     0.0001348702952534, 0.0004456489689501, 0.3827315072849),
]

# "lpass 550" at 2000 Hz: a 39-tap symmetric design behind a leading 0.
DESIGN_550 = (2000, "lpass 550", "kFir2000Lpass550", 39, 550, 1.0,
              3.70717687139897e-05, None, 0.550013661010913)

# "lpass 350" at 2000 Hz: a 7-tap symmetric design behind a leading 0, given.
TAPS_2000_350 = [0, -0.0068114, 0.013983, 0.25384, 0.47798, 0.25384, 0.013983, -0.0068114]


def design(fs, n, cutoff, total, first, second, centre):
    """Constrained least-squares symmetric low-pass of n taps."""
    half = (n + 1) // 2                      # free parameters p, h = S p
    s = np.zeros((n, half))
    for k in range(half):
        s[k, k] = 1.0
        s[n - 1 - k, k] = 1.0
    f = np.linspace(0.0, fs / 2.0, 16 * n + 1)
    trans = 2.5 * fs / n
    d = total * (f < cutoff).astype(float)
    w = np.where(np.abs(f - cutoff) < trans / 2, 0.0, np.where(f < cutoff, 1.0, 4.0))
    # A(f) = sum_n h[n] cos(2 pi f / fs (n - (n-1)/2))
    c = np.cos(2 * np.pi * np.outer(f / fs, np.arange(n) - (n - 1) / 2.0))
    m = c @ s
    q = m.T @ (w[:, None] * m)
    r = m.T @ (w * d)

    centre_index = n // 2                    # later middle tap for even n
    rows, vals = [], []

    def fix(tap, value):
        row = s[tap].copy()
        rows.append(row)
        vals.append(value)

    fix(0, first)
    if second is not None:
        fix(1, second)
    fix(centre_index, centre)
    rows.append(s.sum(axis=0))
    vals.append(total)
    a = np.array(rows)
    b = np.array(vals)
    kkt = np.block([[2 * q, a.T], [a, np.zeros((len(b), len(b)))]])
    rhs = np.concatenate([2 * r, b])
    p = np.linalg.solve(kkt, rhs)[:half]
    h = s @ p
    # Put the fixed values back exactly (the solve meets them to rounding)
    # and absorb the rounding of the sum in the free taps nearest the centre.
    h[0] = h[-1] = first
    if second is not None:
        h[1] = h[-2] = second
    h[centre_index] = centre
    if n % 2 == 0:
        h[centre_index - 1] = centre
    return h


def fmt(v):
    return repr(float(v))


def emit(out, name, comment, taps):
    out.append(f"// {comment}")
    out.append(f"const double {name}[{len(taps)}] = {{")
    for i in range(0, len(taps), 4):
        out.append("    " + ", ".join(fmt(t) for t in taps[i:i + 4]) + ",")
    out.append("};")
    out.append("")


def main():
    body, decls = [], []
    for (fs, rec, cname, n, fc, total, first, second, centre) in DESIGNS:
        h = design(fs, n, fc, total, first, second, centre)
        emit(body, cname, f"{fs} Hz \"{rec}\": {n} taps, cut-off {fc} Hz, tap sum {total}", h)
        decls.append(f"extern const double {cname}[{n}];")
    fs, rec, cname, n, fc, total, first, second, centre = DESIGN_550
    h = np.concatenate([[0.0], design(fs, n, fc, total, first, second, centre)])
    emit(body, cname, f"{fs} Hz \"{rec}\": a leading 0 and {n} taps, cut-off {fc} Hz", h)
    decls.append(f"extern const double {cname}[{n + 1}];")
    emit(body, "kFir2000Lpass350", "2000 Hz \"lpass 350\": a leading 0 and a 7-tap design", TAPS_2000_350)
    decls.append(f"extern const double kFir2000Lpass350[{len(TAPS_2000_350)}];")

    cmd = "/usr/bin/python3 tools/design_ecg_fir_taps.py"
    header = [f"// generated by {cmd}: do not edit.",
              "// Tap tables of the display low-pass FIR records, newest sample first.",
              "#pragma once", "", "namespace tessivar {", ""] + decls + ["", "}  // namespace tessivar", ""]
    source = [f"// generated by {cmd}: do not edit.",
              "#include \"preprocess/ecg_fir_taps.hpp\"", "", "namespace tessivar {", ""] + body + \
             ["}  // namespace tessivar", ""]
    with open(os.path.join(ROOT, "src/preprocess/ecg_fir_taps.hpp"), "w") as f:
        f.write("\n".join(header))
    with open(os.path.join(ROOT, "src/preprocess/ecg_fir_taps.cpp"), "w") as f:
        f.write("\n".join(source))
    return 0


if __name__ == "__main__":
    sys.exit(main())
