"""Files written by every released format version read back to the values
recorded when they were written (tests/golden/<version>/)."""

import json
import pathlib

import pytest
from golden_dump import dump

GOLDEN = pathlib.Path(__file__).parent / "golden"
FILES = sorted(GOLDEN.glob("v*/*.vdp"))


def test_every_released_version_has_golden_files():
    assert {p.parent.name for p in FILES} >= {"v1.0.0"}


@pytest.mark.parametrize("path", FILES, ids=lambda p: f"{p.parent.name}/{p.name}")
def test_golden_file_reads_to_its_recorded_values(path):
    expected = json.loads(path.with_suffix(".json").read_text())
    assert dump(path) == expected
