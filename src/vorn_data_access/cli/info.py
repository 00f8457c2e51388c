"""``vorn info FILE``: what a container file holds, as text or ``--json``."""

from __future__ import annotations

import argparse
import collections
import json
import math
from typing import Any

from ..access import VornFile


def add_commands(commands: Any) -> None:
    p = commands.add_parser(
        "info",
        help="summarise a container file",
        description="Versions, measurements (sample, instrument, date) and their analyses: "
        "spectrum counts, retention-time range, distinct conditions, MS levels, "
        "diode-array wavelengths and traces with Q1/Q3.",
    )
    p.add_argument("file", help="container file (.vdp)")
    p.add_argument("--json", action="store_true", help="print JSON for scripts")
    p.set_defaults(run=run)


def run(args: argparse.Namespace) -> int:
    summary = summarize(args.file)
    if args.json:
        print(json.dumps(summary, indent=2))
    else:
        print(text(summary))
    return 0


def _time_range(times: list[float | None]) -> list[float] | None:
    known = [t for t in times if t is not None and math.isfinite(t)]
    return [min(known), max(known)] if known else None


def _qual(analysis: Any) -> dict[str, Any]:
    times, levels = [], collections.Counter()
    for i in range(analysis.get_spectra_count()):
        s = analysis.get_spectrum(i)
        times.append(s.retention_time)
        level = s.acquisition_condition.ms_level
        levels["unknown" if level is None else str(level)] += 1
    return {
        "index": analysis.index,
        "spectra": analysis.get_spectra_count(),
        "retention_time_range": _time_range(times),
        "conditions": len(analysis.unique_acquisition_conditions),
        "ms_levels": dict(sorted(levels.items())),
    }


def _wavelengths(analysis: Any) -> list[float] | None:
    description = analysis._DADAnalysis__function_index._FunctionIndex__function_description
    qual = description._FunctionDescription__qual_description
    stored = qual._QualDescription__wavelength_arr
    if stored is not None and len(stored):
        return [float(min(stored)), float(max(stored))]
    if analysis.get_spectra_count():
        x = analysis.get_spectrum(0).get_spectrum_points().x_array
        if len(x):
            return [float(x[0]), float(x[-1])]
    return None


def _dad(analysis: Any) -> dict[str, Any]:
    count = analysis.get_spectra_count()
    return {
        "index": analysis.index,
        "spectra": count,
        "retention_time_range": _time_range(
            [analysis.get_spectrum(i).retention_time for i in range(count)]
        ),
        "wavelength_range": _wavelengths(analysis),
    }


def _traces(analysis: Any) -> dict[str, Any]:
    traces = []
    for i in range(analysis.get_trace_count()):
        d = analysis.get_trace_description(i)
        props = d._InternalSpectrumDescription__supplemental_properties or {}
        traces.append(
            {
                "index": i,
                "kind": props.get("Kind"),
                "q1": d._InternalSpectrumDescription__precursor_value,
                "q3": props.get("ProductMz"),
                "native_id": props.get("NativeId"),
            }
        )
    return {"index": analysis.index, "traces": traces}


def summarize(path: str) -> dict[str, Any]:
    """Everything ``vorn info`` reports about a file, as JSON-ready values."""
    with VornFile(path) as f:
        out: dict[str, Any] = {
            "path": path,
            "format_version": f.get_file_format_version(),
            "converter_version": f.get_converter_version(),
            "measurements": [],
        }
        for i in range(f.get_measurement_count()):
            m = f.get_measurement(i)
            out["measurements"].append(
                {
                    "index": i,
                    "sample_name": m.sample_name,
                    "sample_id": m.sample_id,
                    "instrument_manufacturer": m.instrument_manufacturer,
                    "instrument_product_name": m.instrument_product_name,
                    "measurement_date_time": m.measurement_date_time,
                    "qual": [
                        _qual(m.get_qual_analysis(k)) for k in range(m.get_qual_analysis_count())
                    ],
                    "dad": [_dad(m.get_dad_analysis(k)) for k in range(m.get_dad_analysis_count())],
                    "quan": [
                        _traces(m.get_quan_analysis(k)) for k in range(m.get_quan_analysis_count())
                    ],
                    "analog": [
                        _traces(m.get_analog_analysis(k))
                        for k in range(m.get_analog_analysis_count())
                    ],
                }
            )
    return out


def _minutes(r: list[float] | None) -> str:
    return "no retention times" if r is None else f"{r[0]:.3f}-{r[1]:.3f} min"


def _number(v: Any) -> str:
    return "-" if v is None else f"{v:g}" if isinstance(v, float) else str(v)


def text(summary: dict[str, Any]) -> str:
    """The text form of a summary, one line per analysis and trace."""
    ms = summary["measurements"]
    lines = [
        f"{summary['path']}: format {summary['format_version']}, converter "
        f"{summary['converter_version']}, {len(ms)} measurement{'s' * (len(ms) != 1)}"
    ]
    for m in ms:
        sample = m["sample_name"] or "(no name)"
        if m["sample_id"]:
            sample += f" (id {m['sample_id']})"
        lines.append(f"measurement {m['index']}: sample {sample}")
        instrument = " ".join(
            v for v in (m["instrument_manufacturer"], m["instrument_product_name"]) if v
        )
        acquired = m["measurement_date_time"] or "unknown"
        lines.append(f"  instrument: {instrument or 'unknown'}, acquired {acquired}")
        for a in m["qual"]:
            levels = ", ".join(
                f"MS{k} {v}" if k != "unknown" else f"level unknown {v}"
                for k, v in a["ms_levels"].items()
            )
            conditions = f"{a['conditions']} condition{'s' * (a['conditions'] != 1)}"
            lines.append(
                f"  qual {a['index']}: {a['spectra']} spectra, "
                f"{_minutes(a['retention_time_range'])}, {conditions}"
                + (f", {levels}" if levels else "")
            )
        for a in m["dad"]:
            w = a["wavelength_range"]
            wavelengths = "no wavelengths" if w is None else f"{w[0]:g}-{w[1]:g} nm"
            lines.append(
                f"  dad {a['index']}: {a['spectra']} spectra, "
                f"{_minutes(a['retention_time_range'])}, {wavelengths}"
            )
        for kind in ("quan", "analog"):
            for a in m[kind]:
                lines.append(f"  {kind} {a['index']}: {len(a['traces'])} traces")
                for t in a["traces"]:
                    parts = [f"    {t['index']}: {t['kind'] or 'trace'}"]
                    if t["q1"] is not None:
                        parts.append(f"Q1 {_number(t['q1'])}")
                    if t["q3"] is not None:
                        parts.append(f"Q3 {_number(t['q3'])}")
                    if t["native_id"]:
                        parts.append(f"({t['native_id']})")
                    lines.append(" ".join(parts))
    return "\n".join(lines)
