"""Collaborators are found by their module-level names when used, and reached
through their mangled members, so Python subclasses and test doubles work
wherever the package's own classes do."""

from vorn_data_access import access
from vorn_data_access._internal._reader import VdpFileReader


class CountingReader(VdpFileReader):
    calls = []

    def _VdpFileReader__set_buffer(self, position):
        CountingReader.calls.append(("set_buffer", position))
        return super()._VdpFileReader__set_buffer(position)


def test_reader_subclass_is_used_through_the_module_name(small_file, monkeypatch):
    CountingReader.calls = []
    monkeypatch.setattr(access, "VdpFileReader", CountingReader)
    with access.VornFile(str(small_file)) as f:
        reader = f._VornFile__reader
        assert type(reader) is CountingReader
        m = f.get_measurement(0)
        position = m._Measurement__measurement_index._MeasurementIndex__position
        assert CountingReader.calls == [("set_buffer", position)]
        assert m.get_qual_analysis_count() == 2


def test_jump_table_test_double(monkeypatch, small_file):
    class FakeJumpTable:
        @classmethod
        def _JumpTable__create_instance(cls, reader):
            t = cls()
            t._JumpTable__major_version, t._JumpTable__minor_version = 7, 8
            t._JumpTable__revision_version = 9
            t._JumpTable__major_lib_version = "a"
            t._JumpTable__minor_lib_version = "b"
            t._JumpTable__revision_lib_version = "c"
            t._JumpTable__num_measurements = 0
            return t

    monkeypatch.setattr(access, "JumpTable", FakeJumpTable)
    with access.VornFile(str(small_file)) as f:
        assert f.get_file_format_version() == "7.8.9"
        assert f.get_converter_version() == "a.b.c"
        assert f.get_measurement_count() == 0


def test_measurement_factory_is_looked_up_at_each_call(monkeypatch, small_file):
    made = []

    class FakeMeasurement:
        @classmethod
        def _Measurement__create_instance(cls, measurement_index, index):
            made.append(index)
            return "fake"

    with access.VornFile(str(small_file)) as f:
        assert isinstance(f.get_measurement(0), access.Measurement)
        monkeypatch.setattr(access, "Measurement", FakeMeasurement)
        assert f.get_measurement(1) == "fake"
    assert made == [1]


def function_lists(f):
    m = f.get_measurement(0)
    out = {}
    for kind in ("qual", "dad", "quan", "analog"):
        out[kind] = [
            (
                fi._FunctionIndex__position,
                fi._FunctionIndex__function_description._FunctionDescription__is_qual,
            )
            for fi in getattr(m, f"_Measurement__{kind}_index_list")
        ]
    return out


def test_native_measurement_read_agrees_with_the_protocol(small_file, monkeypatch):
    """The package's own reader reads the function index block natively; a
    reader subclass drives the protocol. Both sort the same records."""
    with access.VornFile(str(small_file)) as f:
        native = function_lists(f)
    monkeypatch.setattr(access, "VdpFileReader", CountingReader)
    CountingReader.calls = []
    with access.VornFile(str(small_file)) as f:
        assert function_lists(f) == native
    assert CountingReader.calls
    assert native["qual"] and native["dad"]
