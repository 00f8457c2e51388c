"""``vorn convert SOURCE... -o DIR``: many mzML/mzXML files, each to its own
container named after it, converted by zelc processes in parallel."""

from __future__ import annotations

import argparse
import concurrent.futures
import os
import pathlib
import sys
import threading
from typing import Any

from .._zelc_program import Conversion, container_name, convert_file, is_source
from . import _console


def add_commands(commands: Any) -> None:
    p = commands.add_parser(
        "convert",
        help="convert mzML/mzXML files (or folders of them) into container files",
        description="Converts each source into DIR/<name>.vdp with zelc, several at a time. "
        "A folder stands for the mzML and mzXML files in it. A failed file does not stop "
        "the others; it is listed, and the exit status is 1.",
    )
    p.add_argument("sources", nargs="+", metavar="SOURCE", help="mzML/mzXML file or folder")
    p.add_argument("-o", "--output", required=True, metavar="DIR", help="folder for the containers")
    p.add_argument(
        "-j",
        "--jobs",
        type=int,
        default=os.cpu_count() or 1,
        metavar="N",
        help="conversions at once (default: the number of cores)",
    )
    p.add_argument("-f", "--force", action="store_true", help="replace existing containers")
    p.add_argument("--keep-profile", action="store_true", help="keep profile spectra (zelc -kp)")
    p.add_argument("--ms1", action="store_true", help="keep MS1 spectra only (zelc -ms1)")
    p.set_defaults(run=run)


def expand(sources: list[str]) -> list[pathlib.Path]:
    """The source files: files as given, folders replaced by the mzML/mzXML
    files in them, in name order."""
    files: list[pathlib.Path] = []
    for s in sources:
        path = pathlib.Path(s)
        if path.is_dir():
            files.extend(sorted(p for p in path.iterdir() if p.is_file() and is_source(p)))
        else:
            files.append(path)
    return files


def run(args: argparse.Namespace) -> int:
    if args.jobs < 1:
        raise ValueError("-j needs at least 1")
    sources = expand(args.sources)
    if not sources:
        raise ValueError("no mzML or mzXML files among the sources")
    out = pathlib.Path(args.output)
    out.mkdir(parents=True, exist_ok=True)
    options = [*(["-kp"] if args.keep_profile else []), *(["-ms1"] if args.ms1 else [])]

    # Two sources with one name would write one container: the later one fails.
    claimed: dict[str, pathlib.Path] = {}
    planned: list[tuple[pathlib.Path, pathlib.Path | None]] = []
    for s in sources:
        name = container_name(s)
        planned.append((s, None if name in claimed else out / name))
        claimed.setdefault(name, s)

    sizes = [s.stat().st_size if s.is_file() else 0 for s, _ in planned]
    results: list[Conversion | None] = [None] * len(planned)
    lock = threading.Lock()
    with _console.progress(f"converting {len(planned)} files", total=sum(sizes) or 1) as bar:

        def one(k: int) -> Conversion:
            source, dest = planned[k]
            if dest is None:
                other = claimed[container_name(source)]
                return Conversion(
                    str(source),
                    str(out / container_name(source)),
                    "failed",
                    f"{source}: its container name is taken by {other}",
                    0.0,
                    sizes[k],
                    None,
                    [],
                )
            shown = 0.0

            def advance(percent: float) -> None:
                nonlocal shown
                step = sizes[k] * percent / 100 - shown
                shown += step
                with lock:
                    bar.advance(step)

            done = convert_file(
                source, dest, options=options, overwrite=args.force, on_progress=advance
            )
            with lock:
                bar.advance(sizes[k] - shown)
            return done

        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            for k, conversion in zip(
                range(len(planned)), pool.map(one, range(len(planned))), strict=True
            ):
                results[k] = conversion

    done = [r for r in results if r is not None]
    rows = [
        (
            pathlib.Path(r.source).name,
            pathlib.Path(r.destination).name,
            r.status,
            r.result_value("Spectra") or "",
            r.result_value("Traces") or "",
            f"{r.seconds:.1f}",
            _megabytes(r.source_bytes),
            _megabytes(r.destination_bytes),
        )
        for r in done
    ]
    _console.table(
        f"{sum(r.status == 'converted' for r in done)} of {len(done)} converted into {out}",
        ("source", "container", "status", "spectra", "traces", "seconds", "MB in", "MB out"),
        rows,
    )
    failed = [r for r in done if r.status != "converted"]
    for r in failed:
        print(f"vorn: failed: {r.error}", file=sys.stderr)
    return 1 if failed else 0


def _megabytes(size: int | None) -> str:
    return "" if size is None else f"{size / 1e6:.2f}"
