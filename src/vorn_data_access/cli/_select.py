"""Options shared by the commands that read chromatograms: which measurement
and analysis, which spectra, which windows."""

from __future__ import annotations

import argparse
from typing import Any

from ..common import PolarityTypes

POLARITIES = {
    "+": PolarityTypes.POSITIVE,
    "positive": PolarityTypes.POSITIVE,
    "-": PolarityTypes.NEGATIVE,
    "negative": PolarityTypes.NEGATIVE,
}


def add_analysis_options(p: argparse.ArgumentParser) -> None:
    p.add_argument(
        "--measurement", type=int, default=0, metavar="N", help="measurement index (default 0)"
    )
    p.add_argument(
        "--analysis",
        type=int,
        default=0,
        metavar="N",
        help="analysis index within its kind (default 0)",
    )


def add_spectrum_filters(p: argparse.ArgumentParser, ms_level: int | None) -> None:
    default = "all levels" if ms_level is None else f"{ms_level}"
    p.add_argument(
        "--ms-level",
        type=int,
        default=ms_level,
        metavar="N",
        help=f"MS level of the spectra (default: {default})",
    )
    p.add_argument("--polarity", choices=sorted(POLARITIES), help="scan polarity")
    p.add_argument(
        "--scan-filter",
        metavar="PREFIX",
        help="only spectra whose scan filter starts with PREFIX (e.g. FTMS)",
    )
    p.add_argument(
        "--rt-range", type=value_range, metavar="MIN:MAX", help="retention-time range in minutes"
    )


def value_range(text: str) -> tuple[float, float]:
    """'250:260' as (250.0, 260.0)."""
    lo, sep, hi = text.partition(":")
    try:
        low, high = float(lo), float(hi)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected MIN:MAX, got {text!r}") from None
    if not sep or low > high:
        raise argparse.ArgumentTypeError(f"expected MIN:MAX with MIN <= MAX, got {text!r}")
    return low, high


def polarity(args: argparse.Namespace) -> PolarityTypes | None:
    return None if args.polarity is None else POLARITIES[args.polarity]


def mz_windows(
    centres: list[float], ppm: float | None, tolerance: float | None
) -> list[tuple[float, float]]:
    """Windows around m/z values: ±ppm or ±tolerance (Th); 10 ppm by default."""
    if ppm is not None and tolerance is not None:
        raise ValueError("give --ppm or --tolerance, not both")
    if tolerance is None and ppm is None:
        ppm = 10.0
    out = []
    for mz in centres:
        half = tolerance if tolerance is not None else mz * ppm * 1e-6  # type: ignore[operator]
        out.append((mz - half, mz + half))
    return out


def measurement(f: Any, args: argparse.Namespace) -> Any:
    count = f.get_measurement_count()
    if not 0 <= args.measurement < count:
        raise ValueError(
            f"the file has {count} measurements; --measurement {args.measurement} is not one"
        )
    return f.get_measurement(args.measurement)


def analysis(m: Any, kind: str, args: argparse.Namespace) -> Any:
    count = getattr(m, f"get_{kind}_analysis_count")()
    names = {
        "qual": "mass-spectrometry",
        "dad": "diode-array",
        "quan": "quantitative",
        "analog": "analog",
    }
    if not 0 <= args.analysis < count:
        raise ValueError(
            f"measurement {args.measurement} has {count} {names[kind]} analyses; "
            f"--analysis {args.analysis} is not one"
        )
    return getattr(m, f"get_{kind}_analysis")(args.analysis)
