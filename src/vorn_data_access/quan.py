"""Quantitative (SRM/SIM) and analog analyses.

``Measurement`` builds these through their private factories. Each analysis
keeps its function index record and serves the traces of its function: one
trace per selected-reaction or selected-ion monitoring channel (quan) or per
analog channel, its x values retention times.
"""

from vorn_data_access._internal._enum import VornSymbols
from vorn_data_access._internal._index import SpectrumIndex


class _TraceAnalysis:
    __slots__ = ("_index", "_function_index", "_trace_index_list")

    def __new__(cls, *args, **kwargs):
        raise Exception("Inaccessible due to protection level")

    @classmethod
    def _create(cls, function_index, index):
        self = object.__new__(cls)
        self._function_index = function_index
        self._index = index
        self._trace_index_list = _read_trace_index(function_index)
        return self

    @property
    def index(self):
        """Position of this analysis among the measurement's analyses of its kind."""
        return self._index

    @property
    def function_index(self):
        """The function index record this analysis was made from."""
        return self._function_index

    @property
    def supplemental_properties(self):
        """The function's supplemental properties."""
        desc = self._function_index._FunctionIndex__function_description
        return desc._FunctionDescription__quan_description._QuanDescription__supplemental_properties

    def get_trace_count(self):
        """Number of traces (channels) of this analysis."""
        return len(self._trace_index_list)

    def get_trace_description(self, index):
        """The description record (``InternalSpectrumDescription``) of one trace."""
        return self._trace_record(index)._SpectrumIndex__spectrum_description

    def get_trace_points(self, index):
        """The points of one trace: x is the retention time."""
        record = self._trace_record(index)
        reader = record._SpectrumIndex__reader
        reader._VdpFileReader__set_buffer(record._SpectrumIndex__position)
        return reader._VdpFileReader__read_spectrum()

    def _trace_record(self, index):
        if index < 0 or index >= len(self._trace_index_list):
            raise Exception("Index out of range")
        return self._trace_index_list[index]

    def __repr__(self):
        return f"[{self._index}] {len(self._trace_index_list)} traces"

    __str__ = __repr__


def _read_trace_index(function_index):
    reader = function_index._FunctionIndex__reader
    reader._VdpFileReader__set_buffer(function_index._FunctionIndex__position)
    reader._VdpFileReader__confirm_vorn_symbol(VornSymbols.BEGIN_OF_SPECTRUM_INDEX_BLOCK)
    origin = reader._VdpFileReader__get_absolute_position()
    count = reader._VdpFileReader__read_uint32()
    has_profile = reader._VdpFileReader__read_bool()
    positions = reader._VdpFileReader__read_int64_array()
    if has_profile:
        reader._VdpFileReader__read_int64_array()
    reader._VdpFileReader__set_decompressed_buffer()
    records = [
        SpectrumIndex._SpectrumIndex__create_instance(reader, positions[i] + origin, i)
        for i in range(count)
    ]
    reader._VdpFileReader__reset_decompressed_buffer()
    reader._VdpFileReader__confirm_vorn_symbol(VornSymbols.END_OF_SPECTRUM_INDEX_BLOCK)
    return records


class QuanAnalysis(_TraceAnalysis):
    """A quantitative analysis: SRM or SIM traces recorded by a mass spectrometer."""

    __slots__ = ()

    @classmethod
    def __create_instance(cls, function_index, index):
        return cls._create(function_index, index)


class AnalogAnalysis(_TraceAnalysis):
    """An analog analysis: traces of an analog detector (pressure, UV signal, ...)."""

    __slots__ = ()

    @classmethod
    def __create_instance(cls, function_index, index):
        return cls._create(function_index, index)
