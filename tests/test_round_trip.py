"""Every record field written by the writer reads back unchanged."""

import numpy as np
import pytest
from conftest import read_points, read_spectrum_index_block

from vorn_data_access import access
from vorn_data_access._internal._description import (
    DetectorTypes,
    TripleQScanTypes,
    VendorSpecificAdditionalConditionTypes,
)
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.writer import VornWriter

SPECTRUM_FIELDS = dict(
    retention_time=12.25,
    ms_level=2,
    polarity=PolarityTypes.NEGATIVE,
    collision_energy=35.0,
    cone_voltage=30.0,
    mass_range=ValueRange(50.0, 1500.0),
    precursor_range=ValueRange(445.0, 446.0),
    precursor_value=445.12,
    precursor_index=7,
    product_indices=[9, 10, 11],
    spectrum_type=SpectrumTypes.PROFILE,
    is_profile_spectrum_measured=True,
    current_total_ion=1234.5,
    base_peak_mz=445.2,
    base_peak_intensity=99.5,
    supplemental_properties={
        "ConeVoltage": "30",
        "Scan": 12,
        "Ratio": 0.5,
        "Flag": False,
        "Empty": None,
    },
)


def field(record, cls, name):
    return getattr(record, f"_{cls}__{name}")


def open_function(path, kind="qual", index=0):
    f = access.VornFile(str(path))
    m = f.get_measurement(0)
    fi = getattr(m, f"_Measurement__{kind}_index_list")[index]
    return f, fi


def test_every_spectrum_field(tmp_path):
    path = tmp_path / "fields.vdp"
    mz = np.array([100.0, 200.0, 300.0])
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function(conditions=None)
        fn.add_spectrum(
            mz, np.array([1.0, 2.0, 3.0]), acquisition_condition_index=4, **SPECTRUM_FIELDS
        )
        fn.add_spectrum(
            mz,
            np.array([1.0, 2.0, 3.0]),
            current_total_ion=None,
            base_peak_mz=None,
            base_peak_intensity=None,
            supplemental_properties=None,
        )
    f, fi = open_function(path)
    with f:
        full, empty = read_spectrum_index_block(
            fi._FunctionIndex__reader, fi._FunctionIndex__position
        )
        d = full._SpectrumIndex__spectrum_description
        for name, value in SPECTRUM_FIELDS.items():
            assert field(d, "InternalSpectrumDescription", name) == value, name
        assert field(d, "InternalSpectrumDescription", "acquisition_condition_index") == 4
        assert field(d, "InternalSpectrumDescription", "index") == 0
        assert field(d, "InternalSpectrumDescription", "acquisition_condition") is None
        e = empty._SpectrumIndex__spectrum_description
        for name in SPECTRUM_FIELDS:
            assert field(e, "InternalSpectrumDescription", name) is None, name
        assert field(e, "InternalSpectrumDescription", "index") == 1
        assert empty._SpectrumIndex__profile_position == 0


def test_computed_totals_and_base_peak(tmp_path):
    path = tmp_path / "totals.vdp"
    intensity = np.array([5.0, 9.0, 9.0, 1.0], dtype=np.float32)
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        fn.add_spectrum(np.array([100.0, 101.0, 102.0, 103.0]), intensity)
    f, fi = open_function(path)
    with f:
        (rec,) = read_spectrum_index_block(fi._FunctionIndex__reader, fi._FunctionIndex__position)
        d = rec._SpectrumIndex__spectrum_description
        assert d._InternalSpectrumDescription__current_total_ion == 24.0
        assert d._InternalSpectrumDescription__base_peak_mz == 101.0
        assert d._InternalSpectrumDescription__base_peak_intensity == 9.0


@pytest.mark.parametrize("x_dtype", [np.float32, np.float64])
@pytest.mark.parametrize("i_dtype", [np.float32, np.float64])
@pytest.mark.parametrize("n", [0, 1, 17, 5000])
def test_points_keep_their_precision(tmp_path, rng, x_dtype, i_dtype, n):
    path = tmp_path / "points.vdp"
    x = np.sort(rng.uniform(50, 2000, n)).astype(x_dtype)
    intensity = rng.uniform(0, 1e6, n).astype(i_dtype)
    if n > 2:
        x[1] = x[2]  # repeated x values are allowed
    with VornWriter(path, chunk_points=64) as w:
        w.add_measurement().add_ms_function().add_spectrum(x, intensity)
    f, fi = open_function(path)
    with f:
        (rec,) = read_spectrum_index_block(fi._FunctionIndex__reader, fi._FunctionIndex__position)
        points = read_points(rec)
        assert len(points) == n
        assert points.x_array.dtype == x_dtype and points.intensity_array.dtype == i_dtype
        np.testing.assert_array_equal(points.x_array, x)
        np.testing.assert_array_equal(points.intensity_array, intensity)
        if n:
            assert (points[-1].x, points[-1].intensity) == (float(x[-1]), float(intensity[-1]))


