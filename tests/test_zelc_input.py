# ruff: noqa: E501  (mzML text is clearer unbroken)
"""zelc on inputs made here: empty arrays under every declared compression,
a large prologue, precursor details, odd time units, sample names, values it
cannot store, and hostile sizes, which it refuses before allocating for them."""

import gzip
import math
import resource
import subprocess
import zlib

import numpy as np
import pytest
from mzml_text import (
    FLOAT32,
    FLOAT64,
    INTENSITY,
    MZ,
    NO_COMPRESSION,
    NUMPRESS,
    TIME,
    ZLIB,
    array,
    chromatogram,
    encode,
    mzml,
    mzxml,
    mzxml_scan,
    spectrum,
)
from test_zelc import BUNDLED, SHARED, zelc, zelc_program

from vorn_data_access import access
from vorn_data_access._internal._reader import VdpFileReader
from vorn_data_access.common import ValueRange
from vorn_data_access.qual import ChromatogramFilterOption


def convert(tmp_path, text, *options, name="in.mzML"):
    source = tmp_path / name
    source.write_bytes(text if isinstance(text, bytes) else text.encode())
    dest = tmp_path / "out.vdp"
    r = zelc(source, "-dest", dest, "-f", "--background", *options)
    return r, dest


def result_lines(r):
    text = r.stdout.decode()
    section = text[
        text.index("### Start ConversionResult") : text.index("### End ConversionResult")
    ]
    return section.split("\r\n")[1:-1]


def converted_ok(r):
    assert r.returncode == 0 and r.stderr == b"", r.stderr
    return result_lines(r)


ENCODINGS = {
    "none": NO_COMPRESSION + FLOAT64,
    "zlib": ZLIB + FLOAT32,
    **{name: term + FLOAT64 for name, term in NUMPRESS.items()},
}


@pytest.mark.parametrize("encoding", ENCODINGS, ids=str)
def test_empty_arrays_are_empty_whatever_the_compression(tmp_path, encoding):
    """Converters write an empty spectrum as <binary/> with the file's usual
    compression declared; it is a spectrum (or trace) of 0 points."""
    terms = ENCODINGS[encoding]
    empty = [array(MZ, "", terms), array(INTENSITY, "", terms)]
    text = mzml(
        spectra=[
            spectrum("empty", empty, level=2),
            spectrum(
                "full", [array(MZ, encode([100.0, 200.0])), array(INTENSITY, encode([1.0, 2.0]))]
            ),
            spectrum("no arrays", [], level=2),
        ],
        chromatograms=[
            chromatogram(
                "TIC",
                [array(TIME.format(unit="UO:0000031"), "", terms), array(INTENSITY, "", terms)],
            )
        ],
    )
    r, dest = convert(tmp_path, text)
    lines = converted_ok(r)
    assert "Spectra: 3" in lines and "Traces: 1" in lines
    with access.VornFile(str(dest)) as f:
        m = f.get_measurement(0)
        a = m.get_qual_analysis(0)
        counts = [len(a.get_spectrum(i).get_spectrum_points()) for i in range(3)]
        assert counts == [0, 2, 0]
        assert str(a.get_spectrum(0)) == "[0] 0 points"
        tic = m.get_analog_analysis(0)
        assert len(tic.get_trace_points(0)) == 0


WAVELENGTH = '<cvParam accession="MS:1000617" name="wavelength array"/>'
ABSORBANCE = '<cvParam accession="MS:1000804" name="electromagnetic radiation spectrum"/>'


class ReadingReader(VdpFileReader):
    """A reader written in Python: chromatograms read spectra through it."""

    reads = 0

    def _VdpFileReader__read_spectrum(self):
        ReadingReader.reads += 1
        return super()._VdpFileReader__read_spectrum()

    def _VdpFileReader__read_dad_spectrum(self, wavelength_arr):
        ReadingReader.reads += 1
        return super()._VdpFileReader__read_dad_spectrum(wavelength_arr)


