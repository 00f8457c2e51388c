"""Diode-array analyses: spectra, wavelength chromatograms and max plots."""

import pathlib

import numpy as np
import pytest
from mzml_oracle import absorbance_spectra

from vorn_data_access import access, qual
from vorn_data_access._internal._reader import VdpFileReader
from vorn_data_access.common import ValueRange
from vorn_data_access.writer import VornWriter

DATA = pathlib.Path(__file__).parent / "data" / "mzml"


def dad_file(path, spectra, wavelengths=None):
    """`spectra`: (x, absorbances, retention time); x is None with wavelengths."""
    with VornWriter(path, overwrite=True) as w:
        fn = w.add_measurement().add_dad_function(wavelengths)
        for x, a, rt in spectra:
            fn.add_spectrum(x, np.asarray(a, dtype=float), retention_time=rt)
    return path


@pytest.fixture
def analysis_of(tmp_path):
    files = []

    def make(spectra, wavelengths=None):
        f = access.VornFile(str(dad_file(tmp_path / f"d{len(files)}.vdp", spectra, wavelengths)))
        files.append(f)
        return f.get_measurement(0).get_dad_analysis(0)

    yield make
    for f in files:
        f.close()


def one(analysis_of, x, a, **window):
    an = analysis_of([(np.asarray(x, dtype=float), a, 1.0)])
    (p,) = an.get_chromatogram(ValueRange(window["lo"], window["hi"]))
    return p.intensity, p.base_x


def covered_mean(x, a, lo, hi):
    """Mean absorbance over the part of [lo, hi] the spectrum covers, by numpy."""
    x, a = np.asarray(x, float), np.asarray(a, float)
    lo_c, hi_c = max(lo, x[0]), min(hi, x[-1])
    if lo_c == hi_c:
        return float(np.interp(lo_c, x, a))
    grid = np.unique(np.concatenate([[lo_c, hi_c], x[(x > lo_c) & (x < hi_c)]]))
    return float(np.trapezoid(np.interp(grid, x, a), grid) / (hi_c - lo_c))


def test_worked_example(analysis_of):
    mean, base = one(analysis_of, [248, 252, 256, 262], [1, 3, 3, 1], lo=250, hi=260)
    assert base == 252.0
    assert mean == pytest.approx(79 / 30, rel=1e-15)


@pytest.mark.parametrize(
    "lo, hi, expected",
    [
        (100, 240, (0.0, -1.0)),  # below the spectrum
        (270, 300, (0.0, -1.0)),  # above it
        (200, 300, None),  # the whole spectrum: trapezoidal mean, highest point
        (249, 251, ((1.5 + 2.5) / 2, 251.0)),  # inside one segment: mean of the edges
        (253, 255, (3.0, 254.0)),  # equal edges: the middle
        (258, 258, (2 + 1 / 3, 258.0)),  # an empty window
    ],
)
def test_windows(analysis_of, lo, hi, expected):
    x, a = [248, 252, 256, 262], [1, 3, 3, 1]
    mean, base = one(analysis_of, x, a, lo=lo, hi=hi)
    if expected is None:
        assert mean == pytest.approx(covered_mean(x, a, lo, hi)) and base == 252.0
    else:
        assert mean == pytest.approx(expected[0]) and base == expected[1]


def test_single_point_spectrum(analysis_of):
    assert one(analysis_of, [250.0], [4.0], lo=240, hi=260) == (4.0, 250.0)


