"""Writes the golden container files of format 1.1.0 and their expected values.

Run once, with the 1.1.0 writer, from the tests' folder:
    python golden/make_v1_1_0.py
The files it wrote are committed; later versions must read them unchanged, so
this script is kept only as the record of how they were made.
"""

import json
import pathlib
import subprocess
import sys
import sysconfig

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).parent.parent))
from golden_dump import dump  # noqa: E402

from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.writer import VornWriter

HERE = pathlib.Path(__file__).parent / "v1.1.0"
SAMPLES = pathlib.Path(__file__).parent.parent / "data" / "mzml"


def write_precursor_details(path):
    """The fields 1.1.0 added, all set, some set and none set, beside a trace
    and a diode-array spectrum that have none."""
    with VornWriter(path, overwrite=True, converter_version=(1, 1, 0)) as w:
        m = w.add_measurement(sample_name="Precursor details")
        ms = m.add_ms_function()
        ms.add_spectrum(
            np.array([400.0, 445.12, 500.0]),
            np.array([10.0, 1e4, 20.0], dtype=np.float32),
            retention_time=1.0,
            ms_level=1,
            polarity=PolarityTypes.POSITIVE,
            spectrum_type=SpectrumTypes.CENTROID,
            ion_injection_time=2.75,
        )
        ms.add_spectrum(
            np.array([120.0, 230.5, 301.25]),
            np.array([5.0, 6.0, 7.0], dtype=np.float32),
            retention_time=1.01,
            ms_level=2,
            collision_energy=27.0,
            precursor_value=445.12,
            precursor_range=ValueRange(444.42, 445.82),
            precursor_index=0,
            precursor_charge=2,
            possible_charge_states=[2, 3],
            precursor_intensity=10000.0,
            activation_method="beam-type collision-induced dissociation",
            isolation_window_target=445.12,
            isolation_window_lower_offset=0.7,
            isolation_window_upper_offset=0.7,
            ion_injection_time=54.0,
        )
        ms.add_spectrum(
            np.array([150.0]),
            np.array([1.0]),
            retention_time=1.02,
            ms_level=3,
            activation_method="collision-induced dissociation, electron transfer dissociation",
            precursor_charge=-1,
        )
        ms.add_spectrum(np.array([], dtype=np.float64), np.array([], dtype=np.float64), ms_level=2)
        dad = m.add_dad_function(np.array([210.0, 220.0]))
        dad.add_spectrum(None, np.array([0.5, 0.25]), retention_time=1.0)
        analog = m.add_analog_function()
        analog.add_spectrum(
            np.array([0.0, 0.5]),
            np.array([1.0, 2.0]),
            supplemental_properties={"Kind": "TIC", "TimeUnit": "second"},
        )


def main():
    HERE.mkdir(exist_ok=True)
    write_precursor_details(HERE / "precursor_details.vdp")
    # A real DDA file as zelc 1.1.0 converts it: profile MS1 peak-picked, HCD
    # MS2 with charge, precursor intensity and isolation window, TIC and BPC
    # as traces.
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    source = SAMPLES / "three_test_scans.mzML"
    subprocess.run(
        [zelc, source, "-dest", HERE / "zelc_three_scans.vdp", "-f"],
        check=True,
        capture_output=True,
    )
    for name in sorted(p.name for p in HERE.glob("*.vdp")):
        expected = dump(HERE / name)
        (HERE / (name[:-4] + ".json")).write_text(json.dumps(expected, sort_keys=True) + "\n")


if __name__ == "__main__":
    main()
