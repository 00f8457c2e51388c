"""Spectra, MS analyses, TIC/BPC and XIC on files written by the writer."""

import numpy as np
import pytest

from vorn_data_access import access, qual
from vorn_data_access._internal._reader import VdpFileReader
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.exception import VornClosedError
from vorn_data_access.qual import ChromatogramFilterOption as Option
from vorn_data_access.writer import VornWriter

MS1 = dict(
    ms_level=1,
    polarity=PolarityTypes.POSITIVE,
    is_profile_spectrum_measured=False,
    spectrum_type=SpectrumTypes.CENTROID,
)
MS2 = dict(
    ms_level=2,
    polarity=PolarityTypes.POSITIVE,
    collision_energy=30.0,
    is_profile_spectrum_measured=False,
    precursor_value=500.0,
)

# (retention time, kind, m/z, intensities); spectrum 4 has no retention time.
SPECTRA = [
    (0.5, MS1, [100.0, 200.0, 300.0], [1.0, 5.0, 5.0]),
    (1.0, MS2, [150.0, 250.0], [2.0, 3.0]),
    (1.5, MS1, [100.0, 200.0, 200.5, 300.0], [4.0, 6.0, 6.0, 1.0]),
    (2.0, MS2, [150.0], [7.0]),
    (None, MS1, [200.0], [9.0]),
    (5.5, MS1, [199.99, 200.0, 200.01], [1.0, 2.0, 3.0]),
    (1.0, MS1, [], []),
]


def write(path, conditions="derive", profile=False):
    with VornWriter(path, overwrite=True) as w:
        fn = w.add_measurement().add_ms_function(conditions=conditions)
        for rt, kind, mz, it in SPECTRA:
            extra = {"profile": (np.linspace(90, 110, 5), np.arange(5.0))} if profile else {}
            fn.add_spectrum(np.array(mz), np.array(it), retention_time=rt, **kind, **extra)
    return path


@pytest.fixture(params=["derive", None], ids=["stored conditions", "derived conditions"])
def analysis(request, tmp_path):
    f = access.VornFile(str(write(tmp_path / "a.vdp", request.param)))
    yield f.get_measurement(0).get_qual_analysis(0)
    f.close()


def conditions(a):
    ms1, ms2 = a.unique_acquisition_conditions
    assert (ms1.ms_level, ms2.ms_level) == (1, 2)
    return ms1, ms2


def triples(points):
    return [(p.spectrum_index, p.retention_time, p.intensity, p.base_x) for p in points]


def test_analysis_basics(analysis):
    a = analysis
    assert str(a) == repr(a) == "[0] 7 spectra, 2 spectrum conditions"
    assert a.get_spectra_count() == 7 and a.index == 0
    assert a.unique_acquisition_conditions is a.unique_acquisition_conditions
    for bad in (-1, 7):
        with pytest.raises(Exception, match="^Index out of range$"):
            a.get_spectrum(bad)
    s = a.get_spectrum(0)
    assert s.index == 0 and s is not a.get_spectrum(0)
    assert s.retention_time == 0.5 and s.spectrum_type == SpectrumTypes.CENTROID
    assert s.precursor_index is None and s.product_indices is None
    assert s.supplemental_properties == {}
    a.unique_acquisition_conditions.append("extra")
    assert str(a).endswith("3 spectrum conditions")


def test_spectrum_points_are_read_once_and_kept(analysis):
    s = analysis.get_spectrum(2)
    points = s.get_spectrum_points()
    assert points is s.get_spectrum_points()
    assert [(p.x, p.intensity) for p in points] == [
        (100.0, 4.0),
        (200.0, 6.0),
        (200.5, 6.0),
        (300.0, 1.0),
    ]
    assert str(s) == "[2] 4 points"
    assert str(analysis.get_spectrum(6)) == "[6] 0 points"
    with pytest.raises(Exception, match="^No profile spectrum$"):
        s.get_profile_spectrum_points()
    with pytest.raises(Exception, match="Inaccessible due to protection level"):
        qual.Spectrum()


def test_profile_points_are_read_anew(tmp_path):
    with access.VornFile(str(write(tmp_path / "p.vdp", profile=True))) as f:
        s = f.get_measurement(0).get_qual_analysis(0).get_spectrum(0)
        first, second = s.get_profile_spectrum_points(), s.get_profile_spectrum_points()
        assert first == second and first is not second
        assert list(first.x_array) == list(np.linspace(90, 110, 5))


def test_conditions_attached(analysis):
    ms1, ms2 = conditions(analysis)
    for i, (_, kind, _, _) in enumerate(SPECTRA):
        c = analysis.get_spectrum(i).acquisition_condition
        assert c == (ms1 if kind is MS1 else ms2)


def test_stored_conditions_are_shared_objects(tmp_path):
    with access.VornFile(str(write(tmp_path / "s.vdp"))) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        assert a.get_spectrum(3).acquisition_condition is a.unique_acquisition_conditions[1]


