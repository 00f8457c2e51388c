"""Container files (VornFile) and their measurements (Measurement)."""

from collections.abc import Iterator
import os
import typing
from typing import SupportsIndex, overload

from vorn_data_access._internal._description import (
    DetectorTypes as DetectorTypes
)
from vorn_data_access._internal._enum import (
    VornSymbols as VornSymbols
)
from vorn_data_access._internal._index import (
    FunctionIndex as FunctionIndex,
    JumpTable as JumpTable
)
from vorn_data_access._internal._reader import (
    VdpFileReader as VdpFileReader
)
from vorn_data_access.exception import VornException as VornException
import vorn_data_access.qual
from vorn_data_access.qual import (
    DADAnalysis as DADAnalysis,
    QualAnalysis as QualAnalysis
)
import vorn_data_access.quan
from vorn_data_access.quan import (
    AnalogAnalysis as AnalogAnalysis,
    QuanAnalysis as QuanAnalysis
)
import vorn_data_access.sequences


class VornFile:
    """
    An open container file. Use it in a ``with`` block; it hands out the file's measurements.
    """

    def __init__(self, file_path: str | os.PathLike[str]) -> None:
        """Opens the container file at `file_path` and reads its jump table."""

    def __enter__(self) -> VornFile:
        """Returns the file itself."""

    def __exit__(self, ex_type: object | None, ex_value: object | None, trace: object | None) -> None:
        """Closes the file; an exception raised in the block propagates."""

    def __del__(self) -> None:
        """Closes the file if it is still open."""

    def close(self) -> None:
        """Closes the file. Closing again does nothing."""

    @property
    def file_path(self) -> str | os.PathLike[str]:
        """The path exactly as given to the constructor."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def get_file_format_version(self) -> str:
        """The container format version, as text such as 1.0.0."""

    def get_converter_version(self) -> str:
        """The version of the program that wrote the file, as text."""

    def get_measurement_count(self) -> int:
        """Number of measurements in the file."""

    def get_measurement(self, index: int) -> Measurement:
        """A new Measurement for the measurement at `index` (0 to count - 1)."""

    def __len__(self) -> int: ...

    def __bool__(self) -> bool:
        """Always true, whatever the length."""

    @overload
    def __getitem__(self, index: slice, /) -> list[Measurement]: ...

    @overload
    def __getitem__(self, index: SupportsIndex, /) -> Measurement:
        """
        The measurement at `index` (negative counts from the end); a slice gives a list.
        """

    def __iter__(self) -> Iterator[Measurement]:
        """The measurements in order."""

    def __reduce__(self) -> tuple[type[VornFile], tuple[object]]:
        """
        Pickles an open file as its path: unpickling opens the file again, so a file (and the indexes of what to read from it) can go to another process.
        """

class Measurement:
    """
    One measurement (injection) of a container file: its metadata and its analyses.
    """

    @property
    def index(self) -> int:
        """Position of the measurement in its file."""

    @property
    def hash(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def sample_name(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def sample_id(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def acquisition_method_file_name(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def dilution_factor(self) -> float | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def injection_volume(self) -> float | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def original_file_path(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def instrument_product_name(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def measurement_user_name(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def plate_code(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def well_code(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def measurement_date_time(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def instrument_manufacturer(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def source_file_definition(self) -> str | None:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def supplemental_properties(self) -> dict[str, typing.Any] | None:
        """Metadata field of the same name, as stored (None when absent)."""

    def get_qual_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_qual_analysis(self, index: int) -> vorn_data_access.qual.QualAnalysis:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_dad_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_dad_analysis(self, index: int) -> vorn_data_access.qual.DADAnalysis:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_quan_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_quan_analysis(self, index: int) -> vorn_data_access.quan.QuanAnalysis:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_analog_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_analog_analysis(self, index: int) -> vorn_data_access.quan.AnalogAnalysis:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    @property
    def qual_analyses(self) -> vorn_data_access.sequences.IndexedSequence[vorn_data_access.qual.QualAnalysis]:
        """
        The qual analyses as a sequence: len(), indexes from either end, slices, iteration.
        """

    @property
    def dad_analyses(self) -> vorn_data_access.sequences.IndexedSequence[vorn_data_access.qual.DADAnalysis]:
        """
        The dad analyses as a sequence: len(), indexes from either end, slices, iteration.
        """

    @property
    def quan_analyses(self) -> vorn_data_access.sequences.IndexedSequence[vorn_data_access.quan.QuanAnalysis]:
        """
        The quan analyses as a sequence: len(), indexes from either end, slices, iteration.
        """

    @property
    def analog_analyses(self) -> vorn_data_access.sequences.IndexedSequence[vorn_data_access.quan.AnalogAnalysis]:
        """
        The analog analyses as a sequence: len(), indexes from either end, slices, iteration.
        """
