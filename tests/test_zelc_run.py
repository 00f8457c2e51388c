"""zelc's run as a whole: interrupted by signals, a full disk or a cancelled
ZelConverter, it leaves no temporary file and no partial output; split
conversions publish all their files or none; the published name survives a
power loss; its command-line messages and progress bar."""

import os
import pty
import shutil
import signal
import subprocess
import sys

import numpy as np
import pytest
from mzml_text import INTENSITY, MZ, array, encode, mzml, spectrum
from test_zelc import BUNDLED, zelc, zelc_program

from vorn_data_access import access, converter
from vorn_data_access.exception import ZelConverterException

SMALL = BUNDLED / "three_test_scans.mzML"


@pytest.fixture(scope="module")
def big_source(tmp_path_factory):
    """About 60 MB of mzML: long enough to be caught in the middle."""
    rng = np.random.default_rng(3)
    mz = np.sort(rng.uniform(100, 2000, 1500))
    points = [array(MZ, encode(mz)), array(INTENSITY, encode(rng.uniform(1, 1e6, 1500)))]
    one = spectrum("scan=X", points)
    body = [one.replace("scan=X", f"scan={i}") for i in range(1800)]
    path = tmp_path_factory.mktemp("big") / "big.mzML"
    path.write_text(mzml(spectra=body))
    return path


def leftovers(folder):
    return sorted(p.name for p in folder.iterdir() if ".tmp-" in p.name or ".old-" in p.name)


STOPPING_SIGNALS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]


def start_and_pause(source, dest, *options):
    """Starts zelc --background and stops it (SIGSTOP) once it is some way in,
    with its temporary file on disk. zelc keeps a signal ignored that it was
    started with ignored (as under nohup, or in a shell's background job), so
    the signals these tests send are given to it at their defaults."""
    ignored = [s for s in STOPPING_SIGNALS if signal.getsignal(s) == signal.SIG_IGN]
    for s in ignored:
        signal.signal(s, signal.SIG_DFL)
    try:
        p = subprocess.Popen(
            [zelc_program(), source, "-dest", dest, "--background", *options],
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
        )
    finally:
        for s in ignored:
            signal.signal(s, signal.SIG_IGN)
    for line in p.stdout:
        if line.strip() and line[0:1].isdigit() and float(line) >= 3.0:
            break
    p.send_signal(signal.SIGSTOP)
    return p


@pytest.mark.parametrize("sig", STOPPING_SIGNALS)
def test_signal_leaves_no_temporary_file(tmp_path, big_source, sig):
    dest = tmp_path / "out.vdp"
    p = start_and_pause(big_source, dest)
    assert leftovers(tmp_path), "the conversion was caught before it had begun writing"
    with p:
        p.send_signal(sig)
        p.send_signal(signal.SIGCONT)
        assert p.wait(timeout=30) == -sig
    assert leftovers(tmp_path) == [] and not dest.exists()


def test_reader_going_away_leaves_no_temporary_file(tmp_path, big_source):
    """SIGPIPE: whoever read zelc's output closed it."""
    dest = tmp_path / "out.vdp"
    p = start_and_pause(big_source, dest)
    with p:
        p.stdout.close()
        p.send_signal(signal.SIGCONT)
        assert p.wait(timeout=30) == -signal.SIGPIPE
    assert leftovers(tmp_path) == [] and not dest.exists()


def test_source_cut_short_while_read(tmp_path, big_source):
    """The source is read mapped into memory: cut short under zelc's feet, it
    fails the conversion with a message, and nothing is left behind."""
    source = tmp_path / "moving.mzML"
    shutil.copy(big_source, source)
    dest = tmp_path / "out.vdp"
    p = start_and_pause(source, dest)
    with p:
        os.truncate(source, 1 << 20)
        p.send_signal(signal.SIGCONT)
        assert p.wait(timeout=30) == 1
        assert (
            p.stderr.read()
            == f"zelc: {source}: the file was cut short while it was read\n".encode()
        )
    assert leftovers(tmp_path) == [] and not dest.exists()


def small_files():
    import resource

    limit = 2 << 20  # writes beyond 2 MB fail as on a full disk
    resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))


def test_full_disk_names_the_destination_and_leaves_nothing(tmp_path, big_source):
    dest = tmp_path / "out.vdp"
    r = subprocess.run(
        [zelc_program(), big_source, "-dest", dest],
        capture_output=True,
        timeout=120,
        preexec_fn=small_files,
    )
    assert r.returncode == 1
    assert r.stderr == f"zelc: {dest}: cannot write: File too large\n".encode()
    assert leftovers(tmp_path) == [] and not dest.exists()


def test_cancelled_converter_leaves_no_temporary_file(tmp_path, big_source, monkeypatch):
    folder = tmp_path / "bin"
    folder.mkdir()
    (folder / "zelc.exe").symlink_to(zelc_program())
    monkeypatch.setenv("PATH", f"{folder}{os.pathsep}{os.environ['PATH']}")
    monkeypatch.setattr(sys, "platform", "win32")
    c = converter.ZelConverter()
    dest = tmp_path / "out.vdp"
    seen = []

    def on_progress(value):
        seen.append(value)
        if value >= 3.0 and leftovers(tmp_path):  # some way in, the temporary file written
            c.cancel()

    c.progress_report_callback = on_progress
    future = c.convert([str(big_source)], str(dest), False)
    with pytest.raises(ZelConverterException, match=r"^Cancelled\.$"):
        future.result(timeout=60)
    c._ZelConverter__process.wait(timeout=10)
    assert leftovers(tmp_path) == [] and not dest.exists()
    assert 3.0 <= seen[-1] < 100.0


