import gc
import pathlib

import pytest

from vorn_data_access import access
from vorn_data_access.exception import VornClosedError, VornException, VornIOError
from vorn_data_access.writer import VornWriter


def test_with_block_binds_the_file_and_closes_it(small_file):
    with access.VornFile(str(small_file)) as f:
        assert isinstance(f, access.VornFile)
        stream = f._VornFile__reader._VdpFileReader__stream
        assert not stream.closed
    assert stream.closed


def test_exception_in_with_block_propagates_and_closes(small_file):
    with pytest.raises(KeyError):
        with access.VornFile(str(small_file)) as f:
            raise KeyError("x")
    assert f._VornFile__reader._VdpFileReader__stream.closed


def test_closing_twice_and_leaving_block_is_harmless(small_file):
    with access.VornFile(str(small_file)) as f:
        f.close()
        f.close()
    f.__del__()


def test_versions_and_counts_survive_close(small_file):
    f = access.VornFile(str(small_file))
    f.close()
    assert f.get_file_format_version() == "1.1.0"
    assert f.get_converter_version() == "3.1.0"
    assert f.get_measurement_count() == 2
    with pytest.raises(VornClosedError):
        f.get_measurement(0)


def test_measurement_indexes(small_file):
    with access.VornFile(str(small_file)) as f:
        for bad in (-1, 2, 100):
            with pytest.raises(VornException, match="^Index out of range$") as e:
                f.get_measurement(bad)
            assert type(e.value) is VornException
        last = f.get_measurement(1)
        assert last.index == 1
        assert f.get_measurement(0) is not f.get_measurement(0)


def test_empty_file_has_no_measurements(tmp_path):
    path = tmp_path / "empty.vdp"
    VornWriter(path).finish()
    with access.VornFile(str(path)) as f:
        assert f.get_measurement_count() == 0
        with pytest.raises(VornException, match="Index out of range"):
            f.get_measurement(0)


def test_text_form_is_the_path_as_given(small_file):
    text = str(small_file)
    f = access.VornFile(text)
    assert str(f) == text and repr(f) == text
    assert f.file_path is text
    f.close()
    p = access.VornFile(pathlib.Path(small_file))
    assert p.file_path == pathlib.Path(small_file)
    with pytest.raises(TypeError):
        str(p)
    p.close()


def test_missing_file_raises_io_error(tmp_path):
    with pytest.raises(VornIOError) as e:
        access.VornFile(str(tmp_path / "nope.vdp"))
    assert isinstance(e.value, OSError)
    assert "nope.vdp" in str(e.value)


def test_finalising_the_file_closes_the_stream(small_file):
    f = access.VornFile(str(small_file))
    m = f.get_measurement(0)
    stream = f._VornFile__reader._VdpFileReader__stream
    del f
    gc.collect()
    assert stream.closed
    assert m.sample_name == "Blank"
    reader = m._Measurement__measurement_index._MeasurementIndex__reader
    with pytest.raises(VornClosedError):
        m._Measurement__read(reader)


def test_a_failed_open_has_nothing_to_close(tmp_path, recwarn):
    path = tmp_path / "junk.vdp"
    path.write_bytes(b"not a container" * 10)
    with pytest.raises(VornException):
        access.VornFile(str(path))
    gc.collect()
    assert not recwarn.list
