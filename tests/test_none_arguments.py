"""Arguments that are any object may be None: the bindings never refuse None
with nanobind's "incompatible function arguments", so the function's own
rule decides (a truth value, a stored value, the interpreter's own error)."""

import importlib
import inspect
import os
import re
import sys

import pytest

from vorn_data_access import access, qual, quan
from vorn_data_access import converter as cv
from vorn_data_access._internal import _reader
from vorn_data_access.writer import VornWriter

MODULES = [
    "access",
    "qual",
    "quan",
    "common",
    "converter",
    "writer",
    "_internal._reader",
    "_internal._index",
    "_internal._description",
    "_internal._enum",
]

# Parameters that take any object but not None: arrays of points, where None
# would silently become an array of one NaN.
REFUSING_NONE = {
    "SpectrumPointList.__init__": {"x", "intensity"},
    "FunctionWriter.add_spectrum": {"intensity"},
}


def bound_callables():
    """(qualified name, signature text) of every function the modules bind."""
    seen, out = set(), []
    for name in MODULES:
        module = importlib.import_module(f"vorn_data_access.{name}")
        owners = [(None, module)] + [
            (k, v)
            for k, v in vars(module).items()
            if inspect.isclass(v) and v.__module__.startswith("vorn_data_access")
        ]
        for owner, scope in owners:
            for attr, value in vars(scope).items():
                if isinstance(value, (classmethod, staticmethod)):
                    value = value.__func__
                for signature in getattr(value, "__nb_signature__", None) or ():
                    key = (owner, attr, signature[0])
                    if key not in seen:
                        seen.add(key)
                        out.append((f"{owner}.{attr}" if owner else attr, signature[0]))
    return out


CALLABLES = bound_callables()


def test_bound_callables_are_found():
    names = {name for name, _ in CALLABLES}
    assert {"ZelConverter.convert", "VornFile.get_measurement", "QuanAnalysis._create"} <= names


@pytest.mark.parametrize("name, signature", CALLABLES, ids=[n for n, _ in CALLABLES])
def test_object_parameters_accept_none(name, signature):
    """A parameter shown as plain `object` takes any object; without `| None`
    nanobind would refuse None before the function's own rule is applied.
    (Parameters of a declared type, such as float or slice, may refuse it.)"""
    params = re.match(r"def \w+\((.*)\)", signature).group(1)
    refused = {
        p.split(":")[0].strip()
        for p in params.split(", ")
        if ":" in p
        and p.split(":")[0].strip() not in ("self", "cls")
        and re.fullmatch(r"object( = .*)?", p.split(":", 1)[1].strip())
    }
    assert refused <= REFUSING_NONE.get(name, set()), f"{name}: {signature}"


@pytest.fixture
def windows(monkeypatch):
    monkeypatch.setattr(sys, "platform", "win32")
    monkeypatch.setattr(os, "linesep", "\r\n")


class Recorder(cv.ZelConverter):
    def _ZelConverter__convert(self, args, dest_path):
        self.args, self.dest = list(args), dest_path
        return "future"


@pytest.mark.parametrize("overwrite, flag", [(None, False), (0, False), ("", False), ("x", True)])
def test_converter_reads_overwrite_by_truth(windows, overwrite, flag):
    r = Recorder()
    assert r.convert("x.raw", "y.dat", overwrite) == "future"
    assert ("-f" in r.args) is flag


def test_converter_passes_none_on(windows):
    r = Recorder()
    r.convert(["x.raw"], None, None)
    assert (r.args[-1], r.dest) == (None, None)
    with pytest.raises(TypeError, match="not iterable"):
        r.convert(None, "y.dat", False)


def test_access_takes_none_where_python_would(small_file):
    with pytest.raises(TypeError, match="NoneType"):
        access.VornFile(None)
    with access.VornFile(str(small_file)) as f:
        with pytest.raises(TypeError, match="'<' not supported"):
            f.get_measurement(None)
        m = f.get_measurement(0)
        for getter in (m.get_qual_analysis, m.get_dad_analysis, m.get_quan_analysis):
            with pytest.raises(TypeError, match="'<' not supported"):
                getter(None)
        function_index = m._Measurement__qual_index_list[0]
        for cls in (qual.QualAnalysis, qual.DADAnalysis, quan.QuanAnalysis):
            factory = getattr(cls, f"_{cls.__name__}__create_instance")
            if cls is qual.DADAnalysis:
                function_index = m._Measurement__dad_index_list[0]
            assert factory(function_index, None).index is None


@pytest.mark.parametrize(
    "cls",
    [
        qual.ProductIonScanCondition,
        qual.PrecursorIonScanCondition,
        qual.NeutralLossScanCondition,
        qual.NeutralGainScanCondition,
    ],
)
def test_scan_condition_of_none_raises_the_attribute_error(cls):
    with pytest.raises(AttributeError):
        cls(None)


def test_writer_flags_are_truth_values(tmp_path):
    path = tmp_path / "out.vdp"
    with VornWriter(path, overwrite=None) as w:
        w.add_measurement().add_dad_function([200.0], wavelengths_f32=None)
    with VornWriter(path, overwrite=1) as w:
        fn = w.add_measurement().add_dad_function([200.0], wavelengths_f32="yes")
        with pytest.raises(TypeError, match="incompatible function arguments"):
            fn.add_spectrum(None, None)
    with pytest.raises(TypeError, match="NoneType"):
        VornWriter(None)


def test_reader_without_wavelengths(small_file):
    with access.VornFile(str(small_file)) as f:
        reader = f._VornFile__reader
        record = f.get_measurement(0).get_qual_analysis(0)._QualAnalysis__spectrum_index_list[0]
        reader._VdpFileReader__set_buffer(record._SpectrumIndex__position)
        points = reader._VdpFileReader__read_dad_spectrum(None)
        assert isinstance(points, _reader.SpectrumPointList) and len(points) == 50
