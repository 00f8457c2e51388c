"""Conversion options, the converter's argument list, its run over the output
protocol, progress, results, errors, cancellation and clean-up."""

import os
import pathlib
import re
import sys
import threading
import time

import pytest
from fake_zelc import FakeZelc, out

from vorn_data_access import converter as cv
from vorn_data_access.common import AnalysisTypes, QuanAnalysisTypes
from vorn_data_access.exception import ZelConverterException

README = pathlib.Path(__file__).parent.parent / "README.md"


@pytest.fixture
def windows(monkeypatch):
    monkeypatch.setattr(sys, "platform", "win32")
    monkeypatch.setattr(os, "linesep", "\r\n")


@pytest.fixture
def zelc(tmp_path, monkeypatch, windows):
    return FakeZelc(tmp_path, monkeypatch)


@pytest.fixture
def fresh_options():
    """Options objects of the converter's own, so shared defaults stay untouched."""

    def make():
        o = cv.ConvertOptions()
        o.qual_options, o.quan_options = cv.QualOptions(), cv.QuanOptions()
        m = cv.ManufacturerOptions()
        m.shimadzu_options, m.waters_options = cv.ShimadzuOptions(), cv.WatersOptions()
        o.manufacturer_options, o.additional_options = m, cv.AdditionalOptions()
        return o

    return make


def test_fresh_options():
    o = cv.ConvertOptions()
    assert o.desired_analysis_type == AnalysisTypes.ALL
    assert (o.qual_options.keep_profile_spectra, o.qual_options.keep_only_ms1_spectra) == (
        False,
        False,
    )
    assert o.quan_options.desired_quan_analysis_type == QuanAnalysisTypes.ALL
    assert o.additional_options.force_split_by_measurement is False
    assert o.manufacturer_options.waters_options.keep_last_ms_function_in_mse is False
    assert o.manufacturer_options.shimadzu_options.use_shimadzu_post_processing is False


def test_initial_option_objects_are_shared_until_replaced():
    a, b = cv.ConvertOptions(), cv.ConvertOptions()
    assert a.qual_options is b.qual_options
    try:
        a.qual_options.keep_profile_spectra = True
        assert b.qual_options.keep_profile_spectra is True
    finally:
        a.qual_options.keep_profile_spectra = False
    a.qual_options = cv.QualOptions()
    a.qual_options.keep_profile_spectra = True
    assert b.qual_options.keep_profile_spectra is False
    a.qual_options = None
    assert a.qual_options is None


def test_converter_refuses_other_platforms(monkeypatch):
    monkeypatch.setattr(sys, "platform", "linux")
    with pytest.raises(ZelConverterException, match=r"^ZelConverter works only on Windows\.$"):
        cv.ZelConverter()


class Recorder(cv.ZelConverter):
    """Captures the argument list instead of starting a run."""

    def _ZelConverter__convert(self, args, dest_path):
        self.args = list(args)
        return "future"


def arguments(options, sources="x.raw", destination="y.dat", overwrite=False):
    r = Recorder()
    r.convert_options = options
    assert r.convert(sources, destination, overwrite) == "future"
    return r.args


def test_argument_lists(windows, fresh_options):
    o = fresh_options()
    assert arguments(o) == [
        "x.raw",
        "--background",
        "--vorn-protocol-version",
        "1",
        "-dest",
        "y.dat",
    ]
    o.qual_options.keep_only_ms1_spectra = 1
    o.desired_analysis_type = AnalysisTypes.QUAL | AnalysisTypes.DAD
    assert arguments(o, ["a.raw", "b.raw"], "out.dat", True) == [
        "a.raw",
        "b.raw",
        "--background",
        "--vorn-protocol-version",
        "1",
        "-dest",
        "out.dat",
        "-f",
        "-ms1",
        "-qual",
        "-dad",
    ]
    assert arguments(fresh_options(), (p for p in ("1", "2")))[:2] == ["1", "2"]
    assert arguments(fresh_options(), [])[0] == "--background"
    assert arguments(fresh_options(), overwrite="yes")[-1] == "-f"
    with pytest.raises(TypeError):
        arguments(fresh_options(), pathlib.Path("x.raw"))


def test_every_option(windows, fresh_options):
    o = fresh_options()
    o.qual_options.keep_only_ms1_spectra = o.qual_options.keep_profile_spectra = True
    o.quan_options.desired_quan_analysis_type = QuanAnalysisTypes.SIM | QuanAnalysisTypes.SRM
    o.desired_analysis_type = (
        AnalysisTypes.QUAL | AnalysisTypes.QUAN | AnalysisTypes.DAD | AnalysisTypes.ANALOG
    )
    o.additional_options.force_split_by_measurement = True
    o.manufacturer_options.waters_options.keep_last_ms_function_in_mse = True
    o.manufacturer_options.shimadzu_options.use_shimadzu_post_processing = True
    assert arguments(o, overwrite=True)[6:] == [
        "-f",
        "-ms1",
        "-kp",
        "-srm",
        "-sim",
        "-qual",
        "-quan",
        "-dad",
        "-analog",
        "--force-split-by-measurement",
        "--keep-last-msfunc",
        "--use-shimadzu-post-processing",
    ]
    sim = fresh_options()
    sim.quan_options.desired_quan_analysis_type = QuanAnalysisTypes.SIM
    assert arguments(sim)[6:] == ["-sim"]