@pytest.mark.parametrize("reader", ["package", "python"])
def test_spectrum_without_arrays_in_chromatograms(tmp_path, monkeypatch, reader):
    """A spectrum without arrays is stored without x values, between spectra
    that have them: chromatograms count it as a spectrum of no points, read by
    the package's reader or through one written in Python."""

    def ms(i, rt, arrays=True):
        points = [array(MZ, encode([100.0, 200.0])), array(INTENSITY, encode([i, 2.0]))]
        return spectrum(f"scan={i}", points if arrays else [], rt=rt)

    def dad(i, rt, absorbances=None):
        arrays = []
        if absorbances:
            wavelengths = encode([200.0, 210.0, 220.0])
            arrays = [array(WAVELENGTH, wavelengths), array(INTENSITY, encode(absorbances))]
        return spectrum(f"dad={i}", arrays, rt=rt, extra=ABSORBANCE)

    text = mzml(
        spectra=[
            ms(1, "1.0"),
            ms(2, "2.0", arrays=False),
            ms(3, "3.0"),
            dad(1, "1.0", [1.0, 2.0, 3.0]),
            dad(2, "2.0"),
            dad(3, "3.0", [4.0, 5.0, 6.0]),
        ]
    )
    r, dest = convert(tmp_path, text)
    assert "Analyses: qual 1, quan 0, dad 1, analog 0" in converted_ok(r)
    if reader == "python":
        monkeypatch.setattr(access, "VdpFileReader", ReadingReader)
    ReadingReader.reads = 0

    def points(chromatogram):
        return [(p.spectrum_index, p.retention_time, p.intensity, p.base_x) for p in chromatogram]

    with access.VornFile(str(dest)) as f:
        m = f.get_measurement(0)
        a = m.get_qual_analysis(0)
        (condition,) = a.unique_acquisition_conditions
        xic = a.get_xic(ChromatogramFilterOption(condition, ValueRange(50, 250)))
        assert points(xic) == [(0, 1.0, 3.0, 200.0), (1, 2.0, 0.0, 0.0), (2, 3.0, 5.0, 100.0)]
        d = m.get_dad_analysis(0)
        window = ValueRange(190, 230)
        assert points(d.get_chromatogram(window)) == [
            (0, 1.0, 2.0, 220.0),
            (1, 2.0, 0.0, -1.0),
            (2, 3.0, 5.0, 220.0),
        ]
        assert points(d.get_max_plot(window, 0.0)) == [
            (0, 1.0, 3.0, 220.0),
            (1, 2.0, 0, -1),
            (2, 3.0, 6.0, 220.0),
        ]
        assert [len(d.get_spectrum(i).get_spectrum_points()) for i in range(3)] == [3, 0, 3]
    assert ReadingReader.reads == (0 if reader == "package" else 9)


@pytest.mark.parametrize("compressed", [True, False], ids=["zlib", "plain"])
def test_empty_mzxml_scans(tmp_path, compressed):
    peaks = encode([100.0, 5.0, 200.0, 6.0], bits=32, compress=compressed)
    # mzXML peaks are big-endian: the content does not matter for the count.
    text = mzxml(
        [
            mzxml_scan(1, "", 0, compressed=compressed),
            mzxml_scan(2, peaks, 2, compressed=compressed),
            '<scan num="3" msLevel="1" peaksCount="0" retentionTime="PT91S"></scan>',
        ]
    )
    r, dest = convert(tmp_path, text, name="in.mzXML")
    assert "Spectra: 3" in converted_ok(r)
    with access.VornFile(str(dest)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        assert [len(a.get_spectrum(i).get_spectrum_points()) for i in range(3)] == [0, 2, 0]


@pytest.mark.parametrize("keep_profile", [False, True], ids=["centroids", "-kp"])
def test_profile_spectrum_without_peaks_keeps_zero_centroids(tmp_path, keep_profile):
    profile = '<cvParam accession="MS:1000128" name="profile spectrum"/>'
    flat = spectrum(
        "flat",
        [array(MZ, encode([100.0, 100.1, 100.2])), array(INTENSITY, encode([0.0, 0.0, 0.0]))],
        extra=profile,
    )
    r, dest = convert(tmp_path, mzml(spectra=[flat]), *(["-kp"] if keep_profile else []))
    lines = converted_ok(r)
    assert (
        "Skipped: 1 profile spectrum kept as centroids only (-kp keeps it)" in lines
    ) != keep_profile
    with access.VornFile(str(dest)) as f:
        s = f.get_measurement(0).get_qual_analysis(0).get_spectrum(0)
        assert len(s.get_spectrum_points()) == 0
        if keep_profile:
            assert len(s.get_profile_spectrum_points()) == 3


@pytest.mark.parametrize(
    "prologue",
    [
        "<!--" + "a large comment " * 1100 + "-->",
        "<!DOCTYPE mzML [<!--" + "x" * 20000 + "-->]>",
    ],
    ids=["comment", "doctype"],
)
def test_large_prologue_before_the_root(tmp_path, prologue):
    one = spectrum("s", [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0]))])
    r, dest = convert(tmp_path, mzml(spectra=[one], before_root=prologue))
    assert "Spectra: 1" in converted_ok(r)


