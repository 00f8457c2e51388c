"""Reader-layer records filled by hand, as a test double of the reader would."""

from vorn_data_access._internal import _description as D
from vorn_data_access.common import PolarityTypes, SpectrumTypes


def scan(type_, target_mz=None, q1=None, q3=None):
    r = D.TripleQScanCondition()
    r._TripleQScanCondition__type = type_
    r._TripleQScanCondition__target_mz = target_mz
    r._TripleQScanCondition__q1_range = q1
    r._TripleQScanCondition__q3_range = q3
    return r


def vendor(type_, original_id=None, cone_voltage=None, scan_info=None):
    r = D.VendorSpecificAdditionalCondition()
    r._VendorSpecificAdditionalCondition__type = type_
    r._VendorSpecificAdditionalCondition__original_id = original_id
    r._VendorSpecificAdditionalCondition__cone_voltage = cone_voltage
    r._VendorSpecificAdditionalCondition__scan_info_string = scan_info
    return r


def stored_condition(
    ms_level=1,
    polarity=PolarityTypes.POSITIVE,
    collision_energy=None,
    mass_range=None,
    spectrum_type=SpectrumTypes.CENTROID,
    vendor=None,
    scan=None,
    precursor_range=None,
    precursor_value=None,
):
    core = D.InternalAcquisitionCoreCondition()
    core._InternalAcquisitionCoreCondition__ms_level = ms_level
    core._InternalAcquisitionCoreCondition__polarity = polarity
    core._InternalAcquisitionCoreCondition__collision_energy = collision_energy
    core._InternalAcquisitionCoreCondition__mass_range = mass_range
    core._InternalAcquisitionCoreCondition__original_measured_spectrum_type = spectrum_type
    core._InternalAcquisitionCoreCondition__vendor_specific_additional_condition = vendor
    core._InternalAcquisitionCoreCondition__triple_q_scan_condition = scan
    c = D.InternalAcquisitionCondition()
    c._InternalAcquisitionCondition__internal_acquisition_core_condition = core
    c._InternalAcquisitionCondition__precursor_range = precursor_range
    c._InternalAcquisitionCondition__precursor_value = precursor_value
    return c


def description(**fields):
    d = D.InternalSpectrumDescription()
    fields.setdefault("supplemental_properties", {})
    for name, value in fields.items():
        setattr(d, f"_InternalSpectrumDescription__{name}", value)
    return d
