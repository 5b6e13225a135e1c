import os

import pytest


def pytest_configure(config):
    config.addinivalue_line("markers", "batch: runs records on a local Dask cluster")


@pytest.fixture(scope="session")
def shared_data():
    path = os.environ.get("TESSIVAR_SHARED_DATA", "")
    if not os.path.isdir(os.path.join(path, "mitdb")):
        pytest.skip(f"recordings not found at '{path}' (TESSIVAR_SHARED_DATA)")
    return path


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("TESSIVAR_CLI", "")
    if not os.access(path, os.X_OK):
        pytest.skip("the command-line program is not given (TESSIVAR_CLI)")
    return path
