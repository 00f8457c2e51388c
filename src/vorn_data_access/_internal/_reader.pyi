"""The container reader, XIC extraction records and spectrum point lists."""

import typing

import numpy
import numpy.typing


class SpectrumPoint:
    """One point of a spectrum: `x` and `intensity`."""

    def __init__(self, x: float, intensity: float) -> None: ...

    @property
    def x(self) -> float:
        """m/z, or wavelength for absorbance spectra."""

    @property
    def intensity(self) -> float:
        """Signal at x."""

    def __eq__(self, arg: SpectrumPoint, /) -> bool: ...

    def __ne__(self, arg: SpectrumPoint, /) -> bool: ...

    def __hash__(self) -> int: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

    def __repr__(self) -> str: ...

class SpectrumPointList:
    """
    The points of one spectrum in ascending x: a sequence of SpectrumPoint, with zero-copy read-only numpy views `x_array` and `intensity_array`.
    """

    def __init__(self, x: object, intensity: object) -> None:
        """Builds a point list from two sequences of numbers."""

    def __len__(self) -> int: ...

    def __getitem__(self, index: int, /) -> SpectrumPoint: ...

    @property
    def x_array(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]:
        """The x values as a read-only numpy array (no copy)."""

    @property
    def intensity_array(self) -> numpy.typing.NDArray[numpy.floating[typing.Any]]:
        """The intensities as a read-only numpy array (no copy)."""

    def __eq__(self, arg: SpectrumPointList, /) -> bool: ...

    def __ne__(self, arg: SpectrumPointList, /) -> bool: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

    def __repr__(self) -> str: ...

    __hash__: None = None

class Int64Array:
    """Offsets read from an index block."""

    def __len__(self) -> int: ...

    def __getitem__(self, arg: int, /) -> int: ...

    @property
    def values(self) -> object:
        """The values as a read-only numpy array (no copy)."""

    def __array__(self, dtype: object | None = None, copy: object | None = None) -> object: ...

    def __repr__(self) -> str: ...

class WavelengthArray:
    """
    Wavelengths of a diode-array function: a sequence of float at their stored precision, usable wherever numpy takes an array.
    """

    def __len__(self) -> int: ...

    def __getitem__(self, arg: int, /) -> float: ...

    @property
    def values(self) -> object:
        """The values as a read-only numpy array (no copy)."""

    def __array__(self, dtype: object | None = None, copy: object | None = None) -> object: ...

    def __repr__(self) -> str: ...

class VdpStream:
    """The open file of a reader."""

    @property
    def closed(self) -> bool:
        """Whether the file is closed."""

    def close(self) -> None:
        """Closes the file; later reads fail. Closing again does nothing."""

class VdpFileReader:
    """
    Reads one container file: a memory map with one cursor, shared by every object made from the file. Members are private, reached by their mangled names.
    """

    def __init__(self) -> None: ...

class XicInfo:
    """One extraction range and the points a read found in it."""

    def __init__(self) -> None: ...
