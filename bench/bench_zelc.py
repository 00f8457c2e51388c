"""Conversion figures: zelc's throughput (MB of mzML per second) and peak
memory next to a pyteomics parse and a pyopenms parse of the same file, and
the container's size next to the mzML's.

    python bench/bench_zelc.py [FILES...]

Without arguments: the synthetic hour-long Orbitrap run of
bench/make_orbitrap_mzml.py (written first if missing) and a quarter of it, to
show that memory does not grow with the file, then the sample files of
../shared/data/mzml (or tests/data). pyopenms is not a dependency of the
package: install it into the bench's environment (`pip install pyopenms`);
without it its column shows "-". zelc's figure is the best of three runs (the
machine is shared, so the fastest run is the one least disturbed).
"""

import pathlib
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import time
import zlib

sys.path.insert(0, str(pathlib.Path(__file__).parent.parent / "tests"))
sys.path.insert(0, str(pathlib.Path(__file__).parent))
from make_orbitrap_mzml import OUT as ORBITRAP  # noqa: E402
from make_orbitrap_mzml import write as write_orbitrap  # noqa: E402
from mzml_oracle import open_source  # noqa: E402

HERE = pathlib.Path(__file__).parent
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
BUNDLED = HERE.parent / "tests" / "data" / "mzml"


def best(fn, repeat=3):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t)
    return min(times)


def zlib_size(path):
    """The file's size with its uncompressed binary arrays zlib-compressed, as
    mzML converters write them by default (files already using zlib or
    numpress are taken as they are)."""
    import base64
    import re

    text = pathlib.Path(path).read_bytes()
    if b"no compression" not in text:
        return len(text)

    def squeeze(match):
        raw = base64.b64decode(match.group(2))
        return match.group(1) + base64.b64encode(zlib.compress(raw)) + match.group(3)

    return len(re.sub(rb"(<binary>)([^<]*)(</binary>)", squeeze, text))


TIME = shutil.which("time", path="/usr/bin:/bin")


def run_zelc(zelc, source, out):
    """One conversion; returns (seconds, peak resident memory in MB or None).

    The peak is measured by /usr/bin/time: a child started from this Python
    process would count this process's memory from before its exec."""
    command = [str(zelc), str(source), "-dest", str(out), "-f", "-kp", "--keep-last-msfunc"]
    if TIME:
        command = [TIME, "-f", "%M", *command]
    start = time.perf_counter()
    r = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        raise RuntimeError(f"zelc failed on {source}: {r.stderr}")
    peak = int(r.stderr.split()[-1]) / 1024 if TIME else None
    return elapsed, peak


def parse_pyteomics(path):
    with open_source(path) as reader:
        for _ in reader:
            pass
    if ".mzML" in path.name:
        with open_source(path) as reader:
            for _ in reader.iterfind("chromatogram"):
                pass


def parse_pyopenms(path):
    import pyopenms

    experiment = pyopenms.MSExperiment()
    reader = pyopenms.MzXMLFile() if ".mzXML" in path.name else pyopenms.MzMLFile()
    reader.load(str(path), experiment)
    for spectrum in experiment:  # the peaks as arrays, as a converter needs them
        spectrum.get_peaks()


def speed(parse, path, size):
    try:
        return f"{size / best(lambda: parse(path), repeat=1) / 1e6:.1f}"
    except Exception:  # noqa: BLE001 - a reader that cannot read a file shows "-"
        return "-"


def default_files():
    if not ORBITRAP.exists():
        write_orbitrap(ORBITRAP)
    quarter = ORBITRAP.with_name("orbitrap_quarter_hour.mzML")
    if not quarter.exists():
        write_orbitrap(quarter, 0.25)
    samples = sorted(
        p
        for p in (SHARED if SHARED.is_dir() else BUNDLED).iterdir()
        if p.suffix in (".mzML", ".mzXML")
    )
    return [ORBITRAP, quarter, *samples]


def main():
    files = [pathlib.Path(p) for p in sys.argv[1:]] or default_files()
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    out = pathlib.Path(tempfile.mkdtemp()) / "bench.vdp"
    print(
        f"{'file':<40}{'MB':>8}{'zelc MB/s':>11}{'zelc RSS MB':>13}{'pyteomics MB/s':>16}"
        f"{'pyopenms MB/s':>15}{'size/mzML':>11}{'size/zlib mzML':>16}"
    )
    for f in files:
        size = f.stat().st_size
        runs = [run_zelc(zelc, f, out) for _ in range(3)]
        t_zelc = min(t for t, _ in runs)
        rss = "-" if runs[0][1] is None else f"{max(m for _, m in runs):.1f}"
        container = out.stat().st_size
        print(
            f"{f.name[:39]:<40}{size / 1e6:8.2f}{size / t_zelc / 1e6:11.1f}{rss:>13}"
            f"{speed(parse_pyteomics, f, size):>16}{speed(parse_pyopenms, f, size):>15}"
            f"{container / size:11.3f}{container / zlib_size(f):16.3f}",
            flush=True,
        )


if __name__ == "__main__":
    main()
