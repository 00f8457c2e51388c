"""Diode-array figures: a 20-minute run at 5 Hz, 6,000 spectra of 500
wavelengths.

    python bench/bench_dad.py

Prints the wavelength chromatogram of a 10 nm window and the max plot over
200 to 600 nm, next to decoding the same spectra (DADSpectrum points) and a
numpy computation over arrays already in memory.
"""

import pathlib
import time

import numpy as np

from vorn_data_access import access
from vorn_data_access.common import ValueRange
from vorn_data_access.writer import VornWriter

OUT = pathlib.Path(__file__).parent / "out"


def best_time(fn, repeat=5):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - t)
        del result
    return min(times)


def main():
    OUT.mkdir(exist_ok=True)
    path = OUT / "dad.vdp"
    rng = np.random.default_rng(3)
    wavelengths = np.linspace(190.0, 640.0, 500)
    peaks = rng.uniform(200, 600, 30)
    spectra = []
    t = time.perf_counter()
    with VornWriter(path, overwrite=True) as w:
        fn = w.add_measurement(sample_name="synthetic DAD").add_dad_function(wavelengths)
        for i in range(6000):
            # A few absorbing compounds and baseline noise, in float32 like the detectors.
            a = sum(rng.uniform(0, 1) * np.exp(-(((wavelengths - p) / 15) ** 2)) for p in peaks[:5])
            a = (a + rng.normal(0, 0.002, wavelengths.size)).astype(np.float32)
            fn.add_spectrum(None, a, retention_time=i / 300.0)
            spectra.append(a)
    t_write = time.perf_counter() - t
    raw = 6000 * 500 * 4
    print(
        f"wrote 6,000 spectra x 500 wavelengths: {raw / 1e6:.0f} MB raw -> "
        f"{path.stat().st_size / 1e6:.1f} MB in {t_write:.1f} s"
    )

    with access.VornFile(str(path)) as f:
        m = f.get_measurement(0)
        t_open = best_time(lambda: m.get_dad_analysis(0))
        a = m.get_dad_analysis(0)
        window = ValueRange(250.0, 260.0)
        t_chrom = best_time(lambda: a.get_chromatogram(window))
        t_max = best_time(lambda: a.get_max_plot(ValueRange(200.0, 600.0), 4.0))
        t_decode = best_time(
            lambda: [a.get_spectrum(i).get_spectrum_points() for i in range(a.get_spectra_count())]
        )

    stack = np.vstack(spectra).astype(np.float64)
    inside = (wavelengths >= 250) & (wavelengths <= 260)

    def numpy_chromatogram():
        return stack[:, inside].mean(axis=1)

    t_numpy = best_time(numpy_chromatogram)
    print(f"open the analysis:                       {t_open * 1e3:8.1f} ms")
    print(f"chromatogram of a 10 nm window:          {t_chrom * 1e3:8.1f} ms")
    print(f"max plot over 200-600 nm:                {t_max * 1e3:8.1f} ms")
    print(f"decode all spectra (DADSpectrum points): {t_decode * 1e3:8.1f} ms")
    print(f"peer: numpy mean over a 10 nm window of arrays in memory: {t_numpy * 1e3:.1f} ms")


if __name__ == "__main__":
    main()
