"""analyze against `tessivar run` and on arrays; the filter and R-peak finder wrappers."""
import json
import os
import subprocess

import numpy as np
import pytest

import tessivar


@pytest.mark.parametrize("record, seconds", [("mitdb/100", 60), ("mitdb/208", 40), ("bidmc/bidmc01", 60)])
def test_matches_command_line(shared_data, cli, tmp_path, record, seconds):
    path, name = os.path.join(shared_data, record), os.path.basename(record)
    subprocess.run([cli, "run", path, "--out-dir", str(tmp_path), "--seconds", str(seconds), "--quiet"], check=True)
    result = tessivar.analyze(tessivar.read_record(path), seconds=seconds)
    assert np.array_equal(result.beats, tessivar.read_annotations(tmp_path / (name + ".qrs"))["time"])
    assert len(result.beats) > seconds  # all above 60/min
    words = result.output[:, 1:]  # the command line stores leads and respiration as int16
    out = tessivar.read_record(tmp_path / (name + "_out")).digital
    assert np.array_equal(np.clip(words, -32768, 32767), out[:, :words.shape[1]])
    events = [json.loads(line) for line in open(tmp_path / (name + ".jsonl"))]
    for kind, trend in (("heartRate", result.heart_rate), ("respRate", result.resp_rate)):
        expected = [(e["frame"], e["rate"]) for e in events if e["event"] == kind]
        assert [(round(t * 1000), r) for t, r in trend] == expected


def test_arrays_give_the_record_result():
    # The simulated leads are whole microvolts, exact in millivolt arrays.
    record, _ = tessivar.simulate(seconds=30, seed=5)
    x, leads = record.physical, ("I", "II", "V1", "V2", "V3", "V4", "V5", "V6")
    from_array = tessivar.analyze(x[:, [record.find(n) for n in leads]], fs=1000, leads=leads,
                                  resp=x[:, record.find("RESP")])
    from_record = tessivar.analyze(record)
    assert np.array_equal(from_array.beats, from_record.beats)
    assert np.array_equal(from_array.output[:, 1:], from_record.output[:, 1:])


@pytest.mark.parametrize("call, error, match", [
    (lambda d: tessivar.analyze(np.array([0.1, np.nan, 0.2] * 100), fs=250), ValueError, "NaN"),
    (lambda d: tessivar.analyze(np.array([0.1, np.inf] * 100), fs=250), ValueError, "infinite"),
    (lambda d: tessivar.analyze(np.zeros(0), fs=250), ValueError, "empty"),
    (lambda d: tessivar.analyze(np.zeros(500)), ValueError, "fs is required"),
    (lambda d: tessivar.analyze(np.zeros((500, 2)), fs=250), ValueError, r"shape \(n,\) or \(n, 1\)"),
    (lambda d: tessivar.analyze(np.zeros(500), fs=250, resp=np.zeros(400)), ValueError, "resp"),
    (lambda d: tessivar.analyze(np.array(["a"] * 500), fs=250), TypeError, "real numbers"),
    (lambda d: tessivar.analyze(np.zeros(500), fs=250, run_fs=500), ValueError, "1000 or 2000"),
    (lambda d: tessivar.analyze(np.zeros(500), fs=250, hr_lead="V1"), ValueError, "does not carry"),
    (lambda d: tessivar.read_record(d / "absent"), FileNotFoundError, "no WFDB record"),
])
def test_refused_arguments(call, error, match, tmp_path):
    with pytest.raises(error, match=match):
        call(tmp_path)


@pytest.mark.parametrize("make, x, expected", [
    (lambda: tessivar.SignalFilter.fir([0.5, 0.5]), [2, 4, 6], [2, 3, 5]),  # (x[n] + x[n-1]) / 2, x[-1] = x[0]
    # y[n] = x[n] + 0.5 y[n-1], primed at the steady state 1 / (1 - 0.5) = 2
    (lambda: tessivar.SignalFilter.iir([1.0], [1.0, -0.5]), [1, 1, 0, 0], [2, 2, 1, 0.5]),
])
def test_signal_filter(make, x, expected):
    f = make()
    first = f.process(x)
    f.reset()  # a restart primes the histories again
    assert np.allclose(first, expected) and np.allclose(f.process(x), expected)
    with pytest.raises(ValueError, match="NaN"):
        f.process([1.0, np.nan])


def test_find_r_peaks():
    record, truth = tessivar.simulate(seconds=30, seed=2)
    ii = record.digital[:, record.find("II")]  # microvolts
    distance = np.abs(tessivar.find_r_peaks(ii, fs=1000)[None, :] - truth[:, None])
    assert distance[truth > 10000].min(axis=1).max() <= 150  # after learning every beat found
    assert distance.min(axis=0).max() <= 150                 # and no false peak
    for bad, error in ((ii.astype(float), TypeError), (ii * 1000, ValueError), (ii[:0], ValueError),
                       (ii.reshape(-1, 2), ValueError)):
        with pytest.raises(error):
            tessivar.find_r_peaks(bad, fs=1000)


@pytest.mark.parametrize("call, function, log", [
    (lambda: tessivar.SignalFilter.avg(0), "newSignalFilter", "Input parameter exception."),
    (lambda: tessivar.find_r_peaks(np.zeros(100, np.int16), fs=0), "newBeatDetect", "[E]"),
])
def test_refused_module_records(call, function, log):
    # The refusal carries the library's error line.
    with pytest.raises(tessivar.TessivarError) as info:
        call()
    assert info.value.function == function and log in info.value.log
