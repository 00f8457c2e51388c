"""Runs the installed zelc program on one source file.

The shared step of ``vorn convert`` and of cohort conversions: it finds the
program, names the destination after the source, reads zelc's machine-readable
protocol (progress and result lines) and reports the outcome as a record, never
as an exception, so that one failed file does not stop the others.
"""

from __future__ import annotations

import dataclasses
import os
import pathlib
import shutil
import subprocess
import sysconfig
import time
from collections.abc import Callable, Sequence

SOURCE_SUFFIXES = (".mzml", ".mzxml")


def zelc_path() -> str:
    """The zelc program installed with this package (or found on PATH)."""
    beside = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    if beside.exists():
        return str(beside)
    found = shutil.which("zelc")
    if found is None:
        raise FileNotFoundError("the zelc program is not installed; reinstall vorn_data_access")
    return found


def is_source(path: pathlib.Path) -> bool:
    """Whether a file name is one zelc converts (.mzML, .mzXML, either gzipped)."""
    name = path.name.lower()
    if name.endswith(".gz"):
        name = name[:-3]
    return name.endswith(SOURCE_SUFFIXES)


def container_name(source: str | os.PathLike[str]) -> str:
    """The container file name for a source: its name with the extension
    (.mzML or .mzXML, with or without .gz) replaced by .vdp."""
    name = pathlib.Path(source).name
    lower = name.lower()
    if lower.endswith(".gz"):
        name, lower = name[:-3], lower[:-3]
    for suffix in SOURCE_SUFFIXES:
        if lower.endswith(suffix):
            return name[: -len(suffix)] + ".vdp"
    return name + ".vdp"


@dataclasses.dataclass
class Conversion:
    """What became of one source file."""

    source: str
    destination: str
    status: str  # "converted" or "failed"
    error: str | None
    seconds: float
    source_bytes: int | None
    destination_bytes: int | None
    result: list[str]  # zelc's result lines ("Spectra: 732", "Skipped: ...")

    def result_value(self, label: str) -> str | None:
        """The text after "<label>: " in zelc's result, if present."""
        for line in self.result:
            if line.startswith(label + ": "):
                return line[len(label) + 2 :]
        return None


def convert_file(
    source: str | os.PathLike[str],
    destination: str | os.PathLike[str],
    *,
    options: Sequence[str] = (),
    overwrite: bool = False,
    on_progress: Callable[[float], None] | None = None,
) -> Conversion:
    """Converts one source into one container file with zelc.

    ``options`` are further zelc options (such as ``-kp``); ``on_progress`` is
    called with zelc's percentage as it advances. Failures (a missing or
    broken source, an existing destination without ``overwrite``) come back
    as a record with status "failed" and zelc's message.
    """
    source, destination = os.fspath(source), os.fspath(destination)
    start = time.perf_counter()
    try:
        source_bytes: int | None = os.path.getsize(source)
    except OSError:
        source_bytes = None
    command = [zelc_path(), source, "-dest", destination, "--background", *options]
    if overwrite:
        command.append("-f")
    result: list[str] = []
    with subprocess.Popen(
        command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, errors="replace"
    ) as process:
        assert process.stdout is not None and process.stderr is not None
        section = None
        for raw in process.stdout:
            line = raw.rstrip("\r\n")
            if line.startswith("### Start "):
                section = line[len("### Start ") :]
            elif line.startswith("### End "):
                section = None
            elif section == "Progress" and on_progress is not None:
                try:
                    on_progress(float(line))
                except ValueError:
                    pass
            elif section == "ConversionResult":
                result.append(line)
        errors = process.stderr.read().strip()
        code = process.wait()
    seconds = time.perf_counter() - start
    if code != 0:
        message = errors.splitlines()[-1] if errors else f"zelc exited with status {code}"
        message = message.removeprefix("zelc: ")
        return Conversion(source, destination, "failed", message, seconds, source_bytes, None, [])
    return Conversion(
        source,
        destination,
        "converted",
        None,
        seconds,
        source_bytes,
        os.path.getsize(destination),
        result,
    )