# Windows whose covered part has no width, and coinciding wavelengths: the
# walk as written would divide by zero or run past the window.
@pytest.mark.parametrize(
    "x, a, lo, hi, expected",
    [
        ([250, 260, 270], [5, 7, 9], 240, 250, (5.0, 250.0)),  # ends on the first wavelength
        ([250, 260, 270], [5, 7, 9], 250, 250, (5.0, 250.0)),
        ([250, 260, 270], [5, 7, 9], 255, 260, (6.5, 260.0)),  # ends on its segment's right end
        ([250, 260, 270], [9, 7, 5], 255, 260, (7.5, 255.0)),
        ([250, 260, 270], [5, 7, 9], 270, 280, (9.0, 270.0)),  # starts on the last wavelength
        ([250, 260, 270], [5, 7, 9], 260, 260, (7.0, 260.0)),
    ],
)
def test_zero_width_cases(analysis_of, x, a, lo, hi, expected):
    assert one(analysis_of, x, a, lo=lo, hi=hi) == pytest.approx(expected)


def test_coinciding_wavelengths_never_divide_by_zero(analysis_of):
    x = [250, 255, 255, 260, 270, 270]
    a = [1.0, 2.0, 6.0, 4.0, 3.0, 8.0]
    for lo, hi in [(250, 270), (252, 258), (255, 255), (255, 265), (240, 300), (270, 270)]:
        mean, base = one(analysis_of, x, a, lo=lo, hi=hi)
        assert np.isfinite(mean) and base >= lo - 1e-9
    same = one(analysis_of, [255, 255, 255], [1.0, 2.0, 3.0], lo=250, hi=260)
    assert same[0] == 1.0


def test_means_equal_numpy_integration(analysis_of, rng):
    spectra = []
    for _ in range(30):
        x = np.cumsum(rng.uniform(0.5, 3, 40)) + 190
        spectra.append((x, rng.uniform(-1, 10, 40), 1.0))
    windows = [tuple(sorted(rng.uniform(180, 320, 2))) for _ in range(25)]
    for x, a, _ in spectra:
        an = analysis_of([(x, a, 1.0)])
        for lo, hi in windows:
            (p,) = an.get_chromatogram(ValueRange(lo, hi))
            if hi < x[0] or lo > x[-1]:
                assert (p.intensity, p.base_x) == (0.0, -1.0)
            else:
                assert p.intensity == pytest.approx(covered_mean(x, a, lo, hi), rel=1e-9, abs=1e-12)


def test_spectra_without_retention_time_get_no_point(analysis_of):
    an = analysis_of([(np.array([1.0, 2.0]), [1, 2], None), (np.array([1.0, 2.0]), [3, 4], 2.0)])
    assert [p.spectrum_index for p in an.get_chromatogram(ValueRange(0, 5))] == [1]
    nothing = analysis_of([(np.array([1.0]), [1], None)])
    assert nothing.get_chromatogram("not a range") == []  # the window is never read
    assert nothing.get_max_plot(ValueRange(0, 5), 1.0) == []


def test_max_plot_worked_example_and_cases(analysis_of):
    an = analysis_of(
        [
            (np.array([250.0, 252.0, 254.0]), [5, 9, 7], 0.5),
            (np.array([300.0, 310.0]), [1, 1], 0.6),
            (np.array([250.0, 252.0, 254.0]), [9, 5, 9], 0.7),
        ]
    )
    a, empty, tie = an.get_max_plot(ValueRange(249, 255), 2)
    assert (a.base_x, a.intensity) == (252.0, 7.0)
    assert (empty.intensity, empty.base_x) == (0, -1) and type(empty.intensity) is int
    assert type(empty.base_x) is int
    assert tie.base_x == 250.0 and tie.intensity == 7.0
    zero = an.get_max_plot(ValueRange(249, 255), 0)[0]
    assert (zero.base_x, zero.intensity) == (252.0, 9.0)
    negative = an.get_max_plot(ValueRange(249, 255), -1)[0]
    assert (negative.base_x, negative.intensity) == (252.0, 0) and type(negative.intensity) is int
    with pytest.raises(TypeError):
        an.get_max_plot(ValueRange(249, 255), "2")


