"""Damaged, truncated and hostile files raise a clean exception naming the
fault and its offset; nothing crashes, reads out of bounds or allocates
without limit."""

import pathlib
import struct

import numpy as np
import pytest
import vdp_layout as L
from conftest import read_spectrum_index_block

from vorn_data_access import access
from vorn_data_access.exception import VornFormatError
from vorn_data_access.writer import VornWriter


def walk(path):
    """Opens the file and reads everything in it through the reader protocol."""
    with access.VornFile(str(path)) as f:
        for i in range(f.get_measurement_count()):
            m = f.get_measurement(i)
            for kind in ("qual", "dad", "quan", "analog"):
                for fi in getattr(m, f"_Measurement__{kind}_index_list"):
                    description = fi._FunctionIndex__function_description
                    qd = description._FunctionDescription__qual_description
                    wavelengths = qd and qd._QualDescription__wavelength_arr
                    reader = fi._FunctionIndex__reader
                    for rec in read_spectrum_index_block(reader, fi._FunctionIndex__position):
                        for pos in (
                            rec._SpectrumIndex__position,
                            rec._SpectrumIndex__profile_position,
                        ):
                            if not pos:
                                continue
                            reader._VdpFileReader__set_buffer(pos)
                            if wavelengths is not None:
                                reader._VdpFileReader__read_dad_spectrum(wavelengths)
                            else:
                                reader._VdpFileReader__read_spectrum()


@pytest.fixture(scope="module")
def original(tmp_path_factory):
    rng = np.random.default_rng(3)
    path = tmp_path_factory.mktemp("damage") / "original.vdp"
    with VornWriter(path, chunk_points=16) as w:
        m = w.add_measurement(sample_name="S")
        ms = m.add_ms_function()
        for i in range(3):
            n = 40
            ms.add_spectrum(
                np.sort(rng.uniform(100, 200, n)),
                rng.uniform(0, 9, n),
                retention_time=float(i),
                ms_level=1 + i % 2,
                profile=(np.linspace(100, 101, 8), np.ones(8)) if i == 0 else None,
            )
        dad = m.add_dad_function([200.0, 210.0, 220.0])
        dad.add_spectrum(None, [0.1, 0.2, 0.3], retention_time=0.5)
        m.add_quan_function().add_spectrum([0.1, 0.2], [5.0, 6.0])
        w.add_measurement()
    walk(path)
    return path.read_bytes()


def damaged(tmp_path, data):
    path = tmp_path / "damaged.vdp"
    path.write_bytes(bytes(data))
    return path


def test_every_flipped_byte_is_detected(tmp_path, original):
    path = tmp_path / "flip.vdp"
    for offset in range(len(original)):
        data = bytearray(original)
        data[offset] ^= 0xA5
        path.write_bytes(data)
        with pytest.raises(VornFormatError, match="at offset"):
            walk(path)


def test_every_truncation_is_detected(tmp_path, original):
    path = tmp_path / "cut.vdp"
    boundaries = {pos for pos, _, _ in L.blocks(original)}
    for size in sorted(boundaries | set(range(0, len(original), 7)) | {len(original) - 1}):
        path.write_bytes(original[:size])
        with pytest.raises(VornFormatError):
            walk(path)


def test_extended_file_is_detected(tmp_path, original):
    with pytest.raises(VornFormatError, match="trailer missing"):
        walk(damaged(tmp_path, original + b"\0" * 32))


def block_of(data, kind, nth=0):
    return [b for b in L.blocks(data) if b[2] == kind][nth]


def set_field(data, kind, field, fmt, value, nth=0, delta=0):
    block = block_of(data, kind, nth)
    struct.pack_into(fmt, data, L.fields(data, block)[field] + delta, value)
    L.reseal(data, block)


CASES = {
    "measurement count beyond its limit": (
        lambda d: set_field(d, "jump table", "count", "<I", 1 << 31),
        "exceeds the limit",
    ),
    "measurement count beyond its offsets": (
        lambda d: set_field(d, "jump table", "count", "<I", 3),
        "holds 2 entries for a count of 3",
    ),
    "function block offset beyond the file": (
        lambda d: set_field(d, "jump table", "array", "<q", 1 << 40, delta=5),
        "beyond the end of the file",
    ),
    "offset that overflows a position": (
        lambda d: set_field(d, "jump table", "array", "<q", (1 << 63) - 1, delta=5),
        "overflows",
    ),
    "function count beyond its offsets": (
        lambda d: set_field(d, "function index", "count", "<H", 9),
        "offset array holds",
    ),
    "spectrum count beyond its offsets": (
        lambda d: set_field(d, "spectrum index", "count", "<I", 1 << 30),
        "offset array holds",
    ),
    "description buffer claiming a gigabyte and more": (
        lambda d: set_field(d, "jump table", "buffer", "<Q", 1 << 40, delta=8),
        "exceeds the limit",
    ),
    "description buffer claiming other content": (
        lambda d: set_field(d, "function index", "buffer", "<Q", 4096, delta=8),
        "stored buffer length|declares",
    ),
    "description buffer with a wrong record count": (
        lambda d: set_field(d, "spectrum index", "buffer", "<I", 2, delta=4),
        "records requested|records used",
    ),
    "spectrum point count beyond its limit": (
        lambda d: set_field(d, "spectrum data", "points", "<I", 1 << 31),
        "exceeds the limit",
    ),
    "spectrum chunk count beyond its points": (
        lambda d: set_field(d, "spectrum data", "chunks", "<I", 1000),
        "does not fit",
    ),
    "chunk larger than its block": (
        lambda d: set_field(d, "spectrum data", "chunk0", "<I", 1 << 30, delta=4),
        "beyond its data block|does not match",
    ),
    "chunk point counts that do not add up": (
        lambda d: set_field(d, "spectrum data", "chunk0", "<I", 1, delta=0),
        "do not add up|does not match its point count",
    ),
}


