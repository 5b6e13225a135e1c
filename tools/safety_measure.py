#!/usr/bin/python3
"""Measures, through the library's C interface, each place docs/safety.md
describes, once with the safety profile off and once with it on; prints the
numbers as markdown and draws docs/safety_60hz.svg (the display response of
base "0.6" with line "60" at 1000 Hz).

    /usr/bin/python3 tools/safety_measure.py [--lib build/libtessivar.so]
        [--svg docs/safety_60hz.svg]

Every measurement starts the front end afresh (wire "3", two input leads I
and II, 1000 counts per millivolt so counts are microvolts, no dead band)
and reads lead II of the output frames:

- gain at f: a 1 mV sine at f for 12 s; the output's amplitude over the last
  2 s (least squares fit of a sine and cosine at f) over 1 mV;
- delay: a 1 mV Gaussian pulse (sigma 8 ms) after 8 s of flat line; the
  output's extreme after the pulse minus the pulse's frame;
- heart rate and respiration: synthetic beats (Gaussian R wave of 1.2 mV,
  sigma 10 ms, T wave 0.25 mV) and a respiration word, with the host's
  callbacks counted.
"""
import argparse
import ctypes as C
import math
import os

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

PRINT = C.CFUNCTYPE(None, C.c_char_p)
FILT = C.CFUNCTYPE(None, C.c_char_p, C.c_char_p, C.c_char_p)
LEAD = C.CFUNCTYPE(None, C.c_char_p)
BEAT = C.CFUNCTYPE(None)
RATE = C.CFUNCTYPE(None, C.c_int)
QUAL = C.CFUNCTYPE(None, C.c_char_p)
STAT = C.CFUNCTYPE(None, C.c_char_p, C.c_char_p)


class Conf(C.Structure):
    _fields_ = [("fs", C.c_int32), ("lsbMv", C.c_int32), ("paceFilter", C.c_int32), ("paceInhib", C.c_int32),
                ("paceRemoveMs", C.c_int32), ("wireType", C.c_char_p), ("dataType", C.c_char_p),
                ("hrLead", C.c_char_p), ("respLead", C.c_char_p), ("debugCfgFile", C.c_char_p),
                ("printFunc", PRINT), ("onFilterSetting", FILT), ("onHrLead", LEAD), ("onHeartBeat", BEAT),
                ("onHeartRate", RATE), ("onRespRate", RATE), ("onQuality", QUAL), ("onStatus", STAT),
                ("qrsMethod", C.c_int32)]


class Host:
    """The library, started afresh by start(); records the callbacks."""

    def __init__(self, lib):
        self.lib = C.CDLL(lib)
        self.events = []
        self.frame = 0
        self._keep = [PRINT(lambda line: None), FILT(self._filter), LEAD(lambda lead: None), BEAT(lambda: None),
                      RATE(lambda r: self.events.append((self.frame, "hr", r))),
                      RATE(lambda r: self.events.append((self.frame, "resp", r))), QUAL(lambda q: None),
                      STAT(lambda k, v: self.events.append((self.frame, k.decode(), v.decode())))]
        self.filter = None

    def _filter(self, b, l, e):
        self.filter = (b.decode(), l.decode(), e.decode())

    def start(self, safe, fs=1000, data=b"SL", wire=b"3", hr_lead=b"II"):
        self.lib.ecgPreprocessDenit()
        self.lib.ecgPreprocessSetSafeMode(int(safe))
        k = self._keep
        self.conf = Conf(fs, 1000, 0, 1, 10, wire, data, hr_lead, b"II", None, k[0], k[1], k[2], k[3], k[4], k[5],
                         k[6], k[7], 0)
        assert self.lib.ecgPreprocessInit(C.byref(self.conf)) == 0
        self.lib.setSubUv(0)
        self.events, self.frame = [], 0
        self.inWords, self.outWords = self.lib.getCurInFrame(), self.lib.getCurOutFrame()

    def set_filter(self, b, l, e):
        self.lib.ecgPreprocessSetFilter(b.encode(), l.encode(), e.encode())

    def run(self, frames):
        """frames: (n, inWords) int array -> (n, outWords) output."""
        frames = np.ascontiguousarray(frames, dtype=np.int32)
        out = np.zeros((len(frames), self.outWords), dtype=np.int32)
        block = 100
        for k in range(0, len(frames), block):
            n = min(block, len(frames) - k)
            self.frame = k
            self.lib.ecgPreprocessDoPreprocess(n, frames[k:].ctypes.data_as(C.POINTER(C.c_int32)),
                                               out[k:].ctypes.data_as(C.POINTER(C.c_int32)))
        return out

    def leads(self, signal, resp=None, status=None):
        n = len(signal)
        f = np.zeros((n, self.inWords), dtype=np.int64)
        if status is not None:
            f[:, 0] = status
        f[:, 1] = np.round(signal)
        f[:, 2] = np.round(signal)
        if resp is not None:
            f[:, 3] = np.round(resp)
        return self.run(f)