def broken(tmp_path):
    source = tmp_path / "broken.mzML"
    source.write_text(SMALL.read_text()[:50_000])
    return source


def test_split_conversion_is_all_or_nothing(tmp_path):
    dest = tmp_path / "out.vdp"
    r = zelc(SMALL, broken(tmp_path), "-dest", dest, "--force-split-by-measurement")
    assert r.returncode == 1 and b"broken.mzML: XML error" in r.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["broken.mzML"]


def test_split_failure_keeps_the_older_files(tmp_path):
    dest = tmp_path / "out.vdp"
    for k in (1, 2):
        (tmp_path / f"out_{k}.vdp").write_text(f"older {k}")
    r = zelc(SMALL, broken(tmp_path), "-dest", dest, "--force-split-by-measurement", "-f")
    assert r.returncode == 1
    assert [(tmp_path / f"out_{k}.vdp").read_text() for k in (1, 2)] == ["older 1", "older 2"]
    r = zelc(SMALL, SMALL, "-dest", dest, "--force-split-by-measurement", "-f")
    assert r.returncode == 0, r.stderr
    for k in (1, 2):
        with access.VornFile(str(tmp_path / f"out_{k}.vdp")) as f:
            assert f.get_measurement_count() == 1
    assert leftovers(tmp_path) == []


def test_failure_while_publishing_takes_back_what_was_published(tmp_path):
    """The second name cannot be taken (a folder is in the way): the first
    file, already in place, is replaced by the older one again."""
    dest = tmp_path / "out.vdp"
    (tmp_path / "out_1.vdp").write_text("older 1")
    (tmp_path / "out_2.vdp").mkdir()
    (tmp_path / "out_2.vdp" / "something").write_text("x")
    r = zelc(SMALL, SMALL, "-dest", dest, "--force-split-by-measurement", "-f")
    assert r.returncode == 1
    assert r.stderr.startswith(f"zelc: {tmp_path / 'out_2.vdp'}: ".encode())
    assert (tmp_path / "out_1.vdp").read_text() == "older 1"
    assert leftovers(tmp_path) == []


@pytest.mark.skipif(shutil.which("strace") is None, reason="strace is not installed")
def test_folder_is_synced_after_the_rename(tmp_path):
    log = tmp_path / "trace.txt"
    dest = tmp_path / "out.vdp"
    r = subprocess.run(
        ["strace", "-f", "-o", log, "-e", "trace=openat,fsync,rename,link", zelc_program()]
        + [SMALL, "-dest", dest],
        capture_output=True,
        timeout=120,
    )
    if r.returncode != 0 and b"ptrace" in r.stderr:
        pytest.skip("tracing is not permitted here")
    assert r.returncode == 0
    calls = [line.split(None, 1)[1] for line in log.read_text().splitlines()]
    moved = next(i for i, c in enumerate(calls) if c.startswith(("link(", "rename(")))
    opened = next(
        i
        for i, c in enumerate(calls)
        if i > moved and c.startswith(f'openat(AT_FDCWD, "{tmp_path}", ') and "O_DIRECTORY" in c
    )
    fd = calls[opened].rsplit("= ", 1)[1]
    assert any(c.startswith(f"fsync({fd})") for c in calls[opened:])


def test_existing_destination_message(tmp_path):
    dest = tmp_path / "out.vdp"
    dest.write_text("keep me")
    r = zelc(SMALL, "-dest", dest)
    assert r.returncode == 1
    assert r.stderr == f"zelc: {dest}: exists; use -f to replace it\n".encode()
    assert dest.read_text() == "keep me"


@pytest.mark.parametrize("length", [245, 250, 255])
def test_long_destination_name(tmp_path, length):
    dest = tmp_path / ("n" * (length - 4) + ".vdp")
    r = zelc(SMALL, "-dest", dest)
    assert r.returncode == 0, r.stderr
    with access.VornFile(str(dest)) as f:
        assert f.get_measurement_count() == 1
    assert leftovers(tmp_path) == []


def run_on_terminal(*args):
    """zelc with standard output and error on a pseudo-terminal."""
    main, side = pty.openpty()
    p = subprocess.Popen([zelc_program(), *map(str, args)], stdout=side, stderr=side)
    os.close(side)
    out = b""
    while True:
        try:
            chunk = os.read(main, 65536)
        except OSError:
            break
        if not chunk:
            break
        out += chunk
    os.close(main)
    p.wait(timeout=60)
    return p.returncode, out.replace(b"\r\n", b"\n")


def test_progress_bar_only_on_a_terminal(tmp_path):
    code, shown = run_on_terminal(SMALL, "-dest", tmp_path / "a.vdp")
    assert code == 0 and b"] 100.0%\nFile: " in shown
    r = zelc(SMALL, "-dest", tmp_path / "b.vdp")
    assert r.returncode == 0 and r.stdout.startswith(b"File: ") and b"%" not in r.stdout


def test_error_after_a_progress_bar_starts_a_line(tmp_path):
    code, shown = run_on_terminal(broken(tmp_path), "-dest", tmp_path / "a.vdp")
    assert code == 1
    assert b"%\nzelc: " in shown and shown.endswith(b"\n")
