"""
Quantitative (SRM/SIM) and analog analyses.

``Measurement`` builds these through their private factories. Each analysis keeps its function index record and serves the traces of its function: one trace per selected-reaction or selected-ion monitoring channel (quan) or per analog channel, its x values retention times.
"""

import numpy
import numpy.typing
import pandas

from vorn_data_access._internal._enum import (
    VornSymbols as VornSymbols
)
from vorn_data_access._internal._index import (
    SpectrumIndex as SpectrumIndex
)
import vorn_data_access.sequences
import vorn_data_access.traces


class _TraceAnalysis:
    """What quantitative and analog analyses share: a function's traces."""

    @classmethod
    def _create(cls, function_index: object | None, index: object | None) -> object: ...

    @property
    def _index(self) -> object: ...

    @_index.setter
    def _index(self, value: object | None) -> None: ...

    @property
    def _function_index(self) -> object: ...

    @_function_index.setter
    def _function_index(self, value: object | None) -> None: ...

    @property
    def _trace_index_list(self) -> object: ...

    @_trace_index_list.setter
    def _trace_index_list(self, value: object | None) -> None: ...

    @property
    def index(self) -> object:
        """
        Position of this analysis among the measurement's analyses of its kind.
        """

    @property
    def function_index(self) -> object:
        """The function index record this analysis was made from."""

    @property
    def supplemental_properties(self) -> object:
        """The function's supplemental properties."""

    def get_trace_count(self) -> int:
        """Number of traces (channels) of this analysis."""

    def get_trace_description(self, index: object | None) -> object:
        """The description record (``InternalSpectrumDescription``) of one trace."""

    def get_trace_points(self, index: object | None) -> object:
        """The points of one trace: x is the retention time."""

    def _trace_record(self, index: object | None) -> object:
        """
        The trace record (``SpectrumIndex``) at `index`, checked against the trace count.
        """

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def _format_version(self) -> object:
        """
        The (major, minor) format version of the analysis's file, or None for a reader given from Python.
        """

    @property
    def traces(self) -> vorn_data_access.sequences.IndexedSequence[vorn_data_access.traces.Trace]:
        """
        The traces as a sequence of Trace objects (Q1, Q3, collision energy, polarity, kind, native id, unit, properties): len(), indexes from either end, slices, iteration.
        """

    def trace_arrays(self, index: int) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        (times, intensities) of trace `index` as float64 arrays, the times in minutes whatever unit the source used.
        """

    def find_traces(self, precursor_mz: float, product_mz: float | None = None, tolerance: float = 0.01) -> list[vorn_data_access.traces.Trace]:
        """
        The traces whose Q1 lies within `tolerance` of `precursor_mz` and, when `product_mz` is given, whose Q3 lies within `tolerance` of it.
        """

    def traces_frame(self) -> pandas.DataFrame:
        """
        A pandas DataFrame with one row per trace: kind, Q1, Q3, collision energy, polarity, point count, time range (minutes), highest intensity, unit and native id. Needs pandas (pip install 'vorn-data-access[pandas]').
        """

class QuanAnalysis(_TraceAnalysis):
    """
    A quantitative analysis: SRM or SIM traces recorded by a mass spectrometer.
    """

    @classmethod
    def _create(cls, function_index: object | None, index: object | None) -> object: ...

    @classmethod
    def _QuanAnalysis__create_instance(cls, function_index: object | None, index: object | None) -> object: ...

class AnalogAnalysis(_TraceAnalysis):
    """
    An analog analysis: traces of an analog detector (pressure, UV signal, ...).
    """

    @classmethod
    def _create(cls, function_index: object | None, index: object | None) -> object: ...

    @classmethod
    def _AnalogAnalysis__create_instance(cls, function_index: object | None, index: object | None) -> object: ...

def _read_trace_index(function_index: object | None) -> list:
    """
    The trace records of a function: its spectrum index block, read in order.
    """
