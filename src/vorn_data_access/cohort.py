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
        for k, future in futures.items():
            rows[k] = future.result()
    return pd.DataFrame([rows[k] for k in range(len(planned))], columns=CONVERT_COLUMNS)


# --- extraction ---------------------------------------------------------------


def _apex_and_area(rt: np.ndarray, y: np.ndarray) -> tuple[float | None, float | None, float]:
    if len(y) == 0:
        return None, None, 0.0
    top = int(np.argmax(y))
    area = float(np.sum((y[1:] + y[:-1]) * np.diff(rt)) / 2.0)  # trapezoid rule
    return float(rt[top]), float(y[top]), area


def _row(path: str, target: str, rt: np.ndarray, y: np.ndarray) -> dict:
    apex_rt, apex_intensity, area = _apex_and_area(rt, y)
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


def _failed_rows(path: str, names: Sequence[str], error: BaseException) -> list[dict]:
    message = f"{type(error).__name__}: {error}"
    empty = np.empty(0)
    return [
        dict(
            path=path,
            target=n,
            retention_times=empty,
            intensities=empty,
            apex_rt=None,
            apex_intensity=None,
            area=None,
            error=message,
        )
        for n in names
    ]


def _in_range(rt: np.ndarray, lo: float | None, hi: float | None) -> np.ndarray:
    keep = np.ones(len(rt), dtype=bool)
    if lo is not None:
        keep &= rt >= lo
    if hi is not None:
        keep &= rt <= hi
    return keep


def _xic_task(path: str, targets: list[dict], measurement: int, analysis: int) -> list[dict]:
    """All targets of one file: one multi-window pass per (MS level, polarity)."""
    from .access import VornFile
    from .common import PolarityTypes

    names = [t["name"] for t in targets]
    try:
        rows: dict[int, dict] = {}
        with VornFile(path) as f:
            qual = f.get_measurement(measurement).get_qual_analysis(analysis)
            groups: dict[tuple, list[int]] = {}
            for k, t in enumerate(targets):
                groups.setdefault((t["ms_level"], t["polarity"]), []).append(k)
            for (level, polarity), members in groups.items():
                windows = np.array([targets[k]["window"] for k in members], dtype=np.float64)
                pol = None if polarity is None else PolarityTypes[polarity]
                rt, intensities = qual.xic_arrays(windows, ms_level=level, polarity=pol)
                for row, k in enumerate(members):
                    keep = _in_range(rt, targets[k]["rt_min"], targets[k]["rt_max"])
                    rows[k] = _row(path, names[k], rt[keep], intensities[row][keep])
        return [rows[k] for k in range(len(targets))]
    except Exception as error:
        return _failed_rows(path, names, error)


def _trace_task(
    path: str, transitions: list[dict], measurement: int, analysis: int, analog: bool
) -> list[dict]:
    from .access import VornFile

    names = [t["name"] for t in transitions]
    try:
        out = []
        with VornFile(path) as f:
            m = f.get_measurement(measurement)
            a = m.get_analog_analysis(analysis) if analog else m.get_quan_analysis(analysis)
            for t in transitions:
                found = a.find_traces(t["q1"], t["q3"], tolerance=t["tolerance"])
                if not found:
                    q3 = "" if t["q3"] is None else f" and Q3 {t['q3']:g}"
                    missing = LookupError(f"no trace with Q1 {t['q1']:g}{q3} in {path}")
                    out.extend(_failed_rows(path, [t["name"]], missing))
                    continue
                times, intensities = a.trace_arrays(found[0].index)
                keep = _in_range(times, t["rt_min"], t["rt_max"])
                out.append(_row(path, t["name"], times[keep], intensities[keep]))
        return out
    except Exception as error:
        return _failed_rows(path, names, error)


def _uv_task(path: str, ranges: list[dict], measurement: int, analysis: int) -> list[dict]:
    from .access import VornFile

    names = [r["name"] for r in ranges]
    try:
        out = []
        with VornFile(path) as f:
            dad = f.get_measurement(measurement).get_dad_analysis(analysis)
            for r in ranges:
                rt, absorbance = dad.chromatogram_arrays((r["wl_min"], r["wl_max"]))
                keep = _in_range(rt, r["rt_min"], r["rt_max"])
                out.append(_row(path, r["name"], rt[keep], absorbance[keep]))
        return out
    except Exception as error:
        return _failed_rows(path, names, error)


def _optional(row: Any, column: str, default: Any = None) -> Any:
    value = row.get(column, default)
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return default
    return value


def _xic_plan(targets: Any) -> list[dict]:
    if "ppm" not in targets.columns and "tolerance" not in targets.columns:
        raise ValueError("targets need a 'ppm' or a 'tolerance' column")
    for column in ("name", "mz"):
        if column not in targets.columns:
            raise ValueError(f"targets need a {column!r} column")
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


def _float(v: Any) -> float | None:
    return None if v is None else float(v)


def _polarity_name(value: Any) -> str:
    text = getattr(value, "name", str(value)).strip().upper()
    names = {"+": "POSITIVE", "POSITIVE": "POSITIVE", "-": "NEGATIVE", "NEGATIVE": "NEGATIVE"}
    if text not in names:
        raise ValueError(f"polarity {value!r} is not '+', '-', 'positive' or 'negative'")
    return names[text]


def _frame(task: Any, *args: Any) -> Any:
    """One file's rows as a DataFrame: a partition of the lazy result."""
    pd = _needs("pandas")
    return pd.DataFrame(task(*args), columns=RESULT_COLUMNS)


def _run(tasks: list[tuple], client: Any, lazy: bool) -> Any:
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
        futures = [c.submit(*t, pure=False) for t in tasks]
        rows = [row for future in futures for row in future.result()]
    return pd.DataFrame(rows, columns=RESULT_COLUMNS)


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
    ``lazy=True``) with one row per (file, target): path, target,
    retention_times, intensities, apex_rt, apex_intensity, area (trapezoid over
    minutes) and error (None, or why the file could not be read).
    """
    plan = _xic_plan(targets)
    tasks = [(_xic_task, os.fspath(p), plan, measurement, analysis) for p in paths]
    return _run(tasks, client, lazy)


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
    ``tolerance`` (Th, default 0.01) and ``rt_min``/``rt_max``. A file
    without a matching trace gets a row with the error.
    """
    for column in ("name", "q1"):
        if column not in transitions.columns:
            raise ValueError(f"transitions need a {column!r} column")
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
    return _run(tasks, client, lazy)


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
    for column in ("name", "wl_min", "wl_max"):
        if column not in wavelength_ranges.columns:
            raise ValueError(f"wavelength_ranges need a {column!r} column")
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
    return _run(tasks, client, lazy)
