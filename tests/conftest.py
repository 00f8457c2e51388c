import pathlib
import shutil
import subprocess
import sysconfig

import numpy as np
import pytest

from vorn_data_access._internal._enum import VornSymbols
from vorn_data_access._internal._index import SpectrumIndex
from vorn_data_access.common import PolarityTypes, SpectrumTypes
from vorn_data_access.writer import VornWriter


def read_spectrum_index_block(reader, position):
    """Reads a spectrum index block through the reader protocol; returns the records."""
    r = reader
    r._VdpFileReader__set_buffer(position)
    r._VdpFileReader__confirm_vorn_symbol(VornSymbols.BEGIN_OF_SPECTRUM_INDEX_BLOCK)
    origin = r._VdpFileReader__get_absolute_position()
    count = r._VdpFileReader__read_uint32()
    has_profile = r._VdpFileReader__read_bool()
    positions = r._VdpFileReader__read_int64_array()
    profiles = r._VdpFileReader__read_int64_array() if has_profile else None
    r._VdpFileReader__set_decompressed_buffer()
    records = [
        SpectrumIndex._SpectrumIndex__create_instance(r, positions[i] + origin, i)
        for i in range(count)
    ]
    if profiles is not None:
        for i, rec in enumerate(records):
            rec._SpectrumIndex__set_profile_position(profiles[i] + origin)
    r._VdpFileReader__reset_decompressed_buffer()
    r._VdpFileReader__confirm_vorn_symbol(VornSymbols.END_OF_SPECTRUM_INDEX_BLOCK)
    return records


def read_points(record):
    reader = record._SpectrumIndex__reader
    reader._VdpFileReader__set_buffer(record._SpectrumIndex__position)
    return reader._VdpFileReader__read_spectrum()


def centroid(rng, n, lo=100.0, hi=1000.0):
    mz = np.sort(rng.uniform(lo, hi, n))
    intensity = rng.uniform(1, 1e5, n).astype(np.float32)
    return mz, intensity


@pytest.fixture
def rng():
    return np.random.default_rng(7)


@pytest.fixture
def small_file(tmp_path, rng):
    """Two measurements: MS, DAD, MS functions in the first; nothing in the second."""
    path = tmp_path / "small.vdp"
    with VornWriter(path, converter_version=(3, 1, 0)) as w:
        m = w.add_measurement(sample_name="Blank", sample_id="S1", well_code="A1")
        ms = m.add_ms_function(supplemental_properties={"Name": "MS1"})
        for i in range(4):
            mz, it = centroid(rng, 50)
            ms.add_spectrum(
                mz,
                it,
                retention_time=0.5 * i,
                ms_level=1,
                polarity=PolarityTypes.POSITIVE,
                spectrum_type=SpectrumTypes.CENTROID,
            )
        dad = m.add_dad_function(np.arange(200.0, 300.0, 10.0))
        dad.add_spectrum(None, np.linspace(0, 1, 10), retention_time=0.1)
        ms2 = m.add_ms_function()
        mz, it = centroid(rng, 20)
        ms2.add_spectrum(mz, it, retention_time=1.0, ms_level=2)
        w.add_measurement()
    return path


def sample_sources():
    """The real sample files: those bundled in tests/data and those of the
    shared data folder beside the checkout (or beside its worktree folder)."""
    here = pathlib.Path(__file__).parent
    folders = [here / "data" / "mzml"] + [
        up / "shared" / "data" / "mzml" for up in (here.parent.parent, here.parent.parent.parent)
    ]
    found = {}
    for folder in folders:
        if folder.is_dir():
            for p in folder.iterdir():
                if p.suffix in (".mzML", ".mzXML") and p.name not in found:
                    found[p.name] = p
    return [found[name] for name in sorted(found)]


def sample_named(name):
    """The sample file called `name`; skips the test where it is not here
    (a checkout without the shared data folder has only the bundled ones)."""
    for p in sample_sources():
        if p.name == name:
            return p
    pytest.skip(f"{name} is not here")


@pytest.fixture(scope="session")
def convert_sample(tmp_path_factory):
    """Converts a sample file with the installed zelc once per session; returns the container."""
    folder = tmp_path_factory.mktemp("samples")
    program = pathlib.Path(sysconfig.get_path("scripts")) / "zelc"
    program = str(program if program.exists() else shutil.which("zelc"))
    done = {}

    def convert(source):
        if source not in done:
            dest = folder / (source.name + ".vdp")
            r = subprocess.run(
                [program, str(source), "-dest", str(dest), "--background"],
                capture_output=True,
                timeout=300,
            )
            # What zelc cannot convert yet is its own tests' concern.
            done[source] = dest if r.returncode == 0 else r.stderr.decode(errors="replace")
        if not isinstance(done[source], pathlib.Path):
            pytest.skip(f"zelc does not convert {source.name}: {done[source]}")
        return done[source]

    return convert
