"""Conversion figures: zelc's throughput (MB of mzML per second) next to a
plain pyteomics parse of the same file, and the container's size next to the
mzML's.

    python bench/bench_zelc.py [FILES...]

Without arguments, the sample files of ../shared/data/mzml (or tests/data).
"""

import pathlib
import subprocess
import sys
import sysconfig
import tempfile
import time
import zlib

sys.path.insert(0, str(pathlib.Path(__file__).parent.parent / "tests"))
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


def main():
    files = [pathlib.Path(p) for p in sys.argv[1:]] or sorted(
        p
        for p in (SHARED if SHARED.is_dir() else BUNDLED).iterdir()
        if p.suffix in (".mzML", ".mzXML")
    )
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    out = pathlib.Path(tempfile.mkdtemp()) / "bench.vdp"
    print(
        f"{'file':<40}{'MB':>7}{'zelc MB/s':>11}{'pyteomics MB/s':>16}"
        f"{'size/mzML':>11}{'size/zlib mzML':>16}"
    )
    for f in files:
        size = f.stat().st_size

        def convert(f=f):
            subprocess.run(
                [zelc, f, "-dest", out, "-f", "-kp", "--keep-last-msfunc"],
                check=True,
                stdout=subprocess.DEVNULL,
            )

        def parse(f=f):
            with open_source(f) as reader:
                for _ in reader:
                    pass
            if f.suffix == ".mzML":
                with open_source(f) as reader:
                    for _ in reader.iterfind("chromatogram"):
                        pass

        t_zelc, t_py = best(convert), best(parse, repeat=1)
        container = out.stat().st_size
        print(
            f"{f.name[:39]:<40}{size / 1e6:7.2f}{size / t_zelc / 1e6:11.1f}"
            f"{size / t_py / 1e6:16.2f}{container / size:11.3f}{container / zlib_size(f):16.3f}"
        )


if __name__ == "__main__":
    main()
