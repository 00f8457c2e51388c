"""zelc, the converter program: every sample file converted and checked
against pyteomics reading the same file; command line, protocol and bad
input."""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig

import numpy as np
import pytest
from mzml_oracle import (
    chromatogram_time_units,
    chromatograms,
    open_source,
    retention_time,
    sample_name,
)

from vorn_data_access import access, converter

HERE = pathlib.Path(__file__).parent
BUNDLED = HERE / "data" / "mzml"
# The team's shared sample folder, ../shared/data/mzml seen from the checkout
# (a worktree sits one level deeper, so look upwards).
SHARED = next(
    (
        p / "shared" / "data" / "mzml"
        for p in HERE.parents
        if (p / "shared" / "data" / "mzml").is_dir()
    ),
    HERE / "no shared samples",
)
SOURCES = sorted(
    {
        p.name: p
        for folder in (SHARED, BUNDLED)
        if folder.is_dir()
        for p in folder.iterdir()
        if p.suffix in (".mzML", ".mzXML", ".gz")
    }.values()
)


def zelc_program():
    found = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    return str(found if found.exists() else shutil.which("zelc"))


def zelc(*args):
    return subprocess.run([zelc_program(), *map(str, args)], capture_output=True, timeout=120)


@pytest.fixture(scope="module")
def converted(tmp_path_factory):
    folder = tmp_path_factory.mktemp("zelc")
    done = {}

    def convert(source):
        if source not in done:
            dest = folder / (source.name + ".vdp")
            r = zelc(source, "-dest", dest, "-kp", "--keep-last-msfunc", "--background")
            assert r.returncode == 0 and r.stderr == b"", r.stderr
            done[source] = (dest, r.stdout.decode())
        return done[source]

    return convert


def our_spectra(f):
    """Every spectrum of the container by native id: (analysis kind, spectrum)."""
    out = {}
    m = f.get_measurement(0)
    for i in range(m.get_qual_analysis_count()):
        a = m.get_qual_analysis(i)
        for k in range(a.get_spectra_count()):
            s = a.get_spectrum(k)
            out[s.supplemental_properties["NativeId"]] = ("ms", s)
    for i in range(m.get_dad_analysis_count()):
        a = m.get_dad_analysis(i)
        for k in range(a.get_spectra_count()):
            s = a.get_spectrum(k)
            out[s.supplemental_properties["NativeId"]] = ("dad", s)
    return out


def same_values(ours, theirs):
    theirs = np.asarray(theirs)
    assert ours.dtype.itemsize == theirs.dtype.itemsize
    np.testing.assert_array_equal(ours, theirs.astype(theirs.dtype.newbyteorder("=")))


MZXML_METHODS = {
    "HCD": "beam-type collision-induced dissociation",
    "CID": "collision-induced dissociation",
}


def empty_like(dtype):
    return np.array([], dtype=dtype)


@pytest.mark.parametrize("source", SOURCES, ids=lambda p: p.name)
def test_spectra_match_pyteomics(converted, source):
    """Every spectrum of the source, the empty ones too, with its points,
    level, time, polarity and precursor details."""
    dest, _ = converted(source)
    with open_source(source) as reader:
        theirs = list(reader)
    with access.VornFile(str(dest)) as f:
        ours = our_spectra(f)
        assert len(ours) == len(theirs)
        for t in theirs:
            key = f"scan={t['num']}" if source.suffix == ".mzXML" else t["id"]
            kind, s = ours[key]
            if kind == "dad":
                points = s.get_spectrum_points()
                same_values(points.x_array, t["wavelength array"])
                same_values(points.intensity_array, t["intensity array"])
                continue
            profile = "profile spectrum" in t or t.get("centroided") == "0"
            points = s.get_profile_spectrum_points() if profile else s.get_spectrum_points()
            if "m/z array" in t:
                same_values(points.x_array, t["m/z array"])
                same_values(points.intensity_array, t["intensity array"])
            else:
                assert len(points) == 0
            level = t.get("ms level", t.get("msLevel"))
            assert s.acquisition_condition.ms_level == level
            rt = t["retentionTime"] if "retentionTime" in t else retention_time(t)
            assert s.retention_time == pytest.approx(float(rt), rel=1e-12)
            negative = "negative scan" in t or t.get("polarity") == "-"
            assert (s.acquisition_condition.polarity.name == "NEGATIVE") == negative
            precursor = precursor_of(t)
            assert s.acquisition_condition.precursor_value == precursor
            charge, intensity, activation = precursor_details(t)
            assert (s.precursor_charge, s.precursor_intensity) == (charge, intensity)
            assert s.activation_method == activation
            assert s.precursor_charge is None or type(s.precursor_charge) is int


