"""The Monitor against the C interface, the front end's frame geometry and
setters through it, its one-per-process rule and its argument checks."""
import os
import sys
import threading

import numpy as np
import pytest

import tessivar
from tessivar.records import build_frames

sys.path.insert(0, os.path.dirname(__file__))
import c_host  # noqa: E402

FILTERS = ("0.67", "50", "35")


@pytest.fixture(scope="module")
def sim():
    # 20 s of a simulated patient at 72/min, 12-lead wiring with respiration.
    record, truth = tessivar.simulate(seconds=20, seed=3)
    frames, layout = build_frames(record)
    assert (layout["wire"], layout["data"]) == ("12", "SLR")
    return frames, truth


def test_same_as_c_interface_and_finds_the_beats(sim):
    frames, truth = sim
    if "TESSIVAR_LIBRARY" not in os.environ:
        pytest.skip("the shared library is not given (TESSIVAR_LIBRARY)")
    c_out, c_beats, c_rates = c_host.run(frames, "12", "SLR", FILTERS)
    with tessivar.Monitor(wire="12", data="SLR", filters=FILTERS) as m:
        # Blocks of any size give the frames of one frame at a time.
        out = np.concatenate([m.process(frames[:1]), m.process(frames[1:777]), m.process(frames[777:])])
        assert m.hr_lead == "II" and m.total_delay > 0 and m.status("hrlearning") == "false"
        m.reset_hr()  # back to learning
        assert m.status("hrlearning") == "true"
    assert np.array_equal(out, c_out)
    assert [(e["at"], e["frame"]) for e in m.events_of("beat")] == c_beats
    assert [(e["frame"], e["kind"], e["rate"]) for e in m.events if e["kind"] in ("heartRate", "respRate")] == c_rates
    assert {"beat", "heartRate", "quality", "hrLead", "status", "filter"} <= {e["kind"] for e in m.events}
    assert all(isinstance(q, (dict, list)) for _, q in m.quality)
    assert 68 <= m.heart_rate[-1, 1] <= 76
    # Every true beat from 5 s to 17 s has a detected beat within 150 frames (ms).
    late = truth[(truth > 5000) & (truth < 17000)]
    assert np.min(np.abs(m.beats[None, :] - late[:, None]), axis=1).max() <= 150


@pytest.mark.parametrize("wire, data, in_words, out_words", [
    ("1", "SLR", 3, 3),      # one channel: no derived leads, output as input
    ("1", "SLT", 2, 2),      # T ignored with one channel
    ("3", "SL", 3, 7),       # 2 channels + status; + III, aVR, aVL, aVF
    ("5", "SLT", 5, 8),      # I, II, V1 + III as input: 3 derived leads only
    ("12", "SLR", 10, 14),   # 8 channels + status + respiration; + 4
    ("15", "SL", 12, 16),
    ("18", "SLRT", 17, 20),  # 14 + III = 15 channels + 2; + 3
])
def test_frame_geometry(wire, data, in_words, out_words):
    with tessivar.Monitor(wire=wire, data=data) as m:
        assert (m.in_words, m.out_words) == (in_words, out_words)
        assert m.process(np.zeros((4, in_words), np.int32)).shape == (4, out_words)


def test_setters_through_the_front_end():
    with tessivar.Monitor(filters=None) as m:
        assert m.filters == ("null", "null", "null")  # nothing installed after Init
        m.set_filter("0.67", "50", "35")              # at 1000 Hz: no base filter, comb 50 0.6, lpass 35
        assert m.filters == ("null", "50+0.6", "35")
        m.set_filter("bogus", "bogus", "bogus")       # unknown names keep their slot
        assert m.filters == ("null", "50+0.6", "35")
        before = len(m.events_of("filter"))
        m.set_filter_mode("normal")                   # already normal: nothing happens
        assert len(m.events_of("filter")) == before
        m.set_hr_lead("auto")
        assert m.status("beatNoise") == "unknown"


@pytest.mark.parametrize("call, function", [
    (lambda m: m.set_filter_mode("Cry"), "ecgPreprocessSetFilterMode"),  # names match exactly
    (lambda m: m.set_qrs_mode("elderly"), "ecgPreprocessSetQrsMode"),
    (lambda m: m.set_hr_lead("V10"), "ecgPreprocessSetHrLead"),
    (lambda m: m.set_resp_lead("V1"), "ecgPreprocessSetRespLead"),
    (lambda m: m.set_wire("7"), "ecgPreprocessSetWireType"),
])
def test_refused_setters(call, function):
    with tessivar.Monitor() as m, pytest.raises(tessivar.TessivarError) as info:
        call(m)
    assert (info.value.function, info.value.code) == (function, -1) and function in str(info.value)


@pytest.mark.parametrize("frames, error, match", [
    (np.zeros((5, 10), np.float64), TypeError, "expected integers"),
    (np.zeros((2, 10), np.complex128), TypeError, "expected integers"),
    (np.zeros((5, 9), np.int32), ValueError, r"shape \(n, 10\)"),    # a word missing
    (np.zeros(15, np.int32), ValueError, r"shape \(n, 10\)"),        # flat, not whole frames
    (np.full((2, 10), 2 ** 31, np.int64), ValueError, "outside the int32"),  # one past INT32_MAX
])
def test_refused_frames(frames, error, match):
    with tessivar.Monitor() as m, pytest.raises(error, match=match):
        m.process(frames)


def test_converted_frames(sim):
    part = sim[0][:3000].copy()
    part[0, 0] = -1  # every status bit set: as uint32 0xffffffff, the same bits
    variants = (part, part.astype(np.int64), np.asfortranarray(part), part.ravel(), np.repeat(part, 2, axis=0)[::2],
                part.view(np.uint32))
    results = []
    for v in variants:
        with tessivar.Monitor() as m:
            results.append(m.process(v))
            assert m.process(np.zeros((0, 10), np.int32)).shape == (0, 14)
    assert all(np.array_equal(r, results[0]) for r in results[1:])


@pytest.mark.parametrize("options, match", [
    (dict(filters=("0.67", "50")), "three names"),
    (dict(fs=500), "fs must be one of 1000, 2000"),
    (dict(wire="7"), "wire must be one of"),
    (dict(data="SLX"), "data must be one of"),
    (dict(lsb_mv=0), "must be positive"),
])
def test_bad_configuration_leaves_the_slot_free(options, match):
    with pytest.raises(ValueError, match=match):
        tessivar.Monitor(**options)
    with tessivar.Monitor() as m:
        with pytest.raises(RuntimeError, match="one monitor per process"):
            tessivar.Monitor()
    with pytest.raises(RuntimeError, match="closed"):
        m.process(np.zeros((1, 10), np.int32))
    assert not m.is_open


def test_calls_refused_while_another_thread_processes(sim):
    # The GIL is released during processing; calls meanwhile are refused, not interleaved.
    frames = np.tile(sim[0], (10, 1))
    refused = False
    with tessivar.Monitor() as m:
        worker = threading.Thread(target=m.process, args=(frames,))
        worker.start()
        while worker.is_alive() and not refused:
            try:
                m.hr_lead
            except RuntimeError as e:
                refused = "another thread" in str(e)
        worker.join()
        assert m.frames == len(frames)
    assert refused
