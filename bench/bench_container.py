"""Container spine figures: writer throughput, opening a file of 100
measurements, building a measurement.

    python bench/bench_container.py [--spectra N] [--points N]

Peers, when installed, write the same arrays side by side: HDF5 (h5py, gzip
and uncompressed) and numpy's savez_compressed.
"""

import argparse
import os
import statistics
import tempfile
import time

import numpy as np

from vorn_data_access import access
from vorn_data_access.common import PolarityTypes
from vorn_data_access.writer import VornWriter


def make_spectra(rng, count, points):
    out = []
    for _ in range(count):
        mz = np.sort(rng.uniform(100, 2000, points))
        # Real centroid m/z carry about 1e-5 relative precision; intensities are float32.
        mz = np.round(mz, 5)
        intensity = rng.lognormal(8, 2, points).astype(np.float32)
        out.append((mz, intensity))
    return out


def raw_bytes(spectra):
    return sum(mz.nbytes + it.nbytes for mz, it in spectra)


def write_vorn(path, spectra, measurements):
    with VornWriter(path, overwrite=True) as w:
        for m_index in range(measurements):
            m = w.add_measurement(sample_name=f"Sample {m_index}", well_code="A1")
            fn = m.add_ms_function()
            for i, (mz, it) in enumerate(spectra):
                fn.add_spectrum(
                    mz, it, retention_time=i * 0.01, ms_level=1, polarity=PolarityTypes.POSITIVE
                )


def write_h5(path, spectra, measurements, compression):
    import h5py

    with h5py.File(path, "w") as f:
        for m_index in range(measurements):
            g = f.create_group(f"m{m_index}")
            for i, (mz, it) in enumerate(spectra):
                g.create_dataset(f"mz{i}", data=mz, compression=compression)
                g.create_dataset(f"i{i}", data=it, compression=compression)


def write_npz(path, spectra, measurements):
    arrays = {}
    for m_index in range(measurements):
        for i, (mz, it) in enumerate(spectra):
            arrays[f"m{m_index}_mz{i}"] = mz
            arrays[f"m{m_index}_i{i}"] = it
    np.savez_compressed(path, **arrays)


def timed(fn, *args):
    start = time.perf_counter()
    fn(*args)
    return time.perf_counter() - start


def median_time(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--measurements", type=int, default=100)
    ap.add_argument("--spectra", type=int, default=100, help="spectra per measurement")
    ap.add_argument("--points", type=int, default=2000, help="points per spectrum")
    args = ap.parse_args()

    rng = np.random.default_rng(1)
    spectra = make_spectra(rng, args.spectra, args.points)
    total = raw_bytes(spectra) * args.measurements
    tmp = tempfile.mkdtemp()
    path = os.path.join(tmp, "bench.vdp")

    print(
        f"{args.measurements} measurements x {args.spectra} spectra x {args.points} points "
        f"({total / 1e6:.0f} MB of float64 m/z + float32 intensity)"
    )
    print(f"{'writer':<28}{'seconds':>9}{'MB/s':>9}{'size MB':>9}")
    t = timed(write_vorn, path, spectra, args.measurements)
    print(f"{'vorn':<28}{t:9.2f}{total / t / 1e6:9.0f}{os.path.getsize(path) / 1e6:9.1f}")
    peers = [("numpy savez_compressed", write_npz, ".npz", ())]
    try:
        import h5py  # noqa: F401

        peers += [
            ("h5py gzip", write_h5, ".h5", ("gzip",)),
            ("h5py uncompressed", write_h5, ".h5", (None,)),
        ]
    except ImportError:
        print("(h5py not installed: pip install h5py to compare)")
    for name, fn, ext, extra in peers:
        p = os.path.join(tmp, "peer" + ext)
        t = timed(fn, p, spectra, args.measurements, *extra)
        print(f"{name:<28}{t:9.2f}{total / t / 1e6:9.0f}{os.path.getsize(p) / 1e6:9.1f}")

    def open_file():
        access.VornFile(path).close()

    t_open = median_time(open_file, 50)
    with access.VornFile(path) as f:
        t_measurement = median_time(lambda: f.get_measurement(args.measurements // 2), 200)
    print(f"open file and read the jump table: {t_open * 1e6:8.1f} us (median of 50)")
    print(f"build a measurement:               {t_measurement * 1e6:8.1f} us (median of 200)")


if __name__ == "__main__":
    main()