def test_precursor_details_of_mzml(tmp_path):
    precursor = (
        '<precursorList count="1"><precursor spectrumRef="ms1">'
        '<isolationWindow><cvParam accession="MS:1000827" name="isolation window target m/z" value="445.3"/>'
        '<cvParam accession="MS:1000828" name="isolation window lower offset" value="0.5"/>'
        '<cvParam accession="MS:1000829" name="isolation window upper offset" value="1.5"/></isolationWindow>'
        '<selectedIonList count="1"><selectedIon>'
        '<cvParam accession="MS:1000744" name="selected ion m/z" value="445.25"/>'
        '<cvParam accession="MS:1000633" name="possible charge state" value="2"/>'
        '<cvParam accession="MS:1000633" name="possible charge state" value="3"/>'
        '<cvParam accession="MS:1000042" name="peak intensity" value="12345.5"/>'
        "</selectedIon></selectedIonList>"
        '<activation><cvParam accession="MS:1000598" name="electron transfer dissociation"/>'
        '<cvParam accession="MS:1002678" name="supplemental beam-type collision-induced dissociation"/>'
        '<cvParam accession="MS:1000045" name="collision energy" value="25"/></activation>'
        "</precursor></precursorList>"
    )
    injection = '<cvParam accession="MS:1000927" name="ion injection time" value="0.05" unitAccession="UO:0000010"/>'
    points = [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0]))]
    text = mzml(
        spectra=[
            spectrum("ms1", points),
            spectrum("ms2", points, level=2, precursor=precursor, scan_extra=injection),
        ]
    )
    r, dest = convert(tmp_path, text)
    converted_ok(r)
    with access.VornFile(str(dest)) as f:
        s = f.get_measurement(0).get_qual_analysis(0).get_spectrum(1)
        assert s.precursor_index == 0 and s.precursor_charge is None
        assert s.possible_charge_states == [2, 3]
        assert s.precursor_intensity == 12345.5
        assert s.activation_method == (
            "electron transfer dissociation, supplemental beam-type collision-induced dissociation"
        )
        assert (s.isolation_window_target, s.isolation_window_lower_offset) == (445.3, 0.5)
        assert s.isolation_window_upper_offset == 1.5
        assert s.ion_injection_time == pytest.approx(50.0)  # milliseconds
        assert s.acquisition_condition.collision_energy == 25.0
        assert s.acquisition_condition.precursor_range.min == pytest.approx(444.8)


def test_precursor_details_of_mzxml(tmp_path):
    precursor = (
        '<precursorMz precursorScanNum="1" precursorIntensity="1760845.5" precursorCharge="2" '
        'possibleCharges="2,3" activationMethod="ETD+SA" windowWideness="2.0">426.21</precursorMz>'
    )
    text = mzxml([mzxml_scan(1, "", 0), mzxml_scan(2, "", 0, level=2, inner=precursor)])
    r, dest = convert(tmp_path, text, name="in.mzXML")
    converted_ok(r)
    with access.VornFile(str(dest)) as f:
        s = f.get_measurement(0).get_qual_analysis(0).get_spectrum(1)
        assert (s.precursor_charge, s.possible_charge_states) == (2, [2, 3])
        assert s.precursor_intensity == 1760845.5
        assert s.activation_method == (
            "electron transfer dissociation, supplemental collision-induced dissociation"
        )
        assert (s.isolation_window_lower_offset, s.isolation_window_upper_offset) == (1.0, 1.0)


