"""Files, measurements' analyses and analyses as sequences, beside the
get_x(i) methods, which keep their own checks and messages; displays for
consoles and notebooks beside the unchanged text forms."""

import pytest

from vorn_data_access import access
from vorn_data_access.exception import VornException


@pytest.fixture
def opened(small_file):
    with access.VornFile(str(small_file)) as f:
        yield f


def test_file_is_a_sequence_of_measurements(opened):
    assert len(opened) == opened.get_measurement_count() == 2
    assert [m.index for m in opened] == [0, 1]
    assert opened[-1].index == 1 and opened[-2].index == 0
    assert [m.index for m in opened[::-1]] == [1, 0]
    for bad in (2, -3):
        with pytest.raises(IndexError, match="measurement index out of range"):
            opened[bad]
    with pytest.raises(VornException, match="Index out of range"):
        opened.get_measurement(-1)


def test_analyses_are_sequences(opened):
    m = opened[0]
    assert len(m.qual_analyses) == 2 and len(m.dad_analyses) == 1
    assert [a.index for a in m.qual_analyses] == [0, 1]
    assert m.qual_analyses[-1].get_spectra_count() == 1
    assert [a.index for a in m.qual_analyses[1:]] == [1]
    with pytest.raises(IndexError, match="qual analysis index out of range"):
        m.qual_analyses[2]
    empty = opened[1]
    assert len(empty.quan_analyses) == 0 and not empty.analog_analyses
    assert list(empty.dad_analyses) == []


def test_analysis_is_a_sequence_of_spectra(opened):
    a = opened[0].qual_analyses[0]
    assert len(a) == a.get_spectra_count() == 4
    assert [s.index for s in a] == [0, 1, 2, 3]
    assert a[-1].index == 3 and [s.index for s in a[1:3]] == [1, 2]
    assert [s.index for s in a[::-2]] == [3, 1]
    for bad in (4, -5):
        with pytest.raises(IndexError, match="spectrum index out of range"):
            a[bad]
    with pytest.raises(Exception, match="Index out of range") as e:
        a.get_spectrum(-1)
    assert type(e.value) is Exception
    import numpy as np

    assert a[np.int64(2)].index == 2
    d = opened[0].dad_analyses[0]
    assert len(d) == 1 and d[-1].index == 0 and [s.index for s in d] == [0]


def test_sequences_stay_true_when_empty(tmp_path):
    from vorn_data_access.writer import VornWriter

    path = tmp_path / "empty.vdp"
    with VornWriter(path) as w:
        w.add_measurement().add_ms_function()
    with access.VornFile(str(path)) as f:
        a = f[0].qual_analyses[0]
        assert len(a) == 0 and bool(a) and list(a) == []


def test_text_forms_are_unchanged_and_displays_say_more(opened):
    a = opened[0].qual_analyses[0]
    s = a[1]
    n = len(s.get_spectrum_points())
    assert str(s) == repr(s) == f"[1] {n} points"
    assert repr(a) == "[0] 4 spectra, 1 spectrum conditions"

    class Printer:
        def text(self, t):
            self.out = t

    p = Printer()
    s._repr_pretty_(p, False)
    assert p.out == f"Spectrum 1, rt 0.5 min, MS1+, {n} points"
    a._repr_pretty_(p, False)
    assert p.out == "QualAnalysis 0: 4 spectra, 1 acquisition conditions"
    page = opened._repr_html_()
    assert page.startswith("<table>") and "Blank" in page and "[#Qual] 2" in page
    assert "well code" in opened[0]._repr_html_()


def test_html_is_escaped(tmp_path):
    from vorn_data_access.writer import VornWriter

    path = tmp_path / "odd.vdp"
    with VornWriter(path) as w:
        w.add_measurement(sample_name="<b>&</b>")
    with access.VornFile(str(path)) as f:
        page = f[0]._repr_html_()
    assert "&lt;b&gt;&amp;&lt;/b&gt;" in page and "<b>" not in page
