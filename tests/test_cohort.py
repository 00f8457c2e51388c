"""Many runs on a Dask cluster of two worker processes: conversion of a folder
(idempotent, a broken file as a row), and XICs, traces and UV ranges from
every file equal to a plain loop, with broken files and a killed worker."""

import os
import pathlib
import shutil

import numpy as np
import pytest

pd = pytest.importorskip("pandas")
distributed = pytest.importorskip("distributed")

from vorn_data_access import cohort  # noqa: E402
from vorn_data_access.access import VornFile  # noqa: E402

DATA = pathlib.Path(__file__).parent / "data" / "mzml"
TOF = DATA / "TOFsulfasMS4GHzDualMode+DADSpectra+UVSignal272-NoProfile.mzML"
SRM = DATA / "MRM Neg C5.mzML"
SIM = DATA / "reserpine-MS2sim-010.mzML"

pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning", "ignore::ResourceWarning")


@pytest.fixture(scope="module")
def client():
    with (
        distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        distributed.Client(cluster) as c,
    ):
        yield c


@pytest.fixture(scope="module")
def runs(tmp_path_factory, client):
    """Containers of the samples: three copies of the TOF run and the SRM run,
    plus a broken file."""
    src = tmp_path_factory.mktemp("sources")
    for k in range(3):
        shutil.copy(TOF, src / f"tof_{k}.mzML")
    shutil.copy(SRM, src / "srm.mzML")
    out = tmp_path_factory.mktemp("runs")
    table = cohort.convert(sorted(src.iterdir()), out, client)
    assert list(table.status) == ["converted"] * 4
    broken = out / "broken.vdp"
    broken.write_bytes(b"not a container")
    return {
        "tof": [out / f"tof_{k}.vdp" for k in range(3)],
        "srm": out / "srm.vdp",
        "broken": broken,
    }


def test_convert_reports_each_source_and_skips_what_is_done(tmp_path, client):
    src = tmp_path / "in"
    src.mkdir()
    shutil.copy(SRM, src / "a.mzML")
    shutil.copy(SIM, src / "b.mzML")
    (src / "broken.mzML").write_text("<mzML><run><spectrumList><spectrum")
    sources = sorted(src.iterdir())
    first = cohort.convert(sources, tmp_path / "out", client)
    assert list(first.columns) == cohort.CONVERT_COLUMNS
    assert dict(zip(first.source.map(os.path.basename), first.status, strict=True)) == {
        "a.mzML": "converted",
        "b.mzML": "converted",
        "broken.mzML": "failed",
    }
    failed = first[first.status == "failed"].iloc[0]
    assert "broken.mzML" in failed.error and pd.isna(failed.destination_bytes)
    again = cohort.convert(sources, tmp_path / "out", client)
    assert list(again.status) == ["skipped", "skipped", "failed"]
    assert list(again.destination_bytes[:2]) == list(first.destination_bytes[:2])
    # Other options or other bytes convert again.
    assert list(cohort.convert(sources[:1], tmp_path / "out", client, srm=True).status) == [
        "converted"
    ]
    shutil.copy(SIM, src / "a.mzML")
    assert list(cohort.convert(sources[:1], tmp_path / "out", client, srm=True).status) == [
        "converted"
    ]
    assert list(
        cohort.convert(sources[:1], tmp_path / "out", client, srm=True, overwrite=True).status
    ) == ["converted"]


def targets():
    return pd.DataFrame(
        {
            "name": ["sulfa 279", "sulfa 311", "narrow rt", "by tolerance"],
            "mz": [279.0910, 311.0808, 279.0910, 255.0648],
            "ppm": [20.0, 20.0, 20.0, np.nan],
            "tolerance": [np.nan, np.nan, np.nan, 0.02],
            "rt_min": [np.nan, np.nan, 1.0, np.nan],
            "rt_max": [np.nan, np.nan, 2.5, np.nan],
        }
    )


