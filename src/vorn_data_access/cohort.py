"""Studies of many runs on Dask: convert folders of mzML/mzXML and pull the same
targets (XICs, SRM/SIM traces, UV wavelength ranges) out of every run into
one table.

Every function takes an optional ``client`` (a ``distributed.Client``); without
one, a ``LocalCluster`` with one single-threaded worker process per core of
this machine is started for the call and closed after it. Tasks receive paths
and plain values and return plain rows, so the same code runs on a laptop or on
a cluster reached through ``dask-jobqueue`` or a Kubernetes operator (see
docs/cohort.md). A file that fails becomes a row with its error; it never stops
the others.

Needs the optional extra ``[dask]`` (dask, distributed, pandas).
"""

from __future__ import annotations

import contextlib
import hashlib
import json
import math
import os
import pathlib
import time
from collections.abc import Iterable, Iterator, Sequence
from typing import Any

import numpy as np

from . import _zelc_program

__all__ = ["convert", "extract_xics", "extract_traces", "extract_uv"]

RESULT_COLUMNS = [
    "path",
    "target",
    "retention_times",
    "intensities",
    "apex_rt",
    "apex_intensity",
    "area",
    "error",
]
CONVERT_COLUMNS = [
    "source",
    "destination",
    "status",
    "error",
    "seconds",
    "source_bytes",
    "destination_bytes",
]
_RECORDS = ".vorn-cohort"  # folder of the conversion records beside the containers


def _needs(module: str) -> Any:
    try:
        return __import__(module, fromlist=["_"])
    except ImportError:
        raise ImportError(
            f"vorn_data_access.cohort needs {module.split('.')[0]}: "
            "pip install 'vorn-data-access[dask]'"
        ) from None


@contextlib.contextmanager
def _client(client: Any) -> Iterator[Any]:
    """The given client, or a local cluster's for the length of one call."""
    if client is not None:
        yield client
        return
    distributed = _needs("distributed")
    with (
        distributed.LocalCluster(
            n_workers=os.cpu_count() or 1,
            threads_per_worker=1,
            processes=True,
            dashboard_address=":0",
        ) as cluster,
        distributed.Client(cluster) as local,
    ):
        yield local


# --- conversion ---------------------------------------------------------------


def _sha256(path: str) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def _zelc_arguments(options: dict[str, Any]) -> list[str]:
    """zelc's options from keywords: keep_profile=True -> -kp, ms1=True -> -ms1,
    qual=True -> -qual, keep_last_msfunc=True -> --keep-last-msfunc, ..."""
    short = {
        "keep_profile": "-kp",
        "ms1": "-ms1",
        "qual": "-qual",
        "quan": "-quan",
        "dad": "-dad",
        "analog": "-analog",
        "srm": "-srm",
        "sim": "-sim",
    }
    args = []
    for name, value in sorted(options.items()):
        if not value:
            continue
        flag = short.get(name, "--" + name.replace("_", "-"))
        if value is not True:
            raise TypeError(f"zelc option {name} takes True or False, not {value!r}")
        args.append(flag)
    return args


def _convert_task(source: str, destination: str, options: list[str], overwrite: bool) -> dict:
    """One source on a worker: skipped when the record beside the destination
    says this very source (by SHA-256) was converted with these options."""
    start = time.perf_counter()
    dest = pathlib.Path(destination)
    record = dest.parent / _RECORDS / (dest.name + ".json")
    try:
        digest = _sha256(source)
    except OSError as error:
        return dict(
            source=source,
            destination=destination,
            status="failed",
            error=f"{source}: {error.strerror or error}",
            seconds=time.perf_counter() - start,
            source_bytes=None,
            destination_bytes=None,
        )
    wanted = {"source_sha256": digest, "options": options, "zelc": _zelc_version()}
    if not overwrite and dest.exists() and record.exists():
        with contextlib.suppress(OSError, ValueError):
            if json.loads(record.read_text()) == wanted:
                return dict(
                    source=source,
                    destination=destination,
                    status="skipped",
                    error=None,
                    seconds=time.perf_counter() - start,
                    source_bytes=os.path.getsize(source),
                    destination_bytes=dest.stat().st_size,
                )
    # A destination without a matching record is stale or foreign: replace it.
    done = _zelc_program.convert_file(source, destination, options=options, overwrite=True)
    if done.status == "converted":
        record.parent.mkdir(exist_ok=True)
        temporary = record.with_suffix(f".{os.getpid()}.tmp")
        temporary.write_text(json.dumps(wanted))
        os.replace(temporary, record)
    return dict(
        source=source,
        destination=destination,
        status=done.status,
        error=done.error,
        seconds=time.perf_counter() - start,
        source_bytes=done.source_bytes,
        destination_bytes=done.destination_bytes,
    )


