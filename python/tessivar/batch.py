"""Many records through the front end, one record per worker process on
Dask, gathered into one table."""
import os
import sys

import numpy as np

from . import _tessivar
from .analysis import analyze
from .records import read_annotations, read_record

COLUMNS = ("record", "status", "seconds", "beats", "tp", "fn", "fp", "se", "ppv", "hr_mae", "resp_mae", "error")


def _reference_rate(times_s, at_s, window):
    """Reference rate (per minute) at each time of at_s from the events of
    times_s: 60 over the mean interval of the intervals that end within the
    window (seconds) before it; NaN with fewer than two events there."""
    out = np.full(len(at_s), np.nan)
    for i, t in enumerate(at_s):
        inside = times_s[(times_s <= t) & (times_s > t - window)]
        if len(inside) >= 2:
            out[i] = 60.0 * (len(inside) - 1) / (inside[-1] - inside[0])
    return out


def _mae(reported, reference, learning_s):
    """Mean absolute difference over the reports after the learning time
    that carry a rate (> 0) and have a reference."""
    if len(reported) == 0:
        return None
    t, rate = reported[:, 0], reported[:, 1]
    ref = reference(t)
    keep = (t >= learning_s) & (rate > 0) & np.isfinite(ref)
    return float(np.mean(np.abs(rate[keep] - ref[keep]))) if keep.any() else None


def evaluate_record(path, seconds=None, learning_s=300.0, window_ms=150.0, **options):
    """One record's row: beats against its .atr annotations (TP, FN, FP,
    sensitivity, positive predictivity, as `tessivar eval` counts them),
    the heart-rate error against the reference beats (mean absolute
    difference to 60 / mean RR of the reference beats in the 10 s before
    each report) and, with a .breath file, the respiration-rate error
    against the first annotator's breaths (same rule over 32 s). Reports
    before learning_s are left out. Other options go to analyze."""
    path = os.fspath(path)
    record = read_record(path)
    result = analyze(record, seconds=seconds, **options)
    fs = record.fs
    row = dict(record=record.name, status="ok", seconds=result.frames / result.run_fs, beats=len(result.beats),
               tp=None, fn=None, fp=None, se=None, ppv=None, hr_mae=None, resp_mae=None, error="")
    if os.path.exists(path + ".atr"):
        ann = read_annotations(path + ".atr")
        limit = result.frames * fs / result.run_fs
        beat = np.isin(ann["code"], (1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 34, 35, 38)) & (ann["time"] < limit)
        reference = ann["time"][beat]
        excluded = _tessivar._flutter_episodes(ann["code"].tolist(), ann["time"].tolist())
        c = _tessivar._compare_beats(reference, result.beats, fs, window_ms, learning_s, excluded)
        row.update(c)
        row["se"] = c["tp"] / (c["tp"] + c["fn"]) if c["tp"] + c["fn"] else 1.0
        row["ppv"] = c["tp"] / (c["tp"] + c["fp"]) if c["tp"] + c["fp"] else 1.0
        ref_s = reference / fs
        row["hr_mae"] = _mae(result.heart_rate, lambda t: _reference_rate(ref_s, t, 10.0), learning_s)
    if os.path.exists(path + ".breath"):
        ann = read_annotations(path + ".breath")
        breaths = np.array([t for t, a in zip(ann["time"], ann["aux"]) if a.startswith("ann1")]) / fs
        row["resp_mae"] = _mae(result.resp_rate, lambda t: _reference_rate(breaths, t, 32.0), learning_s)
    return row


def _failed(path, error):
    row = dict.fromkeys(COLUMNS)
    row.update(record=os.path.basename(os.fspath(path)), status="failed", error=error)
    return row


