"""A minimal monitor host on the library's C interface through ctypes: the
reference the Python module is compared with."""
import ctypes
import os

import numpy as np

PRINT = ctypes.CFUNCTYPE(None, ctypes.c_char_p)
FILTER = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p)
TEXT = ctypes.CFUNCTYPE(None, ctypes.c_char_p)
BEAT = ctypes.CFUNCTYPE(None)
RATE = ctypes.CFUNCTYPE(None, ctypes.c_int)
STATUS = ctypes.CFUNCTYPE(None, ctypes.c_char_p, ctypes.c_char_p)


class Conf(ctypes.Structure):
    _fields_ = [("fs", ctypes.c_int32), ("lsbMv", ctypes.c_int32), ("paceFilter", ctypes.c_int32),
                ("paceInhib", ctypes.c_int32), ("paceRemoveMs", ctypes.c_int32), ("wireType", ctypes.c_char_p),
                ("dataType", ctypes.c_char_p), ("hrLead", ctypes.c_char_p), ("respLead", ctypes.c_char_p),
                ("debugCfgFile", ctypes.c_char_p), ("printFunc", PRINT), ("onFilterSetting", FILTER),
                ("onHrLead", TEXT), ("onHeartBeat", BEAT), ("onHeartRate", RATE), ("onRespRate", RATE),
                ("onQuality", TEXT), ("onStatus", STATUS), ("qrsMethod", ctypes.c_int32)]


class BeatEvent(ctypes.Structure):
    _fields_ = [("frame", ctypes.c_int64), ("reportFrame", ctypes.c_int64), ("lead", ctypes.c_int32),
                ("method", ctypes.c_int32)]


BEAT_EVENT = ctypes.CFUNCTYPE(None, ctypes.POINTER(BeatEvent), ctypes.c_void_p)


def run(frames, wire, data, filters, fs=1000, hr_lead="II", qrs_method=0):
    """Output frames, beats (at, reportFrame) and rate events (frame, kind,
    rate) of frames processed one at a time."""
    lib = ctypes.CDLL(os.environ["TESSIVAR_LIBRARY"])
    state = {"frame": 0}
    beats, rates = [], []
    keep = [PRINT(lambda line: None), FILTER(lambda a, b, c: None), TEXT(lambda t: None), BEAT(),
            RATE(lambda r: rates.append((state["frame"], "heartRate", r))),
            RATE(lambda r: rates.append((state["frame"], "respRate", r))), TEXT(lambda t: None),
            STATUS(lambda k, v: None),
            BEAT_EVENT(lambda e, u: beats.append((e.contents.frame, e.contents.reportFrame)))]
    conf = Conf(fs, 1000, 0, 1, 10, wire.encode(), data.encode(), hr_lead.encode(), b"II", None, keep[0], keep[1],
                keep[2], keep[3], keep[4], keep[5], keep[6], keep[7], qrs_method)
    assert lib.ecgPreprocessInit(ctypes.byref(conf)) == 0
    try:
        assert lib.ecgPreprocessSetBeatEventCallback(keep[8], None) == 0
        lib.ecgPreprocessSetFilter(*(f.encode() for f in filters))
        in_words, out_words = lib.getCurInFrame(), lib.getCurOutFrame()
        frames = np.ascontiguousarray(frames, dtype=np.int32)
        out = np.zeros((len(frames), out_words), dtype=np.int32)
        ptr = ctypes.POINTER(ctypes.c_int)
        for f in range(len(frames)):
            state["frame"] = f
            lib.ecgPreprocessDoPreprocess(1, frames[f].ctypes.data_as(ptr), out[f].ctypes.data_as(ptr))
        assert frames.shape[1] == in_words
    finally:
        lib.ecgPreprocessDenit()
    return out, beats, rates