@pytest.mark.parametrize(
    "unit, name, factor",
    [
        ("UO:0000010", "second", 1 / 60),
        ("UO:0000031", "minute", 1.0),
        ("UO:0000032", "hour", 60.0),
        ("UO:0000028", "millisecond", 1 / 60000),
    ],
)
def test_trace_times_in_minutes_with_the_unit_kept(tmp_path, unit, name, factor):
    times = [0.0, 30.0, 90.0]
    trace = chromatogram(
        "TIC",
        [array(TIME.format(unit=unit), encode(times)), array(INTENSITY, encode([1.0, 2.0, 3.0]))],
    )
    bpc = chromatogram(
        "BPC",
        [array(TIME.format(unit=unit), encode(times)), array(INTENSITY, encode([1.0, 2.0, 3.0]))],
        kind='<cvParam accession="MS:1000628" name="basepeak chromatogram"/>',
    )
    r, dest = convert(tmp_path, mzml(chromatograms=[trace, bpc]))
    lines = converted_ok(r)
    # A run with chromatograms only is not empty: they are the instrument's record.
    assert "Analyses: qual 0, quan 0, dad 0, analog 1" in lines and "Traces: 2" in lines
    with access.VornFile(str(dest)) as f:
        a = f.get_measurement(0).get_analog_analysis(0)
        for i, kind in enumerate(["TIC", "BPC"]):
            props = a.get_trace_description(i)._InternalSpectrumDescription__supplemental_properties
            assert (props["Kind"], props["TimeUnit"]) == (kind, name)
            np.testing.assert_array_equal(a.get_trace_points(i).x_array, np.array(times) * factor)


@pytest.mark.parametrize(
    "name, expected",
    [
        ("RS080806_NL_448.2_001.mzML", "RS080806_NL_448.2_001"),
        ("run.v2.mzML.gz", "run.v2"),
        ("Sample 1.MZML", "Sample 1"),
        ("plain.name.mzXML", "plain.name"),
    ],
)
def test_sample_name_strips_only_the_extension(tmp_path, name, expected):
    one = spectrum("s", [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0]))])
    text = mzml(spectra=[one]).encode()
    if name.endswith(".mzXML"):
        text = mzxml([mzxml_scan(1, "", 0)]).encode()
    if name.endswith(".gz"):
        text = gzip.compress(text)
    r, dest = convert(tmp_path, text, name=name)
    converted_ok(r)
    with access.VornFile(str(dest)) as f:
        assert f.get_measurement(0).sample_name == expected


@pytest.mark.parametrize("value", ["NaN", "INF", "-inf"])
def test_non_finite_scan_start_time_is_kept_as_unknown(tmp_path, value):
    points = [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0]))]
    text = mzml(spectra=[spectrum("bad", points, rt=value), spectrum("good", points, rt="2.5")])
    r, dest = convert(tmp_path, text)
    lines = converted_ok(r)
    assert (
        "Skipped: 1 non-finite scan start time (the spectra are kept with an unknown retention time)"
        in lines
    )
    with access.VornFile(str(dest)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        assert a.get_spectrum(0).retention_time is None
        assert a.get_spectrum(1).retention_time == 2.5


def test_nan_mz_points_are_left_out_and_counted(tmp_path):
    points = [
        array(MZ, encode([100.0, math.nan, 200.0])),
        array(INTENSITY, encode([1.0, 2.0, 3.0])),
    ]
    r, dest = convert(tmp_path, mzml(spectra=[spectrum("s", points)]))
    assert "Skipped: 1 point whose m/z, wavelength or time is NaN" in converted_ok(r)
    with access.VornFile(str(dest)) as f:
        points = f.get_measurement(0).get_qual_analysis(0).get_spectrum(0).get_spectrum_points()
        assert list(points.x_array) == [100.0, 200.0]


def test_extra_arrays_are_reported(tmp_path):
    mobility = array(
        '<cvParam accession="MS:1002816" name="mean ion mobility array"/>', encode([1.0])
    )
    points = [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0])), mobility]
    r, _ = convert(tmp_path, mzml(spectra=[spectrum("a", points), spectrum("b", points)]))
    assert (
        "Skipped: 2 'mean ion mobility array' arrays "
        "(only m/z, wavelength, time and intensity arrays are kept)" in converted_ok(r)
    )


TOF = BUNDLED / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"


