#!/usr/bin/python3
"""Reference values for the signal quality tests, from the filter
coefficients and the scoring rules written out again here with numpy/scipy.

Writes tests/data/sig_quality/reference.txt:
  gain <set> <lp|hp> <hz> <|H|>          filter gains at the band edges
  impulse <k> <h[k]>                     emg high-pass (1000 Hz set) impulse response
  sinecounts <A> <window> <c0> .. <c9>   samples of the emg output above each
                                         level, 97 Hz sine of amplitude A, 1000 Hz
  sinescore <A> <window> <score>         resulting emg score (need windowLen / 4)
  mitdb100 <segment> <grade>             segment grades of the offline grader,
                                         MLII, 1 s segments, scale 200
"""
import os
import sys

import numpy as np
import scipy.signal as sig

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "data", "sig_quality", "reference.txt")
DATA = os.path.join(HERE, "..", "..", "shared", "data")

SETS = {
    "full1000": (1000,
                 [9.498089386097795e-16, 5.698853631658677e-15, 1.424713407914669e-14, 1.899617877219559e-14,
                  1.424713407914669e-14, 5.698853631658677e-15, 9.498089386097795e-16],
                 [1.0, -5.975723643994615, 14.878912715306342, -19.75841215795478, 14.758996633559054,
                  -5.879789434468503, 0.976015887552561],
                 [0.73797091240786, -4.427825474447159, 11.069563686117899, -14.759418248157196,
                  11.069563686117899, -4.427825474447159, 0.73797091240786],
                 [1.0, -5.393212484861355, 12.1474251704169, -14.623787566607609, 9.923048570770405,
                  -3.59806353388664, 0.54460106756012]),
    "full125": (125,
                [0.0005875325345458, 0.001175065069092, 0.0005875325345458],
                [1.0, -1.930276561511, 0.9326266916497],
                [0.2472248339845, -0.7416745019536, 0.7416745019536, -0.2472248339845],
                [1.0, -0.5219321712321, 0.4055987839804, -0.05026771666376]),
    "eco1000": (1000,
                [9.462729857096e-06, 1.892545971419e-05, 9.462729857096e-06],
                [1.0, -1.991280414756, 0.9913182656753],
                [0.8947941291538, -1.789588258308, 0.8947941291538],
                [1.0, -1.778489185694, 0.8006873309213]),
    "eco125": (125,
               [0.0005875325345458, 0.001175065069092, 0.0005875325345458],
               [1.0, -1.930276561511, 0.9326266916497],
               [0.3692003318839, -0.7384006637679, 0.3692003318839],
               [1.0, -0.2902921273756, 0.1865092001601]),
    "eco128": (128,
               [0.0005820761342360468, 0.001164152268472, 0.0005820761342360468],
               [1.0, -1.930606427219668, 0.932934731756612],
               [0.401282317830725, -0.80256463566145, 0.401282317830725],
               [1.0, -0.404484904660942, 0.200644366661958]),
    "eco250": (250,
               [0.0001551484234756995, 0.000310296846951399, 0.0001551484234756995],
               [1.0, -1.964460580205232, 0.965081173899135],
               [0.638945525159023, -1.277891050318045, 0.638945525159023],
               [1.0, -1.142980502539901, 0.412801598096189]),
    "eco256": (256,
               [0.0001480219865318225, 0.0002960439730636449, 0.0001480219865318225],
               [1.0, -1.96529337262269, 0.965885460568818],
               [0.645835425825293, -1.291670851650586, 0.645835425825293],
               [1.0, -1.162037077179318, 0.421304626121855]),
    "eco500": (500,
               [3.91302053991441e-05, 7.826041079828821e-05, 3.91302053991441e-05],
               [1.0, -1.982228929792529, 0.982385450614126],
               [0.80059240346457, -1.601184806929141, 0.80059240346457],
               [1.0, -1.561018075800718, 0.641351538057563]),
    "eco512": (512,
               [3.732519892929904e-05, 7.465039785859809e-05, 3.732519892929904e-05],
               [1.0, -1.982645418504117, 0.982794719299834],
               [0.804789793763112, -1.609579587526225, 0.804789793763112],
               [1.0, -1.571102440190402, 0.648056734862049]),
    "eco1024": (1024,
                [9.371697475265412e-06, 1.874339495053082e-05, 9.371697475265412e-06],
                [1.0, -1.991322548359169, 0.991360035149071],
                [0.897192575745157, -1.794385151490314, 0.897192575745157],
                [1.0, -1.78378770855923, 0.804982594421399]),
}