def test_dad_spectra(analysis_of):
    wl = np.arange(200.0, 210.0, 2.0)
    an = analysis_of([(None, np.arange(5.0), 0.2), (None, np.ones(5), 0.4)], wavelengths=wl)
    assert str(an) == repr(an) == "[0] 2 spectra" and an.get_spectra_count() == 2
    s = an.get_spectrum(1)
    assert s.index == 1 and s.retention_time == 0.4 and s.supplemental_properties == {}
    points = s.get_spectrum_points()
    assert points is s.get_spectrum_points() and str(s) == "[1] 5 points"
    assert list(points.x_array) == list(wl)
    assert an.find_nearest_spectrum(0.31).index == 1 and an.find_nearest_spectrum(0.3).index == 0
    for bad in (-1, 2):
        with pytest.raises(Exception, match="^Index out of range$"):
            an.get_spectrum(bad)
    with pytest.raises(Exception, match="Inaccessible due to protection level"):
        qual.DADSpectrum()
    with pytest.raises(Exception, match="Inaccessible due to protection level"):
        qual.DADAnalysis()


def test_spectrum_gets_the_current_wavelength_array(analysis_of):
    an = analysis_of([(None, np.arange(3.0), 0.2)], wavelengths=[200.0, 210.0, 220.0])
    description = an._DADAnalysis__function_index._FunctionIndex__function_description
    qd = description._FunctionDescription__qual_description
    qd._QualDescription__wavelength_arr = [1.0, 2.0, 3.0]
    assert [p.x for p in an.get_spectrum(0).get_spectrum_points()] == [1.0, 2.0, 3.0]


class CountingReader(VdpFileReader):
    calls = []

    def _VdpFileReader__read_dad_spectrum(self, wavelength_arr):
        CountingReader.calls.append("dad")
        return super()._VdpFileReader__read_dad_spectrum(wavelength_arr)

    def _VdpFileReader__read_spectrum(self):
        CountingReader.calls.append("ms")
        return super()._VdpFileReader__read_spectrum()


@pytest.fixture(scope="module")
def real_dad(tmp_path_factory):
    spectra = absorbance_spectra(
        DATA / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"
    )
    path = tmp_path_factory.mktemp("dad") / "real.vdp"
    wavelengths = spectra[0][0]
    assert all(np.array_equal(w, wavelengths) for w, _, _ in spectra)
    dad_file(path, [(None, a, rt) for _, a, rt in spectra], wavelengths.astype(np.float64))
    return spectra, path


def test_real_spectra_through_both_paths(real_dad, monkeypatch):
    spectra, path = real_dad
    native_file = access.VornFile(str(path))
    native = native_file.get_measurement(0).get_dad_analysis(0)
    monkeypatch.setattr(access, "VdpFileReader", CountingReader)
    python_file = access.VornFile(str(path))
    python = python_file.get_measurement(0).get_dad_analysis(0)
    assert native.get_spectra_count() == len(spectra) == 520
    CountingReader.calls = []
    s = python.get_spectrum(7)
    np.testing.assert_array_equal(s.get_spectrum_points().intensity_array, spectra[7][1])
    s.get_spectrum_points()
    assert CountingReader.calls == ["dad"]
    for lo, hi in [(250, 290), (271, 273), (210, 400), (265.5, 266.5)]:
        window = ValueRange(lo, hi)
        chromatogram = native.get_chromatogram(window)
        assert chromatogram == python.get_chromatogram(window)
        for p, (w, a, rt) in zip(chromatogram, spectra, strict=True):
            assert p.retention_time == rt
            assert p.intensity == pytest.approx(covered_mean(w, a, lo, hi), rel=1e-6, abs=1e-9)
        assert native.get_max_plot(window, 4.0) == python.get_max_plot(window, 4.0)
    plot = native.get_max_plot(ValueRange(250, 290), 0.0)
    for p, (w, a, _) in zip(plot, spectra, strict=True):
        inside = (w >= 250) & (w <= 290)
        k = np.argmax(a[inside])
        assert p.base_x == float(w[inside][k]) and p.intensity == float(a[inside][k])
    native_file.close()
    python_file.close()