def test_profile_spectra(tmp_path, rng):
    path = tmp_path / "profile.vdp"
    px = np.linspace(100, 200, 1000)
    pi = rng.uniform(0, 10, 1000)
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        fn.add_spectrum([150.0], [5.0], profile=(px, pi))
        fn.add_spectrum([160.0], [6.0])
    f, fi = open_function(path)
    with f:
        a, b = read_spectrum_index_block(fi._FunctionIndex__reader, fi._FunctionIndex__position)
        assert b._SpectrumIndex__profile_position == 0
        reader = a._SpectrumIndex__reader
        reader._VdpFileReader__set_buffer(a._SpectrumIndex__profile_position)
        profile = reader._VdpFileReader__read_spectrum()
        np.testing.assert_array_equal(profile.x_array, px)
        np.testing.assert_array_equal(profile.intensity_array, pi)


def test_function_descriptions(tmp_path):
    path = tmp_path / "functions.vdp"
    with VornWriter(path) as w:
        m = w.add_measurement()
        m.add_ms_function(conditions=None, supplemental_properties={"k": "v"})
        m.add_dad_function([200.0, 210.5], wavelengths_f32=True)
        m.add_dad_function()
        m.add_quan_function(supplemental_properties={"Transitions": 6})
        m.add_analog_function()
    with access.VornFile(str(path)) as f:
        m = f.get_measurement(0)
        descs = [
            fi._FunctionIndex__function_description
            for kind in ("qual", "dad", "quan", "analog")
            for fi in getattr(m, f"_Measurement__{kind}_index_list")
        ]
        qual, dad, dad_plain, quan, analog = descs
        q = qual._FunctionDescription__qual_description
        assert qual._FunctionDescription__is_qual is True
        assert qual._FunctionDescription__quan_description is None
        assert q._QualDescription__detector_type == DetectorTypes.MS
        assert q._QualDescription__unique_acquisition_condition_list is None
        assert q._QualDescription__supplemental_properties == {"k": "v"}
        assert q._QualDescription__wavelength_arr is None
        d = dad._FunctionDescription__qual_description
        assert d._QualDescription__detector_type == DetectorTypes.DAD
        assert list(d._QualDescription__wavelength_arr) == [200.0, 210.5]
        assert (
            dad_plain._FunctionDescription__qual_description._QualDescription__wavelength_arr
            is None
        )
        for desc, detector in ((quan, DetectorTypes.MS), (analog, DetectorTypes.ANALOG)):
            assert desc._FunctionDescription__is_qual is False
            assert desc._FunctionDescription__qual_description is None
            qd = desc._FunctionDescription__quan_description
            assert qd._QuanDescription__detector_type == detector
        assert (
            quan._FunctionDescription__quan_description._QuanDescription__supplemental_properties
            == {"Transitions": 6}
        )


VENDOR = {
    "type": VendorSpecificAdditionalConditionTypes.THERMO_FISHER_RAW_FILE_READER,
    "original_id": 3,
    "cone_voltage": 10.0,
    "scan_info_string": "FTMS + p ESI Full ms",
}
SCAN = {
    "type": TripleQScanTypes.NEUTRAL_LOSS,
    "target_mz": 98.0,
    "q1_range": ValueRange(100.0, 800.0),
    "q3_range": (2.0, 702.0),
}


def condition_fields(record):
    core = record._InternalAcquisitionCondition__internal_acquisition_core_condition
    out = {
        name: getattr(core, f"_InternalAcquisitionCoreCondition__{name}")
        for name in (
            "ms_level",
            "polarity",
            "collision_energy",
            "mass_range",
            "original_measured_spectrum_type",
        )
    }
    out["precursor_range"] = record._InternalAcquisitionCondition__precursor_range
    out["precursor_value"] = record._InternalAcquisitionCondition__precursor_value
    vendor = core._InternalAcquisitionCoreCondition__vendor_specific_additional_condition
    scan = core._InternalAcquisitionCoreCondition__triple_q_scan_condition
    out["vendor"] = vendor and {
        n: getattr(vendor, f"_VendorSpecificAdditionalCondition__{n}")
        for n in ("type", "original_id", "cone_voltage", "scan_info_string")
    }
    out["scan"] = scan and {
        n: getattr(scan, f"_TripleQScanCondition__{n}")
        for n in ("type", "target_mz", "q1_range", "q3_range")
    }
    return out


