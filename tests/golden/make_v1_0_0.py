"""Writes the golden container files of format 1.0.0 and their expected values.

Run once, with the 1.0.0 writer, from the tests' folder:
    python golden/make_v1_0_0.py
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

from vorn_data_access._internal._description import (
    TripleQScanTypes,
    VendorSpecificAdditionalConditionTypes,
)
from vorn_data_access.common import PolarityTypes, SpectrumTypes, ValueRange
from vorn_data_access.writer import VornWriter

HERE = pathlib.Path(__file__).parent / "v1.0.0"
SAMPLES = pathlib.Path(__file__).parent.parent / "data" / "mzml"

THERMO = {
    "type": VendorSpecificAdditionalConditionTypes.THERMO_FISHER_RAW_FILE_READER,
    "original_id": 3,
    "cone_voltage": 10.0,
    "scan_info_string": "FTMS + p ESI Full ms [100.00-1500.00]",
}
NEUTRAL_LOSS = {
    "type": TripleQScanTypes.NEUTRAL_LOSS,
    "target_mz": 98.0,
    "q1_range": ValueRange(100.0, 800.0),
    "q3_range": ValueRange(2.0, 702.0),
}
PROPERTIES = {
    "Text": "é ü",
    "Integer": -12,
    "Float": 0.25,
    "True": True,
    "False": False,
    "None": None,
}


def write_every_record(path):
    rng = np.random.default_rng(20261208)
    with VornWriter(path, overwrite=True, converter_version=(1, 0, 0)) as w:
        m = w.add_measurement(
            hash="0123456789abcdef0123456789abcdef01234567",
            sample_name="Golden sample",
            sample_id="G-1",
            acquisition_method_file_name="method.m",
            dilution_factor=2.5,
            injection_volume=5.0,
            original_file_path="C:/data/golden.raw",
            instrument_product_name="Golden Instrument",
            measurement_user_name="Analyst",
            plate_code="P1",
            well_code="A1",
            measurement_date_time="2026-12-08T12:00:00Z",
            instrument_manufacturer="Vorn",
            source_file_definition="mzML 1.1.0",
            supplemental_properties=PROPERTIES,
        )
        # Derived conditions: MS1 profile with its centroids (several chunks),
        # MS2 with every description field, an empty spectrum, a vendor and a
        # triple-quadrupole condition.
        ms = m.add_ms_function(supplemental_properties={"WatersFunction": 1})
        profile_mz = np.linspace(100.0, 1100.0, 1500)
        profile_intensity = (1e4 * (1 + np.sin(profile_mz))).astype(np.float32)
        centroid_mz = np.sort(rng.uniform(100.0, 1100.0, 700))
        ms.add_spectrum(
            centroid_mz,
            rng.uniform(1.0, 1e5, 700),
            retention_time=0.5,
            ms_level=1,
            polarity=PolarityTypes.POSITIVE,
            mass_range=ValueRange(100.0, 1100.0),
            spectrum_type=SpectrumTypes.CENTROID,
            is_profile_spectrum_measured=True,
            profile=(profile_mz, profile_intensity),
            vendor_condition=THERMO,
            supplemental_properties={
                "NativeId": "scan=1",
                "ScanFilter": THERMO["scan_info_string"],
            },
        )
        ms.add_spectrum(
            np.sort(rng.uniform(50.0, 450.0, 40)).astype(np.float32),
            rng.uniform(1.0, 1e3, 40).astype(np.float32),
            retention_time=0.55,
            ms_level=2,
            polarity=PolarityTypes.POSITIVE,
            collision_energy=35.0,
            cone_voltage=20.0,
            mass_range=ValueRange(50.0, 460.0),
            precursor_range=ValueRange(444.62, 445.62),
            precursor_value=445.12,
            precursor_index=0,
            product_indices=[2],
            spectrum_type=SpectrumTypes.CENTROID,
            is_profile_spectrum_measured=False,
            current_total_ion=1234.5,
            base_peak_mz=300.25,
            base_peak_intensity=999.0,
            supplemental_properties=PROPERTIES,
        )
        ms.add_spectrum(
            np.array([], dtype=np.float64),
            np.array([], dtype=np.float64),
            retention_time=0.6,
            ms_level=2,
            polarity=PolarityTypes.NEGATIVE,
            precursor_value=445.12,
            triple_q_scan_condition=NEUTRAL_LOSS,
        )
        ms.add_spectrum([150.0, 151.0], [1.0, 2.0], ms_level=1)  # no retention time
        # An explicit condition list that spectra name by index.
        explicit = m.add_ms_function(
            conditions=[
                dict(
                    ms_level=1,
                    polarity=PolarityTypes.BOTH,
                    mass_range=(100.0, 900.0),
                    original_measured_spectrum_type=SpectrumTypes.PROFILE,
                    vendor_condition=THERMO,
                ),
                dict(
                    collision_energy=25.0,
                    precursor_range=(300.0, 301.0),
                    precursor_value=300.5,
                    triple_q_scan_condition=NEUTRAL_LOSS,
                ),
            ]
        )
        explicit.add_spectrum(
            [300.0, 400.0], [5.0, 6.0], retention_time=1.0, acquisition_condition_index=1
        )
        explicit.add_spectrum([100.0], [7.0], retention_time=1.1, acquisition_condition_index=0)
        # Diode array: shared f32 wavelengths, plus a spectrum with its own.
        dad = m.add_dad_function(
            np.arange(200.0, 400.0, 4.0),
            wavelengths_f32=True,
            supplemental_properties={"Detector": "DAD1"},
        )
        for i in range(5):
            dad.add_spectrum(
                None, (np.arange(50) * 0.01 + i).astype(np.float32), retention_time=0.1 * i
            )
        dad.add_spectrum(np.array([250.0, 260.0]), np.array([0.5, 0.75]), retention_time=0.6)
        # Traces: SRM with properties, an empty trace, and an analog channel.
        quan = m.add_quan_function(supplemental_properties={"Transitions": 2})
        quan.add_spectrum(
            np.linspace(0.0, 2.0, 30),
            rng.uniform(0, 1e4, 30).astype(np.float32),
            precursor_value=580.31,
            collision_energy=22.0,
            polarity=PolarityTypes.NEGATIVE,
            supplemental_properties={"NativeId": "SRM 1", "Kind": "SRM", "ProductMz": 674.41},
        )
        quan.add_spectrum(
            np.array([], dtype=np.float32),
            np.array([], dtype=np.float32),
            supplemental_properties={"NativeId": "SRM empty", "Kind": "SRM"},
        )
        analog = m.add_analog_function()
        analog.add_spectrum(
            np.linspace(0.0, 1.0, 11),
            np.linspace(-1.0, 1.0, 11),
            supplemental_properties={"Kind": "pressure chromatogram"},
        )
        # A measurement with nothing in it, and one with metadata only.
        w.add_measurement()
        w.add_measurement(sample_name="", sample_id="second")


def main():
    HERE.mkdir(exist_ok=True)
    files = {"every_record.vdp": write_every_record}
    for name, write in files.items():
        write(HERE / name)
    # A real file as zelc 1.0.0 converts it (MS-Numpress source, MS1 and MS2).
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    source = SAMPLES / "FileFilter_37_output.mzML"
    subprocess.run(
        [zelc, source, "-dest", HERE / "zelc_numpress.vdp", "-f"], check=True, capture_output=True
    )
    for name in sorted(p.name for p in HERE.glob("*.vdp")):
        expected = dump(HERE / name)
        (HERE / (name[:-4] + ".json")).write_text(json.dumps(expected, sort_keys=True) + "\n")


if __name__ == "__main__":
    main()
