"""The committed type stubs describe the modules as built."""

import pathlib
import subprocess
import sys

import pytest

SCRIPT = pathlib.Path(__file__).parent.parent / "scripts" / "stubs.py"


def test_stubs_are_current():
    pytest.importorskip("nanobind")
    r = subprocess.run([sys.executable, str(SCRIPT), "--check"], capture_output=True, text=True)
    assert r.returncode == 0, r.stdout + r.stderr