@pytest.mark.parametrize("case", CASES)
def test_hostile_counts_and_offsets(tmp_path, original, case):
    mutate, message = CASES[case]
    data = bytearray(original)
    mutate(data)
    with pytest.raises(VornFormatError, match=message):
        walk(damaged(tmp_path, data))


@pytest.mark.parametrize(
    "offset, value, message",
    [
        (8, struct.pack("<HHH", 2, 0, 0), "unsupported format version 2.0.0"),
        (8, struct.pack("<HHH", 1, 9, 0), "unsupported format version 1.9.0"),
        (20, b"\x01", "reserved bytes"),
    ],
)
def test_header_fields(tmp_path, original, offset, value, message):
    data = bytearray(original)
    data[offset : offset + len(value)] = value
    L.reseal_header(data)
    with pytest.raises(VornFormatError, match=message):
        walk(damaged(tmp_path, data))


@pytest.mark.parametrize(
    "field, value, message",
    [
        (8, 0, "lies outside the file body"),
        (8, 1 << 62, "lies outside the file body"),
        (16, 12345, "differs from the recorded size"),
    ],
)
def test_trailer_fields(tmp_path, original, field, value, message):
    data = bytearray(original)
    struct.pack_into("<Q", data, len(data) - 32 + field, value)
    L.reseal_trailer(data)
    with pytest.raises(VornFormatError, match=message):
        walk(damaged(tmp_path, data))


def test_jump_table_position_pointing_at_another_block(tmp_path, original):
    data = bytearray(original)
    struct.pack_into("<Q", data, len(data) - 24, block_of(data, "function index")[0])
    L.reseal_trailer(data)
    with pytest.raises(
        VornFormatError,
        match="expected BEGIN_OF_JUMP_TABLE, found BEGIN_OF_FUNCTION_INDEX_BLOCK at offset",
    ):
        walk(damaged(tmp_path, data))


@pytest.mark.parametrize("content", [b"", b"\x89VRN\r\n\x1a\n" + b"\0" * 100, b"<mzML>" * 20])
def test_foreign_and_tiny_files(tmp_path, content):
    with pytest.raises(VornFormatError):
        access.VornFile(str(damaged(tmp_path, content)))


def test_small_frame_claiming_many_points_is_refused_before_allocation(tmp_path):
    """A chunk whose zstd frame declares less than its points need: refused from
    the frame header, before the points' arrays exist."""
    path = tmp_path / "bomb.vdp"
    with VornWriter(path) as w:
        w.add_measurement().add_ms_function().add_spectrum(np.linspace(100, 200, 64), np.zeros(64))
    data = bytearray(path.read_bytes())
    block = block_of(data, "spectrum data")
    f = L.fields(data, block)
    struct.pack_into("<I", data, f["points"], 1 << 24)
    struct.pack_into("<I", data, f["chunk0"], 1 << 24)
    L.reseal(data, block)
    with pytest.raises(
        VornFormatError, match=r"declares \d+ content bytes where \d{9} are expected"
    ):
        walk(damaged(tmp_path, data))


def hostile_values(fmt, file_size):
    top = (1 << (8 * struct.calcsize(fmt) - (fmt[-1].islower()))) - 1
    return sorted(v for v in {0, 1, file_size, top} if v <= top)


def test_every_count_length_and_offset_lying(tmp_path, original):
    """Each count, length and offset in turn set to 0, 1, the file size and the
    largest value of its type, checksums re-sealed so the lie reaches the
    reader's own checks: every one is refused."""
    path = tmp_path / "lie.vdp"
    accepted = []
    for block in L.blocks(original):
        for name, offset, fmt in L.integer_fields(original, block):
            (actual,) = struct.unpack_from(fmt, original, offset)
            for value in hostile_values(fmt, len(original)):
                if value == actual:
                    continue
                data = bytearray(original)
                struct.pack_into(fmt, data, offset, value)
                L.reseal_any(data, block)
                path.write_bytes(data)
                try:
                    walk(path)
                except VornFormatError as e:
                    assert "offset" in str(e), str(e)
                else:
                    accepted.append((block[2], block[0], name, value))
    assert accepted == []


@pytest.mark.parametrize("shortfall", [1, 4, 8, 40])
def test_every_block_cut_short(tmp_path, original, shortfall):
    """A block whose length says it ends before its content does, re-sealed."""
    path = tmp_path / "short.vdp"
    for block in L.blocks(original):
        pos, size, kind = block
        data = bytearray(original)
        if kind == "spectrum data":
            (length,) = struct.unpack_from("<I", data, pos + 8)
            struct.pack_into("<I", data, pos + 8, max(0, length - shortfall))
        else:
            (length,) = struct.unpack_from("<Q", data, pos + 8)
            struct.pack_into("<Q", data, pos + 8, max(0, length - shortfall))
        L.reseal_any(data, block)
        path.write_bytes(data)
        with pytest.raises(VornFormatError, match="at offset"):
            walk(path)


KEPT = pathlib.Path(__file__).parent.parent / "fuzz" / "regressions" / "container"


@pytest.mark.parametrize("case", sorted(KEPT.iterdir()), ids=lambda p: p.name[:12])
def test_kept_fuzz_inputs(tmp_path, case):
    """Inputs that once crashed the reader under the fuzzer: read, or refused
    with VornFormatError."""
    try:
        walk(damaged(tmp_path, case.read_bytes()))
    except VornFormatError as e:
        assert "at offset" in str(e)
