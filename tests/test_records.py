"""Reader-layer records, shared enumerations and value types."""

import pickle

import pytest

from vorn_data_access._internal import _description, _index, _reader
from vorn_data_access._internal._enum import VornSymbols
from vorn_data_access.common import (
    AnalysisTypes,
    PolarityTypes,
    QuanAnalysisTypes,
    SpectrumBasedChromatogramPoint,
    ValueRange,
)

RECORDS = {
    _index.JumpTable: [
        "major_version",
        "minor_version",
        "revision_version",
        "major_lib_version",
        "minor_lib_version",
        "revision_lib_version",
        "num_measurements",
        "measurement_index_list",
    ],
    _index.MeasurementIndex: ["reader", "position", "measurement_description"],
    _index.FunctionIndex: ["reader", "position", "function_description"],
    _index.SpectrumIndex: ["reader", "position", "spectrum_description"],
    _description.MeasurementDescription: [
        "hash",
        "sample_name",
        "sample_id",
        "acquisition_method_file_name",
        "dilution_factor",
        "injection_volume",
        "original_file_path",
        "instrument_product_name",
        "measurement_user_name",
        "plate_code",
        "well_code",
        "measurement_date_time",
        "instrument_manufacturer",
        "source_file_definition",
        "supplemental_properties",
    ],
    _description.FunctionDescription: ["is_qual", "qual_description", "quan_description"],
    _description.QualDescription: [
        "detector_type",
        "unique_acquisition_condition_list",
        "supplemental_properties",
        "wavelength_arr",
    ],
    _description.QuanDescription: ["detector_type"],
    _description.InternalSpectrumDescription: [
        "index",
        "retention_time",
        "acquisition_condition",
        "acquisition_condition_index",
        "ms_level",
        "polarity",
        "collision_energy",
        "cone_voltage",
        "mass_range",
        "precursor_range",
        "precursor_value",
        "precursor_index",
        "product_indices",
        "spectrum_type",
        "is_profile_spectrum_measured",
        "current_total_ion",
        "base_peak_mz",
        "base_peak_intensity",
        "supplemental_properties",
    ],
    _description.InternalAcquisitionCondition: [
        "internal_acquisition_core_condition",
        "precursor_range",
        "precursor_value",
    ],
    _description.InternalAcquisitionCoreCondition: [
        "ms_level",
        "polarity",
        "collision_energy",
        "mass_range",
        "original_measured_spectrum_type",
        "vendor_specific_additional_condition",
        "triple_q_scan_condition",
    ],
    _description.TripleQScanCondition: ["type", "target_mz", "q1_range", "q3_range"],
    _description.VendorSpecificAdditionalCondition: [
        "type",
        "original_id",
        "cone_voltage",
        "scan_info_string",
    ],
    _reader.XicInfo: ["spectrum_point", "is_break_to_read", "xic"],
}


@pytest.mark.parametrize("cls", RECORDS, ids=lambda c: c.__name__)
def test_records_build_empty_and_take_any_value(cls):
    record = cls()
    marker = object()
    for name in RECORDS[cls]:
        attr = f"_{cls.__name__}__{name}"
        assert getattr(record, attr) is None
        setattr(record, attr, marker)
        assert getattr(record, attr) is marker
        setattr(record, attr, None)
        assert getattr(record, attr) is None


def test_spectrum_index_starts_without_profile():
    record = _index.SpectrumIndex()
    assert record._SpectrumIndex__profile_position == 0
    record._SpectrumIndex__set_profile_position(123)
    assert record._SpectrumIndex__profile_position == 123


def test_xic_info_factory():
    r = ValueRange(1.0, 2.0)
    info = _reader.XicInfo._XicInfo__create_instance(r)
    assert info._XicInfo__value_range is r
    assert info._XicInfo__spectrum_point == [] and info._XicInfo__xic == []
    assert info._XicInfo__is_break_to_read is False
    assert info._XicInfo__xic is not info._XicInfo__spectrum_point


def test_records_in_cycles_are_collected():
    import gc
    import weakref

    class Holder:
        pass

    record = _index.FunctionIndex()
    holder = Holder()
    holder.record = record
    record._FunctionIndex__reader = holder
    ref = weakref.ref(holder)
    del record, holder
    gc.collect()
    assert ref() is None


def test_flag_enumerations():
    both = AnalysisTypes.QUAL | AnalysisTypes.DAD
    assert both & AnalysisTypes.QUAL and both & AnalysisTypes.DAD
    assert not both & AnalysisTypes.QUAN
    every = AnalysisTypes.QUAL | AnalysisTypes.QUAN | AnalysisTypes.DAD | AnalysisTypes.ANALOG
    assert every != AnalysisTypes.ALL
    assert QuanAnalysisTypes.SIM | QuanAnalysisTypes.SRM != QuanAnalysisTypes.ALL
    assert {AnalysisTypes.ALL: 1}[AnalysisTypes.ALL] == 1


def test_polarity_values_order_and_members_are_singletons():
    assert sorted(
        [PolarityTypes.BOTH, PolarityTypes.POSITIVE, PolarityTypes.NEGATIVE], key=lambda p: p.value
    ) == [PolarityTypes.POSITIVE, PolarityTypes.NEGATIVE, PolarityTypes.BOTH]
    assert PolarityTypes["NEGATIVE"] is PolarityTypes.NEGATIVE
    assert (
        len(
            {
                VornSymbols.BEGIN_OF_SPECTRUM_INDEX_BLOCK,
                VornSymbols.END_OF_SPECTRUM_INDEX_BLOCK,
                VornSymbols.BEGIN_OF_FUNCTION_INDEX_BLOCK,
                VornSymbols.END_OF_FUNCTION_INDEX_BLOCK,
            }
        )
        == 4
    )


def test_value_range():
    r = ValueRange(100, 200.5)
    assert (r.min, r.max) == (100.0, 200.5)
    assert r.contains_value(100) and r.contains_value(200.5) and not r.contains_value(200.51)
    assert r == ValueRange(100.0, 200.5) and hash(r) == hash(ValueRange(100.0, 200.5))
    assert r != ValueRange(100.0, 200.0) and r != (100.0, 200.5)
    assert str(r) == repr(r) == "100.0 - 200.5"
    assert pickle.loads(pickle.dumps(r)) == r
    with pytest.raises(TypeError):
        ValueRange(None, 1.0)


def test_chromatogram_point():
    p = SpectrumBasedChromatogramPoint(3, 1.5, 0, -1)
    assert (p.spectrum_index, p.retention_time, p.intensity, p.base_x) == (3, 1.5, 0, -1)
    assert type(p.intensity) is int
    assert p == SpectrumBasedChromatogramPoint(3, 1.5, 0.0, -1.0)
    assert p != SpectrumBasedChromatogramPoint(4, 1.5, 0, -1)
    assert str(p) == "[Spectrum Index] 3, [Retention Time] 1.5, [Intensity] 0, [Base X] -1"
