"""analyze: a whole recording through the front end in one call, as
`tessivar run` does it."""
import numpy as np

from . import _tessivar
from ._arrays import reals
from .monitor import Monitor
from .records import build_frames, record_from_signals


class Result:
    """What the front end made of a recording.

    beats        beat positions in input samples (the record's own rate)
    heart_rate   (seconds, beats per minute) of every heart-rate report
    resp_rate    (seconds, breaths per minute) of every respiration report
    quality      [(seconds, parsed quality report)]
    filtered     {lead: display signal in millivolts} at run_fs, delayed
                 by delay samples; respiration the respiration display value
    events       every callback of the run (Monitor.events)
    """

    def __init__(self, **fields):
        self.__dict__.update(fields)

    def __repr__(self):
        return (f"<tessivar.Result {len(self.beats)} beats, {self.frames} frames at {self.run_fs} Hz, "
                f"leads {', '.join(self.filtered)}>")

    def plot(self, seconds=(0.0, 10.0), leads=None, ax=None):
        """Display leads (by default those the recording carries) with the
        beats, and the rate trends, through matplotlib; returns the figure."""
        import matplotlib.pyplot as plt
        carried = self.layout["carried"].split(", ")
        leads = list(leads or [lead for lead in self.filtered if lead in carried])
        if ax is None:
            fig, axes = plt.subplots(len(leads) + 1, 1, figsize=(10, 1.6 * (len(leads) + 1)), squeeze=False)
            axes = axes[:, 0]
        else:
            axes, fig = np.atleast_1d(ax), np.atleast_1d(ax)[0].figure
        a, b = (int(s * self.run_fs) for s in seconds)
        t = (np.arange(a, min(b, self.frames)) - self.delay) / self.run_fs
        beat_t = self.beats / self.fs
        for axis, lead in zip(axes, leads):
            y = self.filtered[lead][a:min(b, self.frames)]
            axis.plot(t, y, lw=0.7)
            shown = beat_t[(beat_t >= t[0]) & (beat_t <= t[-1])] if len(t) else beat_t[:0]
            axis.plot(shown, np.interp(shown, t, y) if len(t) else shown, "rv", ms=4)
            axis.set_ylabel(f"{lead} mV")
        trend = axes[len(leads)] if len(axes) > len(leads) else axes[-1]
        if len(self.heart_rate):
            trend.step(self.heart_rate[:, 0], self.heart_rate[:, 1], where="post", label="heart rate /min")
        if len(self.resp_rate):
            trend.step(self.resp_rate[:, 0], self.resp_rate[:, 1], where="post", label="respiration /min")
        trend.set_xlabel("s")
        trend.legend(loc="upper right", fontsize="small")
        fig.tight_layout()
        return fig


def _record_of(ecg, fs, leads, resp):
    if fs is None:
        raise ValueError("fs is required with an array")
    x = reals(ecg, "ecg")
    if x.ndim == 1:
        x = x[:, None]
    if x.ndim != 2 or x.shape[1] != len(leads):
        raise ValueError(f"ecg: expected shape (n,) or (n, {len(leads)}) for leads {tuple(leads)}, got {x.shape}")
    if x.shape[0] == 0:
        raise ValueError("ecg: empty array")
    descriptions, units = list(leads), ["mV"] * len(leads)
    if resp is not None:
        r = reals(resp, "resp")
        if r.shape != (x.shape[0],):
            raise ValueError(f"resp: expected shape ({x.shape[0]},), got {r.shape}")
        x = np.column_stack([x, r])
        descriptions.append("RESP")
        units.append("Ohm")
    return record_from_signals("array", fs, descriptions, units, x)


