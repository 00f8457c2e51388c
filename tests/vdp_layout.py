"""An independent reading of the container's block structure (docs/format.md),
used to damage files on purpose: it finds every block and field offset and
can re-seal checksums so that a damaged value reaches the reader's own checks."""

import struct

_POLY = 0x82F63B78
_TABLE = []
for _i in range(256):
    _c = _i
    for _ in range(8):
        _c = (_c >> 1) ^ _POLY if _c & 1 else _c >> 1
    _TABLE.append(_c)


def crc32c(data):
    c = 0xFFFFFFFF
    for b in data:
        c = _TABLE[(c ^ b) & 0xFF] ^ (c >> 8)
    return c ^ 0xFFFFFFFF


def sym(text):
    return struct.unpack("<I", text.encode())[0]


FRAMED = {sym("VJT("): "jump table", sym("VFI("): "function index", sym("VSI("): "spectrum index"}
SPECTRUM = sym("VSPD")


def blocks(data):
    """(position, size, kind) of every block between header and trailer."""
    out, pos, end = [], 32, len(data) - 32
    while pos < end:
        (s,) = struct.unpack_from("<I", data, pos)
        if s == SPECTRUM:
            (length,) = struct.unpack_from("<I", data, pos + 8)
            size = 12 + length
            out.append((pos, size, "spectrum data"))
        else:
            (length,) = struct.unpack_from("<Q", data, pos + 8)
            size = 16 + length + 4
            out.append((pos, size, FRAMED[s]))
        pos += size
    assert pos == end
    return out


def int64_array_size(data, at):
    n, enc = struct.unpack_from("<IB", data, at)
    if enc == 0:
        return 5 + 8 * n
    (stored,) = struct.unpack_from("<I", data, at + 5)
    return 9 + stored


def fields(data, block):
    """Offsets of the counted fields of a block: count, first int64 array and
    compressed buffer header (framed blocks) or point/chunk counts (spectrum data)."""
    pos, _, kind = block
    if kind == "spectrum data":
        return {"points": pos + 16, "chunks": pos + 20, "chunk0": pos + 24}
    body = pos + 16
    if kind == "jump table":
        count, array = body + 12, body + 16
    elif kind == "function index":
        count, array = body, body + 2
    else:
        count, array = body, body + 5
    buffer = array + int64_array_size(data, array)
    if kind == "spectrum index" and data[body + 4]:
        buffer += int64_array_size(data, buffer)
    return {"count": count, "array": array, "buffer": buffer, "body": body}


def reseal(data, block):
    """Recomputes the checksum of a block after its bytes were changed."""
    pos, size, kind = block
    if kind == "spectrum data":
        (chunks,) = struct.unpack_from("<I", data, pos + 20)
        header_end = min(pos + 24 + 40 * chunks, pos + size)
        struct.pack_into("<I", data, pos + 4, crc32c(data[pos + 8 : header_end]))
    else:
        struct.pack_into("<I", data, pos + 4, crc32c(data[pos + 16 : pos + size - 4]))


def reseal_header(data):
    struct.pack_into("<I", data, 28, crc32c(data[:28]))


def reseal_trailer(data):
    t = len(data) - 32
    struct.pack_into("<I", data, t + 28, crc32c(data[t : t + 28]))


def _array_fields(data, name, at):
    n, enc = struct.unpack_from("<IB", data, at)
    out = [(f"{name} count", at, "<I")]
    if enc == 0:
        out += [(f"{name}[{i}]", at + 5 + 8 * i, "<q") for i in range(n)]
    else:
        out.append((f"{name} stored size", at + 5, "<I"))
    return out


def integer_fields(data, block):
    """(name, offset, struct format) of every count, length and offset a block
    holds: the values a hostile file would lie about."""
    pos, _, kind = block
    if kind == "spectrum data":
        (chunks,) = struct.unpack_from("<I", data, pos + 20)
        out = [
            ("body length", pos + 8, "<I"),
            ("points", pos + 16, "<I"),
            ("chunks", pos + 20, "<I"),
        ]
        for c in range(chunks):
            entry = pos + 24 + 40 * c
            out += [
                (f"chunk{c} points", entry, "<I"),
                (f"chunk{c} x bytes", entry + 4, "<I"),
                (f"chunk{c} intensity bytes", entry + 8, "<I"),
            ]
        return out
    f = fields(data, block)
    count_format = {"jump table": "<I", "function index": "<H", "spectrum index": "<I"}[kind]
    out = [("body length", pos + 8, "<Q"), ("count", f["count"], count_format)]
    out += _array_fields(data, "offsets", f["array"])
    if kind == "spectrum index" and data[f["body"] + 4]:
        out += _array_fields(
            data, "profile offsets", f["array"] + int64_array_size(data, f["array"])
        )
    b = f["buffer"]
    out += [
        ("record count", b + 4, "<I"),
        ("raw length", b + 8, "<Q"),
        ("stored length", b + 16, "<Q"),
    ]
    return out


def reseal_any(data, block):
    """Re-seals a block whose length field may have changed: the trailing
    checksum of a framed block moves with its length."""
    pos, _, kind = block
    if kind == "spectrum data":
        reseal(data, block)
        return
    (length,) = struct.unpack_from("<Q", data, pos + 8)
    end = pos + 16 + length
    if end + 4 <= len(data):
        reseal(data, (pos, 16 + length + 4, kind))
