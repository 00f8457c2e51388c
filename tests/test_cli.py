"""The `vorn` command line on converted sample files: info as text and JSON,
batch conversion of a folder with a broken file, errors and exit statuses."""

import json
import pathlib
import shutil
import struct
import subprocess
import sysconfig

import numpy as np
import pytest
from mzml_oracle import chromatograms

from vorn_data_access.access import VornFile
from vorn_data_access.cli import main

DATA = pathlib.Path(__file__).parent / "data" / "mzml"
TOF = DATA / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"
SRM = DATA / "MRM Neg C5.mzML"


def program(name):
    return str(pathlib.Path(sysconfig.get_path("scripts")) / name)


@pytest.fixture(scope="module")
def converted(tmp_path_factory):
    """The TOF+DAD and the SRM samples as containers."""
    out = tmp_path_factory.mktemp("cli")
    for source in (TOF, SRM):
        subprocess.run(
            [program("zelc"), source, "-dest", out / (source.stem + ".vdp")],
            check=True,
            capture_output=True,
        )
    return {"tof": out / (TOF.stem + ".vdp"), "srm": out / (SRM.stem + ".vdp")}


def run(capsys, *argv):
    status = main([str(a) for a in argv])
    out, err = capsys.readouterr()
    return status, out, err


def test_info_json_describes_measurements_and_analyses(converted, capsys):
    status, out, err = run(capsys, "info", converted["tof"], "--json")
    assert status == 0 and err == ""
    info = json.loads(out)
    assert info["format_version"].startswith("1.")
    (m,) = info["measurements"]
    assert m["instrument_manufacturer"] == "Agilent"
    (qual,) = m["qual"]
    assert qual["spectra"] == 212 and qual["ms_levels"] == {"1": 212}
    assert qual["retention_time_range"] == pytest.approx([0.0105, 3.4945], abs=1e-4)
    (dad,) = m["dad"]
    assert dad["spectra"] == 520 and dad["wavelength_range"] == [210.0, 400.0]


def test_info_lists_transitions_with_q1_and_q3(converted, capsys):
    status, out, _ = run(capsys, "info", converted["srm"], "--json")
    traces = json.loads(out)["measurements"][0]["quan"][0]["traces"]
    expected = [
        (
            c["precursor"][0]["isolationWindow"]["isolation window target m/z"],
            c["product"][0]["isolationWindow"]["isolation window target m/z"],
        )
        for _, _, _, c in chromatograms(SRM)
        if "selected reaction monitoring chromatogram" in c
    ]
    assert len(expected) == 4
    assert [(t["q1"], t["q3"]) for t in traces] == expected
    status, text, _ = run(capsys, "info", converted["srm"])
    assert status == 0 and "quan 0: 4 traces" in text
    assert f"SRM Q1 {expected[0][0]:g} Q3 {expected[0][1]:g}" in text


def test_info_text_summarises_each_analysis(converted, capsys):
    status, text, _ = run(capsys, "info", converted["tof"])
    lines = text.splitlines()
    assert status == 0 and lines[0].endswith("1 measurement")
    assert "  qual 0: 212 spectra, 0.011-3.495 min, 1 condition, MS1 212" in lines
    assert any(
        line.startswith("  dad 0: 520 spectra,") and line.endswith("210-400 nm") for line in lines
    )


@pytest.mark.parametrize(
    "argv, message",
    [
        (["info", "missing.vdp"], "missing.vdp"),
        (["info", __file__], "vorn: error: "),
    ],
)
def test_errors_go_to_stderr_with_status_1(capsys, argv, message):
    status, out, err = run(capsys, *argv)
    assert status == 1 and out == ""
    assert err.startswith("vorn: error: ") and message in err and err.count("\n") == 1


def test_convert_folder_keeps_going_past_a_broken_file(tmp_path):
    sources = tmp_path / "in"
    sources.mkdir()
    for s in (TOF, SRM):
        shutil.copy(s, sources)
    (sources / "broken.mzML").write_text("<mzML><run><spectrumList><spectrum")
    (sources / "notes.txt").write_text("not a source")
    out = tmp_path / "out"
    done = subprocess.run(
        [program("vorn"), "convert", sources, "-o", out, "-j", "2"], capture_output=True, text=True
    )
    assert done.returncode == 1
    assert sorted(p.name for p in out.iterdir()) == sorted([TOF.stem + ".vdp", SRM.stem + ".vdp"])
    assert "2 of 3 converted" in done.stdout
    (failure,) = done.stderr.splitlines()
    assert failure.startswith("vorn: failed: ") and "broken.mzML" in failure
    row = next(line for line in done.stdout.splitlines() if line.startswith(TOF.name))
    assert " converted " in row and " 732 " in row


def test_convert_refuses_to_replace_without_force(tmp_path, capsys):
    assert run(capsys, "convert", SRM, "-o", tmp_path)[0] == 0
    status, _, err = run(capsys, "convert", SRM, "-o", tmp_path)
    assert status == 1 and "-f" in err
    assert run(capsys, "convert", SRM, "-o", tmp_path, "-f")[0] == 0


