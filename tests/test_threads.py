"""One open file used from several Python threads at once: every call gives
the result a lone caller gets, and closing the file under running reads turns
them into VornClosedError, never a crash or a half-read result."""

import sys
import threading

import numpy as np
import pytest
from conftest import centroid

from vorn_data_access import access
from vorn_data_access.common import PolarityTypes, ValueRange
from vorn_data_access.exception import VornClosedError
from vorn_data_access.qual import ChromatogramFilterOption as Option
from vorn_data_access.writer import VornWriter

THREADS = 4


@pytest.fixture(scope="module")
def busy_file(tmp_path_factory):
    rng = np.random.default_rng(5)
    path = tmp_path_factory.mktemp("threads") / "busy.vdp"
    with VornWriter(path, chunk_points=128) as w:
        m = w.add_measurement()
        ms = m.add_ms_function()
        for i in range(120):
            mz, intensity = centroid(rng, 3000)
            ms.add_spectrum(
                mz,
                intensity,
                retention_time=0.01 * i,
                ms_level=1 + i % 2,
                polarity=PolarityTypes.POSITIVE,
                precursor_value=500.0 if i % 2 else None,
            )
        wavelengths = np.arange(190.0, 600.0, 2.0)
        dad = m.add_dad_function(wavelengths)
        for i in range(300):
            dad.add_spectrum(None, rng.uniform(0, 1, wavelengths.size), retention_time=0.004 * i)
        # Traces of different lengths, so that one read in place of another shows.
        for fn in (m.add_quan_function(), m.add_analog_function()):
            for i in range(40):
                times = np.linspace(0.0, 1.2, 50 + 7 * i)
                fn.add_spectrum(times, rng.uniform(0, 1e4, times.size), precursor_value=100.0 + i)
    return path


@pytest.fixture(autouse=True)
def frequent_switches():
    """Threads switch every few bytecodes, so unguarded read sequences interleave."""
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)
    yield
    sys.setswitchinterval(interval)


def analyses(f):
    m = f.get_measurement(0)
    return (
        m.get_qual_analysis(0),
        m.get_dad_analysis(0),
        m.get_quan_analysis(0),
        m.get_analog_analysis(0),
    )


def trace_values(analysis):
    out = []
    for k in range(analysis.get_trace_count()):
        points = analysis.get_trace_points(k)
        description = analysis.get_trace_description(k)
        out.append(
            (
                len(points),
                float(points.intensity_array.sum()),
                description._InternalSpectrumDescription__precursor_value,
            )
        )
    return out


def workload(qual, dad, quan, analog):
    """Every kind of read, returning comparable plain values."""
    ms1 = qual.unique_acquisition_conditions[0]
    windows = [ValueRange(lo, lo + 0.5) for lo in np.linspace(150, 950, 40)]
    out = [
        [(p.spectrum_index, p.intensity) for p in qual.get_tic(ms1)],
        [(p.spectrum_index, p.intensity, p.base_x) for p in qual.get_bpc(ms1)],
        [
            [p.intensity for p in x]
            for x in qual.get_multiple_xic([Option(ms1, w) for w in windows])
        ],
        [p.intensity for p in qual.get_xic(Option(ms1, ValueRange(400, 420)))],
        [
            float(qual.get_spectrum(i).get_spectrum_points().intensity_array.sum())
            for i in (0, 57, 119)
        ],
        [(p.retention_time, p.intensity) for p in dad.get_chromatogram(ValueRange(250, 260))],
    ]
    plot = dad.get_max_plot(ValueRange(220, 400), 4.0)
    out.append([(p.retention_time, p.intensity, p.base_x) for p in plot])
    out.append(trace_values(quan))
    out.append(trace_values(analog))
    return out


def run_threads(target):
    errors = []

    def guarded():
        try:
            target()
        except BaseException as e:  # noqa: BLE001 - reported to the main thread
            errors.append(e)

    threads = [threading.Thread(target=guarded) for _ in range(THREADS)]
    for t in threads:
        t.start()
    return threads, errors


def test_shared_file_gives_the_lone_callers_results(busy_file):
    with access.VornFile(str(busy_file)) as f:
        expected = workload(*analyses(f))
        results = []
        threads, errors = run_threads(
            lambda: results.extend(workload(*analyses(f)) for _ in range(3))
        )
        for t in threads:
            t.join()
    assert errors == []
    assert len(results) == 3 * THREADS
    assert all(r == expected for r in results)


def test_closing_under_running_reads(busy_file):
    f = access.VornFile(str(busy_file))
    expected = workload(*analyses(f))
    started = threading.Barrier(THREADS + 1)

    def reader():
        # Analyses made before the close, so that it lands in the middle of reads.
        made = analyses(f)
        started.wait()
        while True:
            try:
                result = workload(*made)
            except VornClosedError:
                return
            assert result == expected

    threads, errors = run_threads(reader)
    started.wait()
    f.close()
    for t in threads:
        t.join(timeout=60)
    assert not any(t.is_alive() for t in threads)
    assert errors == []
    with pytest.raises(VornClosedError):
        analyses(f)