_ZELC_VERSION: str | None = None


def _zelc_version() -> str:
    global _ZELC_VERSION
    if _ZELC_VERSION is None:
        import subprocess

        _ZELC_VERSION = subprocess.run(
            [_zelc_program.zelc_path(), "--version"], capture_output=True, text=True, check=True
        ).stdout.strip()
    return _ZELC_VERSION


def convert(
    sources: Iterable[str | os.PathLike[str]],
    out_dir: str | os.PathLike[str],
    client: Any = None,
    *,
    overwrite: bool = False,
    **zelc_options: bool,
) -> Any:
    """Converts every source into ``out_dir/<name>.vdp``, one zelc run per source
    as a Dask task. Returns a pandas DataFrame with one row per source: source,
    destination, status ("converted", "skipped" or "failed"), error, seconds,
    source_bytes, destination_bytes.

    Running it again skips sources already converted from the same bytes
    (SHA-256) with the same options; ``overwrite=True`` converts everything
    again. ``zelc_options`` are zelc's flags as keywords: ``keep_profile``
    (-kp), ``ms1``, ``qual``/``quan``/``dad``/``analog``, ``srm``/``sim``,
    ``keep_last_msfunc``. Two sources with one container name: the later one
    fails.
    """
    pd = _needs("pandas")
    options = _zelc_arguments(zelc_options)
    out = pathlib.Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    planned: list[tuple[str, str]] = []
    taken: dict[str, str] = {}
    rows: dict[int, dict] = {}
    for k, s in enumerate(map(os.fspath, sources)):
        name = _zelc_program.container_name(s)
        destination = str(out / name)
        if name in taken:
            rows[k] = dict(
                source=s,
                destination=destination,
                status="failed",
                error=f"{s}: its container name is taken by {taken[name]}",
                seconds=0.0,
                source_bytes=None,
                destination_bytes=None,
            )
        taken.setdefault(name, s)
        planned.append((s, destination))
    with _client(client) as c:
        futures = {
            k: c.submit(
                _convert_task,
                s,
                d,
                options,
                overwrite,
                pure=False,
            )
            for k, (s, d) in enumerate(planned)
            if k not in rows
        }
        for k, row in zip(futures, c.gather(list(futures.values())), strict=True):
            rows[k] = row
    return pd.DataFrame([rows[k] for k in range(len(planned))], columns=CONVERT_COLUMNS)


# --- extraction ---------------------------------------------------------------
#
# A task reads one file and returns it compactly: blocks of targets that share
# their retention times, as (target indexes, times, values with one row per
# target), or an error. Rows are built on the client: a list of small dicts
# with an array each costs the scheduler ten times more to move than the same
# numbers in a few large arrays.

Block = tuple[list[int], np.ndarray, np.ndarray]


def _file_result(
    path: str, blocks: list[Block], errors: dict[int, str] | None = None, error: str | None = None
) -> dict:
    return {"path": path, "blocks": blocks, "errors": errors or {}, "error": error}


def _failure(error: BaseException) -> str:
    return f"{type(error).__name__}: {error}"


