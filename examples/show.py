"""Prints what a container file holds: measurements, analyses, and a TIC and
an XIC summary for each mass-spectrometry analysis.

    python examples/show.py FILE.vdp
"""

import sys

import numpy as np

from vorn_data_access.access import VornFile
from vorn_data_access.common import (
    SpectrumBasedChromatogramPoint,
    ValueRange,
    chromatogram_to_arrays,
)
from vorn_data_access.qual import ChromatogramFilterOption


def summarize(points: list[SpectrumBasedChromatogramPoint]) -> str:
    index, rt, intensity, base_x = chromatogram_to_arrays(points)
    if not len(rt):
        return "no points"
    top = int(np.argmax(intensity))
    return (
        f"{len(rt)} points, {rt[0]:.3f}-{rt[-1]:.3f} min, "
        f"highest {intensity[top]:.4g} at {rt[top]:.3f} min (x {base_x[top]:.4f})"
    )


def main(path: str) -> None:
    with VornFile(path) as f:
        print(
            f"{path}: format {f.get_file_format_version()}, "
            f"written by converter {f.get_converter_version()}"
        )
        for i in range(f.get_measurement_count()):
            m = f.get_measurement(i)
            print(f"measurement {i}: {m}")
            print(
                f"  instrument: {m.instrument_manufacturer} {m.instrument_product_name}, "
                f"acquired {m.measurement_date_time}"
            )
            for k in range(m.get_qual_analysis_count()):
                a = m.get_qual_analysis(k)
                print(f"  MS analysis {a}")
                for c in a.unique_acquisition_conditions[:3]:
                    print(f"    condition {c}")
                ms1 = a.unique_acquisition_conditions[0]
                tic = a.get_tic(ms1)
                print(f"    TIC of {ms1.ms_level and 'MS' + str(ms1.ms_level)}: {summarize(tic)}")
                if tic:
                    _, _, intensity, base_x = chromatogram_to_arrays(tic)
                    mz = float(base_x[int(np.argmax(intensity))])
                    window = ValueRange(mz * (1 - 1e-5), mz * (1 + 1e-5))
                    xic = a.get_xic(ChromatogramFilterOption(ms1, window))
                    print(f"    XIC of m/z {mz:.4f} +/- 10 ppm: {summarize(xic)}")
            for k in range(m.get_dad_analysis_count()):
                d = m.get_dad_analysis(k)
                plot = d.get_max_plot(ValueRange(200, 600), 2.0)
                print(f"  diode-array analysis {d}; max plot: {summarize(plot)}")
            for k in range(m.get_quan_analysis_count()):
                print(f"  quantitative analysis {m.get_quan_analysis(k)}")
            for k in range(m.get_analog_analysis_count()):
                print(f"  analog analysis {m.get_analog_analysis(k)}")


if __name__ == "__main__":
    main(sys.argv[1])
