"""Tables of spectra and traces as pandas DataFrames.

pandas is an optional extra: ``pip install "vorn-data-access[pandas]"``.
``QualAnalysis.spectra_frame()`` and ``QuanAnalysis.traces_frame()`` call the
functions here.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

if TYPE_CHECKING:
    import pandas

_MISSING = (
    "{what} needs pandas, an optional extra of vorn-data-access: "
    'pip install "vorn-data-access[pandas]"'
)


# Spectrum fields that not every version of the package has (the details of
# format 1.1 on, named by the qual module); each becomes a column where the
# Spectrum class has it.
def _optional_spectrum_fields() -> tuple[str, ...]:
    from . import qual

    return tuple(getattr(qual, "_SPECTRUM_DETAILS", ()))


def _pandas(what: str) -> Any:
    try:
        import pandas
    except ImportError as e:
        raise ImportError(_MISSING.format(what=what)) from e
    return pandas


def spectra_frame(analysis: Any) -> pandas.DataFrame:
    """One row per spectrum of a QualAnalysis, indexed by spectrum index."""
    pd = _pandas("spectra_frame()")
    columns = analysis._spectrum_columns()
    frame = pd.DataFrame(columns)
    frame["polarity"] = frame["polarity"].astype("category")
    frame["spectrum_type"] = frame["spectrum_type"].astype("category")
    frame["ms_level"] = frame["ms_level"].where(frame["ms_level"] >= 0).astype("Int64")
    frame["precursor_index"] = frame["precursor_index"].astype("Int64")
    spectrum_class = type(analysis.get_spectrum(0)) if len(analysis) else None
    present = [n for n in _optional_spectrum_fields() if hasattr(spectrum_class, n)]
    if present:
        rows = [[getattr(s, n) for n in present] for s in analysis]
        at = frame.columns.get_loc("precursor_mz") + 1
        for k, name in enumerate(present):
            frame.insert(at + k, name, [row[k] for row in rows])
    return frame.set_index("index")


def traces_frame(analysis: Any) -> pandas.DataFrame:
    """One row per trace of a QuanAnalysis or AnalogAnalysis; times in minutes."""
    pd = _pandas("traces_frame()")
    rows = []
    for i, t in enumerate(analysis.traces):
        times, intensities = analysis.trace_arrays(i)
        rows.append(
            {
                "index": i,
                "kind": t.kind,
                "precursor_mz": t.precursor_mz,
                "product_mz": t.product_mz,
                "collision_energy": t.collision_energy,
                "polarity": None if t.polarity is None else t.polarity.name.lower(),
                "points": len(times),
                "start_time": float(times[0]) if len(times) else float("nan"),
                "end_time": float(times[-1]) if len(times) else float("nan"),
                "max_intensity": float(intensities.max()) if len(times) else float("nan"),
                "unit": t.unit,
                "native_id": t.native_id,
            }
        )
    columns = [
        "index",
        "kind",
        "precursor_mz",
        "product_mz",
        "collision_energy",
        "polarity",
        "points",
        "start_time",
        "end_time",
        "max_intensity",
        "unit",
        "native_id",
    ]
    frame = pd.DataFrame(rows, columns=columns)
    frame["polarity"] = frame["polarity"].astype("category")
    return frame.set_index("index")
