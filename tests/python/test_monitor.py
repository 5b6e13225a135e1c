"""The Monitor: blocks and chunks, setters, one monitor per process, argument checks."""
import threading

import numpy as np
import pytest

import tessivar
from tessivar.records import build_frames

FILTERS = ("0.67", "50", "35")


@pytest.fixture(scope="module")
def sim():
    # 20 s of a simulated patient at 72/min, 12-lead wiring with respiration.
    record, truth = tessivar.simulate(seconds=20, seed=3)
    frames, layout = build_frames(record)
    assert (layout["wire"], layout["data"], frames.shape[1]) == ("12", "SLR", 10)
    return frames, truth


def test_block_sizes_agree_and_beats_are_found(sim):
    frames, truth = sim[0].copy(), sim[1]
    frames[0, 0] = -1  # every status bit: as uint32 (below) 0xffffffff, the same bits
    with tessivar.Monitor(filters=FILTERS, block=1000) as whole:  # a flat array of whole frames
        out = whole.process(frames.ravel())
    with tessivar.Monitor(filters=FILTERS) as m:  # one frame per library call, in uneven chunks of other types
        chunks = np.concatenate([m.process(frames[:1].view(np.uint32)), m.process(frames[1:777].astype(np.int64)),
                                 m.process(np.asfortranarray(frames[777:])), m.process(frames[:0])])
        assert m.hr_lead == "II" and m.total_delay > 0 and m.status("hrlearning") == "false"
        m.reset_hr()  # back to learning
        assert m.status("hrlearning") == "true"
    assert np.array_equal(out, chunks) and np.array_equal(whole.beats, m.beats)
    assert {"beat", "heartRate", "quality", "hrLead", "status", "filter"} <= {e["kind"] for e in m.events}
    assert all(isinstance(q, (dict, list)) for _, q in m.quality) and 68 <= m.heart_rate[-1, 1] <= 76
    # Every true beat from 5 s to 17 s has a detected beat within 150 frames (ms).
    late = truth[(truth > 5000) & (truth < 17000)]
    assert np.min(np.abs(m.beats[None, :] - late[:, None]), axis=1).max() <= 150


def test_setters_through_the_front_end():
    with tessivar.Monitor(filters=None) as m:
        assert m.filters == ("null", "null", "null")  # nothing installed after Init
        m.set_filter("0.67", "50", "35")              # at 1000 Hz: no base filter, comb 50 0.6, lpass 35
        assert m.filters == ("null", "50+0.6", "35")
        m.set_filter("bogus", "bogus", "bogus")       # unknown names keep their slot
        assert m.filters == ("null", "50+0.6", "35")
        m.set_hr_lead("auto")
        count = []
        for mode in (None, "normal", "cry"):  # already normal: nothing happens; cry: new filters
            if mode:
                m.set_filter_mode(mode)
            m.process(np.zeros((0, 10), np.int32))  # events are collected at every process call
            count.append(len(m.events_of("filter")))
        assert count[0] == count[1] < count[2] and m.status("beatNoise") == "unknown"


@pytest.mark.parametrize("call, error, match", [
    (lambda m: m.set_filter_mode("Cry"), tessivar.TessivarError, "ecgPreprocessSetFilterMode"),  # exact names
    (lambda m: m.set_qrs_mode("elderly"), tessivar.TessivarError, "ecgPreprocessSetQrsMode"),
    (lambda m: m.set_hr_lead("V10"), tessivar.TessivarError, "ecgPreprocessSetHrLead"),
    (lambda m: m.set_resp_lead("V1"), tessivar.TessivarError, "ecgPreprocessSetRespLead"),
    (lambda m: m.set_wire("7"), tessivar.TessivarError, "ecgPreprocessSetWireType"),
    (lambda m: m.process(np.zeros((5, 10), np.float64)), TypeError, "expected integers"),
    (lambda m: m.process(np.zeros((2, 10), np.complex128)), TypeError, "expected integers"),
    (lambda m: m.process(np.zeros((5, 9), np.int32)), ValueError, r"shape \(n, 10\)"),  # a word missing
    (lambda m: m.process(np.zeros(15, np.int32)), ValueError, r"shape \(n, 10\)"),      # not whole frames
    (lambda m: m.process(np.full((2, 10), 2 ** 31, np.int64)), ValueError, "outside the int32"),  # INT32_MAX + 1
])
def test_refused_calls(call, error, match):
    with tessivar.Monitor() as m, pytest.raises(error, match=match) as info:
        call(m)
    assert error is not tessivar.TessivarError or (info.value.function, info.value.code) == (match, -1)


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
    with tessivar.Monitor() as m, pytest.raises(RuntimeError, match="one monitor per process"):
        tessivar.Monitor()
    with pytest.raises(RuntimeError, match="closed"):
        m.process(np.zeros((1, 10), np.int32))
    assert not m.is_open


def test_calls_refused_while_another_thread_processes(sim):
    # The GIL is released during processing; calls meanwhile are refused, not interleaved.
    frames, refused = np.tile(sim[0], (10, 1)), False
    with tessivar.Monitor() as m:
        worker = threading.Thread(target=m.process, args=(frames,))
        worker.start()
        while worker.is_alive() and not refused:
            try:
                m.hr_lead
            except RuntimeError as e:
                refused = "another thread" in str(e)
        worker.join()
        assert refused and m.frames == len(frames)
