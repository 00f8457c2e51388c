"""
Conversion of vendor raw data into container files with the converter program.
"""

from vorn_data_access.common import (
    AnalysisTypes as AnalysisTypes,
    QuanAnalysisTypes as QuanAnalysisTypes
)
from vorn_data_access.exception import (
    ZelConverterException as ZelConverterException
)


class QualOptions:
    """What to keep of mass-spectrometry data."""

    def __init__(self) -> None: ...

    @property
    def keep_profile_spectra(self) -> object:
        """Keep profile spectra where the data has them (-kp)."""

    @keep_profile_spectra.setter
    def keep_profile_spectra(self, keep_profile_spectra: object | None) -> None: ...

    @property
    def keep_only_ms1_spectra(self) -> object:
        """Keep MS1 spectra only (-ms1)."""

    @keep_only_ms1_spectra.setter
    def keep_only_ms1_spectra(self, keep_only_ms1_spectra: object | None) -> None: ...

class QuanOptions:
    """Which quantitation scan kinds to keep."""

    def __init__(self) -> None: ...

    @property
    def desired_quan_analysis_type(self) -> object:
        """QuanAnalysisTypes flags; ALL keeps every kind."""

    @desired_quan_analysis_type.setter
    def desired_quan_analysis_type(self, desired_quan_analysis_type: object | None) -> None: ...

class ShimadzuOptions:
    """Switches for Shimadzu data."""

    def __init__(self) -> None: ...

    @property
    def use_shimadzu_post_processing(self) -> object:
        """Apply Shimadzu post-processing."""

    @use_shimadzu_post_processing.setter
    def use_shimadzu_post_processing(self, use_shimadzu_post_processing: object | None) -> None: ...

class WatersOptions:
    """Switches for Waters data."""

    def __init__(self) -> None: ...

    @property
    def keep_last_ms_function_in_mse(self) -> object:
        """Keep the last MS function of MSE data."""

    @keep_last_ms_function_in_mse.setter
    def keep_last_ms_function_in_mse(self, keep_last_ms_function_in_mse: object | None) -> None: ...

class ManufacturerOptions:
    """Vendor-specific switches."""

    def __init__(self) -> None: ...

    @property
    def shimadzu_options(self) -> object:
        """ShimadzuOptions."""

    @shimadzu_options.setter
    def shimadzu_options(self, shimadzu_options: object | None) -> None: ...

    @property
    def waters_options(self) -> object:
        """WatersOptions."""

    @waters_options.setter
    def waters_options(self, waters_options: object | None) -> None: ...

class AdditionalOptions:
    """Further switches."""

    def __init__(self) -> None: ...

    @property
    def force_split_by_measurement(self) -> object:
        """Write each measurement to a file of its own."""

    @force_split_by_measurement.setter
    def force_split_by_measurement(self, force_split_by_measurement: object | None) -> None: ...

class ConvertOptions:
    """All options of a conversion."""

    def __init__(self) -> None: ...

    @property
    def qual_options(self) -> object:
        """QualOptions."""

    @qual_options.setter
    def qual_options(self, qual_options: object | None) -> None: ...

    @property
    def quan_options(self) -> object:
        """QuanOptions."""

    @quan_options.setter
    def quan_options(self, quan_options: object | None) -> None: ...

    @property
    def manufacturer_options(self) -> object:
        """ManufacturerOptions."""

    @manufacturer_options.setter
    def manufacturer_options(self, manufacturer_options: object | None) -> None: ...

    @property
    def desired_analysis_type(self) -> object:
        """AnalysisTypes flags; ALL converts every kind."""

    @desired_analysis_type.setter
    def desired_analysis_type(self, desired_analysis_type: object | None) -> None: ...

    @property
    def additional_options(self) -> object:
        """AdditionalOptions."""

    @additional_options.setter
    def additional_options(self, additional_options: object | None) -> None: ...

class ZelConverter:
    """
    Converts vendor raw data into a container file by running the converter program zelc.exe. Windows only (sys.platform 'win32').
    """

    def __init__(self) -> None:
        """Raises ZelConverterException unless sys.platform is 'win32'."""

    @property
    def convert_options(self) -> object:
        """
        The ConvertOptions of the next conversion (initially one shared by all converters).
        """

    @convert_options.setter
    def convert_options(self, convert_options: object | None) -> None: ...

    @property
    def progress_report_callback(self) -> object:
        """
        Called with each progress number (a float), in the conversion's thread.
        """

    @progress_report_callback.setter
    def progress_report_callback(self, progress_report_callback: object | None) -> None: ...

    def convert(self, source_file_paths: object | None, destination_file_path: object | None, overwrite: object | None) -> object:
        """
        Starts converting the source files (a path or an iterable of paths) into the destination; returns a concurrent.futures.Future whose result is the converter's result text.
        """

    def cancel(self) -> None:
        """
        Stops the running conversion: asks the program to stop, so that it removes its temporary file, and kills it if it has not ended after a grace period. Does not wait; the future raises ZelConverterException('Cancelled.').
        """
