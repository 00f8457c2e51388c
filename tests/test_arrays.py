"""Array results beside the point lists: on every real sample file, the
arrays equal what the point-list methods return, bit for bit; filters select
the spectra they name; the native and the reader-protocol paths agree."""

import numpy as np
import pytest
from conftest import sample_named, sample_sources
from mzml_oracle import read_mzml, retention_time

from vorn_data_access import access
from vorn_data_access._internal._reader import VdpFileReader
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.qual import ChromatogramFilterOption
from vorn_data_access.writer import VornWriter

SOURCES = sample_sources()


def bits(values):
    """Float values as their bit patterns, so NaN compares equal to NaN."""
    return np.asarray(values, dtype=np.float64).view(np.int64)


def same(x, y):
    """Equal bit for bit."""
    return bits(x).tolist() == bits(y).tolist()


def selected(a, ms_level=None, polarity=None):
    """Indexes of the spectra the array methods choose, worked out one by one."""
    out = []
    for i, s in enumerate(a):
        c = s.acquisition_condition
        if s.retention_time is None:
            continue
        if ms_level is not None and c.ms_level != ms_level:
            continue
        if polarity is not None and c.polarity != polarity:
            continue
        out.append(i)
    return out


def windows_for(a, indexes, rng):
    """Windows around real base peaks (10 ppm, and exact points) and wide random ones."""
    out = []
    for i in indexes[:: max(1, len(indexes) // 8)]:
        mz = a[i].mz
        if len(mz):
            peak = float(mz[np.argmax(a[i].intensity)])
            out += [(peak * (1 - 1e-5), peak * (1 + 1e-5)), (peak, peak)]
    out += [tuple(sorted(rng.uniform(50, 2000, 2))) for _ in range(12)]
    return np.array(out).reshape(-1, 2)


@pytest.fixture(scope="module", params=SOURCES, ids=[p.name for p in SOURCES])
def sample(request, convert_sample):
    f = access.VornFile(str(convert_sample(request.param)))
    yield f
    f.close()


def test_qual_arrays_equal_point_lists(sample):
    rng = np.random.default_rng(3)
    for a in sample[0].qual_analyses:
        for c in a.unique_acquisition_conditions:
            chosen = selected(a, c.ms_level, c.polarity)
            mine = [k for k, i in enumerate(chosen) if a[i].acquisition_condition == c]
            for arrays, points in ((a.tic_arrays, a.get_tic), (a.bpc_arrays, a.get_bpc)):
                rt, values = arrays(ms_level=c.ms_level, polarity=c.polarity)
                expected = points(c)
                assert len(rt) == len(chosen)
                assert (
                    bits(rt[mine]).tolist() == bits([p.retention_time for p in expected]).tolist()
                )
                assert bits(values[mine]).tolist() == bits([p.intensity for p in expected]).tolist()
            windows = windows_for(a, [chosen[k] for k in mine], rng)
            rt, xic = a.xic_arrays(windows, ms_level=c.ms_level, polarity=c.polarity)
            assert xic.shape == (len(windows), len(chosen)) and xic.dtype == np.float64
            lists = a.get_multiple_xic(
                [ChromatogramFilterOption(c, ValueRange(lo, hi)) for lo, hi in windows]
            )
            for row, points in zip(xic, lists, strict=True):
                assert bits(row[mine]).tolist() == bits([p.intensity for p in points]).tolist()


def test_spectrum_views_are_the_points(sample):
    for a in sample[0].qual_analyses:
        for s in a[:: max(1, len(a) // 20)]:
            points = s.get_spectrum_points()
            assert s.mz.dtype == points.x_array.dtype
            assert np.array_equal(s.mz, points.x_array)
            assert np.array_equal(s.intensity, points.intensity_array)
            with pytest.raises(ValueError):
                s.mz[:1] = 0


def test_dad_arrays_equal_point_lists(sample):
    for d in sample[0].dad_analyses:
        rt, wavelengths, matrix = d.absorbance_matrix()
        timed = [s for s in d if s.retention_time is not None]
        assert bits(rt).tolist() == bits([s.retention_time for s in timed]).tolist()
        for row, s in zip(matrix, timed, strict=True):
            assert np.array_equal(wavelengths, s.wavelengths)
            assert bits(row).tolist() == bits(s.absorbance).tolist()
        lo, hi = float(wavelengths[3]), float(wavelengths[-5])
        part = d.absorbance_matrix((lo, hi))[2]
        assert np.array_equal(part, matrix[:, 3:-4])
        for window in (ValueRange(lo, hi), ValueRange(251.0, 263.5), ValueRange(1.0, 2.0)):
            rt2, mean = d.chromatogram_arrays(window)
            expected = d.get_chromatogram(window)
            assert bits(rt2).tolist() == bits([p.retention_time for p in expected]).tolist()
            assert bits(mean).tolist() == bits([p.intensity for p in expected]).tolist()


def test_scan_filter_separates_the_analyzers_of_a_hybrid(convert_sample):
    source = sample_named("small.mzML")
    expected = {"FTMS": [], "ITMS": []}
    with read_mzml(source) as reader:
        for s in reader:
            if s["ms level"] == 1:
                text = s["scanList"]["scan"][0]["filter string"]
                expected[text[:4]].append(retention_time(s))
    assert len(expected["FTMS"]) == len(expected["ITMS"]) == 7
    with access.VornFile(str(convert_sample(source))) as f:
        a = f[0].qual_analyses[0]
        # One acquisition condition holds both analyzers' MS1 scans.
        assert len(a.tic_arrays(ms_level=1)[0]) == 14
        for analyzer, times in expected.items():
            rt, tic = a.tic_arrays(ms_level=1, scan_filter=analyzer)
            assert rt.tolist() == times
            rt2, xic = a.xic_arrays([(400.0, 410.0)], scan_filter=analyzer)
            assert rt2.tolist() == times and xic.shape == (1, 7)
        assert len(a.tic_arrays(scan_filter="ITMS")[0]) == 34 + 7
        assert len(a.tic_arrays(ms_level=2, scan_filter="ITMS + c")[0]) == 34
        assert len(a.tic_arrays(scan_filter="Orbitrap")[0]) == 0


@pytest.fixture
def mixed_file(tmp_path, rng):
    """MS1 spectra of both polarities, MS2 spectra, one spectrum without a retention time."""
    path = tmp_path / "mixed.vdp"
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        for i in range(12):
            mz = np.sort(rng.uniform(100, 1000, 300))
            intensity = rng.uniform(1, 1e4, 300)
            polarity = PolarityTypes.POSITIVE if i % 3 else PolarityTypes.NEGATIVE
            fields = dict(
                retention_time=None if i == 7 else 0.1 * i,
                ms_level=1 if i % 2 == 0 else 2,
                polarity=polarity,
                spectrum_type=SpectrumTypes.CENTROID,
            )
            if i % 2:
                fields["precursor_value"] = 500.0 + i
            fn.add_spectrum(mz, intensity, **fields)
    return path


def test_filters(mixed_file):
    with access.VornFile(str(mixed_file)) as f:
        a = f[0].qual_analyses[0]
        everything = a.tic_arrays()[0]
        assert len(everything) == 11  # spectrum 7 has no retention time
        ms1 = a.tic_arrays(ms_level=1)[0]
        assert ms1.tolist() == pytest.approx([0.0, 0.2, 0.4, 0.6, 0.8, 1.0])
        negative = a.tic_arrays(ms_level=1, polarity=PolarityTypes.NEGATIVE)[0]
        assert negative.tolist() == pytest.approx([0.0, 0.6])
        assert len(a.bpc_arrays(ms_level=2)[0]) == 5
        full = a.xic_arrays([(100, 1000)])
        for rt_range in (ValueRange(0.15, 0.65), (0.15, 0.65)):
            rt, xic = a.xic_arrays([(100, 1000)], rt_range=rt_range)
            assert rt.tolist() == pytest.approx([0.2, 0.4, 0.6])
            assert np.array_equal(xic[0], full[1][0][1:4])
        assert a.xic_arrays([(100, 1000)], ms_level=None)[1].shape == (1, 11)


@pytest.mark.parametrize("bad", [[1.0, 2.0], [[1.0, 2.0, 3.0]], [[[1.0, 2.0]]]])
def test_windows_must_be_k_by_2(mixed_file, bad):
    with access.VornFile(str(mixed_file)) as f:
        a = f[0].qual_analyses[0]
        with pytest.raises(ValueError, match=r"\(k, 2\)"):
            a.xic_arrays(bad)


def test_no_windows_and_odd_windows(mixed_file):
    with access.VornFile(str(mixed_file)) as f:
        a = f[0].qual_analyses[0]
        rt, xic = a.xic_arrays(np.empty((0, 2)))
        assert xic.shape == (0, len(rt)) and len(rt) == 6
        # An empty window, a reversed one and a NaN bound behave as the point lists do.
        c = a.unique_acquisition_conditions[0]
        odd = [(2000.0, 3000.0), (600.0, 400.0), (float("nan"), 500.0)]
        _, xic = a.xic_arrays(odd, polarity=c.polarity)
        lists = a.get_multiple_xic([ChromatogramFilterOption(c, ValueRange(*w)) for w in odd])
        for row, points in zip(xic, lists, strict=True):
            assert row.tolist() == [p.intensity for p in points]
        assert not xic[0].any() and not xic[1].any()


class ProtocolReader(VdpFileReader):
    """A reader given from Python: the analyses read through its protocol."""


def test_reader_protocol_path_equals_native(monkeypatch, convert_sample):
    source = next(p for p in SOURCES if p.name.startswith("TOFsulfas"))
    path = str(convert_sample(source))
    with access.VornFile(path) as f:
        a, d = f[0].qual_analyses[0], f[0].dad_analyses[0]
        windows = np.array([(279.0, 280.0), (100.0, 1000.0), (500.0, 500.5)])
        native = a.xic_arrays(windows), d.absorbance_matrix(), d.chromatogram_arrays((250, 260))
    monkeypatch.setattr(access, "VdpFileReader", ProtocolReader)
    with access.VornFile(path) as f:
        a, d = f[0].qual_analyses[0], f[0].dad_analyses[0]
        assert type(a._QualAnalysis__reader) is ProtocolReader
        seam = a.xic_arrays(windows), d.absorbance_matrix(), d.chromatogram_arrays((250, 260))
    for mine, theirs in zip(native, seam, strict=True):
        for x, y in zip(mine, theirs, strict=True):
            assert bits(x).tolist() == bits(y).tolist()


class RecordDouble:
    """A spectrum index record from Python that stands for one of the file's."""

    def __init__(self, record):
        self._SpectrumIndex__reader = record._SpectrumIndex__reader
        self._SpectrumIndex__position = record._SpectrumIndex__position
        self._SpectrumIndex__profile_position = record._SpectrumIndex__profile_position
        self._SpectrumIndex__spectrum_description = record._SpectrumIndex__spectrum_description


def test_records_from_python_are_read_by_their_names(mixed_file):
    with access.VornFile(str(mixed_file)) as f:
        a = f[0].qual_analyses[0]
        windows = [(100.0, 400.0), (400.0, 1000.0)]
        before = a.xic_arrays(windows), a.tic_arrays()
        records = a._QualAnalysis__spectrum_index_list
        records[:] = [RecordDouble(r) for r in records]
        after = a.xic_arrays(windows), a.tic_arrays()
    for mine, theirs in zip(before, after, strict=True):
        for x, y in zip(mine, theirs, strict=True):
            assert bits(x).tolist() == bits(y).tolist()


def test_absorbance_matrix_needs_one_wavelength_axis(tmp_path):
    path = tmp_path / "dad.vdp"
    with VornWriter(path) as w:
        dad = w.add_measurement().add_dad_function(np.arange(200.0, 210.0, 2.0))
        dad.add_spectrum(None, np.linspace(0, 1, 5), retention_time=0.1)
        dad.add_spectrum(None, np.linspace(1, 2, 5), retention_time=None)
        dad.add_spectrum(np.arange(201.0, 211.0, 2.0), np.linspace(2, 3, 5), retention_time=0.3)
    with access.VornFile(str(path)) as f:
        d = f[0].dad_analyses[0]
        rt, mean = d.chromatogram_arrays((200.0, 204.0))
        assert rt.tolist() == [0.1, 0.3]
        assert mean.tolist() == [p.intensity for p in d.get_chromatogram(ValueRange(200, 204))]
        with pytest.raises(ValueError, match="spectrum 2 has 5 wavelengths of its own"):
            d.absorbance_matrix()


def test_analysis_without_timed_spectra(tmp_path):
    path = tmp_path / "untimed.vdp"
    with VornWriter(path) as w:
        m = w.add_measurement()
        m.add_ms_function().add_spectrum(np.array([100.0]), np.array([1.0]))
        m.add_dad_function(np.arange(200.0, 210.0, 2.0)).add_spectrum(None, np.ones(5))
    with access.VornFile(str(path)) as f:
        a, d = f[0].qual_analyses[0], f[0].dad_analyses[0]
        assert a.xic_arrays([(0, 1000)])[1].shape == (1, 0)
        assert len(a.tic_arrays()[0]) == 0
        rt, wavelengths, matrix = d.absorbance_matrix()
        assert matrix.shape == (0, 5) and wavelengths.tolist() == [200, 202, 204, 206, 208]
        assert d.chromatogram_arrays((200, 300))[1].shape == (0,)


class CountingCondition:
    """A condition from Python: counts how often its MS level is read."""

    reads = 0

    def __init__(self, ms_level):
        self._ms_level = ms_level

    @property
    def ms_level(self):
        CountingCondition.reads += 1
        return self._ms_level


def test_python_conditions_are_asked_once_each_after_the_time_range(mixed_file):
    """The MS level of a condition object is read once however many spectra
    share it, and only for spectra inside the retention-time range."""
    with access.VornFile(str(mixed_file)) as f:
        a = f[0].qual_analyses[0]
        shared = {1: CountingCondition(1), 2: CountingCondition(2)}
        outside = CountingCondition(2)  # spectrum 11 is an MS2 spectrum
        for i, record in enumerate(a._QualAnalysis__spectrum_index_list):
            d = record._SpectrumIndex__spectrum_description
            level = d._InternalSpectrumDescription__ms_level
            condition = outside if i == 11 else shared[level]
            d._InternalSpectrumDescription__acquisition_condition = condition
        CountingCondition.reads = 0
        rt, _ = a.xic_arrays([(100, 1000)], ms_level=1, rt_range=(0.0, 1.05))
        assert rt.tolist() == pytest.approx([0.0, 0.2, 0.4, 0.6, 0.8, 1.0])
        assert CountingCondition.reads == 2  # spectrum 11 (1.1) lies outside the range
        CountingCondition.reads = 0
        assert len(a.tic_arrays(ms_level=2)[0]) == 5
        assert CountingCondition.reads == 3
