"""Precursor and scan details of format 1.1: written with VornWriter, served
by Spectrum and the description record, absent (None) in files of 1.0, and
refused where a file of a version without them claims them."""

import pathlib
import struct

import pytest
import vdp_layout as L
from records_by_hand import description

from vorn_data_access import access
from vorn_data_access.exception import VornFormatError
from vorn_data_access.writer import VornWriter

GOLDEN_1_0 = pathlib.Path(__file__).parent / "golden" / "v1.0.0" / "every_record.vdp"

DETAILS = dict(
    precursor_charge=3,
    possible_charge_states=[2, 3, 4],
    precursor_intensity=1.5e6,
    activation_method="beam-type collision-induced dissociation, electron transfer dissociation",
    isolation_window_target=445.25,
    isolation_window_lower_offset=0.75,
    isolation_window_upper_offset=1.25,
    ion_injection_time=12.5,
)


def write(path, **details):
    with VornWriter(path, overwrite=True) as w:
        fn = w.add_measurement().add_ms_function()
        fn.add_spectrum([100.0, 200.0], [1.0, 2.0], ms_level=2, **details)
    return path


def write_small(path, **details):
    """A file whose one description record is too small for zstd to shrink:
    it is stored as it is, for editing in place."""
    with VornWriter(path, overwrite=True) as w:
        fn = w.add_measurement().add_ms_function(conditions=None)
        fn.add_spectrum(
            [100.0],
            [1.0],
            current_total_ion=None,
            base_peak_mz=None,
            base_peak_intensity=None,
            supplemental_properties=None,
            **details,
        )
    return path


def first_spectrum(f):
    return f.get_measurement(0).get_qual_analysis(0).get_spectrum(0)


def first_record(f):
    return f.get_measurement(0).get_qual_analysis(0)._QualAnalysis__spectrum_index_list[0]


def test_details_round_trip(tmp_path):
    with access.VornFile(str(write(tmp_path / "d.vdp", **DETAILS))) as f:
        assert f.get_file_format_version() == "1.1.0"
        s = first_spectrum(f)
        record = first_record(f)._SpectrumIndex__spectrum_description
        for name, value in DETAILS.items():
            assert getattr(s, name) == value
            assert getattr(record, f"_InternalSpectrumDescription__{name}") == value
        assert type(s.precursor_charge) is int and type(s.precursor_intensity) is float


@pytest.mark.parametrize(
    "path", [GOLDEN_1_0, "written without details"], ids=["format 1.0", "absent"]
)
def test_missing_details_read_as_none(tmp_path, path):
    if isinstance(path, str):
        path = write(tmp_path / "plain.vdp")
    with access.VornFile(str(path)) as f:
        s = first_spectrum(f)
        assert all(getattr(s, name) is None for name in DETAILS)


def test_a_description_without_the_fields_reads_as_none(tmp_path):
    """A description of another kind (a test double of the reader) may lack
    the newer fields: the properties give None instead of failing."""
    from vorn_data_access.qual import Spectrum

    class Bare:
        _InternalSpectrumDescription__precursor_index = 4

    with access.VornFile(str(write(tmp_path / "d.vdp", **DETAILS))) as f:
        record = first_record(f)
        record._SpectrumIndex__spectrum_description = Bare()
        s = Spectrum._Spectrum__create_instance(record, 0)
        assert s.precursor_index == 4
        assert s.precursor_charge is None and s.activation_method is None
        record._SpectrumIndex__spectrum_description = description(precursor_charge=2)
        assert Spectrum._Spectrum__create_instance(record, 0).precursor_charge == 2


def _spectrum_record_mask(data):
    """Offset of the first spectrum description's mask in a file whose
    description buffer is stored uncompressed."""
    block = next(b for b in L.blocks(data) if b[2] == "spectrum index")
    buffer = L.fields(data, block)["buffer"]
    assert data[buffer + 1] == 0, "the buffer must be stored, not compressed"
    return block, buffer + 24


@pytest.mark.parametrize(
    "version, bit, readable",
    [(1, 17, True), (0, 17, False), (1, 25, False)],
    ids=["1.1 with a 1.1 field", "1.0 claiming a 1.1 field", "1.1 claiming an unknown field"],
)
def test_mask_bits_follow_the_file_version(tmp_path, version, bit, readable):
    path = write_small(tmp_path / "v.vdp", precursor_charge=2)
    data = bytearray(path.read_bytes())
    block, mask_at = _spectrum_record_mask(data)
    (mask,) = struct.unpack_from("<I", data, mask_at)
    assert mask & (1 << 17)
    if bit != 17:
        struct.pack_into("<I", data, mask_at, mask | (1 << bit))
        L.reseal(data, block)
    struct.pack_into("<H", data, 10, version)  # header minor version
    L.reseal_header(data)
    jump = next(b for b in L.blocks(data) if b[2] == "jump table")
    struct.pack_into("<H", data, jump[0] + 16 + 2, version)  # the jump table repeats it
    L.reseal(data, jump)
    path.write_bytes(bytes(data))
    with access.VornFile(str(path)) as f:
        a = f.get_measurement(0).get_qual_analysis
        if readable:
            assert first_spectrum(f).precursor_charge == 2
        else:
            with pytest.raises(
                VornFormatError, match="spectrum description has unknown field bits"
            ):
                a(0)


LONG = "x" * (16 * 1024 * 1024 + 1)


@pytest.mark.parametrize(
    "where",
    [
        "sample_name",
        "measurement property",
        "function property",
        "spectrum property key",
        "spectrum property value",
        "activation_method",
        "scan_info_string",
    ],
)
def test_writer_refuses_text_longer_than_the_reader_takes(tmp_path, where):
    path = tmp_path / "long.vdp"
    with VornWriter(path) as w:
        with pytest.raises(ValueError, match="longer than 16 MiB"):
            if where == "sample_name":
                w.add_measurement(sample_name=LONG)
            elif where == "measurement property":
                w.add_measurement(supplemental_properties={"k": LONG})
            m = w.add_measurement()
            if where == "function property":
                m.add_ms_function(supplemental_properties={"k": LONG})
            fn = m.add_ms_function()
            extra = {
                "spectrum property key": dict(supplemental_properties={LONG: 1}),
                "spectrum property value": dict(supplemental_properties={"NativeId": LONG}),
                "activation_method": dict(activation_method=LONG),
                "scan_info_string": dict(vendor_condition={"type": 1, "scan_info_string": LONG}),
            }[where]
            fn.add_spectrum([1.0], [1.0], **extra)
        m = w.add_measurement(sample_name="kept")
        m.add_ms_function().add_spectrum([1.0], [1.0])
    with access.VornFile(str(path)) as f:  # what was written reads back
        last = f.get_measurement(f.get_measurement_count() - 1)
        assert last.sample_name == "kept"
        assert last.get_qual_analysis(0).get_spectra_count() == 1


@pytest.mark.parametrize(
    "field, value, error",
    [
        ("precursor_charge", 2.5, TypeError),
        ("possible_charge_states", [1.5], TypeError),
        ("precursor_intensity", "high", TypeError),
        ("activation_method", 7, TypeError),
    ],
)
def test_detail_types_are_checked(tmp_path, field, value, error):
    with VornWriter(tmp_path / "t.vdp") as w:
        fn = w.add_measurement().add_ms_function()
        with pytest.raises(error):
            fn.add_spectrum([1.0], [1.0], **{field: value})
