"""The traces of quantitative (SRM/SIM) and analog analyses as objects and
arrays: what ``QuanAnalysis.traces``, ``trace_arrays`` and ``find_traces``
return, built on the analyses' ``get_trace_count``,
``get_trace_description`` and ``get_trace_points``.

Times come in minutes. Files of format 1.0 keep a trace's times as its source
gave them, with the unit in the trace's property ``TimeUnit``; from format
1.1 on, the converter stores minutes and ``TimeUnit`` names the unit the
source used.
"""

from __future__ import annotations

import dataclasses
import functools
from typing import Any

import numpy as np
import numpy.typing as npt

from vorn_data_access.common import PolarityTypes
from vorn_data_access.sequences import IndexedSequence

# Minutes per time unit, by the names sources use.
_MINUTES_PER = {
    "minute": 1.0,
    "min": 1.0,
    "second": 1.0 / 60.0,
    "s": 1.0 / 60.0,
    "sec": 1.0 / 60.0,
    "millisecond": 1.0 / 60000.0,
    "ms": 1.0 / 60000.0,
    "hour": 60.0,
    "h": 60.0,
}


@dataclasses.dataclass(frozen=True)
class Trace:
    """One trace (channel) of a quantitative or analog analysis.

    ``precursor_mz`` is Q1 and ``product_mz`` Q3 of an SRM transition (None
    where the trace has none); ``kind`` is "SRM", "SIM", "TIC", "BPC" or the
    name of an analog signal; ``unit`` is the unit of the intensities where
    the source gave one; ``source_time_unit`` the unit the source gave the
    times in (``trace_arrays`` returns minutes whatever it is).
    """

    index: int
    kind: str | None
    precursor_mz: float | None
    product_mz: float | None
    collision_energy: float | None
    polarity: PolarityTypes | None
    native_id: str | None
    unit: str | None
    source_time_unit: str | None
    properties: dict[str, Any] = dataclasses.field(hash=False, repr=False)

    def __repr__(self) -> str:
        parts = [f"Trace {self.index}", str(self.kind)]
        if self.precursor_mz is not None:
            parts.append(f"Q1 {self.precursor_mz:g}")
        if self.product_mz is not None:
            parts.append(f"Q3 {self.product_mz:g}")
        if self.collision_energy is not None:
            parts.append(f"CE {self.collision_energy:g}")
        if self.polarity is not None:
            parts.append({"POSITIVE": "+", "NEGATIVE": "-"}.get(self.polarity.name, "+/-"))
        if self.native_id:
            parts.append(repr(self.native_id))
        return f"<{', '.join(parts)}>"


def _field(description: Any, name: str) -> Any:
    return getattr(description, f"_InternalSpectrumDescription__{name}")


def _number(value: Any) -> float | None:
    return None if value is None else float(value)


def trace_of(analysis: Any, index: int) -> Trace:
    """The Trace at `index` of a quan or analog analysis."""
    d = analysis.get_trace_description(index)
    properties = dict(_field(d, "supplemental_properties") or {})
    unit = properties.get("IntensityUnit", properties.get("Unit"))
    return Trace(
        index=index,
        kind=properties.get("Kind"),
        precursor_mz=_number(_field(d, "precursor_value")),
        product_mz=_number(properties.get("ProductMz")),
        collision_energy=_number(_field(d, "collision_energy")),
        polarity=_field(d, "polarity"),
        native_id=properties.get("NativeId"),
        unit=None if unit is None else str(unit),
        source_time_unit=properties.get("TimeUnit"),
        properties=properties,
    )


def minutes_per_stored_unit(analysis: Any, trace: Trace) -> float:
    """What a stored time of `trace` is multiplied by to give minutes."""
    version = analysis._format_version()
    if version is not None and version >= (1, 1):
        return 1.0
    unit = (trace.source_time_unit or "minute").strip().lower()
    if unit not in _MINUTES_PER:
        raise ValueError(f"trace {trace.index} has times in an unknown unit: {unit!r}")
    return _MINUTES_PER[unit]


def trace_arrays(
    analysis: Any, index: int
) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """(times in minutes, intensities) of one trace, as float64 arrays."""
    points = analysis.get_trace_points(index)
    if hasattr(points, "x_array"):
        times = np.array(points.x_array, dtype=np.float64)
        intensities = np.array(points.intensity_array, dtype=np.float64)
    else:
        times = np.array([p.x for p in points], dtype=np.float64)
        intensities = np.array([p.intensity for p in points], dtype=np.float64)
    factor = minutes_per_stored_unit(analysis, trace_of(analysis, index))
    if factor != 1.0:
        times *= factor
    return times, intensities


def find_traces(
    analysis: Any, precursor_mz: float, product_mz: float | None, tolerance: float
) -> list[Trace]:
    """The traces whose Q1 (and Q3, when given) lie within `tolerance`."""
    found = []
    for i in range(analysis.get_trace_count()):
        t = trace_of(analysis, i)
        if t.precursor_mz is None or abs(t.precursor_mz - precursor_mz) > tolerance:
            continue
        if product_mz is not None and (
            t.product_mz is None or abs(t.product_mz - product_mz) > tolerance
        ):
            continue
        found.append(t)
    return found


def sequence(analysis: Any) -> IndexedSequence[Trace]:
    """The traces of `analysis` as a sequence, each built when asked for."""
    return IndexedSequence(analysis.get_trace_count, functools.partial(trace_of, analysis), "trace")