def precursor_of(t):
    if "precursorMz" in t:
        return float(t["precursorMz"][0]["precursorMz"])
    for p in t.get("precursorList", {}).get("precursor", []):
        ion = p["selectedIonList"]["selectedIon"][0]
        return float(ion["selected ion m/z"])
    return None


def precursor_details(t):
    """Charge, intensity and activation method(s) of the first precursor as
    pyteomics reads them."""
    if "precursorMz" in t:
        p = t["precursorMz"][0]
        method = p.get("activationMethod")
        return p.get("precursorCharge"), p.get("precursorIntensity"), MZXML_METHODS.get(method)
    precursors = t.get("precursorList", {}).get("precursor", [])
    if not precursors:
        return None, None, None
    p = precursors[0]
    ion = p["selectedIonList"]["selectedIon"][0]
    methods = [name for name, value in p.get("activation", {}).items() if value == ""]
    return ion.get("charge state"), ion.get("peak intensity"), ", ".join(methods) or None


CHROMATOGRAM_FILES = [p for p in SOURCES if p.suffix == ".mzML" or p.name.endswith(".mzML.gz")]
KINDS = {"total ion current chromatogram": "TIC", "basepeak chromatogram": "BPC"}
MINUTES_PER = {"second": 1 / 60, "minute": 1.0, "hour": 60.0, "millisecond": 1 / 60000}


@pytest.mark.parametrize("source", CHROMATOGRAM_FILES, ids=lambda p: p.name)
def test_traces_match_pyteomics(converted, source):
    """Every chromatogram becomes a trace, the TIC and BPC too; times in
    minutes with the unit they came in kept."""
    dest, _ = converted(source)
    units = chromatogram_time_units(source)
    theirs = {
        cid: (time, intensity, params) for cid, time, intensity, params in chromatograms(source)
    }
    with access.VornFile(str(dest)) as f:
        m = f.get_measurement(0)
        ours = {}
        for kind, count, get in (
            ("quan", m.get_quan_analysis_count(), m.get_quan_analysis),
            ("analog", m.get_analog_analysis_count(), m.get_analog_analysis),
        ):
            for i in range(count):
                a = get(i)
                for k in range(a.get_trace_count()):
                    props = a.get_trace_description(
                        k
                    )._InternalSpectrumDescription__supplemental_properties
                    ours[props["NativeId"]] = (kind, props, a.get_trace_points(k))
    assert set(ours) == set(theirs)
    for cid, (time, intensity, params) in theirs.items():
        kind, props, points = ours[cid]
        srm = "selected reaction monitoring chromatogram" in params
        sim = "selected ion monitoring chromatogram" in params
        assert kind == ("quan" if srm or sim else "analog")
        if srm or sim:
            assert props["Kind"] == ("SRM" if srm else "SIM")
        for term, short in KINDS.items():
            if term in params:
                assert props["Kind"] == short
        assert props["TimeUnit"] == units[cid]
        factor = MINUTES_PER[units[cid]]
        minutes = (time.astype(np.float64) * factor).astype(time.dtype) if factor != 1 else time
        same_values(points.x_array, minutes)
        same_values(points.intensity_array, intensity)