@pytest.mark.parametrize("command", ["info", "tic", "bpc", "xic", "uv", "trace", "plot", "convert"])
def test_every_command_has_help(command):
    done = subprocess.run([program("vorn"), command, "--help"], capture_output=True, text=True)
    assert done.returncode == 0 and done.stdout.startswith(f"usage: vorn {command}")


def read_csv(text):
    lines = text.splitlines()
    header = lines[0].split(",")
    values = np.array([[float(v) for v in line.split(",")] for line in lines[1:]])
    return header, values.reshape(-1, len(header))


def test_tic_and_bpc_csv_equal_the_array_api(converted, capsys):
    with VornFile(str(converted["tof"])) as f:
        qual = f.get_measurement(0).get_qual_analysis(0)
        expected = {"tic": qual.tic_arrays(), "bpc": qual.bpc_arrays()}
    for which, (rt, values) in expected.items():
        status, out, err = run(capsys, which, converted["tof"], "--csv")
        header, table = read_csv(out)
        assert status == 0 and err == ""
        assert header == ["retention_time", "intensity"]
        np.testing.assert_array_equal(table[:, 0], rt)
        np.testing.assert_array_equal(table[:, 1], values)


def test_xic_csv_has_a_column_per_window(converted, capsys, tmp_path):
    out_file = tmp_path / "xic.csv"
    status, out, _ = run(
        capsys,
        "xic",
        converted["tof"],
        279.091,
        311.081,
        "--ppm",
        "20",
        "--rt-range",
        "0.5:3",
        "--csv",
        out_file,
    )
    assert status == 0 and out == ""
    header, table = read_csv(out_file.read_text())
    assert header == ["retention_time", "mz_279.091", "mz_311.081"]
    windows = [[mz * (1 - 20e-6), mz * (1 + 20e-6)] for mz in (279.091, 311.081)]
    with VornFile(str(converted["tof"])) as f:
        rt, y = f.get_measurement(0).get_qual_analysis(0).xic_arrays(windows, rt_range=(0.5, 3))
    np.testing.assert_array_equal(table[:, 0], rt)
    np.testing.assert_array_equal(table[:, 1:].T, y)
    assert table[:, 1].max() > 0


def test_uv_and_trace_csv(converted, capsys):
    status, out, _ = run(capsys, "uv", converted["tof"], "266:278")
    header, table = read_csv(out)
    with VornFile(str(converted["tof"])) as f:
        rt, absorbance = f.get_measurement(0).get_dad_analysis(0).chromatogram_arrays((266, 278))
    assert status == 0 and header == ["retention_time", "absorbance"]
    np.testing.assert_array_equal(table[:, 1], absorbance)

    with VornFile(str(converted["srm"])) as f:
        quan = f.get_measurement(0).get_quan_analysis(0)
        t = quan.traces[2]
        times, intensities = quan.trace_arrays(2)
    for select in (["--index", "2"], ["--q1", str(t.precursor_mz), "--q3", str(t.product_mz)]):
        status, out, _ = run(capsys, "trace", converted["srm"], *select)
        header, table = read_csv(out)
        assert status == 0 and header == ["retention_time", "intensity"]
        np.testing.assert_array_equal(table[:, 0], times)
        np.testing.assert_array_equal(table[:, 1], intensities)
    status, _, err = run(capsys, "trace", converted["srm"], "--q1", "1.5")
    assert status == 1 and "no trace with Q1 1.5" in err


def test_parquet_output(converted, capsys, tmp_path):
    pq = pytest.importorskip("pyarrow.parquet")
    path = tmp_path / "tic.parquet"
    assert run(capsys, "tic", converted["tof"], "--parquet", path)[0] == 0
    table = pq.read_table(path)
    assert table.column_names == ["retention_time", "intensity"] and table.num_rows == 212


@pytest.mark.parametrize(
    "argv, panels",
    [
        (["--tic", "--xic", "279.091", "--ppm", "10", "--uv", "250:260"], 3),
        (["--spectrum", "2.2", "--dad-map"], 2),
    ],
)
def test_plot_writes_a_png_of_the_asked_size(converted, capsys, tmp_path, argv, panels):
    pytest.importorskip("matplotlib")
    out = tmp_path / "run.png"
    status, _, err = run(
        capsys, "plot", converted["tof"], *argv, "--size", "6", "2", "--dpi", "50", "-o", out
    )
    assert status == 0 and err == ""
    header = out.read_bytes()[:24]
    assert header[:8] == b"\x89PNG\r\n\x1a\n"
    width, height = struct.unpack(">II", header[16:24])
    assert (width, height) == (6 * 50, 2 * 50 * panels)


def test_plot_without_a_request_fails_clearly(converted, capsys, tmp_path):
    status, _, err = run(capsys, "plot", converted["tof"], "-o", tmp_path / "x.png")
    assert status == 1 and "nothing to plot" in err