def gain(host, fs, f, seconds=12.0):
    t = np.arange(int(seconds * fs)) / fs
    out = host.leads(1000.0 * np.sin(2 * math.pi * f * t))[:, 2].astype(float)
    tail = slice(len(t) - 2 * fs, len(t))
    a = np.column_stack([np.sin(2 * math.pi * f * t[tail]), np.cos(2 * math.pi * f * t[tail]), np.ones(2 * fs)])
    c = np.linalg.lstsq(a, out[tail], rcond=None)[0]
    return math.hypot(c[0], c[1]) / 1000.0


def pulse_delay(host, fs):
    n = 16 * fs
    at = 8 * fs
    t = np.arange(n)
    x = 1000.0 * np.exp(-0.5 * ((t - at) / (0.008 * fs)) ** 2)
    y = host.leads(x)[:, 2].astype(float)
    y -= np.median(y[at - fs:at])
    return int(np.argmax(np.abs(y[at:])))


def ecg(fs, seconds, bpm):
    t = np.arange(int(seconds * fs)) / fs
    x = np.zeros_like(t)
    for b in np.arange(0.5, seconds, 60.0 / bpm):
        x += 1200.0 * np.exp(-0.5 * ((t - b) / 0.010) ** 2) + 250.0 * np.exp(-0.5 * ((t - b - 0.25) / 0.04) ** 2)
    return x


def fmt(v, d=3):
    return ("%." + str(d) + "f") % v


def item1(host, rows):
    freqs = [20, 25, 40, 50, 60, 120, 180]
    rows.append("| base + line 60 | profile | " + " | ".join("%d Hz" % f for f in freqs) +
                " | reported delay | measured delay |")
    rows.append("|---|---|" + "---:|" * (len(freqs) + 2))
    curves = {}
    for base in ["0.67", "0.6", "0.3", "0.32", "0.05"]:
        for safe in (0, 1):
            g = []
            for f in freqs:
                host.start(safe)
                host.set_filter(base, "60", "off")
                g.append(gain(host, 1000, f))
            host.start(safe)
            host.set_filter(base, "60", "off")
            reported = host.lib.getCurTotalDelay()
            measured = pulse_delay(host, 1000)
            rows.append("| %s | %s | %s | %d | %d |" % (base, "safe" if safe else "default",
                                                         " | ".join(fmt(v) for v in g), reported, measured))
    return curves


def response_curve(host, safe, freqs):
    g = []
    for f in freqs:
        host.start(safe)
        host.set_filter("0.6", "60", "off")
        g.append(gain(host, 1000, f, seconds=8.0))
    return g


def item2(host, rows):
    rows.append("| case | profile | reported delay | measured delay |")
    rows.append("|---|---|---:|---:|")
    for safe in (0, 1):
        host.start(safe)
        host.set_filter("0.05", "60", "40")
        rows.append("| 0.05, 60, 40 at 1000 Hz | %s | %d | %d |" % ("safe" if safe else "default",
                                                                      host.lib.getCurTotalDelay(),
                                                                      pulse_delay(host, 1000)))
    for safe in (0, 1):
        host.start(safe)
        host.set_filter("0.05", "50", "40")
        host.lib.ecgPreprocessSetFilterMode(b"cry")
        rows.append("| cry mode at 1000 Hz | %s | %d | %d |" % ("safe" if safe else "default",
                                                                host.lib.getCurTotalDelay(), pulse_delay(host, 1000)))


def told_and_gains(host, rows, label, setup, freqs, fs=1000, fs_measure=None):
    """One row per profile: the name the host was told last and the gains
    at freqs after setup(host) on a fresh start at fs."""
    for safe in (0, 1):
        g = []
        for f in freqs:
            host.start(safe, fs=fs)
            setup(host)
            g.append(gain(host, fs_measure or fs, f))
        rows.append("| %s | %s | %s | %s |" % (label, "safe" if safe else "default", ",".join(host.filter),
                                               " | ".join(fmt(v) for v in g)))


