"""Traces of quan and analog analyses as objects and arrays: Q1 and Q3 as
pyteomics reads them from the SRM and SIM sample files, times in minutes
whatever unit the source used, intensities as stored."""

import pickle
import xml.etree.ElementTree as ET

import numpy as np
import pytest
from conftest import sample_named, sample_sources
from mzml_oracle import chromatograms

from vorn_data_access import access, traces
from vorn_data_access.common import PolarityTypes

TRACE_FILES = [
    p
    for p in sample_sources()
    if p.name
    in (
        "MRM Neg C5.mzML",
        "Enolase_repeats_AQv1.4.2-20070918_en_01.mzML",
        "GFb_4Scan_TimeSegs_1530_100ng.mzML",
        "Spyogenes.chrom.mzML",
        "1ppm.mzML",
        "reserpine-MS2sim-010.mzML",
    )
]
MINUTES = {"minute": 1.0, "second": 1 / 60.0}


def time_units(path):
    """Each chromatogram's time unit, read from the XML itself."""
    units = {}
    for _, e in ET.iterparse(path):
        if e.tag.endswith("}chromatogram"):
            for p in e.iter():
                if p.tag.endswith("}cvParam") and p.get("accession") == "MS:1000595":
                    units[e.get("id")] = p.get("unitName")
            e.clear()
    return units


def expected_traces(path):
    """The SRM and SIM chromatograms by id: (Q1, Q3 or None, times in minutes, intensities)."""
    units = time_units(path)
    out = {}
    for cid, time, intensity, c in chromatograms(path):
        kind = (
            "SRM"
            if "selected reaction monitoring chromatogram" in c
            else "SIM"
            if "selected ion monitoring chromatogram" in c
            else None
        )
        if kind is None:
            continue
        q1 = c["precursor"][0]["isolationWindow"]["isolation window target m/z"]
        product = c.get("product", [{}])[0].get("isolationWindow", {})
        q3 = product.get("isolation window target m/z")
        out[cid] = (kind, q1, q3, time * MINUTES[units[cid]], intensity, units[cid])
    return out


@pytest.mark.parametrize("source", TRACE_FILES, ids=[p.name for p in TRACE_FILES])
def test_traces_match_pyteomics(source, convert_sample):
    expected = expected_traces(source)
    assert expected
    with access.VornFile(str(convert_sample(source))) as f:
        a = f[0].quan_analyses[0]
        assert len(a.traces) == a.get_trace_count() == len(expected)
        for t in a.traces:
            kind, q1, q3, minutes, intensity, unit = expected[t.native_id]
            assert (t.kind, t.precursor_mz, t.product_mz) == (kind, q1, q3)
            assert t.source_time_unit == unit
            times, values = a.trace_arrays(t.index)
            assert times.dtype == values.dtype == np.float64
            np.testing.assert_allclose(times, minutes, rtol=1e-12)
            assert np.array_equal(values, intensity)
            assert np.array_equal(values, a.get_trace_points(t.index).intensity_array)


def test_lookups_by_transition(convert_sample):
    source = next(p for p in TRACE_FILES if p.name == "MRM Neg C5.mzML")
    with access.VornFile(str(convert_sample(source))) as f:
        a = f[0].quan_analyses[0]
        first = a.traces[0]
        assert first.polarity == PolarityTypes.NEGATIVE and first.collision_energy == 20.0
        assert a.find_traces(269.0, 195.996) == [first]
        assert a.find_traces(269.005, 196.0) == [first]
        assert a.find_traces(269.0, 196.1) == []
        assert a.find_traces(269.02) == []
        assert a.find_traces(269.02, tolerance=0.05) == [first]
        assert [t.index for t in a.traces[-2:]] == [2, 3] and a.traces[-1].index == 3
        with pytest.raises(IndexError, match="trace index out of range"):
            a.traces[4]
        with pytest.raises(Exception, match="Index out of range"):
            a.trace_arrays(4)
        copy = pickle.loads(pickle.dumps(first))
        assert copy == first and hash(copy) == hash(first)
        assert repr(first).startswith("<Trace 0, SRM, Q1 269, Q3 195.996, CE 20, -")


def test_traces_frame(convert_sample):
    pytest.importorskip("pandas")
    source = sample_named("Spyogenes.chrom.mzML")
    with access.VornFile(str(convert_sample(source))) as f:
        a = f[0].quan_analyses[0]
        frame = a.traces_frame()
        times, values = a.trace_arrays(5)
    assert len(frame) == 86 and frame.loc[5, "points"] == len(times)
    assert frame.loc[5, "start_time"] == times[0] and frame.loc[5, "max_intensity"] == values.max()
    assert set(frame["kind"]) == {"SRM"}


class FakeAnalysis:
    def __init__(self, version):
        self.version = version

    def _format_version(self):
        return self.version


@pytest.mark.parametrize(
    "version, unit, factor",
    [
        ((1, 0), "second", 1 / 60),
        ((1, 0), "minute", 1.0),
        ((1, 0), None, 1.0),
        ((1, 0), "millisecond", 1 / 60000),
        # From format 1.1 on the converter stores minutes and keeps the source's unit.
        ((1, 1), "second", 1.0),
        ((2, 0), "hour", 1.0),
        (None, "second", 1 / 60),
    ],
)
def test_times_in_minutes(version, unit, factor):
    t = traces.Trace(0, "SRM", 1.0, 2.0, None, None, None, None, unit, {})
    assert traces.minutes_per_stored_unit(FakeAnalysis(version), t) == factor


def test_unknown_time_unit_is_refused():
    t = traces.Trace(3, "SRM", 1.0, 2.0, None, None, None, None, "fortnight", {})
    with pytest.raises(ValueError, match="trace 3 has times in an unknown unit: 'fortnight'"):
        traces.minutes_per_stored_unit(FakeAnalysis((1, 0)), t)
