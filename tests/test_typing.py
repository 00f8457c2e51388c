"""The package's types are good enough for strict checking: mypy --strict on
examples/ and on every Python block of the README reports no error."""

import pathlib
import re
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).parent.parent


def readme_blocks():
    text = (ROOT / "README.md").read_text()
    return re.findall(r"```python\n(.*?)```", text, flags=re.S)


def test_readme_has_python_blocks():
    assert len(readme_blocks()) >= 4


@pytest.mark.slow
def test_mypy_strict_on_examples_and_readme(tmp_path):
    pytest.importorskip("mypy")
    files = []
    for i, block in enumerate(readme_blocks()):
        files.append(tmp_path / f"readme_block_{i}.py")
        files[-1].write_text(block)
    for example in sorted((ROOT / "examples").glob("*.py")):
        files.append(tmp_path / example.name)
        files[-1].write_text(example.read_text())
    r = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", *map(str, files)],
        capture_output=True,
        text=True,
        cwd=tmp_path,
    )
    assert r.returncode == 0, r.stdout + r.stderr