EMG_LEVELS = np.float32(32) + np.float32(77 - 32) * np.arange(10, dtype=np.float32) / np.float32(9)


def response(b, a, hz, fs):
    """|H| at hz, the polynomials evaluated in long double: the sixth-order
    1000 Hz pair loses several digits in double near DC."""
    z = np.exp(np.clongdouble(-2j) * np.pi * np.longdouble(hz) / fs)
    num = sum(np.longdouble(c) * z ** k for k, c in enumerate(b))
    den = sum(np.longdouble(c) * z ** k for k, c in enumerate(a))
    return float(abs(num / den))


def gains(lines):
    for name, (fs, lb, la, hb, ha) in SETS.items():
        for kind, b, a, hz in (("lp", lb, la, 0.0), ("lp", lb, la, 1.0), ("lp", lb, la, 5.0),
                               ("hp", hb, ha, 25.0), ("hp", hb, ha, 10.0)):
            lines.append(f"gain {name} {kind} {hz:g} {response(b, a, hz, fs):.6g}")


def impulse(lines):
    _, _, _, hb, ha = SETS["full1000"]
    x = np.zeros(400)
    x[0] = 1.0
    h = sig.lfilter(hb, ha, x)
    for k in range(8):
        lines.append(f"impulse {k} {h[k]:.6f}")
    lines.append(f"impulse maxafter0 {h[1:].max():.6f}")


def sine_scores(lines):
    # x[n] = floor(A sin(2 pi 97 n / 1000) + 0.5); filter histories start at 0
    # (the first sample is 0). Windows end at sample counts 1999, 3999, ...
    _, _, _, hb, ha = SETS["full1000"]
    n = np.arange(6000)
    for amp in (70, 78, 120):
        x = np.floor(amp * np.sin(2 * np.pi * 97 * n / 1000) + 0.5)
        y = sig.lfilter(hb, ha, x)
        for k, (a, b) in enumerate(((0, 1999), (1999, 3999), (3999, 5999))):
            counts = [int((y[a:b] > lev).sum()) for lev in EMG_LEVELS]
            need = 2000 // 4
            score = 0
            for i in range(9, -1, -1):
                if counts[i] >= need:
                    score = 10 * (i + 1)
                    break
            lines.append(f"sinecounts {amp} {k} " + " ".join(map(str, counts)))
            lines.append(f"sinescore {amp} {k} {score}")


def read_mlii(seconds):
    path = os.path.join(DATA, "mitdb", "100.dat")
    raw = np.fromfile(path, dtype=np.uint8)[: 3 * 360 * seconds].reshape(-1, 3).astype(np.int32)
    s0 = raw[:, 0] | ((raw[:, 1] & 0x0F) << 8)
    s0[s0 > 2047] -= 4096
    return s0 - 1024  # digital minus ADC zero: 200 units per mV


def grade(x, fs, scale):
    """The offline grader: 0 good, 1 doubtful, 2 bad."""
    x = np.asarray(x, dtype=np.int64)
    mean = int(np.trunc(x.sum() / len(x)))
    c = x - mean
    p2p = c.max() - c.min()
    if p2p <= 0.02 * scale or p2p > 5 * scale:
        return 2
    g = 1 if p2p > 3 * scale else 0
    restart, countdown, direction = fs // 50, 0, 0
    peak = valley = None
    swings = []
    for i in range(1, len(x)):
        d = x[i] - x[i - 1]
        turning = False
        if d > 0:
            if direction < 0:
                valley, turning = x[i - 1], True
            direction = 1
        elif d < 0:
            if direction > 0:
                peak, turning = x[i - 1], True
            direction = -1
        if turning:
            if countdown >= 1 and peak is not None and valley is not None:
                swings.append(peak - valley)
            countdown = restart
        elif countdown > 0:
            countdown -= 1
    if len(swings) > 10:
        m = np.mean(swings)
        if m > 0.2 * scale:
            return 2
        if m > 0.12 * scale:
            g = 1
    return 2 if np.abs(c).max() > 5 * scale else g


def mitdb_grades(lines):
    x = read_mlii(30)
    for k in range(30):
        lines.append(f"mitdb100 {k} {grade(x[k * 360:(k + 1) * 360], 360, 200)}")


def main():
    lines = ["# generated by tools/gen_sig_quality_reference.py; do not edit"]
    gains(lines)
    impulse(lines)
    sine_scores(lines)
    if os.path.exists(os.path.join(DATA, "mitdb", "100.dat")):
        mitdb_grades(lines)
    else:
        sys.exit("mitdb record 100 not found")
    with open(OUT, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
