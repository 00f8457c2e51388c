"""Native types that hold Python objects take part in cyclic garbage
collection: a cycle through them (a user's override or subclass can close
one) is collected."""

import gc
import weakref

import pytest

from vorn_data_access import access, qual, quan
from vorn_data_access._internal import _description, _index, _reader
from vorn_data_access.common import ValueRange
from vorn_data_access.exception import VornClosedError
from vorn_data_access.writer import VornWriter


class Anchor:
    """A weakly referenceable object that closes the cycle."""


def collected(make_cycle):
    """Whether the cycle made by `make_cycle(anchor)` is freed by a collection
    once the anchor is dropped."""
    gc.collect()
    anchor = Anchor()
    make_cycle(anchor)
    ref = weakref.ref(anchor)
    del anchor
    gc.collect()
    return ref() is None


class OwnDescription(_description.InternalSpectrumDescription):
    pass


class OwnSpectrumIndex(_index.SpectrumIndex):
    pass


def through_record_fields(anchor):
    record = _index.SpectrumIndex()
    description = _description.InternalSpectrumDescription()
    record._SpectrumIndex__spectrum_description = description
    description._InternalSpectrumDescription__supplemental_properties = {"anchor": anchor}
    anchor.record = record


def through_user_overrides(anchor):
    record = OwnSpectrumIndex()
    record._SpectrumIndex__spectrum_description = OwnDescription()
    record._SpectrumIndex__reader = anchor
    record._SpectrumIndex__position = [record]
    anchor.description = record._SpectrumIndex__spectrum_description


def through_value_types(anchor):
    scan = _description.TripleQScanCondition()
    scan._TripleQScanCondition__target_mz = anchor
    anchor.scan = qual.ProductIonScanCondition(scan)
    anchor.option = qual.ChromatogramFilterOption(anchor, ValueRange(1.0, 2.0))


def through_a_reader(anchor):
    reader = _reader.VdpFileReader()
    reader._VdpFileReader__stream = anchor
    anchor.reader = reader


CYCLES = [
    through_record_fields,
    through_user_overrides,
    through_value_types,
    through_a_reader,
]


@pytest.mark.parametrize("make_cycle", CYCLES, ids=[c.__name__ for c in CYCLES])
def test_cycle_is_collected(make_cycle):
    assert collected(make_cycle)


def test_cycles_through_objects_of_a_file(small_file, tmp_path):
    with access.VornFile(str(small_file)) as f:
        m = f.get_measurement(0)

        def analyses_and_spectra(anchor):
            a = m.get_qual_analysis(0)
            d = m.get_dad_analysis(0)
            s = a.get_spectrum(0)
            a.unique_acquisition_conditions.append(anchor)
            description = _description.InternalSpectrumDescription()
            description._InternalSpectrumDescription__precursor_value = anchor
            condition = qual.AcquisitionCondition(description)
            s.get_spectrum_points()
            record = a._QualAnalysis__spectrum_index_list[0]
            record._SpectrumIndex__spectrum_description._InternalSpectrumDescription__precursor_index = anchor  # noqa: E501
            anchor.things = [a, d, s, d.get_spectrum(0), condition]

        assert collected(analyses_and_spectra)

        def traces(anchor):
            t = quan.QuanAnalysis._QuanAnalysis__create_instance(
                m._Measurement__qual_index_list[0], anchor
            )
            anchor.trace_analysis = t

        assert collected(traces)

    def writer_path(anchor):
        class Path:
            def __fspath__(self):
                return str(tmp_path / "held.vdp")

        p = Path()
        p.anchor = anchor
        w = VornWriter(p)
        m = w.add_measurement()
        anchor.writers = [w, m, m.add_ms_function()]

    assert collected(writer_path)


@pytest.mark.parametrize("enabled", [True, False])
def test_building_an_analysis_leaves_the_collector_as_it_was(small_file, enabled):
    """The records of an analysis are built with the collector held off; its
    state afterwards is the caller's, also when the build fails."""
    (gc.enable if enabled else gc.disable)()
    try:
        with access.VornFile(str(small_file)) as f:
            m = f.get_measurement(0)
            m.get_qual_analysis(0)
            m.get_dad_analysis(0)
            assert gc.isenabled() is enabled
            f.close()
            with pytest.raises(VornClosedError):
                m.get_qual_analysis(0)
            assert gc.isenabled() is enabled
    finally:
        gc.enable()