def leave_cry(host):
    host.set_filter("0.67", "50+0.6", "40")
    host.lib.ecgPreprocessSetFilterMode(b"cry")
    host.lib.ecgPreprocessSetFilterMode(b"normal")


def rate_to_2000(host):
    host.set_filter("0.67", "50", "40")
    host.lib.ecgPreprocessSetDataType(b"SL", 2000, 1000)
    host.leads(np.zeros(10))


def auto_after_60(host):
    host.set_filter("0.05", "60", "40")
    host.set_filter("0.5", "auto", "40")


def item3(host, rows):
    rows.append("| case | profile | host told | 50 Hz gain | 25 Hz gain |")
    rows.append("|---|---|---|---:|---:|")
    told_and_gains(host, rows, "leaving cry at 2000 Hz", leave_cry, (50, 25), fs=2000)
    told_and_gains(host, rows, "rate 1000 -> 2000 by SetDataType", rate_to_2000, (50, 25), fs=1000, fs_measure=2000)


def item4(host, rows):
    rows.append("| case | profile | host told | 20 Hz gain | 60 Hz gain |")
    rows.append("|---|---|---|---:|---:|")
    told_and_gains(host, rows, "0.05,60,40 then 0.5,auto,40", auto_after_60, (20, 60))


def item5(host, rows):
    rows.append("| case | profile | rate shown during the noise | reports in the noise | first -1 after | learning again |")
    rows.append("|---|---|---|---:|---:|---|")
    rng = np.random.default_rng(5)
    for safe in (0, 1):
        host.start(safe)
        clean = ecg(1000, 30, 75)
        # Baseline wander the quality monitor scores as noisy (base score).
        t = np.arange(60000) / 1000.0
        noisy = ecg(1000, 60, 75) + 4000 * np.sin(2 * math.pi * 0.7 * t) + rng.normal(0, 300, 60000)
        host.leads(clean)
        before = [e for e in host.events if e[1] == "hr"]
        host.events = []
        host.leads(noisy)
        hr = [e for e in host.events if e[1] == "hr"]
        learn = [e for e in host.events if e[1] == "hrlearning" and e[2] == "true"]
        first = next((e[0] for e in hr if e[2] == -1), None)
        rows.append("| 30 s at 75/min, then 60 s with baseline wander | %s | %s | %d | %s | %s |" % (
            "safe" if safe else "default", before[-1][2] if before else "none", len(hr),
            "%.1f s" % (first / 1000) if first is not None else "never", "yes" if learn else "no"))


def item6(host, rows):
    rows.append("| case | profile | rate reports (values) |")
    rows.append("|---|---|---|")
    t120 = np.arange(120000) / 1000.0
    for safe in (0, 1):
        # 40 s breathing at 15/min, then 80 s apnoea with a cardiac oscillation at 72/min.
        host.start(safe, data=b"SLR")
        breath = np.where(t120 < 40, 400 * np.sin(2 * math.pi * 0.25 * t120), 0)
        cardiac = 60 * np.sin(2 * math.pi * 1.2 * t120)
        host.leads(ecg(1000, 120, 72), resp=breath + cardiac)
        apnoea = [e[2] for e in host.events if e[1] == "resp" and e[0] >= 40000]
        rows.append("| apnoea from 40 s, cardiac oscillation | %s | %d after 40 s: %s |" % (
            "safe" if safe else "default", len(apnoea), apnoea[:12]))
    for safe in (0, 1):
        host.start(safe, data=b"SLR")
        host.leads(np.zeros(60000), resp=60 * np.sin(2 * math.pi * 1.2 * t120[:60000]))
        r = [e[2] for e in host.events if e[1] == "resp"]
        rows.append("| heart rate unknown, 72/min oscillation | %s | %d: %s |" % (
            "safe" if safe else "default", len(r), r[:12]))
    for safe in (0, 1):
        # 60 s of 40 random sines between 0.1 and 3 Hz (30 units each): no
        # breathing rhythm to measure, beats at 72.
        host.start(safe, data=b"SLR")
        rng = np.random.default_rng(1)
        f, ph = rng.uniform(0.1, 3.0, 40), rng.uniform(0, 2 * math.pi, 40)
        t = t120[:60000]
        host.leads(ecg(1000, 60, 72), resp=sum(30 * np.sin(2 * math.pi * fi * t + p) for fi, p in zip(f, ph)))
        r = [e[2] for e in host.events if e[1] == "resp"]
        rows.append("| after a reset, random slow movement (60 s) | %s | %d: %s |" % (
            "safe" if safe else "default", len(r), r[:12]))
    for safe in (0, 1):
        host.start(safe, data=b"SLR")
        host.leads(np.zeros(5000), resp=np.zeros(5000), status=np.full(5000, 0x3))  # I and II off
        r = [e[2] for e in host.events if e[1] == "resp"]
        rows.append("| respiration lead off, 5 s | %s | %d |" % ("safe" if safe else "default", len(r)))


