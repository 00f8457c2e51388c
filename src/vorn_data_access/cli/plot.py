"""``vorn plot FILE ... -o run.png``: chromatograms, a spectrum and the
diode-array absorbance map in one figure, drawn with matplotlib."""

from __future__ import annotations

import argparse
from typing import Any

import numpy as np

from ..access import VornFile
from . import _select


def add_commands(commands: Any) -> None:
    p = commands.add_parser(
        "plot",
        help="draw chromatograms, a spectrum or the absorbance map to an image",
        description="One panel per request, stacked. Needs matplotlib "
        "(pip install 'vorn-data-access[plot]').",
    )
    p.add_argument("file", help="container file (.vdp)")
    _select.add_analysis_options(p)
    p.add_argument("--tic", action="store_true", help="total ion current")
    p.add_argument("--bpc", action="store_true", help="base peak chromatogram")
    p.add_argument(
        "--xic",
        type=float,
        action="append",
        default=[],
        metavar="MZ",
        help="extracted-ion chromatogram of MZ (repeatable)",
    )
    p.add_argument("--ppm", type=float, help="XIC window half-width in ppm (default 10)")
    p.add_argument("--tolerance", type=float, metavar="TH", help="XIC window half-width in Th")
    p.add_argument(
        "--uv",
        type=_select.value_range,
        action="append",
        default=[],
        metavar="MIN:MAX",
        help="diode-array chromatogram of a wavelength range (nm)",
    )
    p.add_argument(
        "--spectrum",
        type=float,
        metavar="MINUTES",
        help="the mass spectrum nearest this retention time",
    )
    p.add_argument("--dad-map", action="store_true", help="absorbance over time and wavelength")
    _select.add_spectrum_filters(p, ms_level=None)
    p.add_argument("-o", "--output", required=True, help="image file (.png, .svg, .pdf)")
    p.add_argument(
        "--size",
        type=float,
        nargs=2,
        default=(8.0, 2.5),
        metavar=("W", "H"),
        help="width and height of each panel in inches (default 8 2.5)",
    )
    p.add_argument("--dpi", type=int, default=100)
    p.set_defaults(run=run)


def _pyplot() -> Any:
    try:
        import matplotlib
    except ImportError:
        raise RuntimeError(
            "plotting needs matplotlib: pip install 'vorn-data-access[plot]'"
        ) from None
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    return plt


def run(args: argparse.Namespace) -> int:
    panels: list[tuple[str, Any]] = []
    with VornFile(args.file) as f:
        m = _select.measurement(f, args)
        filters = dict(polarity=_select.polarity(args), scan_filter=args.scan_filter)
        if args.tic or args.bpc or args.xic or args.spectrum is not None:
            qual = _select.analysis(m, "qual", args)
            for which in ("tic", "bpc"):
                if getattr(args, which):
                    method = getattr(qual, f"{which}_arrays")
                    rt, values = method(ms_level=args.ms_level, **filters)
                    panels.append(
                        ("chromatogram", (rt, [values], [which.upper()], "Intensity (counts)"))
                    )
            if args.xic:
                windows = _select.mz_windows(args.xic, args.ppm, args.tolerance)
                rt, values = qual.xic_arrays(
                    np.array(windows),
                    ms_level=args.ms_level or 1,
                    rt_range=args.rt_range,
                    **filters,
                )
                labels = [f"XIC m/z {mz:g}" for mz in args.xic]
                panels.append(("chromatogram", (rt, list(values), labels, "Intensity (counts)")))
            if args.spectrum is not None:
                s = qual.find_nearest_spectrum(args.spectrum)
                panels.append(("spectrum", (s.mz, s.intensity, s.retention_time, s.index)))
        if args.uv or args.dad_map:
            dad = _select.analysis(m, "dad", args)
            for lo, hi in args.uv:
                rt, values = dad.chromatogram_arrays((lo, hi))
                panels.append(
                    ("chromatogram", (rt, [values], [f"UV {lo:g}-{hi:g} nm"], "Absorbance"))
                )
            if args.dad_map:
                panels.append(("map", dad.absorbance_matrix()))
    if not panels:
        raise ValueError(
            "nothing to plot: ask for --tic, --bpc, --xic, --uv, --spectrum or --dad-map"
        )

    plt = _pyplot()
    width, height = args.size
    fig, axes = plt.subplots(len(panels), 1, figsize=(width, height * len(panels)), squeeze=False)
    for ax, (kind, data) in zip(axes[:, 0], panels, strict=True):
        if kind == "chromatogram":
            rt, series, labels, unit = data
            for values, label in zip(series, labels, strict=True):
                ax.plot(rt, values, linewidth=0.8, label=label)
            ax.set_xlabel("Retention time (min)")
            ax.set_ylabel(unit)
            ax.legend(loc="upper right", fontsize="small")
        elif kind == "spectrum":
            mz, intensity, rt, index = data
            ax.vlines(mz, 0, intensity, linewidth=0.8)
            ax.set_xlabel("m/z")
            ax.set_ylabel("Intensity (counts)")
            ax.set_title(
                f"spectrum {index} at {rt:.3f} min" if rt is not None else f"spectrum {index}"
            )
        else:
            rt, wavelengths, matrix = data
            if len(rt) and len(wavelengths):
                image = ax.imshow(
                    np.asarray(matrix).T,
                    aspect="auto",
                    origin="lower",
                    extent=(rt[0], rt[-1], wavelengths[0], wavelengths[-1]),
                )
                fig.colorbar(image, ax=ax, label="Absorbance")
            ax.set_xlabel("Retention time (min)")
            ax.set_ylabel("Wavelength (nm)")
    fig.tight_layout()
    fig.savefig(args.output, dpi=args.dpi)
    plt.close(fig)
    return 0