@pytest.mark.parametrize("source", SOURCES, ids=lambda p: p.name)
def test_sample_names(converted, source):
    """The <sample> name, else the file's name without .mzML/.mzXML(.gz) only."""
    dest, _ = converted(source)
    expected = sample_name(source) if source.suffix != ".mzXML" else None
    if expected is None:
        expected = re.sub(r"\.(mzML|mzXML)(\.gz)?$", "", source.name)
    with access.VornFile(str(dest)) as f:
        assert f.get_measurement(0).sample_name == expected


def test_protocol_and_result_section(converted):
    source = BUNDLED / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"
    dest, stdout = converted(source)
    lines = stdout.split("\r\n")
    assert lines[0] == "### Start Progress" and lines[1] == "0.0"
    progress = [float(x) for x in lines[1 : lines.index("### End Progress")]]
    assert progress == sorted(progress) and progress[-1] == 100.0
    result = lines[
        lines.index("### Start ConversionResult") + 1 : lines.index("### End ConversionResult")
    ]
    assert result == [
        f"File: {dest}",
        "Measurements: 1",
        "Analyses: qual 1, quan 0, dad 1, analog 1",
        "Spectra: 732",
        "Traces: 2",  # the TIC and the absorbance chromatogram
        "Skipped: 1 'ms level' array (only m/z, wavelength, time and intensity arrays are kept)",
    ]


def test_options_select_kinds(tmp_path):
    source = BUNDLED / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"
    r = zelc(source, "-dest", tmp_path / "dad.vdp", "-dad", "--background")
    assert b"Analyses: qual 0, quan 0, dad 1, analog 0" in r.stdout
    r = zelc(BUNDLED / "three_test_scans.mzML", "-dest", tmp_path / "ms1.vdp", "-ms1")
    assert r.returncode == 0 and b"Spectra: 1" in r.stdout
    with access.VornFile(str(tmp_path / "ms1.vdp")) as f:
        s = f.get_measurement(0).get_qual_analysis(0).get_spectrum(0)
        with pytest.raises(Exception, match="No profile spectrum"):
            s.get_profile_spectrum_points()  # without -kp the profile is not kept
        assert s.spectrum_type.name == "CENTROID" and len(s.get_spectrum_points()) > 0
    r = zelc(
        BUNDLED / "MRM Neg C5.mzML",
        BUNDLED / "reserpine-MS2sim-010.mzML",
        "-dest",
        tmp_path / "sim.vdp",
        "-sim",
        "--force-split-by-measurement",
        "--background",
    )
    assert r.returncode == 0
    assert (tmp_path / "sim_1.vdp").exists() and (tmp_path / "sim_2.vdp").exists()
    # Each file's TIC and the SIM trace; the SRM traces are left out, and said so.
    assert b"Traces: 3\r\nSkipped: 4 SRM traces (-srm keeps them)\r\n" in r.stdout


