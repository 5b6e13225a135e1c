"""The library's signal filter object and offline R-peak finder on arrays."""
import numpy as np

from . import _tessivar
from ._arrays import integers, reals


class SignalFilter:
    """One of the library's filter objects, fed float64 samples.

    SignalFilter.fir(b), .iir(b, a), .avg(n) (moving-average high-pass),
    .avg_lp(n) (moving-average low-pass), .notch(f0, fs, adj) (adaptive
    mains canceller). process(x) filters sample by sample, carrying its
    state from call to call; offline(x) filters a whole array with the lag
    removed; reset() restarts it."""

    def __init__(self, kind, **args):
        self._f = _tessivar._Filter(kind, args)

    @classmethod
    def fir(cls, b, gain=1.0, name="fir"):
        return cls("fir", b=reals(b, "b"), gain=float(gain), name=name)

    @classmethod
    def iir(cls, b, a, gain=1.0, delay=0, name="iir"):
        return cls("iir", b=reals(b, "b"), a=reals(a, "a"), gain=float(gain), delay=int(delay), name=name)

    @classmethod
    def avg(cls, n, name="avg"):
        return cls("avg", n=int(n), name=name)

    @classmethod
    def avg_lp(cls, n, name="avg_lp"):
        return cls("avg_lp", n=int(n), name=name)

    @classmethod
    def notch(cls, f0, fs, adj, name="notch"):
        return cls("notch", phi=2.0 * np.cos(2.0 * np.pi * f0 / fs), adj=float(adj), name=name)

    def process(self, x):
        return self._f.process(_one_d(reals(x, "samples")))

    def offline(self, x):
        return self._f.offline(_one_d(reals(x, "samples")))

    def reset(self):
        self._f.reset()

    @property
    def delay(self):
        """Lag of the filter in samples."""
        return self._f.delay


def _one_d(a):
    if a.ndim != 1:
        raise ValueError(f"samples must be a 1-D array, got shape {a.shape}")
    return a


def find_r_peaks(samples, fs, method=0, mode=0, max_hr=0, min_hr=0):
    """Beat positions (sample indexes) found by the library's offline R-peak
    finder in int16 samples (microvolts at 1000 Hz for the front end's
    detectors). Integer arrays are converted when every value fits int16."""
    x = integers(samples, "samples", np.int16)
    if x.ndim != 1:
        raise ValueError(f"samples must be a 1-D array, got shape {x.shape}")
    if x.size == 0:
        raise ValueError("samples must not be empty")
    return _tessivar._find_r_peaks(x, int(fs), int(method), int(mode), int(max_hr), int(min_hr))
