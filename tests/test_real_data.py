"""Real sample files read by pyteomics, written with our writer, read back:
points, totals, TIC, BPC and XICs must equal numpy computed on pyteomics'
arrays."""

import pathlib

import numpy as np
import pytest
from mzml_oracle import ms_spectra, window_sum, write_ms

from vorn_data_access import access
from vorn_data_access.common import ValueRange
from vorn_data_access.qual import ChromatogramFilterOption as Option

DATA = pathlib.Path(__file__).parent / "data" / "mzml"
FILES = ["TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML", "three_test_scans.mzML"]


@pytest.fixture(scope="module", params=FILES)
def sample(request, tmp_path_factory):
    spectra = ms_spectra(DATA / request.param)
    path = write_ms(tmp_path_factory.mktemp("real") / "sample.vdp", spectra, chunk_points=256)
    f = access.VornFile(str(path))
    yield spectra, f.get_measurement(0).get_qual_analysis(0)
    f.close()


def test_points_are_exact(sample):
    spectra, a = sample
    assert a.get_spectra_count() == len(spectra)
    for i, (mz, intensity, fields) in enumerate(spectra):
        s = a.get_spectrum(i)
        points = s.get_spectrum_points()
        assert points.x_array.dtype == mz.dtype and points.intensity_array.dtype == intensity.dtype
        np.testing.assert_array_equal(points.x_array, mz)
        np.testing.assert_array_equal(points.intensity_array, intensity)
        assert s.retention_time == fields["retention_time"]
        assert s.acquisition_condition.ms_level == fields["ms_level"]


def test_tic_and_bpc(sample):
    spectra, a = sample
    for c in a.unique_acquisition_conditions:
        members = [i for i, s in enumerate(spectra) if a.get_spectrum(i).acquisition_condition == c]
        tic, bpc = a.get_tic(c), a.get_bpc(c)
        assert [p.spectrum_index for p in tic] == members
        for p, q in zip(tic, bpc, strict=True):
            mz, intensity, fields = spectra[p.spectrum_index]
            assert p.retention_time == fields["retention_time"]
            assert p.intensity == float(np.cumsum(intensity.astype(np.float64))[-1])
            assert q.intensity == float(intensity.max())
            assert p.base_x == q.base_x == float(mz[np.argmax(intensity)])


def test_xic_and_multiple_xic(sample):
    spectra, a = sample
    rng = np.random.default_rng(11)
    ms1 = a.unique_acquisition_conditions[0]
    members = [i for i in range(len(spectra)) if a.get_spectrum(i).acquisition_condition == ms1]
    # Windows around real peaks (10 ppm) and wide ones.
    peaks = [float(spectra[i][0][np.argmax(spectra[i][1])]) for i in members]
    windows = [(m * (1 - 1e-5), m * (1 + 1e-5)) for m in peaks]
    windows += [tuple(sorted(rng.uniform(100, 1500, 2))) for _ in range(20)]
    results = a.get_multiple_xic([Option(ms1, ValueRange(lo, hi)) for lo, hi in windows])
    for (lo, hi), xic in zip(windows, results, strict=True):
        assert [p.spectrum_index for p in xic] == members
        for p in xic:
            mz, intensity, _ = spectra[p.spectrum_index]
            assert (p.intensity, p.base_x) == window_sum(mz, intensity, lo, hi)
    single = a.get_xic(Option(ms1, ValueRange(*windows[0])))
    assert single == results[0]
