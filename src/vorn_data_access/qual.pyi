"""
Mass-spectrometry analyses (QualAnalysis, Spectrum, AcquisitionCondition and its scan and vendor conditions, ChromatogramFilterOption) and diode-array analyses (DADAnalysis, DADSpectrum).
"""

import collections.abc
from collections.abc import Iterator
import typing
from typing import Any, SupportsIndex, overload

import numpy
import numpy.typing
import pandas

from vorn_data_access._internal._description import (
    InternalAcquisitionCondition as InternalAcquisitionCondition,
    InternalSpectrumDescription as InternalSpectrumDescription,
    TripleQScanTypes as TripleQScanTypes,
    VendorSpecificAdditionalCondition as VendorSpecificAdditionalCondition,
    VendorSpecificAdditionalConditionTypes as VendorSpecificAdditionalConditionTypes
)
from vorn_data_access._internal._enum import (
    VornSymbols as VornSymbols
)
from vorn_data_access._internal._index import (
    SpectrumIndex as SpectrumIndex
)
import vorn_data_access._internal._reader
from vorn_data_access._internal._reader import XicInfo as XicInfo
import vorn_data_access.common
from vorn_data_access.common import (
    PolarityTypes as PolarityTypes,
    SpectrumBasedChromatogramPoint as SpectrumBasedChromatogramPoint,
    SpectrumTypes as SpectrumTypes,
    ValueRange as ValueRange
)