@pytest.mark.parametrize(
    "content, message",
    [
        (b"", b"the file is empty"),
        (b"just text, no markup", b"not an XML file"),
        (b"<mzML><run><spectrumList><spectrum id='x'>", b"XML error"),
        (b"<html><body>hello</body></html>", b"not an mzML or mzXML file"),
        (b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03garbage", b"gzip"),
        (
            b"<mzML><run id='r'><spectrumList><spectrum id='s'><binaryDataArrayList>"
            b"<binaryDataArray><cvParam accession='MS:1000514'/><cvParam accession='MS:1000574'/>"
            b"<binary>AAAA</binary></binaryDataArray></binaryDataArrayList></spectrum>"
            b"</spectrumList></run></mzML>",
            b"zlib",
        ),
        (
            b"<mzML><fileDescription><sourceFileList><sourceFile id='a'><sourceFile id='b'/>"
            b"</sourceFile></sourceFileList></fileDescription></mzML>",
            b"misplaced <sourceFile> element",
        ),
        (
            b"<mzML><run id='r'><spectrumList><spectrum id='s'><precursorList><precursor>"
            b"<spectrum id='t'/></precursor></precursorList></spectrum></spectrumList>"
            b"</run></mzML>",
            b"misplaced <spectrum> element",
        ),
        (
            b"<mzXML><msRun><scan num='1' msLevel='2'><precursorMz><scan num='2'/>400"
            b"</precursorMz></scan></msRun></mzXML>",
            b"misplaced <scan> element",
        ),
    ],
)
def test_bad_input_gives_one_error_line(tmp_path, content, message):
    source = tmp_path / "bad.mzML"
    source.write_bytes(content)
    dest = tmp_path / "out.vdp"
    r = zelc(source, "-dest", dest, "--background")
    assert r.returncode == 1
    assert r.stderr.count(b"\n") == 1 and message in r.stderr and str(source).encode() in r.stderr
    assert os.listdir(tmp_path) == ["bad.mzML"]


def test_truncated_source_and_existing_destination(tmp_path):
    data = (BUNDLED / "three_test_scans.mzML").read_bytes()
    source = tmp_path / "cut.mzML"
    source.write_bytes(data[: len(data) // 2])
    dest = tmp_path / "out.vdp"
    dest.write_bytes(b"keep me")
    r = zelc(source, "-dest", dest)
    assert r.returncode == 1 and b"exists; use -f" in r.stderr and dest.read_bytes() == b"keep me"
    r = zelc(source, "-dest", dest, "-f")
    assert r.returncode == 1 and b"XML error" in r.stderr and dest.read_bytes() == b"keep me"


@pytest.mark.parametrize(
    "args, message",
    [
        ([], b"no source files"),
        (["a.mzML"], b"no destination"),
        (["a.mzML", "-dest"], b"needs a value"),
        (["a.mzML", "-dest", "b", "-x"], b"unknown option -x"),
        (["a.mzML", "-dest", "b", "--vorn-protocol-version", "2"], b"unsupported protocol version"),
    ],
)
def test_command_line_errors(args, message):
    r = zelc(*args)
    assert r.returncode == 2 and message in r.stderr


def test_help_and_version():
    assert zelc("--help").stdout.startswith(b"usage: zelc")
    assert zelc("--version").stdout == b"zelc 1.1.0\n"


def test_zel_converter_runs_the_real_program(tmp_path, monkeypatch):
    folder = tmp_path / "bin"
    folder.mkdir()
    (folder / "zelc.exe").symlink_to(zelc_program())
    monkeypatch.setenv("PATH", f"{folder}{os.pathsep}{os.environ['PATH']}")
    monkeypatch.setattr(sys, "platform", "win32")
    monkeypatch.setattr(os, "linesep", "\r\n")
    c = converter.ZelConverter()
    seen = []
    c.progress_report_callback = seen.append
    dest = tmp_path / "out.vdp"
    result = c.convert([str(BUNDLED / "three_test_scans.mzML")], str(dest), False).result(60)
    assert f"File: {dest}\r\n" in result and "Spectra: 3\r\n" in result
    # What was left out reaches the caller as the program said it.
    assert "Skipped: 3 profile spectra kept as centroids only (-kp keeps them)\r\n" in result
    assert seen[0] == 0.0 and seen[-1] == 100.0
    with access.VornFile(str(dest)) as f:
        assert f.get_measurement(0).get_qual_analysis(0).get_spectra_count() == 3


KEPT = HERE.parent / "fuzz" / "regressions" / "zelc_xml"


@pytest.mark.parametrize("case", sorted(KEPT.iterdir()), ids=lambda p: p.name[:12])
@pytest.mark.parametrize("suffix", [".mzML", ".mzXML"])
def test_kept_fuzz_inputs(tmp_path, case, suffix):
    """Inputs that once crashed the readers under the fuzzer: a clean refusal
    (exit status 1 and a message) or a conversion, never a signal."""
    source = tmp_path / ("kept" + suffix)
    source.write_bytes(case.read_bytes())
    r = zelc(source, "-dest", tmp_path / "kept.vdp")
    assert r.returncode in (0, 1), r.stderr
    assert r.returncode == 0 or r.stderr.startswith(b"zelc: ")
