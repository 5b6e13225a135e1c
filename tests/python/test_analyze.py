"""analyze against `tessivar run`, on arrays, and its argument checks; the
filter and R-peak finder wrappers."""
import json
import os
import subprocess

import numpy as np
import pytest

import tessivar


def run_cli(cli, record, out_dir, seconds):
    subprocess.run([cli, "run", record, "--out-dir", str(out_dir), "--seconds", str(seconds), "--quiet"],
                   check=True, capture_output=True)
    name = os.path.basename(record)
    beats = tessivar.read_annotations(os.path.join(out_dir, name + ".qrs"))["time"]
    out = tessivar.read_record(os.path.join(out_dir, name + "_out"))
    events = [json.loads(line) for line in open(os.path.join(out_dir, name + ".jsonl"))]
    return beats, out, events


@pytest.mark.parametrize("record, seconds", [("mitdb/100", 60), ("mitdb/208", 40), ("bidmc/bidmc01", 60)])
def test_matches_command_line(shared_data, cli, tmp_path, record, seconds):
    path = os.path.join(shared_data, record)
    beats, out, events = run_cli(cli, path, tmp_path, seconds)
    result = tessivar.analyze(tessivar.read_record(path), seconds=seconds)
    assert np.array_equal(result.beats, beats)
    # The command line stores the output leads and respiration as int16.
    words = result.output[:, 1:]
    assert np.array_equal(np.clip(words, -32768, 32767), out.digital[:, :words.shape[1]])
    for kind, trend in (("heartRate", result.heart_rate), ("respRate", result.resp_rate)):
        expected = [(e["frame"], e["rate"]) for e in events if e["event"] == kind]
        assert [(round(t * 1000), r) for t, r in trend] == expected
    assert len(result.beats) > seconds  # above 60/min in these records


def test_array_input_equals_record_input():
    # The simulated leads are whole microvolts, so millivolt arrays carry
    # them exactly and both paths build the same frames.
    record, truth = tessivar.simulate(seconds=30, seed=5)
    x = record.physical
    cols = [record.find(name) for name in ("I", "II", "V1", "V2", "V3", "V4", "V5", "V6")]
    from_array = tessivar.analyze(x[:, cols], fs=1000, leads=("I", "II", "V1", "V2", "V3", "V4", "V5", "V6"),
                                  resp=x[:, record.find("RESP")])
    from_record = tessivar.analyze(record)
    assert np.array_equal(from_array.beats, from_record.beats)
    assert np.array_equal(from_array.output[:, 1:], from_record.output[:, 1:])


def test_resampled_array_finds_the_beats():
    # Lead II at 250 Hz: beat positions come back in 250 Hz samples, each
    # true beat after the first 5 s within 150 ms (37.5 samples).
    record, truth = tessivar.simulate(seconds=40, seed=7)
    ii = record.physical[::4, record.find("II")]
    result = tessivar.analyze(ii, fs=250, leads=("II",))
    late = truth[truth > 5000] / 4
    assert np.min(np.abs(result.beats[None, :] - late[:, None]), axis=1).max() <= 37.5
    assert set(result.filtered) >= {"II"} and result.respiration is None
    pytest.importorskip("matplotlib")
    fig = result.plot(seconds=(5, 10))
    assert len(fig.axes) == 2  # lead II, the one carried, and the trends


@pytest.mark.parametrize("args, error, match", [
    (dict(ecg=np.array([0.1, np.nan, 0.2] * 100), fs=250), ValueError, "NaN"),
    (dict(ecg=np.zeros(0), fs=250), ValueError, "empty"),
    (dict(ecg=np.zeros(500)), ValueError, "fs is required"),
    (dict(ecg=np.zeros((500, 2)), fs=250), ValueError, r"shape \(n,\) or \(n, 1\)"),
    (dict(ecg=np.zeros(500), fs=250, resp=np.zeros(400)), ValueError, "resp"),
    (dict(ecg=np.array(["a"] * 500), fs=250), TypeError, "real numbers"),
    (dict(ecg=np.zeros(500), fs=250, run_fs=500), ValueError, "1000 or 2000"),
    (dict(ecg=np.zeros(500), fs=250, hr_lead="V1"), ValueError, "does not carry"),
])
def test_refused_arguments(args, error, match):
    with pytest.raises(error, match=match):
        tessivar.analyze(**args)


def test_missing_record(tmp_path):
    with pytest.raises(FileNotFoundError, match="no WFDB record"):
        tessivar.read_record(tmp_path / "absent")
    (tmp_path / "broken.hea").write_text("broken 1 360 10\nbroken.dat 16 200 16 0 0 0 0 MLII\n")
    with pytest.raises(tessivar.RecordError):
        tessivar.read_record(tmp_path / "broken")


@pytest.mark.parametrize("make, x, expected", [
    # Histories are primed with the first sample.
    # two-tap mean: y[n] = (x[n] + x[n-1]) / 2 -> 2, (4+2)/2, (6+4)/2
    (lambda: tessivar.SignalFilter.fir([0.5, 0.5]), [2, 4, 6], [2, 3, 5]),
    # y[n] = x[n] + 0.5 y[n-1], primed at steady state 1 / (1 - 0.5) = 2
    (lambda: tessivar.SignalFilter.iir([1.0], [1.0, -0.5]), [1, 1, 0, 0], [2, 2, 1, 0.5]),
])
def test_signal_filter(make, x, expected):
    f = make()
    assert np.allclose(f.process(x), expected)
    f.reset()
    assert np.allclose(f.process(x), expected)  # the same after a restart
    with pytest.raises(ValueError, match="NaN"):
        f.process([1.0, np.nan])


def test_find_r_peaks():
    record, truth = tessivar.simulate(seconds=30, seed=2)
    ii = record.digital[:, record.find("II")]  # microvolts
    peaks = tessivar.find_r_peaks(ii, fs=1000)
    # After the detector's learning (about 8 s here), every true beat has a
    # peak within 150 ms, and no peak is far from a true beat.
    distance = np.abs(peaks[None, :] - truth[:, None])
    assert distance[truth > 10000].min(axis=1).max() <= 150
    assert distance.min(axis=0).max() <= 150
    for bad, error in ((ii.astype(float), TypeError), (ii * 1000, ValueError), (ii[:0], ValueError),
                       (ii.reshape(-1, 2), ValueError)):
        with pytest.raises(error):
            tessivar.find_r_peaks(bad, fs=1000)


@pytest.mark.parametrize("call, function, log", [
    (lambda: tessivar.SignalFilter.avg(0), "newSignalFilter", "Input parameter exception."),
    (lambda: tessivar.find_r_peaks(np.zeros(100, np.int16), fs=0), "newBeatDetect", "[E]"),
])
def test_refused_module_records(call, function, log):
    # Refusals carry the library's error line, printed nowhere else.
    with pytest.raises(tessivar.TessivarError) as info:
        call()
    assert info.value.function == function and log in info.value.log