@pytest.mark.parametrize(
    "source, options, expected",
    [
        (
            BUNDLED / "three_test_scans.mzML",
            ["-ms1"],
            [
                "Skipped: 1 profile spectrum kept as centroids only (-kp keeps it)",
                "Skipped: 2 MS2 and higher spectra (-ms1 keeps MS1 only)",
            ],
        ),
        (
            TOF,
            ["-qual"],
            [
                "Skipped: 520 diode-array spectra (-dad keeps them)",
                "Skipped: 2 analog traces (-analog keeps them)",
            ],
        ),
        (
            TOF,
            ["-dad"],
            [
                "Skipped: 212 mass spectra (-qual keeps them)",
                "Skipped: 2 analog traces (-analog keeps them)",
            ],
        ),
        (
            BUNDLED / "MRM Neg C5.mzML",
            ["-qual", "-analog"],
            ["Skipped: 4 SRM and SIM traces (-quan keeps them)"],
        ),
        (BUNDLED / "reserpine-MS2sim-010.mzML", ["-srm"], ["Skipped: 1 SIM trace (-sim keeps it)"]),
        (
            SHARED / "ATEHLSTLSEK_profile.mzML",
            [],
            [
                "Skipped: 6 profile spectra kept as centroids only (-kp keeps them)",
                "Skipped: 2 spectra of the last Waters function, the lock-mass reference "
                "(--keep-last-msfunc keeps them)",
            ],
        ),
        (
            SHARED / "Hela_QC_PASEF_Slot1-first-6-frames-combineIMS-ms2.mzML",
            ["-kp"],
            [
                "Skipped: 14 'mean ion mobility array' arrays "
                "(only m/z, wavelength, time and intensity arrays are kept)"
            ],
        ),
    ],
    ids=["ms1", "qual only", "dad only", "no quan", "srm only", "waters", "ion mobility"],
)
def test_what_is_left_out_is_said(tmp_path, source, options, expected):
    if not source.exists():
        pytest.skip("shared sample folder not present")
    r = zelc(source, "-dest", tmp_path / "out.vdp", "--background", *options)
    lines = converted_ok(r)
    assert [line for line in lines if line.startswith("Skipped: ")] == expected


def refused(r, *words):
    assert r.returncode == 1 and r.stderr.startswith(b"zelc: "), r.stderr
    assert r.stderr.count(b"\n") == 1
    for w in words:
        assert w.encode() in r.stderr, r.stderr


@pytest.mark.parametrize(
    "arrays, words",
    [
        (
            [array(MZ, encode([1.0, 2.0])), array(INTENSITY, encode([1.0]))],
            ["'odd'", "2 values", "1"],
        ),
        ([array(MZ, encode([1.0, 2.0]))], ["'odd'", "no intensity array"]),
        ([array(INTENSITY, encode([1.0]))], ["'odd'", "no m/z array"]),
    ],
    ids=["shorter intensities", "no intensities", "no m/z"],
)
def test_arrays_that_do_not_pair_are_refused(tmp_path, arrays, words):
    r, dest = convert(tmp_path, mzml(spectra=[spectrum("odd", arrays)]))
    refused(r, *words)
    assert not dest.exists()


def test_chromatogram_arrays_that_do_not_pair_are_refused(tmp_path):
    trace = chromatogram(
        "TIC 1",
        [
            array(TIME.format(unit="UO:0000031"), encode([0.0, 1.0])),
            array(INTENSITY, encode([1.0])),
        ],
    )
    r, _ = convert(tmp_path, mzml(chromatograms=[trace]))
    refused(r, "chromatogram 'TIC 1'", "time array has 2 values")


def limited_memory():
    limit = 600 * 1024 * 1024
    resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


@pytest.mark.parametrize(
    "encoding, payload",
    [
        # 120 MB of zero half-bytes: MS-Numpress integers of one
        # half-byte each, 250 million values, in a file of some 170 KB.
        (NUMPRESS["pic+zlib"] + FLOAT64, b"\x88" * (120 << 20)),
        (NUMPRESS["linear+zlib"] + FLOAT64, b"\x00" * 8 + b"\x01" * 8 + b"\x88" * (120 << 20)),
        (ZLIB + FLOAT64, b"\x00" * (130 << 20)),
    ],
    ids=["numpress pic", "numpress linear", "zlib"],
)
def test_arrays_decoding_to_more_points_than_allowed_are_refused_early(tmp_path, encoding, payload):
    import base64

    text = base64.b64encode(zlib.compress(payload, 9)).decode()
    arrays = [array(MZ, text, encoding), array(INTENSITY, text, encoding)]
    source = tmp_path / "bomb.mzML"
    source.write_text(mzml(spectra=[spectrum("bomb", arrays)]))
    assert source.stat().st_size < 400_000
    r = subprocess.run(
        [zelc_program(), source, "-dest", tmp_path / "out.vdp"],
        capture_output=True,
        timeout=120,
        preexec_fn=limited_memory,
    )
    if b"ReserveShadowMemoryRange" in r.stderr:
        pytest.skip("a sanitized build cannot run under a memory limit")
    refused(r)
    assert b"16777216" in r.stderr or b"size limit" in r.stderr


