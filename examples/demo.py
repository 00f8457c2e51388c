"""Writes a small container file and reads it back: the package's main job in
miniature.

    python examples/demo.py [path]
"""

import sys
import tempfile

import numpy as np

from vorn_data_access import access
from vorn_data_access.common import PolarityTypes, SpectrumTypes
from vorn_data_access.writer import VornWriter


def write(path: str) -> None:
    rng = np.random.default_rng(0)
    with VornWriter(path, overwrite=True) as w:
        m = w.add_measurement(sample_name="Demo", instrument_manufacturer="Vorn")
        ms = m.add_ms_function()
        for i in range(100):
            mz = np.sort(rng.uniform(100, 1000, 500))
            ms.add_spectrum(
                mz,
                rng.uniform(0, 1e4, 500).astype(np.float32),
                retention_time=i / 10,
                ms_level=1,
                polarity=PolarityTypes.POSITIVE,
                spectrum_type=SpectrumTypes.CENTROID,
            )
        dad = m.add_dad_function(np.arange(200.0, 400.0, 2.0))
        for i in range(50):
            dad.add_spectrum(
                None, np.exp(-(((np.arange(100) - 40) / 10.0) ** 2)) * i, retention_time=i / 5
            )


def read(path: str) -> None:
    with access.VornFile(path) as f:
        print(
            f"{path}: format {f.get_file_format_version()}, "
            f"{f.get_measurement_count()} measurement(s)"
        )
        for i in range(f.get_measurement_count()):
            m = f.get_measurement(i)
            print(f"  measurement {i}: {m}")


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else tempfile.mktemp(suffix=".vdp")
    write(target)
    read(target)
