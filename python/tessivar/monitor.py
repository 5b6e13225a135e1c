"""Monitor: the front end driven frame by frame, as a monitor host does."""
import json

import numpy as np

from . import _tessivar
from ._arrays import integers

WIRES = ("1", "3", "5", "12", "15", "18")
FORMATS = ("SL", "SLR", "SLT", "SLRT")


class Monitor:
    """The library's front end, configured once and fed blocks of frames.

        with tessivar.Monitor(fs=1000, wire="12", data="SLR") as m:
            out = m.process(frames)          # (n, in_words) int32 -> (n, out_words)
            m.beats                          # input frames of the beats so far

    Options: fs (1000 or 2000), lsb_mv (ADC counts per millivolt), wire,
    data, hr_lead, resp_lead, filters (base, line, emg names), qrs_method,
    pace_filter, pace_inhib, pace_remove_ms, debug_cfg (log configuration
    file); qrs_mode, filter_mode, fuzz and sub_uv call their setters when
    given (None keeps the library's own setting); block is the number of
    frames per call of the library (1: every event knows its exact frame). The library keeps one monitor per process: opening a
    second Monitor while one is open raises RuntimeError.

    Every callback is kept as an event with the input frame being processed
    when it came ("frame"); beats also carry the frame of their fiducial
    point ("at"). Read them as .events (records, quality parsed into a
    dict), .beats, .heart_rate, .resp_rate (arrays) or events_of(kind).
    """

    def __init__(self, fs=1000, wire="12", data="SLR", hr_lead="II", resp_lead="II",
                 filters=("0.67", "50", "35"), qrs_method=0, lsb_mv=1000, qrs_mode=None,
                 filter_mode=None, pace_filter=0, pace_inhib=1, pace_remove_ms=10, fuzz=None,
                 sub_uv=None, debug_cfg=None, block=1):
        # The library starts with names or rates it cannot run and only
        # refuses the frames later: such a configuration is refused here.
        for name, value, allowed in (("fs", fs, (1000, 2000)), ("wire", str(wire), WIRES),
                                     ("data", str(data), FORMATS)):
            if value not in allowed:
                raise ValueError(f"{name} must be one of {', '.join(map(str, allowed))}, not {value!r}")
        if int(lsb_mv) < 1:
            raise ValueError(f"lsb_mv (ADC counts per millivolt) must be positive, not {lsb_mv}")
        self._core = _tessivar._Monitor(dict(
            fs=int(fs), wire=str(wire), data=str(data), hr_lead=str(hr_lead), resp_lead=str(resp_lead),
            qrs_method=int(qrs_method), lsb_mv=int(lsb_mv), pace_filter=int(pace_filter),
            pace_inhib=int(pace_inhib), pace_remove_ms=int(pace_remove_ms), debug_cfg=debug_cfg or "",
            block=int(block)))
        self.fs = int(fs)
        self._events = []
        try:
            if filters is not None:
                if len(filters) != 3:
                    raise ValueError("filters takes three names (base, line, emg), e.g. ('0.67', '50', '35')")
                self._core.set_filter(*map(str, filters))
            if filter_mode is not None:
                self._core.set_filter_mode(filter_mode)
            if qrs_mode is not None:
                self._core.set_qrs_mode(qrs_mode)
            if fuzz is not None:
                self._core.set_fuzz(int(fuzz))
            if sub_uv is not None:
                self._core.set_sub_uv(int(sub_uv))
        except Exception:
            self.close()
            raise
        self._collect()

    # --- life ---------------------------------------------------------------
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Stops the front end (Denit); the events stay readable."""
        if self._core.is_open:
            self._collect()
        self._core.close()

    @property
    def is_open(self):
        return self._core.is_open

    def __getattr__(self, name):
        # Setters and get functions of the front end: set_filter, set_hr_lead,
        # total_delay, heart_rate_now, in_words, ...
        if name.startswith("_"):
            raise AttributeError(name)
        return getattr(self._core, name)

    # --- frames ---------------------------------------------------------------
    def process(self, frames):
        """Processes input frames ((n, in_words) or a flat array of whole
        frames, integers fitting int32) and returns the output frames
        (n, out_words) int32. An empty array returns an empty block."""
        words = self._core.in_words
        a = np.asarray(frames)
        if a.dtype == np.uint32:
            # 32-bit words, the status word's bits included: the same bits.
            a = a.view(np.int32)
        a = integers(a, "frames", np.int32)
        if a.ndim == 1 and a.size % words == 0:
            a = a.reshape(-1, words)
        if a.ndim != 2 or a.shape[1] != words:
            raise ValueError(f"frames: expected shape (n, {words}) for this wiring and format, got {a.shape}")
        out = self._core.process(np.ascontiguousarray(a))
        self._collect()
        return out

    # --- events -------------------------------------------------------------------
    def _collect(self):
        for e in self._core.take_events():
            if e["kind"] == "quality":
                e["quality"] = json.loads(e["text"]) if e["text"] else None
            if e["kind"] == "beat":
                e["lead"] = _tessivar.LEAD_NAMES[e["lead"]] if 0 <= e["lead"] < 18 else "?"
            self._events.append(e)

    @property
    def events(self):
        """Every callback so far, in order, as dicts with "kind" and "frame"."""
        return list(self._events)

    def events_of(self, kind):
        return [e for e in self._events if e["kind"] == kind]

    @property
    def beats(self):
        """Input frames of the beats' fiducial points, in report order."""
        return np.array([e["at"] for e in self._events if e["kind"] == "beat"], dtype=np.int64)

    @property
    def beat_reports(self):
        """Input frames at which the beats were reported."""
        return np.array([e["frame"] for e in self._events if e["kind"] == "beat"], dtype=np.int64)

    def _rates(self, kind):
        rows = [(e["frame"], e["rate"]) for e in self._events if e["kind"] == kind]
        return np.array(rows, dtype=np.int64).reshape(-1, 2)

    @property
    def heart_rate(self):
        """(frame, beats per minute) of every heart-rate report."""
        return self._rates("heartRate")

    @property
    def resp_rate(self):
        """(frame, breaths per minute) of every respiration-rate report."""
        return self._rates("respRate")

    @property
    def quality(self):
        """(frame, parsed report) of every quality report."""
        return [(e["frame"], e["quality"]) for e in self._events if e["kind"] == "quality"]

    @property
    def heart_rate_now(self):
        return self._core.heart_rate

    @property
    def resp_rate_now(self):
        return self._core.resp_rate

    @property
    def quality_now(self):
        q = self._core.quality
        return json.loads(q) if q else None
