"""Small mzML and mzXML texts made in the tests: empty arrays under every
declared compression, odd units, hostile sizes. Only what zelc reads is
written; the files are valid where a test does not say otherwise."""

import base64
import struct
import zlib

MZ = '<cvParam accession="MS:1000514" name="m/z array"/>'
INTENSITY = '<cvParam accession="MS:1000515" name="intensity array"/>'
TIME = '<cvParam accession="MS:1000595" name="time array" unitAccession="{unit}"/>'
FLOAT64 = '<cvParam accession="MS:1000523" name="64-bit float"/>'
FLOAT32 = '<cvParam accession="MS:1000521" name="32-bit float"/>'
ZLIB = '<cvParam accession="MS:1000574" name="zlib compression"/>'
NO_COMPRESSION = '<cvParam accession="MS:1000576" name="no compression"/>'
NUMPRESS = {
    "linear": '<cvParam accession="MS:1002312" name="MS-Numpress linear prediction"/>',
    "pic": '<cvParam accession="MS:1002313" name="MS-Numpress positive integer"/>',
    "slof": '<cvParam accession="MS:1002314" name="MS-Numpress short logged float"/>',
    "linear+zlib": '<cvParam accession="MS:1002746" name="linear prediction followed by zlib"/>',
    "pic+zlib": '<cvParam accession="MS:1002747" name="positive integer followed by zlib"/>',
    "slof+zlib": '<cvParam accession="MS:1002748" name="short logged float followed by zlib"/>',
}


def encode(values, bits=64, compress=True):
    raw = struct.pack(f"<{len(values)}{'d' if bits == 64 else 'f'}", *values)
    return base64.b64encode(zlib.compress(raw) if compress else raw).decode()


def array(role, text, encoding=ZLIB + FLOAT64, length=None):
    size = f' encodedLength="{len(text)}"' if length is None else ""
    return f"<binaryDataArray{size}>{encoding}{role}<binary>{text}</binary></binaryDataArray>"


def spectrum(
    id_,
    arrays,
    level=1,
    rt="1.5",
    rt_unit="UO:0000031",
    extra="",
    scan_extra="",
    precursor="",
):
    arrays_text = (
        f'<binaryDataArrayList count="{len(arrays)}">{"".join(arrays)}</binaryDataArrayList>'
    )
    return (
        f'<spectrum id="{id_}" index="0" defaultArrayLength="0">'
        f'<cvParam accession="MS:1000511" name="ms level" value="{level}"/>'
        '<cvParam accession="MS:1000127" name="centroid spectrum"/>'
        f"{extra}"
        '<scanList count="1"><scan>'
        f'<cvParam accession="MS:1000016" name="scan start time" value="{rt}" '
        f'unitAccession="{rt_unit}"/>{scan_extra}'
        f"</scan></scanList>{precursor}{arrays_text}</spectrum>"
    )


def chromatogram(id_, arrays, kind='<cvParam accession="MS:1000235" name="total ion current"/>'):
    arrays_text = (
        f'<binaryDataArrayList count="{len(arrays)}">{"".join(arrays)}</binaryDataArrayList>'
    )
    return (
        f'<chromatogram id="{id_}" index="0" defaultArrayLength="0">{kind}'
        f"{arrays_text}</chromatogram>"
    )


def mzml(spectra=(), chromatograms=(), before_root="", sample=""):
    spectrum_list = (
        f'<spectrumList count="{len(spectra)}">{"".join(spectra)}</spectrumList>' if spectra else ""
    )
    chromatogram_list = (
        f'<chromatogramList count="{len(chromatograms)}">{"".join(chromatograms)}'
        "</chromatogramList>"
        if chromatograms
        else ""
    )
    sample_list = (
        f'<sampleList count="1"><sample id="s1" name="{sample}"/></sampleList>' if sample else ""
    )
    return (
        f'<?xml version="1.0" encoding="utf-8"?>{before_root}'
        f'<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">{sample_list}'
        f'<run id="r">{spectrum_list}{chromatogram_list}</run></mzML>'
    )


def mzxml(scans):
    return (
        '<?xml version="1.0" encoding="ISO-8859-1"?>'
        '<mzXML xmlns="http://sashimi.sourceforge.net/schema_revision/mzXML_3.2">'
        f'<msRun scanCount="{len(scans)}">{"".join(scans)}</msRun></mzXML>'
    )


def mzxml_scan(num, peaks_text, count, level=1, rt="PT90S", compressed=True, inner=""):
    compression = 'compressionType="zlib"' if compressed else 'compressionType="none"'
    return (
        f'<scan num="{num}" msLevel="{level}" peaksCount="{count}" retentionTime="{rt}">{inner}'
        f'<peaks precision="32" byteOrder="network" contentType="m/z-int" {compression} '
        f'compressedLen="0">{peaks_text}</peaks></scan>'
    )
