#!/usr/bin/python3
"""Timing tables of the limited-resource QRS detector, computed on their own
from the rules (x ms in samples = int(x / (1000.0 / fs) + 0.5); ms10 and
ms1500 truncated; the beat side at fs // 2), for the values that
tests/beat_detect/test_beat_detect.cpp expects. Run

    /usr/bin/python3 tools/eplimited_timing.py
"""


def table(fs):
    ms = 1000.0 / fs
    L = lambda x: int(x / ms + 0.5)
    t = {f"ms{x}": L(x) for x in (8, 15, 20, 25, 30, 40, 50, 60, 80, 95, 100, 125, 150, 160, 175, 195, 200, 220,
                                 250, 300, 360, 400, 450)}
    t["ms10"] = int(10 / ms)
    t["ms1500"] = int(1500 / ms)
    t["derivLength"] = t["ms10"]
    t["lpLength"] = 2 * t["ms25"]
    t["hpLength"] = t["ms125"]
    t["preBlank"] = t["ms160"]
    t["windowWidth"] = t["ms80"]
    t["filterDelay"] = int(t["derivLength"] / 2.0 + (t["lpLength"] / 2.0 - 1) + (t["hpLength"] - 1) / 2.0
                           + t["preBlank"])
    t["derDelay"] = t["windowWidth"] + t["filterDelay"] + t["ms100"]
    beat_fs = fs // 2
    bms = 1000.0 / beat_fs
    B = lambda x: int(x / bms + 0.5)
    for x in (10, 20, 40, 50, 60, 70, 80, 90, 100, 110, 130, 140, 150, 250, 280, 300, 350, 400):
        t[f"B{x}"] = B(x)
    t["beatFs"] = beat_fs
    return t


if __name__ == "__main__":
    for fs in (360, 1000, 100, 1160, 1170):
        print(fs, table(fs))
