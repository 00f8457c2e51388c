"""
Writing container files: VornWriter -> add_measurement -> add_*_function -> add_spectrum.
"""

import os
import typing

import numpy.typing


class AutoValue:
    """Marks a value the writer computes from the points."""

    def __repr__(self) -> str: ...

AUTO: AutoValue = ...

class VornWriter:
    """
    Writes a container file. Spectra stream to disk as they are added; the file appears under its name only when finished (leaving a ``with`` block normally finishes it, an exception abandons it). An existing file is refused unless ``overwrite`` is true.
    """

    def __init__(self, path: str | bytes | os.PathLike[str] | os.PathLike[bytes], *, overwrite: bool = False, converter_version: tuple[int, int, int] = (1, 0, 0), compression_level: int = 3, chunk_points: int = 512) -> None:
        pass

    @property
    def path(self) -> str | bytes | os.PathLike[str] | os.PathLike[bytes]:
        """Destination path, as given."""

    @property
    def bytes_written(self) -> int:
        """Bytes written so far."""

    @property
    def finished(self) -> bool:
        """Whether the file is complete and in place."""

    def add_measurement(self, *, hash: str | None = None, sample_name: str | None = None, sample_id: str | None = None, acquisition_method_file_name: str | None = None, dilution_factor: float | None = None, injection_volume: float | None = None, original_file_path: str | None = None, instrument_product_name: str | None = None, measurement_user_name: str | None = None, plate_code: str | None = None, well_code: str | None = None, measurement_date_time: str | None = None, instrument_manufacturer: str | None = None, source_file_definition: str | None = None, supplemental_properties: dict[str, typing.Any] | None = {}) -> MeasurementWriter:
        """
        Adds a measurement with its metadata (all keyword arguments, None for absent).
        """

    def finish(self) -> None:
        """
        Writes the index blocks, jump table and trailer, and moves the file to its name.
        """

    def abandon(self) -> None:
        """Deletes the partial file; nothing appears at the destination."""

    def __enter__(self) -> VornWriter: ...

    def __exit__(self, ex_type: object | None, ex_value: object | None, trace: object | None) -> None: ...

class MeasurementWriter:
    """Adds functions to one measurement of a VornWriter."""

    @property
    def index(self) -> int:
        """Position of the measurement in the file."""

    def add_ms_function(self, *, conditions: str | None = 'derive', supplemental_properties: dict[str, typing.Any] | None = None) -> FunctionWriter:
        """
        Adds a mass-spectrometry (qual) function. `conditions`: 'derive' works out and stores the distinct acquisition conditions; None stores none (readers derive them); a list of dicts stores that list, and every spectrum names its entry with acquisition_condition_index.
        """

    def add_dad_function(self, wavelengths: numpy.typing.ArrayLike | None = None, *, wavelengths_f32: bool = False, supplemental_properties: dict[str, typing.Any] | None = None) -> FunctionWriter:
        """
        Adds a diode-array function. With `wavelengths`, each spectrum stores only its absorbances, one per wavelength.
        """

    def add_quan_function(self, *, conditions: str | None = 'derive', supplemental_properties: dict[str, typing.Any] | None = None) -> FunctionWriter:
        """
        Adds a quantitative (SRM/SIM) function; each added 'spectrum' is one trace.
        """

    def add_analog_function(self, *, conditions: str | None = 'derive', supplemental_properties: dict[str, typing.Any] | None = None) -> FunctionWriter:
        """Adds an analog-detector function; each added 'spectrum' is one trace."""

    def finish(self) -> None:
        """
        Writes this measurement's index blocks; it takes no more functions or spectra.
        """

class FunctionWriter:
    """Adds spectra (or traces) to one function."""

    @property
    def index(self) -> int:
        """Position of the function in the file."""

    def add_spectrum(self, x: object | None, intensity: object, *, retention_time: object | None = None, acquisition_condition_index: object | None = None, ms_level: object | None = None, polarity: object | None = None, collision_energy: object | None = None, cone_voltage: object | None = None, mass_range: object | None = None, precursor_range: object | None = None, precursor_value: object | None = None, precursor_index: object | None = None, product_indices: object | None = None, spectrum_type: object | None = None, is_profile_spectrum_measured: object | None = None, current_total_ion: object | None = ..., base_peak_mz: object | None = ..., base_peak_intensity: object | None = ..., supplemental_properties: object | None = ..., profile: object | None = None, vendor_condition: object | None = None, triple_q_scan_condition: object | None = None, precursor_charge: object | None = None, possible_charge_states: object | None = None, precursor_intensity: object | None = None, activation_method: object | None = None, isolation_window_target: object | None = None, isolation_window_lower_offset: object | None = None, isolation_window_upper_offset: object | None = None, ion_injection_time: object | None = None) -> int:
        """
        Appends a spectrum and returns its index. `x` (ascending) and `intensity` are float32 or float64 arrays, stored at that precision; `x` is None for a diode-array function with wavelengths. Description fields are keywords, None for absent; the total ion current and base peak default to values computed from the points, supplemental properties to an empty dict. `profile` is an optional (x, intensity) pair. `vendor_condition` and `triple_q_scan_condition` (dicts) enter the derived distinct-condition list. The precursor details (charge, possible charge states, intensity, activation method as PSI-MS term names, isolation window target and offsets) and the ion injection time in milliseconds are stored from format 1.1 on.
        """
