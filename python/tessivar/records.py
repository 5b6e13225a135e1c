"""Recordings: the WFDB reader of the command-line program, its patient
simulator and frame builder."""
import os

import numpy as np

from . import _tessivar


def _exists(path):
    return os.path.exists(path) or os.path.exists(path + ".hea")


def read_record(path):
    """The WFDB record at path (base path or .hea file) as a Record:
    .digital and .physical (n x signals), .descriptions, .fs, ..."""
    path = os.fspath(path)
    if not _exists(path):
        raise FileNotFoundError(f"no WFDB record at {path} (looked for {path}.hea)")
    return _tessivar._read_record(path)


def read_annotations(path):
    """An MIT-format annotation file: dict of arrays "time" (samples),
    "code" and the list "aux"."""
    path = os.fspath(path)
    if not os.path.exists(path):
        raise FileNotFoundError(f"no annotation file {path}")
    return _tessivar._read_annotations(path)


def simulate(seconds=60.0, fs=1000, seed=1, heart_rate=72.0, resp_rate=15.0, variability=0.03):
    """A simulated 8-lead patient with respiration and its true R-peak
    times: (Record, beats)."""
    return _tessivar._simulate(float(seconds), int(fs), int(seed), float(heart_rate), float(resp_rate),
                               float(variability))


def build_frames(record, fs=1000, lsb_mv=1000, resp_scale=1000.0, leads=None, resp="", max_frames=-1):
    """The front end's input frames for a record, as `tessivar run` builds
    them: (frames (n x words) int32, layout dict with "wire", "data",
    "channels", ...)."""
    return _tessivar._build_frames(record, int(fs), int(lsb_mv), float(resp_scale), dict(leads or {}), resp,
                                   int(max_frames))


def record_from_signals(name, fs, descriptions, units, signals):
    signals = np.asarray(signals, dtype=np.float64)
    return _tessivar._record_from_signals(name, float(fs), list(descriptions), list(units), signals)
