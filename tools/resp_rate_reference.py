#!/usr/bin/python3
"""Reference values for the respiration-rate estimator tests.

Independent of the library: numpy's FFT and a direct transcription of the
peak rule (bins 4 .. 258, m[k] larger than both neighbours, strongest
first), applied to the windows the tests build:

  A  band and rate samples s = 0 .. 299 of 100 sin(2 pi 0.3 s / 10)
     (a 0.3 Hz breath, 18 per minute); the band window is s = 172 .. 299
     and the rate window the same 128 samples.
  B  band samples s = 0 .. 299 of 100 sin(2 pi (60 / 1024) s) (bin 60,
     35.16 per minute); the short window is s = 236 .. 299, i.e. positions
     64 .. 127 of the band window s = 172 .. 299.
  C  rate samples s = 0 .. 299 of 100 sin(2 pi 0.3 s / 10) + 100 sin(2 pi
     (40 / 1024) s) (18.16 and 23.44 per minute, equally strong); the rate
     window s = 172 .. 299.
  D  rate samples s = 0 .. 599 of a(s) 100 sin(2 pi s / 60) (10 per minute),
     a(s) = 0.8 for s = 480 .. 509 (the middle breath's positive half) and 1
     elsewhere; the time-domain window of bin 17 is the newest 4096 // 17 =
     240 samples, s = 360 .. 599.
  E  band samples s = 0 .. 299 of 100 sin(2 pi s / 60): band window
     s = 172 .. 299.
  F  band and rate samples s = 0 .. 299 of 100 sin(2 pi (24 / 1024) s)
     (bin 24, 14.06 per minute): band window s = 172 .. 299.

Prints the peak count, the first three bins and the ratio of the two
strongest amplitudes of each window, and the rates the bins stand for.
Run with

    /usr/bin/python3 tools/resp_rate_reference.py > tests/data/resp/resp_rate_reference.txt
"""
import numpy as np


def peaks(window):
    x = np.zeros(1024)
    x[:len(window)] = window
    m = np.abs(np.fft.fft(x))[:260]
    found = [(m[k], k) for k in range(4, 259) if m[k] > m[k + 1] and m[k] > m[k - 1]][:130]
    found.sort(key=lambda p: -p[0])
    return found


def report(label, window):
    p = peaks(window)
    bins = [k for _, k in p[:3]]
    ratio = p[0][0] / p[1][0]
    rates = [k * 600.0 / 1024.0 for k in bins]
    print(f"{label}: count {len(p)} bins {bins} amp0/amp1 {ratio:.6f} "
          f"rates {', '.join(f'{r:.6f}' for r in rates)}")


def main():
    s = np.arange(300)
    a = 100.0 * np.sin(2 * np.pi * 0.3 * s / 10.0)
    report("A band window", a[172:300])
    b = 100.0 * np.sin(2 * np.pi * 60.0 / 1024.0 * s)
    report("B band window", b[172:300])
    report("B short window", b[236:300])
    c = a + 100.0 * np.sin(2 * np.pi * 40.0 / 1024.0 * s)
    report("C rate window", c[172:300])
    s6 = np.arange(600)
    d = 100.0 * np.sin(2 * np.pi * s6 / 60.0)
    d[480:510] *= 0.8
    report("D time window", d[360:600])
    e = 100.0 * np.sin(2 * np.pi * s / 60.0)
    report("E band window", e[172:300])
    f = 100.0 * np.sin(2 * np.pi * 24.0 / 1024.0 * s)
    report("F band window", f[172:300])


if __name__ == "__main__":
    main()