class ProductIonScanCondition:
    """Product-ion scan: a fixed precursor m/z, Q3 scanned over a range."""

    def __init__(self, triple_q_scan_condition: object | None) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def precursor_ion_mz(self) -> float | None:
        """Stored unchanged."""

    @property
    def q3_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class PrecursorIonScanCondition:
    """Precursor-ion scan: a fixed product m/z, Q1 scanned over a range."""

    def __init__(self, triple_q_scan_condition: object | None) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def product_ion_mz(self) -> float | None:
        """Stored unchanged."""

    @property
    def q1_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class NeutralLossScanCondition:
    """
    Neutral-loss scan: Q1 and Q3 scanned with a fixed mass difference (the loss).
    """

    def __init__(self, triple_q_scan_condition: object | None) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def neutral_loss_mz(self) -> float | None:
        """Stored unchanged."""

    @property
    def q1_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    @property
    def q3_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class NeutralGainScanCondition:
    """
    Neutral-gain scan: Q1 and Q3 scanned with a fixed mass difference (the gain).
    """

    def __init__(self, triple_q_scan_condition: object | None) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def neutral_gain_mz(self) -> float | None:
        """Stored unchanged."""

    @property
    def q1_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    @property
    def q3_range(self) -> vorn_data_access.common.ValueRange | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class WatersMassLynxCondition:
    """Waters MassLynx: the function number and cone voltage of a scan."""

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def function_number(self) -> int | None:
        """Stored unchanged."""

    @property
    def cone_voltage(self) -> float | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class AgilentMassHunterCondition:
    """Agilent MassHunter: the fragmentor voltage of a scan."""

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def fragmentor_voltage(self) -> float | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class ThermoFisherRawFileReaderCondition:
    """
    Thermo Fisher: the source-induced dissociation voltage and scan filter of a scan; only the voltage takes part in equality.
    """

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def sid(self) -> float | None:
        """Stored unchanged."""

    @property
    def scan_filter(self) -> str | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class SCIEXAnalystCondition:
    """
    SCIEX Analyst: the experiment index and declustering potential of a scan.
    """

    def __init__(self, vendor_specific_additional_condition: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def experiment_index(self) -> int | None:
        """Stored unchanged."""

    @property
    def dp(self) -> float | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class ShimadzuIoModuleCondition:
    """Shimadzu: the event number of a scan."""

    def __init__(self, vendor_specific_additional_condition: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def event_no(self) -> int | None:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class AcquisitionCondition:
    """
    How a mass spectrum was acquired: MS level, polarity, collision energy, precursor, mass range, original spectrum type and further (scan mode, vendor) conditions. Compared and hashed by value.
    """

    def __init__(self, argument: object | None) -> None:
        """
        Built from an InternalAcquisitionCondition (a stored distinct condition) or an InternalSpectrumDescription.
        """

    @property
    def ms_level(self) -> int:
        """MS level (1 when the source holds None)."""

    @property
    def polarity(self) -> vorn_data_access.common.PolarityTypes | None:
        """A PolarityTypes member, as stored."""

    @property
    def collision_energy(self) -> float | None:
        """Collision energy or None."""

    @property
    def precursor_value(self) -> float | None:
        """Precursor m/z or None."""

    @property
    def original_measured_spectrum_type(self) -> vorn_data_access.common.SpectrumTypes:
        """SpectrumTypes.PROFILE, CENTROID or UNKNOWN."""

    @property
    def precursor_range(self) -> vorn_data_access.common.ValueRange | None:
        """Precursor isolation range (ValueRange) or None."""

    @property
    def mass_range(self) -> vorn_data_access.common.ValueRange | None:
        """Scanned mass range (ValueRange) or None."""

    @property
    def additional_conditions(self) -> list[typing.Any]:
        """List of scan-mode and vendor conditions (the condition's own list)."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class ChromatogramFilterOption:
    """
    One extracted-ion chromatogram request: the acquisition condition of the spectra to use, the m/z window to sum and an optional retention-time window. Values are stored as given and read when an extraction runs.
    """

    def __init__(self, acquisition_condition: AcquisitionCondition | None, extract_mz_range: vorn_data_access.common.ValueRange | None, retention_time_range: vorn_data_access.common.ValueRange | None = None) -> None:
        pass

    @property
    def acquisition_condition(self) -> AcquisitionCondition | None:
        """The AcquisitionCondition whose spectra the chromatogram uses."""
    @acquisition_condition.setter
    def acquisition_condition(self, value: AcquisitionCondition | None) -> None: ...

    @property
    def extract_mz_range(self) -> vorn_data_access.common.ValueRange | None:
        """The m/z window (ValueRange) summed."""
    @extract_mz_range.setter
    def extract_mz_range(self, value: vorn_data_access.common.ValueRange | None) -> None: ...

    @property
    def retention_time_range(self) -> vorn_data_access.common.ValueRange | None:
        """Retention-time window (ValueRange), or None for no limit."""
    @retention_time_range.setter
    def retention_time_range(self, value: vorn_data_access.common.ValueRange | None) -> None: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __getstate__(self) -> tuple: ...

    def __setstate__(self, arg: tuple, /) -> None: ...

class Spectrum:
    """
    One mass spectrum of a QualAnalysis. Its metadata read through to the spectrum's description; its points are read on first request and kept.
    """

    @property
    def index(self) -> int:
        """Position in the analysis."""

    @property
    def acquisition_condition(self) -> AcquisitionCondition:
        """The AcquisitionCondition the analysis attached."""

    @property
    def precursor_index(self) -> int | None:
        """Index of the precursor spectrum, or None."""

    @property
    def retention_time(self) -> float | None:
        """Retention time in minutes, or None."""

    @property
    def product_indices(self) -> list[int] | None:
        """Indexes of product spectra, or None."""

    @property
    def spectrum_type(self) -> vorn_data_access.common.SpectrumTypes | None:
        """A SpectrumTypes member, or None."""

    @property
    def supplemental_properties(self) -> dict[str, typing.Any] | None:
        """Further properties (dict)."""

    @property
    def precursor_charge(self) -> int | None:
        """Charge state of the precursor (int), or None."""

    @property
    def possible_charge_states(self) -> list[int] | None:
        """Charge states the precursor may have (list of int), or None."""

    @property
    def precursor_intensity(self) -> float | None:
        """Intensity of the selected precursor ion, or None."""

    @property
    def activation_method(self) -> str | None:
        """
        How the precursor was activated: PSI-MS term name(s) such as 'beam-type collision-induced dissociation', several joined by ', '; or None.
        """

    @property
    def isolation_window_target(self) -> float | None:
        """Centre m/z of the precursor isolation window, or None."""

    @property
    def isolation_window_lower_offset(self) -> float | None:
        """How far the isolation window reaches below its target (m/z), or None."""

    @property
    def isolation_window_upper_offset(self) -> float | None:
        """How far the isolation window reaches above its target (m/z), or None."""

    @property
    def ion_injection_time(self) -> float | None:
        """
        Ion injection (accumulation) time of the scan in milliseconds, or None.
        """

    def get_spectrum_points(self) -> vorn_data_access._internal._reader.SpectrumPointList:
        """The spectrum's points (read once, then kept)."""

    def get_profile_spectrum_points(self) -> vorn_data_access._internal._reader.SpectrumPointList:
        """The profile points, read anew on every call."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    @property
    def mz(self) -> numpy.typing.NDArray[numpy.floating[Any]]:
        """
        The m/z values of the points as a read-only numpy array, at their stored precision (float64 or float32), without a copy.
        """

    @property
    def intensity(self) -> numpy.typing.NDArray[numpy.floating[Any]]:
        """
        The intensities of the points as a read-only numpy array, at their stored precision, without a copy.
        """

class DADSpectrum:
    """
    One absorbance spectrum of a DADAnalysis; x is the wavelength. Points are read on first request and kept.
    """

    @property
    def index(self) -> int:
        """Position in the analysis."""

    @property
    def retention_time(self) -> float | None:
        """Retention time in minutes, or None."""

    @property
    def supplemental_properties(self) -> dict[str, typing.Any] | None:
        """Further properties (dict)."""

    def get_spectrum_points(self) -> vorn_data_access._internal._reader.SpectrumPointList:
        """The absorbance points (read once, then kept)."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    @property
    def wavelengths(self) -> numpy.typing.NDArray[numpy.floating[Any]]:
        """
        The wavelengths of the points as a read-only numpy array, without a copy.
        """

    @property
    def absorbance(self) -> numpy.typing.NDArray[numpy.floating[Any]]:
        """
        The absorbances of the points as a read-only numpy array, without a copy.
        """

class QualAnalysis:
    """
    One mass-spectrometry analysis (acquisition function): its spectra, their acquisition conditions and chromatograms (TIC, BPC, XIC).
    """

    @property
    def index(self) -> int:
        """Position among the measurement's MS analyses."""

    @property
    def supplemental_properties(self) -> dict[str, typing.Any]:
        """The function's supplemental properties (dict)."""

    @property
    def unique_acquisition_conditions(self) -> list[AcquisitionCondition]:
        """The distinct acquisition conditions (the analysis's own list)."""

    def get_spectra_count(self) -> int:
        """Number of spectra."""

    def get_spectrum(self, index: int) -> Spectrum:
        """A new Spectrum for the spectrum at `index` (0 to count - 1)."""

    def find_nearest_spectrum(self, retention_time: float) -> Spectrum:
        """
        The spectrum whose retention time is nearest (the lower index on a tie).
        """

    def get_tic(self, acquisition_condition: AcquisitionCondition | None, retention_time_range: vorn_data_access.common.ValueRange | None = None) -> list[vorn_data_access.common.SpectrumBasedChromatogramPoint]:
        """
        Total ion chromatogram of one acquisition condition, optionally within a retention-time range; built from the stored totals without reading spectra.
        """

    def get_bpc(self, acquisition_condition: AcquisitionCondition | None, retention_time_range: vorn_data_access.common.ValueRange | None = None) -> list[vorn_data_access.common.SpectrumBasedChromatogramPoint]:
        """
        Base peak chromatogram of one acquisition condition, optionally within a retention-time range.
        """

    def get_multiple_xic(self, chromatogram_filter_options: collections.abc.Sequence[ChromatogramFilterOption]) -> list[list[vorn_data_access.common.SpectrumBasedChromatogramPoint]]:
        """
        Several extracted-ion chromatograms in one pass over the spectra: one list of points per ChromatogramFilterOption, in request order. Each spectrum is read once, and only the part of it that the windows need.
        """

    def get_xic(self, chromatogram_filter_option: ChromatogramFilterOption) -> list[vorn_data_access.common.SpectrumBasedChromatogramPoint]:
        """One extracted-ion chromatogram."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __len__(self) -> int: ...

    def __bool__(self) -> bool:
        """Always true, whatever the length."""

    @overload
    def __getitem__(self, index: slice, /) -> list[Spectrum]: ...

    @overload
    def __getitem__(self, index: SupportsIndex, /) -> Spectrum:
        """
        The spectrum at `index` (negative counts from the end); a slice gives a list.
        """

    def __iter__(self) -> Iterator[Spectrum]:
        """The spectrums in order."""

    def tic_arrays(self, ms_level: int | None = None, polarity: vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | None = None) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        Total ion chromatogram as (retention_times, intensities), two float64 arrays, from the stored totals without reading spectra (NaN where a spectrum has none). Spectra are those with a retention time whose acquisition condition has the given `ms_level` and `polarity` (None: any) and whose stored scan filter (property ScanFilter, such as 'FTMS + p ESI Full ms') starts with `scan_filter` (None: any), in spectrum order.
        """

    def bpc_arrays(self, ms_level: int | None = None, polarity: vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | None = None) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        Base peak chromatogram as (retention_times, intensities), two float64 arrays, from the stored base peaks without reading spectra. Spectra are those with a retention time whose acquisition condition has the given `ms_level` and `polarity` (None: any) and whose stored scan filter (property ScanFilter, such as 'FTMS + p ESI Full ms') starts with `scan_filter` (None: any), in spectrum order.
        """

    def xic_arrays(self, mz_ranges: numpy.typing.ArrayLike, ms_level: int | None = 1, polarity: vorn_data_access.common.PolarityTypes | None = None, scan_filter: str | None = None, rt_range: vorn_data_access.common.ValueRange | tuple[float, float] | None = None) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        Extracted-ion chromatograms of k m/z windows as (retention_times, intensities): `mz_ranges` is a (k, 2) array of (min, max), bounds included; `intensities` is a float64 array of shape (k, n), the sums equal to get_multiple_xic's. One pass over the spectra decoding only the chunks some window touches, without the GIL. `rt_range` (a ValueRange or (min, max)) limits the retention times. Spectra are those with a retention time whose acquisition condition has the given `ms_level` and `polarity` (None: any) and whose stored scan filter (property ScanFilter, such as 'FTMS + p ESI Full ms') starts with `scan_filter` (None: any), in spectrum order.
        """

    def spectra_frame(self) -> pandas.DataFrame:
        """
        A pandas DataFrame with one row per spectrum: index, retention time, MS level, polarity, precursor m/z (and charge where stored), collision energy, TIC, base peak m/z and intensity, scan filter, spectrum type, precursor index and native id. Needs pandas (pip install 'vorn-data-access[pandas]').
        """

class DADAnalysis:
    """
    One diode-array analysis: absorbance spectra over a common wavelength array, the chromatogram of a wavelength window and the max plot.
    """

    @property
    def index(self) -> int:
        """Position among the measurement's diode-array analyses."""

    @property
    def supplemental_properties(self) -> dict[str, typing.Any]:
        """The function's supplemental properties (dict)."""

    def get_spectra_count(self) -> int:
        """Number of spectra."""

    def get_spectrum(self, index: int) -> DADSpectrum:
        """A new DADSpectrum for the spectrum at `index` (0 to count - 1)."""

    def find_nearest_spectrum(self, retention_time: float) -> DADSpectrum:
        """
        The spectrum whose retention time is nearest (the lower index on a tie).
        """

    def get_chromatogram(self, extract_wavelength_range: vorn_data_access.common.ValueRange) -> list[vorn_data_access.common.SpectrumBasedChromatogramPoint]:
        """
        Mean absorbance over a wavelength window for every spectrum with a retention time, with the wavelength of the highest absorbance in the window. Windows outside a spectrum give (0.0, -1.0).
        """

    def get_max_plot(self, extract_wavelength_range: vorn_data_access.common.ValueRange, wavelength_tolerance: float) -> list[vorn_data_access.common.SpectrumBasedChromatogramPoint]:
        """
        For every spectrum with a retention time: the wavelength of the highest absorbance in the window and the mean absorbance within the tolerance of it; (0, -1) when no point lies in the window.
        """

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

    def __len__(self) -> int: ...

    def __bool__(self) -> bool:
        """Always true, whatever the length."""

    @overload
    def __getitem__(self, index: slice, /) -> list[DADSpectrum]: ...

    @overload
    def __getitem__(self, index: SupportsIndex, /) -> DADSpectrum:
        """
        The spectrum at `index` (negative counts from the end); a slice gives a list.
        """

    def __iter__(self) -> Iterator[DADSpectrum]:
        """The spectrums in order."""

    def absorbance_matrix(self, wavelength_range: vorn_data_access.common.ValueRange | tuple[float, float] | None = None) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        The absorbances of every spectrum with a retention time as (retention_times, wavelengths, matrix): `matrix` is float64 of shape (spectra, wavelengths), its rows the spectra's points exactly; `wavelength_range` (a ValueRange or (min, max), bounds included) keeps part of the wavelengths. Spectra with wavelengths of their own, unlike the analysis's, raise ValueError.
        """

    def chromatogram_arrays(self, wavelength_range: vorn_data_access.common.ValueRange | tuple[float, float]) -> tuple[numpy.typing.NDArray[numpy.float64], numpy.typing.NDArray[numpy.float64]]:
        """
        The wavelength chromatogram as (retention_times, absorbances), two float64 arrays: the mean absorbance over `wavelength_range` (a ValueRange or (min, max)) of every spectrum with a retention time, equal to get_chromatogram's intensities.
        """
