"""Seeds for the fuzz targets, written to fuzz/out/corpus/<target>/: small
container files made by the writer and by zelc, their spectrum data blocks,
small mzML and mzXML files, binary arrays taken from them, and byte streams
for the XIC planner.

    python fuzz/make_corpus.py [SAMPLE_FOLDER]
"""

import base64
import pathlib
import re
import subprocess
import sys
import sysconfig
import tempfile
import zlib

import numpy as np

HERE = pathlib.Path(__file__).parent
sys.path.insert(0, str(HERE.parent / "tests"))
import vdp_layout  # noqa: E402

from vorn_data_access.common import PolarityTypes, SpectrumTypes  # noqa: E402
from vorn_data_access.writer import VornWriter  # noqa: E402

OUT = HERE / "out" / "corpus"


def containers(folder):
    rng = np.random.default_rng(1)
    made = []
    for k, (chunk, f32) in enumerate([(16, False), (64, True), (512, False)]):
        path = folder / f"w{k}.vdp"
        with VornWriter(path, chunk_points=chunk) as w:
            m = w.add_measurement(sample_name="S", supplemental_properties={"k": 1.5})
            ms = m.add_ms_function(conditions="derive" if k != 1 else None)
            for i in range(3):
                n = 20 + 10 * i
                mz = np.sort(rng.uniform(100, 400, n)).astype(np.float32 if f32 else np.float64)
                ms.add_spectrum(
                    mz,
                    rng.uniform(0, 9, n).astype(np.float32),
                    retention_time=i * 0.1,
                    ms_level=1 + i % 2,
                    polarity=PolarityTypes.POSITIVE,
                    spectrum_type=SpectrumTypes.CENTROID,
                    precursor_value=300.0,
                    profile=(np.linspace(99, 101, 9), np.arange(9.0)) if i == 0 else None,
                )
            dad = m.add_dad_function([200.0, 210.0, 220.0, 230.0])
            dad.add_spectrum(None, [0.1, 0.2, 0.3, 0.1], retention_time=0.2)
            m.add_quan_function().add_spectrum([0.1, 0.2, 0.3], [5.0, 6.0, 7.0])
            w.add_measurement()
        made.append(path)
    VornWriter(folder / "empty.vdp").finish()
    made.append(folder / "empty.vdp")
    return made


def xic_planner_seeds():
    """Inputs of fuzz_xic_planner (a byte stream read field by field, see
    there): random streams of a few lengths, and some whose bounds are all
    NaN or infinite (bytes 253 to 255)."""
    rng = np.random.default_rng(3)
    seeds = {
        f"random_{n}_{k}": rng.integers(0, 256, n, dtype=np.uint8).tobytes()
        for n in (16, 64, 256, 1024)
        for k in range(3)
    }
    for k, special in enumerate((253, 254, 255)):
        data = rng.integers(0, 256, 512, dtype=np.uint8)
        data[rng.random(512) < 0.2] = special
        seeds[f"bounds_{k}"] = data.tobytes()
    return seeds


def main():
    samples = (
        pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE.parent / "tests" / "data" / "mzml"
    )
    for target in (
        "container",
        "spectrum_block",
        "zelc_xml",
        "zelc_arrays",
        "zelc_convert",
        "xic_planner",
    ):
        (OUT / target).mkdir(parents=True, exist_ok=True)
    for name, data in xic_planner_seeds().items():
        (OUT / "xic_planner" / name).write_bytes(data)
    tmp = pathlib.Path(tempfile.mkdtemp())
    files = containers(tmp)
    zelc = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    small = sorted(p for p in samples.iterdir() if p.suffix in (".mzML", ".mzXML"))
    for p in small:
        if p.stat().st_size < 80_000:
            dest = tmp / (p.stem + ".vdp")
            subprocess.run([zelc, p, "-dest", dest, "-f"], check=True, stdout=subprocess.DEVNULL)
            files.append(dest)
    for f in files:
        data = f.read_bytes()
        (OUT / "container" / f.name).write_bytes(data)
        for pos, size, kind in vdp_layout.blocks(data):
            if kind == "spectrum data":
                (OUT / "spectrum_block" / f"{f.stem}_{pos}").write_bytes(data[pos : pos + size])
    for p in small:
        text = p.read_bytes()
        (OUT / "zelc_xml" / p.name).write_bytes(text[:60_000])
        for k, b64 in enumerate(re.findall(rb"<binary>([^<]{1,4000})</binary>", text)[:6]):
            raw = base64.b64decode(b64)
            for mode in (0, 1, 2, 4, 4 + 6 * 1, 4 + 6 * 2):
                (OUT / "zelc_arrays" / f"{p.stem}_{k}_{mode}").write_bytes(
                    bytes([mode]) + (b64 if mode >= 4 else raw)
                )
            (OUT / "zelc_arrays" / f"{p.stem}_{k}_z").write_bytes(bytes([3]) + zlib.compress(raw))
    mzxml = (
        b'<mzXML><msRun scanCount="1"><parentFile fileName="a" fileType="RAWData"/>'
        b'<scan num="1" msLevel="2" peaksCount="2" polarity="+" retentionTime="PT1.5S">'
        b'<precursorMz precursorScanNum="0" windowWideness="2">445.1</precursorMz>'
        b'<peaks precision="32" byteOrder="network" contentType="m/z-int" compressionType="none">'
        + base64.b64encode(np.array([100, 5, 200, 6], ">f4").tobytes())
        + b"</peaks></scan></msRun></mzXML>"
    )
    (OUT / "zelc_xml" / "tiny.mzXML").write_bytes(mzxml)
    # Whole small files, so that conversions get to the end; the first byte
    # picks the options (0: defaults, 1: keep profile spectra).
    whole = [(p.name, p.read_bytes()) for p in small if p.stat().st_size < 60_000]
    for name, text in [*whole, ("tiny.mzXML", mzxml)]:
        for options in (0, 1):
            (OUT / "zelc_convert" / f"{options}_{name}").write_bytes(bytes([options]) + text)
    print(f"corpus in {OUT}")


if __name__ == "__main__":
    main()