def test_explicit_condition_list(tmp_path):
    path = tmp_path / "explicit.vdp"
    conditions = [
        dict(
            ms_level=1,
            polarity=PolarityTypes.BOTH,
            mass_range=(100.0, 900.0),
            original_measured_spectrum_type=SpectrumTypes.PROFILE,
            vendor_condition=VENDOR,
        ),
        dict(
            ms_level=None,
            collision_energy=25.0,
            precursor_range=(300.0, 301.0),
            precursor_value=300.5,
            triple_q_scan_condition=SCAN,
        ),
    ]
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function(conditions=conditions)
        fn.add_spectrum([1.0], [1.0], acquisition_condition_index=1)
        with pytest.raises(ValueError, match="acquisition condition index"):
            fn.add_spectrum([1.0], [1.0], acquisition_condition_index=2)
    f, fi = open_function(path)
    with f:
        qd = fi._FunctionIndex__function_description._FunctionDescription__qual_description
        first, second = map(
            condition_fields, qd._QualDescription__unique_acquisition_condition_list
        )
    assert first["polarity"] == PolarityTypes.BOTH and first["mass_range"] == ValueRange(100, 900)
    assert first["original_measured_spectrum_type"] == SpectrumTypes.PROFILE
    assert first["vendor"] == VENDOR and first["scan"] is None
    assert second["ms_level"] is None and second["collision_energy"] == 25.0
    assert second["precursor_range"] == ValueRange(300.0, 301.0)
    assert second["precursor_value"] == 300.5
    assert second["scan"] == dict(SCAN, q3_range=ValueRange(2.0, 702.0))


def test_derived_conditions_are_distinct_sorted_and_indexed(tmp_path):
    path = tmp_path / "derived.vdp"
    spectra = [
        dict(ms_level=2, collision_energy=30.0, polarity=PolarityTypes.POSITIVE),
        dict(ms_level=1, polarity=PolarityTypes.POSITIVE),
        dict(ms_level=2, polarity=PolarityTypes.POSITIVE),
        dict(ms_level=2, collision_energy=20.0, polarity=PolarityTypes.POSITIVE),
        dict(ms_level=None, polarity=PolarityTypes.POSITIVE),  # same as MS1
        dict(ms_level=1, polarity=PolarityTypes.NEGATIVE),
        dict(
            ms_level=2,
            collision_energy=30.0,
            polarity=PolarityTypes.POSITIVE,
            vendor_condition=VENDOR,
        ),
    ]
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        for s in spectra:
            fn.add_spectrum([1.0], [1.0], **s)
    f, fi = open_function(path)
    with f:
        qd = fi._FunctionIndex__function_description._FunctionDescription__qual_description
        stored = [
            condition_fields(c) for c in qd._QualDescription__unique_acquisition_condition_list
        ]
        records = read_spectrum_index_block(fi._FunctionIndex__reader, fi._FunctionIndex__position)
        indexes = [
            r._SpectrumIndex__spectrum_description._InternalSpectrumDescription__acquisition_condition_index
            for r in records
        ]
    keys = [
        (c["ms_level"], c["polarity"], c["collision_energy"], bool(c["vendor"])) for c in stored
    ]
    assert keys == [
        (1, PolarityTypes.POSITIVE, None, False),
        (1, PolarityTypes.NEGATIVE, None, False),
        (2, PolarityTypes.POSITIVE, None, False),
        (2, PolarityTypes.POSITIVE, 20.0, False),
        (2, PolarityTypes.POSITIVE, 30.0, False),
        (2, PolarityTypes.POSITIVE, 30.0, True),
    ]
    assert indexes == [4, 0, 2, 3, 0, 1, 5]


def test_cone_voltage_becomes_the_derived_vendor_condition(tmp_path):
    path = tmp_path / "cone.vdp"
    with VornWriter(path) as w:
        fn = w.add_measurement().add_ms_function()
        fn.add_spectrum(
            [1.0],
            [1.0],
            ms_level=1,
            cone_voltage=30.0,
            supplemental_properties={"ConeVoltage": "30", "FragmentorVoltage": "x"},
        )
        fn.add_spectrum([1.0], [1.0], ms_level=1, cone_voltage=30.0)
    f, fi = open_function(path)
    with f:
        qd = fi._FunctionIndex__function_description._FunctionDescription__qual_description
        a, b = map(condition_fields, qd._QualDescription__unique_acquisition_condition_list)
    assert a["vendor"] == {
        "type": VendorSpecificAdditionalConditionTypes.AGILENT_MASS_HUNTER,
        "original_id": None,
        "cone_voltage": 30.0,
        "scan_info_string": None,
    }
    assert b["vendor"] is None
