"""The Monitor against the C interface, its one-per-process rule and its
argument checks."""
import json
import os
import sys

import numpy as np
import pytest

import tessivar
from tessivar.records import build_frames

sys.path.insert(0, os.path.dirname(__file__))
import c_host  # noqa: E402

FILTERS = ("0.67", "50", "35")


@pytest.fixture(scope="module")
def sim_frames():
    # 12-lead wiring with respiration, 20 s of a simulated patient at 72/min.
    record, truth = tessivar.simulate(seconds=20, seed=3)
    frames, layout = build_frames(record)
    assert (layout["wire"], layout["data"]) == ("12", "SLR")
    return frames, truth


def test_same_as_c_interface(sim_frames):
    frames, _ = sim_frames
    if "TESSIVAR_LIBRARY" not in os.environ:
        pytest.skip("the shared library is not given (TESSIVAR_LIBRARY)")
    c_out, c_beats, c_rates = c_host.run(frames, "12", "SLR", FILTERS)
    with tessivar.Monitor(wire="12", data="SLR", filters=FILTERS) as m:
        # Blocks of different sizes give the same frames as one at a time.
        out = np.concatenate([m.process(frames[:1]), m.process(frames[1:777]), m.process(frames[777:])])
    assert np.array_equal(out, c_out)
    assert [(e["at"], e["frame"]) for e in m.events_of("beat")] == c_beats
    assert [(e["frame"], e["kind"], e["rate"]) for e in m.events if e["kind"] in ("heartRate", "respRate")] == c_rates
    assert len(c_beats) >= 20  # 72/min over 20 s, less the learning


def test_events_and_state(sim_frames):
    frames, truth = sim_frames
    with tessivar.Monitor() as m:
        m.process(frames)
        last = m.events_of("filter")[-1]
        assert m.hr_lead == "II" and m.filters == (last["base"], last["line"], last["emg"])
        delay = m.total_delay
    kinds = {e["kind"] for e in m.events}
    assert {"beat", "heartRate", "quality", "hrLead", "status", "filter"} <= kinds
    # Quality reports arrive parsed; rates as (frame, rate) arrays.
    assert all(isinstance(q, (dict, list)) for _, q in m.quality)
    assert m.heart_rate.shape[1] == 2 and 68 <= m.heart_rate[-1, 1] <= 76
    # Every true beat after the first seconds, and reported before the end
    # (a few seconds after it happens), has a detected beat within 150 ms
    # (a sample is a millisecond here).
    late = truth[(truth > 5000) & (truth < 17000)]
    assert np.min(np.abs(m.beats[None, :] - late[:, None]), axis=1).max() <= 150
    assert delay > 0 and not m.is_open


def test_one_monitor_per_process():
    with tessivar.Monitor():
        with pytest.raises(RuntimeError, match="one monitor per process"):
            tessivar.Monitor()
    with tessivar.Monitor() as again:
        assert again.is_open


@pytest.mark.parametrize("frames, error, match", [
    (np.zeros((5, 10), np.float64), TypeError, "expected integers"),      # float samples
    (np.zeros((5, 9), np.int32), ValueError, r"shape \(n, 10\)"),          # words missing
    (np.zeros(15, np.int32), ValueError, r"shape \(n, 10\)"),              # flat, not whole frames
    (np.full((2, 10), 2 ** 40, np.int64), ValueError, "outside the int32"),
    (np.zeros((2, 10), np.complex128), TypeError, "expected integers"),
])
def test_refused_frames(frames, error, match):
    with tessivar.Monitor() as m, pytest.raises(error, match=match):
        m.process(frames)


def test_converted_frames(sim_frames):
    frames, _ = sim_frames
    part = frames[:3000]
    results = []
    # int32, int64, Fortran order, a flat buffer, a strided view: all the same frames.
    for variant in (part, part.astype(np.int64), np.asfortranarray(part), part.ravel(),
                    np.repeat(part, 2, axis=0)[::2]):
        with tessivar.Monitor() as m:
            results.append(m.process(variant))
    for r in results[1:]:
        assert np.array_equal(r, results[0])
    with tessivar.Monitor() as m:
        assert m.process(np.zeros((0, 10), np.int32)).shape == (0, 14)


@pytest.mark.parametrize("call, function", [
    (lambda m: m.set_filter_mode("loud"), "ecgPreprocessSetFilterMode"),
    (lambda m: m.set_qrs_mode("elderly"), "ecgPreprocessSetQrsMode"),
    (lambda m: m.set_hr_lead("V10"), "ecgPreprocessSetHrLead"),
    (lambda m: m.set_wire("7"), "ecgPreprocessSetWireType"),
])
def test_refused_setters(call, function):
    with tessivar.Monitor() as m, pytest.raises(tessivar.TessivarError) as info:
        call(m)
    assert info.value.function == function and info.value.code == -1
    assert function in str(info.value)


@pytest.mark.parametrize("options, match", [
    (dict(filters=("0.67", "50")), "three names"),
    (dict(fs=500), "fs must be one of 1000, 2000"),
    (dict(wire="7"), "wire must be one of"),
    (dict(data="SLX"), "data must be one of"),
    (dict(lsb_mv=0), "must be positive"),
])
def test_bad_configuration(options, match):
    with pytest.raises(ValueError, match=match):
        tessivar.Monitor(**options)
    m = tessivar.Monitor()
    m.close()
    with pytest.raises(RuntimeError, match="closed"):
        m.process(np.zeros((1, 10), np.int32))
    with tessivar.Monitor():  # the refused and closed ones left the slot free
        pass


def test_quality_text_is_json(sim_frames):
    frames, _ = sim_frames
    with tessivar.Monitor() as m:
        m.process(frames[:5000])
        assert m.quality_now == json.loads(m._core.quality)


def test_gil_released_and_calls_refused_meanwhile(sim_frames):
    # While one thread processes (without the GIL), this one runs and its
    # calls of the same monitor are refused rather than interleaved.
    import threading
    frames = np.tile(sim_frames[0], (10, 1))
    with tessivar.Monitor() as m:
        worker = threading.Thread(target=m.process, args=(frames,))
        worker.start()
        refused = False
        while worker.is_alive() and not refused:
            try:
                m.hr_lead
            except RuntimeError as e:
                refused = "another thread" in str(e)
        worker.join()
        assert m.frames == len(frames)
    assert refused