class Table:
    """Rows of evaluate, in the order of the records, and their totals."""

    def __init__(self, rows):
        self.rows = list(rows)

    def __len__(self):
        return len(self.rows)

    def __iter__(self):
        return iter(self.rows)

    def __eq__(self, other):
        return isinstance(other, Table) and self.rows == other.rows

    @property
    def failed(self):
        return [r["record"] for r in self.rows if r["status"] != "ok"]

    @property
    def gross(self):
        """Summed TP, FN, FP over the records that have them, with their
        sensitivity and positive predictivity."""
        counted = [r for r in self.rows if r["status"] == "ok" and r["tp"] is not None]
        tp, fn, fp = (sum(r[k] for r in counted) for k in ("tp", "fn", "fp"))
        return dict(tp=tp, fn=fn, fp=fp, se=tp / (tp + fn) if tp + fn else 1.0, ppv=tp / (tp + fp) if tp + fp else 1.0)

    def __str__(self):
        def cell(v, fmt):
            return "-" if v is None else format(v, fmt)
        lines = [f"{'record':<12} {'status':<7} {'TP':>7} {'FN':>6} {'FP':>6} {'Se %':>7} {'+P %':>7} "
                 f"{'HR err':>7} {'RR err':>7}"]
        for r in self.rows + [dict(record="gross", status="", hr_mae=None, resp_mae=None, **self.gross)]:
            lines.append(f"{r['record']:<12} {r['status']:<7} {cell(r['tp'], 'd'):>7} {cell(r['fn'], 'd'):>6} "
                         f"{cell(r['fp'], 'd'):>6} {cell(r['se'] and 100 * r['se'], '.2f'):>7} "
                         f"{cell(r['ppv'] and 100 * r['ppv'], '.2f'):>7} {cell(r['hr_mae'], '.2f'):>7} "
                         f"{cell(r['resp_mae'], '.2f'):>7}" + (f"  {r['error']}" if r.get("error") else ""))
        return "\n".join(lines)


def _progress(done, total, stream):
    width = 30
    filled = width * done // total if total else width
    stream.write(f"\r[{'#' * filled}{' ' * (width - filled)}] {done}/{total} records")
    if done == total:
        stream.write("\n")
    stream.flush()


def evaluate(records, client=None, *, workers=2, progress=True, runner=None, **options):
    """Evaluates every record in its own worker process and returns a Table.

    client: a dask.distributed Client, a scheduler address ("tcp://host:8786")
    or None for a local cluster of `workers` single-threaded worker
    processes (the library keeps one monitor per process, so a worker runs
    one record at a time). "serial" runs the records one after another in
    this process instead. runner(path, **options) makes a row (default
    evaluate_record); options go to it. A record whose task fails, or whose
    worker dies, gets a row with status "failed"; the other rows are
    complete. A progress bar on standard error follows the records as they
    finish."""
    runner = runner or evaluate_record
    records = [os.fspath(r) for r in records]
    stream = sys.stderr if progress else None
    if client == "serial":
        rows = []
        for i, path in enumerate(records):
            try:
                rows.append(runner(path, **options))
            except Exception as e:
                rows.append(_failed(path, f"{type(e).__name__}: {e}"))
            if stream:
                _progress(i + 1, len(records), stream)
        return Table(rows)

    import dask
    from distributed import Client, LocalCluster, as_completed

    own = []
    if client is None:
        # A record that takes its worker down is tried once more on a fresh
        # one, then reported as failed. Workers hold only the record they
        # run, so a record queued behind a dying one is not blamed for it.
        with dask.config.set({"distributed.scheduler.allowed-failures": 1,
                              "distributed.scheduler.worker-saturation": 1.0}):
            cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                   dashboard_address=None, silence_logs=40)
        own.append(cluster)
        client = Client(cluster)
        own.insert(0, client)
    elif isinstance(client, str):
        client = Client(client)
        own.append(client)
    try:
        futures = [client.submit(runner, path, pure=False, key=f"tessivar-{i}-{os.path.basename(path)}", **options)
                   for i, path in enumerate(records)]
        index = {f.key: i for i, f in enumerate(futures)}
        rows = [None] * len(records)
        done = 0
        for future in as_completed(futures):
            i = index[future.key]
            try:
                rows[i] = future.result()
            except Exception as e:
                rows[i] = _failed(records[i], f"{type(e).__name__}: {e}")
            done += 1
            if stream:
                _progress(done, len(records), stream)
        return Table(rows)
    finally:
        for thing in own:
            thing.close()


def main(argv=None):
    """tessivar batch RECORD... [--scheduler ADDRESS] [--workers N]
    [--seconds S] [--learning-s S] [--qrs-method M] [--serial]"""
    import argparse
    p = argparse.ArgumentParser(prog="tessivar batch", description="Evaluate records in parallel on Dask.")
    p.add_argument("records", nargs="+")
    p.add_argument("--scheduler", help="address of a running Dask scheduler (default: a local cluster)")
    p.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster")
    p.add_argument("--serial", action="store_true", help="run in this process, one record after another")
    p.add_argument("--seconds", type=float)
    p.add_argument("--learning-s", type=float, default=300.0)
    p.add_argument("--qrs-method", type=int, default=0)
    a = p.parse_args(argv)
    client = "serial" if a.serial else a.scheduler
    table = evaluate(a.records, client, workers=a.workers, seconds=a.seconds, learning_s=a.learning_s,
                     qrs_method=a.qrs_method)
    print(table)
    return 1 if table.failed else 0
