"""Spectra as a pandas table, and the clear error when pandas is missing."""

import sys

import numpy as np
import pytest

from vorn_data_access import access

pd = pytest.importorskip("pandas")


def test_spectra_frame(small_file):
    with access.VornFile(str(small_file)) as f:
        a = f[0].qual_analyses[0]
        frame = a.spectra_frame()
        rt, tic = a.tic_arrays()
        _, bpc = a.bpc_arrays()
    assert list(frame.index) == [0, 1, 2, 3] and frame.index.name == "index"
    for column in (
        "retention_time",
        "ms_level",
        "polarity",
        "precursor_mz",
        "tic",
        "base_peak_mz",
        "base_peak_intensity",
        "scan_filter",
        "native_id",
    ):
        assert column in frame.columns
    assert np.array_equal(frame["retention_time"].to_numpy(), rt)
    assert np.array_equal(frame["tic"].to_numpy(), tic)
    assert np.array_equal(frame["base_peak_intensity"].to_numpy(), bpc)
    assert list(frame["ms_level"]) == [1, 1, 1, 1]
    assert list(frame["polarity"]) == ["positive"] * 4
    assert frame["precursor_mz"].isna().all()


def test_spectra_frame_of_a_thermo_run(convert_sample):
    from conftest import sample_named

    source = sample_named("small.mzML")
    with access.VornFile(str(convert_sample(source))) as f:
        frame = f[0].qual_analyses[0].spectra_frame()
    ms2 = frame[frame["ms_level"] == 2]
    assert len(ms2) == 34 and ms2["precursor_mz"].notna().all()
    assert ms2["scan_filter"].str.startswith("ITMS + c").all()
    assert frame["native_id"].iloc[0].endswith("scan=1")


def test_missing_pandas_says_how_to_get_it(small_file, monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with access.VornFile(str(small_file)) as f:
        with pytest.raises(ImportError, match=r"vorn-data-access\[pandas\]"):
            f[0].qual_analyses[0].spectra_frame()


def test_precursor_details_become_columns_where_spectra_have_them(small_file, monkeypatch):
    from vorn_data_access import qual

    class DetailedSpectrum(qual.Spectrum):
        @property
        def precursor_charge(self):
            return self.index + 1

    monkeypatch.setattr(qual, "Spectrum", DetailedSpectrum)
    with access.VornFile(str(small_file)) as f:
        frame = f[0].qual_analyses[0].spectra_frame()
    assert list(frame["precursor_charge"]) == [1, 2, 3, 4]
    assert list(frame.columns).index("precursor_charge") == 4