def _xic_task(path: str, targets: list[dict], measurement: int, analysis: int) -> dict:
    """All targets of one file: one multi-window pass per (MS level, polarity)."""
    from .access import VornFile
    from .common import PolarityTypes

    try:
        blocks: list[Block] = []
        with VornFile(path) as f:
            qual = f.get_measurement(measurement).get_qual_analysis(analysis)
            groups: dict[tuple, list[int]] = {}
            for k, t in enumerate(targets):
                groups.setdefault((t["ms_level"], t["polarity"]), []).append(k)
            for (level, polarity), members in groups.items():
                windows = np.array([targets[k]["window"] for k in members], dtype=np.float64)
                pol = None if polarity is None else PolarityTypes[polarity]
                rt, intensities = qual.xic_arrays(windows, ms_level=level, polarity=pol)
                blocks.append((members, rt, intensities))
        return _file_result(path, blocks)
    except Exception as error:
        return _file_result(path, [], error=_failure(error))


def _trace_task(
    path: str, transitions: list[dict], measurement: int, analysis: int, analog: bool
) -> dict:
    from .access import VornFile

    try:
        blocks: list[Block] = []
        errors: dict[int, str] = {}
        with VornFile(path) as f:
            m = f.get_measurement(measurement)
            a = m.get_analog_analysis(analysis) if analog else m.get_quan_analysis(analysis)
            for k, t in enumerate(transitions):
                found = a.find_traces(t["q1"], t["q3"], tolerance=t["tolerance"])
                if not found:
                    q3 = "" if t["q3"] is None else f" and Q3 {t['q3']:g}"
                    errors[k] = _failure(LookupError(f"no trace with Q1 {t['q1']:g}{q3} in {path}"))
                    continue
                times, intensities = a.trace_arrays(found[0].index)
                blocks.append(([k], times, intensities[np.newaxis, :]))
        return _file_result(path, blocks, errors)
    except Exception as error:
        return _file_result(path, [], error=_failure(error))


def _uv_task(path: str, ranges: list[dict], measurement: int, analysis: int) -> dict:
    from .access import VornFile

    try:
        with VornFile(path) as f:
            dad = f.get_measurement(measurement).get_dad_analysis(analysis)
            columns = [dad.chromatogram_arrays((r["wl_min"], r["wl_max"])) for r in ranges]
        if not columns:
            return _file_result(path, [])
        rt = columns[0][0]
        return _file_result(
            path, [(list(range(len(ranges))), rt, np.stack([c[1] for c in columns]))]
        )
    except Exception as error:
        return _file_result(path, [], error=_failure(error))


def _in_range(rt: np.ndarray, lo: float | None, hi: float | None) -> slice | np.ndarray:
    """What of `rt` lies in [lo, hi]: everything when unbounded, as a slice, so
    that the rows of one file share one retention-time array."""
    if lo is None and hi is None:
        return slice(None)
    keep = np.ones(len(rt), dtype=bool)
    if lo is not None:
        keep &= rt >= lo
    if hi is not None:
        keep &= rt <= hi
    return keep


def _row(path: str, target: str, rt: np.ndarray, y: np.ndarray) -> dict:
    if len(y):
        top = int(np.argmax(y))
        apex_rt, apex_intensity = float(rt[top]), float(y[top])
    else:
        apex_rt = apex_intensity = None
    area = float(np.sum((y[1:] + y[:-1]) * np.diff(rt)) / 2.0)  # trapezoid rule
    return dict(
        path=path,
        target=target,
        retention_times=rt,
        intensities=y,
        apex_rt=apex_rt,
        apex_intensity=apex_intensity,
        area=area,
        error=None,
    )


def _error_row(path: str, target: str, message: str) -> dict:
    empty = np.empty(0)
    return dict(
        path=path,
        target=target,
        retention_times=empty,
        intensities=empty,
        apex_rt=None,
        apex_intensity=None,
        area=None,
        error=message,
    )


