"""MS analysis figures on a synthetic hour of Orbitrap DDA: 10,000 MS1 spectra
of 5,000 centroid points and 40,000 MS2 spectra of 300 points.

    python bench/bench_qual.py [--scale 1.0]

Prints: opening the qual analysis, TIC and BPC of MS1, one XIC and 1,000 XICs
in one call (next to decoding all MS1 spectra), spectrum decoding in MB/s
next to plain zstd of the same bytes (bench/decode_speed.cpp), and the same
XIC computed by numpy over arrays already in memory, the best case of
in-memory tools.
"""

import argparse
import os
import pathlib
import subprocess
import time

import numpy as np

from vorn_data_access import access
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.qual import ChromatogramFilterOption
from vorn_data_access.writer import VornWriter

OUT = pathlib.Path(__file__).parent / "out"


def synthetic_run(path, ms1_count, ms2_per_ms1, rng, **options):
    """Writes the run; returns the MS1 arrays kept in memory for the numpy peer."""
    kept = []
    raw = 0
    start = time.perf_counter()
    with VornWriter(path, overwrite=True, **options) as w:
        fn = w.add_measurement(sample_name="synthetic DDA").add_ms_function()
        common = dict(
            polarity=PolarityTypes.POSITIVE,
            spectrum_type=SpectrumTypes.CENTROID,
            is_profile_spectrum_measured=False,
        )
        rt = 0.0
        for _ in range(ms1_count):
            mz = np.sort(rng.uniform(150.0, 2000.0, 5000))
            intensity = rng.lognormal(10, 2, 5000).astype(np.float32)
            fn.add_spectrum(
                mz, intensity, retention_time=rt, ms_level=1, mass_range=(150.0, 2000.0), **common
            )
            kept.append((mz, intensity))
            raw += mz.nbytes + intensity.nbytes
            for k in range(ms2_per_ms1):
                mz2 = np.sort(rng.uniform(100.0, 1500.0, 300))
                it2 = rng.lognormal(8, 2, 300).astype(np.float32)
                fn.add_spectrum(
                    mz2,
                    it2,
                    retention_time=rt + 0.0005 * (k + 1),
                    ms_level=2,
                    collision_energy=30.0,
                    precursor_value=float(mz[k * 100]),
                    **common,
                )
                raw += mz2.nbytes + it2.nbytes
            rt += 0.006
    return kept, raw, time.perf_counter() - start


def median_time(fn, repeat=5):
    """The best of `repeat` runs (this machine is shared: the minimum is the
    steadiest figure); results are freed outside the timed part."""
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - t)
        del result
    return min(times)


def numpy_xic(spectra, lo, hi):
    out = np.empty(len(spectra))
    for i, (mz, intensity) in enumerate(spectra):
        a, b = np.searchsorted(mz, lo, "left"), np.searchsorted(mz, hi, "right")
        out[i] = intensity[a:b].sum(dtype=np.float64)
    return out


def decode_tool():
    build = OUT / "build"
    here = pathlib.Path(__file__).parent
    if not (build / "CMakeCache.txt").exists():
        subprocess.run(
            ["cmake", "-S", str(here), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release"],
            check=True,
            stdout=subprocess.DEVNULL,
        )
    subprocess.run(["cmake", "--build", str(build)], check=True, stdout=subprocess.DEVNULL)
    return build / "decode_speed"


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--scale", type=float, default=1.0, help="fraction of the 10,000 MS1 spectra")
    ap.add_argument("--chunk-points", type=int, default=512, help="the writer's chunk size")
    args = ap.parse_args()
    OUT.mkdir(exist_ok=True)
    path = OUT / "dda.vdp"
    rng = np.random.default_rng(5)
    ms1_count = int(10000 * args.scale)
    kept, raw, t_write = synthetic_run(path, ms1_count, 4, rng, chunk_points=args.chunk_points)
    size = os.path.getsize(path)
    print(
        f"wrote {ms1_count} MS1 + {4 * ms1_count} MS2 spectra: {raw / 1e6:.0f} MB raw -> "
        f"{size / 1e6:.0f} MB in {t_write:.1f} s ({raw / t_write / 1e6:.0f} MB/s)"
    )

    with access.VornFile(str(path)) as f:
        m = f.get_measurement(0)
        t_open = median_time(lambda: m.get_qual_analysis(0))
        a = m.get_qual_analysis(0)
        ms1 = a.unique_acquisition_conditions[0]
        t_tic = median_time(lambda: a.get_tic(ms1))
        t_bpc = median_time(lambda: a.get_bpc(ms1))
        target = float(kept[len(kept) // 2][0][2500])
        window = ValueRange(target * (1 - 1e-5), target * (1 + 1e-5))
        option = ChromatogramFilterOption(ms1, window)
        t_xic = median_time(lambda: a.get_xic(option))
        centers = rng.uniform(200, 1900, 1000)
        options = [
            ChromatogramFilterOption(ms1, ValueRange(c * (1 - 1e-5), c * (1 + 1e-5)))
            for c in centers
        ]
        t_many = median_time(lambda: a.get_multiple_xic(options), repeat=3)
        ms1_indexes = [p.spectrum_index for p in a.get_tic(ms1)]

        def decode_all_ms1():
            return [a.get_spectrum(i).get_spectrum_points() for i in ms1_indexes]

        t_decode = median_time(decode_all_ms1, repeat=3)
        check = np.array([p.intensity for p in a.get_xic(option)])
        assert np.array_equal(check, numpy_xic(kept, window.min, window.max))

    t_numpy = median_time(lambda: numpy_xic(kept, window.min, window.max))
    spectra = a.get_spectra_count()
    print(f"open the qual analysis ({spectra} spectra):   {t_open * 1e3:8.1f} ms   (target < 50)")
    print(
        f"TIC of MS1 ({len(ms1_indexes)} spectra):             "
        f"{t_tic * 1e3:8.1f} ms   (target < 20)"
    )
    print(f"BPC of MS1:                               {t_bpc * 1e3:8.1f} ms")
    print(f"one XIC (10 ppm) over the run:            {t_xic * 1e3:8.1f} ms   (target < 50)")
    print(f"1,000 XICs in one call:                   {t_many * 1e3:8.1f} ms")
    print(
        f"decode all MS1 spectra (Spectrum objects): {t_decode * 1e3:7.1f} ms   "
        f"(1,000 XICs take {t_many / t_decode:.2f} of it)"
    )
    print(f"peer: numpy XIC over arrays in memory:    {t_numpy * 1e3:8.1f} ms")
    print()
    print(
        subprocess.run(
            [str(decode_tool()), str(path)], check=True, capture_output=True, text=True
        ).stdout.rstrip()
    )


if __name__ == "__main__":
    main()
