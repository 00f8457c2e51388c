"""A file cut short or overwritten in place while it is open: every later read
raises VornIOError (or VornFormatError), and the process lives on.

The reads run in a child process: before the reader survived this, they
killed the process with SIGBUS."""

import json
import os
import shutil
import subprocess
import sys
import textwrap

import numpy as np
import pytest

from vorn_data_access import access
from vorn_data_access.writer import VornWriter

CHILD = textwrap.dedent(
    """
    import json, os, shutil, sys
    from vorn_data_access import access
    from vorn_data_access.common import ValueRange
    from vorn_data_access.exception import VornFormatError, VornIOError
    from vorn_data_access.qual import ChromatogramFilterOption as Option

    path, how, small = sys.argv[1:4]
    f = access.VornFile(path)
    m = f.get_measurement(0)
    qual, dad, quan = m.get_qual_analysis(0), m.get_dad_analysis(0), m.get_quan_analysis(0)
    ms1 = qual.unique_acquisition_conditions[0]
    last = qual.get_spectra_count() - 1
    if how == "overwrite":
        shutil.copyfile(small, path)  # as cp does: truncate, then write in place
    else:
        os.truncate(path, os.path.getsize(path) // 3)
    reads = {
        "spectrum": lambda: qual.get_spectrum(last).get_spectrum_points(),
        "xic": lambda: qual.get_xic(Option(ms1, ValueRange(400.0, 401.0))),
        "multiple xic": lambda: qual.get_multiple_xic([Option(ms1, ValueRange(500, 600))]),
        "first spectrum": lambda: qual.get_spectrum(0).get_spectrum_points(),
        "dad chromatogram": lambda: dad.get_chromatogram(ValueRange(250, 260)),
        "max plot": lambda: dad.get_max_plot(ValueRange(250, 260), 2.0),
        "dad spectrum": lambda: dad.get_spectrum(0).get_spectrum_points(),
        "trace": lambda: quan.get_trace_points(quan.get_trace_count() - 1),
        "trace arrays": lambda: quan.trace_arrays(quan.get_trace_count() - 1),
        "xic arrays": lambda: qual.xic_arrays([(400.0, 401.0), (500.0, 600.0)]),
        "dad arrays": lambda: dad.chromatogram_arrays((250.0, 260.0)),
        "absorbance matrix": lambda: dad.absorbance_matrix(),
        "measurement": lambda: f.get_measurement(0),
    }
    outcome = {}
    for name, read in reads.items():
        try:
            read()
            outcome[name] = "read"
        except (VornIOError, VornFormatError) as e:
            outcome[name] = [type(e).__name__, str(e)]
    print(json.dumps(outcome))
    """
)


@pytest.fixture
def big_file(tmp_path):
    """Spectra, diode-array spectra and traces over a few megabytes."""
    rng = np.random.default_rng(3)
    path = tmp_path / "big.vdp"
    with VornWriter(path) as w:
        m = w.add_measurement()
        ms = m.add_ms_function()
        for i in range(300):
            mz = np.sort(rng.uniform(100.0, 1000.0, 1000))
            ms.add_spectrum(mz, rng.uniform(0, 1e5, 1000), retention_time=0.01 * i, ms_level=1)
        wavelengths = np.arange(200.0, 400.0, 1.0)
        dad = m.add_dad_function(wavelengths)
        for i in range(200):
            dad.add_spectrum(None, rng.uniform(0, 1, wavelengths.size), retention_time=0.01 * i)
        quan = m.add_quan_function()
        for _ in range(20):
            times = np.linspace(0.0, 3.0, 2000)
            quan.add_spectrum(times, rng.uniform(0, 1e4, times.size))
    return path


@pytest.mark.parametrize("how", ["overwrite", "truncate"])
def test_file_changed_under_an_open_reader(big_file, small_file, how):
    r = subprocess.run(
        [sys.executable, "-c", CHILD, str(big_file), how, str(small_file)],
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert r.returncode == 0, (
        f"child ended with {r.returncode} (negative: killed by a signal)\n{r.stderr}"
    )
    outcome = json.loads(r.stdout)
    # The data lay beyond the new end of the file: none of it is returned.
    failed = {k: v for k, v in outcome.items() if k != "first spectrum"}
    assert all(v != "read" for v in failed.values()), outcome
    io_errors = [v for v in outcome.values() if v != "read" and v[0] == "VornIOError"]
    assert io_errors, outcome
    assert all(f"'{big_file}' changed while open" in v[1] for v in io_errors)
    # Once found changed, the file stays changed for its reader.
    assert outcome["measurement"][0] == "VornIOError"


def test_reopened_file_reads_its_new_content(big_file, small_file):
    with access.VornFile(str(big_file)) as f:
        f.get_measurement(0)
        shutil.copyfile(small_file, big_file)
    with access.VornFile(str(big_file)) as f:
        assert f.get_measurement_count() == 2


def test_writer_replaces_a_file_without_disturbing_its_reader(big_file, small_file):
    """The writer writes a new file and moves it into place: a reader of the
    old file keeps reading the old bytes."""
    with access.VornFile(str(big_file)) as f:
        qual = f.get_measurement(0).get_qual_analysis(0)
        before = qual.get_spectrum(299).get_spectrum_points().intensity_array.copy()
        with VornWriter(big_file, overwrite=True) as w:
            w.add_measurement()
        after = qual.get_spectrum(299).get_spectrum_points().intensity_array
        assert np.array_equal(before, after)
    assert os.path.getsize(big_file) < 10_000