def _rows(result: dict, plan: list[dict]) -> list[dict]:
    """One row per target of a task's result, in the order of the plan."""
    path = result["path"]
    if result["error"] is not None:
        return [_error_row(path, t["name"], result["error"]) for t in plan]
    rows: dict[int, dict] = {
        k: _error_row(path, plan[k]["name"], message) for k, message in result["errors"].items()
    }
    for members, rt, values in result["blocks"]:
        for row, k in enumerate(members):
            keep = _in_range(rt, plan[k]["rt_min"], plan[k]["rt_max"])
            y = values[row]
            if isinstance(keep, slice):
                rows[k] = _row(path, plan[k]["name"], rt, y)
            else:
                rows[k] = _row(path, plan[k]["name"], rt[keep], y[keep])
    return [rows[k] for k in range(len(plan))]


def _optional(row: Any, column: str, default: Any = None) -> Any:
    value = row.get(column, default)
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return default
    return value


def _float(v: Any) -> float | None:
    return None if v is None else float(v)


def _polarity_name(value: Any) -> str:
    text = getattr(value, "name", str(value)).strip().upper()
    names = {"+": "POSITIVE", "POSITIVE": "POSITIVE", "-": "NEGATIVE", "NEGATIVE": "NEGATIVE"}
    if text not in names:
        raise ValueError(f"polarity {value!r} is not '+', '-', 'positive' or 'negative'")
    return names[text]


def _require(frame: Any, what: str, columns: Sequence[str]) -> None:
    for column in columns:
        if column not in frame.columns:
            raise ValueError(f"{what} need a {column!r} column")


def _xic_plan(targets: Any) -> list[dict]:
    _require(targets, "targets", ("name", "mz"))
    if "ppm" not in targets.columns and "tolerance" not in targets.columns:
        raise ValueError("targets need a 'ppm' or a 'tolerance' column")
    plan = []
    for row in targets.to_dict("records"):
        mz = float(row["mz"])
        ppm, tolerance = _optional(row, "ppm"), _optional(row, "tolerance")
        if (ppm is None) == (tolerance is None):
            raise ValueError(f"target {row['name']!r} needs exactly one of ppm and tolerance")
        half = float(tolerance) if tolerance is not None else mz * float(ppm) * 1e-6
        polarity = _optional(row, "polarity")
        plan.append(
            dict(
                name=str(row["name"]),
                window=(mz - half, mz + half),
                ms_level=int(_optional(row, "ms_level", 1)),
                polarity=None if polarity is None else _polarity_name(polarity),
                rt_min=_float(_optional(row, "rt_min")),
                rt_max=_float(_optional(row, "rt_max")),
            )
        )
    return plan


def _frame(task: Any, *args: Any) -> Any:
    """One file's rows as a DataFrame: a partition of the lazy result."""
    pd = _needs("pandas")
    return pd.DataFrame(_rows(task(*args), args[1]), columns=RESULT_COLUMNS)


def _batch(tasks: list[tuple]) -> list[dict]:
    """Several files' tasks run as one."""
    return [task[0](*task[1:]) for task in tasks]


def _batches(tasks: list[tuple], client: Any) -> list[list[tuple]]:
    """Files grouped so that each worker gets about four tasks: a file takes
    milliseconds, and a task costs the scheduler about as much."""
    workers = max(1, len(client.scheduler_info().get("workers", ())))
    size = max(1, min(16, math.ceil(len(tasks) / (4 * workers))))
    return [tasks[i : i + size] for i in range(0, len(tasks), size)]


