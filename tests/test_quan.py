"""Quantitative and analog analyses: their traces read natively match the
reader protocol, and the protocol path serves readers and records given from
Python."""

import numpy as np
import pytest
from conftest import read_points, read_spectrum_index_block

from vorn_data_access import access, quan
from vorn_data_access._internal._index import SpectrumIndex
from vorn_data_access._internal._reader import VdpFileReader
from vorn_data_access.exception import VornClosedError
from vorn_data_access.writer import VornWriter

KINDS = [
    ("quan", quan.QuanAnalysis, "get_quan_analysis"),
    ("analog", quan.AnalogAnalysis, "get_analog_analysis"),
]


@pytest.fixture(scope="module")
def trace_file(tmp_path_factory):
    rng = np.random.default_rng(11)
    path = tmp_path_factory.mktemp("quan") / "traces.vdp"
    with VornWriter(path) as w:
        m = w.add_measurement()
        functions = [
            m.add_quan_function(supplemental_properties={"Transitions": 5}),
            m.add_analog_function(supplemental_properties={"Channel": "pressure"}),
        ]
        for fn in functions:
            for i in range(5):
                times = np.linspace(0.0, 2.0, 20 + i)
                fn.add_spectrum(times, rng.uniform(0, 1e3, times.size), precursor_value=200.0 + i)
    return path


def points_of(points):
    return [(p.x, p.intensity) for p in points]


@pytest.mark.parametrize("kind, cls, getter", KINDS)
def test_traces_of_a_measurement(trace_file, kind, cls, getter):
    with access.VornFile(str(trace_file)) as f:
        m = f.get_measurement(0)
        a = getattr(m, getter)(0)
        assert type(a) is cls
        assert (a.index, a.get_trace_count()) == (0, 5)
        assert str(a) == repr(a) == "[0] 5 traces"
        assert a.function_index is getattr(m, f"_Measurement__{kind}_index_list")[0]
        assert a.supplemental_properties == (
            {"Transitions": 5} if kind == "quan" else {"Channel": "pressure"}
        )
        records = read_spectrum_index_block(
            a.function_index._FunctionIndex__reader, a.function_index._FunctionIndex__position
        )
        for k, record in enumerate(records):
            points = a.get_trace_points(k)
            assert points_of(points) == points_of(read_points(record))
            assert len(points) == 20 + k
            d = a.get_trace_description(k)
            assert d._InternalSpectrumDescription__precursor_value == 200.0 + k
            assert d._InternalSpectrumDescription__index == k


@pytest.mark.parametrize("kind, cls, getter", KINDS)
@pytest.mark.parametrize("index", [-1, 5, 99])
def test_trace_index_out_of_range(trace_file, kind, cls, getter, index):
    with access.VornFile(str(trace_file)) as f:
        a = getattr(f.get_measurement(0), getter)(0)
        for method in (a.get_trace_points, a.get_trace_description):
            with pytest.raises(Exception, match="^Index out of range$") as e:
                method(index)
            assert type(e.value) is Exception


@pytest.mark.parametrize("cls", [quan.QuanAnalysis, quan.AnalogAnalysis, quan._TraceAnalysis])
def test_direct_construction_is_refused(cls):
    with pytest.raises(Exception, match="^Inaccessible due to protection level$"):
        cls()


def test_reads_after_close_raise_closed(trace_file):
    f = access.VornFile(str(trace_file))
    a = f.get_measurement(0).get_quan_analysis(0)
    f.close()
    assert a.get_trace_count() == 5
    with pytest.raises(VornClosedError):
        a.get_trace_points(0)


class LoggingReader(VdpFileReader):
    calls = []

    def _VdpFileReader__set_buffer(self, position):
        LoggingReader.calls.append(position)
        return super()._VdpFileReader__set_buffer(position)


class OwnSpectrumIndex(SpectrumIndex):
    pass


@pytest.mark.parametrize("kind, cls, getter", KINDS)
def test_protocol_path_agrees_with_the_native_one(trace_file, monkeypatch, kind, cls, getter):
    with access.VornFile(str(trace_file)) as f:
        native = getattr(f.get_measurement(0), getter)(0)
        expected = [points_of(native.get_trace_points(k)) for k in range(5)]
    # A reader given from Python: the index block and every trace go through
    # its members.
    monkeypatch.setattr(access, "VdpFileReader", LoggingReader)
    LoggingReader.calls = []
    with access.VornFile(str(trace_file)) as f:
        a = getattr(f.get_measurement(0), getter)(0)
        before = len(LoggingReader.calls)
        assert [points_of(a.get_trace_points(k)) for k in range(5)] == expected
        positions = [r._SpectrumIndex__position for r in a._trace_index_list]
        assert LoggingReader.calls[before:] == positions
    monkeypatch.undo()
    # A record class given from Python, found by its module-level name.
    monkeypatch.setattr(quan, "SpectrumIndex", OwnSpectrumIndex)
    with access.VornFile(str(trace_file)) as f:
        a = getattr(f.get_measurement(0), getter)(0)
        assert all(type(r) is OwnSpectrumIndex for r in a._trace_index_list)
        assert [points_of(a.get_trace_points(k)) for k in range(5)] == expected


def test_analysis_fields_are_replaceable(trace_file):
    with access.VornFile(str(trace_file)) as f:
        a = f.get_measurement(0).get_quan_analysis(0)
        a._trace_index_list = a._trace_index_list[:2]
        assert (a.get_trace_count(), str(a)) == (2, "[0] 2 traces")
        assert a._trace_record(1) is a._trace_index_list[1]
        made = quan.QuanAnalysis._QuanAnalysis__create_instance(a.function_index, 7)
        assert (type(made), made.index, made.get_trace_count()) == (quan.QuanAnalysis, 7, 5)
        assert len(quan._read_trace_index(a.function_index)) == 5
