"""pyteomics as the independent reader of the sample files: their spectra as
numpy arrays and fields, and a container written from them with our writer."""

import functools

import numpy as np
from pyteomics import mzml, mzxml
from pyteomics.xml import load_psims

from vorn_data_access.common import PolarityTypes, SpectrumTypes
from vorn_data_access.writer import VornWriter


@functools.cache
def _vocabulary():
    return load_psims()


def read_mzml(path):
    """pyteomics' reader, reading sequentially (its index of an unindexed file
    is slow to build) with the PSI-MS vocabulary loaded once."""
    return mzml.MzML(str(path), use_index=False, cv=_vocabulary())


def retention_time(spectrum):
    scan = spectrum["scanList"]["scan"][0]
    rt = scan["scan start time"]
    unit = getattr(rt, "unit_info", "minute")
    return float(rt) / 60.0 if unit == "second" else float(rt)


def ms_spectra(path):
    """The mass spectra of an mzML file, in file order, as writer keywords."""
    out = []
    with read_mzml(path) as reader:
        for s in reader:
            if "ms level" not in s:
                continue
            fields = dict(
                retention_time=retention_time(s),
                ms_level=int(s["ms level"]),
                polarity=PolarityTypes.NEGATIVE if "negative scan" in s else PolarityTypes.POSITIVE,
                spectrum_type=SpectrumTypes.PROFILE
                if "profile spectrum" in s
                else SpectrumTypes.CENTROID,
            )
            precursors = s.get("precursorList", {}).get("precursor", [])
            if precursors:
                ion = precursors[0]["selectedIonList"]["selectedIon"][0]
                fields["precursor_value"] = float(ion["selected ion m/z"])
            out.append((s["m/z array"], s["intensity array"], fields))
    return out


def absorbance_spectra(path):
    """The diode-array spectra of an mzML file: (wavelengths, absorbances, retention time)."""
    out = []
    with read_mzml(path) as reader:
        for s in reader:
            if "wavelength array" in s:
                out.append((s["wavelength array"], s["intensity array"], retention_time(s)))
    return out


def write_ms(path, spectra, **options):
    with VornWriter(path, overwrite=True, **options) as w:
        fn = w.add_measurement().add_ms_function()
        for mz, intensity, fields in spectra:
            fn.add_spectrum(mz, intensity, **fields)
    return path


def mzxml_spectra(path):
    out = []
    with mzxml.MzXML(str(path)) as reader:
        for s in reader:
            out.append(
                (
                    s["m/z array"],
                    s["intensity array"],
                    dict(retention_time=float(s["retentionTime"]), ms_level=int(s["msLevel"])),
                )
            )
    return out


def window_sum(mz, intensity, lo, hi):
    """The XIC of one spectrum by numpy: a sequential sum (cumsum adds in
    point order) and the first most intense m/z."""
    mz = mz.astype(np.float64)  # compare exact values, as the reader does
    inside = (mz >= lo) & (mz <= hi)
    values = intensity[inside].astype(np.float64)
    if not len(values):
        return 0.0, 0.0
    return float(np.cumsum(values)[-1]), float(mz[inside][np.argmax(values)])


def open_source(path):
    """A reader of an mzML or mzXML file, gzip-compressed or not."""
    import gzip

    path = str(path)
    handle = gzip.open(path, "rb") if path.endswith(".gz") else path
    if ".mzXML" in path:
        return mzxml.MzXML(handle)
    return mzml.MzML(handle, use_index=False, cv=_vocabulary())


def chromatograms(path):
    """(id, time array, intensity array, params) of every chromatogram of an mzML file."""
    with open_source(path) as reader:
        return [
            (c["id"], c["time array"], c["intensity array"], c)
            for c in reader.iterfind("chromatogram")
        ]


def _local(tag):
    return tag.rsplit("}", 1)[-1]


def chromatogram_time_units(path):
    """The unit name of every chromatogram's time array, by chromatogram id,
    read with the standard library's XML parser."""
    import gzip
    import xml.etree.ElementTree as ET

    units, current = {}, None
    handle = gzip.open(path, "rb") if str(path).endswith(".gz") else open(path, "rb")
    with handle:
        for event, element in ET.iterparse(handle, events=("start", "end")):
            tag = _local(element.tag)
            if event == "start" and tag == "chromatogram":
                current = element.get("id")
            elif event == "end" and tag == "cvParam" and current is not None:
                if element.get("accession") == "MS:1000595":
                    units[current] = element.get("unitName") or "minute"
            elif event == "end" and tag == "chromatogram":
                current = None
                element.clear()
            elif event == "end" and tag == "spectrum":
                element.clear()
    return units


def sample_name(path):
    """The first <sample>'s name, or its "sample name" term (mzML); else None."""
    import gzip
    import xml.etree.ElementTree as ET

    handle = gzip.open(path, "rb") if str(path).endswith(".gz") else open(path, "rb")
    in_sample = False
    with handle:
        for event, element in ET.iterparse(handle, events=("start", "end")):
            tag = _local(element.tag)
            if event == "start" and tag == "sample":
                if element.get("name"):
                    return element.get("name")
                in_sample = True
            elif event == "end" and tag == "cvParam" and in_sample:
                if element.get("accession") == "MS:1000002":
                    return element.get("value") or None
            elif event == "end" and tag == "sample" and in_sample:
                return None
            elif event == "start" and tag == "run":
                return None
    return None