def _run(tasks: list[tuple], plan: list[dict], client: Any, lazy: bool) -> Any:
    pd = _needs("pandas")
    if lazy:
        dask = _needs("dask")
        dd = _needs("dask.dataframe")
        meta = pd.DataFrame({c: pd.Series(dtype=object) for c in RESULT_COLUMNS})
        parts = [dask.delayed(_frame)(*t) for t in tasks]
        if not parts:
            return meta
        # Dask would turn object columns into Arrow strings: the arrays too.
        with dask.config.set({"dataframe.convert-string": False}):
            return dd.from_delayed(parts, meta=meta, verify_meta=False)
    with _client(client) as c:
        futures = [c.submit(_batch, b, pure=False) for b in _batches(tasks, c)]
        results = [r for batch in c.gather(futures) for r in batch]
    return pd.DataFrame([row for r in results for row in _rows(r, plan)], columns=RESULT_COLUMNS)


def extract_xics(
    paths: Iterable[str | os.PathLike[str]],
    targets: Any,
    client: Any = None,
    *,
    lazy: bool = False,
    measurement: int = 0,
    analysis: int = 0,
) -> Any:
    """Extracted-ion chromatograms of the same targets from every file.

    ``targets`` is a pandas DataFrame with columns ``name`` and ``mz`` and one
    of ``ppm`` or ``tolerance`` (Th); optional ``rt_min``/``rt_max``
    (minutes), ``ms_level`` (default 1) and ``polarity`` ('+'/'-'). Each file
    is opened once on a worker and its targets are summed in one pass per MS
    level and polarity. Returns a pandas DataFrame (a Dask DataFrame with
    ``lazy=True``, one partition per file) with one row per (file, target):
    path, target, retention_times, intensities, apex_rt, apex_intensity, area
    (trapezoid over minutes) and error (None, or why the file could not be
    read).
    """
    plan = _xic_plan(targets)
    tasks = [(_xic_task, os.fspath(p), plan, measurement, analysis) for p in paths]
    return _run(tasks, plan, client, lazy)


def extract_traces(
    paths: Iterable[str | os.PathLike[str]],
    transitions: Any,
    client: Any = None,
    *,
    lazy: bool = False,
    measurement: int = 0,
    analysis: int = 0,
    analog: bool = False,
) -> Any:
    """SRM/SIM traces by Q1 (and Q3) from every file, shaped as extract_xics.

    ``transitions`` has columns ``name`` and ``q1``; optional ``q3``,
    ``tolerance`` (Th, default 0.01) and ``rt_min``/``rt_max``. A transition
    a file does not have gets a row with the error; ``analog=True`` reads the
    analog analysis instead of the quantitative one.
    """
    _require(transitions, "transitions", ("name", "q1"))
    plan = [
        dict(
            name=str(r["name"]),
            q1=float(r["q1"]),
            q3=_float(_optional(r, "q3")),
            tolerance=float(_optional(r, "tolerance", 0.01)),
            rt_min=_float(_optional(r, "rt_min")),
            rt_max=_float(_optional(r, "rt_max")),
        )
        for r in transitions.to_dict("records")
    ]
    tasks = [(_trace_task, os.fspath(p), plan, measurement, analysis, analog) for p in paths]
    return _run(tasks, plan, client, lazy)


def extract_uv(
    paths: Iterable[str | os.PathLike[str]],
    wavelength_ranges: Any,
    client: Any = None,
    *,
    lazy: bool = False,
    measurement: int = 0,
    analysis: int = 0,
) -> Any:
    """Diode-array chromatograms (mean absorbance over a wavelength range) from
    every file, shaped as extract_xics.

    ``wavelength_ranges`` has columns ``name``, ``wl_min`` and ``wl_max`` (nm);
    optional ``rt_min``/``rt_max``.
    """
    _require(wavelength_ranges, "wavelength_ranges", ("name", "wl_min", "wl_max"))
    plan = [
        dict(
            name=str(r["name"]),
            wl_min=float(r["wl_min"]),
            wl_max=float(r["wl_max"]),
            rt_min=_float(_optional(r, "rt_min")),
            rt_max=_float(_optional(r, "rt_max")),
        )
        for r in wavelength_ranges.to_dict("records")
    ]
    tasks = [(_uv_task, os.fspath(p), plan, measurement, analysis) for p in paths]
    return _run(tasks, plan, client, lazy)
