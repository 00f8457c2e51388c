"""
Mass-spectrometry analyses (QualAnalysis, Spectrum, AcquisitionCondition and its scan and vendor conditions, ChromatogramFilterOption) and diode-array analyses (DADAnalysis, DADSpectrum).
"""

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
from vorn_data_access._internal._reader import XicInfo as XicInfo
from vorn_data_access.common import (
    PolarityTypes as PolarityTypes,
    SpectrumBasedChromatogramPoint as SpectrumBasedChromatogramPoint,
    SpectrumTypes as SpectrumTypes,
    ValueRange as ValueRange
)


class ProductIonScanCondition:
    """Product-ion scan: a fixed precursor m/z, Q3 scanned over a range."""

    def __init__(self, triple_q_scan_condition: object) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def precursor_ion_mz(self) -> object:
        """Stored unchanged."""

    @property
    def q3_range(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class PrecursorIonScanCondition:
    """Precursor-ion scan: a fixed product m/z, Q1 scanned over a range."""

    def __init__(self, triple_q_scan_condition: object) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def product_ion_mz(self) -> object:
        """Stored unchanged."""

    @property
    def q1_range(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class NeutralLossScanCondition:
    """
    Neutral-loss scan: Q1 and Q3 scanned with a fixed mass difference (the loss).
    """

    def __init__(self, triple_q_scan_condition: object) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def neutral_loss_mz(self) -> object:
        """Stored unchanged."""

    @property
    def q1_range(self) -> object:
        """Stored unchanged."""

    @property
    def q3_range(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class NeutralGainScanCondition:
    """
    Neutral-gain scan: Q1 and Q3 scanned with a fixed mass difference (the gain).
    """

    def __init__(self, triple_q_scan_condition: object) -> None:
        """Built from a TripleQScanCondition record."""

    @property
    def neutral_gain_mz(self) -> object:
        """Stored unchanged."""

    @property
    def q1_range(self) -> object:
        """Stored unchanged."""

    @property
    def q3_range(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class WatersMassLynxCondition:
    """Waters MassLynx: the function number and cone voltage of a scan."""

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def function_number(self) -> object:
        """Stored unchanged."""

    @property
    def cone_voltage(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class AgilentMassHunterCondition:
    """Agilent MassHunter: the fragmentor voltage of a scan."""

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def fragmentor_voltage(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class ThermoFisherRawFileReaderCondition:
    """
    Thermo Fisher: the source-induced dissociation voltage and scan filter of a scan; only the voltage takes part in equality.
    """

    def __init__(self, argument: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def sid(self) -> object:
        """Stored unchanged."""

    @property
    def scan_filter(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class SCIEXAnalystCondition:
    """
    SCIEX Analyst: the experiment index and declustering potential of a scan.
    """

    def __init__(self, vendor_specific_additional_condition: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def experiment_index(self) -> object:
        """Stored unchanged."""

    @property
    def dp(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class ShimadzuIoModuleCondition:
    """Shimadzu: the event number of a scan."""

    def __init__(self, vendor_specific_additional_condition: object | None) -> None:
        """
        Built from a VendorSpecificAdditionalCondition record, or (where the vendor has one) from a bare voltage float; any other argument leaves every field None.
        """

    @property
    def event_no(self) -> object:
        """Stored unchanged."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class AcquisitionCondition:
    """
    How a mass spectrum was acquired: MS level, polarity, collision energy, precursor, mass range, original spectrum type and further (scan mode, vendor) conditions. Compared and hashed by value.
    """

    def __init__(self, argument: object | None) -> None:
        """
        Built from an InternalAcquisitionCondition (a stored distinct condition) or an InternalSpectrumDescription.
        """

    @property
    def ms_level(self) -> object:
        """MS level (1 when the source holds None)."""

    @property
    def polarity(self) -> object:
        """A PolarityTypes member, as stored."""

    @property
    def collision_energy(self) -> object:
        """Collision energy or None."""

    @property
    def precursor_value(self) -> object:
        """Precursor m/z or None."""

    @property
    def original_measured_spectrum_type(self) -> object:
        """SpectrumTypes.PROFILE, CENTROID or UNKNOWN."""

    @property
    def precursor_range(self) -> object:
        """Precursor isolation range (ValueRange) or None."""

    @property
    def mass_range(self) -> object:
        """Scanned mass range (ValueRange) or None."""

    @property
    def additional_conditions(self) -> object:
        """List of scan-mode and vendor conditions (the condition's own list)."""

    def __eq__(self, other: object | None) -> bool: ...

    def __hash__(self) -> int: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class ChromatogramFilterOption:
    """
    One extracted-ion chromatogram request: the acquisition condition of the spectra to use, the m/z window to sum and an optional retention-time window. Values are stored as given and read when an extraction runs.
    """

    def __init__(self, acquisition_condition: object | None, extract_mz_range: object | None, retention_time_range: object | None = None) -> None: ...

    @property
    def acquisition_condition(self) -> object:
        """The AcquisitionCondition whose spectra the chromatogram uses."""

    @acquisition_condition.setter
    def acquisition_condition(self, value: object | None) -> None: ...

    @property
    def extract_mz_range(self) -> object:
        """The m/z window (ValueRange) summed."""

    @extract_mz_range.setter
    def extract_mz_range(self, value: object | None) -> None: ...

    @property
    def retention_time_range(self) -> object:
        """Retention-time window (ValueRange), or None for no limit."""

    @retention_time_range.setter
    def retention_time_range(self, value: object | None) -> None: ...

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class Spectrum:
    """
    One mass spectrum of a QualAnalysis. Its metadata read through to the spectrum's description; its points are read on first request and kept.
    """

    @property
    def index(self) -> object:
        """Position in the analysis."""

    @property
    def acquisition_condition(self) -> object:
        """The AcquisitionCondition the analysis attached."""

    @property
    def precursor_index(self) -> object:
        """Index of the precursor spectrum, or None."""

    @property
    def retention_time(self) -> object:
        """Retention time in minutes, or None."""

    @property
    def product_indices(self) -> object:
        """Indexes of product spectra, or None."""

    @property
    def spectrum_type(self) -> object:
        """A SpectrumTypes member, or None."""

    @property
    def supplemental_properties(self) -> object:
        """Further properties (dict)."""

    @property
    def precursor_charge(self) -> object:
        """Charge state of the precursor (int), or None."""

    @property
    def possible_charge_states(self) -> object:
        """Charge states the precursor may have (list of int), or None."""

    @property
    def precursor_intensity(self) -> object:
        """Intensity of the selected precursor ion, or None."""

    @property
    def activation_method(self) -> object:
        """
        How the precursor was activated: PSI-MS term name(s) such as 'beam-type collision-induced dissociation', several joined by ', '; or None.
        """

    @property
    def isolation_window_target(self) -> object:
        """Centre m/z of the precursor isolation window, or None."""

    @property
    def isolation_window_lower_offset(self) -> object:
        """How far the isolation window reaches below its target (m/z), or None."""

    @property
    def isolation_window_upper_offset(self) -> object:
        """How far the isolation window reaches above its target (m/z), or None."""

    @property
    def ion_injection_time(self) -> object:
        """
        Ion injection (accumulation) time of the scan in milliseconds, or None.
        """

    def get_spectrum_points(self) -> object:
        """The spectrum's points (read once, then kept)."""

    def get_profile_spectrum_points(self) -> object:
        """The profile points, read anew on every call."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class DADSpectrum:
    """
    One absorbance spectrum of a DADAnalysis; x is the wavelength. Points are read on first request and kept.
    """

    @property
    def index(self) -> object:
        """Position in the analysis."""

    @property
    def retention_time(self) -> object:
        """Retention time in minutes, or None."""

    @property
    def supplemental_properties(self) -> object:
        """Further properties (dict)."""

    def get_spectrum_points(self) -> object:
        """The absorbance points (read once, then kept)."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class QualAnalysis:
    """
    One mass-spectrometry analysis (acquisition function): its spectra, their acquisition conditions and chromatograms (TIC, BPC, XIC).
    """

    @property
    def index(self) -> object:
        """Position among the measurement's MS analyses."""

    @property
    def supplemental_properties(self) -> object:
        """The function's supplemental properties (dict)."""

    @property
    def unique_acquisition_conditions(self) -> object:
        """The distinct acquisition conditions (the analysis's own list)."""

    def get_spectra_count(self) -> int:
        """Number of spectra."""

    def get_spectrum(self, index: object | None) -> object:
        """A new Spectrum for the spectrum at `index` (0 to count - 1)."""

    def find_nearest_spectrum(self, retention_time: object | None) -> object:
        """
        The spectrum whose retention time is nearest (the lower index on a tie).
        """

    def get_tic(self, acquisition_condition: object | None, retention_time_range: object | None = None) -> list:
        """
        Total ion chromatogram of one acquisition condition, optionally within a retention-time range; built from the stored totals without reading spectra.
        """

    def get_bpc(self, acquisition_condition: object | None, retention_time_range: object | None = None) -> list:
        """
        Base peak chromatogram of one acquisition condition, optionally within a retention-time range.
        """

    def get_multiple_xic(self, chromatogram_filter_options: object | None) -> list:
        """
        Several extracted-ion chromatograms in one pass over the spectra: one list of points per ChromatogramFilterOption, in request order. Each spectrum is read once, and only the part of it that the windows need.
        """

    def get_xic(self, chromatogram_filter_option: object | None) -> object:
        """One extracted-ion chromatogram."""

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...

class DADAnalysis:
    """
    One diode-array analysis: absorbance spectra over a common wavelength array, the chromatogram of a wavelength window and the max plot.
    """

    @property
    def index(self) -> object:
        """Position among the measurement's diode-array analyses."""

    @property
    def supplemental_properties(self) -> object:
        """The function's supplemental properties (dict)."""

    def get_spectra_count(self) -> int:
        """Number of spectra."""

    def get_spectrum(self, index: object | None) -> object:
        """A new DADSpectrum for the spectrum at `index` (0 to count - 1)."""

    def find_nearest_spectrum(self, retention_time: object | None) -> object:
        """
        The spectrum whose retention time is nearest (the lower index on a tie).
        """

    def get_chromatogram(self, extract_wavelength_range: object | None) -> list:
        """
        Mean absorbance over a wavelength window for every spectrum with a retention time, with the wavelength of the highest absorbance in the window. Windows outside a spectrum give (0.0, -1.0).
        """

    def get_max_plot(self, extract_wavelength_range: object | None, wavelength_tolerance: object | None) -> object:
        """
        For every spectrum with a retention time: the wavelength of the highest absorbance in the window and the mean absorbance within the tolerance of it; (0, -1) when no point lies in the window.
        """

    def __str__(self) -> str: ...

    def __repr__(self) -> str: ...