def analyze(ecg, fs=None, leads=("II",), resp=None, *, seconds=None, run_fs=1000, lsb_mv=1000,
            resp_scale=1000.0, hr_lead=None, resp_lead="II", filters=("0.67", "50", "40"), qrs_method=0,
            lead_map=None, tail_ms=4000.0, filter_mode="normal", qrs_mode="adult", fuzz=0, **monitor_options):
    """Runs the front end over a whole recording and returns a Result.

    ecg is either a Record (read_record, simulate), whose leads are found by
    their descriptions, or an array of millivolts, (n,) or (n, len(leads)),
    sampled at fs, with leads naming its columns ("I", "II", "V1" ...); resp
    is then the thoracic impedance in ohms or None. For a Record, resp names
    the respiration signal ("" or None: the one described RESP; "none": no
    respiration) and lead_map maps lead names to other descriptions, as
    `tessivar run --leads` does.

    The signals are resampled to run_fs (1000 or 2000) and converted to
    frames exactly as `tessivar run` does, with the same defaults (filters
    0.67, 50, 40; heart-rate lead II when present, else the first lead),
    and the last frame is held tail_ms longer so that the last beats are
    reported. Beat positions come back in samples of the input rate.
    """
    if isinstance(ecg, _tessivar.Record):
        record = ecg
        resp_name = "" if resp is None else str(resp)
    else:
        record = _record_of(ecg, fs, leads, resp)
        resp_name = "" if resp is not None else "none"
    if run_fs not in (1000, 2000):
        raise ValueError("run_fs must be 1000 or 2000")
    max_frames = -1 if seconds is None else int(seconds * run_fs)
    frames, layout = build_frames(record, run_fs, lsb_mv, resp_scale, lead_map, resp_name, max_frames)
    if len(frames) == 0:
        raise ValueError("the recording has no samples")
    if hr_lead is None:
        hr_lead = "II" if "II" in layout["mapped"] else layout["mapped"][0]
    if hr_lead != "auto" and hr_lead not in layout["carried"].split(", "):
        raise ValueError(f"hr_lead {hr_lead}: the recording does not carry that lead "
                         f"(it has {layout['carried']}; or use 'auto')")
    count = len(frames)
    with Monitor(fs=run_fs, lsb_mv=lsb_mv, wire=layout["wire"], data=layout["data"], hr_lead=hr_lead,
                 resp_lead=resp_lead, filters=filters, qrs_method=qrs_method, filter_mode=filter_mode,
                 qrs_mode=qrs_mode, fuzz=fuzz, **monitor_options) as m:
        out = m.process(frames)
        tail = int(tail_ms * run_fs / 1000.0)
        if tail > 0:
            m.process(np.repeat(frames[-1:], tail, axis=0))
        delay = m.total_delay
        final = (m.heart_rate_now, m.resp_rate_now)
    merge = int(_tessivar.REPLAY_MERGE_MS * run_fs / 1000)
    train = np.asarray(_tessivar._beat_train(m.beats, merge), dtype=np.int64)
    train = train[(train >= 0) & (train < count)]
    # Frames to input samples, rounded half away from zero like the
    # command line's annotations.
    beats = np.floor(train * (record.fs / run_fs) + 0.5).astype(np.int64)

    data = layout["data"]
    n_leads = out.shape[1] - 1 - ("R" in data)
    chest = layout["channels"][3 if "T" in data else 2:]
    names = list(_tessivar.LEAD_NAMES[:6]) + chest
    filtered = {names[k]: out[:, 1 + k] / 1000.0 for k in range(n_leads)}

    def trend(rates):
        return np.column_stack([rates[:, 0] / run_fs, rates[:, 1]]) if len(rates) else np.zeros((0, 2))

    return Result(fs=record.fs, run_fs=run_fs, frames=count, delay=delay, beats=beats,
                  beat_frames=train, heart_rate=trend(m.heart_rate), resp_rate=trend(m.resp_rate),
                  quality=[(f / run_fs, q) for f, q in m.quality], filtered=filtered,
                  respiration=out[:, -1].copy() if "R" in data else None, output=out,
                  status=out[:, 0].copy(), layout=layout, hr_lead=hr_lead, final_rates=final,
                  events=m.events, log=m.log)
