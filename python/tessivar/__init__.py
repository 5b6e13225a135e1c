"""tessivar: the real-time ECG front end of a bedside monitor, from Python.

    import tessivar
    rec = tessivar.read_record("mitdb/100")
    result = tessivar.analyze(rec, seconds=60)
    print(result.beats[:5], result.heart_rate[-1])
    result.plot()

Monitor drives the front end frame by frame as a monitor host does; analyze
runs a whole recording (or arrays in millivolts and ohms) in one call;
evaluate runs many records, one per worker process, on Dask.
"""
from ._tessivar import (LEAD_NAMES, Record, RecordError, TessivarError, library_version)
from .monitor import Monitor
from .modules import SignalFilter, find_r_peaks
from .records import read_annotations, read_record, simulate
from .analysis import Result, analyze
from .batch import Table, evaluate, evaluate_record

__all__ = ["LEAD_NAMES", "Monitor", "Record", "RecordError", "Result", "SignalFilter", "Table",
           "TessivarError", "analyze", "evaluate", "evaluate_record", "find_r_peaks",
           "library_version", "read_annotations", "read_record", "simulate"]