@pytest.mark.parametrize(
    "field, message",
    [
        ("convert_options", "convert_options is null."),
        ("qual_options", "qual_options is null."),
        ("quan_options", "quan_options is null."),
    ],
)
def test_missing_options(windows, fresh_options, field, message):
    r = Recorder()
    o = fresh_options()
    if field == "convert_options":
        r.convert_options = None
    else:
        setattr(o, field, None)
        r.convert_options = o
    with pytest.raises(Exception, match=f"^{re.escape(message)}$") as e:
        r.convert("x", "y", False)
    assert type(e.value) is Exception
    o = fresh_options()
    o.manufacturer_options = None
    r.convert_options = o
    with pytest.raises(AttributeError):
        r.convert("x", "y", False)


def run(zelc, tmp_path, options=None, callback=None, **plan):
    zelc.plan(**plan)
    c = cv.ZelConverter()
    if options is not None:
        c.convert_options = options
    c.progress_report_callback = callback
    return c, c.convert(["a.raw"], str(tmp_path / "out.vdp"), False)


def test_progress_and_result(zelc, tmp_path):
    seen = []
    c, future = run(
        zelc,
        tmp_path,
        callback=seen.append,
        stdout=out(
            "ignored before any marker\r\n",
            "### Start Progress\r\n",
            "25.5\r\n",
            "abc\r\n",
            "\r\n",
            "50\r\n",
            "### End Progress\r\n",
            "between sections\r\n",
            "### Start ConversionResult and more\r\n",
            "A\r\n",
            "B\r\n",
            "\r\n",
            "  ### End ConversionResult\r\n",
            "### End ConversionResult\r\n",
        ),
    )
    assert future.result(timeout=10) == "A\r\n\r\nB\r\n\r\n\r\n\r\n  ### End ConversionResult\r\n"
    assert seen == [25.5, 50.0]
    assert zelc.argv() == [
        "a.raw",
        "--background",
        "--vorn-protocol-version",
        "1",
        "-dest",
        str(tmp_path / "out.vdp"),
    ]
    assert c._ZelConverter__is_converting is False and c._ZelConverter__executor is None


def test_line_in_both_sections_and_a_failing_callback(zelc, tmp_path):
    def callback(value):
        raise RuntimeError("ignored")

    _, future = run(
        zelc,
        tmp_path,
        callback=callback,
        stdout=out("### Start Progress\r\n", "### Start ConversionResult\r\n", "7\r\n"),
    )
    assert future.result(timeout=10) == "7\r\n"
    _, empty = run(zelc, tmp_path, stdout=out("nothing\r\n"))
    assert empty.result(timeout=10) == ""


def test_exit_code_and_standard_error(zelc, tmp_path):
    _, ok = run(zelc, tmp_path, exit=3)
    assert ok.result(timeout=10) == ""
    _, failed = run(zelc, tmp_path, stderr="disk full\r\n")
    with pytest.raises(ZelConverterException) as e:
        failed.result(timeout=10)
    assert str(e.value) == "disk full\r\n"


def test_invalid_output_kills_the_program_and_deletes_the_destination(zelc, tmp_path):
    dest = tmp_path / "out.vdp"
    c, future = run(zelc, tmp_path, create=str(dest), stdout=out(b"\xff\xfe\r\n", 30))
    with pytest.raises(ZelConverterException, match="^Command interrupted. 'utf-8' codec"):
        future.result(timeout=20)
    assert not dest.exists()
    assert c._ZelConverter__process.poll() is not None


@pytest.mark.slow
def test_deleting_a_missing_destination_gives_up_after_ten_seconds(zelc, tmp_path):
    start = time.monotonic()
    _, future = run(zelc, tmp_path, stdout=out(b"\xff\r\n", 30))
    with pytest.raises(ZelConverterException, match="Command interrupted"):
        future.result(timeout=30)
    assert 9.5 < time.monotonic() - start < 20


def test_cancel(zelc, tmp_path):
    c = cv.ZelConverter()
    c.cancel()  # idle: nothing happens
    dest = tmp_path / "out.vdp"
    c, future = run(zelc, tmp_path, create=str(dest), stdout=out("### Start Progress\r\n", 30))
    time.sleep(0.5)
    c.cancel()
    with pytest.raises(ZelConverterException, match=r"^Cancelled\.$"):
        future.result(timeout=10)
    assert dest.exists()  # a cancelled run leaves what was written
    _, again = run(zelc, tmp_path)
    assert again.result(timeout=10) == ""


