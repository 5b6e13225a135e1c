#!/usr/bin/env python3
"""Speed-up of tessivar.evaluate on a local cluster of 2 worker processes
against the serial run, over the MIT-BIH records of ../shared/data.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_batch_speedup.py [SECONDS]

SECONDS of each record (default 600). Prints the wall time of the serial
run, of the cluster run with the cluster's start and of the cluster run on
a running cluster, and the speed-ups. Wall time: the point is the use of
both cores, so run it on an otherwise quiet machine."""
import glob
import os
import sys
import time

import tessivar


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 600.0
    data = os.environ.get("TESSIVAR_SHARED_DATA", os.path.join(os.path.dirname(__file__), "..", "..", "shared", "data"))
    records = sorted(p[:-4] for p in glob.glob(os.path.join(data, "mitdb", "*.hea")))
    if not records:
        sys.exit(f"no MIT-BIH records under {data}")
    options = dict(seconds=seconds, learning_s=60, progress=False)

    start = time.perf_counter()
    serial = tessivar.evaluate(records, "serial", **options)
    t_serial = time.perf_counter() - start

    start = time.perf_counter()
    cold = tessivar.evaluate(records, workers=2, **options)
    t_cold = time.perf_counter() - start

    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=40) as cluster, Client(cluster) as client:
        client.run(lambda: __import__("tessivar"))  # workers import the module before the clock starts
        start = time.perf_counter()
        warm = tessivar.evaluate(records, client, **options)
        t_warm = time.perf_counter() - start

    assert cold == serial and warm == serial, "the cluster's table differs from the serial one"
    print(f"{len(records)} records x {seconds:.0f} s, {os.cpu_count()} cores")
    print(f"serial                      {t_serial:7.2f} s")
    print(f"2 workers, starting cluster {t_cold:7.2f} s  speed-up {t_serial / t_cold:.2f}")
    print(f"2 workers, running cluster  {t_warm:7.2f} s  speed-up {t_serial / t_warm:.2f}")


if __name__ == "__main__":
    main()
