"""Shared enumerations, ValueRange and SpectrumBasedChromatogramPoint."""

import collections.abc
import enum
import types

import numpy
import numpy.typing


class PolarityTypes(enum.Enum):
    """Ion polarity of a spectrum; `value` orders them."""

    POSITIVE = 0
    """Positive ions."""

    NEGATIVE = 1
    """Negative ions."""

    BOTH = 2
    """Both polarities."""

class SpectrumTypes(enum.Enum):
    """Whether spectrum points are profile or centroid."""

    PROFILE = 0
    """Profile (continuum) points."""

    CENTROID = 1
    """Centroid (peak) points."""

    UNKNOWN = 2
    """Not known."""

class AnalysisTypes(enum.Flag):
    """
    Kinds of analysis to convert; combine with |, test with &. ALL is no restriction.
    """

    ALL = 0
    """No restriction."""

    QUAL = 1
    """Mass-spectrometry (qual) analyses."""

    QUAN = 2
    """Quantitative (SRM/SIM) analyses."""

    DAD = 4
    """Diode-array analyses."""

    ANALOG = 8
    """Analog-detector analyses."""

class QuanAnalysisTypes(enum.Flag):
    """
    Quantitation scan kinds to keep; combine with |, test with &. ALL is no restriction.
    """

    ALL = 0
    """No restriction."""

    SIM = 1
    """Selected ion monitoring."""

    SRM = 2
    """Selected reaction monitoring."""

class ValueRange:
    """
    An inclusive numeric range ``ValueRange(min, max)``, compared and hashed by value.
    """

    def __init__(self, min: float, max: float) -> None: ...

    @property
    def min(self) -> float:
        """Lower bound."""

    @property
    def max(self) -> float:
        """Upper bound."""

    def contains_value(self, value: float) -> bool:
        """Whether ``min <= value <= max``."""

    def __eq__(self, arg: ValueRange, /) -> bool: ...

    def __ne__(self, arg: ValueRange, /) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class SpectrumBasedChromatogramPoint:
    """
    SpectrumBasedChromatogramPoint(spectrum_index, retention_time, intensity, base_x)

    One chromatogram point: the spectrum it comes from, its retention time, its intensity and the x (m/z or wavelength) of its base peak, each kept exactly as given. Compared and hashed by value.
    """

    def __repr__(self, /):
        """Return repr(self)."""

    def __hash__(self, /):
        """Return hash(self)."""

    def __str__(self, /):
        """Return str(self)."""

    def __lt__(self, value, /):
        """Return self<value."""

    def __le__(self, value, /):
        """Return self<=value."""

    def __eq__(self, value, /):
        """Return self==value."""

    def __ne__(self, value, /):
        """Return self!=value."""

    def __gt__(self, value, /):
        """Return self>value."""

    def __ge__(self, value, /):
        """Return self>=value."""

    __reduce__: types.MethodDescriptorType = ...

    @property
    def spectrum_index(self) -> int:
        """Index of the spectrum the point comes from."""

    @property
    def retention_time(self) -> float:
        """Retention time (minutes)."""

    @property
    def intensity(self) -> float:
        """Intensity of the point."""

    @property
    def base_x(self) -> float:
        """m/z (or wavelength) of the base peak."""

def chromatogram_to_arrays(points: collections.abc.Sequence[SpectrumBasedChromatogramPoint]) -> tuple[numpy.typing.NDArray[numpy.int64], numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
    """
    Turns any list of chromatogram points into four numpy arrays: spectrum indexes (int64), retention times, intensities and base x (float64).
    """
