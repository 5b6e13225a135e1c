"""Records on Dask give the serial table; a record whose worker dies, or that is missing, fails alone."""
import glob
import os
import subprocess

import pytest

import tessivar

pytestmark = pytest.mark.batch


@pytest.fixture(scope="module")
def mitdb(shared_data):
    return sorted(p[:-4] for p in glob.glob(os.path.join(shared_data, "mitdb", "*.hea")))


def test_cluster_equals_serial(mitdb):
    # A running cluster reached by its scheduler's address, as a multi-machine one would be.
    from distributed import LocalCluster
    options = dict(progress=False, seconds=240, learning_s=60)
    serial = tessivar.evaluate(mitdb, "serial", **options)
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None, silence_logs=40) as cluster:
        parallel = tessivar.evaluate(mitdb, cluster.scheduler_address, **options)
    assert parallel == serial and not parallel.failed
    assert [r["record"] for r in parallel] == [os.path.basename(p) for p in mitdb]
    row = parallel.rows[0]
    assert row["se"] == row["tp"] / (row["tp"] + row["fn"]) and parallel.gross["tp"] > 0


def test_dead_worker_fails_its_record_only(mitdb):
    def runner(path, **options):  # pickled by value for the workers
        if os.path.basename(path) == "101":
            os._exit(3)
        return tessivar.evaluate_record(path, **options)

    table = tessivar.evaluate(mitdb[:4], workers=2, progress=False, runner=runner, seconds=30, learning_s=5)
    assert table.failed == ["101"] and "KilledWorker" in table.rows[1]["error"]
    assert [r["status"] for r in table.rows] == ["ok", "failed", "ok", "ok"] and table.rows[0]["tp"] > 0


@pytest.mark.parametrize("records, code, rows", [
    (["mitdb/100", "mitdb/absent"], 1, [["100", "ok"], ["absent", "failed"]]),  # listed, not fatal
])
def test_batch_command(shared_data, cli, records, code, rows):
    done = subprocess.run([cli, "batch", *[os.path.join(shared_data, r) for r in records], "--serial",
                           "--seconds", "30", "--learning-s", "5"], capture_output=True, text=True)
    assert done.returncode == code, done.stderr
    assert [line.split()[:2] for line in done.stdout.splitlines()[1:-1]] == rows