def test_derived_conditions_are_sorted(tmp_path):
    path = tmp_path / "d.vdp"
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function(conditions=None)
        for ce in (40.0, None, 20.0):
            fn.add_spectrum(
                [1.0], [1.0], ms_level=2, polarity=PolarityTypes.NEGATIVE, collision_energy=ce
            )
        fn.add_spectrum([1.0], [1.0], ms_level=2, polarity=PolarityTypes.POSITIVE)
        fn.add_spectrum([1.0], [1.0], ms_level=1, polarity=PolarityTypes.NEGATIVE)
        fn.add_spectrum([1.0], [1.0], ms_level=1)
    with access.VornFile(str(path)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        keys = [
            (c.ms_level, c.polarity, c.collision_energy) for c in a.unique_acquisition_conditions
        ]
    assert keys == [
        (1, PolarityTypes.NEGATIVE, None),
        (1, None, None),
        (2, PolarityTypes.POSITIVE, None),
        (2, PolarityTypes.NEGATIVE, None),
        (2, PolarityTypes.NEGATIVE, 20.0),
        (2, PolarityTypes.NEGATIVE, 40.0),
    ]


def test_nearest_spectrum(analysis):
    a = analysis
    assert a.find_nearest_spectrum(0.74).index == 0
    assert a.find_nearest_spectrum(1.25).index == 1  # tie between 1.0 and 1.5: the lower index
    assert a.find_nearest_spectrum(1.0).index == 1  # spectra 1 and 6 share 1.0
    assert a.find_nearest_spectrum(100).index == 5
    with pytest.raises(TypeError):
        a.find_nearest_spectrum("x")


def test_nearest_without_retention_times(tmp_path):
    path = tmp_path / "n.vdp"
    with VornWriter(path) as w:
        w.add_measurement().add_ms_function().add_spectrum([1.0], [1.0])
    with access.VornFile(str(path)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        with pytest.raises(Exception, match="Index out of range"):
            a.find_nearest_spectrum(0.0)


def test_tic_and_bpc(analysis):
    ms1, ms2 = conditions(analysis)
    tic, bpc = analysis.get_tic(ms1), analysis.get_bpc(ms1)
    assert triples(tic) == [
        (0, 0.5, 11.0, 200.0),
        (2, 1.5, 17.0, 200.0),
        (5, 5.5, 6.0, 200.01),
        (6, 1.0, 0.0, None),
    ]
    assert [p.intensity for p in bpc] == [5.0, 6.0, 3.0, None]
    assert [t[:2] + t[3:] for t in triples(tic)] == [t[:2] + t[3:] for t in triples(bpc)]
    assert [p.spectrum_index for p in analysis.get_tic(ms2, ValueRange(1.5, 2.0))] == [3]
    assert analysis.get_tic(ms1, ValueRange(10, 20)) == []
    assert analysis.get_tic(None) == [] and analysis.get_bpc("MS1") == []
    assert analysis.get_tic(ms1) is not analysis.get_tic(ms1)


def test_xic_messages(analysis):
    ms1, _ = conditions(analysis)
    cases = [
        (lambda: analysis.get_xic(None), "chromatogram_filter_option is null"),
        (lambda: analysis.get_multiple_xic(None), "chromatogram_filter_options is null or empty"),
        (lambda: analysis.get_multiple_xic([]), "chromatogram_filter_options is null or empty"),
        (
            lambda: analysis.get_multiple_xic([None, Option(ms1, ValueRange(1, 2))]),
            "element of chromatogram_filter_options should not be null",
        ),
        (
            lambda: analysis.get_multiple_xic([Option(ms1, ValueRange(1, 2)), Option(None, 1)]),
            "acquisition_condition should not be null",
        ),
        (
            lambda: analysis.get_multiple_xic([Option(None, 1), None]),
            "acquisition_condition should not be null",
        ),
    ]
    for call, message in cases:
        with pytest.raises(Exception, match=f"^{message}$") as e:
            call()
        assert type(e.value) is Exception


def test_xic_values(analysis):
    ms1, ms2 = conditions(analysis)
    # Both bounds count: 200.0 and 200.5 are in the window.
    xic = analysis.get_xic(Option(ms1, ValueRange(200.0, 200.5)))
    assert triples(xic) == [
        (0, 0.5, 5.0, 200.0),
        (2, 1.5, 12.0, 200.0),
        (5, 5.5, 5.0, 200.01),
        (6, 1.0, 0.0, 0.0),
    ]
    empty = analysis.get_xic(Option(ms1, ValueRange(400.0, 500.0)))
    assert [(p.intensity, p.base_x) for p in empty] == [(0.0, 0.0)] * 4
    assert all(type(p.intensity) is float for p in empty)
    wide = analysis.get_xic(Option(ms2, ValueRange(0, 1000)))
    assert triples(wide) == [(1, 1.0, 5.0, 250.0), (3, 2.0, 7.0, 150.0)]


def test_multiple_xic_keeps_each_request_to_its_own_ranges(analysis):
    ms1, ms2 = conditions(analysis)
    early, late = ValueRange(0.0, 1.0), ValueRange(5.0, 6.0)
    requests = [
        Option(ms1, ValueRange(100, 300), early),
        Option(ms1, ValueRange(199, 201), late),
        Option(ms1, ValueRange(199, 201)),
        Option(ms2, ValueRange(150, 150)),
        Option(ms1, ValueRange(1, 2), late),
    ]
    a, b, c, d, e = analysis.get_multiple_xic(requests)
    assert [p.spectrum_index for p in a] == [0, 6] and [p.spectrum_index for p in b] == [5]
    assert [p.spectrum_index for p in c] == [0, 2, 5, 6]
    assert [(p.spectrum_index, p.intensity) for p in d] == [(1, 2.0), (3, 7.0)]
    assert [p.spectrum_index for p in e] == [5]
    assert requests[0].retention_time_range is early and early == ValueRange(0.0, 1.0)


def test_request_for_an_unknown_condition_gets_an_empty_list(analysis, tmp_path):
    ms1, _ = conditions(analysis)
    other_path = tmp_path / "other.vdp"
    with VornWriter(other_path) as w:
        w.add_measurement().add_ms_function().add_spectrum([1.0], [1.0], ms_level=3)
    with access.VornFile(str(other_path)) as f:
        ms3 = f.get_measurement(0).get_qual_analysis(0).unique_acquisition_conditions[0]
    assert (
        analysis.get_multiple_xic(
            [Option(ms3, ValueRange(0, 1e9)), Option(ms1, ValueRange(0, 1e9))]
        )[0]
        == []
    )


class CountingReader(VdpFileReader):
    """A reader written in Python: every analysis made through it takes the
    interpreter-level path."""

    reads = []

    def _VdpFileReader__read_spectrum(self):
        points = super()._VdpFileReader__read_spectrum()
        CountingReader.reads.append(len(points))
        return points


@pytest.fixture
def both_paths(tmp_path, monkeypatch):
    """The same analysis opened with the package's reader and with a Python subclass."""
    path = str(write(tmp_path / "b.vdp"))
    native = access.VornFile(path)
    monkeypatch.setattr(access, "VdpFileReader", CountingReader)
    python = access.VornFile(path)
    CountingReader.reads = []
    yield (
        native.get_measurement(0).get_qual_analysis(0),
        python.get_measurement(0).get_qual_analysis(0),
    )
    native.close()
    python.close()


def test_each_spectrum_is_read_once_per_call(both_paths):
    _, a = both_paths
    ms1, _ = conditions(a)
    a.get_multiple_xic([Option(ms1, ValueRange(100, 150)), Option(ms1, ValueRange(200, 300))])
    assert len(CountingReader.reads) == 4  # spectra 0, 2, 5, 6; not the MS2 ones


def test_native_and_python_paths_agree(both_paths):
    native, python = both_paths
    assert [str(c) for c in native.unique_acquisition_conditions] == [
        str(c) for c in python.unique_acquisition_conditions
    ]
    for ms in conditions(native):
        assert native.get_tic(ms) == python.get_tic(ms)
        assert native.get_bpc(ms, ValueRange(1, 2)) == python.get_bpc(ms, ValueRange(1, 2))
        requests = [Option(ms, ValueRange(lo, lo + 60.0)) for lo in range(90, 310, 7)]
        assert native.get_multiple_xic(requests) == python.get_multiple_xic(requests)


def test_reader_failure_propagates_without_partial_result(both_paths):
    native, python = both_paths
    for a in (native, python):
        ms1, _ = conditions(a)
        a._QualAnalysis__reader._VdpFileReader__stream.close()
        with pytest.raises(VornClosedError):
            a.get_xic(Option(ms1, ValueRange(100, 300)))
        assert a.get_tic(ms1)  # needs no spectrum data


class UnsortedReader(VdpFileReader):
    def _VdpFileReader__read_spectrum(self):
        from vorn_data_access._internal._reader import SpectrumPointList

        return SpectrumPointList([300.0, 100.0, 200.0, float("nan"), 150.0], [1, 2, 3, 4, 5])


def test_points_out_of_order_follow_the_scan(tmp_path, monkeypatch):
    monkeypatch.setattr(access, "VdpFileReader", UnsortedReader)
    with access.VornFile(str(write(tmp_path / "u.vdp"))) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        ms1, _ = conditions(a)
        (xic,) = a.get_multiple_xic([Option(ms1, ValueRange(100, 250))])
        # 300 is above the window: the scan stops there at once.
        assert {(p.intensity, p.base_x) for p in xic} == {(0.0, 0.0)}
        (xic,) = a.get_multiple_xic([Option(ms1, ValueRange(100, 400))])
        assert xic[0].intensity == 15.0 and xic[0].base_x == 150.0