def test_cancel_asks_the_program_to_stop_before_killing_it(zelc, tmp_path):
    """The program gets the chance to remove its temporary file: it is asked
    to stop (SIGTERM) rather than killed outright."""
    asked = tmp_path / "asked"
    c, future = run(zelc, tmp_path, term_file=str(asked), stdout=out("### Start Progress\r\n", 30))
    time.sleep(0.5)
    c.cancel()
    with pytest.raises(ZelConverterException, match=r"^Cancelled\.$"):
        future.result(timeout=10)
    assert asked.read_text() == "asked to stop"
    assert c._ZelConverter__process.returncode == 143


def test_cancel_kills_a_program_that_does_not_stop(zelc, tmp_path):
    c, future = run(zelc, tmp_path, ignore_term=True, stdout=out("### Start Progress\r\n", 60))
    time.sleep(0.5)
    start = time.monotonic()
    c.cancel()
    assert time.monotonic() - start < 0.5  # cancel does not wait
    with pytest.raises(ZelConverterException, match=r"^Cancelled\.$"):
        future.result(timeout=20)
    assert 1.5 < time.monotonic() - start < 15  # after the grace period
    assert c._ZelConverter__process.returncode == -9


def test_skipped_lines_are_returned_unchanged(zelc, tmp_path):
    lines = [
        "File: out.vdp",
        "Spectra: 3",
        "Skipped: 43 profile spectra kept as centroids only (-kp keeps them)",
        "Skipped: 2 'mean ion mobility array' arrays (only m/z, wavelength, time and "
        "intensity arrays are kept)",
    ]
    text = "".join(f"{line}\r\n" for line in lines)
    _, future = run(
        zelc,
        tmp_path,
        stdout=out("### Start ConversionResult\r\n", text, "### End ConversionResult\r\n"),
    )
    assert future.result(timeout=10) == "\r\n".join(f"{line}\r\n" for line in lines)


def test_second_convert_while_running(zelc, tmp_path):
    c, future = run(zelc, tmp_path, stdout=out(1.0))
    with pytest.raises(ZelConverterException, match=r"^Already converting\.$"):
        c.convert("b.raw", "c", False)
    c.convert_options = None
    with pytest.raises(Exception, match=r"^convert_options is null\.$"):
        c.convert("b.raw", "c", False)
    assert future.result(timeout=10) == ""


def test_cancel_then_convert_at_once_keeps_the_new_run_intact(zelc, tmp_path):
    c, first = run(
        zelc,
        tmp_path,
        stdout=out("### Start ConversionResult\r\n", 0.3, "x\r\n", "### End ConversionResult\r\n"),
    )
    time.sleep(0.1)
    c.cancel()
    second = c.convert("b.raw", str(tmp_path / "b.vdp"), False)
    with pytest.raises(ZelConverterException, match="Cancelled"):
        first.result(timeout=10)
    assert c._ZelConverter__is_converting is True  # the first run's clean-up left it alone
    assert second.result(timeout=10) == "x\r\n"
    assert c._ZelConverter__is_converting is False


def test_program_that_cannot_start(windows, tmp_path, monkeypatch):
    monkeypatch.setenv("PATH", str(tmp_path))
    address = re.search(r"Project page: (\S+)", README.read_text()).group(1)
    c = cv.ZelConverter()
    future = c.convert("a.raw", str(tmp_path / "o.vdp"), False)
    with pytest.raises(ZelConverterException) as e:
        future.result(timeout=10)
    assert str(e.value) == (
        "The application for Zel conversion, zelc.exe, did not function "
        "properly. Please reinstall the Vorn SDK. " + address
    )
    assert c._ZelConverter__is_converting is False and c._ZelConverter__executor is None
    FakeZelc(tmp_path, monkeypatch)
    assert c.convert("a.raw", str(tmp_path / "o.vdp"), False).result(timeout=10) == ""


def test_waiting_for_the_program_to_exit_costs_no_cpu(zelc, tmp_path):
    _, future = run(zelc, tmp_path, linger=1.0)
    cpu = time.process_time()
    assert future.result(timeout=10) == ""
    assert time.process_time() - cpu < 0.3


def test_each_run_has_a_new_pool_and_progress_runs_in_it(zelc, tmp_path):
    threads = []
    c, first = run(
        zelc,
        tmp_path,
        callback=lambda v: threads.append(threading.current_thread()),
        stdout=out("### Start Progress\r\n", "1\r\n"),
    )
    first.result(timeout=10)
    second = c.convert("a.raw", str(tmp_path / "o.vdp"), False)
    second.result(timeout=10)
    assert len(threads) == 2 and threads[0] is not threading.main_thread()
    assert threads[0] is not threads[1]