def item7(host, rows):
    rows.append("| emg, no base | profile | output after 2 s | after 10 min | reported delay | measured delay |")
    rows.append("|---|---|---:|---:|---:|---:|")
    for emg in ["25", "35", "45", "75", "150"]:
        for safe in (0, 1):
            host.start(safe)
            host.set_filter("off", "off", emg)
            y = host.leads(np.full(600000, 1000.0))[:, 2]
            reported = host.lib.getCurTotalDelay()
            host.start(safe)
            host.set_filter("off", "off", emg)
            rows.append("| %s | %s | %d | %d | %d | %d |" % (emg, "safe" if safe else "default", y[2000], y[-1],
                                                             reported, pulse_delay(host, 1000)))


def svg(path, freqs, curves):
    w, h, x0, y0 = 720, 360, 60, 20
    pw, ph = w - x0 - 20, h - y0 - 50

    def px(f):
        return x0 + pw * f / freqs[-1]

    def py(db):
        return y0 + ph * (-db) / 60.0

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" '
           'font-size="11">' % (w, h), '<rect width="100%" height="100%" fill="white"/>']
    for db in range(0, -61, -10):
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (x0, x0 + pw, py(db), py(db)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%d dB</text>' % (x0 - 4, py(db) + 4, db))
    for f in range(0, int(freqs[-1]) + 1, 20):
        out.append('<line x1="%.1f" x2="%.1f" y1="%d" y2="%d" stroke="#eee"/>' % (px(f), px(f), y0, y0 + ph))
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (px(f), y0 + ph + 14, f))
    out.append('<text x="%d" y="%d" text-anchor="middle">Hz</text>' % (x0 + pw // 2, y0 + ph + 30))
    for (label, g), colour in zip(curves.items(), ["#c33", "#36c"]):
        pts = " ".join("%.1f,%.1f" % (px(f), py(max(-60.0, 20 * math.log10(max(v, 1e-6))))) for f, v in zip(freqs, g))
        out.append('<polyline fill="none" stroke="%s" stroke-width="1.5" points="%s"/>' % (colour, pts))
        out.append('<text x="%d" y="%d" fill="%s">%s</text>' % (x0 + pw - 250, y0 + 14 + 14 * list(curves).index(label),
                                                              colour, label))
    out.append('</svg>')
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lib", default=os.path.join(ROOT, "build", "libtessivar.so"))
    parser.add_argument("--svg", default=os.path.join(ROOT, "docs", "safety_60hz.svg"))
    parser.add_argument("--items", default="1234567svg")
    args = parser.parse_args()
    host = Host(args.lib)
    for key, title, fn in [("1", "Item 1: base with line 60 at 1000 Hz", item1),
                           ("2", "Item 2: reported and measured display delay", item2),
                           ("3", "Item 3: cry mode and rate changes at 2000 Hz", item3),
                           ("4", "Item 4: an unknown line name after 60", item4),
                           ("5", "Item 5: heart rate while the heart-rate lead is noisy", item5),
                           ("6", "Item 6: respiration reports", item6),
                           ("7", "Item 7: short low-passes after priming (1 mV level)", item7)]:
        if key in args.items:
            rows = []
            fn(host, rows)
            print("#### " + title + "\n")
            print("\n".join(rows) + "\n", flush=True)
    if "svg" in args.items:
        freqs = list(range(2, 201, 2))
        svg(args.svg, freqs, {"0.6 + 60, default": response_curve(host, 0, freqs),
                              "0.6 + 60, safe": response_curve(host, 1, freqs)})
        print("wrote", args.svg)
    host.lib.ecgPreprocessDenit()


if __name__ == "__main__":
    main()