def plain_loop(paths, t):
    """The same extraction, file by file, with the array API."""
    rows = []
    for path in paths:
        with VornFile(str(path)) as f:
            qual = f.get_measurement(0).get_qual_analysis(0)
            for r in t.to_dict("records"):
                half = r["tolerance"] if not np.isnan(r["tolerance"]) else r["mz"] * r["ppm"] * 1e-6
                rt, y = qual.xic_arrays([[r["mz"] - half, r["mz"] + half]])
                keep = np.ones(len(rt), bool)
                if not np.isnan(r["rt_min"]):
                    keep &= (rt >= r["rt_min"]) & (rt <= r["rt_max"])
                rows.append((str(path), r["name"], rt[keep], y[0][keep]))
    return rows


def assert_same_rows(frame, expected):
    assert len(frame) == len(expected)
    for (_, row), (path, name, rt, y) in zip(frame.iterrows(), expected, strict=True):
        assert (row.path, row.target, row.error) == (path, name, None)
        np.testing.assert_array_equal(row.retention_times, rt)
        np.testing.assert_array_equal(row.intensities, y)
        if len(y):
            assert row.apex_intensity == y.max() and row.apex_rt == rt[np.argmax(y)]
            assert row.area == pytest.approx(np.trapezoid(y, rt) if len(y) > 1 else 0.0)


def test_xics_equal_a_plain_loop(runs, client):
    frame = cohort.extract_xics(runs["tof"], targets(), client)
    assert list(frame.columns) == cohort.RESULT_COLUMNS
    assert_same_rows(frame, plain_loop(runs["tof"], targets()))
    assert frame.apex_intensity.notna().all() and (frame.area > 0).all()


def test_lazy_xics_compute_to_the_same_table(runs, client):
    lazy = cohort.extract_xics(runs["tof"], targets(), client, lazy=True)
    assert_same_rows(lazy.compute().reset_index(drop=True), plain_loop(runs["tof"], targets()))


def test_a_broken_file_is_a_row_with_its_error(runs, client):
    paths = [runs["tof"][0], runs["broken"], runs["tof"][1]]
    frame = cohort.extract_xics(paths, targets(), client)
    broken = frame[frame.path == str(runs["broken"])]
    assert len(broken) == len(targets())
    assert broken.error.str.contains("VornFormatError").all()
    assert frame[frame.path != str(runs["broken"])].error.isna().all()


def test_traces_and_uv_ranges(runs, client):
    with VornFile(str(runs["srm"])) as f:
        quan = f.get_measurement(0).get_quan_analysis(0)
        first = quan.traces[0]
        expected = quan.trace_arrays(0)
    transitions = pd.DataFrame(
        {
            "name": ["t0", "missing"],
            "q1": [first.precursor_mz, 999.0],
            "q3": [first.product_mz, np.nan],
        }
    )
    frame = cohort.extract_traces([runs["srm"]], transitions, client)
    t0 = frame.iloc[0]
    np.testing.assert_array_equal(t0.retention_times, expected[0])
    np.testing.assert_array_equal(t0.intensities, expected[1])
    assert "no trace with Q1 999" in frame.iloc[1].error

    ranges = pd.DataFrame({"name": ["272 nm"], "wl_min": [266.0], "wl_max": [278.0]})
    uv = cohort.extract_uv(runs["tof"][:1], ranges, client).iloc[0]
    with VornFile(str(runs["tof"][0])) as f:
        rt, absorbance = f.get_measurement(0).get_dad_analysis(0).chromatogram_arrays((266, 278))
    np.testing.assert_array_equal(uv.intensities, absorbance)
    assert uv.apex_rt == pytest.approx(0.82, abs=0.02)


class KillOnce(distributed.WorkerPlugin):
    """Kills the worker process the first time it starts a file's extraction."""

    def __init__(self, marker):
        self.marker = marker

    def setup(self, worker):
        self.worker = worker

    def transition(self, key, start, finish, **kwargs):
        if finish == "executing" and not os.path.exists(self.marker):
            with open(self.marker, "w"):
                pass
            os._exit(1)


@pytest.mark.slow
def test_a_killed_worker_is_retried_and_nothing_is_lost(runs, tmp_path):
    with (
        distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        distributed.Client(cluster) as c,
    ):
        marker = tmp_path / "killed"
        c.register_plugin(KillOnce(str(marker)))
        paths = runs["tof"] * 4
        frame = cohort.extract_xics(paths, targets(), c)
        assert marker.exists()
    assert_same_rows(frame, plain_loop(paths, targets()))
