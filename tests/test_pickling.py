"""Value objects pickle and compare equal after the round trip; an open
VornFile pickles as its path, so files go to worker processes."""

import multiprocessing
import pickle
from concurrent.futures import ProcessPoolExecutor

import numpy as np
import pytest
from conftest import sample_sources

from vorn_data_access import access
from vorn_data_access.common import SpectrumBasedChromatogramPoint, ValueRange
from vorn_data_access.qual import ChromatogramFilterOption

SOURCES = {p.name: p for p in sample_sources()}


def round_trip(value):
    return pickle.loads(pickle.dumps(value))


def conditions_of(path):
    with access.VornFile(str(path)) as f:
        return [c for a in f[0].qual_analyses for c in a.unique_acquisition_conditions]


@pytest.mark.parametrize(
    "name", ["small.mzML", "GFb_4Scan_TimeSegs_1530_100ng.mzML", "ATEHLSTLSEK_profile.mzML"]
)
def test_conditions_round_trip(convert_sample, name):
    if name not in SOURCES:
        pytest.skip(f"{name} is not here")
    conditions = conditions_of(convert_sample(SOURCES[name]))
    extra = [x for c in conditions for x in c.additional_conditions]
    assert conditions and extra
    for value in conditions + extra:
        copy = round_trip(value)
        assert type(copy) is type(value) and copy == value and hash(copy) == hash(value)
        assert str(copy) == str(value)


def test_values_round_trip(small_file):
    r = ValueRange(1.5, 2.5)
    assert round_trip(r) == r
    with access.VornFile(str(small_file)) as f:
        a = f[0].qual_analyses[0]
        c = a.unique_acquisition_conditions[0]
        option = round_trip(ChromatogramFilterOption(c, r, ValueRange(0, 1)))
        assert option.acquisition_condition == c and option.extract_mz_range == r
        assert option.retention_time_range == ValueRange(0, 1)
        tic = a.get_tic(c)
        assert round_trip(tic) == tic
        assert type(round_trip(tic[0])) is SpectrumBasedChromatogramPoint
        points = a[0].get_spectrum_points()
        copy = round_trip(points)
        assert copy == points and copy.intensity_array.dtype == np.float32
        assert round_trip(points[3]) == points[3]


def xic_in_worker(f, windows):
    """Runs in a worker process: the file arrived as its path and was opened there."""
    a = f[0].qual_analyses[0]
    rt, xic = a.xic_arrays(windows)
    return str(f.file_path), rt, xic, a.unique_acquisition_conditions


def test_files_and_results_cross_processes(small_file):
    windows = np.array([(100.0, 500.0), (500.0, 1000.0)])
    with access.VornFile(str(small_file)) as f:
        expected = f[0].qual_analyses[0].xic_arrays(windows)
        conditions = f[0].qual_analyses[0].unique_acquisition_conditions
        context = multiprocessing.get_context("spawn")
        with ProcessPoolExecutor(2, mp_context=context) as pool:
            results = list(pool.map(xic_in_worker, [f, f], [windows, windows[::-1]]))
    for (path, rt, xic, theirs), order in zip(
        results, (slice(None), slice(None, None, -1)), strict=True
    ):
        assert path == str(small_file)
        assert np.array_equal(rt, expected[0]) and np.array_equal(xic, expected[1][order])
        assert theirs == conditions


def test_a_closed_file_does_not_pickle(small_file):
    f = access.VornFile(str(small_file))
    assert round_trip(f).get_measurement_count() == 2
    f.close()
    with pytest.raises(TypeError, match="closed VornFile"):
        pickle.dumps(f)
