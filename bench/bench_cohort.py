"""Cohort figures: the same 100 XIC targets from 200 container files, by a plain
loop and by vorn_data_access.cohort on 1 and 2 Dask workers, and the conversion
of a folder of 50 mzML files on 1 and 2 workers.

    python bench/bench_cohort.py [--files 200] [--targets 100] [--convert 50]

The runs are copies of one synthetic Orbitrap run (bench/make_orbitrap_mzml.py
at a tenth of an hour: 760 MS1 spectra), made once under bench/out/cohort/.
Needs the [dask] extra.
"""

import argparse
import pathlib
import shutil
import subprocess
import sys
import sysconfig
import time

import numpy as np
import pandas as pd
from distributed import Client, LocalCluster

from vorn_data_access import cohort
from vorn_data_access.access import VornFile

HERE = pathlib.Path(__file__).parent
OUT = HERE / "out" / "cohort"


def prepare(files, convert_files):
    OUT.mkdir(parents=True, exist_ok=True)
    mzml = OUT / "run.mzML"
    small = OUT / "small.mzML"
    maker = HERE / "make_orbitrap_mzml.py"
    if not mzml.exists():
        subprocess.run([sys.executable, maker, mzml, "--scale", "0.1"], check=True)
    if not small.exists():
        subprocess.run([sys.executable, maker, small, "--scale", "0.02"], check=True)
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    run = OUT / "run.vdp"
    if not run.exists():
        subprocess.run([zelc, mzml, "-dest", run], check=True, capture_output=True)
    runs = OUT / "runs"
    runs.mkdir(exist_ok=True)
    paths = []
    for k in range(files):
        p = runs / f"run_{k:03d}.vdp"
        if not p.exists():
            shutil.copy(run, p)
        paths.append(p)
    sources = OUT / "sources"
    sources.mkdir(exist_ok=True)
    for k in range(convert_files):
        p = sources / f"sample_{k:03d}.mzML"
        if not p.exists():
            shutil.copy(small, p)
    return paths, sorted(sources.glob("*.mzML"))[:convert_files]


def targets(count):
    rng = np.random.default_rng(3)
    return pd.DataFrame(
        {"name": [f"t{k}" for k in range(count)], "mz": rng.uniform(400, 1700, count), "ppm": 10.0}
    )


def plain_loop(paths, t):
    windows = np.stack([t.mz * (1 - 1e-5), t.mz * (1 + 1e-5)], axis=1)
    rows = []
    for path in paths:
        with VornFile(str(path)) as f:
            rt, y = f.get_measurement(0).get_qual_analysis(0).xic_arrays(windows)
        for name, values in zip(t.name, y, strict=True):
            top = int(np.argmax(values))
            rows.append((str(path), name, float(rt[top]), float(np.trapezoid(values, rt))))
    return rows


def timed(fn):
    start = time.perf_counter()
    result = fn()
    return time.perf_counter() - start, result


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--files", type=int, default=200)
    ap.add_argument("--targets", type=int, default=100)
    ap.add_argument("--convert", type=int, default=50)
    args = ap.parse_args()
    paths, sources = prepare(args.files, args.convert)
    t = targets(args.targets)
    mb = sum(p.stat().st_size for p in paths) / 1e6
    print(f"{len(paths)} files ({mb:.0f} MB), {len(t)} targets each")
    loop, _ = timed(lambda: plain_loop(paths, t))
    print(f"  plain loop            {loop:7.2f} s")
    for workers in (1, 2):
        with (
            LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=":0") as c,
            Client(c) as client,
        ):
            cohort.extract_xics(paths[:2], t, client)  # workers import the package
            took, frame = timed(lambda client=client: cohort.extract_xics(paths, t, client))
        assert frame.error.isna().all()
        print(
            f"  cohort, {workers} worker{'s' if workers > 1 else ' '}     {took:7.2f} s"
            f"   ({loop / took:.2f}x the loop)"
        )
    mb = sum(p.stat().st_size for p in sources) / 1e6
    print(f"conversion of {len(sources)} mzML files ({mb:.0f} MB)")
    base = None
    for workers in (1, 2):
        out = OUT / f"converted_{workers}"
        shutil.rmtree(out, ignore_errors=True)
        with (
            LocalCluster(n_workers=workers, threads_per_worker=1, dashboard_address=":0") as c,
            Client(c) as client,
        ):
            took, table = timed(lambda client=client, out=out: cohort.convert(sources, out, client))
        assert (table.status == "converted").all()
        base = base or took
        print(
            f"  {workers} worker{'s' if workers > 1 else ' '}             {took:7.2f} s"
            f"   ({base / took:.2f}x one worker)"
        )


if __name__ == "__main__":
    main()
