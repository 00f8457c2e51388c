"""``vorn tic|bpc|xic|uv|trace FILE``: chromatograms as CSV (a file or standard
output) or Parquet, one row per point, retention time in minutes first."""

from __future__ import annotations

import argparse
import sys
from collections.abc import Sequence
from typing import Any

import numpy as np

from ..access import VornFile
from . import _select


def add_commands(commands: Any) -> None:
    for name, what in (("tic", "total ion current"), ("bpc", "base peak chromatogram")):
        p = commands.add_parser(
            name,
            help=f"{what} of a mass-spectrometry analysis",
            description=f"The {what} of the selected spectra.",
        )
        _common(p)
        _select.add_spectrum_filters(p, ms_level=None)
        p.set_defaults(run=run_summary, which=name)

    p = commands.add_parser(
        "xic",
        help="extracted-ion chromatograms",
        description="One column per m/z window, from one pass over the data.",
    )
    _common(p)
    p.add_argument("mz", type=float, nargs="+", help="m/z value(s)")
    p.add_argument("--ppm", type=float, help="window half-width in ppm (default 10)")
    p.add_argument("--tolerance", type=float, metavar="TH", help="window half-width in Th")
    _select.add_spectrum_filters(p, ms_level=1)
    p.set_defaults(run=run_xic)

    p = commands.add_parser(
        "uv",
        help="diode-array chromatogram of a wavelength range",
        description="Mean absorbance over the wavelength range, per spectrum.",
    )
    _common(p)
    p.add_argument("wavelengths", type=_select.value_range, metavar="MIN:MAX", help="in nm")
    p.set_defaults(run=run_uv)

    p = commands.add_parser(
        "trace",
        help="an SRM/SIM or analog trace",
        description="One trace of a quantitative (default) or analog "
        "analysis, chosen by index or by Q1 (and Q3).",
    )
    _common(p)
    p.add_argument("--analog", action="store_true", help="from an analog analysis")
    p.add_argument("--index", type=int, help="trace index")
    p.add_argument("--q1", type=float, help="precursor m/z of the transition")
    p.add_argument("--q3", type=float, help="product m/z of the transition")
    p.add_argument(
        "--tolerance",
        type=float,
        default=0.01,
        metavar="TH",
        help="m/z tolerance for --q1/--q3 (default 0.01)",
    )
    p.set_defaults(run=run_trace)


def _common(p: argparse.ArgumentParser) -> None:
    p.add_argument("file", help="container file (.vdp)")
    _select.add_analysis_options(p)
    out = p.add_mutually_exclusive_group()
    out.add_argument(
        "--csv",
        nargs="?",
        const="-",
        metavar="PATH",
        help="write CSV to PATH (standard output without PATH; the default)",
    )
    out.add_argument("--parquet", metavar="PATH", help="write Parquet to PATH (needs pyarrow)")


def write_table(
    args: argparse.Namespace, columns: Sequence[str], arrays: Sequence[np.ndarray]
) -> None:
    """Writes the columns as CSV or Parquet, as the options ask."""
    if args.parquet:
        try:
            import pyarrow as pa
            import pyarrow.parquet as pq
        except ImportError:
            raise RuntimeError(
                "Parquet output needs pyarrow: pip install 'vorn-data-access[parquet]'"
            ) from None
        pq.write_table(
            pa.table({c: np.asarray(a) for c, a in zip(columns, arrays, strict=True)}), args.parquet
        )
        return
    target = args.csv or "-"
    out = sys.stdout if target == "-" else open(target, "w", encoding="utf-8", newline="")
    try:
        out.write(",".join(columns) + "\n")
        for row in zip(*(np.asarray(a).tolist() for a in arrays), strict=True):
            out.write(",".join(repr(float(v)) for v in row) + "\n")
    finally:
        if out is not sys.stdout:
            out.close()


def run_summary(args: argparse.Namespace) -> int:
    with VornFile(args.file) as f:
        a = _select.analysis(_select.measurement(f, args), "qual", args)
        method = a.tic_arrays if args.which == "tic" else a.bpc_arrays
        rt, values = method(
            ms_level=args.ms_level, polarity=_select.polarity(args), scan_filter=args.scan_filter
        )
        if args.rt_range:
            keep = (rt >= args.rt_range[0]) & (rt <= args.rt_range[1])
            rt, values = rt[keep], values[keep]
    write_table(args, ("retention_time", "intensity"), (rt, values))
    return 0


def run_xic(args: argparse.Namespace) -> int:
    windows = _select.mz_windows(args.mz, args.ppm, args.tolerance)
    with VornFile(args.file) as f:
        a = _select.analysis(_select.measurement(f, args), "qual", args)
        rt, intensities = a.xic_arrays(
            np.array(windows),
            ms_level=args.ms_level,
            polarity=_select.polarity(args),
            scan_filter=args.scan_filter,
            rt_range=args.rt_range,
        )
    names = [f"mz_{mz:g}" for mz in args.mz]
    write_table(args, ("retention_time", *names), (rt, *intensities))
    return 0


def run_uv(args: argparse.Namespace) -> int:
    with VornFile(args.file) as f:
        a = _select.analysis(_select.measurement(f, args), "dad", args)
        rt, absorbance = a.chromatogram_arrays(args.wavelengths)
    write_table(args, ("retention_time", "absorbance"), (rt, absorbance))
    return 0


def choose_trace(a: Any, args: argparse.Namespace) -> int:
    """The index of the trace the options name."""
    if (args.index is None) == (args.q1 is None):
        raise ValueError("choose a trace with --index or with --q1 (and --q3)")
    if args.index is not None:
        if not 0 <= args.index < len(a.traces):
            raise ValueError(
                f"the analysis has {len(a.traces)} traces; --index {args.index} is not one"
            )
        return int(args.index)
    found = a.find_traces(args.q1, args.q3, tolerance=args.tolerance)
    if not found:
        raise ValueError(
            f"no trace with Q1 {args.q1:g}" + (f" and Q3 {args.q3:g}" if args.q3 else "")
        )
    return int(found[0].index)


def run_trace(args: argparse.Namespace) -> int:
    with VornFile(args.file) as f:
        a = _select.analysis(
            _select.measurement(f, args), "analog" if args.analog else "quan", args
        )
        times, intensities = a.trace_arrays(choose_trace(a, args))
    write_table(args, ("retention_time", "intensity"), (times, intensities))
    return 0
