"""What the console (IPython's ``_repr_pretty_``) and notebooks
(``_repr_html_``) show for files, measurements, analyses and spectra. The
classes' own ``str`` and ``repr`` texts stay as they are."""

from __future__ import annotations

import html as _html
from typing import Any


def _number(value: Any, digits: int = 4) -> str:
    if value is None:
        return "-"
    if isinstance(value, float):
        return f"{value:.{digits}f}".rstrip("0").rstrip(".") if value == value else "nan"
    return str(value)


def _polarity(condition: Any) -> str:
    polarity = getattr(condition, "polarity", None)
    return {"POSITIVE": "+", "NEGATIVE": "-", "BOTH": "+/-"}.get(getattr(polarity, "name", ""), "")


def _points(spectrum: Any) -> str:
    try:
        return f"{len(spectrum.get_spectrum_points())} points"
    except Exception as e:  # a closed file: the summary still shows the rest
        return f"points unreadable ({type(e).__name__})"


def summary(obj: Any) -> str:
    """One line saying what `obj` is."""
    kind = type(obj).__name__
    if kind == "Spectrum":
        c = obj.acquisition_condition
        parts = [f"Spectrum {obj.index}", f"rt {_number(obj.retention_time)} min"]
        if c is not None:
            parts.append(f"MS{c.ms_level}{_polarity(c)}")
            if c.precursor_value is not None:
                parts.append(f"precursor m/z {_number(c.precursor_value)}")
        parts.append(_points(obj))
        return ", ".join(parts)
    if kind == "DADSpectrum":
        return f"DADSpectrum {obj.index}, rt {_number(obj.retention_time)} min, {_points(obj)}"
    if kind == "QualAnalysis":
        conditions = len(obj.unique_acquisition_conditions)
        return f"QualAnalysis {obj.index}: {len(obj)} spectra, {conditions} acquisition conditions"
    if kind == "DADAnalysis":
        return f"DADAnalysis {obj.index}: {len(obj)} spectra"
    if kind == "Measurement":
        return f"Measurement {obj.index}: {obj}"
    if kind == "VornFile":
        return f"VornFile {obj.file_path!s}: {len(obj)} measurements"
    return str(obj)


def pretty(obj: Any, printer: Any, cycle: bool) -> None:
    """IPython's pretty printer hook."""
    printer.text(summary(obj))


def _table(title: str, rows: list[tuple[str, Any]]) -> str:
    body = "".join(
        f"<tr><th style='text-align:left'>{_html.escape(k)}</th>"
        f"<td style='text-align:left'>{_html.escape(str(v))}</td></tr>"
        for k, v in rows
    )
    return f"<table><caption>{_html.escape(title)}</caption>{body}</table>"


def _measurement_rows(m: Any) -> list[tuple[str, Any]]:
    rows: list[tuple[str, Any]] = []
    for field in (
        "sample_name",
        "sample_id",
        "instrument_manufacturer",
        "instrument_product_name",
        "measurement_date_time",
        "plate_code",
        "well_code",
    ):
        value = getattr(m, field)
        if value not in (None, ""):
            rows.append((field.replace("_", " "), value))
    for kind in ("qual", "dad", "quan", "analog"):
        for a in getattr(m, f"{kind}_analyses"):
            rows.append((f"{kind} analysis {a.index}", a))
    return rows


def html(obj: Any) -> str:
    """A notebook's HTML view of `obj`."""
    kind = type(obj).__name__
    if kind == "VornFile":
        rows: list[tuple[str, Any]] = [
            ("format", obj.get_file_format_version()),
            ("converter", obj.get_converter_version()),
        ]
        rows += [(f"measurement {m.index}", m) for m in obj]
        return _table(f"VornFile {obj.file_path!s}", rows)
    if kind == "Measurement":
        return _table(f"Measurement {obj.index}", _measurement_rows(obj))
    if kind == "QualAnalysis":
        rows = [("spectra", len(obj))]
        rows += [("condition", c) for c in obj.unique_acquisition_conditions[:20]]
        return _table(f"QualAnalysis {obj.index}", rows)
    return f"<pre>{_html.escape(summary(obj))}</pre>"
