"""Shared fixtures of the Python package's tests: the bundled data files,
the reference values and the eqlink tool (the same engine from C++)."""

import json
import os
import pathlib

import numpy as np
import pytest

import eqcore

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
REFERENCE = ROOT / "tests" / "reference"


def example(name):
    return str(EXAMPLES / name)


def reference(name):
    with open(REFERENCE / name) as f:
        return json.load(f)


@pytest.fixture
def chon():
    return eqcore.load(example("c-h-o-n.dat"))


@pytest.fixture
def agcu():
    return eqcore.load(example("ag-cu-example.dat"))


@pytest.fixture
def ho():
    return eqcore.load(example("h-o.dat"))


@pytest.fixture(scope="session")
def tool():
    """The eqlink executable (EQLINK_TOOL, set by CTest); tests that need it skip without it."""
    path = os.environ.get("EQLINK_TOOL")
    if not path or not os.path.exists(path):
        pytest.skip("EQLINK_TOOL does not name the eqlink executable")
    return path


def close(a, b, rel, floor=1e-300):
    """Arrays (or numbers) equal to `rel` relative, NaN where both are NaN."""
    a, b = np.asarray(a, dtype=float), np.asarray(b, dtype=float)
    both_nan = np.isnan(a) & np.isnan(b)
    ok = both_nan | (np.abs(a - b) <= rel * np.maximum(np.abs(a), np.abs(b)) + floor)
    return bool(ok.all())
