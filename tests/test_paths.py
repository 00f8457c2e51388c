"""Paths as the interpreter takes them: str, bytes and os.PathLike are accepted
wherever a path is; a null byte is refused as open() refuses it; a path that
is not UTF-8 is named in the error; anything but a regular file is refused
without waiting on it."""

import os
import pathlib
import subprocess
import sys
import textwrap

import pytest

from vorn_data_access import access
from vorn_data_access.exception import VornIOError
from vorn_data_access.writer import VornWriter


class OwnPath(os.PathLike):
    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return self.path


FORMS = {
    "str": str,
    "bytes": os.fsencode,
    "pathlib": pathlib.Path,
    "PathLike of str": lambda p: OwnPath(str(p)),
    "PathLike of bytes": lambda p: OwnPath(os.fsencode(p)),
}


@pytest.mark.parametrize("form", FORMS.values(), ids=FORMS.keys())
def test_every_form_of_path_writes_and_reads(tmp_path, form):
    path = form(tmp_path / "out.vdp")
    with VornWriter(path) as w:
        assert w.path is path
        w.add_measurement(sample_name="by path")
    f = access.VornFile(path)
    with f:
        assert f.file_path is path
        assert f.get_measurement(0).sample_name == "by path"


def test_path_that_is_not_utf8(tmp_path):
    path = os.fsencode(tmp_path) + b"/caf\xe9.vdp"
    with VornWriter(path) as w:
        w.add_measurement()
    with access.VornFile(path) as f:
        assert f.get_measurement_count() == 1
    as_text = os.fsdecode(path)  # with a surrogate escape
    with access.VornFile(as_text) as f:
        assert f.file_path == as_text


@pytest.mark.parametrize(
    "name", [b"missing-\xff\xfe.vdp", "missing-\udcff.vdp"], ids=["bytes", "surrogate escape"]
)
def test_missing_path_that_is_not_utf8_is_named(tmp_path, name):
    path = os.fsencode(tmp_path) + b"/" + os.fsencode(name)
    with pytest.raises(VornIOError, match=r"cannot open '.*/missing-\\xff") as e:
        access.VornFile(path if isinstance(name, bytes) else os.fsdecode(path))
    assert "No such file or directory" in str(e.value)


@pytest.mark.parametrize(
    "make",
    [
        lambda p: str(p) + "\0junk",
        lambda p: os.fsencode(p) + b"\0junk",
        lambda p: OwnPath(str(p) + "\0junk"),
    ],
    ids=["str", "bytes", "PathLike"],
)
def test_null_byte_is_refused(small_file, tmp_path, make):
    with pytest.raises(ValueError, match="^embedded null byte$"):
        access.VornFile(make(small_file))
    with pytest.raises(ValueError, match="^embedded null byte$"):
        VornWriter(make(tmp_path / "new.vdp"))
    assert os.listdir(tmp_path) == ["small.vdp"]


def test_fifo_and_other_files_are_refused_without_waiting(tmp_path):
    """A FIFO nobody writes to: opening it for reading would wait forever.
    Run in a child process so that a wait fails the test instead of hanging it."""
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    child = textwrap.dedent(
        """
        import sys
        from vorn_data_access import access
        from vorn_data_access.exception import VornIOError
        for path in sys.argv[1:]:
            try:
                access.VornFile(path)
            except VornIOError as e:
                print(e)
        """
    )
    r = subprocess.run(
        [sys.executable, "-c", child, str(fifo), str(tmp_path), os.devnull],
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert r.returncode == 0, r.stderr
    assert r.stdout.splitlines() == [
        f"'{fifo}' is not a regular file",
        f"'{tmp_path}' is not a regular file",
        f"'{os.devnull}' is not a regular file",
    ]
