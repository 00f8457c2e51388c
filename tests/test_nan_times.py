"""Retention times that are not finite: asking for the spectrum nearest NaN is
refused, spectra whose time is NaN or infinite are never the nearest, and the
writer refuses to store such times."""

import decimal
import math

import numpy as np
import pytest

from vorn_data_access import access
from vorn_data_access.writer import VornWriter

TIMES = [0.5, 1.0, 1.5, 2.0, 2.5]


@pytest.fixture
def timed_file(tmp_path):
    path = tmp_path / "timed.vdp"
    with VornWriter(path) as w:
        m = w.add_measurement()
        ms = m.add_ms_function()
        dad = m.add_dad_function([200.0, 210.0])
        for rt in TIMES:
            ms.add_spectrum([100.0, 200.0], [1.0, 2.0], retention_time=rt, ms_level=1)
            dad.add_spectrum(None, [0.1, 0.2], retention_time=rt)
    return path


def analyses(f):
    m = f.get_measurement(0)
    return [m.get_qual_analysis(0), m.get_dad_analysis(0)]


def spectrum_list(analysis):
    name = "_QualAnalysis__" if type(analysis).__name__ == "QualAnalysis" else "_DADAnalysis__"
    return getattr(analysis, name + "spectrum_index_list")


@pytest.mark.parametrize(
    "nan", [math.nan, -math.nan, np.float64("nan"), np.float32("nan"), decimal.Decimal("NaN")]
)
def test_nearest_to_nan_is_refused(timed_file, nan):
    with access.VornFile(str(timed_file)) as f:
        for a in analyses(f):
            with pytest.raises(ValueError, match="^retention_time is not a number"):
                a.find_nearest_spectrum(nan)


@pytest.mark.parametrize(
    "bad",
    [math.nan, math.inf, -math.inf, np.float64("inf")],
    ids=["nan", "inf", "-inf", "numpy inf"],
)
def test_spectra_with_times_that_are_not_finite_are_skipped(timed_file, bad):
    with access.VornFile(str(timed_file)) as f:
        for a in analyses(f):
            records = spectrum_list(a)
            # Spectra 1 and 3 (times 1.0 and 2.0) lose their time.
            for i in (1, 3):
                records[
                    i
                ]._SpectrumIndex__spectrum_description._InternalSpectrumDescription__retention_time = bad  # noqa: E501
            assert [a.find_nearest_spectrum(t).index for t in (0.4, 1.05, 1.95, 2.0, 9.0)] == [
                0,
                2,
                2,
                2,
                4,
            ]
            assert a.find_nearest_spectrum(0.9).index == 0  # 0.5 is nearer than 1.5


@pytest.mark.parametrize("rt", [math.nan, math.inf, -math.inf])
@pytest.mark.parametrize("kind", ["ms", "dad", "quan", "analog"])
def test_writer_refuses_times_that_are_not_finite(tmp_path, rt, kind):
    with VornWriter(tmp_path / "out.vdp") as w:
        m = w.add_measurement()
        if kind == "dad":
            fn, x = m.add_dad_function([200.0]), None
        else:
            fn, x = getattr(m, f"add_{kind}_function")(), [100.0]
        with pytest.raises(ValueError, match="retention time .* is not a finite number"):
            fn.add_spectrum(x, [1.0], retention_time=rt)
        fn.add_spectrum(x, [1.0], retention_time=None)
    with access.VornFile(str(tmp_path / "out.vdp")) as f:
        assert f.get_measurement_count() == 1
