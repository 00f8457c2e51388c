"""The writer: files appear complete or not at all, bad input is refused."""

import os

import numpy as np
import pytest

from vorn_data_access import access
from vorn_data_access.exception import VornIOError
from vorn_data_access.writer import VornWriter


def test_file_appears_only_when_finished(tmp_path):
    path = tmp_path / "out.vdp"
    w = VornWriter(path)
    w.add_measurement().add_ms_function().add_spectrum([1.0, 2.0], [3.0, 4.0])
    assert not path.exists()
    assert len(os.listdir(tmp_path)) == 1  # the temporary file, beside the destination
    w.finish()
    assert path.exists() and os.listdir(tmp_path) == ["out.vdp"]
    assert w.finished and w.bytes_written == path.stat().st_size


def test_exception_in_with_block_leaves_nothing(tmp_path):
    path = tmp_path / "out.vdp"
    with pytest.raises(RuntimeError):
        with VornWriter(path) as w:
            w.add_measurement()
            raise RuntimeError("stop")
    assert os.listdir(tmp_path) == []


def test_abandoned_writer_leaves_nothing(tmp_path):
    w = VornWriter(tmp_path / "out.vdp")
    w.add_measurement()
    del w
    assert os.listdir(tmp_path) == []


def test_existing_file_needs_overwrite(tmp_path):
    path = tmp_path / "out.vdp"
    path.write_bytes(b"precious")
    with pytest.raises(VornIOError, match="exists"):
        VornWriter(path)
    assert path.read_bytes() == b"precious"
    with VornWriter(path, overwrite=True) as w:
        w.add_measurement(sample_name="new")
    with access.VornFile(str(path)) as f:
        assert f.get_measurement(0).sample_name == "new"


def test_file_created_meanwhile_is_not_replaced(tmp_path):
    path = tmp_path / "out.vdp"
    w = VornWriter(path)
    path.write_bytes(b"someone else's")
    with pytest.raises(VornIOError, match="exists"):
        w.finish()
    assert path.read_bytes() == b"someone else's"
    assert os.listdir(tmp_path) == ["out.vdp"]


@pytest.mark.parametrize(
    "x, intensity, message",
    [
        ([2.0, 1.0], [1.0, 1.0], "ascending"),
        ([1.0, float("nan")], [1.0, 1.0], "NaN"),
        ([1.0, 2.0], [1.0], "differ in length"),
        ([[1.0]], [1.0], "one-dimensional"),
    ],
)
def test_bad_points_are_refused(tmp_path, x, intensity, message):
    with VornWriter(tmp_path / "out.vdp") as w:
        fn = w.add_measurement().add_ms_function()
        with pytest.raises(ValueError, match=message):
            fn.add_spectrum(x, intensity)


def test_bad_description_values_are_refused(tmp_path):
    with VornWriter(tmp_path / "out.vdp") as w:
        m = w.add_measurement()
        fn = m.add_ms_function()
        with pytest.raises(TypeError, match="ms_level"):
            fn.add_spectrum([1.0], [1.0], ms_level=1.5)
        with pytest.raises(TypeError, match="polarity"):
            fn.add_spectrum([1.0], [1.0], polarity="positive")
        with pytest.raises(ValueError, match="supplemental property 'k'"):
            fn.add_spectrum([1.0], [1.0], supplemental_properties={"k": [1]})
        with pytest.raises(ValueError, match="x may be None only"):
            fn.add_spectrum(None, [1.0])
        dad = m.add_dad_function([200.0, 210.0])
        with pytest.raises(ValueError, match="one value per wavelength"):
            dad.add_spectrum(None, [1.0])


def test_finished_measurement_takes_no_more(tmp_path):
    with VornWriter(tmp_path / "out.vdp") as w:
        m = w.add_measurement()
        fn = m.add_ms_function()
        m.finish()
        with pytest.raises(ValueError, match="already finished"):
            fn.add_spectrum([1.0], [1.0])
        with pytest.raises(ValueError, match="already finished"):
            m.add_ms_function()


def test_numpy_inputs_are_not_copied_needlessly_and_any_numbers_work(tmp_path):
    path = tmp_path / "out.vdp"
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        fn.add_spectrum(np.arange(5), range(5))  # integers become float64
        fn.add_spectrum(np.arange(10.0)[::2], np.ones(5))  # strided input is fine
    assert path.exists()