def test_text_longer_than_a_container_holds_is_refused(tmp_path):
    long_id = "x" * (16 * 1024 * 1024 + 10)
    points = [array(MZ, encode([100.0])), array(INTENSITY, encode([1.0]))]
    r, dest = convert(tmp_path, mzml(spectra=[spectrum(long_id, points)]))
    refused(r, "spectrum 'xxxx", "longer than 16 MiB")
    assert not dest.exists()


def two_points(name="s"):
    return spectrum(name, [array(MZ, encode([100.0, 200.0])), array(INTENSITY, encode([1.0, 2.0]))])


@pytest.mark.parametrize(
    "case",
    ["comment", "cdata", "entity", "instruction", "doctype", "line breaks"],
)
def test_binary_texts_around_other_markup(tmp_path, case):
    """The base64 texts skip the XML parser only where that changes nothing."""
    text = mzml(spectra=[two_points("a"), two_points("b")])
    mz = encode([100.0, 200.0])
    if case == "comment":
        text = text.replace('<spectrum id="b"', '<!-- <binary>QUFB</binary> --><spectrum id="b"')
    elif case == "cdata":
        text = text.replace(f"<binary>{mz}</binary>", f"<binary><![CDATA[{mz}]]></binary>", 1)
    elif case == "entity":
        text = text.replace(f"<binary>{mz}", f"<binary>&#{ord(mz[0])};{mz[1:]}", 1)
    elif case == "instruction":
        text = text.replace('<spectrum id="b"', '<?note <binary>QUFB</binary> ?><spectrum id="b"')
    elif case == "doctype":
        text = text.replace("<mzML ", '<!DOCTYPE mzML [<!ENTITY x "1">]><mzML ', 1)
    else:
        wrapped = "\n".join(mz[i : i + 4] for i in range(0, len(mz), 4))
        text = text.replace(f"<binary>{mz}", f"<binary>\n{wrapped}\n", 1)
    r, dest = convert(tmp_path, text)
    assert "Spectra: 2" in converted_ok(r)
    with access.VornFile(str(dest)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        for i in range(2):
            points = a.get_spectrum(i).get_spectrum_points()
            assert list(points.x_array) == [100.0, 200.0] and list(points.intensity_array) == [1, 2]


def test_xml_error_line_counts_the_lines_of_base64_text(tmp_path):
    mz = encode([100.0, 200.0])
    wrapped = "\n".join(mz[i : i + 8] for i in range(0, len(mz), 8))
    text = mzml(spectra=[two_points("a")]).replace(f"<binary>{mz}", f"<binary>{wrapped}", 1)
    text = text.replace("</run>", "\n<broken></run>")
    r, _ = convert(tmp_path, text)
    refused(r, f"XML error at line {text[: text.index('</run>')].count(chr(10)) + 1}:")


@pytest.mark.parametrize("gzipped", [False, True], ids=["mapped", "gzip stream"])
def test_many_spectra_across_read_pieces(tmp_path, gzipped):
    """A file of several read pieces: a plain file is read mapped, a gzip
    stream piece by piece, where texts cut at piece boundaries are joined."""
    rng = np.random.default_rng(11)
    values = [np.sort(rng.uniform(100, 2000, int(n))) for n in rng.integers(1, 900, 400)]
    spectra = [
        spectrum(f"s{i}", [array(MZ, encode(v)), array(INTENSITY, encode(v * 2))])
        for i, v in enumerate(values)
    ]
    text = mzml(spectra=spectra).encode()
    assert len(text) > 3 << 20
    if gzipped:
        text = gzip.compress(text, 1)
    r, dest = convert(tmp_path, text, name="in.mzML.gz" if gzipped else "in.mzML")
    assert "Spectra: 400" in converted_ok(r)
    with access.VornFile(str(dest)) as f:
        a = f.get_measurement(0).get_qual_analysis(0)
        for i, v in enumerate(values):
            points = a.get_spectrum(i).get_spectrum_points()
            np.testing.assert_array_equal(points.x_array, v)
            np.testing.assert_array_equal(points.intensity_array, v * 2)
