"""Container files (VornFile) and their measurements (Measurement)."""

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
from vorn_data_access.qual import (
    DADAnalysis as DADAnalysis,
    QualAnalysis as QualAnalysis
)
from vorn_data_access.quan import (
    AnalogAnalysis as AnalogAnalysis,
    QuanAnalysis as QuanAnalysis
)


class VornFile:
    """
    An open container file. Use it in a ``with`` block; it hands out the file's measurements.
    """

    def __init__(self, file_path: object | None) -> None:
        """Opens the container file at `file_path` and reads its jump table."""

    def __enter__(self) -> object:
        """Returns the file itself."""

    def __exit__(self, ex_type: object | None, ex_value: object | None, trace: object | None) -> None:
        """Closes the file; an exception raised in the block propagates."""

    def __del__(self) -> None:
        """Closes the file if it is still open."""

    def close(self) -> None:
        """Closes the file. Closing again does nothing."""

    @property
    def file_path(self) -> object:
        """The path exactly as given to the constructor."""

    def __str__(self) -> object: ...

    def __repr__(self) -> object: ...

    def get_file_format_version(self) -> str:
        """The container format version, as text such as 1.0.0."""

    def get_converter_version(self) -> str:
        """The version of the program that wrote the file, as text."""

    def get_measurement_count(self) -> object:
        """Number of measurements in the file."""

    def get_measurement(self, index: object | None) -> object:
        """A new Measurement for the measurement at `index` (0 to count - 1)."""

class Measurement:
    """
    One measurement (injection) of a container file: its metadata and its analyses.
    """

    @property
    def index(self) -> object:
        """Position of the measurement in its file."""

    @property
    def hash(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def sample_name(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def sample_id(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def acquisition_method_file_name(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def dilution_factor(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def injection_volume(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def original_file_path(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def instrument_product_name(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def measurement_user_name(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def plate_code(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def well_code(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def measurement_date_time(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def instrument_manufacturer(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def source_file_definition(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    @property
    def supplemental_properties(self) -> object:
        """Metadata field of the same name, as stored (None when absent)."""

    def get_qual_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_qual_analysis(self, index: object | None) -> object:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_dad_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_dad_analysis(self, index: object | None) -> object:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_quan_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_quan_analysis(self, index: object | None) -> object:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def get_analog_analysis_count(self) -> int:
        """Number of analyses of this kind."""

    def get_analog_analysis(self, index: object | None) -> object:
        """A new analysis of this kind at `index` (0 to count - 1)."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...
